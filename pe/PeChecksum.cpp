#include "pe/PeChecksum.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vo::pe {

void PeChecksum::Add(const void* data, size_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  // A byte at an even file offset is the low half of its word.
  uint64_t total = fTotal;
  size_t i = 0;
  if (count > 0 && (fLength & 1) != 0) {
    total += uint64_t(bytes[0]) << 8;
    i = 1;
  }
  for (; i + 1 < count; i += 2) total += uint32_t(bytes[i]) | uint32_t(bytes[i + 1]) << 8;
  if (i < count) total += bytes[i];
  fTotal = total;
  fLength += count;
}

void PeChecksum::AddPatch(uint64_t offset, const void* data, size_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < count; ++i) fTotal += uint64_t(bytes[i]) << (((offset + i) & 1) != 0 ? 8 : 0);
}

uint32_t PeChecksum::Value() const {
  uint64_t sum = fTotal;
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return uint32_t(sum + fLength);
}

uint32_t ComputePeChecksum(Source& file, uint64_t checksumOffset) {
  const uint64_t size = file.Size();
  std::vector<uint8_t> buffer(size_t(std::min<uint64_t>(size, kCopyChunkSize)));
  PeChecksum sum;
  for (uint64_t at = 0; at < size;) {
    const size_t chunk = size_t(std::min<uint64_t>(size - at, buffer.size()));
    file.ReadAt(at, buffer.data(), chunk);
    // Zero whatever part of the 4-byte field falls into this chunk.
    for (uint64_t f = checksumOffset; f < checksumOffset + 4; ++f) {
      if (f >= at && f < at + chunk) buffer[size_t(f - at)] = 0;
    }
    sum.Add(buffer.data(), chunk);
    at += chunk;
  }
  return sum.Value();
}

}  // namespace vo::pe
