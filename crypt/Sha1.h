#pragma once
// SHA-1 (FIPS 180-4): 160-bit digest over 64-byte blocks, big-endian words.

#include <cstdint>

#include "crypt/MdHash.h"

namespace vo {

class TSHA1 final : public TMdHash<5, WordOrder::BigEndian> {
 public:
  std::string GetAlgorithm() const override { return "SHA1"; }
  int GetHashSize() const override { return 160; }

 private:
  State InitialState() const override;
  void Compress(const uint8_t* block) override;
};

}  // namespace vo
