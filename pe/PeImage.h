#pragma once
// The PE reader: the headers of a Windows program for x86 (PE32) or x64
// (PE32+), checked.
//
// PeImage::Parse reads the DOS header, the "PE\0\0" signature, the COFF
// header (i386 or x64), the optional header with its data directories,
// and the section table, and checks every offset and size against the file
// and the headers before anything uses it:
//   - every structure lies inside the file and inside SizeOfHeaders;
//   - the alignments are powers of two the loader accepts;
//   - sections follow each other in memory without gaps, each at a multiple
//     of SectionAlignment, the first right after the headers;
//   - raw data lies inside the file, after the headers, without overlaps;
//   - every data directory lies inside the image (the certificate table,
//     which is addressed by file offset, inside the file).
// A fault raises PeError naming the part and the fault. After a successful
// parse every field below can be used without further checks; the resource
// reader and the stamper rely on that.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pe/PeIo.h"

namespace vo::pe {

struct SectionHeader {
  std::string name;  // as stored: up to 8 bytes, trailing NULs removed
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;    // SizeOfRawData
  uint32_t rawOffset = 0;  // PointerToRawData
  uint32_t characteristics = 0;

  // The size the loader maps: VirtualSize, or SizeOfRawData when that is 0.
  uint32_t MappedSize() const { return virtualSize != 0 ? virtualSize : rawSize; }
};

struct DataDirectory {
  uint32_t rva = 0;  // a file offset for the certificate table
  uint32_t size = 0;
};

enum DataDirectoryIndex : uint32_t {
  kImportDirectory = 1,
  kResourceDirectory = 2,
  kCertificateTable = 4,
  kBaseRelocationDirectory = 5,
};

// "resources", "base relocations", ... for messages.
std::string DataDirectoryLabel(uint32_t index);

struct PeImage {
  uint64_t fileSize = 0;
  std::string headers;  // the first sizeOfHeaders bytes of the file, as read

  uint32_t peOffset = 0;              // of "PE\0\0"; the COFF header follows it
  uint32_t optionalHeaderOffset = 0;  // PE32 or PE32+ optional header
  uint32_t dataDirectoriesOffset = 0;  // in the optional header: 96, or 112 in PE32+
  uint32_t sectionTableOffset = 0;

  uint32_t timeDateStamp = 0;
  uint64_t imageBase = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfImage = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t sizeOfInitializedData = 0;
  uint32_t checkSum = 0;
  std::vector<DataDirectory> directories;  // NumberOfRvaAndSizes of them
  std::vector<SectionHeader> sections;

  static PeImage Parse(Source& file);

  // The directory, or an empty one when the header has no slot for it.
  DataDirectory Directory(uint32_t index) const;
  // Index of the section whose mapped range holds rva, or -1.
  int SectionContaining(uint32_t rva) const;
  // The file offset of [rva, rva + size) when that range lies inside one
  // section's raw data; nullopt otherwise.
  std::optional<uint64_t> FileOffsetOf(uint32_t rva, uint32_t size) const;
  // "section 3 (.rdata)" for the section at index (counted from 1 in text).
  std::string SectionLabel(size_t index) const;
  uint32_t CheckSumOffset() const;
  // The file offset of data directory index's 8-byte entry; nullopt when the
  // header has no slot for it.
  std::optional<uint32_t> DirectoryEntryOffset(uint32_t index) const;
};

}  // namespace vo::pe
