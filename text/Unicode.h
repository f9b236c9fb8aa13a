#pragma once
// UTF-8 and UTF-16, the two encodings the system's text moves between: the
// core keeps text as UTF-16 (std::u16string), files the publisher writes
// (product.ini, manifests, licence texts, Uninst.lst) and messages are UTF-8.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vo {

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// UTF-8 to UTF-16; nullopt for text that is not well-formed UTF-8 (a stray
// continuation byte, a cut sequence, an overlong form, a surrogate, a value
// past U+10FFFF). badOffset, when given, then receives the first bad byte's
// offset.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text, size_t* badOffset = nullptr);

}  // namespace vo
