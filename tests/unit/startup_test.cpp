// Start-up and the exit routine: what the initialisation makes, and the closing of every
// connected unit at exit, once.
#include "rtlib/services/startup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rtlib/io/executor.h"
#include "rtlib/io/handles.h"
#include "rtlib/io/records.h"
#include "rtlib/io/statement_builder.h"
#include "rtlib/io/unit_table.h"
#include "test_support.h"

namespace rtlib {
namespace {

TEST(Startup, InitialisationMakesTheFixedUnitsAndTheList) {
  test::start_library();
  const Unit* internal = unit_table.unit[INTERNAL_SLOT];
  ASSERT_NE(internal, nullptr);
  EXPECT_EQ(internal->kind, KIND_INTERNAL);
  EXPECT_STREQ(internal->name, "internal");
  EXPECT_EQ(internal->record, nullptr);
  const Unit* console = unit_table.unit[CONSOLE_SLOT];
  ASSERT_NE(console, nullptr);
  EXPECT_EQ(console->kind, KIND_TERMINAL);
  EXPECT_STREQ(console->name, "CON");
  EXPECT_EQ(console->record_capacity, 132);
  EXPECT_EQ(console->xflags & (X_COLUMN_ONE | X_LIST_CC), X_COLUMN_ONE);
  EXPECT_EQ(statement_state.list_cap, 20000);
  EXPECT_EQ(statement_state.in_transfer, 1);
  EXPECT_EQ(statement_state.temps_head, nullptr);
  for (int32_t slot = FIRST_FILE_SLOT; slot <= LAST_FILE_SLOT; ++slot) {
    EXPECT_EQ(unit_table.unit[slot], nullptr);
  }
}

// Two file units with buffered output: the exit routine writes and closes both, frees
// their slots, and a second call does nothing more.
TEST(Startup, ExitRoutineClosesEveryUnitOnce) {
  test::start_library();
  const test::TempFiles files;
  const char* texts[] = {"first\r\n", "second\r\n"};
  for (int32_t slot = 1; slot <= 2; ++slot) {
    const std::string path = files.path(("unit" + std::to_string(slot)).c_str());
    Unit* unit = allocate_unit(FILE_BUFFER_SIZE);
    set_unit_name(unit, path.c_str());
    unit->kind = KIND_FORMATTED_SEQUENTIAL;
    unit->xflags = X_LIST_CC;
    unit->handle = file_open(path.c_str(), OPEN_READWRITE | OPEN_NEW, SHARE_DENYNONE, 0);
    ASSERT_GE(unit->handle, 3);
    unit->flags = UNIT_OUTPUT_MODE | UNIT_DIRTY;
    const std::string text = texts[slot - 1];
    std::memcpy(unit->record, text.data(), text.size());
    unit->pos = static_cast<int32_t>(text.size());
    unit_table.number[slot] = 10 + slot;
    unit_table.unit[slot] = unit;
  }
  const int32_t runs = process_state.exit_routine_runs;
  rtlib_exit_routine();
  for (int32_t slot = 1; slot <= 2; ++slot) {
    EXPECT_EQ(unit_table.unit[slot], nullptr);
    EXPECT_EQ(unit_table.number[slot], NO_UNIT_NUMBER);
    const std::string path = files.path(("unit" + std::to_string(slot)).c_str());
    EXPECT_EQ(test::TempFiles::contents(path), texts[slot - 1]);
  }
  rtlib_exit_routine();
  EXPECT_EQ(process_state.exit_routine_runs, runs + 2);
  EXPECT_TRUE(process_state.exit_routine_ran);
  EXPECT_FALSE(process_state.initialised);
}

}  // namespace
}  // namespace rtlib
