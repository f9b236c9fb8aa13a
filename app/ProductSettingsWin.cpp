#include <windows.h>

#include "app/ProductSettings.h"
#include "shell/UniqueHandle.h"

namespace vo {

std::u16string LoadProductSetting(int id) {
  // The entries are stored under language 2052 only; LoadStringW falls back to
  // the one language present whatever the user's language is.
  wchar_t buffer[1024];
  int length = ::LoadStringW(::GetModuleHandleW(nullptr), static_cast<UINT>(id), buffer, 1024);
  if (length <= 0) return {};
  return U16(buffer, static_cast<size_t>(length));
}

}  // namespace vo
