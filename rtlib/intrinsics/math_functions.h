// The elemental mathematical functions (x**y and SQRT) with their math errors: the table
// of function codes and reported names, the error kinds with their words and numbers, the
// case tables of each function, and the error decision that reports or ignores an error.
//
// The public entries math_pow and math_sqrt (rtlib.h) bracket the case functions below
// with the floating-point environment of fp_env.h. A later function adds its code row,
// its case function and its entry; the error processing is shared.
#pragma once

#include <cstdint>

namespace rtlib {

enum class MathFunction : int32_t {
  Nint = 2,
  Sign = 3,
  Dim = 4,
  Cotan = 6,
  Cabs = 10,
  Ccos = 12,
  Csin = 13,
  Cexp = 14,
  Clog = 15,
  Csqrt = 16,
  Cpow = 17,
  Cos = 21,
  Sin = 22,
  Tan = 23,
  Sqrt = 24,
  Log = 25,
  Log10 = 26,
  Acos = 27,
  Cosh = 28,
  Asin = 29,
  Sinh = 30,
  Atan = 31,
  Atan2 = 32,
  Tanh = 33,
  Exp = 34,
  Fmod = 35,
  Pow = 36,
};

struct MathFunctionInfo {
  MathFunction code;
  int32_t arguments;
  const char* routine;   // the underlying routine's name, as a MathErrorRecord carries it
  const char* reported;  // the name the report shows
};

// The row of a function code, or null for a code no function has.
const MathFunctionInfo* math_function_info(MathFunction code);
// The row whose routine is named routine, or null.
const MathFunctionInfo* math_function_by_routine(const char* routine);

enum class MathErrorKind : int32_t {
  None = 0,
  Domain = 1,     // argument outside the domain, also any NaN argument
  Sing = 2,       // singularity: infinite result
  Overflow = 3,   // result too large for double precision
  Underflow = 4,  // result too small; never reported
  Tloss = 5,      // total loss of significance
  Ploss = 6,      // partial loss of significance; never reported
};

// "DOMAIN", "SING", ...; null for None.
const char* math_error_word(MathErrorKind kind);
// 6200 + kind.
constexpr int32_t math_error_number(MathErrorKind kind) {
  return 6200 + static_cast<int32_t>(kind);
}

// What a failing function hands to the error decision.
struct MathErrorRecord {
  int32_t kind;      // a MathErrorKind value
  const char* name;  // the underlying routine's name ("pow", "sqrt")
  double arg1;
  double arg2;
  double result;  // the result the function proposes
};

// Answers 1 when the error is ignored (UNDERFLOW, PLOSS) and the proposed result stands;
// otherwise reports "<name>: <WORD> error" as M62xx and ends the program.
int32_t math_error_decision(const MathErrorRecord& record);

// The outcome of a function's case table: the result and the error kind it carries.
struct MathOutcome {
  long double result;
  MathErrorKind kind;
};

// Classes of an argument; the case tables dispatch on them.
enum class ArgClass { Finite, Zero, NaN, Infinite };
// Classifies an 80-bit value; encodings the x87 rejects (unnormals, pseudo-infinities,
// pseudo-NaNs) count as NaN.
ArgClass classify(long double value);

// The x87 default NaN (the negative quiet NaN an invalid operation yields).
long double default_nan();

// The case tables, computed under the floating-point environment in force (the entries
// load the functions' own). Exposed for tests: the entries report what these yield.
MathOutcome sqrt_cases(long double x);
MathOutcome pow_cases(long double x, long double y);

}  // namespace rtlib
