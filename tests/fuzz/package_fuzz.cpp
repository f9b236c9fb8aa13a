// Fuzz target for the package reader and extractor: ExtractPackage into a
// scratch folder, with a file system that refuses every path outside it.
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
//      up to six members with contents, target folders and names chosen by
//      the input, then the input's edits to the rows' sizes and to the bytes
//      of the members.
// Mode 1 reaches the table's rows and mode 2 the inflater and the writes;
// mode 0 keeps the tail reader honest.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "crypt/VoCrypUtils.h"
#include "datatable/TextConvert.h"
#include "package/PackageError.h"
#include "package/PackageExtractor.h"
#include "package/PackageFileSystem.h"
#include "package/PackageWriter.h"

namespace {

namespace fs = std::filesystem;
using namespace vo;

// Reads the input front to back; past its end every byte is 0.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : fData(data), fSize(size) {}
  uint8_t Byte() { return fPos < fSize ? fData[fPos++] : 0; }
  uint16_t Word() { return uint16_t(Byte() | Byte() << 8); }
  std::string Take(size_t count) {
    count = std::min(count, fSize - fPos);
    std::string bytes(reinterpret_cast<const char*>(fData + fPos), count);
    fPos += count;
    return bytes;
  }
  std::string Rest() { return Take(fSize - fPos); }
  bool Empty() const { return fPos >= fSize; }

 private:
  const uint8_t* fData;
  size_t fSize;
  size_t fPos = 0;
};

std::u16string Widen(const std::string& bytes) {
  std::u16string text;
  for (unsigned char c : bytes) text += char16_t(c);
  return text;
}

// The platform file system, confined to one folder: a path that leaves it
// (an absolute target folder, "..", a "$SYSTEM$" row relative to the current
// folder) cannot be created, so no input writes outside the scratch folder.
class ConfinedFileSystem final : public PackageFileSystem {
 public:
  explicit ConfinedFileSystem(const std::string& root)
      : fRoot(root), fReal(CreatePlatformFileSystem(Utf8(root) + u"sys\\")) {}

  bool FolderExists(const std::u16string& path) override { return Inside(path) && fReal->FolderExists(path); }
  bool FileExists(const std::u16string& path) override { return Inside(path) && fReal->FileExists(path); }
  void CreateFolders(const std::u16string& path) override {
    if (Inside(path)) fReal->CreateFolders(path);
  }
  std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) override {
    if (!Inside(path)) throw EPackageError(PackageErrorKind::Open, "outside the scratch folder");
    return fReal->OpenForReading(path);
  }
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override {
    if (!Inside(path)) throw EPackageError(PackageErrorKind::Create, "outside the scratch folder");
    return fReal->CreateForWriting(path);
  }
  std::u16string SystemFolder() override { return fReal->SystemFolder(); }
  void MoveReplacing(const std::u16string&, const std::u16string&) override {}
  bool RemoveFile(const std::u16string&) override { return false; }

  static std::u16string Utf8(const std::string& text) { return std::u16string(text.begin(), text.end()); }

 private:
  bool Inside(const std::u16string& path) const {
    std::string native = Utf16ToUtf8(path);
    for (char& c : native) {
      if (c == '\\') c = '/';
    }
    if (native.compare(0, fRoot.size(), fRoot) != 0) return false;
    if (native.find('\0') != std::string::npos) return false;
    size_t start = fRoot.size();
    while (start <= native.size()) {
      size_t end = native.find('/', start);
      if (end == std::string::npos) end = native.size();
      if (native.compare(start, end - start, "..") == 0 && end - start == 2) return false;
      start = end + 1;
    }
    return true;
  }

  std::string fRoot;  // ends in "/", ASCII
  std::unique_ptr<PackageFileSystem> fReal;
};

struct Scratch {
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "vo-package-fuzz-XXXXXX").string();
    char* made = ::mkdtemp(pattern.data());
    if (made == nullptr) std::abort();
    root = std::string(made) + "/";
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  void Empty() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec)) fs::remove_all(entry.path(), ec);
  }
  std::string root;
};

Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

std::function<uint32_t()> FixedRandom() {
  auto engine = std::make_shared<std::mt19937>(7);
  return [engine] { return uint32_t((*engine)()); };
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

std::string FromMembers(Input& in) {
  static const char16_t* const folders[] = {u"",      u"Lang\\", u"$System$", u"$Third$", u"$system$x\\",
                                            u"$SYSTEM$", u"..\\",  u"a\\b\\",  u"$Third$System\\"};
  static const char16_t* const names[] = {u"a.txt", u"b,c.dll", u"sub\\d.bin", u"", u"..", u"e|f", u"x:y"};
  std::vector<std::string> streams;
  std::vector<std::vector<std::u16string>> rows;
  const int count = in.Byte() % 7;
  for (int i = 0; i < count; ++i) {
    const uint8_t shape = in.Byte();
    std::string content = in.Take(in.Byte());
    if (shape & 0x80) content = std::string(size_t(in.Word()), char(shape));  // long runs inflate a lot
    streams.push_back(CompressMember(content, shape % 10));
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
  std::string package;
  for (const std::string& s : streams) package += s;
  std::u16string text;
  try {
    text = FormatFileTable(rows);
  } catch (const std::invalid_argument&) {
    return package;  // a name the text form cannot carry: the tail is missing
  }
  std::u16string envelope = SealEnvelope(text, u"", 6, 1, FixedRandom());
  return package + PackageTail(std::string(envelope.begin(), envelope.end()), PickLayout(in.Byte()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch& scratch = TheScratch();
  Input in(data, size);
  const uint8_t mode = in.Byte() % 3;
  std::string package = mode == 0 ? in.Rest() : mode == 1 ? FromTableText(in) : FromMembers(in);

  const std::string packagePath = scratch.root + "Setup.stp";
  {
    std::ofstream out(packagePath, std::ios::binary | std::ios::trunc);
    out.write(package.data(), std::streamsize(package.size()));
  }
  ConfinedFileSystem files(scratch.root);
  try {
    ExtractPackage(ConfinedFileSystem::Utf8(packagePath), ConfinedFileSystem::Utf8(scratch.root) + u"inst\\", u"",
                   [](int32_t percent) {
                     if (percent < 0 || percent > 100) std::abort();
                   },
                   files);
  } catch (const EPackageError&) {
  }
  scratch.Empty();
  return 0;
}
