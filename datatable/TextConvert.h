#pragma once
// Text conversions behind the data table's cells: the integer and boolean
// readings of a stored text, the decimal form written back, and the escape of
// "," and "|" in converted columns. Also usable on their own (for instance for
// a boolean product setting), with the same error messages as the cells.

#include <cstdint>
#include <string>

#include "text/DecimalNumber.h"  // the decimal separator, TryDecimalNumber
#include "text/Error.h"
#include "text/Unicode.h"        // Utf16ToUtf8

namespace vo {

// Base of every error the data table raises. Message() keeps the UTF-16 text;
// what() carries the same text in UTF-8.
class EDataTableError : public Error {
 public:
  explicit EDataTableError(const std::u16string& message);
  const std::u16string& Message() const { return fMessage; }

 private:
  std::u16string fMessage;
};
// An index outside a list: "List index out of bounds (%d)".
class EListError : public EDataTableError {
 public:
  explicit EListError(int32_t index);
};
// A text that does not convert, or an assignment between unrelated classes.
class EConvertError : public EDataTableError {
 public:
  using EDataTableError::EDataTableError;
};

// Integer reading: optional leading spaces, an optional sign, then decimal
// digits within the 32-bit signed range, or a hex prefix ("$", "x", "X", "0x",
// "0X") and one to eight hex digits taken as the 32-bit pattern. Nothing may
// follow.
bool TryTextToInt32(const std::u16string& text, int32_t& value);
// As TryTextToInt32; raises EConvertError "''<text>'' is not a valid integer value".
int32_t TextToInt32(const std::u16string& text);
// Decimal form: "-" before negative numbers, no "+", no leading zeros.
std::u16string Int32ToText(int32_t value);

// TryTextToBoolean; raises EConvertError "'<text>' is not a valid boolean
// value" for a text that is neither a number nor True/False.
bool TextToBoolean(const std::u16string& text);

// The stored form of a text in a converted column: cut at the first U+0000,
// control characters become spaces (TAB, LF and CR are kept when keepLineBreaks),
// "," becomes U+001A and "|" becomes U+001B.
std::u16string EscapeCellText(const std::u16string& text, bool keepLineBreaks);
// The reading of a stored text in a converted column: U+001A gives "," and
// U+001B gives "|".
std::u16string UnescapeCellText(const std::u16string& stored);

}  // namespace vo
