#pragma once
// Numbers as the user writes them: the decimal separator of the user's number
// format, and the reading of a decimal number or a boolean word that the data
// table's cells and the product's boolean setting share.

#include <string>

namespace vo {

// The decimal separator of the user's number format: the one set with
// SetDecimalSeparator, else the system's (on Windows the user locale's
// LOCALE_SDECIMAL, natively '.').
char16_t UserDecimalSeparator();
// Overrides the separator for this process; 0 follows the system again.
void SetDecimalSeparator(char16_t separator);
// The platform's answer; defined in DecimalSeparatorWin.cpp / ...Native.cpp.
char16_t SystemDecimalSeparator();

// True when text is a decimal number written with UserDecimalSeparator()
// (leading and trailing spaces, sign, fraction and exponent allowed; at
// least one digit or the separator, so "." alone reads as zero);
// isNonZero then tells whether its value differs from zero.
bool TryDecimalNumber(const std::u16string& text, bool& isNonZero);

// A decimal number reads true when not zero; otherwise "True" or "False" in
// any letter case. False when text is neither (empty text included).
bool TryTextToBoolean(const std::u16string& text, bool& value);

}  // namespace vo
