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

#include "package/InstallerDigest.h"
#include "package/PackageFileSystem.h"

namespace vo::stpack {

struct PackageSource {
  // The platform's file system, in which `path` opens as the package
  // (the resource's bytes when path is an installer).
  std::unique_ptr<PackageFileSystem> files;
  bool isInstaller = false;
  int64_t packageSize = 0;
  // For an installer: the check of everything outside its package, as the
  // installer makes it at start-up, with the package's SHA-256 it carries.
  std::optional<InstallerCheck> installerCheck;
};

// Opens path as a package or an installer. systemFolder as for
// CreatePlatformFileSystem. Raises ToolError for a program without a
// package, naming it.
PackageSource OpenPackageSource(const std::u16string& path, const std::u16string& systemFolder = {});

}  // namespace vo::stpack
