// SHA-256's compression function with the x86 SHA extensions, as Intel's SDM
// (SHA256RNDS2, SHA256MSG1, SHA256MSG2) and its "Intel SHA Extensions" paper
// describe them, and the run-time check that the CPU has them.
//
// SHA256RNDS2 does two rounds on the working variables held as two vectors,
// ABEF and CDGH (a in the highest lane), with the two schedule words plus
// round constants in the low lanes of a third. SHA256MSG1 and SHA256MSG2 do
// the two halves of the schedule's recurrence four words at a time. Only the
// functions below are built for SHA, SSSE3 and SSE4.1 (a target attribute,
// not a compiler flag), so the rest of the program runs on any x86 and these
// run only after the CPU has said it has the extensions.

#include "crypt/Sha256Block.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VO_SHA256_EXTENSIONS 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace vo::sha256 {

#ifdef VO_SHA256_EXTENSIONS

extern const uint32_t kRound[64];

namespace {

// The 32-bit Windows ABI keeps the stack 4-byte aligned while the vectors
// spilled here want 16: on i686 the function realigns its own frame.
#ifdef __i386__
#define VO_REALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define VO_REALIGN_STACK
#endif

__attribute__((target("sha,sse4.1,ssse3"))) VO_REALIGN_STACK void CompressWithExtensions(
    uint32_t* state, const uint8_t* block) {
  // Message words are big-endian: swap the bytes of each 32-bit lane.
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bll, 0x0405060700010203ll);

  // state a..h to ABEF and CDGH.
  const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
  __m128i abef = _mm_alignr_epi8(dcba, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, dcba, 0xF0);
  const __m128i abefSaved = abef;
  const __m128i cdghSaved = cdgh;

  // w0..w3 hold the schedule words t..t+15, four to a vector.
  const __m128i* in = reinterpret_cast<const __m128i*>(block);
  __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(in + 0), byteSwap);
  __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), byteSwap);
  __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), byteSwap);
  __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), byteSwap);
  for (int t = 0; t < 64; t += 4) {
    const __m128i wk = _mm_add_epi32(w0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + t)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
    // Words t+16..t+19: w[t] + sigma0(w[t+1]) (MSG1), + w[t+9], then
    // + sigma1(w[t+14]) (MSG2, which chains the last two on the first two).
    // The last three rounds of four compute words nobody uses, which costs
    // less than a loop in two parts.
    __m128i next = _mm_sha256msg1_epu32(w0, w1);
    next = _mm_add_epi32(next, _mm_alignr_epi8(w3, w2, 4));
    next = _mm_sha256msg2_epu32(next, w3);
    w0 = w1;
    w1 = w2;
    w2 = w3;
    w3 = next;
  }
  // The schedule never leaves the vector registers, so unlike the portable
  // function there is no schedule in memory to wipe.
  abef = _mm_add_epi32(abef, abefSaved);
  cdgh = _mm_add_epi32(cdgh, cdghSaved);

  // ABEF and CDGH back to a..h.
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

// CPUID leaf 1: ECX bit 9 SSSE3, bit 19 SSE4.1; leaf 7 subleaf 0: EBX bit 29
// SHA. __get_cpuid and __get_cpuid_count return 0 where the leaf is missing
// (and, on i386, where the CPU has no CPUID at all).
bool CpuHasShaExtensions() {
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  if (!(ecx & (1u << 9)) || !(ecx & (1u << 19))) return false;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  return (ebx & (1u << 29)) != 0;
}

}  // namespace

BlockFunction ExtensionBlockFunction() {
  static const bool present = CpuHasShaExtensions();
  return present ? &CompressWithExtensions : nullptr;
}

#else

BlockFunction ExtensionBlockFunction() { return nullptr; }

#endif

}  // namespace vo::sha256
