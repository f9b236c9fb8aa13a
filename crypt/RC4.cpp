#include "crypt/RC4.h"

#include <utility>

#include "crypt/Bytes.h"

namespace vo {

TRC4::TRC4() { Burn(); }

TRC4::~TRC4() { Burn(); }

void TRC4::SetUpKey(const uint8_t* key, uint32_t sizeBits, const void* /*iv*/) {
  const size_t keyBytes = sizeBits / 8;
  for (int i = 0; i < 256; ++i) fState[i] = uint8_t(i);
  // A size below 8 bits leaves no key byte; it then mixes like a one-byte
  // zero key instead of dividing by zero.
  uint8_t j = 0;
  for (size_t i = 0; i < 256; ++i) {
    const uint8_t k = keyBytes ? key[i % keyBytes] : 0;
    j = uint8_t(j + fState[i] + k);
    std::swap(fState[i], fState[j]);
  }
  fInitialState = fState;
  fI = 0;
  fJ = 0;
}

void TRC4::Reset() {
  fState = fInitialState;
  fI = 0;
  fJ = 0;
}

void TRC4::Encrypt(const void* in, void* out, size_t count) {
  if (!fInitialized) throw ESuiteCipher("Cipher not initialized");
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  // Indexes and state in locals: dst may alias any byte, so working on the
  // members would store them back at every step.
  uint8_t* state = fState.data();
  uint8_t i = fI;
  uint8_t j = fJ;
  for (size_t n = 0; n < count; ++n) {
    i = uint8_t(i + 1);
    j = uint8_t(j + state[i]);
    std::swap(state[i], state[j]);
    dst[n] = uint8_t(src[n] ^ state[uint8_t(state[i] + state[j])]);
  }
  fI = i;
  fJ = j;
}

void TRC4::Decrypt(const void* in, void* out, size_t count) { Encrypt(in, out, count); }

void TRC4::Burn() {
  SecureFill(fState.data(), fState.size(), 0xFF);
  SecureFill(fInitialState.data(), fInitialState.size(), 0xFF);
  fI = 0;
  fJ = 0;
  fInitialized = false;
}

}  // namespace vo
