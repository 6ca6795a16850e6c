// Integer and real output editing: lays out the digits of one value as the text of one
// output field. The digits come from decimal_digits and round_digits; this file only
// chooses the form (F or E, and their G, ES, EN and list-directed variants), counts the
// digit positions and writes them. Called by the format-driven WRITE engine and by
// list-directed output.
#include "rtlib/edit/output_editing.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace rtlib {

EditBuffer edit_buffer;

namespace {

// Descriptor parameters are clamped to this magnitude before any arithmetic: a larger
// value cannot give a field that fits in the edit buffer either, and the clamp keeps
// every sum far from int32 overflow.
constexpr int32_t PARAM_LIMIT = 4096;

constexpr int32_t clamp_param(int32_t v, int32_t low) { return std::clamp(v, low, PARAM_LIMIT); }

// The ways a real field is laid out once the descriptor has chosen.
enum class RealLayout {
  Fixed,         // F, and list-directed values in F form
  GeneralFixed,  // G in F form: followed by e + 2 blanks
  Exponent,      // D, E, G in E form, list-directed values in E form
  Scientific,    // ES
  Engineering,   // EN
};

// Reads the digits of a form in order and gives '0' once they run out.
class DigitSource {
 public:
  explicit DigitSource(const char* digits) : next_(digits) {}
  char take() { return *next_ != '\0' ? *next_++ : '0'; }

 private:
  const char* next_;
};

// Non-finite values: the digit string padded with periods to n characters, or cut to n.
int32_t write_non_finite(const DecimalForm& form, int32_t n, char* out) {
  if (n <= 0) {
    out[0] = '\0';
    return 0;
  }
  if (n > EDIT_VALUE_MAX) return EDIT_TOO_LONG;
  const int32_t length = std::min(static_cast<int32_t>(std::strlen(form.digits)), n);
  std::memcpy(out, form.digits, static_cast<size_t>(length));
  std::memset(out + length, '.', static_cast<size_t>(n - length));
  out[n] = '\0';
  return n;
}

int32_t count_decimal_digits(uint32_t v) {
  int32_t n = 1;
  while (v >= 10) {
    v /= 10;
    ++n;
  }
  return n;
}

// Writes the count digits of v (count >= its digit count, leading zeros) at out.
void write_decimal(uint32_t v, int32_t count, char* out) {
  for (int32_t i = count - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
}

// Floor modulo 3 for possibly negative x.
constexpr int32_t mod3(int32_t x) { return ((x % 3) + 3) % 3; }

}  // namespace

double widen_single(uint32_t bits) {
  const uint64_t sign = static_cast<uint64_t>(bits >> 31) << 63;
  const uint32_t biased = (bits >> 23) & 0xFF;
  const uint64_t fraction = bits & 0x7FFFFF;
  uint64_t result = sign;
  if (biased == 0xFF) {
    result |= (uint64_t{0x7FF} << 52) | (fraction << 29);
  } else if (biased != 0) {
    result |= (static_cast<uint64_t>(biased - 127 + 1023) << 52) | (fraction << 29);
  } else if (fraction != 0) {
    // A denormal is fraction * 2^-149; as a double it is normal.
    const int32_t top = 63 - std::countl_zero(fraction);
    result |= (static_cast<uint64_t>(top - 149 + 1023) << 52) |
              ((fraction ^ (uint64_t{1} << top)) << (52 - top));
  }
  return std::bit_cast<double>(result);
}

int32_t edit_integer(int32_t value, const EditDescriptor& desc, char* out) {
  char reversed[10];
  int32_t count = 0;
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  while (magnitude != 0) {
    reversed[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  const int32_t m = std::max(desc.d, 0);
  int32_t length = 0;
  if (value < 0) {
    out[length++] = '-';
  } else if (desc.plus != 0 && (m != 0 || count != 0)) {
    out[length++] = '+';
  }
  if (m > count) {
    if (m > EDIT_VALUE_MAX - length) return EDIT_TOO_LONG;
    std::memset(out + length, '0', static_cast<size_t>(m - count));
    length += m - count;
  }
  while (count > 0) out[length++] = reversed[--count];
  out[length] = '\0';
  return length;
}

int32_t edit_real(const EditDescriptor& desc, const void* value, int32_t type, char* out) {
  if (type == 11 || type == 14) {
    uint32_t bits;
    std::memcpy(&bits, value, sizeof bits);
    return edit_real_value(desc, widen_single(bits), SINGLE_DIGIT_LIMIT, out);
  }
  double v;
  std::memcpy(&v, value, sizeof v);
  return edit_real_value(desc, v, DOUBLE_DIGIT_LIMIT, out);
}

int32_t edit_real_value(const EditDescriptor& desc, double value, int32_t digit_limit, char* out) {
  DecimalForm form = decimal_digits(value);
  const int32_t w = std::clamp(desc.w, -PARAM_LIMIT, PARAM_LIMIT);
  const int32_t e = clamp_param(desc.e, 0);
  int32_t d = clamp_param(desc.d, 0);
  int32_t k = std::clamp(desc.k, -PARAM_LIMIT, PARAM_LIMIT);
  if (form.finite == 0) return write_non_finite(form, desc.code == DESC_LIST ? w - 2 : w, out);

  const bool zero = form.digits[0] == '0';
  int32_t x = form.exponent;

  // Choose the form.
  RealLayout layout = RealLayout::Exponent;
  switch (desc.code) {
    case DESC_LIST:
      // Values from 1 up to (excluding) 10^(w-d-2) in F form, all others in E form.
      if (x > 0 && x < w - d - 1) {
        layout = RealLayout::Fixed;
      } else {
        k = 1;
      }
      break;
    case DESC_F:
      layout = RealLayout::Fixed;
      x += k;
      break;
    case DESC_G:
      if (x >= 0 && x <= d) {
        layout = RealLayout::GeneralFixed;
        d -= x;
      }
      break;
    case DESC_EXTENDED:
      if (desc.sub == SUB_ES) layout = RealLayout::Scientific;
      if (desc.sub == SUB_EN) layout = RealLayout::Engineering;
      break;
    default: break;
  }

  // Count the digit positions: before the point (before) and in all (total).
  int32_t before = 0;
  int32_t total = 0;
  switch (layout) {
    case RealLayout::Fixed:
    case RealLayout::GeneralFixed:
      before = zero ? 0 : x;
      total = zero ? d : x + d;
      break;
    case RealLayout::Exponent:
      before = k;
      total = k > 0 ? d + 1 : d + k;
      break;
    case RealLayout::Scientific:
      before = 1;
      k = 1;
      total = d + 1;
      break;
    case RealLayout::Engineering:
      // One to three digits before the point and an exponent divisible by three; zero is
      // shown as 0.0...E+00.
      k = 0;
      before = zero ? 1 : 1 + mod3(x - 1);
      x = zero ? 0 : x - before;
      total = before + d;
      break;
  }

  if (before < -d) {
    // An F-form value too small to show any digit prints as zero, without a minus sign.
    before = -d;
    total = 0;
    form.sign = ' ';
  } else {
    form.exponent = x;
    const int32_t carry = round_digits(form, std::min(digit_limit, total));
    if (carry != 0) {
      switch (layout) {
        case RealLayout::Fixed:
          ++before;
          ++total;
          break;
        case RealLayout::GeneralFixed: ++before; break;
        case RealLayout::Engineering:
          // 999.96 in EN10.1 becomes 1.0E+03: the exponent stays a multiple of three.
          if (before < 3) {
            ++before;
            ++total;
          } else {
            before = 1;
            total = 1 + d;
            x += 3;
          }
          break;
        default: break;  // the E forms show a carry in the raised exponent only
      }
    }
  }
  if (total >= EDIT_TOO_LONG) return EDIT_TOO_LONG;

  // Measure the field before writing it.
  const bool exponent_form = layout != RealLayout::Fixed && layout != RealLayout::GeneralFixed;
  int32_t exponent_digits = e;
  bool letter = true;
  int32_t printed = 0;
  int32_t exponent_length = 0;
  if (exponent_form) {
    if (layout == RealLayout::Engineering) {
      printed = x;
    } else {
      printed = zero ? form.exponent : form.exponent - k;
    }
    if (e == 2 && (printed > 99 || printed < -99)) {
      exponent_digits = 3;
      letter = false;
    }
    const uint32_t magnitude = static_cast<uint32_t>(printed < 0 ? -printed : printed);
    if (count_decimal_digits(magnitude) > exponent_digits) return EDIT_EXPONENT_OVERFLOW;
    exponent_length = (letter ? 1 : 0) + 1 + exponent_digits;
  } else if (layout == RealLayout::GeneralFixed) {
    exponent_length = e + 2;
  }
  const bool sign = form.sign == '-' || desc.plus != 0;
  const int32_t integer_length = before > 0 ? before : (before == 0 && total == 0 ? 1 : 0);
  const int32_t after = before > 0 ? total - before : total;
  const int32_t fraction_length = (before < 0 ? -before : 0) + std::max(after, 0);
  const int32_t length = (sign ? 1 : 0) + integer_length + 1 + fraction_length + exponent_length;
  if (length > EDIT_VALUE_MAX) return EDIT_TOO_LONG;

  char* p = out;
  if (sign) *p++ = form.sign == '-' ? '-' : '+';
  DigitSource digits(form.digits);
  if (before == 0 && total == 0) *p++ = '0';
  for (int32_t i = 0; i < before; ++i) *p++ = digits.take();
  *p++ = '.';
  for (int32_t i = before; i < 0; ++i) *p++ = '0';
  for (int32_t i = 0; i < after; ++i) *p++ = digits.take();

  if (layout == RealLayout::GeneralFixed) {
    std::memset(p, ' ', static_cast<size_t>(exponent_length));
    p += exponent_length;
  } else if (exponent_form) {
    if (letter) {
      const bool letter_d =
          desc.code == DESC_D || desc.sub == SUB_E_LETTER_D || desc.sub == SUB_G_LETTER_D;
      *p++ = letter_d ? 'D' : 'E';
    }
    *p++ = printed < 0 ? '-' : '+';
    const uint32_t magnitude = static_cast<uint32_t>(printed < 0 ? -printed : printed);
    write_decimal(magnitude, exponent_digits, p);
    p += exponent_digits;
  }
  *p = '\0';
  return static_cast<int32_t>(p - out);
}

}  // namespace rtlib
