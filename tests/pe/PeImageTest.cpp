// The PE32 reader: what it reads from a well-formed image, the message it
// gives for each kind of malformed image, and the checksum.

#include <gtest/gtest.h>

#include "PeTestSupport.h"
#include "pe/PeChecksum.h"
#include "pe/PeImage.h"

namespace vo::pe::test {
namespace {

PeImage ParseBytes(const std::string& bytes) {
  MemorySource source(bytes);
  return PeImage::Parse(source);
}

TEST(PeImageParse, ReadsTheHeadersAndSections) {
  const TestImage stub = MakeStub(StubShape::ResourcesThenRelocs);
  const std::string bytes = stub.Build();

  const PeImage image = ParseBytes(bytes);

  EXPECT_EQ(image.fileSize, bytes.size());
  EXPECT_EQ(image.headers, bytes.substr(0, 0x400));
  EXPECT_EQ(image.peOffset, kPeOffset);
  EXPECT_EQ(image.sectionTableOffset, stub.SectionTableOffset());
  EXPECT_EQ(image.timeDateStamp, stub.timeDateStamp);
  EXPECT_EQ(image.imageBase, 0x400000u);
  EXPECT_EQ(image.fileAlignment, 0x200u);
  EXPECT_EQ(image.sectionAlignment, 0x1000u);
  EXPECT_EQ(image.sizeOfHeaders, 0x400u);
  EXPECT_EQ(image.sizeOfImage, stub.SectionRva(stub.sections.size()));
  ASSERT_EQ(image.sections.size(), stub.sections.size());
  for (size_t i = 0; i < stub.sections.size(); ++i) {
    SCOPED_TRACE(stub.sections[i].name);
    EXPECT_EQ(image.sections[i].name, stub.sections[i].name);
    EXPECT_EQ(image.sections[i].virtualAddress, stub.SectionRva(i));
    EXPECT_EQ(image.sections[i].virtualSize, stub.VirtualSize(i));
    EXPECT_EQ(image.sections[i].rawSize, RoundUp(uint32_t(stub.sections[i].data.size()), 0x200));
    if (!stub.sections[i].data.empty()) {
      EXPECT_EQ(image.sections[i].rawOffset, stub.RawOffset(i));
    }
  }
  ASSERT_EQ(image.directories.size(), 16u);
  EXPECT_EQ(image.Directory(kResourceDirectory).rva, stub.SectionRva(5));
  EXPECT_EQ(image.Directory(kBaseRelocationDirectory).rva, stub.SectionRva(6));
  EXPECT_EQ(image.SectionContaining(stub.SectionRva(2) + 0x10), 2);
  EXPECT_EQ(image.SectionContaining(stub.SectionRva(3) + 0x7FF), 3) << ".bss is mapped, without raw data";
  EXPECT_EQ(image.SectionContaining(0x10), -1) << "headers";
  EXPECT_EQ(image.FileOffsetOf(stub.SectionRva(2) + 0x10, 0x20), stub.RawOffset(2) + 0x10);
  EXPECT_EQ(image.FileOffsetOf(stub.SectionRva(3), 4), std::nullopt) << ".bss has no bytes in the file";
  EXPECT_EQ(image.FileOffsetOf(stub.SectionRva(2) + 0x240, 0x20), std::nullopt) << "past the section's virtual size";
}

TEST(PeImageParse, RefusesMalformedImages) {
  const TestImage good = MakeStub(StubShape::ResourcesThenRelocs);
  const uint32_t table = good.SectionTableOffset();
  auto patched = [&](std::function<void(std::string&)> edit) {
    std::string bytes = good.Build();
    edit(bytes);
    return bytes;
  };
  auto built = [&](std::function<void(TestImage&)> edit) {
    TestImage image = good;
    edit(image);
    return image.Build();
  };
  auto sectionField = [&](size_t section, size_t field, uint32_t value) {
    return patched([=](std::string& b) { Put32(b, table + 40 * section + field, value); });
  };
  const std::string full = good.Build();
  struct Case {
    const char* name;
    std::string bytes;
    std::string message;  // the whole message, or a part of it when it ends in "..."
  };
  const Case cases[] = {
      {"empty file", "", "DOS header: the file has 0x0 bytes, fewer than the 0x40 of a DOS header; this is not a Windows program"},
      {"no MZ", patched([](std::string& b) { b[0] = 'Z'; }), "DOS header: no \"MZ\" signature..."},
      {"PE header past the end", patched([](std::string& b) { Put32(b, 0x3C, 0x7FFFFFF0); }),
       "PE header at 0x7ffffff0: the signature and COFF header (0x7ffffff0+0x18) run past the end of the file..."},
      {"PE header inside the DOS header", patched([](std::string& b) { Put32(b, 0x3C, 0x20); }),
       "DOS header: the PE header offset 0x20 points into the DOS header"},
      {"file ends in the COFF header", full.substr(0, kCoffOffset + 10), "PE header at 0x80: ... run past the end..."},
      {"no PE signature", patched([](std::string& b) { b[kPeOffset + 2] = 'X'; }), "PE header at 0x80: no \"PE\\0\\0\" signature..."},
      {"x64 with a PE32 header", built([](TestImage& i) { i.machine = 0x8664; }),
       "optional header: magic 0x10b is not PE32+ (0x20b), which an x64 program carries"},
      {"ARM64", built([](TestImage& i) { i.machine = 0xAA64; }),
       "COFF header: machine 0xaa64 (ARM64) is not x86; the stub must be an i386 or x64 program"},
      {"ARM", built([](TestImage& i) { i.machine = 0x1C0; }), "COFF header: machine 0x1c0 is not i386..."},
      {"object file", patched([](std::string& b) { Put16(b, kCoffOffset + 18, 0x0100); }),
       "COFF header: characteristics 0x100 do not mark an executable image..."},
      {"no sections", patched([](std::string& b) { Put16(b, kCoffOffset + 2, 0); }), "COFF header: the image has no sections"},
      {"97 sections", patched([](std::string& b) { Put16(b, kCoffOffset + 2, 97); }),
       "COFF header: 97 sections, more than the 96 a Windows loader accepts"},
      {"more sections than SizeOfHeaders holds", patched([](std::string& b) { Put16(b, kCoffOffset + 2, 30); }),
       "optional header: SizeOfHeaders 0x400 does not cover the section table, which ends at 0x628"},
      {"optional header too small", patched([](std::string& b) { Put16(b, kCoffOffset + 16, 0x40); }),
       "COFF header: SizeOfOptionalHeader 0x40 is too small for a PE32 optional header (0x60 bytes at least)"},
      {"file ends in the optional header", full.substr(0, kOptionalOffset + 0x30),
       "optional header: 0x98+0xe0 runs past the end of the file (0xc8 bytes)"},
      {"i386 with a PE32+ header", built([](TestImage& i) { i.magic = 0x20B; }),
       "optional header: PE32+ (64-bit) image for an i386 machine..."},
      {"PE32+ optional header too small for its directories", [&] {
         std::string bytes = built([](TestImage& i) {
           i.machine = 0x8664;
           i.magic = 0x20B;
         });
         Put16(bytes, kCoffOffset + 16, 0x68);  // enough for PE32's 0x60, not for PE32+'s 0x70
         return bytes;
       }(),
       "COFF header: SizeOfOptionalHeader 0x68 is too small for a PE32+ optional header (0x70 bytes at least)"},
      {"ROM image", built([](TestImage& i) { i.magic = 0x107; }), "optional header: magic 0x107 is not PE32 (0x10b)"},
      {"17 data directories", patched([](std::string& b) { Put32(b, kOptionalOffset + 92, 17); }),
       "optional header: NumberOfRvaAndSizes 0x11 is more than the 16 data directories"},
      {"directories beyond the optional header", patched([](std::string& b) { Put16(b, kCoffOffset + 16, 96 + 8 * 4); }),
       "optional header: its 0x80 bytes cannot hold the 16 data directories NumberOfRvaAndSizes announces"},
      {"FileAlignment not a power of two", patched([](std::string& b) { Put32(b, kOptionalOffset + 36, 0x300); }),
       "optional header: FileAlignment 0x300 is not a power of two from 0x200 to 0x10000"},
      {"SectionAlignment below FileAlignment", patched([](std::string& b) { Put32(b, kOptionalOffset + 32, 0x100); }),
       "optional header: SectionAlignment 0x100 is not a power of two at least FileAlignment (0x200)"},
      {"SizeOfHeaders beyond the file", full.substr(0, 0x300),
       "optional header: SizeOfHeaders 0x400 runs past the end of the file (0x300 bytes)"},
      {"SizeOfHeaders not aligned", patched([](std::string& b) { Put32(b, kOptionalOffset + 60, 0x3F0); }),
       "optional header: SizeOfHeaders 0x3f0 is not a multiple of FileAlignment 0x200"},
      {"section address not aligned", sectionField(2, 12, good.SectionRva(2) + 0x10),
       "section 3 (.rdata): virtual address 0x3010 is not a multiple of SectionAlignment 0x1000"},
      {"gap between sections", sectionField(2, 12, good.SectionRva(2) + 0x1000),
       "section 3 (.rdata): virtual address 0x4000 does not follow on from the previous section (0x3000 expected)"},
      {"sections out of order", sectionField(1, 12, good.SectionRva(2)),
       "section 2 (.data): virtual address 0x3000 does not follow on from the previous section (0x2000 expected)"},
      {"first section not after the headers", sectionField(0, 12, 0x2000),
       "section 1 (.text): virtual address 0x2000 does not follow on from the headers (0x1000 expected)"},
      {"section beyond 4 GiB", sectionField(6, 8, 0xFFFFF000), "section 7 (.reloc): 0x7000+0xfffff000 ends beyond 4 GiB"},
      {"file ends in the last section", full.substr(0, full.size() - 0x100),
       "section 7 (.reloc): raw data 0x1200+0x200 runs past the end of the file (0x1300 bytes)"},
      {"raw data past the end", sectionField(2, 16, 0x19400),
       "section 3 (.rdata): raw data 0xa00+0x19400 runs past the end of the file (0x1400 bytes)"},
      {"raw data not aligned", sectionField(2, 20, 0x810),
       "section 3 (.rdata): raw data offset 0x810 is not a multiple of FileAlignment 0x200"},
      {"raw data inside the headers", sectionField(2, 20, 0x200),
       "section 3 (.rdata): raw data at 0x200 lies inside the headers (SizeOfHeaders 0x400)"},
      {"overlapping raw data", sectionField(4, 20, good.RawOffset(2)),
       "section 5 (.idata): raw data 0xa00+0x200 overlaps section 3 (.rdata) (0xa00+0x400)"},
      {"SizeOfImage too small", patched([](std::string& b) { Put32(b, kOptionalOffset + 56, 0x7000); }),
       "optional header: SizeOfImage 0x7000 is smaller than the sections' extent 0x8000"},
      {"resources outside the image", patched([](std::string& b) { Put32(b, kDirectoriesOffset + 8 * 2 + 4, 0x10000); }),
       "data directory 2 (resources): 0x6000+0x10000 lies outside the image (SizeOfImage 0x8000)"},
      {"certificate table outside the file", patched([](std::string& b) {
         Put32(b, kDirectoriesOffset + 8 * 4, 0x1000);
         Put32(b, kDirectoriesOffset + 8 * 4 + 4, 0x800);
       }),
       "data directory 4 (certificate table): 0x1000+0x800 lies outside the file (0x1400 bytes)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = ErrorOf([&] { ParseBytes(c.bytes); });
    const std::string expected = c.message;
    if (expected.size() > 3 && expected.compare(expected.size() - 3, 3, "...") == 0) {
      // "A... B..." : every part in order.
      size_t from = 0;
      size_t start = 0;
      while (start < expected.size()) {
        size_t end = expected.find("...", start);
        const std::string part = expected.substr(start, end - start);
        const size_t at = message.find(part, from);
        EXPECT_NE(at, std::string::npos) << "message: " << message << "\nlacks: " << part;
        if (at == std::string::npos) break;
        from = at + part.size();
        start = end + 3;
      }
    } else {
      EXPECT_EQ(message, expected);
    }
  }
}

// Every prefix of a good image is refused with a message, never a crash (the
// sanitizers watch the reads).
TEST(PeImageParse, EveryTruncationIsRefused) {
  const std::string full = MakeStub(StubShape::ResourcesThenRelocs).Build();
  for (size_t length = 0; length < full.size(); length += length < 0x480 ? 1 : 0x40) {
    const std::string message = ErrorOf([&] { ParseBytes(full.substr(0, length)); });
    EXPECT_NE(message, "no error") << "length " << length;
  }
}

TEST(PeChecksum, KnownAnswers) {
  // Sums worked by hand: little-endian words, carries folded back, the
  // checksum field read as zero, then the file length added.
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint64_t fieldOffset;
    uint32_t expected;
  };
  const Case cases[] = {
      {"empty", {}, 100, 0},
      {"one byte", {0x01}, 100, 0x01 + 1},
      {"one word", {0x01, 0x02}, 100, 0x0201 + 2},
      {"odd length: the last byte is a word of its own", {0x01, 0x02, 0x03}, 100, 0x0201 + 0x0003 + 3},
      {"a carry folded back", {0xFF, 0xFF, 0x02, 0x00}, 100, 0x0002 + 4},
      {"sum of 0xffff stays 0xffff", {0xFF, 0xFF, 0xFF, 0xFF}, 100, 0xFFFF + 4},
      {"a second fold: 0x2ffff folds to 0x10001, then to 0x0002",
       {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00}, 100, 0x0002 + 8},
      {"checksum field read as zero", {0xAA, 0xAA, 0xBB, 0xBB, 0xCC, 0xCC, 0xDD, 0xDD}, 2, 0x8888 + 8},
      {"field at the end, partly present", {0x10, 0x00, 0x20, 0x00, 0x30}, 4, 0x0030 - 0x0030 + 0x0010 + 0x0020 + 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySource source(std::string(c.bytes.begin(), c.bytes.end()));
    EXPECT_EQ(ComputePeChecksum(source, c.fieldOffset), c.expected);
  }
}

TEST(PeChecksum, PiecesSumLikeTheWhole) {
  std::string bytes;
  for (int i = 0; i < 301; ++i) bytes += char(GeneratedSource::ByteAt(uint64_t(i) * 7919));
  PeChecksum whole;
  whole.Add(bytes.data(), bytes.size());
  for (size_t split = 0; split <= bytes.size(); ++split) {
    PeChecksum pieces;
    pieces.Add(bytes.data(), split);
    pieces.Add(bytes.data() + split, 0);
    pieces.Add(bytes.data() + split, bytes.size() - split);
    ASSERT_EQ(pieces.Value(), whole.Value()) << "split at " << split;
  }
  MemorySource source(bytes);
  EXPECT_EQ(ComputePeChecksum(source, bytes.size() + 10), whole.Value()) << "a field beyond the bytes changes nothing";
}

}  // namespace
}  // namespace vo::pe::test
