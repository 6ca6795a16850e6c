// List-directed output: the item loop of a WRITE without a format and the layout of one
// value of each type (fixed field widths, separators, 79 columns after the leading blank).
#pragma once

#include <cstdint>

namespace rtlib {

// The engine of a list-directed WRITE (first = 1 when the statement starts).
void list_write(int32_t first);

}  // namespace rtlib
