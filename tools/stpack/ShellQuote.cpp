#include "tools/stpack/ShellQuote.h"

namespace vo::stpack {
namespace {

bool IsPlain(unsigned char c, ShellStyle style) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  // Non-ASCII (UTF-8 bytes) is a plain word character for cmd.exe, but bash
  // in a locale other than the publisher's may split on it: quote it there.
  if (c >= 0x80) return style == ShellStyle::kWindows;
  static const std::string posix = "_-./:,+=@%";
  static const std::string windows = "_-./\\:+@";
  return (style == ShellStyle::kPosix ? posix : windows).find(char(c)) != std::string::npos;
}

}  // namespace

std::string QuoteForShell(const std::string& utf8, ShellStyle style) {
  bool plain = !utf8.empty();
  for (unsigned char c : utf8) plain = plain && IsPlain(c, style);
  if (plain) return utf8;
  std::string quoted;
  if (style == ShellStyle::kPosix) {
    quoted = "'";
    for (char c : utf8) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  quoted = "\"" + utf8;
  size_t backslashes = 0;
  while (backslashes < utf8.size() && utf8[utf8.size() - 1 - backslashes] == '\\') ++backslashes;
  quoted.append(backslashes, '\\');
  return quoted + "\"";
}

std::string QuoteForShell(const std::string& utf8) {
#ifdef _WIN32
  return QuoteForShell(utf8, ShellStyle::kWindows);
#else
  return QuoteForShell(utf8, ShellStyle::kPosix);
#endif
}

}  // namespace vo::stpack
