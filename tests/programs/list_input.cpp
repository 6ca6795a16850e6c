// List-directed READ from the console, as a program makes it: one statement with the items
// the arguments name, repeated until a statement returns a status other than 0. Before
// every statement element k of n items holds n - k (so six reals hold 6 5 4 3 2 1); after
// it one line shows the status and every element:
//
//   0: 1 2 3 4 5 6
//
// Arguments, in any order:
//   r4 r8 i1 i2 i4 l1 l2 l4 c8 c16   an item of that type (4-byte real, ..., complex)
//   chN                              a character item of length N (initially all ".")
//   flags=N                          the READ flags (default 4: a status variable)
//   reads=N                          at most N statements (default: until a status)
// Without item arguments the statement reads six 4-byte reals. Reals are shown in their
// shortest exact form, logicals as the 32-bit pattern of the whole element (so that a
// store into the first byte only shows), characters between brackets.
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "rtlib/rtlib.h"
#include "rtlib/services/startup.h"

namespace {

struct Item {
  std::string type;
  int32_t length = 0;  // character items
  alignas(8) unsigned char bytes[16] = {};
  std::string text;  // character items
};

template <typename T>
void put(Item& item, T value, int offset = 0) {
  std::memcpy(item.bytes + offset, &value, sizeof value);
}

template <typename T>
T get(const Item& item, int offset = 0) {
  T value;
  std::memcpy(&value, item.bytes + offset, sizeof value);
  return value;
}

template <typename T>
void show_number(std::string& line, T value) {
  char text[64];
  line.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void set_initial(Item& item, int value) {
  const std::string& t = item.type;
  if (t == "r4") put(item, static_cast<float>(value));
  if (t == "r8") put(item, static_cast<double>(value));
  if (t == "i1") put(item, static_cast<int8_t>(value));
  if (t == "i2") put(item, static_cast<int16_t>(value));
  if (t == "i4") put(item, static_cast<int32_t>(value));
  if (t == "l1" || t == "l2" || t == "l4") std::memset(item.bytes, 0xFF, sizeof item.bytes);
  if (t == "c8") {
    put(item, static_cast<float>(value));
    put(item, static_cast<float>(-value), 4);
  }
  if (t == "c16") {
    put(item, static_cast<double>(value));
    put(item, static_cast<double>(-value), 8);
  }
  if (t == "ch") item.text.assign(static_cast<size_t>(item.length), '.');
}

int32_t read_into(Item& item) {
  const std::string& t = item.type;
  auto* b = item.bytes;
  if (t == "r4") return io_in_r4(reinterpret_cast<float*>(b));
  if (t == "r8") return io_in_r8(reinterpret_cast<double*>(b));
  if (t == "i1") return io_in_i1(reinterpret_cast<int8_t*>(b));
  if (t == "i2") return io_in_i2(reinterpret_cast<int16_t*>(b));
  if (t == "i4") return io_in_i4(reinterpret_cast<int32_t*>(b));
  if (t == "l1") return io_in_l1(reinterpret_cast<int8_t*>(b));
  if (t == "l2") return io_in_l2(reinterpret_cast<int16_t*>(b));
  if (t == "l4") return io_in_l4(reinterpret_cast<int32_t*>(b));
  if (t == "c8") return io_in_c8(reinterpret_cast<float*>(b));
  if (t == "c16") return io_in_c16(reinterpret_cast<double*>(b));
  return io_in_char(item.text.data(), item.length);
}

void show(std::string& line, const Item& item) {
  const std::string& t = item.type;
  if (t == "r4") show_number(line, get<float>(item));
  if (t == "r8") show_number(line, get<double>(item));
  if (t == "i1") show_number(line, static_cast<int>(get<int8_t>(item)));
  if (t == "i2") show_number(line, static_cast<int>(get<int16_t>(item)));
  if (t == "i4" || t == "l4") show_number(line, get<int32_t>(item));
  if (t == "l1") show_number(line, static_cast<int>(get<int8_t>(item)));
  if (t == "l2") show_number(line, static_cast<int>(get<int16_t>(item)));
  if (t == "c8" || t == "c16") {
    line += '(';
    if (t == "c8") show_number(line, get<float>(item));
    if (t == "c16") show_number(line, get<double>(item));
    line += ',';
    if (t == "c8") show_number(line, get<float>(item, 4));
    if (t == "c16") show_number(line, get<double>(item, 8));
    line += ')';
  }
  if (t == "ch") line += "[" + item.text + "]";
}

}  // namespace

extern "C" int program_main(void) {
  const int argc = rtlib::process_state.argc;
  char** argv = rtlib::process_state.argv;
  std::vector<Item> items;
  int32_t flags = 4;
  long reads = -1;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg.rfind("flags=", 0) == 0) {
      flags = std::atoi(arg.c_str() + 6);
    } else if (arg.rfind("reads=", 0) == 0) {
      reads = std::atol(arg.c_str() + 6);
    } else if (arg.rfind("ch", 0) == 0) {
      Item item;
      item.type = "ch";
      item.length = std::atoi(arg.c_str() + 2);
      items.push_back(item);
    } else {
      Item item;
      item.type = arg;
      items.push_back(item);
    }
  }
  if (items.empty()) {
    Item real;
    real.type = "r4";
    items.assign(6, real);
  }

  for (long n = 0; reads < 0 || n < reads; ++n) {
    for (size_t k = 0; k < items.size(); ++k) {
      set_initial(items[k], static_cast<int>(items.size() - k));
    }
    io_read_begin(DEFAULT_INPUT_UNIT, nullptr, 0, nullptr, 0, nullptr, flags);
    for (Item& item : items) read_into(item);
    const int32_t status = io_read_end();
    std::string line;
    show_number(line, status);
    line += ':';
    for (const Item& item : items) {
      line += ' ';
      show(line, item);
    }
    line += '\n';
    (void)!write(1, line.data(), line.size());
    if (status != 0) break;
  }
  return 0;
}
