#pragma once
// A fuzz target's input, read front to back; past its end every byte is 0, so
// a short input still drives every decision.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vo::fuzz {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : fData(data), fSize(size) {}
  uint8_t Byte() { return fPos < fSize ? fData[fPos++] : 0; }
  uint16_t Word() { return uint16_t(Byte() | Byte() << 8); }
  std::string Take(size_t count) {
    count = std::min(count, fSize - fPos);
    std::string bytes(reinterpret_cast<const char*>(fData + fPos), count);
    fPos += count;
    return bytes;
  }
  std::string Rest() { return Take(fSize - fPos); }
  bool Empty() const { return fPos >= fSize; }

 private:
  const uint8_t* fData;
  size_t fSize;
  size_t fPos = 0;
};

}  // namespace vo::fuzz
