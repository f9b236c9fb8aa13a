#pragma once
// CAST-128 (RFC 2144): 64-bit block, keys of 40 to 128 bits. A key of n bits
// uses its first n/8 bytes, zero-padded to 16; keys of 10 bytes or fewer run
// 12 rounds, longer ones the full 16.

#include <cstdint>
#include <string>

#include "crypt/SuiteCipher.h"

namespace vo {

class TCast128 final : public TSuiteBlockCipher64 {
 public:
  TCast128() = default;
  ~TCast128() override;

  std::string GetAlgorithm() const override { return "Cast128"; }
  int GetMaxKeySize() const override { return 128; }

 protected:
  void BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) override;
  void EncryptBlock(const uint8_t* in, uint8_t* out) override;
  void DecryptBlock(const uint8_t* in, uint8_t* out) override;
  void BurnKeySchedule() override;

 private:
  uint32_t fMasking[16] = {};   // Km1..Km16
  uint8_t fRotation[16] = {};   // Kr1..Kr16, five bits each
  int fRounds = 16;
};

}  // namespace vo
