// Formats: a format text is compiled afresh each time its statement begins, and the
// compiled program lives until the statement ends.
//
// The format walker is not part of this build yet: a FormatProgram keeps the format text,
// and formatted statements are built and dispatched but have no transfer engine.
#pragma once

#include <cstdint>

namespace rtlib {

struct FormatProgram {
  int32_t length;  // length of the format text
  char* text;      // owned copy of the format text
};

// Compiles the format text; allocation failure raises error 92.
FormatProgram* compile_format(const char* text, int32_t length);
void release_format(FormatProgram* program);

}  // namespace rtlib
