#include "app/EmbeddedPackage.h"

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "app/SetupLog.h"
#include "package/PackageError.h"
#include "package/PackageSummary.h"
#include "shell/ShellError.h"
#include "shell/UniqueHandle.h"
#include "text/Unicode.h"

namespace vo {
namespace {

std::optional<ByteView> FindResourceBytes(const wchar_t* name, const wchar_t* type) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  // Resource names are stored upper-case; FindResourceW upper-cases the
  // names it is given, so any spelling finds them.
  HRSRC resource = ::FindResourceW(module, name, type);
  if (!resource) return std::nullopt;
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) return std::nullopt;
  return ByteView{static_cast<const uint8_t*>(bytes), ::SizeofResource(module, resource)};
}

// The file offset of the mapped bytes at address in the running program:
// its RVA placed in the section that holds it. nullopt when the bytes do not
// lie inside one section's raw data.
std::optional<int64_t> FileOffsetOf(const uint8_t* address, size_t size) {
  const auto* base = reinterpret_cast<const uint8_t*>(::GetModuleHandleW(nullptr));
  if (address < base) return std::nullopt;
  const uint64_t rva = uint64_t(address - base);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    const uint64_t start = section->VirtualAddress;
    if (rva >= start && rva + size <= start + section->SizeOfRawData) {
      return int64_t(section->PointerToRawData + (rva - start));
    }
  }
  return std::nullopt;
}

// The running program's own file, opened for reading beside the loader's
// mapping of it.
class OwnFile final : public PackageInputFile {
 public:
  explicit OwnFile(UniqueFile file) : fFile(std::move(file)) {}
  int64_t Size() override {
    LARGE_INTEGER size = {};
    ::GetFileSizeEx(fFile.get(), &size);
    return size.QuadPart;
  }
  void Seek(int64_t offset) override {
    LARGE_INTEGER to;
    to.QuadPart = offset;
    if (!::SetFilePointerEx(fFile.get(), to, nullptr, FILE_BEGIN)) {
      throw EPackageError(PackageErrorKind::Read, "cannot seek in the installer: " + LastErrorText());
    }
  }
  size_t Read(void* buffer, size_t count) override {
    DWORD read = 0;
    if (!::ReadFile(fFile.get(), buffer, DWORD(count), &read, nullptr)) {
      throw EPackageError(PackageErrorKind::Read, "cannot read the installer: " + LastErrorText());
    }
    return read;
  }

 private:
  static std::string LastErrorText() {
    const DWORD code = ::GetLastError();
    return Utf16ToUtf8(SystemErrorText(code)) + " (error " + std::to_string(code) + ")";
  }
  UniqueFile fFile;
};

std::u16string OwnPath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return U16(path.data(), length);
    path.resize(path.size() * 2);
  }
}

}  // namespace

std::unique_ptr<PackageInputFile> OpenEmbeddedPackage(const EmbeddedPackage& embedded) {
  if (!embedded.package) return nullptr;
  const ByteView bytes = *embedded.package;
  if (std::optional<int64_t> offset = FileOffsetOf(bytes.data, bytes.size)) {
    UniqueFile file(::CreateFileW(WStr(OwnPath()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file) return std::make_unique<WindowInputFile>(std::make_unique<OwnFile>(std::move(file)), *offset, bytes.size);
  }
  return std::make_unique<MemoryInputFile>(bytes.data, bytes.size);
}

EmbeddedPackage FindEmbeddedPackage() {
  EmbeddedPackage embedded;
  embedded.package = FindResourceBytes(L"SetupPackage", L"StpFile");
  embedded.digest = FindResourceBytes(L"PackageDigest", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  return embedded;
}

std::optional<int64_t> EmbeddedUnpackedTotal(const EmbeddedPackage& embedded) {
  if (!embedded.package) return std::nullopt;
  MemoryInputFile input(embedded.package->data, embedded.package->size);
  try {
    return ReadUnpackedTotal(input, u"SETUPPACKAGE resource", u"");
  } catch (const std::exception& e) {
    InstallerLog().Write(std::string("Cannot read the package's file table: ") + e.what());
    return std::nullopt;
  }
}

}  // namespace vo
