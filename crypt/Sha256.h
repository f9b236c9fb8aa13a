#pragma once
// SHA-256 (FIPS 180-4): 256-bit digest over 64-byte blocks, big-endian words.

#include <array>
#include <cstdint>

#include "crypt/SuiteCipher.h"

namespace vo {

class TSHA256 final : public TSuiteHash {
 public:
  TSHA256() = default;
  ~TSHA256() override;

  std::string GetAlgorithm() const override { return "SHA256"; }
  int GetHashSize() const override { return 256; }
  void Init() override;
  void Final(void* digest) override;
  void Burn() override;
  void Update(const void* buffer, size_t count) override;

 private:
  void Compress(const uint8_t* block);

  std::array<uint32_t, 8> fState{};
  uint64_t fBitCount = 0;
  std::array<uint8_t, 64> fBlock{};
  size_t fFill = 0;
};

}  // namespace vo
