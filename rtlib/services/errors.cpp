// Run-time errors: the raise that hands a status back to the statement or reports the
// error, and the report itself on standard error.
#include "rtlib/services/errors.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "rtlib/io/executor.h"
#include "rtlib/io/handles.h"
#include "rtlib/io/records.h"
#include "rtlib/io/unit_table.h"
#include "rtlib/services/messages.h"
#include "rtlib/services/startup.h"

namespace rtlib {

ErrorState error_state;

void ErrorState::reset() { *this = ErrorState{}; }

namespace {

constexpr size_t MESSAGE_BUFFER_SIZE = 1000;
constexpr size_t REPORT_BUFFER_SIZE = 1600;

// The assembled message of the raise in progress.
struct RaiseText {
  char text[MESSAGE_BUFFER_SIZE];
};
RaiseText raise_text;

bool is_end_of_record(int32_t code) {
  return code == CODE_END_OF_RECORD || code == CODE_RECORD_OVERFLOW;
}

// Appends text to the report under construction, never past its end.
struct ReportBuilder {
  char bytes[REPORT_BUFFER_SIZE];
  size_t length = 0;
  void add(const char* text) { add(text, std::strlen(text)); }
  void add(const char* text, size_t n) {
    if (n > sizeof bytes - length) n = sizeof bytes - length;
    std::memcpy(bytes + length, text, n);
    length += n;
  }
  void add_number(int32_t n) {
    char digits[16];
    const int count = std::snprintf(digits, sizeof digits, "%d", static_cast<int>(n));
    add(digits, static_cast<size_t>(count));
  }
  void flush() {
    if (length > 0) raw_write(2, bytes, static_cast<int32_t>(length));  // failures ignored
    length = 0;
  }
};

// "\t\tfrom " and the routine name without its first character, cut at its at-sign.
void add_traceback(ReportBuilder& out) {
  out.add("\r\nExecution traceback:\r\n");
  while (error_state.frames != nullptr) {
    ErrorFrame* frame = error_state.frames;
    const char* routine = frame->routine != nullptr ? frame->routine : "";
    if (std::strcmp(routine, "_main") == 0) {
      out.add("\t\tfrom main program");
    } else {
      out.add("\t\tfrom ");
      const char* name = routine[0] != '\0' ? routine + 1 : routine;
      const char* at = std::strchr(name, '@');
      out.add(name, at != nullptr ? static_cast<size_t>(at - name) : std::strlen(name));
    }
    out.add(" in ");
    out.add(frame->file != nullptr ? frame->file : "");
    out.add("(");
    out.add_number(frame->line);
    out.add(")\r\n");
    error_state.frames = frame->next;
    out.flush();
  }
}

// Decides, reports when needed and answers the status the statement receives.
int32_t handle_raise(int32_t code, StatementKind kind, va_list args) {
  const bool overflow = is_end_of_record(code);
  if (code == CODE_RECORD_OVERFLOW) code = 90;
  ++error_state.raise_depth;
  Unit* unit = exec_state.unit;
  if (names_unit(kind) && kind != StatementKind::Open && unit != nullptr && unit->name != nullptr) {
    std::snprintf(error_state.name_buffer, NAME_BUFFER_SIZE, "%s", unit->name);
  }
  if (code == CODE_ABANDON) return CODE_ABANDON;

  const char* message = message_text(code);
  std::vsnprintf(raise_text.text, sizeof raise_text.text, message, args);
  int32_t status = 6000 + error_state.current_error_number;

  bool report = true;
  if (kind != StatementKind::Debug) {
    if (names_unit(kind) && unit != nullptr) {
      if (unit->kind == KIND_TERMINAL) {
        unit->flags &= ~(UNIT_DIRTY | UNIT_EOF);
        if (unit_table.unit[SECOND_CONSOLE_SLOT] == nullptr) {
          unit->pos = 0;
          unit->last = -1;
        }
      }
      unit->last_status = overflow ? -2 : status;
      // After a caught error in a formatted file READ the rest of the faulty record is
      // skipped, so the next READ starts at the next record.
      if (error_state.raise_depth == 1 && kind == StatementKind::Read && exec_state.err_branch &&
          !error_state.eof_raised && unit->kind == KIND_FORMATTED_SEQUENTIAL &&
          exec_state.engine != engine_table.read[ENGINE_LIST] && exec_state.record_end != nullptr) {
        exec_state.record_end();
      }
    }
    if (exec_state.err_branch) {
      report = false;
    } else if (error_state.eof_raised) {
      report = !exec_state.end_branch;
    }
  }
  if (report && overflow && unit != nullptr &&
      (exec_state.end_branch || (unit->xflags & X_EOR_BRANCH))) {
    report = false;
  }
  // With no recovery point to go back to, the error can only be reported.
  if (!report && exec_state.recovery_depth == 0 && kind != StatementKind::Debug) report = true;
  if (report) report_error(status, raise_text.text, kind);

  if (overflow) {
    status = -2;
    error_state.current_error_number = -2;
  }
  if (error_state.eof_raised) status = -1;
  error_state.eof_raised = false;
  exec_state.end_branch = false;
  exec_state.err_branch = false;
  handle_errors.last_errno = 0;
  record_state.column_offset = 0;
  record_state.pending_blanks = 0;
  --error_state.raise_depth;
  return status;
}

}  // namespace

void raise_error(int32_t code, StatementKind kind, ...) {
  va_list args;
  va_start(args, kind);
  const int32_t status = handle_raise(code, kind, args);
  va_end(args);
  if (exec_state.recovery_depth == 0) exit_with_status(1);
  throw StatementUnwind{status};
}

int32_t raise_check_error(int32_t code, ...) {
  va_list args;
  va_start(args, code);
  const int32_t status = handle_raise(code, StatementKind::Debug, args);
  va_end(args);
  return status;
}

void report_error(int32_t number, const char* text, StatementKind kind) {
  ReportBuilder out;
  out.add("\r\n");
  if (error_state.frames != nullptr) {
    out.add(error_state.frames->file != nullptr ? error_state.frames->file : "");
    out.add("(");
    out.add_number(error_state.frames->line);
    out.add(") : ");
  }
  out.add("run-time error ");
  out.add(kind == StatementKind::Math ? "M" : "F");
  out.add_number(number);
  out.add(statement_kind_text(kind));
  if (names_unit(kind)) {
    out.add(error_state.name_buffer);
    out.add(text[0] != '\0' ? ")\r\n- " : ")\r\n");
  }
  out.add(text);
  out.add("\r\n");
  out.flush();
  if (error_state.frames != nullptr) add_traceback(out);
  if (error_state.exit_in_progress) return;
  exit_with_status(1);
}

int32_t error_number(int32_t code) { return 6000 + error_table_value(code); }

void push_error_frame(ErrorFrame* frame) {
  frame->next = error_state.frames;
  error_state.frames = frame;
}

void pop_error_frame() {
  if (error_state.frames != nullptr) error_state.frames = error_state.frames->next;
}

}  // namespace rtlib
