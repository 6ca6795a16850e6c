// Cost of editing one value with the numeric output editors: list-directed 4-byte reals,
// F6.2 and E15.6 fields, and integers. Each benchmark walks a fixed table of values so
// that branch prediction does not learn a single value.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>

#include "rtlib/edit/output_editing.h"

namespace rtlib {
namespace {

constexpr size_t VALUE_COUNT = 1024;

EditDescriptor descriptor(uint8_t code, int32_t w, int32_t d, int32_t e) {
  EditDescriptor desc;
  desc.w = w;
  desc.d = d;
  desc.e = e;
  desc.code = code;
  desc.sub = 0;
  return desc;
}

// Values as programs print them: magnitudes from 1e-6 to 1e9, both signs.
std::array<float, VALUE_COUNT> typical_singles() {
  std::mt19937 rng(42);
  std::uniform_real_distribution<float> mantissa(1.0f, 10.0f);
  std::uniform_int_distribution<int> exponent(-6, 9);
  std::array<float, VALUE_COUNT> values{};
  for (float& v : values) {
    v = mantissa(rng);
    for (int e = exponent(rng); e > 0; --e) v *= 10.0f;
    for (int e = exponent(rng); e < 0; ++e) v /= 10.0f;
    if (rng() & 1) v = -v;
  }
  return values;
}

// Any finite single-precision bit pattern.
std::array<uint32_t, VALUE_COUNT> random_single_bits() {
  std::mt19937 rng(7);
  std::array<uint32_t, VALUE_COUNT> values{};
  for (uint32_t& v : values) {
    do {
      v = rng();
    } while (((v >> 23) & 0xFF) == 0xFF);
  }
  return values;
}

template <typename Values>
void edit_singles(benchmark::State& state, const EditDescriptor& desc, const Values& values) {
  size_t i = 0;
  for (auto _ : state) {
    const int32_t n = edit_real(desc, &values[i], 11, edit_buffer.text);
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(edit_buffer.text);
    i = (i + 1) % VALUE_COUNT;
  }
}

void BM_ListDirectedReal4(benchmark::State& state) {
  edit_singles(state, descriptor(DESC_LIST, 15, 6, 2), typical_singles());
}
BENCHMARK(BM_ListDirectedReal4);

void BM_ListDirectedReal4AnyBits(benchmark::State& state) {
  edit_singles(state, descriptor(DESC_LIST, 15, 6, 2), random_single_bits());
}
BENCHMARK(BM_ListDirectedReal4AnyBits);

void BM_F6_2(benchmark::State& state) {
  edit_singles(state, descriptor(DESC_F, 6, 2, 2), typical_singles());
}
BENCHMARK(BM_F6_2);

void BM_E15_6(benchmark::State& state) {
  edit_singles(state, descriptor(DESC_E, 15, 6, 2), typical_singles());
}
BENCHMARK(BM_E15_6);

void BM_ListDirectedReal8(benchmark::State& state) {
  std::array<double, VALUE_COUNT> values{};
  const auto singles = typical_singles();
  for (size_t i = 0; i < VALUE_COUNT; ++i) values[i] = singles[i] / 3.0;
  const EditDescriptor desc = descriptor(DESC_LIST, 24, 15, 3);
  size_t i = 0;
  for (auto _ : state) {
    const int32_t n = edit_real(desc, &values[i], 12, edit_buffer.text);
    benchmark::DoNotOptimize(n);
    i = (i + 1) % VALUE_COUNT;
  }
}
BENCHMARK(BM_ListDirectedReal8);

void BM_Integer(benchmark::State& state) {
  std::mt19937 rng(3);
  std::array<int32_t, VALUE_COUNT> values{};
  for (int32_t& v : values) v = static_cast<int32_t>(rng()) >> (rng() % 31);
  const EditDescriptor desc = descriptor(DESC_I, 11, 1, 2);
  size_t i = 0;
  for (auto _ : state) {
    const int32_t n = edit_integer(values[i], desc, edit_buffer.text);
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(edit_buffer.text);
    i = (i + 1) % VALUE_COUNT;
  }
}
BENCHMARK(BM_Integer);

}  // namespace
}  // namespace rtlib
