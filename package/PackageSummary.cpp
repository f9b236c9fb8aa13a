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

WindowInputFile::WindowInputFile(std::unique_ptr<PackageInputFile> file, int64_t offset, int64_t size)
    : fFile(std::move(file)), fOffset(offset), fSize(size) {
  if (offset < 0 || size < 0 || offset > fFile->Size() - size) {
    throw EPackageError(PackageErrorKind::Read, std::to_string(size) + " bytes at offset " + std::to_string(offset) +
                                                    " do not lie inside a file of " + std::to_string(fFile->Size()) +
                                                    " bytes");
  }
  fFile->Seek(fOffset);
}

void WindowInputFile::Seek(int64_t offset) {
  if (offset < 0 || offset > fSize) {
    throw EPackageError(PackageErrorKind::Read, "cannot seek to offset " + std::to_string(offset) + " of " +
                                                    std::to_string(fSize) + " bytes");
  }
  fFile->Seek(fOffset + offset);
  fPosition = offset;
}

size_t WindowInputFile::Read(void* buffer, size_t count) {
  const int64_t left = fSize - fPosition;
  if (int64_t(count) > left) count = size_t(left);
  const size_t read = fFile->Read(buffer, count);
  fPosition += int64_t(read);
  return read;
}

std::optional<int64_t> ReadUnpackedTotal(PackageInputFile& input, const std::u16string& packageName,
                                         const std::u16string& passPhrase) {
  std::optional<std::string> text = ReadTableText(input, packageName);
  if (!text) return std::nullopt;
  PackageFileTable table(*text, passPhrase, packageName);
  int64_t total = 0;
  for (int32_t row = 0; row < table.RowCount(); ++row) {
    table.CheckMemberPath(row);
    total += table.UnpackedSize(row);
  }
  return total;
}

}  // namespace vo
