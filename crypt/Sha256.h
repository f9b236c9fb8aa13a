#pragma once
// SHA-256 (FIPS 180-4): 256-bit digest over 64-byte blocks, big-endian words.

#include <cstdint>

#include "crypt/MdHash.h"

namespace vo {

class TSHA256 final : public TMdHash<8, WordOrder::BigEndian> {
 public:
  std::string GetAlgorithm() const override { return "SHA256"; }
  int GetHashSize() const override { return 256; }

 private:
  State InitialState() const override;
  void Compress(const uint8_t* block) override;
};

}  // namespace vo
