#pragma once
// IDEA (Lai and Massey): 64-bit block, 128-bit key, eight rounds and an
// output transformation over 16-bit words. A key of n bits uses its first n/8
// bytes, zero-padded to 16.

#include <cstdint>
#include <string>

#include "crypt/SuiteCipher.h"

namespace vo {

class TIDEA final : public TSuiteBlockCipher64 {
 public:
  TIDEA() = default;
  ~TIDEA() override;

  std::string GetAlgorithm() const override { return "IDEA"; }
  int GetMaxKeySize() const override { return 128; }

 protected:
  void BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) override;
  void EncryptBlock(const uint8_t* in, uint8_t* out) override;
  void DecryptBlock(const uint8_t* in, uint8_t* out) override;
  void BurnKeySchedule() override;

 private:
  uint16_t fEncryptKey[52] = {};
  uint16_t fDecryptKey[52] = {};
};

}  // namespace vo
