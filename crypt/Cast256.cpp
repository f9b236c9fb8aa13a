// CAST-256 as RFC 2612 defines it: six forward quad-rounds then six reverse
// ones; decryption runs the same with the quad-round keys in reverse order.
// The key schedule mixes the eight key words with forward octaves W under
// constant masking and rotation keys derived from sqrt(2) and sqrt(3).

#include "crypt/Cast256.h"

#include <cstring>

#include "crypt/Bytes.h"
#include "crypt/CastSBoxes.h"

namespace vo {
namespace {

// The three round functions; I's most significant byte indexes S1.
inline uint32_t F1(uint32_t d, uint32_t km, unsigned kr) {
  const uint32_t i = Rotl32(km + d, kr);
  return ((kCastS1[i >> 24] ^ kCastS2[(i >> 16) & 0xFF]) - kCastS3[(i >> 8) & 0xFF]) + kCastS4[i & 0xFF];
}
inline uint32_t F2(uint32_t d, uint32_t km, unsigned kr) {
  const uint32_t i = Rotl32(km ^ d, kr);
  return ((kCastS1[i >> 24] - kCastS2[(i >> 16) & 0xFF]) + kCastS3[(i >> 8) & 0xFF]) ^ kCastS4[i & 0xFF];
}
inline uint32_t F3(uint32_t d, uint32_t km, unsigned kr) {
  const uint32_t i = Rotl32(km - d, kr);
  return ((kCastS1[i >> 24] + kCastS2[(i >> 16) & 0xFF]) ^ kCastS3[(i >> 8) & 0xFF]) - kCastS4[i & 0xFF];
}

struct Block {
  uint32_t a, b, c, d;
};

inline void QuadRound(Block& x, const uint32_t* km, const uint8_t* kr) {
  x.c ^= F1(x.d, km[0], kr[0]);
  x.b ^= F2(x.c, km[1], kr[1]);
  x.a ^= F3(x.b, km[2], kr[2]);
  x.d ^= F1(x.a, km[3], kr[3]);
}

inline void ReverseQuadRound(Block& x, const uint32_t* km, const uint8_t* kr) {
  x.d ^= F1(x.a, km[3], kr[3]);
  x.a ^= F3(x.b, km[2], kr[2]);
  x.b ^= F2(x.c, km[1], kr[1]);
  x.c ^= F1(x.d, km[0], kr[0]);
}

inline Block LoadBlock(const uint8_t* in) { return {LoadBE32(in), LoadBE32(in + 4), LoadBE32(in + 8), LoadBE32(in + 12)}; }

inline void StoreBlock(const Block& x, uint8_t* out) {
  StoreBE32(out, x.a);
  StoreBE32(out + 4, x.b);
  StoreBE32(out + 8, x.c);
  StoreBE32(out + 12, x.d);
}

}  // namespace

TCast256::~TCast256() { BurnKeySchedule(); }

void TCast256::BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) {
  uint8_t padded[32] = {};
  const size_t keyBytes = sizeBits / 8;
  if (keyBytes) std::memcpy(padded, key, keyBytes);  // below 8 bits no byte is read
  uint32_t kappa[8];  // A..H
  for (int i = 0; i < 8; ++i) kappa[i] = LoadBE32(padded + 4 * i);

  uint32_t cm = 0x5A827999;
  const uint32_t mm = 0x6ED9EBA1;
  unsigned cr = 19;
  const unsigned mr = 17;
  for (int i = 0; i < 24; ++i) {
    // The masking and rotation keys of octave i are consumed in the order
    // they are generated, so they need no table.
    uint32_t tm[8];
    unsigned tr[8];
    for (int j = 0; j < 8; ++j) {
      tm[j] = cm;
      cm += mm;
      tr[j] = cr;
      cr = (cr + mr) % 32;
    }
    uint32_t &a = kappa[0], &b = kappa[1], &c = kappa[2], &d = kappa[3];
    uint32_t &e = kappa[4], &f = kappa[5], &g = kappa[6], &h = kappa[7];
    g ^= F1(h, tm[0], tr[0]);
    f ^= F2(g, tm[1], tr[1]);
    e ^= F3(f, tm[2], tr[2]);
    d ^= F1(e, tm[3], tr[3]);
    c ^= F2(d, tm[4], tr[4]);
    b ^= F3(c, tm[5], tr[5]);
    a ^= F1(b, tm[6], tr[6]);
    h ^= F2(a, tm[7], tr[7]);
    if (i % 2 == 1) {
      const int q = i / 2;
      fKr[q] = {uint8_t(a & 31), uint8_t(c & 31), uint8_t(e & 31), uint8_t(g & 31)};
      fKm[q] = {h, f, d, b};
    }
  }
  SecureZero(padded, sizeof padded);
  SecureZero(kappa, sizeof kappa);
}

void TCast256::EncryptBlock(const uint8_t* in, uint8_t* out) {
  Block x = LoadBlock(in);
  for (int i = 0; i < 6; ++i) QuadRound(x, fKm[i].data(), fKr[i].data());
  for (int i = 6; i < 12; ++i) ReverseQuadRound(x, fKm[i].data(), fKr[i].data());
  StoreBlock(x, out);
}

void TCast256::DecryptBlock(const uint8_t* in, uint8_t* out) {
  Block x = LoadBlock(in);
  for (int i = 11; i >= 6; --i) QuadRound(x, fKm[i].data(), fKr[i].data());
  for (int i = 5; i >= 0; --i) ReverseQuadRound(x, fKm[i].data(), fKr[i].data());
  StoreBlock(x, out);
}

void TCast256::BurnKeySchedule() {
  SecureZero(fKm.data(), sizeof fKm);
  SecureZero(fKr.data(), sizeof fKr);
}

}  // namespace vo
