// The end-to-end runners: a program in a fresh directory, through pipes or a
// pseudo-terminal, with deadlines that kill it rather than hang the test. See runner.h.
#include "harness/runner.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace rtlib::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------------------
// Small system helpers.

struct Deadline {
  Clock::time_point at;
  static Deadline in(Millis d) { return {Clock::now() + d}; }
  bool passed() const { return Clock::now() >= at; }
  // Milliseconds left, rounded up, as poll() takes them.
  int poll_ms() const {
    auto left = std::chrono::ceil<Millis>(at - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
  }
  Deadline earlier(Deadline other) const { return other.at < at ? other : *this; }
};

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void set_nonblocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Writing to a pipe or terminal whose reader has gone must fail with EPIPE in the test
// process, not end it. Programs get the default disposition back before exec.
void ignore_sigpipe() {
  struct sigaction sa {};
  sa.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &sa, nullptr);
}

std::string read_whole_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool write_whole_file(const fs::path& path, std::string_view bytes, mode_t mode) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == bytes.size() && ::fchmod(fd, mode) == 0;
  return ::close(fd) == 0 && ok;
}

// Reads what is available without blocking; false once the other end is closed (or the
// descriptor fails, as a pty master does with EIO after the last slave closes).
bool drain(int fd, std::string& into, size_t limit = SIZE_MAX) {
  char buf[4096];
  while (into.size() < limit) {
    size_t want = std::min(sizeof buf, limit - into.size());
    ssize_t n = ::read(fd, buf, want);
    if (n > 0) {
      into.append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && errno == EAGAIN;
  }
  return true;
}

// Waits for the child to end, until the deadline. False if it is still running.
bool reap(pid_t pid, Deadline deadline, int& wstatus, std::string& error) {
  auto pause = std::chrono::microseconds(500);
  for (;;) {
    pid_t r = ::waitpid(pid, &wstatus, WNOHANG);
    if (r == pid) return true;
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      error = std::string("waitpid: ") + std::strerror(errno);
      return true;
    }
    if (deadline.passed()) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(20000));
  }
}

// Kills the program and whatever it started (its process group or session).
void kill_all(pid_t pid) {
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
}

void record_status(int wstatus, RunResult& r) {
  if (WIFEXITED(wstatus)) {
    r.exit_status = WEXITSTATUS(wstatus);
  } else if (WIFSIGNALED(wstatus)) {
    r.signal = WTERMSIG(wstatus);
  }
}

// ---------------------------------------------------------------------------------------
// The run directory: <tmp>/rtlib-run-XXXXXX holds the captured standard streams and
// "dir", the program's working directory.

class RunDir {
 public:
  bool create(const std::vector<InputFile>& files, std::string& error) {
    std::string pattern = (fs::temp_directory_path() / "rtlib-run-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      error = std::string("mkdtemp: ") + std::strerror(errno);
      return false;
    }
    base_ = pattern;
    work_ = base_ / "dir";
    std::error_code ec;
    fs::create_directory(work_, ec);
    if (ec) {
      error = "cannot create " + work_.string() + ": " + ec.message();
      return false;
    }
    for (const InputFile& f : files) {
      if (!write_whole_file(work_ / f.name, f.bytes, f.read_only ? 0444 : 0644)) {
        error = "cannot place input file " + f.name + ": " + std::strerror(errno);
        return false;
      }
    }
    return true;
  }
  ~RunDir() { remove(); }

  const fs::path& work() const { return work_; }
  fs::path side_file(const char* name) const { return base_ / name; }

  FileMap files_left() const {
    FileMap files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(work_, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
      if (it->symlink_status().type() == fs::file_type::regular) {
        files[it->path().lexically_relative(work_).generic_string()] = read_whole_file(it->path());
      }
    }
    return files;
  }
  void keep() { kept_ = true; }
  void remove() {
    if (!base_.empty() && !kept_) {
      std::error_code ec;
      fs::remove_all(base_, ec);
    }
    base_.clear();
  }

 private:
  fs::path base_, work_;
  bool kept_ = false;
};

// ---------------------------------------------------------------------------------------
// Starting a program. Everything the child needs is prepared before fork, so that between
// fork and exec it only makes system calls.

struct ExecImage {
  std::vector<std::string> strings;
  std::vector<char*> argv, envp;

  ExecImage(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::pair<std::string, std::string>>& env) {
    std::vector<std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) vars.emplace_back(*e);
    for (const auto& [name, value] : env) {
      std::erase_if(vars, [&](const std::string& v) {
        return v.size() > name.size() && v.compare(0, name.size(), name) == 0 &&
               v[name.size()] == '=';
      });
      vars.push_back(name + "=" + value);
    }
    strings.push_back(program);
    strings.insert(strings.end(), args.begin(), args.end());
    size_t argc = strings.size();
    strings.insert(strings.end(), vars.begin(), vars.end());
    for (size_t i = 0; i < strings.size(); ++i) {
      (i < argc ? argv : envp).push_back(strings[i].data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
  }
};

// What the child sends back through the close-on-exec report pipe when it cannot start.
struct StartFailure {
  int stage;
  int err;
};
const char* const kStageNames[] = {"exec",
                                   "chdir",
                                   "open standard input",
                                   "open standard output",
                                   "open standard error",
                                   "redirect a standard stream",
                                   "set up the terminal"};

[[noreturn]] void child_fail(int report_fd, int stage) {
  StartFailure f{stage, errno};
  ssize_t ignored = ::write(report_fd, &f, sizeof f);
  (void)ignored;
  ::_exit(127);
}

// Puts `fd` on `target` (keeping it open across exec).
bool child_move(int fd, int target) {
  if (fd == target) return ::fcntl(fd, F_SETFD, 0) == 0;
  if (::dup2(fd, target) < 0) return false;
  ::close(fd);
  return true;
}

// Common last steps in the child: default signal handling, the superuser's
// permission override dropped, no stray descriptors, exec.
[[noreturn]] void child_exec(const ExecImage& image, int report_fd) {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sig != SIGKILL && sig != SIGSTOP) ::sigaction(sig, &dfl, nullptr);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  // Fails harmlessly when not running as root.
  ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
  ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
  ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
  if (report_fd > 3) ::close_range(3, report_fd - 1, 0);
  ::close_range(report_fd + 1, ~0U, 0);
  ::execve(image.argv[0], image.argv.data(), image.envp.data());
  child_fail(report_fd, 0);
}

// Waits for the child's exec (the report pipe closes) or its start failure. Returns the
// failure text, empty once the program runs.
std::string await_start(int& report_fd, const std::string& program, Deadline deadline) {
  StartFailure f{};
  size_t got = 0;
  while (got < sizeof f) {
    pollfd p{report_fd, POLLIN, 0};
    int n = ::poll(&p, 1, deadline.poll_ms());
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) break;
    ssize_t r = ::read(report_fd, reinterpret_cast<char*>(&f) + got, sizeof f - got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  close_fd(report_fd);
  if (got < sizeof f) return "";
  return "cannot start " + program + ": " + kStageNames[f.stage] + ": " + std::strerror(f.err);
}

// ---------------------------------------------------------------------------------------
// Messages.

std::string status_text(const RunResult& r) {
  if (r.signal != 0) {
    return "killed by signal " + std::to_string(r.signal) + " (" + strsignal(r.signal) + ")";
  }
  return "exit status " + std::to_string(r.exit_status);
}

// Quoted and escaped; a long string shows its first 2000 bytes and how many more follow
// (a differing byte is shown separately, near its offset).
std::string in_quotes(std::string_view bytes) {
  constexpr size_t kShown = 2000;
  if (bytes.size() <= kShown) return "\"" + printable(bytes) + "\"";
  return "\"" + printable(bytes.substr(0, kShown)) + "\"... (" +
         std::to_string(bytes.size() - kShown) + " more bytes)";
}

void describe_bytes(std::ostringstream& out, std::string_view label, std::string_view bytes) {
  out << label << " (" << bytes.size() << " bytes): " << in_quotes(bytes) << "\n";
}

// One paragraph for two byte strings that differ.
void compare_bytes(std::ostringstream& out, std::string_view label, std::string_view expected,
                   std::string_view actual) {
  if (expected == actual) return;
  size_t at = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first -
              expected.begin();
  out << label << " differs at byte " << at << " (expected " << expected.size() << " bytes, got "
      << actual.size() << ")\n";
  if (expected.size() > 80 || actual.size() > 80) {
    size_t from = at > 20 ? at - 20 : 0;
    out << "  near expected: " << in_quotes(expected.substr(std::min(from, expected.size()), 40))
        << "\n  near actual:   " << in_quotes(actual.substr(std::min(from, actual.size()), 40))
        << "\n";
  }
  out << "  expected: " << in_quotes(expected) << "\n  actual:   " << in_quotes(actual) << "\n";
}

// ---------------------------------------------------------------------------------------
// Piped runs.

// Opens the parent's and the child's ends for one standard stream of a piped run.
struct StreamPlan {
  Stream kind = Stream::Pipe;
  int target = 0;         // 0, 1 or 2
  int parent_fd = -1;     // our end of a pipe
  int child_fd = -1;      // the child's end of a pipe
  std::string open_path;  // a file the child opens (File, Path)
  std::string bytes;      // captured output

  StreamPlan() = default;
  StreamPlan(const StreamPlan&) = delete;
  StreamPlan& operator=(const StreamPlan&) = delete;
  ~StreamPlan() {
    close_fd(parent_fd);
    close_fd(child_fd);
  }
  size_t limit(const RunOptions& o) const {
    return kind == Stream::PipeEarlyEnd ? o.early_end_after : SIZE_MAX;
  }

  bool prepare(const RunDir& dir, const RunOptions& o, std::string& error) {
    static const char* const kFileNames[] = {"stdin", "stdout", "stderr"};
    const std::string* paths[] = {&o.stdin_path, &o.stdout_path, &o.stderr_path};
    if (kind == Stream::Pipe || kind == Stream::PipeEarlyEnd) {
      if (target == 0 && kind == Stream::PipeEarlyEnd) {
        error = "PipeEarlyEnd is for output streams";
        return false;
      }
      int fds[2];
      if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
      }
      parent_fd = target == 0 ? fds[1] : fds[0];
      child_fd = target == 0 ? fds[0] : fds[1];
      set_nonblocking(parent_fd);
    } else if (kind == Stream::File) {
      open_path = dir.side_file(kFileNames[target]).string();
      if (target == 0 && !write_whole_file(open_path, o.stdin_bytes, 0644)) {
        error = "cannot write the standard input file";
        return false;
      }
    } else if (kind == Stream::Path) {
      open_path = *paths[target];
    }
    return true;
  }

  // In the child, after chdir.
  void connect(int report_fd) const {
    int fd = child_fd;
    if (kind == Stream::Closed) {
      ::close(target);
      return;
    }
    if (!open_path.empty()) {
      int flags = target == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
      fd = ::open(open_path.c_str(), flags, 0644);
      if (fd < 0) child_fail(report_fd, 2 + target);
    }
    if (!child_move(fd, target)) child_fail(report_fd, 5);
  }
};

// Feeds standard input and drains the outputs together, so that a program that writes
// much before reading (or the reverse) never blocks against us. Returns when every pipe is
// closed or at the deadline.
void exchange(StreamPlan (&streams)[3], const RunOptions& o, Deadline deadline) {
  size_t fed = 0;
  for (StreamPlan& s : streams) {
    if (s.target == 0 ? o.stdin_bytes.empty() : s.limit(o) == 0) close_fd(s.parent_fd);
  }
  for (;;) {
    pollfd p[3];
    int n = 0;
    for (StreamPlan& s : streams) {
      if (s.parent_fd >= 0) p[n++] = {s.parent_fd, short(s.target == 0 ? POLLOUT : POLLIN), 0};
    }
    if (n == 0) break;
    int ready = ::poll(p, n, deadline.poll_ms());
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;  // the deadline (or a poll failure): the caller kills
    for (StreamPlan& s : streams) {
      if (s.parent_fd < 0) continue;
      if (s.target == 0) {
        ssize_t w = ::write(s.parent_fd, o.stdin_bytes.data() + fed, o.stdin_bytes.size() - fed);
        if (w > 0) fed += static_cast<size_t>(w);
        if (fed == o.stdin_bytes.size() || (w < 0 && errno != EAGAIN && errno != EINTR)) {
          close_fd(s.parent_fd);  // all fed, or the program closed its end
        }
        continue;
      }
      size_t limit = s.limit(o);
      if (!drain(s.parent_fd, s.bytes, limit) || s.bytes.size() >= limit) close_fd(s.parent_fd);
    }
  }
}

}  // namespace

RunResult run_program(const std::string& program, const RunOptions& o) {
  RunResult r;
  ignore_sigpipe();
  Deadline deadline = Deadline::in(o.timeout);
  RunDir dir;
  if (!dir.create(o.files, r.error)) return r;
  r.dir = dir.work().string();
  if (o.keep_dir) dir.keep();

  StreamPlan streams[3];
  Stream kinds[3] = {o.stdin_kind, o.stdout_kind, o.stderr_kind};
  for (int i = 0; i < 3; ++i) {
    streams[i].kind = kinds[i];
    streams[i].target = i;
    if (!streams[i].prepare(dir, o, r.error)) return r;
  }
  ExecImage image(program, o.args, o.env);
  std::string work = dir.work().string();
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    r.error = std::string("pipe: ") + std::strerror(errno);
    return r;
  }

  pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    if (::chdir(work.c_str()) != 0) child_fail(report[1], 1);
    for (const StreamPlan& s : streams) s.connect(report[1]);
    child_exec(image, report[1]);
  }
  close_fd(report[1]);
  for (StreamPlan& s : streams) close_fd(s.child_fd);
  if (pid < 0) {
    r.error = std::string("fork: ") + std::strerror(errno);
    close_fd(report[0]);
    return r;
  }
  ::setpgid(pid, pid);
  r.error = await_start(report[0], program, deadline);

  exchange(streams, o, deadline);

  int wstatus = 0;
  if (!reap(pid, deadline, wstatus, r.error)) {
    kill_all(pid);
    reap(pid, Deadline::in(Millis{5000}), wstatus, r.error);
    r.timed_out = true;
    r.error = "timed out after " + std::to_string(o.timeout.count()) + " ms; killed";
  }
  record_status(wstatus, r);
  for (StreamPlan& s : streams) {
    if (s.parent_fd >= 0 && s.target != 0) drain(s.parent_fd, s.bytes, s.limit(o));
    close_fd(s.parent_fd);
    if (s.target != 0 && s.kind == Stream::File) s.bytes = read_whole_file(s.open_path);
  }
  r.stdout_bytes = std::move(streams[1].bytes);
  r.stderr_bytes = std::move(streams[2].bytes);
  r.files = dir.files_left();
  return r;
}

// ---------------------------------------------------------------------------------------
// Terminal runs.

struct TerminalSession::State {
  std::string program;
  TerminalOptions options;
  RunDir dir;
  Deadline deadline;
  pid_t pid = -1;
  int master = -1;
  int err_pipe = -1;
  std::string screen, err_bytes, pending;
  size_t match_end = 0;
  std::string start_error;
  bool finished = false;
  RunResult result;

  bool program_gone() const { return master < 0 && err_pipe < 0; }

  // One round of I/O: waits (until `until`) for output or room for pending input, then
  // moves what it can. False when nothing happened before `until`.
  bool pump(Deadline until) {
    pollfd p[2];
    int n = 0;
    if (master >= 0) p[n++] = {master, short(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
    if (err_pipe >= 0) p[n++] = {err_pipe, POLLIN, 0};
    if (n == 0) return false;
    int ready = ::poll(p, n, until.poll_ms());
    if (ready < 0 && errno == EINTR) return true;
    if (ready <= 0) return false;
    if (master >= 0) {
      write_pending();
      if (!drain(master, screen)) close_fd(master);
    }
    if (err_pipe >= 0 && !drain(err_pipe, err_bytes)) close_fd(err_pipe);
    return true;
  }

  void write_pending() {
    while (!pending.empty() && master >= 0) {
      ssize_t w = ::write(master, pending.data(), pending.size());
      if (w > 0) {
        pending.erase(0, static_cast<size_t>(w));
      } else if (w < 0 && errno == EINTR) {
        continue;
      } else {
        if (w < 0 && errno != EAGAIN) pending.clear();  // the terminal is gone
        return;
      }
    }
  }

  void start() {
    if (!dir.create(options.files, start_error)) return;
    if (options.keep_dir) dir.keep();
    int slave = -1;
    winsize size{24, 80, 0, 0};
    if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
      start_error = std::string("openpty: ") + std::strerror(errno);
      return;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    set_nonblocking(master);
    termios t{};
    ::tcgetattr(slave, &t);
    t.c_oflag &= ~OPOST;
    t.c_iflag &= ~(IXON | IXOFF);
    t.c_iflag |= ICRNL;
    t.c_lflag |= ICANON | ISIG;
    t.c_lflag &= ~(ECHO | ECHONL);
    if (options.echo) t.c_lflag |= ECHO;
    t.c_cc[VSUSP] = _POSIX_VDISABLE;
    ::tcsetattr(slave, TCSANOW, &t);

    int err[2] = {-1, -1};
    if (options.separate_stderr) {
      if (::pipe2(err, O_CLOEXEC) != 0) {
        start_error = std::string("pipe: ") + std::strerror(errno);
        ::close(slave);
        return;
      }
      err_pipe = err[0];
      set_nonblocking(err_pipe);
    }
    ExecImage image(program, options.args, options.env);
    std::string work = dir.work().string();
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
      start_error = std::string("pipe: ") + std::strerror(errno);
      ::close(slave);
      ::close(err[1]);
      return;
    }
    pid = ::fork();
    if (pid == 0) {
      ::close(master);
      if (::login_tty(slave) != 0) child_fail(report[1], 6);
      if (err[1] >= 0 && !child_move(err[1], 2)) child_fail(report[1], 5);
      if (::chdir(work.c_str()) != 0) child_fail(report[1], 1);
      child_exec(image, report[1]);
    }
    ::close(slave);
    close_fd(report[1]);
    close_fd(err[1]);
    if (pid < 0) {
      start_error = std::string("fork: ") + std::strerror(errno);
      close_fd(report[0]);
      return;
    }
    start_error = await_start(report[0], program, deadline);
  }

  // Reaps the program (killing it if `kill_now` or at the deadline) and fills the result.
  RunResult& conclude(bool kill_now, std::string reason) {
    if (finished) return result;
    finished = true;
    RunResult& r = result;
    r.error = start_error;
    if (pid > 0) {
      if (!kill_now) {
        while (!program_gone() && !deadline.passed()) pump(deadline);
      }
      int wstatus = 0;
      if (kill_now || !reap(pid, deadline, wstatus, r.error)) {
        kill_all(pid);
        if (!kill_now) {
          r.timed_out = true;
          reason = "timed out after " + std::to_string(options.timeout.count()) + " ms; killed";
        }
        Deadline grace = Deadline::in(Millis{2000});
        while (!program_gone() && pump(grace)) {
        }
        reap(pid, grace, wstatus, r.error);
      }
      record_status(wstatus, r);
      if (!reason.empty()) r.error = reason;
    }
    close_fd(master);
    close_fd(err_pipe);
    r.stdout_bytes = screen;
    r.stderr_bytes = err_bytes;
    r.dir = dir.work().string();
    r.files = dir.files_left();
    dir.remove();
    return r;
  }
};

TerminalSession::TerminalSession(const std::string& program, const TerminalOptions& options)
    : state_(std::make_unique<State>()) {
  ignore_sigpipe();
  state_->program = program;
  state_->options = options;
  state_->deadline = Deadline::in(options.timeout);
  state_->start();
}

TerminalSession::~TerminalSession() { state_->conclude(true, "session ended"); }

void TerminalSession::type(std::string_view bytes) {
  state_->pending.append(bytes);
  state_->write_pending();
}

bool TerminalSession::wait_for(std::string_view text, Millis timeout) {
  State& s = *state_;
  Deadline until = s.deadline.earlier(Deadline::in(timeout));
  for (;;) {
    size_t at = s.screen.find(text, s.match_end);
    if (at != std::string::npos) {
      s.match_end = at + text.size();
      return true;
    }
    if (s.master < 0 || until.passed()) return false;
    s.pump(until);
  }
}

RunResult TerminalSession::finish() { return state_->conclude(false, ""); }

RunResult TerminalSession::kill(std::string_view reason) {
  return state_->conclude(true, std::string(reason));
}

const std::string& TerminalSession::output() const { return state_->screen; }
const std::string& TerminalSession::error() const { return state_->start_error; }
int TerminalSession::pid() const { return state_->pid; }

RunResult run_in_terminal(const std::string& program, const TerminalOptions& options,
                          const std::vector<TermStep>& steps) {
  TerminalSession session(program, options);
  if (!session.error().empty()) return session.finish();
  for (size_t i = 0; i < steps.size(); ++i) {
    const TermStep& step = steps[i];
    if (step.kind == TermStep::Kind::Type) {
      session.type(step.bytes);
    } else if (!session.wait_for(step.bytes, step.timeout)) {
      RunResult r = session.kill("step " + std::to_string(i + 1) + ": no " + in_quotes(step.bytes) +
                                 " in the output within " + std::to_string(step.timeout.count()) +
                                 " ms; killed");
      r.timed_out = true;
      return r;
    }
  }
  return session.finish();
}

RunResult run_in_terminal(const std::string& program, const TerminalOptions& options,
                          std::string_view typed) {
  return run_in_terminal(program, options, {type(std::string(typed))});
}

// ---------------------------------------------------------------------------------------
// Tables and messages.

std::string printable(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c >= 0x20 && c < 0x7f) {
          out += static_cast<char>(c);
        } else {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        }
    }
  }
  return out;
}

std::string RunResult::describe() const {
  std::ostringstream out;
  out << status_text(*this) << "\n";
  if (!error.empty()) out << "error: " << error << "\n";
  describe_bytes(out, "stdout", stdout_bytes);
  describe_bytes(out, "stderr", stderr_bytes);
  for (const auto& [name, bytes] : files) describe_bytes(out, "file " + name, bytes);
  out << "dir: " << dir << "\n";
  return out.str();
}

std::string mismatch(const Case& c, const RunResult& r) {
  std::ostringstream out;
  if (!r.error.empty()) out << "run error: " << r.error << "\n";
  if (r.signal != 0 || r.exit_status != c.expect_status) {
    out << "expected exit status " << c.expect_status << ", got " << status_text(r) << "\n";
  }
  compare_bytes(out, "stdout", c.expect_stdout, r.stdout_bytes);
  compare_bytes(out, "stderr", c.expect_stderr, r.stderr_bytes);
  if (c.expect_files) {
    for (const auto& [name, bytes] : *c.expect_files) {
      auto it = r.files.find(name);
      if (it == r.files.end()) {
        out << "file " << name << " missing; expected " << in_quotes(bytes) << "\n";
      } else {
        compare_bytes(out, "file " + name, bytes, it->second);
      }
    }
    for (const auto& [name, bytes] : r.files) {
      if (!c.expect_files->contains(name)) {
        out << "file " << name << " not expected; holds " << in_quotes(bytes) << "\n";
      }
    }
  }
  return out.str();
}

std::string run_case(const std::string& program, const Case& c, const RunOptions& base) {
  RunOptions o = base;
  o.args = c.args;
  o.stdin_bytes = c.stdin_bytes;
  o.files = c.files;
  return mismatch(c, run_program(program, o));
}

std::string run_case_in_terminal(const std::string& program, const Case& c,
                                 const TerminalOptions& base) {
  TerminalOptions o = base;
  o.args = c.args;
  o.files = c.files;
  o.separate_stderr = true;
  return mismatch(c, run_in_terminal(program, o, c.stdin_bytes));
}

}  // namespace rtlib::test
