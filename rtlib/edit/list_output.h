// List-directed output: the item loop of a WRITE without a format and the layout of one
// value of each type: integers right-justified in 11 columns, 4-byte reals in 15, 8-byte
// reals in 24, a separator blank before each number that is not first in its record,
// character items joined as written, and at most 79 columns after each record's leading
// blank.
#pragma once

#include <cstdint>

namespace rtlib {

inline constexpr int32_t LIST_RECORD_WIDTH = 79;

struct ListOutputState {
  int32_t line_room = LIST_RECORD_WIDTH;  // columns still free, the leading blank aside
  bool separator_due = false;             // the next number gets a separator blank in front
  void reset() { *this = ListOutputState{}; }
};

extern ListOutputState list_output_state;

// The engine of a list-directed WRITE (first = 1 when the statement starts).
void list_write(int32_t first);

// Lays out the current element of the current item.
void list_write_value();

}  // namespace rtlib
