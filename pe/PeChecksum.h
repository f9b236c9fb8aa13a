#pragma once
// The PE checksum (the optional header's CheckSum field), computed the way
// Windows' image helper library does: the file as a sequence of
// little-endian 16-bit words (an odd last byte is a word of its own), the
// checksum field itself counted as zero, summed with the carry folded back
// into the low 16 bits after every addition; the file's length in bytes is
// added to the final 16-bit sum.
//
// PeChecksum takes the bytes in pieces of any length, so a writer can sum a
// file while it streams it out; since the order of additions does not change
// a folded sum, it adds words into a 64-bit total and folds once at the end.

#include <cstddef>
#include <cstdint>

#include "pe/PeIo.h"

namespace vo::pe {

class PeChecksum {
 public:
  // Adds the next count bytes of the file. The caller passes the checksum
  // field's bytes as zero.
  void Add(const void* data, size_t count);
  // Adds bytes that replace zeros already added at offset (a patch made
  // after the file has gone out); the length stays.
  void AddPatch(uint64_t offset, const void* data, size_t count);
  // The checksum of the bytes added so far, as a file of that many bytes.
  uint32_t Value() const;
  uint64_t Length() const { return fLength; }

 private:
  uint64_t fTotal = 0;
  uint64_t fLength = 0;
};

// The checksum of a whole file whose checksum field is at checksumOffset.
uint32_t ComputePeChecksum(Source& file, uint64_t checksumOffset);

}  // namespace vo::pe
