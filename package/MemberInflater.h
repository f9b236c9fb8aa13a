#pragma once
// Inflating one package member: a zlib-format stream (RFC 1950) held whole in
// memory, into a buffer of exactly the size its table row gives. The stream
// is inflated to its end so that zlib checks its Adler-32; a stream with more
// or fewer bytes than the row says is not accepted.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vo {

enum class InflateOutcome {
  Complete,         // exactly `size` bytes, stream end and checksum reached
  EndedEarly,       // the stream ended before `size` bytes
  InputExhausted,   // the packed bytes ran out before the stream's end
  TooLong,          // the stream holds more than `size` bytes
  NeedsDictionary,  // the header asks for a preset dictionary, which never comes
  DataError,        // not zlib data: a bad header, corrupt data, wrong checksum
  OutOfMemory,      // zlib could not allocate its state
};

struct InflateResult {
  InflateOutcome outcome = InflateOutcome::Complete;
  size_t produced = 0;  // bytes written to the output buffer
  std::string detail;   // zlib's own message, when it gave one
};

// The largest size a deflate stream of packedSize bytes can inflate to
// (258 bytes for every two bits, plus a little): anything above is a
// corrupt row, caught before a buffer is allocated for it.
int64_t MaxInflatedSize(int64_t packedSize);

// One inflater, released before the call returns.
InflateResult InflateMember(const uint8_t* packed, size_t packedSize, uint8_t* out, size_t size);

}  // namespace vo
