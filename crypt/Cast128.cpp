// CAST-128 as RFC 2144 describes it. Bytes of the key, of the intermediate
// key words and of the block are read most significant first.

#include "crypt/Cast128.h"

#include <cstring>

#include "crypt/Bytes.h"
#include "crypt/CastSBoxes.h"

namespace vo {

namespace {

inline uint8_t Byte(const uint32_t (&w)[4], int index) {  // index 0x0..0xF
  return uint8_t(w[index >> 2] >> (24 - 8 * (index & 3)));
}

// The three round functions; round i (from 1) uses type ((i - 1) mod 3) + 1.
inline uint32_t F1(uint32_t d, uint32_t km, unsigned kr) {
  const uint32_t i = Rotl32(km + d, kr);
  return ((kCastS1[i >> 24] ^ kCastS2[(i >> 16) & 0xff]) - kCastS3[(i >> 8) & 0xff]) + kCastS4[i & 0xff];
}
inline uint32_t F2(uint32_t d, uint32_t km, unsigned kr) {
  const uint32_t i = Rotl32(km ^ d, kr);
  return ((kCastS1[i >> 24] - kCastS2[(i >> 16) & 0xff]) + kCastS3[(i >> 8) & 0xff]) ^ kCastS4[i & 0xff];
}
inline uint32_t F3(uint32_t d, uint32_t km, unsigned kr) {
  const uint32_t i = Rotl32(km - d, kr);
  return ((kCastS1[i >> 24] + kCastS2[(i >> 16) & 0xff]) ^ kCastS3[(i >> 8) & 0xff]) - kCastS4[i & 0xff];
}
inline uint32_t RoundFunction(int round, uint32_t d, uint32_t km, unsigned kr) {
  switch (round % 3) {
    case 0: return F1(d, km, kr);
    case 1: return F2(d, km, kr);
    default: return F3(d, km, kr);
  }
}

// Sixteen subkey words from the key words x0x1x2x3..xCxDxExF (RFC 2144,
// section 2.4): the four alternating half-steps over x and z, twice over.
void MakeSubkeys(uint32_t (&x)[4], uint32_t (&k)[32]) {
  uint32_t z[4];
  auto X = [&x](int i) { return Byte(x, i); };
  auto Z = [&z](int i) { return Byte(z, i); };
  for (int half = 0; half < 32; half += 16) {
    z[0] = x[0] ^ kCastS5[X(0xD)] ^ kCastS6[X(0xF)] ^ kCastS7[X(0xC)] ^ kCastS8[X(0xE)] ^ kCastS7[X(0x8)];
    z[1] = x[2] ^ kCastS5[Z(0x0)] ^ kCastS6[Z(0x2)] ^ kCastS7[Z(0x1)] ^ kCastS8[Z(0x3)] ^ kCastS8[X(0xA)];
    z[2] = x[3] ^ kCastS5[Z(0x7)] ^ kCastS6[Z(0x6)] ^ kCastS7[Z(0x5)] ^ kCastS8[Z(0x4)] ^ kCastS5[X(0x9)];
    z[3] = x[1] ^ kCastS5[Z(0xA)] ^ kCastS6[Z(0x9)] ^ kCastS7[Z(0xB)] ^ kCastS8[Z(0x8)] ^ kCastS6[X(0xB)];
    k[half + 0] = kCastS5[Z(0x8)] ^ kCastS6[Z(0x9)] ^ kCastS7[Z(0x7)] ^ kCastS8[Z(0x6)] ^ kCastS5[Z(0x2)];
    k[half + 1] = kCastS5[Z(0xA)] ^ kCastS6[Z(0xB)] ^ kCastS7[Z(0x5)] ^ kCastS8[Z(0x4)] ^ kCastS6[Z(0x6)];
    k[half + 2] = kCastS5[Z(0xC)] ^ kCastS6[Z(0xD)] ^ kCastS7[Z(0x3)] ^ kCastS8[Z(0x2)] ^ kCastS7[Z(0x9)];
    k[half + 3] = kCastS5[Z(0xE)] ^ kCastS6[Z(0xF)] ^ kCastS7[Z(0x1)] ^ kCastS8[Z(0x0)] ^ kCastS8[Z(0xC)];

    x[0] = z[2] ^ kCastS5[Z(0x5)] ^ kCastS6[Z(0x7)] ^ kCastS7[Z(0x4)] ^ kCastS8[Z(0x6)] ^ kCastS7[Z(0x0)];
    x[1] = z[0] ^ kCastS5[X(0x0)] ^ kCastS6[X(0x2)] ^ kCastS7[X(0x1)] ^ kCastS8[X(0x3)] ^ kCastS8[Z(0x2)];
    x[2] = z[1] ^ kCastS5[X(0x7)] ^ kCastS6[X(0x6)] ^ kCastS7[X(0x5)] ^ kCastS8[X(0x4)] ^ kCastS5[Z(0x1)];
    x[3] = z[3] ^ kCastS5[X(0xA)] ^ kCastS6[X(0x9)] ^ kCastS7[X(0xB)] ^ kCastS8[X(0x8)] ^ kCastS6[Z(0x3)];
    k[half + 4] = kCastS5[X(0x3)] ^ kCastS6[X(0x2)] ^ kCastS7[X(0xC)] ^ kCastS8[X(0xD)] ^ kCastS5[X(0x8)];
    k[half + 5] = kCastS5[X(0x1)] ^ kCastS6[X(0x0)] ^ kCastS7[X(0xE)] ^ kCastS8[X(0xF)] ^ kCastS6[X(0xD)];
    k[half + 6] = kCastS5[X(0x7)] ^ kCastS6[X(0x6)] ^ kCastS7[X(0x8)] ^ kCastS8[X(0x9)] ^ kCastS7[X(0x3)];
    k[half + 7] = kCastS5[X(0x5)] ^ kCastS6[X(0x4)] ^ kCastS7[X(0xA)] ^ kCastS8[X(0xB)] ^ kCastS8[X(0x7)];

    z[0] = x[0] ^ kCastS5[X(0xD)] ^ kCastS6[X(0xF)] ^ kCastS7[X(0xC)] ^ kCastS8[X(0xE)] ^ kCastS7[X(0x8)];
    z[1] = x[2] ^ kCastS5[Z(0x0)] ^ kCastS6[Z(0x2)] ^ kCastS7[Z(0x1)] ^ kCastS8[Z(0x3)] ^ kCastS8[X(0xA)];
    z[2] = x[3] ^ kCastS5[Z(0x7)] ^ kCastS6[Z(0x6)] ^ kCastS7[Z(0x5)] ^ kCastS8[Z(0x4)] ^ kCastS5[X(0x9)];
    z[3] = x[1] ^ kCastS5[Z(0xA)] ^ kCastS6[Z(0x9)] ^ kCastS7[Z(0xB)] ^ kCastS8[Z(0x8)] ^ kCastS6[X(0xB)];
    k[half + 8] = kCastS5[Z(0x3)] ^ kCastS6[Z(0x2)] ^ kCastS7[Z(0xC)] ^ kCastS8[Z(0xD)] ^ kCastS5[Z(0x9)];
    k[half + 9] = kCastS5[Z(0x1)] ^ kCastS6[Z(0x0)] ^ kCastS7[Z(0xE)] ^ kCastS8[Z(0xF)] ^ kCastS6[Z(0xC)];
    k[half + 10] = kCastS5[Z(0x7)] ^ kCastS6[Z(0x6)] ^ kCastS7[Z(0x8)] ^ kCastS8[Z(0x9)] ^ kCastS7[Z(0x2)];
    k[half + 11] = kCastS5[Z(0x5)] ^ kCastS6[Z(0x4)] ^ kCastS7[Z(0xA)] ^ kCastS8[Z(0xB)] ^ kCastS8[Z(0x6)];

    x[0] = z[2] ^ kCastS5[Z(0x5)] ^ kCastS6[Z(0x7)] ^ kCastS7[Z(0x4)] ^ kCastS8[Z(0x6)] ^ kCastS7[Z(0x0)];
    x[1] = z[0] ^ kCastS5[X(0x0)] ^ kCastS6[X(0x2)] ^ kCastS7[X(0x1)] ^ kCastS8[X(0x3)] ^ kCastS8[Z(0x2)];
    x[2] = z[1] ^ kCastS5[X(0x7)] ^ kCastS6[X(0x6)] ^ kCastS7[X(0x5)] ^ kCastS8[X(0x4)] ^ kCastS5[Z(0x1)];
    x[3] = z[3] ^ kCastS5[X(0xA)] ^ kCastS6[X(0x9)] ^ kCastS7[X(0xB)] ^ kCastS8[X(0x8)] ^ kCastS6[Z(0x3)];
    k[half + 12] = kCastS5[X(0x8)] ^ kCastS6[X(0x9)] ^ kCastS7[X(0x7)] ^ kCastS8[X(0x6)] ^ kCastS5[X(0x3)];
    k[half + 13] = kCastS5[X(0xA)] ^ kCastS6[X(0xB)] ^ kCastS7[X(0x5)] ^ kCastS8[X(0x4)] ^ kCastS6[X(0x7)];
    k[half + 14] = kCastS5[X(0xC)] ^ kCastS6[X(0xD)] ^ kCastS7[X(0x3)] ^ kCastS8[X(0x2)] ^ kCastS7[X(0x8)];
    k[half + 15] = kCastS5[X(0xE)] ^ kCastS6[X(0xF)] ^ kCastS7[X(0x1)] ^ kCastS8[X(0x0)] ^ kCastS8[X(0xD)];
  }
  SecureZero(z, sizeof z);
}

}  // namespace

TCast128::~TCast128() { BurnKeySchedule(); }

void TCast128::BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) {
  size_t keyBytes = sizeBits / 8;
  if (keyBytes > 16) keyBytes = 16;
  uint8_t padded[16] = {};
  if (keyBytes > 0) std::memcpy(padded, key, keyBytes);
  uint32_t x[4];
  for (int i = 0; i < 4; ++i) x[i] = LoadBE32(padded + 4 * i);
  uint32_t k[32];
  MakeSubkeys(x, k);
  for (int i = 0; i < 16; ++i) {
    fMasking[i] = k[i];
    fRotation[i] = uint8_t(k[16 + i] & 31);
  }
  fRounds = keyBytes <= 10 ? 12 : 16;
  SecureZero(padded, sizeof padded);
  SecureZero(x, sizeof x);
  SecureZero(k, sizeof k);
}

void TCast128::EncryptBlock(const uint8_t* in, uint8_t* out) {
  uint32_t l = LoadBE32(in), r = LoadBE32(in + 4);
  for (int i = 0; i < fRounds; ++i) {
    const uint32_t t = l ^ RoundFunction(i, r, fMasking[i], fRotation[i]);
    l = r;
    r = t;
  }
  StoreBE32(out, r);
  StoreBE32(out + 4, l);
}

void TCast128::DecryptBlock(const uint8_t* in, uint8_t* out) {
  uint32_t l = LoadBE32(in), r = LoadBE32(in + 4);
  for (int i = fRounds - 1; i >= 0; --i) {
    const uint32_t t = l ^ RoundFunction(i, r, fMasking[i], fRotation[i]);
    l = r;
    r = t;
  }
  StoreBE32(out, r);
  StoreBE32(out + 4, l);
}

void TCast128::BurnKeySchedule() {
  SecureZero(fMasking, sizeof fMasking);
  SecureZero(fRotation, sizeof fRotation);
}

}  // namespace vo
