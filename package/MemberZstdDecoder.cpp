#include "package/MemberZstdDecoder.h"

#include <algorithm>
#include <string>

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader
#include <zstd.h>
#include <zstd_errors.h>

namespace vo {
namespace {

// The installer's zstd is built without its error strings; these name the
// causes a damaged package gives.
std::string ErrorDetail(size_t code) {
  switch (ZSTD_getErrorCode(code)) {
    case ZSTD_error_prefix_unknown: return "not a zstd frame";
    case ZSTD_error_checksum_wrong: return "its content checksum does not match";
    case ZSTD_error_frameParameter_windowTooLarge:
      return "its window is larger than the " + std::to_string((1 << MemberZstdDecoder::kWindowLog) >> 20) +
             " MiB this program accepts";
    case ZSTD_error_frameParameter_unsupported: return "it uses a frame feature this program does not support";
    case ZSTD_error_dictionary_wrong: return "it needs a dictionary, which never comes";
    default: return "corrupt zstd data (error " + std::to_string(int(ZSTD_getErrorCode(code))) + ")";
  }
}

}  // namespace

// Owns a ZSTD_DCtx from ZSTD_createDCtx to ZSTD_freeDCtx.
struct MemberZstdDecoder::Context {
  ZSTD_DCtx* d = nullptr;
  ~Context() { ZSTD_freeDCtx(d); }
};

int64_t MaxZstdDecodedSize(int64_t packedSize) { return packedSize * (128 * 1024 / 4); }

MemberZstdDecoder::MemberZstdDecoder(size_t inputBufferSize, size_t outputBufferSize)
    : fInputSize(std::max<size_t>(inputBufferSize, 1)),
      fOutputSize(std::max<size_t>(outputBufferSize, 1)),
      fInput(new uint8_t[fInputSize]),
      fOutput(new uint8_t[fOutputSize]) {}

MemberZstdDecoder::~MemberZstdDecoder() = default;

InflateResult MemberZstdDecoder::Decode(int64_t packedSize, int64_t size, const ReadFunction& read,
                                        const WriteFunction& write) {
  InflateResult result;
  auto finish = [&result](InflateOutcome outcome) {
    result.outcome = outcome;
    return result;
  };
  auto fail = [&](size_t code) {
    if (ZSTD_getErrorCode(code) == ZSTD_error_memory_allocation) return finish(InflateOutcome::OutOfMemory);
    result.detail = ErrorDetail(code);
    return finish(InflateOutcome::DataError);
  };
  if (!fContext) {
    auto context = std::make_unique<Context>();
    context->d = ZSTD_createDCtx();
    if (context->d == nullptr) return finish(InflateOutcome::OutOfMemory);
    const size_t rc = ZSTD_DCtx_setParameter(context->d, ZSTD_d_windowLogMax, kWindowLog);
    if (ZSTD_isError(rc)) return fail(rc);
    fContext = std::move(context);
  } else {
    // Keeps the parameters (the window limit), drops the last frame's state.
    ZSTD_DCtx_reset(fContext->d, ZSTD_reset_session_only);
  }

  int64_t unread = packedSize;
  auto readChunk = [&] {
    const size_t count = size_t(std::min<int64_t>(unread, int64_t(fInputSize)));
    read(fInput.get(), count);
    unread -= int64_t(count);
    return count;
  };

  ZSTD_inBuffer in{fInput.get(), 0, 0};
  bool headerChecked = false;
  uint8_t spare = 0;
  for (;;) {
    if (in.pos == in.size && unread > 0) in = ZSTD_inBuffer{fInput.get(), readChunk(), 0};
    // The declared content size, once the whole frame header is in the first
    // chunk (a tiny input buffer may not hold it; the output bound below
    // still applies then).
    if (!headerChecked) {
      headerChecked = true;
      ZSTD_frameHeader header{};
      const size_t rc = ZSTD_getFrameHeader(&header, in.src, in.size);
      if (ZSTD_isError(rc)) return fail(rc);
      if (rc == 0 && header.frameType == ZSTD_frame && header.frameContentSize != ZSTD_CONTENTSIZE_UNKNOWN) {
        if (header.frameContentSize > uint64_t(size)) return finish(InflateOutcome::TooLong);
        if (header.frameContentSize < uint64_t(size)) {
          result.detail = "its frame declares " + std::to_string(header.frameContentSize) + " bytes";
          return finish(InflateOutcome::EndedEarly);
        }
      }
    }
    // Room up to the row's size; once that is reached, one spare byte tells
    // a frame that still has data from one that only has its checksum left.
    const bool full = result.produced == size;
    const size_t room = full ? 1 : size_t(std::min<int64_t>(size - result.produced, int64_t(fOutputSize)));
    ZSTD_outBuffer out{full ? &spare : fOutput.get(), room, 0};
    const size_t consumedBefore = in.pos;
    const size_t rc = ZSTD_decompressStream(fContext->d, &out, &in);
    if (ZSTD_isError(rc)) return fail(rc);
    if (full && out.pos > 0) return finish(InflateOutcome::TooLong);
    if (!full && out.pos > 0) {
      write(fOutput.get(), out.pos);
      result.produced += int64_t(out.pos);
    }
    if (rc == 0) {  // the frame ended and its checksum matched
      if (result.produced < size) return finish(InflateOutcome::EndedEarly);
      while (unread > 0) readChunk();  // bytes after the frame's end
      return finish(InflateOutcome::Complete);
    }
    if (out.pos == out.size) continue;  // the buffer was handed on; more room next round
    if (in.pos == in.size) {
      if (unread == 0) return finish(InflateOutcome::InputExhausted);
      continue;
    }
    if (in.pos == consumedBefore && out.pos == 0) return finish(InflateOutcome::DataError);  // no progress
  }
}

}  // namespace vo
