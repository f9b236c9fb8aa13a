// The stamper: every stub shape stamped with a product's resources and read
// back (merge, order, upper-case names, layout, kept sections, moved
// relocations, checksum, reproducibility), and the stubs and inputs it
// refuses.

#include <gtest/gtest.h>

#include "PeTestSupport.h"
#include "pe/PeChecksum.h"
#include "pe/ResourceBuilders.h"
#include "pe/ResourceStamper.h"

namespace vo::pe::test {
namespace {

struct Stamped {
  std::string bytes;
  StampResult result;
};

Stamped Stamp(const std::string& stub, const std::vector<NewResource>& resources) {
  MemorySource source(stub);
  const PeImage image = PeImage::Parse(source);
  MemorySink sink;
  Stamped out;
  out.result = StampResources(image, source, resources, sink);
  out.bytes = sink.Bytes();
  return out;
}

// What a product's installer gets, in the forms the tool passes: blocks of
// strings, bytes in memory (one empty, one of odd length), a package from a
// source, names in mixed case (one of them replaces the stub's "ImageLeft0").
struct ProductInput {
  GeneratedSource package{300001};
  std::vector<NewResource> resources;
  ProductInput() {
    resources = MakeStringTableResources({{1001, u"Drawvane"}, {1002, u"\u7ed8\u98ce"}, {1017, u"https://x.invalid/"}},
                                         2052);
    resources.push_back(NewResource::FromBytes(kTypeRcData, u"imageLeft0", 2052, "new banner 0"));
    resources.push_back(NewResource::FromBytes(kTypeRcData, u"ImageLeft2", 2052, "new banner 2, odd"));
    resources.push_back(NewResource::FromBytes(kTypeBitmap, u"ImageIcon", 2052, "BM bitmap"));
    resources.push_back(NewResource::FromBytes(kTypeRcData, u"License2", 2052, ""));
    resources.push_back(NewResource::FromSource(u"StpFile", u"SetupPackage", 2052, package, package.Size()));
    resources.push_back(NewResource::FromBytes(kTypeRcData, u"PackageDigest", 2052, std::string(32, '\x5A')));
  }
};

struct ExpectedResource {
  std::string label;  // type name language
  uint32_t size;
  uint32_t crc;
};

std::vector<ExpectedResource> ExpectedResources(ProductInput& input, bool stubHasResources) {
  auto entry = [](std::string label, const std::string& bytes) {
    return ExpectedResource{std::move(label), uint32_t(bytes.size()), Crc32(bytes)};
  };
  const std::vector<NewResource>& r = input.resources;
  std::vector<ExpectedResource> list = {
      {"\"STPFILE\" \"SETUPPACKAGE\" 2052", uint32_t(input.package.Size()),
       Crc32Of(input.package, 0, input.package.Size())},
      entry("#2 \"IMAGEICON\" 2052", "BM bitmap"),
      entry("#6 #63 2052", r[0].bytes),  // the stub's 2052 and 1033 blocks are replaced
      entry("#6 #64 2052", r[1].bytes),
      entry("#10 \"IMAGELEFT0\" 2052", "new banner 0"),
      entry("#10 \"IMAGELEFT2\" 2052", "new banner 2, odd"),
      entry("#10 \"LICENSE2\" 2052", ""),
      entry("#10 \"PACKAGEDIGEST\" 2052", std::string(32, '\x5A')),
  };
  if (stubHasResources) {
    list.push_back(entry("#10 \"STUBDATA\" 2052", "stub's own data, kept"));
    list.push_back(entry("#24 #1 1033", "<assembly>stub manifest</assembly>"));
  }
  return list;
}

uint32_t InitializedDataOf(const PeImage& image) {
  uint32_t sum = 0;
  for (const SectionHeader& s : image.sections) sum += (s.characteristics & 0x40) ? s.rawSize : 0;
  return sum;
}

TEST(Stamp, EveryStubShapeReadsBack) {
  struct Case {
    const char* name;
    StubShape shape;
    size_t keptSections;           // stub sections that stay where they are
    std::vector<std::string> out;  // section names of the result
  };
  const std::vector<std::string> base = {".text", ".data", ".rdata", ".bss", ".idata"};
  auto names = [&](std::vector<std::string> tail) {
    std::vector<std::string> all = base;
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
  };
  const Case cases[] = {
      {"no resources, no relocations", StubShape::Bare, 5, names({".rsrc"})},
      {"relocations only", StubShape::Relocations, 5, names({".rsrc", ".reloc"})},
      {"resources last", StubShape::ResourcesLast, 5, names({".rsrc"})},
      {"resources then relocations (ld)", StubShape::ResourcesThenRelocs, 5, names({".rsrc", ".reloc"})},
      {"relocations then resources", StubShape::RelocsThenResources, 5, names({".rsrc", ".reloc"})},
      {"resources not at the end", StubShape::ResourcesInside, 7, names({".rsrc", ".tls", ".rsrc", ".reloc"})},
  };
  // Every shape as an x86 (PE32) and as an x64 (PE32+) program.
  for (const bool x64 : {false, true})
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (x64 ? ", x64" : ", x86"));
    TestImage shape = MakeStub(c.shape);
    if (x64) {
      shape.machine = 0x8664;
      shape.magic = 0x20B;
    }
    const std::string stubBytes = shape.Build();
    MemorySource stubSource(stubBytes);
    const PeImage stub = PeImage::Parse(stubSource);
    ProductInput input;

    const Stamped stamped = Stamp(stubBytes, input.resources);

    MemorySource outSource(stamped.bytes);
    const PeImage out = PeImage::Parse(outSource);
    // Sections: the kept ones unchanged, byte for byte.
    std::vector<std::string> sectionNames;
    for (const SectionHeader& s : out.sections) sectionNames.push_back(s.name);
    EXPECT_EQ(sectionNames, c.out);
    for (size_t i = 0; i < c.keptSections; ++i) {
      const SectionHeader& a = stub.sections[i];
      const SectionHeader& b = out.sections[i];
      EXPECT_EQ(b.virtualAddress, a.virtualAddress) << a.name;
      EXPECT_EQ(b.virtualSize, a.virtualSize) << a.name;
      EXPECT_EQ(b.rawOffset, a.rawOffset) << a.name;
      EXPECT_EQ(b.rawSize, a.rawSize) << a.name;
      EXPECT_EQ(b.characteristics, a.characteristics) << a.name;
      EXPECT_EQ(stamped.bytes.substr(b.rawOffset, b.rawSize), stubBytes.substr(a.rawOffset, a.rawSize)) << a.name;
    }
    // The new resource section: where the directory points, page-aligned in
    // the file, every datum 8-byte aligned.
    const SectionHeader& rsrc = out.sections[c.keptSections];
    EXPECT_EQ(rsrc.name, ".rsrc");
    EXPECT_EQ(rsrc.characteristics, 0x40000040u);
    EXPECT_EQ(rsrc.rawOffset % 4096, 0u);
    EXPECT_EQ(out.Directory(kResourceDirectory).rva, rsrc.virtualAddress);
    EXPECT_EQ(out.Directory(kResourceDirectory).size, rsrc.virtualSize);
    EXPECT_EQ(stamped.result.resourceSectionRva, rsrc.virtualAddress);
    EXPECT_EQ(stamped.result.resourceSectionOffset, rsrc.rawOffset);
    EXPECT_EQ(stamped.result.resourceSectionSize, rsrc.virtualSize);
    // Resources: merged, sorted, names upper-case, bytes intact.
    const std::vector<ResourceEntry> entries = ReadResources(out, outSource);
    const std::vector<ExpectedResource> expected = ExpectedResources(input, c.shape != StubShape::Bare &&
                                                                               c.shape != StubShape::Relocations);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      const ResourceEntry& e = entries[i];
      EXPECT_EQ(e.type.Label() + " " + e.name.Label() + " " + std::to_string(e.language), expected[i].label);
      EXPECT_EQ(e.size, expected[i].size) << expected[i].label;
      EXPECT_EQ(Crc32Of(outSource, e.fileOffset, e.size), expected[i].crc) << expected[i].label;
      EXPECT_EQ(e.dataRva % 8, 0u) << expected[i].label;
      EXPECT_EQ(out.SectionContaining(e.dataRva), int(c.keptSections)) << expected[i].label;
    }
    // Relocations: same blocks, directory moved with their section.
    const DataDirectory oldRelocs = stub.Directory(kBaseRelocationDirectory);
    const DataDirectory newRelocs = out.Directory(kBaseRelocationDirectory);
    EXPECT_EQ(newRelocs.size, oldRelocs.size);
    if (oldRelocs.rva != 0) {
      EXPECT_EQ(newRelocs.rva, out.sections.back().virtualAddress);
      EXPECT_EQ(stamped.bytes.substr(*out.FileOffsetOf(newRelocs.rva, newRelocs.size), newRelocs.size),
                stubBytes.substr(*stub.FileOffsetOf(oldRelocs.rva, oldRelocs.size), oldRelocs.size));
    }
    for (uint32_t d : {0u, 1u, 3u, 6u, 9u, 12u}) {
      EXPECT_EQ(out.Directory(d).rva, stub.Directory(d).rva) << DataDirectoryLabel(d);
      EXPECT_EQ(out.Directory(d).size, stub.Directory(d).size) << DataDirectoryLabel(d);
    }
    // Headers: the stub's time stamp, sizes that add up, the checksum.
    EXPECT_EQ(out.timeDateStamp, stub.timeDateStamp);
    const SectionHeader& last = out.sections.back();
    EXPECT_EQ(out.sizeOfImage, RoundUp(last.virtualAddress + last.MappedSize(), 0x1000));
    EXPECT_EQ(out.sizeOfInitializedData, InitializedDataOf(out));
    EXPECT_EQ(stamped.result.fileSize, stamped.bytes.size());
    EXPECT_EQ(stamped.bytes.size(), uint64_t(last.rawOffset) + last.rawSize);
    EXPECT_EQ(out.checkSum, stamped.result.checkSum);
    EXPECT_EQ(out.checkSum, ComputePeChecksum(outSource, out.CheckSumOffset()));
    EXPECT_EQ(stamped.bytes.substr(0, out.sectionTableOffset), [&] {
      // Only counts, sizes, the checksum and the directories change in front
      // of the section table.
      std::string expectedHead = stubBytes.substr(0, stub.sectionTableOffset);
      Put16(expectedHead, kCoffOffset + 2, uint32_t(out.sections.size()));
      Put32(expectedHead, kOptionalOffset + 8, out.sizeOfInitializedData);
      Put32(expectedHead, kOptionalOffset + 56, out.sizeOfImage);
      Put32(expectedHead, kOptionalOffset + 64, out.checkSum);
      for (uint32_t d : {2u, 5u}) {
        Put32(expectedHead, shape.DirectoriesOffset() + 8 * d, out.Directory(d).rva);
        Put32(expectedHead, shape.DirectoriesOffset() + 8 * d + 4, out.Directory(d).size);
      }
      return expectedHead;
    }());
    // Reproducible, and stamping the result again changes nothing.
    EXPECT_TRUE(Stamp(stubBytes, input.resources).bytes == stamped.bytes);
    EXPECT_TRUE(Stamp(stamped.bytes, input.resources).bytes == stamped.bytes);
  }
}

TEST(Stamp, SortsNamesTheWayTheLoaderSearches) {
  std::vector<NewResource> resources;
  for (const char16_t* name : {u"b", u"A_", u"ab", u"A1", u"a", u"\u00e9t\u00e9"}) {
    resources.push_back(NewResource::FromBytes(kTypeRcData, name, 2052, "n"));
  }
  for (uint16_t id : {300, 2, 17}) resources.push_back(NewResource::FromBytes(kTypeRcData, id, 2052, "i"));
  for (uint16_t language : {2052, 1033, 0}) resources.push_back(NewResource::FromBytes(u"zz", 1, language, "l"));
  resources.push_back(NewResource::FromBytes(u"Ab", 1, 0, "t"));
  resources.push_back(NewResource::FromBytes(3, 1, 0, "t"));

  const Stamped stamped = Stamp(MakeStub(StubShape::Bare).Build(), resources);

  MemorySource source(stamped.bytes);
  std::vector<std::string> order;
  for (const ResourceEntry& e : ReadResources(PeImage::Parse(source), source)) {
    order.push_back(e.type.Label() + " " + e.name.Label() + " " + std::to_string(e.language));
  }
  const std::vector<std::string> expected = {
      "\"AB\" #1 0",     "\"ZZ\" #1 0",     "\"ZZ\" #1 1033",  "\"ZZ\" #1 2052",
      "#3 #1 0",         "#10 \"A\" 2052",  "#10 \"A1\" 2052", "#10 \"AB\" 2052",
      "#10 \"A_\" 2052", "#10 \"B\" 2052",  "#10 \"\u00c9T\u00c9\" 2052",
      "#10 #2 2052",     "#10 #17 2052",    "#10 #300 2052",
  };
  EXPECT_EQ(order, expected);
  // The table counts: named entries first.
  MemorySource again(stamped.bytes);
  const PeImage image = PeImage::Parse(again);
  const uint64_t root = *image.FileOffsetOf(image.Directory(kResourceDirectory).rva, 16);
  EXPECT_EQ(Get16(stamped.bytes, size_t(root) + 12), 2u) << "named types";
  EXPECT_EQ(Get16(stamped.bytes, size_t(root) + 14), 2u) << "id types";
}

TEST(Stamp, LeavesOutCertificatesAndSymbols) {
  TestImage stub = MakeStub(StubShape::ResourcesThenRelocs);
  stub.certificate = std::string(0x48, '\x30');
  stub.symbols = std::string(18 * 4, '\x01');
  const std::string stubBytes = stub.Build();
  ASSERT_NE(Get32(stubBytes, kDirectoriesOffset + 8 * 4), 0u);
  ASSERT_NE(Get32(stubBytes, kCoffOffset + 8), 0u);

  const Stamped stamped = Stamp(stubBytes, ProductInput().resources);

  MemorySource source(stamped.bytes);
  const PeImage out = PeImage::Parse(source);
  EXPECT_EQ(out.Directory(kCertificateTable).rva, 0u);
  EXPECT_EQ(out.Directory(kCertificateTable).size, 0u);
  EXPECT_EQ(Get32(stamped.bytes, kCoffOffset + 8), 0u) << "PointerToSymbolTable";
  EXPECT_EQ(Get32(stamped.bytes, kCoffOffset + 12), 0u) << "NumberOfSymbols";
  EXPECT_EQ(stamped.bytes.size(), uint64_t(out.sections.back().rawOffset) + out.sections.back().rawSize);
}

TEST(Stamp, FullSectionTableIsEnoughWhenTheCountStays) {
  // SizeOfHeaders 0x200 holds three section headers after the optional
  // header (0x178 + 3 * 0x28 = 0x1f0).
  TestImage stub;
  stub.sizeOfHeaders = 0x200;
  stub.sections.push_back({".text", std::string(0x40, '\xC3'), 0, kCode});
  stub.sections.push_back({".rsrc", "", 0, kReadOnly});
  stub.sections[1].data = EncodeResourceTree({{10, u"OLD", 0, "old"}}, stub.SectionRva(1));
  stub.directories[2] = {1, 0, uint32_t(stub.sections[1].data.size())};
  stub.sections.push_back({".reloc", EncodeRelocations({stub.SectionRva(0)}), 0, 0x42000040});
  stub.directories[5] = {2, 0, 12};

  const Stamped stamped = Stamp(stub.Build(), {NewResource::FromBytes(kTypeRcData, u"NEW", 0, "new")});

  MemorySource source(stamped.bytes);
  const PeImage out = PeImage::Parse(source);
  ASSERT_EQ(out.sections.size(), 3u);
  EXPECT_EQ(ReadResources(out, source).size(), 2u);
}

TEST(Stamp, RefusesStubsItCannotStampSafely) {
  auto bytesOf = [](StubShape shape, std::function<void(TestImage&)> edit) {
    TestImage image = MakeStub(shape);
    edit(image);
    return image.Build();
  };
  auto patched = [](StubShape shape, std::function<void(std::string&, const TestImage&)> edit) {
    const TestImage image = MakeStub(shape);
    std::string bytes = image.Build();
    edit(bytes, image);
    return bytes;
  };
  struct Case {
    const char* name;
    std::string stub;
    const char* message;
  };
  const Case cases[] = {
      {"no room for another section header",
       bytesOf(StubShape::Bare,
               [](TestImage& i) {
                 i.sizeOfHeaders = 0x200;
                 i.sections.resize(3);
                 i.directories.clear();
               }),
       "headers: no room for another section header; SizeOfHeaders 0x200 holds the section table up to 0x1f0 and 4 "
       "headers need up to 0x218; link the stub with room for one more section"},
      {"bytes after the section table in use",
       patched(StubShape::Bare, [](std::string& b, const TestImage& i) { b[i.SectionTableOffset() + 5 * 40 + 7] = 1; }),
       "headers: bytes 0x240-0x268 after the section table are in use; the new section header needs them"},
      {"debug directory inside the resources",
       bytesOf(StubShape::ResourcesThenRelocs, [](TestImage& i) { i.directories[6] = {5, 0x10, 0x1c}; }),
       "data directory 6 (debug) points into section 6 (.rsrc), which is written anew after the new resources"},
      {"relocations that patch the resources",
       bytesOf(StubShape::ResourcesThenRelocs,
               [](TestImage& i) {
                 i.sections[6].data = EncodeRelocations({i.SectionRva(0), i.SectionRva(5)});
                 i.directories[5].size = 24;
               }),
       "data directory 5 (base relocations): the block at 0xc patches page 0x6000, which lies in the part of the image "
       "that is written anew"},
      {"relocation block larger than the directory",
       patched(StubShape::ResourcesThenRelocs,
               [](std::string& b, const TestImage& i) { Put32(b, i.RawOffset(6) + 4, 0x100); }),
       "data directory 5 (base relocations): the block at 0x0 has size 0x100, outside the directory"},
      {"resources and relocations in one section",
       bytesOf(StubShape::ResourcesLast, [](TestImage& i) { i.directories[5] = {5, 0, 8}; }),
       "section 6 (.rsrc) holds both the resources and the base relocations; they cannot be re-laid apart"},
      {"no slot for the resource directory",
       bytesOf(StubShape::Bare,
               [](TestImage& i) {
                 i.directoryCount = 2;
                 i.directories.clear();
               }),
       "optional header: NumberOfRvaAndSizes 2 leaves no slot for the resource directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorOf([&] { Stamp(c.stub, ProductInput().resources); }), c.message);
  }
}

TEST(Stamp, RefusesResourcesItCannotWrite) {
  const std::string stub = MakeStub(StubShape::ResourcesThenRelocs).Build();
  GeneratedSource small(100);
  struct Case {
    const char* name;
    std::vector<NewResource> resources;
    const char* message;
  };
  const Case cases[] = {
      {"the same resource twice",
       {NewResource::FromBytes(kTypeRcData, u"Twice", 2052, "1"), NewResource::FromBytes(kTypeRcData, u"TWICE", 2052, "2")},
       "resource type #10 name \"TWICE\" language 2052 is given twice"},
      {"id 0", {NewResource::FromBytes(kTypeRcData, uint16_t(0), 2052, "x")},
       "resource type #10 name #0 language 2052: resource id 0 cannot be looked up; ids start at 1"},
      {"type id 0", {NewResource::FromBytes(uint16_t(0), 1, 2052, "x")},
       "resource type #0 name #1 language 2052: type id 0 cannot be looked up; ids start at 1"},
      {"empty name", {NewResource::FromBytes(kTypeRcData, u"", 2052, "x")},
       "resource type #10 name \"\" language 2052: the resource name is empty"},
      {"name that reads as a number", {NewResource::FromBytes(kTypeRcData, u"#12", 2052, "x")},
       "resource type #10 name \"#12\" language 2052: the resource name \"#12\" starts with \"#\", which FindResource "
       "reads as a number; give the id instead"},
      {"source shorter than the size", {NewResource::FromSource(kTypeRcData, u"BIG", 2052, small, 90, 20)},
       "resource type #10 name \"BIG\" language 2052: data 0x14+0x5a runs past the end of its source (0x64 bytes)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorOf([&] { Stamp(stub, c.resources); }), c.message);
  }
}

TEST(Stamp, ReportsProgressUpToTheTotal) {
  ProductInput input;
  const std::string stubBytes = MakeStub(StubShape::ResourcesThenRelocs).Build();
  MemorySource source(stubBytes);
  const PeImage stub = PeImage::Parse(source);
  NullSink sink;
  uint64_t last = 0, total = 0;
  bool ordered = true;
  const StampResult result = StampResources(stub, source, input.resources, sink, [&](uint64_t written, uint64_t all) {
    ordered = ordered && written >= last;
    last = written;
    total = all;
  });
  EXPECT_TRUE(ordered);
  EXPECT_EQ(last, result.fileSize);
  EXPECT_EQ(total, result.fileSize);
  EXPECT_EQ(sink.Size(), result.fileSize);
}

}  // namespace
}  // namespace vo::pe::test
