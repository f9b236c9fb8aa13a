#pragma once
// Blowfish (Schneier, 1993): 64-bit block, 16 Feistel rounds, keys of 0 to 56
// bytes. A key of n bits uses its first n/8 bytes, repeated cyclically over
// the P-array as the standard key schedule does.

#include <cstdint>
#include <string>

#include "crypt/SuiteCipher.h"

namespace vo {

class TBlowfish final : public TSuiteBlockCipher64 {
 public:
  TBlowfish() = default;
  ~TBlowfish() override;

  std::string GetAlgorithm() const override { return "Blowfish"; }
  int GetMaxKeySize() const override { return 448; }

 protected:
  void BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) override;
  void EncryptBlock(const uint8_t* in, uint8_t* out) override;
  void DecryptBlock(const uint8_t* in, uint8_t* out) override;
  void BurnKeySchedule() override;

 private:
  uint32_t Round(uint32_t x) const;
  void EncryptHalves(uint32_t& left, uint32_t& right) const;

  uint32_t fP[18] = {};
  uint32_t fS[4][256] = {};
};

}  // namespace vo
