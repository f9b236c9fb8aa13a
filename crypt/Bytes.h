#pragma once
// Small helpers shared by the cipher and hash implementations: explicit byte
// order, rotations, and wiping of key material that the optimiser may not drop.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vo {

inline uint32_t LoadBE32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline void StoreBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}
inline uint32_t LoadLE32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline uint64_t LoadBE64(const uint8_t* p) { return uint64_t(LoadBE32(p)) << 32 | LoadBE32(p + 4); }
inline void StoreBE64(uint8_t* p, uint64_t v) { StoreBE32(p, uint32_t(v >> 32)); StoreBE32(p + 4, uint32_t(v)); }
inline uint64_t LoadLE64(const uint8_t* p) { return uint64_t(LoadLE32(p + 4)) << 32 | LoadLE32(p); }
inline void StoreLE64(uint8_t* p, uint64_t v) { StoreLE32(p, uint32_t(v)); StoreLE32(p + 4, uint32_t(v >> 32)); }

inline uint32_t Rotl32(uint32_t v, unsigned n) { n &= 31; return n ? (v << n) | (v >> (32 - n)) : v; }
inline uint32_t Rotr32(uint32_t v, unsigned n) { n &= 31; return n ? (v >> n) | (v << (32 - n)) : v; }
inline uint64_t Rotr64(uint64_t v, unsigned n) { n &= 63; return n ? (v >> n) | (v << (64 - n)) : v; }

// Fills a buffer that holds key material. The empty asm statement takes the
// pointer and clobbers memory, so the compiler must assume the bytes are read
// afterwards and cannot drop the fill even when the object dies right after;
// the fill itself stays one memset instead of a store per byte.
inline void SecureFill(void* p, size_t n, uint8_t value) {
  if (n == 0) return;
#if defined(__GNUC__) || defined(__clang__)
  std::memset(p, value, n);
  __asm__ __volatile__("" : : "r"(p) : "memory");
#else
  volatile uint8_t* b = static_cast<volatile uint8_t*>(p);
  while (n--) *b++ = value;
#endif
}
inline void SecureZero(void* p, size_t n) { SecureFill(p, n, 0); }

}  // namespace vo
