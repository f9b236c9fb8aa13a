// Native stand-in for the Windows ANSI code page (see AnsiCodePage.h).

#include "crypt/AnsiCodePage.h"

namespace vo {

namespace {

unsigned gCodePage = 1252;

bool IsDoubleByteCodePage(unsigned codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

}  // namespace

unsigned GetAnsiCodePage() { return gCodePage; }
void SetAnsiCodePage(unsigned codePage) { gCodePage = codePage; }

std::string WideToAnsi(std::u16string_view text) {
  const bool doubleByte = IsDoubleByteCodePage(gCodePage);
  std::string result;
  result.reserve(text.size());
  for (char16_t unit : text) {
    if (unit < 0x80) {
      result += char(unit);
    } else if (doubleByte) {
      result += char(0x80 | (unit >> 8));
      result += char(unit & 0xFF);
    } else {
      result += '?';
    }
  }
  return result;
}

std::u16string AnsiToWide(std::string_view text) {
  const bool doubleByte = IsDoubleByteCodePage(gCodePage);
  std::u16string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      result += char16_t(byte);
    } else if (!doubleByte) {
      result += u'\xFFFD';
    } else if (i + 1 < text.size()) {
      const unsigned char trail = static_cast<unsigned char>(text[++i]);
      result += char16_t((byte & 0x7F) << 8 | trail);
    } else {
      result += u'\xFFFD';
    }
  }
  return result;
}

}  // namespace vo
