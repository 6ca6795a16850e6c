// Numeric output editing: the editors that turn one value into the visible characters of
// one output field, for the I, D, E, F, G, ES, EN, Z, B and O edit descriptors and for
// the list-directed choice between the F and E forms. The format-driven WRITE engine and
// list-directed output call them with an output area (normally edit_buffer.text).
//
// An editor writes the field's characters left-aligned, without leading blanks, followed
// by a NUL, and answers their count. Right-justification, the asterisk fill and the
// transfer into the record belong to the caller. Two answers are markers, not lengths:
// EDIT_TOO_LONG (the text would not fit in the edit buffer) and EDIT_EXPONENT_OVERFLOW
// (the exponent does not fit in its field); the caller fills the field with asterisks.
// The output editors raise no error and keep no state between calls.
#pragma once

#include <cstdint>

#include "rtlib/edit/decimal_digits.h"
#include "rtlib/edit/edit_buffer.h"
#include "rtlib/edit/edit_descriptor.h"

namespace rtlib {

// Markers answered instead of a length.
inline constexpr int32_t EDIT_TOO_LONG = EDIT_BUFFER_SIZE;  // 520
inline constexpr int32_t EDIT_EXPONENT_OVERFLOW = 32767;

// Significant digits printed at most for a single-precision value (a 4-byte real or a part
// of a complex of 4-byte reals) and for a double-precision value.
inline constexpr int32_t SINGLE_DIGIT_LIMIT = 7;
inline constexpr int32_t DOUBLE_DIGIT_LIMIT = 16;

// Integer editing (Iw.m, and G for integers): an optional sign, zeros up to the minimum
// digit count m (desc.d), the digits. Zero has no digits of its own, so I4.0 of 0 writes
// nothing. A '+' comes with desc.plus unless both m and the digit string are empty. w is
// not looked at: a result longer than w is the caller's overflow.
int32_t edit_integer(int32_t value, const EditDescriptor& desc, char* out);

// Real editing for the codes DESC_LIST (list-directed choice), DESC_D, DESC_E, DESC_F,
// DESC_G (sub SUB_G_LETTER_D: exponent letter D) and DESC_EXTENDED with SUB_ES, SUB_EN or
// SUB_E_LETTER_D. value points at the element (one part of a complex item); type is its
// IoType code: 11 (4-byte real) and 14 (complex of 4-byte reals) are single precision,
// limited to 7 significant digits; any other code reads an 8-byte real, limited to 16.
// A 4-byte value is widened to double by its bits, so a signalling NaN stays signalling
// and no floating-point exception can be raised.
int32_t edit_real(const EditDescriptor& desc, const void* value, int32_t type, char* out);

// The same with the value already in a double and the digit limit given (7 or 16).
int32_t edit_real_value(const EditDescriptor& desc, double value, int32_t digit_limit, char* out);

// Widens the bits of a 4-byte real to a double exactly, NaN payload and quiet bit
// included, without floating-point arithmetic.
double widen_single(uint32_t bits);

// Direction of the Z, B and O editors.
enum class EditDirection : uint8_t { Output, Input };

// Z, B and O editing of any item as the unsigned number its storage bytes form (from the
// last byte down for a numeric item, which is little-endian; in storage order for a
// character item). Z has two digits per byte, B eight, O three.
//
// Output: text receives the NUL-terminated digit string and the answer is its length L
// (EDIT_TOO_LONG when it would not fit in the edit buffer). When w is 0, desc.w is set to
// the default width (digits per byte times size, at most 519); when m (desc.d) is 0, it
// is set to the number of significant digits, at most w. The caller takes n = w when
// L > w, else the larger of L and desc.d, and puts w - n blanks in front. length is
// not used.
//
// Input: text holds the field's length characters; its digits are aligned to the right
// of the item's digit positions (only the last ones are used when the field is longer)
// and stored into the item, which is changed only when every character of the field is a
// digit of the base; otherwise run-time error 82 (Z), 216 (B) or 217 (O) is raised
// under exec_state.kind. The answer is 0.
int32_t edit_hex(EditDescriptor& desc, void* item, int32_t size, bool is_character,
                 EditDirection direction, char* text, int32_t length);
int32_t edit_binary(EditDescriptor& desc, void* item, int32_t size, bool is_character,
                    EditDirection direction, char* text, int32_t length);
int32_t edit_octal(EditDescriptor& desc, void* item, int32_t size, bool is_character,
                   EditDirection direction, char* text, int32_t length);

}  // namespace rtlib
