// The statement executor: runs an IoControlList against the unit table. It decodes the
// header, finds or connects the unit, prepares it for the direction of the statement,
// chooses the engine and the record-end routine, runs the engine, and is the library's
// one recovery point: a run-time error raised during the statement comes back here as a
// StatementUnwind and the executor returns its status.
#pragma once

#include <cstdint>

#include "rtlib/io/statement_kind.h"
#include "rtlib/io/unit_table.h"

namespace rtlib {

struct FormatProgram;

// An engine is called with 1 when the statement starts, 0 to go on with the next piece.
using Engine = void (*)(int32_t first);
// A record-end routine finishes the current input or output record of the current unit.
using RecordEnd = void (*)();

enum EngineIndex : int32_t { ENGINE_LIST = 0, ENGINE_FORMATTED = 1, ENGINE_NAMELIST = 2 };

// The item the engine is transferring, as the item decoder yields it.
struct CurrentItem {
  int32_t type = 0;         // IoType code
  uint8_t* addr = nullptr;  // element address (in the list for inline values)
  int32_t size = 0;         // element size (the length for a character item)
  int32_t count = 1;        // element count
};

// Which executor a list is handed to.
enum class ExecPiece { Write, ReadFirst, ReadNext };

// What the next byte of the list is.
enum class ListMark { Item, Pause, End };

struct ExecState {
  Unit* unit = nullptr;  // current unit, or null
  int32_t slot = 0;      // its slot
  StatementKind kind = StatementKind::None;
  const uint8_t* cursor = nullptr;  // list cursor
  const uint8_t* extra = nullptr;   // extra-argument cursor (null: the call has none)
  bool err_branch = false;
  bool end_branch = false;
  const FormatProgram* format = nullptr;
  int32_t record_number = NO_UNIT_NUMBER;
  bool writing = false;
  Engine engine = nullptr;
  RecordEnd record_end = nullptr;
  int32_t status = 0;
  int32_t recovery_depth = 0;  // active recovery points
  CurrentItem item;
  // When set, the executors hand each list to it instead of running it (tests watch the
  // builder this way); its answer is the statement status.
  int32_t (*list_observer)(const uint8_t* list, ExecPiece piece) = nullptr;
  void reset();
};

extern ExecState exec_state;

// The error a raise carries back to the recovery point.
struct StatementUnwind {
  int32_t status;
};

// Marks a recovery point as active for as long as it lives.
class RecoveryPoint {
 public:
  RecoveryPoint() { ++exec_state.recovery_depth; }
  ~RecoveryPoint() { --exec_state.recovery_depth; }
  RecoveryPoint(const RecoveryPoint&) = delete;
  RecoveryPoint& operator=(const RecoveryPoint&) = delete;
};

// The engines, by direction and index; an engine that this build lacks is null.
struct EngineTable {
  Engine read[3];
  Engine write[3];
};
extern const EngineTable engine_table;

int32_t execute_write(const uint8_t* list, const FormatProgram* format);
int32_t execute_read_first(const uint8_t* list);
int32_t execute_read_next(const uint8_t* list);

// Reads a value descriptor's value from the list (or the extra arguments).
int32_t read_described_value(uint8_t descriptor);
// Item decoder: decodes the item that tag introduces (the cursor stands after the tag).
void decode_item(uint8_t tag);
// Reads the next byte of the list: End or Pause, or an item, decoded into exec_state.item.
ListMark next_list_item();

// Ends the current record through the chosen record-end routine.
void finish_record();

// Implicit connection of an unconnected unit number (access-form kind, status code).
void implicit_connection(int32_t n, int32_t kind, int32_t status);

}  // namespace rtlib
