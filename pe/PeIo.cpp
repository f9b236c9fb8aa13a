#include "pe/PeIo.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vo::pe {

std::string FormatHex(uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value & 15]);
    value >>= 4;
  } while (value != 0);
  return "0x" + digits;
}

void CopyRange(Source& from, uint64_t offset, uint64_t count, Sink& to) {
  std::vector<char> buffer(size_t(std::min<uint64_t>(count, kCopyChunkSize)));
  while (count > 0) {
    const size_t chunk = size_t(std::min<uint64_t>(count, buffer.size()));
    from.ReadAt(offset, buffer.data(), chunk);
    to.Write(buffer.data(), chunk);
    offset += chunk;
    count -= chunk;
  }
}

void MemorySource::ReadAt(uint64_t offset, void* buffer, size_t count) {
  if (offset > fBytes.size() || count > fBytes.size() - offset) {
    throw PeError("read of " + FormatHex(count) + " bytes at " + FormatHex(offset) + " runs past the end of the data (" +
                  FormatHex(fBytes.size()) + " bytes)");
  }
  if (count > 0) std::memcpy(buffer, fBytes.data() + offset, count);
}

void MemorySink::Write(const void* data, size_t count) { fBytes.append(static_cast<const char*>(data), count); }

void MemorySink::WriteAt(uint64_t offset, const void* data, size_t count) {
  if (offset > fBytes.size() || count > fBytes.size() - offset) {
    throw PeError("patch of " + FormatHex(count) + " bytes at " + FormatHex(offset) + " lies beyond the bytes written (" +
                  FormatHex(fBytes.size()) + ")");
  }
  if (count > 0) std::memcpy(&fBytes[size_t(offset)], data, count);
}

void NullSink::WriteAt(uint64_t offset, const void*, size_t count) {
  if (offset > fSize || count > fSize - offset) {
    throw PeError("patch of " + FormatHex(count) + " bytes at " + FormatHex(offset) + " lies beyond the bytes written (" +
                  FormatHex(fSize) + ")");
  }
}

}  // namespace vo::pe
