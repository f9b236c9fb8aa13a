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

class LoggingFileSystem final : public ForwardingFileSystem {
 public:
  LoggingFileSystem(PackageFileSystem& inner, PackageFileObserver& observer)
      : ForwardingFileSystem(inner), fObserver(observer) {}

  void CreateFolders(const std::u16string& path) override;
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override;

 private:
  PackageFileObserver& fObserver;
};

}  // namespace vo
