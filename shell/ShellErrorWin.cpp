#include "shell/ShellError.h"

#include <windows.h>

#include "shell/UniqueHandle.h"

namespace vo {

std::u16string SystemErrorText(uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text = length ? U16(buffer, length) : std::u16string();
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) text.pop_back();
  if (text.empty()) {
    text = u"System error 0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += u"0123456789ABCDEF"[(code >> shift) & 0xF];
  }
  return text;
}

}  // namespace vo
