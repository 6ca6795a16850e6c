// Decimal expansion of reals (decimal_digits) and rounding of a digit string to a field
// position (round_digits), used by the real editor.
//
// std::to_chars produces the exactly rounded 17-digit expansion, but it breaks an exact
// tie (a value whose exact expansion has 18 significant digits, the last one a 5) towards
// an even 17th digit, where we round away from zero. Such ties are found exactly with
// integer arithmetic on the significand and exponent and expanded here instead.
#include "rtlib/edit/decimal_digits.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>

namespace rtlib {

namespace {

constexpr uint64_t FRACTION_MASK = (uint64_t{1} << 52) - 1;
constexpr uint64_t QUIET_BIT = uint64_t{1} << 51;
constexpr int32_t EXPONENT_ALL_ONES = 0x7FF;
constexpr uint64_t TEN_TO_16 = 10000000000000000ull;
constexpr uint64_t TEN_TO_17 = 100000000000000000ull;
constexpr uint64_t TEN_TO_18 = 1000000000000000000ull;
// 5^25 < 2^59; with a significand below 2^53 every product fits in 128 bits.
constexpr int32_t MAX_TIE_POWER = 25;

constexpr auto POWERS_OF_FIVE = [] {
  std::array<uint64_t, MAX_TIE_POWER + 1> powers{};
  powers[0] = 1;
  for (int32_t i = 1; i <= MAX_TIE_POWER; ++i) powers[i] = powers[i - 1] * 5;
  return powers;
}();

// Copies text (with its NUL) into the form's digits.
void set_digits(DecimalForm& form, const char* text) {
  std::memcpy(form.digits, text, std::strlen(text) + 1);
}

void strip_trailing_zeros(char* digits, int32_t length) {
  while (length > 1 && digits[length - 1] == '0') --length;
  digits[length] = '\0';
}

// Writes the 17 digits of value (10^16 <= value < 10^17), without trailing zeros.
void write_seventeen_digits(char* digits, uint64_t value) {
  for (int32_t i = EXPANSION_DIGITS - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  strip_trailing_zeros(digits, EXPANSION_DIGITS);
}

// A finite non-zero value is significand * 2^binary_exponent. When its exact decimal
// expansion has exactly 18 significant digits (which then end in 5), fills the form with
// the 17 digits rounded away from zero and answers true.
//
// With the significand made odd, a value with binary_exponent >= 0 is an integer below
// 2^53 or an even number, so its expansion cannot end in a 5 at the 18th digit. Otherwise
// the value is significand * 5^n / 10^n (n = -binary_exponent), and its significant digits
// are those of the odd product significand * 5^n; that product has 18 digits only for
// n <= 25.
bool expand_exact_tie(uint64_t significand, int32_t binary_exponent, DecimalForm& form) {
  const int32_t zeros = std::countr_zero(significand);
  significand >>= zeros;
  binary_exponent += zeros;
  if (binary_exponent >= 0 || binary_exponent < -MAX_TIE_POWER) return false;
  const int32_t n = -binary_exponent;
  const unsigned __int128 product = static_cast<unsigned __int128>(significand) * POWERS_OF_FIVE[n];
  if (product < TEN_TO_17 || product >= TEN_TO_18) return false;
  // The 18th digit is 5 and nothing follows: drop it and round the 17th up.
  uint64_t rounded = static_cast<uint64_t>(product) / 10 + 1;
  form.exponent = 18 - n;
  if (rounded == TEN_TO_17) {
    rounded = TEN_TO_16;
    ++form.exponent;
  }
  write_seventeen_digits(form.digits, rounded);
  return true;
}

}  // namespace

DecimalForm decimal_digits(double value) {
  DecimalForm form;
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const uint64_t fraction = bits & FRACTION_MASK;
  const int32_t biased = static_cast<int32_t>((bits >> 52) & EXPONENT_ALL_ONES);

  if (biased == EXPONENT_ALL_ONES) {
    form.sign = negative ? '-' : ' ';
    form.exponent = 1;
    form.finite = 0;
    if (fraction == 0) {
      set_digits(form, "1#INF");
    } else if ((fraction & QUIET_BIT) == 0) {
      set_digits(form, "1#SNAN");
    } else if (negative && fraction == QUIET_BIT) {
      set_digits(form, "1#IND");
    } else {
      set_digits(form, "1#QNAN");
    }
    return form;
  }
  if (biased == 0 && fraction == 0) {
    set_digits(form, "0");
    return form;
  }
  form.sign = negative ? '-' : ' ';

  const uint64_t significand = biased != 0 ? (fraction | (uint64_t{1} << 52)) : fraction;
  const int32_t binary_exponent = (biased != 0 ? biased : 1) - 1075;
  if (expand_exact_tie(significand, binary_exponent, form)) return form;

  // Scientific form of the magnitude with 16 digits after the point:
  // "d.dddddddddddddddde+XX" (two or three exponent digits).
  char text[40];
  const double magnitude = std::bit_cast<double>(bits & ~(uint64_t{1} << 63));
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, magnitude,
                                               std::chars_format::scientific, EXPANSION_DIGITS - 1);
  form.digits[0] = text[0];
  std::memcpy(form.digits + 1, text + 2, EXPANSION_DIGITS - 1);
  strip_trailing_zeros(form.digits, EXPANSION_DIGITS);

  const char* p = text + EXPANSION_DIGITS + 1;  // the 'e'
  const bool exponent_negative = p[1] == '-';
  int32_t exponent = 0;
  for (p += 2; p < r.ptr; ++p) exponent = exponent * 10 + (*p - '0');
  form.exponent = (exponent_negative ? -exponent : exponent) + 1;
  return form;
}

int32_t round_digits(DecimalForm& form, int32_t position) {
  if (position < 0) position = 0;
  char* digits = form.digits;
  const int32_t length = static_cast<int32_t>(std::strlen(digits));
  if (length <= position) return 0;

  if (digits[position] < '5') {
    digits[position] = '\0';
    if (form.sign == '-') {
      bool all_zero = true;
      for (int32_t i = 0; i < position; ++i) all_zero = all_zero && digits[i] == '0';
      if (all_zero) form.sign = ' ';
    }
    return 0;
  }
  if (position == 0) {
    set_digits(form, "1");
    return 1;
  }
  digits[position] = '\0';
  for (int32_t i = position - 1; i >= 0; --i) {
    if (digits[i] != '9') {
      ++digits[i];
      return 0;
    }
    digits[i] = '0';
  }
  // Every kept digit was a nine: they are zeros now, and a one goes in front.
  std::memmove(digits + 1, digits, static_cast<size_t>(position) + 1);
  digits[0] = '1';
  ++form.exponent;
  return 1;
}

}  // namespace rtlib
