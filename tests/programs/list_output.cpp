// Writes list-directed records to the console: each argument names one group of WRITE
// statements on the default output unit (texts, integers, reals, doubles, logicals,
// complex values, an empty WRITE, a text that fills its record exactly).
#include <cstring>

#include "rtlib/rtlib.h"
#include "rtlib/services/startup.h"

namespace {

void begin() { io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0); }

void text(const char* s) { io_out_char(s, static_cast<int32_t>(std::strlen(s))); }

// A text of n letters a, b, c, ... (cycling); n at most 200.
void letters(int n) {
  char s[200];
  for (int i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
  io_out_char(s, n);
}

void texts() {
  begin();
  text("x=");
  io_out_i4(1);
  text("cm");
  io_write_end();
  begin();
  letters(100);
  io_write_end();
}

void integers() {
  begin();
  io_out_i1(-128);
  io_out_i2(32767);
  io_out_i4(INT32_MIN);
  io_out_i4(0);
  io_write_end();
  begin();
  for (int32_t v = 1; v <= 7; ++v) io_out_i4(v);
  io_write_end();
}

void reals() {
  begin();
  for (int v = 1; v <= 6; ++v) io_out_r4(static_cast<float>(v));
  io_write_end();
  begin();
  io_out_r4(0.5f);
  io_out_r4(-2.5f);
  io_out_r4(100000.0f);
  io_write_end();
}

void doubles() {
  begin();
  io_out_r8(1.0);
  io_out_r8(-2.0);
  io_out_r8(0.5);
  io_out_r8(1.0e-5);
  io_write_end();
}

void logicals() {
  begin();
  for (int i = 0; i < 40; ++i) io_out_l4(i % 3 == 0 ? 1 : 0);
  io_write_end();
  begin();
  io_out_l1(1);
  io_out_l2(256);
  io_out_l4(2);
  io_write_end();
}

void complex_values() {
  begin();
  io_out_c8(1.0f, 2.0f);
  io_out_c8(-0.5f, 3.0f);
  io_out_c16(1.0, -2.0);
  io_write_end();
}

void empty() {
  begin();
  io_write_end();
}

void exact_fill() {
  begin();
  letters(79);
  io_write_end();
  begin();
  io_out_i4(5);
  letters(68);
  io_out_i4(6);
  io_write_end();
}

const struct {
  const char* name;
  void (*run)();
} GROUPS[] = {
    {"texts", texts},     {"integers", integers},     {"reals", reals},
    {"doubles", doubles}, {"logicals", logicals},     {"complex", complex_values},
    {"empty", empty},     {"exact_fill", exact_fill},
};

}  // namespace

extern "C" int program_main(void) {
  for (int i = 1; i < rtlib::process_state.argc; ++i) {
    for (const auto& group : GROUPS) {
      if (std::strcmp(rtlib::process_state.argv[i], group.name) == 0) group.run();
    }
  }
  return 0;
}
