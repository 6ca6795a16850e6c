// List-directed input: the item loop of a READ without a format and the scanner of one
// free-form value (separators, repeat counts, null values, the slash, quoted text).
#pragma once

#include <cstdint>

namespace rtlib {

// The engine of a list-directed READ (first = 1 when the statement starts, 0 for each
// further piece of items).
void read_list_items(int32_t first);

}  // namespace rtlib
