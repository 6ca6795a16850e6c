// The record layer on real handles: console carriage control and long records, console
// and file input split into records, the end-of-file forms, the switch of a file between
// reading and writing, tabbing left into written bytes, and write failures.
#include "rtlib/io/records.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "rtlib/io/executor.h"
#include "rtlib/io/handles.h"
#include "rtlib/io/unit_table.h"
#include "rtlib/services/errors.h"
#include "test_support.h"

namespace rtlib {
namespace {

constexpr int32_t STATUS_EOF = -1;
constexpr int32_t STATUS_LINE_TOO_LONG = 6407;  // code 53
constexpr int32_t STATUS_REFUSED = 6421;        // code 67
constexpr int32_t STATUS_DISK_FULL = 6422;      // code 68
constexpr int32_t STATUS_INTERNAL_END = 6600;   // code 89
constexpr int32_t STATUS_OVERFLOW = -2;

enum class Source { Pipe, File };

class Records : public ::testing::Test, protected test::TempFiles {
 protected:
  void SetUp() override {
    test::start_library();
    ASSERT_TRUE(handles_init());
    second_console_ = unit_table.unit[SECOND_CONSOLE_SLOT];
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    unit_table.unit[SECOND_CONSOLE_SLOT] = second_console_;
    for (Unit* u : units_) free_unit(u);
    exec_state.reset();
    record_state.reset();
    handles_init();
  }

  Unit* make_unit(int32_t kind, int32_t handle, int32_t capacity) {
    Unit* u = allocate_unit(capacity);
    set_unit_name(u, "test");
    u->kind = kind;
    u->handle = handle;
    u->xflags = (kind == KIND_TERMINAL || kind == KIND_INTERNAL) ? X_COLUMN_ONE : X_LIST_CC;
    units_.push_back(u);
    return u;
  }

  // Starts a statement on u as the executor does.
  static void use(Unit* u, StatementKind kind) {
    exec_state.unit = u;
    exec_state.kind = kind;
    exec_state.writing = kind == StatementKind::Write;
    exec_state.format = nullptr;
    record_state.pending_blanks = 0;
    record_state.record_column = 0;
    record_state.write_start = 0;
    record_state.positioned = 0;
    record_state.column_offset = 0;
    record_state.emitter = put_chars;
  }

  // Runs f under a recovery point with an error branch: answers 0 or the raised status.
  static int32_t caught(const std::function<void()>& f) {
    RecoveryPoint recovery;
    exec_state.err_branch = true;
    try {
      f();
      exec_state.err_branch = false;
      return 0;
    } catch (const StatementUnwind& unwind) {
      return unwind.status;
    }
  }

  // A handle reading the given bytes from a pipe whose writer has finished.
  static int32_t pipe_with(const std::string& bytes) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const int32_t writer = handle_enter(fds[1]);
    file_write(writer, bytes.data(), static_cast<int32_t>(bytes.size()));
    file_close(writer);
    return handle_enter(fds[0]);
  }

  // Makes standard input look like a terminal or like redirected input.
  static void stdin_is_device(bool device) {
    HandleEntry* e = handle_table.entry(0);
    e->flags = device ? (e->flags | HANDLE_DEVICE) : (e->flags & ~HANDLE_DEVICE);
  }

  // A console unit writing into a fresh file; the file's path is left in out_path.
  Unit* console_to_file(std::string& out_path) {
    out_path = path("console.out");
    std::remove(out_path.c_str());
    const int32_t h = file_open(out_path.c_str(), OPEN_READWRITE | OPEN_NEW, SHARE_DENYNONE, 0);
    Unit* u = make_unit(KIND_TERMINAL, h, CONSOLE_BUFFER_SIZE);
    return u;
  }

  // One WRITE statement of one record on u.
  static int32_t write_statement(Unit* u, const std::string& text) {
    use(u, StatementKind::Write);
    return caught([&] {
      u->last = u->record_capacity - 1;
      put_chars(static_cast<int32_t>(text.size()), text.data());
      output_record_end(u->kind)();
      u->line_ended = 0;
    });
  }

  // Reads records as an engine does: characters up to CR or LF, the record end stepped
  // back over, then the record finished. Each record shows how it ended.
  struct ReadResult {
    std::vector<std::string> records;
    int32_t status;
  };
  static ReadResult read_records(Unit* u, int count) {
    ReadResult r;
    use(u, StatementKind::Read);
    r.status = caught([&] {
      for (int i = 0; i < count; ++i) {
        std::string record;
        for (;;) {
          const int c = next_char();
          if (c == '\r' || c == '\n') {
            record += c == '\r' ? "<CR>" : "<LF>";
            step_back();
            break;
          }
          record += static_cast<char>(c);
        }
        r.records.push_back(record);
        input_record_end(u->kind)();
      }
    });
    return r;
  }

  std::vector<Unit*> units_;
  Unit* second_console_ = nullptr;
};

TEST_F(Records, ConsoleCarriageControl) {
  const std::string FORM_FEED_START = "\r\n\f\r \r";
  const struct {
    const char* name;
    uint32_t xflags;
    bool pending;
    int32_t line_ended;
    std::string record;
    std::string shown;
  } cases[] = {
      {"first record, '1'", X_COLUMN_ONE, false, 0, "1abc", FORM_FEED_START + "abc"},
      {"first record, '0'", X_COLUMN_ONE, false, 0, "0abc", "\r\nabc"},
      {"first record, '+'", X_COLUMN_ONE, false, 0, "+abc", "\rabc"},
      {"first record, blank", X_COLUMN_ONE, false, 0, " abc", "abc"},
      {"first record, other character", X_COLUMN_ONE, false, 0, "xabc", "abc"},
      {"first record, empty", X_COLUMN_ONE, false, 0, "", ""},
      {"pending, blank", X_COLUMN_ONE, true, 0, " abc", "\r\nabc"},
      {"pending, '0'", X_COLUMN_ONE, true, 0, "0abc", "\r\n\r\nabc"},
      {"pending, '1'", X_COLUMN_ONE, true, 0, "1abc", FORM_FEED_START + "abc"},
      {"pending, '+'", X_COLUMN_ONE, true, 0, "+abc", "\rabc"},
      {"pending, empty", X_COLUMN_ONE, true, 0, "", "\r\n"},
      {"line ended by close, blank", X_COLUMN_ONE, true, 1, " abc", "abc"},
      {"line ended by close, '1'", X_COLUMN_ONE, true, 1, "1abc", FORM_FEED_START + "abc"},
      {"list control, first", X_LIST_CC, false, 0, "1abc", "1abc"},
      {"list control, pending", X_LIST_CC, true, 0, " abc", "\r\n abc"},
  };
  for (const auto& c : cases) {
    std::string out;
    Unit* u = console_to_file(out);
    u->xflags = c.xflags;
    if (c.pending) u->flags |= UNIT_OUTPUT_MODE;
    u->line_ended = c.line_ended;
    EXPECT_EQ(write_statement(u, c.record), 0) << c.name;
    EXPECT_EQ(contents(out), c.shown) << c.name;
    EXPECT_TRUE(u->flags & UNIT_OUTPUT_MODE) << c.name;  // its own line end is pending
    file_close(u->handle);
  }
}

TEST_F(Records, ConsoleRecordsLeaveTheirLineEndPending) {
  std::string out;
  Unit* u = console_to_file(out);
  write_statement(u, " first");
  EXPECT_EQ(contents(out), "first");
  write_statement(u, " second");
  write_statement(u, "0third");
  EXPECT_EQ(contents(out), "first\r\nsecond\r\n\r\nthird");
}

TEST_F(Records, LongConsoleRecordIsWrittenInBufferSizedPieces) {
  std::string out;
  Unit* u = console_to_file(out);
  std::string text = "1";
  for (int i = 1; i < 300; ++i) text += static_cast<char>('a' + i % 26);
  use(u, StatementKind::Write);
  u->last = u->record_capacity - 1;
  // Fields arrive one after another; the buffer is written whenever it is full.
  put_chars(100, text.data());
  EXPECT_EQ(contents(out).size(), 0u);
  put_chars(100, text.data() + 100);
  EXPECT_EQ(contents(out), "\r\n\f\r \r" + text.substr(1, 131));
  put_chars(100, text.data() + 200);
  EXPECT_EQ(contents(out).size(), 6u + 131 + 132);
  output_record_end(KIND_TERMINAL)();
  EXPECT_EQ(contents(out), "\r\n\f\r \r" + text.substr(1));
  EXPECT_EQ(record_state.record_column, 0);
}

struct InputCase {
  const char* name;
  Source source;
  int32_t kind;
  bool stdin_device;
  std::string input;
  std::vector<std::string> records;
  int32_t status;
};

TEST_F(Records, InputIsSplitIntoRecords) {
  const std::string long_line(300, 'x');
  const std::string a1000(1000, 'a');
  const std::string b100(100, 'b');
  const InputCase cases[] = {
      {"redirected, CR LF",
       Source::Pipe,
       KIND_TERMINAL,
       false,
       "12\r\n34\r\n",
       {"12<CR>", "34<CR>"},
       STATUS_EOF},
      {"redirected, LF",
       Source::Pipe,
       KIND_TERMINAL,
       false,
       "12\n34\n",
       {"12<LF>", "34<LF>"},
       STATUS_EOF},
      {"redirected, last line without LF",
       Source::Pipe,
       KIND_TERMINAL,
       false,
       "12\r\n34",
       {"12<CR>", "34<LF>"},
       STATUS_EOF},
      {"redirected, empty", Source::Pipe, KIND_TERMINAL, false, "", {}, STATUS_EOF},
      {"redirected from a file",
       Source::File,
       KIND_TERMINAL,
       false,
       "1 2\r\n3\r\n",
       {"1 2<CR>", "3<CR>"},
       STATUS_EOF},
      {"Ctrl-Z CR LF loses the digits",
       Source::Pipe,
       KIND_TERMINAL,
       false,
       "12\x1a\r\n",
       {},
       STATUS_EOF},
      {"Ctrl-Z LF loses the digits", Source::Pipe, KIND_TERMINAL, true, "12\x1a\n", {}, STATUS_EOF},
      {"lines before a Ctrl-Z line in one read",
       Source::Pipe,
       KIND_TERMINAL,
       false,
       "5\r\n6\r\n12\x1a\r\n",
       {"5<CR>", "6<CR>"},
       STATUS_EOF},
      {"Ctrl-Z line in the middle of a read",
       Source::File,
       KIND_TERMINAL,
       false,
       "5\r\n12\x1a\r\n9\r\n",
       {"5<CR>"},
       STATUS_EOF},
      {"Ctrl-Z without line end is data",
       Source::Pipe,
       KIND_TERMINAL,
       false,
       "1\x1a"
       "2\r\n",
       {"1\x1a"
        "2<CR>"},
       STATUS_EOF},
      {"long redirected line arrives whole",
       Source::Pipe,
       KIND_TERMINAL,
       false,
       long_line + "\r\ny\r\n",
       {long_line + "<CR>", "y<CR>"},
       STATUS_EOF},
      {"long redirected last line without LF",
       Source::Pipe,
       KIND_TERMINAL,
       false,
       long_line,
       {long_line + "<LF>"},
       STATUS_EOF},
      {"typed line longer than the buffer",
       Source::Pipe,
       KIND_TERMINAL,
       true,
       std::string(140, '7') + "\n",
       {},
       STATUS_LINE_TOO_LONG},
      {"typed line filling the buffer with its LF",
       Source::Pipe,
       KIND_TERMINAL,
       true,
       std::string(131, '7') + "\n",
       {std::string(131, '7') + "<LF>"},
       STATUS_EOF},
      {"file record across the buffer boundary",
       Source::File,
       KIND_FORMATTED_SEQUENTIAL,
       false,
       a1000 + "\r\n" + b100 + "\r\nc\r\n",
       {a1000 + "<CR>", b100 + "<CR>", "c<CR>"},
       STATUS_EOF},
      {"file, last line without LF",
       Source::File,
       KIND_FORMATTED_SEQUENTIAL,
       false,
       "x\r\ny",
       {"x<CR>", "y<LF>"},
       STATUS_EOF},
      {"file, Ctrl-Z is data",
       Source::File,
       KIND_FORMATTED_SEQUENTIAL,
       false,
       "\x1a\r\n",
       {"\x1a<CR>"},
       STATUS_EOF},
  };
  for (const InputCase& c : cases) {
    stdin_is_device(c.stdin_device);
    int32_t h;
    if (c.source == Source::Pipe) {
      h = pipe_with(c.input);
    } else {
      const std::string f = make_file("input", c.input);
      h = file_open(f.c_str(), OPEN_READ, SHARE_DENYNONE, 0);
    }
    const int32_t capacity = c.kind == KIND_TERMINAL ? CONSOLE_BUFFER_SIZE : FILE_BUFFER_SIZE;
    Unit* u = make_unit(c.kind, h, capacity);
    const ReadResult r = read_records(u, 10);
    EXPECT_EQ(r.records, c.records) << c.name;
    EXPECT_EQ(r.status, c.status) << c.name;
    file_close(h);
  }
}

TEST_F(Records, EndOfFileStaysOnAFileUnitAndIsClearedOnTheConsole) {
  const std::string f = make_file("one", "1\r\n");
  Unit* file_unit = make_unit(KIND_FORMATTED_SEQUENTIAL,
                              file_open(f.c_str(), OPEN_READ, SHARE_DENYNONE, 0), FILE_BUFFER_SIZE);
  EXPECT_EQ(read_records(file_unit, 2).status, STATUS_EOF);
  EXPECT_TRUE(file_unit->flags & UNIT_EOF);

  stdin_is_device(false);
  Unit* console = make_unit(KIND_TERMINAL, pipe_with("5\r\n12\x1a\r\n"), CONSOLE_BUFFER_SIZE);
  EXPECT_EQ(read_records(console, 2).status, STATUS_EOF);
  EXPECT_FALSE(console->flags & UNIT_EOF);
}

TEST_F(Records, ReadingAfterAConsoleEndOfFileGoesOnAfterTheCtrlZLine) {
  stdin_is_device(false);
  Unit* u =
      make_unit(KIND_TERMINAL, pipe_with("5\r\n1\x1a\n9\r\n\x1a\r\n7\r\n"), CONSOLE_BUFFER_SIZE);
  const std::vector<std::vector<std::string>> expected = {{"5<CR>"}, {"9<CR>"}, {"7<CR>"}, {}};
  for (const auto& records : expected) {
    const ReadResult r = read_records(u, 10);
    EXPECT_EQ(r.records, records);
    EXPECT_EQ(r.status, STATUS_EOF);
  }
}

TEST_F(Records, LineDeliveredInPiecesThroughAPipeIsOneRecord) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const int32_t reader = handle_enter(fds[0]);
  std::thread writer([fd = fds[1]] {
    (void)!write(fd, "12", 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    (void)!write(fd, "34\r\n", 4);
    close(fd);
  });
  stdin_is_device(false);
  Unit* u = make_unit(KIND_TERMINAL, reader, CONSOLE_BUFFER_SIZE);
  const ReadResult r = read_records(u, 2);
  writer.join();
  EXPECT_EQ(r.records, std::vector<std::string>{"1234<CR>"});
  EXPECT_EQ(r.status, STATUS_EOF);
}

TEST_F(Records, FirstWriteCutsAnExistingFile) {
  const std::string f = make_file("existing", std::string(5000, 'o'));
  Unit* u = make_unit(KIND_FORMATTED_SEQUENTIAL,
                      file_open(f.c_str(), OPEN_READWRITE, SHARE_DENYNONE, 0), FILE_BUFFER_SIZE);
  EXPECT_EQ(contents(f).size(), 5000u);  // opening leaves it alone
  use(u, StatementKind::Write);
  ASSERT_EQ(caught(begin_writing), 0);
  EXPECT_EQ(contents(f), "");
  u->last = u->record_capacity - 1;
  put_chars(4, " abc");
  output_record_end(KIND_FORMATTED_SEQUENTIAL)();
  EXPECT_EQ(contents(f), "");  // records wait in the buffer
  ASSERT_EQ(caught(end_writing), 0);
  EXPECT_EQ(contents(f), " abc\r\n");
}

TEST_F(Records, WriteAfterReadingGoesOnAfterTheRecordsRead) {
  const struct {
    const char* name;
    std::string initial;
    int records_read;
    std::string after;
  } cases[] = {
      {"after the first record", "aa\r\nbb\r\ncc\r\n", 1, "aa\r\n new\r\n"},
      {"after a last line without LF", "aa\r\nbb", 2, "aa\r\nbb new\r\n"},
      {"at the start", "aa\r\nbb\r\n", 0, " new\r\n"},
  };
  for (const auto& c : cases) {
    const std::string f = make_file("mixed", c.initial);
    Unit* u = make_unit(KIND_FORMATTED_SEQUENTIAL,
                        file_open(f.c_str(), OPEN_READWRITE, SHARE_DENYNONE, 0), FILE_BUFFER_SIZE);
    EXPECT_EQ(read_records(u, c.records_read).status, 0) << c.name;
    use(u, StatementKind::Write);
    EXPECT_EQ(caught([&] {
                begin_writing();
                u->last = u->record_capacity - 1;
                put_chars(4, " new");
                output_record_end(KIND_FORMATTED_SEQUENTIAL)();
                end_writing();
              }),
              0)
        << c.name;
    EXPECT_EQ(contents(f), c.after) << c.name;
    file_close(u->handle);
  }
}

TEST_F(Records, WriteFailuresRaiseTheirErrors) {
  const std::string read_only = make_file("ro", "keep me\r\n");
  const struct {
    const char* name;
    int32_t kind;
    std::string file;
    int32_t access;
    bool cut_first;
    int32_t status;
  } cases[] = {
      {"file on a full disk", KIND_FORMATTED_SEQUENTIAL, "/dev/full", OPEN_WRITE, false,
       STATUS_DISK_FULL},
      {"console on a full disk", KIND_TERMINAL, "/dev/full", OPEN_WRITE, false, STATUS_DISK_FULL},
      {"cutting a file opened for reading", KIND_FORMATTED_SEQUENTIAL, read_only, OPEN_READ, true,
       STATUS_REFUSED},
  };
  for (const auto& c : cases) {
    const int32_t h = file_open(c.file.c_str(), c.access, SHARE_DENYNONE, 0);
    Unit* u = make_unit(c.kind, h, c.kind == KIND_TERMINAL ? 132 : 1024);
    if (!c.cut_first) u->flags |= UNIT_OUTPUT_MODE;
    use(u, StatementKind::Write);
    const int32_t status = caught([&] {
      if (c.cut_first) begin_writing();
      u->last = u->record_capacity - 1;
      put_chars(4, " abc");
      output_record_end(c.kind)();
      if (c.kind != KIND_TERMINAL) end_writing();
    });
    EXPECT_EQ(status, c.status) << c.name;
    file_close(h);
  }
  EXPECT_EQ(contents(read_only), "keep me\r\n");
}

TEST_F(Records, SequentialRecordLengthIsEnforced) {
  const struct {
    const char* name;
    int32_t capacity;
    int32_t recl;
    bool nonadvancing;
    int32_t count;
    int32_t status;
  } cases[] = {
      {"nonadvancing within recl", 1024, 10, true, 10, 0},
      {"nonadvancing beyond recl", 1024, 10, true, 11, STATUS_OVERFLOW},
      {"no recl, within 1024", 2048, 0, false, 1024, 0},
      {"no recl, beyond 1024", 2048, 0, false, 1025, STATUS_OVERFLOW},
  };
  for (const auto& c : cases) {
    const std::string f = path("recl");
    std::remove(f.c_str());
    Unit* u =
        make_unit(KIND_FORMATTED_SEQUENTIAL,
                  file_open(f.c_str(), OPEN_READWRITE | OPEN_NEW, SHARE_DENYNONE, 0), c.capacity);
    u->recl = c.recl;
    u->flags |= UNIT_OUTPUT_MODE;
    if (c.nonadvancing) u->xflags |= X_NONADVANCE;
    use(u, StatementKind::Write);
    const std::string text(static_cast<size_t>(c.count), 'r');
    EXPECT_EQ(caught([&] {
                u->last = u->record_capacity - 1;
                put_chars(c.count, text.data());
              }),
              c.status)
        << c.name;
    file_close(u->handle);
  }
}

TEST_F(Records, TabLeftIntoBytesAlreadyWrittenRewritesThemInTheFile) {
  const std::string f = path("tabbed");
  Unit* u = make_unit(KIND_FORMATTED_SEQUENTIAL,
                      file_open(f.c_str(), OPEN_READWRITE | OPEN_NEW, SHARE_DENYNONE, 0), 16);
  u->flags |= UNIT_OUTPUT_MODE;
  use(u, StatementKind::Write);
  ASSERT_EQ(caught([&] {
              u->last = u->record_capacity - 1;
              put_chars(20, "ABCDEFGHIJKLMNOPQRST");  // 16 bytes reach the file
              // A move left to column 10, then 8 characters.
              record_state.positioned = 1;
              record_state.emitter = put_chars_tabbed;
              u->col_mark = 20;
              record_state.column_offset = -10;
              put_chars_tabbed(8, "xxxxxxxx");
              output_record_end(KIND_FORMATTED_SEQUENTIAL)();
              end_writing();
            }),
            0);
  EXPECT_EQ(contents(f), "ABCDEFGHIJxxxxxxxxST\r\n");
}

TEST_F(Records, InternalRecordsAreElementsOfTheVariable) {
  char variable[11] = "##########";
  Unit* u = make_unit(KIND_INTERNAL, 0, 0);
  auto point_at_variable = [&] {
    u->record = reinterpret_cast<uint8_t*>(variable);
    u->owns_record = false;
    u->record_capacity = 10;
    u->recl = 5;
    u->last = 4;
    u->pos = 0;
  };
  point_at_variable();
  use(u, StatementKind::Write);
  EXPECT_EQ(caught([&] {
              put_chars(2, "ab");
              output_record_end(KIND_INTERNAL)();
              put_chars(3, "cde");
              output_record_end(KIND_INTERNAL)();
            }),
            0);
  EXPECT_STREQ(variable, "ab   cde  ");
  EXPECT_EQ(caught([&] { put_chars(1, "f"); }), STATUS_INTERNAL_END);  // no element left

  point_at_variable();
  use(u, StatementKind::Write);
  EXPECT_EQ(caught([&] { put_chars(6, "123456"); }), STATUS_INTERNAL_END);
  EXPECT_EQ(std::string(variable, 5), "12345");  // nothing past the element
}

TEST_F(Records, DirectRecordIsPaddedAndPlacedByNumber) {
  const std::string f = path("direct");
  const int32_t h = file_open(f.c_str(), OPEN_READWRITE | OPEN_NEW, SHARE_DENYNONE, 0);
  Unit* u = make_unit(KIND_FORMATTED_DIRECT, h, 1024);
  u->recl = 12;
  use(u, StatementKind::Write);
  EXPECT_EQ(caught([&] {
              u->pos = 0;
              position_direct(3);
              put_chars(3, "abc");
              output_record_end(KIND_FORMATTED_DIRECT)();
            }),
            0);
  EXPECT_EQ(contents(f), std::string(24, '\0') + "abc       \r\n");
  EXPECT_EQ(caught([] { position_direct(0); }), 6000 + 311);  // code 37
}

}  // namespace
}  // namespace rtlib
