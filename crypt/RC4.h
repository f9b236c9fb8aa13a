#pragma once
// RC4 (ARCFOUR) stream cipher: the key bytes are repeated cyclically over the
// 256-byte permutation. A copy of the permutation as it stood after key set-up
// lets Reset restart the key stream without the key.

#include <array>
#include <cstdint>

#include "crypt/SuiteCipher.h"

namespace vo {

class TRC4 final : public TSuiteCipher {
 public:
  TRC4();  // created burnt: Init is needed before use
  ~TRC4() override;

  std::string GetAlgorithm() const override { return "RC4"; }
  int GetMaxKeySize() const override { return 2048; }

  void Burn() override;
  void Reset() override;
  // XORs the key stream over count bytes; both directions are the same
  // operation. in and out may be the same buffer.
  void Encrypt(const void* in, void* out, size_t count) override;
  void Decrypt(const void* in, void* out, size_t count) override;

 protected:
  void SetUpKey(const uint8_t* key, uint32_t sizeBits, const void* iv) override;
  void EncryptText(uint8_t* data, size_t count) override { Encrypt(data, data, count); }
  void DecryptText(uint8_t* data, size_t count) override { Decrypt(data, data, count); }

 private:
  std::array<uint8_t, 256> fState{};
  std::array<uint8_t, 256> fInitialState{};
  uint8_t fI = 0;
  uint8_t fJ = 0;
};

}  // namespace vo
