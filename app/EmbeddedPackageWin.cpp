#include "app/EmbeddedPackage.h"

#include <windows.h>

#include <exception>

#include "app/SetupLog.h"
#include "package/PackageSummary.h"

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

}  // namespace

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
