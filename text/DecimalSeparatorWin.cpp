#include <windows.h>

#include "text/DecimalNumber.h"

namespace vo {

// Read on every call, so a change in the regional settings applies at once.
// LOCALE_SDECIMAL may hold up to three characters; numbers here use its first.
char16_t SystemDecimalSeparator() {
  wchar_t buffer[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) > 1 && buffer[0] != L'\0') {
    return char16_t(buffer[0]);
  }
  return u'.';
}

}  // namespace vo
