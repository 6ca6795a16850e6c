// List-directed input: the item loop of a READ without a format and the scanner of one
// free-form value (separators, repeat counts, null values, the slash, quoted text,
// parenthesized complex values). Characters come from the record layer; the collected
// text goes to the numeric input conversions.
#pragma once

#include <cstdint>

namespace rtlib {

enum ScanState : int32_t { SCAN_PARENTHESIZED = 1, SCAN_NORMAL = 2, SCAN_QUOTED = 3 };

// The engine's state; it carries over from one value to the next within a statement.
struct ListInputState {
  char last_separator = ',';  // what ended the previous value
  uint32_t repeat_left = 0;   // further elements that receive the value just read
  bool record_ended = false;  // the last value was ended by the end of its record
  int32_t value_length = 0;   // characters collected; 0 is a null value
  int32_t scan_state = SCAN_NORMAL;
  int32_t comma_position = -1;  // the comma inside a parenthesized value
  char quote_char = 0;
  bool quoted = false;        // the value was a quoted text
  int32_t quoted_stored = 0;  // characters of it stored into the item as they were read
  void reset() { *this = ListInputState{}; }
};

extern ListInputState list_input_state;

// The engine of a list-directed READ: first = 1 when the statement starts, 0 for each
// further piece of items. Walks the items that are ready; at the end of the list the
// current record is finished unless the last value already finished it.
void read_list_items(int32_t first);

// Reads one value into the current item element.
void read_list_value();

}  // namespace rtlib
