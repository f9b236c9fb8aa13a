#pragma once
// The text envelope: a UTF-16 text that carries an encrypted UTF-16 text with
// its salt, the indexes of its cipher and hash, and (for block ciphers) its
// initialisation vector. Layout, by code unit counted from 1:
//   1-8        salt, hashed as it is
//   9          code unit 4 minus this one is the cipher index (0 to 8)
//   10         code unit 5 minus this one is the hash index (0 to 4)
//   11-10+B    block ciphers only: the B-byte vector, one ANSI character a byte
//   then       Base64 of the cipher's 8-bit-CFB (or RC4) encryption of the
//              plain text's little-endian code units
// The key is the first min(GetMaxKeySize, GetHashSize) bits of the hash of
// the salt followed by the pass phrase. There is no check value: a wrong pass
// phrase gives garbled text, not an error.

#include <cstdint>
#include <functional>
#include <string>

#include "text/Error.h"

namespace vo {

// The plain text, or the empty text on any failure; never raises.
std::u16string DecryptEnvelope(const std::u16string& envelope, const std::u16string& passPhrase);

// Seals plain text into an envelope that DecryptEnvelope opens with the same
// pass phrase. The salt, selector characters and vector are printable ASCII
// drawn from random (one value per character), by default std::random_device.
// Raises InvalidArgument for a cipher index outside 0-8 or a hash index
// outside 0-4; errors of the suite pass through.
std::u16string SealEnvelope(const std::u16string& plain, const std::u16string& passPhrase,
                            int cipherIndex, int hashIndex);
std::u16string SealEnvelope(const std::u16string& plain, const std::u16string& passPhrase,
                            int cipherIndex, int hashIndex,
                            const std::function<uint32_t()>& random);

}  // namespace vo
