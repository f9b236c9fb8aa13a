#include "package/MemberInflater.h"

#include <zlib.h>

namespace vo {
namespace {

// Owns a z_stream from inflateInit to inflateEnd.
class Inflater {
 public:
  Inflater() { fStatus = inflateInit(&fStream); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() {
    if (fStatus == Z_OK) inflateEnd(&fStream);
  }
  int status() const { return fStatus; }
  z_stream& stream() { return fStream; }

 private:
  z_stream fStream{};
  int fStatus;
};

}  // namespace

int64_t MaxInflatedSize(int64_t packedSize) { return packedSize * 1032 + 1032; }

InflateResult InflateMember(const uint8_t* packed, size_t packedSize, uint8_t* out, size_t size) {
  InflateResult result;
  Inflater inflater;
  if (inflater.status() != Z_OK) {
    result.outcome = inflater.status() == Z_MEM_ERROR ? InflateOutcome::OutOfMemory : InflateOutcome::DataError;
    return result;
  }
  z_stream& s = inflater.stream();
  s.next_in = const_cast<Bytef*>(packed);
  s.avail_in = static_cast<uInt>(packedSize);
  s.next_out = out;
  s.avail_out = static_cast<uInt>(size);

  // Once the buffer is full, one spare byte tells a stream that still has
  // data from one that only has its end and checksum left.
  uint8_t spare = 0;
  bool usingSpare = false;
  for (;;) {
    int rc = inflate(&s, Z_FINISH);
    result.produced = usingSpare ? size : size - s.avail_out;
    if (s.msg != nullptr) result.detail = s.msg;
    switch (rc) {
      case Z_STREAM_END:
        if (usingSpare && s.avail_out == 0) {
          result.outcome = InflateOutcome::TooLong;
        } else {
          result.outcome = result.produced < size ? InflateOutcome::EndedEarly : InflateOutcome::Complete;
        }
        return result;
      case Z_NEED_DICT: result.outcome = InflateOutcome::NeedsDictionary; return result;
      case Z_DATA_ERROR: result.outcome = InflateOutcome::DataError; return result;
      case Z_MEM_ERROR: result.outcome = InflateOutcome::OutOfMemory; return result;
      default: break;  // Z_BUF_ERROR or Z_OK: out of input or out of room
    }
    if (s.avail_out == 0) {
      if (usingSpare) {
        result.outcome = InflateOutcome::TooLong;
        return result;
      }
      usingSpare = true;
      s.next_out = &spare;
      s.avail_out = 1;
      continue;
    }
    if (s.avail_in == 0) {
      result.outcome = InflateOutcome::InputExhausted;
      return result;
    }
    result.outcome = InflateOutcome::DataError;  // no progress with input and room left
    return result;
  }
}

}  // namespace vo
