// Text envelopes: sealing and opening over every cipher and hash, the key
// layout each pair uses, and the envelopes that must open to the empty text.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "KnownAnswer.h"
#include "crypt/AnsiCodePage.h"
#include "crypt/SuiteCipher.h"
#include "crypt/VoCrypUtils.h"

namespace vo {
namespace {

enum Cipher { kBlowfish, kCast128, kCast256, kDES, k3DES, kRijndael, kRC4, kTwofish, kIDEA };
enum Hash { kHaval, kMD5, kSHA1, kSHA256, kSHA512 };

const std::u16string kPlain = u"Files,Folder\n\u5b89\u88c5.exe,$System$\n";
const std::u16string kPassPhrase = u"pass phrase \u53e3\u4ee4";

size_t VectorLength(int cipher) {
  auto made = CreateCipherByIndex(uint8_t(cipher));
  auto* block = dynamic_cast<TSuiteBlockCipher*>(made.get());
  return block ? size_t(block->GetBlockSize()) / 8 : 0;
}

std::function<uint32_t()> Seeded(uint32_t seed) {
  auto engine = std::make_shared<std::mt19937>(seed);
  return [engine] { return uint32_t((*engine)()); };
}

// Every test runs in a single-byte Western code page unless it says otherwise.
class Envelope : public ::testing::Test {
 protected:
  void SetUp() override {
    fSaved = GetAnsiCodePage();
    SetAnsiCodePage(1252);
  }
  void TearDown() override { SetAnsiCodePage(fSaved); }

 private:
  unsigned fSaved = 0;
};

TEST_F(Envelope, SealedEnvelopesOpenForEveryCipherAndHash) {
  for (int cipher = 0; cipher < kCipherCount; ++cipher) {
    for (int hash = 0; hash < kHashCount; ++hash) {
      for (const std::u16string& passPhrase : {std::u16string(), kPassPhrase}) {
        SCOPED_TRACE("cipher " + std::to_string(cipher) + ", hash " + std::to_string(hash) +
                     (passPhrase.empty() ? ", empty pass phrase" : ""));
        const std::u16string envelope =
            SealEnvelope(kPlain, passPhrase, cipher, hash, Seeded(uint32_t(cipher * 10 + hash)));
        // Layout: printable ASCII header and vector, selectors, Base64 length.
        const size_t b = VectorLength(cipher);
        ASSERT_EQ(10 + b + (kPlain.size() * 2 + 2) / 3 * 4, envelope.size());
        for (char16_t c : envelope) ASSERT_TRUE(c >= 0x21 && c <= 0x7E) << int(c);
        EXPECT_EQ(cipher, envelope[3] - envelope[8]);
        EXPECT_EQ(hash, envelope[4] - envelope[9]);

        EXPECT_EQ(kPlain, DecryptEnvelope(envelope, passPhrase));
        const std::u16string garbled = DecryptEnvelope(envelope, u"wrong");
        EXPECT_EQ(kPlain.size(), garbled.size());
        EXPECT_NE(kPlain, garbled);
      }
    }
  }
}

TEST_F(Envelope, EmptyPlainTextSealsToHeaderAndVector) {
  for (int cipher : {kRijndael, kRC4}) {
    const std::u16string envelope = SealEnvelope(u"", kPassPhrase, cipher, kSHA256, Seeded(1));
    EXPECT_EQ(10 + VectorLength(cipher), envelope.size());
    EXPECT_EQ(u"", DecryptEnvelope(envelope, kPassPhrase));
  }
}

TEST_F(Envelope, SealingDrawsEveryCharacterFromTheRandomSource) {
  // A source that always gives 0 picks the first printable character, "!",
  // everywhere except the two salt characters that carry the indexes.
  const std::u16string envelope =
      SealEnvelope(u"x", u"", kRijndael, kSHA256, [] { return uint32_t(0); });
  EXPECT_EQ(u"!!!&$!!!!!" + std::u16string(16, u'!'), envelope.substr(0, 26));
  EXPECT_EQ(u"x", DecryptEnvelope(envelope, u""));

  EXPECT_EQ(SealEnvelope(kPlain, u"", kTwofish, kMD5, Seeded(7)),
            SealEnvelope(kPlain, u"", kTwofish, kMD5, Seeded(7)));
  EXPECT_NE(SealEnvelope(kPlain, u"", kTwofish, kMD5, Seeded(7)),
            SealEnvelope(kPlain, u"", kTwofish, kMD5, Seeded(8)));
  // The default source gives different salts each time.
  EXPECT_NE(SealEnvelope(kPlain, u"", kTwofish, kMD5), SealEnvelope(kPlain, u"", kTwofish, kMD5));
}

TEST_F(Envelope, SealingRejectsUnknownIndexes) {
  const std::pair<int, int> kBad[] = {{-1, 0}, {9, 0}, {0, -1}, {0, 5}, {128, 0}};
  for (const auto& [cipher, hash] : kBad)
    EXPECT_THROW(SealEnvelope(kPlain, u"", cipher, hash), InvalidArgument)
        << cipher << ", " << hash;
}

// Envelopes assembled by hand with an explicit key, so the key each cipher
// and hash pair derives is checked independently of SealEnvelope.
TEST_F(Envelope, KeyIsTheLeadingDigestBytesAtTheSmallerSize) {
  static const struct {
    const char* what;
    int cipher;
    int hash;
    size_t digestBytes;  // digest bytes the key takes
    uint32_t keyBits;    // the same key written out at the algorithm's native size
  } kLayouts[] = {
      {"triple DES, SHA-1: K3 is digest bytes 16-19 and four zeros", k3DES, kSHA1, 20, 192},
      {"triple DES, MD5: K3 = K1", k3DES, kMD5, 16, 128},
      {"Rijndael, SHA-1: AES-192 with four zero bytes", kRijndael, kSHA1, 20, 192},
      {"Rijndael, MD5: AES-128", kRijndael, kMD5, 16, 128},
      {"Rijndael, SHA-512: AES-256 with the first half", kRijndael, kSHA512, 32, 256},
      {"DES, HAVAL", kDES, kHaval, 8, 64},
      {"DES, MD5", kDES, kMD5, 8, 64},
      {"DES, SHA-1", kDES, kSHA1, 8, 64},
      {"DES, SHA-256", kDES, kSHA256, 8, 64},
      {"DES, SHA-512", kDES, kSHA512, 8, 64},
      {"Blowfish, SHA-512: 448 bits", kBlowfish, kSHA512, 56, 448},
      {"Cast128, SHA-256", kCast128, kSHA256, 16, 128},
      {"Cast256, SHA-1: zero-padded to 256 bits", kCast256, kSHA1, 20, 256},
      {"RC4, MD5", kRC4, kMD5, 16, 128},
      {"RC4, SHA-512: the whole digest", kRC4, kSHA512, 64, 512},
      {"Twofish, SHA-1: zero-padded to 192 bits", kTwofish, kSHA1, 20, 192},
      {"IDEA, HAVAL", kIDEA, kHaval, 16, 128},
  };
  // The salt is hashed as UTF-16 whatever it holds, non-ASCII included.
  const std::u16string salt = u"Qx\u4e2dmK2pW";
  const std::string vectorText = "r4Tz0bLq8VnE2sYd";
  for (const auto& layout : kLayouts) {
    SCOPED_TRACE(layout.what);
    auto hash = CreateHashByIndex(uint8_t(layout.hash));
    std::vector<uint8_t> digest(size_t(hash->GetHashSize()) / 8);
    hash->Init();
    hash->UpdateStr(salt + kPassPhrase);
    hash->Final(digest.data());
    std::vector<uint8_t> key(digest.begin(), digest.begin() + layout.digestBytes);
    key.resize(layout.keyBits / 8, 0);

    auto cipher = CreateCipherByIndex(uint8_t(layout.cipher));
    const size_t b = VectorLength(layout.cipher);
    cipher->Init(key.data(), layout.keyBits, b ? vectorText.data() : nullptr);
    std::u16string envelope = salt;
    envelope += char16_t(salt[3] - layout.cipher);
    envelope += char16_t(salt[4] - layout.hash);
    envelope += std::u16string(vectorText.begin(), vectorText.begin() + b);
    envelope += cipher->EncryptString(kPlain);

    EXPECT_EQ(kPlain, DecryptEnvelope(envelope, kPassPhrase));
  }
}

TEST_F(Envelope, MalformedEnvelopesOpenToTheEmptyText) {
  const std::u16string block = SealEnvelope(kPlain, u"", kRijndael, kSHA256, Seeded(3));
  const std::u16string block64 = SealEnvelope(kPlain, u"", kBlowfish, kMD5, Seeded(4));
  const std::u16string stream = SealEnvelope(kPlain, u"", kRC4, kSHA1, Seeded(5));
  auto withSelectors = [&](char16_t unit4, char16_t unit5, char16_t unit9, char16_t unit10) {
    std::u16string envelope = block;
    envelope[3] = unit4;
    envelope[4] = unit5;
    envelope[8] = unit9;
    envelope[9] = unit10;
    return envelope;
  };
  const struct {
    const char* what;
    std::u16string envelope;
  } kCases[] = {
      {"empty text", u""},
      {"ten code units", block.substr(0, 10)},
      {"code unit 4 below code unit 9", withSelectors(u'a', u'c', u'b', u'a')},
      {"code unit 5 below code unit 10", withSelectors(u'f', u'a', u'a', u'b')},
      {"cipher index 9", withSelectors(u'j', u'c', u'a', u'a')},
      {"hash index 5", withSelectors(u'f', u'f', u'a', u'a')},
      {"selectors far apart", withSelectors(u'\xffff', u'\xffff', u'\x0000', u'\x0000')},
      // The factories read only an index's low seven bits: a selector 128
      // above its own (wrapping to an index of 0xFFFF0080 plus the real one)
      // must not open with the envelope's true hash or cipher.
      {"hash index 128 above the real one",
       withSelectors(block[3], block[4], block[8], char16_t(block[9] - 128))},
      {"cipher index 128 above the real one",
       withSelectors(block[3], block[4], char16_t(block[8] - 128), block[9])},
      {"stream envelope of 11 code units", stream.substr(0, 11)},
      {"stream envelope with three Base64 characters", stream.substr(0, 13)},
      {"128-bit block envelope of 10 + 16 code units", block.substr(0, 26)},
      {"64-bit block envelope of 10 + 8 code units", block64.substr(0, 18)},
      {"128-bit block envelope ending inside its vector", block.substr(0, 20)},
      {"64-bit block envelope ending inside its vector", block64.substr(0, 11)},
  };
  for (const auto& row : kCases) {
    EXPECT_EQ(u"", DecryptEnvelope(row.envelope, u"")) << row.what;
  }
  // The envelope they were made from opens.
  EXPECT_EQ(kPlain, DecryptEnvelope(block, u""));
}

TEST_F(Envelope, VectorCharactersGoThroughTheAnsiCodePage) {
  const std::u16string envelope = SealEnvelope(kPlain, kPassPhrase, kRijndael, kSHA1, Seeded(9));
  std::u16string cjk = envelope, question = envelope;
  cjk[12] = u'\u4e2d';
  question[12] = u'?';

  // A single-byte code page turns the CJK character into its replacement
  // byte "?", and the envelope opens with that byte in the vector.
  SetAnsiCodePage(1252);
  const std::u16string opened = DecryptEnvelope(cjk, kPassPhrase);
  EXPECT_EQ(kPlain.size(), opened.size());
  EXPECT_EQ(DecryptEnvelope(question, kPassPhrase), opened);

  // A double-byte code page makes it two bytes: the vector is too long.
  SetAnsiCodePage(936);
  EXPECT_EQ(u"", DecryptEnvelope(cjk, kPassPhrase));
  EXPECT_EQ(kPlain, DecryptEnvelope(envelope, kPassPhrase));
}

TEST_F(Envelope, DamagedCipherTextStillDecrypts) {
  // No check value: flipping one Base64 character changes the text, and
  // removing the last group shortens it, without any error.
  const std::u16string envelope = SealEnvelope(kPlain, u"", kTwofish, kSHA256, Seeded(11));
  std::u16string flipped = envelope;
  flipped[30] = flipped[30] == u'A' ? u'B' : u'A';
  const std::u16string damaged = DecryptEnvelope(flipped, u"");
  EXPECT_EQ(kPlain.size(), damaged.size());
  EXPECT_NE(kPlain, damaged);
  const std::u16string shortened = DecryptEnvelope(envelope.substr(0, envelope.size() - 4), u"");
  EXPECT_EQ(kPlain.substr(0, shortened.size()), shortened);
  EXPECT_LT(shortened.size(), kPlain.size());
}

}  // namespace
}  // namespace vo
