// Self-tests of the end-to-end runners, with /bin/sh scripts standing in for programs:
// exact bytes and status through pipes, stream kinds, files, deadlines, and terminal runs.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "harness/runner.h"

namespace rtlib::test {
namespace {

using namespace std::string_literals;
using std::chrono::steady_clock;

const std::string kShell = "/bin/sh";

std::vector<std::string> script(std::string text) { return {"-c", std::move(text)}; }

Millis elapsed_since(steady_clock::time_point start) {
  return std::chrono::duration_cast<Millis>(steady_clock::now() - start);
}

TEST(HarnessPipes, CasesCompareExactBytes) {
  const std::string big(1 << 20, 'q');  // more than any pipe holds, in both directions
  const Case cases[] = {
      {"both streams and status",
       script("printf 'a\\r\\n\\032\\000z'; printf 'err\\n' >&2; exit 3"), "", "a\r\n\x1a\0z"s,
       "err\n", 3},
      {"arguments arrive as given",
       {"-c", "printf '%s|' \"$@\"", "zero", "a", "b c", ""},
       "",
       "a|b c||",
       "",
       0},
      {"stdin bytes through cat", script("cat"), "x\r\ny\0\xff"s, "x\r\ny\0\xff"s, "", 0},
      {"empty stdin is end of file", script("cat; echo end"), "", "end\n", "", 0},
      {"a megabyte each way", script("cat; cat big >&2"), big, big, big, 0, {{"big", big}}},
      {"only the standard descriptors are open", script("ls /proc/$$/fd"), "", "0\n1\n2\n", "", 0},
      {"files placed and left",
       script("cat in.txt > out.txt; printf '!' >> out.txt; rm gone; mkdir sub; echo s > "
              "sub/f"),
       "",
       "",
       "",
       0,
       {{"in.txt", "abc\n"}, {"gone", ""}},
       FileMap{{"in.txt", "abc\n"}, {"out.txt", "abc\n!"}, {"sub/f", "s\n"}}},
      {"read-only file refuses writes",
       script("if (printf x > ro) 2>/dev/null; then echo wrote; else echo refused; fi"),
       "",
       "refused\n",
       "",
       0,
       {{"ro", "keep", true}},
       FileMap{{"ro", "keep"}}},
  };
  for (const Case& c : cases) {
    std::string diff = run_case(kShell, c);
    EXPECT_TRUE(diff.empty()) << c.name << "\n" << diff;
  }
}

TEST(HarnessPipes, StreamKindsGiveTheRightDescriptors) {
  struct Row {
    const char* name;
    RunOptions options;
    std::string expect_stdout;
    std::string expect_stderr;
  };
  // The kinds of the shell's own descriptors, found with the built-in test (no redirection
  // or subshell disturbs them) and listed on standard error.
  const std::string kinds =
      "for fd in 0 1 2; do f=/proc/self/fd/$fd; if [ -p $f ]; then k=pipe; elif [ -c $f ]; "
      "then k=char; elif [ -f $f ]; then k=file; else k=closed; fi; s=\"$s$k \"; done; "
      "echo \"$s\" >&2; ";
  Row rows[] = {
      {"pipes", {.args = script(kinds + "cat"), .stdin_bytes = "in"}, "in", "pipe pipe pipe \n"},
      {"regular files",
       {.args = script(kinds + "cat"),
        .stdin_bytes = "in",
        .stdin_kind = Stream::File,
        .stdout_kind = Stream::File},
       "in",
       "file file pipe \n"},
      {"devices by path",
       {.args = script(kinds + "echo lost"),
        .stdin_kind = Stream::Path,
        .stdin_path = "/dev/null",
        .stdout_kind = Stream::Path,
        .stdout_path = "/dev/null"},
       "",
       "char char pipe \n"},
      {"closed stdin",
       {.args = script(kinds), .stdin_kind = Stream::Closed},
       "",
       "closed pipe pipe \n"},
      {"closed stdout",
       {.args = script(kinds + "echo x 2>/dev/null || echo failed >&2"),
        .stdout_kind = Stream::Closed},
       "",
       "pipe closed pipe \nfailed\n"},
  };
  for (const Row& row : rows) {
    RunResult r = run_program(kShell, row.options);
    EXPECT_TRUE(r.exited(0)) << row.name << "\n" << r.describe();
    EXPECT_EQ(printable(r.stdout_bytes), printable(row.expect_stdout)) << row.name;
    EXPECT_EQ(printable(r.stderr_bytes), printable(row.expect_stderr)) << row.name;
  }
}

TEST(HarnessPipes, RelativeOutputPathIsAFileLeft) {
  RunResult r = run_program(
      kShell, {.args = script("echo kept"), .stdout_kind = Stream::Path, .stdout_path = "o"});
  EXPECT_TRUE(r.exited(0)) << r.describe();
  EXPECT_EQ(r.files, (FileMap{{"o", "kept\n"}}));
}

TEST(HarnessPipes, FullDeviceFailsWrites) {
  RunResult r = run_program(kShell, {.args = script("printf hi 2>/dev/null || echo failed >&2"),
                                     .stdout_kind = Stream::Path,
                                     .stdout_path = "/dev/full"});
  EXPECT_TRUE(r.exited(0)) << r.describe();
  EXPECT_EQ(r.stderr_bytes, "failed\n");
}

TEST(HarnessPipes, EarlyClosingReader) {
  const std::string forever = "while :; do echo line || { echo failed >&2; exit 5; }; done";
  struct Row {
    const char* name;
    std::string script;
    size_t keep;
    std::string expect_stdout;
    int expect_signal;
    int expect_status;
  };
  const Row rows[] = {
      {"default SIGPIPE ends the program", forever, 3, "lin", SIGPIPE, -1},
      {"reader gone before the first write", forever, 0, "", SIGPIPE, -1},
      {"ignored SIGPIPE shows as a failed write", "trap '' PIPE; " + forever, 7, "line\nli", 0, 5},
  };
  for (const Row& row : rows) {
    RunResult r = run_program(kShell, {.args = script(row.script),
                                       .stdout_kind = Stream::PipeEarlyEnd,
                                       .early_end_after = row.keep});
    EXPECT_EQ(r.error, "") << row.name;
    EXPECT_EQ(r.signal, row.expect_signal) << row.name << "\n" << r.describe();
    EXPECT_EQ(r.exit_status, row.expect_status) << row.name;
    EXPECT_EQ(r.stdout_bytes, row.expect_stdout) << row.name;
  }
}

TEST(HarnessPipes, SignalAndEnvironment) {
  RunResult r = run_program(kShell, {.args = script("echo \"$HARNESS_X\"; kill -TERM $$"),
                                     .env = {{"HARNESS_X", "v=1"}}});
  EXPECT_EQ(r.signal, SIGTERM) << r.describe();
  EXPECT_EQ(r.exit_status, -1);
  EXPECT_EQ(r.stdout_bytes, "v=1\n");
}

TEST(HarnessPipes, TimeoutKillsProgramAndWhatItStarted) {
  auto start = steady_clock::now();
  RunResult r = run_program(
      kShell, {.args = script("echo started; sleep 30; echo late"), .timeout = Millis{300}});
  EXPECT_LT(elapsed_since(start), Millis{5000});
  EXPECT_TRUE(r.timed_out);
  EXPECT_EQ(r.signal, SIGKILL);
  EXPECT_EQ(r.stdout_bytes, "started\n");
  EXPECT_NE(r.error.find("timed out"), std::string::npos) << r.error;
}

TEST(HarnessPipes, MissingProgramFailsToStart) {
  RunResult r = run_program("/nonexistent/program");
  EXPECT_EQ(r.exit_status, 127);
  EXPECT_NE(r.error.find("cannot start /nonexistent/program: exec: No such file"),
            std::string::npos)
      << r.error;
}

TEST(HarnessPipes, RunDirectoryRemovedUnlessKept) {
  RunResult gone = run_program(kShell, {.args = script("pwd")});
  EXPECT_EQ(gone.stdout_bytes, gone.dir + "\n");
  EXPECT_FALSE(std::filesystem::exists(gone.dir));
  RunResult kept = run_program(kShell, {.args = script("echo x > f"), .keep_dir = true});
  EXPECT_TRUE(std::filesystem::exists(kept.dir + "/f"));
  std::filesystem::remove_all(std::filesystem::path(kept.dir).parent_path());
}

TEST(HarnessMessages, PrintableAndMismatch) {
  EXPECT_EQ(printable("a\r\n\t\x1a\\\x7f\xff\0"s), "a\\r\\n\\t\\x1a\\\\\\x7f\\xff\\x00");
  RunResult r;
  r.exit_status = 0;
  r.stdout_bytes = "a\n";
  Case c{"x", {}, "", "a\r\n", "", 0};
  EXPECT_EQ(mismatch(c, r),
            "stdout differs at byte 1 (expected 3 bytes, got 2)\n"
            "  expected: \"a\\r\\n\"\n"
            "  actual:   \"a\\n\"\n");
  r.stdout_bytes = "a\r\n";
  EXPECT_EQ(mismatch(c, r), "");
  r.exit_status = -1;
  r.signal = SIGKILL;
  EXPECT_NE(mismatch(c, r).find("expected exit status 0, got killed by signal 9"),
            std::string::npos);
}

// ---------------------------------------------------------------------------------------
// Terminal runs.

TEST(HarnessTerminal, TypedBytesAsTheProgramReadsThem) {
  // od shows every byte read; dd takes one read, so it shows one line per read.
  const std::string od = "od -An -tx1";
  const Case cases[] = {
      {"stdin, stdout and stderr are the terminal",
       script("test -t 0 && test -t 1 && test -t 2 && echo tty"), "", "tty\n", "", 0},
      {"one line per read, typed ahead",
       script("dd bs=64 count=1 2>/dev/null; echo '|'; dd bs=64 count=1 2>/dev/null; echo '|'"),
       "ab\ncd\n", "ab\n|\ncd\n|\n", "", 0},
      {"Ctrl-D ends input", script(od), "ab\ncd\n\x04", " 61 62 0a 63 64 0a\n", "", 0},
      {"Ctrl-D sends a partial line", script(od), "ab\x04\x04", " 61 62\n", "", 0},
      {"Ctrl-Z is data", script(od), "\x1a\n\x04", " 1a 0a\n", "", 0},
      {"CR arrives as LF", script(od), "a\r\x04", " 61 0a\n", "", 0},
      {"program output is not translated", script("printf 'a\\nb\\r\\n'"), "", "a\nb\r\n", "", 0},
  };
  for (const Case& c : cases) {
    TerminalOptions o;
    o.args = c.args;
    RunResult r = run_in_terminal(kShell, o, c.stdin_bytes);
    std::string diff = mismatch(c, r);
    EXPECT_TRUE(diff.empty()) << c.name << "\n" << diff;
  }
}

TEST(HarnessTerminal, SeparateStandardError) {
  Case c{
      "stderr to a pipe", script("test -t 2 || echo pipe >&2; echo out"), "", "out\n", "pipe\n", 0};
  std::string diff = run_case_in_terminal(kShell, c);
  EXPECT_TRUE(diff.empty()) << diff;
}

TEST(HarnessTerminal, ScriptedDialogue) {
  const std::string dialogue =
      "printf 'Name? '; read n; printf 'Hi %s\\nAge? ' \"$n\"; read a; echo \"ok $a\"";
  const std::vector<TermStep> steps = {wait_for("Name? "), type_line("Bo"), wait_for("Age? "),
                                       type_line("7")};
  struct Row {
    const char* name;
    bool echo;
    std::string expect_screen;
  };
  const Row rows[] = {
      {"program bytes only", false, "Name? Hi Bo\nAge? ok 7\n"},
      {"with echo, as a person sees it", true, "Name? Bo\nHi Bo\nAge? 7\nok 7\n"},
  };
  for (const Row& row : rows) {
    TerminalOptions o;
    o.args = script(dialogue);
    o.echo = row.echo;
    RunResult r = run_in_terminal(kShell, o, steps);
    EXPECT_TRUE(r.exited(0)) << row.name << "\n" << r.describe();
    EXPECT_EQ(printable(r.stdout_bytes), printable(row.expect_screen)) << row.name;
  }
}

TEST(HarnessTerminal, SessionWaitsForRepeatedPrompts) {
  TerminalOptions o;
  o.args = script("while printf '> '; read x; do echo \"[$x]\"; done; echo bye");
  TerminalSession s(kShell, o);
  ASSERT_EQ(s.error(), "");
  ASSERT_TRUE(s.wait_for("> "));
  s.type("1\n");
  ASSERT_TRUE(s.wait_for("> "));  // the second prompt, not the first again
  EXPECT_EQ(s.output(), "> [1]\n> ");
  EXPECT_FALSE(s.wait_for("[2]", Millis{100}));
  s.type("\x04");
  RunResult r = s.finish();
  EXPECT_TRUE(r.exited(0)) << r.describe();
  EXPECT_EQ(r.stdout_bytes, "> [1]\n> bye\n");
}

TEST(HarnessTerminal, InterruptAndDeadlines) {
  struct Row {
    const char* name;
    std::vector<TermStep> steps;
    Millis timeout;
    int expect_signal;
    const char* expect_error;
  };
  const Row rows[] = {
      {"Ctrl-C interrupts", {type("\x03")}, DEFAULT_TIMEOUT, SIGINT, ""},
      {"failed wait kills at once",
       {wait_for("never", Millis{200})},
       DEFAULT_TIMEOUT,
       SIGKILL,
       "step 1: no \"never\" in the output within 200 ms; killed"},
      {"session deadline kills", {}, Millis{300}, SIGKILL, "timed out after 300 ms; killed"},
  };
  for (const Row& row : rows) {
    TerminalOptions o;
    o.args = script("exec sleep 30");
    o.timeout = row.timeout;
    auto start = steady_clock::now();
    RunResult r = run_in_terminal(kShell, o, row.steps);
    EXPECT_LT(elapsed_since(start), Millis{5000}) << row.name;
    EXPECT_EQ(r.signal, row.expect_signal) << row.name << "\n" << r.describe();
    EXPECT_EQ(r.error, row.expect_error) << row.name;
    EXPECT_EQ(r.timed_out, row.expect_signal == SIGKILL) << row.name;
  }
}

}  // namespace
}  // namespace rtlib::test
