// Cost of converting one input value: integer texts into a 4-byte integer, and real texts
// into 8- and 4-byte reals, as the input engines call the conversions (text collected in
// the edit buffer, current item set). Each benchmark walks a table of texts so that
// branch prediction does not learn a single value. strtod over the same texts is a
// reference point only.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "rtlib/edit/edit_buffer.h"
#include "rtlib/edit/edit_descriptor.h"
#include "rtlib/edit/input_conversion.h"
#include "rtlib/io/control_list.h"
#include "rtlib/io/executor.h"
#include "rtlib/io/unit_table.h"

namespace rtlib {
namespace {

const std::vector<std::string> INTEGER_TEXTS = {"3",     "42",     "-17",        "100",
                                                "65535", "-40000", "2147483647", "16#FF"};

// Numbers as users type them, full 17-digit values, exponents of every spelling and a
// 24-digit text; all within the 4-byte range.
const std::vector<std::string> REAL_TEXTS = {"1.5",
                                             "2",
                                             "-0.25",
                                             "3.14159",
                                             "1.0E10",
                                             "6.02214076D23",
                                             "0.1",
                                             "1e-5",
                                             "2.5+3",
                                             "123456.789",
                                             "-9.87654321E-12",
                                             "0.30000000000000004",
                                             "3.4028234E38",
                                             "4.9e-324",
                                             "123456789012345678901234",
                                             "1.2345678901234567"};

// A unit and an element for the conversions to work on, for as long as it lives.
class CurrentElement {
 public:
  explicit CurrentElement(IoType type) {
    unit_ = allocate_unit(0);
    unit_->fmt_desc = DESC_F;
    exec_state.unit = unit_;
    exec_state.kind = StatementKind::Read;
    exec_state.item.type = static_cast<int32_t>(type);
    exec_state.item.addr = element_;
    exec_state.item.size = ELEMENT_SIZE[static_cast<int>(type)];
  }
  ~CurrentElement() {
    exec_state.unit = nullptr;
    exec_state.item = CurrentItem{};
    free_unit(unit_);
  }
  CurrentElement(const CurrentElement&) = delete;
  CurrentElement& operator=(const CurrentElement&) = delete;
  const uint8_t* element() const { return element_; }

 private:
  Unit* unit_ = nullptr;
  alignas(8) uint8_t element_[8] = {};
};

// Copies text into the edit buffer as an input engine collects it; answers the length.
int32_t collect(const std::string& text) {
  std::memcpy(edit_buffer.text, text.data(), text.size());
  return static_cast<int32_t>(text.size());
}

void BM_IntegerText(benchmark::State& state) {
  CurrentElement current(IoType::Int4);
  size_t i = 0;
  for (auto _ : state) {
    store_integer_item(convert_integer_value(collect(INTEGER_TEXTS[i])));
    benchmark::DoNotOptimize(current.element());
    if (++i == INTEGER_TEXTS.size()) i = 0;
  }
}
BENCHMARK(BM_IntegerText);

void real_texts(benchmark::State& state, IoType type) {
  CurrentElement current(type);
  size_t i = 0;
  for (auto _ : state) {
    convert_real_value(edit_buffer.text, collect(REAL_TEXTS[i]));
    benchmark::DoNotOptimize(current.element());
    if (++i == REAL_TEXTS.size()) i = 0;
  }
}
void BM_RealText8(benchmark::State& state) { real_texts(state, IoType::Real8); }
void BM_RealText4(benchmark::State& state) { real_texts(state, IoType::Real4); }
BENCHMARK(BM_RealText8);
BENCHMARK(BM_RealText4);

void BM_StrtodReference(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    const int32_t length = collect(REAL_TEXTS[i]);
    edit_buffer.text[length] = '\0';
    double value = std::strtod(edit_buffer.text, nullptr);
    benchmark::DoNotOptimize(value);
    if (++i == REAL_TEXTS.size()) i = 0;
  }
}
BENCHMARK(BM_StrtodReference);

}  // namespace
}  // namespace rtlib
