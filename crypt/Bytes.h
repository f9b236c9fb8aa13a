#pragma once
// Small helpers shared by the cipher and hash implementations: explicit byte
// order, rotations, and wiping of key material that the optimiser may not drop.

#include <cstddef>
#include <cstdint>

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

// Overwrites a buffer through a volatile pointer so the store is not elided
// even when the object dies right after.
inline void SecureZero(void* p, size_t n) {
  volatile uint8_t* b = static_cast<volatile uint8_t*>(p);
  while (n--) *b++ = 0;
}
inline void SecureFill(void* p, size_t n, uint8_t value) {
  volatile uint8_t* b = static_cast<volatile uint8_t*>(p);
  while (n--) *b++ = value;
}

}  // namespace vo
