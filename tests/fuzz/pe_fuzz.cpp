// Fuzz target for the PE module: the image parser, the resource reader, the
// stamper and the icon-file reader.
//
//   tests/fuzz/run.sh pe 600
//
// The first input byte picks how the rest is used:
//   0  the bytes are the program file as they stand;
//   1  a well-formed stub (tests/pe/PeImageBuilder.h) whose shape,
//      alignments and resource tree (types, names, languages, data) the
//      input chooses, then damaged by the input's byte edits; this reaches
//      the tree walk and the stamper with headers that mostly parse;
//   2  the bytes are an .ico file for MakeIconResources.
// Every stub that parses is stamped with a few resources. A stamp that
// succeeds must give a program that parses again and carries every resource
// written, with its size; anything else aborts.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "package/InstallerDigest.h"
#include "pe/PeImage.h"
#include "pe/PeResources.h"
#include "pe/ResourceBuilders.h"
#include "pe/ResourceStamper.h"
#include "tests/pe/PeImageBuilder.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

using namespace vo::pe;
using namespace vo::pe::test;

using vo::fuzz::Input;

TestName PickName(Input& in) {
  static const char16_t* const kNames[] = {u"StpFile", u"STPFILE", u"a", u"A", u"ImageLeft0", u"#12", u"\u00e9t\u00e9",
                                           u"SETUPPACKAGE"};
  const uint8_t b = in.Byte();
  if (b < 0xC0) return TestName(uint16_t(b % 40));  // ids, 0 included
  return TestName(kNames[b % 8]);
}

std::string FromBuilder(Input& in) {
  TestImage image = MakeStub(StubShape(in.Byte() % 6));
  const uint8_t layout = in.Byte();
  if (layout & 1) image.fileAlignment = 0x1000;
  if (layout & 2) image.sectionAlignment = 0x2000;
  if (layout & 4) image.sizeOfHeaders = image.fileAlignment == 0x1000 ? 0x1000 : 0x200;
  if (layout & 8) image.certificate = in.Take(in.Byte());
  if (layout & 16) image.symbols = std::string(18, '\x01');
  std::vector<TestResource> resources;
  const int count = in.Byte() % 9;
  for (int i = 0; i < count; ++i) {
    TestResource r{PickName(in), PickName(in), in.Word(), ""};
    r.data = in.Take(in.Byte() % 64);
    resources.push_back(r);
  }
  for (size_t s = 0; s < image.sections.size(); ++s) {
    if (image.sections[s].name == ".rsrc") {
      image.sections[s].data = EncodeResourceTree(resources, image.SectionRva(s));
      image.directories[2] = {s, 0, uint32_t(image.sections[s].data.size())};
    }
  }
  // Sections move when an earlier one changes size; keep the relocations'
  // directory on its section.
  for (size_t s = 0; s < image.sections.size(); ++s) {
    if (image.sections[s].name == ".reloc") image.directories[5] = {s, 0, uint32_t(image.sections[s].data.size())};
  }
  std::string bytes = image.Build();
  const int edits = in.Byte() % 8;
  for (int e = 0; e < edits && !bytes.empty(); ++e) {
    const uint32_t at = (uint32_t(in.Word()) | uint32_t(in.Byte()) << 16) % bytes.size();
    bytes[at] = char(in.Byte());
  }
  return bytes;
}

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "pe_fuzz: %s\n", what);
  std::abort();
}

void StampAndCheck(const PeImage& stub, MemorySource& file) {
  MemorySource package(std::string(300, '\x42'));
  std::vector<NewResource> resources = MakeStringTableResources({{1001, u"fuzz"}, {1017, u"\u7ed8"}}, 2052);
  resources.push_back(NewResource::FromBytes(kTypeRcData, u"ImageLeft0", 2052, "banner"));
  resources.push_back(NewResource::FromSource(u"StpFile", u"SetupPackage", 2052, package, 299, 1));
  MemorySink out;
  try {
    StampResources(stub, file, resources, out);
  } catch (const PeError&) {
    return;
  }
  MemorySource stamped(out.Bytes());
  try {
    const PeImage image = PeImage::Parse(stamped);
    const std::vector<ResourceEntry> entries = ReadResources(image, stamped);
    for (const NewResource& r : resources) {
      const ResourceEntry* found = FindResourceEntry(entries, r.type, r.name, r.language);
      if (found == nullptr || found->size != r.DataSize()) Broken("a written resource is missing or has another size");
    }
  } catch (const PeError& e) {
    std::fprintf(stderr, "pe_fuzz: %s\n", e.what());
    Broken("the stamped program does not read back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const uint8_t mode = in.Byte() % 3;
  if (mode == 2) {
    try {
      MakeIconResources(in.Rest(), u"APPICON", 2052);
    } catch (const PeError&) {
    }
    return 0;
  }
  MemorySource file(mode == 0 ? in.Rest() : FromBuilder(in));
  // The installer's own check runs on whatever it is given, before it trusts
  // a byte of it: it may refuse, never crash, and what it locates lies inside.
  const vo::InstallerCheck check = vo::CheckInstallerOutsidePackage(file);
  for (const vo::FileRange& r : {check.parts.package, check.parts.digest}) {
    if (r.offset + r.size > file.Size()) Broken("the installer check located a resource outside the file");
  }
  PeImage image;
  try {
    image = PeImage::Parse(file);
    const std::vector<ResourceEntry> entries = ReadResources(image, file);
    for (const ResourceEntry& e : entries) {
      if (e.fileOffset + e.size > file.Size()) Broken("a resource lies outside the file");
      FindResourceEntry(entries, e.type, e.name);
    }
  } catch (const PeError&) {
    return 0;
  }
  StampAndCheck(image, file);
  return 0;
}
