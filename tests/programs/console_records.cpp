// Writes each argument as one console output record, exactly as given (its first
// character is the carriage control), the way a formatted WRITE hands a record to the
// record layer. The argument "@read" instead runs a list-directed READ of one integer.
#include <cstring>

#include "rtlib/io/executor.h"
#include "rtlib/io/records.h"
#include "rtlib/io/unit_table.h"
#include "rtlib/rtlib.h"
#include "rtlib/services/startup.h"

namespace {

void write_record_text(const char* text) {
  using namespace rtlib;
  exec_state.kind = StatementKind::Write;
  exec_state.writing = true;
  Unit* unit = lookup_unit(NO_UNIT_NUMBER);
  unit->last = unit->record_capacity - 1;
  record_state.pending_blanks = 0;
  record_state.record_column = 0;
  record_state.emitter = put_chars;
  exec_state.record_end = output_record_end(unit->kind);
  put(static_cast<int32_t>(std::strlen(text)), text);
  end_output_record();
  unit->line_ended = 0;
}

}  // namespace

extern "C" int program_main(void) {
  for (int i = 1; i < rtlib::process_state.argc; ++i) {
    const char* arg = rtlib::process_state.argv[i];
    if (std::strcmp(arg, "@read") == 0) {
      int32_t value = 0;
      io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, 0);
      io_in_i4(&value);
      io_read_end();
    } else {
      write_record_text(arg);
    }
  }
  return 0;
}
