// End-to-end floating-point errors: a program meets a math error or an exception of its own
// arithmetic; the report on standard error, the exit status and the console line that the
// exit routine ends are compared byte for byte.
#include <gtest/gtest.h>

#include "harness/runner.h"

namespace rtlib::test {
namespace {

struct FpCase {
  const char* name;    // the program's FP_CASE
  const char* number;  // of the report; null for none
  const char* text;
  int status;
};

std::string report(const FpCase& c) {
  if (c.number == nullptr) return "";
  return std::string("\r\nrun-time error M") + c.number + ": MATH\r\n- " + c.text + "\r\n";
}

TEST(FpEndToEnd, ReportsAndStatuses) {
  const FpCase cases[] = {
      {"sqrt_negative", "6201", "sqrt: DOMAIN error", 1},
      {"pow_negative_base", "6201", "**: DOMAIN error", 1},
      {"pow_zero_negative", "6202", "**: SING error", 1},
      {"pow_overflow", "6203", "**: OVERFLOW error", 1},
      {"zero_by_zero", "6101", "floating-point error: invalid", 1},
      {"one_by_zero", "6103", "floating-point error: divide by zero", 1},
      {"store_overflow", "6104", "floating-point error: overflow", 1},
      // Underflow is never reported; the program checks the value it got.
      {"pow_underflow", nullptr, nullptr, 0},
      {"product_underflow", nullptr, nullptr, 0},
      {"square_root", nullptr, nullptr, 0},
  };
  for (const FpCase& c : cases) {
    // The exit routine runs after a report too: the console line is ended.
    const Case expected{c.name, {}, "", "started\r\n", report(c), c.status};
    RunOptions options;
    options.env = {{"FP_CASE", c.name}};
    const std::string diff = run_case(test_program_path("fp_cases"), expected, options);
    EXPECT_TRUE(diff.empty()) << c.name << "\n" << diff;
  }
}

}  // namespace
}  // namespace rtlib::test
