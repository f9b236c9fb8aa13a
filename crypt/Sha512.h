#pragma once
// SHA-512 (FIPS 180-4): 512-bit digest over 128-byte blocks, big-endian
// 64-bit words, a 128-bit message bit counter.

#include <array>
#include <cstdint>

#include "crypt/SuiteCipher.h"

namespace vo {

class TSHA512 final : public TSuiteHash {
 public:
  TSHA512() = default;
  ~TSHA512() override;

  std::string GetAlgorithm() const override { return "SHA512"; }
  int GetHashSize() const override { return 512; }
  void Init() override;
  void Final(void* digest) override;
  void Burn() override;
  void Update(const void* buffer, size_t count) override;

 private:
  void Compress(const uint8_t* block);

  std::array<uint64_t, 8> fState{};
  uint64_t fBitCountLow = 0;
  uint64_t fBitCountHigh = 0;
  std::array<uint8_t, 128> fBlock{};
  size_t fFill = 0;
};

}  // namespace vo
