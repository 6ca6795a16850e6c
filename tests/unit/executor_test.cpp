// The executor's unit lookup and item decoder.
#include "rtlib/io/executor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "rtlib/io/control_list.h"
#include "rtlib/io/unit_table.h"
#include "rtlib/services/errors.h"
#include "test_support.h"

namespace rtlib {
namespace {

class UnitLookup : public ::testing::Test {
 protected:
  void SetUp() override { test::start_library(); }

  // The terminal case: one console unit serves both directions.
  void use_one_console_unit() {
    free_unit(unit_table.unit[SECOND_CONSOLE_SLOT]);
    unit_table.unit[SECOND_CONSOLE_SLOT] = nullptr;
  }
  void use_two_console_units() {
    if (unit_table.unit[SECOND_CONSOLE_SLOT] != nullptr) return;
    Unit* second = allocate_unit(CONSOLE_BUFFER_SIZE);
    set_unit_name(second, "CON");
    second->kind = KIND_TERMINAL;
    second->handle = 1;
    unit_table.unit[SECOND_CONSOLE_SLOT] = second;
    unit_table.unit[CONSOLE_SLOT]->handle = 0;
  }
};

struct LookupCase {
  const char* name;
  StatementKind kind;
  int32_t n;
  int32_t expect_slot;
  int32_t expect_handle;  // of the answered unit
};

TEST_F(UnitLookup, TwoConsoleUnits) {
  use_two_console_units();
  const LookupCase cases[] = {
      {"default output", StatementKind::Write, NO_UNIT_NUMBER, 63, 1},
      {"default input", StatementKind::Read, NO_UNIT_NUMBER, 62, 0},
      {"unit 0 write", StatementKind::Write, 0, 63, 1},
      {"unit 0 read", StatementKind::Read, 0, 62, 0},
      {"unit 5 read", StatementKind::Read, 5, 62, 0},
      {"unit 5 write", StatementKind::Write, 5, 62, 0},
      {"unit 6 write", StatementKind::Write, 6, 63, 1},
      {"unit 6 read", StatementKind::Read, 6, 63, 1},
      {"close of 0", StatementKind::Close, 0, 63, 1},
  };
  for (const LookupCase& c : cases) {
    exec_state.kind = c.kind;
    EXPECT_EQ(find_unit_slot(c.n), c.expect_slot) << c.name;
    ASSERT_NE(exec_state.unit, nullptr) << c.name;
    EXPECT_EQ(exec_state.unit, unit_table.unit[c.expect_slot]) << c.name;
    EXPECT_EQ(exec_state.unit->handle, c.expect_handle) << c.name;
  }
}

TEST_F(UnitLookup, OneConsoleUnitFollowsTheDirection) {
  use_one_console_unit();
  const LookupCase cases[] = {
      {"default output", StatementKind::Write, NO_UNIT_NUMBER, 62, 1},
      {"default input", StatementKind::Read, NO_UNIT_NUMBER, 62, 0},
      {"unit 0 read answers the output handle", StatementKind::Read, 0, 62, 1},
      {"unit 5 read", StatementKind::Read, 5, 62, 0},
      {"unit 6 write", StatementKind::Write, 6, 62, 1},
      {"unit 0 write", StatementKind::Write, 0, 62, 1},
  };
  for (const LookupCase& c : cases) {
    exec_state.kind = c.kind;
    unit_table.unit[CONSOLE_SLOT]->pos = 9;
    EXPECT_EQ(find_unit_slot(c.n), c.expect_slot) << c.name;
    EXPECT_EQ(unit_table.unit[CONSOLE_SLOT]->handle, c.expect_handle) << c.name;
    if (c.kind == StatementKind::Write) {
      EXPECT_EQ(unit_table.unit[CONSOLE_SLOT]->pos, 0) << c.name;
    }
  }
}

TEST_F(UnitLookup, ConnectedUnconnectedAndInternal) {
  Unit* file = allocate_unit(FILE_BUFFER_SIZE);
  file->kind = KIND_FORMATTED_SEQUENTIAL;
  file->handle = 7;
  file->last_status = 6501;
  unit_table.number[1] = 6;
  unit_table.unit[1] = file;

  exec_state.kind = StatementKind::Write;
  EXPECT_EQ(find_unit_slot(6), 1);  // an OPEN of unit 6 takes it from the console
  EXPECT_EQ(file->last_status, 0);
  EXPECT_EQ(find_unit_slot(INTERNAL), INTERNAL_SLOT);
  for (StatementKind kind : {StatementKind::Close, StatementKind::Write, StatementKind::Open,
                             StatementKind::Read, StatementKind::Rewind}) {
    exec_state.kind = kind;
    EXPECT_EQ(find_unit_slot(7), NOT_CONNECTED);
    EXPECT_EQ(exec_state.unit, nullptr);
  }

  // A unit opened on the console device is served through the console slots.
  file->flags |= UNIT_ON_CONSOLE;
  exec_state.kind = StatementKind::Read;
  EXPECT_EQ(find_unit_slot(6), CONSOLE_SLOT);
}

TEST_F(UnitLookup, UnconnectedNumberFailsForOtherStatements) {
  RecoveryPoint recovery;
  exec_state.err_branch = true;
  exec_state.kind = StatementKind::Inquire;
  try {
    find_unit_slot(7);
    FAIL() << "no error raised";
  } catch (const StatementUnwind& unwind) {
    EXPECT_EQ(unwind.status, 6000 + 420);
  }
  EXPECT_EQ(exec_state.unit, unit_table.unit[INTERNAL_SLOT]);
}

// Item decoder: one list holding every item type, inline and by address.
TEST(ItemDecoder, EveryTypeInlineAndByAddress) {
  struct Case {
    IoType type;
    int32_t size;
  };
  const Case cases[] = {{IoType::Int1, 1},     {IoType::Int2, 2},  {IoType::Int4, 4},
                        {IoType::Log1, 1},     {IoType::Log2, 2},  {IoType::Log4, 4},
                        {IoType::Real4, 4},    {IoType::Real8, 8}, {IoType::Complex8, 4},
                        {IoType::Complex16, 8}};
  alignas(16) uint8_t variable[16] = {};
  std::vector<uint8_t> list;
  auto put_address = [&list](const void* p) {
    uint8_t bytes[sizeof p];
    std::memcpy(bytes, &p, sizeof p);
    list.insert(list.end(), bytes, bytes + sizeof p);
  };
  for (const Case& c : cases) {
    list.push_back(make_tag(c.type, true));
    for (int32_t i = 0; i < INLINE_SIZE[static_cast<int>(c.type)]; ++i) list.push_back(0xA0 + i);
    list.push_back(make_tag(c.type, false));
    put_address(variable);
  }
  const char text[] = "text";
  list.push_back(0x28);  // an output character item with its 4-byte length
  put_address(text);
  list.insert(list.end(), {0x60, 4, 0, 0, 0});
  list.push_back(0x28);  // an input character item with its 2-byte length
  put_address(text);
  list.insert(list.end(), {0x40, 3, 0});
  list.push_back(make_tag(IoType::Int4, false) | TAG_ARRAY);  // 6 elements, 32-bit count
  put_address(variable);
  list.insert(list.end(), {0x06, 6, 0, 0, 0});
  list.push_back(LIST_PAUSE);

  exec_state.cursor = list.data();
  exec_state.extra = nullptr;
  for (const Case& c : cases) {
    const auto type = static_cast<int32_t>(c.type);
    const uint8_t* value_at = exec_state.cursor + 1;
    ASSERT_EQ(next_list_item(), ListMark::Item);
    EXPECT_EQ(exec_state.item.type, type);
    EXPECT_EQ(exec_state.item.addr, value_at) << "inline " << type;
    EXPECT_EQ(exec_state.item.size, c.size);
    EXPECT_EQ(exec_state.item.count, 1);
    ASSERT_EQ(next_list_item(), ListMark::Item);
    EXPECT_EQ(exec_state.item.type, type);
    EXPECT_EQ(exec_state.item.addr, variable) << "by address " << type;
    EXPECT_EQ(exec_state.item.size, c.size);
  }
  for (int32_t length : {4, 3}) {
    ASSERT_EQ(next_list_item(), ListMark::Item);
    EXPECT_EQ(exec_state.item.type, 10);
    EXPECT_EQ(exec_state.item.addr, reinterpret_cast<const uint8_t*>(text));
    EXPECT_EQ(exec_state.item.size, length);
    EXPECT_EQ(exec_state.item.count, 1);
  }
  ASSERT_EQ(next_list_item(), ListMark::Item);
  EXPECT_EQ(exec_state.item.count, 6);
  EXPECT_EQ(exec_state.item.size, 4);
  EXPECT_EQ(next_list_item(), ListMark::Pause);
}

TEST(ControlListDump, ShowsEachElement) {
  const uint8_t list[] = {0x04, 20, 0, 0x4C, 1, 0, 0, 0, 0x00};
  EXPECT_EQ(dump_control_list(list, sizeof list), "hdr=04 unit=20 t3=01000000 end");
}

}  // namespace
}  // namespace rtlib
