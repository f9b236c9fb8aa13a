#pragma once
// The running installer's own file and the package it carries.
//
// The file is opened once, at start-up, for reading and without write
// sharing, and stays open until the process ends. Everything the installer
// trusts is read through that one handle: the check of the whole installer
// (InstallerDigest.h) before any setting, text or picture is used, the
// package check before the first write, and the extraction itself, which
// reads the package in place. Nothing is copied out and opened again by name,
// so nobody who can write the install folder can put other bytes in the way,
// and while the handle is open nobody can change the file. Memory stays flat
// whatever the package's size: it is read in slices, never mapped whole.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "package/InstallerDigest.h"
#include "package/PackageFileSystem.h"

namespace vo {

class InstallerImage {
 public:
  virtual ~InstallerImage() = default;
  // The check of everything outside the package, made when the file was
  // opened; not intact also when the file could not be opened or read.
  virtual const InstallerCheck& Check() const = 0;
  // The package as a file of its own, with its own read position; several
  // may be open at once, on several threads. Only after an intact Check().
  virtual std::unique_ptr<PackageInputFile> OpenPackage() = 0;
  // The package's SHA-256 the installer carries.
  ByteView PackageDigest() const { return {Check().digest.package.data(), Check().digest.package.size()}; }
  int64_t PackageSize() const { return int64_t(Check().parts.package.size); }
};

// Windows only: opens and checks the running program's file on the first
// call; the same object afterwards.
InstallerImage& RunningInstaller();

// Why the package's file table cannot be installed from (a malformed row, a
// member whose path leaves its folder), or nullopt when it can: the
// extractor's own check of every row, made before anything is written so
// that such a package counts as a damaged installer.
std::optional<std::string> PackageTableFault(InstallerImage& installer);

// The sum of the package's unpacked sizes, read from its file table through
// the installer's file; nullopt when the table cannot be read (the setup log
// says why).
std::optional<int64_t> EmbeddedUnpackedTotal(InstallerImage& installer);

}  // namespace vo
