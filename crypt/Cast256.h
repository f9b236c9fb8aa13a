#pragma once
// CAST-256 (RFC 2612): 128-bit blocks, keys zero-padded to 256 bits. Blocks
// and key words are big-endian; S-boxes S1..S4 are those of CAST-128.

#include <array>
#include <cstdint>

#include "crypt/SuiteCipher.h"

namespace vo {

class TCast256 final : public TSuiteBlockCipher128 {
 public:
  TCast256() = default;
  ~TCast256() override;

  std::string GetAlgorithm() const override { return "Cast256"; }
  int GetMaxKeySize() const override { return 256; }

 protected:
  void BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) override;
  void EncryptBlock(const uint8_t* in, uint8_t* out) override;
  void DecryptBlock(const uint8_t* in, uint8_t* out) override;
  void BurnKeySchedule() override;

 private:
  // Twelve quad-rounds, each with four masking and four rotation keys.
  std::array<std::array<uint32_t, 4>, 12> fKm{};
  std::array<std::array<uint8_t, 4>, 12> fKr{};
};

}  // namespace vo
