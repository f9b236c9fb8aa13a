#pragma once
// The package inside an installer: `list`, `extract` and `verify` take an
// installer made by `stpack make` as well as a package file. The installer's
// SetupPackage resource is read in place, as a window onto the program file;
// nothing is copied out.

#include <array>
#include <memory>
#include <optional>
#include <vector>
#include <string>

#include "package/PackageFileSystem.h"

namespace vo::stpack {

struct PackageSource {
  // The platform's file system, in which `path` opens as the package
  // (the resource's bytes when path is an installer).
  std::unique_ptr<PackageFileSystem> files;
  bool isInstaller = false;
  int64_t packageSize = 0;
  // The bytes of the installer's package digest resource (the SHA-256 of
  // its package, 32 bytes when intact), when it carries one.
  std::optional<std::vector<uint8_t>> digest;
};

// Opens path as a package or an installer. systemFolder as for
// CreatePlatformFileSystem. Raises ToolError for a program without a
// package, naming it.
PackageSource OpenPackageSource(const std::u16string& path, const std::u16string& systemFolder = {});

}  // namespace vo::stpack
