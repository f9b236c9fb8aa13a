#include "datatable/TextConvert.h"

#include <string>

namespace vo {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

EDataTableError::EDataTableError(const std::u16string& message)
    : Error(Utf16ToUtf8(message)), fMessage(message) {}

EListError::EListError(int32_t index)
    : EDataTableError(u"List index out of bounds (" + Int32ToText(index) + u")") {}

bool TryTextToInt32(const std::u16string& text, int32_t& value) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == u' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';

  bool hex = false;
  if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
    hex = true;
    i += 1;
  } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }

  if (hex) {
    size_t digits = n - i;
    if (digits == 0 || digits > 8) return false;
    uint32_t pattern = 0;
    for (; i < n; ++i) {
      int d = HexDigitValue(text[i]);
      if (d < 0) return false;
      pattern = (pattern << 4) | uint32_t(d);
    }
    if (negative) pattern = 0u - pattern;
    value = int32_t(pattern);
    return true;
  }

  if (i == n) return false;
  // Accumulate as a magnitude; the negative side reaches one further.
  const uint32_t limit = negative ? 2147483648u : 2147483647u;
  uint32_t magnitude = 0;
  for (; i < n; ++i) {
    if (!IsDigit(text[i])) return false;
    uint32_t d = uint32_t(text[i] - u'0');
    if (magnitude > (limit - d) / 10) return false;
    magnitude = magnitude * 10 + d;
  }
  value = negative ? int32_t(0u - magnitude) : int32_t(magnitude);
  return true;
}

int32_t TextToInt32(const std::u16string& text) {
  int32_t value = 0;
  if (!TryTextToInt32(text, value)) throw EConvertError(u"''" + text + u"'' is not a valid integer value");
  return value;
}

std::u16string Int32ToText(int32_t value) {
  uint32_t magnitude = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
  char16_t buffer[12];
  size_t pos = sizeof(buffer) / sizeof(buffer[0]);
  do {
    buffer[--pos] = char16_t(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) buffer[--pos] = u'-';
  return std::u16string(buffer + pos, buffer + sizeof(buffer) / sizeof(buffer[0]));
}

bool TextToBoolean(const std::u16string& text) {
  bool value = false;
  if (!TryTextToBoolean(text, value)) throw EConvertError(u"'" + text + u"' is not a valid boolean value");
  return value;
}

std::u16string EscapeCellText(const std::u16string& text, bool keepLineBreaks) {
  std::u16string result = text.substr(0, text.find(u'\0'));
  for (char16_t& c : result) {
    if (c == u'\t' || c == u'\n' || c == u'\r') {
      if (!keepLineBreaks) c = u' ';
    } else if (c < 0x20) {
      c = u' ';
    } else if (c == u',') {
      c = 0x1A;
    } else if (c == u'|') {
      c = 0x1B;
    }
  }
  return result;
}

std::u16string UnescapeCellText(const std::u16string& stored) {
  std::u16string result = stored;
  for (char16_t& c : result) {
    if (c == 0x1A) {
      c = u',';
    } else if (c == 0x1B) {
      c = u'|';
    }
  }
  return result;
}

}  // namespace vo
