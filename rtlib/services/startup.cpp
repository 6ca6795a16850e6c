// Start-up and shutdown: the process start-up, the library's initialisation (units, list
// buffer, floating-point environment), the exit routine and the exit with a status.
#include "rtlib/services/startup.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <initializer_list>

#include "rtlib/edit/edit_buffer.h"
#include "rtlib/intrinsics/fp_env.h"
#include "rtlib/io/connection.h"
#include "rtlib/io/executor.h"
#include "rtlib/io/handles.h"
#include "rtlib/io/records.h"
#include "rtlib/io/statement_builder.h"
#include "rtlib/io/unit_table.h"
#include "rtlib/services/errors.h"

namespace rtlib {

ProcessState process_state;

namespace {

using ExitRoutine = void (*)();

// The exit routines, run last registered first: room for 32, growing by 4.
struct ExitTable {
  ExitRoutine* routines = nullptr;
  int32_t count = 0;
  int32_t capacity = 0;
};
ExitTable exit_table;

bool create_exit_table() {
  if (exit_table.routines != nullptr) return true;
  exit_table.routines = static_cast<ExitRoutine*>(std::malloc(32 * sizeof(ExitRoutine)));
  exit_table.capacity = exit_table.routines != nullptr ? 32 : 0;
  return exit_table.routines != nullptr;
}

void register_exit_routine(ExitRoutine routine) {
  for (int32_t i = 0; i < exit_table.count; ++i) {
    if (exit_table.routines[i] == routine) return;
  }
  if (exit_table.count == exit_table.capacity) {
    const int32_t grown = exit_table.capacity + 4;
    auto* routines = static_cast<ExitRoutine*>(
        std::realloc(exit_table.routines, static_cast<size_t>(grown) * sizeof(ExitRoutine)));
    if (routines == nullptr) raise_error(92, StatementKind::NoStatement);
    exit_table.routines = routines;
    exit_table.capacity = grown;
  }
  exit_table.routines[exit_table.count++] = routine;
}

Unit* make_console_unit(int32_t handle) {
  Unit* console = allocate_unit(CONSOLE_BUFFER_SIZE);
  set_unit_name(console, "CON");
  console->kind = KIND_TERMINAL;
  console->handle = handle;
  console->xflags = X_COLUMN_ONE;
  return console;
}

void place(int32_t slot, int32_t number, Unit* unit) {
  unit_table.number[slot] = number;
  unit_table.unit[slot] = unit;
}

// Frees what the initialisation made: the list buffer and the three fixed units.
void release_fixed_state() {
  statement_state_release();
  for (int32_t slot : {CONSOLE_SLOT, SECOND_CONSOLE_SLOT, INTERNAL_SLOT}) {
    free_unit(unit_table.unit[slot]);
    unit_table.unit[slot] = nullptr;
    unit_table.number[slot] = NO_UNIT_NUMBER;
  }
}

}  // namespace

void ProcessState::reset() { *this = ProcessState{}; }

int32_t process_startup(int argc, char** argv) {
  // A console write to a pipe whose reader has gone fails and is ignored; it must not
  // end the process.
  std::signal(SIGPIPE, SIG_IGN);
  if (!handles_init()) {
    static const char message[] = "\r\nrun-time error: not enough memory for the file table\r\n";
    (void)!write(2, message, sizeof message - 1);
    return 255;
  }
  process_state.argc = argc;
  process_state.argv = argv;
  process_state.next_argument = 1;
  if (!create_exit_table()) return 255;
  rtlib_initialise();
  return 0;
}

void rtlib_initialise() {
  if (process_state.initialised) release_fixed_state();
  unit_table.reset();
  exec_state.reset();
  record_state.reset();
  error_state.reset();
  edit_buffer.reset();
  process_state.exit_routine_ran = false;

  Unit* internal = allocate_unit(0);
  set_unit_name(internal, "internal");
  internal->kind = KIND_INTERNAL;
  internal->owns_record = false;
  place(INTERNAL_SLOT, INTERNAL, internal);

  statement_state_init();
  place(CONSOLE_SLOT, NO_UNIT_NUMBER, make_console_unit(0));
  fp_init();
  // With standard input or output redirected, a second console unit serves output and the
  // first one input; on a terminal one unit serves both, its handle following each lookup.
  if (!(file_is_device(0) && file_is_device(1))) {
    place(SECOND_CONSOLE_SLOT, NO_UNIT_NUMBER, make_console_unit(1));
    unit_table.unit[CONSOLE_SLOT]->handle = 0;
  }
  fp_clear_pending();
  statement_state.in_transfer = 1;
  create_exit_table();
  register_exit_routine(rtlib_exit_routine);
  process_state.initialised = true;
}

void rtlib_exit_routine() {
  ++process_state.exit_routine_runs;
  if (process_state.exit_routine_ran || !process_state.initialised) return;
  process_state.exit_routine_ran = true;
  error_state.exit_in_progress = true;
  {
    RecoveryPoint recovery;
    try {
      exec_state.kind = StatementKind::Close;
      for (int32_t slot = FIRST_FILE_SLOT; slot <= LAST_FILE_SLOT; ++slot) {
        if (unit_table.unit[slot] == nullptr) continue;
        const int32_t n = unit_table.number[slot];
        lookup_unit(n);
        close_unit(n, CLOSE_DEFAULT, 0);
      }
      // The last console output record gets its line end.
      Unit* console = console_output_unit();
      if (console != nullptr && (console->flags & UNIT_OUTPUT_MODE) && console->line_ended == 0) {
        raw_write(console->handle, "\r\n", 2);
      }
    } catch (const StatementUnwind&) {
      // A unit that could not be closed was reported; the remaining ones stay as they are.
    }
  }
  error_state.exit_in_progress = false;
  release_fixed_state();
  process_state.initialised = false;
}

void exit_with_status(int32_t status) {
  for (int32_t i = exit_table.count - 1; i >= 0; --i) exit_table.routines[i]();
  handles_release();
  _exit(status);
}

}  // namespace rtlib
