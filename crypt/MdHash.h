#pragma once
// The frame MD5, SHA-1 and SHA-256 share (RFC 1321, FIPS 180-4): 64-byte
// blocks, a 64-bit message bit count, padding of 0x80, zeros up to 56 mod 64
// and the bit count, and a digest that is the state words in order. The
// algorithms differ in the byte order of words and count, the state size,
// the initial state and the compression function, which each supplies.

#include <array>
#include <cstdint>

#include "crypt/Bytes.h"
#include "crypt/SuiteCipher.h"

namespace vo {

enum class WordOrder { LittleEndian, BigEndian };

template <size_t StateWords, WordOrder Order>
class TMdHash : public TSuiteHash {
 public:
  ~TMdHash() override { Burn(); }

  void Init() final {
    Burn();
    fState = InitialState();
    fInitialized = true;
  }

  void Burn() final {
    SecureZero(fState.data(), sizeof fState);
    SecureZero(fBlock.data(), fBlock.size());
    fBitCount = 0;
    fFill = 0;
    fInitialized = false;
  }

  void Update(const void* buffer, size_t count) final {
    RequireInitialized();
    fBitCount += uint64_t(count) * 8;
    FeedBlocks(static_cast<const uint8_t*>(buffer), count, fBlock.data(), fBlock.size(), fFill,
               [this](const uint8_t* block) { Compress(block); });
  }

  void Final(void* digest) final {
    RequireInitialized();
    uint8_t tail[72] = {0x80};
    const size_t padLength = (fFill < 56 ? 56 : 120) - fFill;
    if (Order == WordOrder::BigEndian) {
      StoreBE64(tail + padLength, fBitCount);
    } else {
      StoreLE64(tail + padLength, fBitCount);
    }
    Update(tail, padLength + 8);
    uint8_t* out = static_cast<uint8_t*>(digest);
    for (size_t i = 0; i < StateWords; ++i) {
      if (Order == WordOrder::BigEndian) {
        StoreBE32(out + 4 * i, fState[i]);
      } else {
        StoreLE32(out + 4 * i, fState[i]);
      }
    }
    Burn();
  }

 protected:
  using State = std::array<uint32_t, StateWords>;

  virtual State InitialState() const = 0;
  // Folds one 64-byte block into fState.
  virtual void Compress(const uint8_t* block) = 0;

  State fState{};

 private:
  uint64_t fBitCount = 0;
  std::array<uint8_t, 64> fBlock{};
  size_t fFill = 0;
};

}  // namespace vo
