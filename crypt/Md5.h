#pragma once
// MD5 (RFC 1321): 128-bit digest over 64-byte blocks, little-endian words.

#include <array>
#include <cstdint>

#include "crypt/SuiteCipher.h"

namespace vo {

class TMD5 final : public TSuiteHash {
 public:
  TMD5() = default;
  ~TMD5() override;

  std::string GetAlgorithm() const override { return "MD5"; }
  int GetHashSize() const override { return 128; }
  void Init() override;
  void Final(void* digest) override;
  void Burn() override;
  void Update(const void* buffer, size_t count) override;

 private:
  void Compress(const uint8_t* block);

  std::array<uint32_t, 4> fState{};
  uint64_t fBitCount = 0;
  std::array<uint8_t, 64> fBlock{};
  size_t fFill = 0;
};

}  // namespace vo
