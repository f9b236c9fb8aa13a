#include "package/PackageSummary.h"

#include <cstring>

#include "package/PackageError.h"
#include "package/PackageReader.h"

namespace vo {

void MemoryInputFile::Seek(int64_t offset) {
  if (offset < 0 || uint64_t(offset) > fSize) {
    throw EPackageError(PackageErrorKind::Read, "cannot seek to offset " + std::to_string(offset) + " of " +
                                                    std::to_string(fSize) + " bytes in memory");
  }
  fPosition = size_t(offset);
}

size_t MemoryInputFile::Read(void* buffer, size_t count) {
  const size_t available = fSize - fPosition;
  const size_t n = count < available ? count : available;
  if (n > 0) std::memcpy(buffer, fData + fPosition, n);
  fPosition += n;
  return n;
}

std::optional<int64_t> ReadUnpackedTotal(PackageInputFile& input, const std::u16string& packageName,
                                         const std::u16string& passPhrase) {
  std::optional<std::string> text = ReadTableText(input, packageName);
  if (!text) return std::nullopt;
  PackageFileTable table(*text, passPhrase, packageName);
  int64_t total = 0;
  for (int32_t row = 0; row < table.RowCount(); ++row) total += table.UnpackedSize(row);
  return total;
}

}  // namespace vo
