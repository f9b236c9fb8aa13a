#pragma once
// Conversion between UTF-16 text and single-byte text in the system's ANSI
// code page. On Windows this is WideCharToMultiByte / MultiByteToWideChar with
// the code page GetACP reported at start-up, no flags and no default
// character, so unrepresentable characters get the system's replacement.
//
// The native build has no system code page; it emulates the two behaviours
// that matter to its callers:
//  - single-byte code pages (the default, 1252): ASCII converts exactly; any
//    other character becomes '?', and bytes 0x80 to 0xFF read as U+FFFD;
//  - the double-byte code pages 932, 936, 949 and 950: every non-ASCII code
//    unit u becomes the two bytes 0x80 | (u >> 8) and u & 0xFF (reversible for
//    code units below 0x8000); reading, a byte of 0x80 or more leads such a
//    pair, and a lead byte without its second byte reads as U+FFFD.

#include <string>
#include <string_view>

namespace vo {

std::string WideToAnsi(std::u16string_view text);
std::u16string AnsiToWide(std::string_view text);

// The code page both conversions use. Windows reads GetACP once at start-up;
// the setter lets start-up code and tests choose another one.
unsigned GetAnsiCodePage();
void SetAnsiCodePage(unsigned codePage);

}  // namespace vo
