// Measures the numeric input conversions: nanoseconds per value for integer texts, and
// for real texts into 8- and 4-byte elements, over a mix of short typed numbers, full
// 17-digit values and long texts with exponents (all within the 4-byte range).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "rtlib/edit/edit_buffer.h"
#include "rtlib/edit/edit_descriptor.h"
#include "rtlib/edit/input_conversion.h"
#include "rtlib/io/control_list.h"
#include "rtlib/io/executor.h"
#include "rtlib/io/unit_table.h"

namespace {

using rtlib::edit_buffer;
using rtlib::exec_state;

constexpr const char* INTEGER_TEXTS[] = {"3", "42", "-17", "100", "2147483647", "16#FF"};
constexpr const char* REAL_TEXTS[] = {"1.5",
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
constexpr int32_t ROUNDS = 200'000;

template <typename F>
double nanoseconds_per_value(int32_t values, F body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  const auto stop = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(stop - start).count() / values;
}

// Copies text into the edit buffer as an input engine collects it; answers the length.
int32_t collect(const char* text) {
  const size_t length = std::strlen(text);
  std::memcpy(edit_buffer.text, text, length);
  return static_cast<int32_t>(length);
}

}  // namespace

int main() {
  rtlib::Unit* unit = rtlib::allocate_unit(0);
  unit->fmt_desc = rtlib::DESC_F;
  exec_state.unit = unit;
  exec_state.kind = rtlib::StatementKind::Read;
  alignas(8) uint8_t element[8] = {};
  exec_state.item.addr = element;

  exec_state.item.type = static_cast<int32_t>(rtlib::IoType::Int4);
  exec_state.item.size = 4;
  constexpr int32_t integer_count = sizeof INTEGER_TEXTS / sizeof INTEGER_TEXTS[0];
  const double integer_ns = nanoseconds_per_value(ROUNDS * integer_count, [] {
    for (int32_t r = 0; r < ROUNDS; ++r) {
      for (const char* text : INTEGER_TEXTS) {
        rtlib::store_integer_item(rtlib::convert_integer_value(collect(text)));
      }
    }
  });

  constexpr int32_t real_count = sizeof REAL_TEXTS / sizeof REAL_TEXTS[0];
  double real_ns[2] = {};
  const rtlib::IoType types[2] = {rtlib::IoType::Real8, rtlib::IoType::Real4};
  for (int32_t t = 0; t < 2; ++t) {
    exec_state.item.type = static_cast<int32_t>(types[t]);
    exec_state.item.size = types[t] == rtlib::IoType::Real8 ? 8 : 4;
    real_ns[t] = nanoseconds_per_value(ROUNDS * real_count, [] {
      for (int32_t r = 0; r < ROUNDS; ++r) {
        for (const char* text : REAL_TEXTS) {
          rtlib::convert_real_value(edit_buffer.text, collect(text));
        }
      }
    });
  }

  std::printf("integer texts:          %6.1f ns per value\n", integer_ns);
  std::printf("real texts, 8-byte:     %6.1f ns per value\n", real_ns[0]);
  std::printf("real texts, 4-byte:     %6.1f ns per value\n", real_ns[1]);
  exec_state.unit = nullptr;
  rtlib::free_unit(unit);
  return 0;
}
