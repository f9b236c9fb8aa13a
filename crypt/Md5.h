#pragma once
// MD5 (RFC 1321): 128-bit digest over 64-byte blocks, little-endian words.

#include <cstdint>

#include "crypt/MdHash.h"

namespace vo {

class TMD5 final : public TMdHash<4, WordOrder::LittleEndian> {
 public:
  std::string GetAlgorithm() const override { return "MD5"; }
  int GetHashSize() const override { return 128; }

 private:
  State InitialState() const override;
  void Compress(const uint8_t* block) override;
};

}  // namespace vo
