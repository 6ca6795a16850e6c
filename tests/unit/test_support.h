// Shared set-up for unit tests: a freshly initialised library in the test process.
#pragma once

#include <cfenv>

#include "rtlib/services/startup.h"

namespace rtlib::test {

// Initialises the library as start-up does, then masks the floating-point traps again so
// that the test framework's own arithmetic cannot trap.
inline void start_library() {
  rtlib_initialise();
  fedisableexcept(FE_ALL_EXCEPT);
}

}  // namespace rtlib::test
