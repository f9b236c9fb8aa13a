#pragma once
// A PackageFileSystem that passes every call on to another one and reports
// what was put on the disk: each folder created and each file written, with
// the bytes it took. The installer wraps the real file system in it to write
// its setup log, so the extractor itself knows nothing of logging.

#include <cstdint>
#include <memory>
#include <string>

#include "package/PackageFileSystem.h"

namespace vo {

class PackageFileObserver {
 public:
  virtual ~PackageFileObserver() = default;
  // A folder that did not exist before CreateFolders and does now.
  virtual void FolderCreated(const std::u16string& path) = 0;
  // A file created by CreateForWriting, once it is closed: the bytes written
  // to it, and whether a write failed on the way.
  virtual void FileWritten(const std::u16string& path, int64_t bytes, bool writeFailed) = 0;
};

class LoggingFileSystem final : public PackageFileSystem {
 public:
  LoggingFileSystem(PackageFileSystem& inner, PackageFileObserver& observer) : fInner(inner), fObserver(observer) {}

  bool FolderExists(const std::u16string& path) override { return fInner.FolderExists(path); }
  bool FileExists(const std::u16string& path) override { return fInner.FileExists(path); }
  void CreateFolders(const std::u16string& path) override;
  std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) override {
    return fInner.OpenForReading(path);
  }
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override;
  std::u16string SystemFolder() override { return fInner.SystemFolder(); }
  void MoveReplacing(const std::u16string& from, const std::u16string& to) override { fInner.MoveReplacing(from, to); }
  bool RemoveFile(const std::u16string& path) override { return fInner.RemoveFile(path); }
  bool RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    return fInner.RenameNoReplace(from, to);
  }

 private:
  PackageFileSystem& fInner;
  PackageFileObserver& fObserver;
};

}  // namespace vo
