// Opening and sealing text envelopes (layout in VoCrypUtils.h).

#include "crypt/VoCrypUtils.h"

#include <algorithm>
#include <vector>

#include "crypt/AnsiCodePage.h"
#include "crypt/Bytes.h"
#include "crypt/SuiteCipher.h"
#include "text/Error.h"

namespace vo {

namespace {

constexpr size_t kSaltLength = 8;
constexpr size_t kHeaderLength = 10;  // salt and the two selector characters
constexpr size_t kCipherOperand = 3;  // code unit 4
constexpr size_t kHashOperand = 4;    // code unit 5
constexpr size_t kCipherSelector = 8; // code unit 9
constexpr size_t kHashSelector = 9;   // code unit 10

// The hash digest that keys the cipher; wiped on every path.
class DerivedKey {
 public:
  DerivedKey(TSuiteHash& hash, std::u16string_view salt, const std::u16string& passPhrase)
      : fBytes(size_t(hash.GetHashSize()) / 8) {
    hash.Init();
    hash.UpdateStr(std::u16string(salt));
    hash.UpdateStr(passPhrase);
    hash.Final(fBytes.data());
  }
  ~DerivedKey() { SecureZero(fBytes.data(), fBytes.size()); }
  DerivedKey(const DerivedKey&) = delete;
  DerivedKey& operator=(const DerivedKey&) = delete;
  const uint8_t* data() const { return fBytes.data(); }

 private:
  std::vector<uint8_t> fBytes;
};

uint32_t KeySizeBits(const TSuiteCipher& cipher, const TSuiteHash& hash) {
  return uint32_t(std::min(cipher.GetMaxKeySize(), hash.GetHashSize()));
}

std::u16string OpenEnvelope(const std::u16string& envelope, const std::u16string& passPhrase,
                            uint8_t cipherIndex, uint8_t hashIndex) {
  std::unique_ptr<TSuiteHash> hash = CreateHashByIndex(hashIndex);
  const DerivedKey key(*hash, std::u16string_view(envelope).substr(0, kSaltLength), passPhrase);
  std::unique_ptr<TSuiteCipher> cipher = CreateCipherByIndex(cipherIndex);
  const uint32_t keyBits = KeySizeBits(*cipher, *hash);

  size_t vectorLength = 0;
  if (auto* blockCipher = dynamic_cast<TSuiteBlockCipher*>(cipher.get())) {
    vectorLength = size_t(blockCipher->GetBlockSize()) / 8;
    // Each vector character must become exactly one byte: a short envelope
    // or a double-byte character in the ANSI code page rejects it.
    const std::string vector =
        WideToAnsi(std::u16string_view(envelope).substr(kHeaderLength, vectorLength));
    if (vector.size() != vectorLength) return {};
    cipher->Init(key.data(), keyBits, vector.data());
  } else {
    cipher->Init(key.data(), keyBits, nullptr);
  }
  const size_t textStart = kHeaderLength + vectorLength;
  const std::u16string cipherText =
      textStart < envelope.size() ? envelope.substr(textStart) : std::u16string();
  std::u16string plain = cipher->DecryptString(cipherText);
  cipher->Burn();
  return plain;
}

// A uniformly drawn printable ASCII character from first to last.
char16_t RandomCharacter(const std::function<uint32_t()>& random, char16_t first, char16_t last) {
  const uint32_t range = uint32_t(last - first) + 1;
  // Reject the top of the 32-bit range that would bias the remainder.
  const uint32_t limit = UINT32_MAX - UINT32_MAX % range;
  uint32_t value;
  do value = random();
  while (value >= limit);
  return char16_t(first + value % range);
}

constexpr char16_t kFirstPrintable = u'!';
constexpr char16_t kLastPrintable = u'~';

}  // namespace

std::u16string DecryptEnvelope(const std::u16string& envelope, const std::u16string& passPhrase) {
  if (envelope.size() < kHeaderLength + 1) return {};
  // Unsigned differences: a first operand below its second one wraps to a
  // huge index and is rejected.
  const uint32_t hashIndex = uint32_t(envelope[kHashOperand]) - uint32_t(envelope[kHashSelector]);
  if (hashIndex >= uint32_t(kHashCount)) return {};
  const uint32_t cipherIndex =
      uint32_t(envelope[kCipherOperand]) - uint32_t(envelope[kCipherSelector]);
  if (cipherIndex >= uint32_t(kCipherCount)) return {};
  try {
    return OpenEnvelope(envelope, passPhrase, uint8_t(cipherIndex), uint8_t(hashIndex));
  } catch (...) {
    return {};
  }
}

std::u16string SealEnvelope(const std::u16string& plain, const std::u16string& passPhrase,
                            int cipherIndex, int hashIndex,
                            const std::function<uint32_t()>& random) {
  if (cipherIndex < 0 || cipherIndex >= kCipherCount)
    throw InvalidArgument("SealEnvelope: cipher index " + std::to_string(cipherIndex) +
                                " is outside 0 to " + std::to_string(kCipherCount - 1));
  if (hashIndex < 0 || hashIndex >= kHashCount)
    throw InvalidArgument("SealEnvelope: hash index " + std::to_string(hashIndex) +
                                " is outside 0 to " + std::to_string(kHashCount - 1));

  std::u16string envelope(kHeaderLength, u'\0');
  for (size_t i = 0; i < kSaltLength; ++i)
    envelope[i] = RandomCharacter(random, kFirstPrintable, kLastPrintable);
  // Each selector character is drawn so that the salt character it pairs
  // with, selector plus index, stays printable.
  envelope[kCipherSelector] =
      RandomCharacter(random, kFirstPrintable, char16_t(kLastPrintable - cipherIndex));
  envelope[kCipherOperand] = char16_t(envelope[kCipherSelector] + cipherIndex);
  envelope[kHashSelector] =
      RandomCharacter(random, kFirstPrintable, char16_t(kLastPrintable - hashIndex));
  envelope[kHashOperand] = char16_t(envelope[kHashSelector] + hashIndex);

  std::unique_ptr<TSuiteHash> hash = CreateHashByIndex(uint8_t(hashIndex));
  const DerivedKey key(*hash, std::u16string_view(envelope).substr(0, kSaltLength), passPhrase);
  std::unique_ptr<TSuiteCipher> cipher = CreateCipherByIndex(uint8_t(cipherIndex));
  const uint32_t keyBits = KeySizeBits(*cipher, *hash);

  if (auto* blockCipher = dynamic_cast<TSuiteBlockCipher*>(cipher.get())) {
    const size_t vectorLength = size_t(blockCipher->GetBlockSize()) / 8;
    // Printable ASCII is one byte, the same byte, in every ANSI code page.
    std::string vector(vectorLength, '\0');
    for (size_t i = 0; i < vectorLength; ++i) {
      vector[i] = char(RandomCharacter(random, kFirstPrintable, kLastPrintable));
      envelope += char16_t(vector[i]);
    }
    cipher->Init(key.data(), keyBits, vector.data());
  } else {
    cipher->Init(key.data(), keyBits, nullptr);
  }
  envelope += cipher->EncryptString(plain);
  cipher->Burn();
  return envelope;
}

}  // namespace vo
