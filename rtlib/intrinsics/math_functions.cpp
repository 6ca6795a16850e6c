// The elemental mathematical functions x**y and SQRT, and the math error processing they
// share. Each entry brackets its case table with the functions' floating-point
// environment: the program's pending exceptions arrive first, the arguments are
// classified and the result computed in extended precision with every exception masked,
// and an error kind goes to the error decision, which reports it or lets the result
// stand.
//
// No hardware exception is raised on purpose during the error processing: the result and
// the report are those of a raised-and-absorbed exception, without resuming a trap.
#include "rtlib/intrinsics/math_functions.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "rtlib/intrinsics/fp_env.h"
#include "rtlib/rtlib.h"
#include "rtlib/services/errors.h"
#include "rtlib/services/startup.h"

namespace rtlib {

namespace {

constexpr MathFunctionInfo FUNCTIONS[] = {
    {MathFunction::Nint, 1, "nint", "nint"},    {MathFunction::Sign, 2, "sign", "sign"},
    {MathFunction::Dim, 2, "dim", "dim"},       {MathFunction::Cotan, 1, "cotan", "COTAN"},
    {MathFunction::Cabs, 1, "cabs", "cabs"},    {MathFunction::Ccos, 1, "ccos", "ccos"},
    {MathFunction::Csin, 1, "csin", "csin"},    {MathFunction::Cexp, 1, "cexp", "cexp"},
    {MathFunction::Clog, 1, "clog", "clog"},    {MathFunction::Csqrt, 1, "csqrt", "csqrt"},
    {MathFunction::Cpow, 2, "cpow", "cpow"},    {MathFunction::Cos, 1, "cos", "cos"},
    {MathFunction::Sin, 1, "sin", "sin"},       {MathFunction::Tan, 1, "tan", "tan"},
    {MathFunction::Sqrt, 1, "sqrt", "sqrt"},    {MathFunction::Log, 1, "log", "log"},
    {MathFunction::Log10, 1, "log10", "log10"}, {MathFunction::Acos, 1, "acos", "acos"},
    {MathFunction::Cosh, 1, "cosh", "cosh"},    {MathFunction::Asin, 1, "asin", "asin"},
    {MathFunction::Sinh, 1, "sinh", "sinh"},    {MathFunction::Atan, 1, "atan", "atan"},
    {MathFunction::Atan2, 2, "atan2", "atan2"}, {MathFunction::Tanh, 1, "tanh", "tanh"},
    {MathFunction::Exp, 1, "exp", "exp"},       {MathFunction::Fmod, 2, "fmod", "mod"},
    {MathFunction::Pow, 2, "pow", "**"},
};

constexpr const char* ERROR_WORDS[] = {nullptr,     "DOMAIN", "SING", "OVERFLOW",
                                       "UNDERFLOW", "TLOSS",  "PLOSS"};

constexpr long double INFINITY_LD = std::numeric_limits<long double>::infinity();

// |t| at or beyond which 2 to the t is out of the extended range.
constexpr long double SCALE_LIMIT = 32767.5L;

// ---- x87 primitives (the functions' control word is in force) ----

long double round_to_integer(long double v) {
  asm("frndint" : "+t"(v));
  return v;
}

// y * log2(x) for x > 0.
long double y_log2_x(long double y, long double x) {
  long double result;
  asm("fyl2x" : "=t"(result) : "0"(x), "u"(y) : "st(1)");
  return result;
}

// 2 to the f, minus 1, for |f| <= 1.
long double two_to_minus_one(long double f) {
  asm("f2xm1" : "+t"(f));
  return f;
}

// v * 2 to the n, n integral.
long double scale(long double v, long double n) {
  long double result;
  asm("fscale" : "=t"(result) : "0"(v), "u"(n));
  return result;
}

long double square_root(long double v) {
  asm("fsqrt" : "+t"(v));
  return v;
}

bool is_integral(long double v) { return round_to_integer(v) == v; }

bool is_odd_integral(long double v) { return is_integral(v) && !is_integral(v / 2.0L); }

long double signed_value(bool negative, long double magnitude) {
  return negative ? -magnitude : magnitude;
}

// x**y for finite non-zero x and y: 2 to the (y log2 |x|), split into an integral power
// and a fraction in [-0.5, 0.5].
MathOutcome pow_finite(long double x, long double y) {
  if (x < 0.0L && !is_integral(y)) return {default_nan(), MathErrorKind::Domain};
  const bool negative = x < 0.0L && is_odd_integral(y);
  const long double t = y_log2_x(y, std::fabs(x));
  if (!(std::fabs(t) < SCALE_LIMIT)) {
    if (t > 0.0L) return {signed_value(negative, INFINITY_LD), MathErrorKind::Overflow};
    return {signed_value(negative, 0.0L), MathErrorKind::Underflow};
  }
  const long double n = round_to_integer(t);
  const long double f = t - n;
  const long double power =
      f >= 0.0L ? two_to_minus_one(f) + 1.0L : 1.0L / (two_to_minus_one(-f) + 1.0L);
  const long double result = signed_value(negative, scale(power, n));
  // Out of the double-precision range: an exponent field of all ones overflows, one of
  // zero underflows (a denormal or zero result).
  const double narrowed = static_cast<double>(result);
  const uint64_t exponent = (std::bit_cast<uint64_t>(narrowed) >> 52) & 0x7FF;
  if (exponent == 0x7FF) return {narrowed, MathErrorKind::Overflow};
  if (exponent == 0) return {narrowed, MathErrorKind::Underflow};
  return {result, MathErrorKind::None};
}

// The common end of every entry: error processing when the case carries a kind, then the
// program's environment back and the marker cleared.
long double finish(MathFunction code, const MathOutcome& outcome, long double arg1,
                   long double arg2) {
  if (outcome.kind != MathErrorKind::None) {
    // The record is narrowed while everything is still masked.
    const MathFunctionInfo* info = math_function_info(code);
    const MathErrorRecord record{static_cast<int32_t>(outcome.kind),
                                 info != nullptr ? info->routine : "", static_cast<double>(arg1),
                                 static_cast<double>(arg2), static_cast<double>(outcome.result)};
    fp_restore_program_environment();
    math_error_decision(record);
  }
  fp_leave_function();
  return outcome.result;
}

}  // namespace

const MathFunctionInfo* math_function_info(MathFunction code) {
  for (const MathFunctionInfo& info : FUNCTIONS) {
    if (info.code == code) return &info;
  }
  return nullptr;
}

const MathFunctionInfo* math_function_by_routine(const char* routine) {
  if (routine == nullptr) return nullptr;
  for (const MathFunctionInfo& info : FUNCTIONS) {
    if (std::strcmp(info.routine, routine) == 0) return &info;
  }
  return nullptr;
}

const char* math_error_word(MathErrorKind kind) {
  const auto index = static_cast<int32_t>(kind);
  if (index < 0 || index > 6) return nullptr;
  return ERROR_WORDS[index];
}

int32_t math_error_decision(const MathErrorRecord& record) {
  auto kind = static_cast<MathErrorKind>(record.kind);
  if (kind == MathErrorKind::None || kind == MathErrorKind::Underflow ||
      kind == MathErrorKind::Ploss) {
    return 1;
  }
  if (math_error_word(kind) == nullptr) kind = MathErrorKind::Domain;
  const MathFunctionInfo* info = math_function_by_routine(record.name);
  const char* name = info != nullptr ? info->reported : (record.name != nullptr ? record.name : "");
  // "<name>: <WORD> error", cut to the buffer.
  char text[80];
  size_t length = 0;
  for (const char* part : {name, ": ", math_error_word(kind), " error"}) {
    const size_t n = std::min(std::strlen(part), sizeof text - 1 - length);
    std::memcpy(text + length, part, n);
    length += n;
  }
  text[length] = '\0';
  fp_mask_all();
  report_error(math_error_number(kind), text, StatementKind::Math);
  // The report returns only while the exit routine is already running.
  exit_with_status(1);
}

ArgClass classify(long double value) {
  uint64_t significand;
  uint16_t sign_exponent;
  std::memcpy(&significand, &value, sizeof significand);
  std::memcpy(&sign_exponent, reinterpret_cast<const char*>(&value) + 8, sizeof sign_exponent);
  constexpr uint64_t INTEGER_BIT = uint64_t{1} << 63;
  const uint16_t exponent = sign_exponent & 0x7FFF;
  if (exponent == 0x7FFF) return significand == INTEGER_BIT ? ArgClass::Infinite : ArgClass::NaN;
  if (exponent == 0) return significand == 0 ? ArgClass::Zero : ArgClass::Finite;
  return (significand & INTEGER_BIT) != 0 ? ArgClass::Finite : ArgClass::NaN;
}

long double default_nan() {
  long double value = 0.0L;  // the six padding bytes stay zero
  const uint64_t significand = uint64_t{0xC000000000000000};
  const uint16_t sign_exponent = 0xFFFF;
  std::memcpy(&value, &significand, sizeof significand);
  std::memcpy(reinterpret_cast<char*>(&value) + 8, &sign_exponent, sizeof sign_exponent);
  return value;
}

// Computed in the entry's word: the program's, masked, with 53-bit precision, so the root
// of a positive value comes out rounded to double precision.
MathOutcome sqrt_cases(long double x) {
  switch (classify(x)) {
    case ArgClass::Zero: return {x, MathErrorKind::None};
    case ArgClass::NaN: return {x + x, MathErrorKind::Domain};
    case ArgClass::Infinite:
      if (std::signbit(x)) return {default_nan(), MathErrorKind::Domain};
      return {x, MathErrorKind::None};
    case ArgClass::Finite:
      if (std::signbit(x)) return {default_nan(), MathErrorKind::Domain};
      return {square_root(x), MathErrorKind::None};
  }
  return {default_nan(), MathErrorKind::Domain};
}

MathOutcome pow_cases(long double x, long double y) {
  const ArgClass base = classify(x);
  const ArgClass exponent = classify(y);
  if (base == ArgClass::NaN || exponent == ArgClass::NaN) return {x + y, MathErrorKind::Domain};
  if (exponent == ArgClass::Zero) return {1.0L, MathErrorKind::None};
  if (exponent == ArgClass::Infinite) {
    const long double magnitude = std::fabs(x);
    if (magnitude == 1.0L) return {default_nan(), MathErrorKind::Domain};
    // |x| above 1 to plus infinity, or below 1 to minus infinity, grows without bound.
    const bool grows = (magnitude > 1.0L) == !std::signbit(y);
    return {grows ? INFINITY_LD : 0.0L, MathErrorKind::None};
  }
  const bool negative_odd = std::signbit(x) && is_odd_integral(y);
  if (base == ArgClass::Zero) {
    if (y > 0.0L) return {signed_value(negative_odd, 0.0L), MathErrorKind::None};
    return {signed_value(negative_odd, INFINITY_LD), MathErrorKind::Sing};
  }
  if (base == ArgClass::Infinite) {
    if (y > 0.0L) return {signed_value(negative_odd, INFINITY_LD), MathErrorKind::None};
    return {signed_value(negative_odd, 0.0L), MathErrorKind::None};
  }
  return pow_finite(x, y);
}

}  // namespace rtlib

using rtlib::FunctionPrecision;
using rtlib::MathFunction;

// The case tables are kept out of line and opaque to the optimiser, so that none of their
// arithmetic moves across the environment switches around them.
namespace {

[[gnu::noipa]] rtlib::MathOutcome sqrt_outcome(long double x) { return rtlib::sqrt_cases(x); }

[[gnu::noipa]] rtlib::MathOutcome pow_outcome(long double x, long double y) {
  return rtlib::pow_cases(x, y);
}

[[gnu::noipa]] long double finish_call(MathFunction code, const rtlib::MathOutcome& outcome,
                                       long double arg1, long double arg2) {
  return rtlib::finish(code, outcome, arg1, arg2);
}

}  // namespace

extern "C" long double math_sqrt(long double x) {
  rtlib::fp_enter_function(static_cast<int32_t>(MathFunction::Sqrt),
                           FunctionPrecision::ProgramDouble);
  return finish_call(MathFunction::Sqrt, sqrt_outcome(x), x, 0.0L);
}

extern "C" long double math_pow(long double x, long double y) {
  rtlib::fp_enter_function(static_cast<int32_t>(MathFunction::Pow), FunctionPrecision::Extended);
  return finish_call(MathFunction::Pow, pow_outcome(x, y), x, y);
}
