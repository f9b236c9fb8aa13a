#pragma once
// The setup package this installer carries and the digest it is checked
// against, as resources of the running executable. The package is never
// copied into a buffer: its file table is read from the mapped image, and
// its bytes are read through the executable's own file (OpenEmbeddedPackage),
// so that hashing it and writing it out keep the process's memory flat
// whatever its size: pages of the mapped image that were read once would stay
// resident.
//
//   package  type STPFILE, name SETUPPACKAGE
//   digest   RT_RCDATA, name PACKAGEDIGEST: the package's SHA-256, 32 bytes

#include <cstdint>
#include <memory>
#include <optional>

#include "package/PackageDigest.h"

namespace vo {

struct EmbeddedPackage {
  std::optional<ByteView> package;  // nullopt when the resource is missing
  std::optional<ByteView> digest;   // nullopt for an installer without a digest
};

// Windows only: the two resources of the running executable.
EmbeddedPackage FindEmbeddedPackage();

// The package as a file of its own: a window onto the executable file where
// the resource's bytes lie, or, when the file cannot be opened, the mapped
// bytes. nullptr without a package.
std::unique_ptr<PackageInputFile> OpenEmbeddedPackage(const EmbeddedPackage& embedded);

// The sum of the package's unpacked sizes, read from its file table; nullopt
// without a package or when its table cannot be read (the setup log says why).
std::optional<int64_t> EmbeddedUnpackedTotal(const EmbeddedPackage& embedded);

}  // namespace vo
