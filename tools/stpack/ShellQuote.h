#pragma once
// Paths in the commands stpack's messages suggest ("run `stpack make X`"),
// quoted so that the suggestion works when pasted into the publisher's shell.

#include <string>

namespace vo::stpack {

enum class ShellStyle {
  kPosix,    // sh, bash: single quotes, ' written as '\''
  kWindows,  // cmd.exe and CommandLineToArgvW: double quotes
};

// utf8 as one word of a command line in style: unchanged when it holds only
// characters no shell treats specially (letters, digits, _ - . / \ : , + = @ %
// and
// on Windows any non-ASCII character, but not , = % which cmd.exe splits on
// or expands), quoted otherwise. The empty
// string is quoted. On Windows the backslashes before the closing quote are
// doubled (else the quote would be read as escaped); a path cannot hold ".
std::string QuoteForShell(const std::string& utf8, ShellStyle style);

// The same in the style of the platform stpack runs on.
std::string QuoteForShell(const std::string& utf8);

}  // namespace vo::stpack
