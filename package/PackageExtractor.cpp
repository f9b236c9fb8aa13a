#include "package/PackageExtractor.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "package/MemberInflater.h"
#include "package/MemberPath.h"
#include "package/MemberZstdDecoder.h"
#include "package/PackageCodec.h"
#include "package/PackageError.h"
#include "package/PackageReader.h"

namespace vo {
namespace {

// Nearest integer, halves to the even neighbour (12.5 gives 12, 37.5 gives 38).
int32_t RoundHalfToEven(double value) {
  double whole = std::floor(value);
  double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<int32_t>(whole);
}

// Walks one package: owns the package file, the file table, the inflater with
// its buffers and the member in hand. The table is a local of Run, so it goes
// before the inflater and the package file.
class Extraction {
 public:
  // With an open package it is read in place; otherwise packageFile is opened.
  Extraction(const std::u16string& packageFile, const std::u16string& installFolder,
             const std::u16string& passphrase, const ExtractProgressCallback& progress,
             PackageFileSystem& fileSystem, std::unique_ptr<PackageInputFile> package = nullptr)
      : fPackageFile(packageFile),
        fInstallFolder(installFolder),
        fPassphrase(passphrase),
        fProgress(progress),
        fFileSystem(fileSystem),
        fInput(std::move(package)) {}

  void Run() {
    if (!fInput) fInput = fFileSystem.OpenForReading(fPackageFile);
    fFileSize = fInput->Size();
    std::optional<std::string> tableText = ReadTableText(*fInput, fPackageFile);
    if (!tableText) {
      CreateInstallFolder();
      return;
    }
    fCodec = ReadPackageCodec(*fInput, fPackageFile);
    PackageFileTable table(*tableText, fPassphrase, fPackageFile);
    tableText.reset();

    // Every row's unpacked size and place are checked before any folder or
    // file is made, so a table that is bad anywhere in them writes nothing.
    const int32_t rows = table.RowCount();
    int32_t total = 0;
    for (int32_t row = 0; row < rows; ++row) {
      table.CheckMemberPath(row);
      int32_t size = table.UnpackedSize(row);
      if (size > std::numeric_limits<int32_t>::max() - total) {
        throw EPackageError(PackageErrorKind::Table, "bad file table in package " + Quoted(fPackageFile) +
                                                         ": the unpacked sizes up to row " + std::to_string(row + 1) +
                                                         " add up to more than 2147483647 bytes");
      }
      total += size;
      fLargestMember = std::max(fLargestMember, size);
    }
    CreateInstallFolder();

    int32_t done = 0;
    for (int32_t row = 0; row < rows; ++row) {
      const std::u16string targetFolder = table.TargetFolder(row);
      const bool useInstallDir = table.UseInstallDir(row);
      const bool systemFolderRow = !useInstallDir && SystemFolderTokenLength(targetFolder) > 0;
      const std::u16string folder = ResolveTargetFolder(targetFolder, useInstallDir, fInstallFolder,
                                                        [this] { return fFileSystem.SystemFolder(); });
      // Rows of one folder follow each other: its parts are looked at once.
      if (!useInstallDir && folder != fLinkFreeFolder) {
        const size_t token = SystemFolderTokenLength(targetFolder);
        RefuseLinksBelow(token > 0 ? fFileSystem.SystemFolder() : fInstallFolder, targetFolder.substr(token), row);
        fLinkFreeFolder = folder;
      }
      if (!fFileSystem.FolderExists(folder)) fFileSystem.CreateFolders(folder);

      const std::u16string fileName = table.FileName(row);
      if (systemFolderRow && fFileSystem.FileExists(folder + fileName)) {
        Skip(table.PackedSize(row));
        done += table.UnpackedSize(row);
        continue;
      }
      const int32_t unpacked = table.UnpackedSize(row);
      WriteMember(table, row, folder + TargetFileName(fileName), unpacked);
      done += unpacked;
      if (fProgress) {
        double share = total > 0 ? double(done) / double(total) : double(row + 1) / double(rows);
        fProgress(RoundHalfToEven(share * 100.0));
      }
    }
  }

 private:
  // The folders a row names below the install (or system) folder are written
  // into only while none of them is a link: whoever can write the install
  // folder could have put a junction there that leads anywhere. The base
  // itself is the user's choice and may be a link.
  void RefuseLinksBelow(const std::u16string& base, const std::u16string& relative, int32_t row) {
    std::u16string folder = base;
    size_t start = 0;
    while (start < relative.size()) {
      size_t end = relative.find_first_of(u"\\/", start);
      if (end == std::u16string::npos) end = relative.size();
      if (end > start) {
        folder += relative.substr(start, end - start);
        if (fFileSystem.IsLink(folder)) {
          throw EPackageError(PackageErrorKind::Create,
                              MemberContext(row, folder) + "the folder is a link to another place (a junction or a "
                                                           "symbolic link); nothing is written through it");
        }
        folder += u'\\';
      }
      start = end + 1;
    }
  }

  void CreateInstallFolder() {
    if (!fFileSystem.FolderExists(fInstallFolder)) fFileSystem.CreateFolders(fInstallFolder);
  }

  std::string MemberContext(int32_t row, const std::u16string& path) const {
    return "package " + Quoted(fPackageFile) + ", member " + std::to_string(row + 1) + " (" + Quoted(path) + "): ";
  }

  // A skipped member costs one forward seek. A position past the end is not
  // sought: the next member's read reports it.
  void Skip(int32_t packed) {
    fPosition += packed;
    if (fPosition <= fFileSize) fInput->Seek(fPosition);
  }

  // Creates the target, then streams the member into it. Whatever fails after
  // the target exists empties it again, so it never keeps bytes that were not
  // checked to the stream's end.
  void WriteMember(PackageFileTable& table, int32_t row, const std::u16string& path, int32_t unpacked) {
    const std::string context = MemberContext(row, path);
    // A link under the member's name is left alone: Wine follows a Unix
    // symbolic link even to delete or rename it, so replacing the link
    // could reach the file it leads to.
    if (fFileSystem.IsLink(path)) {
      throw EPackageError(PackageErrorKind::Create,
                          context + "the name is a link to another place (a symbolic link); nothing is written through it");
    }
    std::unique_ptr<PackageOutputFile> target;
    try {
      target = fFileSystem.CreateForWriting(path);
    } catch (const EPackageError& e) {
      throw EPackageError(e.Kind(), context + e.what());
    }
    try {
      StreamMember(table.PackedSize(row), unpacked, *target, context);
    } catch (...) {
      target->TruncateToEmpty();
      throw;
    }
  }

  void StreamMember(int32_t packed, int32_t unpacked, PackageOutputFile& target, const std::string& context) {
    if (packed > fFileSize - fPosition) {
      throw EPackageError(PackageErrorKind::Read, context + "its " + std::to_string(packed) + " packed bytes at offset " +
                                                      std::to_string(fPosition) + " run past the end of the package (" +
                                                      std::to_string(fFileSize) + " bytes)");
    }
    const bool zstd = fCodec == PackageCodec::Zstd;
    if (unpacked > (zstd ? MaxZstdDecodedSize(packed) : MaxInflatedSize(packed))) {
      throw EPackageError(PackageErrorKind::Decompress, context + std::to_string(packed) + " packed bytes cannot " +
                                                            (zstd ? "decode" : "inflate") + " to the " +
                                                            std::to_string(unpacked) + " bytes its row gives");
    }
    if (packed == 0 && unpacked == 0) return;  // nothing stored, an empty file

    auto read = [&](uint8_t* buffer, size_t count) {
      if (fInput->Read(buffer, count) != count) {
        throw EPackageError(PackageErrorKind::Read, context + "the package ended inside its packed bytes");
      }
    };
    auto write = [&](const uint8_t* data, size_t count) { target.Write(data, count); };
    InflateResult result = zstd ? Decoder<MemberZstdDecoder>(fZstdDecoder, context).Decode(packed, unpacked, read, write)
                                : Decoder<MemberInflater>(fInflater, context).Inflate(packed, unpacked, read, write);
    ThrowIfFailed(result, context, unpacked);
    fPosition += packed;
  }

  // The inflater and its buffers, made for the first member that needs them
  // and kept for the others. No member holds more packed bytes than the
  // package or more unpacked bytes than the largest row gives, so a package of
  // small files gets small buffers.
  template <typename MemberDecoder>
  MemberDecoder& Decoder(std::unique_ptr<MemberDecoder>& decoder, const std::string& context) {
    if (!decoder) {
      const size_t input = size_t(std::min<int64_t>(fFileSize, int64_t(MemberInflater::kInputBufferSize)));
      const size_t output = size_t(std::min<int64_t>(fLargestMember, int64_t(MemberInflater::kOutputBufferSize)));
      try {
        decoder = std::make_unique<MemberDecoder>(input, output);
      } catch (const std::bad_alloc&) {
        throw EPackageError(PackageErrorKind::OutOfMemory,
                            context + "cannot allocate " + std::to_string(input + output) + " bytes for its buffers");
      }
    }
    return *decoder;
  }

  void ThrowIfFailed(const InflateResult& result, const std::string& context, int32_t unpacked) const {
    const std::string detail = result.detail.empty() ? "" : " (" + result.detail + ")";
    const char* const stream = fCodec == PackageCodec::Zstd ? "zstd frame" : "zlib stream";
    switch (result.outcome) {
      case InflateOutcome::Complete: return;
      case InflateOutcome::EndedEarly:
        throw EPackageError(PackageErrorKind::Read, context + "its stream ends after " + std::to_string(result.produced) +
                                                        " of its " + std::to_string(unpacked) + " bytes" + detail);
      case InflateOutcome::InputExhausted:
        throw EPackageError(PackageErrorKind::Read,
                            context + "its packed bytes end before its stream does (" + std::to_string(result.produced) +
                                " of " + std::to_string(unpacked) + " bytes inflated)");
      case InflateOutcome::TooLong:
        throw EPackageError(PackageErrorKind::Decompress,
                            context + "its stream holds more than the " + std::to_string(unpacked) + " bytes its row gives");
      case InflateOutcome::NeedsDictionary:
        throw EPackageError(PackageErrorKind::Decompress, context + "its stream asks for a preset dictionary");
      case InflateOutcome::DataError:
        throw EPackageError(PackageErrorKind::Decompress, context + "its data is not a valid " + stream + detail);
      case InflateOutcome::OutOfMemory:
        throw EPackageError(PackageErrorKind::OutOfMemory, context + (fCodec == PackageCodec::Zstd ? "zstd" : "zlib") +
                                                             " could not allocate its state");
    }
  }

  const std::u16string& fPackageFile;
  const std::u16string& fInstallFolder;
  const std::u16string& fPassphrase;
  const ExtractProgressCallback& fProgress;
  PackageFileSystem& fFileSystem;
  std::unique_ptr<PackageInputFile> fInput;
  std::unique_ptr<MemberInflater> fInflater;
  std::unique_ptr<MemberZstdDecoder> fZstdDecoder;
  PackageCodec fCodec = PackageCodec::Zlib;
  int64_t fFileSize = 0;
  int64_t fPosition = 0;
  int32_t fLargestMember = 0;  // the largest unpacked size in the table
  std::u16string fLinkFreeFolder;  // the last row's folder, found to pass through no link
};

}  // namespace

std::u16string ResolveTargetFolder(const std::u16string& targetFolder, bool useInstallDir,
                                   const std::u16string& installFolder,
                                   const std::function<std::u16string()>& systemFolder) {
  if (useInstallDir) return installFolder;
  if (const size_t token = SystemFolderTokenLength(targetFolder)) return systemFolder() + targetFolder.substr(token);
  return installFolder + targetFolder;
}

std::u16string TargetFileName(const std::u16string& fileName) {
  size_t cut = fileName.find_last_of(u"\\/:");
  return cut == std::u16string::npos ? fileName : fileName.substr(cut + 1);
}

void ExtractPackage(const std::u16string& packageFile, const std::u16string& installFolder,
                    const std::u16string& passphrase, const ExtractProgressCallback& progress,
                    PackageFileSystem& fileSystem) {
  Extraction(packageFile, installFolder, passphrase, progress, fileSystem).Run();
}

void ExtractPackage(std::unique_ptr<PackageInputFile> package, const std::u16string& packageName,
                    const std::u16string& installFolder, const std::u16string& passphrase,
                    const ExtractProgressCallback& progress, PackageFileSystem& fileSystem) {
  Extraction(packageName, installFolder, passphrase, progress, fileSystem, std::move(package)).Run();
}

void ExtractPackage(const std::u16string& packageFile, const std::u16string& installFolder,
                    const std::u16string& passphrase, const ExtractProgressCallback& progress) {
  std::unique_ptr<PackageFileSystem> fileSystem = CreatePlatformFileSystem();
  ExtractPackage(packageFile, installFolder, passphrase, progress, *fileSystem);
}

}  // namespace vo
