#pragma once
// What a package holds, read without extracting it: the sum of its members'
// unpacked sizes, from the file table alone. The installer reads it from its
// own package resource at start-up, straight from the mapped bytes
// (MemoryInputFile), for the required space on the destination page and the
// size of the uninstall entry.

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

// The sum of the UnpackedSize column; nullopt for a package without a table
// (length field not below the size: nothing to extract). Raises
// EPackageError when the tail or the table cannot be read.
std::optional<int64_t> ReadUnpackedTotal(PackageInputFile& input, const std::u16string& packageName,
                                         const std::u16string& passPhrase);

}  // namespace vo
