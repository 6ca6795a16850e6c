// Output editors: {value, descriptor -> field text} tables for integers and reals, the
// overflow markers, non-finite values, the decimal expansion and its rounding, and Z, B
// and O editing in both directions.
#include "rtlib/edit/output_editing.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "rtlib/io/executor.h"
#include "rtlib/services/errors.h"
#include "test_support.h"

namespace rtlib {
namespace {

constexpr uint8_t NO_SUB = 255;  // what the format walker leaves in the sub-kind of I, E, F

EditDescriptor make(uint8_t code, int32_t w, int32_t d, int32_t e = 2, int32_t k = 0,
                    uint8_t sub = NO_SUB) {
  EditDescriptor desc;
  desc.w = w;
  desc.d = d;
  desc.e = e;
  desc.k = k;
  desc.code = code;
  desc.sub = sub;
  return desc;
}
EditDescriptor F(int32_t w, int32_t d, int32_t k = 0) { return make(DESC_F, w, d, 2, k); }
EditDescriptor E(int32_t w, int32_t d, int32_t e = 2, int32_t k = 0) {
  return make(DESC_E, w, d, e, k);
}
EditDescriptor D(int32_t w, int32_t d) { return make(DESC_D, w, d); }
EditDescriptor G(int32_t w, int32_t d, int32_t e = 2) { return make(DESC_G, w, d, e); }
EditDescriptor GD(int32_t w, int32_t d) { return make(DESC_G, w, d, 2, 0, SUB_G_LETTER_D); }
EditDescriptor ED(int32_t w, int32_t d) { return make(DESC_EXTENDED, w, d, 2, 0, SUB_E_LETTER_D); }
EditDescriptor ES(int32_t w, int32_t d) { return make(DESC_EXTENDED, w, d, 2, 0, SUB_ES); }
EditDescriptor EN(int32_t w, int32_t d) { return make(DESC_EXTENDED, w, d, 2, 0, SUB_EN); }
EditDescriptor plus(EditDescriptor desc) {
  desc.plus = 1;
  return desc;
}
// The constant descriptors of list-directed output.
const EditDescriptor LIST4 = make(DESC_LIST, 15, 6, 2, 0, 0);
const EditDescriptor LIST8 = make(DESC_LIST, 24, 15, 3, 0, 0);

enum Precision { SINGLE, DOUBLE };

// Edits value as a 4-byte or an 8-byte real item; answers the text, or the marker as
// "<n>" when the answer is not the length of the text written.
std::string edit(const EditDescriptor& desc, double value, Precision precision) {
  char out[EDIT_BUFFER_SIZE];
  std::memset(out, '#', sizeof out);
  int32_t n;
  if (precision == SINGLE) {
    const float f = static_cast<float>(value);
    n = edit_real(desc, &f, 11, out);
  } else {
    n = edit_real(desc, &value, 12, out);
  }
  if (n >= 0 && n < EDIT_BUFFER_SIZE && out[n] == '\0' && std::strlen(out) == size_t(n)) {
    return std::string(out, static_cast<size_t>(n));
  }
  return "<" + std::to_string(n) + ">";
}

struct RealCase {
  const char* name;
  EditDescriptor desc;
  double value;
  Precision precision;
  std::string text;
};

const RealCase REAL_CASES[] = {
    // The worked results.
    {"F6_2_of_1_41421", F(6, 2), 1.41421, SINGLE, "1.41"},
    {"F6_2_of_half_has_no_leading_zero", F(6, 2), 0.5, SINGLE, ".50"},
    {"F6_2_of_minus_0_004_drops_the_minus", F(6, 2), -0.004, SINGLE, ".00"},
    {"F6_2_of_0_006_rounds_up", F(6, 2), 0.006, SINGLE, ".01"},
    {"F6_2_of_123_456", F(6, 2), 123.456, SINGLE, "123.46"},
    {"F6_2_of_1234_5_is_longer_than_w", F(6, 2), 1234.5, SINGLE, "1234.50"},
    {"F5_0_of_0_4", F(5, 0), 0.4, SINGLE, "0."},
    {"F15_10_of_pi_shows_7_digits", F(15, 10), 3.14159, SINGLE, "3.1415900000"},
    {"E10_3_of_1_5", E(10, 3), 1.5, SINGLE, ".150E+01"},
    {"E10_3_scale_1_of_1_5", E(10, 3, 2, 1), 1.5, SINGLE, "1.500E+00"},
    {"G10_3_of_9_9996_carries_in_F_form", G(10, 3), 9.9996, SINGLE, "10.0    "},
    {"ES10_3_of_9_9996_carries_into_exponent", ES(10, 3), 9.9996, SINGLE, "1.000E+01"},
    {"list4_of_1", LIST4, 1.0, SINGLE, "1.000000"},
    {"list4_of_half", LIST4, 0.5, SINGLE, "5.000000E-01"},
    {"list4_of_zero", LIST4, 0.0, SINGLE, "0.000000E+00"},
    {"list4_of_100000", LIST4, 100000.0, SINGLE, "100000.000000"},
    {"list4_of_1e_5", LIST4, 1.0e-5, SINGLE, "1.000000E-05"},
    {"list4_of_pi", LIST4, 3.14159, SINGLE, "3.141590"},
    {"list8_of_1e_5", LIST8, 1.0e-5, DOUBLE, "1.000000000000000E-005"},
    // Zero and the sign.
    {"F6_2_of_zero", F(6, 2), 0.0, SINGLE, ".00"},
    {"F6_2_of_minus_zero", F(6, 2), -0.0, SINGLE, ".00"},
    {"F6_2_of_minus_0_001", F(6, 2), -0.001, SINGLE, ".00"},
    {"F6_2_of_minus_0_0001_too_small_for_a_digit", F(6, 2), -0.0001, SINGLE, ".00"},
    {"F4_0_of_0_2", F(4, 0), 0.2, SINGLE, "0."},
    {"F5_0_of_0_6", F(5, 0), 0.6, SINGLE, "1."},
    {"list4_of_minus_zero", LIST4, -0.0, SINGLE, "0.000000E+00"},
    {"E10_3_of_zero", E(10, 3), 0.0, SINGLE, ".000E+00"},
    {"F6_2_of_minus_2_5", F(6, 2), -2.5, SINGLE, "-2.50"},
    {"list4_of_minus_2_5", LIST4, -2.5, SINGLE, "-2.500000"},
    {"SP_F6_2_of_1_5", plus(F(6, 2)), 1.5, SINGLE, "+1.50"},
    {"SP_F6_2_of_zero", plus(F(6, 2)), 0.0, SINGLE, "+.00"},
    {"SP_F6_2_of_minus_0_001_gets_plus", plus(F(6, 2)), -0.001, SINGLE, "+.00"},
    {"SP_E10_3_of_1_5", plus(E(10, 3)), 1.5, SINGLE, "+.150E+01"},
    // The 7- and 16-digit limits.
    {"list4_of_1234567", LIST4, 1234567.0, SINGLE, "1234567.000000"},
    {"list4_of_123_456", LIST4, 123.456, SINGLE, "123.456000"},
    {"F12_1_of_16777215_rounds_at_7_digits", F(12, 1), 16777215.0, SINGLE, "16777220.0"},
    {"F10_8_of_0_99999994", F(10, 8), 0.99999994, SINGLE, ".99999990"},
    {"F25_20_of_double_0_1", F(25, 20), 0.1, DOUBLE, ".10000000000000000000"},
    {"list8_of_1", LIST8, 1.0, DOUBLE, "1.000000000000000"},
    {"list8_of_one_third", LIST8, 1.0 / 3.0, DOUBLE, "3.333333333333333E-001"},
    {"list8_of_two_thirds", LIST8, 2.0 / 3.0, DOUBLE, "6.666666666666666E-001"},
    // Carries across nines.
    {"F6_2_of_9_999", F(6, 2), 9.999, SINGLE, "10.00"},
    {"E10_3_of_9_9996", E(10, 3), 9.9996, SINGLE, ".100E+02"},
    {"F6_2_of_99_999", F(6, 2), 99.999, SINGLE, "100.00"},
    // The list-directed choice between F and E.
    {"list4_of_9999999_in_F_form", LIST4, 9999999.0, SINGLE, "9999999.000000"},
    {"list4_of_10000000_in_E_form", LIST4, 10000000.0, SINGLE, "1.000000E+07"},
    {"list4_of_0_999_in_E_form", LIST4, 0.999, SINGLE, "9.990000E-01"},
    {"list4_of_largest_single", LIST4, 3.4028234663852886e38, SINGLE, "3.402823E+38"},
    {"list4_of_smallest_denormal", LIST4, 1.401298464324817e-45, SINGLE, "1.401298E-45"},
    {"list8_of_1e300", LIST8, 1.0e300, DOUBLE, "1.000000000000000E+300"},
    // Exponents and their letters.
    {"E12_4_of_1e100_drops_the_letter", E(12, 4), 1.0e100, DOUBLE, ".1000+101"},
    {"E12_4_of_1e_101_drops_the_letter", E(12, 4), 1.0e-101, DOUBLE, ".1000-100"},
    {"E12_4_of_1e98_keeps_the_letter", E(12, 4), 1.0e98, DOUBLE, ".1000E+99"},
    {"E12_4E3_of_1e100", E(12, 4, 3), 1.0e100, DOUBLE, ".1000E+101"},
    {"E10_3E1_of_1e5", E(10, 3, 1), 1.0e5, SINGLE, ".100E+6"},
    {"D10_3_of_1_5", D(10, 3), 1.5, SINGLE, ".150D+01"},
    {"E_with_letter_D_of_1_5", ED(10, 3), 1.5, SINGLE, ".150D+01"},
    {"E_scale_2_of_1_5", E(10, 3, 2, 2), 1.5, SINGLE, "15.00E-01"},
    {"E_scale_minus_1_of_1_5", E(10, 3, 2, -1), 1.5, SINGLE, ".015E+02"},
    {"E10_3_of_minus_1_5", E(10, 3), -1.5, SINGLE, "-.150E+01"},
    // G: F form for 0.1 <= |value| < 10^d, else E form.
    {"G10_3_of_0_5", G(10, 3), 0.5, SINGLE, ".500    "},
    {"G10_3_of_123", G(10, 3), 123.0, SINGLE, "123.    "},
    {"G10_3_of_1234_in_E_form", G(10, 3), 1234.0, SINGLE, ".123E+04"},
    {"G10_3_of_0_05_in_E_form", G(10, 3), 0.05, SINGLE, ".500E-01"},
    {"G10_3E3_of_1_5_has_5_blanks", G(11, 3, 3), 1.5, SINGLE, "1.50     "},
    {"G_with_letter_D_of_12345", GD(10, 3), 12345.0, SINGLE, ".123D+05"},
    {"G10_3_of_zero", G(10, 3), 0.0, SINGLE, ".000    "},
    // ES and EN.
    {"ES10_3_of_zero", ES(10, 3), 0.0, SINGLE, "0.000E+00"},
    {"ES10_3_of_minus_0_00123", ES(10, 3), -0.00123, SINGLE, "-1.230E-03"},
    {"EN12_3_of_12345", EN(12, 3), 12345.0, SINGLE, "12.345E+03"},
    {"EN10_2_of_half", EN(10, 2), 0.5, SINGLE, "500.00E-03"},
    {"EN10_2_of_1_5", EN(10, 2), 1.5, SINGLE, "1.50E+00"},
    {"EN10_1_of_zero", EN(10, 1), 0.0, SINGLE, "0.0E+00"},
    {"EN10_1_of_999_96_renormalised", EN(10, 1), 999.96, SINGLE, "1.0E+03"},
    {"EN10_1_of_9_96_carries", EN(10, 1), 9.96, SINGLE, "10.0E+00"},
    {"EN10_1_of_99_96_carries", EN(10, 1), 99.96, SINGLE, "100.0E+00"},
    // Scale factor with F.
    {"F8_2_scale_2_of_1_5", F(8, 2, 2), 1.5, SINGLE, "150.00"},
    {"F8_3_scale_minus_1_of_1_5", F(8, 3, -1), 1.5, SINGLE, ".150"},
    // A long field that still fits the buffer: the caller fills it with asterisks.
    {"F6_2_of_1e300_is_305_characters", F(6, 2), 1.0e300, DOUBLE,
     "1" + std::string(300, '0') + ".00"},
    // Markers.
    {"E10_3E1_of_1e10_exponent_does_not_fit", E(10, 3, 1), 1.0e10, SINGLE, "<32767>"},
    {"E10_3E0_of_1_exponent_does_not_fit", E(10, 3, 0), 1.0, SINGLE, "<32767>"},
    {"F600_2_of_1_leaves_w_to_the_caller", F(600, 2), 1.0, SINGLE, "1.00"},
    {"F_with_519_fraction_digits", F(600, 519), 1.0, SINGLE, "<520>"},
    {"F_with_518_fraction_digits_fills_the_buffer", F(600, 518), 0.0, SINGLE,
     "." + std::string(518, '0')},
    {"E_with_600_exponent_digits", E(10, 3, 600), 1.0, SINGLE, "<520>"},
    {"F_with_huge_scale", F(10, 2, INT_MAX), 1.0, SINGLE, "<520>"},
    {"F_with_very_negative_scale", F(10, 2, INT_MIN), 1.0, SINGLE, ".00"},
    {"F_with_negative_d", F(10, -5), 1.5, SINGLE, "2."},
    {"G_with_huge_e", G(10, 3, INT_MAX), 1.5, SINGLE, "<520>"},
};

class RealEditing : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealEditing, GivesText) {
  const RealCase& c = GetParam();
  EXPECT_EQ(edit(c.desc, c.value, c.precision), c.text);
}

INSTANTIATE_TEST_SUITE_P(OutputEditing, RealEditing, ::testing::ValuesIn(REAL_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// Non-finite values by their bits.
struct NonFiniteCase {
  const char* name;
  EditDescriptor desc;
  uint64_t bits;  // a 4-byte pattern for SINGLE
  Precision precision;
  std::string text;
};

constexpr uint32_t SINGLE_INF = 0x7F800000;
constexpr uint32_t SINGLE_MINUS_INF = 0xFF800000;
constexpr uint32_t SINGLE_DEFAULT_NAN = 0xFFC00000;  // the NaN of an invalid operation
constexpr uint32_t SINGLE_QNAN = 0x7FC00000;
constexpr uint32_t SINGLE_SNAN = 0x7F800001;

const NonFiniteCase NON_FINITE_CASES[] = {
    {"F6_2_of_inf", F(6, 2), SINGLE_INF, SINGLE, "1#INF."},
    {"F6_2_of_minus_inf", F(6, 2), SINGLE_MINUS_INF, SINGLE, "1#INF."},
    {"F6_2_of_default_nan", F(6, 2), SINGLE_DEFAULT_NAN, SINGLE, "1#IND."},
    {"F4_1_of_inf_is_cut", F(4, 1), SINGLE_INF, SINGLE, "1#IN"},
    {"F8_2_of_quiet_nan", F(8, 2), SINGLE_QNAN, SINGLE, "1#QNAN.."},
    {"F8_2_of_signalling_nan", F(8, 2), SINGLE_SNAN, SINGLE, "1#SNAN.."},
    {"E10_3_of_negative_quiet_nan_with_payload", E(10, 3), 0xFFC00001, SINGLE, "1#QNAN...."},
    {"list4_of_default_nan", LIST4, SINGLE_DEFAULT_NAN, SINGLE, "1#IND........"},
    {"list4_of_inf", LIST4, SINGLE_INF, SINGLE, "1#INF........"},
    {"list4_of_minus_inf", LIST4, SINGLE_MINUS_INF, SINGLE, "1#INF........"},
    {"list8_of_default_nan", LIST8, 0xFFF8000000000000, DOUBLE, "1#IND" + std::string(17, '.')},
    {"F8_2_of_double_signalling_nan", F(8, 2), 0x7FF0000000000001, DOUBLE, "1#SNAN.."},
    {"F0_2_of_inf_writes_nothing", F(0, 2), SINGLE_INF, SINGLE, ""},
    {"F600_2_of_inf_does_not_fit", F(600, 2), SINGLE_INF, SINGLE, "<520>"},
};

class NonFiniteEditing : public ::testing::TestWithParam<NonFiniteCase> {};

TEST_P(NonFiniteEditing, GivesText) {
  const NonFiniteCase& c = GetParam();
  char out[EDIT_BUFFER_SIZE];
  int32_t n;
  if (c.precision == SINGLE) {
    const uint32_t bits = static_cast<uint32_t>(c.bits);
    n = edit_real(c.desc, &bits, 11, out);
  } else {
    n = edit_real(c.desc, &c.bits, 12, out);
  }
  const std::string text = n < EDIT_BUFFER_SIZE ? std::string(out, size_t(n)) : "<520>";
  EXPECT_EQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(OutputEditing, NonFiniteEditing, ::testing::ValuesIn(NON_FINITE_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// Complex items are edited one part at a time with their part's precision.
TEST(OutputEditing, ComplexPartsUseTheirPrecision) {
  char out[EDIT_BUFFER_SIZE];
  const float single_part = 3.14159265f;
  const double double_part = 3.14159265358979;
  ASSERT_EQ(edit_real(LIST4, &single_part, 14, out), 8);
  EXPECT_STREQ(out, "3.141593");
  ASSERT_EQ(edit_real(LIST8, &double_part, 15, out), 17);
  EXPECT_STREQ(out, "3.141592653589790");
}

struct IntegerCase {
  const char* name;
  int32_t value;
  int32_t m;
  uint8_t plus;
  const char* text;
};

const IntegerCase INTEGER_CASES[] = {
    {"I4_of_zero", 0, 1, 0, "0"},
    {"I4_0_of_zero_is_empty", 0, 0, 0, ""},
    {"SP_I4_0_of_zero_is_empty", 0, 0, 1, ""},
    {"SP_I4_of_zero", 0, 1, 1, "+0"},
    {"SP_I4_of_5", 5, 1, 1, "+5"},
    {"SP_I4_of_minus_5", -5, 1, 1, "-5"},
    {"I4_of_12345_is_longer_than_w", 12345, 1, 0, "12345"},
    {"I11_of_most_negative", INT_MIN, 1, 0, "-2147483648"},
    {"I11_of_most_positive", INT_MAX, 1, 0, "2147483647"},
    {"I5_3_of_minus_7", -7, 3, 0, "-007"},
    {"I8_6_of_42", 42, 6, 0, "000042"},
    {"I4_2_of_12345_ignores_m", 12345, 2, 0, "12345"},
    {"negative_m_counts_as_0", 0, -3, 0, ""},
    {"m_of_600_does_not_fit", 1, 600, 0, "<520>"},
};

class IntegerEditing : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerEditing, GivesText) {
  const IntegerCase& c = GetParam();
  EditDescriptor desc = make(DESC_I, 4, c.m);
  desc.plus = c.plus;
  char out[EDIT_BUFFER_SIZE];
  const int32_t n = edit_integer(c.value, desc, out);
  const std::string text = n < EDIT_BUFFER_SIZE ? std::string(out, size_t(n)) : "<520>";
  EXPECT_EQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(OutputEditing, IntegerEditing, ::testing::ValuesIn(INTEGER_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

struct ExpansionCase {
  const char* name;
  uint64_t bits;
  char sign;
  int32_t exponent;
  int32_t finite;
  const char* digits;
};

uint64_t bits_of(double v) { return std::bit_cast<uint64_t>(v); }

const ExpansionCase EXPANSION_CASES[] = {
    {"one", bits_of(1.0), ' ', 1, 1, "1"},
    {"five_hundredths", bits_of(0.05), ' ', -1, 1, "50000000000000003"},
    {"tenth_shows_its_binary_error", bits_of(0.1), ' ', 0, 1, "10000000000000001"},
    {"1e23_rounds_up_at_17", bits_of(1e23), ' ', 23, 1, "99999999999999992"},
    // 2^-25 = 2.98023223876953125e-8: an exact tie at the 17th digit goes away from zero.
    {"tie_2_to_minus_25", bits_of(0x1p-25), ' ', -7, 1, "29802322387695313"},
    {"negative_tie", bits_of(-0x1p-25), '-', -7, 1, "29802322387695313"},
    {"tie_3_times_2_to_minus_25", bits_of(0x3p-25), ' ', -7, 1, "89406967163085938"},
    {"zero", bits_of(0.0), ' ', 0, 1, "0"},
    {"minus_zero", bits_of(-0.0), ' ', 0, 1, "0"},
    {"smallest_denormal", 1, ' ', -323, 1, "49406564584124654"},
    {"largest_double", 0x7FEFFFFFFFFFFFFF, ' ', 309, 1, "17976931348623157"},
    {"minus_two", bits_of(-2.0), '-', 1, 1, "2"},
    {"inf", 0x7FF0000000000000, ' ', 1, 0, "1#INF"},
    {"minus_inf", 0xFFF0000000000000, '-', 1, 0, "1#INF"},
    {"signalling_nan", 0x7FF0000000000001, ' ', 1, 0, "1#SNAN"},
    {"default_nan", 0xFFF8000000000000, '-', 1, 0, "1#IND"},
    {"positive_default_pattern_is_quiet_nan", 0x7FF8000000000000, ' ', 1, 0, "1#QNAN"},
    {"negative_quiet_nan_with_payload", 0xFFF8000000000001, '-', 1, 0, "1#QNAN"},
};

class DecimalExpansion : public ::testing::TestWithParam<ExpansionCase> {};

TEST_P(DecimalExpansion, GivesForm) {
  const ExpansionCase& c = GetParam();
  const DecimalForm form = decimal_digits(std::bit_cast<double>(c.bits));
  EXPECT_EQ(form.sign, c.sign);
  EXPECT_EQ(form.exponent, c.exponent);
  EXPECT_EQ(form.finite, c.finite);
  EXPECT_STREQ(form.digits, c.digits);
}

INSTANTIATE_TEST_SUITE_P(OutputEditing, DecimalExpansion, ::testing::ValuesIn(EXPANSION_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

struct RoundCase {
  const char* name;
  const char* digits;
  int32_t exponent;
  char sign;
  int32_t position;
  const char* result;
  int32_t result_exponent;
  char result_sign;
  int32_t carry;
};

const RoundCase ROUND_CASES[] = {
    {"short_string_unchanged", "15", 1, '-', 3, "15", 1, '-', 0},
    {"cut_below_five", "1234", 1, ' ', 2, "12", 1, ' ', 0},
    {"five_rounds_up", "125", 1, ' ', 2, "13", 1, ' ', 0},
    {"carry_stops_at_a_digit_below_nine", "19996", 1, ' ', 3, "200", 1, ' ', 0},
    {"all_nines_make_a_new_digit", "99996", 1, ' ', 4, "10000", 2, ' ', 1},
    {"position_0_rounding_up", "6", -2, ' ', 0, "1", -2, ' ', 1},
    {"position_0_rounding_down_drops_minus", "4", -2, '-', 0, "", -2, ' ', 0},
    {"negative_keeps_minus", "46", 0, '-', 1, "5", 0, '-', 0},
    {"negative_position_counts_as_0", "7", 3, ' ', -2, "1", 3, ' ', 1},
    {"eighteen_digits", "999999999999999995", 5, ' ', 17, "100000000000000000", 6, ' ', 1},
};

class DigitRounding : public ::testing::TestWithParam<RoundCase> {};

TEST_P(DigitRounding, GivesDigits) {
  const RoundCase& c = GetParam();
  DecimalForm form;
  std::strcpy(form.digits, c.digits);
  form.exponent = c.exponent;
  form.sign = c.sign;
  EXPECT_EQ(round_digits(form, c.position), c.carry);
  EXPECT_STREQ(form.digits, c.result);
  EXPECT_EQ(form.exponent, c.result_exponent);
  EXPECT_EQ(form.sign, c.result_sign);
}

INSTANTIATE_TEST_SUITE_P(OutputEditing, DigitRounding, ::testing::ValuesIn(ROUND_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// Z, B and O.
using RadixEditor = int32_t (*)(EditDescriptor&, void*, int32_t, bool, EditDirection, char*,
                                int32_t);

struct RadixOutputCase {
  const char* name;
  RadixEditor editor;
  std::vector<uint8_t> bytes;  // storage order
  bool is_character;
  int32_t w;
  int32_t m;
  const char* text;
  int32_t w_after;
  int32_t m_after;
};

const RadixOutputCase RADIX_OUTPUT_CASES[] = {
    {"Z8_of_255", edit_hex, {0xFF, 0, 0, 0}, false, 8, 0, "FF", 8, 2},
    {"Z_default_of_minus_1", edit_hex, {0xFF, 0xFF, 0xFF, 0xFF}, false, 0, 0, "FFFFFFFF", 8, 8},
    {"Z4_drops_high_digits", edit_hex, {0x78, 0x56, 0x34, 0x12}, false, 4, 0, "5678", 4, 4},
    {"Z8_6_pads_to_m", edit_hex, {0x1F, 0, 0, 0}, false, 8, 6, "00001F", 8, 6},
    {"Z10_10_pads_beyond_the_item", edit_hex, {0x1F, 0}, false, 10, 10, "000000001F", 10, 10},
    {"Z4_of_zero", edit_hex, {0, 0, 0, 0}, false, 4, 0, "0", 4, 1},
    {"Z_real8", edit_hex, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}, false, 0, 0, "3FF0000000000000", 16, 16},
    {"Z_of_numeric_bytes_from_the_last", edit_hex, {0x01, 0x02}, false, 4, 0, "201", 4, 3},
    {"Z_of_character_in_storage_order", edit_hex, {0x01, 0x02}, true, 4, 0, "102", 4, 3},
    {"Z_of_character_AB", edit_hex, {'A', 'B'}, true, 0, 0, "4142", 4, 4},
    {"B8_of_5", edit_binary, {5}, false, 8, 0, "101", 8, 3},
    {"B_default_width", edit_binary, {5}, false, 0, 0, "101", 8, 3},
    {"B3_of_255_keeps_the_last_3", edit_binary, {0xFF}, false, 3, 0, "111", 3, 3},
    {"O_of_8", edit_octal, {8, 0, 0, 0}, false, 12, 0, "10", 12, 2},
    {"O_of_minus_1", edit_octal, {0xFF, 0xFF, 0xFF, 0xFF}, false, 0, 0, "37777777777", 12, 11},
    {"O_of_byte_255", edit_octal, {0xFF}, false, 3, 0, "377", 3, 3},
    {"O_of_5_bytes", edit_octal, {0, 0, 0, 0, 0x80}, false, 0, 0, "10000000000000", 15, 14},
    {"Z_large_m_does_not_fit", edit_hex, {1}, false, 2, 600, "<520>", 2, 600},
};

class RadixOutput : public ::testing::TestWithParam<RadixOutputCase> {};

TEST_P(RadixOutput, GivesDigits) {
  const RadixOutputCase& c = GetParam();
  std::vector<uint8_t> item = c.bytes;
  EditDescriptor desc = make(DESC_Z, c.w, c.m);
  char out[EDIT_BUFFER_SIZE];
  const int32_t n = c.editor(desc, item.data(), static_cast<int32_t>(item.size()), c.is_character,
                             EditDirection::Output, out, 0);
  const std::string text = n < EDIT_BUFFER_SIZE ? std::string(out, size_t(n)) : "<520>";
  EXPECT_EQ(text, c.text);
  if (n < EDIT_BUFFER_SIZE) {
    EXPECT_EQ(out[n], '\0');
  }
  EXPECT_EQ(desc.w, c.w_after);
  EXPECT_EQ(desc.d, c.m_after);
  EXPECT_EQ(item, c.bytes) << "output must leave the item alone";
}

INSTANTIATE_TEST_SUITE_P(OutputEditing, RadixOutput, ::testing::ValuesIn(RADIX_OUTPUT_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OutputEditing, LongCharacterItemUsesTheWholeBuffer) {
  std::vector<uint8_t> item(300, 0xAB);
  EditDescriptor desc = make(DESC_Z, 0, 0);
  char out[EDIT_BUFFER_SIZE];
  const int32_t n = edit_hex(desc, item.data(), 300, true, EditDirection::Output, out, 0);
  EXPECT_EQ(n, EDIT_VALUE_MAX);
  EXPECT_EQ(desc.w, EDIT_VALUE_MAX);
  EXPECT_EQ(out[0], 'B');  // the last 519 of 600 digits: starts in the middle of a byte
  EXPECT_EQ(out[n - 1], 'B');
}

struct RadixInputCase {
  const char* name;
  RadixEditor editor;
  const char* text;
  size_t size;
  bool is_character;
  int32_t error_code;           // 0: stored
  std::vector<uint8_t> result;  // storage order, when stored
};

const RadixInputCase RADIX_INPUT_CASES[] = {
    {"Z_FF", edit_hex, "FF", 4, false, 0, {0xFF, 0, 0, 0}},
    {"Z_lowercase", edit_hex, "aBc", 4, false, 0, {0xBC, 0x0A, 0, 0}},
    {"Z_long_field_keeps_last_ones", edit_hex, "123456789", 4, false, 0, {0x89, 0x67, 0x45, 0x23}},
    {"Z_empty_is_zero", edit_hex, "", 4, false, 0, {0, 0, 0, 0}},
    {"Z_character_item_in_storage_order", edit_hex, "4142", 2, true, 0, {'A', 'B'}},
    {"Z_short_text_into_character_item", edit_hex, "41", 2, true, 0, {0, 'A'}},
    {"B_101", edit_binary, "101", 1, false, 0, {5}},
    {"B_more_than_8_digits", edit_binary, "100000001", 1, false, 0, {1}},
    {"O_777_drops_the_ninth_bit", edit_octal, "777", 1, false, 0, {0xFF}},
    {"O_all_ones", edit_octal, "37777777777", 4, false, 0, {0xFF, 0xFF, 0xFF, 0xFF}},
    {"O_into_2_bytes", edit_octal, "177777", 2, false, 0, {0xFF, 0xFF}},
    {"Z_bad_letter", edit_hex, "1G", 4, false, 82, {}},
    {"Z_blank", edit_hex, "1 2", 4, false, 82, {}},
    {"Z_sign", edit_hex, "-1", 4, false, 82, {}},
    {"B_digit_2", edit_binary, "102", 4, false, 216, {}},
    {"O_digit_8", edit_octal, "18", 4, false, 217, {}},
    {"O_bad_digit_in_dropped_part", edit_octal, "9000000000000", 4, false, 217, {}},
};

class RadixInput : public ::testing::TestWithParam<RadixInputCase> {
 protected:
  void SetUp() override {
    test::start_library();
    exec_state.kind = StatementKind::Read;
  }
  void TearDown() override { exec_state.err_branch = false; }
};

TEST_P(RadixInput, StoresOrRaises) {
  const RadixInputCase& c = GetParam();
  std::vector<uint8_t> item(c.size, 0x5A);
  std::string text = c.text;
  EditDescriptor desc = make(DESC_Z, 0, 0);
  int32_t status = 0;
  {
    RecoveryPoint recovery;
    exec_state.err_branch = true;
    try {
      c.editor(desc, item.data(), static_cast<int32_t>(c.size), c.is_character,
               EditDirection::Input, text.data(), static_cast<int32_t>(text.size()));
    } catch (const StatementUnwind& unwind) {
      status = unwind.status;
    }
  }
  if (c.error_code == 0) {
    EXPECT_EQ(status, 0);
    EXPECT_EQ(item, c.result);
  } else {
    EXPECT_EQ(status, error_number(c.error_code));
    EXPECT_EQ(item, std::vector<uint8_t>(c.size, 0x5A)) << "a bad field leaves the item alone";
  }
}

INSTANTIATE_TEST_SUITE_P(OutputEditing, RadixInput, ::testing::ValuesIn(RADIX_INPUT_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// Output of what input stored gives back the digits, for every radix and item size.
TEST(OutputEditing, RadixRoundTrip) {
  struct Radix {
    RadixEditor editor;
    const char* text;
  } radixes[] = {{edit_hex, "1F2E3D4C5B6A7988"},
                 {edit_binary, "1011001110001111"},
                 {edit_octal, "1234567012345670"}};
  for (const Radix& r : radixes) {
    for (int32_t size : {1, 2, 4, 8}) {
      uint8_t item[8] = {};
      EditDescriptor desc = make(DESC_Z, 0, 0);
      std::string text = r.text;
      r.editor(desc, item, size, false, EditDirection::Input, text.data(), int32_t(text.size()));
      char out[EDIT_BUFFER_SIZE];
      const int32_t n = r.editor(desc, item, size, false, EditDirection::Output, out, 0);
      // The digits that fit the item come back (less any bits above the item for O).
      uint8_t again[8] = {};
      EditDescriptor desc2 = make(DESC_Z, 0, 0);
      r.editor(desc2, again, size, false, EditDirection::Input, out, n);
      EXPECT_EQ(std::memcmp(item, again, 8), 0) << r.text << " size " << size;
    }
  }
}

}  // namespace
}  // namespace rtlib
