// sortvec end to end: what a person types and sees, through pipes and on a terminal.
#include <gtest/gtest.h>

#include <string>

#include "harness/runner.h"
#include "rtlib/services/messages.h"

namespace rtlib::test {
namespace {

const std::string COUNT_PROMPT = "uneti broj clanova niza\r\n";
const std::string VALUES_PROMPT = "uneti clanove niza\r\n";
const std::string SORTED = "sortirani niz je\r\n";

std::string element_prompt(int i) {
  std::string number = std::to_string(i);
  return "uneti " + std::string(11 - number.size(), ' ') + number + ". clan niza\r\n";
}

std::string prompts(int count) {
  std::string out = COUNT_PROMPT + VALUES_PROMPT;
  for (int i = 1; i <= count; ++i) out += element_prompt(i);
  return out;
}

std::string report(const char* number, const char* where, int32_t code) {
  return std::string("\r\nrun-time error ") + number + ": " + where + "\r\n- " +
         message_text(code) + "\r\n";
}

TEST(Sortvec, Transcripts) {
  const Case cases[] = {
      {"three values",
       {},
       "3\n2.5\n1\n-4\n",
       prompts(3) + SORTED + "      -4.000000\r\n       1.000000\r\n       2.500000\r\n",
       "",
       0},
      {"CR LF line ends",
       {},
       "2\r\n2\r\n1\r\n",
       prompts(2) + SORTED + "       1.000000\r\n       2.000000\r\n",
       "",
       0},
      {"count 0", {}, "0\n", prompts(0) + SORTED, "", 0},
      {"negative count", {}, "-3\n", prompts(0) + SORTED, "", 0},
      {"count 1", {}, "1\n-7.25\n", prompts(1) + SORTED + "      -7.250000\r\n", "", 0},
      {"rest of the count line discarded",
       {},
       "2 7 8\n5\n4\n",
       prompts(2) + SORTED + "       4.000000\r\n       5.000000\r\n",
       "",
       0},
      {"slash for the count", {}, "/\n", prompts(0) + SORTED, "", 0},
      {"lone comma for the count", {}, ",\n", prompts(0) + SORTED, "", 0},
      {"equal values and large ones",
       {},
       "3\n1e7\n-0.5\n1e7\n",
       prompts(3) + SORTED + "  -5.000000E-01\r\n   1.000000E+07\r\n   1.000000E+07\r\n",
       "",
       0},
      {"end of input at the count prompt",
       {},
       "",
       COUNT_PROMPT,
       report("F6501", "READ(CON)", 73),
       1},
      {"end of input at a value", {}, "2\n1\n", prompts(2), report("F6501", "READ(CON)", 73), 1},
      {"letters for the count", {}, "abc\n", COUNT_PROMPT, report("F6101", "READ(CON)", 5), 1},
      {"letters for a value", {}, "1\nx\n", prompts(1), report("F6103", "READ(CON)", 7), 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_case(program_path("sortvec"), c), "") << c.name;
  }
}

// The array holds ten numbers: a larger count reads, sorts and prints ten.
TEST(Sortvec, CountAboveTenStopsAtTen) {
  std::string input = "12\n";
  std::string sorted;
  for (int i = 10; i >= 1; --i) input += std::to_string(i) + "\n";
  for (int i = 1; i <= 9; ++i) sorted += "       " + std::to_string(i) + ".000000\r\n";
  sorted += "      10.000000\r\n";
  const Case c{"count 12", {}, input, prompts(10) + SORTED + sorted, "", 0};
  EXPECT_EQ(run_case(program_path("sortvec"), c), "");
}

TEST(Sortvec, OnATerminal) {
  const Case cases[] = {
      {"three values",
       {},
       "3\n2.5\n1\n-4\n",
       prompts(3) + SORTED + "      -4.000000\r\n       1.000000\r\n       2.500000\r\n",
       "",
       0},
      // The prompt's line was ended before the read; the line end stays pending, and the
      // exit routine ends it again after the report.
      {"Ctrl-D at the count prompt",
       {},
       "\x04",
       COUNT_PROMPT + "\r\n",
       report("F6501", "READ(CON)", 73),
       1},
      {"Ctrl-Z line at the count prompt",
       {},
       "12\x1a\n",
       COUNT_PROMPT + "\r\n",
       report("F6501", "READ(CON)", 73),
       1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_case_in_terminal(program_path("sortvec"), c), "") << c.name;
  }
}

// What a person sees with echo on: each typed line right after its prompt's line end.
TEST(Sortvec, TerminalTranscriptWithEcho) {
  TerminalOptions options;
  options.echo = true;
  const RunResult r =
      run_in_terminal(program_path("sortvec"), options,
                      {wait_for("niza\r\n"), type_line("2"), wait_for("1. clan niza\r\n"),
                       type_line("5"), wait_for("2. clan niza\r\n"), type_line("-1")});
  EXPECT_TRUE(r.exited(0)) << r.describe();
  EXPECT_EQ(printable(r.stdout_bytes),
            printable(COUNT_PROMPT + "2\n" + VALUES_PROMPT + element_prompt(1) + "5\n" +
                      element_prompt(2) + "-1\n" + SORTED + "      -1.000000\r\n" +
                      "       5.000000\r\n"));
}

}  // namespace
}  // namespace rtlib::test
