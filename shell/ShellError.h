#pragma once
// The error raised by the registry helpers and the shell-link operations. The
// message is UTF-16 (key paths and product names may be Chinese); what() gives
// the same text in UTF-8.

#include <cstdint>
#include <string>

#include "text/DecimalNumber.h"  // UserDecimalSeparator
#include "text/Error.h"
#include "text/Unicode.h"        // Utf16ToUtf8

namespace vo {

class EShellError : public Error {
 public:
  explicit EShellError(const std::u16string& message);
  const std::u16string& Message() const { return fMessage; }

 private:
  std::u16string fMessage;
};

// Registry helpers: "Failed to create key %s", "Failed to set data for '%s'",
// "Invalid data type for '%s'".
class ERegistryError : public EShellError {
 public:
  using EShellError::EShellError;
};


// Windows only: the system's message for a Win32 error or HRESULT code,
// without the trailing line break and full stop.
std::u16string SystemErrorText(uint32_t code);

}  // namespace vo
