// Differential tests of the 64-bit block ciphers against Crypto++: random
// keys at every key size the suite accepts, mapped onto the standard key the
// suite's rule gives, then random blocks in ECB and random texts in 8-bit CFB.

#include <gtest/gtest.h>

#include <cryptopp/blowfish.h>
#include <cryptopp/cast.h>
#include <cryptopp/des.h>
#include <cryptopp/idea.h>
#include <cryptopp/modes.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
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

using test::BlockCipher;
using test::Make;
using test::SameBytes;
using Bytes = std::vector<uint8_t>;

// The Crypto++ cipher, keyed with the standard key that the suite derives
// from a key of sizeBits bits.
struct Oracle {
  std::unique_ptr<CryptoPP::BlockCipher> encryption;
  std::unique_ptr<CryptoPP::BlockCipher> decryption;
};

template <class C>
Oracle Keyed(const Bytes& standardKey) {
  auto encryption = std::make_unique<typename C::Encryption>();
  auto decryption = std::make_unique<typename C::Decryption>();
  encryption->SetKey(standardKey.data(), standardKey.size());
  decryption->SetKey(standardKey.data(), standardKey.size());
  return {std::move(encryption), std::move(decryption)};
}

Bytes ZeroPadded(const Bytes& key, uint32_t sizeBits, size_t length) {
  Bytes padded(key.begin(), key.begin() + std::min<size_t>(sizeBits / 8, length));
  padded.resize(length, 0);
  return padded;
}

// Blowfish: the n/8 key bytes as they are. Crypto++ refuses fewer than four
// bytes through SetKey, but its key schedule repeats any length cyclically.
// No whole byte is the same as one zero byte (zeros mixed into P).
Oracle BlowfishOracle(const Bytes& key, uint32_t sizeBits) {
  Bytes bytes(key.begin(), key.begin() + sizeBits / 8);
  if (bytes.empty()) bytes.push_back(0);
  auto encryption = std::make_unique<CryptoPP::Blowfish::Encryption>();
  auto decryption = std::make_unique<CryptoPP::Blowfish::Decryption>();
  encryption->UncheckedSetKey(bytes.data(), unsigned(bytes.size()), CryptoPP::g_nullNameValuePairs);
  decryption->UncheckedSetKey(bytes.data(), unsigned(bytes.size()), CryptoPP::g_nullNameValuePairs);
  return {std::move(encryption), std::move(decryption)};
}

// CAST-128: zero-padded; Crypto++ takes 5 to 16 bytes and, like the suite,
// runs 12 rounds up to 10 bytes. Padding a shorter key to 5 keeps 12 rounds.
Oracle Cast128Oracle(const Bytes& key, uint32_t sizeBits) {
  return Keyed<CryptoPP::CAST128>(ZeroPadded(key, sizeBits, std::max<size_t>(5, sizeBits / 8)));
}

Oracle DesOracle(const Bytes& key, uint32_t sizeBits) {
  return Keyed<CryptoPP::DES>(ZeroPadded(key, sizeBits, 8));
}

// Triple DES: up to 128 bits two-key EDE (K3 = K1), above that three keys.
Oracle TripleDesOracle(const Bytes& key, uint32_t sizeBits) {
  if (sizeBits <= 128) return Keyed<CryptoPP::DES_EDE2>(ZeroPadded(key, sizeBits, 16));
  return Keyed<CryptoPP::DES_EDE3>(ZeroPadded(key, sizeBits, 24));
}

Oracle IdeaOracle(const Bytes& key, uint32_t sizeBits) {
  return Keyed<CryptoPP::IDEA>(ZeroPadded(key, sizeBits, 16));
}

struct Row {
  const char* name;
  BlockCipher (*make)();
  uint32_t maxKeyBits;
  Oracle (*oracle)(const Bytes& key, uint32_t sizeBits);
};

const Row kRows[] = {
    {"Blowfish", Make<TBlowfish>, 448, BlowfishOracle}, {"Cast128", Make<TCast128>, 128, Cast128Oracle},
    {"DES", Make<TDES>, 64, DesOracle},                  {"3DES", Make<T3DES>, 192, TripleDesOracle},
    {"IDEA", Make<TIDEA>, 128, IdeaOracle},
};

Bytes RandomBytes(std::mt19937& random, size_t count) {
  Bytes bytes(count);
  for (uint8_t& b : bytes) b = uint8_t(random());
  return bytes;
}

// Keys the cipher from a heap buffer of exactly sizeBits/8 bytes, so the
// address sanitizer catches a key schedule that reads past them.
void InitExact(TSuiteBlockCipher& cipher, const Bytes& key, uint32_t sizeBits, const uint8_t* iv) {
  Bytes exact(key.begin(), key.begin() + sizeBits / 8);
  cipher.Init(exact.data(), sizeBits, iv);
}

TEST(Cipher64OracleTest, EcbAtEveryKeySize) {
  std::mt19937 random(64);
  for (const Row& row : kRows) {
    for (uint32_t bits = 4; bits <= row.maxKeyBits; bits += 4) {
      SCOPED_TRACE(std::string(row.name) + " " + std::to_string(bits) + " bits");
      const Bytes key = RandomBytes(random, row.maxKeyBits / 8);
      auto cipher = row.make();
      InitExact(*cipher, key, bits, nullptr);
      const Oracle oracle = row.oracle(key, bits);
      for (int block = 0; block < 16; ++block) {
        const Bytes in = RandomBytes(random, 8);
        Bytes ours(8), theirs(8);
        cipher->EncryptECB(in.data(), ours.data());
        oracle.encryption->ProcessBlock(in.data(), theirs.data());
        ASSERT_TRUE(SameBytes(theirs, ours)) << "encrypting " << test::ToHex(in);
        cipher->DecryptECB(in.data(), ours.data());
        oracle.decryption->ProcessBlock(in.data(), theirs.data());
        ASSERT_TRUE(SameBytes(theirs, ours)) << "decrypting " << test::ToHex(in);
      }
    }
  }
}

// 8-bit CFB (SP 800-38A, s = 8) over texts of random length, with a given IV
// and with none (the IV is then the encryption of the zero block).
TEST(Cipher64OracleTest, Cfb8AgainstCryptoPP) {
  std::mt19937 random(8);
  for (const Row& row : kRows) {
    for (int trial = 0; trial < 40; ++trial) {
      const uint32_t bits = 4 * (1 + random() % (row.maxKeyBits / 4));
      const bool withIv = trial % 2 == 0;
      SCOPED_TRACE(std::string(row.name) + " " + std::to_string(bits) + " bits" + (withIv ? "" : ", no IV"));
      const Bytes key = RandomBytes(random, row.maxKeyBits / 8);
      const Bytes plain = RandomBytes(random, random() % 200);
      const Oracle oracle = row.oracle(key, bits);
      Bytes iv = RandomBytes(random, 8);
      if (!withIv) {
        const Bytes zero(8, 0);
        oracle.encryption->ProcessBlock(zero.data(), iv.data());
      }

      Bytes expected(plain.size());
      CryptoPP::CFB_Mode_ExternalCipher::Encryption cfb(*oracle.encryption, iv.data(), 1);
      cfb.ProcessData(expected.data(), plain.data(), plain.size());

      auto cipher = row.make();
      InitExact(*cipher, key, bits, withIv ? iv.data() : nullptr);
      Bytes ours(plain.size());
      cipher->EncryptCFB8bit(plain.data(), ours.data(), plain.size());
      ASSERT_TRUE(SameBytes(expected, ours));

      cipher->Reset();
      cipher->DecryptCFB8bit(ours.data(), ours.data(), ours.size());
      ASSERT_TRUE(SameBytes(plain, ours));
    }
  }
}

}  // namespace
}  // namespace vo
