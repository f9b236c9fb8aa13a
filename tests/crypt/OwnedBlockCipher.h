#pragma once
// A suite block cipher owned through TSuiteCipher's public destructor and
// shown as the block cipher it is, for the block cipher tests.

#include <memory>

#include "crypt/SuiteCipher.h"

namespace vo::test {

class BlockCipher {
 public:
  explicit BlockCipher(std::unique_ptr<TSuiteCipher> owned) : fOwned(std::move(owned)) {}
  TSuiteBlockCipher& operator*() const { return static_cast<TSuiteBlockCipher&>(*fOwned); }
  TSuiteBlockCipher* operator->() const { return &**this; }

 private:
  std::unique_ptr<TSuiteCipher> fOwned;
};

template <class T>
BlockCipher Make() {
  return BlockCipher(std::make_unique<T>());
}

}  // namespace vo::test
