// avgvec end to end: the mean of the typed values divided by the typed count.
#include <gtest/gtest.h>

#include <string>

#include "harness/runner.h"
#include "rtlib/services/messages.h"

namespace rtlib::test {
namespace {

const std::string HEADINGS = "uneti broj clanova niza (do 100)\r\nuneti elemente niza\r\n";

std::string mean(const char* field) {
  return "srednja vrednost niza je " + std::string(field) + "\r\n";
}

const std::string INVALID_REPORT =
    "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n";

TEST(Avgvec, Means) {
  std::string hundred_and_one = "101\n";
  for (int i = 1; i <= 101; ++i) hundred_and_one += "1\n";
  const Case cases[] = {
      {"four values", {}, "4\n1\n2\n3\n4\n", HEADINGS + mean("       2.500000"), "", 0},
      {"count 2.5", {}, "2.5\n1\n2\n", HEADINGS + mean("       1.200000"), "", 0},
      {"count 0.5 reads nothing", {}, "0.5\n", HEADINGS + mean("   0.000000E+00"), "", 0},
      {"negative count reads nothing", {}, "-2\n", HEADINGS + mean("   0.000000E+00"), "", 0},
      {"count 5.7 reads five",
       {},
       "5.7\n1\n1\n1\n1\n1\n",
       HEADINGS + mean("   8.771930E-01"),
       "",
       0},
      {"sum rounded after each addition",
       {},
       "2\n1.0E8\n1.0\n",
       HEADINGS + mean("   5.000000E+07"),
       "",
       0},
      // Only 100 elements exist: the 101st value is not read, the count still divides.
      {"count above 100", {}, hundred_and_one, HEADINGS + mean("   9.900990E-01"), "", 0},
      {"count 0", {}, "0\n", HEADINGS, INVALID_REPORT, 1},
      {"slash for the count", {}, "/\n", HEADINGS, INVALID_REPORT, 1},
      {"end of input",
       {},
       "2\n1\n",
       HEADINGS,
       std::string("\r\nrun-time error F6501: READ(CON)\r\n- ") + message_text(73) + "\r\n",
       1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_case(program_path("avgvec"), c), "") << c.name;
  }
}

TEST(Avgvec, OnATerminal) {
  const Case cases[] = {
      {"four values", {}, "4\n1\n2\n3\n4\n", HEADINGS + mean("       2.500000"), "", 0},
      {"count 0", {}, "0\n", HEADINGS, INVALID_REPORT, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_case_in_terminal(program_path("avgvec"), c), "") << c.name;
  }
}

}  // namespace
}  // namespace rtlib::test
