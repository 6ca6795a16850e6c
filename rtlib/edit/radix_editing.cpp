// Z, B and O editing: an item's storage bytes shown as, or read from, an unsigned number
// in base 16, 2 or 8. Called by the format-driven WRITE and READ engines for any item
// type. The bytes form the number from the most significant byte down: from the last byte
// to the first for a numeric item (little-endian storage), in storage order for a
// character item. Digit i (counted from 0 at the right) is made of the bits
// bits_per_digit * i and up; positions above the item's bits read as 0 and are dropped
// on input (O has three digits, nine bits, per byte).
#include <algorithm>
#include <cstring>

#include "rtlib/edit/output_editing.h"
#include "rtlib/io/executor.h"
#include "rtlib/services/errors.h"

namespace rtlib {

namespace {

struct Radix {
  int32_t bits_per_digit;
  int32_t digits_per_byte;
  int32_t base;
  int32_t error_code;  // raised for a character that is not a digit of the base
};

constexpr Radix HEX{4, 2, 16, 82};
constexpr Radix BINARY{1, 8, 2, 216};
constexpr Radix OCTAL{3, 3, 8, 217};

// The item's bytes counted from the least significant one.
class ItemBits {
 public:
  ItemBits(uint8_t* item, int32_t size, bool is_character)
      : item_(item), size_(size), is_character_(is_character) {}

  int64_t bit_count() const { return int64_t{size_} * 8; }

  uint8_t& byte(int64_t index) const { return item_[is_character_ ? size_ - 1 - index : index]; }

  int32_t bit(int64_t index) const {
    if (index >= bit_count()) return 0;
    return (byte(index / 8) >> (index % 8)) & 1;
  }

  void set_bit(int64_t index) const {
    if (index < bit_count()) byte(index / 8) |= static_cast<uint8_t>(1u << (index % 8));
  }

  // Index of the highest set bit, or -1 when every bit is clear.
  int64_t highest_bit() const {
    for (int64_t b = size_ - 1; b >= 0; --b) {
      const uint8_t v = byte(b);
      if (v != 0) return b * 8 + (31 - __builtin_clz(v));
    }
    return -1;
  }

 private:
  uint8_t* item_;
  int32_t size_;
  bool is_character_;
};

int32_t digit_at(const ItemBits& bits, const Radix& radix, int64_t index) {
  int32_t v = 0;
  const int64_t first = index * radix.bits_per_digit;
  for (int32_t t = radix.bits_per_digit - 1; t >= 0; --t) v = v * 2 + bits.bit(first + t);
  return v;
}

int32_t digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 99;
}

int32_t write_radix(EditDescriptor& desc, const ItemBits& bits, int32_t size, const Radix& radix,
                    char* out) {
  const int64_t item_digits = int64_t{radix.digits_per_byte} * size;
  // The default width is the item's digit count, at most what the edit buffer holds.
  if (desc.w <= 0) desc.w = static_cast<int32_t>(std::min<int64_t>(item_digits, EDIT_VALUE_MAX));
  const int32_t w = desc.w;
  const int32_t m = std::max(desc.d, 0);
  const int64_t top = bits.highest_bit();
  const int64_t significant = top < 0 ? 1 : top / radix.bits_per_digit + 1;

  // The high-order digits of a number wider than w are dropped: its last w digits show.
  const int64_t length =
      (w < item_digits && significant >= w) ? w : std::max<int64_t>(significant, m);
  if (desc.d <= 0) desc.d = static_cast<int32_t>(std::min<int64_t>(significant, w));
  if (length > EDIT_VALUE_MAX) return EDIT_TOO_LONG;

  static constexpr char DIGIT_CHARS[] = "0123456789ABCDEF";
  for (int64_t i = 0; i < length; ++i) {
    out[length - 1 - i] = DIGIT_CHARS[digit_at(bits, radix, i)];
  }
  out[length] = '\0';
  return static_cast<int32_t>(length);
}

void read_radix(const ItemBits& bits, int32_t size, const Radix& radix, const char* text,
                int32_t length) {
  // Check the whole field first, so that a bad one leaves the item unchanged.
  for (int32_t i = 0; i < length; ++i) {
    if (digit_value(text[i]) >= radix.base) raise_error(radix.error_code, exec_state.kind);
  }
  const int64_t item_digits = int64_t{radix.digits_per_byte} * size;
  const int32_t first = static_cast<int32_t>(std::max<int64_t>(0, length - item_digits));
  for (int32_t b = 0; b < size; ++b) bits.byte(b) = 0;
  for (int32_t pos = length - 1; pos >= first; --pos) {
    const int64_t index = length - 1 - pos;
    const int32_t v = digit_value(text[pos]);
    for (int32_t t = 0; t < radix.bits_per_digit; ++t) {
      if ((v >> t) & 1) bits.set_bit(index * radix.bits_per_digit + t);
    }
  }
}

int32_t edit_radix(const Radix& radix, EditDescriptor& desc, void* item, int32_t size,
                   bool is_character, EditDirection direction, char* text, int32_t length) {
  size = std::max(size, 0);
  const ItemBits bits(static_cast<uint8_t*>(item), size, is_character);
  if (direction == EditDirection::Output) return write_radix(desc, bits, size, radix, text);
  read_radix(bits, size, radix, text, std::max(length, 0));
  return 0;
}

}  // namespace

int32_t edit_hex(EditDescriptor& desc, void* item, int32_t size, bool is_character,
                 EditDirection direction, char* text, int32_t length) {
  return edit_radix(HEX, desc, item, size, is_character, direction, text, length);
}

int32_t edit_binary(EditDescriptor& desc, void* item, int32_t size, bool is_character,
                    EditDirection direction, char* text, int32_t length) {
  return edit_radix(BINARY, desc, item, size, is_character, direction, text, length);
}

int32_t edit_octal(EditDescriptor& desc, void* item, int32_t size, bool is_character,
                   EditDirection direction, char* text, int32_t length) {
  return edit_radix(OCTAL, desc, item, size, is_character, direction, text, length);
}

}  // namespace rtlib
