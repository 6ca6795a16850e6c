// The floating-point environment (placeholder until the trapping environment is built).
#include "rtlib/intrinsics/fp_env.h"

#include <cfenv>

namespace rtlib {

void fp_init() {}

void fp_clear_pending() { std::feclearexcept(FE_ALL_EXCEPT); }

}  // namespace rtlib
