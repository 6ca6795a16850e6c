// The one 520-character text buffer of the library: it holds the text of an input value
// while it is converted and the edited text of an output field. At most 519 characters
// of one value enter it, so a terminating NUL always fits.
#pragma once

#include <cstdint>

namespace rtlib {

inline constexpr int32_t EDIT_BUFFER_SIZE = 520;
inline constexpr int32_t EDIT_VALUE_MAX = EDIT_BUFFER_SIZE - 1;

struct EditBuffer {
  char text[EDIT_BUFFER_SIZE];
  void reset() { text[0] = '\0'; }
};

extern EditBuffer edit_buffer;

}  // namespace rtlib
