// The algorithm-independent part of the cipher suite: the factory, key-size
// checks, initialisation and burning, the chaining modes, the text
// operations, Base64 and the ANSI code-page conversions.

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "KnownAnswer.h"
#include "crypt/AnsiCodePage.h"
#include "crypt/SuiteCipher.h"

namespace vo {
namespace {

using test::Hex;
using test::SameBytes;

constexpr uint8_t kRijndael = 5;
constexpr uint8_t kRC4 = 6;

struct CipherMember {
  uint8_t index;
  const char* name;
  int maxKeyBits;
  int blockBits;  // 0 for the stream cipher
};

const CipherMember kCiphers[] = {
    {0, "Blowfish", 448, 64}, {1, "Cast128", 128, 64},   {2, "Cast256", 256, 128},
    {3, "DES", 64, 64},       {4, "3DES", 192, 64},      {5, "Rijndael", 256, 128},
    {6, "RC4", 2048, 0},      {7, "Twofish", 256, 128},  {8, "IDEA", 128, 64},
};

std::vector<uint8_t> TestKey(size_t bytes) {
  std::vector<uint8_t> key(bytes);
  for (size_t i = 0; i < bytes; ++i) key[i] = uint8_t(0x31 + 7 * i);
  return key;
}

std::unique_ptr<TSuiteBlockCipher> CreateBlockCipher(uint8_t index) {
  std::unique_ptr<TSuiteCipher> cipher = CreateCipherByIndex(index);
  auto* block = dynamic_cast<TSuiteBlockCipher*>(cipher.get());
  if (!block) return nullptr;
  cipher.release();
  return std::unique_ptr<TSuiteBlockCipher>(block);
}

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// ---------------------------------------------------------------------------
// Factory

TEST(CipherFactory, IndexesNamesAndSizes) {
  for (const CipherMember& member : kCiphers) {
    for (uint8_t index : {member.index, uint8_t(member.index | 0x80)}) {
      SCOPED_TRACE("index " + std::to_string(index));
      auto cipher = CreateCipherByIndex(index);
      EXPECT_EQ(member.name, cipher->GetAlgorithm());
      EXPECT_EQ(member.maxKeyBits, cipher->GetMaxKeySize());
      EXPECT_FALSE(cipher->IsInitialized());
      auto* block = dynamic_cast<TSuiteBlockCipher*>(cipher.get());
      EXPECT_EQ(member.blockBits != 0, block != nullptr);
      EXPECT_EQ(member.blockBits != 0, cipher->IsBlockCipher());
      if (block) {
        EXPECT_EQ(member.blockBits, block->GetBlockSize());
      }
    }
  }
  for (uint8_t index : {uint8_t(9), uint8_t(0x7F), uint8_t(0xFF)})
    EXPECT_THROW(CreateCipherByIndex(index), ESuiteCipher) << int(index);
}

// ---------------------------------------------------------------------------
// Init and key sizes

TEST(CipherInit, KeySizeLimits) {
  for (const CipherMember& member : kCiphers) {
    const uint32_t max = uint32_t(member.maxKeyBits);
    const std::vector<uint8_t> key = TestKey(max / 8 + 1);
    const struct {
      uint32_t bits;
      bool accepted;
    } kSizes[] = {
        {0, false}, {2, false}, {4, true}, {6, false}, {max - 2, false},
        {max, true}, {max + 4, false}, {max + 8, false},
        // 130 bits is not a multiple of 4; 132 is, and uses 16 key bytes.
        {130, false}, {132, max >= 132},
    };
    for (const auto& size : kSizes) {
      SCOPED_TRACE(std::string(member.name) + " with " + std::to_string(size.bits) + " bits");
      auto cipher = CreateCipherByIndex(member.index);
      if (size.accepted) {
        EXPECT_NO_THROW(cipher->Init(key.data(), size.bits, nullptr));
        EXPECT_TRUE(cipher->IsInitialized());
        continue;
      }
      // A failed Init on a keyed cipher leaves it burnt, not keyed.
      cipher->Init(key.data(), 64 <= max ? 64 : max, nullptr);
      try {
        cipher->Init(key.data(), size.bits, nullptr);
        ADD_FAILURE() << "no error raised";
      } catch (const ESuiteBlockCipher&) {
        ADD_FAILURE() << "raised as a block-cipher error";
      } catch (const ESuiteCipher& e) {
        EXPECT_STREQ("Invalid key size", e.what());
      }
      EXPECT_FALSE(cipher->IsInitialized());
    }
  }
}

TEST(CipherInit, SizeNotMultipleOfEightReadsWholeBytesOnly) {
  // 132 bits reads 16 key bytes: a 17th byte must not matter.
  for (const CipherMember& member : kCiphers) {
    if (member.maxKeyBits < 132) continue;
    SCOPED_TRACE(member.name);
    std::vector<uint8_t> key = TestKey(17);
    auto first = CreateCipherByIndex(member.index);
    first->Init(key.data(), 132, nullptr);
    key[16] ^= 0xFF;
    auto second = CreateCipherByIndex(member.index);
    second->Init(key.data(), 132, nullptr);
    const std::string plain = "sixteen key bytes";
    EXPECT_EQ(first->EncryptString(plain), second->EncryptString(plain));
  }
}

TEST(CipherInit, MissingIVIsTheEncryptedZeroBlock) {
  for (const CipherMember& member : kCiphers) {
    auto cipher = CreateBlockCipher(member.index);
    if (!cipher) continue;
    SCOPED_TRACE(member.name);
    const std::vector<uint8_t> key = TestKey(16);
    cipher->Init(key.data(), 128 <= member.maxKeyBits ? 128 : 64, nullptr);
    std::vector<uint8_t> expected(16, 0), iv(16, 0xAA);
    cipher->EncryptECB(expected.data(), expected.data());
    cipher->GetIV(iv.data());
    const size_t blockBytes = size_t(member.blockBits) / 8;
    EXPECT_TRUE(SameBytes(std::vector<uint8_t>(expected.begin(), expected.begin() + blockBytes),
                          iv.data(), blockBytes));
  }
}

TEST(CipherInit, GivenIVIsCopied) {
  const std::vector<uint8_t> key = TestKey(16);
  const std::vector<uint8_t> iv = Hex("000102030405060708090a0b0c0d0e0f");
  auto cipher = CreateBlockCipher(kRijndael);
  cipher->Init(key.data(), 128, iv.data());
  std::vector<uint8_t> chain(16);
  cipher->GetIV(chain.data());
  EXPECT_TRUE(SameBytes(iv, chain));
}

TEST(CipherInit, InitReplacesTheKey) {
  for (const CipherMember& member : kCiphers) {
    SCOPED_TRACE(member.name);
    const std::vector<uint8_t> key1 = TestKey(8), key2 = Hex("0011223344556677");
    auto once = CreateCipherByIndex(member.index);
    once->Init(key2.data(), 64, nullptr);
    auto twice = CreateCipherByIndex(member.index);
    twice->Init(key1.data(), 64, nullptr);
    twice->Init(key2.data(), 64, nullptr);
    EXPECT_EQ(once->EncryptString("replace"), twice->EncryptString("replace"));
  }
}

// ---------------------------------------------------------------------------
// Operations on an unkeyed cipher

TEST(CipherErrors, BlockCipherOperationsNeedInit) {
  uint8_t in[32] = {}, out[32] = {};
  const std::function<void(TSuiteBlockCipher&)> kOperations[] = {
      [&](TSuiteBlockCipher& c) { c.Reset(); },
      [&](TSuiteBlockCipher& c) { c.EncryptECB(in, out); },
      [&](TSuiteBlockCipher& c) { c.DecryptECB(in, out); },
      [&](TSuiteBlockCipher& c) { c.EncryptCBC(in, out, 16); },
      [&](TSuiteBlockCipher& c) { c.DecryptCBC(in, out, 16); },
      [&](TSuiteBlockCipher& c) { c.EncryptCFB8bit(in, out, 3); },
      [&](TSuiteBlockCipher& c) { c.DecryptCFB8bit(in, out, 3); },
      [&](TSuiteBlockCipher& c) { c.DecryptCFB8bit(in, out, 0); },  // count 0 too
      [&](TSuiteBlockCipher& c) { c.EncryptCFBblock(in, out, 16); },
      [&](TSuiteBlockCipher& c) { c.DecryptCFBblock(in, out, 16); },
      [&](TSuiteBlockCipher& c) { c.EncryptOFB(in, out, 16); },
      [&](TSuiteBlockCipher& c) { c.DecryptOFB(in, out, 16); },
      [&](TSuiteBlockCipher& c) { c.EncryptCTR(in, out, 16); },
      [&](TSuiteBlockCipher& c) { c.DecryptCTR(in, out, 16); },
      [&](TSuiteBlockCipher& c) { c.Encrypt(in, out, 16); },
      [&](TSuiteBlockCipher& c) { c.Decrypt(in, out, 16); },
      [&](TSuiteBlockCipher& c) { c.SetIV(in); },
      [&](TSuiteBlockCipher& c) { c.GetIV(out); },
  };
  for (const CipherMember& member : kCiphers) {
    auto cipher = CreateBlockCipher(member.index);
    if (!cipher) continue;
    const std::vector<uint8_t> key = TestKey(8);
    // Fresh from the factory, and keyed then burnt.
    for (bool burnt : {false, true}) {
      if (burnt) {
        cipher->Init(key.data(), 64, nullptr);
        cipher->Burn();
      }
      for (size_t op = 0; op < std::size(kOperations); ++op) {
        SCOPED_TRACE(std::string(member.name) + (burnt ? " burnt" : " fresh") + ", operation " +
                     std::to_string(op));
        try {
          kOperations[op](*cipher);
          ADD_FAILURE() << "no error raised";
        } catch (const ESuiteBlockCipher& e) {
          EXPECT_STREQ("Cipher not initialized", e.what());
        }
      }
    }
  }
}

TEST(CipherErrors, StreamCipherNeedsInit) {
  auto cipher = CreateCipherByIndex(kRC4);
  uint8_t data[4] = {};
  const std::function<void()> kOperations[] = {
      [&] { cipher->Encrypt(data, data, 4); },
      [&] { cipher->Decrypt(data, data, 4); },
      [&] { cipher->Decrypt(data, data, 0); },
  };
  for (size_t op = 0; op < std::size(kOperations); ++op) {
    try {
      kOperations[op]();
      ADD_FAILURE() << "operation " << op << ": no error raised";
    } catch (const ESuiteBlockCipher&) {
      ADD_FAILURE() << "operation " << op << ": raised as a block-cipher error";
    } catch (const ESuiteCipher& e) {
      EXPECT_STREQ("Cipher not initialized", e.what()) << "operation " << op;
    }
  }
}

TEST(CipherErrors, DecryptingEmptyTextNeedsInitOnly) {
  for (const CipherMember& member : kCiphers) {
    SCOPED_TRACE(member.name);
    auto cipher = CreateCipherByIndex(member.index);
    try {
      cipher->DecryptString(std::u16string());
      ADD_FAILURE() << "no error raised";
    } catch (const ESuiteCipher& e) {
      EXPECT_STREQ("Cipher not initialized", e.what());
    }
    const std::vector<uint8_t> key = TestKey(8);
    cipher->Init(key.data(), 64, nullptr);
    EXPECT_EQ(u"", cipher->DecryptString(std::u16string()));
    EXPECT_EQ("", cipher->DecryptString(std::string()));
  }
}

TEST(CipherBurn, BurnForgetsTheKeyAndReInitRestores) {
  for (const CipherMember& member : kCiphers) {
    SCOPED_TRACE(member.name);
    const std::vector<uint8_t> key = TestKey(8);
    auto cipher = CreateCipherByIndex(member.index);
    cipher->Init(key.data(), 64, nullptr);
    const std::string sealed = cipher->EncryptString("burn me");
    cipher->Burn();
    EXPECT_FALSE(cipher->IsInitialized());
    EXPECT_THROW(cipher->EncryptString("burn me"), ESuiteCipher);
    cipher->Init(key.data(), 64, nullptr);
    EXPECT_EQ(sealed, cipher->EncryptString("burn me"));
  }
}

// ---------------------------------------------------------------------------
// Chaining modes, with AES-128 as the block function

// NIST SP 800-38A appendix F: AES-128 key, plain text and vectors.
const char kModeKey[] = "2b7e151628aed2a6abf7158809cf4f3c";
const char kModeIV[] = "000102030405060708090a0b0c0d0e0f";
const char kModePlain[] =
    "6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710";

struct ModeCase {
  const char* section;
  TSuiteCipherMode mode;
  const char* iv;
  size_t length;
  const char* cipherText;
};

const ModeCase kModeCases[] = {
    {"F.2.1 CBC-AES128", cmCBC, kModeIV, 64,
     "7649abac8119b246cee98e9b12e9197d 5086cb9b507219ee95db113a917678b2"
     "73bed6b8e3c1743b7116e69e22229516 3ff1caa1681fac09120eca307586e1a7"},
    {"F.3.7 CFB8-AES128", cmCFB8bit, kModeIV, 18, "3b79424c9c0dd436bace9e0ed4586a4f32b9"},
    {"F.3.13 CFB128-AES128", cmCFBblock, kModeIV, 64,
     "3b3fd92eb72dad20333449f8e83cfb4a c8a64537a0b3a93fcde3cdad9f1ce58b"
     "26751f67a3cbb140b1808cf187a4f4df c04b05357c5d1c0eeac4c66f9ff7f2e6"},
    {"F.4.1 OFB-AES128", cmOFB, kModeIV, 64,
     "3b3fd92eb72dad20333449f8e83cfb4a 7789508d16918f03f53c52dac54ed825"
     "9740051e9c5fecf64344f7a82260edcc 304c6528f659c77866a510d9c1d6ae5e"},
    {"F.5.1 CTR-AES128", cmCTR, "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff", 64,
     "874d6191b620e3261bef6864990db6ce 9806f66b7970fdff8617187bb9fffdff"
     "5ae4df3edbd5d35e5b4f09020db03eab 1e031dda2fbe03d1792170a0f3009cee"},
};

TEST(CipherModes, KnownAnswersBothWays) {
  const std::vector<uint8_t> key = Hex(kModeKey);
  for (const ModeCase& row : kModeCases) {
    SCOPED_TRACE(row.section);
    const std::vector<uint8_t> iv = Hex(row.iv);
    std::vector<uint8_t> plain = Hex(kModePlain);
    plain.resize(row.length);
    const std::vector<uint8_t> expected = Hex(row.cipherText);
    auto cipher = CreateBlockCipher(kRijndael);
    cipher->SetCipherMode(row.mode);
    cipher->Init(key.data(), 128, iv.data());

    std::vector<uint8_t> out(row.length);
    cipher->Encrypt(plain.data(), out.data(), out.size());
    EXPECT_TRUE(SameBytes(expected, out));
    // Decrypting in place, after Reset brought the chain back to the IV.
    cipher->Reset();
    cipher->Decrypt(out.data(), out.data(), out.size());
    EXPECT_TRUE(SameBytes(plain, out));
  }
}

TEST(CipherModes, FeedbackModesContinueAcrossCalls) {
  // Whole-block splits for the block modes, every byte offset for CFB-8.
  const std::vector<uint8_t> key = Hex(kModeKey), iv = Hex(kModeIV), plain = Hex(kModePlain);
  for (const ModeCase& row : kModeCases) {
    SCOPED_TRACE(row.section);
    std::vector<uint8_t> input(plain.begin(), plain.begin() + row.length);
    const size_t step = row.mode == cmCFB8bit ? 1 : 16;
    for (size_t split = 0; split <= row.length; split += step) {
      auto cipher = CreateBlockCipher(kRijndael);
      cipher->SetCipherMode(row.mode);
      const std::vector<uint8_t> modeIV = Hex(row.iv);
      cipher->Init(key.data(), 128, modeIV.data());
      std::vector<uint8_t> out(row.length);
      cipher->Encrypt(input.data(), out.data(), split);
      cipher->Encrypt(input.data() + split, out.data() + split, row.length - split);
      ASSERT_TRUE(SameBytes(Hex(row.cipherText), out)) << "split at " << split;
    }
  }
}

TEST(CipherModes, PartialFinalBlocksRoundTrip) {
  const std::vector<uint8_t> key = TestKey(16);
  for (TSuiteCipherMode mode : {cmCBC, cmCFB8bit, cmCFBblock, cmOFB, cmCTR}) {
    for (const CipherMember& member : kCiphers) {
      auto cipher = CreateBlockCipher(member.index);
      if (!cipher) continue;
      for (size_t length : {1u, 7u, 17u, 33u}) {
        SCOPED_TRACE(std::string(member.name) + " mode " + std::to_string(int(mode)) +
                     " length " + std::to_string(length));
        std::vector<uint8_t> plain(length);
        for (size_t i = 0; i < length; ++i) plain[i] = uint8_t(i * 13);
        cipher->SetCipherMode(mode);
        cipher->Init(key.data(), 64, nullptr);
        std::vector<uint8_t> data = plain;
        cipher->Encrypt(data.data(), data.data(), length);
        EXPECT_NE(plain, data);
        cipher->Reset();
        cipher->Decrypt(data.data(), data.data(), length);
        EXPECT_TRUE(SameBytes(plain, data));
      }
    }
  }
}

TEST(CipherModes, CFB8DecryptsInPlaceAndFromAnotherBuffer) {
  const std::vector<uint8_t> key = Hex(kModeKey), iv = Hex(kModeIV);
  const std::vector<uint8_t> cipherText = Hex("3b79424c9c0dd436bace9e0ed4586a4f32b9");
  std::vector<uint8_t> plain = Hex(kModePlain);
  plain.resize(cipherText.size());
  auto cipher = CreateBlockCipher(kRijndael);  // mode stays CBC: CFB-8 is called directly
  cipher->Init(key.data(), 128, iv.data());
  std::vector<uint8_t> out(cipherText.size());
  cipher->DecryptCFB8bit(cipherText.data(), out.data(), out.size());
  EXPECT_TRUE(SameBytes(plain, out));
  cipher->Reset();
  std::vector<uint8_t> inPlace = cipherText;
  cipher->DecryptCFB8bit(inPlace.data(), inPlace.data(), inPlace.size());
  EXPECT_TRUE(SameBytes(plain, inPlace));
}

// ---------------------------------------------------------------------------
// Text operations

TEST(CipherText, DecryptStringReadsLittleEndianCodeUnits) {
  // The CFB8-AES128 cipher text of SP 800-38A F.3.7 as Base64; its plain
  // bytes 6b c1 be e2 ... read as nine UTF-16 code units.
  const std::vector<uint8_t> key = Hex(kModeKey), iv = Hex(kModeIV);
  const std::u16string expected =
      u"\xc16b\xe2be\x402e\x969f\x3de9\x117e\x9373\x2a17\x2dae";
  const struct {
    const char16_t* base64;
    size_t units;
  } kCases[] = {
      {u"O3lCTJwN1Da6zp4O1FhqTzK5", 9},
      {u"O3lCTJwN1Da6zp4O1FhqTzI=", 8},   // 17 bytes: the odd last byte is dropped
      {u"O3lCTJwN1Da6zp4O1FhqTzK5Zm", 9},  // trailing partial group ignored
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(std::string(row.base64, row.base64 + std::char_traits<char16_t>::length(row.base64)));
    auto cipher = CreateCipherByIndex(kRijndael);
    cipher->Init(key.data(), 128, iv.data());
    EXPECT_EQ(expected.substr(0, row.units), cipher->DecryptString(std::u16string(row.base64)));
  }
}

TEST(CipherText, EncryptStringIsCFB8ThenBase64) {
  const std::vector<uint8_t> key = Hex(kModeKey), iv = Hex(kModeIV);
  std::vector<uint8_t> plain = Hex(kModePlain);
  plain.resize(18);
  auto cipher = CreateCipherByIndex(kRijndael);
  cipher->Init(key.data(), 128, iv.data());
  EXPECT_EQ("O3lCTJwN1Da6zp4O1FhqTzK5", cipher->EncryptString(Bytes(plain)));
  cipher->Init(key.data(), 128, iv.data());
  EXPECT_EQ(u"O3lCTJwN1Da6zp4O1FhqTzK5",
            cipher->EncryptString(u"\xc16b\xe2be\x402e\x969f\x3de9\x117e\x9373\x2a17\x2dae"));
}

TEST(CipherText, RoundTripsForEveryCipher) {
  const std::u16string texts[] = {u"", u"x", u"odd", u"\u5b89\u88c5\u7a0b\u5e8f setup",
                                  std::u16string(1000, u'\xfffe')};
  for (const CipherMember& member : kCiphers) {
    const std::vector<uint8_t> key = TestKey(size_t(member.maxKeyBits) / 8);
    for (const std::u16string& text : texts) {
      SCOPED_TRACE(std::string(member.name) + ", " + std::to_string(text.size()) + " units");
      auto cipher = CreateCipherByIndex(member.index);
      cipher->Init(key.data(), uint32_t(member.maxKeyBits), nullptr);
      const std::u16string sealed = cipher->EncryptString(text);
      EXPECT_EQ((text.size() * 2 + 2) / 3 * 4, sealed.size());
      cipher->Init(key.data(), uint32_t(member.maxKeyBits), nullptr);
      EXPECT_EQ(text, cipher->DecryptString(sealed));

      const std::string bytes(text.begin(), text.end());
      cipher->Init(key.data(), uint32_t(member.maxKeyBits), nullptr);
      const std::string sealedBytes = cipher->EncryptString(bytes);
      cipher->Init(key.data(), uint32_t(member.maxKeyBits), nullptr);
      EXPECT_EQ(bytes, cipher->DecryptString(sealedBytes));
    }
  }
}

// ---------------------------------------------------------------------------
// Base64

TEST(Base64, DecodesGroupsOfFour) {
  static const struct {
    const char* text;
    const char* bytes;
  } kCases[] = {
      // RFC 4648 section 10.
      {"", ""}, {"Zg==", "66"}, {"Zm8=", "666f"}, {"Zm9v", "666f6f"},
      {"Zm9vYg==", "666f6f62"}, {"Zm9vYmE=", "666f6f6261"}, {"Zm9vYmFy", "666f6f626172"},
      // Trailing 1 to 3 bytes are ignored, so five characters decode one group.
      {"QQ", ""}, {"QUJ", ""}, {"QUJDR", "414243"}, {"QUJDRA=", "414243"},
      // Decoding goes on past padding.
      {"QQ==QUI=", "414142"}, {"Zm9vYmE=Zg==", "666f6f626166"},
      // "=" in the third place ends the group after one byte whatever follows.
      {"QQ=A", "41"},
      // A line break takes a place in its group and counts as 0, like any
      // byte outside the alphabet or "=" in the first two places.
      {"QU\nJ", "414009"}, {"Q!==", "40"}, {"=QUJ", "010509"},
      {"+/+/", "fbffbf"},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(std::string("\"") + row.text + "\"");
    const std::string text = row.text;
    std::vector<uint8_t> out(text.size() / 4 * 3 + 1, 0xEE);
    const size_t count =
        DecodeBase64Bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out.data());
    EXPECT_TRUE(SameBytes(Hex(row.bytes), out.data(), count));
  }
}

TEST(Base64, EncodesWithPaddingAndRoundTripsEveryByte) {
  static const struct {
    const char* bytes;
    const char* text;
  } kCases[] = {
      // RFC 4648 section 10.
      {"", ""}, {"66", "Zg=="}, {"666f", "Zm8="}, {"666f6f", "Zm9v"},
      {"666f6f62", "Zm9vYg=="}, {"666f6f6261", "Zm9vYmE="}, {"666f6f626172", "Zm9vYmFy"},
      {"fbff", "+/8="},
  };
  for (const auto& row : kCases) {
    const std::vector<uint8_t> bytes = Hex(row.bytes);
    EXPECT_EQ(std::string(row.text).size(), EncodeBase64Bytes(bytes.data(), bytes.size(), nullptr));
    std::string text(EncodeBase64Bytes(bytes.data(), bytes.size(), nullptr), '\0');
    EXPECT_EQ(text.size(), EncodeBase64Bytes(bytes.data(), bytes.size(),
                                             reinterpret_cast<uint8_t*>(&text[0])));
    EXPECT_EQ(row.text, text);
  }
  for (size_t length = 0; length < 260; ++length) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = uint8_t(255 - i);
    std::vector<uint8_t> text((length + 2) / 3 * 4 + 1);
    const size_t written = EncodeBase64Bytes(bytes.data(), length, text.data());
    std::vector<uint8_t> back(written / 4 * 3 + 1);
    const size_t decoded = DecodeBase64Bytes(text.data(), written, back.data());
    ASSERT_TRUE(SameBytes(bytes, back.data(), decoded)) << "length " << length;
  }
}

// ---------------------------------------------------------------------------
// ANSI code page

class AnsiCodePage : public ::testing::Test {
 protected:
  void SetUp() override { fSaved = GetAnsiCodePage(); }
  void TearDown() override { SetAnsiCodePage(fSaved); }

 private:
  unsigned fSaved = 0;
};

TEST_F(AnsiCodePage, AsciiConvertsOneToOne) {
  std::u16string wide;
  std::string narrow;
  for (char16_t c = 1; c < 0x80; ++c) {
    wide += c;
    narrow += char(c);
  }
  for (unsigned codePage : {1252u, 936u}) {
    SetAnsiCodePage(codePage);
    EXPECT_EQ(narrow, WideToAnsi(wide)) << codePage;
    EXPECT_EQ(wide, AnsiToWide(narrow)) << codePage;
    EXPECT_EQ("", WideToAnsi(u""));
    EXPECT_EQ(u"", AnsiToWide(""));
  }
}

TEST_F(AnsiCodePage, UnrepresentableCharactersAndDoubleBytes) {
  // Single-byte Western code page: a CJK character has no byte and becomes
  // the replacement "?".
  SetAnsiCodePage(1252);
  EXPECT_EQ("a?b", WideToAnsi(u"a\u4e2db"));
  // Double-byte Simplified Chinese code page: it becomes two bytes and reads
  // back as itself.
  SetAnsiCodePage(936);
  const std::string narrow = WideToAnsi(u"a\u4e2db");
  EXPECT_EQ(4u, narrow.size());
  EXPECT_EQ(u"a\u4e2db", AnsiToWide(narrow));
}

}  // namespace
}  // namespace vo
