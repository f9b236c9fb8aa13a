// Known answers and key-size rules of the 64-bit block ciphers: Blowfish,
// CAST-128, DES, triple DES and IDEA.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "KnownAnswer.h"
#include "OwnedBlockCipher.h"
#include "crypt/Blowfish.h"
#include "crypt/Cast128.h"
#include "crypt/Des.h"
#include "crypt/Idea.h"
#include "crypt/SuiteCipher.h"

namespace vo {
namespace {

using test::Hex;
using test::BlockCipher;
using test::Make;
using test::SameBytes;
using Bytes = std::vector<uint8_t>;
using CipherFactory = BlockCipher (*)();

// Keys the cipher from a heap buffer of exactly sizeBits/8 bytes, so the
// address sanitizer catches a key schedule that reads past them.
void InitExact(TSuiteBlockCipher& cipher, const Bytes& key, uint32_t sizeBits) {
  ASSERT_GE(key.size(), sizeBits / 8);
  Bytes exact(key.begin(), key.begin() + sizeBits / 8);
  cipher.Init(exact.data(), sizeBits, nullptr);
}

// ECB over whole blocks, one EncryptECB/DecryptECB call per block.
Bytes Ecb(TSuiteBlockCipher& cipher, const Bytes& in, bool decrypt) {
  Bytes out(in.size());
  for (size_t i = 0; i + 8 <= in.size(); i += 8) {
    if (decrypt)
      cipher.DecryptECB(in.data() + i, out.data() + i);
    else
      cipher.EncryptECB(in.data() + i, out.data() + i);
  }
  return out;
}

Bytes EncryptWith(CipherFactory make, const Bytes& key, uint32_t sizeBits, const Bytes& plain) {
  auto cipher = make();
  InitExact(*cipher, key, sizeBits);
  return Ecb(*cipher, plain, false);
}

struct KnownAnswer {
  const char* source;
  CipherFactory make;
  uint32_t keyBits;
  const char* key;
  const char* plain;
  const char* cipher;
};

const KnownAnswer kKnownAnswers[] = {
    // Blowfish: Eric Young's ECB test set, published with Schneier's vectors.
    {"Blowfish ECB 1", Make<TBlowfish>, 64, "0000000000000000", "0000000000000000", "4ef997456198dd78"},
    {"Blowfish ECB 2", Make<TBlowfish>, 64, "ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
    {"Blowfish ECB 3", Make<TBlowfish>, 64, "3000000000000000", "1000000000000001", "7d856f9a613063f2"},
    {"Blowfish ECB 4", Make<TBlowfish>, 64, "1111111111111111", "1111111111111111", "2466dd878b963c9d"},
    {"Blowfish ECB 5", Make<TBlowfish>, 64, "0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
    {"Blowfish ECB 6", Make<TBlowfish>, 64, "fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
    // CAST-128: RFC 2144, Appendix B.1 (128, 80 and 40-bit keys).
    {"CAST-128 B.1 128-bit", Make<TCast128>, 128, "0123456712345678234567893456789a", "0123456789abcdef",
     "238b4fe5847e44b2"},
    {"CAST-128 B.1 80-bit", Make<TCast128>, 80, "01234567123456782345", "0123456789abcdef", "eb6a711a2c02271b"},
    {"CAST-128 B.1 40-bit", Make<TCast128>, 40, "0123456712", "0123456789abcdef", "7ac816d16e9b302e"},
    // DES: FIPS 81, Appendix B ("Now is t").
    {"DES FIPS 81", Make<TDES>, 64, "0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
    // DES: NBS SP 500-20, variable plaintext, variable key and S-box tests.
    {"DES SP 500-20 plain 1", Make<TDES>, 64, "0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
    {"DES SP 500-20 plain 2", Make<TDES>, 64, "0101010101010101", "4000000000000000", "dd7f121ca5015619"},
    {"DES SP 500-20 plain 3", Make<TDES>, 64, "0101010101010101", "2000000000000000", "2e8653104f3834ea"},
    {"DES SP 500-20 key 1", Make<TDES>, 64, "8001010101010101", "0000000000000000", "95a8d72813daa94d"},
    {"DES SP 500-20 key 2", Make<TDES>, 64, "4001010101010101", "0000000000000000", "0eec1487dd8c26d5"},
    {"DES SP 500-20 S-box 1", Make<TDES>, 64, "7ca110454a1a6e57", "01a1d6d039776742", "690f5b0d9a26939b"},
    {"DES SP 500-20 S-box 2", Make<TDES>, 64, "0131d9619dc1376e", "5cd54ca83def57da", "7a389d10354bd271"},
    // Triple DES: NIST SP 800-67, Appendix B example (three keys, three blocks).
    {"3DES SP 800-67", Make<T3DES>, 192, "0123456789abcdef 23456789abcdef01 456789abcdef0123",
     "5468652071756663 6b2062726f776e20 666f78206a756d70", "a826fd8ce53b855f cce21c8112256fe6 68d5c05dd9b6b900"},
    // IDEA: Lai's thesis example, and NESSIE set 1 vector 0.
    {"IDEA Lai", Make<TIDEA>, 128, "0001000200030004 0005000600070008", "0000000100020003", "11fbed2b01986de5"},
    {"IDEA NESSIE 1.0", Make<TIDEA>, 128, "8000000000000000 0000000000000000", "0000000000000000",
     "b1f5f7f87901370f"},
};

TEST(Cipher64Test, KnownAnswersEncryptAndDecrypt) {
  for (const KnownAnswer& row : kKnownAnswers) {
    SCOPED_TRACE(row.source);
    auto cipher = row.make();
    InitExact(*cipher, Hex(row.key), row.keyBits);
    EXPECT_TRUE(SameBytes(Hex(row.cipher), Ecb(*cipher, Hex(row.plain), false)));
    EXPECT_TRUE(SameBytes(Hex(row.plain), Ecb(*cipher, Hex(row.cipher), true)));
  }
}

// Eric Young's Blowfish set_key test: plain text fedcba9876543210 under the
// first n bytes of one 24-byte key, n = 1..24; exercises the cyclic use of
// short keys over the P-array.
TEST(Cipher64Test, BlowfishVariableKeyLength) {
  const Bytes key = Hex("f0e1d2c3b4a59687 78695a4b3c2d1e0f 0011223344556677");
  const Bytes plain = Hex("fedcba9876543210");
  const char* const expected[24] = {
      "f9ad597c49db005e", "e91d21c1d961a6d6", "e9c2b70a1bc65cf3", "be1e639408640f05", "b39e44481bdb1e6e",
      "9457aa83b1928c0d", "8bb77032f960629d", "e87a244e2cc85e82", "15750e7a4f4ec577", "122ba70b3ab64ae0",
      "3a833c9affc537f6", "9409da87a90f6bf2", "884f80625060b8b4", "1f85031c19e11968", "79d9373a714ca34f",
      "93142887ee3be15c", "03429e838ce2d14b", "a4299e27469ff67b", "afd5aed1c1bc96a8", "10851c0e3858da9f",
      "e6f51ed79b9db21f", "64a6e14afd36b46f", "80c7d7d45a5479ad", "05044b62fa52d080",
  };
  for (uint32_t bytes = 1; bytes <= 24; ++bytes) {
    SCOPED_TRACE("key bytes " + std::to_string(bytes));
    EXPECT_TRUE(SameBytes(Hex(expected[bytes - 1]), EncryptWith(Make<TBlowfish>, key, bytes * 8, plain)));
  }
}

struct CipherInfo {
  CipherFactory make;
  const char* name;
  int maxKeyBits;
  uint8_t index;  // in CreateCipherByIndex
};

const CipherInfo kCiphers[] = {
    {Make<TBlowfish>, "Blowfish", 448, 0}, {Make<TCast128>, "Cast128", 128, 1}, {Make<TDES>, "DES", 64, 3},
    {Make<T3DES>, "3DES", 192, 4},         {Make<TIDEA>, "IDEA", 128, 8},
};

TEST(Cipher64Test, NamesSizesAndFactoryIndex) {
  for (const CipherInfo& info : kCiphers) {
    SCOPED_TRACE(info.name);
    auto cipher = info.make();
    EXPECT_EQ(info.name, cipher->GetAlgorithm());
    EXPECT_EQ(info.maxKeyBits, cipher->GetMaxKeySize());
    EXPECT_EQ(64, cipher->GetBlockSize());
    auto created = CreateCipherByIndex(info.index);
    EXPECT_EQ(info.name, created->GetAlgorithm());
    EXPECT_FALSE(created->IsInitialized());
  }
}

// A long chain of encryptions undone by as many decryptions: catches a
// decryption that only inverts the encryption for some inputs. In-place and
// separate buffers must agree at every step.
TEST(Cipher64Test, LongChainDecryptsBackAtEveryKeySize) {
  for (const CipherInfo& info : kCiphers) {
    for (uint32_t bits = 8; bits <= uint32_t(info.maxKeyBits); bits += 8) {
      SCOPED_TRACE(std::string(info.name) + " " + std::to_string(bits) + " bits");
      Bytes key(info.maxKeyBits / 8);
      for (size_t i = 0; i < key.size(); ++i) key[i] = uint8_t(i * 37 + bits);
      auto cipher = info.make();
      InitExact(*cipher, key, bits);
      const Bytes start = Hex("0011223344556677");
      uint8_t block[8], copy[8];
      std::memcpy(block, start.data(), 8);
      const int kSteps = 2000;
      for (int i = 0; i < kSteps; ++i) {
        cipher->EncryptECB(block, copy);
        cipher->EncryptECB(block, block);
        ASSERT_EQ(0, std::memcmp(block, copy, 8)) << "in-place encryption differs at step " << i;
      }
      EXPECT_NE(0, std::memcmp(block, start.data(), 8));
      for (int i = 0; i < kSteps; ++i) {
        cipher->DecryptECB(block, copy);
        cipher->DecryptECB(block, block);
        ASSERT_EQ(0, std::memcmp(block, copy, 8)) << "in-place decryption differs at step " << i;
      }
      EXPECT_TRUE(SameBytes(start, block, 8));
    }
  }
}

// Pairs of keys that must give the same cipher, and pairs that must not;
// the second key goes to makeB when one is named.
struct KeyRule {
  const char* rule;
  CipherFactory make;
  uint32_t bitsA;
  const char* keyA;
  uint32_t bitsB;
  const char* keyB;
  bool same;
  CipherFactory makeB = nullptr;
};

const KeyRule kKeyRules[] = {
    // Triple DES: 128 bits is two-key triple DES (K3 = K1); up to 128 bits the
    // missing bytes of K1 and K2 are zeros and K3 still repeats K1.
    {"3DES 128 bits: K3 = K1", Make<T3DES>, 128, "0123456789abcdef 23456789abcdef01", 192,
     "0123456789abcdef 23456789abcdef01 0123456789abcdef", true},
    {"3DES 128 bits: K3 is not zero", Make<T3DES>, 128, "0123456789abcdef 23456789abcdef01", 192,
     "0123456789abcdef 23456789abcdef01 0000000000000000", false},
    {"3DES 96 bits: K2 zero-padded, K3 = K1", Make<T3DES>, 96, "0123456789abcdef 23456789", 192,
     "0123456789abcdef 2345678900000000 0123456789abcdef", true},
    // Above 128 bits K3 is bytes 16-23 of the zero-padded key.
    {"3DES 160 bits: K3 = bytes 16-19 + zeros", Make<T3DES>, 160, "0123456789abcdef 23456789abcdef01 45678901",
     192, "0123456789abcdef 23456789abcdef01 4567890100000000", true},
    {"3DES 132 bits: K3 all zero", Make<T3DES>, 132, "0123456789abcdef 23456789abcdef01 ff", 192,
     "0123456789abcdef 23456789abcdef01 0000000000000000", true},
    // EDE with three equal keys is single DES (the middle decryption undoes
    // the first encryption).
    {"3DES K1 = K2 = K3 is DES", Make<T3DES>, 192, "133457799bbcdff1 133457799bbcdff1 133457799bbcdff1", 64,
     "133457799bbcdff1", true, Make<TDES>},
    // CAST-128: up to 10 key bytes 12 rounds, from 11 bytes 16 rounds; the
    // zero padding alone makes an 11-byte key equal the padded 16-byte one.
    {"CAST-128 84 bits reads 10 bytes", Make<TCast128>, 84, "01234567123456782345 ff", 80,
     "01234567123456782345", true},
    {"CAST-128 88 bits runs 16 rounds", Make<TCast128>, 88, "01234567123456782345 00", 128,
     "01234567123456782345 000000000000", true},
    {"CAST-128 80 vs 88 bits differ", Make<TCast128>, 80, "01234567123456782345", 88,
     "01234567123456782345 00", false},
    {"CAST-128 40 bits zero-padded, 12 rounds", Make<TCast128>, 40, "0123456712", 80, "01234567120000000000",
     true},
    // DES: the low bit of each key byte is parity and is ignored; short keys
    // are zero-padded and read only n/8 bytes.
    {"DES parity bits ignored", Make<TDES>, 64, "133457799bbcdff1", 64, "123556789abddef0", true},
    {"DES other bits count", Make<TDES>, 64, "133457799bbcdff1", 64, "133457799bbcdff3", false},
    {"DES 60 bits reads 7 bytes", Make<TDES>, 60, "133457799bbcdf ff", 64, "133457799bbcdf00", true},
    // IDEA: zero-padded to 128 bits.
    {"IDEA 100 bits reads 12 bytes", Make<TIDEA>, 100, "000100020003000400050006 ff", 128,
     "0001000200030004 0005000600000000", true},
    // Blowfish: the key bytes repeat over the P-array, so a key and the same
    // key twice over give one cipher.
    {"Blowfish key repeated", Make<TBlowfish>, 40, "f0e1d2c3b4", 80, "f0e1d2c3b4f0e1d2c3b4", true},
    {"Blowfish not zero-padded", Make<TBlowfish>, 40, "f0e1d2c3b4", 64, "f0e1d2c3b4000000", false},
    {"Blowfish 444 bits reads 55 bytes", Make<TBlowfish>, 444, "00112233445566778899aabbccddeeff"
     "00112233445566778899aabbccddeeff 00112233445566778899aabbccddeeff 0011223344556677", 440,
     "00112233445566778899aabbccddeeff 00112233445566778899aabbccddeeff"
     "00112233445566778899aabbccddeeff 00112233445566", true},
};

TEST(Cipher64Test, KeySizeRules) {
  const Bytes plain = Hex("0123456789abcdef fedcba9876543210");
  for (const KeyRule& rule : kKeyRules) {
    SCOPED_TRACE(rule.rule);
    const Bytes a = EncryptWith(rule.make, Hex(rule.keyA), rule.bitsA, plain);
    const Bytes b = EncryptWith(rule.makeB ? rule.makeB : rule.make, Hex(rule.keyB), rule.bitsB, plain);
    if (rule.same)
      EXPECT_TRUE(SameBytes(b, a));
    else
      EXPECT_FALSE(SameBytes(b, a));
  }
}

// A size of 4 bits gives no whole key byte: every cipher then behaves as
// under the one-byte key 00 (all-zero padding; for Blowfish, zero bytes mixed
// into the P-array; for CAST-128, 12 rounds).
TEST(Cipher64Test, KeyBelowOneByteActsAsZeroByte) {
  const Bytes plain = Hex("0123456789abcdef");
  for (const CipherInfo& info : kCiphers) {
    SCOPED_TRACE(info.name);
    auto cipher = info.make();
    const uint8_t unread = 0xff;
    cipher->Init(&unread, 4, nullptr);
    const Bytes expected = EncryptWith(info.make, Bytes{0}, 8, plain);
    EXPECT_TRUE(SameBytes(expected, Ecb(*cipher, plain, false)));
    EXPECT_TRUE(SameBytes(plain, Ecb(*cipher, expected, true)));
  }
}

// A second Init must rebuild the schedule from scratch: nothing of the first
// key may survive into the second (Blowfish starts again from pi).
TEST(Cipher64Test, ReInitReplacesTheWholeSchedule) {
  const Bytes first = Hex("a5a5a5a5a5a5a5a5 5a5a5a5a5a5a5a5a 3c3c3c3c3c3c3c3c");
  const Bytes second = Hex("0123456789abcdef 23456789abcdef01 456789abcdef0123");
  const Bytes plain = Hex("4e6f772069732074");
  for (const CipherInfo& info : kCiphers) {
    SCOPED_TRACE(info.name);
    const uint32_t bits = info.maxKeyBits < 192 ? uint32_t(info.maxKeyBits) : 192;
    auto reused = info.make();
    InitExact(*reused, first, bits);
    InitExact(*reused, second, bits);
    EXPECT_TRUE(SameBytes(EncryptWith(info.make, second, bits, plain), Ecb(*reused, plain, false)));
  }
}

TEST(Cipher64Test, BurntCipherRefusesBlocks) {
  for (const CipherInfo& info : kCiphers) {
    SCOPED_TRACE(info.name);
    auto cipher = info.make();
    InitExact(*cipher, Hex("0123456789abcdef 23456789abcdef01"), 64);
    cipher->Burn();
    uint8_t block[8] = {};
    EXPECT_THROW(cipher->EncryptECB(block, block), ESuiteBlockCipher);
    EXPECT_THROW(cipher->DecryptECB(block, block), ESuiteBlockCipher);
  }
}

}  // namespace
}  // namespace vo
