#pragma once
// Stamping an installer: the stub with the product's resources and a package
// file written into it, sealed with the digest of the whole file
// (package/InstallerDigest.h). `stpack make` writes the package first and then
// stamps it; the end-to-end tests stamp packages no writer would make.

#include <memory>
#include <string>

#include "package/InstallerDigest.h"
#include "package/PackageFileSystem.h"
#include "pe/PeImage.h"
#include "pe/PeIo.h"
#include "pe/ResourceStamper.h"
#include "tools/stpack/ProductFolder.h"

namespace vo::stpack {

// A package-code input file as the PE module's random-access source.
class FileSource final : public pe::Source {
 public:
  FileSource(std::unique_ptr<PackageInputFile> file, std::string name);
  uint64_t Size() const override { return fSize; }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override;

 private:
  std::unique_ptr<PackageInputFile> fFile;
  std::string fName;
  uint64_t fSize = 0;
};

// Writes the installer to installerPath: the stub (parsed as stubImage, with
// its resources read) with the product's resources and the package file at
// packagePath, whose SHA-256 is packageDigest, and the digest of the whole
// file sealed in once every other byte has gone out. installerName is the
// installer's file name, for its version block. Both files are closed on
// return, so that the caller can rename or delete them (Windows refuses both
// for a file open without sharing). Raises pe::PeError when the stub cannot
// take the resources; the caller removes installerPath then.
pe::StampResult StampInstaller(PackageFileSystem& files, const ProductFolder& product, const pe::PeImage& stubImage,
                               pe::Source& stub, const std::u16string& packagePath, const Sha256Digest& packageDigest,
                               const std::u16string& installerName, const std::u16string& installerPath);

}  // namespace vo::stpack
