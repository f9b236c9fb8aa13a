#include <windows.h>

#include <string_view>

#include "settings/ProductSettings.h"
#include "text/Unicode.h"

namespace vo {

std::u16string LoadProductSetting(int id) {
  // The entries are stored under language 2052 only; LoadStringW falls back to
  // the one language present whatever the user's language is.
  wchar_t buffer[1024];
  int length = ::LoadStringW(::GetModuleHandleW(nullptr), static_cast<UINT>(id), buffer, 1024);
  if (length <= 0) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(length));
}

std::u16string LoadProductLicense(int uiLanguage) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  const wchar_t* name = uiLanguage == 0 ? L"License0" : L"License2";
  HRSRC resource = ::FindResourceW(module, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
  if (!bytes) return {};
  std::string_view text(bytes, ::SizeofResource(module, resource));
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  // The publisher's tool refuses text that is not UTF-8; a licence that still
  // fails here is no licence, and the built-in wording shows.
  std::optional<std::u16string> wide = Utf8ToUtf16(text);
  if (!wide) return {};
  std::u16string lines;
  for (char16_t c : *wide) {
    if (c != u'\r') lines += c;
  }
  return lines;
}

}  // namespace vo
