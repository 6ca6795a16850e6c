// Runners for the end-to-end tests: start a built program in a fresh temporary directory,
// feed it input, and give back exactly what it did (standard output and error bytes, exit
// status or signal, the files it left). Two ways to run it:
//
//   run_program      standard input, output and error are pipes (or files, devices, or
//                    closed descriptors, on request); input is fed while output is drained.
//   TerminalSession  standard input and output are a pseudo-terminal; the test types
//   run_in_terminal  bytes and reads back what the program showed on the screen.
//
// Neither ever hangs: every run has a deadline (10 s by default); when it passes, the
// program and everything it started are killed, and the result says so (timed_out, error).
//
// A run directory is created under the system temporary directory and removed afterwards
// unless the options keep it. Relative paths the program uses resolve inside it.
//
// Every program runs with the file-permission override of the superuser dropped, so a
// read-only file is read-only to it even when the tests run as root.
//
// A table-driven end-to-end test looks like this (the bytes here are only illustrative):
//
//   const Case kCases[] = {
//       // name, args, stdin, expected stdout, expected stderr, expected status
//       {"two lines", {}, "a\nb\n", "a\r\nb\r\n", "", 0},
//       {"input file", {"in.txt"}, "", "x\r\n", "", 0, {{"in.txt", "x\n"}}},
//   };
//   for (const Case& c : kCases) {
//     std::string diff = run_case(test_program_path("copy_lines"), c);
//     EXPECT_TRUE(diff.empty()) << c.name << "\n" << diff;
//   }
//
// and the same rows can run under a terminal with run_case_in_terminal().
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rtlib::test {

using Millis = std::chrono::milliseconds;
inline constexpr Millis DEFAULT_TIMEOUT{10000};

// Files by name (relative to the run directory, '/' between levels) -> exact bytes.
using FileMap = std::map<std::string, std::string>;

// A file placed in the run directory before the program starts.
struct InputFile {
  std::string name = {};   // relative to the run directory; no subdirectories are created
  std::string bytes = {};  // exact contents
  bool read_only = false;  // mode 0444 instead of 0644
};

// How one standard stream of a piped run is connected.
enum class Stream {
  Pipe,         // stdin: a pipe fed with stdin_bytes, then closed (so "" is an immediate
                // end of file); stdout/stderr: a pipe drained into the result
  File,         // stdin: a regular file holding stdin_bytes; stdout/stderr: a regular file
                // whose bytes are read back into the result (both outside the run directory)
  Path,         // the path given in the options (e.g. "/dev/null", "/dev/full"), opened after
                // changing to the run directory; output paths are created/truncated if they
                // are not devices
  Closed,       // the descriptor is not open at all: reads and writes fail with EBADF
  PipeEarlyEnd  // stdout/stderr only: a pipe whose reader takes `early_end_after` bytes
                // (0: none) and then closes its end, so further writes meet a broken pipe
};

// Everything a piped run can be given.
struct RunOptions {
  std::vector<std::string> args = {};  // argv[1..]; argv[0] is the program path
  std::string stdin_bytes = {};
  Stream stdin_kind = Stream::Pipe;
  std::string stdin_path = {};  // for Stream::Path
  Stream stdout_kind = Stream::Pipe;
  std::string stdout_path = {};  // for Stream::Path
  Stream stderr_kind = Stream::Pipe;
  std::string stderr_path = {};  // for Stream::Path
  size_t early_end_after = 0;    // for Stream::PipeEarlyEnd
  std::vector<InputFile> files = {};
  // Environment changes on top of the test's own environment: name -> value.
  std::vector<std::pair<std::string, std::string>> env = {};
  Millis timeout = DEFAULT_TIMEOUT;  // for the whole run
  bool keep_dir = false;             // leave the run directory in place (see RunResult::dir)
};

// What a run (piped or terminal) gives back.
struct RunResult {
  // Piped run: the bytes written to standard output (for Stream::File, the file's bytes;
  // for PipeEarlyEnd, the bytes read before the reader closed).
  // Terminal run: every byte the terminal showed (standard output; standard error unless it
  // was separated; the echo of typed input if echo was on).
  std::string stdout_bytes;
  std::string stderr_bytes;  // empty for a terminal run unless standard error was separated
  int exit_status = -1;      // the exit status if the program ended normally, else -1
  int signal = 0;            // the signal that ended it, else 0
  bool timed_out = false;    // the deadline passed (or a scripted wait failed) and it was killed
  FileMap files;             // regular files left in the run directory (recursively)
  std::string dir;           // the run directory; still on disk only with keep_dir
  std::string error;         // why the run failed as a run (start-up, timeout, failed wait);
                             // empty when the program ran and ended by itself

  bool exited(int status) const { return error.empty() && signal == 0 && exit_status == status; }
  // A readable account of the whole result, with every byte string escaped.
  std::string describe() const;
};

// Runs `program` with the options; always reaps it. Never throws for a failing program:
// failures to start or finish show in `error`.
RunResult run_program(const std::string& program, const RunOptions& options = {});

// ---------------------------------------------------------------------------------------
// Terminal runs.
//
// The program's standard input and output (and standard error, unless separated) are the
// slave side of a pseudo-terminal, 80 columns by 24 rows, and it is the session leader
// with that terminal as its controlling terminal. Line settings:
//   - output post-processing is off: the program's bytes arrive unchanged (LF stays LF);
//   - input is canonical: each read gets one line; Ctrl-D (0x04) at the start of a line
//     gives a read of 0 bytes (end of file); erase/kill characters edit the line;
//   - a typed CR is delivered as LF (as when a person presses Enter);
//   - Ctrl-C (0x03) sends SIGINT; Ctrl-Z (0x1A) is ordinary data, not "suspend", so a
//     program can see it; flow control (Ctrl-S/Ctrl-Q) is off;
//   - echo is off unless asked for. Echo happens when bytes are typed, not when the
//     program reads them, so for a faithful transcript wait for each prompt before typing.
// A canonical line holds at most 4095 bytes.

struct TerminalOptions {
  std::vector<std::string> args = {};
  std::vector<InputFile> files = {};
  std::vector<std::pair<std::string, std::string>> env = {};
  bool echo = false;                 // echo typed input into the screen bytes
  bool separate_stderr = false;      // standard error to its own pipe (RunResult::stderr_bytes)
  Millis timeout = DEFAULT_TIMEOUT;  // for the whole session
  bool keep_dir = false;
};

// One program under a terminal, driven step by step:
//
//   TerminalSession s(test_program_path("ask"), {});
//   ASSERT_TRUE(s.wait_for("? ")) << printable(s.output());
//   s.type("3\n");
//   RunResult r = s.finish();
class TerminalSession {
 public:
  // Creates the run directory and starts the program. A failure to start shows in error()
  // and in the result of finish().
  TerminalSession(const std::string& program, const TerminalOptions& options);
  // Kills the program if it is still running, reaps it, removes the run directory.
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // Queues bytes for the keyboard and writes as many as the terminal takes now; the rest
  // go in later waits (a program that does not read cannot block the test).
  void type(std::string_view bytes);
  // Waits until `text` appears in the screen bytes after the end of the previous match
  // (so waiting twice for the same prompt needs it shown twice). False when the session
  // deadline or `timeout` passes first, or the program ends without showing it; the
  // program keeps running either way.
  bool wait_for(std::string_view text, Millis timeout = Millis{5000});
  // Waits until the program ends (or the session deadline passes, which kills it), reads
  // everything it showed and the files it left. Call once; later calls return the same.
  RunResult finish();
  // Kills the program now (SIGKILL to its session) and gives back what it did, with
  // `reason` as the error. For a test that found what it wanted, or gave up.
  RunResult kill(std::string_view reason);

  const std::string& output() const;  // the screen bytes so far
  const std::string& error() const;   // empty unless the program could not be started
  int pid() const;                    // the program's process id (also its session id)

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// One step of a scripted terminal run.
struct TermStep {
  enum class Kind { Type, WaitFor };
  Kind kind;
  std::string bytes;  // the bytes to type, or the text to wait for
  Millis timeout{5000};
};
inline TermStep type(std::string bytes) { return {TermStep::Kind::Type, std::move(bytes)}; }
inline TermStep type_line(std::string line) {
  return {TermStep::Kind::Type, std::move(line) + "\n"};
}
inline TermStep wait_for(std::string text, Millis timeout = Millis{5000}) {
  return {TermStep::Kind::WaitFor, std::move(text), timeout};
}

// Runs the steps in order, then collects until the program ends. A wait that fails
// kills the program at once; `error` names the step ("step 2: no \"Total\" ...").
RunResult run_in_terminal(const std::string& program, const TerminalOptions& options,
                          const std::vector<TermStep>& steps);
// Types all of `typed` at once (lines and control bytes, e.g. "3\n1\n\x04") and collects
// until the program ends.
RunResult run_in_terminal(const std::string& program, const TerminalOptions& options,
                          std::string_view typed);

// ---------------------------------------------------------------------------------------
// Table rows and comparison.

// One end-to-end case: inputs and the exact expected outcome.
struct Case {
  const char* name;
  std::vector<std::string> args;
  std::string stdin_bytes;  // fed through the pipe, or typed in a terminal run
  std::string expect_stdout;
  std::string expect_stderr;
  int expect_status;
  std::vector<InputFile> files = {};  // placed in the run directory first
  // When given: exactly the files that must be left (input files included), byte for byte.
  std::optional<FileMap> expect_files = {};
};

// "" when the result matches the case (status, both streams, files if given, no run
// error); otherwise one paragraph per difference, bytes escaped, with the first
// differing offset.
std::string mismatch(const Case& expected, const RunResult& result);

// Runs the case through pipes (`base` supplies anything else: stream kinds, env, timeout;
// its args, stdin bytes and files are replaced by the case's) and returns mismatch().
std::string run_case(const std::string& program, const Case& c, const RunOptions& base = {});
// Runs the case under a terminal, typing stdin_bytes at once, with standard error
// separated, and returns mismatch(): expect_stdout is the screen bytes.
std::string run_case_in_terminal(const std::string& program, const Case& c,
                                 const TerminalOptions& base = {});

// Bytes in a form that shows every one: printable ASCII as is, backslash as \\, CR LF TAB
// as \r \n \t, anything else as \xHH (so "1\r\n\x1a").
std::string printable(std::string_view bytes);

// Paths of built programs, for the end-to-end tests (which define RTLIB_BIN_DIR).
#ifdef RTLIB_BIN_DIR
// A deliverable program: program_path("sortvec").
inline std::string program_path(std::string_view name) {
  return std::string(RTLIB_BIN_DIR) + "/" + std::string(name);
}
// A test program built from tests/programs/<name>.cpp: test_program_path("echo_bytes").
inline std::string test_program_path(std::string_view name) {
  return std::string(RTLIB_BIN_DIR) + "/tests/tp_" + std::string(name);
}
#endif

}  // namespace rtlib::test
