#pragma once
// Programs for the tool's tests, made here: a synthetic PE32 program (the
// stub, or the uninstaller stpack packs), one with a version block of its
// own as the prebuilt programs have, and the version block read back from a
// program's resources with the project's PE reader.

#include <cstdint>
#include <string>
#include <vector>

#include "../pe/PeImageBuilder.h"
#include "pe/PeImage.h"
#include "pe/PeIo.h"
#include "pe/PeResources.h"
#include "pe/ResourceBuilders.h"
#include "pe/ResourceStamper.h"

namespace vo::test {

// A program as small as the PE module accepts: code, data (which tells two
// programs apart), and relocations last; signed when given a certificate.
inline std::string SyntheticProgram(const std::string& certificate = "",
                                    const std::string& data = std::string(0x80, 'd')) {
  pe::test::TestImage image;
  image.certificate = certificate;
  image.sections.push_back({".text", std::string(0x300, '\xC3'), 0, pe::test::kCode});
  image.sections.push_back({".data", data, 0, pe::test::kData});
  std::string relocations;
  pe::test::Put32(relocations, 0, 0x1000);
  pe::test::Put32(relocations, 4, 12);
  pe::test::Put16(relocations, 8, 0x3010);
  pe::test::Put16(relocations, 10, 0);
  image.sections.push_back({".reloc", relocations, 0, 0x42000040});
  image.directories[5] = {2, 0, 12};
  return image.Build();
}

// program with a version block of its own under US English, as the project's
// prebuilt SetupStub.exe and Uninst.exe have.
inline std::string WithVersionBlock(const std::string& program, const pe::VersionInfo& info) {
  pe::MemorySource source(program);
  pe::MemorySink sink;
  pe::StampResources(pe::PeImage::Parse(source), source, {pe::MakeVersionResource(info, 1033)}, sink);
  return sink.Bytes();
}

// A version block: a string of its table (the UTF-16 key with its
// terminator, then the value at the next 4-byte boundary), and the
// fixed-info versions after the signature 0xFEEF04BD.
struct VersionBlock {
  std::string bytes;
  uint16_t language = 0;

  static std::string Utf16z(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += {char(c & 0xFF), char(c >> 8)};
    return out + std::string(2, '\0');
  }
  std::u16string String(const std::u16string& key) const {
    size_t at = bytes.find(Utf16z(key));
    if (at == std::string::npos || at % 2 != 0) return u"(missing)";
    at = (at + 2 * (key.size() + 1) + 3) & ~size_t(3);
    std::u16string value;
    for (; at + 1 < bytes.size() && (bytes[at] != 0 || bytes[at + 1] != 0); at += 2) {
      value += char16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
    }
    return value;
  }
  // file version MS, LS, product version MS, LS
  std::vector<uint32_t> Fixed() const {
    const size_t at = bytes.find(std::string("\xBD\x04\xEF\xFE", 4));
    std::vector<uint32_t> words;
    for (size_t i = 0; at != std::string::npos && i < 4; ++i) {
      const size_t p = at + 8 + 4 * i;
      words.push_back(uint32_t(uint8_t(bytes[p])) | uint32_t(uint8_t(bytes[p + 1])) << 8 |
                      uint32_t(uint8_t(bytes[p + 2])) << 16 | uint32_t(uint8_t(bytes[p + 3])) << 24);
    }
    return words;
  }
};

// The version blocks of a program (every name, every language), read with
// the project's PE reader.
inline std::vector<VersionBlock> VersionBlocksOf(const std::string& program) {
  pe::MemorySource source(program);
  std::vector<VersionBlock> blocks;
  for (const pe::ResourceEntry& e : pe::ReadResources(pe::PeImage::Parse(source), source)) {
    if (!e.type.isString && e.type.id == pe::kTypeVersion) {
      blocks.push_back({program.substr(size_t(e.fileOffset), e.size), e.language});
    }
  }
  return blocks;
}

}  // namespace vo::test
