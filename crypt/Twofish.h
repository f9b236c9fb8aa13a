#pragma once
// Twofish (Schneier, Kelsey, Whiting, Wagner, Hall, Ferguson): 128-bit blocks,
// keys of 128, 192 or 256 bits; a key of n bits is zero-padded to the next of
// those lengths at or above n. Blocks and key words are little-endian.
// The key-dependent S-boxes are fully precomputed per key ("full keying"),
// starting from key-independent q-permutation and MDS tables that are built
// once per process when the first object is created and shared by all.

#include <array>
#include <cstdint>

#include "crypt/SuiteCipher.h"

namespace vo {

class TTwofish final : public TSuiteBlockCipher128 {
 public:
  TTwofish();
  ~TTwofish() override;

  std::string GetAlgorithm() const override { return "Twofish"; }
  int GetMaxKeySize() const override { return 256; }

 protected:
  void BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) override;
  void EncryptBlock(const uint8_t* in, uint8_t* out) override;
  void DecryptBlock(const uint8_t* in, uint8_t* out) override;
  void BurnKeySchedule() override;

 private:
  uint32_t G(uint32_t x) const;

  std::array<uint32_t, 40> fSubkeys{};                   // K0..K39
  std::array<std::array<uint32_t, 256>, 4> fSBoxes{};    // MDS column j of the keyed S-box j
};

}  // namespace vo
