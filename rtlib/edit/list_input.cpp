// List-directed input (placeholder: the engine arrives with the input conversions).
#include "rtlib/edit/list_input.h"

#include "rtlib/io/executor.h"
#include "rtlib/services/errors.h"

namespace rtlib {

void read_list_items(int32_t) { raise_error(121, exec_state.kind); }

}  // namespace rtlib
