// Cost of one list-directed input value: scanning it from the record (separators, the
// collection into the edit buffer) and converting it into a 4-byte real or integer. The
// record is served from memory: a unit whose buffer already holds a long line of values,
// rewound when it is used up, so no system call is timed. A std::from_chars loop over the
// same line is a reference point only.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#include "rtlib/edit/edit_descriptor.h"
#include "rtlib/edit/list_input.h"
#include "rtlib/io/control_list.h"
#include "rtlib/io/executor.h"
#include "rtlib/io/unit_table.h"

namespace rtlib {
namespace {

constexpr int32_t LINE_VALUES = 256;

// Appends one value and its separator (a comma after every fifth value, else a blank).
void append_value(char*& p, const char* text, size_t length, int32_t i) {
  std::memcpy(p, text, length);
  p += length;
  *p++ = i % 5 == 4 ? ',' : ' ';
}

// Values as users type them: a few digits, some with a point, a sign or an exponent.
// Deterministic, so runs compare.
std::string real_line() {
  static const char* const forms[] = {"1.5",  "-2.25", "3",       "0.125", "42.75", "1e3",
                                      "-0.5", "100",   "6.02e23", "7.",    ".25",   "3.14159"};
  static char text[LINE_VALUES * 16];
  char* p = text;
  for (int32_t i = 0; i < LINE_VALUES; ++i) {
    const char* form = forms[(i * 7) % 12];
    append_value(p, form, std::strlen(form), i);
  }
  return std::string(text, p);
}

// Integers of one to six digits, about half of them negative.
std::string integer_line() {
  static char text[LINE_VALUES * 16];
  char* p = text;
  uint32_t x = 12345;
  for (int32_t i = 0; i < LINE_VALUES; ++i) {
    x = x * 1103515245u + 12345u;
    const int32_t value = (static_cast<int32_t>((x >> 8) % 200000) - 100000) >> (i % 3 * 6);
    char digits[16];
    const char* digits_end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    append_value(p, digits, static_cast<size_t>(digits_end - digits), i);
  }
  return std::string(text, p);
}

// A unit whose record holds the line, made current with one element of the given type,
// as a list-directed READ statement has them after its start.
class MemoryRecord {
 public:
  MemoryRecord(const std::string& line, IoType type) {
    unit_ = allocate_unit(static_cast<int32_t>(line.size()));
    unit_->kind = KIND_FORMATTED_SEQUENTIAL;
    std::memcpy(unit_->record, line.data(), line.size());
    unit_->pos = 0;
    unit_->last = static_cast<int32_t>(line.size()) - 1;
    unit_->fmt_desc = DESC_F;
    unit_->fmt_d = 0;
    unit_->fmt_scale = 0;
    exec_state.unit = unit_;
    exec_state.kind = StatementKind::Read;
    exec_state.item.type = static_cast<int32_t>(type);
    exec_state.item.addr = element_;
    exec_state.item.size = ELEMENT_SIZE[static_cast<int>(type)];
    exec_state.item.count = 1;
    list_input_state.reset();
  }
  ~MemoryRecord() {
    exec_state.unit = nullptr;
    exec_state.item = CurrentItem{};
    free_unit(unit_);
  }
  MemoryRecord(const MemoryRecord&) = delete;
  MemoryRecord& operator=(const MemoryRecord&) = delete;

  // Rewinds the record when the last value has been taken (the line ends with a blank).
  void rewind_if_used() {
    if (unit_->pos > unit_->last) unit_->pos = 0;
  }
  const uint8_t* element() const { return element_; }

 private:
  Unit* unit_ = nullptr;
  alignas(8) uint8_t element_[8] = {};
};

// The element after one value, as the reference conversion of the same text gives it.
template <typename T>
bool same_as_reference(const uint8_t* element, const char*& p, const char* end) {
  while (*p == ' ' || *p == ',') ++p;
  T expected{};
  p = std::from_chars(p, end, expected).ptr;
  T got;
  std::memcpy(&got, element, sizeof got);
  return got == expected;
}

void list_values(benchmark::State& state, const std::string& line, IoType type) {
  MemoryRecord record(line, type);
  // One pass over the line first: the engine must give what the reference gives.
  const char* p = line.data();
  for (int32_t i = 0; i < LINE_VALUES; ++i) {
    read_list_value();
    const bool same =
        type == IoType::Real4
            ? same_as_reference<float>(record.element(), p, line.data() + line.size())
            : same_as_reference<int32_t>(record.element(), p, line.data() + line.size());
    if (!same) {
      state.SkipWithError("a value differs from the reference conversion");
      return;
    }
  }
  record.rewind_if_used();
  for (auto _ : state) {
    read_list_value();
    benchmark::DoNotOptimize(record.element());
    record.rewind_if_used();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ListInputReal4(benchmark::State& state) { list_values(state, real_line(), IoType::Real4); }
void BM_ListInputInt4(benchmark::State& state) { list_values(state, integer_line(), IoType::Int4); }
BENCHMARK(BM_ListInputReal4);
BENCHMARK(BM_ListInputInt4);

// Reference: skip separators and convert with std::from_chars, nothing else.
template <typename T>
void from_chars_values(benchmark::State& state, const std::string& line) {
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  const char* p = begin;
  for (auto _ : state) {
    while (*p == ' ' || *p == ',') ++p;
    T value{};
    p = std::from_chars(p, end, value).ptr;
    benchmark::DoNotOptimize(value);
    while (p < end && (*p == ' ' || *p == ',')) ++p;
    if (p == end) p = begin;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_FromCharsReal4Reference(benchmark::State& state) {
  from_chars_values<float>(state, real_line());
}
void BM_FromCharsInt4Reference(benchmark::State& state) {
  from_chars_values<int32_t>(state, integer_line());
}
BENCHMARK(BM_FromCharsReal4Reference);
BENCHMARK(BM_FromCharsInt4Reference);

}  // namespace
}  // namespace rtlib
