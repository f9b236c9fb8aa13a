// An independent reader: Debian's python3-pefile (run as /usr/bin/python3
// tests/pe/pefile_dump.py) reads stamped images, and what it finds must be
// what was written: every resource's type, name, language, size and bytes
// (CRC-32), a checksum that pefile verifies, no warnings, and the stub's
// imports, relocations and kept sections unchanged. The images are the
// synthetic stubs, the real bare installer of the win32 tree, and one with a
// resource of more than 100 MB streamed from a generated source.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "CorvennaVersion.h"
#include "PeTestSupport.h"
#include "pe/PeChecksum.h"
#include "pe/ResourceBuilders.h"
#include "pe/ResourceStamper.h"

namespace vo::pe::test {
namespace {

struct PefileView {
  std::vector<std::string> resources;  // "type name language size crc"
  std::vector<std::string> sections;
  std::set<std::string> imports;
  std::vector<std::string> relocations;
  std::string checksum;  // "stored computed verified|wrong"
  std::vector<std::string> warnings;
  std::string output;  // everything, for failure messages
};

PefileView Pefile(const fs::path& image, bool checksum = true) {
  const std::string command = std::string("/usr/bin/python3 '") + PE_TEST_SOURCE_DIR + "/pefile_dump.py' " +
                              (checksum ? "" : "--no-checksum ") + "'" + image.string() + "' 2>&1";
  PefileView view;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) view.output.append(buffer, got);
  const int status = ::pclose(pipe);
  if (status != 0) throw std::runtime_error(command + " failed:\n" + view.output);
  std::istringstream lines(view.output);
  std::string line;
  while (std::getline(lines, line)) {
    const std::string kind = line.substr(0, line.find(' '));
    const std::string rest = line.substr(std::min(line.size(), kind.size() + 1));
    if (kind == "resource") view.resources.push_back(rest);
    if (kind == "section") view.sections.push_back(rest);
    if (kind == "import") view.imports.insert(rest);
    if (kind == "reloc") view.relocations.push_back(rest);
    if (kind == "checksum") view.checksum = rest;
    if (kind == "warning") view.warnings.push_back(rest);
  }
  return view;
}

std::string Line(const std::string& type, const std::string& name, uint16_t language, uint64_t size, uint32_t crc) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08x", crc);
  return type + " " + name + " " + std::to_string(language) + " " + std::to_string(size) + " " + hex;
}

// Our reader's view of a file's resources, in pefile's form.
std::vector<std::string> OurResources(Source& file) {
  const PeImage image = PeImage::Parse(file);
  std::vector<std::string> lines;
  for (const ResourceEntry& e : ReadResources(image, file)) {
    lines.push_back(Line(e.type.Label(), e.name.Label(), e.language, e.size, Crc32Of(file, e.fileOffset, e.size)));
  }
  return lines;
}

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

StampResult StampFile(const fs::path& stub, const std::vector<NewResource>& resources, const fs::path& out) {
  FileSource source(stub);
  const PeImage image = PeImage::Parse(source);
  FileSink sink(out);
  const StampResult result = StampResources(image, source, resources, sink);
  sink.Close();
  return result;
}

// Checks what every stamped image must show pefile, beside its resources.
void ExpectSoundImage(const PefileView& stub, const PefileView& out, const StampResult& result) {
  EXPECT_EQ(out.checksum, Hex32(result.checkSum) + " " + Hex32(result.checkSum) + " verified") << out.output;
  EXPECT_TRUE(out.warnings.empty()) << out.output;
  EXPECT_EQ(out.imports, stub.imports);
  EXPECT_EQ(out.relocations, stub.relocations);
}

TEST(Pefile, ReadsEveryStampedStubShape) {
  for (StubShape shape : {StubShape::Bare, StubShape::Relocations, StubShape::ResourcesLast,
                          StubShape::ResourcesThenRelocs, StubShape::RelocsThenResources, StubShape::ResourcesInside}) {
    SCOPED_TRACE(int(shape));
    TempFolder folder;
    const std::string stubBytes = MakeStub(shape).Build();
    WriteFile(folder / "stub.exe", stubBytes);
    GeneratedSource package(70001);
    std::vector<NewResource> resources =
        MakeStringTableResources({{1001, u"Drawvane"}, {1015, u"\u67ef\u96ef\u7eb3"}}, 2052);
    resources.push_back(NewResource::FromBytes(kTypeRcData, u"ImageLeft0", 2052, "banner"));
    resources.push_back(NewResource::FromSource(u"StpFile", u"SetupPackage", 2052, package, package.Size()));
    for (NewResource& icon : MakeIconResources(TwoImageIcon(), u"AppIcon", 2052)) resources.push_back(std::move(icon));

    const StampResult result = StampFile(folder / "stub.exe", resources, folder / "out.exe");

    const PefileView before = Pefile(folder / "stub.exe");
    const PefileView after = Pefile(folder / "out.exe");
    ExpectSoundImage(before, after, result);
    FileSource out(folder / "out.exe");
    EXPECT_EQ(after.resources, OurResources(out)) << after.output;
    // What was written, as pefile sees it: new entries by their upper-case
    // names, replaced stub entries gone, the stub's others kept.
    std::set<std::string> seen(after.resources.begin(), after.resources.end());
    auto has = [&](const std::string& line) { return seen.count(line) == 1; };
    EXPECT_TRUE(has(Line("#6", "#63", 2052, resources[0].bytes.size(), Crc32(resources[0].bytes))));
    EXPECT_TRUE(has(Line("#10", "\"IMAGELEFT0\"", 2052, 6, Crc32("banner"))));
    EXPECT_TRUE(has(Line("\"STPFILE\"", "\"SETUPPACKAGE\"", 2052, 70001, Crc32Of(package, 0, 70001))));
    EXPECT_TRUE(has(Line("#3", "#1", 2052, 56, Crc32(TwoImageIcon().substr(38, 56)))));
    EXPECT_TRUE(has(Line("#3", "#2", 2052, 16, Crc32(TwoImageIcon().substr(94)))));
    EXPECT_TRUE(has(Line("#14", "\"APPICON\"", 2052, 34, Crc32(resources.back().bytes))));
    const bool stubHasResources = shape != StubShape::Bare && shape != StubShape::Relocations;
    EXPECT_TRUE(has(Line("#6", "#64", 2052, resources[1].bytes.size(), Crc32(resources[1].bytes))));
    EXPECT_EQ(after.resources.size(), stubHasResources ? 9u : 7u) << after.output;
    if (stubHasResources) {
      EXPECT_TRUE(has(Line("#10", "\"STUBDATA\"", 2052, 21, Crc32("stub's own data, kept"))));
      EXPECT_TRUE(has(Line("#24", "#1", 1033, 34, Crc32("<assembly>stub manifest</assembly>"))));
    }
  }
}

// The installer stub (ld's layout: .rsrc with its manifest, then .reloc),
// stamped with everything a product's installer carries.
TEST(Pefile, ReadsTheStampedInstaller) {
  const fs::path tree = PE_TEST_WIN32_TREE;
  const fs::path installer = tree / "app/SetupStub.exe";
  if (!fs::exists(installer)) GTEST_SKIP() << installer << " is missing; build the win32 tree first";
  const fs::path product = tree / "examples/drawvane/product";
  auto productFile = [&](const char* name, const std::string& fallback) {
    return fs::exists(product / name) ? ReadFile(product / name) : fallback;
  };
  TempFolder folder;
  GeneratedSource package(3 * 1024 * 1024 + 7);
  std::map<uint16_t, std::u16string> settings;
  for (uint16_t id : {1001, 1002, 1003, 1004, 1005, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017}) {
    settings[id] = u"setting " + std::u16string(1, char16_t(u'A' + id % 26)) + u" \u8bbe\u7f6e";
  }
  std::vector<NewResource> resources = MakeStringTableResources(settings, 2052);
  resources.push_back(NewResource::FromBytes(kTypeRcData, u"ImageLeft0", 2052, productFile("ImageLeft0.jpg", "jpeg 0")));
  resources.push_back(NewResource::FromBytes(kTypeRcData, u"ImageLeft2", 2052, productFile("ImageLeft2.jpg", "jpeg 2")));
  resources.push_back(NewResource::FromBytes(kTypeBitmap, u"ImageIcon", 2052, productFile("ImageIcon.bmp", "BM")));
  for (NewResource& icon : MakeIconResources(productFile("AppIcon.ico", TwoImageIcon()), u"AppIcon", 2052)) {
    resources.push_back(std::move(icon));
  }
  resources.push_back(NewResource::FromBytes(kTypeRcData, u"License0", 2052, "\xe8\xae\xb8\xe5\x8f\xaf licence"));
  resources.push_back(NewResource::FromSource(u"StpFile", u"SetupPackage", 2052, package, package.Size()));
  resources.push_back(NewResource::FromBytes(kTypeRcData, u"PackageDigest", 2052, std::string(32, '\x11')));

  const StampResult result = StampFile(installer, resources, folder / "Setup.exe");

  // The stub's own checksum, written by ld, is a known answer for ours.
  FileSource stubFile(installer);
  const PeImage stub = PeImage::Parse(stubFile);
  if (stub.checkSum != 0) {
    EXPECT_EQ(ComputePeChecksum(stubFile, stub.CheckSumOffset()), stub.checkSum);
  }
  const std::vector<ResourceEntry> stubResources = ReadResources(stub, stubFile);
  const ResourceEntry* manifest = FindResourceEntry(stubResources, kTypeManifest, 1);
  ASSERT_NE(manifest, nullptr) << "the bare installer carries its manifest";

  const PefileView before = Pefile(installer);
  const PefileView after = Pefile(folder / "Setup.exe");
  ExpectSoundImage(before, after, result);
  FileSource out(folder / "Setup.exe");
  EXPECT_EQ(after.resources, OurResources(out));
  // Expected lines from the inputs, plus the stub's manifest and version block.
  std::vector<std::string> expected;
  for (const NewResource& r : resources) {
    auto upper = [](std::string label) {  // the names here are ASCII
      for (char& c : label) c = char(std::toupper(static_cast<unsigned char>(c)));
      return label;
    };
    const uint32_t crc = r.source != nullptr ? Crc32Of(*r.source, 0, r.size) : Crc32(r.bytes);
    expected.push_back(Line(upper(r.type.Label()), upper(r.name.Label()), r.language, r.DataSize(), crc));
  }
  expected.push_back(Line("#24", "#1", manifest->language, manifest->size,
                          Crc32Of(stubFile, manifest->fileOffset, manifest->size)));
  if (const ResourceEntry* version = FindResourceEntry(stubResources, kTypeVersion, 1)) {
    expected.push_back(Line("#16", "#1", version->language, version->size,
                            Crc32Of(stubFile, version->fileOffset, version->size)));
  }
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> got = after.resources;
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, expected);
  // Every section but the re-laid .rsrc and .reloc is where it was.
  ASSERT_EQ(before.sections.size(), after.sections.size());
  ASSERT_GE(before.sections.size(), 3u);
  EXPECT_EQ(before.sections[before.sections.size() - 2].substr(0, 6), ".rsrc ");
  EXPECT_EQ(before.sections.back().substr(0, 7), ".reloc ");
  for (size_t i = 0; i + 2 < before.sections.size(); ++i) EXPECT_EQ(after.sections[i], before.sections[i]);
}

std::vector<std::string> VersionLines(const PefileView& view) {
  std::vector<std::string> lines;
  std::istringstream all(view.output);
  for (std::string line; std::getline(all, line);) {
    if (line.rfind("version ", 0) == 0) lines.push_back(line.substr(8));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// pefile reads the version block MakeVersionResource writes as Windows does.
TEST(Pefile, ReadsTheVersionBlock) {
  TempFolder folder;
  WriteFile(folder / "stub.exe", MakeStub(StubShape::ResourcesThenRelocs).Build());
  VersionInfo info;
  info.fileVersion = {1, 2, 3, 4};
  info.productVersion = {2, 0, 0, 0};
  info.strings = {{u"CompanyName", u"Acme \u793a\u4f8b"}, {u"ProductName", u"Acme Tool"}, {u"FileVersion", u"1.2.3.4"}};
  StampFile(folder / "stub.exe", {MakeVersionResource(info, 1033)}, folder / "out.exe");
  const PefileView view = Pefile(folder / "out.exe");
  // pefile remarks on the synthetic image's many zero bytes; nothing else.
  for (const std::string& warning : view.warnings) EXPECT_EQ(warning.rfind("Byte 0x", 0), 0u) << view.output;
  std::vector<std::string> expected = {
      "fixed 0x10002 0x30004 0x20000 0x0 0xfeef04bd",
      "string 040904b0 CompanyName=Acme \xe7\xa4\xba\xe4\xbe\x8b",
      "string 040904b0 FileVersion=1.2.3.4",
      "string 040904b0 ProductName=Acme Tool",
      "translation 0x0409 0x04b0",
  };
  EXPECT_EQ(VersionLines(view), expected) << view.output;
}

// The programs the packages ship carry the project's one version and name.
TEST(Pefile, ShippedProgramsCarryTheProjectVersion) {
  const fs::path tree = PE_TEST_WIN32_TREE;
  const std::string version = kCorvennaVersion;
  for (const char* program : {"app/SetupStub.exe", "uninstall/Uninst.exe", "tools/stpack.exe"}) {
    SCOPED_TRACE(program);
    if (!fs::exists(tree / program)) GTEST_SKIP() << tree / program << " is missing; build the win32 tree first";
    const PefileView view = Pefile(tree / program, false);
    const std::vector<std::string> lines = VersionLines(view);
    auto has = [&](const std::string& line) { return std::count(lines.begin(), lines.end(), line) == 1; };
    EXPECT_TRUE(has(std::string("string 040904b0 CompanyName=") + kCorvennaCompany)) << view.output;
    EXPECT_TRUE(has(std::string("string 040904b0 ProductName=") + kCorvennaProduct)) << view.output;
    EXPECT_TRUE(has("string 040904b0 FileVersion=" + version)) << view.output;
    EXPECT_TRUE(has("string 040904b0 ProductVersion=" + version)) << view.output;
    EXPECT_TRUE(has(std::string("string 040904b0 LegalCopyright=Copyright (C) ") + kCorvennaCompany)) << view.output;
    EXPECT_TRUE(has("string 040904b0 OriginalFilename=" + fs::path(program).filename().string())) << view.output;
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("string 040904b0 FileDescription=", 0) == 0; }));
    // The fixed part holds the same numbers: 1.0.0 is 0x10000 0x0.
    unsigned numbers[4] = {0, 0, 0, 0};
    std::sscanf(version.c_str(), "%u.%u.%u.%u", &numbers[0], &numbers[1], &numbers[2], &numbers[3]);
    const std::string ms = Hex32(numbers[0] << 16 | numbers[1]), ls = Hex32(numbers[2] << 16 | numbers[3]);
    EXPECT_TRUE(has("fixed " + ms + " " + ls + " " + ms + " " + ls + " 0xfeef04bd")) << view.output;
  }
}

// A resource of more than 100 MB, made on demand by a generated source,
// streams through in chunks: nothing reads it whole, and it arrives intact.
TEST(Pefile, StreamsAHundredMegabyteResource) {
  TempFolder folder;
  WriteFile(folder / "stub.exe", MakeStub(StubShape::ResourcesThenRelocs).Build());
  const uint64_t size = 100 * 1024 * 1024 + 13;
  GeneratedSource package(size);
  const std::vector<NewResource> resources = {
      NewResource::FromSource(u"StpFile", u"SetupPackage", 2052, package, size),
      NewResource::FromBytes(kTypeRcData, u"PackageDigest", 2052, std::string(32, '\x22'))};

  const StampResult result = StampFile(folder / "stub.exe", resources, folder / "out.exe");

  EXPECT_LE(package.largestRead, kCopyChunkSize);
  EXPECT_EQ(package.bytesRead, size) << "read once";
  FileSource out(folder / "out.exe");
  EXPECT_EQ(out.Size(), result.fileSize);
  const PeImage image = PeImage::Parse(out);
  EXPECT_EQ(image.checkSum, ComputePeChecksum(out, image.CheckSumOffset()));
  const std::vector<ResourceEntry> entries = ReadResources(image, out);
  const ResourceEntry* big = FindResourceEntry(entries, u"STPFILE", u"SETUPPACKAGE", 2052);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->size, size);
  EXPECT_EQ(big->fileOffset + big->size, uint64_t(image.sections[5].rawOffset) + image.sections[5].virtualSize)
      << "the largest datum ends the section";
  const uint32_t expectedCrc = Crc32Of(package, 0, size);
  EXPECT_EQ(Crc32Of(out, big->fileOffset, size), expectedCrc);
  const PefileView view = Pefile(folder / "out.exe", false);
  EXPECT_TRUE(view.warnings.empty()) << view.output;
  EXPECT_NE(std::find(view.resources.begin(), view.resources.end(),
                      Line("\"STPFILE\"", "\"SETUPPACKAGE\"", 2052, size, expectedCrc)),
            view.resources.end())
      << view.output;
}

}  // namespace
}  // namespace vo::pe::test
