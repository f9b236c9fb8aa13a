// stpack make end to end on a scratch product folder and a synthetic stub:
// the installer's resources read back with the PE module, the package it
// carries extracted, the same inputs giving the same bytes, and every fault
// the installer would otherwise meet on the user's machine refused with a
// message that names it, exit code 1 and nothing left behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "ProgramFixtures.h"
#include "TestConsole.h"
#include "crypt/SuiteCipher.h"
#include "package/InstallerDigest.h"
#include "package/PackageDigest.h"
#include "package/PackageExtractor.h"
#include "package/PackageTestSupport.h"
#include "pe/PeChecksum.h"
#include "pe/PeImage.h"
#include "pe/PeIo.h"
#include "pe/PeResources.h"
#include "pe/ResourceBuilders.h"
#include "pe/ResourceStamper.h"
#include "text/Unicode.h"
#include "tools/stpack/Console.h"
#include "tools/stpack/DefaultResources.h"

namespace vo::test {
namespace {

const char kProductIni[] =
    "# A product that is not the sample\n"
    "ExeName = Tool\n"
    "Version = 3.1\n"
    "ProductNameEn = Acme Tool\n"
    "ProductNameZh = \xE7\xA4\xBA\xE4\xBE\x8B\xE5\xB7\xA5\xE5\x85\xB7\n"  // 示例工具
    "Freeware = -1\n"
    "WindowClass = TAcmeMain\n"
    "WindowTitle = Acme Tool\n"
    "CompanyFolder = Acme\n"
    "PublisherEn = Acme Ltd\n"
    "HomePageEn = https://acme.example/\n";

std::string Read(const fs::path& path) { return ReadBytes(path).value_or("(missing)"); }

// The data of the uninstaller beside the tool, which shows that a packed
// copy is made from it.
const std::string kUninstallerData = "the uninstaller's own data" + std::string(0x80, 'u');

// The uninstaller beside the tool, with Corvenna's version block as the
// built Uninst.exe has.
std::string CorvennaUninstaller() {
  pe::VersionInfo info;
  info.fileVersion = info.productVersion = {1, 0, 0, 0};
  info.strings = {{u"CompanyName", u"Corvenna Software"},
                  {u"FileDescription", u"Corvenna Setup Uninstaller"},
                  {u"FileVersion", u"1.0.0"},
                  {u"LegalCopyright", u"Copyright (C) Corvenna Software"},
                  {u"OriginalFilename", u"Uninst.exe"},
                  {u"ProductName", u"Corvenna Setup"},
                  {u"ProductVersion", u"1.0.0"}};
  return WithVersionBlock(SyntheticProgram("", kUninstallerData), info);
}

class MakeWorkspace {
 public:
  MakeWorkspace() {
    WriteBytes(box.Path("Acme/product.ini"), kProductIni);
    WriteBytes(box.Path("Acme/payload/Tool.exe"), "MZ the product's program");
    WriteBytes(box.Path("Acme/payload/ReadMe.txt"), "read me");
    WriteBytes(box.Path("Acme/payload/\xE6\x95\xB0\xE6\x8D\xAE/a.dat"), std::string(3000, 'a'));  // 数据/a.dat
    WriteBytes(box.Path("tool/SetupStub.exe"), SyntheticProgram());
    WriteBytes(box.Path("tool/Uninst.exe"), CorvennaUninstaller());
    ResetConsole();
    Console().executableFolder = box.Folder("tool");
  }

  std::u16string Arg(const std::string& relative) const { return Api(box.Path(relative)); }

  int Make(const std::vector<std::string>& extra = {}) const {
    std::vector<std::u16string> arguments = {u"make", Arg("Acme"), u"-o", Arg("out/ToolSetup.exe")};
    for (const std::string& argument : extra) {
      const size_t at = argument.find('@');
      const std::u16string head = Utf8ToUtf16(argument.substr(0, at)).value();
      arguments.push_back(at == std::string::npos ? head : head + Arg(argument.substr(at + 1)));
    }
    fs::create_directories(box.Path("out"));
    return stpack::Run(arguments);
  }

  std::string Output() const { return Read(box.Path("out/ToolSetup.exe")); }

  // A member of the installer's package, as the installer writes it.
  std::string Installed(const std::string& member) const {
    const std::string folder = "installed-" + std::to_string(++fExtractions);
    pe::MemorySource installer(Output());
    const std::vector<pe::ResourceEntry> resources = pe::ReadResources(pe::PeImage::Parse(installer), installer);
    const pe::ResourceEntry* package = pe::FindResourceEntry(resources, u"StpFile", u"SetupPackage");
    if (!package) return "(no package)";
    WriteBytes(box.Path(folder + ".stp"), installer.Bytes().substr(size_t(package->fileOffset), package->size));
    ExtractPackage(Arg(folder + ".stp"), box.Folder(folder), u"", {}, *CreatePlatformFileSystem());
    return Read(box.Path(folder + "/" + member));
  }
  bool NothingLeft() const { return fs::is_empty(box.Path("out")); }

  Sandbox box;

 private:
  mutable int fExtractions = 0;
};

struct Resources {
  std::string file;
  std::vector<pe::ResourceEntry> entries;

  explicit Resources(std::string bytes) : file(std::move(bytes)) {
    pe::MemorySource source(file);
    entries = pe::ReadResources(pe::PeImage::Parse(source), source);
  }
  std::string Bytes(const pe::ResourceName& type, const pe::ResourceName& name, uint16_t language = 2052) const {
    const pe::ResourceEntry* entry = pe::FindResourceEntry(entries, type, name, language);
    if (!entry) return "(missing)";
    return file.substr(size_t(entry->fileOffset), entry->size);
  }
  // The string of id from the string table, as LoadStringW reads it.
  std::u16string String(int id) const {
    const std::string block = Bytes(pe::kTypeString, uint16_t(id / 16 + 1));
    size_t at = 0;
    for (int i = 0; i < 16 && at + 2 <= block.size(); ++i) {
      const size_t length = uint8_t(block[at]) | uint8_t(block[at + 1]) << 8;
      at += 2;
      if (i == id % 16) {
        std::u16string text;
        for (size_t k = 0; k < length; ++k) text += char16_t(uint8_t(block[at + 2 * k]) | uint8_t(block[at + 2 * k + 1]) << 8);
        return text;
      }
      at += 2 * length;
    }
    return u"(missing)";
  }
};

// The synthetic stub with the project's version block of its own, as the
// real SetupStub.exe has.
std::string StubWithVersion() {
  pe::VersionInfo info;
  info.fileVersion = info.productVersion = {9, 9, 9, 9};
  info.strings = {{u"CompanyName", u"Stub Maker"}, {u"ProductName", u"Stub Product"}};
  return WithVersionBlock(SyntheticProgram(), info);
}

std::string Sha256(const std::string& bytes) {
  std::unique_ptr<TSuiteHash> hash = CreateHashByIndex(3);
  hash->Init();
  hash->Update(bytes.data(), bytes.size());
  std::string digest(32, '\0');
  hash->Final(&digest[0]);
  return digest;
}

TEST(Make, WritesEveryResourceTheInstallerReads) {
  MakeWorkspace w;
  ASSERT_EQ(w.Make(), 0) << Console().err;
  EXPECT_NE(Console().out.find("ToolSetup.exe: "), std::string::npos) << Console().out;
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(w.box.Path("out"))) left.push_back(entry.path().filename().u8string());
  EXPECT_EQ(left, std::vector<std::string>{"ToolSetup.exe"}) << "no partial file stays";
  Resources r(w.Output());

  EXPECT_EQ(r.String(1004), u"Acme Tool");
  EXPECT_EQ(r.String(1005), u"示例工具");
  EXPECT_EQ(r.String(1009), u"-1");
  EXPECT_EQ(r.String(1010), u"Tool");
  EXPECT_EQ(r.String(1011), u"3.1");
  EXPECT_EQ(r.String(1013), u"Acme");
  EXPECT_EQ(r.String(1014), u"Acme Ltd");
  EXPECT_EQ(r.String(1016), u"https://acme.example/");
  EXPECT_EQ(r.String(1012), u"") << "a setting not given is no entry";

  // No pictures in the folder: the defaults, the header picture in its
  // resource form (no file header).
  EXPECT_EQ(r.Bytes(pe::kTypeRcData, u"ImageLeft0"), std::string(stpack::defaults::kBannerChinese));
  EXPECT_EQ(r.Bytes(pe::kTypeRcData, u"ImageLeft2"), std::string(stpack::defaults::kBannerEnglish));
  EXPECT_EQ(r.Bytes(pe::kTypeBitmap, u"ImageIcon").size(), 40u + 96u * 32u);
  EXPECT_NE(pe::FindResourceEntry(r.entries, pe::kTypeGroupIcon, u"AppIcon", 2052), nullptr);
  EXPECT_EQ(r.Bytes(pe::kTypeManifest, uint16_t(1), 1033), std::string(stpack::defaults::kInstallerManifest));
  EXPECT_EQ(pe::FindResourceEntry(r.entries, pe::kTypeRcData, u"License2"), nullptr) << "no licence of its own";

  // The version block is the product's: one, under US English.
  const VersionBlock version{r.Bytes(pe::kTypeVersion, uint16_t(1), 1033)};
  EXPECT_EQ(version.String(u"CompanyName"), u"Acme Ltd");
  EXPECT_EQ(version.String(u"ProductName"), u"Acme Tool");
  EXPECT_EQ(version.String(u"FileDescription"), u"Acme Tool Setup");
  EXPECT_EQ(version.String(u"FileVersion"), u"3.1");
  EXPECT_EQ(version.String(u"ProductVersion"), u"3.1");
  EXPECT_EQ(version.String(u"LegalCopyright"), u"Copyright (C) Acme Ltd");
  EXPECT_EQ(version.String(u"OriginalFilename"), u"ToolSetup.exe");
  EXPECT_EQ(version.String(u"InternalName"), u"ToolSetup.exe");
  EXPECT_EQ(version.Fixed(), (std::vector<uint32_t>{0x30001, 0, 0x30001, 0}));

  // The package: its digest, and members that extract to the payload plus
  // the uninstaller and its list.
  const std::string package = r.Bytes(u"StpFile", u"SetupPackage");
  const std::optional<InstallerDigest> digest = ParseInstallerDigest(r.Bytes(pe::kTypeRcData, u"InstallerDigest"));
  ASSERT_TRUE(digest);
  EXPECT_EQ(std::string(digest->package.begin(), digest->package.end()), Sha256(package));
  EXPECT_EQ(digest->madeSize, w.Output().size());
  pe::MemorySource installer(w.Output());
  const InstallerCheck check = CheckInstallerOutsidePackage(installer);
  EXPECT_TRUE(check.intact) << check.detail;
  WriteBytes(w.box.Path("package.stp"), package);
  ExtractPackage(w.Arg("package.stp"), w.box.Folder("installed"), u"", {}, *CreatePlatformFileSystem());
  EXPECT_EQ(Read(w.box.Path("installed/Tool.exe")), "MZ the product's program");
  EXPECT_EQ(Read(w.box.Path("installed/\xE6\x95\xB0\xE6\x8D\xAE/a.dat")), std::string(3000, 'a'));
  EXPECT_NE(Read(w.box.Path("installed/Uninst.exe")).find(kUninstallerData), std::string::npos);
  EXPECT_NE(Read(w.box.Path("installed/Uninst.lst")).find("File=Tool.exe"), std::string::npos);

  // list and verify read the installer as they read a package.
  ResetConsole();
  EXPECT_EQ(stpack::Run({u"verify", w.Arg("out/ToolSetup.exe")}), 0) << Console().err;
  EXPECT_NE(Console().out.find("the whole installer matches its SHA-256 digests"), std::string::npos) << Console().out;
}

// The installer with one change made to its bytes; the verdict of the
// installer's two checks: everything outside the package, then the package.
bool Accepted(const std::string& bytes) {
  pe::MemorySource file(bytes);
  const InstallerCheck check = CheckInstallerOutsidePackage(file);
  if (!check.intact) return false;
  const ByteView package{reinterpret_cast<const uint8_t*>(bytes.data()) + check.parts.package.offset,
                         size_t(check.parts.package.size)};
  const ByteView digest{check.digest.package.data(), check.digest.package.size()};
  return CheckPackageDigest(package, digest).verdict == DigestVerdict::Intact;
}

// Authenticode's changes: zeros to a multiple of 8, a certificate table at
// the end named by the certificate entry, and the checksum rewritten.
std::string Signed(std::string bytes, const InstallerParts& parts, uint32_t certificateSize = 24) {
  bytes.resize((bytes.size() + 7) / 8 * 8, '\0');
  const uint32_t offset = uint32_t(bytes.size());
  std::string certificate(certificateSize, '\x30');
  pe::test::Put32(certificate, 0, certificateSize);  // the table's dwLength
  bytes += certificate;
  pe::test::Put32(bytes, size_t(parts.certificateEntry.offset), offset);
  pe::test::Put32(bytes, size_t(parts.certificateEntry.offset) + 4, certificateSize);
  pe::test::Put32(bytes, size_t(parts.checkSum.offset), 0x12345678);
  return bytes;
}

TEST(Make, EveryFlippedByteOutsideWhatSigningChangesIsRefused) {
  MakeWorkspace w;
  ASSERT_EQ(w.Make(), 0) << Console().err;
  const std::string installer = w.Output();
  ASSERT_TRUE(Accepted(installer));
  pe::MemorySource file(installer);
  const InstallerParts parts = CheckInstallerOutsidePackage(file).parts;
  auto rewrittenBySigning = [&](size_t at) {
    for (const FileRange& r : {parts.checkSum, parts.certificateEntry})
      if (at >= r.offset && at < r.End()) return true;
    return false;
  };
  // Every byte of the headers and of the digest, and a spread of the rest
  // (code, settings, pictures, the package's members and table, relocations).
  size_t flips = 0;
  for (size_t at = 0; at < installer.size(); at += (at < 1024 || (at >= parts.digest.offset && at < parts.digest.End())) ? 1 : 7) {
    if (rewrittenBySigning(at)) continue;
    std::string damaged = installer;
    damaged[at] = char(damaged[at] ^ 0x20);
    EXPECT_FALSE(Accepted(damaged)) << "a flip at byte " << at << " went unnoticed";
    ++flips;
  }
  EXPECT_GT(flips, 1000u);
  // What signing rewrites is free to change.
  std::string checksum = installer;
  checksum[size_t(parts.checkSum.offset)] ^= 0x5A;
  EXPECT_TRUE(Accepted(checksum));

  struct Case {
    const char* name;
    std::string bytes;
    bool accepted;
  };
  std::string moved = Signed(installer, parts);
  pe::test::Put32(moved, size_t(parts.certificateEntry.offset), uint32_t(installer.size() + 16));
  const Case cases[] = {
      {"signed", Signed(installer, parts), true},
      {"signed after padding", Signed(installer + std::string(3, '\0'), parts), false},  // 3 bytes more than made
      {"bytes appended without a signature", installer + "appended", false},
      {"a signature that does not start where the installer ends", moved, false},
      {"one byte cut off the end", installer.substr(0, installer.size() - 1), false},
      {"a flipped byte in a signed installer", [&] { std::string s = Signed(installer, parts); s[700] ^= 1; return s; }(), false},
  };
  for (const Case& c : cases) EXPECT_EQ(Accepted(c.bytes), c.accepted) << c.name;
}

// An installer whose digest resource is not the one the tool writes, or that
// has none, is damaged, not unchecked; the message says which.
TEST(Make, ADigestOfAnotherSizeOrNoneIsDamage) {
  MakeWorkspace w;
  ASSERT_EQ(w.Make(), 0) << Console().err;
  pe::MemorySource made(w.Output());
  const pe::PeImage image = pe::PeImage::Parse(made);
  struct Case {
    const char* name;
    pe::NewResource resource;
    const char* detail;
  };
  const Case cases[] = {
      {"31 bytes", pe::NewResource::FromBytes(pe::kTypeRcData, u"InstallerDigest", 2052, std::string(31, '\0')),
       "its digest has 31 bytes instead of 80 bytes"},
      {"another mark", pe::NewResource::FromBytes(pe::kTypeRcData, u"InstallerDigest", 2052, std::string(80, 'x')),
       "its digest is not one this installer can read"},
      {"none (another name)", pe::NewResource::FromBytes(pe::kTypeRcData, u"InstallerDigest", 2052, ""),
       "its digest has 0 bytes"},
  };
  for (const Case& c : cases) {
    pe::MemorySink out;
    pe::StampResources(image, made, {c.resource}, out);
    pe::MemorySource restamped(out.Bytes());
    const InstallerCheck check = CheckInstallerOutsidePackage(restamped);
    EXPECT_FALSE(check.intact) << c.name;
    EXPECT_NE(check.detail.find(c.detail), std::string::npos) << c.name << ": " << check.detail;
  }
  // A program without the resource at all.
  pe::MemorySource stub(SyntheticProgram());
  const InstallerCheck bare = CheckInstallerOutsidePackage(stub);
  EXPECT_FALSE(bare.intact);
  EXPECT_NE(bare.detail.find("no setup package"), std::string::npos) << bare.detail;
}

// verify refuses an installer whose digest resource is not the 80 bytes the
// tool writes, as the installer itself does: its resource entry is made one
// byte shorter (and then one longer), the bytes left as they are.
TEST(Make, VerifyRefusesADigestOfAnotherSize) {
  MakeWorkspace w;
  ASSERT_EQ(w.Make(), 0) << Console().err;
  const Resources r(w.Output());
  const pe::ResourceEntry* digest = pe::FindResourceEntry(r.entries, pe::kTypeRcData, u"InstallerDigest");
  ASSERT_NE(digest, nullptr);
  // The data entry: the data's RVA, then its size, both little-endian.
  std::string entry(8, '\0');
  for (int i = 0; i < 4; ++i) entry[i] = char(digest->dataRva >> (8 * i));
  entry[4] = char(kInstallerDigestSize);
  const size_t at = r.file.find(entry);
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(r.file.find(entry, at + 1), std::string::npos);
  for (const int size : {79, 81}) {
    std::string damaged = r.file;
    damaged[at + 4] = char(size);
    WriteBytes(w.box.Path("damaged.exe"), damaged);
    ResetConsole();
    EXPECT_EQ(stpack::Run({u"verify", w.Arg("damaged.exe")}), 1);
    EXPECT_NE(Console().err.find("the installer is damaged: its digest has " + std::to_string(size) +
                                 " bytes instead of 80 bytes"),
              std::string::npos)
        << Console().err;
  }
}

TEST(Make, SameInputsGiveTheSameBytes) {
  MakeWorkspace w;
  ASSERT_EQ(w.Make(), 0) << Console().err;
  const std::string first = w.Output();
  ASSERT_EQ(w.Make(), 0) << Console().err;
  EXPECT_TRUE(first == w.Output()) << "two builds differ";
}

TEST(Make, ReplacesTheStubsVersionBlock) {
  MakeWorkspace w;
  WriteBytes(w.box.Path("tool/SetupStub.exe"), StubWithVersion());
  WriteBytes(w.box.Path("Acme/product.ini"), "ExeName = Tool\nProductNameEn = Acme Tool\nFreeware = 0\nVersion = 2.5.x.7\n");
  ASSERT_EQ(w.Make(), 0) << Console().err;
  Resources r(w.Output());
  int versions = 0;
  for (const pe::ResourceEntry& e : r.entries) versions += !e.type.isString && e.type.id == pe::kTypeVersion;
  EXPECT_EQ(versions, 1) << "the stub's block is replaced, not kept beside";
  const VersionBlock version{r.Bytes(pe::kTypeVersion, uint16_t(1), 1033)};
  EXPECT_EQ(version.String(u"CompanyName"), u"Corvenna Software") << "the installer's default publisher";
  EXPECT_EQ(version.String(u"LegalCopyright"), u"Copyright (C) Corvenna Software");
  EXPECT_EQ(version.String(u"ProductVersion"), u"2.5.x.7");
  EXPECT_EQ(version.Fixed(), (std::vector<uint32_t>{0x20005, 7, 0x20005, 7})) << "0 where a part is not numeric";
  EXPECT_EQ(version.String(u"ProductName"), u"Acme Tool");
}

TEST(Make, WarnsThatASignedStubLosesItsCertificate) {
  MakeWorkspace w;
  WriteBytes(w.box.Path("tool/SetupStub.exe"), SyntheticProgram(std::string(0x40, 'c')));
  ASSERT_EQ(w.Make(), 0) << Console().err;
  EXPECT_NE(Console().err.find("SetupStub.exe: the stub is signed; its certificate is dropped"), std::string::npos)
      << Console().err;

  MakeWorkspace unsigned_;
  ASSERT_EQ(unsigned_.Make(), 0) << Console().err;
  EXPECT_EQ(Console().err.find("certificate"), std::string::npos) << Console().err;
}

// The uninstaller in the package is a copy of the one beside the tool with
// the product's version block in place of its own, so that nothing of
// Corvenna's shows in another publisher's Uninst.exe; the file beside the
// tool is only read.
TEST(Make, PacksTheUninstallerWithTheProductsVersionBlock) {
  struct Case {
    const char* name;
    std::string productIni;
    std::u16string publisher, product, version;
    std::vector<uint32_t> fixed;  // file version MS, LS, product version MS, LS
    bool corvennaShows;
  };
  const Case cases[] = {
      {"another publisher", kProductIni, u"Acme Ltd", u"Acme Tool", u"3.1", {0x30001, 0, 0x30001, 0}, false},
      {"no publisher: the installer's default",
       "ExeName = Tool\nProductNameEn = Acme Tool\nFreeware = 0\nVersion = 2.5.x.7\n", u"Corvenna Software",
       u"Acme Tool", u"2.5.x.7", {0x20005, 7, 0x20005, 7}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeWorkspace w;
    WriteBytes(w.box.Path("Acme/product.ini"), c.productIni);
    ASSERT_EQ(w.Make(), 0) << Console().err;
    EXPECT_TRUE(Read(w.box.Path("tool/Uninst.exe")) == CorvennaUninstaller()) << "the file beside the tool changed";

    const std::string packed = w.Installed("Uninst.exe");
    EXPECT_NE(packed.find(kUninstallerData), std::string::npos) << "its code and data are the uninstaller's";
    pe::MemorySource source(packed);
    const pe::PeImage image = pe::PeImage::Parse(source);
    EXPECT_EQ(image.checkSum, pe::ComputePeChecksum(source, image.CheckSumOffset()));
    const std::vector<VersionBlock> blocks = VersionBlocksOf(packed);
    ASSERT_EQ(blocks.size(), 1u) << "its own block is replaced, not kept beside";
    const VersionBlock& version = blocks[0];
    EXPECT_EQ(version.language, 1033);
    EXPECT_EQ(version.String(u"CompanyName"), c.publisher);
    EXPECT_EQ(version.String(u"ProductName"), c.product);
    EXPECT_EQ(version.String(u"FileDescription"), c.product + u" Uninstaller");
    EXPECT_EQ(version.String(u"FileVersion"), c.version);
    EXPECT_EQ(version.String(u"ProductVersion"), c.version);
    EXPECT_EQ(version.String(u"LegalCopyright"), u"Copyright (C) " + c.publisher);
    EXPECT_EQ(version.String(u"OriginalFilename"), u"Uninst.exe");
    EXPECT_EQ(version.String(u"InternalName"), u"Uninst.exe");
    EXPECT_EQ(version.Fixed(), c.fixed);
    const std::string corvenna = VersionBlock::Utf16z(u"Corvenna").substr(0, 16);
    EXPECT_EQ(version.bytes.find(corvenna) != std::string::npos, c.corvennaShows);
  }
}

// A signed uninstaller is warned of once, and packed without its
// certificate: the same bytes as the same program unsigned gives, for make
// and for build.
TEST(Make, WarnsThatASignedUninstallerLosesItsCertificate) {
  const std::string warning = "Uninst.exe\": the uninstaller is signed; its certificate is dropped";
  MakeWorkspace plain;
  WriteBytes(plain.box.Path("tool/Uninst.exe"), SyntheticProgram("", kUninstallerData));
  ASSERT_EQ(plain.Make(), 0) << Console().err;
  EXPECT_EQ(Console().err.find("certificate"), std::string::npos) << Console().err;
  const std::string unsignedCopy = plain.Installed("Uninst.exe");

  MakeWorkspace w;
  WriteBytes(w.box.Path("tool/Uninst.exe"), SyntheticProgram(std::string(0x40, 'c'), kUninstallerData));
  ASSERT_EQ(w.Make(), 0) << Console().err;
  const size_t at = Console().err.find(warning);
  EXPECT_NE(at, std::string::npos) << Console().err;
  EXPECT_EQ(Console().err.find(warning, at + 1), std::string::npos) << "warned once: " << Console().err;
  const std::string signedCopy = w.Installed("Uninst.exe");
  EXPECT_TRUE(signedCopy == unsignedCopy) << "the certificate is left out, and nothing else differs";
  pe::MemorySource source(signedCopy);
  EXPECT_EQ(pe::PeImage::Parse(source).Directory(pe::kCertificateTable).size, 0u);

  ResetConsole();
  Console().executableFolder = w.box.Folder("tool");
  WriteBytes(w.box.Path("Acme/payload.manifest"), "| payload/Tool.exe |\n");
  ASSERT_EQ(stpack::Run({u"build", w.Arg("Acme/payload.manifest"), u"-o", w.Arg("out/Tool.stp"), u"--product",
                         w.Arg("Acme/product.ini")}),
            0)
      << Console().err;
  EXPECT_NE(Console().err.find(warning), std::string::npos) << Console().err;
}

TEST(Make, OwnPicturesAndLicenceTexts) {
  MakeWorkspace w;
  const std::string banner(stpack::defaults::kBannerEnglish.substr(0));
  WriteBytes(w.box.Path("Acme/ImageLeft2.jpg"), banner);
  WriteBytes(w.box.Path("Acme/license-en.txt"), "\xEF\xBB\xBFTerms of Acme\r\nLine two\r\n");
  WriteBytes(w.box.Path("Acme/product.ini"), std::string(kProductIni) + "LicenseEn = license-en.txt\n");
  ASSERT_EQ(w.Make(), 0) << Console().err;
  Resources r(w.Output());
  EXPECT_EQ(r.Bytes(pe::kTypeRcData, u"ImageLeft0"), banner) << "one banner serves both languages";
  EXPECT_EQ(r.Bytes(pe::kTypeRcData, u"License2"), "Terms of Acme\r\nLine two\r\n") << "stored without its mark";
  EXPECT_NE(Console().err.find("warning: "), std::string::npos);
  EXPECT_NE(Console().err.find("ImageLeft0.jpg: not found; the Chinese wizard shows ImageLeft2.jpg too"),
            std::string::npos) << Console().err;
  EXPECT_NE(Console().err.find("only LicenseEn is set"), std::string::npos) << Console().err;
}

struct Refusal {
  const char* name;
  std::map<std::string, std::string> files;  // written into the workspace first; kRemove removes
  std::vector<std::string> arguments;
  std::vector<std::string> messageParts;
};

const std::string kRemove = "(remove)";
const std::string kPng = "\x89PNG\r\n\x1A\n\0\0\0\rIHDR";

const Refusal kRefusals[] = {
    {"png_saved_as_jpg", {{"Acme/ImageLeft2.jpg", kPng}}, {}, {"Acme/ImageLeft2.jpg: is a PNG picture, not a JPEG"}},
    {"png_saved_as_bmp", {{"Acme/ImageIcon.bmp", kPng}}, {}, {"Acme/ImageIcon.bmp: is a PNG picture, not a BMP"}},
    {"empty_bmp", {{"Acme/ImageIcon.bmp", ""}}, {}, {"ImageIcon.bmp: is an empty file, not a BMP"}},
    {"icon_without_32", {{"Acme/AppIcon.ico", std::string("\0\0\1\0\0\0", 6)}}, {}, {"AppIcon.ico: the icon file holds no image"}},
    {"freeware_missing", {{"Acme/product.ini", "ExeName = Tool\nProductNameEn = T\n"}}, {},
     {"product.ini: Freeware (1009) is not set", "'Freeware = -1'"}},
    {"freeware_yes", {{"Acme/product.ini", "ExeName = Tool\nProductNameEn = T\nFreeware = yes\n"}}, {},
     {"product.ini:3: Freeware (1009) 'yes' is not a value the installer reads", "write -1 (freeware) or 0"}},
    {"freeware_with_a_decimal_point", {{"Acme/product.ini", "ExeName = Tool\nProductNameEn = T\n1009 = 2.5\n"}}, {},
     {"product.ini:3: Freeware (1009) '2.5'"}},
    {"exe_name_missing", {{"Acme/product.ini", "ProductNameEn = T\nFreeware = 0\n"}}, {},
     {"product.ini: ExeName (1010) is not set"}},
    {"exe_name_names_no_payload_program", {{"Acme/product.ini", "ExeName = Other\nProductNameEn = T\nFreeware = 0\n"}}, {},
     {"product.ini:1: ExeName (1010) names Other.exe", "programs there: Tool.exe"}},
    {"exe_name_with_extension", {{"Acme/product.ini", "ExeName = Tool.exe\nProductNameEn = T\nFreeware = 0\n"}}, {},
     {"write 'ExeName = Tool'"}},
    {"no_display_name", {{"Acme/product.ini", "ExeName = Tool\nFreeware = 0\n"}}, {}, {"no display name is set"}},
    {"display_name_with_backslash", {{"Acme/product.ini", "ExeName = Tool\nProductNameEn = A\\B\nFreeware = 0\n"}}, {},
     {"product.ini:2: ProductNameEn (1004) 'A\\B' holds one of"}},
    {"product_ini_not_utf8", {{"Acme/product.ini", "ExeName = Tool\nProductNameZh = \xCA\xBE\xC0\xFD\n"}}, {},
     {"product.ini:2: the value is not UTF-8 text"}},
    {"empty_payload", {{"Acme/payload/Tool.exe", kRemove}, {"Acme/payload/ReadMe.txt", kRemove}, {"Acme/payload/\xE6\x95\xB0\xE6\x8D\xAE/a.dat", kRemove}},
     {}, {"the payload holds no file"}},
    {"both_payload_forms", {{"Acme/payload.manifest", "| payload/Tool.exe |\n"}}, {}, {"holds both payload/ and payload.manifest"}},
    {"member_on_uninst_exe", {{"Acme/payload/uninst.EXE", "x"}}, {}, {"this member installs to \"Uninst.exe\""}},
    {"device_name", {{"Acme/payload/CON", "x"}}, {}, {"\"CON\" is a name Windows keeps for a device"}},
    {"licence_not_utf8", {{"Acme/product.ini", std::string(kProductIni) + "LicenseZh = zh.txt\n"}, {"Acme/zh.txt", "\xC4\xE3\xBA\xC3"}}, {},
     {"zh.txt: byte 0 is not UTF-8"}},
    {"licence_file_missing", {{"Acme/product.ini", std::string(kProductIni) + "LicenseEn = gone.txt\n"}}, {},
     {"product.ini:12: LicenseEn names gone.txt, which does not exist"}},
    {"stub_not_a_program", {{"tool/SetupStub.exe", "not a program"}}, {}, {"SetupStub.exe: is not an installer stub"}},
    {"stub_missing", {{"tool/SetupStub.exe", kRemove}}, {}, {"no installer stub beside stpack", "--stub"}},
    {"uninstaller_not_a_program", {{"tool/Uninst.exe", "MZ the uninstaller"}}, {},
     {"Uninst.exe\": is not a program stpack can write the product's version block into"}},
};

void PrintTo(const Refusal& c, std::ostream* out) { *out << c.name; }

class MakeRefused : public ::testing::TestWithParam<Refusal> {};

TEST_P(MakeRefused, NamesTheFaultAndLeavesNothing) {
  const Refusal& c = GetParam();
#ifdef _WIN32
  // Windows itself cannot create a payload file named CON; the manifest form
  // of the same refusal is in BuildCommandTest.
  if (std::string(c.name) == "device_name") GTEST_SKIP();
#endif
  MakeWorkspace w;
  for (const auto& [path, bytes] : c.files) {
    if (bytes == kRemove) {
      fs::remove(w.box.Path(path));
    } else {
      WriteBytes(w.box.Path(path), bytes);
    }
  }
  EXPECT_EQ(w.Make(c.arguments), 1) << Console().err;
  for (const std::string& part : c.messageParts) {
    EXPECT_NE(Console().err.find(part), std::string::npos) << "missing \"" << part << "\" in: " << Console().err;
  }
  EXPECT_TRUE(w.NothingLeft());
}

INSTANTIATE_TEST_SUITE_P(Cases, MakeRefused, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Make, StartsFromInit) {
  Sandbox box;
  ResetConsole();
  WriteBytes(box.Path("tool/SetupStub.exe"), SyntheticProgram());
  WriteBytes(box.Path("tool/Uninst.exe"), CorvennaUninstaller());
  Console().executableFolder = box.Folder("tool");
  ASSERT_EQ(stpack::Run({u"init", Api(box.Path("Widget"))}), 0) << Console().err;
  WriteBytes(box.Path("Widget/payload/Widget.exe"), "MZ");
  ASSERT_EQ(stpack::Run({u"make", Api(box.Path("Widget")), u"-o", Api(box.Path("WidgetSetup.exe"))}), 0) << Console().err;
  Resources r(Read(box.Path("WidgetSetup.exe")));
  EXPECT_EQ(r.String(1010), u"Widget");
  EXPECT_EQ(r.String(1004), u"Widget");
  // Left at Corvenna's publisher, company folder and home pages, it says so.
  EXPECT_NE(Console().err.find("CompanyFolder (1013), PublisherEn (1014), PublisherZh (1015), HomePageEn (1016), "
                               "HomePageZh (1017) not set"),
            std::string::npos)
      << Console().err;
}

// init --publisher writes the publisher's own lines, and make then warns of
// nothing of Corvenna's and carries them.
TEST(Make, InitWithThePublishersName) {
  struct Case {
    std::u16string publisher, homePage;
    std::u16string companyFolder;  // the setting written, empty for none
    bool warned;
  };
  const Case cases[] = {
      {u"Plume Works", u"https://plume.example/", u"Plume Works", false},
      {u"Plume Works Ltd.", u"https://plume.example/", u"", true},  // no folder ends in a dot
      {u"Plume Works", u"", u"Plume Works", true},                  // the home pages stay Corvenna's
  };
  for (const Case& c : cases) {
    Sandbox box;
    ResetConsole();
    WriteBytes(box.Path("tool/SetupStub.exe"), SyntheticProgram());
    WriteBytes(box.Path("tool/Uninst.exe"), CorvennaUninstaller());
    Console().executableFolder = box.Folder("tool");
    std::vector<std::u16string> init = {u"init", Api(box.Path("Quill")), u"--publisher", c.publisher};
    if (!c.homePage.empty()) init.insert(init.end(), {u"--home-page", c.homePage});
    ASSERT_EQ(stpack::Run(init), 0) << Console().err;
    WriteBytes(box.Path("Quill/payload/Quill.exe"), "MZ");
    ResetConsole();
    Console().executableFolder = box.Folder("tool");
    ASSERT_EQ(stpack::Run({u"make", Api(box.Path("Quill")), u"-o", Api(box.Path("QuillSetup.exe"))}), 0)
        << Console().err;
    EXPECT_EQ(Console().err.find("takes Corvenna's") != std::string::npos, c.warned) << Console().err;
    Resources r(Read(box.Path("QuillSetup.exe")));
    EXPECT_EQ(r.String(1014), c.publisher);
    EXPECT_EQ(r.String(1015), c.publisher);
    EXPECT_EQ(r.String(1013), c.companyFolder);
    EXPECT_EQ(r.String(1016), c.homePage);
  }
}

}  // namespace
}  // namespace vo::test
