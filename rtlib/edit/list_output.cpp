// List-directed output: see list_output.h. Called by the executor as the engine of a
// WRITE without a format; values are edited into the edit buffer and put into the record
// through the record layer.
#include "rtlib/edit/list_output.h"

#include "rtlib/edit/edit_buffer.h"
#include "rtlib/edit/output_editing.h"
#include "rtlib/io/control_list.h"
#include "rtlib/io/executor.h"
#include "rtlib/io/records.h"

namespace rtlib {

ListOutputState list_output_state;

namespace {

ListOutputState& lo = list_output_state;

// The constant descriptors: {repeat, w, d, e, k, plus, code, sub}.
constexpr EditDescriptor INTEGER_DESC{0, 11, 1, 0, 0, 0, DESC_I, SUB_NONE};
constexpr EditDescriptor SINGLE_DESC{0, 15, 6, 2, 0, 0, DESC_LIST, SUB_NONE};
constexpr EditDescriptor DOUBLE_DESC{0, 24, 15, 3, 0, 0, DESC_LIST, SUB_NONE};

bool single_precision(int32_t type) {
  return type == static_cast<int32_t>(IoType::Real4) ||
         type == static_cast<int32_t>(IoType::Complex8);
}

int32_t integer_value(const CurrentItem& item) {
  switch (item.type) {
    case static_cast<int32_t>(IoType::Int1): return static_cast<int8_t>(item.addr[0]);
    case static_cast<int32_t>(IoType::Int2): return load<int16_t>(item.addr);
    default: return load<int32_t>(item.addr);
  }
}

// Ends the record and starts the next one with nothing yet in it.
void new_record() {
  end_output_record();
  lo.line_room = LIST_RECORD_WIDTH;
}

// A text that does not fit is split: what the room holds ends this record and the rest
// continues in the next ones, each beginning with its blank.
void put_text(const char* text, int32_t length) {
  while (lo.line_room <= length) {
    const int32_t part = lo.line_room > 0 ? lo.line_room : 0;
    put(part, text);
    text += part;
    length -= part;
    new_record();
    record_state.pending_blanks = 1;
  }
  put(length, text);
  lo.line_room -= length;
}

}  // namespace

void list_write_value() {
  const CurrentItem& item = exec_state.item;
  char* const buffer = edit_buffer.text;
  int32_t length = 0;
  int32_t width = 0;
  switch (io_class(item.type)) {
    case IoClass::Integer:
      length = edit_integer(integer_value(item), INTEGER_DESC, buffer);
      width = INTEGER_DESC.w;
      break;
    case IoClass::Logical:
      buffer[0] = item.addr[0] != 0 ? 'T' : 'F';
      length = 1;
      width = 1;
      break;
    case IoClass::Real: {
      const EditDescriptor& desc = single_precision(item.type) ? SINGLE_DESC : DOUBLE_DESC;
      length = edit_real(desc, item.addr, item.type, buffer);
      width = desc.w;
      break;
    }
    case IoClass::Complex: {
      const EditDescriptor& desc = single_precision(item.type) ? SINGLE_DESC : DOUBLE_DESC;
      buffer[length++] = '(';
      length += edit_real(desc, item.addr, item.type, buffer + length);
      buffer[length++] = ',';
      length += edit_real(desc, item.addr + item.size, item.type, buffer + length);
      buffer[length++] = ')';
      width = 2 * desc.w + 3;
      break;
    }
    case IoClass::Character:
      // Text is never preceded by a separator: only the record's leading blank stays.
      record_state.pending_blanks = record_state.pending_blanks == 1 ? 1 : 0;
      put_text(reinterpret_cast<const char*>(item.addr), item.size);
      return;
    default: return;
  }

  if (lo.separator_due) {
    ++width;
  } else {
    lo.separator_due = true;
  }
  record_state.pending_blanks += width - length;
  if (lo.line_room <= width) {
    // A number never splits: it moves whole, with its own blanks, to a new record.
    const int32_t blanks = record_state.pending_blanks;
    record_state.pending_blanks = 0;
    new_record();
    record_state.pending_blanks = blanks;
  }
  put(length, buffer);
  lo.line_room -= width;
}

void list_write(int32_t first) {
  if (first) {
    record_state.pending_blanks = 1;  // the blank in column 1 of every record
    lo.line_room = exec_state.slot == INTERNAL_SLOT ? exec_state.unit->recl - 1 : LIST_RECORD_WIDTH;
    lo.separator_due = false;
  }
  for (;;) {
    switch (next_list_item()) {
      case ListMark::Pause: return;
      case ListMark::End: end_output_record(); return;
      case ListMark::Item: break;
    }
    CurrentItem& item = exec_state.item;
    const int32_t step = io_class(item.type) == IoClass::Complex ? 2 * item.size : item.size;
    for (int32_t element = 0; element < item.count; ++element) {
      list_write_value();
      if (item.type == static_cast<int32_t>(IoType::Char)) lo.separator_due = false;
      item.addr += step;
    }
  }
}

}  // namespace rtlib
