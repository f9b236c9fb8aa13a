#include "shell/ShellError.h"

namespace vo {

EShellError::EShellError(const std::u16string& message)
    : Error(Utf16ToUtf8(message)), fMessage(message) {}

}  // namespace vo
