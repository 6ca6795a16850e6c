// The floating-point environment: the program runs with invalid operation, division by
// zero and overflow trapped (x87 and SSE alike); a trap arrives as SIGFPE and is reported
// as a floating-point error of the program, ending it through the normal exit.
//
// The mathematical functions bracket their work with fp_enter_function and
// fp_leave_function: pending exceptions of the program's own arithmetic are delivered
// first (while the current-intrinsic marker is still 0), then the function computes with
// every exception masked, and the program's environment is restored afterwards.
#pragma once

#include <cstdint>

namespace rtlib {

// x87 control word fields.
inline constexpr uint16_t X87_INVALID_MASK = 0x0001;
inline constexpr uint16_t X87_DENORMAL_MASK = 0x0002;
inline constexpr uint16_t X87_ZERO_DIVIDE_MASK = 0x0004;
inline constexpr uint16_t X87_OVERFLOW_MASK = 0x0008;
inline constexpr uint16_t X87_UNDERFLOW_MASK = 0x0010;
inline constexpr uint16_t X87_PRECISION_MASK = 0x0020;
inline constexpr uint16_t X87_ALL_MASKS = 0x003F;
inline constexpr uint16_t X87_RESERVED_BITS = 0x00C0;  // bits 6 and 7, kept set
inline constexpr uint16_t X87_PRECISION_FIELD = 0x0300;
inline constexpr uint16_t X87_PRECISION_53 = 0x0200;
inline constexpr uint16_t X87_PRECISION_64 = 0x0300;
inline constexpr uint16_t X87_ROUNDING_FIELD = 0x0C00;  // 0: to nearest
// The mathematical functions' own word: everything masked, to nearest, 64-bit precision.
inline constexpr uint16_t X87_FUNCTION_WORD = 0x037F;

// MXCSR fields: the flags in bits 0 to 5, their masks in bits 7 to 12.
inline constexpr uint32_t MXCSR_FLAGS = 0x003F;
inline constexpr uint32_t MXCSR_INVALID_MASK = 0x0080;
inline constexpr uint32_t MXCSR_ZERO_DIVIDE_MASK = 0x0200;
inline constexpr uint32_t MXCSR_OVERFLOW_MASK = 0x0400;
inline constexpr uint32_t MXCSR_ALL_MASKS = 0x1F80;
inline constexpr uint32_t MXCSR_ROUNDING_FIELD = 0x6000;  // 0: to nearest

// Floating-point exception codes, as the handler receives them.
inline constexpr int32_t FPE_CODE_INVALID = 129;
inline constexpr int32_t FPE_CODE_DENORMAL = 130;
inline constexpr int32_t FPE_CODE_ZERO_DIVIDE = 131;
inline constexpr int32_t FPE_CODE_OVERFLOW = 132;
inline constexpr int32_t FPE_CODE_UNDERFLOW = 133;
inline constexpr int32_t FPE_CODE_INEXACT = 134;
inline constexpr int32_t FPE_CODE_SQUARE_ROOT = 136;
inline constexpr int32_t FPE_CODE_STACK_OVERFLOW = 138;
inline constexpr int32_t FPE_CODE_STACK_UNDERFLOW = 139;

// The floating-point state of the library.
struct FpState {
  // Current-intrinsic marker: the code of the mathematical function under way, 0 while
  // the program's own arithmetic runs. Read by the signal handler.
  volatile int32_t current_intrinsic = 0;
  // The program's environment as fp_init set it.
  uint16_t program_control_word = 0;
  uint32_t program_mxcsr = 0;
  // The program's environment saved by the function under way, restored when it leaves.
  uint16_t saved_control_word = 0;
  uint32_t saved_mxcsr = 0;
  bool handler_installed = false;
  void reset();
};

extern FpState fp_state;

// Sets the trapping environment (x87 control word 0x02F2 from the process's initial word,
// SSE traps on invalid, division by zero and overflow) and installs the SIGFPE handler.
void fp_init();
// Clears pending floating-point exception flags.
void fp_clear_pending();
// Masks every floating-point exception and clears the x87 exception state, so that the
// code that ends the program cannot trap again.
void fp_mask_all();

// Reports a floating-point exception of the program (marker 0): "floating-point error: "
// and the code's word, numbered 6101 to 6111; does not return. With the marker set the
// exception belongs to a function: the x87 state is cleared and the handler returns.
void fp_exception_handler(int32_t signal, int32_t code);

// The exception code of a SIGFPE si_code (FPE_FLTINV 129, FPE_FLTDIV 131, FPE_FLTOVF 132,
// FPE_FLTUND 133, FPE_FLTRES 134, anything else 129).
int32_t fp_exception_code(int si_code);
// The word ("invalid", "divide by zero", ...) and the error number (6101, ...) of an
// exception code; an unknown code is taken as invalid operation.
const char* fp_exception_word(int32_t code);
int32_t fp_exception_number(int32_t code);

// Precision a function computes with.
enum class FunctionPrecision {
  Extended,       // the functions' own word: 64-bit precision, to nearest
  ProgramDouble,  // the program's word with 53-bit precision (SQRT)
};

// Starts a mathematical function: delivers the program's pending exceptions while the
// marker is 0, sets the marker to code, saves the program's environment and loads the
// function's, with every exception masked.
void fp_enter_function(int32_t code, FunctionPrecision precision);
// Restores the program's environment saved on entry; the flags the function raised are
// dropped. The marker stays set.
void fp_restore_program_environment();
// Restores the program's environment and clears the marker.
void fp_leave_function();

}  // namespace rtlib
