// SHA-1 as FIPS 180-4 section 6.1 describes it: an 80-word message schedule
// and four groups of twenty steps.

#include "crypt/Sha1.h"

#include "crypt/Bytes.h"

namespace vo {

TSHA1::State TSHA1::InitialState() const {
  return {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
}

void TSHA1::Compress(const uint8_t* block) {
  uint32_t w[80];
  for (int t = 0; t < 16; ++t) w[t] = LoadBE32(block + 4 * t);
  for (int t = 16; t < 80; ++t) w[t] = Rotl32(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
  uint32_t a = fState[0], b = fState[1], c = fState[2], d = fState[3], e = fState[4];
  for (int t = 0; t < 80; ++t) {
    uint32_t f, k;
    if (t < 20) {
      f = (b & c) ^ (~b & d);  // Ch
      k = 0x5a827999;
    } else if (t < 40) {
      f = b ^ c ^ d;  // Parity
      k = 0x6ed9eba1;
    } else if (t < 60) {
      f = (b & c) ^ (b & d) ^ (c & d);  // Maj
      k = 0x8f1bbcdc;
    } else {
      f = b ^ c ^ d;
      k = 0xca62c1d6;
    }
    const uint32_t temp = Rotl32(a, 5) + f + e + k + w[t];
    e = d;
    d = c;
    c = Rotl32(b, 30);
    b = a;
    a = temp;
  }
  fState[0] += a;
  fState[1] += b;
  fState[2] += c;
  fState[3] += d;
  fState[4] += e;
  SecureZero(w, sizeof w);
}

}  // namespace vo
