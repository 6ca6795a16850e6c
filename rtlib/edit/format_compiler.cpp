// Formats (see format_compiler.h): keeps the text of each statement's format.
#include "rtlib/edit/format_compiler.h"

#include <cstdlib>
#include <cstring>

#include "rtlib/services/errors.h"

namespace rtlib {

FormatProgram* compile_format(const char* text, int32_t length) {
  if (length < 0) length = 0;
  auto* program = static_cast<FormatProgram*>(std::malloc(sizeof(FormatProgram)));
  char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
  if (program == nullptr || copy == nullptr) {
    std::free(program);
    std::free(copy);
    raise_error(92, StatementKind::NoStatement);
  }
  if (length > 0) std::memcpy(copy, text, static_cast<size_t>(length));
  copy[length] = '\0';
  program->length = length;
  program->text = copy;
  return program;
}

void release_format(FormatProgram* program) {
  if (program == nullptr) return;
  std::free(program->text);
  std::free(program);
}

}  // namespace rtlib
