#pragma once
// DES (FIPS 46-3) and triple DES in encrypt-decrypt-encrypt form (NIST SP
// 800-67), over one shared DES core. Parity bits of the key are ignored.

#include <cstdint>
#include <string>

#include "crypt/SuiteCipher.h"

namespace vo {

// The sixteen 48-bit round keys of one DES key, each kept as eight 6-bit
// groups that line up with the eight S-box inputs.
struct TDesKeySchedule {
  uint8_t roundKey[16][8];
};

// The DES core: a schedule from 8 key bytes, and one block (8 bytes,
// big-endian) through single DES. in and out may be the same buffer.
void DesBuildKeySchedule(const uint8_t key[8], TDesKeySchedule& schedule);
void DesEncryptBlock(const TDesKeySchedule& schedule, const uint8_t in[8], uint8_t out[8]);
void DesDecryptBlock(const TDesKeySchedule& schedule, const uint8_t in[8], uint8_t out[8]);

// Single DES. A key of n bits uses its first n/8 bytes, zero-padded to 8.
class TDES final : public TSuiteBlockCipher64 {
 public:
  TDES() = default;
  ~TDES() override;

  std::string GetAlgorithm() const override { return "DES"; }
  int GetMaxKeySize() const override { return 64; }

 protected:
  void BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) override;
  void EncryptBlock(const uint8_t* in, uint8_t* out) override;
  void DecryptBlock(const uint8_t* in, uint8_t* out) override;
  void BurnKeySchedule() override;

 private:
  TDesKeySchedule fSchedule = {};
};

// Triple DES, E(K3, D(K2, E(K1, block))). A key of n bits uses its first n/8
// bytes, zero-padded to 24: K1 is bytes 0-7 and K2 bytes 8-15; K3 is bytes
// 16-23 when n is above 128 and K1 otherwise (two-key triple DES).
class T3DES final : public TSuiteBlockCipher64 {
 public:
  T3DES() = default;
  ~T3DES() override;

  std::string GetAlgorithm() const override { return "3DES"; }
  int GetMaxKeySize() const override { return 192; }

 protected:
  void BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) override;
  void EncryptBlock(const uint8_t* in, uint8_t* out) override;
  void DecryptBlock(const uint8_t* in, uint8_t* out) override;
  void BurnKeySchedule() override;

 private:
  TDesKeySchedule fSchedules[3] = {};
};

}  // namespace vo
