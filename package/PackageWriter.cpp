#include "package/PackageWriter.h"

#include <functional>
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include <zlib.h>
#if VO_ZSTD_COMPRESSOR
#include <zstd.h>
#endif

#include "crypt/AnsiCodePage.h"
#include "crypt/SuiteCipher.h"
#include "crypt/VoCrypUtils.h"
#include "datatable/TextConvert.h"
#include "package/MemberPath.h"
#include "package/PackageError.h"
#include "text/Error.h"

namespace vo {
namespace {

constexpr int64_t kFormatLimit = std::numeric_limits<int32_t>::max();

std::u16string Decimal(int64_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

bool HasControl(const std::u16string& text) {
  for (char16_t c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// The buffers a writer feeds a compressor from and drains it into, made when
// first asked for: a member held in memory is fed straight from there.
class CompressorBuffers {
 public:
  uint8_t* InputBuffer() {
    if (!fInput) fInput.reset(new uint8_t[PackageWriter::kInputBufferSize]);
    return fInput.get();
  }
  uint8_t* OutputBuffer() {
    if (!fOutput) fOutput.reset(new uint8_t[PackageWriter::kOutputBufferSize]);
    return fOutput.get();
  }

 private:
  std::unique_ptr<uint8_t[]> fInput;
  std::unique_ptr<uint8_t[]> fOutput;
};

// Owns a z_stream from deflateInit to deflateEnd, and its buffers. One per
// writer, reset per member. Input and output go in the same fixed pieces
// whoever asks, so the same data always gives the same stream.
class StreamDeflater : public CompressorBuffers {
 public:
  explicit StreamDeflater(int level) {
    const int rc = deflateInit(&fStream, level);
    if (rc == Z_MEM_ERROR) throw std::bad_alloc();
    if (rc != Z_OK) throw Error("zlib cannot start compressing at level " + std::to_string(level));
  }
  ~StreamDeflater() { deflateEnd(&fStream); }
  StreamDeflater(const StreamDeflater&) = delete;
  StreamDeflater& operator=(const StreamDeflater&) = delete;

  // Compresses size bytes into one zlib stream and returns its length.
  // next(count) gives the next count bytes of input (count is at most
  // kInputBufferSize); room() gives kOutputBufferSize bytes of space for
  // output, and made(n) takes the first n of them.
  template <typename Next, typename Room, typename Made>
  int64_t Compress(int64_t size, Next&& next, Room&& room, Made&& made) {
    // deflateInit leaves the stream as a reset would; a second reset would
    // clear zlib's hash table again for nothing.
    if (!fFresh && deflateReset(&fStream) != Z_OK) throw Error("zlib cannot start a new stream");
    fFresh = false;
    fStream.avail_in = 0;
    int64_t unread = size;
    int64_t packed = 0;
    for (;;) {
      if (fStream.avail_in == 0 && unread > 0) {
        const size_t count = size_t(std::min<int64_t>(unread, int64_t(PackageWriter::kInputBufferSize)));
        fStream.next_in = const_cast<Bytef*>(next(count));
        fStream.avail_in = uInt(count);
        unread -= int64_t(count);
      }
      uint8_t* const space = room();
      fStream.next_out = space;
      fStream.avail_out = uInt(PackageWriter::kOutputBufferSize);
      const int rc = deflate(&fStream, unread == 0 ? Z_FINISH : Z_NO_FLUSH);
      if (rc == Z_STREAM_ERROR) throw Error("zlib failed while compressing");
      const size_t produced = PackageWriter::kOutputBufferSize - fStream.avail_out;
      made(produced);
      packed += int64_t(produced);
      if (rc == Z_STREAM_END) return packed;
    }
  }

 private:
  z_stream fStream{};
  bool fFresh = true;
};

[[noreturn]] void NoZstd() {
  throw InvalidArgument(
      "this package tool cannot write zstd packages (it carries the zstd decoder only): use --compression zlib "
      "or Compression=zlib, or make the package with the native package tool");
}

#if VO_ZSTD_COMPRESSOR
// Owns a ZSTD_CCtx and the buffers a writer feeds it from and drains it
// into, like StreamDeflater. Every frame records its content size (the
// decoder refuses a frame that declares another size than its row) and its
// checksum.
class StreamZstdCompressor : public CompressorBuffers {
 public:
  StreamZstdCompressor(int level, int windowLog) : fContext(ZSTD_createCCtx()) {
    if (fContext == nullptr) throw std::bad_alloc();
    for (auto [parameter, value] : {std::pair{ZSTD_c_compressionLevel, level}, std::pair{ZSTD_c_windowLog, windowLog},
                                    std::pair{ZSTD_c_checksumFlag, 1}, std::pair{ZSTD_c_contentSizeFlag, 1}}) {
      if (ZSTD_isError(ZSTD_CCtx_setParameter(fContext, parameter, value))) {
        ZSTD_freeCCtx(fContext);
        throw Error("zstd cannot start compressing at level " + std::to_string(level) + ", window 2^" +
                    std::to_string(windowLog));
      }
    }
  }
  ~StreamZstdCompressor() { ZSTD_freeCCtx(fContext); }
  StreamZstdCompressor(const StreamZstdCompressor&) = delete;
  StreamZstdCompressor& operator=(const StreamZstdCompressor&) = delete;

  // As StreamDeflater::Compress, giving one zstd frame.
  template <typename Next, typename Room, typename Made>
  int64_t Compress(int64_t size, Next&& next, Room&& room, Made&& made) {
    ZSTD_CCtx_reset(fContext, ZSTD_reset_session_only);
    if (ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(fContext, uint64_t(size)))) throw Error("zstd cannot start a new frame");
    ZSTD_inBuffer in{nullptr, 0, 0};
    int64_t unread = size;
    int64_t packed = 0;
    for (;;) {
      if (in.pos == in.size && unread > 0) {
        const size_t count = size_t(std::min<int64_t>(unread, int64_t(PackageWriter::kInputBufferSize)));
        in = ZSTD_inBuffer{next(count), count, 0};
        unread -= int64_t(count);
      }
      ZSTD_outBuffer out{room(), PackageWriter::kOutputBufferSize, 0};
      const ZSTD_EndDirective mode = unread == 0 ? ZSTD_e_end : ZSTD_e_continue;
      const size_t rc = ZSTD_compressStream2(fContext, &out, &in, mode);
      if (ZSTD_isError(rc)) throw Error(std::string("zstd failed while compressing: ") + ZSTD_getErrorName(rc));
      made(out.pos);
      packed += int64_t(out.pos);
      if (mode == ZSTD_e_end && rc == 0) return packed;
    }
  }

 private:
  ZSTD_CCtx* fContext;
};
#else
// This build carries the zstd decoder only.
class StreamZstdCompressor {
 public:
  StreamZstdCompressor(int, int) { NoZstd(); }
  template <typename Next, typename Room, typename Made>
  int64_t Compress(int64_t, Next&&, Room&&, Made&&) {
    NoZstd();
  }
  uint8_t* InputBuffer() { NoZstd(); }
  uint8_t* OutputBuffer() { NoZstd(); }
};
#endif

void CheckLevel(int level) {
  if (level < 0 || level > 9) throw InvalidArgument("compression level " + std::to_string(level) + " is not 0 to 9");
}

}  // namespace

namespace {

// A whole member held in memory through either stream compressor (they take
// their input and hand out their output the same way).
template <typename Compressor>
std::string CompressInMemory(Compressor& compressor, const void* data, size_t size) {
  const auto* from = static_cast<const uint8_t*>(data);
  std::string packed;
  compressor.Compress(
      int64_t(size),
      [&](size_t count) {
        const uint8_t* piece = from;
        from += count;
        return piece;
      },
      [&] { return compressor.OutputBuffer(); },
      [&](size_t produced) { packed.append(reinterpret_cast<const char*>(compressor.OutputBuffer()), produced); });
  return packed;
}

}  // namespace

std::string CompressMember(const void* data, size_t size, int level) {
  CheckLevel(level);
  StreamDeflater deflater(level);
  return CompressInMemory(deflater, data, size);
}

#if VO_ZSTD_COMPRESSOR
bool CanWriteZstd() { return true; }
#else
bool CanWriteZstd() { return false; }
#endif

std::string CompressMemberZstd(const void* data, size_t size, int level, int windowLog) {
  StreamZstdCompressor compressor(level, windowLog);
  return CompressInMemory(compressor, data, size);
}

std::vector<std::u16string> FileTableRowCells(const std::u16string& targetFolder, const std::u16string& fileName,
                                              int32_t packedSize, int32_t unpackedSize, bool useInstallDir) {
  std::vector<std::u16string> cells{targetFolder, fileName, Decimal(packedSize), Decimal(unpackedSize)};
  if (useInstallDir) cells.push_back(u"-1");
  return cells;
}

std::u16string FormatFileTable(const std::vector<std::vector<std::u16string>>& rows) {
  std::u16string text = u"#StpFiles," + Decimal(int64_t(rows.size())) + u"#";
  for (size_t r = 0; r < rows.size(); ++r) {
    if (r > 0) text += u'|';
    const std::vector<std::u16string>& cells = rows[r];
    for (size_t c = 0; c < cells.size(); ++c) {
      const std::u16string& cell = cells[c];
      std::string where = "row " + std::to_string(r + 1) + ", column " + std::to_string(c) + " " + Quoted(cell);
      if (HasControl(cell)) throw InvalidArgument("file table " + where + " holds a control character");
      if (c != 1 && cell.find_first_of(u",|") != std::u16string::npos) {
        throw InvalidArgument("file table " + where + " holds \",\" or \"|\", which only column 1 can carry");
      }
      if (c > 0) text += u',';
      text += c == 1 ? EscapeCellText(cell, false) : cell;
    }
  }
  return text;
}

namespace {

std::string EnvelopeBytes(const std::u16string& envelope) {
  std::string bytes;
  bytes.reserve(envelope.size());
  for (char16_t c : envelope) {
    if (c < 0x20 || c > 0x7E) throw Error("the sealed file table holds a character outside printable ASCII");
    bytes += static_cast<char>(c);
  }
  return bytes;
}

}  // namespace

std::string SealFileTable(const std::u16string& tableText, const std::u16string& passPhrase, int cipherIndex,
                          int hashIndex) {
  return EnvelopeBytes(SealEnvelope(tableText, passPhrase, cipherIndex, hashIndex));
}

std::string SealFileTable(const std::u16string& tableText, const std::u16string& passPhrase, int cipherIndex,
                          int hashIndex, const std::function<uint32_t()>& random) {
  return EnvelopeBytes(SealEnvelope(tableText, passPhrase, cipherIndex, hashIndex, random));
}

std::string PackageTail(const std::string& sealedTable, TailLayout layout, uint8_t finalByte) {
  // Bytes after the length field, and where the probes sit among them.
  size_t count = 3;
  switch (layout) {
    case TailLayout::A: count = 3; break;
    case TailLayout::B: count = 22; break;
    case TailLayout::C: count = 10; break;
    case TailLayout::D: count = 29; break;
  }
  std::string tail(count, '\0');
  // A and C: 0x0A directly after the length field (E-3, E-10); A and B:
  // 0x14 at E-2. B and D keep 0 at E-3 and E-10, C and D at E-2.
  if (layout == TailLayout::A || layout == TailLayout::C) tail[0] = 0x0A;
  if (layout == TailLayout::A || layout == TailLayout::B) tail[count - 2] = 0x14;
  tail[count - 1] = static_cast<char>(finalByte);

  const uint32_t length = static_cast<uint32_t>(sealedTable.size());
  std::string bytes = sealedTable;
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((length >> shift) & 0xFF);
  return bytes + tail;
}

void CheckMemberFileName(const std::u16string& fileName) {
  // The extractor would write only the last part of a name with a folder
  // part; the tool stores names as they are installed.
  if (!fileName.empty() && fileName.find_first_of(u"\\/:") != std::u16string::npos) {
    throw InvalidArgument("file name " + Quoted(fileName) + " has a folder part");
  }
  const std::string problem = FileNameProblem(fileName);
  if (!problem.empty()) throw InvalidArgument(problem);
}

void CheckTargetFolder(const std::u16string& targetFolder) {
  // Column 0 cannot carry "," or "|" (only column 1 is escaped).
  if (targetFolder.find_first_of(u",|") != std::u16string::npos) {
    throw InvalidArgument("target folder " + Quoted(targetFolder) + " holds \",\" or \"|\"");
  }
  const std::string problem = TargetFolderProblem(targetFolder);
  if (!problem.empty()) throw InvalidArgument(problem);
}

void CheckWriterOptions(const PackageWriterOptions& options) {
  if (options.cipherIndex < 0 || options.cipherIndex > 8) {
    throw InvalidArgument("cipher index " + std::to_string(options.cipherIndex) + " is not 0 to 8");
  }
  if (options.hashIndex < 0 || options.hashIndex > 4) {
    throw InvalidArgument("hash index " + std::to_string(options.hashIndex) + " is not 0 to 4");
  }
  if (options.level < 0 || options.level > 9) {
    throw InvalidArgument("compression level " + std::to_string(options.level) + " is not 0 to 9");
  }
  if (options.codec != PackageCodec::Zlib && options.codec != PackageCodec::Zstd) {
    throw InvalidArgument("codec " + std::to_string(int(options.codec)) + " is neither zlib nor zstd");
  }
  if (options.codec == PackageCodec::Zstd && !CanWriteZstd()) NoZstd();
}

class PackageWriter::Deflater : public StreamDeflater {
 public:
  using StreamDeflater::StreamDeflater;
};

class PackageWriter::ZstdCompressor : public StreamZstdCompressor {
 public:
  using StreamZstdCompressor::StreamZstdCompressor;
};

uint8_t* PackageWriter::InputBuffer() {
  if (fOptions.codec == PackageCodec::Zstd) {
    if (!fZstd) fZstd = std::make_unique<ZstdCompressor>(kZstdLevel, kZstdWindowLog);
    return fZstd->InputBuffer();
  }
  if (!fDeflater) fDeflater = std::make_unique<Deflater>(fOptions.level);
  return fDeflater->InputBuffer();
}

PackageWriter::PackageWriter(PackageOutputFile& output, const PackageWriterOptions& options)
    : fOutput(output), fOptions(options) {
  CheckWriterOptions(options);
}

PackageWriter::~PackageWriter() = default;

void PackageWriter::Put(const void* data, size_t count) {
  fOutput.Write(data, count);
  fWritten += static_cast<int64_t>(count);
}

void PackageWriter::CheckMember(const std::u16string& targetFolder, const std::u16string& fileName,
                                int64_t size) const {
  if (fFinished) throw LogicError("the package is already finished");
  if (fBroken) throw LogicError("an earlier member failed while it was written; the package is incomplete");
  CheckTargetFolder(targetFolder);
  CheckMemberFileName(fileName);
  const std::string problem = MemberPathProblem(targetFolder, fileName);
  if (!problem.empty()) throw InvalidArgument(problem);
  if (size > kFormatLimit) {
    throw LengthError("file " + Quoted(fileName) + " has " + std::to_string(size) +
                            " bytes; a member holds at most 2147483647");
  }
  if (fUnpackedTotal + size > kFormatLimit) {
    throw LengthError("with file " + Quoted(fileName) + " the members add up to more than 2147483647 bytes");
  }
}

void PackageWriter::AddStreamed(const std::u16string& targetFolder, const std::u16string& fileName,
                                bool useInstallDir, int64_t size,
                                const std::function<const uint8_t*(size_t)>& next) {
  CheckMember(targetFolder, fileName, size);
  fBroken = true;
  auto compress = [&](auto& compressor) {
    return compressor.Compress(
        size, next, [&] { return compressor.OutputBuffer(); },
        [&](size_t count) {
          if (fWritten + int64_t(count) > kFormatLimit) {
            throw LengthError("with file " + Quoted(fileName) + " the package grows past 2147483647 bytes");
          }
          if (count > 0) Put(compressor.OutputBuffer(), count);
        });
  };
  int64_t packed = 0;
  if (fOptions.codec == PackageCodec::Zstd) {
    if (!fZstd) fZstd = std::make_unique<ZstdCompressor>(kZstdLevel, kZstdWindowLog);
    packed = compress(*fZstd);
  } else {
    if (!fDeflater) fDeflater = std::make_unique<Deflater>(fOptions.level);
    packed = compress(*fDeflater);
  }
  fBroken = false;
  fUnpackedTotal += size;
  fRows.push_back(FileTableRowCells(targetFolder, fileName, int32_t(packed), int32_t(size), useInstallDir));
}

void PackageWriter::AddMember(const std::u16string& targetFolder, const std::u16string& fileName, bool useInstallDir,
                              PackageInputFile& source) {
  const int64_t size = source.Size();
  CheckMember(targetFolder, fileName, size);
  source.Seek(0);
  uint8_t* const buffer = InputBuffer();
  int64_t delivered = 0;
  AddStreamed(targetFolder, fileName, useInstallDir, size, [&](size_t count) {
    const size_t got = source.Read(buffer, count);
    delivered += int64_t(got);
    if (got != count) {
      throw EPackageError(PackageErrorKind::Read, "the source of " + Quoted(fileName) + " ended after " +
                                                      std::to_string(delivered) + " of its " + std::to_string(size) +
                                                      " bytes; it changed while it was packed");
    }
    return buffer;
  });
}

void PackageWriter::AddMember(const std::u16string& targetFolder, const std::u16string& fileName, bool useInstallDir,
                              const void* data, size_t size) {
  const auto* from = static_cast<const uint8_t*>(data);
  AddStreamed(targetFolder, fileName, useInstallDir, int64_t(size), [&](size_t count) {
    const uint8_t* piece = from;
    from += count;
    return piece;
  });
}

namespace {

// The salt and vector of the sealed table, drawn from the table itself: the
// empty pass phrase keeps nothing secret anyway, and the same members then
// give the same package bytes, build after build.
class TableDerivedRandom {
 public:
  explicit TableDerivedRandom(const std::u16string& tableText) : fHash(CreateHashByIndex(kSha256Index)) {
    fHash->Init();
    fHash->UpdateStr(tableText);
    fHash->Final(fSeed);
  }
  uint32_t operator()() {
    if (fUsed == sizeof(fBlock)) {
      fHash->Init();
      fHash->Update(fSeed, sizeof(fSeed));
      fHash->Update(&fCounter, sizeof(fCounter));
      fHash->Final(fBlock);
      ++fCounter;
      fUsed = 0;
    }
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) word = word << 8 | fBlock[fUsed++];
    return word;
  }

 private:
  static constexpr uint8_t kSha256Index = 3;
  std::unique_ptr<TSuiteHash> fHash;
  uint8_t fSeed[32] = {};
  uint8_t fBlock[32] = {};
  size_t fUsed = sizeof(fBlock);
  uint32_t fCounter = 0;
};

}  // namespace

void PackageWriter::Finish() {
  if (fFinished) throw LogicError("the package is already finished");
  if (fBroken) throw LogicError("an earlier member failed while it was written; the package is incomplete");
  const std::u16string tableText = FormatFileTable(fRows);
  TableDerivedRandom random(tableText);
  std::string tail =
      PackageTail(SealFileTable(tableText, u"", fOptions.cipherIndex, fOptions.hashIndex, std::ref(random)),
                  TailLayout::A, uint8_t(fOptions.codec));
  if (fWritten + int64_t(tail.size()) > kFormatLimit) {
    throw LengthError("with its file table the package grows past 2147483647 bytes");
  }
  Put(tail.data(), tail.size());
  fFinished = true;
}

}  // namespace vo
