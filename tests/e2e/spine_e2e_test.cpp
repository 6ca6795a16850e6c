// Start-up and shutdown seen from outside: statuses, bytes, and the console units that
// start-up makes on a terminal and on pipes.
#include <gtest/gtest.h>

#include "harness/runner.h"

namespace rtlib::test {
namespace {

TEST(Startup, ProgramThatOnlyReturnsIsSilent) {
  const Case c{"empty program", {}, "", "", "", 0};
  EXPECT_EQ(run_case(test_program_path("empty"), c), "");
  EXPECT_EQ(run_case_in_terminal(test_program_path("empty"), c), "");
}

TEST(Startup, ConsoleUnitsFollowTheStandardStreams) {
  // Pipes: a second console unit serves output (handle 1), the first one input (handle 0).
  RunResult piped = run_program(test_program_path("console_units"));
  EXPECT_TRUE(piped.exited(0)) << piped.describe();
  EXPECT_EQ(piped.stderr_bytes, "units=2 out=1 in=0\n");

  // A terminal: one console unit whose handle follows the direction of each statement.
  TerminalOptions options;
  options.separate_stderr = true;
  RunResult terminal = run_in_terminal(test_program_path("console_units"), options, "");
  EXPECT_TRUE(terminal.exited(0)) << terminal.describe();
  EXPECT_EQ(terminal.stderr_bytes, "units=1 out=1 in=0\n");
}

}  // namespace
}  // namespace rtlib::test
