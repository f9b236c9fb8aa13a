// HAVAL-256 with 5 passes. Each pass runs 32 steps; step j of a pass updates
// one of the eight chaining words from the other seven through the pass's
// boolean function (with its input permutation), one message word in the
// pass's order, and one constant. The initial value and the constants are
// consecutive 32-bit words of the fractional part of pi.

#include "crypt/Haval.h"

#include "crypt/Bytes.h"

namespace vo {

namespace {

// Words 0-7 of pi's fraction are the initial value; words 8 onward are the
// constants of passes 2 to 5, 32 per pass (pass 1 adds none).
constexpr uint32_t kPiWords[136] = {
    0x243F6A88, 0x85A308D3, 0x13198A2E, 0x03707344, 0xA4093822, 0x299F31D0, 0x082EFA98, 0xEC4E6C89,
    0x452821E6, 0x38D01377, 0xBE5466CF, 0x34E90C6C, 0xC0AC29B7, 0xC97C50DD, 0x3F84D5B5, 0xB5470917,
    0x9216D5D9, 0x8979FB1B, 0xD1310BA6, 0x98DFB5AC, 0x2FFD72DB, 0xD01ADFB7, 0xB8E1AFED, 0x6A267E96,
    0xBA7C9045, 0xF12C7F99, 0x24A19947, 0xB3916CF7, 0x0801F2E2, 0x858EFC16, 0x636920D8, 0x71574E69,
    0xA458FEA3, 0xF4933D7E, 0x0D95748F, 0x728EB658, 0x718BCD58, 0x82154AEE, 0x7B54A41D, 0xC25A59B5,
    0x9C30D539, 0x2AF26013, 0xC5D1B023, 0x286085F0, 0xCA417918, 0xB8DB38EF, 0x8E79DCB0, 0x603A180E,
    0x6C9E0E8B, 0xB01E8A3E, 0xD71577C1, 0xBD314B27, 0x78AF2FDA, 0x55605C60, 0xE65525F3, 0xAA55AB94,
    0x57489862, 0x63E81440, 0x55CA396A, 0x2AAB10B6, 0xB4CC5C34, 0x1141E8CE, 0xA15486AF, 0x7C72E993,
    0xB3EE1411, 0x636FBC2A, 0x2BA9C55D, 0x741831F6, 0xCE5C3E16, 0x9B87931E, 0xAFD6BA33, 0x6C24CF5C,
    0x7A325381, 0x28958677, 0x3B8F4898, 0x6B4BB9AF, 0xC4BFE81B, 0x66282193, 0x61D809CC, 0xFB21A991,
    0x487CAC60, 0x5DEC8032, 0xEF845D5D, 0xE98575B1, 0xDC262302, 0xEB651B88, 0x23893E81, 0xD396ACC5,
    0x0F6D6FF3, 0x83F44239, 0x2E0B4482, 0xA4842004, 0x69C8F04A, 0x9E1F9B5E, 0x21C66842, 0xF6E96C9A,
    0x670C9C61, 0xABD388F0, 0x6A51A0D2, 0xD8542F68, 0x960FA728, 0xAB5133A3, 0x6EEF0B6C, 0x137A3BE4,
    0xBA3BF050, 0x7EFB2A98, 0xA1F1651D, 0x39AF0176, 0x66CA593E, 0x82430E88, 0x8CEE8619, 0x456F9FB4,
    0x7D84A5C3, 0x3B8B5EBE, 0xE06F75D8, 0x85C12073, 0x401A449F, 0x56C16AA6, 0x4ED3AA62, 0x363F7706,
    0x1BFEDF72, 0x429B023D, 0x37D0D724, 0xD00A1248, 0xDB0FEAD3, 0x49F1C09B, 0x075372C9, 0x80991B7B,
    0x25D479D8, 0xF6E8DEF7, 0xE3FE501A, 0xB6794C3B, 0x976CE0BD, 0x04C006BA, 0xC1A94FB6, 0x409F60C4,
};

// The order in which each pass reads the 32 message words.
constexpr uint8_t kWordOrder[5][32] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31},
    {5, 14, 26, 18, 11, 28, 7, 16, 0, 23, 20, 22, 1, 10, 4, 8,
     30, 3, 21, 9, 17, 24, 29, 6, 19, 12, 15, 13, 2, 25, 31, 27},
    {19, 9, 4, 20, 28, 17, 8, 22, 29, 14, 25, 12, 24, 30, 16, 26,
     31, 15, 7, 3, 1, 0, 18, 27, 13, 6, 21, 10, 23, 11, 5, 2},
    {24, 4, 0, 14, 2, 7, 28, 23, 26, 6, 30, 20, 18, 25, 19, 3,
     22, 11, 31, 21, 8, 27, 12, 9, 1, 29, 5, 15, 17, 10, 16, 13},
    {27, 3, 21, 26, 17, 11, 20, 29, 19, 0, 12, 7, 13, 8, 31, 10,
     5, 9, 14, 30, 18, 6, 28, 24, 2, 23, 16, 22, 4, 1, 25, 15},
};

// The five boolean functions of the paper, arguments x6 .. x0.
uint32_t F1(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
            uint32_t x0) {
  return (x1 & x4) ^ (x2 & x5) ^ (x3 & x6) ^ (x0 & x1) ^ x0;
}
uint32_t F2(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
            uint32_t x0) {
  return (x1 & x2 & x3) ^ (x2 & x4 & x5) ^ (x1 & x2) ^ (x1 & x4) ^ (x2 & x6) ^ (x3 & x5) ^
         (x4 & x5) ^ (x0 & x2) ^ x0;
}
uint32_t F3(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
            uint32_t x0) {
  return (x1 & x2 & x3) ^ (x1 & x4) ^ (x2 & x5) ^ (x3 & x6) ^ (x0 & x3) ^ x0;
}
uint32_t F4(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
            uint32_t x0) {
  return (x1 & x2 & x3) ^ (x2 & x4 & x5) ^ (x3 & x4 & x6) ^ (x1 & x4) ^ (x2 & x6) ^ (x3 & x4) ^
         (x3 & x5) ^ (x3 & x6) ^ (x4 & x5) ^ (x4 & x6) ^ (x0 & x4) ^ x0;
}
uint32_t F5(uint32_t x6, uint32_t x5, uint32_t x4, uint32_t x3, uint32_t x2, uint32_t x1,
            uint32_t x0) {
  return (x1 & x4) ^ (x2 & x5) ^ (x3 & x6) ^ (x0 & x1 & x2 & x3) ^ (x0 & x5) ^ x0;
}

// Each pass's function with the input permutation phi(i,5) of the 5-pass
// variant applied; x[k] holds x_k.
uint32_t PassFunction(int pass, const uint32_t* x) {
  switch (pass) {
    case 0: return F1(x[3], x[4], x[1], x[0], x[5], x[2], x[6]);
    case 1: return F2(x[6], x[2], x[1], x[0], x[3], x[4], x[5]);
    case 2: return F3(x[2], x[6], x[0], x[4], x[3], x[1], x[5]);
    case 3: return F4(x[1], x[5], x[3], x[2], x[0], x[4], x[6]);
    default: return F5(x[2], x[5], x[0], x[6], x[4], x[3], x[1]);
  }
}

}  // namespace

THaval::~THaval() { Burn(); }

void THaval::Init() {
  Burn();
  for (int i = 0; i < 8; ++i) fState[i] = kPiWords[i];
  fInitialized = true;
}

void THaval::Burn() {
  SecureZero(fState.data(), sizeof fState);
  SecureZero(fBlock.data(), fBlock.size());
  fBitCount = 0;
  fFill = 0;
  fInitialized = false;
}

void THaval::Update(const void* buffer, size_t count) {
  RequireInitialized();
  fBitCount += uint64_t(count) * 8;
  FeedBlocks(static_cast<const uint8_t*>(buffer), count, fBlock.data(), fBlock.size(), fFill,
             [this](const uint8_t* block) { Compress(block); });
}

void THaval::Final(void* digest) {
  RequireInitialized();
  // The padding byte, zeros up to offset 118 of a block, then the version,
  // pass count and output length (bytes 118, 119) and the bit count.
  uint8_t tail[256] = {fPaddingByte};
  const size_t padLength = (fFill < 118 ? 118 : 246) - fFill;
  tail[padLength] = 0x29;      // version 1, 5 passes, output length bits 0-1
  tail[padLength + 1] = 0x40;  // output length 256 >> 2
  StoreLE64(tail + padLength + 2, fBitCount);
  Update(tail, padLength + 10);
  uint8_t* out = static_cast<uint8_t*>(digest);
  for (int i = 0; i < 8; ++i) StoreLE32(out + 4 * i, fState[i]);
  Burn();
}

void THaval::Compress(const uint8_t* block) {
  uint32_t w[32];
  for (int i = 0; i < 32; ++i) w[i] = LoadLE32(block + 4 * i);
  uint32_t t[8];
  for (int i = 0; i < 8; ++i) t[i] = fState[i];
  for (int pass = 0; pass < 5; ++pass) {
    for (int j = 0; j < 32; ++j) {
      // Step j rewrites t[7 - j (mod 8)]; the seven words before it in the
      // rotating order are x6 .. x0.
      uint32_t x[7];
      for (int k = 0; k < 7; ++k) x[k] = t[(k - j) & 7];
      const uint32_t constant = pass == 0 ? 0 : kPiWords[8 + 32 * (pass - 1) + j];
      uint32_t& target = t[(7 - j) & 7];
      target = Rotr32(PassFunction(pass, x), 7) + Rotr32(target, 11) + w[kWordOrder[pass][j]] +
               constant;
    }
  }
  for (int i = 0; i < 8; ++i) fState[i] += t[i];
  SecureZero(w, sizeof w);
  SecureZero(t, sizeof t);
}

}  // namespace vo
