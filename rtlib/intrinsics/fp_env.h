// The floating-point environment: the program runs with invalid operation, division by
// zero and overflow trapped; a trap is reported as a floating-point error of the program.
#pragma once

#include <cstdint>

namespace rtlib {

// Sets the trapping environment and installs the floating-point exception handler.
void fp_init();
// Clears pending floating-point exception flags.
void fp_clear_pending();

}  // namespace rtlib
