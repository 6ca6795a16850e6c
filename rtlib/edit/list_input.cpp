// List-directed input: see list_input.h. Called by the executor as the engine of a READ
// without a format, once per piece of items.
#include "rtlib/edit/list_input.h"

#include <cstring>

#include "rtlib/edit/edit_buffer.h"
#include "rtlib/edit/edit_descriptor.h"
#include "rtlib/edit/input_conversion.h"
#include "rtlib/io/control_list.h"
#include "rtlib/io/executor.h"
#include "rtlib/io/records.h"
#include "rtlib/services/errors.h"

namespace rtlib {

ListInputState list_input_state;

namespace {

ListInputState& ls = list_input_state;

constexpr int CR = '\r';
constexpr int LF = '\n';

void collect(int c) {
  if (ls.value_length < EDIT_VALUE_MAX) edit_buffer.text[ls.value_length++] = static_cast<char>(c);
}

// Copies the collected text into a character element, truncated or padded with blanks.
void store_text(uint8_t* to, int32_t length, int32_t from) {
  int32_t n = ls.value_length < length ? ls.value_length : length;
  if (n > from) std::memcpy(to + from, edit_buffer.text + from, static_cast<size_t>(n - from));
  if (n < from) n = from;
  if (length > n) std::memset(to + n, ' ', static_cast<size_t>(length - n));
}

void store_value(bool fresh) {
  CurrentItem& item = exec_state.item;
  switch (io_class(item.type)) {
    case IoClass::Integer:
      if (ls.scan_state != SCAN_NORMAL) raise_error(76, exec_state.kind);
      store_integer_item(convert_integer_value(ls.value_length));
      break;
    case IoClass::Real:
      if (ls.scan_state != SCAN_NORMAL) raise_error(76, exec_state.kind);
      convert_real_value(edit_buffer.text, ls.value_length);
      break;
    case IoClass::Complex: {
      if (ls.scan_state != SCAN_PARENTHESIZED) raise_error(76, exec_state.kind);
      if (ls.comma_position < 0) raise_error(78, exec_state.kind);
      uint8_t* const element = item.addr;
      convert_real_value(edit_buffer.text, ls.comma_position);
      item.addr = element + item.size;
      convert_real_value(edit_buffer.text + ls.comma_position + 1,
                         ls.value_length - ls.comma_position - 1);
      item.addr = element;
      break;
    }
    case IoClass::Logical: convert_logical_value(ls.value_length); break;
    case IoClass::Character:
      // A fresh quoted value went into the element as it was read; a repeat copies it.
      store_text(item.addr, item.size, fresh && ls.quoted ? ls.quoted_stored : 0);
      break;
    default: break;
  }
}

// Scans the characters of one value; answers true for a value, false for a null value.
bool scan_value() {
  CurrentItem& item = exec_state.item;
  const bool into_text = item.type == static_cast<int32_t>(IoType::Char);
  bool repeat_pending = false;
  for (;;) {
    int c = next_char();
    if (c == CR || c == LF) {
      step_back();
      finish_record();
      // Inside a quoted or parenthesized value the record end is not part of the value
      // and does not end it: the value goes on with the next record, which is still to
      // be finished when the value ends.
      if (ls.scan_state != SCAN_NORMAL) continue;
      if (ls.value_length > 0 || repeat_pending) ls.record_ended = true;
      c = ' ';
    }
    if (ls.scan_state == SCAN_QUOTED) {
      if (c == ls.quote_char) {
        const int after = next_char();
        if (after != ls.quote_char) {
          if (after == LF) step_back();
          ls.last_separator = static_cast<char>(after);
          return true;
        }
      }
      if (into_text && ls.quoted_stored < item.size)
        item.addr[ls.quoted_stored++] = static_cast<uint8_t>(c);
      collect(c);
      continue;
    }
    switch (c) {
      case ' ':
      case '\t':
        if ((ls.value_length == 0 && !repeat_pending) || ls.scan_state == SCAN_PARENTHESIZED)
          continue;
        ls.last_separator = ' ';
        return ls.value_length > 0;
      case '(':
        if (ls.value_length == 0) {
          ls.scan_state = SCAN_PARENTHESIZED;
          continue;
        }
        break;
      case ')':
        if (ls.scan_state == SCAN_PARENTHESIZED) {
          ls.last_separator = ' ';
          return true;
        }
        break;
      case '\'':
      case '"':
        if (ls.value_length == 0) {
          ls.scan_state = SCAN_QUOTED;
          ls.quote_char = static_cast<char>(c);
          ls.quoted = true;
          continue;
        }
        break;
      case '*': {
        if (repeat_pending) raise_error(75, exec_state.kind);
        const auto count = static_cast<uint32_t>(convert_integer_value(ls.value_length));
        if (count == 0) raise_error(74, exec_state.kind);
        ls.repeat_left = count - 1;
        ls.value_length = 0;
        repeat_pending = true;
        continue;
      }
      case ',':
        if (ls.value_length == 0 && !repeat_pending && ls.last_separator == ' ') {
          ls.last_separator = ',';
          continue;
        }
        if (ls.scan_state == SCAN_PARENTHESIZED) {
          ls.comma_position = ls.value_length;
          break;
        }
        ls.last_separator = ',';
        return ls.value_length > 0;
      case '/': ls.last_separator = '/'; return ls.value_length > 0;
      default: break;
    }
    collect(c);
  }
}

}  // namespace

void read_list_value() {
  if (ls.repeat_left != 0) {
    --ls.repeat_left;
    if (ls.value_length > 0 || ls.quoted) store_value(false);
    return;
  }
  ls.value_length = 0;
  ls.record_ended = false;
  ls.scan_state = SCAN_NORMAL;
  ls.comma_position = -1;
  ls.quoted = false;
  ls.quoted_stored = 0;
  if (scan_value() || ls.quoted) store_value(true);
}

void read_list_items(int32_t first) {
  if (first) {
    ls.reset();
    Unit* unit = exec_state.unit;
    unit->fmt_desc = DESC_F;
    unit->fmt_d = 0;
    unit->fmt_scale = 0;
  }
  for (;;) {
    switch (next_list_item()) {
      case ListMark::Pause: return;
      case ListMark::End:
        if (!ls.record_ended) finish_record();
        return;
      case ListMark::Item: break;
    }
    CurrentItem& item = exec_state.item;
    const int32_t step = io_class(item.type) == IoClass::Complex ? 2 * item.size : item.size;
    for (int32_t element = 0; element < item.count; ++element) {
      if (!(ls.last_separator == '/' && ls.repeat_left == 0)) read_list_value();
      item.addr += step;
    }
  }
}

}  // namespace rtlib
