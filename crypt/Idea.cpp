// IDEA as in Lai's thesis ("On the Design and Security of Block Ciphers",
// 1992). Words of key and block are big-endian. The three group operations:
// XOR, addition modulo 2^16, and multiplication modulo 2^16 + 1 in which the
// word 0 stands for 2^16.

#include "crypt/Idea.h"

#include <algorithm>
#include <cstring>

#include "crypt/Bytes.h"

namespace vo {

namespace {

inline uint16_t Load16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline void Store16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}

inline uint16_t Multiply(uint16_t a, uint16_t b) {
  // 2^16 = -1 modulo 2^16 + 1, so a factor of 0 (2^16) negates the other.
  if (a == 0) return uint16_t(1 - b);
  if (b == 0) return uint16_t(1 - a);
  const uint32_t p = uint32_t(a) * b;
  const uint32_t low = p & 0xffff, high = p >> 16;
  return uint16_t(low - high + (low < high ? 1 : 0));
}

// The multiplicative inverse modulo 2^16 + 1, by Fermat: x^(2^16 - 1).
// 0 (2^16 = -1) and 1 are their own inverses.
uint16_t MultiplicativeInverse(uint16_t x) {
  uint16_t result = 1, base = x;
  for (uint32_t e = 0xffff; e; e >>= 1) {
    if (e & 1) result = Multiply(result, base);
    base = Multiply(base, base);
  }
  return result;
}

inline uint16_t AdditiveInverse(uint16_t x) { return uint16_t(0 - x); }

// Eight rounds of six subkeys each and the four of the output transformation.
void Crypt(const uint16_t (&z)[52], const uint8_t* in, uint8_t* out) {
  uint16_t a = Load16(in), b = Load16(in + 2), c = Load16(in + 4), d = Load16(in + 6);
  for (int round = 0; round < 8; ++round) {
    const uint16_t* k = z + 6 * round;
    a = Multiply(a, k[0]);
    b = uint16_t(b + k[1]);
    c = uint16_t(c + k[2]);
    d = Multiply(d, k[3]);
    uint16_t e = Multiply(a ^ c, k[4]);
    const uint16_t f = Multiply(uint16_t((b ^ d) + e), k[5]);
    e = uint16_t(e + f);
    a ^= f;
    d ^= e;
    const uint16_t t = b ^ e;  // the middle words cross over
    b = c ^ f;
    c = t;
  }
  // The output transformation undoes the last crossing.
  Store16(out, Multiply(a, z[48]));
  Store16(out + 2, uint16_t(c + z[49]));
  Store16(out + 4, uint16_t(b + z[50]));
  Store16(out + 6, Multiply(d, z[51]));
}

}  // namespace

TIDEA::~TIDEA() { BurnKeySchedule(); }

void TIDEA::BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) {
  uint8_t padded[16] = {};
  const size_t keyBytes = std::min<size_t>(sizeBits / 8, sizeof padded);
  if (keyBytes > 0) std::memcpy(padded, key, keyBytes);
  // Subkeys are the key's eight words, then the eight words of the key
  // rotated left by 25 bits, and so on.
  uint64_t high = LoadBE64(padded), low = LoadBE64(padded + 8);
  for (int i = 0; i < 52; ++i) {
    const int word = i % 8;
    const uint64_t half = word < 4 ? high : low;
    fEncryptKey[i] = uint16_t(half >> (48 - 16 * (word % 4)));
    if (word == 7) {
      const uint64_t newHigh = high << 25 | low >> 39;
      low = low << 25 | high >> 39;
      high = newHigh;
    }
  }
  // Decryption runs the same rounds with inverted subkeys in reverse order;
  // the additive subkeys of the inner rounds swap places because of the
  // crossing of the middle words.
  const uint16_t* e = fEncryptKey;
  for (int round = 0; round < 9; ++round) {
    const int from = 48 - 6 * round;  // first of the four group-key subkeys
    const bool outer = round == 0 || round == 8;
    uint16_t* d = fDecryptKey + 6 * round;
    d[0] = MultiplicativeInverse(e[from]);
    d[1] = AdditiveInverse(e[from + (outer ? 1 : 2)]);
    d[2] = AdditiveInverse(e[from + (outer ? 2 : 1)]);
    d[3] = MultiplicativeInverse(e[from + 3]);
    if (round < 8) {
      d[4] = e[from - 2];
      d[5] = e[from - 1];
    }
  }
  SecureZero(padded, sizeof padded);
  SecureZero(&high, sizeof high);
  SecureZero(&low, sizeof low);
}

void TIDEA::EncryptBlock(const uint8_t* in, uint8_t* out) { Crypt(fEncryptKey, in, out); }
void TIDEA::DecryptBlock(const uint8_t* in, uint8_t* out) { Crypt(fDecryptKey, in, out); }

void TIDEA::BurnKeySchedule() {
  SecureZero(fEncryptKey, sizeof fEncryptKey);
  SecureZero(fDecryptKey, sizeof fDecryptKey);
}

}  // namespace vo
