// Numeric input conversion: integer and radix texts, the ranges of 1- and 2-byte items,
// real texts with their exponents, ranges, scale factor and implied digits, and logicals.
#include "rtlib/edit/input_conversion.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "rtlib/edit/edit_buffer.h"
#include "rtlib/edit/edit_descriptor.h"
#include "rtlib/io/control_list.h"
#include "rtlib/io/executor.h"
#include "rtlib/io/unit_table.h"
#include "rtlib/services/errors.h"

namespace rtlib {
namespace {

// Statuses a caught conversion error gives.
constexpr int32_t E_INT_OVERFLOW = 6100;
constexpr int32_t E_INT_CHAR = 6101;
constexpr int32_t E_REAL_OVERFLOW = 6102;
constexpr int32_t E_REAL_LEFT_OVER = 6103;
constexpr int32_t E_REAL4_RANGE = 6104;
constexpr int32_t E_DESCRIPTOR = 6206;
constexpr int32_t E_SECOND_MARK = 6302;
constexpr int32_t E_RADIX = 6303;
constexpr int32_t E_LOGICAL = 6507;

constexpr uint8_t FILL = 0xAA;

class InputConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unit_ = allocate_unit(0);
    set_unit_name(unit_, "test");
    unit_->fmt_desc = DESC_F;
    saved_unit_ = exec_state.unit;
    exec_state.unit = unit_;
    exec_state.kind = StatementKind::Read;
    std::memset(element_, FILL, sizeof element_);
  }
  void TearDown() override {
    exec_state.unit = saved_unit_;
    exec_state.item = CurrentItem{};
    exec_state.err_branch = false;
    free_unit(unit_);
  }

  // Makes the element buffer the current item of the given type.
  void select_item(IoType type) {
    exec_state.item.type = static_cast<int32_t>(type);
    exec_state.item.addr = element_;
    exec_state.item.size = ELEMENT_SIZE[static_cast<int>(type)];
  }

  // Puts text into the edit buffer, unterminated, with digits behind it that a converter
  // reading past the length would take in.
  static int32_t set_text(const std::string& text) {
    std::memset(edit_buffer.text, '7', sizeof edit_buffer.text);
    std::memcpy(edit_buffer.text, text.data(), text.size());
    return static_cast<int32_t>(text.size());
  }

  // Runs a conversion as a statement with a status variable would: 0 or the status.
  template <typename F>
  static int32_t run(F convert) {
    RecoveryPoint recovery;
    exec_state.err_branch = true;
    try {
      convert();
    } catch (const StatementUnwind& unwind) {
      return unwind.status;
    }
    exec_state.err_branch = false;
    return 0;
  }

  int32_t read_integer(const std::string& text) {
    const int32_t length = set_text(text);
    return run([&] { store_integer_item(convert_integer_value(length)); });
  }
  int32_t read_real(const std::string& text) {
    const int32_t length = set_text(text);
    return run([&] { convert_real_value(edit_buffer.text, length); });
  }

  template <typename T>
  T element() const {
    T value;
    std::memcpy(&value, element_, sizeof value);
    return value;
  }
  bool untouched_from(int32_t offset) const {
    for (size_t i = static_cast<size_t>(offset); i < sizeof element_; ++i) {
      if (element_[i] != FILL) return false;
    }
    return true;
  }

  Unit* unit_ = nullptr;
  Unit* saved_unit_ = nullptr;
  alignas(8) uint8_t element_[16];
};

struct IntegerCase {
  const char* name;
  const char* text;
  int32_t value;   // expected when status is 0
  int32_t status;  // 0 or the caught error status
};

TEST_F(InputConversionTest, IntegerTexts) {
  const IntegerCase cases[] = {
      {"largest", "2147483647", INT32_MAX, 0},
      {"one beyond", "2147483648", 0, E_INT_OVERFLOW},
      {"plus one beyond", "+2147483648", 0, E_INT_OVERFLOW},
      {"smallest", "-2147483648", INT32_MIN, 0},
      {"smallest with a zero", "-02147483648", 0, E_INT_OVERFLOW},
      {"far beyond", "99999999999", 0, E_INT_OVERFLOW},
      {"negative", "-2147483647", -2147483647, 0},
      {"leading zeros", "007", 7, 0},
      {"empty", "", 0, 0},
      {"plus alone", "+", 0, 0},
      {"minus alone", "-", 0, 0},
      {"Ctrl-Z ends the text", "42\x1a", 42, 0},
      {"point", "1.0", 0, E_INT_CHAR},
      {"embedded blank", "1 2", 0, E_INT_CHAR},
      {"leading blank", " 12", 0, E_INT_CHAR},
      {"letter", "12a", 0, E_INT_CHAR},
      {"second sign", "+-1", 0, E_INT_CHAR},
      {"hex lower", "16#ff", 255, 0},
      {"hex without radix", "#FF", 255, 0},
      {"binary", "2#11111111", 255, 0},
      {"all ones is -1", "16#FFFFFFFF", -1, 0},
      {"negated pattern", "-16#FFFFFFFF", 1, 0},
      {"sign before radix", "-#a", -10, 0},
      {"sign bit pattern", "16#80000000", INT32_MIN, 0},
      {"negated sign bit", "-16#80000000", INT32_MIN, 0},
      {"33 bits", "16#100000000", 0, E_INT_OVERFLOW},
      {"32 binary ones", "2#11111111111111111111111111111111", -1, 0},
      {"33 binary digits", "2#100000000000000000000000000000000", 0, E_INT_OVERFLOW},
      {"radix 36 top", "36#1z141z3", -1, 0},
      {"radix 36 sum wraps", "36#1z141z4", 0, E_INT_OVERFLOW},
      {"radix 10 signed range", "10#2147483647", INT32_MAX, 0},
      {"radix 10 beyond", "10#2147483648", 0, E_INT_OVERFLOW},
      {"no digits after mark", "16#", 0, 0},
      {"radix 37", "37#1", 0, E_RADIX},
      {"radix 1", "1#0", 0, E_RADIX},
      {"radix 0", "0#0", 0, E_RADIX},
      {"digit beyond hex", "16#G", 0, E_INT_CHAR},
      {"digit beyond octal", "8#8", 0, E_INT_CHAR},
      {"sign after mark", "16#-1", 0, E_INT_CHAR},
      {"Ctrl-Z after mark", "16#1\x1a", 0, E_INT_CHAR},
      {"second mark", "8#1#2", 0, E_SECOND_MARK},
      {"bad digit before second mark", "8#9#2", 0, E_INT_CHAR},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::memset(element_, FILL, sizeof element_);
    select_item(IoType::Int4);
    const int32_t status = read_integer(c.text);
    EXPECT_EQ(status, c.status);
    if (c.status == 0) {
      EXPECT_EQ(element<int32_t>(), c.value);
    } else {
      EXPECT_TRUE(untouched_from(0)) << "the element changed on error";
    }
    EXPECT_TRUE(untouched_from(4));
  }
}

TEST_F(InputConversionTest, ParseStatusesAndZeroValueOnFailure) {
  const struct {
    const char* text;
    IntegerParseStatus status;
  } cases[] = {
      {"12", IntegerParseStatus::Ok},
      {"4294967296", IntegerParseStatus::Overflow},
      {"2#1#1", IntegerParseStatus::SecondRadixMark},
      {"40#1", IntegerParseStatus::RadixOutOfRange},
      {"1x", IntegerParseStatus::InvalidCharacter},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const IntegerParseResult r = parse_integer_text(c.text);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.value, c.status == IntegerParseStatus::Ok ? 12 : 0);
  }
}

struct RangeCase {
  const char* name;
  IoType type;
  const char* text;
  int32_t status;
};

TEST_F(InputConversionTest, SmallIntegerRanges) {
  const RangeCase cases[] = {
      {"1-byte top", IoType::Int1, "127", 0},
      {"1-byte bottom", IoType::Int1, "-128", 0},
      {"1-byte 128", IoType::Int1, "128", E_INT_OVERFLOW},
      {"1-byte 200", IoType::Int1, "200", E_INT_OVERFLOW},
      {"1-byte -129", IoType::Int1, "-129", E_INT_OVERFLOW},
      {"1-byte pattern beyond", IoType::Int1, "16#FF", E_INT_OVERFLOW},
      {"2-byte top", IoType::Int2, "32767", 0},
      {"2-byte bottom", IoType::Int2, "-32768", 0},
      {"2-byte 32768", IoType::Int2, "32768", E_INT_OVERFLOW},
      {"2-byte -32769", IoType::Int2, "-32769", E_INT_OVERFLOW},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::memset(element_, FILL, sizeof element_);
    select_item(c.type);
    EXPECT_EQ(read_integer(c.text), c.status);
    const int32_t size = ELEMENT_SIZE[static_cast<int>(c.type)];
    if (c.status != 0) {
      EXPECT_TRUE(untouched_from(0)) << "the element changed on error";
      continue;
    }
    const int32_t stored =
        c.type == IoType::Int1 ? element<int8_t>() : static_cast<int32_t>(element<int16_t>());
    EXPECT_EQ(stored, std::stoi(c.text));
    EXPECT_TRUE(untouched_from(size)) << "bytes beyond the element changed";
  }
}

struct RealCase {
  const char* name;
  std::string_view text;
  IoType type;
  double value;  // expected (as stored, widened) when status is 0
  int32_t status;
  int32_t d = 0;      // implied fraction digits
  int32_t scale = 0;  // scale factor
  uint8_t desc = DESC_F;
};

TEST_F(InputConversionTest, RealTexts) {
  const IoType R4 = IoType::Real4;
  const IoType R8 = IoType::Real8;
  const RealCase cases[] = {
      {"plain", "1.5", R8, 1.5, 0},
      {"point first", ".5", R8, 0.5, 0},
      {"point last", "5.", R8, 5.0, 0},
      {"signed", "-2.25", R8, -2.25, 0},
      {"plus", "+7", R8, 7.0, 0},
      {"leading blanks", " \t1.5", R8, 1.5, 0},
      {"E exponent", "1.5E3", R8, 1500.0, 0},
      {"e with sign", "1.5e+3", R8, 1500.0, 0},
      {"D exponent", "1.5D3", R8, 1500.0, 0},
      {"d negative", "25d-1", R8, 2.5, 0},
      {"sign-started exponent", "1.5+3", R8, 1500.0, 0},
      {"sign-started negative", "2-4", R8, 0.0002, 0},
      {"decimal tenth", "0.1", R8, 0.1, 0},
      {"tenth into 4 bytes", "0.1", R4, static_cast<double>(0.1f), 0},
      {"1e40 into 8 bytes", "1e40", R8, 1e40, 0},
      {"1e40 into 4 bytes", "1e40", R4, 0, E_REAL4_RANGE},
      {"-1e40 into 4 bytes", "-1e40", R4, 0, E_REAL4_RANGE},
      {"largest 4-byte", "3.4028234663852886e38", R4, static_cast<double>(FLT_MAX), 0},
      {"beyond 4-byte", "3.4028235e38", R4, 0, E_REAL4_RANGE},
      {"1e-50 into 4 bytes", "1e-50", R4, 0.0, 0},
      {"4-byte denormal", "1e-45", R4, static_cast<double>(1e-45f), 0},
      {"1e-400 into 8 bytes", "1e-400", R8, 0.0, 0},
      {"1e400", "1e400", R8, 0, E_REAL_OVERFLOW},
      {"1e400 into 4 bytes", "1e400", R4, 0, E_REAL_OVERFLOW},
      {"-1e400", "-1e400", R8, 0, E_REAL_OVERFLOW},
      {"largest double", "1.7976931348623157e308", R8, DBL_MAX, 0},
      {"beyond double", "1.8e308", R8, 0, E_REAL_OVERFLOW},
      {"smallest denormal", "4.9e-324", R8, 4.9e-324, 0},
      {"below half the smallest", "2.4e-324", R8, 0.0, 0},
      {"exponent above the cap", "1e99999", R8, 0, E_REAL_OVERFLOW},
      {"exponent below the cap", "1e-99999", R8, 0.0, 0},
      {"zero with a huge exponent", "0e99999", R8, 0.0, 0},
      {"many leading zeros", "000000000000000000000000000001.5", R8, 1.5, 0},
      {"tiny with many zeros", "0.00000000000000000000000000000125", R8, 1.25e-30, 0},
      {"extra integer digits raise the exponent", "1234567890123456789012345678", R8,
       1.23456789012345678901234e27, 0},
      {"digits beyond the 24th are ignored", "9007199254740993.000000001", R8, 9007199254740992.0,
       0},
      {"empty", "", R8, 0.0, 0},
      {"letter left over", "1.5E", R8, 0, E_REAL_LEFT_OVER},
      {"letter and sign left over", "1.5E+", R8, 0, E_REAL_LEFT_OVER},
      {"sign left over", "1.5+", R8, 0, E_REAL_LEFT_OVER},
      {"blank after the letter", "1.5E 3", R8, 0, E_REAL_LEFT_OVER},
      {"unknown letter", "1.5Q3", R8, 0, E_REAL_LEFT_OVER},
      {"second point", "1.5.2", R8, 0, E_REAL_LEFT_OVER},
      {"point in the exponent", "1E2.5", R8, 0, E_REAL_LEFT_OVER},
      {"trailing blank", "1.5 ", R8, 0, E_REAL_LEFT_OVER},
      {"sign alone", "-", R8, 0, E_REAL_LEFT_OVER},
      {"point alone", ".", R8, 0, E_REAL_LEFT_OVER},
      {"blanks alone", "  ", R8, 0, E_REAL_LEFT_OVER},
      {"letters", "abc", R8, 0, E_REAL_LEFT_OVER},
      {"no infinity", "inf", R8, 0, E_REAL_LEFT_OVER},
      {"embedded NUL", std::string_view("1\0002", 3), R8, 0, E_REAL_LEFT_OVER},
      {"implied digits", "12345", R8, 123.45, 0, 2},
      {"implied digits with a point", "123.45", R8, 123.45, 0, 2},
      {"implied digits with an exponent", "12345E1", R8, 1234.5, 0, 2},
      {"scale factor", "5", R8, 0.05, 0, 0, 2},
      {"scale factor with an exponent", "5E0", R8, 5.0, 0, 0, 2},
      {"negative scale factor", "5", R8, 500.0, 0, 0, -2},
      {"scale and implied digits", "125", R4, static_cast<double>(0.125f), 0, 1, 2},
      {"D descriptor", "1.5", R8, 1.5, 0, 0, 0, DESC_D},
      {"E descriptor", "1.5", R8, 1.5, 0, 0, 0, DESC_E},
      {"G descriptor", "1.5", R8, 1.5, 0, 0, 0, DESC_G},
      {"extended descriptor", "1.5", R8, 1.5, 0, 0, 0, DESC_EXTENDED},
      {"I descriptor", "1.5", R8, 0, E_DESCRIPTOR, 0, 0, DESC_I},
      {"Z descriptor", "1.5", R4, 0, E_DESCRIPTOR, 0, 0, DESC_Z},
  };
  for (const RealCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::memset(element_, FILL, sizeof element_);
    select_item(c.type);
    unit_->fmt_desc = c.desc;
    unit_->fmt_d = c.d;
    unit_->fmt_scale = c.scale;
    EXPECT_EQ(read_real(std::string(c.text)), c.status);
    const int32_t size = c.type == R4 ? 4 : 8;
    if (c.status != 0) {
      EXPECT_TRUE(untouched_from(0)) << "the element changed on error";
      continue;
    }
    const double stored = c.type == R4 ? element<float>() : element<double>();
    EXPECT_EQ(stored, c.value);
    EXPECT_TRUE(untouched_from(size)) << "bytes beyond the element changed";
  }
}

TEST_F(InputConversionTest, NegativeZeroKeepsItsSign) {
  select_item(IoType::Real8);
  ASSERT_EQ(read_real("-0.0"), 0);
  EXPECT_EQ(element<double>(), 0.0);
  EXPECT_TRUE(std::signbit(element<double>()));
}

TEST_F(InputConversionTest, ComplexPartsConvertInTurn) {
  select_item(IoType::Complex8);
  set_text("1.5,-2.5");
  ASSERT_EQ(run([] { convert_real_value(edit_buffer.text, 3); }), 0);
  exec_state.item.addr += exec_state.item.size;
  ASSERT_EQ(run([] { convert_real_value(edit_buffer.text + 4, 4); }), 0);
  float parts[2];
  std::memcpy(parts, element_, sizeof parts);
  EXPECT_EQ(parts[0], 1.5f);
  EXPECT_EQ(parts[1], -2.5f);
  EXPECT_EQ(edit_buffer.text[3], ',') << "the text must only be read";

  // A 4-byte complex part has the 4-byte range.
  exec_state.item.addr = element_;
  set_text("1e39");
  EXPECT_EQ(run([] { convert_real_value(edit_buffer.text, 4); }), E_REAL4_RANGE);
  EXPECT_EQ(element<float>(), 1.5f);
}

TEST_F(InputConversionTest, ScanReportsConsumedAndFlags) {
  const struct {
    const char* text;
    int32_t consumed;
    uint32_t flags;
  } cases[] = {
      {"  1.5", 5, 0},
      {"1.5E", 3, SCAN_UNCONSUMED},
      {"2-", 1, SCAN_UNCONSUMED},
      {"-", 0, SCAN_NO_DIGITS | SCAN_UNCONSUMED},
      {"", 0, SCAN_NO_DIGITS},
      {"1e400", 5, SCAN_OVERFLOW},
      {"1e-400", 6, SCAN_UNDERFLOW},
      {"1e-310", 6, SCAN_UNDERFLOW},
      {"0e-400", 6, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const RealScanResult r = scan_decimal_text(c.text, 0, 0);
    EXPECT_EQ(r.consumed, c.consumed);
    EXPECT_EQ(r.flags, c.flags);
  }
}

struct LogicalCase {
  const char* name;
  const char* text;
  int32_t status;
  uint8_t first_byte;
};

TEST_F(InputConversionTest, LogicalTexts) {
  const LogicalCase cases[] = {
      {"T", "T", 0, 1},
      {".TRUE.", ".TRUE.", 0, 1},
      {"true", "true", 0, 1},
      {".t", ".t", 0, 1},
      {"F", "F", 0, 0},
      {".false.", ".false.", 0, 0},
      {"f", "f", 0, 0},
      {"other letter", "X", E_LOGICAL, 0},
      {"point alone", ".", E_LOGICAL, 0},
      {"empty", "", E_LOGICAL, 0},
      {"two points", "..T", E_LOGICAL, 0},
      {"digit", "1", E_LOGICAL, 0},
  };
  for (const IoType type : {IoType::Log1, IoType::Log2, IoType::Log4}) {
    for (const LogicalCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " into " +
                   std::to_string(ELEMENT_SIZE[static_cast<int>(type)]) + " bytes");
      std::memset(element_, FILL, sizeof element_);
      select_item(type);
      const int32_t length = set_text(c.text);
      EXPECT_EQ(run([&] { convert_logical_value(length); }), c.status);
      if (c.status != 0) {
        EXPECT_TRUE(untouched_from(0)) << "the element changed on error";
        continue;
      }
      EXPECT_EQ(element_[0], c.first_byte);
      EXPECT_TRUE(untouched_from(1)) << "only the first byte is written";
    }
  }
}

}  // namespace
}  // namespace rtlib
