// File connection: connecting unit numbers to files and closing them.
//
// Closing is complete: the exit routine closes every unit with it. Connecting files by
// name (OPEN and the implicit connection of an unconnected unit number) arrives with the
// OPEN statement; until then connect_by_default fails with "file not found".
#pragma once

#include <cstdint>

namespace rtlib {

// Close dispositions.
inline constexpr int32_t CLOSE_DEFAULT = 0;
inline constexpr int32_t CLOSE_DELETE = 1;
inline constexpr int32_t CLOSE_KEEP = 2;
inline constexpr int32_t CLOSE_RECORDED = 33;

// Closes the current unit (the caller has looked n up): pending output is written, the
// file is closed and kept or deleted, and the slot of n is freed.
void close_unit(int32_t n, int32_t disposition, int32_t flag);

// Connects unit n with the default OPEN settings, the access-form kind and the status
// code given, to the file named by the next program argument or typed at the console.
void connect_by_default(int32_t n, int32_t kind, int32_t status);

}  // namespace rtlib
