#pragma once
// The setup package this installer carries and the digest it is checked
// against, as resources of the running executable. Both are used in place,
// from the mapped image: the package is never copied into a buffer.
//
//   package  type STPFILE, name SETUPPACKAGE
//   digest   RT_RCDATA, name PACKAGEDIGEST: the package's SHA-256, 32 bytes

#include <cstdint>
#include <optional>

#include "package/PackageDigest.h"

namespace vo {

struct EmbeddedPackage {
  std::optional<ByteView> package;  // nullopt when the resource is missing
  std::optional<ByteView> digest;   // nullopt for an installer without a digest
};

// Windows only: the two resources of the running executable.
EmbeddedPackage FindEmbeddedPackage();

// The sum of the package's unpacked sizes, read from its file table; nullopt
// without a package or when its table cannot be read (the setup log says why).
std::optional<int64_t> EmbeddedUnpackedTotal(const EmbeddedPackage& embedded);

}  // namespace vo
