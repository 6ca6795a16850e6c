// The process entry of every program: start-up, the program's main routine, then the exit
// routines and the exit status.
#include "rtlib/rtlib.h"
#include "rtlib/services/startup.h"

int main(int argc, char** argv) {
  const int32_t failure = rtlib::process_startup(argc, argv);
  if (failure != 0) return failure;
  const int status = program_main();
  rtlib::exit_with_status(status);
}
