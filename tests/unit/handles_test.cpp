// The handle layer: opening and its failures, the handle numbers and their limit, sizes,
// pipes, scratch names and the errno mapping.
#include "rtlib/io/handles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace rtlib {
namespace {

class Handles : public ::testing::Test, protected test::TempFiles {
 protected:
  void SetUp() override {
    ASSERT_TRUE(handles_init());
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    handles_init();  // closes what a test left open
  }
};

TEST(HandleErrnoMapping, OperatingSystemCodesMapToLibraryCodes) {
  const struct {
    const char* name;
    int os_error;
    int32_t expect;
  } cases[] = {
      {"ENOENT", ENOENT, 2},    {"ENOTDIR", ENOTDIR, 2},   {"EBADF", EBADF, 9},
      {"EACCES", EACCES, 13},   {"EPERM", EPERM, 13},      {"EROFS", EROFS, 13},
      {"ETXTBSY", ETXTBSY, 13}, {"lock", EWOULDBLOCK, 13}, {"EEXIST", EEXIST, 17},
      {"EMFILE", EMFILE, 24},   {"ENFILE", ENFILE, 24},    {"ENOSPC", ENOSPC, 28},
      {"EDQUOT", EDQUOT, 28},   {"EIO", EIO, 22},          {"EPIPE", EPIPE, 22},
      {"EISDIR", EISDIR, 22},
  };
  for (const auto& c : cases) EXPECT_EQ(library_errno(c.os_error), c.expect) << c.name;
}

TEST_F(Handles, StandardHandlesAreEnteredAndFilesTakeTheLowestFreeNumber) {
  for (int32_t h = 0; h < 3; ++h) EXPECT_NE(handle_table.entry(h), nullptr) << h;
  const std::string a = make_file("a", "x");
  const int32_t first = file_open(a.c_str(), OPEN_READ, SHARE_DENYNONE, 0);
  const int32_t second = file_open(a.c_str(), OPEN_READ, SHARE_DENYNONE, 0);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(second, 4);
  EXPECT_EQ(file_close(first), 0);
  EXPECT_EQ(file_open(a.c_str(), OPEN_READ, SHARE_DENYNONE, 0), 3);
  EXPECT_EQ(file_close(99), -1);
  EXPECT_EQ(handle_errors.last_errno, HERR_BAD_HANDLE);
}

TEST_F(Handles, ClosingAStandardHandleKeepsTheProcessDescriptor) {
  EXPECT_EQ(file_close(1), 0);
  EXPECT_NE(fcntl(1, F_GETFD), -1);
  EXPECT_NE(handle_table.entry(1), nullptr);
}

TEST_F(Handles, OpenFailuresSetLastErrno) {
  const std::string existing = make_file("existing", "data");
  const std::string read_only = make_file("readonly", "data", 0444);
  const std::string missing = path("missing");
  const std::string through_file = existing + "/x";
  const struct {
    const char* name;
    std::string file;
    int32_t flags;
    int32_t expect;
  } cases[] = {
      {"old file missing", missing, OPEN_READWRITE, HERR_NO_FILE},
      {"path through a file", through_file, OPEN_READ, HERR_NO_FILE},
      {"new file exists", existing, OPEN_READWRITE | OPEN_NEW, HERR_EXISTS},
      {"directory", dir_, OPEN_READ, HERR_INVALID},
      {"read-only file for writing", read_only, OPEN_WRITE, HERR_ACCESS},
      {"read-only file for reading and writing", read_only, OPEN_READWRITE, HERR_ACCESS},
  };
  for (const auto& c : cases) {
    handle_errors.reset();
    EXPECT_EQ(file_open(c.file.c_str(), c.flags, SHARE_DENYNONE, 0), -1) << c.name;
    EXPECT_EQ(handle_errors.last_errno, c.expect) << c.name;
  }
  EXPECT_GE(file_open(read_only.c_str(), OPEN_READ, SHARE_DENYNONE, 0), 3);
  EXPECT_GE(file_open(missing.c_str(), OPEN_READWRITE | OPEN_NEW, SHARE_DENYNONE, 0), 3);
  EXPECT_EQ(contents(missing), "");
}

TEST_F(Handles, ShareModesConflictAsLocks) {
  const std::string f = make_file("shared", "data");
  const struct {
    const char* name;
    int32_t held;
    int32_t asked;
    bool opens;
  } cases[] = {
      {"deny both, then deny none", SHARE_DENYRW, SHARE_DENYNONE, true},  // no lock asked
      {"deny both, then deny both", SHARE_DENYRW, SHARE_DENYRW, false},
      {"deny write, then deny read", SHARE_DENYWR, SHARE_DENYRD, false},
      {"deny read, then deny read", SHARE_DENYRD, SHARE_DENYRD, true},
      {"compat, then deny both", SHARE_COMPAT, SHARE_DENYRW, true},
  };
  for (const auto& c : cases) {
    const int32_t held = file_open(f.c_str(), OPEN_READWRITE, c.held, 0);
    ASSERT_GE(held, 3) << c.name;
    const int32_t asked = file_open(f.c_str(), OPEN_READWRITE, c.asked, 0);
    if (c.opens) {
      EXPECT_GE(asked, 3) << c.name;
      file_close(asked);
    } else {
      EXPECT_EQ(asked, -1) << c.name;
      EXPECT_EQ(handle_errors.last_errno, HERR_ACCESS) << c.name;
    }
    file_close(held);
  }
}

TEST_F(Handles, TableHoldsAtMost2048Handles) {
  rlimit limit;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlim_t wanted = HANDLE_MAX + 64;
  if (limit.rlim_cur < wanted) {
    if (limit.rlim_max < wanted) GTEST_SKIP() << "descriptor limit too low";
    rlimit raised = limit;
    raised.rlim_cur = wanted;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
  }
  int32_t opened = 0;
  int32_t h = 0;
  while ((h = file_open("/dev/null", OPEN_READ, SHARE_DENYNONE, 0)) != -1) ++opened;
  EXPECT_EQ(opened, HANDLE_MAX - 3);
  EXPECT_EQ(handle_errors.last_errno, HERR_TOO_MANY);
  const int spare = dup(0);
  EXPECT_EQ(handle_enter(spare), -1);
  close(spare);
  handles_init();
  setrlimit(RLIMIT_NOFILE, &limit);
}

TEST_F(Handles, SetSizeExtendsWithZerosOrCutsAndKeepsThePosition) {
  const struct {
    const char* name;
    int32_t initial;
    int32_t position;
    int32_t size;
  } cases[] = {
      {"extend by many pieces", 100, 40, 100 + 3 * 4096 + 5},
      {"extend from empty", 0, 0, 10},
      {"cut", 5000, 4000, 1000},
      {"cut to nothing", 50, 50, 0},
      {"same size", 30, 7, 30},
  };
  for (const auto& c : cases) {
    std::string initial(static_cast<size_t>(c.initial), 'a');
    const std::string f = make_file("sized", initial);
    const int32_t h = file_open(f.c_str(), OPEN_READWRITE, SHARE_DENYNONE, 0);
    ASSERT_GE(h, 3) << c.name;
    ASSERT_EQ(file_seek(h, c.position, SEEK_FROM_START), c.position) << c.name;
    EXPECT_EQ(file_set_size(h, c.size), 0) << c.name;
    EXPECT_EQ(file_seek(h, 0, SEEK_FROM_CURRENT), c.position) << c.name;
    file_close(h);
    std::string expect = initial.substr(0, static_cast<size_t>(std::min(c.initial, c.size)));
    expect.resize(static_cast<size_t>(c.size), '\0');
    EXPECT_TRUE(contents(f) == expect) << c.name;
  }
}

TEST_F(Handles, SetSizeOnAReadOnlyHandleIsRefused) {
  const std::string f = make_file("ro", "some bytes");
  const int32_t h = file_open(f.c_str(), OPEN_READ, SHARE_DENYNONE, 0);
  EXPECT_EQ(file_set_size(h, 0), -1);
  EXPECT_EQ(handle_errors.last_errno, HERR_ACCESS);
  EXPECT_EQ(file_write(h, "x", 1), 0);
  EXPECT_EQ(handle_errors.last_errno, HERR_ACCESS);
  EXPECT_EQ(contents(f), "some bytes");
}

TEST_F(Handles, PipeWithoutWriterReadsAsEndOfFile) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const int32_t reader = handle_enter(fds[0]);
  const int32_t writer = handle_enter(fds[1]);
  EXPECT_EQ(file_is_pipe(reader), 1);
  EXPECT_EQ(file_write(writer, "ab", 2), 2);
  file_close(writer);
  char buffer[8];
  EXPECT_EQ(file_read(reader, buffer, sizeof buffer), 2);
  EXPECT_EQ(file_read(reader, buffer, sizeof buffer), 0);
}

TEST_F(Handles, WriteToPipeWithoutReaderFailsWithoutEndingTheProcess) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const int32_t writer = handle_enter(fds[1]);
  close(fds[0]);
  EXPECT_EQ(file_write(writer, "abc", 3), 0);
  EXPECT_EQ(handle_errors.last_errno, HERR_INVALID);
  EXPECT_EQ(handle_errors.last_os_error, EPIPE);
}

TEST_F(Handles, DiskFullIsReported) {
  const int32_t h = file_open("/dev/full", OPEN_WRITE, SHARE_DENYNONE, 0);
  ASSERT_GE(h, 3);
  EXPECT_EQ(file_is_device(h), 1);
  EXPECT_EQ(file_write(h, "abc", 3), 0);
  EXPECT_EQ(handle_errors.last_errno, HERR_DISK_FULL);
}

TEST_F(Handles, BytesPassUnchangedInEitherMode) {
  const std::string f = path("bytes");
  const int32_t h = file_open(f.c_str(), OPEN_READWRITE | OPEN_NEW, SHARE_DENYNONE, 0);
  EXPECT_EQ(file_set_binary(h, MODE_TEXT), MODE_BINARY);  // files open binary
  const char bytes[] = "a\nb\r\n\x1a\r\n";
  EXPECT_EQ(raw_write(h, bytes, 8), 8);
  EXPECT_EQ(file_seek(h, 0, SEEK_FROM_START), 0);
  char back[16];
  EXPECT_EQ(raw_read(h, back, sizeof back), 8);
  EXPECT_EQ(std::string(back, 8), std::string(bytes, 8));
  // The raw write switches a standard handle to binary for the one call only.
  file_set_binary(1, MODE_TEXT);
  raw_write(1, "", 0);
  EXPECT_EQ(file_set_binary(1, MODE_TEXT), MODE_TEXT);
}

TEST_F(Handles, ExistsAnswersZeroForExistingAndWritableNames) {
  const std::string plain = make_file("plain", "x");
  const std::string read_only = make_file("ro", "x", 0444);
  const struct {
    const char* name;
    std::string file;
    int32_t write;
    int32_t expect;
    int32_t expect_errno;
  } cases[] = {
      {"existing", plain, 0, 0, 0},
      {"existing, writable", plain, 2, 0, 0},
      {"read-only", read_only, 0, 0, 0},
      {"read-only, writable asked", read_only, 2, -1, HERR_ACCESS},
      {"missing", path("none"), 0, -1, HERR_NO_FILE},
  };
  for (const auto& c : cases) {
    handle_errors.reset();
    EXPECT_EQ(file_exists(c.file.c_str(), c.write), c.expect) << c.name;
    EXPECT_EQ(handle_errors.last_errno, c.expect_errno) << c.name;
  }
}

TEST_F(Handles, ScratchNameTakesTheNextFreeLetter) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%05d", static_cast<int>(getpid() % 100000));
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    std::string name = path("ZZXXXXXX");
    ASSERT_EQ(file_temp_name(name.data()), 0) << letter;
    EXPECT_EQ(name, path("ZZ") + letter + digits);
    make_file(name.substr(dir_.size() + 1).c_str(), "");
  }
  std::string name = path("ZZXXXXXX");
  EXPECT_EQ(file_temp_name(name.data()), -1);
  EXPECT_EQ(handle_errors.last_errno, HERR_EXISTS);
  char too_short[] = "ZZXX";
  EXPECT_EQ(file_temp_name(too_short), -1);
}

TEST_F(Handles, DeleteRemovesTheFile) {
  const std::string f = make_file("gone", "x");
  EXPECT_EQ(file_delete(f.c_str()), 0);
  EXPECT_EQ(file_delete(f.c_str()), -1);
  EXPECT_EQ(handle_errors.last_errno, HERR_NO_FILE);
}

}  // namespace
}  // namespace rtlib
