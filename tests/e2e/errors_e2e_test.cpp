// Run-time error reports: the exact bytes on standard error, the exit status, and the
// statuses that statements asking for their errors receive instead.
#include <gtest/gtest.h>

#include <string>

#include "harness/runner.h"
#include "rtlib/services/messages.h"

namespace rtlib::test {
namespace {

std::string report(const std::string& head, int32_t code) {
  return "\r\nrun-time error " + head + message_text(code) + "\r\n";
}

TEST(ErrorReports, EachStatementKindShowsItsText) {
  const Case cases[] = {
      {"READ on the console", {"7", "73"}, "", "", report("F6501: READ(CON)\r\n- ", 73), 1},
      {"WRITE on the console", {"2", "68"}, "", "", report("F6422: WRITE(CON)\r\n- ", 68), 1},
      {"CLOSE", {"1", "26"}, "", "", report("F6300: CLOSE(CON)\r\n- ", 26), 1},
      {"no statement", {"16", "92"}, "", "", report("F6700\r\n- ", 92), 1},
      {"debug services", {"11", "1"}, "", "", report("F6097: $DEBUG\r\n- ", 1), 1},
      {"ALLOCATE", {"12", "132"}, "", "", report("F6717: ALLOCATE\r\n- ", 132), 1},
      {"DEALLOCATE", {"13", "132"}, "", "", report("F6717: DEALLOCATE\r\n- ", 132), 1},
      {"thread start", {"14", "92"}, "", "", report("F6700: BEGINTHREAD\r\n-", 92), 1},
      {"math", {"15", "92"}, "", "", report("M6700: MATH\r\n- ", 92), 1},
      // A statement that asked for its errors gets 6000 + the table value, also in the
      // unit's last status, and nothing is reported.
      {"caught", {"7", "5", "catch"}, "", "status=6101 last=6101\n", "", 0},
      {"end of file with an error branch only",
       {"7", "73", "eof-catch"},
       "",
       "status=-1 last=6501\n",
       "",
       0},
      {"end of file with an end branch",
       {"7", "73", "eof-end"},
       "",
       "status=-1 last=6501\n",
       "",
       0},
      {"end of file without branches",
       {"7", "73", "eof"},
       "",
       "",
       report("F6501: READ(CON)\r\n- ", 73),
       1},
      {"record overflow with an error branch",
       {"2", "-2", "catch"},
       "",
       "status=-2 last=-2\n",
       "",
       0},
      // With error frames: the location in front, the traceback after the message.
      {"traceback",
       {"7", "73", "", "frames"},
       "",
       "",
       "\r\nsub.f(12) : run-time error F6501: READ(CON)\r\n- " + std::string(message_text(73)) +
           "\r\n\r\nExecution traceback:\r\n\t\tfrom SOLVE in sub.f(12)\r\n"
           "\t\tfrom main program in main.f(3)\r\n",
       1},
      // The exit routine still runs after a report: the console line is ended.
      {"console line ended after the report",
       {"7", "73", "", "write"},
       "",
       "hello\r\n",
       report("F6501: READ(CON)\r\n- ", 73),
       1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_case(test_program_path("raise"), c), "") << c.name;
  }
}

}  // namespace
}  // namespace rtlib::test
