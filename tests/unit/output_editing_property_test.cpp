// Property tests of the real output editors over random bit patterns: the 17-digit
// expansion against an exact expansion computed here with big-integer arithmetic on the
// significand and exponent (ties away from zero), the list-directed text against one
// built here from that expansion, and the 7- and 16-digit limits, widths and accuracy of
// F, E and G fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "rtlib/edit/output_editing.h"

namespace rtlib {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int32_t SINGLE_SAMPLES = 200000;
constexpr int32_t DOUBLE_SAMPLES = 5000;
#else
constexpr int32_t SINGLE_SAMPLES = 1000000;
constexpr int32_t DOUBLE_SAMPLES = 40000;
#endif

// An unsigned integer in base 10^9 limbs, least significant first; large enough for
// 2^53 * 5^1074 (767 digits).
class BigNumber {
 public:
  explicit BigNumber(uint64_t v) {
    while (v != 0) {
      limbs_[size_++] = static_cast<uint32_t>(v % BASE);
      v /= BASE;
    }
  }

  void multiply(uint32_t factor) {
    uint64_t carry = 0;
    for (int32_t i = 0; i < size_; ++i) {
      const uint64_t t = uint64_t{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<uint32_t>(t % BASE);
      carry = t / BASE;
    }
    while (carry != 0) {
      limbs_[size_++] = static_cast<uint32_t>(carry % BASE);
      carry /= BASE;
    }
  }

  // Multiplies by base^count, base being 2 or 5, in steps that fit 32 bits.
  void multiply_power(uint32_t base, int32_t count) {
    const int32_t step = base == 2 ? 31 : 13;
    const uint32_t big = base == 2 ? (1u << 31) : 1220703125u;  // 2^31, 5^13
    for (; count >= step; count -= step) multiply(big);
    uint32_t rest = 1;
    for (; count > 0; --count) rest *= base;
    multiply(rest);
  }

  std::string decimal() const {
    std::string s = std::to_string(limbs_[size_ - 1]);
    for (int32_t i = size_ - 2; i >= 0; --i) {
      const std::string part = std::to_string(limbs_[i]);
      s += std::string(9 - part.size(), '0') + part;
    }
    return s;
  }

 private:
  static constexpr uint32_t BASE = 1000000000;
  std::array<uint32_t, 100> limbs_{};
  int32_t size_ = 0;
};

struct Expansion {
  std::string digits;  // no trailing zeros, "0" for zero
  int32_t exponent = 0;
};

// Rounds all exact digits to at most n half away from zero; strips trailing zeros.
Expansion round_exact(std::string s, int32_t exponent, size_t n) {
  if (s.size() > n) {
    const bool up = s[n] >= '5';
    s.resize(n);
    if (up) {
      int32_t i = static_cast<int32_t>(n) - 1;
      while (i >= 0 && s[size_t(i)] == '9') s[size_t(i--)] = '0';
      if (i < 0) {
        s.insert(s.begin(), '1');
        s.pop_back();
        ++exponent;
      } else {
        ++s[size_t(i)];
      }
    }
  }
  while (s.size() > 1 && s.back() == '0') s.pop_back();
  return {s, exponent};
}

// The exact value significand * 2^binary_exponent, rounded to 17 digits.
Expansion exact_expansion(uint64_t significand, int32_t binary_exponent) {
  if (significand == 0) return {"0", 0};
  BigNumber n(significand);
  int32_t scale = 0;  // the value is n / 10^scale
  if (binary_exponent >= 0) {
    n.multiply_power(2, binary_exponent);
  } else {
    n.multiply_power(5, -binary_exponent);
    scale = -binary_exponent;
  }
  const std::string s = n.decimal();
  return round_exact(s, static_cast<int32_t>(s.size()) - scale, 17);
}

Expansion exact_single(uint32_t bits) {
  const uint32_t biased = (bits >> 23) & 0xFF;
  const uint64_t fraction = bits & 0x7FFFFF;
  if (biased == 0) return exact_expansion(fraction, -149);
  return exact_expansion(fraction | 0x800000, int32_t(biased) - 150);
}

Expansion exact_double(uint64_t bits) {
  const uint32_t biased = (bits >> 52) & 0x7FF;
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  if (biased == 0) return exact_expansion(fraction, -1074);
  return exact_expansion(fraction | (uint64_t{1} << 52), int32_t(biased) - 1075);
}

::testing::AssertionResult form_matches(const DecimalForm& form, const Expansion& exact,
                                        bool negative) {
  const char sign = negative && exact.digits != "0" ? '-' : ' ';
  if (form.finite == 1 && exact.digits == form.digits && exact.exponent == form.exponent &&
      form.sign == sign) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "got " << form.sign << form.digits << " e" << form.exponent << ", exact " << sign
         << exact.digits << " e" << exact.exponent;
}

// The list-directed text of a 4-byte real, built from the exact 17-digit expansion.
std::string expected_list_text(const Expansion& exact, bool negative) {
  if (exact.digits == "0") return "0.000000E+00";
  const bool fixed = exact.exponent > 0 && exact.exponent < 8;
  const Expansion r = round_exact(exact.digits, exact.exponent, 7);
  std::string text = negative ? "-" : "";
  if (fixed) {
    std::string digits = r.digits;
    digits.resize(size_t(r.exponent + 6), '0');
    text += digits.substr(0, size_t(r.exponent)) + "." + digits.substr(size_t(r.exponent));
  } else {
    std::string digits = r.digits;
    digits.resize(7, '0');
    const int32_t x = r.exponent - 1;
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "E%c%02d", x < 0 ? '-' : '+', std::abs(x));
    text += digits.substr(0, 1) + "." + digits.substr(1) + exponent;
  }
  return text;
}

// True when no significant digit beyond the first limit ones is other than '0'.
bool within_digit_limit(const std::string& text, size_t limit) {
  std::string mantissa;
  for (char c : text) {
    if (c == 'E' || c == 'D' || c == ' ') break;
    if (c >= '0' && c <= '9') mantissa += c;
  }
  const size_t first = mantissa.find_first_not_of('0');
  if (first == std::string::npos) return true;
  for (size_t i = first + limit; i < mantissa.size(); ++i) {
    if (mantissa[i] != '0') return false;
  }
  return true;
}

std::string edit_single(const EditDescriptor& desc, uint32_t bits) {
  char out[EDIT_BUFFER_SIZE];
  const int32_t n = edit_real(desc, &bits, 11, out);
  if (n < 0 || n >= EDIT_BUFFER_SIZE) return "<" + std::to_string(n) + ">";
  return std::string(out, size_t(n));
}

EditDescriptor descriptor(uint8_t code, int32_t w, int32_t d, int32_t e, uint8_t sub) {
  EditDescriptor desc;
  desc.w = w;
  desc.d = d;
  desc.e = e;
  desc.code = code;
  desc.sub = sub;
  return desc;
}

// A random F, E or G field of a single-precision value: its shape (digits after the point,
// width of E and G) and its accuracy (the value read back is within half a unit of the
// last digit shown, after the rounding to 17 digits).
::testing::AssertionResult check_field(uint32_t bits, uint8_t code, int32_t d, double value,
                                       int32_t x) {
  const EditDescriptor desc = descriptor(code, 40, d, 2, 255);
  const std::string text = edit_single(desc, bits);
  auto fail = [&](const char* why) {
    return ::testing::AssertionFailure() << why << ": code " << int(code) << " d " << d << " of "
                                         << value << " gave \"" << text << "\"";
  };
  if (text.front() == '<') return fail("marker");
  if (!within_digit_limit(text, SINGLE_DIGIT_LIMIT)) return fail("more than 7 digits");
  const size_t point = text.find('.');
  if (point == std::string::npos) return fail("no point");
  const bool minus = text[0] == '-';
  int32_t shown = 0;  // significant digit positions the field shows
  if (code == DESC_F) {
    const size_t after = text.size() - point - 1;
    if (after != size_t(d)) return fail("digits after the point");
    shown = x + d;
  } else {
    // A G field in F form whose rounding carried into a new digit when it had no digit
    // after the point keeps that digit and ends with the point: one column wider.
    const bool carried = code == DESC_G && point == size_t(d + 1 + (minus ? 1 : 0));
    if (text.size() != size_t(d + 5 + (minus ? 1 : 0) + (carried ? 1 : 0))) return fail("width");
    shown = d;
  }
  const double back = std::strtod(text.c_str(), nullptr);
  if (back == 0.0 && minus) return fail("minus zero");
  const int32_t p = std::min(shown, SINGLE_DIGIT_LIMIT);
  const double bound = 0.5 * std::pow(10.0, x - p) * (1 + 1e-9) + std::pow(10.0, x - 17);
  if (std::fabs(back - value) > bound) return fail("inaccurate");
  return ::testing::AssertionSuccess();
}

TEST(OutputEditingProperty, RandomSinglesExpandExactlyAndRespectTheFields) {
  std::mt19937_64 rng(20240601);
  const uint8_t codes[] = {DESC_F, DESC_E, DESC_G};
  int32_t failures = 0;
  for (int32_t i = 0; i < SINGLE_SAMPLES && failures < 10; ++i) {
    const uint64_t r = rng();
    uint32_t bits = static_cast<uint32_t>(r);
    if (i % 64 == 0) bits &= 0x807FFFFF;  // make denormals common enough
    const bool negative = (bits >> 31) != 0;
    const uint32_t biased = (bits >> 23) & 0xFF;
    if (biased == 0xFF) {
      const std::string text = edit_single(descriptor(DESC_LIST, 15, 6, 2, 0), bits);
      if (text.size() != 13 || text.compare(0, 2, "1#") != 0) {
        ADD_FAILURE() << std::hex << bits << " gave " << text;
        ++failures;
      }
      continue;
    }
    const double value = widen_single(bits);
    const Expansion exact = exact_single(bits);
    const DecimalForm form = decimal_digits(value);
    const ::testing::AssertionResult expansion = form_matches(form, exact, negative);
    if (!expansion) {
      ADD_FAILURE() << std::hex << bits << ": " << expansion.message();
      ++failures;
      continue;
    }
    const std::string list = edit_single(descriptor(DESC_LIST, 15, 6, 2, 0), bits);
    const std::string expected = expected_list_text(exact, negative);
    if (list != expected || list.size() > 15) {
      ADD_FAILURE() << std::hex << bits << ": list-directed \"" << list << "\", expected \""
                    << expected << "\"";
      ++failures;
    }
    if (exact.digits == "0") continue;
    // E and G need a digit after the point to show one (d = 0 is allowed for F only).
    const uint8_t code = codes[(r >> 32) % 3];
    const int32_t d = static_cast<int32_t>((r >> 40) % 12) + (code == DESC_F ? 0 : 1);
    const ::testing::AssertionResult field = check_field(bits, code, d, value, exact.exponent);
    if (!field) {
      ADD_FAILURE() << std::hex << bits << ": " << field.message();
      ++failures;
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(OutputEditingProperty, RandomDoublesExpandExactlyAndRespectTheLimit) {
  std::mt19937_64 rng(7);
  int32_t failures = 0;
  for (int32_t i = 0; i < DOUBLE_SAMPLES && failures < 10; ++i) {
    uint64_t bits = rng();
    if (i % 64 == 0) bits &= 0x800FFFFFFFFFFFFF;
    if (((bits >> 52) & 0x7FF) == 0x7FF) continue;
    const double value = std::bit_cast<double>(bits);
    const Expansion exact = exact_double(bits);
    const ::testing::AssertionResult expansion =
        form_matches(decimal_digits(value), exact, (bits >> 63) != 0);
    if (!expansion) {
      ADD_FAILURE() << std::hex << bits << ": " << expansion.message();
      ++failures;
      continue;
    }
    char out[EDIT_BUFFER_SIZE];
    const int32_t n = edit_real(descriptor(DESC_LIST, 24, 15, 3, 0), &value, 12, out);
    const std::string text(out, size_t(std::max(0, std::min(n, EDIT_VALUE_MAX))));
    if (n > 24 || !within_digit_limit(text, DOUBLE_DIGIT_LIMIT)) {
      ADD_FAILURE() << std::hex << bits << ": list-directed \"" << text << "\"";
      ++failures;
    }
  }
  EXPECT_EQ(failures, 0);
}

// Any descriptor, however odd its parameters, gives a marker or a text that fits the edit
// buffer with its NUL, and writes nothing beyond it.
TEST(OutputEditingProperty, AnyDescriptorStaysInTheBuffer) {
  std::mt19937_64 rng(99);
  const int32_t params[] = {0,    1,      2,         3,  6,  15, 99,   300,  518,     519,      520,
                            4096, 100000, INT32_MAX, -1, -2, -7, -120, -519, -100000, INT32_MIN};
  const uint8_t codes[] = {DESC_LIST, DESC_D, DESC_E, DESC_F, DESC_G, DESC_EXTENDED, DESC_I};
  const uint8_t subs[] = {0, SUB_ES, SUB_EN, SUB_B, SUB_E_LETTER_D, SUB_G_LETTER_D, 255};
  constexpr size_t GUARD = 64;
  char out[EDIT_BUFFER_SIZE + GUARD];
  int32_t failures = 0;
  for (int32_t i = 0; i < 100000 && failures < 10; ++i) {
    EditDescriptor desc;
    auto param = [&] {
      return rng() % 2 ? params[rng() % std::size(params)] : static_cast<int32_t>(rng() % 40);
    };
    desc.w = param();
    desc.d = param();
    desc.e = param();
    desc.k = rng() % 4 == 0 ? param() : 0;
    desc.plus = rng() % 2;
    desc.code = codes[rng() % std::size(codes)];
    desc.sub = subs[rng() % std::size(subs)];
    const uint64_t bits = rng();
    std::memset(out, '#', sizeof out);
    const int32_t n = edit_real(desc, &bits, rng() % 2 ? 11 : 12, out);
    const bool marker = n == EDIT_TOO_LONG || n == EDIT_EXPONENT_OVERFLOW;
    const bool text_ok = n >= 0 && n <= EDIT_VALUE_MAX && out[n] == '\0';
    bool guard_ok = true;
    for (size_t g = EDIT_BUFFER_SIZE; g < sizeof out; ++g) guard_ok = guard_ok && out[g] == '#';
    if (!(marker || text_ok) || !guard_ok) {
      ADD_FAILURE() << "w " << desc.w << " d " << desc.d << " e " << desc.e << " k " << desc.k
                    << " code " << int(desc.code) << " sub " << int(desc.sub) << " gave " << n;
      ++failures;
    }
  }
  EXPECT_EQ(failures, 0);
}

// Exact ties at the 17th digit (significand * 2^-n whose exact expansion has 18 digits)
// are rare among random patterns; walk them directly for singles and doubles.
TEST(OutputEditingProperty, TiesRoundAwayFromZero) {
  int32_t checked = 0;
  int32_t failures = 0;
  for (int32_t n = 1; n <= 25; ++n) {
    uint64_t five_n = 1;
    for (int32_t i = 0; i < n; ++i) five_n *= 5;
    const uint64_t low = (100000000000000000ull + five_n - 1) / five_n;
    const uint64_t high = (1000000000000000000ull - 1) / five_n;
    for (int32_t bits_limit : {24, 53}) {
      const uint64_t top = std::min(high, (uint64_t{1} << bits_limit) - 1);
      if (low > top) continue;
      const uint64_t stride = std::max<uint64_t>(2, ((top - low) / 1000) & ~uint64_t{1});
      for (uint64_t m = low | 1; m <= top && failures < 10; m += stride) {
        if (m % 2 == 0) continue;
        const double value = std::ldexp(static_cast<double>(m), -n);
        const Expansion exact = exact_expansion(m, -n);
        const ::testing::AssertionResult result = form_matches(decimal_digits(value), exact, false);
        const ::testing::AssertionResult negative =
            form_matches(decimal_digits(-value), exact, true);
        if (!result || !negative) {
          ADD_FAILURE() << m << " * 2^-" << n << ": " << result.message() << negative.message();
          ++failures;
        }
        ++checked;
      }
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(checked, 10000);
}

}  // namespace
}  // namespace rtlib
