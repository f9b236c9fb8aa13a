#pragma once
// Inflating one package member: a zlib-format stream (RFC 1950) of a known
// packed size, read and written through two fixed buffers, so that memory
// stays the same whatever the member's size. The stream is inflated to its
// end so that zlib checks its Adler-32; a stream with more or fewer bytes
// than the row says is not accepted.
//
// The output is handed on as it is produced, up to the row's size and never
// beyond it; a caller that stops on a failure must therefore discard what it
// was given (the extractor empties the target file). A stream that ends
// before its packed bytes do is accepted, and the rest of its packed bytes is
// read and ignored, so that the read position always ends where the member
// does when it is complete.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
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
  int64_t produced = 0;  // bytes inflated, at most `size`
  std::string detail;    // zlib's own message, when it gave one
};

// The largest size a deflate stream of packedSize bytes can inflate to
// (258 bytes for every two bits, plus a little): anything above is a
// corrupt row, caught before anything is allocated for it.
int64_t MaxInflatedSize(int64_t packedSize);

class MemberInflater {
 public:
  static constexpr size_t kInputBufferSize = 64 * 1024;
  static constexpr size_t kOutputBufferSize = 256 * 1024;

  // Fills buffer with exactly count bytes of the member (count is never more
  // than the input buffer) or raises.
  using ReadFunction = std::function<void(uint8_t* buffer, size_t count)>;
  // Takes count inflated bytes (never more than the output buffer) or raises.
  using WriteFunction = std::function<void(const uint8_t* data, size_t count)>;

  // Takes both buffers; raises std::bad_alloc when they cannot be had. zlib's
  // state is made on the first Inflate and kept for the next members.
  explicit MemberInflater(size_t inputBufferSize = kInputBufferSize, size_t outputBufferSize = kOutputBufferSize);
  ~MemberInflater();
  MemberInflater(const MemberInflater&) = delete;
  MemberInflater& operator=(const MemberInflater&) = delete;

  // Inflates one member of packedSize bytes that should give size bytes.
  // Exceptions from read and write pass through.
  InflateResult Inflate(int64_t packedSize, int64_t size, const ReadFunction& read, const WriteFunction& write);

  size_t BufferBytes() const { return fInputSize + fOutputSize; }

 private:
  struct Stream;

  size_t fInputSize;
  size_t fOutputSize;
  std::unique_ptr<uint8_t[]> fInput;
  std::unique_ptr<uint8_t[]> fOutput;
  std::unique_ptr<Stream> fStream;
};

}  // namespace vo
