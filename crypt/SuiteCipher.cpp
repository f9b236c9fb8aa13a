// The algorithm-independent half of the suite: key-size checks, IV handling,
// the chaining modes over an algorithm's one-block transform, the text
// operations and Base64.
//
// Text operations always use 8-bit cipher feedback for block ciphers (the
// object's chaining mode is for Encrypt/Decrypt only), so any text length
// works without padding. Buffers that held plain text are wiped before they
// are released.

#include "crypt/SuiteCipher.h"

#include <algorithm>
#include <vector>

#include "crypt/AnsiCodePage.h"
#include "crypt/Bytes.h"

namespace vo {

namespace {

// A byte buffer that is wiped when it goes away, on every path.
class WipedBuffer {
 public:
  // Never empty, so data() is a valid pointer even for zero-length text.
  explicit WipedBuffer(size_t size) : fBytes(size > 0 ? size : 1) {}
  ~WipedBuffer() { SecureZero(fBytes.data(), fBytes.size()); }
  WipedBuffer(const WipedBuffer&) = delete;
  WipedBuffer& operator=(const WipedBuffer&) = delete;
  uint8_t* data() { return fBytes.data(); }
  uint8_t& operator[](size_t i) { return fBytes[i]; }

 private:
  std::vector<uint8_t> fBytes;
};

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of each input byte; bytes outside the alphabet (and "=") count as 0.
struct Base64Values {
  uint8_t value[256] = {};
  constexpr Base64Values() {
    for (int i = 0; i < 64; ++i) value[static_cast<uint8_t>(kBase64Alphabet[i])] = uint8_t(i);
  }
};
constexpr Base64Values kBase64Values;

void XorBytes(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = a[i] ^ b[i];
}

}  // namespace

// ---------------------------------------------------------------------------
// TSuiteCipher

void TSuiteCipher::Init(const void* key, uint32_t sizeBits, const void* iv) {
  if (fInitialized) Burn();
  if (sizeBits == 0 || sizeBits % 4 != 0 || sizeBits > uint32_t(GetMaxKeySize()))
    throw ESuiteCipher("Invalid key size");
  fInitialized = true;
  try {
    SetUpKey(static_cast<const uint8_t*>(key), sizeBits, iv);
  } catch (...) {
    Burn();
    throw;
  }
}

std::string TSuiteCipher::EncryptString(const std::string& plain) {
  WipedBuffer data(plain.size());
  if (!plain.empty()) std::memcpy(data.data(), plain.data(), plain.size());
  EncryptText(data.data(), plain.size());
  std::string base64(EncodeBase64Bytes(nullptr, plain.size(), nullptr), '\0');
  EncodeBase64Bytes(data.data(), plain.size(), reinterpret_cast<uint8_t*>(&base64[0]));
  return base64;
}

std::string TSuiteCipher::DecryptString(const std::string& base64) {
  WipedBuffer data(base64.size() / 4 * 3);
  const size_t count =
      DecodeBase64Bytes(reinterpret_cast<const uint8_t*>(base64.data()), base64.size(), data.data());
  DecryptText(data.data(), count);
  return std::string(reinterpret_cast<const char*>(data.data()), count);
}

std::u16string TSuiteCipher::EncryptString(const std::u16string& plain) {
  const size_t byteCount = plain.size() * 2;
  WipedBuffer data(byteCount);
  for (size_t i = 0; i < plain.size(); ++i) {
    data[2 * i] = uint8_t(plain[i]);
    data[2 * i + 1] = uint8_t(plain[i] >> 8);
  }
  EncryptText(data.data(), byteCount);
  std::vector<uint8_t> base64(EncodeBase64Bytes(nullptr, byteCount, nullptr) + 1);
  const size_t length = EncodeBase64Bytes(data.data(), byteCount, base64.data());
  return std::u16string(base64.begin(), base64.begin() + length);
}

std::u16string TSuiteCipher::DecryptString(const std::u16string& base64) {
  const std::string bytes = WideToAnsi(base64);
  WipedBuffer data(bytes.size() / 4 * 3);
  const size_t decoded =
      DecodeBase64Bytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), data.data());
  // Whole UTF-16 code units only: an odd last byte is dropped.
  const size_t units = decoded / 2;
  DecryptText(data.data(), units * 2);
  std::u16string plain(units, u'\0');
  for (size_t i = 0; i < units; ++i) plain[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
  return plain;
}

// ---------------------------------------------------------------------------
// TSuiteBlockCipher

TSuiteBlockCipher::~TSuiteBlockCipher() {
  SecureFill(fIV.data(), fIV.size(), 0xFF);
  SecureFill(fCV.data(), fCV.size(), 0xFF);
  fInitialized = false;
}

void TSuiteBlockCipher::RequireInitialized() const {
  if (!fInitialized) throw ESuiteBlockCipher("Cipher not initialized");
}

void TSuiteBlockCipher::SetUpKey(const uint8_t* key, uint32_t sizeBits, const void* iv) {
  BuildKeySchedule(key, sizeBits);
  if (iv) {
    std::memcpy(fIV.data(), iv, fBlockBytes);
  } else {
    // No vector given: derive one from the key alone.
    std::fill(fIV.begin(), fIV.end(), uint8_t(0));
    EncryptBlock(fIV.data(), fIV.data());
  }
  Reset();
}

void TSuiteBlockCipher::SetIV(const void* iv) {
  RequireInitialized();
  std::memcpy(fIV.data(), iv, fBlockBytes);
  Reset();
}

void TSuiteBlockCipher::GetIV(void* iv) const {
  RequireInitialized();
  std::memcpy(iv, fCV.data(), fBlockBytes);
}

void TSuiteBlockCipher::Burn() {
  BurnKeySchedule();
  SecureFill(fIV.data(), fIV.size(), 0xFF);
  SecureFill(fCV.data(), fCV.size(), 0xFF);
  fInitialized = false;
}

void TSuiteBlockCipher::Reset() {
  RequireInitialized();
  fCV = fIV;
}

void TSuiteBlockCipher::Encrypt(const void* in, void* out, size_t count) {
  switch (fCipherMode) {
    case cmCBC: EncryptCBC(in, out, count); break;
    case cmCFB8bit: EncryptCFB8bit(in, out, count); break;
    case cmCFBblock: EncryptCFBblock(in, out, count); break;
    case cmOFB: EncryptOFB(in, out, count); break;
    case cmCTR: EncryptCTR(in, out, count); break;
  }
}

void TSuiteBlockCipher::Decrypt(const void* in, void* out, size_t count) {
  switch (fCipherMode) {
    case cmCBC: DecryptCBC(in, out, count); break;
    case cmCFB8bit: DecryptCFB8bit(in, out, count); break;
    case cmCFBblock: DecryptCFBblock(in, out, count); break;
    case cmOFB: DecryptOFB(in, out, count); break;
    case cmCTR: DecryptCTR(in, out, count); break;
  }
}

void TSuiteBlockCipher::EncryptECB(const void* in, void* out) {
  RequireInitialized();
  EncryptBlock(static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
}

void TSuiteBlockCipher::DecryptECB(const void* in, void* out) {
  RequireInitialized();
  DecryptBlock(static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
}

// In all modes below in and out may be the same buffer: each input block is
// read (and kept where the chain needs it) before its output is written.

void TSuiteBlockCipher::EncryptCBC(const void* in, void* out, size_t count) {
  RequireInitialized();
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  const size_t b = fBlockBytes;
  std::array<uint8_t, 16> block{};
  for (; count >= b; count -= b, src += b, dst += b) {
    XorBytes(src, fCV.data(), block.data(), b);
    EncryptBlock(block.data(), fCV.data());
    std::memcpy(dst, fCV.data(), b);
  }
  if (count > 0) {
    EncryptBlock(fCV.data(), block.data());
    XorBytes(src, block.data(), dst, count);
  }
  SecureZero(block.data(), block.size());
}

void TSuiteBlockCipher::DecryptCBC(const void* in, void* out, size_t count) {
  RequireInitialized();
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  const size_t b = fBlockBytes;
  std::array<uint8_t, 16> cipherBlock{}, block{};
  for (; count >= b; count -= b, src += b, dst += b) {
    std::memcpy(cipherBlock.data(), src, b);
    DecryptBlock(cipherBlock.data(), block.data());
    XorBytes(block.data(), fCV.data(), dst, b);
    fCV = cipherBlock;
  }
  if (count > 0) {
    EncryptBlock(fCV.data(), block.data());
    XorBytes(src, block.data(), dst, count);
  }
  SecureZero(block.data(), block.size());
}

void TSuiteBlockCipher::EncryptCFB8bit(const void* in, void* out, size_t count) {
  RequireInitialized();
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  const size_t b = fBlockBytes;
  std::array<uint8_t, 16> stream{};
  for (size_t i = 0; i < count; ++i) {
    EncryptBlock(fCV.data(), stream.data());
    const uint8_t c = src[i] ^ stream[0];
    std::memmove(fCV.data(), fCV.data() + 1, b - 1);
    fCV[b - 1] = c;
    dst[i] = c;
  }
  SecureZero(stream.data(), stream.size());
}

void TSuiteBlockCipher::DecryptCFB8bit(const void* in, void* out, size_t count) {
  RequireInitialized();
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  const size_t b = fBlockBytes;
  std::array<uint8_t, 16> stream{};
  for (size_t i = 0; i < count; ++i) {
    EncryptBlock(fCV.data(), stream.data());
    const uint8_t c = src[i];
    std::memmove(fCV.data(), fCV.data() + 1, b - 1);
    fCV[b - 1] = c;
    dst[i] = c ^ stream[0];
  }
  SecureZero(stream.data(), stream.size());
}

void TSuiteBlockCipher::EncryptCFBblock(const void* in, void* out, size_t count) {
  RequireInitialized();
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  const size_t b = fBlockBytes;
  std::array<uint8_t, 16> stream{};
  for (; count >= b; count -= b, src += b, dst += b) {
    EncryptBlock(fCV.data(), stream.data());
    XorBytes(src, stream.data(), fCV.data(), b);
    std::memcpy(dst, fCV.data(), b);
  }
  if (count > 0) {
    EncryptBlock(fCV.data(), stream.data());
    XorBytes(src, stream.data(), dst, count);
  }
  SecureZero(stream.data(), stream.size());
}

void TSuiteBlockCipher::DecryptCFBblock(const void* in, void* out, size_t count) {
  RequireInitialized();
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  const size_t b = fBlockBytes;
  std::array<uint8_t, 16> stream{};
  for (; count >= b; count -= b, src += b, dst += b) {
    EncryptBlock(fCV.data(), stream.data());
    std::memcpy(fCV.data(), src, b);
    XorBytes(fCV.data(), stream.data(), dst, b);
  }
  if (count > 0) {
    EncryptBlock(fCV.data(), stream.data());
    XorBytes(src, stream.data(), dst, count);
  }
  SecureZero(stream.data(), stream.size());
}

void TSuiteBlockCipher::EncryptOFB(const void* in, void* out, size_t count) {
  RequireInitialized();
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  const size_t b = fBlockBytes;
  while (count > 0) {
    EncryptBlock(fCV.data(), fCV.data());
    const size_t n = count < b ? count : b;
    XorBytes(src, fCV.data(), dst, n);
    src += n;
    dst += n;
    count -= n;
  }
}

void TSuiteBlockCipher::DecryptOFB(const void* in, void* out, size_t count) {
  EncryptOFB(in, out, count);
}

void TSuiteBlockCipher::EncryptCTR(const void* in, void* out, size_t count) {
  RequireInitialized();
  const uint8_t* src = static_cast<const uint8_t*>(in);
  uint8_t* dst = static_cast<uint8_t*>(out);
  const size_t b = fBlockBytes;
  std::array<uint8_t, 16> stream{};
  while (count > 0) {
    EncryptBlock(fCV.data(), stream.data());
    const size_t n = count < b ? count : b;
    XorBytes(src, stream.data(), dst, n);
    src += n;
    dst += n;
    count -= n;
    // The whole block is one big-endian counter.
    for (size_t i = b; i-- > 0;)
      if (++fCV[i] != 0) break;
  }
  SecureZero(stream.data(), stream.size());
}

void TSuiteBlockCipher::DecryptCTR(const void* in, void* out, size_t count) {
  EncryptCTR(in, out, count);
}

// ---------------------------------------------------------------------------
// TSuiteHash

void TSuiteHash::RequireInitialized() const {
  if (!fInitialized) throw ESuiteHash("Hash not initialized");
}

void TSuiteHash::UpdateStr(const std::u16string& text) {
  // Converted in slices so a long text needs no second copy of itself.
  uint8_t bytes[512];
  size_t done = 0;
  do {
    const size_t units = std::min(text.size() - done, sizeof bytes / 2);
    for (size_t i = 0; i < units; ++i) {
      bytes[2 * i] = uint8_t(text[done + i]);
      bytes[2 * i + 1] = uint8_t(text[done + i] >> 8);
    }
    Update(bytes, units * 2);
    done += units;
  } while (done < text.size());
  SecureZero(bytes, sizeof bytes);
}

// ---------------------------------------------------------------------------
// Base64

size_t DecodeBase64Bytes(const uint8_t* in, size_t count, uint8_t* out) {
  size_t written = 0;
  for (size_t group = 0; group < count / 4; ++group) {
    const uint8_t* g = in + 4 * group;
    const uint32_t bits = uint32_t(kBase64Values.value[g[0]]) << 18 |
                          uint32_t(kBase64Values.value[g[1]]) << 12 |
                          uint32_t(kBase64Values.value[g[2]]) << 6 | kBase64Values.value[g[3]];
    out[written++] = uint8_t(bits >> 16);
    if (g[2] == '=') continue;
    out[written++] = uint8_t(bits >> 8);
    if (g[3] == '=') continue;
    out[written++] = uint8_t(bits);
  }
  return written;
}

size_t EncodeBase64Bytes(const uint8_t* in, size_t count, uint8_t* out) {
  const size_t length = (count + 2) / 3 * 4;
  if (!out) return length;
  for (size_t i = 0, o = 0; i < count; i += 3, o += 4) {
    const size_t left = count - i;
    const uint32_t bits = uint32_t(in[i]) << 16 | (left > 1 ? uint32_t(in[i + 1]) << 8 : 0) |
                          (left > 2 ? uint32_t(in[i + 2]) : 0);
    out[o] = uint8_t(kBase64Alphabet[bits >> 18]);
    out[o + 1] = uint8_t(kBase64Alphabet[(bits >> 12) & 63]);
    out[o + 2] = left > 1 ? uint8_t(kBase64Alphabet[(bits >> 6) & 63]) : uint8_t('=');
    out[o + 3] = left > 2 ? uint8_t(kBase64Alphabet[bits & 63]) : uint8_t('=');
  }
  return length;
}

}  // namespace vo
