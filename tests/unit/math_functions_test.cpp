// Tests of the elemental functions and the floating-point environment: the case tables of
// SQRT and x**y (results and error kinds), the entries' results and the environment they
// leave behind, the trapping environment set at start-up, the signal-code mapping, and
// the error decision's reports (which end the process: death tests).
#include "rtlib/intrinsics/math_functions.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "rtlib/intrinsics/fp_env.h"
#include "rtlib/io/handles.h"
#include "rtlib/rtlib.h"

namespace rtlib {
namespace {

constexpr long double INF = std::numeric_limits<long double>::infinity();
const long double NAN_LD = std::numeric_limits<long double>::quiet_NaN();

// What a row expects of a result.
enum class Expect {
  Value,       // equal to the value, with the same sign (so -0 differs from +0)
  AnyNaN,      // some NaN
  DefaultNaN,  // the x87 default NaN exactly
};

struct Expected {
  Expect how;
  long double value;
};

Expected value(long double v) { return {Expect::Value, v}; }
const Expected ANY_NAN{Expect::AnyNaN, 0.0L};
const Expected DEFAULT_NAN{Expect::DefaultNaN, 0.0L};

bool same_bits(long double a, long double b) {
  return std::memcmp(&a, &b, 10) == 0;  // the 80 bits of the value, not the padding
}

// "" when the result meets the expectation; otherwise what went wrong.
std::string check(const Expected& expected, long double result) {
  switch (expected.how) {
    case Expect::AnyNaN: return std::isnan(result) ? "" : "not a NaN: " + std::to_string(result);
    case Expect::DefaultNaN: return same_bits(result, default_nan()) ? "" : "not the default NaN";
    case Expect::Value:
      if (std::isnan(result)) return "NaN";
      if (result != expected.value || std::signbit(result) != std::signbit(expected.value)) {
        char text[96];
        std::snprintf(text, sizeof text, "got %.21Lg, expected %.21Lg", result, expected.value);
        return text;
      }
      return "";
  }
  return "bad row";
}

// The x87 control word and MXCSR as they stand.
uint16_t control_word() {
  uint16_t word;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}
uint32_t mxcsr() {
  uint32_t value;
  asm volatile("stmxcsr %0" : "=m"(value));
  return value;
}
void set_control_word(uint16_t word) { asm volatile("fldcw %0" ::"m"(word)); }

struct SqrtRow {
  const char* name;
  long double x;
  Expected result;
  MathErrorKind kind;
};

TEST(MathSqrtCases, EveryArgumentClass) {
  const SqrtRow rows[] = {
      {"four", 4.0L, value(2.0L), MathErrorKind::None},
      {"quarter", 0.25L, value(0.5L), MathErrorKind::None},
      {"plus zero", 0.0L, value(0.0L), MathErrorKind::None},
      {"minus zero", -0.0L, value(-0.0L), MathErrorKind::None},
      {"plus infinity", INF, value(INF), MathErrorKind::None},
      {"negative", -4.0L, DEFAULT_NAN, MathErrorKind::Domain},
      {"tiny negative", -1.0e-4000L, DEFAULT_NAN, MathErrorKind::Domain},
      {"minus infinity", -INF, DEFAULT_NAN, MathErrorKind::Domain},
      {"NaN", NAN_LD, ANY_NAN, MathErrorKind::Domain},
  };
  for (const SqrtRow& row : rows) {
    const MathOutcome outcome = sqrt_cases(row.x);
    EXPECT_EQ(check(row.result, outcome.result), "") << row.name;
    EXPECT_EQ(outcome.kind, row.kind) << row.name;
  }
}

TEST(MathSqrtEntry, ResultsWithoutError) {
  const SqrtRow rows[] = {
      {"four", 4.0L, value(2.0L), MathErrorKind::None},
      {"plus zero", 0.0L, value(0.0L), MathErrorKind::None},
      {"minus zero", -0.0L, value(-0.0L), MathErrorKind::None},
      {"plus infinity", INF, value(INF), MathErrorKind::None},
      // Rounded to double precision, not extended.
      {"two", 2.0L, value(static_cast<long double>(std::sqrt(2.0))), MathErrorKind::None},
      {"1e-300", 1.0e-300L, value(static_cast<long double>(std::sqrt(1.0e-300))),
       MathErrorKind::None},
  };
  for (const SqrtRow& row : rows) {
    EXPECT_EQ(check(row.result, math_sqrt(row.x)), "") << row.name;
  }
}

TEST(MathSqrtEntry, ExtendedArgumentGivesDoublePrecisionRoot) {
  const long double x = 3.0L + 0x1p-60L;  // not a double
  const long double root = math_sqrt(x);
  EXPECT_EQ(static_cast<long double>(static_cast<double>(root)), root);
  EXPECT_NEAR(static_cast<double>(root), std::sqrt(3.0), 1e-15);
}

struct PowRow {
  const char* name;
  long double x;
  long double y;
  Expected result;
  MathErrorKind kind;
};

// The x**y table, one row per case of every argument-class pair, plus the computed cases.
const PowRow POW_ROWS[] = {
    // Zero exponent.
    {"5**0", 5.0L, 0.0L, value(1.0L), MathErrorKind::None},
    {"5**-0", 5.0L, -0.0L, value(1.0L), MathErrorKind::None},
    {"0**0", 0.0L, 0.0L, value(1.0L), MathErrorKind::None},
    {"-0**0", -0.0L, 0.0L, value(1.0L), MathErrorKind::None},
    {"inf**0", INF, 0.0L, value(1.0L), MathErrorKind::None},
    {"-inf**0", -INF, 0.0L, value(1.0L), MathErrorKind::None},
    // Zero base.
    {"0**2", 0.0L, 2.0L, value(0.0L), MathErrorKind::None},
    {"0**0.5", 0.0L, 0.5L, value(0.0L), MathErrorKind::None},
    {"-0**3", -0.0L, 3.0L, value(-0.0L), MathErrorKind::None},
    {"-0**2", -0.0L, 2.0L, value(0.0L), MathErrorKind::None},
    {"0**-1", 0.0L, -1.0L, value(INF), MathErrorKind::Sing},
    {"-0**-1", -0.0L, -1.0L, value(-INF), MathErrorKind::Sing},
    {"-0**-2", -0.0L, -2.0L, value(INF), MathErrorKind::Sing},
    {"-0**-0.5", -0.0L, -0.5L, value(INF), MathErrorKind::Sing},
    // NaN arguments come before every other case.
    {"NaN**2", NAN_LD, 2.0L, ANY_NAN, MathErrorKind::Domain},
    {"2**NaN", 2.0L, NAN_LD, ANY_NAN, MathErrorKind::Domain},
    {"NaN**0", NAN_LD, 0.0L, ANY_NAN, MathErrorKind::Domain},
    {"1**NaN", 1.0L, NAN_LD, ANY_NAN, MathErrorKind::Domain},
    // Infinite exponent.
    {"2**inf", 2.0L, INF, value(INF), MathErrorKind::None},
    {"-2**inf", -2.0L, INF, value(INF), MathErrorKind::None},
    {"inf**inf", INF, INF, value(INF), MathErrorKind::None},
    {"0.5**inf", 0.5L, INF, value(0.0L), MathErrorKind::None},
    {"0**inf", 0.0L, INF, value(0.0L), MathErrorKind::None},
    {"2**-inf", 2.0L, -INF, value(0.0L), MathErrorKind::None},
    {"-inf**-inf", -INF, -INF, value(0.0L), MathErrorKind::None},
    {"0.5**-inf", 0.5L, -INF, value(INF), MathErrorKind::None},
    {"-0.5**-inf", -0.5L, -INF, value(INF), MathErrorKind::None},
    {"0**-inf", 0.0L, -INF, value(INF), MathErrorKind::None},
    {"1**inf", 1.0L, INF, DEFAULT_NAN, MathErrorKind::Domain},
    {"-1**-inf", -1.0L, -INF, DEFAULT_NAN, MathErrorKind::Domain},
    // Infinite base.
    {"inf**2.5", INF, 2.5L, value(INF), MathErrorKind::None},
    {"inf**-2", INF, -2.0L, value(0.0L), MathErrorKind::None},
    {"-inf**3", -INF, 3.0L, value(-INF), MathErrorKind::None},
    {"-inf**2", -INF, 2.0L, value(INF), MathErrorKind::None},
    {"-inf**0.5", -INF, 0.5L, value(INF), MathErrorKind::None},
    {"-inf**-3", -INF, -3.0L, value(-0.0L), MathErrorKind::None},
    {"-inf**-2", -INF, -2.0L, value(0.0L), MathErrorKind::None},
    // Finite non-zero base and exponent.
    {"-3**2", -3.0L, 2.0L, value(9.0L), MathErrorKind::None},
    {"-2**3", -2.0L, 3.0L, value(-8.0L), MathErrorKind::None},
    {"-2**-1", -2.0L, -1.0L, value(-0.5L), MathErrorKind::None},
    {"2**10", 2.0L, 10.0L, value(1024.0L), MathErrorKind::None},
    {"-1**1e30", -1.0L, 1.0e30L, value(1.0L), MathErrorKind::None},
    {"-4**0.5", -4.0L, 0.5L, DEFAULT_NAN, MathErrorKind::Domain},
    {"-8**(1/3)", -8.0L, 1.0L / 3.0L, DEFAULT_NAN, MathErrorKind::Domain},
    {"1e200**2", 1.0e200L, 2.0L, value(INF), MathErrorKind::Overflow},
    {"-1e200**3", -1.0e200L, 3.0L, value(-INF), MathErrorKind::Overflow},
    {"2**40000", 2.0L, 40000.0L, value(INF), MathErrorKind::Overflow},
    {"-2**40001", -2.0L, 40001.0L, value(-INF), MathErrorKind::Overflow},
    {"1e-200**2", 1.0e-200L, 2.0L, value(0.0L), MathErrorKind::Underflow},
    {"2**-40000", 2.0L, -40000.0L, value(0.0L), MathErrorKind::Underflow},
    {"2**-1074", 2.0L, -1074.0L, value(0x1p-1074L), MathErrorKind::Underflow},
};

TEST(MathPowCases, EveryArgumentClassPair) {
  set_control_word(X87_FUNCTION_WORD);  // the word the entry computes under
  for (const PowRow& row : POW_ROWS) {
    const MathOutcome outcome = pow_cases(row.x, row.y);
    EXPECT_EQ(check(row.result, outcome.result), "") << row.name;
    EXPECT_EQ(outcome.kind, row.kind) << row.name;
  }
}

// The entry returns what the table gives for every row that reports nothing (an ignored
// underflow included).
TEST(MathPowEntry, ResultsWithoutReport) {
  for (const PowRow& row : POW_ROWS) {
    if (row.kind != MathErrorKind::None && row.kind != MathErrorKind::Underflow) continue;
    EXPECT_EQ(check(row.result, math_pow(row.x, row.y)), "") << row.name;
  }
}

// The computed power, rounded as a caller stores it, is the exact value wherever that is
// representable.
TEST(MathPowEntry, ComputedPowersRoundToExactValues) {
  struct Row {
    double x, y, expected;
  };
  const Row rows[] = {
      {10.0, 2.0, 100.0},
      {1.5, 2.0, 2.25},
      {3.0, 5.0, 243.0},
      {7.0, 2.0, 49.0},
      {0.1f, 2.0, 0.1f * static_cast<double>(0.1f)},
      {1.0e20, 2.0, 1.0e40},
      {2.0, 0.5, std::sqrt(2.0)},
      {16.0, 0.25, 2.0},
      {10.0, -3.0, 1.0e-3},
      {-10.0, 5.0, -1.0e5},
  };
  for (const Row& row : rows) {
    const double result = static_cast<double>(math_pow(row.x, row.y));
    EXPECT_NEAR(result, row.expected, std::fabs(row.expected) * 2e-16) << row.x << "**" << row.y;
  }
  // Squares of 4-byte reals are exact in double precision.
  for (float x : {1.1f, 3.3f, 12.34f, 99.99f, -7.25f}) {
    const float stored = static_cast<float>(math_pow(x, 2.0L));
    EXPECT_EQ(static_cast<double>(math_pow(x, 2.0L)), static_cast<double>(x) * x) << x;
    EXPECT_EQ(stored, static_cast<float>(static_cast<double>(x) * x)) << x;
  }
}

class FpEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    fp_state.reset();
    set_control_word(0x037F);  // the process's initial word
  }
  // Back to the process's initial environment: everything masked, 64-bit precision.
  void TearDown() override {
    fedisableexcept(FE_ALL_EXCEPT);
    set_control_word(0x037F);
    std::feclearexcept(FE_ALL_EXCEPT);
  }
};

TEST_F(FpEnvironment, InitSetsTheTrappingEnvironmentAndHandler) {
  fp_init();
  const uint16_t word = control_word();
  const uint32_t sse = mxcsr();
  fedisableexcept(FE_ALL_EXCEPT);
  // 0x02F2; bit 7 reads back as 0 on current processors.
  EXPECT_EQ(word & ~X87_RESERVED_BITS, 0x0232);
  EXPECT_EQ(fp_state.program_control_word, 0x02F2);
  EXPECT_EQ(sse & MXCSR_ALL_MASKS, 0x1900u) << "invalid, zero divide and overflow unmasked";
  EXPECT_EQ(sse & MXCSR_ROUNDING_FIELD, 0u);
  struct sigaction action;
  ASSERT_EQ(sigaction(SIGFPE, nullptr, &action), 0);
  EXPECT_TRUE(action.sa_flags & SA_SIGINFO);
  EXPECT_TRUE(fp_state.handler_installed);
}

// Every entry, with or without an ignored error, hands the program's environment back
// unchanged, marker cleared, with no trapped flag left pending.
TEST_F(FpEnvironment, EntriesRestoreTheProgramEnvironment) {
  struct Call {
    const char* name;
    long double (*run)();
  };
  const Call calls[] = {
      {"pow computed", [] { return math_pow(3.0L, 7.5L); }},
      {"pow underflow", [] { return math_pow(1.0e-200L, 2.0L); }},
      {"pow special", [] { return math_pow(-INF, 3.0L); }},
      {"sqrt", [] { return math_sqrt(2.0L); }},
      {"sqrt zero", [] { return math_sqrt(-0.0L); }},
  };
  for (const Call& call : calls) {
    fp_init();
    const uint16_t word_before = control_word();
    const uint32_t sse_before = mxcsr();
    volatile long double result = call.run();
    (void)result;
    const uint16_t word_after = control_word();
    const uint32_t sse_after = mxcsr();
    const int pending = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    fedisableexcept(FE_ALL_EXCEPT);
    EXPECT_EQ(word_after, word_before) << call.name;
    EXPECT_EQ(sse_after, sse_before) << call.name;
    EXPECT_EQ(pending, 0) << call.name;
    EXPECT_EQ(fp_state.current_intrinsic, 0) << call.name;
  }
}

// A trap that arrives while a function's marker is set is absorbed: the faulting operation
// completes with the masked response instead of ending the program.
TEST_F(FpEnvironment, TrapWhileAFunctionRunsIsAbsorbed) {
  volatile double zero = 0.0;
  volatile double huge = 1.0e300;
  volatile float narrowed = 0.0f;
  fp_init();
  fp_state.current_intrinsic = static_cast<int32_t>(MathFunction::Pow);
  volatile double sse_result = zero / zero;  // SSE: precise trap at the division
  // x87: the store overflows; the pending exception arrives at the wait.
  const long double wide = static_cast<long double>(huge) * huge;
  asm volatile("fstps %0\n\tfwait" : "=m"(narrowed) : "t"(wide) : "st");
  fp_state.current_intrinsic = 0;
  fedisableexcept(FE_ALL_EXCEPT);
  EXPECT_TRUE(std::isnan(sse_result));
  (void)narrowed;
}

// With its trap enabled, a flag of the program's arithmetic found set when a function
// starts is reported as the program's exception.
TEST(FpEnvironmentDeathTest, TrappedFlagFoundAtFunctionEntryIsReported) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        handles_init();
        fp_init();
        // The invalid flag, as an operation that ran masked would have left it.
        const uint32_t flagged = mxcsr() | FE_INVALID;
        asm volatile("ldmxcsr %0" ::"m"(flagged));
        math_sqrt(4.0L);
      },
      ::testing::ExitedWithCode(1),
      "^\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n$");
}

TEST(FpExceptionCodes, SignalCodesMapToReportedExceptions) {
  struct Row {
    int si_code;
    int32_t code;
    const char* word;
    int32_t number;
  };
  const Row rows[] = {
      {FPE_FLTINV, 129, "invalid", 6101},  {FPE_FLTDIV, 131, "divide by zero", 6103},
      {FPE_FLTOVF, 132, "overflow", 6104}, {FPE_FLTUND, 133, "underflow", 6105},
      {FPE_FLTRES, 134, "inexact", 6106},  {FPE_INTDIV, 129, "invalid", 6101},
      {FPE_FLTSUB, 129, "invalid", 6101},  {0, 129, "invalid", 6101},
  };
  for (const Row& row : rows) {
    const int32_t code = fp_exception_code(row.si_code);
    EXPECT_EQ(code, row.code) << row.si_code;
    EXPECT_STREQ(fp_exception_word(code), row.word) << row.si_code;
    EXPECT_EQ(fp_exception_number(code), row.number) << row.si_code;
  }
}

TEST(MathErrorDecision, UnderflowAndPartialLossAreIgnored) {
  for (MathErrorKind kind : {MathErrorKind::Underflow, MathErrorKind::Ploss}) {
    const MathErrorRecord record{static_cast<int32_t>(kind), "pow", 1e-200, 2.0, 0.0};
    EXPECT_EQ(math_error_decision(record), 1) << static_cast<int>(kind);
  }
}

TEST(MathErrorDecisionDeathTest, ReportsEndTheProgramWithStatusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Row {
    MathErrorKind kind;
    const char* routine;
    const char* report;  // the whole of standard error, as a regular expression
  };
  const Row rows[] = {
      {MathErrorKind::Domain, "sqrt",
       "^\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n$"},
      {MathErrorKind::Domain, "pow",
       "^\r\nrun-time error M6201: MATH\r\n- \\*\\*: DOMAIN error\r\n$"},
      {MathErrorKind::Sing, "pow", "^\r\nrun-time error M6202: MATH\r\n- \\*\\*: SING error\r\n$"},
      {MathErrorKind::Overflow, "pow",
       "^\r\nrun-time error M6203: MATH\r\n- \\*\\*: OVERFLOW error\r\n$"},
      {MathErrorKind::Tloss, "sin", "^\r\nrun-time error M6205: MATH\r\n- sin: TLOSS error\r\n$"},
      {MathErrorKind::Domain, "fmod",
       "^\r\nrun-time error M6201: MATH\r\n- mod: DOMAIN error\r\n$"},
      {MathErrorKind::Sing, "cotan", "^\r\nrun-time error M6202: MATH\r\n- COTAN: SING error\r\n$"},
  };
  for (const Row& row : rows) {
    const MathErrorRecord record{static_cast<int32_t>(row.kind), row.routine, -1.0, 0.5, 0.0};
    EXPECT_EXIT(
        {
          handles_init();
          math_error_decision(record);
        },
        ::testing::ExitedWithCode(1), row.report)
        << row.routine;
  }
}

}  // namespace
}  // namespace rtlib
