// Raises one run-time error the way the arguments say, for the report tests:
//   raise KIND CODE [catch|eof-catch|eof-end|eof] [write]
// KIND is the statement kind; "catch" gives the statement an error branch, "eof-catch" an
// error branch for an end-of-file condition, "eof-end" an end-of-file branch, "eof" an
// end-of-file condition without branches. "write" first writes a console record; "frames"
// registers two error frames (a routine called from the main program). A raise
// that comes back prints "status=S last=L" on standard output.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "rtlib/io/executor.h"
#include "rtlib/io/unit_table.h"
#include "rtlib/rtlib.h"
#include "rtlib/services/errors.h"
#include "rtlib/services/startup.h"

extern "C" int program_main(void) {
  using namespace rtlib;
  char** argv = process_state.argv;
  if (process_state.argc < 3) return 2;
  const auto kind = static_cast<StatementKind>(std::atoi(argv[1]));
  const int32_t code = std::atoi(argv[2]);
  const std::string mode = process_state.argc > 3 ? argv[3] : "";
  const bool write_first = process_state.argc > 4 && std::strcmp(argv[4], "write") == 0;
  const bool frames = process_state.argc > 4 && std::strcmp(argv[4], "frames") == 0;
  ErrorFrame main_frame{nullptr, "main.f", "_main", 3};
  ErrorFrame routine_frame{nullptr, "sub.f", "_SOLVE@8", 12};
  if (frames) {
    push_error_frame(&main_frame);
    push_error_frame(&routine_frame);
  }
  if (write_first) {
    io_write_begin(DEFAULT_OUTPUT_UNIT, nullptr, 0, nullptr, 0, 0);
    io_out_char("hello", 5);
    io_write_end();
  }
  if (kind == StatementKind::Debug) {
    const int32_t status = raise_check_error(code);
    const std::string text = "status=" + std::to_string(status) + "\n";
    (void)!write(1, text.data(), text.size());
    return 0;
  }
  exec_state.kind = kind;
  if (names_unit(kind)) lookup_unit(NO_UNIT_NUMBER);
  RecoveryPoint recovery;
  exec_state.err_branch = mode == "catch" || mode == "eof-catch";
  exec_state.end_branch = mode == "eof-end";
  if (mode.rfind("eof", 0) == 0) mark_end_of_file();
  try {
    raise_error(code, kind);
  } catch (const StatementUnwind& unwind) {
    const int32_t last = exec_state.unit != nullptr ? exec_state.unit->last_status : 0;
    const std::string text =
        "status=" + std::to_string(unwind.status) + " last=" + std::to_string(last) + "\n";
    (void)!write(1, text.data(), text.size());
  }
  return 0;
}
