#pragma once
// The substitution boxes S1..S8 of CAST-128 (RFC 2144, Appendix A). S1..S4
// are shared with CAST-256 (RFC 2612). Each maps one byte to a 32-bit word.

#include <cstdint>

namespace vo {

extern const uint32_t kCastS1[256];
extern const uint32_t kCastS2[256];
extern const uint32_t kCastS3[256];
extern const uint32_t kCastS4[256];
extern const uint32_t kCastS5[256];
extern const uint32_t kCastS6[256];
extern const uint32_t kCastS7[256];
extern const uint32_t kCastS8[256];

}  // namespace vo
