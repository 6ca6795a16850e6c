// List-directed output (placeholder: the engine arrives with the numeric editors).
#include "rtlib/edit/list_output.h"

#include "rtlib/io/executor.h"
#include "rtlib/services/errors.h"

namespace rtlib {

void list_write(int32_t) { raise_error(121, exec_state.kind); }

}  // namespace rtlib
