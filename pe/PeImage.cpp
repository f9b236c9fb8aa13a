#include "pe/PeImage.h"

#include <algorithm>
#include <numeric>

#include "pe/PeFormat.h"

namespace vo::pe {
namespace {

using namespace format;

// Headers larger than this are not a program a linker made; refusing them
// keeps a damaged SizeOfHeaders from making the reader allocate gigabytes.
constexpr uint32_t kMaxSizeOfHeaders = 1u << 20;

[[noreturn]] void Fail(const std::string& message) { throw PeError(message); }

std::string MachineName(uint16_t machine) {
  switch (machine) {
    case kMachineAmd64: return "x64";
    case kMachineArm64: return "ARM64";
    case kMachineIa64: return "Itanium";
    default: return "";
  }
}

std::string Range(uint64_t offset, uint64_t size) { return FormatHex(offset) + "+" + FormatHex(size); }

}  // namespace

std::string DataDirectoryLabel(uint32_t index) {
  static const char* const kNames[] = {"exports",         "imports",       "resources",    "exceptions",
                                       "certificate table", "base relocations", "debug",    "architecture",
                                       "global pointer",  "TLS",           "load configuration", "bound imports",
                                       "import address table", "delay imports", "CLR runtime header", "reserved"};
  const std::string name = index < 16 ? kNames[index] : "unknown";
  return "data directory " + std::to_string(index) + " (" + name + ")";
}

PeImage PeImage::Parse(Source& file) {
  PeImage image;
  const uint64_t fileSize = file.Size();
  image.fileSize = fileSize;

  if (fileSize < kDosHeaderSize) {
    Fail("DOS header: the file has " + FormatHex(fileSize) + " bytes, fewer than the " + FormatHex(kDosHeaderSize) +
         " of a DOS header; this is not a Windows program");
  }
  uint8_t dos[kDosHeaderSize];
  file.ReadAt(0, dos, sizeof dos);
  if (dos[0] != 'M' || dos[1] != 'Z') Fail("DOS header: no \"MZ\" signature; this is not a Windows program");

  // Signature, COFF header and the fixed part of the optional header are
  // read first; SizeOfHeaders then says how much of the file is headers.
  const uint32_t peOffset = Load32(dos + kDosPeOffsetField);
  const uint32_t coffOffset = peOffset + kPeSignatureSize;
  const uint64_t peHeadEnd = uint64_t(coffOffset) + kCoffHeaderSize;
  if (peOffset < kDosHeaderSize) Fail("DOS header: the PE header offset " + FormatHex(peOffset) + " points into the DOS header");
  if (peHeadEnd > fileSize) {
    Fail("PE header at " + FormatHex(peOffset) + ": the signature and COFF header (" + Range(peOffset, peHeadEnd - peOffset) +
         ") run past the end of the file (" + FormatHex(fileSize) + " bytes)");
  }
  uint8_t coff[kPeSignatureSize + kCoffHeaderSize];
  file.ReadAt(peOffset, coff, sizeof coff);
  if (coff[0] != 'P' || coff[1] != 'E' || coff[2] != 0 || coff[3] != 0) {
    Fail("PE header at " + FormatHex(peOffset) + ": no \"PE\\0\\0\" signature; this is not a Windows program");
  }
  const uint8_t* c = coff + kPeSignatureSize;
  const uint16_t machine = Load16(c + kCoffMachine);
  if (machine != kMachineI386 && machine != kMachineAmd64) {
    const std::string name = MachineName(machine);
    if (!name.empty()) {
      Fail("COFF header: machine " + FormatHex(machine) + " (" + name +
           ") is not x86; the stub must be an i386 or x64 program");
    }
    Fail("COFF header: machine " + FormatHex(machine) + " is not i386 (0x14c); the stub must be a 32-bit x86 program");
  }
  if ((Load16(c + kCoffCharacteristics) & kImageFileExecutableImage) == 0) {
    Fail("COFF header: characteristics " + FormatHex(Load16(c + kCoffCharacteristics)) +
         " do not mark an executable image (an object file?)");
  }
  const uint32_t sectionCount = Load16(c + kCoffNumberOfSections);
  if (sectionCount == 0) Fail("COFF header: the image has no sections");
  if (sectionCount > kMaxSections) {
    Fail("COFF header: " + std::to_string(sectionCount) + " sections, more than the " + std::to_string(kMaxSections) +
         " a Windows loader accepts");
  }
  image.timeDateStamp = Load32(c + kCoffTimeDateStamp);
  const uint32_t optionalSize = Load16(c + kCoffSizeOfOptionalHeader);
  image.optionalHeaderOffset = uint32_t(peHeadEnd);
  // The 64-bit layout: an x64 program carries the PE32+ optional header.
  const bool plus = machine == kMachineAmd64;
  const uint32_t directoriesAt = plus ? kOptPlusDataDirectories : kOptDataDirectories;
  if (optionalSize < directoriesAt) {
    Fail("COFF header: SizeOfOptionalHeader " + FormatHex(optionalSize) + " is too small for a " +
         (plus ? "PE32+" : "PE32") + " optional header (" + FormatHex(directoriesAt) + " bytes at least)");
  }
  const uint64_t optionalEnd = peHeadEnd + optionalSize;
  if (optionalEnd > fileSize) {
    Fail("optional header: " + Range(peHeadEnd, optionalSize) + " runs past the end of the file (" + FormatHex(fileSize) +
         " bytes)");
  }
  uint8_t opt[kOptPlusDataDirectories];
  file.ReadAt(peHeadEnd, opt, directoriesAt);
  const uint16_t magic = Load16(opt + kOptMagic);
  if (!plus && magic == kMagicPe32Plus) {
    Fail("optional header: PE32+ (64-bit) image for an i386 machine; the stub must be a 32-bit PE32 program");
  }
  if (plus && magic != kMagicPe32Plus) {
    Fail("optional header: magic " + FormatHex(magic) + " is not PE32+ (0x20b), which an x64 program carries");
  }
  if (!plus && magic != kMagicPe32) Fail("optional header: magic " + FormatHex(magic) + " is not PE32 (0x10b)");

  image.dataDirectoriesOffset = directoriesAt;
  image.imageBase = plus ? Load32(opt + kOptPlusImageBase) | uint64_t(Load32(opt + kOptPlusImageBase + 4)) << 32
                         : Load32(opt + kOptImageBase);
  image.sectionAlignment = Load32(opt + kOptSectionAlignment);
  image.fileAlignment = Load32(opt + kOptFileAlignment);
  image.sizeOfImage = Load32(opt + kOptSizeOfImage);
  image.sizeOfHeaders = Load32(opt + kOptSizeOfHeaders);
  image.sizeOfInitializedData = Load32(opt + kOptSizeOfInitializedData);
  image.checkSum = Load32(opt + kOptCheckSum);
  const uint32_t directoryCount = Load32(opt + (plus ? kOptPlusNumberOfRvaAndSizes : kOptNumberOfRvaAndSizes));
  if (directoryCount > kMaxDataDirectories) {
    Fail("optional header: NumberOfRvaAndSizes " + FormatHex(directoryCount) + " is more than the 16 data directories");
  }
  if (directoriesAt + 8 * directoryCount > optionalSize) {
    Fail("optional header: its " + FormatHex(optionalSize) + " bytes cannot hold the " + std::to_string(directoryCount) +
         " data directories NumberOfRvaAndSizes announces");
  }
  const uint32_t fileAlignment = image.fileAlignment;
  const uint32_t sectionAlignment = image.sectionAlignment;
  if (!IsPowerOfTwo(fileAlignment) || fileAlignment < 0x200 || fileAlignment > 0x10000) {
    Fail("optional header: FileAlignment " + FormatHex(fileAlignment) + " is not a power of two from 0x200 to 0x10000");
  }
  if (!IsPowerOfTwo(sectionAlignment) || sectionAlignment < fileAlignment || sectionAlignment > 0x10000000) {
    Fail("optional header: SectionAlignment " + FormatHex(sectionAlignment) +
         " is not a power of two at least FileAlignment (" + FormatHex(fileAlignment) + ")");
  }

  image.sectionTableOffset = uint32_t(optionalEnd);
  const uint64_t sectionTableEnd = optionalEnd + uint64_t(kSectionHeaderSize) * sectionCount;
  const uint32_t headersSize = image.sizeOfHeaders;
  if (headersSize < sectionTableEnd) {
    Fail("optional header: SizeOfHeaders " + FormatHex(headersSize) + " does not cover the section table, which ends at " +
         FormatHex(sectionTableEnd));
  }
  if (headersSize > fileSize) {
    Fail("optional header: SizeOfHeaders " + FormatHex(headersSize) + " runs past the end of the file (" + FormatHex(fileSize) +
         " bytes)");
  }
  if (headersSize > kMaxSizeOfHeaders) {
    Fail("optional header: SizeOfHeaders " + FormatHex(headersSize) + " is larger than the " + FormatHex(kMaxSizeOfHeaders) +
         " bytes this reader accepts");
  }
  if (headersSize % fileAlignment != 0) {
    Fail("optional header: SizeOfHeaders " + FormatHex(headersSize) + " is not a multiple of FileAlignment " +
         FormatHex(fileAlignment));
  }
  image.headers.resize(headersSize);
  file.ReadAt(0, image.headers.data(), headersSize);
  image.peOffset = peOffset;
  const char* h = image.headers.data();

  for (uint32_t i = 0; i < directoryCount; ++i) {
    const char* d = h + image.optionalHeaderOffset + directoriesAt + 8 * i;
    image.directories.push_back({Load32(d), Load32(d + 4)});
  }

  // Sections: adjacent in memory, the first right after the headers.
  uint64_t nextAddress = AlignUp(headersSize, sectionAlignment);
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const char* s = h + image.sectionTableOffset + kSectionHeaderSize * i;
    SectionHeader section;
    section.name.assign(s + kSectionName, 8);
    section.name.erase(std::find(section.name.begin(), section.name.end(), '\0'), section.name.end());
    section.virtualSize = Load32(s + kSectionVirtualSize);
    section.virtualAddress = Load32(s + kSectionVirtualAddress);
    section.rawSize = Load32(s + kSectionSizeOfRawData);
    section.rawOffset = Load32(s + kSectionPointerToRawData);
    section.characteristics = Load32(s + kSectionCharacteristics);
    image.sections.push_back(section);
    const std::string label = image.SectionLabel(i);

    if (section.virtualAddress % sectionAlignment != 0) {
      Fail(label + ": virtual address " + FormatHex(section.virtualAddress) + " is not a multiple of SectionAlignment " +
           FormatHex(sectionAlignment));
    }
    if (section.virtualAddress != nextAddress) {
      Fail(label + ": virtual address " + FormatHex(section.virtualAddress) + " does not follow on from the " +
           (i == 0 ? "headers" : "previous section") + " (" + FormatHex(nextAddress) + " expected)");
    }
    const uint64_t end = uint64_t(section.virtualAddress) + section.MappedSize();
    if (end > 0xFFFFFFFFu) Fail(label + ": " + Range(section.virtualAddress, section.MappedSize()) + " ends beyond 4 GiB");
    nextAddress = AlignUp(end, sectionAlignment);
    if (section.rawSize == 0) continue;
    if (section.rawOffset % fileAlignment != 0) {
      Fail(label + ": raw data offset " + FormatHex(section.rawOffset) + " is not a multiple of FileAlignment " +
           FormatHex(fileAlignment));
    }
    if (section.rawOffset < headersSize) {
      Fail(label + ": raw data at " + FormatHex(section.rawOffset) + " lies inside the headers (SizeOfHeaders " +
           FormatHex(headersSize) + ")");
    }
    if (uint64_t(section.rawOffset) + section.rawSize > fileSize) {
      Fail(label + ": raw data " + Range(section.rawOffset, section.rawSize) + " runs past the end of the file (" +
           FormatHex(fileSize) + " bytes)");
    }
  }
  if (nextAddress > 0xFFFFFFFFu || image.sizeOfImage < nextAddress) {
    Fail("optional header: SizeOfImage " + FormatHex(image.sizeOfImage) + " is smaller than the sections' extent " +
         FormatHex(nextAddress));
  }

  std::vector<size_t> byOffset(sectionCount);
  std::iota(byOffset.begin(), byOffset.end(), 0);
  byOffset.erase(std::remove_if(byOffset.begin(), byOffset.end(), [&](size_t i) { return image.sections[i].rawSize == 0; }),
                 byOffset.end());
  std::stable_sort(byOffset.begin(), byOffset.end(),
                   [&](size_t a, size_t b) { return image.sections[a].rawOffset < image.sections[b].rawOffset; });
  for (size_t k = 1; k < byOffset.size(); ++k) {
    const SectionHeader& before = image.sections[byOffset[k - 1]];
    const SectionHeader& after = image.sections[byOffset[k]];
    if (uint64_t(before.rawOffset) + before.rawSize > after.rawOffset) {
      Fail(image.SectionLabel(byOffset[k]) + ": raw data " + Range(after.rawOffset, after.rawSize) + " overlaps " +
           image.SectionLabel(byOffset[k - 1]) + " (" + Range(before.rawOffset, before.rawSize) + ")");
    }
  }

  for (uint32_t i = 0; i < directoryCount; ++i) {
    const DataDirectory d = image.directories[i];
    if (d.rva == 0) continue;
    if (i == kCertificateTable) {
      if (uint64_t(d.rva) + d.size > fileSize) {
        Fail(DataDirectoryLabel(i) + ": " + Range(d.rva, d.size) + " lies outside the file (" + FormatHex(fileSize) +
             " bytes)");
      }
    } else if (uint64_t(d.rva) + d.size > image.sizeOfImage) {
      Fail(DataDirectoryLabel(i) + ": " + Range(d.rva, d.size) + " lies outside the image (SizeOfImage " +
           FormatHex(image.sizeOfImage) + ")");
    }
  }
  return image;
}

DataDirectory PeImage::Directory(uint32_t index) const {
  return index < directories.size() ? directories[index] : DataDirectory{};
}

int PeImage::SectionContaining(uint32_t rva) const {
  for (size_t i = 0; i < sections.size(); ++i) {
    const SectionHeader& s = sections[i];
    if (rva >= s.virtualAddress && rva - s.virtualAddress < s.MappedSize()) return int(i);
  }
  return -1;
}

std::optional<uint64_t> PeImage::FileOffsetOf(uint32_t rva, uint32_t size) const {
  const int index = SectionContaining(rva);
  if (index < 0) return std::nullopt;
  const SectionHeader& s = sections[size_t(index)];
  const uint64_t inSection = rva - s.virtualAddress;
  if (inSection + size > s.rawSize || inSection + size > s.MappedSize()) return std::nullopt;
  return s.rawOffset + inSection;
}

std::string PeImage::SectionLabel(size_t index) const {
  std::string name;
  for (char ch : sections[index].name) name += (ch >= 0x20 && ch < 0x7F) ? ch : '?';
  return "section " + std::to_string(index + 1) + " (" + name + ")";
}

uint32_t PeImage::CheckSumOffset() const { return optionalHeaderOffset + format::kOptCheckSum; }

std::optional<uint32_t> PeImage::DirectoryEntryOffset(uint32_t index) const {
  if (index >= directories.size()) return std::nullopt;
  return optionalHeaderOffset + dataDirectoriesOffset + 8 * index;
}

}  // namespace vo::pe
