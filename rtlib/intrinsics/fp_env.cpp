// The floating-point environment: sets the trapping environment at start-up, catches the
// floating-point signal and reports an exception of the program's own arithmetic, and
// brackets the mathematical functions (pending exceptions delivered first, everything
// masked while they compute, the program's environment restored afterwards).
//
// The hardware exception raised by a trap is never resumed for the program's arithmetic:
// an SSE trap is precise, and returning from the handler would run the faulting
// instruction again. The handler therefore masks everything, reports and ends the program
// through the normal exit, so the exit routine still closes the files and ends the
// console line. The mathematical functions never raise a hardware exception on purpose:
// they compute masked and hand their error kind straight to the error decision.
#include "rtlib/intrinsics/fp_env.h"

#include <signal.h>
#include <ucontext.h>

#include <cfenv>
#include <cstring>

#include "rtlib/services/errors.h"
#include "rtlib/services/startup.h"

namespace rtlib {

FpState fp_state;

void FpState::reset() {
  current_intrinsic = 0;
  program_control_word = 0;
  program_mxcsr = 0;
  saved_control_word = 0;
  saved_mxcsr = 0;
  handler_installed = false;
}

namespace {

constexpr int TRAPPED_EXCEPTIONS = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
// x87 status word: exception flags (bits 0 to 5), stack fault, error summary, busy.
constexpr uint16_t X87_STATUS_EXCEPTION_STATE = 0x80FF;

struct ExceptionInfo {
  int32_t code;
  const char* word;
  int32_t number;
};

constexpr ExceptionInfo EXCEPTIONS[] = {
    {FPE_CODE_INVALID, "invalid", 6101},
    {FPE_CODE_DENORMAL, "denormal", 6102},
    {FPE_CODE_ZERO_DIVIDE, "divide by zero", 6103},
    {FPE_CODE_OVERFLOW, "overflow", 6104},
    {FPE_CODE_UNDERFLOW, "underflow", 6105},
    {FPE_CODE_INEXACT, "inexact", 6106},
    {FPE_CODE_SQUARE_ROOT, "square root", 6108},
    {FPE_CODE_STACK_OVERFLOW, "stack overflow", 6110},
    {FPE_CODE_STACK_UNDERFLOW, "stack underflow", 6111},
};

const ExceptionInfo& exception_info(int32_t code) {
  for (const ExceptionInfo& info : EXCEPTIONS) {
    if (info.code == code) return info;
  }
  return EXCEPTIONS[0];
}

uint16_t read_control_word() {
  uint16_t word;
  asm volatile("fnstcw %0" : "=m"(word)::"memory");
  return word;
}

void load_control_word(uint16_t word) { asm volatile("fldcw %0" ::"m"(word) : "memory"); }

uint32_t read_mxcsr() {
  uint32_t value;
  asm volatile("stmxcsr %0" : "=m"(value)::"memory");
  return value;
}

void load_mxcsr(uint32_t value) { asm volatile("ldmxcsr %0" ::"m"(value) : "memory"); }

void clear_x87_exceptions() { asm volatile("fnclex" ::: "memory"); }

// Lets an unmasked x87 exception still pending from an earlier store arrive now.
void wait_for_x87() { asm volatile("fwait" ::: "memory"); }

// The program's control word with the precision and masks of its environment:
// invalid, division by zero and overflow unmasked, the rest masked, 53-bit precision,
// the rounding field as it was.
uint16_t program_word_from(uint16_t word) {
  word &= static_cast<uint16_t>(~(X87_ALL_MASKS | X87_PRECISION_FIELD));
  return static_cast<uint16_t>(word | X87_DENORMAL_MASK | X87_UNDERFLOW_MASK | X87_PRECISION_MASK |
                               X87_RESERVED_BITS | X87_PRECISION_53);
}

// A trap that arrives while a function runs is absorbed: the interrupted context resumes
// with its x87 exception state cleared and every SSE exception masked, so the faulting
// instruction completes with the masked response. The function restores the program's
// environment when it leaves.
void absorb_in_context(void* context) {
  auto* uc = static_cast<ucontext_t*>(context);
  if (uc == nullptr || uc->uc_mcontext.fpregs == nullptr) return;
  uc->uc_mcontext.fpregs->swd &= static_cast<uint16_t>(~X87_STATUS_EXCEPTION_STATE);
  uc->uc_mcontext.fpregs->mxcsr = (uc->uc_mcontext.fpregs->mxcsr | MXCSR_ALL_MASKS) & ~MXCSR_FLAGS;
}

void on_floating_point_signal(int signal, siginfo_t* info, void* context) {
  const int32_t code = fp_exception_code(info != nullptr ? info->si_code : 0);
  if (fp_state.current_intrinsic != 0) absorb_in_context(context);
  fp_exception_handler(signal, code);
}

void install_handler() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = on_floating_point_signal;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  fp_state.handler_installed = sigaction(SIGFPE, &action, nullptr) == 0;
}

// The exception code of the first trapped flag that is set.
int32_t code_of_flags(int flags) {
  if (flags & FE_INVALID) return FPE_CODE_INVALID;
  if (flags & FE_DIVBYZERO) return FPE_CODE_ZERO_DIVIDE;
  return FPE_CODE_OVERFLOW;
}

// Delivers what the program's own arithmetic left pending: an x87 exception waits for the
// next waiting instruction; an SSE exception traps at its instruction, so a trapped flag
// found set here can only have been raised without the trap and is reported all the same.
void deliver_pending_exceptions() {
  wait_for_x87();
  const int trapped = fegetexcept() & TRAPPED_EXCEPTIONS;
  if (trapped == 0) return;
  const int pending = std::fetestexcept(trapped);
  if (pending != 0) fp_exception_handler(SIGFPE, code_of_flags(pending));
}

}  // namespace

void fp_init() {
  std::feclearexcept(FE_ALL_EXCEPT);
  std::fesetround(FE_TONEAREST);
  fedisableexcept(FE_ALL_EXCEPT);
  feenableexcept(TRAPPED_EXCEPTIONS);
  // The exception enables above set both units; the x87 word also gets its precision,
  // denormal mask and reserved bits (0x037F at process start becomes 0x02F2).
  const uint16_t word = program_word_from(read_control_word());
  load_control_word(word);
  fp_state.program_control_word = word;
  fp_state.program_mxcsr = read_mxcsr();
  fp_state.current_intrinsic = 0;
  install_handler();
}

void fp_clear_pending() { std::feclearexcept(FE_ALL_EXCEPT); }

void fp_mask_all() {
  clear_x87_exceptions();
  const uint16_t base =
      fp_state.handler_installed ? fp_state.program_control_word : read_control_word();
  load_control_word(static_cast<uint16_t>(base | X87_ALL_MASKS));
  load_mxcsr((read_mxcsr() | MXCSR_ALL_MASKS) & ~MXCSR_FLAGS);
}

void fp_exception_handler(int32_t signal, int32_t code) {
  (void)signal;
  if (fp_state.current_intrinsic != 0) {
    // Raised by a function during its own error processing: absorbed, it goes on.
    clear_x87_exceptions();
    return;
  }
  fp_mask_all();
  static constexpr char PREFIX[] = "floating-point error: ";
  const ExceptionInfo& info = exception_info(code);
  char text[64];
  const size_t prefix_length = sizeof PREFIX - 1;
  const size_t word_length = std::strlen(info.word);
  std::memcpy(text, PREFIX, prefix_length);
  std::memcpy(text + prefix_length, info.word, word_length + 1);
  report_error(info.number, text, StatementKind::Math);
  // The report returns only while the exit routine is already running; the faulting
  // instruction must not run again, so the program ends here.
  exit_with_status(1);
}

int32_t fp_exception_code(int si_code) {
  switch (si_code) {
    case FPE_FLTINV: return FPE_CODE_INVALID;
    case FPE_FLTDIV: return FPE_CODE_ZERO_DIVIDE;
    case FPE_FLTOVF: return FPE_CODE_OVERFLOW;
    case FPE_FLTUND: return FPE_CODE_UNDERFLOW;
    case FPE_FLTRES: return FPE_CODE_INEXACT;
    default: return FPE_CODE_INVALID;
  }
}

const char* fp_exception_word(int32_t code) { return exception_info(code).word; }

int32_t fp_exception_number(int32_t code) { return exception_info(code).number; }

void fp_enter_function(int32_t code, FunctionPrecision precision) {
  deliver_pending_exceptions();
  fp_state.current_intrinsic = code;
  const uint16_t word = read_control_word();
  const uint32_t mxcsr = read_mxcsr();
  fp_state.saved_control_word = word;
  fp_state.saved_mxcsr = mxcsr;
  uint16_t own = X87_FUNCTION_WORD;
  if (precision == FunctionPrecision::ProgramDouble) {
    own = static_cast<uint16_t>((word & ~X87_PRECISION_FIELD) | X87_PRECISION_53 | X87_ALL_MASKS);
  }
  load_mxcsr(mxcsr | MXCSR_ALL_MASKS);
  load_control_word(own);
}

void fp_restore_program_environment() {
  // The flags the function raised are dropped first: an x87 flag left set under an
  // unmasking control word would become a pending exception of the program.
  clear_x87_exceptions();
  load_control_word(fp_state.saved_control_word);
  load_mxcsr(fp_state.saved_mxcsr);
}

void fp_leave_function() {
  fp_restore_program_environment();
  fp_state.current_intrinsic = 0;
}

}  // namespace rtlib
