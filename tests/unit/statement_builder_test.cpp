// The statement builder: the exact IoControlList bytes each statement hands to the
// executor, begin-time errors, and the nesting of WRITE statements.
#include "rtlib/io/statement_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rtlib/edit/format_compiler.h"
#include "rtlib/io/control_list.h"
#include "rtlib/io/executor.h"
#include "rtlib/rtlib.h"
#include "test_support.h"

namespace rtlib {
namespace {

using Bytes = std::vector<uint8_t>;

struct Handed {
  ExecPiece piece;
  Bytes list;
};

std::vector<Handed> handed;
int32_t observer_status = 0;

int32_t observe(const uint8_t* list, ExecPiece piece) {
  handed.push_back({piece, Bytes(list, list + statement_state.list_len)});
  return observer_status;
}

Bytes address_bytes(const void* p) {
  Bytes b(sizeof p);
  std::memcpy(b.data(), &p, sizeof p);
  return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class StatementBuilder : public ::testing::Test {
 protected:
  void SetUp() override {
    test::start_library();
    handed.clear();
    observer_status = 0;
    exec_state.list_observer = observe;
  }
  void TearDown() override { exec_state.list_observer = nullptr; }
};

TEST_F(StatementBuilder, EmptyDefaultUnitWrite) {
  EXPECT_EQ(io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0), 0);
  EXPECT_EQ(io_write_end(), 0);
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(handed[0].piece, ExecPiece::Write);
  EXPECT_EQ(handed[0].list, (Bytes{0x01, 0x08, 0x00}));
}

TEST_F(StatementBuilder, FormattedWriteToUnit20WithSixReals) {
  io_write_begin(20, "(' ',6F6.2)", -1, nullptr, 0, 0);
  const FormatProgram* format = statement_state.format;
  ASSERT_NE(format, nullptr);
  EXPECT_STREQ(format->text, "(' ',6F6.2)");
  Bytes expected = cat({{0x14, 20, 0}, {0x28}, address_bytes(format)});
  for (int i = 1; i <= 6; ++i) {
    const float v = static_cast<float>(i) * 1.5f;
    io_out_r4_f(v);
    Bytes value(4);
    std::memcpy(value.data(), &v, 4);
    expected = cat({expected, {0x6C}, value});
  }
  expected.push_back(0x00);
  io_write_end();
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(handed[0].list, expected)
      << dump_control_list(handed[0].list.data(), static_cast<int32_t>(handed[0].list.size()));
  EXPECT_EQ(statement_state.format, nullptr);  // released with its statement
}

TEST_F(StatementBuilder, ReadRunsOnePiecePerItem) {
  int32_t n = 0;
  float x = 0;
  io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 0);
  EXPECT_TRUE(handed.empty());  // nothing runs before the first item
  io_in_i4(&n);
  io_in_r4(&x);
  io_read_end();
  ASSERT_EQ(handed.size(), 3u);
  EXPECT_EQ(handed[0].piece, ExecPiece::ReadFirst);
  EXPECT_EQ(handed[0].list, cat({{0x01, 0x08, 0x0C}, address_bytes(&n), {0x01}}));
  EXPECT_EQ(handed[1].piece, ExecPiece::ReadNext);
  EXPECT_EQ(handed[1].list, cat({{0x2C}, address_bytes(&x), {0x01}}));
  EXPECT_EQ(handed[2].piece, ExecPiece::ReadNext);
  EXPECT_EQ(handed[2].list, (Bytes{0x00}));
}

TEST_F(StatementBuilder, ReadWithoutItemsRunsTheFirstPieceOnTheHeader) {
  io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 0);
  io_read_end();
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(handed[0].piece, ExecPiece::ReadFirst);
  EXPECT_EQ(handed[0].list, (Bytes{0x01, 0x08, 0x00}));
}

TEST_F(StatementBuilder, ItemEncodings) {
  char text[] = "abc";
  io_write_begin(6, nullptr, 0, nullptr, 0, 1);
  io_out_i1(-2);
  io_out_i2(0x1234);
  io_out_l1(static_cast<int8_t>(0x80));
  io_out_l2(0x0101);
  io_out_r8(1.0);
  io_out_c8(1.0f, 2.0f);
  io_out_char(text, -5);
  ASSERT_NE(statement_state.temps_head, nullptr);
  const char* copy = statement_state.temps_head->data;
  io_write_end();
  ASSERT_EQ(handed.size(), 1u);
  SCOPED_TRACE(
      dump_control_list(handed[0].list.data(), static_cast<int32_t>(handed[0].list.size())));
  const Bytes one = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F};
  const Bytes c8 = {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40};
  EXPECT_EQ(handed[0].list, cat({{0x84, 6, 0},
                                 {0x44, 0xFE},
                                 {0x48, 0x34, 0x12},
                                 {0x60, 0x80, 0xFF, 0xFF, 0xFF},  // sign-extended low byte
                                 {0x60, 0x01, 0x00, 0x00, 0x00},
                                 {0x70},
                                 one,
                                 {0x78},
                                 c8,
                                 {0x28},
                                 address_bytes(copy),
                                 {0x60, 0, 0, 0, 0},  // a negative length sends an empty value
                                 {0x00}}));
}

TEST_F(StatementBuilder, CharacterValuesAreCopied) {
  char text[] = "hello";
  io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0);
  io_out_chars(text, 5);
  std::strcpy(text, "XXXXX");
  ASSERT_NE(statement_state.temps_head, nullptr);
  EXPECT_EQ(std::string(statement_state.temps_head->data, 5), "hello");
  io_write_end();
  EXPECT_EQ(statement_state.temps_head, nullptr);  // freed with the statement
}

TEST_F(StatementBuilder, ListGrowsBeforeTheReserveIsReached) {
  io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0);
  for (int i = 0; i < 5000; ++i) io_out_i4(i);  // 25002 bytes
  EXPECT_EQ(statement_state.list_cap, 40000);
  EXPECT_GE(statement_state.list_cap - statement_state.list_len, 1000 - 5);
  io_write_end();
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(handed[0].list.size(), 25003u);
  EXPECT_EQ(load<int32_t>(handed[0].list.data() + 2 + 4999 * 5 + 1), 4999);
}

struct UnitCase {
  const char* name;
  int32_t unit;
  int32_t expect;
};

TEST_F(StatementBuilder, UnitRangeAtBegin) {
  const UnitCase cases[] = {
      {"largest", 32767, 0},
      {"smallest", -32767, 0},
      {"one above", 32768, 6314},
      {"one below", -32768, 6314},
  };
  for (const UnitCase& c : cases) {
    handed.clear();
    EXPECT_EQ(io_write_begin(c.unit, nullptr, 0, nullptr, 0, -1), c.expect) << c.name;
    if (c.expect == 0) {
      io_write_end();
      ASSERT_EQ(handed.size(), 1u) << c.name;
      EXPECT_EQ(load<int16_t>(handed[0].list.data() + 1), c.unit) << c.name;
    } else {
      EXPECT_EQ(statement_state.io_status, c.expect) << c.name;
    }
    EXPECT_EQ(io_read_begin(c.unit, nullptr, 0, nullptr, 0, nullptr, -1), c.expect) << c.name;
    if (c.expect == 0) io_read_end();
  }
}

TEST_F(StatementBuilder, UnitOutOfRangeIsReportedWithoutStatusFlag) {
  EXPECT_EXIT(io_write_begin(32768, nullptr, 0, nullptr, 0, 0), ::testing::ExitedWithCode(1),
              "\r\nrun-time error F6314\r\n- ");
}

struct AdvanceCase {
  const char* name;
  const char* adv;
  bool read;
  bool size_var;
  int32_t expect_status;
  uint8_t expect_ext;  // 0: no extension byte
};

TEST_F(StatementBuilder, AdvanceKeyword) {
  const AdvanceCase cases[] = {
      {"NO", "NO", false, false, 0, 0x01},
      {"lower case with blanks", "no   ", false, false, 0, 0x01},
      {"YES", "Yes ", false, false, 0, 0},
      {"N alone", "N", false, false, 6999, 0},
      {"NOT", "NOT", false, false, 6999, 0},
      {"leading blank", " NO", false, false, 6999, 0},
      {"READ NO with size", "NO", true, true, 0, 0x05},
      {"READ YES with size", "YES", true, true, 6800, 0},
  };
  for (const AdvanceCase& c : cases) {
    handed.clear();
    int32_t size = 77;
    const auto len = static_cast<int32_t>(std::strlen(c.adv));
    int32_t status = c.read
                         ? io_read_begin(5, nullptr, 0, c.adv, len, c.size_var ? &size : nullptr, 4)
                         : io_write_begin(6, nullptr, 0, c.adv, len, 1);
    EXPECT_EQ(status, c.expect_status) << c.name;
    if (status != 0) continue;
    if (c.read) {
      io_read_end();
    } else {
      io_write_end();
    }
    ASSERT_EQ(handed.size(), 1u) << c.name;
    const Bytes& list = handed[0].list;
    if (c.expect_ext == 0) {
      EXPECT_EQ(list[0] & HDR_FORM_MASK, HDR_FORM_UNIT16) << c.name;
    } else {
      EXPECT_EQ(list[0] & HDR_FORM_MASK, HDR_FORM_EXT) << c.name;
      EXPECT_EQ(list[1], c.expect_ext) << c.name;
    }
    if (c.size_var) {
      EXPECT_EQ(size, 0) << c.name;  // cleared at the begin call
    }
  }
}

TEST_F(StatementBuilder, BranchFlagsInTheHeader) {
  io_read_begin(5, nullptr, 0, nullptr, 0, nullptr, 1 | 2 | 4);
  io_read_end();
  io_write_begin(6, nullptr, 0, nullptr, 0, 1);
  io_write_end();
  ASSERT_EQ(handed.size(), 2u);
  EXPECT_EQ(handed[0].list[0], HDR_FORM_UNIT16 | HDR_END_BRANCH | HDR_ERR_BRANCH);
  EXPECT_EQ(handed[1].list[0], HDR_FORM_UNIT16 | HDR_ERR_BRANCH);
}

// A WRITE begun while another is collecting items: when it ends, the enclosing statement
// goes on with exactly its own list, format and state.
TEST_F(StatementBuilder, NestedWriteRestoresTheEnclosingStatement) {
  io_write_begin(20, "(I4)", -1, nullptr, 0, 0);
  io_out_i4(7);
  io_out_char("outer", 5);  // its copy must live on, and be freed, with its statement
  const char* outer_copy = statement_state.temps_head->data;
  const FormatProgram* outer_format = statement_state.format;
  const Bytes outer(statement_state.list, statement_state.list + statement_state.list_len);

  io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0);
  io_out_char("inner", 5);
  io_write_end();

  EXPECT_EQ(statement_state.nest_depth, 1);
  EXPECT_EQ(statement_state.format, outer_format);
  EXPECT_EQ(Bytes(statement_state.list, statement_state.list + statement_state.list_len), outer);
  EXPECT_EQ(std::string(outer_copy, 5), "outer");
  io_out_i4(8);
  io_write_end();
  ASSERT_EQ(handed.size(), 2u);
  EXPECT_EQ(handed[1].list, cat({outer, {0x4C, 8, 0, 0, 0, 0x00}}));
  EXPECT_EQ(statement_state.nest_depth, 0);
}

TEST_F(StatementBuilder, TwelveEnclosingWritesAndNoMore) {
  for (int depth = 0; depth <= 12; ++depth) {
    ASSERT_EQ(io_write_begin(100 + depth, nullptr, 0, nullptr, 0, 1), 0) << depth;
    io_out_i4(depth);
  }
  // A thirteenth enclosing statement has no save slot: a clear error, nothing overwritten.
  EXPECT_EQ(io_write_begin(200, nullptr, 0, nullptr, 0, 1), 6000 + 702 + 3);
  EXPECT_EQ(statement_state.nest_depth, 13);
  for (int depth = 12; depth >= 0; --depth) {
    EXPECT_EQ(load<int16_t>(statement_state.list + 1), 100 + depth);
    EXPECT_EQ(load<int32_t>(statement_state.list + 4), depth);
    io_write_end();
  }
  EXPECT_EQ(statement_state.nest_depth, 0);
  ASSERT_EQ(handed.size(), 13u);
}

TEST_F(StatementBuilder, FailedReadItemReturnsItsStatus) {
  int32_t a = 0;
  int32_t b = 0;
  observer_status = 6501;
  io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 4);
  EXPECT_EQ(io_in_i4(&a), 6501);
  EXPECT_EQ(io_in_i4(&b), 6501);
  EXPECT_EQ(io_read_end(), 6501);
}

}  // namespace
}  // namespace rtlib
