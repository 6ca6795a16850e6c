// avgvec: asks on the console for a count (at most 100) and that many real numbers and
// prints their mean. All arithmetic is in 4-byte reals; the count is read as a real
// number and is the divisor.
#include "rtlib/rtlib.h"

namespace {

constexpr int32_t CAPACITY = 100;

// The program's static storage, zero at start.
struct AvgvecData {
  float n = 0.0f;
  float x = 0.0f;
  float a[CAPACITY + 1] = {};  // a(1) .. a(100); element 0 is unused
  float mean = 0.0f;
};
AvgvecData data;

// Real-to-integer conversion truncates toward zero through a 64-bit integer and keeps its
// low 32 bits. The processor's own conversion is used, so a value beyond the 64-bit range
// (or a NaN) raises the invalid-operation exception as any other invalid operation does.
int32_t truncate_real(float value) {
  int64_t wide;
  asm volatile("cvttss2si %1, %0" : "=r"(wide) : "x"(value));
  return static_cast<int32_t>(static_cast<uint64_t>(wide) & 0xFFFFFFFFu);
}

void write_text(const char* text, int32_t length) {
  io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0);
  io_out_char(text, length);
  io_write_end();
}

}  // namespace

extern "C" int program_main(void) {
  write_text("uneti broj clanova niza (do 100)", 32);
  io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 0);
  io_in_r4(&data.n);
  io_read_end();

  write_text("uneti elemente niza", 19);
  // The pass count is fixed before the first pass. The array holds 100 numbers: a larger
  // count reads the first 100 and still divides by the count typed.
  int32_t passes = truncate_real((data.n - 1.0f) + 1.0f);
  if (passes > CAPACITY) passes = CAPACITY;
  data.x = 1.0f;
  for (int32_t pass = 1; pass <= passes; ++pass) {
    io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 0);
    io_in_r4(&data.a[truncate_real(data.x)]);
    io_read_end();
    data.x = data.x + 1.0f;
  }

  float sum = 0.0f;
  for (int32_t k = 1; k <= CAPACITY; ++k) sum = sum + data.a[k];
  data.mean = sum / data.n;

  io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0);
  io_out_char("srednja vrednost niza je ", 25);
  io_out_r4(data.mean);
  io_write_end();
  return 0;
}
