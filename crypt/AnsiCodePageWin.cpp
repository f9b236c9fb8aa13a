// The ANSI code-page conversions on Windows (see AnsiCodePage.h).

#include "crypt/AnsiCodePage.h"

#include <windows.h>

#include <climits>

namespace vo {

namespace {

// GetACP is read once, on first use (start-up asks for it before any text
// is converted), so every conversion of the run uses the same code page.
unsigned& CodePage() {
  static unsigned codePage = GetACP();
  return codePage;
}

}  // namespace

unsigned GetAnsiCodePage() { return CodePage(); }
void SetAnsiCodePage(unsigned codePage) { CodePage() = codePage; }

std::string WideToAnsi(std::u16string_view text) {
  if (text.empty() || text.size() > INT_MAX / 2) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  // No flags and no default character: unrepresentable characters get the
  // code page's own replacement (usually '?', or a best-fit character).
  const int bytes = WideCharToMultiByte(CodePage(), 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string result(static_cast<size_t>(bytes), '\0');
  const int written =
      WideCharToMultiByte(CodePage(), 0, wide, length, &result[0], bytes, nullptr, nullptr);
  result.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return result;
}

std::u16string AnsiToWide(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int length = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CodePage(), 0, text.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::u16string result(static_cast<size_t>(units), u'\0');
  const int written = MultiByteToWideChar(CodePage(), 0, text.data(), length,
                                          reinterpret_cast<wchar_t*>(&result[0]), units);
  result.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return result;
}

}  // namespace vo
