// Real input conversion against an exact reference: for a million random decimal texts in
// many spellings (exponent letters E, e, D, d, sign-started exponents, points anywhere,
// leading zeros) the stored 8-byte real must equal std::from_chars's double of the same
// digits, and the stored 4-byte real that double rounded to single precision. The texts
// cluster where rounding is hard: near the limits of both formats, halfway between
// adjacent doubles or floats, and at 24 significant digits near a double.
#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "rtlib/edit/edit_buffer.h"
#include "rtlib/edit/edit_descriptor.h"
#include "rtlib/edit/input_conversion.h"
#include "rtlib/io/control_list.h"
#include "rtlib/io/executor.h"
#include "rtlib/io/unit_table.h"

namespace rtlib {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int32_t TEXT_COUNT = 200'000;
#else
constexpr int32_t TEXT_COUNT = 1'000'000;
#endif

constexpr int32_t SIGNIFICANT_DIGITS = 24;

// A decimal number: digits (the first not zero) times 10^exponent.
struct Decimal {
  std::string digits;
  int32_t exponent = 0;
  bool negative = false;
};

enum class Family { Random, NearDouble, NearFloat, DoubleHalfway, FloatHalfway, LongDigits };

class TextMaker {
 public:
  explicit TextMaker(uint64_t seed) : rng_(seed) {}

  int32_t uniform(int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng_);
  }
  bool chance(int32_t percent) { return uniform(0, 99) < percent; }
  char digit(int32_t lo = 0) { return static_cast<char>('0' + uniform(lo, 9)); }

  // Random digits with the leading digit's decimal exponent near an interesting limit.
  Decimal random_decimal(int32_t count) {
    Decimal d;
    d.digits += digit(1);
    while (static_cast<int32_t>(d.digits.size()) < count) d.digits += digit();
    int32_t lead = 0;
    switch (uniform(0, 5)) {
      case 0: lead = uniform(-345, 312); break;
      case 1: lead = uniform(300, 311); break;    // double overflow
      case 2: lead = uniform(-330, -300); break;  // double denormals and zero
      case 3: lead = uniform(35, 41); break;      // single-precision overflow
      case 4: lead = uniform(-48, -35); break;    // single-precision denormals
      default: lead = uniform(-25, 25); break;
    }
    d.exponent = lead - count;
    return d;
  }

  // The digits of value printed in scientific form with precision + 1 digits.
  static Decimal from_double(double value, int32_t precision) {
    char text[64];
    char* end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, precision)
            .ptr;
    Decimal d;
    const char* p = text;
    for (; p < end && *p != 'e'; ++p) {
      if (*p != '.') d.digits += *p;
    }
    int32_t written = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), end, written);
    d.exponent = written - (static_cast<int32_t>(d.digits.size()) - 1);
    return d;
  }

  double random_finite_double() {
    for (;;) {
      // Chosen by bits so that no NaN is ever loaded (a signalling one would trap).
      const uint64_t bits = rng_() & ~(uint64_t{1} << 63);
      if (bits == 0 || (bits >> 52) == 0x7FF) continue;
      double value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
  }
  float random_finite_float() {
    for (;;) {
      const uint32_t bits = static_cast<uint32_t>(rng_()) & 0x7FFFFFFFu;
      if (bits == 0 || (bits >> 23) == 0xFF) continue;
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
  }

  // The exact decimal of the midpoint (2m + 1) * 2^k, or nothing when it needs more than
  // 24 digits. m has the given bits (53 for doubles, 24 for floats).
  bool halfway(int32_t bits, int32_t k_lo, int32_t k_hi, Decimal& d) {
    const uint64_t top = uint64_t{1} << (bits - 1);
    const uint64_t m = top + (rng_() & (top - 1));
    const int32_t k = uniform(k_lo, k_hi);
    unsigned __int128 n = 2 * m + 1;
    int32_t exponent = 0;
    if (k >= 0) {
      n <<= k;
    } else {
      for (int32_t i = 0; i < -k; ++i) n *= 5;
      exponent = k;
    }
    std::string digits;
    for (; n != 0; n /= 10) digits.insert(digits.begin(), static_cast<char>('0' + int(n % 10)));
    while (digits.back() == '0') {
      digits.pop_back();
      ++exponent;
    }
    // Just below or just above the midpoint, when a digit more still fits.
    const int32_t shift = uniform(0, 2);
    if (shift != 0 && digits.size() < SIGNIFICANT_DIGITS) {
      digits += '0';
      --exponent;
      if (shift == 1) {
        digits.back() = '1';
      } else {
        size_t i = digits.size() - 1;  // subtract one: borrow through the zeros
        for (; digits[i] == '0'; --i) digits[i] = '9';
        --digits[i];
        if (digits[0] == '0') digits.erase(0, 1);
      }
    }
    if (digits.size() > SIGNIFICANT_DIGITS) return false;
    ++halfway_made;
    d.digits = digits;
    d.exponent = exponent;
    return true;
  }

  Decimal make(Family family) {
    Decimal d;
    switch (family) {
      case Family::Random: d = random_decimal(uniform(1, SIGNIFICANT_DIGITS)); break;
      case Family::NearDouble: d = from_double(random_finite_double(), uniform(0, 23)); break;
      case Family::NearFloat:
        d = from_double(static_cast<double>(random_finite_float()), uniform(5, 23));
        break;
      case Family::DoubleHalfway:
        if (!halfway(53, -11, 26, d)) d = random_decimal(17);
        break;
      case Family::FloatHalfway:
        if (!halfway(24, -24, 55, d)) d = random_decimal(9);
        break;
      case Family::LongDigits: d = random_decimal(uniform(25, 40)); break;
    }
    while (d.digits.size() > 1 && d.digits.back() == '0') {
      d.digits.pop_back();
      ++d.exponent;
    }
    d.negative = chance(30);
    return d;
  }

  // Spells d in one of the accepted forms.
  std::string spell(const Decimal& d) {
    std::string text;
    if (chance(5)) text += "  ";
    if (d.negative) {
      text += '-';
    } else if (chance(10)) {
      text += '+';
    }
    if (chance(10)) text.append(static_cast<size_t>(uniform(1, 3)), '0');
    const int32_t n = static_cast<int32_t>(d.digits.size());
    const int32_t pos = uniform(-3, n + 3);  // digits before the point
    bool point = true;
    if (pos <= 0) {
      text += chance(50) ? "0." : ".";
      text.append(static_cast<size_t>(-pos), '0');
      text += d.digits;
    } else if (pos < n) {
      text += d.digits.substr(0, static_cast<size_t>(pos));
      text += '.';
      text += d.digits.substr(static_cast<size_t>(pos));
    } else {
      text += d.digits;
      text.append(static_cast<size_t>(pos - n), '0');
      point = chance(50);
      if (point) text += '.';
    }
    if (point && chance(10)) text.append(static_cast<size_t>(uniform(1, 3)), '0');
    const int32_t written = d.exponent + n - pos;
    if (written == 0 && chance(50)) return text;
    const char* sign = written < 0 ? "-" : "+";
    const std::string magnitude = std::to_string(written < 0 ? -written : written);
    switch (uniform(0, 4)) {
      case 0: text += 'E'; break;
      case 1: text += 'e'; break;
      case 2: text += 'D'; break;
      case 3: text += 'd'; break;
      default:  // sign-started exponent: the sign is required
        text += sign;
        return text + magnitude;
    }
    if (written < 0 || chance(50)) text += sign;
    if (chance(10)) text += '0';
    return text + magnitude;
  }

  int32_t halfway_made = 0;  // midpoint texts made (near or exactly halfway)

 private:
  std::mt19937_64 rng_;
};

// The expected outcome, from the first 24 significant digits.
struct Expected {
  bool overflow = false;
  double value = 0.0;
};

Expected reference(const Decimal& d) {
  std::string text = d.digits;
  int32_t exponent = d.exponent;
  if (text.size() > SIGNIFICANT_DIGITS) {
    exponent += static_cast<int32_t>(text.size()) - SIGNIFICANT_DIGITS;
    text.resize(SIGNIFICANT_DIGITS);
  }
  const int32_t lead = exponent + static_cast<int32_t>(text.size());
  text += 'e';
  text += std::to_string(exponent);
  Expected e;
  const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), e.value);
  if (r.ec == std::errc::result_out_of_range) {
    e.overflow = lead > 0;
    e.value = 0.0;
  }
  if (d.negative) e.value = -e.value;
  return e;
}

template <typename T>
bool same_bits(T a, T b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(InputConversionProperty, MatchesCorrectlyRoundedReference) {
  Unit* unit = allocate_unit(0);
  set_unit_name(unit, "test");
  unit->fmt_desc = DESC_F;
  Unit* const saved_unit = exec_state.unit;
  exec_state.unit = unit;
  exec_state.kind = StatementKind::Read;
  alignas(8) uint8_t element[8];

  // Converts text into an element of the type; answers 0 or the error status.
  auto convert = [&](const std::string& text, IoType type) -> int32_t {
    exec_state.item.type = static_cast<int32_t>(type);
    exec_state.item.addr = element;
    exec_state.item.size = type == IoType::Real4 ? 4 : 8;
    std::memcpy(edit_buffer.text, text.data(), text.size());
    RecoveryPoint recovery;
    exec_state.err_branch = true;
    try {
      convert_real_value(edit_buffer.text, static_cast<int32_t>(text.size()));
    } catch (const StatementUnwind& unwind) {
      return unwind.status;
    }
    exec_state.err_branch = false;
    return 0;
  };

  // Programs run with invalid operation, division by zero and overflow trapped: no text,
  // however far out of range, may trap inside the conversion.
  std::fenv_t saved_env;
  std::fegetenv(&saved_env);
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);

  TextMaker maker(20240607);
  constexpr Family FAMILIES[] = {Family::Random,        Family::NearDouble,   Family::NearFloat,
                                 Family::DoubleHalfway, Family::FloatHalfway, Family::LongDigits};
  int32_t failures = 0;
  int32_t checked_in_float_range = 0;
  for (int32_t i = 0; i < TEXT_COUNT && failures < 20; ++i) {
    const Decimal d = maker.make(FAMILIES[i % 6]);
    const std::string text = maker.spell(d);
    ASSERT_LE(text.size(), static_cast<size_t>(EDIT_VALUE_MAX));
    const Expected e = reference(d);

    const int32_t status8 = convert(text, IoType::Real8);
    double stored8 = 0.0;
    std::memcpy(&stored8, element, sizeof stored8);
    const bool ok8 = e.overflow ? status8 == 6102 : status8 == 0 && same_bits(stored8, e.value);

    // The 4-byte range check throws; most out-of-range texts are checked only by the
    // 8-byte conversion to keep the run short.
    bool ok4 = true;
    const bool float_range = !e.overflow && std::fabs(e.value) <= FLT_MAX;
    if (float_range || i % 16 == 0) {
      const int32_t status4 = convert(text, IoType::Real4);
      float stored4 = 0.0f;
      std::memcpy(&stored4, element, sizeof stored4);
      if (e.overflow) {
        ok4 = status4 == 6102;
      } else if (!float_range) {
        ok4 = status4 == 6104;
      } else {
        ok4 = status4 == 0 && same_bits(stored4, static_cast<float>(e.value));
        ++checked_in_float_range;
      }
    }
    if (!ok8 || !ok4) {
      ++failures;
      ADD_FAILURE() << "text \"" << text << "\" digits " << d.digits << " e" << d.exponent
                    << ": 8-byte status " << status8 << " value " << stored8 << " expected "
                    << e.value << (e.overflow ? " (overflow)" : "")
                    << (ok4 ? "" : "; 4-byte wrong");
    }
  }
  std::fesetenv(&saved_env);
  EXPECT_GT(checked_in_float_range, TEXT_COUNT / 4);
  EXPECT_GT(maker.halfway_made, TEXT_COUNT / 5);

  exec_state.unit = saved_unit;
  exec_state.item = CurrentItem{};
  free_unit(unit);
}

}  // namespace
}  // namespace rtlib
