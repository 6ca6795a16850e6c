// Console records end to end, through pipes, a redirected file and a terminal: lines of
// any length, the last line without a line end, the Ctrl-Z end of file, an overlong typed
// line, and the prompt's line end before the program waits.
#include <gtest/gtest.h>

#include <string>

#include "harness/runner.h"
#include "rtlib/services/messages.h"

namespace rtlib::test {
namespace {

std::string report(const std::string& head, int32_t code) {
  return "\r\nrun-time error " + head + "\r\n- " + message_text(code) + "\r\n";
}

std::string tens(int count) {
  std::string line;
  for (int i = 0; i < count; ++i) line += "10 ";
  return line;
}

const std::string END_OF_FILE = report("F6501: READ(CON)", 73);

TEST(RecordsEndToEnd, RedirectedInput) {
  const Case cases[] = {
      {"lines", {}, "3\r\n1 2 3\r\n7\r\n", "count?\r\nsum 6\r\ngot 7\r\n", END_OF_FILE, 1},
      {"LF line ends", {}, "3\n1\n2 3\n7\n", "count?\r\nsum 6\r\ngot 7\r\n", END_OF_FILE, 1},
      {"a line longer than the console buffer",
       {},
       "50\r\n" + tens(50) + "\r\n7\r\n",
       "count?\r\nsum 500\r\ngot 7\r\n",
       END_OF_FILE,
       1},
      {"last line without line end",
       {},
       "1\r\n4\r\n9",
       "count?\r\nsum 4\r\ngot 9\r\n",
       END_OF_FILE,
       1},
      {"lines before a Ctrl-Z line are read",
       {},
       "2\r\n1 2\r\n5\r\n6\r\n12\x1a\r\n",
       "count?\r\nsum 3\r\ngot 5\r\ngot 6\r\n",
       END_OF_FILE,
       1},
      {"Ctrl-Z line loses its digits",
       {},
       "1\r\n4\r\n12\x1a\r\n9\r\n",
       "count?\r\nsum 4\r\n",
       END_OF_FILE,
       1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_case(test_program_path("rec_sum"), c), "") << c.name << " (pipe)";
    RunOptions from_file;
    from_file.stdin_kind = Stream::File;
    EXPECT_EQ(run_case(test_program_path("rec_sum"), c, from_file), "") << c.name << " (file)";
  }
}

TEST(RecordsEndToEnd, TypedInput) {
  const Case cases[] = {
      {"prompt line ended before reading",
       {},
       "2\n3 4\n\x04",
       "count?\r\nsum 7\r\n\r\n",
       END_OF_FILE,
       1},
      {"Ctrl-Z and Enter is end of file",
       {},
       "1\n4\n12\x1a\n",
       "count?\r\nsum 4\r\n\r\n",
       END_OF_FILE,
       1},
      {"typed line longer than the buffer",
       {},
       "1\n" + std::string(140, '5') + "\n",
       "count?\r\n",
       report("F6407: READ(CON)", 53),
       1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_case_in_terminal(test_program_path("rec_sum"), c), "") << c.name;
  }
}

}  // namespace
}  // namespace rtlib::test
