// The IoControlList: the byte code that describes one READ or WRITE statement.
//
// The builder writes it, the executor and the engines read it, and dump() prints it for
// tests and debugging. Every encoding lives here so that nobody re-derives a byte by hand.
//
//   header  [ext] [size-var addr] [unit16] [0x28 format addr] items... end
//
//   header  bits 0-2 unit form (1: extension byte follows, 4: 16-bit unit follows,
//           0: no unit), 0x08 internal file, 0x10 formatted, 0x20 record number,
//           0x40 end-of-file branch, 0x80 error branch or status variable
//   ext     0x01 nonadvancing, 0x02 end-of-record branch, 0x04 size variable,
//           0x08 default unit (no unit number follows)
//   item    tag: bits 2-5 IoType, 0x40 value inline (else an address follows),
//           0x02 value in the extra arguments, 0x80 array-count byte follows.
//           A character item is 0x28, the address, a length byte (high nibble = value
//           descriptor of the length: 0x60 a 4-byte length, 0x40 a 2-byte length).
//   end     0x00 end of statement, 0x01 pause: the rest of a READ comes later.
//
// Multi-byte values are little-endian and unaligned; addresses are 8 bytes wide.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace rtlib {

enum class IoType : uint8_t {
  None = 0,
  Int1 = 1,
  Int2 = 2,
  Int4 = 3,
  Log1 = 6,
  Log2 = 7,
  Log4 = 8,
  Char = 10,
  Real4 = 11,
  Real8 = 12,
  Complex8 = 14,
  Complex16 = 15,
};

enum class IoClass : uint8_t { None, Integer, Logical, Character, Real, Complex };

// Size of one element of each type code (a complex element is one part).
inline constexpr int32_t ELEMENT_SIZE[16] = {0, 1, 2, 4, 0, 0, 1, 2, 4, 0, 0, 4, 8, 0, 4, 8};
// Bytes an inline value takes in the list (a complex value is both parts).
inline constexpr int32_t INLINE_SIZE[16] = {0, 1, 2, 4, 0, 0, 1, 2, 4, 0, 0, 4, 8, 0, 8, 16};

constexpr IoClass io_class(int type) {
  switch (type) {
    case 1:
    case 2:
    case 3: return IoClass::Integer;
    case 6:
    case 7:
    case 8: return IoClass::Logical;
    case 10: return IoClass::Character;
    case 11:
    case 12: return IoClass::Real;
    case 14:
    case 15: return IoClass::Complex;
    default: return IoClass::None;
  }
}

// Header byte.
inline constexpr uint8_t HDR_FORM_MASK = 0x07;
inline constexpr uint8_t HDR_FORM_NONE = 0;
inline constexpr uint8_t HDR_FORM_EXT = 1;
inline constexpr uint8_t HDR_FORM_UNIT16 = 4;
inline constexpr uint8_t HDR_INTERNAL = 0x08;
inline constexpr uint8_t HDR_FORMATTED = 0x10;
inline constexpr uint8_t HDR_RECNO = 0x20;
inline constexpr uint8_t HDR_END_BRANCH = 0x40;
inline constexpr uint8_t HDR_ERR_BRANCH = 0x80;

// Extension byte.
inline constexpr uint8_t EXT_NONADVANCE = 0x01;
inline constexpr uint8_t EXT_EOR_BRANCH = 0x02;
inline constexpr uint8_t EXT_SIZE_VAR = 0x04;
inline constexpr uint8_t EXT_DEFAULT_UNIT = 0x08;

// Item tags.
inline constexpr uint8_t TAG_EXTRA = 0x02;
inline constexpr uint8_t TAG_INLINE = 0x40;
inline constexpr uint8_t TAG_ARRAY = 0x80;
inline constexpr uint8_t TAG_FORMAT_REF = 0x28;  // type 10 by address
inline constexpr uint8_t CHAR_LEN_OUT = 0x60;    // 4-byte length follows
inline constexpr uint8_t CHAR_LEN_IN = 0x40;     // 2-byte length follows

// Terminators.
inline constexpr uint8_t LIST_END = 0x00;
inline constexpr uint8_t LIST_PAUSE = 0x01;

inline constexpr int32_t ADDRESS_SIZE = static_cast<int32_t>(sizeof(void*));

constexpr uint8_t make_tag(IoType type, bool inline_value) {
  return static_cast<uint8_t>((static_cast<uint8_t>(type) << 2) | (inline_value ? TAG_INLINE : 0));
}
constexpr int tag_type(uint8_t tag) { return (tag >> 2) & 0x0F; }

// Unaligned little-endian access to list bytes.
template <typename T>
inline T load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}
template <typename T>
inline void store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof(T));
}
inline void* load_address(const uint8_t* p) { return load<void*>(p); }

// A readable listing of a statement list: one token per element, for tests and debugging.
// Example: "hdr=01 ext=08 end".
std::string dump_control_list(const uint8_t* list, int32_t len);

}  // namespace rtlib
