#pragma once
// SHA-1 (FIPS 180-4): 160-bit digest over 64-byte blocks, big-endian words.

#include <array>
#include <cstdint>

#include "crypt/SuiteCipher.h"

namespace vo {

class TSHA1 final : public TSuiteHash {
 public:
  TSHA1() = default;
  ~TSHA1() override;

  std::string GetAlgorithm() const override { return "SHA1"; }
  int GetHashSize() const override { return 160; }
  void Init() override;
  void Final(void* digest) override;
  void Burn() override;
  void Update(const void* buffer, size_t count) override;

 private:
  void Compress(const uint8_t* block);

  std::array<uint32_t, 5> fState{};
  uint64_t fBitCount = 0;
  std::array<uint8_t, 64> fBlock{};
  size_t fFill = 0;
};

}  // namespace vo
