// The record layer: moves bytes between a unit's record buffer and its file or the
// console. Engines take input characters with next_char and finish a record with
// end_input_record; they put output characters with put (the statement's emitter) and
// end a record with end_output_record. Console records are written at once, with the
// line end left pending; file records go through the unit's buffer.
#pragma once

#include <cstdint>

#include "rtlib/io/executor.h"
#include "rtlib/io/unit_table.h"

namespace rtlib {

using Emitter = void (*)(int32_t count, const char* text);

// The put operations (current unit): pending_blanks blanks, then count bytes of text.
// put_chars is the plain one; put_chars_tabbed is installed by a formatted WRITE after
// its first move to the left.
void put_chars(int32_t count, const char* text);
void put_chars_tabbed(int32_t count, const char* text);

// Statement-level state of the record layer.
struct RecordState {
  int32_t pending_blanks = 0;
  int32_t record_column = 0;
  int32_t write_start = 0;
  int32_t positioned = 0;
  int32_t column_offset = 0;
  int32_t direct_left = 0;
  Emitter emitter = put_chars;  // the statement's put operation
  // Console unit whose buffer holds the lines that came before a Ctrl-Z line in the same
  // read: its next refill is the end of file, after which record[held_rest..held_last]
  // (the bytes after the Ctrl-Z line) are read. Lives across statements.
  const Unit* held_end_of_file = nullptr;
  int32_t held_rest = 0;
  int32_t held_last = -1;
  // Unit whose buffer ends with an LF added after a final line without line end (the LF
  // stands for no byte of the file).
  const Unit* line_end_added = nullptr;
  void reset();
};

extern RecordState record_state;

// Input side (current unit). Bytes are answered as 0..255; CR and LF end a record.
int fill_record();
inline int next_char() {
  Unit* u = exec_state.unit;
  if (u->pos > u->last) return fill_record();
  return u->record[u->pos++];
}
inline void step_back() { --exec_state.unit->pos; }
// Output side (current unit).
// Puts through the statement's current put operation.
inline void put(int32_t count, const char* text) { record_state.emitter(count, text); }
// Writes count bytes (the start of the record) to the unit's handle, with console
// carriage control for a terminal; pos becomes 0.
void write_record(int32_t count, const uint8_t* bytes);
// Writes the line end that carriage-control character c selects (to handle 1 while the
// unit's handle is 0).
void write_line_end(Unit* unit, char c);
// A formatted sequential file turns to writing: the file is cut after the current position.
void begin_writing();
// A formatted sequential file leaves writing: buffered output is written.
void end_writing();
// Positions a direct-access unit at record n (NO_UNIT_NUMBER: no record number given).
void position_direct(int32_t n);

// The record-end routines of a unit kind; the executor chooses one per statement.
RecordEnd input_record_end(int32_t kind);
RecordEnd output_record_end(int32_t kind);
// Run the routine the executor chose for the statement.
inline void end_input_record() { exec_state.record_end(); }
inline void end_output_record() { exec_state.record_end(); }

}  // namespace rtlib
