// The record layer: refills a unit's record buffer from its handle, puts output bytes into
// it, and ends input and output records by unit kind. The engines call it through
// next_char, step_back, put and the record-end routine that the executor chose; the
// executor and the file connection call begin_writing, end_writing, position_direct and
// write_line_end. Console records are written as they end, with their line end left
// pending until the next record shows which one is wanted; file records collect in the
// buffer, which is written when it is full or when the unit leaves output mode.
#include "rtlib/io/records.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "rtlib/io/handles.h"
#include "rtlib/services/errors.h"

namespace rtlib {

RecordState record_state;

void RecordState::reset() { *this = RecordState{}; }

namespace {

constexpr uint8_t LF = 0x0A;
constexpr uint8_t CR = 0x0D;
constexpr uint8_t CTRL_Z = 0x1A;
constexpr uint8_t FMT_DOLLAR = 25;  // the format ended with a dollar sign
constexpr int32_t SEQUENTIAL_RECORD_LIMIT = 1024;
constexpr int32_t BLANK_PIECE = 16;
constexpr char BLANKS[BLANK_PIECE + 1] = "                ";

RecordState& rs = record_state;

Unit& current() { return *exec_state.unit; }

[[noreturn]] void raise(int32_t code) { raise_error(code, exec_state.kind); }

[[noreturn]] void raise_end_of_file(Unit& u) {
  u.flags |= UNIT_EOF;
  mark_end_of_file();
  raise(73);
}

// After a write or size change fell short: a full disk raises 68, a refusal 67; any other
// failure is ignored.
void check_write_failure() {
  if (handle_errors.last_errno == HERR_DISK_FULL) raise(68);
  if (handle_errors.last_errno == HERR_ACCESS) raise(67);
}

void write_checked(int32_t handle, const void* bytes, int32_t count) {
  if (raw_write(handle, bytes, count) < count) check_write_failure();
}

// The last index output may use: `last`, but never past the buffer.
int32_t usable_last(const Unit& u) { return std::min(u.last, u.record_capacity - 1); }

bool advancing(const Unit& u) { return !(u.xflags & X_NONADVANCE); }

bool sequential_file(const Unit& u) {
  return u.kind == KIND_FORMATTED_SEQUENTIAL || u.kind == KIND_BINARY_SEQUENTIAL ||
         u.kind == KIND_UNFORMATTED_SEQUENTIAL;
}

// The dollar sign ends a record without its line end only in a formatted statement; a
// list-directed statement ignores what an earlier format left in fmt_desc.
bool dollar_ended(const Unit& u) {
  return exec_state.format != nullptr && u.fmt_desc == FMT_DOLLAR;
}

bool namelist_transfer() {
  const Engine namelist =
      exec_state.writing ? engine_table.write[ENGINE_NAMELIST] : engine_table.read[ENGINE_NAMELIST];
  return namelist != nullptr && exec_state.engine == namelist;
}

// After a move to the left the record goes on at the furthest column reached.
void tab_adjust(Unit& u) {
  const auto mark = static_cast<int32_t>(u.col_mark);
  if (rs.positioned == 1 && rs.record_column > mark) u.pos += rs.record_column - mark;
}

// ---- Input ----

// The next element of an internal file's character variable becomes the record.
bool next_internal_element(Unit& u) {
  if (u.recl <= 0 || u.record_capacity <= u.recl) return false;
  u.record += u.recl;
  u.record_capacity -= u.recl;
  u.pos = 0;
  u.last = u.recl - 1;
  return true;
}

// Past the end of an internal record a blank is answered and nothing changes. A
// list-directed READ would then look for its value forever, so for it the record end
// moves on to the next element (the end counting as a blank), and past the last element
// it is the end of file.
int internal_refill(Unit& u) {
  const Engine list_input = engine_table.read[ENGINE_LIST];
  if (!exec_state.writing && list_input != nullptr && exec_state.engine == list_input) {
    if (!next_internal_element(u)) {
      mark_end_of_file();
      raise(73);
    }
  }
  return ' ';
}

int32_t take_direct(Unit& u) {
  const int32_t size = std::clamp(rs.direct_left, 0, u.record_capacity);
  rs.direct_left -= size;
  return size;
}

// Reads up to size bytes into the record. A pipe may deliver a line in pieces; a read
// from a pipe that stops inside a line goes on to the line end, a full buffer or the end
// of the input, so that one line never becomes two records.
int32_t read_chunk(Unit& u, int32_t size) {
  int32_t n = raw_read(u.handle, u.record, size);
  if (n > 0 && n < size && u.record[n - 1] != LF &&
      (u.kind == KIND_TERMINAL || u.kind == KIND_FORMATTED_SEQUENTIAL) && file_is_pipe(u.handle)) {
    while (n < size && u.record[n - 1] != LF) {
      const int32_t more = raw_read(u.handle, u.record + n, size - n);
      if (more <= 0) break;
      n += more;
    }
  }
  return n;
}

// Index of the first Ctrl-Z followed by a line end (CR LF, or LF alone as a terminal
// sends it) among the n bytes at r, else -1.
int32_t end_of_file_mark(const uint8_t* r, int32_t n) {
  const uint8_t* end = r + n;
  for (const uint8_t* p = r; p < end; ++p) {
    p = static_cast<const uint8_t*>(std::memchr(p, CTRL_Z, static_cast<size_t>(end - p)));
    if (p == nullptr) return -1;
    if ((end - p > 1 && p[1] == LF) || (end - p > 2 && p[1] == CR && p[2] == LF)) {
      return static_cast<int32_t>(p - r);
    }
  }
  return -1;
}

// A line ending in Ctrl-Z among record[from..last] is the console end of file. The lines
// before it are delivered first (redirected input brings several lines in one read);
// the refill after them is the end of file, and what follows the Ctrl-Z line is kept for
// reads after it. Whatever stands before the Ctrl-Z on its line is lost.
void look_for_end_of_file(Unit& u, int32_t from) {
  int32_t mark = end_of_file_mark(u.record + from, u.last + 1 - from);
  if (mark < 0) return;
  mark += from;
  int32_t line_start = mark;
  while (line_start > from && u.record[line_start - 1] != LF) --line_start;
  rs.held_end_of_file = &u;
  rs.held_rest = mark + (u.record[mark + 1] == LF ? 2 : 3);
  rs.held_last = u.last;
  u.last = line_start - 1;
}

[[noreturn]] void deliver_end_of_file(Unit& u) {
  rs.held_end_of_file = nullptr;
  u.pos = rs.held_rest;
  u.last = rs.held_last;
  look_for_end_of_file(u, u.pos);
  raise_end_of_file(u);
}

// Drops the rest of an overlong line typed at a terminal, so that it does not arrive as
// the next record.
void drain_typed_line(Unit& u) {
  if (!file_is_device(u.handle)) return;
  for (;;) {
    const int32_t n = raw_read(u.handle, u.record, u.record_capacity);
    if (n <= 0 || u.record[n - 1] == LF) return;
  }
}

// Console checks of a freshly read chunk: overlong typed line, Ctrl-Z end of file.
void check_console_chunk(Unit& u, int32_t n, int32_t size) {
  if (n == size && u.record[n - 1] != LF && file_is_device(0)) {
    drain_typed_line(u);
    u.pos = 0;
    u.last = -1;
    raise(53);
  }
  look_for_end_of_file(u, 0);
  if (rs.held_end_of_file == &u && u.last < u.pos) deliver_end_of_file(u);
}

// Takes bytes up to and including the next LF.
void skip_past_line_end() {
  while (next_char() != LF) {
  }
}

void end_internal_input() {
  Unit& u = current();
  tab_adjust(u);
  if (!next_internal_element(u)) u.pos = u.last + 1;
}

void end_terminal_input() {
  Unit& u = current();
  if (advancing(u)) {
    if (file_is_device(0)) {
      if (u.pos == 0 && u.last < 0) fill_record();  // this READ took nothing: drop a line
      u.last = -1;
      u.pos = 0;
    } else {
      skip_past_line_end();
    }
  }
  u.line_ended = 0;
  u.flags &= ~UNIT_OUTPUT_MODE;
}

void end_direct_input() {
  Unit& u = current();
  tab_adjust(u);
  if (advancing(u)) {
    // A record without LF ends with its recl bytes.
    while (u.pos <= u.last || rs.direct_left > 0) {
      if (next_char() == LF) break;
    }
  }
  ++u.recno;
}

void end_sequential_input() {
  Unit& u = current();
  tab_adjust(u);
  if (advancing(u) && !dollar_ended(u)) skip_past_line_end();
}

void end_nothing() {}

// ---- Output ----

// Sequential file records: a breach of the record length is a record overflow.
void check_record_length(const Unit& u, int32_t f) {
  bool fits;
  if (u.recl == 0) {
    fits = u.pos + f <= SEQUENTIAL_RECORD_LIMIT;
  } else if (!advancing(u)) {
    fits = f - rs.write_start + u.pos <= u.recl;
  } else {
    fits = u.pos + f <= u.record_capacity;
  }
  if (!fits) raise(CODE_RECORD_OVERFLOW);
}

// Room left in the buffer; a full buffer is written out first (a nonadvancing transfer
// too, or it could never go on).
int32_t room_for_output(Unit& u) {
  int32_t room = usable_last(u) - u.pos + 1;
  if (room > 0) return room;
  write_record(u.pos, u.record);
  room = usable_last(u) - u.pos + 1;
  if (room <= 0) raise(90);  // a buffer without usable length
  return room;
}

// Left of the buffer's start lie bytes already written to the file: the overlapping
// blanks and characters are written there straight, and the file position comes back.
// On the console and in an internal record they cannot be placed and are dropped.
void write_before_buffer(Unit& u, int32_t& blanks, int32_t& count, const char*& text) {
  const int32_t back = -u.pos;
  const int32_t overlap_blanks = std::min(blanks, back);
  const int32_t overlap_text = std::min(count, back - overlap_blanks);
  const int32_t straight = overlap_blanks + overlap_text;
  if (u.kind != KIND_TERMINAL && u.kind != KIND_INTERNAL &&
      file_seek(u.handle, -back, SEEK_FROM_CURRENT) >= 0) {
    for (int32_t left = overlap_blanks; left > 0; left -= BLANK_PIECE) {
      write_checked(u.handle, BLANKS, std::min(left, BLANK_PIECE));
    }
    write_checked(u.handle, text, overlap_text);
    file_seek(u.handle, back - straight, SEEK_FROM_CURRENT);
  }
  blanks -= overlap_blanks;
  count -= overlap_text;
  text += overlap_text;
  u.pos += straight;
  u.col_mark += static_cast<uint32_t>(straight);
}

void end_internal_output() {
  Unit& u = current();
  tab_adjust(u);
  const int32_t from = std::max(u.pos, 0);
  const int32_t end = usable_last(u);
  if (from <= end) std::memset(u.record + from, ' ', static_cast<size_t>(end - from + 1));
  if (!next_internal_element(u)) {
    u.pos = 0;
    u.last = -1;  // no element left: further output raises 89
  }
}

// An empty record is one blank (eaten as carriage control); the pieces of a long record
// that put_chars wrote already are not written again.
void end_terminal_output() {
  Unit& u = current();
  int32_t n = rs.record_column;
  if (n == 0) {
    rs.pending_blanks = 1;
    put_chars(0, nullptr);
    n = 1;
  }
  if (u.record_capacity > 0) {
    while (n > u.record_capacity) n -= u.record_capacity;
  }
  write_record(n, u.record);
  u.flags |= UNIT_OUTPUT_MODE;
  u.flags &= ~UNIT_CONTINUED;
  rs.record_column = 0;
}

// A direct record is padded with blanks and ends with CR LF within recl bytes.
void end_direct_output() {
  Unit& u = current();
  rs.pending_blanks = std::max(u.recl - rs.record_column - 2, 0);
  tab_adjust(u);
  if (advancing(u)) put(2, "\r\n");
  write_record(u.pos, u.record);
  ++u.recno;
}

void end_sequential_output() {
  Unit& u = current();
  tab_adjust(u);
  if (dollar_ended(u)) return;
  if (advancing(u) || (u.xflags & X_REVERSION_EOL)) put(2, "\r\n");
}

// Console carriage control of the first piece of a record: writes the line end that is
// due in front of it and answers how many leading bytes are not shown.
int32_t console_carriage_control(Unit& u, int32_t count, const uint8_t* bytes) {
  if (u.xflags & X_LIST_CC) {
    if (u.flags & UNIT_OUTPUT_MODE) write_line_end(&u, ' ');
    return 0;
  }
  if (namelist_transfer()) return 0;
  const char c = count > 0 ? static_cast<char>(bytes[0]) : ' ';
  if ((u.flags & UNIT_OUTPUT_MODE) && u.line_ended == 0) {
    write_line_end(&u, c);
  } else if (c == '+' || c == '1') {
    write_line_end(&u, c);
  } else if (c == '0') {
    write_line_end(&u, ' ');
  }
  return count > 0 ? 1 : 0;
}

}  // namespace

// ---- Input interface ----

int fill_record() {
  Unit& u = current();
  int32_t size = u.record_capacity;
  switch (u.kind) {
    case KIND_INTERNAL: return internal_refill(u);
    case KIND_FORMATTED_DIRECT:
      if (rs.direct_left == 0) return ' ';  // past the end of a direct record: blanks
      size = take_direct(u);
      break;
    case KIND_BINARY_DIRECT:
      if (rs.direct_left == 0) {
        rs.direct_left = u.recl;
        ++u.recno;
      }
      size = take_direct(u);
      break;
    case KIND_UNFORMATTED_DIRECT: size = take_direct(u); break;
    default: break;
  }
  if (rs.held_end_of_file == &u) deliver_end_of_file(u);
  if (rs.line_end_added == &u) rs.line_end_added = nullptr;

  const int32_t n = read_chunk(u, size);
  if (n > 0) u.file_offset += n;
  u.pos = 0;
  u.last = std::max(n, 0) - 1;
  if (n == 0) raise_end_of_file(u);
  if (n < 0) raise(72);
  // A final line without a line end still ends its record.
  if (n < size && u.record[n - 1] != LF && u.kind <= KIND_FORMATTED_SEQUENTIAL) {
    u.record[++u.last] = LF;
    rs.line_end_added = &u;
  }
  if (u.kind == KIND_TERMINAL) check_console_chunk(u, n, size);
  u.pos = 1;
  return u.record[0];
}

RecordEnd input_record_end(int32_t kind) {
  switch (kind) {
    case KIND_INTERNAL: return end_internal_input;
    case KIND_TERMINAL: return end_terminal_input;
    case KIND_FORMATTED_DIRECT: return end_direct_input;
    case KIND_FORMATTED_SEQUENTIAL: return end_sequential_input;
    default: return end_nothing;
  }
}

// ---- Output interface ----

void put_chars(int32_t count, const char* text) {
  Unit& u = current();
  count = std::max(count, 0);
  rs.pending_blanks = std::max(rs.pending_blanks, 0);
  int32_t total = count + rs.pending_blanks;
  rs.record_column += total;
  const bool check_length = sequential_file(u);
  while (total > 0) {
    const int32_t room = room_for_output(u);
    const bool blanks = rs.pending_blanks > 0;
    const int32_t f = std::min(room, blanks ? rs.pending_blanks : total);
    if (check_length) check_record_length(u, f);
    if (blanks) {
      std::memset(u.record + u.pos, ' ', static_cast<size_t>(f));
      rs.pending_blanks -= f;
    } else {
      std::memcpy(u.record + u.pos, text, static_cast<size_t>(f));
      text += f;
    }
    u.pos += f;
    total -= f;
    u.flags |= UNIT_DIRTY;
  }
}

void put_chars_tabbed(int32_t count, const char* text) {
  Unit& u = current();
  count = std::max(count, 0);
  u.pos += rs.column_offset;
  u.col_mark += static_cast<uint32_t>(rs.column_offset);
  rs.column_offset = 0;
  int32_t blanks = std::max(rs.pending_blanks, 0);
  rs.pending_blanks = 0;
  if (u.pos < 0) write_before_buffer(u, blanks, count, text);
  u.pos = std::min(u.pos, usable_last(u) + 1);  // never beyond the buffer
  while (blanks + count > 0) {
    const int32_t room = room_for_output(u);
    int32_t f;
    if (blanks > 0) {
      f = std::min(room, blanks);
      std::memset(u.record + u.pos, ' ', static_cast<size_t>(f));
      blanks -= f;
    } else {
      f = std::min(room, count);
      std::memcpy(u.record + u.pos, text, static_cast<size_t>(f));
      text += f;
      count -= f;
    }
    u.pos += f;
    u.col_mark += static_cast<uint32_t>(f);
    u.flags |= UNIT_DIRTY;
  }
  rs.record_column = std::max(rs.record_column, static_cast<int32_t>(u.col_mark));
}

RecordEnd output_record_end(int32_t kind) {
  switch (kind) {
    case KIND_INTERNAL: return end_internal_output;
    case KIND_TERMINAL: return end_terminal_output;
    case KIND_FORMATTED_DIRECT: return end_direct_output;
    case KIND_FORMATTED_SEQUENTIAL: return end_sequential_output;
    default: return end_nothing;
  }
}

void write_record(int32_t count, const uint8_t* bytes) {
  Unit& u = current();
  count = std::clamp(count, 0, std::max(u.record_capacity, 0));
  switch (u.kind) {
    case KIND_INTERNAL: raise(89);
    case KIND_FORMATTED_DIRECT:
    case KIND_UNFORMATTED_DIRECT:
      if (u.last < 0) raise(90);
      [[fallthrough]];
    case KIND_BINARY_DIRECT:
      if (rs.direct_left == 0) {
        rs.direct_left = u.recl;
        ++u.recno;
      }
      u.last = std::min(u.record_capacity, rs.direct_left) - 1;
      rs.direct_left -= u.last + 1;
      break;
    case KIND_TERMINAL:
      if (!(u.flags & UNIT_CONTINUED)) {
        const int32_t hidden = console_carriage_control(u, count, bytes);
        bytes += hidden;
        count -= hidden;
        u.flags |= UNIT_CONTINUED;
      }
      break;
    default: break;
  }
  u.pos = 0;
  u.flags &= ~UNIT_DIRTY;
  write_checked(u.handle, bytes, count);
  u.file_offset += count;
}

void write_line_end(Unit* unit, char c) {
  const int32_t handle = unit->handle == 0 ? 1 : unit->handle;
  switch (c) {
    case '+': write_checked(handle, "\r", 1); break;
    case '0': write_checked(handle, "\r\n\r\n", 4); break;
    case '1': write_checked(handle, "\r\n\f\r \r", 6); break;
    default: write_checked(handle, "\r\n", 2); break;
  }
}

// The file is cut just after the current position, and the file position goes back to
// the byte that record[0] stands for, so that the buffer is written again from there.
void begin_writing() {
  Unit& u = current();
  // Bytes of the buffer that came from the file (an LF added after a final line without
  // line end is not among them).
  int32_t from_file = u.last + 1;
  if (rs.line_end_added == &u) {
    rs.line_end_added = nullptr;
    from_file = std::max(u.last, 0);
    u.pos = std::min(u.pos, from_file);
  }
  const int32_t start = (u.flags & UNIT_OUTPUT_MODE) ? 0 : from_file;
  u.flags |= UNIT_OUTPUT_MODE;
  if (file_set_size(u.handle, u.file_offset - start + u.pos) == -1) check_write_failure();
  if (u.file_offset != 0) u.file_offset = file_seek(u.handle, -u.pos, SEEK_FROM_END);
}

void end_writing() {
  Unit& u = current();
  const int32_t pos = u.pos;
  if (u.flags & UNIT_DIRTY) write_record(u.pos, u.record);
  if (exec_state.kind != StatementKind::Rewind) {
    u.pos = pos;
    u.last = pos - 1;  // the next next_char reads a new chunk
  }
  u.flags &= ~UNIT_OUTPUT_MODE;
}

void position_direct(int32_t n) {
  Unit& u = current();
  rs.direct_left = u.recl;
  if (exec_state.writing) {
    u.last = std::min(u.record_capacity, u.recl) - 1;
    rs.direct_left -= u.last + 1;
  }
  if (n == NO_UNIT_NUMBER) return;
  if (n <= 0) raise(37);
  const int64_t offset = static_cast<int64_t>(n - 1) * u.recl;
  if (offset > INT32_MAX) raise(37);  // beyond the largest file offset
  u.recno = n;
  if (offset != u.file_offset) {
    u.file_offset = file_seek(u.handle, static_cast<int32_t>(offset), SEEK_FROM_START);
  }
}

}  // namespace rtlib
