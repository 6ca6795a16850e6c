// List-directed READ end to end: typed or redirected console input through the program
// tp_list_input, which repeats one READ statement until it returns a status and shows the
// status and every element after each statement ("0: 1 2 3 4 5 6"). Before every
// statement element k of n holds n - k, so six reals hold 6 5 4 3 2 1 and an element that
// a statement leaves alone shows its old value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/runner.h"
#include "rtlib/services/errors.h"
#include "rtlib/services/messages.h"

namespace rtlib::test {
namespace {

const std::string PROGRAM = "list_input";
// What the statement after the last line shows: end of file, nothing changed.
const std::string SIX_AT_END = "-1: 6 5 4 3 2 1\n";

std::string report(int32_t code) {
  return "\r\nrun-time error F" + std::to_string(error_number(code)) + ": READ(CON)\r\n- " +
         message_text(code) + "\r\n";
}

void run_table(const std::vector<Case>& cases, bool also_from_file = false) {
  for (const Case& c : cases) {
    EXPECT_EQ(run_case(test_program_path(PROGRAM), c), "") << c.name << " (pipe)";
    if (also_from_file) {
      RunOptions from_file;
      from_file.stdin_kind = Stream::File;
      EXPECT_EQ(run_case(test_program_path(PROGRAM), c, from_file), "") << c.name << " (file)";
    }
  }
}

TEST(ListInputEndToEnd, SixRealsSeparatorsNullsAndRepeats) {
  run_table(
      {
          {"one line", {}, "1 2 3 4 5 6\n", "0: 1 2 3 4 5 6\n" + SIX_AT_END, "", 0},
          {"one value per line", {}, "1\n2\n3\n4\n5\n6\n", "0: 1 2 3 4 5 6\n" + SIX_AT_END, "", 0},
          {"commas then blanks on the next line",
           {},
           "1,2,3\n4 5 6\n",
           "0: 1 2 3 4 5 6\n" + SIX_AT_END,
           "",
           0},
          {"CR LF line ends and tabs",
           {},
           "1\t2\t3,4\r\n5\r\n6\r\n",
           "0: 1 2 3 4 5 6\n" + SIX_AT_END,
           "",
           0},
          {"two commas enclose a null value",
           {},
           "1,,3,4,5,6\n",
           "0: 1 5 3 4 5 6\n" + SIX_AT_END,
           "",
           0},
          {"blanks around commas belong to the separator",
           {},
           "1 , , 3 4 5 6\n",
           "0: 1 5 3 4 5 6\n" + SIX_AT_END,
           "",
           0},
          {"comma at the very start is a null value",
           {},
           ",2,3,4,5,6\n",
           "0: 6 2 3 4 5 6\n" + SIX_AT_END,
           "",
           0},
          {"slash keeps the rest and discards its line",
           {},
           "1 2/ 7 8\n9 9 9 9 9 9\n",
           "0: 1 2 4 3 2 1\n0: 9 9 9 9 9 9\n" + SIX_AT_END,
           "",
           0},
          {"slash alone changes nothing", {}, "/\n", "0: 6 5 4 3 2 1\n" + SIX_AT_END, "", 0},
          {"repeat count", {}, "3*7 8 9 10\n", "0: 7 7 7 8 9 10\n" + SIX_AT_END, "", 0},
          {"repeated null values", {}, "2* 9 9 9 9\n", "0: 6 5 9 9 9 9\n" + SIX_AT_END, "", 0},
          {"repeated null values before a comma",
           {},
           "2*,9 9 9 9\n",
           "0: 6 5 9 9 9 9\n" + SIX_AT_END,
           "",
           0},
          {"one repeat fills all",
           {},
           "6*1.5\n",
           "0: 1.5 1.5 1.5 1.5 1.5 1.5\n" + SIX_AT_END,
           "",
           0},
          {"repeat carries into the next line's values",
           {},
           "1 2 3 2*\n4\n",
           "0: 1 2 3 3 2 4\n" + SIX_AT_END,
           "",
           0},
          {"negative repeat count covers the rest",
           {},
           "1 -1*7\n",
           "0: 1 7 7 7 7 7\n" + SIX_AT_END,
           "",
           0},
          {"empty lines are skipped",
           {},
           "1 2 3\n\n\r\n4 5 6\n",
           "0: 1 2 3 4 5 6\n" + SIX_AT_END,
           "",
           0},
          {"extra values are discarded with their line",
           {},
           "1 2 3 4 5 6 7 8\n9 9 9 9 9 9\n",
           "0: 1 2 3 4 5 6\n0: 9 9 9 9 9 9\n" + SIX_AT_END,
           "",
           0},
          {"comma at a line end is no null value",
           {},
           "1 2 3 4 5,\n6\n",
           "0: 1 2 3 4 5 6\n" + SIX_AT_END,
           "",
           0},
          {"comma after the last value discards the rest of its line",
           {},
           "1 2 3 4 5 6,7\n9 9 9 9 9 9\n",
           "0: 1 2 3 4 5 6\n0: 9 9 9 9 9 9\n" + SIX_AT_END,
           "",
           0},
          {"blank after the last value at a line end",
           {},
           "1 2 3 4 5 6 \n9 9 9 9 9 9\n",
           "0: 1 2 3 4 5 6\n0: 9 9 9 9 9 9\n" + SIX_AT_END,
           "",
           0},
          {"last line without a line end",
           {},
           "1 2 3\n4 5 6",
           "0: 1 2 3 4 5 6\n" + SIX_AT_END,
           "",
           0},
          {"exponents and signs",
           {},
           "1.5E2 -2.5d-1 +3 .5 1.5+3 25-2\n",
           "0: 150 -0.25 3 0.5 1500 0.25\n" + SIX_AT_END,
           "",
           0},
      },
      true);
}

// A record end that ends the value after "r*" ends the record: the statement end neither
// discards nor waits for another line, so the next statement reads the next line.
TEST(ListInputEndToEnd, RecordEndAfterARepeatCountEndsTheRecord) {
  run_table({
      {"r* at a line end", {"r4", "r4"}, "2*\n7 8\n", "0: 2 1\n0: 7 8\n-1: 2 1\n", "", 0},
      {"r* with CR LF", {"r4", "r4"}, "2*\r\n7 8\r\n", "0: 2 1\n0: 7 8\n-1: 2 1\n", "", 0},
      {"repeat longer than the statement",
       {"r4", "r4"},
       "5*\n7 8\n",
       "0: 2 1\n0: 7 8\n-1: 2 1\n",
       "",
       0},
      {"repeated value at a line end",
       {"r4", "r4"},
       "2*3\n7 8\n",
       "0: 3 3\n0: 7 8\n-1: 2 1\n",
       "",
       0},
      {"r* then a blank: the line is finished at the end",
       {"r4", "r4"},
       "2* \n7 8\n",
       "0: 2 1\n0: 7 8\n-1: 2 1\n",
       "",
       0},
  });
}

// Statuses: 6000 plus the table value of the error; the elements read before it keep
// their new values; end of file is -1.
TEST(ListInputEndToEnd, ErrorsAndEndOfFileWithAStatus) {
  run_table({
      {"quoted value for a real is 76", {}, "'1' 2\n", "6504: 6 5 4 3 2 1\n", "", 0},
      {"parenthesized value for a real is 76", {}, "1 (2,3)\n", "6504: 1 5 4 3 2 1\n", "", 0},
      {"two points are 7", {}, "1.5.2\n", "6103: 6 5 4 3 2 1\n", "", 0},
      {"letters are 7, earlier elements keep their values",
       {},
       "1 2 x 4\n",
       "6103: 1 2 4 3 2 1\n",
       "",
       0},
      {"repeat count 0 is 74", {}, "0*1\n", "6502: 6 5 4 3 2 1\n", "", 0},
      {"empty repeat count is 74", {}, "1 *5\n", "6502: 1 5 4 3 2 1\n", "", 0},
      {"second star is 75", {}, "2*3*4\n", "6503: 6 5 4 3 2 1\n", "", 0},
      {"bad repeat count is 5", {}, "x*1\n", "6101: 6 5 4 3 2 1\n", "", 0},
      {"beyond the 4-byte range",
       {},
       "1e39\n",
       std::to_string(error_number(8)) + ": 6 5 4 3 2 1\n",
       "",
       0},
      {"beyond the 8-byte range",
       {},
       "1e400\n",
       std::to_string(error_number(6)) + ": 6 5 4 3 2 1\n",
       "",
       0},
      {"real text for an integer is 5", {"i4"}, "1.5\n", "6101: 1\n", "", 0},
      {"integer overflow is 4", {"i4"}, "2147483648\n", "6100: 1\n", "", 0},
      {"no parentheses for a complex value is 76", {"c8"}, "1.5\n", "6504: (1,-1)\n", "", 0},
      {"complex value without a comma is 78", {"c8"}, "(1.5 2.5)\n", "6506: (1,-1)\n", "", 0},
      {"end of file at once", {}, "", SIX_AT_END, "", 0},
      {"end of file after some values", {}, "1 2\n3\n", "-1: 1 2 3 3 2 1\n", "", 0},
      {"end of file after empty lines", {}, "1 2\n\n\n", "-1: 1 2 4 3 2 1\n", "", 0},
      {"end of file inside a quoted value",
       {"ch3", "ch3"},
       "'a' 'bc\nd\n",
       "-1: [a  ] [bcd]\n",
       "",
       0},
      {"end of file inside parentheses", {"c8", "c8"}, "(1,2) (3,\n", "-1: (1,2) (1,-1)\n", "", 0},
      {"end-of-file branch", {"flags=1"}, "1\n", "-1: 1 5 4 3 2 1\n", "", 0},
      {"end-of-file branch and status", {"flags=5"}, "1\n", "-1: 1 5 4 3 2 1\n", "", 0},
      {"uncaught error ends the program", {"flags=0"}, "1 2 x\n", "", report(7), 1},
      {"end-of-file branch does not catch an error", {"flags=1"}, "2*3*4\n", "", report(75), 1},
      {"uncaught end of file ends the program", {"flags=0"}, "1\n", "", report(73), 1},
  });
}

TEST(ListInputEndToEnd, CharacterValues) {
  run_table({
      {"quoted values padded",
       {"ch5", "ch5"},
       "'ab' \"cd\"\n",
       "0: [ab   ] [cd   ]\n-1: [.....] [.....]\n",
       "",
       0},
      {"doubled quotes",
       {"ch5", "ch5"},
       "'it''s' \"a\"\"b\"\n",
       "0: [it's ] [a\"b  ]\n-1: [.....] [.....]\n",
       "",
       0},
      {"the other quote is an ordinary character",
       {"ch5"},
       "\"a'b\"\n",
       "0: [a'b  ]\n-1: [.....]\n",
       "",
       0},
      {"separators inside quotes", {"ch8"}, "'a, b/c'\n", "0: [a, b/c  ]\n-1: [........]\n", "", 0},
      {"quoted value truncated",
       {"ch3", "ch3"},
       "'abcdef' 'g'\n",
       "0: [abc] [g  ]\n-1: [...] [...]\n",
       "",
       0},
      {"quoted value across records",
       {"ch8", "ch3"},
       "'ab\ncd' 'x'\n",
       "0: [abcd    ] [x  ]\n-1: [........] [...]\n",
       "",
       0},
      {"quoted value across CR LF records and an empty line",
       {"ch8"},
       "'ab\r\n\r\ncd'\r\n",
       "0: [abcd    ]\n-1: [........]\n",
       "",
       0},
      {"quoted value closed at a line end",
       {"ch3", "ch3"},
       "'ab'\n'cd'\n",
       "0: [ab ] [cd ]\n-1: [...] [...]\n",
       "",
       0},
      {"empty quoted value is blanks",
       {"ch3", "ch3"},
       "'' 'x'\n",
       "0: [   ] [x  ]\n-1: [...] [...]\n",
       "",
       0},
      {"slash right after the closing quote",
       {"ch3", "ch3"},
       "'ab'/ 'cd'\n",
       "0: [ab ] [...]\n-1: [...] [...]\n",
       "",
       0},
      {"repeated quoted value",
       {"ch3", "ch3", "ch3"},
       "3*'ab'\n",
       "0: [ab ] [ab ] [ab ]\n-1: [...] [...] [...]\n",
       "",
       0},
      {"unquoted values", {"ch3", "ch3"}, "abcd e\n", "0: [abc] [e  ]\n-1: [...] [...]\n", "", 0},
      {"null character value", {"ch3", "ch3"}, ",x\n", "0: [...] [x  ]\n-1: [...] [...]\n", "", 0},
  });
}

TEST(ListInputEndToEnd, ComplexLogicalAndShortIntegerValues) {
  run_table({
      {"complex values",
       {"c8", "c16"},
       "(1.5,2.5) ( -1 , 2e3 )\n",
       "0: (1.5,2.5) (-1,2000)\n-1: (2,-2) (1,-1)\n",
       "",
       0},
      {"complex value across records",
       {"c8"},
       "(1.5,\n2.5)\n",
       "0: (1.5,2.5)\n-1: (1,-1)\n",
       "",
       0},
      // The record the value ended in is finished at the statement end.
      {"complex value across records discards the rest of its last line",
       {"c8"},
       "(1.5,\n2.5) (7,8)\n(9,10)\n",
       "0: (1.5,2.5)\n0: (9,10)\n-1: (1,-1)\n",
       "",
       0},
      {"repeated complex value",
       {"c8", "c8"},
       "2*(1,2)\n",
       "0: (1,2) (1,2)\n-1: (2,-2) (1,-1)\n",
       "",
       0},
      {"complex part beyond the 4-byte range",
       {"c8"},
       "(1,1e39)\n",
       std::to_string(error_number(8)) + ": (1,-1)\n",
       "",
       0},
      // A logical stores only into its first byte (the elements start as all ones).
      {"logicals",
       {"l1", "l2", "l4", "l4"},
       "T .F. .true. false\n",
       "0: 1 -256 -255 -256\n-1: -1 -1 -1 -1\n",
       "",
       0},
      {"bad logical",
       {"l4", "l4"},
       "t x\n",
       std::to_string(error_number(79)) + ": -255 -1\n",
       "",
       0},
      {"1- and 2-byte integers",
       {"i1", "i2", "i1", "i2"},
       "-128 -32768 127 32767\n",
       "0: -128 -32768 127 32767\n-1: 4 3 2 1\n",
       "",
       0},
      {"1-byte overflow leaves the element", {"i1", "i2"}, "200 7\n", "6100: 2 1\n", "", 0},
      {"2-byte overflow leaves the element", {"i1", "i2"}, "7 -32769\n", "6100: 7 1\n", "", 0},
      {"integer forms",
       {"i4", "i4", "i4", "i4"},
       "+5 -2147483648 16#FF #10\n",
       "0: 5 -2147483648 255 16\n-1: 4 3 2 1\n",
       "",
       0},
      {"integers with repeats and nulls",
       {"i4", "i4", "i4", "i4"},
       "2*9,,1\n",
       "0: 9 9 2 1\n-1: 4 3 2 1\n",
       "",
       0},
  });
}

// Only the first 519 characters of a value are converted; the rest of it is dropped, not
// taken as the next value.
TEST(ListInputEndToEnd, LongValuesAreCutAt519Characters) {
  const std::string real_519 = "1." + std::string(517, '0');  // 519 characters
  const std::string zeros_519(519, '0');
  run_table({
      {"real: the character after 519 is not converted",
       {"r4", "r4"},
       real_519 + "x 2\n",
       "0: 1 2\n-1: 2 1\n",
       "",
       0},
      {"real: the 519th character is converted",
       {"r4", "r4"},
       real_519.substr(0, 518) + "x 2\n",
       "6103: 2 1\n",
       "",
       0},
      {"integer: the digit after 519 is dropped",
       {"i4", "i4"},
       zeros_519 + "7 3\n",
       "0: 0 3\n-1: 2 1\n",
       "",
       0},
      {"integer: the 519th digit is converted",
       {"i4", "i4"},
       zeros_519.substr(0, 518) + "78 3\n",
       "0: 7 3\n-1: 2 1\n",
       "",
       0},
      {"character: an unquoted value is cut",
       {"ch600", "r4"},
       std::string(700, 'a') + " 5\n",
       "0: [" + std::string(519, 'a') + std::string(81, ' ') + "] 5\n-1: [" +
           std::string(600, '.') + "] 1\n",
       "",
       0},
      {"character: a quoted value goes into the element whole",
       {"ch600"},
       "'" + std::string(600, 'b') + "'\n",
       "0: [" + std::string(600, 'b') + "]\n-1: [" + std::string(600, '.') + "]\n",
       "",
       0},
  });
}

// At a terminal every read gets one line; a statement whose last value ended its line
// must come back without waiting for another line. Each step waits for the statement's
// line before typing the next input.
TEST(ListInputEndToEnd, TypedLinesDoNotWaitForMore) {
  struct TypedCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> lines_and_shown;
  };
  const TypedCase cases[] = {
      {"last value at the line end",
       {},
       {{"1 2 3 4 5 6", "0: 1 2 3 4 5 6\n"}, {"7 8 9 1 2 3", "0: 7 8 9 1 2 3\n"}}},
      {"values over several lines", {}, {{"1 2", ""}, {"3 4 5", ""}, {"6", "0: 1 2 3 4 5 6\n"}}},
      {"blank after the last value",
       {},
       {{"1 2 3 4 5 6 ", "0: 1 2 3 4 5 6\n"}, {"6*2", "0: 2 2 2 2 2 2\n"}}},
      {"extra values discarded",
       {},
       {{"1 2 3 4 5 6 7", "0: 1 2 3 4 5 6\n"}, {"/", "0: 6 5 4 3 2 1\n"}}},
      {"r* at the line end", {"r4", "r4"}, {{"2*", "0: 2 1\n"}, {"7 8", "0: 7 8\n"}}},
      {"quoted value at the line end",
       {"ch3"},
       {{"'ab'", "0: [ab ]\n"}, {"'cd", ""}, {"e'", "0: [cde]\n"}}},
      {"complex value across lines",
       {"c8"},
       {{"(1,", ""}, {"2) 9", "0: (1,2)\n"}, {"(3,4)", "0: (3,4)\n"}}},
  };
  for (const TypedCase& c : cases) {
    std::vector<TermStep> steps;
    std::string shown;
    for (const auto& [line, after] : c.lines_and_shown) {
      steps.push_back(type_line(line));
      if (!after.empty()) steps.push_back(wait_for(after, Millis{3000}));
      shown += after;
    }
    steps.push_back(type("\x04"));  // end of file
    TerminalOptions options;
    options.args = c.args;
    const RunResult r = run_in_terminal(test_program_path(PROGRAM), options, steps);
    EXPECT_TRUE(r.exited(0)) << c.name << "\n" << r.describe();
    EXPECT_EQ(printable(r.stdout_bytes.substr(0, shown.size())), printable(shown)) << c.name;
  }
}

}  // namespace
}  // namespace rtlib::test
