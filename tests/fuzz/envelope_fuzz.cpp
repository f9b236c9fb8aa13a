// Fuzz target for DecryptEnvelope: the input bytes, taken as little-endian
// UTF-16 code units, are opened with the empty and with a fixed pass phrase
// (in a single-byte and, when the first byte's top bit is set, a double-byte
// ANSI code page). Opening must never raise and never produce more text than
// the Base64 part can hold. The same code units are then sealed as plain text
// with a cipher and hash chosen from the input length and must open again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crypt/AnsiCodePage.h"
#include "crypt/SuiteCipher.h"
#include "crypt/VoCrypUtils.h"

namespace {

const std::u16string kPassPhrase = u"fuzz pass phrase";

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
  const bool doubleByte = size > 0 && (data[0] & 0x80);
  vo::SetAnsiCodePage(doubleByte ? 936 : 1252);

  for (const std::u16string& passPhrase : {std::u16string(), kPassPhrase}) {
    const std::u16string plain = vo::DecryptEnvelope(text, passPhrase);
    // After the 10-unit header each code unit gives one ANSI byte (two in a
    // double-byte code page), and every 4 bytes decode to at most 3.
    const size_t ansiBytes = text.size() > 10 ? (text.size() - 10) * (doubleByte ? 2 : 1) : 0;
    Check(plain.size() <= ansiBytes / 4 * 3 / 2);
  }

  const int cipher = int(size % vo::kCipherCount);
  const int hash = int(size / vo::kCipherCount % vo::kHashCount);
  uint32_t state = uint32_t(size) * 2654435761u;
  const std::u16string envelope = vo::SealEnvelope(text, kPassPhrase, cipher, hash, [&state] {
    state = state * 1664525u + 1013904223u;
    return state;
  });
  Check(vo::DecryptEnvelope(envelope, kPassPhrase) == text);
  return 0;
}
