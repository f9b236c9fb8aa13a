// SHA-256's two block functions, the portable one and the one with the x86
// SHA extensions, each run directly: published known answers, hashing split
// at every offset, and both paths against each other on random input. The
// extension path is skipped where the build or the CPU lacks it.

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "KnownAnswer.h"
#include "crypt/MdHash.h"
#include "crypt/Sha256.h"
#include "crypt/Sha256Block.h"

namespace vo {
namespace {

using test::Hex;
using test::SameBytes;

// SHA-256 with the padding and buffering of TSHA256 around a given block
// function.
class TSha256Through final : public TMdHash<8, WordOrder::BigEndian> {
 public:
  explicit TSha256Through(sha256::BlockFunction blockFunction) : fBlockFunction(blockFunction) {}
  std::string GetAlgorithm() const override { return "SHA256"; }
  int GetHashSize() const override { return 256; }

 private:
  State InitialState() const override {
    State state;
    sha256::LoadInitialState(state.data());
    return state;
  }
  void Compress(const uint8_t* block) override { fBlockFunction(fState.data(), block); }

  sha256::BlockFunction fBlockFunction;
};

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) byte = uint8_t(generator());
  return bytes;
}

std::vector<uint8_t> DigestOf(TSuiteHash& hash, const uint8_t* data, size_t count) {
  hash.Init();
  hash.Update(data, count);
  std::vector<uint8_t> digest(32);
  hash.Final(digest.data());
  return digest;
}

struct Path {
  const char* name;
  sha256::BlockFunction (*get)();
};

void PrintTo(const Path& path, std::ostream* out) { *out << path.name; }

const Path kPaths[] = {
    {"Portable", [] { return sha256::BlockFunction(&sha256::CompressPortable); }},
    {"Extensions", &sha256::ExtensionBlockFunction},
};

class Sha256Path : public ::testing::TestWithParam<Path> {
 protected:
  void SetUp() override {
    fBlockFunction = GetParam().get();
    if (!fBlockFunction) {
      GTEST_SKIP() << "this build or this CPU has no SHA extensions (CPUID leaf 7 EBX bit 29, "
                      "SSSE3, SSE4.1); only the portable path runs here";
    }
  }
  sha256::BlockFunction fBlockFunction = nullptr;
};

struct KnownAnswer {
  const char* message;
  size_t repeat;  // the message is fed this many times
  const char* digest;
};

// FIPS 180-2 appendix B and the NIST CSRC example values: "abc" (one
// block), the 448-bit message (two blocks), one million 'a'; the empty
// message and the 896-bit message from the same examples.
const KnownAnswer kKnownAnswers[] = {
    {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
     "mnopqrstnopqrstu",
     1, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {"a", 1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

TEST_P(Sha256Path, MatchesThePublishedDigests) {
  for (const KnownAnswer& row : kKnownAnswers) {
    SCOPED_TRACE(std::string("\"") + row.message + "\" x" + std::to_string(row.repeat));
    TSha256Through hash(fBlockFunction);
    hash.Init();
    const size_t length = std::strlen(row.message);
    for (size_t i = 0; i < row.repeat; ++i) hash.Update(row.message, length);
    std::vector<uint8_t> digest(32);
    hash.Final(digest.data());
    EXPECT_TRUE(SameBytes(Hex(row.digest), digest));
  }
}

TEST_P(Sha256Path, HashingSplitAtEveryOffsetEqualsOneCall) {
  const std::vector<uint8_t> data = RandomBytes(300, 1);
  TSha256Through hash(fBlockFunction);
  const std::vector<uint8_t> whole = DigestOf(hash, data.data(), data.size());
  for (size_t split = 0; split <= data.size(); ++split) {
    SCOPED_TRACE("split at " + std::to_string(split));
    hash.Init();
    hash.Update(data.data(), split);
    hash.Update(data.data() + split, data.size() - split);
    std::vector<uint8_t> digest(32);
    hash.Final(digest.data());
    ASSERT_TRUE(SameBytes(whole, digest));
  }
}

// From random states, the block function matches the portable one on
// blocks at any alignment: the block is the caller's buffer whenever Update
// is given whole blocks.
TEST_P(Sha256Path, AgreesWithThePortableBlockFunctionOnRandomStates) {
  std::vector<uint8_t> buffer = RandomBytes(4 * 1024 + 64, 2);
  for (size_t offset = 0; offset < 16; ++offset) {
    SCOPED_TRACE("offset " + std::to_string(offset));
    uint32_t expected[8];
    uint32_t state[8];
    std::memcpy(expected, buffer.data() + 64 * offset, sizeof expected);
    std::memcpy(state, expected, sizeof expected);
    for (size_t block = 0; block < 60; ++block) {
      const uint8_t* data = buffer.data() + offset + 64 * block;
      sha256::CompressPortable(expected, data);
      fBlockFunction(state, data);
    }
    ASSERT_EQ(0, std::memcmp(expected, state, sizeof expected));
  }
}

INSTANTIATE_TEST_SUITE_P(BlockFunctions, Sha256Path, ::testing::ValuesIn(kPaths),
                         [](const ::testing::TestParamInfo<Path>& info) { return std::string(info.param.name); });

class Sha256Paths : public ::testing::Test {
 protected:
  void SetUp() override {
    fExtensions = sha256::ExtensionBlockFunction();
    if (!fExtensions) GTEST_SKIP() << "this build or this CPU has no SHA extensions; nothing to compare";
  }
  sha256::BlockFunction fExtensions = nullptr;
};

TEST_F(Sha256Paths, AgreeOnLongRandomInputs) {
  const std::vector<uint8_t> data = RandomBytes((1 << 20) + 77, 3);
  TSha256Through portable(&sha256::CompressPortable);
  TSha256Through extensions(fExtensions);
  for (size_t length : {size_t(1) << 20, (size_t(1) << 20) + 77, size_t(65536 + 55), size_t(100003)}) {
    for (size_t offset : {0, 1, 13}) {
      SCOPED_TRACE(std::to_string(length - offset) + " bytes from offset " + std::to_string(offset));
      EXPECT_TRUE(SameBytes(DigestOf(portable, data.data() + offset, length - offset),
                            DigestOf(extensions, data.data() + offset, length - offset)));
    }
  }
}

TEST_F(Sha256Paths, TSHA256UsesTheExtensionsWhereTheCpuHasThem) {
  EXPECT_EQ(fExtensions, sha256::ChosenBlockFunction());
}

TEST(Sha256Dispatch, ChoosesThePortablePathWhereThereAreNoExtensions) {
  if (sha256::ExtensionBlockFunction()) GTEST_SKIP() << "this CPU has the SHA extensions";
  EXPECT_EQ(sha256::BlockFunction(&sha256::CompressPortable), sha256::ChosenBlockFunction());
}

}  // namespace
}  // namespace vo
