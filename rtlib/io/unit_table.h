// Units and the unit table: one Unit per connected unit, 65 slots, and the lookup that
// turns a unit number into a Unit (the console, the default units, connected files).
#pragma once

#include <cstdint>

#include "rtlib/edit/edit_descriptor.h"

namespace rtlib {

inline constexpr int32_t NO_UNIT_NUMBER = INT32_MIN;
inline constexpr int32_t DEFAULT_INPUT = -33000;
inline constexpr int32_t DEFAULT_OUTPUT = -34000;
inline constexpr int32_t INTERNAL = -37000;

// Unit kinds (access and form).
enum UnitKind : int32_t {
  KIND_INTERNAL = 0,
  KIND_TERMINAL = 1,
  KIND_FORMATTED_DIRECT = 2,
  KIND_FORMATTED_SEQUENTIAL = 3,
  KIND_BINARY_DIRECT = 4,
  KIND_BINARY_SEQUENTIAL = 5,
  KIND_UNFORMATTED_DIRECT = 6,
  KIND_UNFORMATTED_SEQUENTIAL = 7,
};

// Unit flags.
inline constexpr uint32_t UNIT_DIRTY = 0x01;        // buffer holds bytes not yet written
inline constexpr uint32_t UNIT_CONTINUED = 0x02;    // console record started on screen
inline constexpr uint32_t UNIT_DELETE = 0x04;       // delete the file when closed
inline constexpr uint32_t UNIT_OUTPUT_MODE = 0x08;  // last transfer was output, record open
inline constexpr uint32_t UNIT_BLANK_ZERO = 0x10;   // blanks in numeric input are zeros
inline constexpr uint32_t UNIT_EOF = 0x20;          // end-of-file condition
inline constexpr uint32_t UNIT_ON_CONSOLE = 0x40;   // opened on "CON": served by console slots
inline constexpr uint32_t UNIT_MARKER_DUE = 0x80;   // unformatted marker byte still to write

// Unit xflags.
inline constexpr uint32_t X_NONADVANCE = 0x01;
inline constexpr uint32_t X_EOR_BRANCH = 0x02;
inline constexpr uint32_t X_SIZE_VAR = 0x04;
inline constexpr uint32_t X_DELIM_QUOTE = 0x08;
inline constexpr uint32_t X_DELIM_APOSTROPHE = 0x10;
inline constexpr uint32_t X_PAD = 0x20;
inline constexpr uint32_t X_POSITION_1 = 0x40;
inline constexpr uint32_t X_POSITION_2 = 0x80;
inline constexpr uint32_t X_COLUMN_ONE = 0x100;  // first character is carriage control
inline constexpr uint32_t X_LIST_CC = 0x200;     // records shown whole, ended by CR LF
inline constexpr uint32_t X_RECNO_PENDING = 0x400;
inline constexpr uint32_t X_REVERSION_EOL = 0x1000;
inline constexpr uint32_t X_DELIMITED_VALUE = 0x2000;

inline constexpr int32_t CONSOLE_BUFFER_SIZE = 132;
inline constexpr int32_t FILE_BUFFER_SIZE = 1024;

struct Unit {
  char* name = nullptr;  // owned: "CON", "internal", or a copy of the file name
  int32_t handle = 0;
  int32_t kind = 0;
  uint32_t flags = 0;
  uint8_t* record = nullptr;  // owned RecordBuffer (none for the internal-file unit)
  int32_t pos = 0;
  int32_t last = -1;
  int32_t record_capacity = 0;
  uint32_t col_mark = 0;
  int32_t file_offset = 0;
  int32_t recl = 0;
  int32_t recno = 1;
  int32_t action = 2;
  int32_t share = 2;
  int32_t last_status = 0;
  int32_t window = 0;
  int32_t window_mode = 0;
  int32_t line_ended = 0;
  // The descriptor block of the current edit descriptor.
  int32_t fmt_repeat = 0;
  int32_t fmt_w = 0;
  int32_t fmt_d = 0;
  int32_t fmt_e = 0;
  int32_t fmt_scale = 0;
  uint8_t fmt_plus = 0;
  uint8_t fmt_desc = 0;
  uint8_t fmt_sub = 0;
  uint8_t fmt_by_type = 0;
  uint32_t xflags = 0;
  int32_t* size_addr = nullptr;
  int32_t close_disposition = 0;
  bool owns_record = true;  // false while the internal-file unit points into a variable

  EditDescriptor descriptor() const {
    return EditDescriptor{fmt_repeat, fmt_w, fmt_d, fmt_e, fmt_scale, fmt_plus, fmt_desc, fmt_sub};
  }
};

// Makes a unit with a record buffer of buffer_size bytes (none for 0) and the initial
// field values; the caller sets name, handle and kind. Failure raises error 92.
Unit* allocate_unit(int32_t buffer_size);
// Frees the unit, its name and its buffer.
void free_unit(Unit* unit);
// Replaces the unit's name with a heap copy of text (error 92 when it cannot be had).
void set_unit_name(Unit* unit, const char* text);

inline constexpr int32_t FIRST_FILE_SLOT = 1;
inline constexpr int32_t LAST_FILE_SLOT = 61;
inline constexpr int32_t CONSOLE_SLOT = 62;
inline constexpr int32_t SECOND_CONSOLE_SLOT = 63;
inline constexpr int32_t INTERNAL_SLOT = 64;
inline constexpr int32_t SLOT_COUNT = 65;
inline constexpr int32_t NOT_CONNECTED = 65;  // the lookup's answer for an unknown number

struct UnitTable {
  int32_t number[SLOT_COUNT];
  Unit* unit[SLOT_COUNT];
  void reset();  // every slot free (does not free units)
};

extern UnitTable unit_table;

// Looks unit number n up for the current statement kind: answers the slot (1 to 64) and
// makes that unit current, or answers NOT_CONNECTED. For kinds other than CLOSE, WRITE,
// OPEN, READ and REWIND an unconnected number raises error 66.
int32_t find_unit_slot(int32_t n);
// The same, answering the Unit or null.
Unit* lookup_unit(int32_t n);
// The lowest free slot of 1..61, or 0 when all are taken.
int32_t free_file_slot();
// The unit that console output goes to (slot 63 if present, else slot 62 with handle 1).
Unit* console_output_unit();

}  // namespace rtlib
