// File connection: closing units, and the connection of unit numbers without an OPEN.
#include "rtlib/io/connection.h"

#include "rtlib/io/executor.h"
#include "rtlib/io/handles.h"
#include "rtlib/io/records.h"
#include "rtlib/io/unit_table.h"
#include "rtlib/services/errors.h"

namespace rtlib {

void close_unit(int32_t n, int32_t disposition, int32_t /*flag*/) {
  Unit* unit = exec_state.unit;
  if (unit == nullptr) return;
  if (disposition == CLOSE_RECORDED) disposition = unit->close_disposition;
  if (disposition == CLOSE_DEFAULT)
    disposition = (unit->flags & UNIT_DELETE) ? CLOSE_DELETE : CLOSE_KEEP;

  if (unit->flags & UNIT_OUTPUT_MODE) {
    if (disposition != CLOSE_DELETE && unit->kind != KIND_TERMINAL) end_writing();
    if (unit->kind == KIND_TERMINAL) {
      raw_write(unit->handle == 0 ? 1 : unit->handle, "\r\n", 2);
      unit->line_ended = 1;
      unit->flags &= ~UNIT_OUTPUT_MODE;
    }
  }

  if (unit->handle >= 3) {
    file_close(unit->handle);
    if (disposition == CLOSE_KEEP && (unit->flags & UNIT_DELETE)) raise_error(26, exec_state.kind);
    if (disposition == CLOSE_DELETE && file_delete(unit->name) == -1 &&
        handle_errors.last_errno == HERR_ACCESS) {
      raise_error(50, exec_state.kind);
    }
  }

  if (n == NO_UNIT_NUMBER) return;
  for (int32_t slot = FIRST_FILE_SLOT; slot <= LAST_FILE_SLOT; ++slot) {
    if (unit_table.unit[slot] != nullptr && unit_table.number[slot] == n) {
      free_unit(unit_table.unit[slot]);
      unit_table.unit[slot] = nullptr;
      unit_table.number[slot] = NO_UNIT_NUMBER;
      if (exec_state.unit == unit) exec_state.unit = nullptr;
      return;
    }
  }
}

void connect_by_default(int32_t n, int32_t /*kind*/, int32_t /*status*/) {
  // Connecting by name arrives with the OPEN statement.
  raise_error(62, exec_state.kind, n);
}

}  // namespace rtlib
