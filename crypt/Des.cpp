// DES after FIPS 46-3. The tables below are the standard's, with bits
// numbered from 1 at the most significant end. At compile time the S-boxes
// and the permutation P are folded into eight tables that map one 6-bit
// S-box input straight to its permuted contribution to f, and the initial
// and final permutations into per-byte lookup tables.

#include "crypt/Des.h"

#include <algorithm>
#include <cstring>

#include "crypt/Bytes.h"

namespace vo {

namespace {

constexpr uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7,
};

constexpr uint8_t kFinalPermutation[64] = {
    40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
    38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
    36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
    34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25,
};

constexpr uint8_t kPermutationP[32] = {
    16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
    2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25,
};

constexpr uint8_t kPermutedChoice1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
    10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
    63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
    14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4,
};

constexpr uint8_t kPermutedChoice2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10,
    23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
    44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32,
};

constexpr uint8_t kKeyShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// S1..S8, each four rows of sixteen; the row is chosen by the outer bits of
// the 6-bit input, the column by the inner four.
constexpr uint8_t kSBoxes[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}},
};

// Bit i of the result (from the top) is bit table[i] of the inBits-wide input.
template <size_t N>
constexpr uint64_t Permute(uint64_t in, int inBits, const uint8_t (&table)[N]) {
  uint64_t out = 0;
  for (size_t i = 0; i < N; ++i) out = out << 1 | ((in >> (inBits - table[i])) & 1);
  return out;
}

struct TSpTables {
  uint32_t box[8][64];
};

constexpr TSpTables MakeSpTables() {
  TSpTables sp{};
  for (int b = 0; b < 8; ++b) {
    for (int input = 0; input < 64; ++input) {
      const int row = ((input >> 4) & 2) | (input & 1);
      const int column = (input >> 1) & 15;
      const uint64_t sOut = uint64_t(kSBoxes[b][row][column]) << (28 - 4 * b);
      sp.box[b][input] = uint32_t(Permute(sOut, 32, kPermutationP));
    }
  }
  return sp;
}

constexpr TSpTables kSp = MakeSpTables();

// The cipher function f(R, K): group g of the expansion E(R) is bits 4g to
// 4g+5 of R (bit 0 standing for bit 32), i.e. the top six bits of R rotated
// left by 4g-1.
inline uint32_t CipherFunction(uint32_t r, const uint8_t (&k)[8]) {
  uint32_t f = 0;
  for (int g = 0; g < 8; ++g) f ^= kSp.box[g][(Rotl32(r, unsigned(4 * g + 31)) >> 26) ^ k[g]];
  return f;
}

void CryptBlock(const TDesKeySchedule& schedule, const uint8_t* in, uint8_t* out, bool decrypt) {
  // The initial and final permutations bit by bit: tables of each input
  // byte's scattered bits would be faster but weigh 32 KB in every
  // installer, and blocks here are few (a sealed file table).
  const uint64_t x = Permute(LoadBE64(in), 64, kInitialPermutation);
  uint32_t l = uint32_t(x >> 32), r = uint32_t(x);
  for (int i = 0; i < 16; ++i) {
    const uint32_t t = l ^ CipherFunction(r, schedule.roundKey[decrypt ? 15 - i : i]);
    l = r;
    r = t;
  }
  StoreBE64(out, Permute(uint64_t(r) << 32 | l, 64, kFinalPermutation));
}

}  // namespace

void DesBuildKeySchedule(const uint8_t key[8], TDesKeySchedule& schedule) {
  const uint64_t cd = Permute(LoadBE64(key), 64, kPermutedChoice1);
  uint32_t c = uint32_t(cd >> 28) & 0xfffffff, d = uint32_t(cd) & 0xfffffff;
  for (int i = 0; i < 16; ++i) {
    const unsigned s = kKeyShifts[i];
    c = ((c << s) | (c >> (28 - s))) & 0xfffffff;
    d = ((d << s) | (d >> (28 - s))) & 0xfffffff;
    const uint64_t k = Permute(uint64_t(c) << 28 | d, 56, kPermutedChoice2);
    for (int g = 0; g < 8; ++g) schedule.roundKey[i][g] = uint8_t((k >> (42 - 6 * g)) & 63);
  }
}

void DesEncryptBlock(const TDesKeySchedule& schedule, const uint8_t in[8], uint8_t out[8]) {
  CryptBlock(schedule, in, out, false);
}

void DesDecryptBlock(const TDesKeySchedule& schedule, const uint8_t in[8], uint8_t out[8]) {
  CryptBlock(schedule, in, out, true);
}

TDES::~TDES() { BurnKeySchedule(); }

void TDES::BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) {
  uint8_t padded[8] = {};
  const size_t keyBytes = std::min<size_t>(sizeBits / 8, sizeof padded);
  if (keyBytes > 0) std::memcpy(padded, key, keyBytes);
  DesBuildKeySchedule(padded, fSchedule);
  SecureZero(padded, sizeof padded);
}

void TDES::EncryptBlock(const uint8_t* in, uint8_t* out) { DesEncryptBlock(fSchedule, in, out); }
void TDES::DecryptBlock(const uint8_t* in, uint8_t* out) { DesDecryptBlock(fSchedule, in, out); }
void TDES::BurnKeySchedule() { SecureZero(&fSchedule, sizeof fSchedule); }

T3DES::~T3DES() { BurnKeySchedule(); }

void T3DES::BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) {
  uint8_t padded[24] = {};
  const size_t keyBytes = std::min<size_t>(sizeBits / 8, sizeof padded);
  if (keyBytes > 0) std::memcpy(padded, key, keyBytes);
  DesBuildKeySchedule(padded, fSchedules[0]);
  DesBuildKeySchedule(padded + 8, fSchedules[1]);
  DesBuildKeySchedule(sizeBits > 128 ? padded + 16 : padded, fSchedules[2]);
  SecureZero(padded, sizeof padded);
}

void T3DES::EncryptBlock(const uint8_t* in, uint8_t* out) {
  DesEncryptBlock(fSchedules[0], in, out);
  DesDecryptBlock(fSchedules[1], out, out);
  DesEncryptBlock(fSchedules[2], out, out);
}

void T3DES::DecryptBlock(const uint8_t* in, uint8_t* out) {
  DesDecryptBlock(fSchedules[2], in, out);
  DesEncryptBlock(fSchedules[1], out, out);
  DesDecryptBlock(fSchedules[0], out, out);
}

void T3DES::BurnKeySchedule() { SecureZero(fSchedules, sizeof fSchedules); }

}  // namespace vo
