#include "package/MemberInflater.h"

#include <algorithm>

#include <zlib.h>

namespace vo {

// Owns a z_stream from inflateInit to inflateEnd.
struct MemberInflater::Stream {
  z_stream z{};
  ~Stream() { inflateEnd(&z); }
};

int64_t MaxInflatedSize(int64_t packedSize) { return packedSize * 1032 + 1032; }

MemberInflater::MemberInflater(size_t inputBufferSize, size_t outputBufferSize)
    : fInputSize(std::max<size_t>(inputBufferSize, 1)),
      fOutputSize(std::max<size_t>(outputBufferSize, 1)),
      fInput(new uint8_t[fInputSize]),
      fOutput(new uint8_t[fOutputSize]) {}

MemberInflater::~MemberInflater() = default;

InflateResult MemberInflater::Inflate(int64_t packedSize, int64_t size, const ReadFunction& read,
                                      const WriteFunction& write) {
  InflateResult result;
  auto finish = [&result](InflateOutcome outcome) {
    result.outcome = outcome;
    return result;
  };
  if (!fStream) {
    auto stream = std::make_unique<Stream>();
    const int status = inflateInit(&stream->z);
    if (status != Z_OK) {
      // inflateEnd on a stream whose init failed is a harmless no-op.
      return finish(status == Z_MEM_ERROR ? InflateOutcome::OutOfMemory : InflateOutcome::DataError);
    }
    fStream = std::move(stream);
  } else if (inflateReset(&fStream->z) != Z_OK) {
    fStream.reset();
    return finish(InflateOutcome::DataError);
  }
  z_stream& s = fStream->z;
  s.next_in = fInput.get();
  s.avail_in = 0;

  int64_t unread = packedSize;
  auto readChunk = [&] {
    const size_t count = size_t(std::min<int64_t>(unread, int64_t(fInputSize)));
    read(fInput.get(), count);
    unread -= int64_t(count);
    return count;
  };

  uint8_t spare = 0;
  for (;;) {
    if (s.avail_in == 0 && unread > 0) {
      s.avail_in = uInt(readChunk());
      s.next_in = fInput.get();
    }
    // Room up to the row's size; once that is reached, one spare byte tells a
    // stream that still has data from one that only has its end and
    // checksum left. The spare byte is never handed on.
    const bool full = result.produced == size;
    const size_t room = full ? 1 : size_t(std::min<int64_t>(size - result.produced, int64_t(fOutputSize)));
    s.next_out = full ? &spare : fOutput.get();
    s.avail_out = uInt(room);
    const int rc = inflate(&s, Z_NO_FLUSH);
    const size_t got = room - s.avail_out;
    if (s.msg != nullptr) result.detail = s.msg;
    if (!full && got > 0) {
      write(fOutput.get(), got);
      result.produced += int64_t(got);
    }
    const bool overflowed = full && got > 0;

    switch (rc) {
      case Z_STREAM_END:
        if (overflowed) return finish(InflateOutcome::TooLong);
        if (result.produced < size) return finish(InflateOutcome::EndedEarly);
        while (unread > 0) readChunk();  // bytes after the stream's end
        return finish(InflateOutcome::Complete);
      case Z_NEED_DICT: return finish(InflateOutcome::NeedsDictionary);
      case Z_DATA_ERROR:
      case Z_STREAM_ERROR: return finish(InflateOutcome::DataError);
      case Z_MEM_ERROR: return finish(InflateOutcome::OutOfMemory);
      default: break;  // Z_OK or Z_BUF_ERROR: out of input or out of room
    }
    if (overflowed) return finish(InflateOutcome::TooLong);
    if (s.avail_out == 0) continue;  // the buffer was handed on; more room next round
    if (s.avail_in == 0) {
      if (unread == 0) return finish(InflateOutcome::InputExhausted);
      continue;
    }
    return finish(InflateOutcome::DataError);  // no progress with input and room left
  }
}

}  // namespace vo
