#pragma once
// Field offsets and constants of the PE32 structures the module reads and
// writes, and little-endian load/store helpers. Offsets are relative to the
// start of their structure, as the PE/COFF specification lists them.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vo::pe::format {

constexpr uint32_t kDosHeaderSize = 64;
constexpr uint32_t kDosPeOffsetField = 0x3C;  // e_lfanew

constexpr uint32_t kPeSignatureSize = 4;
// COFF file header, after the signature.
constexpr uint32_t kCoffHeaderSize = 20;
constexpr uint32_t kCoffMachine = 0;
constexpr uint32_t kCoffNumberOfSections = 2;
constexpr uint32_t kCoffTimeDateStamp = 4;
constexpr uint32_t kCoffPointerToSymbolTable = 8;
constexpr uint32_t kCoffNumberOfSymbols = 12;
constexpr uint32_t kCoffSizeOfOptionalHeader = 16;
constexpr uint32_t kCoffCharacteristics = 18;

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMachineArm64 = 0xAA64;
constexpr uint16_t kMachineIa64 = 0x200;
constexpr uint16_t kImageFileExecutableImage = 0x0002;

// PE32 optional header (offsets the PE32+ header shares unless noted below).
constexpr uint32_t kOptMagic = 0;
constexpr uint32_t kOptSizeOfInitializedData = 8;
constexpr uint32_t kOptImageBase = 28;
constexpr uint32_t kOptSectionAlignment = 32;
constexpr uint32_t kOptFileAlignment = 36;
constexpr uint32_t kOptSizeOfImage = 56;
constexpr uint32_t kOptSizeOfHeaders = 60;
constexpr uint32_t kOptCheckSum = 64;
constexpr uint32_t kOptNumberOfRvaAndSizes = 92;
constexpr uint32_t kOptDataDirectories = 96;  // 8 bytes each: RVA, size
// PE32+ (x64) differs in the fields above only where the 64-bit image base
// and stack/heap sizes push them: the image base is 8 bytes at 24 (no
// BaseOfData), and the directory count and directories move 16 bytes on.
constexpr uint32_t kOptPlusImageBase = 24;
constexpr uint32_t kOptPlusNumberOfRvaAndSizes = 108;
constexpr uint32_t kOptPlusDataDirectories = 112;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kMaxDataDirectories = 16;

// Section header.
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kSectionName = 0;
constexpr uint32_t kSectionVirtualSize = 8;
constexpr uint32_t kSectionVirtualAddress = 12;
constexpr uint32_t kSectionSizeOfRawData = 16;
constexpr uint32_t kSectionPointerToRawData = 20;
constexpr uint32_t kSectionCharacteristics = 36;
constexpr uint32_t kScnCntInitializedData = 0x00000040;
constexpr uint32_t kScnMemRead = 0x40000000;
constexpr uint32_t kScnMemDiscardable = 0x02000000;

// The Windows loader refuses images with more sections than this.
constexpr uint32_t kMaxSections = 96;

// Resource directory table (16 bytes) followed by its 8-byte entries; the
// leaves are 16-byte data entries. The high bit of an entry's first word marks
// a string name, of its second word a subdirectory; both offsets are relative
// to the start of the resource directory.
constexpr uint32_t kResourceTableSize = 16;
constexpr uint32_t kResourceTableNamedCount = 12;
constexpr uint32_t kResourceTableIdCount = 14;
constexpr uint32_t kResourceEntrySize = 8;
constexpr uint32_t kResourceDataEntrySize = 16;
constexpr uint32_t kResourceHighBit = 0x80000000u;

// Base relocation block header: page RVA, block size (header included).
constexpr uint32_t kRelocationBlockHeaderSize = 8;

inline uint16_t Load16(const void* p) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return uint16_t(b[0] | b[1] << 8);
}
inline uint32_t Load32(const void* p) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
inline void Store16(void* p, uint16_t v) {
  uint8_t* b = static_cast<uint8_t*>(p);
  b[0] = uint8_t(v);
  b[1] = uint8_t(v >> 8);
}
inline void Store32(void* p, uint32_t v) {
  uint8_t* b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 4; ++i) b[i] = uint8_t(v >> (8 * i));
}
inline void Append16(std::string& out, uint16_t v) {
  char b[2];
  Store16(b, v);
  out.append(b, 2);
}
inline void Append32(std::string& out, uint32_t v) {
  char b[4];
  Store32(b, v);
  out.append(b, 4);
}

inline uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }
inline bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace vo::pe::format
