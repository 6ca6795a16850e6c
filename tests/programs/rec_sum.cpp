// Console records end to end: asks "count?", reads a count and then that many integers in
// one READ (they may span lines of any length), shows "sum S", and then reads one integer
// per READ, showing "got V" for each, until the input ends (reported as end of file).
#include <string>

#include "rtlib/rtlib.h"

namespace {

void show(const std::string& text) {
  io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0);
  io_out_char(text.data(), static_cast<int32_t>(text.size()));
  io_write_end();
}

}  // namespace

extern "C" int program_main(void) {
  show("count?");
  int32_t count = 0;
  io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 0);
  io_in_i4(&count);
  io_read_end();

  long long sum = 0;
  io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 0);
  for (int32_t i = 0; i < count; ++i) {
    int32_t value = 0;
    io_in_i4(&value);
    sum += value;
  }
  io_read_end();
  show("sum " + std::to_string(sum));

  for (;;) {
    int32_t value = 0;
    io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 0);
    io_in_i4(&value);
    io_read_end();
    show("got " + std::to_string(value));
  }
}
