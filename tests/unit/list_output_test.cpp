// List-directed WRITE statements run through the public calls against a formatted
// sequential file, whose records keep their leading blank and end with CR LF: field
// widths and justification, separator blanks, character items joined as written, the
// 79-column record width with its strict fit test, and texts split over records.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "rtlib/io/connection.h"
#include "rtlib/io/executor.h"
#include "rtlib/io/handles.h"
#include "rtlib/io/records.h"
#include "rtlib/io/unit_table.h"
#include "rtlib/rtlib.h"
#include "test_support.h"

namespace rtlib {
namespace {

constexpr int32_t FILE_UNIT = 10;
constexpr int32_t FILE_SLOT = 1;

// One output item call of a WRITE; answers its status.
using Item = std::function<int32_t()>;

Item i1(int8_t v) {
  return [v] { return io_out_i1(v); };
}
Item i2(int16_t v) {
  return [v] { return io_out_i2(v); };
}
Item i4(int32_t v) {
  return [v] { return io_out_i4(v); };
}
Item l1(int8_t v) {
  return [v] { return io_out_l1(v); };
}
Item l2(int16_t v) {
  return [v] { return io_out_l2(v); };
}
Item l4(int32_t v) {
  return [v] { return io_out_l4(v); };
}
Item r4(float v) {
  return [v] { return io_out_r4(v); };
}
Item r8(double v) {
  return [v] { return io_out_r8(v); };
}
Item c8(float re, float im) {
  return [re, im] { return io_out_c8(re, im); };
}
Item c16(double re, double im) {
  return [re, im] { return io_out_c16(re, im); };
}
Item text(std::string s) {
  return [s] { return io_out_char(s.data(), static_cast<int32_t>(s.size())); };
}

std::string blanks(int n) { return std::string(static_cast<size_t>(n), ' '); }

// n letters a, b, c, ... (cycling), so that a split shows where it happened.
std::string letters(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

// Records as a file holds them.
std::string file_records(const std::vector<std::string>& records) {
  std::string bytes;
  for (const std::string& r : records) bytes += r + "\r\n";
  return bytes;
}

std::vector<Item> repeated(int count, const std::function<Item(int)>& make) {
  std::vector<Item> items;
  for (int i = 0; i < count; ++i) items.push_back(make(i));
  return items;
}

std::vector<Item> joined(std::vector<Item> a, const std::vector<Item>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// n logical fields " T" (the first one's blank is the record's leading blank).
std::string trues(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += " T";
  return s;
}
std::vector<Item> true_items(int n) {
  return repeated(n, [](int) { return l4(1); });
}

// Bytes with CR and LF shown, one record per line, so that a mismatch reads per record.
std::string shown(const std::string& bytes) {
  std::string s;
  for (char c : bytes) {
    if (c == '\r') {
      s += "\\r";
    } else if (c == '\n') {
      s += "\\n\n";
    } else {
      s += c;
    }
  }
  return s;
}

struct Row {
  const char* name;
  std::vector<std::vector<Item>> writes;  // the items of each WRITE, in order
  std::vector<std::string> records;       // each record without its CR LF
};

class ListOutput : public ::testing::Test, protected test::TempFiles {
 protected:
  void SetUp() override {
    test::start_library();
    ASSERT_TRUE(handles_init());
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    if (unit_table.unit[FILE_SLOT] != nullptr) {
      file_close(unit_table.unit[FILE_SLOT]->handle);
      free_unit(unit_table.unit[FILE_SLOT]);
      unit_table.unit[FILE_SLOT] = nullptr;
      unit_table.number[FILE_SLOT] = NO_UNIT_NUMBER;
    }
    exec_state.reset();
    record_state.reset();
    handles_init();
  }

  // Runs the row's WRITE statements on unit 10, connected to a fresh file, closes the
  // unit as the exit routine does and answers the file's bytes.
  std::string write_to_file(const Row& row) {
    const std::string p = path("list.out");
    std::remove(p.c_str());
    const int32_t h = file_open(p.c_str(), OPEN_READWRITE | OPEN_NEW, SHARE_DENYNONE, 0);
    EXPECT_GE(h, 3) << row.name;
    Unit* u = allocate_unit(FILE_BUFFER_SIZE);
    set_unit_name(u, p.c_str());
    u->kind = KIND_FORMATTED_SEQUENTIAL;
    u->xflags = X_LIST_CC;
    u->handle = h;
    unit_table.number[FILE_SLOT] = FILE_UNIT;
    unit_table.unit[FILE_SLOT] = u;

    for (const std::vector<Item>& items : row.writes) {
      EXPECT_EQ(io_write_begin(FILE_UNIT, nullptr, 0, nullptr, 0, 0), 0) << row.name;
      for (const Item& item : items) EXPECT_EQ(item(), 0) << row.name;
      EXPECT_EQ(io_write_end(), 0) << row.name;
    }
    exec_state.kind = StatementKind::Close;
    EXPECT_EQ(lookup_unit(FILE_UNIT), u) << row.name;
    close_unit(FILE_UNIT, CLOSE_DEFAULT, 0);
    EXPECT_EQ(unit_table.unit[FILE_SLOT], nullptr) << row.name;
    return contents(p);
  }

  void check(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      EXPECT_EQ(shown(write_to_file(row)), shown(file_records(row.records))) << row.name;
    }
  }
};

TEST_F(ListOutput, WorkedRecords) {
  std::string seven_first;
  for (int v = 1; v <= 6; ++v) seven_first += blanks(11) + std::to_string(v);
  check({
      {"the integer 1", {{i4(1)}}, {blanks(11) + "1"}},
      {"the integer -5", {{i4(-5)}}, {blanks(10) + "-5"}},
      {"1 and -5", {{i4(1), i4(-5)}}, {blanks(11) + "1" + blanks(10) + "-5"}},
      {"real 0.5", {{r4(0.5f)}}, {blanks(4) + "5.000000E-01"}},
      {"real 1.0", {{r4(1.0f)}}, {blanks(8) + "1.000000"}},
      {"real 100000.0", {{r4(100000.0f)}}, {blanks(3) + "100000.000000"}},
      {"real 1.0E-5", {{r4(1.0e-5f)}}, {blanks(4) + "1.000000E-05"}},
      {"real 3.14159", {{r4(3.14159f)}}, {blanks(8) + "3.141590"}},
      {"real -2.5", {{r4(-2.5f)}}, {blanks(7) + "-2.500000"}},
      {"the text abc", {{text("abc")}}, {" abc"}},
      {"abc then 5", {{text("abc"), i4(5)}}, {" abc" + blanks(10) + "5"}},
      {"5 then abc", {{i4(5), text("abc")}}, {blanks(11) + "5abc"}},
      {"x=, 1, cm", {{text("x="), i4(1), text("cm")}}, {" x=" + blanks(10) + "1cm"}},
      {"true and false", {{l4(1), l4(0)}}, {" T F"}},
      {"complex (1.0, 2.0)", {{c8(1.0f, 2.0f)}}, {blanks(15) + "(1.000000,2.000000)"}},
      {"six reals: four, then two",
       {repeated(6, [](int i) { return r4(static_cast<float>(i + 1)); })},
       {blanks(8) + "1.000000" + blanks(8) + "2.000000" + blanks(8) + "3.000000" + blanks(8) +
            "4.000000",
        blanks(8) + "5.000000" + blanks(8) + "6.000000"}},
      {"seven integers: six, then one",
       {repeated(7, [](int i) { return i4(i + 1); })},
       {seven_first, blanks(11) + "7"}},
  });
}

TEST_F(ListOutput, IntegersAndLogicals) {
  std::string negatives;
  for (int v = 1; v <= 6; ++v) negatives += blanks(10) + "-" + std::to_string(v);
  std::string logicals;
  for (int i = 0; i < 39; ++i) logicals += i % 2 == 0 ? " T" : " F";
  check({
      {"no items: one record of its leading blank", {{}}, {" "}},
      {"zero", {{i4(0)}}, {blanks(11) + "0"}},
      {"-2147483648 first fills the field", {{i4(INT32_MIN)}}, {" -2147483648"}},
      {"-2147483648 not first keeps its separator",
       {{i4(1), i4(INT32_MIN)}},
       {blanks(11) + "1 -2147483648"}},
      {"1- and 2-byte integers are sign-extended",
       {{i1(-128), i2(-32768), i1(127), i2(32767)}},
       {blanks(8) + "-128" + blanks(6) + "-32768" + blanks(9) + "127" + blanks(7) + "32767"}},
      {"negative and positive numbers of one magnitude take one width",
       {{i4(12), i4(-12), r4(2.5f), r4(-2.5f)}},
       {blanks(10) + "12" + blanks(9) + "-12" + blanks(8) + "2.500000" + blanks(7) + "-2.500000"}},
      {"seven negative integers: six, then one",
       {repeated(7, [](int i) { return i4(-(i + 1)); })},
       {negatives, blanks(10) + "-7"}},
      {"logicals show the lowest byte",
       {{l1(1), l1(0), l2(256), l4(0x10000), l4(2), l2(-1), l1(-128)}},
       {" T F F F T T T"}},
      {"39 logicals per record",
       {repeated(40, [](int i) { return l4(i % 2 == 0 ? 1 : 0); })},
       {logicals, " F"}},
  });
}

TEST_F(ListOutput, RealsAndComplexValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::string d1 = "1.000000000000000";
  check({
      {"zero and minus zero in E form",
       {{r4(0.0f), r4(-0.0f)}},
       {blanks(4) + "0.000000E+00" + blanks(4) + "0.000000E+00"}},
      {"F form up to 9999999, E form from 10000000",
       {{r4(9999999.0f), r4(10000000.0f)}},
       {blanks(2) + "9999999.000000" + blanks(4) + "1.000000E+07"}},
      {"three double reals per record",
       {{r8(1.0), r8(2.0), r8(3.0), r8(4.0)}},
       {blanks(8) + d1 + blanks(8) + "2.000000000000000" + blanks(8) + "3.000000000000000",
        blanks(8) + "4.000000000000000"}},
      {"double reals in E form",
       {{r8(0.5), r8(1.0e-5), r8(1.0 / 3.0)}},
       {blanks(3) + "5.000000000000000E-001" + blanks(3) + "1.000000000000000E-005" + blanks(3) +
        "3.333333333333333E-001"}},
      {"extreme exponents keep the field widths",
       {{r4(std::numeric_limits<float>::max()), r4(-std::numeric_limits<float>::denorm_min()),
         r8(std::numeric_limits<double>::max()), r8(-std::numeric_limits<double>::denorm_min())}},
       {blanks(4) + "3.402823E+38" + blanks(3) + "-1.401298E-45" + blanks(3) +
            "1.797693134862316E+308",
        blanks(2) + "-4.940656458412465E-324"}},
      {"non-finite reals keep their field width",
       {{r4(static_cast<float>(inf)), r8(-inf)}},
       {blanks(3) + "1#INF........" + blanks(3) + "1#INF" + std::string(17, '.')}},
      {"complex of 4-byte reals: two per record",
       {{c8(1.0f, 2.0f), c8(3.0f, 4.0f), c8(-5.0f, 6.0f)}},
       {blanks(15) + "(1.000000,2.000000)" + blanks(15) + "(3.000000,4.000000)",
        blanks(14) + "(-5.000000,6.000000)"}},
      {"each complex part chooses its own form",
       {{c8(0.5f, 100000.0f)}},
       {blanks(6) + "(5.000000E-01,100000.000000)"}},
      {"complex of 8-byte reals: one per record",
       {{c16(1.0, -2.0), c16(0.5, 3.0)}},
       {blanks(14) + "(" + d1 + ",-2.000000000000000)",
        blanks(10) + "(5.000000000000000E-001,3.000000000000000)"}},
      {"a complex after a text gets no separator",
       {{text("z="), c8(1.0f, 2.0f)}},
       {" z=" + blanks(14) + "(1.000000,2.000000)"}},
  });
}

TEST_F(ListOutput, RecordWidth) {
  const std::string t68 = letters(68);
  const std::string t70 = letters(70);
  const std::string t79 = letters(79);
  const std::string t100 = letters(100);
  const std::string t250 = letters(250);
  check({
      {"17 columns of room take a real that is not first",
       {joined(joined({text("abc"), i4(5)}, true_items(24)), {r4(2.0f)})},
       {" abc" + blanks(10) + "5" + trues(24) + blanks(8) + "2.000000"}},
      {"16 columns of room move it to the next record",
       {joined(joined({text("ab"), i4(5)}, true_items(25)), {r4(2.0f)})},
       {" ab" + blanks(10) + "5" + trues(25), blanks(8) + "2.000000"}},
      {"a 100-character text: 1+79, then 1+21",
       {{text(t100)}},
       {" " + t100.substr(0, 79), " " + t100.substr(79)}},
      {"a 250-character text over four records",
       {{text(t250)}},
       {" " + t250.substr(0, 79), " " + t250.substr(79, 79), " " + t250.substr(158, 79),
        " " + t250.substr(237)}},
      {"a text filling the room exactly ends the record, the statement end the next",
       {{text(t79)}},
       {" " + t79, " "}},
      {"after an exactly filling text the next item starts a new record",
       {{text(t79), i4(5)}},
       {" " + t79, blanks(11) + "5"}},
      {"a text filling the room left by a number",
       {{i4(5), text(t68)}},
       {blanks(11) + "5" + t68, " "}},
      {"a text split after a number",
       {{i4(5), text(t100)}},
       {blanks(11) + "5" + t100.substr(0, 68), " " + t100.substr(68)}},
      {"a text split after a text",
       {{text(t70), text("abcdefghij")}},
       {" " + t70 + "abcdefghi", " j"}},
      {"an integer moved after a text carries no separator",
       {{text(t70), i4(5)}},
       {" " + t70, blanks(10) + "5"}},
      {"a real moved after a text carries no separator",
       {{text(t70), r4(2.0f)}},
       {" " + t70, blanks(7) + "2.000000"}},
      {"texts join with no separator around them",
       {{i4(5), text("ab"), text("cd"), i4(6)}},
       {blanks(11) + "5abcd" + blanks(10) + "6"}},
      {"an empty text still takes the next separator away",
       {{i4(1), text(""), i4(2)}},
       {blanks(11) + "1" + blanks(10) + "2"}},
      {"every WRITE starts a record of its own with no separator due",
       {{text(t70)}, {i4(1)}, {i4(2)}},
       {" " + t70, blanks(11) + "1", blanks(11) + "2"}},
  });
}

// Enough records to pass through the file buffer several times.
TEST_F(ListOutput, ManyRecordsThroughTheFileBuffer) {
  Row row{"forty WRITEs of seven integers", {}, {}};
  std::string six;
  for (int v = 1; v <= 6; ++v) six += blanks(11) + std::to_string(v);
  for (int i = 0; i < 40; ++i) {
    row.writes.push_back(repeated(7, [](int k) { return i4(k + 1); }));
    row.records.push_back(six);
    row.records.push_back(blanks(11) + "7");
  }
  check({row});
}

}  // namespace
}  // namespace rtlib
