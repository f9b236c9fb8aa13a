#pragma once
// Fixtures for the package tests: a scratch folder, packages made by the
// package writer (whole, or assembled from its pieces when a test needs a
// wrong one), and a file system that watches what the extractor opens.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "package/PackageError.h"
#include "package/PackageExtractor.h"
#include "package/PackageFileSystem.h"
#include "package/PackageWriter.h"

namespace vo::test {

namespace fs = std::filesystem;

// One member of a fixture package.
struct Member {
  std::u16string folder;  // TargetFolder as stored
  std::u16string name;    // FileName as stored (before escaping)
  std::string content;
  bool useInstallDir = false;
};

inline std::u16string Utf16Decimal(size_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// The text a test gives for a path, in the form the package code takes.
inline std::u16string Api(const fs::path& path) { return path.u16string(); }

// A folder below the system's temporary folder, removed with its contents.
class Sandbox {
 public:
  Sandbox() {
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
      fs::path candidate = fs::temp_directory_path() / ("vo-package-test-" + std::to_string(seed()));
      std::error_code ec;
      if (fs::create_directory(candidate, ec)) {
        fRoot = candidate;
        return;
      }
    }
    throw std::runtime_error("cannot create a scratch folder");
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;
  ~Sandbox() {
    std::error_code ec;
    fs::remove_all(fRoot, ec);
  }

  const fs::path& Root() const { return fRoot; }
  fs::path Path(const std::string& relative) const { return fRoot / fs::u8path(relative); }
  // A folder for the API: the path with a trailing backslash.
  std::u16string Folder(const std::string& relative) const { return Api(Path(relative)) + u"\\"; }

 private:
  fs::path fRoot;
};

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write fixture " + path.string());
}

// The file's bytes, or nullopt when there is no file.
inline std::optional<std::string> ReadBytes(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// A reproducible random source for sealing.
inline std::function<uint32_t()> FixedRandom(uint32_t seed = 20261210) {
  auto engine = std::make_shared<std::mt19937>(seed);
  return [engine] { return static_cast<uint32_t>((*engine)()); };
}

// Sealed table text for a raw table text (tests that need malformed rows).
inline std::string Sealed(const std::u16string& tableText, const std::u16string& passPhrase = u"") {
  return SealFileTable(tableText, passPhrase, kDefaultCipherIndex, kDefaultHashIndex, FixedRandom());
}

// The pieces of a package, so that a test can damage one before assembly.
struct PackageParts {
  std::vector<std::string> streams;                  // one zlib stream per member
  std::vector<std::vector<std::u16string>> rows;     // the table's cells
  std::string Members() const {
    std::string all;
    for (const std::string& s : streams) all += s;
    return all;
  }
  std::string Assemble(TailLayout layout = TailLayout::A, uint8_t finalByte = 0x02) const {
    return Members() + PackageTail(Sealed(FormatFileTable(rows)), layout, finalByte);
  }
};

inline PackageParts MakeParts(const std::vector<Member>& members, PackageCodec codec = PackageCodec::Zlib) {
  PackageParts parts;
  for (const Member& m : members) {
    parts.streams.push_back(codec == PackageCodec::Zstd ? CompressMemberZstd(m.content) : CompressMember(m.content));
    parts.rows.push_back(FileTableRowCells(m.folder, m.name, int32_t(parts.streams.back().size()),
                                           int32_t(m.content.size()), m.useInstallDir));
  }
  return parts;
}

// An output file that collects its bytes in memory.
class MemoryOutput final : public PackageOutputFile {
 public:
  explicit MemoryOutput(std::string& bytes) : fBytes(bytes) {}
  void Write(const void* data, size_t count) override { fBytes.append(static_cast<const char*>(data), count); }
  void WriteAt(int64_t offset, const void* data, size_t count) override {
    fBytes.replace(size_t(offset), count, static_cast<const char*>(data), count);
  }
  bool TruncateToEmpty() override {
    fBytes.clear();
    return true;
  }

 private:
  std::string& fBytes;
};

// A whole package as the package tool writes it (PackageWriter).
inline std::string WritePackage(const std::vector<Member>& members, const PackageWriterOptions& options = {}) {
  std::string bytes;
  MemoryOutput output(bytes);
  PackageWriter writer(output, options);
  for (const Member& m : members) writer.AddMember(m.folder, m.name, m.useInstallDir, m.content.data(), m.content.size());
  writer.Finish();
  return bytes;
}

// A package made without the writer's checks, for rows it refuses: the table
// text is formatted here ("#StpFiles,<rows>#", rows split by "|", cells by
// ","; column 1 keeps "," and "|" as U+001A and U+001B), so any cell goes in
// as it is, control characters included.
inline std::string CraftPackage(const std::vector<Member>& members) {
  std::string streams;
  std::u16string table = u"#StpFiles," + Utf16Decimal(members.size()) + u"#";
  for (size_t i = 0; i < members.size(); ++i) {
    const Member& m = members[i];
    const std::string stream = CompressMember(m.content);
    streams += stream;
    std::u16string name = m.name;
    for (char16_t& c : name) c = c == u',' ? u'\x1A' : c == u'|' ? u'\x1B' : c;
    if (i > 0) table += u'|';
    table += m.folder + u"," + name + u"," + Utf16Decimal(stream.size()) + u"," + Utf16Decimal(m.content.size());
    if (m.useInstallDir) table += u",-1";
  }
  return streams + PackageTail(Sealed(table));
}

// Rows that leave their base folder or name what Windows would not create as
// written, each with a part of the reason the rule gives. In a crafted
// package they stand as member 3, after two good ones.
struct HostileRow {
  Member member;
  const char* reason;
};
inline std::vector<HostileRow> HostileRows() {
  std::u16string bomb;
  for (int i = 0; i < 5000; ++i) bomb += u"a\\";
  std::u16string deep;
  for (int i = 0; i < 33; ++i) deep += u"d\\";
  return {
      {{u"..\\..\\escaped\\", u"x.txt", "x"}, "target folder \"..\\..\\escaped\\\" leaves the install folder: a \"..\" part"},
      {{u"../", u"x.txt", "x"}, "a \"/\", which Windows takes as a separator"},
      {{u"$System$..\\..\\", u"x.txt", "x"}, "leaves the system folder: a \"..\" part"},
      {{u"$SYSTEM$..\\..\\x\\", u"x.txt", "x"}, "leaves the system folder: a \"..\" part"},
      {{u"$Third$..\\..\\..\\", u"x.txt", "x"}, "leaves the system folder: a \"..\" part"},
      {{u"$/../../escaped/", u"x.txt", "x"}, "neither \"$System$\" nor \"$Third$\""},
      {{u"C:\\esc_bs\\", u"a.txt", "x"}, "a drive letter"},
      {{u"\\users\\Public\\", u"pub.txt", "x"}, "a rooted path"},
      {{u"\\\\?\\C:\\x\\", u"x.txt", "x"}, "a UNC or device path"},
      {{u"\\\\server\\share\\", u"x.txt", "x"}, "a UNC or device path"},
      {{u"Lang\\\\", u"x.txt", "x"}, "an empty part"},
      {{u"ab:stream\\", u"x.txt", "x"}, "a \":\""},
      {{u"Lang\\$System$\\", u"x.txt", "x"}, "token after its start"},
      {{u"CON\\", u"x.txt", "x"}, "keeps for a device"},
      {{u"Lang.\\", u"x.txt", "x"}, "ends in a dot or a space"},
      {{u"L\x01\\", u"x.txt", "x"}, "a control character"},
      {{u"..\\", u"x.txt", "x", true}, "a \"..\" part"},  // column 0 counts with UseInstallDir too
      {{u"", u"..\\x.dll", "x"}, "file name \"..\\x.dll\" leaves the install folder"},
      {{u"", u"sub\\nul.txt", "x"}, "keeps for a device"},
      {{deep, u"x.txt", "x"}, "more than 32 folder levels"},
      {{bomb, u"x.txt", "x"}, "longer than 259 characters"},
  };
}

// Wraps a file system (by default the platform's) and records what the
// extractor does: files open right now, every seek of the package, every
// target created and where the package's read position stood then.
class WatchingFileSystem final : public PackageFileSystem {
 public:
  explicit WatchingFileSystem(std::u16string systemFolder) : fReal(CreatePlatformFileSystem(std::move(systemFolder))) {}
  explicit WatchingFileSystem(std::unique_ptr<PackageFileSystem> real) : fReal(std::move(real)) {}

  int openFiles = 0;
  std::vector<int64_t> seeks;
  std::vector<std::u16string> created;
  std::vector<int64_t> readPositionAtCreate;  // one per created target
  int64_t readPosition = 0;                   // of the last file opened for reading
  std::vector<size_t> writeSizes;             // every write to a target, in order

  bool FolderExists(const std::u16string& path) override { return fReal->FolderExists(path); }
  bool FileExists(const std::u16string& path) override { return fReal->FileExists(path); }
  void CreateFolders(const std::u16string& path) override { fReal->CreateFolders(path); }
  std::u16string SystemFolder() override { return fReal->SystemFolder(); }
  void MoveReplacing(const std::u16string& from, const std::u16string& to) override { fReal->MoveReplacing(from, to); }
  bool RemoveFile(const std::u16string& path) override { return fReal->RemoveFile(path); }
  bool IsLink(const std::u16string& path) override { return fReal->IsLink(path); }

  std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) override {
    return std::make_unique<Input>(fReal->OpenForReading(path), *this);
  }
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override {
    auto file = std::make_unique<Output>(fReal->CreateForWriting(path), *this);
    created.push_back(path);
    readPositionAtCreate.push_back(readPosition);
    return file;
  }

  PackageFileSystem& Real() { return *fReal; }

 private:
  class Input final : public PackageInputFile {
   public:
    Input(std::unique_ptr<PackageInputFile> real, WatchingFileSystem& owner) : fReal(std::move(real)), fOwner(owner) {
      ++fOwner.openFiles;
      fOwner.readPosition = 0;
    }
    ~Input() override { --fOwner.openFiles; }
    int64_t Size() override { return fReal->Size(); }
    void Seek(int64_t offset) override {
      fOwner.seeks.push_back(offset);
      fReal->Seek(offset);
      fOwner.readPosition = offset;
    }
    size_t Read(void* buffer, size_t count) override {
      size_t got = fReal->Read(buffer, count);
      fOwner.readPosition += int64_t(got);
      return got;
    }

   private:
    std::unique_ptr<PackageInputFile> fReal;
    WatchingFileSystem& fOwner;
  };
  class Output final : public PackageOutputFile {
   public:
    Output(std::unique_ptr<PackageOutputFile> real, WatchingFileSystem& owner) : fReal(std::move(real)), fOwner(owner) {
      ++fOwner.openFiles;
    }
    ~Output() override { --fOwner.openFiles; }
    void Write(const void* data, size_t count) override {
      fOwner.writeSizes.push_back(count);
      fReal->Write(data, count);
    }
    void WriteAt(int64_t offset, const void* data, size_t count) override { fReal->WriteAt(offset, data, count); }
    bool TruncateToEmpty() override { return fReal->TruncateToEmpty(); }

   private:
    std::unique_ptr<PackageOutputFile> fReal;
    WatchingFileSystem& fOwner;
  };

  std::unique_ptr<PackageFileSystem> fReal;
};

// What an extraction ended with: no error, or the kind and text of one.
struct Outcome {
  std::optional<PackageErrorKind> error;
  std::string message;
};

inline Outcome Extract(PackageFileSystem& fileSystem, const std::u16string& package, const std::u16string& installDir,
                       const ExtractProgressCallback& progress = {}, const std::u16string& passPhrase = u"") {
  Outcome outcome;
  try {
    ExtractPackage(package, installDir, passPhrase, progress, fileSystem);
  } catch (const EPackageError& e) {
    outcome.error = e.Kind();
    outcome.message = e.what();
  }
  return outcome;
}

inline std::string KindName(const std::optional<PackageErrorKind>& kind) {
  return kind ? PackageErrorKindName(*kind) : "none";
}

}  // namespace vo::test
