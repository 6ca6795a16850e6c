// The message store: one message per error code, kept packed (16-bit tokens and a word
// dictionary). The texts are written in a readable table and packed at compile time.
#pragma once

#include <cstdint>

namespace rtlib {

inline constexpr int32_t MESSAGE_CODE_COUNT = 220;  // codes 0 to 219

// Table value of a code (the number shown is 6000 + this).
int32_t error_table_value(int32_t code);

// Assembles the message of code (printf-style placeholders left in place), sets
// error_state.current_error_number and answers the NUL-terminated text.
const char* message_text(int32_t code);

}  // namespace rtlib
