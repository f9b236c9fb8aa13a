#pragma once
// Decoding one zstd package member: one zstd frame (RFC 8878) of a known
// packed size, read and written through two fixed buffers as MemberInflater
// does for zlib, and with the same outcomes. The frame is decoded to its end
// so that its content checksum is checked; a frame whose header declares
// another size than the row's is refused before any byte is written, and
// one that holds more bytes than the row says is refused when the first
// extra byte appears.
//
// Memory stays flat: besides the two buffers, the decoder holds its window,
// and frames that ask for a window above kWindowLog are refused, so no
// package can make the installer allocate more than that.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "package/MemberInflater.h"

namespace vo {

// The largest size a zstd frame of packedSize bytes can decode to: every
// block of at most 128 KiB takes at least four bytes (an RLE block).
int64_t MaxZstdDecodedSize(int64_t packedSize);

class MemberZstdDecoder {
 public:
  // The writer's window (8 MiB) and the largest one the decoder accepts.
  static constexpr int kWindowLog = 23;

  using ReadFunction = MemberInflater::ReadFunction;
  using WriteFunction = MemberInflater::WriteFunction;

  // Takes both buffers; raises std::bad_alloc when they cannot be had. The
  // decoder's state is made on the first Decode and kept for the next
  // members.
  explicit MemberZstdDecoder(size_t inputBufferSize = MemberInflater::kInputBufferSize,
                             size_t outputBufferSize = MemberInflater::kOutputBufferSize);
  ~MemberZstdDecoder();
  MemberZstdDecoder(const MemberZstdDecoder&) = delete;
  MemberZstdDecoder& operator=(const MemberZstdDecoder&) = delete;

  // Decodes one member of packedSize bytes that should give size bytes.
  // Exceptions from read and write pass through. DataError's detail names
  // the cause (not a zstd frame, wrong checksum, window too large, ...).
  InflateResult Decode(int64_t packedSize, int64_t size, const ReadFunction& read, const WriteFunction& write);

 private:
  struct Context;

  size_t fInputSize;
  size_t fOutputSize;
  std::unique_ptr<uint8_t[]> fInput;
  std::unique_ptr<uint8_t[]> fOutput;
  std::unique_ptr<Context> fContext;
};

}  // namespace vo
