#pragma once
// A file system that keeps in memory a copy of what is written to one path.
// The installer acts on the uninstall list it extracted, from the checked
// package, never on what the folder holds under that name afterwards: anyone
// who can write the install folder may have replaced it since.

#include <memory>
#include <optional>
#include <string>

#include "package/PackageFileSystem.h"

namespace vo {

class CopyingFileSystem final : public ForwardingFileSystem {
 public:
  // path as the extractor names it: the install folder and the file name.
  CopyingFileSystem(PackageFileSystem& inner, std::u16string path) : ForwardingFileSystem(inner), fPath(std::move(path)) {}

  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override;

  // The bytes last written to the path (after a member that failed and was
  // emptied, none), or nothing when it was never created.
  const std::optional<std::string>& Copy() const { return fCopy; }

 private:
  std::u16string fPath;
  std::optional<std::string> fCopy;
};

}  // namespace vo
