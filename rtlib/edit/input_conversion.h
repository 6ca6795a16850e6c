// Numeric input conversion: turns the text of one input value or field, collected in the
// edit buffer by the list-directed and format-directed READ engines, into the value of
// the current item element (integers of 1, 2 and 4 bytes, logicals, 4- and 8-byte reals
// and the parts of complex items). It owns the accepted syntax of integers and reals,
// their range checks and the run-time errors for bad numeric text. It reads nothing from
// a record: the callers hand it a finished piece of text.
//
// The current element is exec_state.item (type code, address, element size); the real
// conversion reads the descriptor in force from exec_state.unit (fmt_desc, fmt_d,
// fmt_scale). Errors are raised under exec_state.kind; an element is written only after
// every check has passed, so a raise leaves it unchanged.
#pragma once

#include <cstdint>

namespace rtlib {

enum class IntegerParseStatus : int32_t {
  Ok = 0,
  Overflow = 1,          // beyond 32 bits
  SecondRadixMark = 2,   // a second "#"
  RadixOutOfRange = 3,   // radix before "#" outside 2..36
  InvalidCharacter = 4,  // anything else that is not a digit of the number
};

struct IntegerParseResult {
  int32_t value = 0;  // 0 unless the status is Ok
  IntegerParseStatus status = IntegerParseStatus::Ok;
};

// Parses a NUL-terminated integer text: an optional sign and decimal digits, or the
// radix form [sign][b]#digits (b from 2 to 36, 16 when omitted; radixes other than 10
// give a 32-bit pattern, so 16#FFFFFFFF is -1). An empty text or a sign alone is 0;
// Ctrl-Z (26) ends a decimal text like NUL. "-2147483648" is the one text for INT32_MIN.
IntegerParseResult parse_integer_text(const char* text);

// Terminates the edit buffer text at length (clamped to the buffer), parses it and
// answers the value; a bad text raises error 4 (overflow), 5 (invalid character),
// 28 (second "#") or 29 (radix out of range). Used for integer items and repeat counts.
int32_t convert_integer_value(int32_t length);

// Stores value into the current integer element by its type: 1- and 2-byte elements
// raise error 4 for a value outside their range and stay unchanged; 4-byte elements
// take any value.
void store_integer_item(int32_t value);

// Looks at the first character of the edit buffer, or at the second when the first is
// ".": "T" or "t" stores 1, "F" or "f" stores 0, into the first byte of the current
// logical element only; anything else raises error 79. The caller terminates the text
// when it may be shorter than two characters; the overload taking the collected length
// does that itself.
void convert_logical_value();
void convert_logical_value(int32_t length);

// Flags of a RealScanResult.
inline constexpr uint32_t SCAN_NO_DIGITS = 0x01;   // no mantissa digit: value 0
inline constexpr uint32_t SCAN_OVERFLOW = 0x02;    // beyond the double range: value infinity
inline constexpr uint32_t SCAN_UNDERFLOW = 0x04;   // nonzero text that gives a denormal or 0
inline constexpr uint32_t SCAN_UNCONSUMED = 0x08;  // characters left after the number

// The outcome of scanning a real text. The value is already rounded to double: the
// significant digits and decimal exponent that the scanner extracts are converted in one
// correctly rounded step (round to nearest even), so no intermediate extended value and
// no second rounding stand between the text and the double.
struct RealScanResult {
  double value = 0.0;
  int32_t consumed = 0;  // characters consumed, leading blanks included; 0 without digits
  uint32_t flags = 0;
};

// Scans a real number: leading blanks, tabs, CR and LF; a sign; digits with at most one
// point; an exponent "E", "e", "D" or "d" with an optional sign, or a sign alone, then
// digits. At most 24 significant digits enter the value: further digits before the point
// raise the exponent, further digits after the point are ignored (truncation). Without
// an exponent part, exponent_adjust is added to the decimal exponent (-k for a scale
// factor k); without a point, implied_digits are taken as fraction digits. The first form
// takes a NUL-terminated text; the second takes length characters, a NUL among them
// being a character left over.
RealScanResult scan_decimal_text(const char* text, int32_t exponent_adjust, int32_t implied_digits);
RealScanResult scan_decimal_text(const char* text, int32_t length, int32_t exponent_adjust,
                                 int32_t implied_digits);

// Converts length characters at text into the current real element: a 4-byte real for
// item types 11 and 14, else an 8-byte real. Raises error 17 when the descriptor in force
// is not D, E, F, G or an extended real form, 6 beyond the double range, 7 for characters
// left over (or no number in a non-empty text), 8 beyond the 4-byte range for a 4-byte
// target. An empty text stores 0. The text is only read.
void convert_real_value(const char* text, int32_t length);

}  // namespace rtlib
