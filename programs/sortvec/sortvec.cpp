// sortvec: asks on the console for a count and that many real numbers, sorts them in
// ascending order with an exchange sort and prints them one per line.
#include "rtlib/rtlib.h"

namespace {

constexpr int32_t CAPACITY = 10;

// The program's static storage, zero at start.
struct SortvecData {
  int32_t n = 0;
  float a[CAPACITY + 1] = {};  // a(1) .. a(10); element 0 is unused
  float temp = 0.0f;
};
SortvecData data;

void write_text(const char* text, int32_t length) {
  io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0);
  io_out_char(text, length);
  io_write_end();
}

}  // namespace

extern "C" int program_main(void) {
  write_text("uneti broj clanova niza", 23);
  io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 0);
  io_in_i4(&data.n);
  io_read_end();

  write_text("uneti clanove niza", 18);
  // The array holds 10 numbers: a larger count reads, sorts and prints the first 10.
  const int32_t count = data.n < CAPACITY ? data.n : CAPACITY;
  for (int32_t i = 1; i <= count; ++i) {
    io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0);
    io_out_char("uneti ", 6);
    io_out_i4(i);
    io_out_char(". clan niza", 11);
    io_write_end();
    io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 0);
    io_in_r4(&data.a[i]);
    io_read_end();
  }

  for (int32_t i = 1; i <= count - 1; ++i) {
    for (int32_t j = i + 1; j <= count; ++j) {
      if (data.a[i] > data.a[j]) {
        data.temp = data.a[i];
        data.a[i] = data.a[j];
        data.a[j] = data.temp;
      }
    }
  }

  write_text("sortirani niz je", 16);
  for (int32_t i = 1; i <= count; ++i) {
    io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0);
    io_out_r4(data.a[i]);
    io_write_end();
  }
  return 0;
}
