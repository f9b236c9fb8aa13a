// CAST-128 as RFC 2144 describes it. Bytes of the key, of the intermediate
// key words and of the block are read most significant first.

#include "crypt/Cast128.h"

#include <cstring>

#include "crypt/Bytes.h"
#include "crypt/CastSBoxes.h"

namespace vo {

namespace {

// Byte `index` of the key schedule's words: x0..xF (x0x1x2x3 in w[0..3]) are
// 0x00-0x0F, z0..zF (w[4..7]) are 0x10-0x1F; a word's bytes are read most
// significant first.
inline uint8_t Byte(const uint32_t (&w)[8], int index) {
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

// The key schedule (RFC 2144, section 2.4) as tables: a table instead of
// the 64 lines written out keeps some 2.5 KB of code out of the installer.
// Every line XORs S5[a] ^ S6[b] ^ S7[c] ^ S8[d] with one more S-box entry;
// the bytes are indices for Byte. The fifth S-box is S5 + (j + 2) mod 4 for
// the j-th new word of a group and S5 + j for the j-th subkey of a step.
struct WordLine {
  uint8_t source;  // the word of the other group XORed in: x0..x3 are 0-3, z0..z3 are 4-7
  uint8_t bytes[5];
};
// Group 0 makes z0..z3 from x, group 1 makes x0..x3 from z.
constexpr WordLine kWordLines[2][4] = {
    {{0, {0x0D, 0x0F, 0x0C, 0x0E, 0x08}},
     {2, {0x10, 0x12, 0x11, 0x13, 0x0A}},
     {3, {0x17, 0x16, 0x15, 0x14, 0x09}},
     {1, {0x1A, 0x19, 0x1B, 0x18, 0x0B}}},
    {{6, {0x15, 0x17, 0x14, 0x16, 0x10}},
     {4, {0x00, 0x02, 0x01, 0x03, 0x12}},
     {5, {0x07, 0x06, 0x05, 0x04, 0x11}},
     {7, {0x0A, 0x09, 0x0B, 0x08, 0x13}}},
};
// The four subkeys of each of the four steps of a half.
constexpr uint8_t kKeyLines[4][4][5] = {
    {{0x18, 0x19, 0x17, 0x16, 0x12}, {0x1A, 0x1B, 0x15, 0x14, 0x16},
     {0x1C, 0x1D, 0x13, 0x12, 0x19}, {0x1E, 0x1F, 0x11, 0x10, 0x1C}},
    {{0x03, 0x02, 0x0C, 0x0D, 0x08}, {0x01, 0x00, 0x0E, 0x0F, 0x0D},
     {0x07, 0x06, 0x08, 0x09, 0x03}, {0x05, 0x04, 0x0A, 0x0B, 0x07}},
    {{0x13, 0x12, 0x1C, 0x1D, 0x19}, {0x11, 0x10, 0x1E, 0x1F, 0x1C},
     {0x17, 0x16, 0x18, 0x19, 0x12}, {0x15, 0x14, 0x1A, 0x1B, 0x16}},
    {{0x08, 0x09, 0x07, 0x06, 0x03}, {0x0A, 0x0B, 0x05, 0x04, 0x07},
     {0x0C, 0x0D, 0x03, 0x02, 0x08}, {0x0E, 0x0F, 0x01, 0x00, 0x0D}},
};

uint32_t ScheduleLine(const uint32_t (&w)[8], const uint8_t (&bytes)[5], int fifthBox) {
  static const uint32_t* const kBoxes[4] = {kCastS5, kCastS6, kCastS7, kCastS8};
  return kCastS5[Byte(w, bytes[0])] ^ kCastS6[Byte(w, bytes[1])] ^ kCastS7[Byte(w, bytes[2])] ^
         kCastS8[Byte(w, bytes[3])] ^ kBoxes[fifthBox][Byte(w, bytes[4])];
}

// Sixteen subkey words from the key words x0x1x2x3..xCxDxExF in w[0..3]
// (w[4..7] are z): four steps, each a new group of words and four subkeys
// from them, twice over.
void MakeSubkeys(uint32_t (&w)[8], uint32_t (&k)[32]) {
  for (int half = 0; half < 32; half += 16) {
    for (int step = 0; step < 4; ++step) {
      const int group = step & 1;
      for (int j = 0; j < 4; ++j) {
        const WordLine& line = kWordLines[group][j];
        w[(group ? 0 : 4) + j] = w[line.source] ^ ScheduleLine(w, line.bytes, (j + 2) & 3);
      }
      for (int j = 0; j < 4; ++j) k[half + 4 * step + j] = ScheduleLine(w, kKeyLines[step][j], j);
    }
  }
}

}  // namespace

TCast128::~TCast128() { BurnKeySchedule(); }

void TCast128::BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) {
  size_t keyBytes = sizeBits / 8;
  if (keyBytes > 16) keyBytes = 16;
  uint8_t padded[16] = {};
  if (keyBytes > 0) std::memcpy(padded, key, keyBytes);
  uint32_t w[8] = {};
  for (int i = 0; i < 4; ++i) w[i] = LoadBE32(padded + 4 * i);
  uint32_t k[32];
  MakeSubkeys(w, k);
  for (int i = 0; i < 16; ++i) {
    fMasking[i] = k[i];
    fRotation[i] = uint8_t(k[16 + i] & 31);
  }
  fRounds = keyBytes <= 10 ? 12 : 16;
  SecureZero(padded, sizeof padded);
  SecureZero(w, sizeof w);
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
