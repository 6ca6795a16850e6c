// Run-time errors: raise_error decides whether a failure goes back to the statement that
// asked for it (as a StatementUnwind caught by the executor) or is reported on standard
// error, ending the program with status 1 through the normal exit.
#pragma once

#include <cstdint>

#include "rtlib/io/statement_kind.h"

namespace rtlib {

inline constexpr int32_t CODE_RECORD_OVERFLOW = -2;  // reported as code 90, status -2
inline constexpr int32_t CODE_ABANDON = -3;          // abandon the statement silently
inline constexpr int32_t CODE_END_OF_RECORD = 218;
inline constexpr int32_t NAME_BUFFER_SIZE = 260;

struct ErrorFrame {
  ErrorFrame* next;
  const char* file;
  const char* routine;
  int32_t line;
};

struct ErrorState {
  bool eof_raised = false;  // the raise in progress is an end-of-file condition
  char name_buffer[NAME_BUFFER_SIZE] = {};
  int32_t current_error_number = 0;
  int32_t raise_depth = 0;
  bool exit_in_progress = false;
  ErrorFrame* frames = nullptr;
  void reset();
};

extern ErrorState error_state;

// Raises run-time error code under kind, with printf-style arguments for the message.
// Goes back to the recovery point with the status, or reports and ends the program.
[[noreturn]] void raise_error(int32_t code, StatementKind kind, ...);
// The debug-check form (kind 11): reports as needed and answers the status.
int32_t raise_check_error(int32_t code, ...);
// Marks the next raise as an end-of-file condition.
inline void mark_end_of_file() { error_state.eof_raised = true; }

// Writes the report on standard error and, unless the exit routine is running, ends the
// program with status 1. number is the full number shown (6501, 6201, ...).
void report_error(int32_t number, const char* text, StatementKind kind);

// The error number (6000 + table value) that code is shown as.
int32_t error_number(int32_t code);

void push_error_frame(ErrorFrame* frame);
void pop_error_frame();

}  // namespace rtlib
