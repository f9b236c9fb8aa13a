#pragma once
// Which codec a package's members are compressed with, and the mark that
// says so: the last byte of a layout-A tail (0A 14 mark), which older
// readers never examined. 0x02 is zlib, the mark every package had before
// zstd; 0x03 is zstd. Packages with the other tails (B, C, D) carry no
// mark and are zlib. A mark this program does not know fails clearly,
// before any member is read.

#include <cstdint>
#include <optional>
#include <string>

#include "package/PackageFileSystem.h"

namespace vo {

enum class PackageCodec : uint8_t {
  Zlib = 0x02,  // one zlib stream (RFC 1950) per member
  Zstd = 0x03,  // one zstd frame (RFC 8878) per member, with its content size and checksum
};

// "zlib" or "zstd".
const char* CodecName(PackageCodec codec);

// The codec a product or command line names: "zlib", "zstd", or "best" (the
// strongest codec the installer carries, zstd); letter case is ignored.
// nullopt for any other name.
std::optional<PackageCodec> CodecFromName(const std::string& name);

// The codec of an open package, read from its tail; the read position is
// back at offset 0 afterwards. Raises EPackageError (read) for a file too
// short for its tail and for an unknown mark, whose message names it: "this
// package is compressed with codec N, which this program cannot read".
PackageCodec ReadPackageCodec(PackageInputFile& input, const std::u16string& packageName);

}  // namespace vo
