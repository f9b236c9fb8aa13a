// Differential tests of the 128-bit block ciphers and RC4 against Crypto++:
// every key size the suite accepts is mapped onto the zero-padded standard key
// Crypto++ takes, then single blocks, 8-bit cipher feedback, RC4's key stream
// and the text decryption path must agree.

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/aes.h>
#include <cryptopp/arc4.h>
#include <cryptopp/base64.h>
#include <cryptopp/cast.h>
#include <cryptopp/filters.h>
#include <cryptopp/modes.h>
#include <cryptopp/twofish.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "crypt/Cast256.h"
#include "crypt/RC4.h"
#include "crypt/Rijndael.h"
#include "crypt/Twofish.h"

namespace vo {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(std::mt19937& rng, size_t count) {
  Bytes out(count);
  for (uint8_t& b : out) b = uint8_t(rng());
  return out;
}

Bytes ZeroPadded(const Bytes& key, size_t size) {
  Bytes out(size, 0);
  std::copy(key.begin(), key.end(), out.begin());
  return out;
}

TSuiteBlockCipher& AsBlock(TSuiteCipher& cipher) { return dynamic_cast<TSuiteBlockCipher&>(cipher); }

// Single blocks both ways, out of place and in place.
template <class Standard>
void CompareBlocks(TSuiteCipher& suite, const Bytes& standardKey, std::mt19937& rng) {
  typename Standard::Encryption enc(standardKey.data(), standardKey.size());
  typename Standard::Decryption dec(standardKey.data(), standardKey.size());
  TSuiteBlockCipher& ours = AsBlock(suite);
  for (int i = 0; i < 8; ++i) {
    const Bytes block = RandomBytes(rng, 16);
    Bytes expected(16), actual(16);
    enc.ProcessBlock(block.data(), expected.data());
    ours.EncryptECB(block.data(), actual.data());
    ASSERT_EQ(expected, actual) << "encrypt";
    dec.ProcessBlock(block.data(), expected.data());
    actual = block;
    ours.DecryptECB(actual.data(), actual.data());
    ASSERT_EQ(expected, actual) << "decrypt";
  }
}

// 8-bit cipher feedback over a random length, with a given IV and with the
// IV the suite derives when none is given (the encryption of a zero block).
template <class Standard>
void CompareCfb8(TSuiteCipher& suite, const Bytes& key, uint32_t sizeBits, const Bytes& standardKey,
                 std::mt19937& rng) {
  for (bool withIV : {true, false}) {
    SCOPED_TRACE(withIV ? "given IV" : "derived IV");
    Bytes iv = RandomBytes(rng, 16);
    if (withIV) {
      suite.Init(key.data(), sizeBits, iv.data());
    } else {
      suite.Init(key.data(), sizeBits, nullptr);
      typename Standard::Encryption ecb(standardKey.data(), standardKey.size());
      const Bytes zero(16, 0);
      ecb.ProcessBlock(zero.data(), iv.data());
    }
    const Bytes plain = RandomBytes(rng, rng() % 100);
    typename CryptoPP::CFB_Mode<Standard>::Encryption cfb(standardKey.data(), standardKey.size(), iv.data(), 1);
    Bytes expected(plain.size());
    if (!plain.empty()) cfb.ProcessData(expected.data(), plain.data(), plain.size());

    TSuiteBlockCipher& ours = AsBlock(suite);
    Bytes actual = plain;
    ours.EncryptCFB8bit(actual.data(), actual.data(), actual.size());
    ASSERT_EQ(expected, actual) << "encrypt, " << plain.size() << " bytes";
    ours.Reset();
    ours.DecryptCFB8bit(actual.data(), actual.data(), actual.size());
    ASSERT_EQ(plain, actual) << "decrypt, " << plain.size() << " bytes";
  }
}

using CipherFactory = std::unique_ptr<TSuiteCipher> (*)();
template <class T>
std::unique_ptr<TSuiteCipher> Make() {
  return std::make_unique<T>();
}

struct BlockOracle {
  const char* name;
  CipherFactory make;
  size_t (*standardKeyBytes)(uint32_t sizeBits);  // the zero-padded length the suite uses
  void (*compareBlocks)(TSuiteCipher&, const Bytes&, std::mt19937&);
  void (*compareCfb8)(TSuiteCipher&, const Bytes&, uint32_t, const Bytes&, std::mt19937&);
};

const BlockOracle kBlockOracles[] = {
    {"Rijndael", Make<TRijndael>,
     [](uint32_t bits) -> size_t { return bits / 8 <= 16 ? 16 : bits / 8 <= 24 ? 24 : 32; },
     CompareBlocks<CryptoPP::AES>, CompareCfb8<CryptoPP::AES>},
    {"Twofish", Make<TTwofish>, [](uint32_t bits) -> size_t { return bits <= 128 ? 16 : bits <= 192 ? 24 : 32; },
     CompareBlocks<CryptoPP::Twofish>, CompareCfb8<CryptoPP::Twofish>},
    {"Cast256", Make<TCast256>, [](uint32_t) -> size_t { return 32; }, CompareBlocks<CryptoPP::CAST256>,
     CompareCfb8<CryptoPP::CAST256>},
};

TEST(Cipher128OracleTest, EveryKeySizeMatchesTheZeroPaddedStandardKey) {
  std::mt19937 rng(20240611);
  for (const BlockOracle& oracle : kBlockOracles) {
    for (uint32_t bits = 4; bits <= 256; bits += 4) {
      SCOPED_TRACE(std::string(oracle.name) + " " + std::to_string(bits) + " bits");
      auto suite = oracle.make();
      const Bytes key = RandomBytes(rng, bits / 8);
      suite->Init(key.data(), bits, nullptr);
      const Bytes standardKey = ZeroPadded(key, oracle.standardKeyBytes(bits));
      oracle.compareBlocks(*suite, standardKey, rng);
      oracle.compareCfb8(*suite, key, bits, standardKey, rng);
      if (HasFatalFailure()) return;
    }
  }
}

// Crypto++ takes CAST-256 keys of 16 to 32 bytes in steps of 4 and pads them
// with zeros itself, as RFC 2612 does; the suite must agree without padding.
TEST(Cipher128OracleTest, Cast256ShortKeysAsCryptoppPadsThem) {
  std::mt19937 rng(2612);
  for (size_t bytes = 16; bytes <= 32; bytes += 4) {
    SCOPED_TRACE(bytes);
    TCast256 suite;
    const Bytes key = RandomBytes(rng, bytes);
    suite.Init(key.data(), uint32_t(bytes * 8), nullptr);
    CompareBlocks<CryptoPP::CAST256>(suite, key, rng);
  }
}

TEST(Cipher128OracleTest, RC4KeyStreamForEveryKeyLength) {
  std::mt19937 rng(6229);
  for (size_t bytes = 1; bytes <= 256; ++bytes) {
    for (uint32_t extraBits : {0u, 4u}) {
      const uint32_t bits = uint32_t(bytes * 8) + extraBits;
      if (bits > 2048) continue;
      SCOPED_TRACE(std::to_string(bits) + " bits");
      const Bytes key = RandomBytes(rng, bytes);
      TRC4 suite;
      suite.Init(key.data(), bits, nullptr);
      CryptoPP::Weak::ARC4 standard(key.data(), key.size());

      const Bytes plain = RandomBytes(rng, 600);
      Bytes expected(plain.size()), actual(plain.size());
      standard.ProcessData(expected.data(), plain.data(), plain.size());
      const size_t cut = rng() % plain.size();
      suite.Encrypt(plain.data(), actual.data(), cut);
      suite.Encrypt(plain.data() + cut, actual.data() + cut, plain.size() - cut);
      ASSERT_EQ(expected, actual);
    }
  }
}

template <class Standard>
std::function<void(Bytes&)> CfbEncryptor(const Bytes& standardKey, const Bytes& iv) {
  return [standardKey, iv](Bytes& data) {
    typename CryptoPP::CFB_Mode<Standard>::Encryption enc(standardKey.data(), standardKey.size(), iv.data(), 1);
    enc.ProcessData(data.data(), data.data(), data.size());
  };
}

// The text path end to end: Crypto++ encrypts UTF-16LE text and writes it as
// Base64; DecryptString must give the text back.
TEST(Cipher128OracleTest, DecryptStringOpensCryptoppCipherText) {
  const std::u16string text = u"Setup.stp|$System$|\u4E2D\u6587 text of odd length";
  Bytes plain;
  for (char16_t unit : text) {
    plain.push_back(uint8_t(unit));
    plain.push_back(uint8_t(unit >> 8));
  }
  auto toBase64 = [](const Bytes& data) {
    std::string out;
    CryptoPP::StringSource source(data.data(), data.size(), true,
                                  new CryptoPP::Base64Encoder(new CryptoPP::StringSink(out), false));
    return std::u16string(out.begin(), out.end());
  };

  std::mt19937 rng(5);
  const Bytes key = RandomBytes(rng, 20);  // 160 bits: AES-192, 192-bit Twofish, padded CAST-256
  const Bytes iv = RandomBytes(rng, 16);
  struct Row {
    CipherFactory make;
    std::function<void(Bytes&)> encrypt;
  };
  const Row rows[] = {
      {Make<TRijndael>, CfbEncryptor<CryptoPP::AES>(ZeroPadded(key, 24), iv)},
      {Make<TTwofish>, CfbEncryptor<CryptoPP::Twofish>(ZeroPadded(key, 24), iv)},
      {Make<TCast256>, CfbEncryptor<CryptoPP::CAST256>(ZeroPadded(key, 32), iv)},
      {Make<TRC4>,
       [&](Bytes& data) {
         CryptoPP::Weak::ARC4 rc4(key.data(), key.size());
         rc4.ProcessData(data.data(), data.data(), data.size());
       }},
  };
  for (const Row& row : rows) {
    auto suite = row.make();
    SCOPED_TRACE(suite->GetAlgorithm());
    Bytes sealed = plain;
    row.encrypt(sealed);
    suite->Init(key.data(), 160, iv.data());
    EXPECT_EQ(text, suite->DecryptString(toBase64(sealed)));
  }
}

}  // namespace
}  // namespace vo
