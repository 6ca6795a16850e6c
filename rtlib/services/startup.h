// Start-up and shutdown: the library's initialisation, its exit routine and the exit with
// a status that both a normal end and a reported error take.
#pragma once

#include <cstdint>

namespace rtlib {

struct ProcessState {
  int32_t argc = 0;
  char** argv = nullptr;
  int32_t next_argument = 1;  // next program argument to use as a file name
  bool initialised = false;
  bool exit_routine_ran = false;
  int32_t exit_routine_runs = 0;  // how often the exit routine was entered
  void reset();
};

extern ProcessState process_state;

// Process start-up: handle table, arguments, library initialisation. Answers 0, or the
// exit status of a start-up failure (255).
int32_t process_startup(int argc, char** argv);
// The library's initialisation (units, list buffer, floating-point environment).
void rtlib_initialise();
// The library's exit routine: closes units 1 to 61, ends the console line; runs once.
void rtlib_exit_routine();
// Runs the exit routines and ends the process with status. Does not return.
[[noreturn]] void exit_with_status(int32_t status);

}  // namespace rtlib
