// The statement executor: statement set-up, the item decoder, the WRITE executor and the
// READ executor's first piece and continuation. Each executor is a recovery point: a
// run-time error raised during its statement comes back as a StatementUnwind.
#include "rtlib/io/executor.h"

#include "rtlib/edit/list_input.h"
#include "rtlib/edit/list_output.h"
#include "rtlib/io/connection.h"
#include "rtlib/io/control_list.h"
#include "rtlib/io/records.h"
#include "rtlib/services/errors.h"

namespace rtlib {

ExecState exec_state;

// The formatted and namelist engines are not part of this build.
const EngineTable engine_table = {
    {read_list_items, nullptr, nullptr},
    {list_write, nullptr, nullptr},
};

// Raised when a statement needs a transfer engine that this build does not have.
constexpr int32_t CODE_NO_ENGINE = 121;

void ExecState::reset() {
  const int32_t depth = recovery_depth;
  *this = ExecState{};
  recovery_depth = depth;
}

namespace {

ExecState& ex = exec_state;

// Values taken from the extra arguments: 4-byte slots for numbers, pointer-sized slots
// for addresses. The builder never produces them; other callers of the executor may.
int32_t take_extra_int() {
  if (ex.extra == nullptr) return 0;
  const int32_t v = load<int32_t>(ex.extra);
  ex.extra += 4;
  return v;
}

uint8_t* take_extra_address() {
  if (ex.extra == nullptr) return nullptr;
  auto* p = static_cast<uint8_t*>(load_address(ex.extra));
  ex.extra += ADDRESS_SIZE;
  return p;
}

uint8_t* take_address(uint8_t tag) {
  if (tag & TAG_EXTRA) return take_extra_address();
  auto* p = static_cast<uint8_t*>(load_address(ex.cursor));
  ex.cursor += ADDRESS_SIZE;
  return p;
}

void read_array_count(uint8_t descriptor) {
  if (descriptor == 0) return;
  if (descriptor & 0x0E) {
    ex.item.count = read_described_value(descriptor);
  } else if (descriptor & 0x01) {
    const uint8_t pair = *ex.cursor++;
    read_described_value(pair >> 4);  // a value only namelist input uses
    ex.item.count = read_described_value(pair & 0x0F);
  }
}

void reset_statement_records() {
  record_state.pending_blanks = 0;
  record_state.record_column = 0;
  record_state.write_start = 0;
  record_state.positioned = 0;
  record_state.column_offset = 0;
}

void statement_setup() {
  const uint8_t header = *ex.cursor++;
  ex.format = nullptr;
  ex.record_number = NO_UNIT_NUMBER;
  ex.err_branch = (header & HDR_ERR_BRANCH) != 0;
  ex.end_branch = (header & HDR_END_BRANCH) != 0;
  const bool formatted = (header & HDR_FORMATTED) != 0;
  const bool namelist = (header & HDR_INTERNAL) && (header & HDR_RECNO) && !formatted;
  const bool recno_given = (header & HDR_RECNO) && !namelist;
  Unit* unit = nullptr;

  if ((header & HDR_INTERNAL) && !namelist) {
    find_unit_slot(INTERNAL);
    unit = ex.unit;
    decode_item(*ex.cursor++);
    unit->record = ex.item.addr;
    unit->owns_record = false;
    unit->record_capacity = ex.item.size * ex.item.count;
    unit->last = ex.item.size - 1;
    unit->recl = ex.item.size;
    unit->pos = 0;
  } else {
    const uint8_t form = header & HDR_FORM_MASK;
    int32_t n = NO_UNIT_NUMBER;
    uint8_t ext = 0;
    bool has_ext = false;
    int32_t* size_addr = nullptr;
    if (form & 0x06) {
      n = read_described_value(form);
    } else if (form == HDR_FORM_EXT) {
      has_ext = true;
      ext = *ex.cursor++;
      if (ext & EXT_SIZE_VAR) {
        size_addr = static_cast<int32_t*>(load_address(ex.cursor));
        ex.cursor += ADDRESS_SIZE;
      }
      if (!(ext & EXT_DEFAULT_UNIT)) {
        n = load<int16_t>(ex.cursor);
        ex.cursor += 2;
      }
    }
    if (find_unit_slot(n) == NOT_CONNECTED) {
      implicit_connection(n, KIND_FORMATTED_SEQUENTIAL, ex.writing ? 4 : 2);
    }
    unit = ex.unit;
    if (unit->xflags & X_RECNO_PENDING) {
      unit->recno = ex.record_number;
      unit->xflags &= ~X_RECNO_PENDING;
    }
    unit->xflags &= ~(X_NONADVANCE | X_SIZE_VAR | X_EOR_BRANCH | X_POSITION_1 | X_POSITION_2);
    if (has_ext) {
      if (ext & EXT_NONADVANCE) unit->xflags |= X_NONADVANCE;
      if (ext & EXT_SIZE_VAR) {
        unit->xflags |= X_SIZE_VAR;
        unit->size_addr = size_addr;
      }
      if (ext & EXT_EOR_BRANCH) unit->xflags |= X_EOR_BRANCH;
    }
    if (unit->kind > KIND_FORMATTED_SEQUENTIAL) raise_error(11, ex.kind);
    if (unit->flags & UNIT_EOF) {
      if (recno_given) {
        unit->flags &= ~UNIT_EOF;
      } else {
        mark_end_of_file();
        raise_error(51, ex.kind);
      }
    }
  }

  int32_t engine = ENGINE_LIST;
  if (formatted) {
    ++ex.cursor;  // the format reference tag
    ex.format = static_cast<const FormatProgram*>(load_address(ex.cursor));
    ex.cursor += ADDRESS_SIZE;
    engine = ENGINE_FORMATTED;
    if (header & HDR_RECNO) {
      if (unit->kind != KIND_FORMATTED_DIRECT) raise_error(14, ex.kind);
      ex.record_number = read_described_value(*ex.cursor++ >> 4);
    }
  } else if (namelist) {
    if (unit->kind != KIND_FORMATTED_SEQUENTIAL && unit->kind != KIND_TERMINAL) {
      raise_error(21, ex.kind);
    }
    engine = ENGINE_NAMELIST;
  }

  if (unit->kind == KIND_FORMATTED_DIRECT) {
    position_direct(ex.record_number);
    if (!ex.writing) {
      unit->last = -1;
      unit->pos = 0;
    }
  }

  if (ex.writing) {
    ex.engine = engine_table.write[engine];
    ex.record_end = output_record_end(unit->kind);
  } else {
    unit->xflags &= ~(X_DELIM_QUOTE | X_DELIM_APOSTROPHE);
    ex.engine = engine_table.read[engine];
    ex.record_end = input_record_end(unit->kind);
  }
  if (ex.engine == nullptr) raise_error(CODE_NO_ENGINE, ex.kind);
}

void start_statement(const uint8_t* list, StatementKind kind, bool writing) {
  ex.cursor = list;
  ex.extra = nullptr;
  ex.kind = kind;
  ex.writing = writing;
  ex.status = 0;
  ex.unit = nullptr;
  reset_statement_records();
}

void prepare_write() {
  Unit* unit = ex.unit;
  if (ex.slot == INTERNAL_SLOT) return;
  if (!(unit->flags & UNIT_OUTPUT_MODE)) {
    if (unit->pos != 0) unit->flags |= UNIT_DIRTY;
    if (unit->kind == KIND_FORMATTED_DIRECT) {
      unit->pos = 0;
      unit->flags |= UNIT_OUTPUT_MODE;
    } else if (unit->kind == KIND_FORMATTED_SEQUENTIAL) {
      begin_writing();
    }
  } else {
    record_state.write_start = unit->pos;
  }
  if (unit->kind != KIND_FORMATTED_DIRECT) unit->last = unit->record_capacity - 1;
}

// A prompt written by a WRITE is shown on its own line before the program waits.
void prepare_read() {
  Unit* unit = ex.unit;
  if (ex.slot == INTERNAL_SLOT || !(unit->flags & UNIT_OUTPUT_MODE)) return;
  switch (unit->kind) {
    case KIND_TERMINAL:
      if (!(unit->flags & UNIT_CONTINUED) && unit->line_ended == 0) write_line_end(unit, ' ');
      unit->flags &= ~UNIT_CONTINUED;
      unit->last = -1;
      break;
    case KIND_FORMATTED_SEQUENTIAL: end_writing(); break;
    default: unit->flags &= ~UNIT_OUTPUT_MODE; break;
  }
}

}  // namespace

int32_t read_described_value(uint8_t descriptor) {
  const bool extra = (descriptor & 1) != 0;
  int32_t value = 0;
  switch ((descriptor >> 1) & 7) {
    case 1:
    case 6:
      if (extra) return static_cast<int8_t>(take_extra_int());
      value = static_cast<int8_t>(*ex.cursor);
      ex.cursor += 1;
      return value;
    case 2:
      if (extra) return static_cast<int16_t>(take_extra_int());
      value = load<int16_t>(ex.cursor);
      ex.cursor += 2;
      return value;
    case 3:
      if (extra) return take_extra_int();
      value = load<int32_t>(ex.cursor);
      ex.cursor += 4;
      return value;
    default: return 0;
  }
}

void decode_item(uint8_t tag) {
  CurrentItem& item = ex.item;
  item.count = 1;
  item.type = tag_type(tag);
  if (item.type == static_cast<int32_t>(IoType::Char)) {
    item.addr = take_address(tag);
    const uint8_t length_byte = *ex.cursor++;
    item.size = read_described_value(length_byte >> 4);
    read_array_count(length_byte & 0x0F);
    return;
  }
  if (tag & TAG_INLINE) {
    if (tag & TAG_EXTRA) {
      item.addr = const_cast<uint8_t*>(ex.extra);
      if (ex.extra != nullptr) {
        const int32_t size = INLINE_SIZE[item.type];
        ex.extra += size < 4 ? 4 : (item.type == static_cast<int32_t>(IoType::Real4) ? 8 : size);
      }
    } else {
      item.addr = const_cast<uint8_t*>(ex.cursor);
      ex.cursor += INLINE_SIZE[item.type];
    }
  } else {
    item.addr = take_address(tag);
  }
  item.size = ELEMENT_SIZE[item.type];
  if (tag & TAG_ARRAY) read_array_count(*ex.cursor++);
}

ListMark next_list_item() {
  const uint8_t tag = *ex.cursor++;
  if (tag == LIST_END) return ListMark::End;
  if (tag == LIST_PAUSE) return ListMark::Pause;
  decode_item(tag);
  return ListMark::Item;
}

void finish_record() { ex.record_end(); }

void implicit_connection(int32_t n, int32_t kind, int32_t status) {
  error_state.name_buffer[0] = '\0';
  const StatementKind saved = ex.kind;
  ex.kind = StatementKind::Open;
  connect_by_default(n, kind, status);
  ex.kind = saved;
  find_unit_slot(n);
}

int32_t execute_write(const uint8_t* list, const FormatProgram* format) {
  if (ex.list_observer != nullptr) return ex.list_observer(list, ExecPiece::Write);
  RecoveryPoint recovery;
  try {
    start_statement(list, StatementKind::Write, true);
    statement_setup();
    if (ex.format == nullptr) ex.format = format;
    prepare_write();
    record_state.emitter = put_chars;
    ex.engine(1);
    ex.unit->line_ended = 0;
    return 0;
  } catch (const StatementUnwind& unwind) {
    ex.status = unwind.status;
    return unwind.status;
  }
}

int32_t execute_read_first(const uint8_t* list) {
  if (ex.list_observer != nullptr) return ex.list_observer(list, ExecPiece::ReadFirst);
  RecoveryPoint recovery;
  try {
    start_statement(list, StatementKind::Read, false);
    statement_setup();
    prepare_read();
    ex.engine(1);
    return 0;
  } catch (const StatementUnwind& unwind) {
    ex.status = unwind.status;
    return unwind.status;
  }
}

int32_t execute_read_next(const uint8_t* list) {
  if (ex.list_observer != nullptr) return ex.list_observer(list, ExecPiece::ReadNext);
  if (ex.status != 0) return ex.status;
  RecoveryPoint recovery;
  try {
    ex.cursor = list;
    ex.extra = nullptr;
    ex.kind = StatementKind::Read;
    ex.engine(0);
    return 0;
  } catch (const StatementUnwind& unwind) {
    ex.status = unwind.status;
    return unwind.status;
  }
}

}  // namespace rtlib
