#pragma once
// Rijndael as standardised in AES (FIPS 197): 128-bit blocks, keys of 128,
// 192 or 256 bits. A key of n bits uses its n/8 bytes zero-padded to the next
// AES key length: up to 16 bytes AES-128, up to 24 bytes AES-192, else AES-256.

#include <array>
#include <cstdint>

#include "crypt/SuiteCipher.h"

namespace vo {

class TRijndael final : public TSuiteBlockCipher128 {
 public:
  TRijndael() = default;
  ~TRijndael() override;

  std::string GetAlgorithm() const override { return "Rijndael"; }
  int GetMaxKeySize() const override { return 256; }
  int GetRounds() const { return fRounds; }  // 10, 12 or 14 once keyed

 protected:
  void BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) override;
  void EncryptBlock(const uint8_t* in, uint8_t* out) override;
  void DecryptBlock(const uint8_t* in, uint8_t* out) override;
  void BurnKeySchedule() override;

 private:
  static constexpr int kMaxRounds = 14;
  // Round keys in the byte order of the state: round r uses bytes 16r..16r+15.
  std::array<uint8_t, 16 * (kMaxRounds + 1)> fRoundKeys{};
  int fRounds = 0;
};

}  // namespace vo
