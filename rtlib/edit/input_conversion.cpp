// Numeric input conversion: integer, logical and real texts into the current item
// element. Called by the list-directed READ engine and the format-directed input loop
// (and the format compiler for its numbers) once the text of a value is complete.
#include "rtlib/edit/input_conversion.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "rtlib/edit/edit_buffer.h"
#include "rtlib/edit/edit_descriptor.h"
#include "rtlib/io/executor.h"
#include "rtlib/services/errors.h"

namespace rtlib {

namespace {

// Error codes raised here.
constexpr int32_t ERR_INTEGER_OVERFLOW = 4;
constexpr int32_t ERR_INTEGER_CHARACTER = 5;
constexpr int32_t ERR_REAL_OVERFLOW = 6;
constexpr int32_t ERR_REAL_LEFT_OVER = 7;
constexpr int32_t ERR_REAL4_RANGE = 8;
constexpr int32_t ERR_REAL_DESCRIPTOR = 17;
constexpr int32_t ERR_SECOND_RADIX_MARK = 28;
constexpr int32_t ERR_RADIX_RANGE = 29;
constexpr int32_t ERR_LOGICAL = 79;

constexpr char CTRL_Z = 26;
constexpr int32_t MAX_SIGNIFICANT_DIGITS = 24;
// Written exponents are accumulated up to this magnitude; a larger one counts as one more.
constexpr int32_t EXPONENT_CAP = 5200;
// Largest magnitude a 4-byte real holds, as a double.
constexpr double REAL4_MAX = 3.402823466385289e38;

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The value of c as a digit of radixes up to 36, or 36 when it is none.
constexpr uint32_t radix_digit(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
  if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'Z') return static_cast<uint32_t>(c - 'A' + 10);
  return 36;
}

IntegerParseResult fail(IntegerParseStatus status) { return IntegerParseResult{0, status}; }

int32_t apply_sign(uint32_t pattern, bool negative) {
  // Unsigned negation wraps as the 32-bit pattern arithmetic requires.
  return static_cast<int32_t>(negative ? 0u - pattern : pattern);
}

// Digits after "#" in radix b (the cursor stands after the "#").
IntegerParseResult parse_radix_digits(const char* p, uint32_t radix, bool negative) {
  // Radix 10 keeps the signed 31-bit accumulation of plain decimal text; other radixes
  // fill the whole 32-bit pattern.
  const uint32_t limit = radix == 10 ? 214748364u : UINT32_MAX / radix;
  const uint32_t ceiling = radix == 10 ? static_cast<uint32_t>(INT32_MAX) : UINT32_MAX;
  uint32_t value = 0;
  for (;; ++p) {
    const char c = *p;
    if (c == '\0') return IntegerParseResult{apply_sign(value, negative), IntegerParseStatus::Ok};
    if (c == '#') return fail(IntegerParseStatus::SecondRadixMark);
    const uint32_t digit = radix_digit(c);
    if (digit >= radix) return fail(IntegerParseStatus::InvalidCharacter);
    if (value > limit) return fail(IntegerParseStatus::Overflow);
    value *= radix;
    if (digit > ceiling - value) return fail(IntegerParseStatus::Overflow);
    value += digit;
  }
}

// Writes the bytes of a value into the current element.
template <typename T>
void store_element(T value) {
  std::memcpy(exec_state.item.addr, &value, sizeof value);
}

// The significant digits of a real text and what the scan found besides.
struct ScannedDecimal {
  char digits[MAX_SIGNIFICANT_DIGITS];
  int32_t count = 0;     // significant digits kept (leading zeros are not)
  int64_t exponent = 0;  // value = digits as an integer * 10^exponent
  bool negative = false;
  bool any_digit = false;  // the mantissa held at least one digit (zeros included)
  bool has_point = false;
  bool has_exponent = false;
  const char* end = nullptr;  // first character not consumed
};

// Accepts an exponent at p (letter and signed digits, or a sign and digits) and answers
// the character after it, or p itself when no valid exponent stands there.
const char* scan_exponent(const char* p, const char* end, int32_t& exponent) {
  const char* q = p;
  if (q < end && (*q == 'E' || *q == 'e' || *q == 'D' || *q == 'd')) ++q;
  bool negative = false;
  if (q < end && (*q == '+' || *q == '-')) {
    negative = *q == '-';
    ++q;
  } else if (q == p) {
    return p;  // neither a letter nor a sign
  }
  if (q == end || !is_digit(*q)) return p;
  int32_t value = 0;
  for (; q < end && is_digit(*q); ++q) {
    if (value <= EXPONENT_CAP) value = value * 10 + (*q - '0');
  }
  if (value > EXPONENT_CAP) value = EXPONENT_CAP + 1;
  exponent = negative ? -value : value;
  return q;
}

ScannedDecimal scan_mantissa_and_exponent(const char* begin, const char* end) {
  ScannedDecimal s;
  const char* p = begin;
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
  if (p < end && (*p == '+' || *p == '-')) {
    s.negative = *p == '-';
    ++p;
  }
  for (; p < end && is_digit(*p); ++p) {
    s.any_digit = true;
    if (s.count == 0 && *p == '0') continue;
    if (s.count < MAX_SIGNIFICANT_DIGITS) {
      s.digits[s.count++] = *p;
    } else {
      ++s.exponent;  // a dropped digit before the point still counts for the magnitude
    }
  }
  if (p < end && *p == '.') {
    s.has_point = true;
    for (++p; p < end && is_digit(*p); ++p) {
      s.any_digit = true;
      if (s.count == 0 && *p == '0') {
        --s.exponent;
      } else if (s.count < MAX_SIGNIFICANT_DIGITS) {
        s.digits[s.count++] = *p;
        --s.exponent;
      }  // digits beyond the 24th after the point are ignored
    }
  }
  if (!s.any_digit) {
    s.end = begin;
    return s;
  }
  int32_t written = 0;
  const char* after = scan_exponent(p, end, written);
  if (after != p) {
    s.has_exponent = true;
    s.exponent += written;
    p = after;
  }
  s.end = p;
  return s;
}

// Decimal exponents of the leading digit beyond which no double is near: above it the
// value overflows, below it it rounds to zero. The exact step decides everything between.
constexpr int64_t LEAD_EXPONENT_MAX = 310;
constexpr int64_t LEAD_EXPONENT_MIN = -330;

// The correctly rounded double of digits * 10^exponent, with the range flags.
void convert_digits(const ScannedDecimal& s, RealScanResult& result) {
  if (s.count == 0) {
    result.value = s.negative ? -0.0 : 0.0;
    return;
  }
  const int64_t lead = s.exponent + s.count;  // value = 0.d1d2... * 10^lead
  double value = 0.0;
  if (lead > LEAD_EXPONENT_MAX) {
    result.flags |= SCAN_OVERFLOW;
    value = std::numeric_limits<double>::infinity();
  } else if (lead < LEAD_EXPONENT_MIN) {
    result.flags |= SCAN_UNDERFLOW;
  } else {
    // digits, "e", the exponent: at most 24 + 1 + 4 characters.
    char text[MAX_SIGNIFICANT_DIGITS + 16];
    std::memcpy(text, s.digits, static_cast<size_t>(s.count));
    char* p = text + s.count;
    *p++ = 'e';
    p = std::to_chars(p, text + sizeof text, s.exponent).ptr;
    const std::from_chars_result r = std::from_chars(text, p, value);
    if (r.ec == std::errc::result_out_of_range) {
      if (lead > 0) {
        result.flags |= SCAN_OVERFLOW;
        value = std::numeric_limits<double>::infinity();
      } else {
        result.flags |= SCAN_UNDERFLOW;
        value = 0.0;
      }
    } else if (std::fpclassify(value) != FP_NORMAL) {
      result.flags |= SCAN_UNDERFLOW;  // a denormal
    }
  }
  result.value = s.negative ? -value : value;
}

}  // namespace

IntegerParseResult parse_integer_text(const char* text) {
  if (std::strcmp(text, "-2147483648") == 0) {
    return IntegerParseResult{INT32_MIN, IntegerParseStatus::Ok};
  }
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  uint32_t value = 0;  // stays within 0..INT32_MAX
  bool any_digit = false;
  for (;; ++p) {
    const char c = *p;
    if (c == '\0' || c == CTRL_Z) {
      return IntegerParseResult{apply_sign(value, negative), IntegerParseStatus::Ok};
    }
    if (c == '#') {
      const uint32_t radix = any_digit ? value : 16;
      if (radix < 2 || radix > 36) return fail(IntegerParseStatus::RadixOutOfRange);
      return parse_radix_digits(p + 1, radix, negative);
    }
    if (!is_digit(c)) return fail(IntegerParseStatus::InvalidCharacter);
    if (value > 214748364u) return fail(IntegerParseStatus::Overflow);
    value = value * 10 + static_cast<uint32_t>(c - '0');
    if (value > static_cast<uint32_t>(INT32_MAX)) return fail(IntegerParseStatus::Overflow);
    any_digit = true;
  }
}

int32_t convert_integer_value(int32_t length) {
  if (length < 0) length = 0;
  if (length > EDIT_VALUE_MAX) length = EDIT_VALUE_MAX;
  edit_buffer.text[length] = '\0';
  const IntegerParseResult r = parse_integer_text(edit_buffer.text);
  switch (r.status) {
    case IntegerParseStatus::Ok: return r.value;
    case IntegerParseStatus::Overflow: raise_error(ERR_INTEGER_OVERFLOW, exec_state.kind);
    case IntegerParseStatus::SecondRadixMark: raise_error(ERR_SECOND_RADIX_MARK, exec_state.kind);
    case IntegerParseStatus::RadixOutOfRange: raise_error(ERR_RADIX_RANGE, exec_state.kind);
    case IntegerParseStatus::InvalidCharacter: break;
  }
  raise_error(ERR_INTEGER_CHARACTER, exec_state.kind);
}

void store_integer_item(int32_t value) {
  switch (exec_state.item.type) {
    case 1:
      if (value < INT8_MIN || value > INT8_MAX) raise_error(ERR_INTEGER_OVERFLOW, exec_state.kind);
      store_element(static_cast<int8_t>(value));
      return;
    case 2:
      if (value < INT16_MIN || value > INT16_MAX) {
        raise_error(ERR_INTEGER_OVERFLOW, exec_state.kind);
      }
      store_element(static_cast<int16_t>(value));
      return;
    default: store_element(value); return;
  }
}

void convert_logical_value() {
  const char* text = edit_buffer.text;
  const char c = text[0] == '.' ? text[1] : text[0];
  uint8_t value = 0;
  if (c == 'T' || c == 't') {
    value = 1;
  } else if (c != 'F' && c != 'f') {
    raise_error(ERR_LOGICAL, exec_state.kind);
  }
  *exec_state.item.addr = value;  // the other bytes of a 2- or 4-byte logical stay
}

void convert_logical_value(int32_t length) {
  if (length < 0) length = 0;
  if (length > EDIT_VALUE_MAX) length = EDIT_VALUE_MAX;
  edit_buffer.text[length] = '\0';
  convert_logical_value();
}

RealScanResult scan_decimal_text(const char* text, int32_t exponent_adjust,
                                 int32_t implied_digits) {
  const size_t length = std::strlen(text);
  const int32_t bounded =
      length > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(length);
  return scan_decimal_text(text, bounded, exponent_adjust, implied_digits);
}

RealScanResult scan_decimal_text(const char* text, int32_t length, int32_t exponent_adjust,
                                 int32_t implied_digits) {
  RealScanResult result;
  if (length < 0) length = 0;
  // A NUL inside the length is a character that fits no number: it is left over.
  const char* end = text + length;
  ScannedDecimal s = scan_mantissa_and_exponent(text, end);
  result.consumed = static_cast<int32_t>(s.end - text);
  if (s.end != end) result.flags |= SCAN_UNCONSUMED;
  if (!s.any_digit) {
    result.flags |= SCAN_NO_DIGITS;
    return result;
  }
  if (!s.has_exponent) s.exponent += exponent_adjust;
  if (!s.has_point) s.exponent -= implied_digits;
  convert_digits(s, result);
  return result;
}

void convert_real_value(const char* text, int32_t length) {
  const Unit* unit = exec_state.unit;
  // Without a unit the text is read as list-directed input reads it.
  const uint8_t desc = unit != nullptr ? unit->fmt_desc : uint8_t{DESC_F};
  if (desc != DESC_D && desc != DESC_E && desc != DESC_F && desc != DESC_G &&
      desc != DESC_EXTENDED) {
    raise_error(ERR_REAL_DESCRIPTOR, exec_state.kind);
  }
  const bool four_bytes = exec_state.item.type == 11 || exec_state.item.type == 14;
  double value = 0.0;
  if (length > 0) {
    const int64_t scale = unit != nullptr ? unit->fmt_scale : 0;
    const int64_t adjust = scale <= -INT32_MAX ? INT32_MAX : -scale;
    const int32_t implied = unit != nullptr ? unit->fmt_d : 0;
    const RealScanResult r = scan_decimal_text(text, length, static_cast<int32_t>(adjust), implied);
    if (r.flags & SCAN_OVERFLOW) raise_error(ERR_REAL_OVERFLOW, exec_state.kind);
    if (r.flags & SCAN_UNCONSUMED) raise_error(ERR_REAL_LEFT_OVER, exec_state.kind);
    value = r.value;
  }
  if (four_bytes) {
    if (std::fabs(value) > REAL4_MAX) raise_error(ERR_REAL4_RANGE, exec_state.kind);
    store_element(static_cast<float>(value));
  } else {
    store_element(value);
  }
}

}  // namespace rtlib
