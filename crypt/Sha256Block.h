#pragma once
// The SHA-256 compression function (FIPS 180-4 section 6.2.2) in its two
// forms: the portable one, and one with the x86 SHA extensions where the
// compiler can build it and the CPU has them. TSHA256 picks one at its first
// use; tests and the digest benchmark run each directly.

#include <cstdint>

namespace vo::sha256 {

// Folds one 64-byte block into the eight state words a..h.
using BlockFunction = void (*)(uint32_t* state, const uint8_t* block);

// FIPS 180-4 section 5.3.3.
void LoadInitialState(uint32_t* state);

void CompressPortable(uint32_t* state, const uint8_t* block);

// The block function with the SHA extensions, or null where this build
// (not x86, not GCC or Clang) or this CPU (no SHA, SSSE3 or SSE4.1) lacks
// them. Asks the CPU once.
BlockFunction ExtensionBlockFunction();

// What TSHA256 uses: the extension block function where there is one, the
// portable one elsewhere. Decided once.
BlockFunction ChosenBlockFunction();

}  // namespace vo::sha256
