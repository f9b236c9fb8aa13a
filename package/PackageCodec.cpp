#include "package/PackageCodec.h"

#include "package/PackageError.h"

namespace vo {

const char* CodecName(PackageCodec codec) { return codec == PackageCodec::Zstd ? "zstd" : "zlib"; }

std::optional<PackageCodec> CodecFromName(const std::string& name) {
  std::string lower;
  for (char c : name) lower += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  if (lower == "zlib") return PackageCodec::Zlib;
  if (lower == "zstd" || lower == "best") return PackageCodec::Zstd;
  return std::nullopt;
}

PackageCodec ReadPackageCodec(PackageInputFile& input, const std::u16string& packageName) {
  const int64_t size = input.Size();
  if (size < 3) {
    throw EPackageError(PackageErrorKind::Read, "package " + Quoted(packageName) + " is not a setup package: its " +
                                                    std::to_string(size) + " bytes are too few for a tail");
  }
  uint8_t last[3] = {};
  input.Seek(size - 3);
  if (input.Read(last, sizeof last) != sizeof last) {
    throw EPackageError(PackageErrorKind::Read, "package " + Quoted(packageName) + " ended while reading its tail");
  }
  input.Seek(0);
  const bool layoutA = last[0] == 0x0A && last[1] == 0x14;
  if (!layoutA) return PackageCodec::Zlib;
  switch (last[2]) {
    case uint8_t(PackageCodec::Zlib): return PackageCodec::Zlib;
    case uint8_t(PackageCodec::Zstd): return PackageCodec::Zstd;
    default:
      throw EPackageError(PackageErrorKind::Decompress,
                          "package " + Quoted(packageName) + ": this package is compressed with codec " +
                              std::to_string(last[2]) +
                              ", which this program cannot read; make it again with a package tool of the same "
                              "version as this program, or use a newer program");
  }
}

}  // namespace vo
