// A readable listing of an IoControlList, for tests and debugging.
#include "rtlib/io/control_list.h"

#include <cstdio>

namespace rtlib {

namespace {

std::string hex2(uint8_t b) {
  char text[3];
  std::snprintf(text, sizeof text, "%02x", b);
  return text;
}

// Reads a value of the width that a value descriptor names; answers the bytes it took.
int32_t described_width(uint8_t descriptor) {
  if (descriptor & 1) return 0;  // from the extra arguments
  switch ((descriptor >> 1) & 7) {
    case 1:
    case 6: return 1;
    case 2: return 2;
    case 3: return 4;
    default: return 0;
  }
}

int64_t read_width(const uint8_t* p, int32_t width) {
  switch (width) {
    case 1: return static_cast<int8_t>(*p);
    case 2: return load<int16_t>(p);
    case 4: return load<int32_t>(p);
    default: return 0;
  }
}

}  // namespace

std::string dump_control_list(const uint8_t* list, int32_t len) {
  std::string out;
  int32_t i = 0;
  auto sep = [&out] {
    if (!out.empty()) out += ' ';
  };
  if (len <= 0) return out;
  const uint8_t header = list[i++];
  (out += "hdr=") += hex2(header);
  const uint8_t form = header & HDR_FORM_MASK;
  bool default_unit = false;
  if (form == HDR_FORM_EXT && i < len) {
    const uint8_t ext = list[i++];
    sep();
    (out += "ext=") += hex2(ext);
    if ((ext & EXT_SIZE_VAR) && i + ADDRESS_SIZE <= len) {
      sep();
      out += "size@";
      i += ADDRESS_SIZE;
    }
    default_unit = (ext & EXT_DEFAULT_UNIT) != 0;
    if (!default_unit && i + 2 <= len) {
      sep();
      (out += "unit=") += std::to_string(load<int16_t>(list + i));
      i += 2;
    }
  } else if (form != HDR_FORM_NONE) {
    const int32_t width = described_width(form);
    if (i + width <= len) {
      sep();
      (out += "unit=") += std::to_string(read_width(list + i, width));
      i += width;
    }
  }
  if ((header & HDR_FORMATTED) && i + 1 + ADDRESS_SIZE <= len) {
    sep();
    out += "fmt@";
    i += 1 + ADDRESS_SIZE;
  }
  while (i < len) {
    const uint8_t tag = list[i++];
    sep();
    if (tag == LIST_END) {
      out += "end";
      continue;
    }
    if (tag == LIST_PAUSE) {
      out += "pause";
      continue;
    }
    const int type = tag_type(tag);
    (out += "t") += std::to_string(type);
    if (type == static_cast<int>(IoType::Char)) {
      i += ADDRESS_SIZE;
      if (i >= len) break;
      const uint8_t len_byte = list[i++];
      const int32_t width = described_width(len_byte >> 4);
      (out += "@len=") += std::to_string(read_width(list + i, width));
      i += width;
    } else if (tag & TAG_INLINE) {
      out += "=";
      for (int32_t k = 0; k < INLINE_SIZE[type] && i < len; ++k) out += hex2(list[i++]);
    } else {
      out += "@";
      i += ADDRESS_SIZE;
    }
    if ((tag & TAG_ARRAY) && i < len) (out += "x") += hex2(list[i++]);
  }
  return out;
}

}  // namespace rtlib
