// Fuzz target for the package reader and extractor: ExtractPackage on an
// in-memory file system, so a run does no disk I/O.
//
//   tests/fuzz/run.sh package 600
//
// The first input byte picks how the rest becomes a package:
//   0  the bytes are the package file as they stand (tails, length fields,
//      table texts that are no envelope);
//   1  two bytes give the length n of a table text; the next n bytes are the
//      text (widened to UTF-16), sealed here as an envelope; the rest are the
//      members; one more byte picks the tail layout;
//   2  a well-formed package whose members, rows and bytes the input shapes:
//      zlib or zstd (one byte, marked in the tail), up to six members with
//      contents, target folders, names and zlib or zstd window sizes and
//      levels chosen by the input, then the input's edits to the rows' sizes and to the bytes
//      of the members, the tail layout, and how much room the disk has left
//      (a full disk fails a write half-way through a member).
// Mode 1 reaches the table's rows and mode 2 both decoders and the writes;
// mode 0 keeps the tail reader honest.
//
// Besides the sanitizers' checks: the progress never leaves 0..100 or goes
// back, no file stays open, a member that fails after its file was created
// leaves that file empty, and no file lands anywhere but below the install
// folder or the system folder.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <zlib.h>

#include "crypt/VoCrypUtils.h"
#include "datatable/TextConvert.h"
#include "package/PackageError.h"
#include "package/PackageExtractor.h"
#include "package/PackageFileSystemMemory.h"
#include "package/PackageWriter.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

using namespace vo;

using fuzz::Input;

const std::u16string kInstallFolder = u"C:\\Program Files\\Product\\";
const std::u16string kSystemFolder = u"C:\\Windows\\System32\\";

std::u16string Widen(const std::string& bytes) {
  std::u16string text(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) text[i] = char16_t(static_cast<unsigned char>(bytes[i]));
  return text;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant failed: %s\n", what);
    std::abort();
  }
}

// Salt and vector bytes for sealing; any values do, so a few steps of a
// linear congruential generator stand in for a real source.
std::function<uint32_t()> FixedRandom() {
  return [state = uint32_t(7)]() mutable { return state = state * 1664525u + 1013904223u; };
}

TailLayout PickLayout(uint8_t byte) {
  static const TailLayout layouts[] = {TailLayout::A, TailLayout::B, TailLayout::C, TailLayout::D};
  return layouts[byte & 3];
}

std::string FromTableText(Input& in) {
  const uint16_t length = in.Word();
  std::u16string text = Widen(in.Take(length));
  const uint8_t layout = in.Byte();
  std::string members = in.Rest();
  // RC4 with MD5 keeps sealing cheap; the reader does not care which.
  std::u16string envelope = SealEnvelope(text, u"", 6, 1, FixedRandom());
  return members + PackageTail(std::string(envelope.begin(), envelope.end()), PickLayout(layout));
}

// zlib's deflate state (up to about 140 KB) comes from one static arena that
// every stream reuses; allocated, touched and freed anew under ASan, it took
// more time than the extraction it feeds.
alignas(16) unsigned char gArena[192 * 1024];
size_t gArenaUsed = 0;

voidpf ArenaAlloc(voidpf, uInt items, uInt size) {
  const size_t bytes = (size_t(items) * size + 15) & ~size_t(15);
  if (bytes > sizeof gArena - gArenaUsed) return Z_NULL;
  void* block = gArena + gArenaUsed;
  gArenaUsed += bytes;
  return block;
}

void ArenaFree(voidpf, voidpf) {}

// A zlib stream of content at a level, with a window (512 bytes to 32 KiB)
// and a hash size the input picks: every window size the header can name
// reaches the inflater, and small ones keep zlib's state (most of a run's
// time with the writer's full-size state) small.
std::string Deflate(const std::string& content, int level, uint8_t tuning) {
  z_stream s{};
  s.zalloc = ArenaAlloc;
  s.zfree = ArenaFree;
  gArenaUsed = 0;
  if (deflateInit2(&s, level, Z_DEFLATED, 9 + tuning % 7, 1 + (tuning >> 3) % 3, Z_DEFAULT_STRATEGY) != Z_OK) {
    std::abort();
  }
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  s.avail_in = uInt(content.size());
  std::string stream;
  int rc = Z_OK;
  while (rc == Z_OK) {
    stream.resize(s.total_out + content.size() / 2 + 64);
    s.next_out = reinterpret_cast<Bytef*>(&stream[s.total_out]);
    s.avail_out = uInt(stream.size() - s.total_out);
    rc = deflate(&s, Z_FINISH);
  }
  Check(rc == Z_STREAM_END, "deflate finishes");
  stream.resize(s.total_out);
  deflateEnd(&s);
  return stream;
}

// A zstd frame as the writer makes it, at a level (1 to 4 keeps runs fast) and
// a window of 2^10 to 2^25 bytes the input picks: windows above the
// decoder's limit must be refused, not allocated.
std::string ZstdFrame(const std::string& content, uint8_t tuning) {
  return CompressMemberZstd(content.data(), content.size(), 1 + tuning % 4, 10 + (tuning >> 2) % 16);
}

struct Package {
  std::string bytes;
  std::optional<int64_t> freeSpace;  // room left on the disk; nullopt: plenty
};

Package FromMembers(Input& in) {
  static const char16_t* const folders[] = {u"",      u"Lang\\", u"$System$", u"$Third$", u"$system$x\\",
                                            u"$SYSTEM$", u"..\\",  u"a\\b\\",  u"$Third$System\\",
                                            u"$/../",    u"C:\\x\\", u"\\\\?\\C:\\", u"$System$..\\"};
  static const char16_t* const names[] = {u"a.txt", u"b,c.dll", u"sub\\d.bin", u"", u"..", u"e|f", u"x:y"};
  std::vector<std::string> streams;
  std::vector<std::vector<std::u16string>> rows;
  const bool zstd = (in.Byte() & 1) != 0;
  const int count = in.Byte() % 7;
  for (int i = 0; i < count; ++i) {
    const uint8_t shape = in.Byte();
    std::string content = in.Take(in.Byte());
    if (shape & 0x80) content = std::string(size_t(in.Word()), char(shape));  // long runs inflate a lot
    streams.push_back(zstd ? ZstdFrame(content, in.Byte()) : Deflate(content, shape % 10, in.Byte()));
    rows.push_back(FileTableRowCells(folders[shape % 9], names[(shape >> 4) % 7], int32_t(streams.back().size()),
                                     int32_t(content.size()), (shape & 0x40) != 0));
  }
  // Edits: change a size by a small amount, or flip a member byte.
  const int edits = in.Byte() % 8;
  for (int e = 0; e < edits && !rows.empty(); ++e) {
    const uint8_t what = in.Byte();
    const size_t row = in.Byte() % rows.size();
    if (what & 1) {
      const int column = 2 + ((what >> 1) & 1);
      const int32_t delta = int32_t(int8_t(in.Byte()));
      std::string value = std::to_string(std::stoll(Utf16ToUtf8(rows[row][column])) + delta);
      rows[row][column] = std::u16string(value.begin(), value.end());
    } else if (!streams[row].empty()) {
      const uint16_t at = in.Word();
      streams[row][at % streams[row].size()] ^= char(in.Byte() | 1);
    }
  }
  Package package;
  for (const std::string& s : streams) package.bytes += s;
  std::u16string text;
  try {
    text = FormatFileTable(rows);
  } catch (const InvalidArgument&) {
    return package;  // a name the text form cannot carry: the tail is missing
  }
  std::u16string envelope = SealEnvelope(text, u"", 6, 1, FixedRandom());
  package.bytes += PackageTail(std::string(envelope.begin(), envelope.end()), PickLayout(in.Byte()),
                               uint8_t(zstd ? PackageCodec::Zstd : PackageCodec::Zlib));
  const uint8_t room = in.Byte();
  if (room & 0x80) package.freeSpace = int64_t(room & 0x7F) * 509;
  return package;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const uint8_t mode = in.Byte() % 3;
  Package package;
  if (mode == 2) {
    package = FromMembers(in);
  } else {
    package.bytes = mode == 0 ? in.Rest() : FromTableText(in);
  }

  const std::u16string packageFile = u"C:\\Setup.stp";
  MemoryFileSystem files(kSystemFolder);
  files.PutFile(packageFile, std::move(package.bytes));
  files.SetFreeSpace(package.freeSpace);
  int32_t lastPercent = 0;
  try {
    ExtractPackage(packageFile, kInstallFolder, u"",
                   [&](int32_t percent) {
                     Check(percent >= 0 && percent <= 100, "progress within 0..100");
                     Check(percent >= lastPercent, "progress never goes back");
                     lastPercent = percent;
                   },
                   files);
  } catch (const EPackageError& e) {
    // Read, decompression, write and memory errors come from the member in
    // hand, after its file was created (the table's own read errors come
    // before any file is).
    const PackageErrorKind kind = e.Kind();
    const bool memberFailed = kind == PackageErrorKind::Read || kind == PackageErrorKind::Decompress ||
                              kind == PackageErrorKind::Write || kind == PackageErrorKind::OutOfMemory;
    if (memberFailed && !files.Created().empty()) {
      const std::string* left = files.FindFile(files.Created().back());
      Check(left != nullptr && left->empty(), "a failed member leaves an empty file");
    }
  }
  Check(files.OpenHandles() == 0, "every file is closed");
  // Nothing lands outside the install folder and the system folder: every
  // file but the package lies below one of them, through plain names only.
  for (const auto& [path, bytes] : files.Files()) {
    if (path == packageFile) continue;
    std::u16string rest;
    for (const std::u16string& base : {kInstallFolder, kSystemFolder}) {
      if (path.compare(0, base.size(), base) == 0) rest = path.substr(base.size());
    }
    Check(!rest.empty(), "every file lies below the install or the system folder");
    size_t start = 0;
    while (start <= rest.size()) {
      size_t end = rest.find_first_of(u"\\/", start);
      if (end == std::u16string::npos) end = rest.size();
      const std::u16string part = rest.substr(start, end - start);
      Check(!part.empty() && part != u"." && part != u".." && part.find(u':') == std::u16string::npos,
            "a file's path below its folder holds only plain names");
      start = end + 1;
    }
  }
  return 0;
}
