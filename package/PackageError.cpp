#include "package/PackageError.h"

#include "datatable/TextConvert.h"

namespace vo {

const char* PackageErrorKindName(PackageErrorKind kind) {
  switch (kind) {
    case PackageErrorKind::Open: return "open";
    case PackageErrorKind::Read: return "read";
    case PackageErrorKind::Table: return "table";
    case PackageErrorKind::Create: return "create";
    case PackageErrorKind::Write: return "write";
    case PackageErrorKind::Decompress: return "decompress";
    case PackageErrorKind::OutOfMemory: return "out-of-memory";
  }
  return "unknown";
}

std::string Quoted(const std::u16string& text) { return "\"" + Utf16ToUtf8(text) + "\""; }

}  // namespace vo
