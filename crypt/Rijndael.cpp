// AES (FIPS 197) on the byte state of the standard: byte i of a block is row
// i % 4, column i / 4. The S-box and its inverse are derived at compile time
// from their definition (inverse in GF(2^8) modulo x^8+x^4+x^3+x+1, then the
// affine map), so no hand-copied table can hold a typo.

#include "crypt/Rijndael.h"

#include <cstring>

#include "crypt/Bytes.h"

namespace vo {
namespace {

constexpr uint8_t XTime(uint8_t b) { return uint8_t((b << 1) ^ ((b & 0x80) ? 0x1B : 0x00)); }

constexpr uint8_t Rotl8(uint8_t b, int n) { return uint8_t((b << n) | (b >> (8 - n))); }

struct SBoxes {
  uint8_t forward[256];
  uint8_t inverse[256];
};

constexpr SBoxes MakeSBoxes() {
  // Powers of the generator 0x03 give logarithms; the inverse of x is
  // 3^(255 - log x), and 0 maps to 0 by definition.
  uint8_t power[256] = {};
  uint8_t log[256] = {};
  uint8_t p = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = p;
    log[p] = uint8_t(i);
    p = uint8_t(p ^ XTime(p));  // p * 3
  }
  SBoxes boxes = {};
  for (int x = 0; x < 256; ++x) {
    const uint8_t inv = x == 0 ? 0 : power[(255 - log[x]) % 255];
    const uint8_t s = uint8_t(inv ^ Rotl8(inv, 1) ^ Rotl8(inv, 2) ^ Rotl8(inv, 3) ^ Rotl8(inv, 4) ^ 0x63);
    boxes.forward[x] = s;
    boxes.inverse[s] = uint8_t(x);
  }
  return boxes;
}

constexpr SBoxes kSBoxes = MakeSBoxes();
static_assert(kSBoxes.forward[0x00] == 0x63 && kSBoxes.forward[0x53] == 0xED, "FIPS 197 S-box");
static_assert(kSBoxes.inverse[0x63] == 0x00, "FIPS 197 inverse S-box");

inline uint8_t Mul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b) {
    if (b & 1) r ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return r;
}

inline void AddRoundKey(uint8_t* s, const uint8_t* k) {
  for (int i = 0; i < 16; ++i) s[i] ^= k[i];
}

// SubBytes and ShiftRows together: row r of column c comes from column c + r.
inline void SubShiftRows(const uint8_t* in, uint8_t* out) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) out[4 * c + r] = kSBoxes.forward[in[4 * ((c + r) % 4) + r]];
}

inline void InvSubShiftRows(const uint8_t* in, uint8_t* out) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) out[4 * ((c + r) % 4) + r] = kSBoxes.inverse[in[4 * c + r]];
}

inline void MixColumns(uint8_t* s) {
  for (int c = 0; c < 4; ++c) {
    uint8_t* col = s + 4 * c;
    const uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
    const uint8_t all = uint8_t(a0 ^ a1 ^ a2 ^ a3);
    col[0] = uint8_t(a0 ^ all ^ XTime(uint8_t(a0 ^ a1)));
    col[1] = uint8_t(a1 ^ all ^ XTime(uint8_t(a1 ^ a2)));
    col[2] = uint8_t(a2 ^ all ^ XTime(uint8_t(a2 ^ a3)));
    col[3] = uint8_t(a3 ^ all ^ XTime(uint8_t(a3 ^ a0)));
  }
}

inline void InvMixColumns(uint8_t* s) {
  for (int c = 0; c < 4; ++c) {
    uint8_t* col = s + 4 * c;
    const uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
    col[0] = uint8_t(Mul(a0, 14) ^ Mul(a1, 11) ^ Mul(a2, 13) ^ Mul(a3, 9));
    col[1] = uint8_t(Mul(a0, 9) ^ Mul(a1, 14) ^ Mul(a2, 11) ^ Mul(a3, 13));
    col[2] = uint8_t(Mul(a0, 13) ^ Mul(a1, 9) ^ Mul(a2, 14) ^ Mul(a3, 11));
    col[3] = uint8_t(Mul(a0, 11) ^ Mul(a1, 13) ^ Mul(a2, 9) ^ Mul(a3, 14));
  }
}

}  // namespace

TRijndael::~TRijndael() { BurnKeySchedule(); }

void TRijndael::BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) {
  const size_t keyBytes = sizeBits / 8;
  const int nk = keyBytes <= 16 ? 4 : keyBytes <= 24 ? 6 : 8;  // key words
  fRounds = nk + 6;
  const int totalWords = 4 * (fRounds + 1);

  uint8_t* w = fRoundKeys.data();  // word i is bytes 4i..4i+3
  std::memset(w, 0, fRoundKeys.size());
  if (keyBytes) std::memcpy(w, key, keyBytes);  // below 8 bits no byte is read
  uint8_t rcon = 0x01;
  for (int i = nk; i < totalWords; ++i) {
    uint8_t temp[4] = {w[4 * i - 4], w[4 * i - 3], w[4 * i - 2], w[4 * i - 1]};
    if (i % nk == 0) {
      const uint8_t first = temp[0];  // RotWord, SubWord, then Rcon
      temp[0] = uint8_t(kSBoxes.forward[temp[1]] ^ rcon);
      temp[1] = kSBoxes.forward[temp[2]];
      temp[2] = kSBoxes.forward[temp[3]];
      temp[3] = kSBoxes.forward[first];
      rcon = XTime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      for (uint8_t& b : temp) b = kSBoxes.forward[b];
    }
    for (int b = 0; b < 4; ++b) w[4 * i + b] = uint8_t(w[4 * (i - nk) + b] ^ temp[b]);
  }
}

void TRijndael::EncryptBlock(const uint8_t* in, uint8_t* out) {
  uint8_t s[16], t[16];
  std::memcpy(s, in, 16);
  AddRoundKey(s, fRoundKeys.data());
  for (int round = 1; round < fRounds; ++round) {
    SubShiftRows(s, t);
    MixColumns(t);
    AddRoundKey(t, fRoundKeys.data() + 16 * round);
    std::memcpy(s, t, 16);
  }
  SubShiftRows(s, t);
  AddRoundKey(t, fRoundKeys.data() + 16 * fRounds);
  std::memcpy(out, t, 16);
  SecureZero(s, sizeof s);
  SecureZero(t, sizeof t);
}

void TRijndael::DecryptBlock(const uint8_t* in, uint8_t* out) {
  uint8_t s[16], t[16];
  std::memcpy(s, in, 16);
  AddRoundKey(s, fRoundKeys.data() + 16 * fRounds);
  for (int round = fRounds - 1; round >= 1; --round) {
    InvSubShiftRows(s, t);
    AddRoundKey(t, fRoundKeys.data() + 16 * round);
    InvMixColumns(t);
    std::memcpy(s, t, 16);
  }
  InvSubShiftRows(s, t);
  AddRoundKey(t, fRoundKeys.data());
  std::memcpy(out, t, 16);
  SecureZero(s, sizeof s);
  SecureZero(t, sizeof t);
}

void TRijndael::BurnKeySchedule() {
  SecureZero(fRoundKeys.data(), fRoundKeys.size());
  fRounds = 0;
}

}  // namespace vo
