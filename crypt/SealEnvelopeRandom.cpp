// SealEnvelope with std::random_device as the source of its random
// characters. It has a file of its own: a program that only opens envelopes
// (the installer) links VoCrypUtils.cpp, and the random device it would
// reference there pulls libstdc++'s random.o (some 3 KB) into the link even
// though the link-time optimiser drops the function.

#include <random>

#include "crypt/VoCrypUtils.h"

namespace vo {

std::u16string SealEnvelope(const std::u16string& plain, const std::u16string& passPhrase,
                            int cipherIndex, int hashIndex) {
  std::random_device device;
  return SealEnvelope(plain, passPhrase, cipherIndex, hashIndex,
                      [&device]() { return uint32_t(device()); });
}

}  // namespace vo
