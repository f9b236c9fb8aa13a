#include "package/InstallerDigest.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "crypt/Sha256.h"
#include "package/PackageError.h"
#include "text/Error.h"

namespace vo {

const char16_t kInstallerDigestResource[] = u"InstallerDigest";

namespace {

const char kMark[] = "STPDIG01";
constexpr size_t kMarkSize = 8;
constexpr uint32_t kCertificateAlignment = 8;

void Store64(uint8_t* at, uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = uint8_t(value >> (8 * i));
}

uint64_t Load64(const uint8_t* at) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | at[i];
  return value;
}

std::string Bytes(uint64_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

// Reads [offset, end) of file through the hash, skipping whole excluded
// ranges (the package is never read here).
void HashFile(pe::Source& file, uint64_t end, OutsidePackageHash& hash, const std::vector<FileRange>& excluded) {
  std::vector<uint8_t> buffer(64 * 1024);
  uint64_t at = 0;
  while (at < end) {
    const auto skip = std::find_if(excluded.begin(), excluded.end(),
                                   [at](const FileRange& r) { return r.offset <= at && at < r.End(); });
    if (skip != excluded.end()) {
      at = std::min(skip->End(), end);
      continue;
    }
    uint64_t stop = end;
    for (const FileRange& r : excluded) {
      if (r.offset > at && r.offset < stop) stop = r.offset;
    }
    const size_t chunk = size_t(std::min<uint64_t>(stop - at, buffer.size()));
    file.ReadAt(at, buffer.data(), chunk);
    hash.Add(at, buffer.data(), chunk);
    at += chunk;
  }
}

}  // namespace

std::string FormatInstallerDigest(const InstallerDigest& digest) {
  std::string bytes(kInstallerDigestSize, '\0');
  auto* at = reinterpret_cast<uint8_t*>(&bytes[0]);
  std::memcpy(at, kMark, kMarkSize);
  Store64(at + 8, digest.madeSize);
  std::memcpy(at + 16, digest.outsidePackage.data(), kPackageDigestSize);
  std::memcpy(at + 48, digest.package.data(), kPackageDigestSize);
  return bytes;
}

std::optional<InstallerDigest> ParseInstallerDigest(const std::string& bytes) {
  if (bytes.size() != kInstallerDigestSize || bytes.compare(0, kMarkSize, kMark) != 0) return std::nullopt;
  const auto* at = reinterpret_cast<const uint8_t*>(bytes.data());
  InstallerDigest digest;
  digest.madeSize = Load64(at + 8);
  std::memcpy(digest.outsidePackage.data(), at + 16, kPackageDigestSize);
  std::memcpy(digest.package.data(), at + 48, kPackageDigestSize);
  return digest;
}

std::vector<FileRange> InstallerParts::Excluded() const {
  std::vector<FileRange> ranges;
  for (const FileRange& r : {checkSum, certificateEntry, digest, package}) {
    if (r.size > 0) ranges.push_back(r);
  }
  std::sort(ranges.begin(), ranges.end(), [](const FileRange& a, const FileRange& b) { return a.offset < b.offset; });
  return ranges;
}

namespace {

// A small reader of just what the check needs: the headers' positions, the
// resource directory and the two resources. The installer runs it before it
// trusts any byte of itself, so it is bounds-checked at every read, walks a
// fixed path of three table look-ups (no recursion, no loop), and stays small.
class InstallerLocator {
 public:
  explicit InstallerLocator(pe::Source& file) : fFile(file), fSize(file.Size()) {}

  InstallerParts Locate() {
    InstallerParts parts;
    parts.fileSize = fSize;
    if (U16At(0) != 0x5A4D) Fail("it does not start with MZ");
    const uint64_t pe = U32At(0x3C);
    if (U32At(pe) != 0x00004550) Fail("no PE signature where its DOS header points");
    // An x86 program carries the PE32 optional header, an x64 one PE32+,
    // whose data directories (and their count before them) sit 16 bytes on.
    const uint16_t machine = U16At(pe + 4);
    if (machine != 0x14C && machine != 0x8664) Fail("it is not an x86 or x64 program");
    const bool plus = machine == 0x8664;
    const uint32_t sections = U16At(pe + 6);
    const uint32_t optionalSize = U16At(pe + 20);
    const uint64_t optional = pe + 24;
    if (U16At(optional) != (plus ? 0x20B : 0x10B)) {
      Fail(plus ? "its optional header is not PE32+" : "its optional header is not PE32");
    }
    const uint64_t directoriesAt = optional + (plus ? 112 : 96);
    const uint32_t directories = U32At(directoriesAt - 4);
    if (directories < 3 || directoriesAt - optional + uint64_t(directories) * 8 > optionalSize) {
      Fail("its data directories do not fit");
    }
    parts.checkSum = {optional + 64, 4};
    if (directories > 4) {
      parts.certificateEntry = {directoriesAt + 4 * 8, 8};
      parts.certificate = {U32At(directoriesAt + 4 * 8), U32At(directoriesAt + 4 * 8 + 4)};
    }
    fSectionTable = optional + optionalSize;
    fSections = sections;
    if (sections == 0 || sections > 96) Fail("it has " + std::to_string(sections) + " sections");

    const uint32_t resourceRva = U32At(directoriesAt + 2 * 8);
    fResourceSize = U32At(directoriesAt + 2 * 8 + 4);
    if (resourceRva == 0 || fResourceSize == 0) {
      throw EPackageError(PackageErrorKind::Table, "it carries no resources, so no setup package");
    }
    fResources = FileOffsetOf(resourceRva, fResourceSize, "its resource directory");
    parts.package = Find({0, u"STPFILE"}, {0, u"SETUPPACKAGE"}, "setup package (resource SETUPPACKAGE)");
    parts.digest = Find({10, nullptr}, {0, u"INSTALLERDIGEST"}, "digest (resource INSTALLERDIGEST)");
    return parts;
  }

 private:
  struct Name {
    uint16_t id;            // when text is null
    const char16_t* text;   // upper case, as resource compilers store names
  };

  [[noreturn]] static void Fail(const std::string& why) {
    throw EPackageError(PackageErrorKind::Table, "it is not an installer this check can read: " + why);
  }

  void Read(uint64_t offset, void* buffer, size_t count) {
    if (offset > fSize || count > fSize - offset) Fail("a read at " + std::to_string(offset) + " runs past its end");
    fFile.ReadAt(offset, buffer, count);
  }
  uint32_t U16At(uint64_t offset) {
    uint8_t b[2];
    Read(offset, b, 2);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8;
  }
  uint32_t U32At(uint64_t offset) {
    uint8_t b[4];
    Read(offset, b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }

  // The file offset of [rva, rva + size) inside one section's raw data.
  uint64_t FileOffsetOf(uint32_t rva, uint32_t size, const char* what) {
    for (uint32_t i = 0; i < fSections; ++i) {
      const uint64_t header = fSectionTable + uint64_t(i) * 40;
      const uint32_t address = U32At(header + 12);
      const uint32_t rawSize = U32At(header + 16);
      const uint32_t rawOffset = U32At(header + 20);
      if (rva >= address && uint64_t(rva) + size <= uint64_t(address) + rawSize) {
        const uint64_t offset = uint64_t(rawOffset) + (rva - address);
        if (offset + size > fSize) Fail(std::string(what) + " runs past its end");
        return offset;
      }
    }
    Fail(std::string(what) + " lies in no section's data");
  }

  // An offset inside the resource directory, with count bytes behind it.
  uint64_t InDirectory(uint32_t offset, uint64_t count) {
    if (offset > fResourceSize || count > fResourceSize - offset) Fail("its resource directory points past its end");
    return fResources + offset;
  }

  bool Matches(uint32_t nameField, const Name& name) {
    const bool isString = (nameField & 0x80000000u) != 0;
    if (!name.text) return !isString && nameField == name.id;
    if (!isString) return false;
    const uint64_t at = InDirectory(nameField & 0x7FFFFFFFu, 2);
    const uint32_t length = U16At(at);
    if (length != std::char_traits<char16_t>::length(name.text)) return false;
    InDirectory((nameField & 0x7FFFFFFFu) + 2, uint64_t(length) * 2);
    for (uint32_t i = 0; i < length; ++i) {
      uint32_t c = U16At(at + 2 + 2 * uint64_t(i));
      if (c >= 'a' && c <= 'z') c -= 32;
      if (c != name.text[i]) return false;
    }
    return true;
  }

  // The entry of the table at offset whose name matches (the first entry of
  // any name when name is null); its OffsetToData field, or nullopt.
  std::optional<uint32_t> Entry(uint32_t table, const Name* name) {
    const uint64_t at = InDirectory(table, 16);
    const uint32_t count = U16At(at + 12) + U16At(at + 14);
    InDirectory(table + 16, uint64_t(count) * 8);
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t entry = at + 16 + uint64_t(i) * 8;
      if (!name || Matches(U32At(entry), *name)) return U32At(entry + 4);
    }
    return std::nullopt;
  }

  std::optional<uint32_t> Subtable(uint32_t table, const Name* name) {
    const std::optional<uint32_t> field = Entry(table, name);
    if (!field) return std::nullopt;
    if ((*field & 0x80000000u) == 0) Fail("its resource tree has data where a table belongs");
    return *field & 0x7FFFFFFFu;
  }

  // Type, name, then the first language: the data's place in the file.
  FileRange Find(const Name& type, const Name& name, const char* what) {
    std::optional<uint32_t> names = Subtable(0, &type);
    std::optional<uint32_t> languages = names ? Subtable(*names, &name) : std::nullopt;
    std::optional<uint32_t> data = languages ? Entry(*languages, nullptr) : std::nullopt;
    if (!data) throw EPackageError(PackageErrorKind::Table, std::string("it carries no ") + what);
    if (*data & 0x80000000u) Fail("its resource tree has a table where data belongs");
    const uint64_t entry = InDirectory(*data, 16);
    const uint32_t rva = U32At(entry);
    const uint32_t size = U32At(entry + 4);
    return {FileOffsetOf(rva, size, what), size};
  }

  pe::Source& fFile;
  uint64_t fSize;
  uint64_t fSectionTable = 0;
  uint32_t fSections = 0;
  uint64_t fResources = 0;
  uint32_t fResourceSize = 0;
};

}  // namespace

InstallerParts LocateInstallerParts(pe::Source& file) { return InstallerLocator(file).Locate(); }

struct OutsidePackageHash::State {
  TSHA256 hash;
  uint64_t next = 0;
};

OutsidePackageHash::OutsidePackageHash(std::vector<FileRange> excluded)
    : fExcluded(std::move(excluded)), fState(std::make_unique<State>()) {
  fState->hash.Init();
}

OutsidePackageHash::~OutsidePackageHash() = default;

void OutsidePackageHash::Add(uint64_t offset, const void* data, size_t count) {
  // A gap is allowed only where the bytes are left out anyway.
  for (uint64_t at = fState->next; at < offset;) {
    const auto range = std::find_if(fExcluded.begin(), fExcluded.end(),
                                    [at](const FileRange& r) { return r.offset <= at && at < r.End(); });
    if (range == fExcluded.end()) throw LogicError("OutsidePackageHash: bytes at " + std::to_string(at) + " were skipped");
    at = range->End();
  }
  if (offset < fState->next) throw LogicError("OutsidePackageHash: bytes out of order");
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint64_t at = offset;
  const uint64_t end = offset + count;
  while (at < end) {
    // The next excluded range that starts at or covers at, if any.
    uint64_t stop = end;
    bool inside = false;
    for (const FileRange& r : fExcluded) {
      if (r.offset <= at && at < r.End()) {
        inside = true;
        stop = std::min(end, r.End());
        break;
      }
      if (r.offset > at && r.offset < stop) stop = r.offset;
    }
    if (!inside) fState->hash.Update(bytes + (at - offset), size_t(stop - at));
    at = stop;
  }
  fState->next = end;
}

Sha256Digest OutsidePackageHash::Final() {
  Sha256Digest digest;
  fState->hash.Final(digest.data());
  return digest;
}

InstallerCheck CheckInstallerOutsidePackage(pe::Source& file) {
  InstallerCheck check;
  try {
    check.parts = LocateInstallerParts(file);
  } catch (const std::exception& e) {
    check.detail = e.what();
    return check;
  }
  const InstallerParts& parts = check.parts;
  // The size comes from the file: checked before anything is allocated for it.
  if (parts.digest.size != kInstallerDigestSize) {
    check.detail = "its digest has " + Bytes(parts.digest.size) + " instead of " + Bytes(kInstallerDigestSize);
    return check;
  }
  std::string digestBytes(kInstallerDigestSize, '\0');
  try {
    file.ReadAt(parts.digest.offset, &digestBytes[0], digestBytes.size());
  } catch (const std::exception& e) {
    check.detail = std::string("its digest cannot be read: ") + e.what();
    return check;
  }
  std::optional<InstallerDigest> digest = ParseInstallerDigest(digestBytes);
  if (!digest) {
    check.detail = "its digest is not one this installer can read";
    return check;
  }
  check.digest = *digest;
  const uint64_t made = digest->madeSize;

  // The file as made, and after it nothing but a signature.
  if (parts.fileSize < made) {
    check.detail = "it has " + Bytes(parts.fileSize) + " where it was made with " + std::to_string(made) +
                   " (an incomplete download?)";
    return check;
  }
  for (const FileRange& r : {parts.digest, parts.package}) {
    if (r.End() > made) {
      check.detail = "its resources reach past the " + Bytes(made) + " it was made with";
      return check;
    }
  }
  try {
    if (parts.fileSize > made) {
      const FileRange& certificate = parts.certificate;
      const uint64_t padded = (made + kCertificateAlignment - 1) / kCertificateAlignment * kCertificateAlignment;
      if (certificate.size == 0 || certificate.offset != padded || certificate.End() != parts.fileSize) {
        check.detail = Bytes(parts.fileSize - made) + " follow the " + Bytes(made) +
                       " it was made with, and they are not its signature";
        return check;
      }
      // The bytes between the size as made and the certificate are the
      // padding signing added, like the certificate itself.
    }
    OutsidePackageHash hash(parts.Excluded());
    HashFile(file, made, hash, parts.Excluded());
    const Sha256Digest actual = hash.Final();
    if (actual != digest->outsidePackage) {
      check.detail = "its program, settings or pictures (all but the package) have SHA-256 " +
                     HexText(actual.data(), actual.size()) + ", but the installer expects " +
                     HexText(digest->outsidePackage.data(), digest->outsidePackage.size());
      return check;
    }
  } catch (const std::exception& e) {
    check.detail = std::string("the installer cannot be read: ") + e.what();
    return check;
  }
  check.intact = true;
  check.detail = "the installer outside its package (" + Bytes(made - parts.package.size) + ") matches its SHA-256" +
                 (parts.fileSize > made ? "; a signature follows" : "");
  return check;
}

}  // namespace vo
