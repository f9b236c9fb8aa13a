// The two factories that pick a suite member by the index an envelope names.

#include <string>

#include "crypt/Blowfish.h"
#include "crypt/Cast128.h"
#include "crypt/Cast256.h"
#include "crypt/Des.h"
#include "crypt/Haval.h"
#include "crypt/Idea.h"
#include "crypt/Md5.h"
#include "crypt/RC4.h"
#include "crypt/Rijndael.h"
#include "crypt/Sha1.h"
#include "crypt/Sha256.h"
#include "crypt/Sha512.h"
#include "crypt/SuiteCipher.h"
#include "crypt/Twofish.h"

namespace vo {

std::unique_ptr<TSuiteCipher> CreateCipherByIndex(uint8_t index) {
  std::unique_ptr<TSuiteCipher> cipher;
  switch (index & 0x7F) {
    case 0: cipher = std::make_unique<TBlowfish>(); break;
    case 1: cipher = std::make_unique<TCast128>(); break;
    case 2: cipher = std::make_unique<TCast256>(); break;
    case 3: cipher = std::make_unique<TDES>(); break;
    case 4: cipher = std::make_unique<T3DES>(); break;
    case 5: cipher = std::make_unique<TRijndael>(); break;
    case 6: cipher = std::make_unique<TRC4>(); break;
    case 7: cipher = std::make_unique<TTwofish>(); break;
    case 8: cipher = std::make_unique<TIDEA>(); break;
    default:
      throw ESuiteCipher("No cipher with index " + std::to_string(index & 0x7F) + " (0 to " +
                         std::to_string(kCipherCount - 1) + ")");
  }
  // A new cipher starts burnt: no key, vectors filled with 0xFF.
  cipher->Burn();
  return cipher;
}

std::unique_ptr<TSuiteHash> CreateHashByIndex(uint8_t index) {
  switch (index & 0x7F) {
    case 0: return std::make_unique<THaval>();
    case 1: return std::make_unique<TMD5>();
    case 2: return std::make_unique<TSHA1>();
    case 3: return std::make_unique<TSHA256>();
    case 4: return std::make_unique<TSHA512>();
    default:
      throw ESuiteHash("No hash with index " + std::to_string(index & 0x7F) + " (0 to " +
                       std::to_string(kHashCount - 1) + ")");
  }
}

}  // namespace vo
