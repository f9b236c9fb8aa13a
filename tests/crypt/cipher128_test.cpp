// Known answers and key-size rules of the 128-bit block ciphers (CAST-256,
// Rijndael, Twofish) and of RC4.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crypt/Cast256.h"
#include "crypt/RC4.h"
#include "crypt/Rijndael.h"
#include "crypt/Twofish.h"
#include "KnownAnswer.h"

namespace vo {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Hex;
using test::SameBytes;

using CipherFactory = std::unique_ptr<TSuiteCipher> (*)();
template <class T>
std::unique_ptr<TSuiteCipher> Make() {
  return std::make_unique<T>();
}

TSuiteBlockCipher& AsBlock(TSuiteCipher& cipher) { return dynamic_cast<TSuiteBlockCipher&>(cipher); }

// Keys the cipher from a heap buffer of exactly sizeBits/8 bytes, so the
// address sanitizer catches a key schedule that reads past them.
void InitExact(TSuiteCipher& cipher, const Bytes& key, uint32_t sizeBits) {
  Bytes exact(key.begin(), key.begin() + sizeBits / 8);
  cipher.Init(exact.data(), sizeBits, nullptr);
}

Bytes EncryptBlock(TSuiteCipher& cipher, const Bytes& in) {
  Bytes out(16);
  AsBlock(cipher).EncryptECB(in.data(), out.data());
  return out;
}

Bytes DecryptBlock(TSuiteCipher& cipher, const Bytes& in) {
  Bytes out(16);
  AsBlock(cipher).DecryptECB(in.data(), out.data());
  return out;
}

TEST(Cipher128Test, NamesSizesAndFreshState) {
  struct Row {
    std::unique_ptr<TSuiteCipher> cipher;
    const char* name;
    int maxKeyBits;
    int blockBits;  // 0: stream cipher
  };
  Row rows[] = {{std::make_unique<TCast256>(), "Cast256", 256, 128},
                {std::make_unique<TRijndael>(), "Rijndael", 256, 128},
                {std::make_unique<TTwofish>(), "Twofish", 256, 128},
                {std::make_unique<TRC4>(), "RC4", 2048, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.name, row.cipher->GetAlgorithm());
    EXPECT_EQ(row.maxKeyBits, row.cipher->GetMaxKeySize());
    EXPECT_FALSE(row.cipher->IsInitialized());
    EXPECT_EQ(row.blockBits != 0, row.cipher->IsBlockCipher());
    if (row.blockBits) {
      EXPECT_EQ(row.blockBits, AsBlock(*row.cipher).GetBlockSize());
    }
  }
}

struct BlockVector {
  const char* source;
  CipherFactory make;
  const char* key;
  const char* plain;
  const char* cipher;
};

const BlockVector kBlockVectors[] = {
    // FIPS 197, Appendix B and Appendix C.1-C.3.
    {"FIPS 197 B", Make<TRijndael>, "2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
    {"FIPS 197 C.1", Make<TRijndael>, "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"FIPS 197 C.2", Make<TRijndael>, "000102030405060708090a0b0c0d0e0f1011121314151617",
     "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"FIPS 197 C.3", Make<TRijndael>, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
    // RFC 2612, Appendix A.
    {"RFC 2612 128-bit", Make<TCast256>, "2342bb9efa38542c0af75647f29f615d", "00000000000000000000000000000000",
     "c842a08972b43d20836c91d1b7530f6b"},
    {"RFC 2612 192-bit", Make<TCast256>, "2342bb9efa38542cbed0ac83940ac298bac77a7717942863",
     "00000000000000000000000000000000", "1b386c0210dcadcbdd0e41aa08a7a7e8"},
    {"RFC 2612 256-bit", Make<TCast256>, "2342bb9efa38542cbed0ac83940ac2988d7c47ce264908461cc1b5137ae6b604",
     "00000000000000000000000000000000", "4f6a2038286897b9c9870136553317fa"},
    // Twofish's published test vectors (ecb_ival.txt, with the paper).
    {"Twofish 128-bit zero key", Make<TTwofish>, "00000000000000000000000000000000",
     "00000000000000000000000000000000", "9f589f5cf6122c32b6bfec2f2ae8c35a"},
    {"Twofish 192-bit", Make<TTwofish>, "0123456789abcdeffedcba98765432100011223344556677",
     "00000000000000000000000000000000", "cfd1d2e5a9be9cdf501f13b892bd2248"},
    {"Twofish 256-bit", Make<TTwofish>, "0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff",
     "00000000000000000000000000000000", "37527be0052334b89f0cfccae87cfa20"},
};

TEST(Cipher128Test, KnownAnswers) {
  for (const BlockVector& v : kBlockVectors) {
    SCOPED_TRACE(v.source);
    auto cipher = v.make();
    const Bytes key = Hex(v.key);
    InitExact(*cipher, key, uint32_t(key.size() * 8));
    EXPECT_TRUE(SameBytes(Hex(v.cipher), EncryptBlock(*cipher, Hex(v.plain))));
    EXPECT_TRUE(SameBytes(Hex(v.plain), DecryptBlock(*cipher, Hex(v.cipher))));

    Bytes inPlace = Hex(v.plain);
    AsBlock(*cipher).EncryptECB(inPlace.data(), inPlace.data());
    EXPECT_TRUE(SameBytes(Hex(v.cipher), inPlace));
    AsBlock(*cipher).DecryptECB(inPlace.data(), inPlace.data());
    EXPECT_TRUE(SameBytes(Hex(v.plain), inPlace));
  }
}

// Twofish's published table ecb_tbl.txt: 49 chained encryptions starting
// from a zero key and block; each next block is the last cipher text and each
// next key the two cipher texts before it, truncated to the key length.
TEST(Cipher128Test, TwofishIteratedKnownAnswers) {
  struct Row {
    size_t keyBytes;
    const char* afterOne;
    const char* afterFortyNine;
  };
  const Row rows[] = {{16, "9f589f5cf6122c32b6bfec2f2ae8c35a", "5d9d4eeffa9151575524f115815a12e0"},
                      {24, "efa71f788965bd4453f860178fc19101", "e75449212beef9f4a390bd860a640941"},
                      {32, "57ff739d4dc92c1bd7fc01700cc8216f", "37fe26ff1cf66175f5ddf4c33b97a205"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keyBytes);
    TTwofish cipher;
    Bytes key(row.keyBytes), block(16), previous(16), beforePrevious(16);
    for (int i = 1; i <= 49; ++i) {
      cipher.Init(key.data(), uint32_t(key.size() * 8), nullptr);
      const Bytes out = EncryptBlock(cipher, block);
      ASSERT_EQ(block, DecryptBlock(cipher, out)) << "iteration " << i;
      if (i == 1) {
        EXPECT_TRUE(SameBytes(Hex(row.afterOne), out));
      } else if (i == 49) {
        EXPECT_TRUE(SameBytes(Hex(row.afterFortyNine), out));
      }
      beforePrevious = previous;
      previous = block;
      block = out;
      Bytes both = previous;
      both.insert(both.end(), beforePrevious.begin(), beforePrevious.end());
      key.assign(both.begin(), both.begin() + row.keyBytes);
    }
  }
}

// A key of n bits uses its n/8 bytes, zero-padded to the standard length the
// cipher picks for n. Each row names a suite key size and the standard key
// size it must equal once the key bytes are zero-padded.
TEST(Cipher128Test, KeySizesMapOntoZeroPaddedStandardKeys) {
  struct Row {
    const char* what;
    CipherFactory make;
    uint32_t suiteBits;
    uint32_t standardBits;
    int rijndaelRounds;  // 0: not Rijndael
  };
  const Row rows[] = {
      {"Rijndael 160 bits is AES-192", Make<TRijndael>, 160, 192, 12},
      {"Rijndael 132 bits reads 16 bytes: AES-128", Make<TRijndael>, 132, 128, 10},
      {"Rijndael 136 bits is AES-192", Make<TRijndael>, 136, 192, 12},
      {"Rijndael 196 bits reads 24 bytes: AES-192", Make<TRijndael>, 196, 192, 12},
      {"Rijndael 200 bits is AES-256", Make<TRijndael>, 200, 256, 14},
      {"Rijndael 4 bits is the zero AES-128 key", Make<TRijndael>, 4, 128, 10},
      {"Rijndael 40 bits is AES-128", Make<TRijndael>, 40, 128, 10},
      {"Twofish 136 bits is 192-bit", Make<TTwofish>, 136, 192, 0},
      {"Twofish 132 bits is 192-bit", Make<TTwofish>, 132, 192, 0},
      {"Twofish 64 bits is 128-bit", Make<TTwofish>, 64, 128, 0},
      {"Twofish 200 bits is 256-bit", Make<TTwofish>, 200, 256, 0},
      {"Twofish 4 bits is the zero 128-bit key", Make<TTwofish>, 4, 128, 0},
      {"Cast256 128 bits is 256-bit", Make<TCast256>, 128, 256, 0},
      {"Cast256 44 bits is 256-bit", Make<TCast256>, 44, 256, 0},
      {"Cast256 4 bits is the zero key", Make<TCast256>, 4, 256, 0},
  };
  // The bytes beyond n/8 are non-zero, so reading them would change the result.
  const Bytes key = Hex("8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b4d9a1f0c3e5b7a29");
  const Bytes plain = Hex("00112233445566778899aabbccddeeff");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto suite = row.make();
    InitExact(*suite, key, row.suiteBits);

    Bytes padded(row.standardBits / 8, 0);
    std::copy(key.begin(), key.begin() + row.suiteBits / 8, padded.begin());
    auto standard = row.make();
    InitExact(*standard, padded, row.standardBits);

    EXPECT_TRUE(SameBytes(EncryptBlock(*standard, plain), EncryptBlock(*suite, plain)));
    if (row.rijndaelRounds) {
      EXPECT_EQ(row.rijndaelRounds, dynamic_cast<TRijndael&>(*suite).GetRounds());
    }
  }
}

// Chains ten thousand encryptions then as many decryptions: any asymmetry
// between the two directions shows up as a different final block.
TEST(Cipher128Test, LongEncryptDecryptRoundTrip) {
  const CipherFactory makers[] = {Make<TCast256>, Make<TRijndael>, Make<TTwofish>};
  const uint32_t keyBits[] = {4, 128, 160, 192, 228, 256};
  const Bytes key = Hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
  for (CipherFactory make : makers) {
    for (uint32_t bits : keyBits) {
      auto cipher = make();
      SCOPED_TRACE(cipher->GetAlgorithm() + " " + std::to_string(bits));
      InitExact(*cipher, key, bits);
      const Bytes start = Hex("0f1e2d3c4b5a69788796a5b4c3d2e1f0");
      Bytes block = start;
      TSuiteBlockCipher& blockCipher = AsBlock(*cipher);
      for (int i = 0; i < 10000; ++i) blockCipher.EncryptECB(block.data(), block.data());
      EXPECT_NE(start, block);
      for (int i = 0; i < 10000; ++i) blockCipher.DecryptECB(block.data(), block.data());
      EXPECT_TRUE(SameBytes(start, block));
    }
  }
}

// The envelope decrypts text in 8-bit cipher feedback; NIST SP 800-38A,
// F.3.7 and F.3.8 (CFB8-AES128) check that path end to end.
TEST(Cipher128Test, RijndaelCfb8MatchesSp80038a) {
  const Bytes key = Hex("2b7e151628aed2a6abf7158809cf4f3c");
  const Bytes iv = Hex("000102030405060708090a0b0c0d0e0f");
  const Bytes plain = Hex("6bc1bee22e409f96e93d7e117393172aae2d");
  const char* cipherHex = "3b79424c9c0dd436bace9e0ed4586a4f32b9";
  TRijndael aes;
  aes.Init(key.data(), 128, iv.data());
  Bytes data = plain;
  aes.EncryptCFB8bit(data.data(), data.data(), data.size());
  EXPECT_TRUE(SameBytes(Hex(cipherHex), data));
  aes.Reset();
  aes.DecryptCFB8bit(data.data(), data.data(), data.size());
  EXPECT_TRUE(SameBytes(plain, data));
}

TEST(Cipher128Test, BurnLeavesBlockCiphersUninitialized) {
  const CipherFactory makers[] = {Make<TCast256>, Make<TRijndael>, Make<TTwofish>};
  const Bytes key(32, 0x5A), block(16, 0);
  for (CipherFactory make : makers) {
    auto cipher = make();
    SCOPED_TRACE(cipher->GetAlgorithm());
    cipher->Init(key.data(), 256, nullptr);
    const Bytes first = EncryptBlock(*cipher, block);
    cipher->Burn();
    EXPECT_FALSE(cipher->IsInitialized());
    EXPECT_THROW(EncryptBlock(*cipher, block), ESuiteBlockCipher);
    cipher->Init(key.data(), 256, nullptr);  // re-keying after a burn gives the same cipher
    EXPECT_EQ(first, EncryptBlock(*cipher, block));
  }
}

// RFC 6229, section 2: key-stream bytes at the given offsets.
struct Rc4Vector {
  const char* key;
  size_t offset;
  const char* stream;
};

const Rc4Vector kRc4Vectors[] = {
    {"0102030405", 0, "b2396305f03dc027ccc3524a0a1118a8"},
    {"0102030405", 16, "6982944f18fc82d589c403a47a0d0919"},
    {"01020304050607", 0, "293f02d47f37c9b633f2af5285feb46b"},
    {"01020304050607", 16, "e620f1390d19bd84e2e0fd752031afc1"},
    {"01020304050607", 240, "914f02531c9218810df60f67e338154c"},
    {"0102030405060708090a0b0c0d0e0f10", 0, "9ac7cc9a609d1ef7b2932899cde41b97"},
    {"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20", 0, "eaa6bd25880bf93d3f5d1e4ca2611d91"},
    {"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20", 16, "cfa45c9f7e714b54bdfa80027cb14380"},
    {"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20", 240, "114ae344ded71b35f2e60febad727fd8"},
    {"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20", 256, "02e1e7056b0f623900496422943e97b6"},
    {"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20", 4080, "a13a7c79c7e119b5ab0296ab28c300b9"},
    {"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20", 4096, "f3e4c0a2e02d1d01f7f0a74618af2b48"},
    {"833222772a", 0, "80ad97bdc973df8a2e879e92a497efda"},
    {"833222772a", 16, "20f060c2f2e5126501d3d4fea10d5fc0"},
    {"833222772a", 240, "faa148e99046181fec6b2085f3b20ed9"},
    {"833222772a", 4096, "bf42c3018c2f7c66bfde524975768115"},
    {"8b37641910833222772a", 0, "ab65c26eddb287600db2fda10d1e605c"},
    {"8b37641910833222772a", 4096, "5f6bfc73815874d97100f086979357d8"},
    {"ebb46227c6cc8b37641910833222772a", 0, "720c94b63edf44e131d950ca211a5a30"},
    {"ebb46227c6cc8b37641910833222772a", 1024, "b515a8c5011754f59003058bdb81514e"},
    {"ebb46227c6cc8b37641910833222772a", 4096, "5bbeb4787d59e5373fdbea6c6f75c29b"},
    {"c109163908ebe51debb46227c6cc8b37641910833222772a", 0, "54b64e6b5a20b5e2ec84593dc7989da7"},
    {"c109163908ebe51debb46227c6cc8b37641910833222772a", 4096, "e4dd2e98d6960fae0b43545456743391"},
    {"1ada31d5cf688221c109163908ebe51debb46227c6cc8b37641910833222772a", 0, "dd5bcb0018e922d494759d7c395d02d3"},
    {"1ada31d5cf688221c109163908ebe51debb46227c6cc8b37641910833222772a", 2048, "ddd27820550126698efaadc64b64f66e"},
    {"1ada31d5cf688221c109163908ebe51debb46227c6cc8b37641910833222772a", 4096, "370b1c1fe655916d97fd0d47ca1d72b8"},
};

Bytes Rc4Stream(TRC4& rc4, size_t count) {
  Bytes data(count, 0);
  rc4.Encrypt(data.data(), data.data(), data.size());
  return data;
}

TEST(RC4Test, KeyStreamKnownAnswers) {
  for (const Rc4Vector& v : kRc4Vectors) {
    SCOPED_TRACE(std::string(v.key) + " @" + std::to_string(v.offset));
    TRC4 rc4;
    const Bytes key = Hex(v.key);
    InitExact(rc4, key, uint32_t(key.size() * 8));
    const Bytes stream = Rc4Stream(rc4, v.offset + 16);
    EXPECT_TRUE(SameBytes(Hex(v.stream), Bytes(stream.begin() + v.offset, stream.end())));
  }
}

// The key bytes are repeated cyclically over the 256 positions, so a key and
// that key written out twice are the same key; a size that is not a whole
// number of bytes uses only its whole bytes.
TEST(RC4Test, KeySizeRules) {
  struct Row {
    const char* what;
    const char* keyA;
    uint32_t bitsA;
    const char* keyB;
    uint32_t bitsB;
  };
  const Row rows[] = {
      {"repeated key", "0102030405", 40, "01020304050102030405", 80},
      {"44 bits read 5 bytes", "0102030405ff", 44, "0102030405", 40},
      {"4 bits read no byte: a zero byte", "ff", 4, "00", 8},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TRC4 a, b;
    InitExact(a, Hex(row.keyA), row.bitsA);
    InitExact(b, Hex(row.keyB), row.bitsB);
    EXPECT_TRUE(SameBytes(Rc4Stream(b, 64), Rc4Stream(a, 64)));
  }

  Bytes longest(256);
  for (size_t i = 0; i < longest.size(); ++i) longest[i] = uint8_t(i * 7 + 3);
  TRC4 full;
  EXPECT_NO_THROW(InitExact(full, longest, 2048));
  EXPECT_THROW(full.Init(longest.data(), 2052, nullptr), ESuiteCipher);
}

TEST(RC4Test, ResetRestartsTheKeyStream) {
  TRC4 rc4;
  const Bytes key = Hex("0102030405");
  rc4.Init(key.data(), 40, nullptr);
  const Bytes first = Rc4Stream(rc4, 300);
  rc4.Reset();
  EXPECT_EQ(first, Rc4Stream(rc4, 300));
  rc4.Reset();
  EXPECT_TRUE(SameBytes(Hex("b2396305f03dc027ccc3524a0a1118a8"), Rc4Stream(rc4, 16)));
}

TEST(RC4Test, PiecewiseEqualsOneCallAndDecryptInverts) {
  const Bytes key = Hex("c109163908ebe51d");
  Bytes plain(500);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 31 + 1);

  TRC4 whole;
  whole.Init(key.data(), 64, nullptr);
  Bytes once(plain.size());
  whole.Encrypt(plain.data(), once.data(), plain.size());

  const size_t cuts[] = {0, 1, 15, 16, 17, 255, 256, 499};
  for (size_t cut : cuts) {
    SCOPED_TRACE(cut);
    TRC4 pieces;
    pieces.Init(key.data(), 64, nullptr);
    Bytes out(plain.size());
    pieces.Encrypt(plain.data(), out.data(), cut);
    pieces.Encrypt(plain.data() + cut, out.data() + cut, 0);
    pieces.Encrypt(plain.data() + cut, out.data() + cut, plain.size() - cut);
    EXPECT_EQ(once, out);

    TRC4 back;
    back.Init(key.data(), 64, nullptr);
    back.Decrypt(out.data(), out.data(), out.size());
    EXPECT_EQ(plain, out);
  }
}

TEST(RC4Test, UseBeforeInitOrAfterBurnRaises) {
  TRC4 rc4;
  uint8_t byte = 0;
  auto expectNotInitialized = [&](auto operation) {
    try {
      operation();
      ADD_FAILURE() << "no error raised";
    } catch (const ESuiteCipher& e) {
      EXPECT_STREQ("Cipher not initialized", e.what());
    }
  };
  expectNotInitialized([&] { rc4.Encrypt(&byte, &byte, 1); });
  expectNotInitialized([&] { rc4.Decrypt(&byte, &byte, 1); });
  expectNotInitialized([&] { rc4.Decrypt(&byte, &byte, 0); });

  const Bytes key = Hex("0102030405");
  rc4.Init(key.data(), 40, nullptr);
  EXPECT_TRUE(rc4.IsInitialized());
  rc4.Burn();
  EXPECT_FALSE(rc4.IsInitialized());
  expectNotInitialized([&] { rc4.Encrypt(&byte, &byte, 1); });

  rc4.Init(key.data(), 40, nullptr);  // a burnt cipher can be keyed again
  EXPECT_TRUE(SameBytes(Hex("b2396305f03dc027ccc3524a0a1118a8"), Rc4Stream(rc4, 16)));
}

}  // namespace
}  // namespace vo
