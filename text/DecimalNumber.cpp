#include "text/DecimalNumber.h"

namespace vo {
namespace {

char16_t gDecimalSeparatorOverride = 0;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool EqualsIgnoringAsciiCase(const std::u16string& text, const char* word) {
  size_t n = std::char_traits<char>::length(word);
  if (text.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
    if (c != char16_t(word[i])) return false;
  }
  return true;
}

}  // namespace

char16_t UserDecimalSeparator() {
  return gDecimalSeparatorOverride != 0 ? gDecimalSeparatorOverride : SystemDecimalSeparator();
}

void SetDecimalSeparator(char16_t separator) { gDecimalSeparatorOverride = separator; }

bool TryDecimalNumber(const std::u16string& text, bool& isNonZero) {
  const char16_t separator = UserDecimalSeparator();
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == u' ') ++i;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
  size_t digits = 0;
  bool nonZero = false;
  for (; i < n && IsDigit(text[i]); ++i, ++digits) nonZero |= text[i] != u'0';
  bool separatorSeen = false;
  if (i < n && text[i] == separator) {
    separatorSeen = true;
    for (++i; i < n && IsDigit(text[i]); ++i, ++digits) nonZero |= text[i] != u'0';
  }
  // A lone separator is a number too (zero), as the runtime's float parser
  // reads it; a sign alone is not.
  if (digits == 0 && !separatorSeen) return false;
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
    size_t exponentDigits = 0;
    for (; i < n && IsDigit(text[i]); ++i) ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  while (i < n && text[i] == u' ') ++i;
  if (i != n) return false;
  // The exponent cannot turn a zero mantissa into a non-zero value or back.
  isNonZero = nonZero;
  return true;
}

bool TryTextToBoolean(const std::u16string& text, bool& value) {
  bool nonZero = false;
  if (TryDecimalNumber(text, nonZero)) {
    value = nonZero;
    return true;
  }
  if (EqualsIgnoringAsciiCase(text, "true")) {
    value = true;
    return true;
  }
  if (EqualsIgnoringAsciiCase(text, "false")) {
    value = false;
    return true;
  }
  return false;
}

}  // namespace vo
