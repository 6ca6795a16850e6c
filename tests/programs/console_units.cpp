// Shows how start-up set up the console: the number of console units and the handle each
// direction of the default units reaches.
#include <unistd.h>

#include <string>

#include "rtlib/io/executor.h"
#include "rtlib/io/unit_table.h"
#include "rtlib/rtlib.h"

extern "C" int program_main(void) {
  using namespace rtlib;
  const bool two = unit_table.unit[SECOND_CONSOLE_SLOT] != nullptr;
  std::string text = two ? "units=2" : "units=1";
  exec_state.kind = StatementKind::Write;
  text += " out=" + std::to_string(lookup_unit(NO_UNIT_NUMBER)->handle);
  exec_state.kind = StatementKind::Read;
  text += " in=" + std::to_string(lookup_unit(NO_UNIT_NUMBER)->handle);
  text += "\n";
  (void)!write(2, text.data(), text.size());
  return 0;
}
