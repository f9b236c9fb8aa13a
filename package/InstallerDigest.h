#pragma once
// The integrity check of a whole installer, shared by the installer (at
// start-up, on its own file) and by `stpack verify`; `stpack make` writes it.
//
// An installer carries the resource INSTALLERDIGEST (RT_RCDATA, 80 bytes):
//
//   offset  size
//   0       8    "STPDIG01"
//   8       8    the installer's size as the tool wrote it, little-endian
//   16      32   SHA-256 of every byte outside the package (below)
//   48      32   SHA-256 of the package (the SETUPPACKAGE resource's data)
//
// "Outside the package" is every byte of the file as made, in order, except
// what signing rewrites (the optional header's CheckSum and the certificate
// table's data-directory entry), the digest resource's own 80 bytes and the
// package's bytes. Bytes after the size as made may only be a signature:
// zero padding to a multiple of 8, then the certificate table its directory
// entry points to, up to the end of the file. So an installer signed with
// Authenticode still checks, and any other single changed, added or removed
// byte fails a digest or the size.
//
// The outside part is small (code, settings, pictures) and is checked before
// anything is read from it; the package is checked before the first byte is
// written (PackageDigest.h).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "package/PackageDigest.h"
#include "pe/PeIo.h"

namespace vo {

extern const char16_t kInstallerDigestResource[];  // u"InstallerDigest", type RT_RCDATA
constexpr size_t kInstallerDigestSize = 80;

struct InstallerDigest {
  uint64_t madeSize = 0;          // the installer's size before any signature
  Sha256Digest outsidePackage{};  // everything but the package and the parts signing rewrites
  Sha256Digest package{};         // the package's bytes
};

// The 80 bytes of the resource, and back; nullopt for another size or mark.
std::string FormatInstallerDigest(const InstallerDigest& digest);
std::optional<InstallerDigest> ParseInstallerDigest(const std::string& bytes);

struct FileRange {
  uint64_t offset = 0;
  uint64_t size = 0;
  uint64_t End() const { return offset + size; }
};

// Where the parts of an installer lie in its file.
struct InstallerParts {
  uint64_t fileSize = 0;
  FileRange checkSum;          // 4 bytes
  FileRange certificateEntry;  // 8 bytes; empty when the header has no slot for it
  FileRange certificate;       // what that entry points to, as stored
  FileRange digest;            // the INSTALLERDIGEST resource's data
  FileRange package;           // the SETUPPACKAGE resource's data

  // What the outside digest leaves out, in file order.
  std::vector<FileRange> Excluded() const;
};

// Reads the headers and the resource directory, every offset checked against
// the file; raises EPackageError for anything else than a 32-bit program
// that carries both resources.
InstallerParts LocateInstallerParts(pe::Source& file);

// SHA-256 of a file's bytes, fed in file order in pieces of any size, with
// the excluded ranges left out.
class OutsidePackageHash {
 public:
  explicit OutsidePackageHash(std::vector<FileRange> excluded);
  ~OutsidePackageHash();
  OutsidePackageHash(const OutsidePackageHash&) = delete;
  OutsidePackageHash& operator=(const OutsidePackageHash&) = delete;

  // The bytes at offset; offsets must follow each other.
  void Add(uint64_t offset, const void* data, size_t count);
  Sha256Digest Final();

 private:
  struct State;
  std::vector<FileRange> fExcluded;
  std::unique_ptr<State> fState;
};

// The check of everything but the package's bytes. Never raises: a file that
// cannot be read or parsed is damaged, with the reason in detail.
struct InstallerCheck {
  bool intact = false;
  std::string detail;  // one sentence for the log
  InstallerParts parts;
  InstallerDigest digest;
};
InstallerCheck CheckInstallerOutsidePackage(pe::Source& file);

}  // namespace vo
