// Twofish as defined in "Twofish: A 128-Bit Block Cipher" (1998). The function
// h feeds each input byte through a chain of q0/q1 permutations interleaved
// with key bytes and multiplies the result by the MDS matrix; g is h keyed
// with the S vector. Because the S vector is fixed per key, g's four byte
// paths (including the MDS column) are tabulated once per key.

#include "crypt/Twofish.h"

#include <cstring>
#include <utility>

#include "crypt/Bytes.h"

namespace vo {
namespace {

// The 4-bit tables t0..t3 from which q0 and q1 are built.
constexpr uint8_t kQ0Nibbles[4][16] = {
    {0x8, 0x1, 0x7, 0xD, 0x6, 0xF, 0x3, 0x2, 0x0, 0xB, 0x5, 0x9, 0xE, 0xC, 0xA, 0x4},
    {0xE, 0xC, 0xB, 0x8, 0x1, 0x2, 0x3, 0x5, 0xF, 0x4, 0xA, 0x6, 0x7, 0x0, 0x9, 0xD},
    {0xB, 0xA, 0x5, 0xE, 0x6, 0xD, 0x9, 0x0, 0xC, 0x8, 0xF, 0x3, 0x2, 0x4, 0x7, 0x1},
    {0xD, 0x7, 0xF, 0x4, 0x1, 0x2, 0x6, 0xE, 0x9, 0xB, 0x3, 0x0, 0x8, 0x5, 0xC, 0xA}};
constexpr uint8_t kQ1Nibbles[4][16] = {
    {0x2, 0x8, 0xB, 0xD, 0xF, 0x7, 0x6, 0xE, 0x3, 0x1, 0x9, 0x4, 0x0, 0xA, 0xC, 0x5},
    {0x1, 0xE, 0x2, 0xB, 0x4, 0xC, 0x3, 0x7, 0x6, 0xD, 0xA, 0x5, 0xF, 0x9, 0x0, 0x8},
    {0x4, 0xC, 0x7, 0x5, 0x1, 0x6, 0x9, 0xA, 0x0, 0xE, 0xD, 0x8, 0x2, 0xB, 0x3, 0xF},
    {0xB, 0x9, 0x5, 0x1, 0xC, 0x3, 0xD, 0xE, 0x6, 0x4, 0x7, 0xF, 0x2, 0x0, 0x8, 0xA}};

// MDS matrix, over GF(2^8) modulo x^8+x^6+x^5+x^3+1.
constexpr uint8_t kMds[4][4] = {
    {0x01, 0xEF, 0x5B, 0x5B}, {0x5B, 0xEF, 0xEF, 0x01}, {0xEF, 0x5B, 0x01, 0xEF}, {0xEF, 0x01, 0xEF, 0x5B}};
constexpr unsigned kMdsPoly = 0x169;

// Reed-Solomon matrix deriving the S vector, over GF(2^8) modulo x^8+x^6+x^3+x^2+1.
constexpr uint8_t kRs[4][8] = {{0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
                               {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
                               {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
                               {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03}};
constexpr unsigned kRsPoly = 0x14D;

// Which permutation (0: q0, 1: q1) each byte position of h passes through,
// from the stage keyed by L3 (256-bit keys only), L2 (192 and 256), L1, L0,
// to the last permutation before the MDS matrix.
constexpr uint8_t kQOrder[4][5] = {{1, 1, 0, 0, 1}, {0, 1, 1, 0, 0}, {0, 0, 0, 1, 1}, {1, 0, 1, 1, 0}};

uint8_t GfMul(uint8_t a, uint8_t b, unsigned poly) {
  unsigned x = a, r = 0;
  for (; b; b >>= 1) {
    if (b & 1) r ^= x;
    x <<= 1;
    if (x & 0x100) x ^= poly;
  }
  return uint8_t(r);
}

uint8_t Ror4(uint8_t v) { return uint8_t(((v >> 1) | (v << 3)) & 0xF); }

uint8_t QPermute(const uint8_t (&t)[4][16], uint8_t x) {
  uint8_t a = x >> 4, b = x & 0xF;
  uint8_t a1 = a ^ b, b1 = uint8_t((a ^ Ror4(b) ^ (a << 3)) & 0xF);
  a = t[0][a1];
  b = t[1][b1];
  a1 = a ^ b;
  b1 = uint8_t((a ^ Ror4(b) ^ (a << 3)) & 0xF);
  a = t[2][a1];
  b = t[3][b1];
  return uint8_t(b << 4 | a);
}

struct SharedTables {
  uint8_t q[2][256];
  uint32_t mdsColumn[4][256];  // column j of the MDS matrix times a byte, rows as little-endian bytes
};

SharedTables BuildSharedTables() {
  SharedTables t{};
  for (int x = 0; x < 256; ++x) {
    t.q[0][x] = QPermute(kQ0Nibbles, uint8_t(x));
    t.q[1][x] = QPermute(kQ1Nibbles, uint8_t(x));
    for (int j = 0; j < 4; ++j) {
      uint32_t word = 0;
      for (int i = 0; i < 4; ++i) word |= uint32_t(GfMul(kMds[i][j], uint8_t(x), kMdsPoly)) << (8 * i);
      t.mdsColumn[j][x] = word;
    }
  }
  return t;
}

// Built on first use; C++ guarantees the initialisation runs once even if
// two threads race to it.
const SharedTables& Shared() {
  static const SharedTables tables = BuildSharedTables();
  return tables;
}

// Byte j of h(X, L) before the MDS matrix, for the key-word list l (k words).
uint8_t HBytePath(const SharedTables& t, int j, uint8_t x, const uint32_t* l, int k) {
  const uint8_t* order = kQOrder[j];
  auto keyByte = [&](int word) { return uint8_t(l[word] >> (8 * j)); };
  if (k == 4) x = t.q[order[0]][x] ^ keyByte(3);
  if (k >= 3) x = t.q[order[1]][x] ^ keyByte(2);
  x = t.q[order[2]][x] ^ keyByte(1);
  x = t.q[order[3]][x] ^ keyByte(0);
  return t.q[order[4]][x];
}

uint32_t H(const SharedTables& t, uint32_t x, const uint32_t* l, int k) {
  uint32_t z = 0;
  for (int j = 0; j < 4; ++j) z ^= t.mdsColumn[j][HBytePath(t, j, uint8_t(x >> (8 * j)), l, k)];
  return z;
}

}  // namespace

TTwofish::TTwofish() { Shared(); }

TTwofish::~TTwofish() { BurnKeySchedule(); }

void TTwofish::BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) {
  const SharedTables& t = Shared();
  const size_t keyBytes = sizeBits / 8;
  const int k = sizeBits <= 128 ? 2 : sizeBits <= 192 ? 3 : 4;  // 64-bit key units

  uint8_t padded[32] = {};
  if (keyBytes) std::memcpy(padded, key, keyBytes);  // below 8 bits no byte is read
  uint32_t even[4] = {}, odd[4] = {}, s[4] = {};
  for (int i = 0; i < k; ++i) {
    even[i] = LoadLE32(padded + 8 * i);
    odd[i] = LoadLE32(padded + 8 * i + 4);
    // S_i = RS * key bytes 8i..8i+7; the S vector lists them in reverse.
    uint32_t word = 0;
    for (int row = 0; row < 4; ++row) {
      uint8_t acc = 0;
      for (int col = 0; col < 8; ++col) acc ^= GfMul(kRs[row][col], padded[8 * i + col], kRsPoly);
      word |= uint32_t(acc) << (8 * row);
    }
    s[k - 1 - i] = word;
  }

  constexpr uint32_t kRho = 0x01010101;
  for (uint32_t i = 0; i < 20; ++i) {
    const uint32_t a = H(t, 2 * i * kRho, even, k);
    const uint32_t b = Rotl32(H(t, (2 * i + 1) * kRho, odd, k), 8);
    fSubkeys[2 * i] = a + b;
    fSubkeys[2 * i + 1] = Rotl32(a + 2 * b, 9);
  }

  for (int j = 0; j < 4; ++j)
    for (int x = 0; x < 256; ++x) fSBoxes[j][x] = t.mdsColumn[j][HBytePath(t, j, uint8_t(x), s, k)];

  SecureZero(padded, sizeof padded);
  SecureZero(even, sizeof even);
  SecureZero(odd, sizeof odd);
  SecureZero(s, sizeof s);
}

uint32_t TTwofish::G(uint32_t x) const {
  return fSBoxes[0][x & 0xFF] ^ fSBoxes[1][(x >> 8) & 0xFF] ^ fSBoxes[2][(x >> 16) & 0xFF] ^ fSBoxes[3][x >> 24];
}

void TTwofish::EncryptBlock(const uint8_t* in, uint8_t* out) {
  const uint32_t* k = fSubkeys.data();
  uint32_t r0 = LoadLE32(in) ^ k[0], r1 = LoadLE32(in + 4) ^ k[1];
  uint32_t r2 = LoadLE32(in + 8) ^ k[2], r3 = LoadLE32(in + 12) ^ k[3];
  for (int round = 0; round < 16; ++round) {
    const uint32_t t0 = G(r0), t1 = G(Rotl32(r1, 8));
    r2 = Rotr32(r2 ^ (t0 + t1 + k[2 * round + 8]), 1);
    r3 = Rotl32(r3, 1) ^ (t0 + 2 * t1 + k[2 * round + 9]);
    std::swap(r0, r2);
    std::swap(r1, r3);
  }
  // The last swap is undone: output words are r2, r3, r0, r1.
  StoreLE32(out, r2 ^ k[4]);
  StoreLE32(out + 4, r3 ^ k[5]);
  StoreLE32(out + 8, r0 ^ k[6]);
  StoreLE32(out + 12, r1 ^ k[7]);
}

void TTwofish::DecryptBlock(const uint8_t* in, uint8_t* out) {
  const uint32_t* k = fSubkeys.data();
  uint32_t r2 = LoadLE32(in) ^ k[4], r3 = LoadLE32(in + 4) ^ k[5];
  uint32_t r0 = LoadLE32(in + 8) ^ k[6], r1 = LoadLE32(in + 12) ^ k[7];
  for (int round = 15; round >= 0; --round) {
    std::swap(r0, r2);
    std::swap(r1, r3);
    const uint32_t t0 = G(r0), t1 = G(Rotl32(r1, 8));
    r2 = Rotl32(r2, 1) ^ (t0 + t1 + k[2 * round + 8]);
    r3 = Rotr32(r3 ^ (t0 + 2 * t1 + k[2 * round + 9]), 1);
  }
  StoreLE32(out, r0 ^ k[0]);
  StoreLE32(out + 4, r1 ^ k[1]);
  StoreLE32(out + 8, r2 ^ k[2]);
  StoreLE32(out + 12, r3 ^ k[3]);
}

void TTwofish::BurnKeySchedule() {
  SecureZero(fSubkeys.data(), sizeof fSubkeys);
  SecureZero(fSBoxes.data(), sizeof fSBoxes);
}

}  // namespace vo
