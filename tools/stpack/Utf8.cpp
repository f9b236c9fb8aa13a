#include "tools/stpack/Utf8.h"

#include <cstdint>

namespace vo::stpack {

std::optional<std::u16string> Utf8ToUtf16(std::string_view text, size_t* offset) {
  std::u16string result;
  result.reserve(text.size());
  size_t i = 0;
  auto fail = [&]() -> std::optional<std::u16string> {
    if (offset) *offset = i;
    return std::nullopt;
  };
  while (i < text.size()) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    uint32_t code = 0;
    size_t length = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
      code = lead, length = 1;
    } else if ((lead & 0xE0) == 0xC0) {
      code = lead & 0x1F, length = 2, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      code = lead & 0x0F, length = 3, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      code = lead & 0x07, length = 4, minimum = 0x10000;
    } else {
      return fail();
    }
    if (text.size() - i < length) return fail();
    for (size_t k = 1; k < length; ++k) {
      const uint8_t next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return fail();
      code = code << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return fail();
    if (code >= 0x10000) {
      code -= 0x10000;
      result += static_cast<char16_t>(0xD800 + (code >> 10));
      result += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      result += static_cast<char16_t>(code);
    }
    i += length;
  }
  return result;
}

}  // namespace vo::stpack
