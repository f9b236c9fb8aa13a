#pragma once
// HAVAL with 5 passes and a 256-bit digest (Zheng, Pieprzyk and Seberry,
// "HAVAL - a one-way hashing algorithm with variable length of output",
// AUSCRYPT 1992): 128-byte blocks of little-endian words.
//
// The suite pads with 0x80 after the message where the reference HAVAL uses
// 0x01, so its digests differ from the published ones; everything else is the
// reference algorithm. Constructing with kReferencePaddingByte gives the
// published digests, which checks the compression function.

#include <array>
#include <cstdint>

#include "crypt/SuiteCipher.h"

namespace vo {

class THaval final : public TSuiteHash {
 public:
  static constexpr uint8_t kSuitePaddingByte = 0x80;
  static constexpr uint8_t kReferencePaddingByte = 0x01;

  explicit THaval(uint8_t paddingByte = kSuitePaddingByte) : fPaddingByte(paddingByte) {}
  ~THaval() override;

  std::string GetAlgorithm() const override { return "Haval (256bit, 5 passes)"; }
  int GetHashSize() const override { return 256; }
  void Init() override;
  void Final(void* digest) override;
  void Burn() override;
  void Update(const void* buffer, size_t count) override;

 private:
  void Compress(const uint8_t* block);

  const uint8_t fPaddingByte;
  std::array<uint32_t, 8> fState{};  // D0 .. D7
  uint64_t fBitCount = 0;
  std::array<uint8_t, 128> fBlock{};
  size_t fFill = 0;
};

}  // namespace vo
