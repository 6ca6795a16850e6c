// A program whose main routine only returns.
#include "rtlib/rtlib.h"

extern "C" int program_main(void) { return 0; }
