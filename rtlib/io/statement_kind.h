// The kind of statement under way: every run-time error is raised under one, and the
// report shows its text ("run-time error F6501: READ(CON)").
#pragma once

#include <cstdint>

namespace rtlib {

enum class StatementKind : int32_t {
  None = 0,
  Close = 1,  // also the closing of all units at exit
  Write = 2,
  Endfile = 3,
  Inquire = 4,
  Locking = 5,
  Open = 6,  // also an implicit connection
  Read = 7,
  Rewind = 8,
  Backspace = 9,
  EofFunction = 10,
  Debug = 11,
  Allocate = 12,
  Deallocate = 13,
  ThreadStart = 14,
  Math = 15,
  NoStatement = 16,  // start-up, begin-time checks, memory
  Window = 17,
};

// Text that follows the error number in a report. Kinds 0 to 10 are followed by the
// unit name; kinds 11 to 17 carry their own line end and dash.
const char* statement_kind_text(StatementKind kind);

// Kinds below 11 name a statement on a unit.
constexpr bool names_unit(StatementKind kind) { return static_cast<int32_t>(kind) < 11; }

}  // namespace rtlib
