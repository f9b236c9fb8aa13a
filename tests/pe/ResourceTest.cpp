// The resource reader (every resource of a tree, lookup by name in any letter
// case, malformed trees), and the builders of string tables, icons and
// version resources.

#include <gtest/gtest.h>

#include "PeTestSupport.h"
#include "crypt/KnownAnswer.h"
#include "pe/ResourceBuilders.h"

namespace vo::pe::test {
namespace {

using vo::test::Hex;
using vo::test::SameBytes;
using vo::test::ToHex;

std::vector<ResourceEntry> ResourcesOf(const std::string& bytes) {
  MemorySource source(bytes);
  return ReadResources(PeImage::Parse(source), source);
}

std::string Bytes(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(ResourceReader, ReadsEveryResourceWithItsPlace) {
  const TestImage stub = MakeStub(StubShape::ResourcesThenRelocs);
  const std::string bytes = stub.Build();

  const std::vector<ResourceEntry> entries = ResourcesOf(bytes);

  const std::vector<TestResource>& expected = StubResources();
  ASSERT_EQ(entries.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const ResourceEntry& e = entries[i];
    SCOPED_TRACE(e.type.Label() + " " + e.name.Label());
    EXPECT_EQ(e.type.isString, !expected[i].type.text.empty());
    EXPECT_EQ(e.type.id, expected[i].type.id);
    EXPECT_EQ(e.name.text, expected[i].name.text);
    EXPECT_EQ(e.name.id, expected[i].name.id);
    EXPECT_EQ(e.language, expected[i].language);
    EXPECT_EQ(e.size, expected[i].data.size());
    EXPECT_EQ(e.fileOffset, stub.RawOffset(5) + (e.dataRva - stub.SectionRva(5)));
    EXPECT_EQ(bytes.substr(size_t(e.fileOffset), e.size), expected[i].data);
  }
  EXPECT_TRUE(ResourcesOf(MakeStub(StubShape::Relocations).Build()).empty());
}

TEST(ResourceLookup, MatchesNamesInAnyLetterCase) {
  const std::vector<ResourceEntry> entries = ResourcesOf(MakeStub(StubShape::ResourcesLast).Build());
  struct Case {
    ResourceName type;
    ResourceName name;
    std::optional<uint16_t> language;
    const char* expected;  // "type name language", or nullptr for none
  };
  const Case cases[] = {
      {kTypeRcData, u"StubData", std::nullopt, "#10 \"StubData\" 2052"},
      {kTypeRcData, u"STUBDATA", std::nullopt, "#10 \"StubData\" 2052"},
      {kTypeRcData, u"stubdata", 2052, "#10 \"StubData\" 2052"},
      {kTypeRcData, u"stubdata", 1033, nullptr},
      {kTypeRcData, u"StubDat", std::nullopt, nullptr},
      {kTypeRcData, u"StubDataX", std::nullopt, nullptr},
      {u"10", u"StubData", std::nullopt, nullptr},  // a string type is not the id
      {kTypeString, 63, std::nullopt, "#6 #63 2052"},
      {kTypeString, 63, 1033, "#6 #63 1033"},
      {kTypeString, 64, std::nullopt, nullptr},
      {kTypeManifest, 1, std::nullopt, "#24 #1 1033"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type.Label() + " " + c.name.Label());
    const ResourceEntry* found = FindResourceEntry(entries, c.type, c.name, c.language);
    if (c.expected == nullptr) {
      EXPECT_EQ(found, nullptr);
    } else {
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(found->type.Label() + " " + found->name.Label() + " " + std::to_string(found->language), c.expected);
    }
  }
  EXPECT_TRUE(SameResourceName(u"caf\u00e9", u"CAF\u00c9"));
  EXPECT_FALSE(SameResourceName(u"\u00f7", u"\u00d7")) << "division and multiplication signs are no letters";
}

// A one-resource tree (type 10, name 1, language 0) in a .rsrc of its own:
//   0x00 root table, entry at 0x10 -> 0x18
//   0x18 name table, entry at 0x28 -> 0x30
//   0x30 language table, entry at 0x40 -> data entry 0x48
//   0x48 data entry (RVA at 0x48, size at 0x4c)
//   0x58 data "data\0\0", then 0x5c holds two zero bytes (an empty string)
TestImage OneResourceImage() {
  TestImage image;
  image.sections.push_back({".text", std::string(0x20, '\xC3'), 0, kCode});
  image.sections.push_back({".rsrc", "", 0, kReadOnly});
  image.sections[1].data = EncodeResourceTree({{10, 1, 0, std::string("data\0\0", 6)}}, image.SectionRva(1));
  image.directories[2] = {1, 0, uint32_t(image.sections[1].data.size())};
  return image;
}

TEST(ResourceReader, RefusesMalformedTrees) {
  const TestImage good = OneResourceImage();
  ASSERT_EQ(good.sections[1].data.size(), 0x60u);
  const uint32_t tree = good.RawOffset(1);
  auto at = [&](std::vector<std::pair<uint32_t, uint32_t>> edits) {
    std::string bytes = good.Build();
    for (const auto& [offset, value] : edits) Put32(bytes, tree + offset, value);
    return bytes;
  };
  auto withCount = [&](uint32_t offset, uint32_t value) {
    std::string bytes = good.Build();
    Put16(bytes, tree + offset, value);
    return bytes;
  };
  auto twoTypes = [&](uint32_t edit, uint32_t value) {
    TestImage image = good;
    image.sections[1].data = EncodeResourceTree({{10, 1, 0, "a"}, {3, 1, 0, "b"}}, image.SectionRva(1));
    image.directories[2].size = uint32_t(image.sections[1].data.size());
    std::string bytes = image.Build();
    Put32(bytes, image.RawOffset(1) + edit, value);
    return bytes;
  };
  auto directory = [&](uint32_t size) {
    std::string bytes = good.Build();
    Put32(bytes, kDirectoriesOffset + 8 * 2 + 4, size);
    return bytes;
  };
  const uint32_t kTable = 0x80000000u;
  struct Case {
    const char* name;
    std::string bytes;
    const char* message;
  };
  const Case cases[] = {
      {"name table points back to the root", at({{0x2C, kTable | 0}}),
       "resource directory: the table of type #10 name #1 at 0x0 overlaps the structure at 0x0; the tree has a loop or a "
       "shared subtree"},
      {"name table points to itself", at({{0x2C, kTable | 0x18}}),
       "resource directory: the table of type #10 name #1 at 0x18 overlaps the structure at 0x18; the tree has a loop or "
       "a shared subtree"},
      {"two types share one name table", twoTypes(0x1C, kTable | 0x20),
       "resource directory: the table of type #3 at 0x20 overlaps the structure at 0x20; the tree has a loop or a shared "
       "subtree"},
      {"table inside another table", at({{0x14, kTable | 0x10}}),
       "resource directory: the table of type #10 at 0x10 overlaps the structure at 0x0; the tree has a loop or a shared "
       "subtree"},
      {"table past the end", at({{0x14, kTable | 0x7FFFFFF0}}),
       "resource directory: the table of type #10 at 0x7ffffff0 (0x10 bytes) runs past the directory's end (0x60 bytes)"},
      {"id count beyond the directory", withCount(0x0E, 0xFFFF),
       "resource directory: the table of the root at 0x0 (0x80008 bytes) runs past the directory's end (0x60 bytes)"},
      {"name count beyond the directory", withCount(0x18 + 0x0C, 10),
       "resource directory: the table of type #10 at 0x18 (0x68 bytes) runs past the directory's end (0x60 bytes)"},
      {"data entry past the end", at({{0x44, 0x58}}),
       "resource directory: the data entry of type #10 name #1 language #0 at 0x58 (0x10 bytes) runs past the "
       "directory's end (0x60 bytes)"},
      {"data entry on top of a table", at({{0x44, 0x30}}),
       "resource directory: the data entry of type #10 name #1 language #0 at 0x30 overlaps the structure at 0x30; the "
       "tree has a loop or a shared subtree"},
      {"data outside every section", at({{0x48, 0x10}}),
       "resource directory: type #10 name #1 language #0: data 0x10+0x6 does not lie inside one section's raw data"},
      {"data larger than its section", at({{0x4C, 0x100000}}),
       "resource directory: type #10 name #1 language #0: data 0x2058+0x100000 does not lie inside one section's raw "
       "data"},
      {"name string past the end", at({{0x10, kTable | 0x200}}),
       "resource directory: the table of the root at 0x0, entry 1: name at 0x200 (0x2 bytes) runs past the directory's "
       "end (0x60 bytes)"},
      {"id wider than 16 bits", at({{0x10, 0x12345}}),
       "resource directory: the table of the root at 0x0, entry 1: id 0x12345 does not fit 16 bits"},
      {"data where the names should be", at({{0x14, 0x48}}),
       "resource directory: type #10 points to data, not to a table of names"},
      {"data where the languages should be", at({{0x2C, 0x48}}),
       "resource directory: type #10 name #1 points to data, not to a table of languages"},
      {"a fourth level", at({{0x44, kTable | 0x48}}),
       "resource directory: type #10 name #1 language #0 points to a table; the tree is deeper than three levels"},
      {"a language with a name", at({{0x40, kTable | 0x5C}}),
       "resource directory: type #10 name #1 language \"\": a language is an id, not a string"},
      {"directory too small for the root", directory(8),
       "data directory 2 (resources): size 0x8 is too small for the root table"},
      {"directory beyond the section's data", directory(0x1000),
       "data directory 2 (resources): 0x2000+0x1000 does not lie inside one section's raw data"},
  };
  EXPECT_EQ(ResourcesOf(good.Build()).size(), 1u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = ErrorOf([&] { ResourcesOf(c.bytes); });
    EXPECT_EQ(message, c.message);
  }
}

TEST(StringTable, SixteenStringsABlock) {
  const std::vector<NewResource> blocks =
      MakeStringTableResources({{1001, u"Ab"}, {1003, u"\u4e2d\u6587"}, {1017, u"z"}, {0, u"first"}, {65535, u"last"}},
                               2052);

  ASSERT_EQ(blocks.size(), 4u);
  auto emptyEntries = [](int count) { return std::string(size_t(2 * count), '\0'); };
  struct Expected {
    uint16_t block;
    std::string bytes;
  };
  const Expected expected[] = {
      {1, Bytes(Hex("0500 6600 6900 7200 7300 7400")) + emptyEntries(15)},
      {63, emptyEntries(9) + Bytes(Hex("0200 4100 6200")) + emptyEntries(1) + Bytes(Hex("0200 2d4e 8765")) + emptyEntries(4)},
      {64, emptyEntries(9) + Bytes(Hex("0100 7a00")) + emptyEntries(6)},
      {4096, emptyEntries(15) + Bytes(Hex("0400 6c00 6100 7300 7400"))},
  };
  for (size_t i = 0; i < blocks.size(); ++i) {
    SCOPED_TRACE("block " + std::to_string(expected[i].block));
    EXPECT_EQ(blocks[i].type.id, kTypeString);
    EXPECT_FALSE(blocks[i].name.isString);
    EXPECT_EQ(blocks[i].name.id, expected[i].block);
    EXPECT_EQ(blocks[i].language, 2052);
    EXPECT_EQ(ToHex(blocks[i].bytes.data(), blocks[i].bytes.size()),
              ToHex(expected[i].bytes.data(), expected[i].bytes.size()));
  }
  EXPECT_EQ(ErrorOf([] { MakeStringTableResources({{7, std::u16string(70000, u'x')}}, 2052); }),
            "string 7: 70000 characters, more than the 65535 a string table holds");
}

TEST(IconFile, BecomesNumberedIconsAndAGroup) {
  const std::string ico = TwoImageIcon();

  const std::vector<NewResource> resources = MakeIconResources(ico, u"APPICON", 2052, 5);

  ASSERT_EQ(resources.size(), 3u);
  EXPECT_EQ(resources[0].type.id, kTypeIcon);
  EXPECT_EQ(resources[0].name.id, 5);
  EXPECT_EQ(resources[0].bytes, ico.substr(6 + 32, 56));
  EXPECT_EQ(resources[1].type.id, kTypeIcon);
  EXPECT_EQ(resources[1].name.id, 6);
  EXPECT_EQ(resources[1].bytes, ico.substr(6 + 32 + 56));
  EXPECT_EQ(resources[2].type.id, kTypeGroupIcon);
  EXPECT_EQ(resources[2].name.text, u"APPICON");
  for (const NewResource& r : resources) EXPECT_EQ(r.language, 2052);
  // Header; then per image width, height, colours, reserved, planes, bits,
  // size, id. The bitmap's planes and bits come from its own header.
  EXPECT_TRUE(SameBytes(Hex("0000 0100 0200"
                            "02 02 00 00 0100 2000 38000000 0500"
                            "00 00 00 00 0100 2000 10000000 0600"),
                        resources[2].bytes.data(), resources[2].bytes.size()));
}

TEST(IconFile, RefusesMalformedFiles) {
  const std::string good = TwoImageIcon();
  auto edited = [&](size_t at, uint32_t value, bool word = false) {
    std::string bytes = good;
    if (word) {
      Put16(bytes, at, value);
    } else {
      Put32(bytes, at, value);
    }
    return bytes;
  };
  struct Case {
    const char* name;
    std::string bytes;
    uint16_t firstId;
    const char* message;
  };
  const Case cases[] = {
      {"too short", good.substr(0, 4), 1, "icon file: 4 bytes are too few for the 6-byte icon header"},
      {"a cursor", edited(2, 2, true), 1, "icon file: this is a cursor, not an icon"},
      {"a bitmap file", "BM" + good.substr(2), 1,
       "icon file: the header (reserved 19778, type 1) is not that of an icon file"},
      {"no images", edited(4, 0, true), 1, "icon file: the file holds no images"},
      {"more images than the directory holds", edited(4, 9, true), 1,
       "icon file: the directory of 9 images (0x96 bytes) runs past the end of the file (0x6e bytes)"},
      {"image past the end", edited(22 + 8, 0x100), 1,
       "icon file: image 2 of 2: data 0x5e+0x100 lies outside the file's images (0x26 to 0x6e)"},
      {"image offset overflowing", edited(22 + 12, 0xFFFFFFF0), 1,
       "icon file: image 2 of 2: data 0xfffffff0+0x10 lies outside the file's images (0x26 to 0x6e)"},
      {"image on top of the directory", edited(6 + 12, 6), 1,
       "icon file: image 1 of 2: data 0x6+0x38 lies outside the file's images (0x26 to 0x6e)"},
      {"empty image", edited(6 + 8, 0), 1, "icon file: image 1 of 2 is empty"},
      {"neither PNG nor bitmap", edited(6 + 32, 12), 1,
       "icon file: image 1 of 2 is neither a PNG nor a bitmap (no PNG signature or BITMAPINFOHEADER)"},
      {"ids beyond 65535", good, 65535, "icon ids 65535 to 65536 are not all within 1 to 65535"},
      {"id 0", good, 0, "icon ids 0 to 1 are not all within 1 to 65535"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorOf([&] { MakeIconResources(c.bytes, u"APPICON", 2052, c.firstId); }), c.message);
  }
}

TEST(VersionNumbers, UpToFourDottedNumbers) {
  const struct {
    const char16_t* text;
    VersionNumbers numbers;
  } cases[] = {
      {u"2.0", {2, 0, 0, 0}},
      {u"1.2.3.4", {1, 2, 3, 4}},
      {u"1.2.3.4.5", {1, 2, 3, 4}},
      {u"3.1 beta", {3, 1, 0, 0}},
      {u"beta.7", {0, 7, 0, 0}},
      {u"65535.65536", {65535, 0, 0, 0}},
      {u"99999999999.1", {0, 1, 0, 0}},
      {u"", {0, 0, 0, 0}},
      {u"..5", {0, 0, 5, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseVersionNumbers(c.text), c.numbers) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
  }
}

// A reader of the VS_VERSIONINFO layout written apart from the builder:
// every node's wLength must be its extent, every key and value and child
// must sit where the 4-byte alignment puts it, relative to the resource.
struct VersionNode {
  uint16_t valueLength = 0;
  uint16_t type = 0;
  std::u16string key;
  std::string value;
  std::vector<VersionNode> children;
};

uint16_t At16(const std::string& b, size_t at) { return uint16_t(uint8_t(b.at(at)) | uint8_t(b.at(at + 1)) << 8); }
uint32_t At32(const std::string& b, size_t at) { return At16(b, at) | uint32_t(At16(b, at + 2)) << 16; }
size_t Up4(size_t at) { return (at + 3) & ~size_t(3); }

VersionNode ReadNode(const std::string& b, size_t at, size_t limit) {
  EXPECT_EQ(at % 4, 0u) << "a node starts on a 4-byte boundary";
  VersionNode node;
  const size_t length = At16(b, at);
  EXPECT_LE(at + length, limit) << "a node lies inside its parent";
  node.valueLength = At16(b, at + 2);
  node.type = At16(b, at + 4);
  size_t p = at + 6;
  for (char16_t c; (c = At16(b, p)) != 0; p += 2) node.key += c;
  p = Up4(p + 2);
  const size_t valueBytes = node.type == 1 ? 2u * node.valueLength : node.valueLength;
  node.value = b.substr(p, valueBytes);
  p += valueBytes;
  while (Up4(p) < at + length) {
    p = Up4(p);
    node.children.push_back(ReadNode(b, p, at + length));
    p += At16(b, p);
  }
  EXPECT_EQ(p, at + length) << "wLength of the node ends at its last byte";
  return node;
}

std::u16string Utf16z(const std::string& value) {
  std::u16string text;
  for (size_t i = 0; i + 3 < value.size(); i += 2) text += char16_t(At16(value, i));
  EXPECT_EQ(At16(value, value.size() - 2), 0) << "a string value ends with its terminator";
  return text;
}

TEST(VersionResource, WritesTheDocumentedTree) {
  VersionInfo info;
  info.fileVersion = {1, 2, 3, 4};
  info.productVersion = {5, 6, 7, 8};
  info.strings = {{u"CompanyName", u"Acme Ltd"}, {u"ProductName", u"\u793a\u4f8b"}, {u"Empty", u""}};
  const NewResource r = MakeVersionResource(info, 1033);
  EXPECT_EQ(r.type.id, kTypeVersion);
  EXPECT_EQ(r.name.id, 1);
  EXPECT_EQ(r.language, 1033);

  const std::string& b = r.bytes;
  ASSERT_EQ(At16(b, 0), b.size()) << "the root's wLength is the resource's size";
  const VersionNode root = ReadNode(b, 0, b.size());
  EXPECT_EQ(root.key, u"VS_VERSION_INFO");
  EXPECT_EQ(root.type, 0);
  ASSERT_EQ(root.valueLength, 52);
  const std::string& fixed = root.value;
  EXPECT_EQ(At32(fixed, 0), 0xFEEF04BDu);
  EXPECT_EQ(At32(fixed, 4), 0x00010000u);
  EXPECT_EQ(At32(fixed, 8), 0x00010002u);   // file version 1.2
  EXPECT_EQ(At32(fixed, 12), 0x00030004u);  // .3.4
  EXPECT_EQ(At32(fixed, 16), 0x00050006u);
  EXPECT_EQ(At32(fixed, 20), 0x00070008u);
  EXPECT_EQ(At32(fixed, 32), 0x00040004u) << "VOS_NT_WINDOWS32";
  EXPECT_EQ(At32(fixed, 36), 1u) << "VFT_APP";

  ASSERT_EQ(root.children.size(), 2u);
  const VersionNode& stringFileInfo = root.children[0];
  EXPECT_EQ(stringFileInfo.key, u"StringFileInfo");
  ASSERT_EQ(stringFileInfo.children.size(), 1u);
  const VersionNode& table = stringFileInfo.children[0];
  EXPECT_EQ(table.key, u"040904b0");
  ASSERT_EQ(table.children.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const VersionNode& s = table.children[i];
    EXPECT_EQ(s.type, 1);
    EXPECT_EQ(s.key, info.strings[i].first);
    EXPECT_EQ(s.valueLength, info.strings[i].second.size() + 1) << "counted in UTF-16 units with the terminator";
    EXPECT_EQ(Utf16z(s.value), info.strings[i].second);
  }
  const VersionNode& varFileInfo = root.children[1];
  EXPECT_EQ(varFileInfo.key, u"VarFileInfo");
  ASSERT_EQ(varFileInfo.children.size(), 1u);
  const VersionNode& translation = varFileInfo.children[0];
  EXPECT_EQ(translation.key, u"Translation");
  EXPECT_EQ(translation.type, 0);
  ASSERT_EQ(translation.valueLength, 4);
  EXPECT_EQ(At16(translation.value, 0), 0x0409);
  EXPECT_EQ(At16(translation.value, 2), 1200);

  info.strings = {{u"Comments", std::u16string(40000, u'x')}};
  EXPECT_NE(ErrorOf([&] { MakeVersionResource(info, 1033); }).find("more than the 65535"), std::string::npos);
}

}  // namespace
}  // namespace vo::pe::test
