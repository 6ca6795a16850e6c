// Decimal expansion of reals for the output editors: a value becomes a sign, a decimal
// exponent and at most 17 significant digits, which the editors round again to the field
// with round_digits and then lay out. Both steps round half away from zero on the digit
// string, so a printed value has been rounded twice: to 17 digits, then to the field.
#pragma once

#include <cstdint>

namespace rtlib {

// Significant digits of an expansion.
inline constexpr int32_t EXPANSION_DIGITS = 17;
// Room for the digit string: 18 digits while rounding, or "1" and up to 17 zeros after a
// carry, and the terminating NUL.
inline constexpr int32_t DECIMAL_FORM_DIGITS = 24;

// The decimal expansion of a real value: 0.D1D2D3... times 10 to the power exponent.
// 1.0 has digits "1" and exponent 1; 0.05 has digits "5" and exponent -1.
struct DecimalForm {
  char sign = ' ';       // '-' for a negative value, ' ' otherwise (editors may overwrite)
  int32_t exponent = 0;  // decimal exponent X; 1 for a non-finite value
  int32_t finite = 1;    // 0 for an infinity or NaN
  // NUL-terminated significant digits without trailing zeros ("0" for zero), or for a
  // non-finite value one of "1#INF", "1#QNAN", "1#SNAN", "1#IND".
  char digits[DECIMAL_FORM_DIGITS] = {};
};

// Expands value to 17 significant digits, exactly rounded half away from zero. Zero of
// either sign gives sign ' ', exponent 0 and digits "0". The value is classified by its
// bits, so no floating-point exception is raised, not even for a signalling NaN; the
// negative quiet NaN with only the top fraction bit set (the default NaN of an invalid
// operation) gives "1#IND".
DecimalForm decimal_digits(double value);

// Rounds the digits half away from zero so that at most position digits remain (digits
// are counted from 0 at the first significant digit). Answers 1 when the rounding made a
// new leading digit: then either position was 0 and the digits are "1" with the exponent
// unchanged, or all kept digits were nines and the digits are "1" followed by position
// zeros with the exponent raised by one. A negative form that keeps no non-zero digit
// loses its minus sign. A negative position counts as 0.
int32_t round_digits(DecimalForm& form, int32_t position);

}  // namespace rtlib
