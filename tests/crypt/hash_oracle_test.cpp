// Differential test: MD5, SHA-1, SHA-256 and SHA-512 of the suite against
// Crypto++ over random messages fed in random pieces.

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>
#include <cryptopp/sha.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "KnownAnswer.h"
#include "crypt/SuiteCipher.h"

namespace vo {
namespace {

using test::SameBytes;

struct OraclePair {
  uint8_t suiteIndex;
  std::unique_ptr<CryptoPP::HashTransformation> (*makeOracle)();
};

const OraclePair kPairs[] = {
    {1, [] { return std::unique_ptr<CryptoPP::HashTransformation>(new CryptoPP::Weak::MD5); }},
    {2, [] { return std::unique_ptr<CryptoPP::HashTransformation>(new CryptoPP::SHA1); }},
    {3, [] { return std::unique_ptr<CryptoPP::HashTransformation>(new CryptoPP::SHA256); }},
    {4, [] { return std::unique_ptr<CryptoPP::HashTransformation>(new CryptoPP::SHA512); }},
};

TEST(HashOracle, RandomMessagesInRandomPiecesMatchCryptoPP) {
  std::mt19937 random(20240611);
  for (const OraclePair& pair : kPairs) {
    auto hash = CreateHashByIndex(pair.suiteIndex);
    auto oracle = pair.makeOracle();
    for (int round = 0; round < 300; ++round) {
      const size_t length = random() % (round < 200 ? 300 : 5000);
      std::vector<uint8_t> message(length);
      for (uint8_t& b : message) b = uint8_t(random());

      hash->Init();
      for (size_t done = 0; done < length;) {
        const size_t piece = std::min<size_t>(length - done, random() % 200);
        hash->Update(message.data() + done, piece);
        done += piece;
      }
      std::vector<uint8_t> digest(size_t(hash->GetHashSize()) / 8);
      hash->Final(digest.data());

      std::vector<uint8_t> expected(oracle->DigestSize());
      oracle->CalculateDigest(expected.data(), message.data(), message.size());
      ASSERT_TRUE(SameBytes(expected, digest))
          << hash->GetAlgorithm() << " of " << length << " bytes, round " << round;
    }
  }
}

}  // namespace
}  // namespace vo
