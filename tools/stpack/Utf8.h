#pragma once
// UTF-8 text (command lines and manifests on Linux, manifests everywhere)
// to the UTF-16 the package code uses.

#include <optional>
#include <string>
#include <string_view>

namespace vo::stpack {

// nullopt when text is not well-formed UTF-8; offset then tells the first bad byte.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text, size_t* offset = nullptr);

}  // namespace vo::stpack
