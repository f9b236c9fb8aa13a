#pragma once
// Writing setup packages: what the package tool builds and what the tests
// make their fixtures with. A package is written in layout A: the members as
// zlib streams (or zstd frames) in row order, the file table in its text form
// sealed as an envelope (one byte per character), its length (signed 32-bit
// little-endian) and the bytes 0A 14 and the codec's mark (02 for zlib, 03
// for zstd: PackageCodec.h).
//
// The pieces are public so that tests can assemble packages that are wrong
// on purpose (other tails, damaged members, malformed rows).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "package/PackageCodec.h"
#include "package/PackageFileSystem.h"
#include "text/Error.h"

namespace vo {

constexpr int kDefaultCipherIndex = 5;  // Rijndael
constexpr int kDefaultHashIndex = 3;    // SHA-256
constexpr int kDefaultLevel = 9;
// zstd members: level 19 with an 8 MiB window (the largest the installer's
// decoder accepts, MemberZstdDecoder::kWindowLog).
constexpr int kZstdLevel = 19;
constexpr int kZstdWindowLog = 23;

// Whether this build can write zstd packages (the Windows package tool
// carries the decoder only).
bool CanWriteZstd();

// One zlib-format stream (RFC 1950) of data at compression level 0..9: the
// bytes PackageWriter writes for the same data.
std::string CompressMember(const void* data, size_t size, int level = kDefaultLevel);
inline std::string CompressMember(const std::string& data, int level = kDefaultLevel) {
  return CompressMember(data.data(), data.size(), level);
}

// One zstd frame of data with its content size and checksum, at kZstdLevel
// and kZstdWindowLog unless told otherwise: the bytes PackageWriter writes
// for the same data. Raises InvalidArgument where CanWriteZstd() is false.
std::string CompressMemberZstd(const void* data, size_t size, int level = kZstdLevel, int windowLog = kZstdWindowLog);
inline std::string CompressMemberZstd(const std::string& data) { return CompressMemberZstd(data.data(), data.size()); }

// The cells of one table row: target folder, file name, packed size,
// unpacked size, and "-1" as a fifth cell when useInstallDir.
std::vector<std::u16string> FileTableRowCells(const std::u16string& targetFolder, const std::u16string& fileName,
                                              int32_t packedSize, int32_t unpackedSize, bool useInstallDir = false);

// The table's text form: a header "#StpFiles,<rows>#" (so that a table of no
// rows has a text, and a first cell beginning with "#" stays a cell), then
// the rows separated by "|" and their cells by ",". Column 1 stores "," and
// "|" as U+001A and U+001B. Raises InvalidArgument for a cell the form
// cannot carry: control characters anywhere, "," or "|" outside column 1.
std::u16string FormatFileTable(const std::vector<std::vector<std::u16string>>& rows);

// The table text sealed as an envelope with the pass phrase, as the bytes
// that go into the package (the envelope is printable ASCII).
std::string SealFileTable(const std::u16string& tableText, const std::u16string& passPhrase = u"",
                          int cipherIndex = kDefaultCipherIndex, int hashIndex = kDefaultHashIndex);
// The same with the salt and vector drawn from a given source (reproducible
// fixtures).
std::string SealFileTable(const std::u16string& tableText, const std::u16string& passPhrase, int cipherIndex,
                          int hashIndex, const std::function<uint32_t()>& random);

// The four tails a reader accepts; the writer uses A.
enum class TailLayout { A, B, C, D };

// The sealed table, its length field and a tail of the layout, whose last
// byte is finalByte and whose other bytes are zero apart from the probes.
std::string PackageTail(const std::string& sealedTable, TailLayout layout = TailLayout::A, uint8_t finalByte = 0x02);

// Checks for names the package tool accepts; both raise InvalidArgument
// with a message that says what is wrong. Both apply the rule every reader
// of packages applies (MemberPath.h), so what the tool writes installs.
// A file name: that rule, and no folder part ("\", "/", ":").
void CheckMemberFileName(const std::u16string& fileName);
// A target folder as the table stores it: that rule, and no "," or "|".
void CheckTargetFolder(const std::u16string& targetFolder);

struct PackageWriterOptions {
  int cipherIndex = kDefaultCipherIndex;
  int hashIndex = kDefaultHashIndex;
  int level = kDefaultLevel;  // zlib's level; zstd members use kZstdLevel
  PackageCodec codec = PackageCodec::Zlib;
};

// Raises InvalidArgument for a cipher, hash or level out of range, and for
// zstd where this build cannot write it.
void CheckWriterOptions(const PackageWriterOptions& options);

// Streams a package into an output file, one member at a time. Members are
// compressed through fixed buffers straight into the output (deflate
// streaming), so the memory used does not grow with the size of a member.
class PackageWriter {
 public:
  static constexpr size_t kInputBufferSize = 128 * 1024;
  static constexpr size_t kOutputBufferSize = 128 * 1024;

  // Raises InvalidArgument for a cipher, hash or level out of range.
  explicit PackageWriter(PackageOutputFile& output, const PackageWriterOptions& options = {});
  ~PackageWriter();
  PackageWriter(const PackageWriter&) = delete;
  PackageWriter& operator=(const PackageWriter&) = delete;

  // Compresses and writes one member: the whole of source, read from its
  // start (Size() bytes, as it is when the call begins).
  //
  // Before anything is written: InvalidArgument for names the checks
  // above refuse, LengthError when the member or the sum of all
  // members would pass 2^31 - 1 bytes. While it is written: LengthError
  // when the package grows past 2^31 - 1 bytes, EPackageError (read) when
  // source ends before its size, and the errors of source and output. After
  // an error raised while writing, the output holds part of a member and the
  // writer refuses further calls: discard the output.
  void AddMember(const std::u16string& targetFolder, const std::u16string& fileName, bool useInstallDir,
                 PackageInputFile& source);
  // The same for a member held in memory.
  void AddMember(const std::u16string& targetFolder, const std::u16string& fileName, bool useInstallDir,
                 const void* data, size_t size);
  // Writes the sealed table and the tail; afterwards the package is complete.
  void Finish();

  int32_t MemberCount() const { return static_cast<int32_t>(fRows.size()); }
  int64_t BytesWritten() const { return fWritten; }

 private:
  class Deflater;
  class ZstdCompressor;

  void CheckMember(const std::u16string& targetFolder, const std::u16string& fileName, int64_t size) const;
  void AddStreamed(const std::u16string& targetFolder, const std::u16string& fileName, bool useInstallDir,
                   int64_t size, const std::function<const uint8_t*(size_t)>& next);
  void Put(const void* data, size_t count);
  uint8_t* InputBuffer();

  PackageOutputFile& fOutput;
  PackageWriterOptions fOptions;
  std::unique_ptr<Deflater> fDeflater;
  std::unique_ptr<ZstdCompressor> fZstd;
  std::vector<std::vector<std::u16string>> fRows;
  int64_t fWritten = 0;
  int64_t fUnpackedTotal = 0;
  bool fFinished = false;
  bool fBroken = false;
};

}  // namespace vo
