// The statement builder: the begin, item and end calls of READ and WRITE. A WRITE is
// collected whole and executed by its end call; a READ runs the executor piece by piece,
// one piece per input item, so each variable holds its value when its call returns.
#include "rtlib/io/statement_builder.h"

#include <cstdlib>
#include <cstring>

#include "rtlib/edit/format_compiler.h"
#include "rtlib/io/control_list.h"
#include "rtlib/io/executor.h"
#include "rtlib/rtlib.h"
#include "rtlib/services/errors.h"

namespace rtlib {

StatementState statement_state;

namespace {

StatementState& st = statement_state;

template <typename T>
struct ComplexPair {
  T re;
  T im;
};

// Error raised when WRITE statements nest deeper than the save slots allow.
constexpr int32_t CODE_NESTING_TOO_DEEP = 120;

void free_temps(TempCopy* head) {
  while (head != nullptr) {
    TempCopy* next = head->next;
    std::free(head->data);
    std::free(head);
    head = next;
  }
}

void release_statement_format() {
  release_format(st.format);
  st.format = nullptr;
}

// Keeps at least LIST_RESERVE bytes free in front of the next item.
void ensure_room() {
  if (st.list_cap - st.list_len >= LIST_RESERVE) return;
  const int32_t wanted = st.list_cap + LIST_GROWTH;
  if (wanted > st.list_alloc) {
    auto* grown = static_cast<uint8_t*>(std::realloc(st.list, static_cast<size_t>(wanted)));
    if (grown == nullptr) raise_error(92, StatementKind::NoStatement);
    st.list = grown;
    st.list_alloc = wanted;
  }
  st.list_cap = wanted;
}

void append_byte(uint8_t b) { st.list[st.list_len++] = b; }

template <typename T>
void append_value(T v) {
  store<T>(st.list + st.list_len, v);
  st.list_len += static_cast<int32_t>(sizeof(T));
}

void append_address(const void* p) { append_value<const void*>(p); }

void push_nesting() {
  if (st.nest_depth != 0) {
    if (st.nest_depth > NEST_SLOTS) raise_error(CODE_NESTING_TOO_DEEP, StatementKind::NoStatement);
    SavedStatement& slot = st.saved[st.nest_depth];
    auto* copy = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(st.list_len) + 1));
    if (copy == nullptr) raise_error(92, StatementKind::NoStatement);
    std::memcpy(copy, st.list, static_cast<size_t>(st.list_len));
    slot.list_len = st.list_len;
    slot.list_copy = copy;
    slot.format = st.format;
    slot.read_pending = st.read_pending;
    slot.list_cap = st.list_cap;
    slot.close_disposition = st.close_disposition;
    slot.temps_head = st.temps_head;
    slot.temps_tail = st.temps_tail;
    st.format = nullptr;
  }
  ++st.nest_depth;
}

void pop_nesting() {
  if (st.nest_depth == 0) return;
  const int32_t before = st.nest_depth--;
  if (before < 2) return;
  SavedStatement& slot = st.saved[st.nest_depth];
  std::memcpy(st.list, slot.list_copy, static_cast<size_t>(slot.list_len));
  std::free(slot.list_copy);
  st.list_len = slot.list_len;
  st.format = slot.format;
  st.read_pending = slot.read_pending;
  st.list_cap = slot.list_cap;
  st.close_disposition = slot.close_disposition;
  st.temps_head = slot.temps_head;
  st.temps_tail = slot.temps_tail;
  slot = SavedStatement{};
}

// A keyword value matches when its first characters are the keyword (letters taken as
// upper case) and every further character is a blank.
bool matches_keyword(const char* value, int32_t length, const char* keyword) {
  const auto key_length = static_cast<int32_t>(std::strlen(keyword));
  if (length < key_length) return false;
  for (int32_t i = 0; i < key_length; ++i) {
    char c = value[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != keyword[i]) return false;
  }
  for (int32_t i = key_length; i < length; ++i) {
    if (value[i] != ' ') return false;
  }
  return true;
}

struct BeginArgs {
  bool write;
  int32_t unit;
  const char* fmt;
  int32_t fmt_len;
  const char* adv;
  int32_t adv_len;
  int32_t* size_var;
  int32_t flags;
};

void build_header(const BeginArgs& a) {
  const int32_t default_code = a.write ? DEFAULT_OUTPUT : DEFAULT_INPUT;
  const bool default_unit = a.unit == default_code;
  st.list_cap = LIST_INITIAL_SIZE;
  st.list_len = 1;
  st.list[0] = 0;
  if (a.write) st.temps_head = st.temps_tail = nullptr;

  const bool adv_given = a.adv != nullptr;
  const bool adv_no = adv_given && matches_keyword(a.adv, a.adv_len, "NO");
  const bool adv_yes = adv_given && matches_keyword(a.adv, a.adv_len, "YES");
  if (adv_given && !adv_no && !adv_yes) raise_error(116, StatementKind::NoStatement);
  if (!a.write && adv_yes && a.size_var != nullptr) raise_error(215, StatementKind::NoStatement);

  if (adv_no || default_unit) {
    st.list[0] |= HDR_FORM_EXT;
    uint8_t ext = 0;
    if (adv_no) ext |= EXT_NONADVANCE;
    if (!a.write && (a.flags & 2)) ext |= EXT_EOR_BRANCH;
    if (default_unit) ext |= EXT_DEFAULT_UNIT;
    const int32_t ext_at = st.list_len;
    append_byte(ext);
    if (!a.write && a.size_var != nullptr) {
      st.list[ext_at] |= EXT_SIZE_VAR;
      append_address(a.size_var);
      *a.size_var = 0;
    }
  } else {
    st.list[0] |= HDR_FORM_UNIT16;
  }
  if (!default_unit) append_value<int16_t>(static_cast<int16_t>(a.unit));

  if (a.fmt != nullptr) {
    const int32_t length = a.fmt_len == -1 ? static_cast<int32_t>(std::strlen(a.fmt)) : a.fmt_len;
    st.list[0] |= HDR_FORMATTED;
    st.format = compile_format(a.fmt, length);
    append_byte(TAG_FORMAT_REF);
    append_address(st.format);
  } else {
    st.format = nullptr;
  }

  if (a.write) {
    if (a.flags & 1) st.list[0] |= HDR_ERR_BRANCH;
  } else {
    if (a.flags & 4) st.list[0] |= HDR_ERR_BRANCH;
    if (a.flags & 1) st.list[0] |= HDR_END_BRANCH;
  }
  if (!a.write) st.read_pending = 1;
}

// A begin-time failure comes back here (its own recovery point) when the statement asked
// for its status; otherwise it is reported and the program ends.
int32_t begin_statement(const BeginArgs& a) {
  const int32_t default_code = a.write ? DEFAULT_OUTPUT : DEFAULT_INPUT;
  const int32_t err_flag = a.write ? 1 : 4;
  RecoveryPoint recovery;
  exec_state.unit = nullptr;
  if (a.unit != default_code && (a.unit < -32767 || a.unit > 32767)) {
    exec_state.err_branch = a.flags == -1;
    try {
      raise_error(40, StatementKind::NoStatement, a.unit);
    } catch (const StatementUnwind& unwind) {
      st.io_status = unwind.status;
      return unwind.status;
    }
  }
  bool pushed = false;
  try {
    exec_state.err_branch = a.flags == -1 || (a.flags & err_flag) != 0;
    if (a.write) {
      push_nesting();
      pushed = true;
    }
    build_header(a);
    exec_state.err_branch = false;
  } catch (const StatementUnwind& unwind) {
    exec_state.err_branch = false;
    release_statement_format();
    if (pushed) pop_nesting();
    st.io_status = unwind.status;
    return unwind.status;
  }
  return 0;
}

// Output items: the tag and the value, or for text the address of a copy and its length.
template <typename T>
int32_t out_inline(IoType type, T value) {
  try {
    ensure_room();
    append_byte(make_tag(type, true));
    append_value<T>(value);
  } catch (const StatementUnwind& unwind) {
    return unwind.status;
  }
  return 0;
}

int32_t out_text(const char* text, int32_t length) {
  try {
    ensure_room();
    if (length < 0) length = 0;
    auto* node = static_cast<TempCopy*>(std::malloc(sizeof(TempCopy)));
    char* data = static_cast<char*>(std::malloc(length > 0 ? static_cast<size_t>(length) : 4));
    if (node == nullptr || data == nullptr) {
      std::free(node);
      std::free(data);
      raise_error(92, StatementKind::NoStatement);
    }
    if (length > 0) std::memcpy(data, text, static_cast<size_t>(length));
    node->next = nullptr;
    node->data = data;
    if (st.temps_tail != nullptr) {
      st.temps_tail->next = node;
    } else {
      st.temps_head = node;
    }
    st.temps_tail = node;
    append_byte(make_tag(IoType::Char, false));
    append_address(data);
    append_byte(CHAR_LEN_OUT);
    append_value<int32_t>(length);
  } catch (const StatementUnwind& unwind) {
    return unwind.status;
  }
  return 0;
}

// One piece of a READ: the item, the pause mark, and the executor at once.
int32_t in_item(IoType type, void* address, int32_t length) {
  try {
    if (st.read_pending != 1) st.list_len = 0;
    ensure_room();
    append_byte(make_tag(type, false));
    append_address(address);
    if (type == IoType::Char) {
      append_byte(CHAR_LEN_IN);
      append_value<int16_t>(static_cast<int16_t>(length));
    }
    append_byte(LIST_PAUSE);
  } catch (const StatementUnwind& unwind) {
    st.io_status = unwind.status;
    return unwind.status;
  }
  st.in_transfer = 0;
  if (st.read_pending == 1) {
    st.io_status = execute_read_first(st.list);
    st.read_pending = 0;
  } else {
    st.io_status = execute_read_next(st.list);
  }
  st.in_transfer = 1;
  if (st.io_status != 0) pop_nesting();
  return st.io_status;
}

}  // namespace

void StatementState::reset() {
  free_temps(temps_head);
  for (int32_t i = 1; i <= NEST_SLOTS; ++i) {
    std::free(saved[i].list_copy);
    free_temps(saved[i].temps_head);
    release_format(saved[i].format);
    saved[i] = SavedStatement{};
  }
  release_format(format);
  format = nullptr;
  temps_head = temps_tail = nullptr;
  list_len = 0;
  list_cap = list_alloc;
  read_pending = 0;
  io_status = 0;
  in_transfer = 1;
  nest_depth = 0;
  close_disposition = 0;
}

void statement_state_init() {
  statement_state_release();
  st.list = static_cast<uint8_t*>(std::malloc(LIST_INITIAL_SIZE));
  if (st.list == nullptr) raise_error(92, StatementKind::NoStatement);
  st.list_alloc = LIST_INITIAL_SIZE;
  st.reset();
}

void statement_state_release() {
  st.reset();
  std::free(st.list);
  st.list = nullptr;
  st.list_alloc = 0;
  st.list_cap = 0;
}

}  // namespace rtlib

using rtlib::IoType;
using rtlib::statement_state;

extern "C" {

int32_t io_write_begin(int32_t unit, const char* fmt, int32_t fmt_len, const char* adv,
                       int32_t adv_len, int32_t flags) {
  return rtlib::begin_statement({true, unit, fmt, fmt_len, adv, adv_len, nullptr, flags});
}

int32_t io_read_begin(int32_t unit, const char* fmt, int32_t fmt_len, const char* adv,
                      int32_t adv_len, int32_t* size_var, int32_t flags) {
  return rtlib::begin_statement({false, unit, fmt, fmt_len, adv, adv_len, size_var, flags});
}

int32_t io_write_end(void) {
  auto& st = statement_state;
  try {
    rtlib::append_byte(rtlib::LIST_END);
  } catch (const rtlib::StatementUnwind& unwind) {
    return unwind.status;
  }
  st.in_transfer = 0;
  st.io_status = rtlib::execute_write(st.list, st.format);
  st.in_transfer = 1;
  rtlib::free_temps(st.temps_head);
  st.temps_head = st.temps_tail = nullptr;
  rtlib::release_statement_format();
  rtlib::pop_nesting();
  return st.io_status;
}

int32_t io_read_end(void) {
  auto& st = statement_state;
  st.in_transfer = 0;
  if (st.read_pending == 1) {
    rtlib::append_byte(rtlib::LIST_END);
    st.read_pending = 0;
    st.io_status = rtlib::execute_read_first(st.list);
  } else {
    st.list[0] = rtlib::LIST_END;
    st.list_len = 1;
    st.io_status = rtlib::execute_read_next(st.list);
  }
  st.in_transfer = 1;
  rtlib::release_statement_format();
  return st.io_status;
}

int32_t io_out_i1(int8_t v) { return rtlib::out_inline<int8_t>(IoType::Int1, v); }
int32_t io_out_i2(int16_t v) { return rtlib::out_inline<int16_t>(IoType::Int2, v); }
int32_t io_out_i4(int32_t v) { return rtlib::out_inline<int32_t>(IoType::Int4, v); }
int32_t io_out_l1(int8_t v) { return rtlib::out_inline<int32_t>(IoType::Log4, v); }
int32_t io_out_l2(int16_t v) {
  return rtlib::out_inline<int32_t>(IoType::Log4, static_cast<int8_t>(v & 0xFF));
}
int32_t io_out_l4(int32_t v) { return rtlib::out_inline<int32_t>(IoType::Log4, v); }
int32_t io_out_r4(float v) { return rtlib::out_inline<float>(IoType::Real4, v); }
int32_t io_out_r8(double v) { return rtlib::out_inline<double>(IoType::Real8, v); }
int32_t io_out_c8(float re, float im) {
  return rtlib::out_inline<rtlib::ComplexPair<float>>(IoType::Complex8, {re, im});
}
int32_t io_out_c16(double re, double im) {
  return rtlib::out_inline<rtlib::ComplexPair<double>>(IoType::Complex16, {re, im});
}
int32_t io_out_char(const char* text, int32_t len) { return rtlib::out_text(text, len); }
// A negative length sends an empty value here too, never a huge copy.
int32_t io_out_chars(const char* text, int32_t len) { return rtlib::out_text(text, len); }

int32_t io_in_i1(int8_t* var) { return rtlib::in_item(IoType::Int1, var, 0); }
int32_t io_in_i2(int16_t* var) { return rtlib::in_item(IoType::Int2, var, 0); }
int32_t io_in_i4(int32_t* var) { return rtlib::in_item(IoType::Int4, var, 0); }
int32_t io_in_l1(int8_t* var) { return rtlib::in_item(IoType::Log1, var, 0); }
int32_t io_in_l2(int16_t* var) { return rtlib::in_item(IoType::Log2, var, 0); }
int32_t io_in_l4(int32_t* var) { return rtlib::in_item(IoType::Log4, var, 0); }
int32_t io_in_r4(float* var) { return rtlib::in_item(IoType::Real4, var, 0); }
int32_t io_in_r8(double* var) { return rtlib::in_item(IoType::Real8, var, 0); }
int32_t io_in_c8(float* two_parts) { return rtlib::in_item(IoType::Complex8, two_parts, 0); }
int32_t io_in_c16(double* two_parts) { return rtlib::in_item(IoType::Complex16, two_parts, 0); }
int32_t io_in_char(char* text, int32_t len) { return rtlib::in_item(IoType::Char, text, len); }

// The entries of formatted statements behave as the plain ones.
int32_t io_out_i1_f(int8_t v) { return io_out_i1(v); }
int32_t io_out_i2_f(int16_t v) { return io_out_i2(v); }
int32_t io_out_i4_f(int32_t v) { return io_out_i4(v); }
int32_t io_out_l1_f(int8_t v) { return io_out_l1(v); }
int32_t io_out_l2_f(int16_t v) { return io_out_l2(v); }
int32_t io_out_l4_f(int32_t v) { return io_out_l4(v); }
int32_t io_out_r4_f(float v) { return io_out_r4(v); }
int32_t io_out_r8_f(double v) { return io_out_r8(v); }
int32_t io_out_c8_f(float re, float im) { return io_out_c8(re, im); }
int32_t io_out_c16_f(double re, double im) { return io_out_c16(re, im); }
int32_t io_out_char_f(const char* text, int32_t len) { return io_out_chars(text, len); }
int32_t io_out_chars_f(const char* text, int32_t len) { return io_out_chars(text, len); }
int32_t io_in_i1_f(int8_t* var) { return io_in_i1(var); }
int32_t io_in_i2_f(int16_t* var) { return io_in_i2(var); }
int32_t io_in_i4_f(int32_t* var) { return io_in_i4(var); }
int32_t io_in_l1_f(int8_t* var) { return io_in_l1(var); }
int32_t io_in_l2_f(int16_t* var) { return io_in_l2(var); }
int32_t io_in_l4_f(int32_t* var) { return io_in_l4(var); }
int32_t io_in_r4_f(float* var) { return io_in_r4(var); }
int32_t io_in_r8_f(double* var) { return io_in_r8(var); }
int32_t io_in_c8_f(float* two_parts) { return io_in_c8(two_parts); }
int32_t io_in_c16_f(double* two_parts) { return io_in_c16(two_parts); }
int32_t io_in_char_f(char* text, int32_t len) { return io_in_char(text, len); }

}  // extern "C"
