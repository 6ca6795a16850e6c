// The parameters of one edit descriptor as the editors see them. A unit's descriptor
// block (fmt_repeat .. fmt_sub) forms one; list-directed output uses constant ones.
#pragma once

#include <cstdint>

namespace rtlib {

// Descriptor codes seen by the editors and the input converters.
enum DescriptorCode : uint8_t {
  DESC_LIST = 0,  // list-directed choice between the F and E forms
  DESC_I = 8,
  DESC_D = 9,
  DESC_E = 10,
  DESC_F = 11,
  DESC_G = 12,
  DESC_Z = 13,
  DESC_EXTENDED = 15,  // ES, EN, B, O, E with exponent letter D (see the sub-kind)
  DESC_DOLLAR = 25,    // the format ended with a dollar sign
};

// Sub-kinds of DESC_EXTENDED (and 7 for G with exponent letter D).
enum DescriptorSub : uint8_t {
  SUB_NONE = 0,
  SUB_ES = 1,
  SUB_EN = 2,
  SUB_B = 3,
  SUB_O = 4,
  SUB_E_LETTER_D = 6,
  SUB_G_LETTER_D = 7,
};

struct EditDescriptor {
  int32_t repeat = 0;
  int32_t w = 0;
  int32_t d = 0;  // digits after the point, or the minimum digit count m of I, Z, B, O
  int32_t e = 2;  // exponent digits
  int32_t k = 0;  // scale factor
  uint8_t plus = 0;
  uint8_t code = 0;
  uint8_t sub = 0;
};

}  // namespace rtlib
