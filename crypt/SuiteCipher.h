#pragma once
// The cipher and hash suite behind the text envelope: nine ciphers and five
// hashes created by index. Sizes are counted in bits throughout. Cipher text
// travels as Base64 inside UTF-16 text; block ciphers decrypt text in 8-bit
// cipher feedback, RC4 with its plain key stream. Objects wipe their key
// material when burnt or destroyed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "text/Error.h"

namespace vo {

class ESuiteCipher : public Error {
 public:
  using Error::Error;
};
class ESuiteBlockCipher : public ESuiteCipher {
 public:
  using ESuiteCipher::ESuiteCipher;
};
class ESuiteHash : public Error {
 public:
  using Error::Error;
};

enum TSuiteCipherMode : uint8_t { cmCBC, cmCFB8bit, cmCFBblock, cmOFB, cmCTR };

class TSuiteCipher {
 public:
  TSuiteCipher() = default;
  TSuiteCipher(const TSuiteCipher&) = delete;
  TSuiteCipher& operator=(const TSuiteCipher&) = delete;
  virtual ~TSuiteCipher() = default;

  virtual std::string GetAlgorithm() const = 0;
  virtual int GetMaxKeySize() const = 0;  // bits

  // Keys the cipher with the first sizeBits/8 bytes of key. sizeBits must be
  // above 0, divisible by 4 and at most GetMaxKeySize(), else "Invalid key
  // size". iv may be null (block ciphers then derive it from the key).
  virtual void Init(const void* key, uint32_t sizeBits, const void* iv);
  virtual void Burn() = 0;
  virtual void Reset() = 0;
  virtual void Encrypt(const void* in, void* out, size_t count) = 0;
  virtual void Decrypt(const void* in, void* out, size_t count) = 0;

  // Text operations: block ciphers always work in 8-bit CFB here, RC4 with
  // its key stream; each continues from where the previous call stopped.
  // Byte text: the plain bytes are the text's bytes; cipher text is Base64.
  std::string EncryptString(const std::string& plain);
  std::string DecryptString(const std::string& base64);
  // UTF-16 text: the plain bytes are the code units, little-endian. The
  // Base64 text is read through the ANSI code page; an odd last decoded byte
  // is dropped.
  std::u16string EncryptString(const std::u16string& plain);
  std::u16string DecryptString(const std::u16string& base64);

  bool IsInitialized() const { return fInitialized; }
  virtual bool IsBlockCipher() const { return false; }

 protected:
  // Per algorithm: the key set-up of the standard (RC4: key schedule).
  virtual void SetUpKey(const uint8_t* key, uint32_t sizeBits, const void* iv) = 0;
  // The transforms the string operations use (CFB-8 for block ciphers).
  virtual void EncryptText(uint8_t* data, size_t count) = 0;
  virtual void DecryptText(uint8_t* data, size_t count) = 0;

  bool fInitialized = false;
};

// Block ciphers: the algorithm classes supply the key schedule and the ECB
// transform of one block; this class supplies IV handling and the modes.
class TSuiteBlockCipher : public TSuiteCipher {
 public:
  ~TSuiteBlockCipher() override;  // wipes IV and CV

  bool IsBlockCipher() const override { return true; }
  int GetBlockSize() const { return int(fBlockBytes) * 8; }  // bits

  TSuiteCipherMode GetCipherMode() const { return fCipherMode; }
  void SetCipherMode(TSuiteCipherMode mode) { fCipherMode = mode; }
  // SetIV replaces IV and restarts the chain from it (CV := IV); GetIV copies
  // out the chaining value the next operation continues from. Both need Init.
  void SetIV(const void* iv);
  void GetIV(void* iv) const;

  void Burn() override;
  void Reset() override;  // CV := IV
  // Encrypt/Decrypt chain in fCipherMode. In CBC a final partial block is
  // XORed with the encryption of CV, so lengths are kept; in the block-wide
  // feedback modes a partial block ends the chain.
  void Encrypt(const void* in, void* out, size_t count) override;
  void Decrypt(const void* in, void* out, size_t count) override;

  // One block under the current schedule; in and out may be the same buffer.
  void EncryptECB(const void* in, void* out);
  void DecryptECB(const void* in, void* out);
  void EncryptCBC(const void* in, void* out, size_t count);
  void DecryptCBC(const void* in, void* out, size_t count);
  void EncryptCFB8bit(const void* in, void* out, size_t count);
  void DecryptCFB8bit(const void* in, void* out, size_t count);
  void EncryptCFBblock(const void* in, void* out, size_t count);
  void DecryptCFBblock(const void* in, void* out, size_t count);
  void EncryptOFB(const void* in, void* out, size_t count);
  void DecryptOFB(const void* in, void* out, size_t count);
  void EncryptCTR(const void* in, void* out, size_t count);
  void DecryptCTR(const void* in, void* out, size_t count);

 protected:
  explicit TSuiteBlockCipher(size_t blockBytes) : fBlockBytes(blockBytes) {}

  // Implemented by each algorithm class.
  virtual void BuildKeySchedule(const uint8_t* key, uint32_t sizeBits) = 0;
  virtual void EncryptBlock(const uint8_t* in, uint8_t* out) = 0;  // in == out allowed
  virtual void DecryptBlock(const uint8_t* in, uint8_t* out) = 0;  // in == out allowed
  virtual void BurnKeySchedule() = 0;  // zero the schedule

  void SetUpKey(const uint8_t* key, uint32_t sizeBits, const void* iv) override;
  void EncryptText(uint8_t* data, size_t count) override { EncryptCFB8bit(data, data, count); }
  void DecryptText(uint8_t* data, size_t count) override { DecryptCFB8bit(data, data, count); }
  void RequireInitialized() const;

  const size_t fBlockBytes;
  TSuiteCipherMode fCipherMode = cmCBC;
  std::array<uint8_t, 16> fIV{};  // first fBlockBytes used
  std::array<uint8_t, 16> fCV{};
};

class TSuiteBlockCipher64 : public TSuiteBlockCipher {
 protected:
  TSuiteBlockCipher64() : TSuiteBlockCipher(8) {}
};
class TSuiteBlockCipher128 : public TSuiteBlockCipher {
 protected:
  TSuiteBlockCipher128() : TSuiteBlockCipher(16) {}
};

class TSuiteHash {
 public:
  TSuiteHash() = default;
  TSuiteHash(const TSuiteHash&) = delete;
  TSuiteHash& operator=(const TSuiteHash&) = delete;
  virtual ~TSuiteHash() = default;

  virtual std::string GetAlgorithm() const = 0;
  virtual int GetHashSize() const = 0;  // bits
  virtual void Init() = 0;
  virtual void Final(void* digest) = 0;  // GetHashSize()/8 bytes, then Burn
  virtual void Burn() = 0;
  virtual void Update(const void* buffer, size_t count) = 0;
  void UpdateStr(const std::u16string& text);  // code units as little-endian pairs

  bool IsInitialized() const { return fInitialized; }

 protected:
  void RequireInitialized() const;  // "Hash not initialized"

  // Block buffering shared by the hash classes: appends count bytes to
  // block (blockBytes long, fill bytes already used) and calls
  // compress(block) for every block that becomes full.
  template <class Compress>
  static void FeedBlocks(const uint8_t* data, size_t count, uint8_t* block, size_t blockBytes,
                         size_t& fill, Compress&& compress) {
    while (count > 0) {
      size_t take = blockBytes - fill < count ? blockBytes - fill : count;
      std::memcpy(block + fill, data, take);
      fill += take;
      data += take;
      count -= take;
      if (fill == blockBytes) {
        compress(block);
        fill = 0;
      }
    }
  }

  bool fInitialized = false;
};

// Index tables: 0 Blowfish, 1 Cast128, 2 Cast256, 3 DES, 4 3DES, 5 Rijndael,
// 6 RC4, 7 Twofish, 8 IDEA; hashes 0 Haval (256bit, 5 passes), 1 MD5, 2 SHA1,
// 3 SHA256, 4 SHA512. Only the low seven bits of the index count. A new cipher
// is burnt and needs Init.
constexpr int kCipherCount = 9;
constexpr int kHashCount = 5;
std::unique_ptr<TSuiteCipher> CreateCipherByIndex(uint8_t index);
std::unique_ptr<TSuiteHash> CreateHashByIndex(uint8_t index);

// Base64 as the string operations use it: groups of four, decoding past
// padding, 1 to 3 trailing bytes ignored; a byte outside the alphabet (or
// "=" in a group's first two places) counts as 0. Decode returns the bytes
// written (out needs count/4*3 bytes). Encode writes standard Base64 without
// line breaks and returns 4*ceil(count/3); with out null it only returns that.
size_t DecodeBase64Bytes(const uint8_t* in, size_t count, uint8_t* out);
size_t EncodeBase64Bytes(const uint8_t* in, size_t count, uint8_t* out);

}  // namespace vo
