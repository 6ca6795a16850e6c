// List-directed WRITEs on the console, through pipes and under a terminal: the records a
// statement makes are shown with their first character taken as carriage control (a
// blank: the record goes on a new line and the blank is not shown), each record's line
// end written before the next one or at program end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/runner.h"

namespace rtlib::test {
namespace {

std::string blanks(int n) { return std::string(static_cast<size_t>(n), ' '); }

std::string letters(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

using Records = std::vector<std::string>;

// The records (each with its leading blank) of each group of tp_list_output.
Records group_records(const std::string& group) {
  const std::string t68 = letters(68);
  const std::string t79 = letters(79);
  const std::string t100 = letters(100);
  const std::string d1 = "1.000000000000000";
  if (group == "texts") {
    return {" x=" + blanks(10) + "1cm", " " + t100.substr(0, 79), " " + t100.substr(79)};
  }
  if (group == "integers") {
    std::string six;
    for (int v = 1; v <= 6; ++v) six += blanks(11) + std::to_string(v);
    return {blanks(8) + "-128" + blanks(7) + "32767" + " -2147483648" + blanks(11) + "0", six,
            blanks(11) + "7"};
  }
  if (group == "reals") {
    return {blanks(8) + "1.000000" + blanks(8) + "2.000000" + blanks(8) + "3.000000" + blanks(8) +
                "4.000000",
            blanks(8) + "5.000000" + blanks(8) + "6.000000",
            blanks(4) + "5.000000E-01" + blanks(7) + "-2.500000" + blanks(3) + "100000.000000"};
  }
  if (group == "doubles") {
    return {
        blanks(8) + d1 + blanks(7) + "-2.000000000000000" + blanks(3) + "5.000000000000000E-001",
        blanks(3) + "1.000000000000000E-005"};
  }
  if (group == "logicals") {
    std::string first;
    for (int i = 0; i < 39; ++i) first += i % 3 == 0 ? " T" : " F";
    return {first, " T", " T F T"};
  }
  if (group == "complex") {
    return {blanks(15) + "(1.000000,2.000000)" + blanks(10) + "(-5.000000E-01,3.000000)",
            blanks(14) + "(" + d1 + ",-2.000000000000000)"};
  }
  if (group == "empty") return {" "};
  if (group == "exact_fill") {
    return {" " + t79, " ", blanks(11) + "5" + t68, blanks(11) + "6"};
  }
  ADD_FAILURE() << "no records for group " << group;
  return {};
}

// What the console shows of these records: each without its first character, the line
// end of each written before the next record and, for the last, at program end.
std::string console_bytes(const Records& records) {
  std::string bytes;
  for (size_t i = 0; i < records.size(); ++i) {
    if (i > 0) bytes += "\r\n";
    bytes += records[i].substr(1);
  }
  return bytes + "\r\n";
}

struct GroupRun {
  const char* name;
  std::vector<std::string> groups;
};

TEST(ListOutputConsole, RecordsAreShownWithColumnOneCarriageControl) {
  const GroupRun runs[] = {
      {"texts", {"texts"}},
      {"integers of 1, 2 and 4 bytes", {"integers"}},
      {"4-byte reals", {"reals"}},
      {"8-byte reals", {"doubles"}},
      {"logicals", {"logicals"}},
      {"complex values", {"complex"}},
      {"a WRITE with no items is an empty line", {"empty"}},
      {"a text filling its record exactly", {"exact_fill"}},
      {"an empty line first and last", {"empty", "integers", "empty"}},
      {"every group in one run",
       {"texts", "integers", "reals", "doubles", "logicals", "complex", "empty", "exact_fill"}},
  };
  for (const GroupRun& run : runs) {
    Records records;
    for (const std::string& group : run.groups) {
      const Records more = group_records(group);
      records.insert(records.end(), more.begin(), more.end());
    }
    const Case c{run.name, run.groups, "", console_bytes(records), "", 0};
    EXPECT_EQ(run_case(test_program_path("list_output"), c), "") << c.name;
    EXPECT_EQ(run_case_in_terminal(test_program_path("list_output"), c), "") << c.name;
  }
}

}  // namespace
}  // namespace rtlib::test
