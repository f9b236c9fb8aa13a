#pragma once
// Synthetic PE32 programs for the PE tests and the fuzzer, written here field
// by field (not with the module under test): a TestImage lists sections,
// data directories, a certificate table and trailing bytes; Build() lays them
// out the way mingw-w64's ld does (headers of SizeOfHeaders bytes, sections
// adjacent in memory from SectionAlignment on, raw data in order at
// FileAlignment) and returns the file's bytes. EncodeResourceTree writes a
// resource directory in a plain layout of its own, names as given.
//
// Field offsets used to damage images on purpose are the constants below
// (the DOS header points at 0x80).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vo::pe::test {

constexpr uint32_t kPeOffset = 0x80;
constexpr uint32_t kCoffOffset = kPeOffset + 4;
constexpr uint32_t kOptionalOffset = kCoffOffset + 20;
constexpr uint32_t kDirectoriesOffset = kOptionalOffset + 96;

inline void Put16(std::string& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2, '\0');
  b[at] = char(v & 0xFF);
  b[at + 1] = char(v >> 8 & 0xFF);
}
inline void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
inline uint32_t Get16(const std::string& b, size_t at) { return uint8_t(b.at(at)) | uint8_t(b.at(at + 1)) << 8; }
inline uint32_t Get32(const std::string& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
inline uint32_t RoundUp(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

constexpr uint32_t kCode = 0x60000020;      // code, execute, read
constexpr uint32_t kData = 0xC0000040;      // initialized data, read, write
constexpr uint32_t kReadOnly = 0x40000040;  // initialized data, read
constexpr uint32_t kBss = 0xC0000080;       // uninitialized data, read, write

struct TestSection {
  std::string name;
  std::string data;          // raw data; empty for uninitialized data
  uint32_t virtualSize = 0;  // 0: the data's size
  uint32_t characteristics = kData;
};

// A data directory that points at offset..offset+size inside a section.
struct DirectoryRef {
  size_t section = 0;
  uint32_t offset = 0;
  uint32_t size = 0;
};

struct TestImage {
  uint16_t machine = 0x14C;
  uint16_t magic = 0x10B;
  uint32_t fileAlignment = 0x200;
  uint32_t sectionAlignment = 0x1000;
  uint32_t sizeOfHeaders = 0x400;
  uint32_t imageBase = 0x400000;
  uint32_t timeDateStamp = 0x5E0BE100;
  uint32_t directoryCount = 16;
  std::vector<TestSection> sections;
  std::map<uint32_t, DirectoryRef> directories;
  std::string certificate;  // after the last section; directory 4 points at it
  std::string symbols;      // after that; the COFF header points at it

  // PE32+ moves the directory count and the directories 16 bytes on.
  bool Plus() const { return magic == 0x20B; }
  uint32_t DirectoriesOffset() const { return kDirectoriesOffset + (Plus() ? 16 : 0); }
  uint32_t SectionTableOffset() const { return DirectoriesOffset() + 8 * directoryCount; }

  uint32_t VirtualSize(size_t i) const {
    return sections[i].virtualSize != 0 ? sections[i].virtualSize : uint32_t(sections[i].data.size());
  }
  uint32_t SectionRva(size_t index) const {
    uint32_t rva = RoundUp(sizeOfHeaders, sectionAlignment);
    for (size_t i = 0; i < index; ++i) rva = RoundUp(rva + VirtualSize(i), sectionAlignment);
    return rva;
  }
  uint32_t RawOffset(size_t index) const {
    uint32_t at = sizeOfHeaders;
    for (size_t i = 0; i < index; ++i) at += RoundUp(uint32_t(sections[i].data.size()), fileAlignment);
    return at;
  }

  std::string Build() const {
    std::string file(sizeOfHeaders, '\0');
    file[0] = 'M';
    file[1] = 'Z';
    Put32(file, 0x3C, kPeOffset);
    file.replace(kPeOffset, 4, std::string("PE\0\0", 4));
    const uint32_t n = uint32_t(sections.size());
    Put16(file, kCoffOffset + 0, machine);
    Put16(file, kCoffOffset + 2, n);
    Put32(file, kCoffOffset + 4, timeDateStamp);
    Put16(file, kCoffOffset + 16, DirectoriesOffset() - kOptionalOffset + 8 * directoryCount);
    Put16(file, kCoffOffset + 18, 0x0102);  // executable, 32-bit
    const uint32_t o = kOptionalOffset;
    uint32_t code = 0, initialized = 0, uninitialized = 0;
    for (size_t i = 0; i < n; ++i) {
      const uint32_t raw = RoundUp(uint32_t(sections[i].data.size()), fileAlignment);
      if (sections[i].characteristics & 0x20) code += raw;
      if (sections[i].characteristics & 0x40) initialized += raw;
      if (sections[i].characteristics & 0x80) uninitialized += RoundUp(VirtualSize(i), fileAlignment);
    }
    Put16(file, o + 0, magic);
    file[o + 2] = 2;
    Put32(file, o + 4, code);
    Put32(file, o + 8, initialized);
    Put32(file, o + 12, uninitialized);
    Put32(file, o + 16, n > 0 ? SectionRva(0) : 0);  // entry point
    Put32(file, o + 20, n > 0 ? SectionRva(0) : 0);
    if (Plus()) {
      Put32(file, o + 24, imageBase);  // the low half of the 8-byte base; no BaseOfData
    } else {
      Put32(file, o + 28, imageBase);
    }
    Put32(file, o + 32, sectionAlignment);
    Put32(file, o + 36, fileAlignment);
    Put16(file, o + 40, 4);
    Put16(file, o + 48, 4);
    Put32(file, o + 56, SectionRva(n));  // SizeOfImage
    Put32(file, o + 60, sizeOfHeaders);
    Put16(file, o + 68, 3);  // console
    if (!Plus()) {
      Put32(file, o + 72, 0x200000);
      Put32(file, o + 76, 0x1000);
      Put32(file, o + 80, 0x100000);
      Put32(file, o + 84, 0x1000);
    }
    Put32(file, DirectoriesOffset() - 4, directoryCount);
    for (const auto& [index, ref] : directories) {
      Put32(file, DirectoriesOffset() + 8 * index, SectionRva(ref.section) + ref.offset);
      Put32(file, DirectoriesOffset() + 8 * index + 4, ref.size);
    }
    for (size_t i = 0; i < n; ++i) {
      const size_t h = SectionTableOffset() + 40 * i;
      const uint32_t raw = RoundUp(uint32_t(sections[i].data.size()), fileAlignment);
      file.replace(h, sections[i].name.size(), sections[i].name);
      Put32(file, h + 8, VirtualSize(i));
      Put32(file, h + 12, SectionRva(i));
      Put32(file, h + 16, raw);
      Put32(file, h + 20, raw > 0 ? RawOffset(i) : 0);
      Put32(file, h + 36, sections[i].characteristics);
    }
    file.resize(sizeOfHeaders, '\0');
    for (const TestSection& s : sections) {
      file += s.data;
      file.resize(RoundUp(uint32_t(file.size()), fileAlignment), '\0');
    }
    if (!certificate.empty()) {
      Put32(file, DirectoriesOffset() + 8 * 4, uint32_t(file.size()));
      Put32(file, DirectoriesOffset() + 8 * 4 + 4, uint32_t(certificate.size()));
      file += certificate;
    }
    if (!symbols.empty()) {
      Put32(file, kCoffOffset + 8, uint32_t(file.size()));
      Put32(file, kCoffOffset + 12, uint32_t(symbols.size() / 18));
      file += symbols;
    }
    return file;
  }
};

// A resource for EncodeResourceTree: type and name are an id or a string.
struct TestName {
  uint16_t id = 0;
  std::u16string text;  // a string name when not empty
  TestName(uint16_t id) : id(id) {}
  TestName(const char16_t* text) : text(text) {}
  bool operator==(const TestName& o) const { return id == o.id && text == o.text; }
};

struct TestResource {
  TestName type;
  TestName name;
  uint16_t language;
  std::string data;
};

// A resource directory for a section at sectionRva: the root, then one name
// table per type, one language table per name (in order of first
// appearance), the data entries, the name strings, then the data 4-byte
// aligned.
inline std::string EncodeResourceTree(const std::vector<TestResource>& resources, uint32_t sectionRva) {
  std::vector<TestName> types;
  std::vector<std::pair<size_t, TestName>> names;  // type index, name
  auto indexOf = [](auto& list, const auto& value) {
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i] == value) return i;
    }
    list.push_back(value);
    return list.size() - 1;
  };
  std::vector<size_t> nameOf;
  for (const TestResource& r : resources) {
    const size_t t = indexOf(types, r.type);
    nameOf.push_back(indexOf(names, std::make_pair(t, r.name)));
  }
  auto tableSize = [](size_t n) { return uint32_t(16 + 8 * n); };
  uint32_t at = tableSize(types.size());
  std::vector<uint32_t> typeTable, nameTable;
  for (size_t t = 0; t < types.size(); ++t) {
    typeTable.push_back(at);
    size_t count = 0;
    for (const auto& n : names) count += n.first == t;
    at += tableSize(count);
  }
  for (size_t k = 0; k < names.size(); ++k) {
    nameTable.push_back(at);
    size_t count = 0;
    for (size_t r = 0; r < resources.size(); ++r) count += nameOf[r] == k;
    at += tableSize(count);
  }
  const uint32_t dataEntries = at;
  at += 16 * uint32_t(resources.size());
  std::string tree;
  std::map<std::u16string, uint32_t> strings;
  auto nameField = [&](const TestName& name) -> uint32_t {
    if (name.text.empty()) return name.id;
    auto found = strings.find(name.text);
    if (found != strings.end()) return 0x80000000u | found->second;
    strings[name.text] = at;
    Put16(tree, at, uint32_t(name.text.size()));
    for (size_t i = 0; i < name.text.size(); ++i) Put16(tree, at + 2 + 2 * i, name.text[i]);
    const uint32_t here = at;
    at += 2 + 2 * uint32_t(name.text.size());
    return 0x80000000u | here;
  };
  auto table = [&](uint32_t offset, const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
    uint32_t named = 0;
    for (const auto& e : entries) named += (e.first & 0x80000000u) != 0;
    Put32(tree, offset, 0);
    Put16(tree, offset + 12, named);
    Put16(tree, offset + 14, uint32_t(entries.size()) - named);
    for (size_t i = 0; i < entries.size(); ++i) {
      Put32(tree, offset + 16 + 8 * i, entries[i].first);
      Put32(tree, offset + 20 + 8 * i, entries[i].second);
    }
  };
  std::vector<std::pair<uint32_t, uint32_t>> root;
  for (size_t t = 0; t < types.size(); ++t) root.push_back({nameField(types[t]), 0x80000000u | typeTable[t]});
  table(0, root);
  for (size_t t = 0; t < types.size(); ++t) {
    std::vector<std::pair<uint32_t, uint32_t>> entries;
    for (size_t k = 0; k < names.size(); ++k) {
      if (names[k].first == t) entries.push_back({nameField(names[k].second), 0x80000000u | nameTable[k]});
    }
    table(typeTable[t], entries);
  }
  for (size_t k = 0; k < names.size(); ++k) {
    std::vector<std::pair<uint32_t, uint32_t>> entries;
    for (size_t r = 0; r < resources.size(); ++r) {
      if (nameOf[r] == k) entries.push_back({resources[r].language, dataEntries + 16 * uint32_t(r)});
    }
    table(nameTable[k], entries);
  }
  at = RoundUp(at, 4);
  for (size_t r = 0; r < resources.size(); ++r) {
    Put32(tree, dataEntries + 16 * r, sectionRva + at);
    Put32(tree, dataEntries + 16 * r + 4, uint32_t(resources[r].data.size()));
    Put32(tree, dataEntries + 16 * r + 8, 0);
    tree.resize(at, '\0');
    tree += resources[r].data;
    at = RoundUp(uint32_t(tree.size()), 4);
  }
  tree.resize(at, '\0');
  return tree;
}

// A base relocation section: one block per page RVA, each with one HIGHLOW
// entry at offset 0x10 and one padding entry.
inline std::string EncodeRelocations(const std::vector<uint32_t>& pages) {
  std::string out;
  for (uint32_t page : pages) {
    const size_t at = out.size();
    Put32(out, at, page);
    Put32(out, at + 4, 12);
    Put16(out, at + 8, 0x3010);
    Put16(out, at + 10, 0);
  }
  return out;
}

// The stub shapes the tests stamp: mingw-like section lists with and without
// resources and relocations, in the orders ld and other linkers produce.
enum class StubShape {
  Bare,                // .text .data .rdata .bss .idata: no resources, no relocations
  Relocations,         // ... .reloc
  ResourcesLast,       // ... .rsrc
  ResourcesThenRelocs, // ... .rsrc .reloc (ld's order)
  RelocsThenResources, // ... .reloc .rsrc
  ResourcesInside,     // .rsrc in the middle, then .tls, then .reloc
};

inline const std::vector<TestResource>& StubResources() {
  static const std::vector<TestResource> resources = {
      {24, 1, 1033, "<assembly>stub manifest</assembly>"},
      {10, u"StubData", 2052, "stub's own data, kept"},
      {10, u"ImageLeft0", 2052, "stub's banner, replaced"},
      {6, 63, 2052, std::string(32, '\0')},
      {6, 63, 1033, std::string(32, '\0')},
  };
  return resources;
}

inline TestImage MakeStub(StubShape shape) {
  TestImage image;
  image.sections.push_back({".text", std::string(0x345, '\xC3'), 0, kCode});
  image.sections.push_back({".data", std::string(0x40, '\x11'), 0, kData});
  image.sections.push_back({".rdata", std::string(0x250, '\x22'), 0, kReadOnly});
  image.sections.push_back({".bss", "", 0x800, kBss});
  image.sections.push_back({".idata", std::string(0x90, '\0'), 0, kData});  // no imports: a zero descriptor
  image.directories[1] = {4, 0, 0x28};   // imports
  image.directories[12] = {4, 0x40, 8};  // import address table
  auto addResources = [&] {
    const size_t index = image.sections.size();
    image.sections.push_back({".rsrc", "", 0, kReadOnly});
    image.sections[index].data = EncodeResourceTree(StubResources(), image.SectionRva(index));
    image.directories[2] = {index, 0, uint32_t(image.sections[index].data.size())};
  };
  auto addRelocations = [&] {
    const std::string blocks = EncodeRelocations({image.SectionRva(0), image.SectionRva(1), image.SectionRva(2)});
    image.sections.push_back({".reloc", blocks, 0, 0x42000040});
    image.directories[5] = {image.sections.size() - 1, 0, uint32_t(blocks.size())};
  };
  switch (shape) {
    case StubShape::Bare: break;
    case StubShape::Relocations: addRelocations(); break;
    case StubShape::ResourcesLast: addResources(); break;
    case StubShape::ResourcesThenRelocs: addResources(); addRelocations(); break;
    case StubShape::RelocsThenResources: addRelocations(); addResources(); break;
    case StubShape::ResourcesInside:
      addResources();
      image.sections.push_back({".tls", std::string(0x18, '\x44'), 0, kData});
      image.directories[9] = {image.sections.size() - 1, 0, 0x18};
      addRelocations();
      break;
  }
  return image;
}

}  // namespace vo::pe::test
