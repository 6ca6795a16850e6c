// Units and the unit table: allocation of a Unit, and the lookup that turns a unit number
// into a slot, serving units 0, 5, 6 and the default units from the console slots.
#include "rtlib/io/unit_table.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "rtlib/io/executor.h"
#include "rtlib/services/errors.h"

namespace rtlib {

UnitTable unit_table;

void UnitTable::reset() {
  for (int32_t i = 0; i < SLOT_COUNT; ++i) {
    number[i] = NO_UNIT_NUMBER;
    unit[i] = nullptr;
  }
}

Unit* allocate_unit(int32_t buffer_size) {
  Unit* unit = new (std::nothrow) Unit();
  if (unit == nullptr) raise_error(92, StatementKind::NoStatement);
  if (buffer_size > 0) {
    unit->record = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(buffer_size)));
    if (unit->record == nullptr) {
      delete unit;
      raise_error(92, StatementKind::NoStatement);
    }
    unit->record_capacity = buffer_size;
  }
  return unit;
}

void free_unit(Unit* unit) {
  if (unit == nullptr) return;
  std::free(unit->name);
  if (unit->owns_record) std::free(unit->record);
  delete unit;
}

void set_unit_name(Unit* unit, const char* text) {
  char* copy = strdup(text);
  if (copy == nullptr) raise_error(92, StatementKind::NoStatement);
  std::free(unit->name);
  unit->name = copy;
}

int32_t free_file_slot() {
  for (int32_t slot = FIRST_FILE_SLOT; slot <= LAST_FILE_SLOT; ++slot) {
    if (unit_table.unit[slot] == nullptr) return slot;
  }
  return 0;
}

Unit* console_output_unit() {
  if (unit_table.unit[SECOND_CONSOLE_SLOT] != nullptr) return unit_table.unit[SECOND_CONSOLE_SLOT];
  Unit* console = unit_table.unit[CONSOLE_SLOT];
  if (console != nullptr) console->handle = 1;
  return console;
}

namespace {

int32_t console_output_slot() {
  if (unit_table.unit[SECOND_CONSOLE_SLOT] != nullptr) return SECOND_CONSOLE_SLOT;
  Unit* console = unit_table.unit[CONSOLE_SLOT];
  console->handle = 1;
  console->pos = 0;
  return CONSOLE_SLOT;
}

int32_t console_input_slot(int32_t n) {
  if (unit_table.unit[SECOND_CONSOLE_SLOT] == nullptr) {
    unit_table.unit[CONSOLE_SLOT]->handle = (n == 0) ? 1 : 0;
  }
  return CONSOLE_SLOT;
}

int32_t console_slot(int32_t n) {
  return static_cast<int32_t>(exec_state.kind) <= static_cast<int32_t>(StatementKind::Write)
             ? console_output_slot()
             : console_input_slot(n);
}

// Statement kinds that may meet an unconnected number: they connect it themselves.
bool may_connect(StatementKind kind) {
  switch (kind) {
    case StatementKind::Close:
    case StatementKind::Write:
    case StatementKind::Open:
    case StatementKind::Read:
    case StatementKind::Rewind: return true;
    default: return false;
  }
}

int32_t slot_of(int32_t n) {
  if (n == NO_UNIT_NUMBER) return console_slot(n);
  if (n == INTERNAL) return INTERNAL_SLOT;
  for (int32_t slot = FIRST_FILE_SLOT; slot <= LAST_FILE_SLOT; ++slot) {
    if (unit_table.unit[slot] != nullptr && unit_table.number[slot] == n) {
      if (unit_table.unit[slot]->flags & UNIT_ON_CONSOLE) return console_slot(n);
      return slot;
    }
  }
  switch (n) {
    case 0: return console_slot(n);
    case 5: return console_input_slot(n);
    case 6: return console_output_slot();
    default: return NOT_CONNECTED;
  }
}

}  // namespace

int32_t find_unit_slot(int32_t n) {
  const int32_t slot = slot_of(n);
  if (slot == NOT_CONNECTED) {
    exec_state.unit = nullptr;
    exec_state.slot = NOT_CONNECTED;
    if (may_connect(exec_state.kind)) return NOT_CONNECTED;
    exec_state.unit = unit_table.unit[INTERNAL_SLOT];
    exec_state.slot = INTERNAL_SLOT;
    raise_error(66, exec_state.kind, n);
  }
  Unit* unit = unit_table.unit[slot];
  unit->last_status = 0;
  exec_state.unit = unit;
  exec_state.slot = slot;
  return slot;
}

Unit* lookup_unit(int32_t n) {
  const int32_t slot = find_unit_slot(n);
  return slot == NOT_CONNECTED ? nullptr : unit_table.unit[slot];
}

}  // namespace rtlib
