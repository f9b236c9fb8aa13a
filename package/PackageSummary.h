#pragma once
// What a package holds, read without extracting it: the sum of its members'
// unpacked sizes, from the file table alone. The installer reads it from its
// own package resource at start-up, straight from the mapped bytes
// (MemoryInputFile), for the required space on the destination page and the
// size of the uninstall entry. And the two read-only files the package is
// read through in place.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "package/PackageFileSystem.h"

namespace vo {

// A read-only file over bytes that live elsewhere (the caller keeps them
// alive); no copy is made.
class MemoryInputFile final : public PackageInputFile {
 public:
  MemoryInputFile(const void* data, size_t size) : fData(static_cast<const uint8_t*>(data)), fSize(size) {}
  int64_t Size() override { return int64_t(fSize); }
  // An offset outside 0..Size() raises a read error.
  void Seek(int64_t offset) override;
  size_t Read(void* buffer, size_t count) override;

 private:
  const uint8_t* fData;
  size_t fSize;
  size_t fPosition = 0;
};

// size bytes of another file from offset on, as a file of its own: the
// package inside an installer, read through the installer's own file.
class WindowInputFile final : public PackageInputFile {
 public:
  // Raises a read error when the window does not lie inside the file.
  WindowInputFile(std::unique_ptr<PackageInputFile> file, int64_t offset, int64_t size);
  int64_t Size() override { return fSize; }
  void Seek(int64_t offset) override;
  size_t Read(void* buffer, size_t count) override;

 private:
  std::unique_ptr<PackageInputFile> fFile;
  int64_t fOffset;
  int64_t fSize;
  int64_t fPosition = 0;
};

// The sum of the UnpackedSize column; nullopt for a package without a table
// (length field not below the size: nothing to extract). Raises
// EPackageError when the tail or the table cannot be read, or a row's member
// would land outside its folder (the extractor's own check of every row).
std::optional<int64_t> ReadUnpackedTotal(PackageInputFile& input, const std::u16string& packageName,
                                         const std::u16string& passPhrase);

}  // namespace vo
