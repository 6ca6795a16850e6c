// Console records as the screen gets them: carriage control of the first character, the
// pending line end, prompts before reads, and write failures.
#include <gtest/gtest.h>

#include <string>

#include "harness/runner.h"
#include "rtlib/services/messages.h"

namespace rtlib::test {
namespace {

TEST(ConsoleRecords, CarriageControl) {
  const std::string long_record = " " + std::string(299, 'x');
  const Case cases[] = {
      {"first record starts with 1", {"1abc"}, "", "\r\n\f\r \rabc\r\n", "", 0},
      {"first record starts with 0", {"0abc"}, "", "\r\nabc\r\n", "", 0},
      {"first record starts with +", {"+abc"}, "", "\rabc\r\n", "", 0},
      {"first record starts with a blank", {" abc"}, "", "abc\r\n", "", 0},
      {"any other first character is shown on the same line", {"xabc"}, "", "abc\r\n", "", 0},
      {"an empty record is an empty line", {" "}, "", "\r\n", "", 0},
      {"pending line end before a blank", {" a", " b"}, "", "a\r\nb\r\n", "", 0},
      {"pending line end before 0", {" a", "0b"}, "", "a\r\n\r\nb\r\n", "", 0},
      {"pending line end before 1", {" a", "1b"}, "", "a\r\n\f\r \rb\r\n", "", 0},
      {"pending line end before +", {" a", "+b"}, "", "a\rb\r\n", "", 0},
      {"a long record on one line",
       {long_record.c_str()},
       "",
       std::string(299, 'x') + "\r\n",
       "",
       0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_case(test_program_path("console_records"), c), "") << c.name;
    EXPECT_EQ(run_case_in_terminal(test_program_path("console_records"), c), "") << c.name;
  }
}

// A prompt followed by a console READ: on a terminal the prompt's line is ended before
// the program waits, and nothing is written before the next record; a program whose last
// console statement was a READ adds no line end at exit.
TEST(ConsoleRecords, PromptsAndReads) {
  const Case terminal_cases[] = {
      {"prompt then read", {" prompt", "@read"}, "5\n", "prompt\r\n", "", 0},
      {"prompt, read, record", {" prompt", "@read", " next"}, "5\n", "prompt\r\nnext\r\n", "", 0},
  };
  for (const Case& c : terminal_cases) {
    EXPECT_EQ(run_case_in_terminal(test_program_path("console_records"), c), "") << c.name;
  }
  // Through pipes the output console unit keeps its line end pending across the READ.
  const Case piped{
      "prompt then read", {" prompt", "@read", " next"}, "5\n", "prompt\r\nnext\r\n", "", 0};
  EXPECT_EQ(run_case(test_program_path("console_records"), piped), "");
}

TEST(ConsoleRecords, WriteFailures) {
  const Case full{
      "disk full",
      {" hello"},
      "",
      "",
      std::string("\r\nrun-time error F6422: WRITE(CON)\r\n- ") + message_text(68) + "\r\n",
      1};
  EXPECT_EQ(run_case(test_program_path("console_records"), full,
                     RunOptions{.stdout_kind = Stream::Path, .stdout_path = "/dev/full"}),
            "");
  // Any other failure of a console write is ignored: the program goes on and ends normally.
  const Case ignored{"ignored", {" hello", " again"}, "", "", "", 0};
  EXPECT_EQ(run_case(test_program_path("console_records"), ignored,
                     RunOptions{.stdout_kind = Stream::Closed}),
            "");
  EXPECT_EQ(run_case(test_program_path("console_records"), ignored,
                     RunOptions{.stdout_kind = Stream::PipeEarlyEnd, .early_end_after = 0}),
            "");
}

}  // namespace
}  // namespace rtlib::test
