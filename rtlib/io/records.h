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

// Statement-level state of the record layer.
struct RecordState {
  int32_t pending_blanks = 0;
  int32_t record_column = 0;
  int32_t write_start = 0;
  int32_t positioned = 0;
  int32_t column_offset = 0;
  int32_t direct_left = 0;
  Emitter emitter = nullptr;  // the statement's put operation
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
void put_chars(int32_t count, const char* text);
void put_chars_tabbed(int32_t count, const char* text);
// Puts through the statement's current put operation.
inline void put(int32_t count, const char* text) { record_state.emitter(count, text); }
void write_record(int32_t count, const uint8_t* bytes);
void write_line_end(Unit* unit, char c);
void begin_writing();
void end_writing();
void position_direct(int32_t n);

// The record-end routines of a unit kind; the executor chooses one per statement.
RecordEnd input_record_end(int32_t kind);
RecordEnd output_record_end(int32_t kind);
// Run the routine the executor chose for the statement.
inline void end_input_record() { exec_state.record_end(); }
inline void end_output_record() { exec_state.record_end(); }

}  // namespace rtlib
