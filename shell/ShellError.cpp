#include "shell/ShellError.h"

namespace vo {

EShellError::EShellError(const std::u16string& message)
    : std::runtime_error(Utf16ToUtf8(message)), fMessage(message) {}

}  // namespace vo
