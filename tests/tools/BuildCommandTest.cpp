// stpack build end to end: packages written by the tool in a scratch folder,
// read back with the package reader and extracted, with the uninstaller and
// its list as the last two members; and the command lines and sources it
// refuses before any output exists.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "CorvennaVersion.h"
#include "ProgramFixtures.h"
#include "TestConsole.h"
#include "datatable/TextConvert.h"
#include "package/PackageReader.h"
#include "package/PackageTestSupport.h"
#include "tools/stpack/Commands.h"
#include "tools/stpack/Console.h"
#include "tools/stpack/ProductFolder.h"
#include "text/Unicode.h"
#include "uninstall/UninstallList.h"

namespace vo::test {
namespace {

const char kProductIni[] =
    "\xEF\xBB\xBF# Corvenna Drawvane\r\n"
    "1001 = TfrmImageEditor\r\n"
    "1002 = Drawvane\r\n"
    "1003 = \xE6\x9F\xAF\xE9\x9B\xAF\xE7\xBA\xB3\xE7\x94\xBB\xE5\x9B\xBE\r\n"  // 柯雯纳画图
    "1004 = Corvenna Drawvane\r\n"
    "1005 = \xE6\x9F\xAF\xE9\x9B\xAF\xE7\xBA\xB3\xE7\x94\xBB\xE5\x9B\xBE\r\n"
    "1009 = -1\r\n"
    "1011 = 2.0\r\n";

// Lines 2 to 7 are members; a case may add line 8.
const char kManifest[] =
    "# TARGET FOLDER | SOURCE FILE | FILE NAME | OPTIONS\n"
    "         | Drawvane.exe     |\n"
    "         | ReadMe.txt       |\n"
    "Lang     | Lang/en.ini      |\n"
    "$System$ | palette.dat      |\n"
    "$Third$  | helper.dll       | helper.dll | UseInstallDir\n"
    "Lang     | other-uninst.exe | Uninst.exe\n";

// The data of the two uninstallers, which tells which one was packed.
const char kDefaultUninstaller[] = "the uninstaller beside the tool";
const char kNamedUninstaller[] = "the uninstaller named on the command line";

// A scratch folder with a payload as a manifest (src/) and as a folder tree
// (tree/), product settings, an uninstaller beside a pretend tool (tool/)
// and another one elsewhere (bin/).
class Workspace {
 public:
  Workspace() {
    for (const char* file : {"Drawvane.exe", "ReadMe.txt", "Lang/en.ini", "palette.dat", "helper.dll",
                             "other-uninst.exe", "own.exe"}) {
      WriteBytes(box.Path(std::string("src/") + file), std::string("content of ") + file);
    }
    WriteBytes(box.Path("src/payload.manifest"), kManifest);
    for (const char* file : {"Drawvane.exe", "Lang/en.ini", "$System$/palette.dat"}) {
      WriteBytes(box.Path(std::string("tree/") + file), std::string("tree file ") + file);
    }
    WriteBytes(box.Path("product.ini"), kProductIni);
    WriteBytes(box.Path("tool/Uninst.exe"), SyntheticProgram("", kDefaultUninstaller));
    WriteBytes(box.Path("bin/MyUninst.exe"), SyntheticProgram("", kNamedUninstaller));
    fs::create_directories(box.Path("empty-tool"));
    ResetConsole();
    Console().executableFolder = box.Folder("tool");
  }

  std::u16string Arg(const std::string& relative) const { return Api(box.Path(relative)); }

  // Runs stpack build SOURCE -o out.stp and the extra arguments, in which
  // "@name" stands for the path of box/name.
  int Build(const std::string& source, const std::vector<std::string>& extra) const {
    std::vector<std::u16string> arguments = {u"build", Arg(source), u"-o", Arg("out.stp")};
    for (const std::string& argument : extra) {
      const size_t at = argument.find('@');
      const std::u16string head = Utf8ToUtf16(argument.substr(0, at)).value();
      arguments.push_back(at == std::string::npos ? head : head + Arg(argument.substr(at + 1)));
    }
    return stpack::Run(arguments);
  }

  std::vector<PackageEntry> Entries() const {
    std::unique_ptr<PackageFileSystem> files = CreatePlatformFileSystem();
    std::optional<std::vector<PackageEntry>> entries = ReadPackageEntries(*files, Arg("out.stp"), u"");
    if (!entries) throw std::runtime_error("the output has no file table");
    return *entries;
  }

  // Extracts out.stp into install/ (system-folder members into sys/) and
  // returns the files of install/ as relative backslash paths, sorted.
  std::vector<std::u16string> ExtractInstallFolder() const {
    ExtractPackage(Arg("out.stp"), box.Folder("install"), u"", {}, *CreatePlatformFileSystem(box.Folder("sys")));
    std::vector<std::u16string> found;
    for (const auto& item : fs::recursive_directory_iterator(box.Path("install"))) {
      if (!item.is_regular_file()) continue;
      std::u16string relative = item.path().lexically_relative(box.Path("install")).generic_u16string();
      std::replace(relative.begin(), relative.end(), u'/', u'\\');
      found.push_back(relative);
    }
    std::sort(found.begin(), found.end());
    return found;
  }

  bool OutputExists() const {
    return fs::exists(box.Path("out.stp")) || fs::exists(box.Path("out.stp.partial"));
  }

  Sandbox box;
};

std::vector<std::u16string> Sorted(std::vector<std::u16string> items) {
  std::sort(items.begin(), items.end());
  return items;
}

struct BuildCase {
  const char* name;
  std::string source;
  std::vector<std::string> arguments;
  std::string uninstallerData;
  size_t sourceMembers;
  std::vector<std::u16string> listedFiles;  // Uninst.lst's File entries, in order
};

const BuildCase kBuildCases[] = {
    {"manifest_with_named_uninstaller",
     "src/payload.manifest",
     {"--product", "@product.ini", "--uninstaller", "@bin/MyUninst.exe"},
     kNamedUninstaller,
     6,
     // A member named Uninst.exe in a subfolder is no conflict; $System$ is
     // never listed, a $Third$ member with UseInstallDir is.
     {u"Drawvane.exe", u"ReadMe.txt", u"Lang\\en.ini", u"helper.dll", u"Lang\\Uninst.exe", u"Uninst.exe",
      u"Uninst.lst"}},
    {"folder_tree_with_uninstaller_beside_the_tool",
     "tree",
     {"--product=@product.ini"},
     kDefaultUninstaller,
     3,
     {u"Drawvane.exe", u"Lang\\en.ini", u"Uninst.exe", u"Uninst.lst"}},
};

void PrintTo(const BuildCase& c, std::ostream* out) { *out << c.name; }

class BuildWithUninstaller : public ::testing::TestWithParam<BuildCase> {};

TEST_P(BuildWithUninstaller, AddsProgramAndListLast) {
  const BuildCase& c = GetParam();
  Workspace w;
  ASSERT_EQ(w.Build(c.source, c.arguments), 0) << Console().err;
  EXPECT_NE(Console().out.find(std::to_string(c.sourceMembers + 2) + " members (uninstaller added)"), std::string::npos)
      << Console().out;

  const std::vector<PackageEntry> entries = w.Entries();
  ASSERT_EQ(entries.size(), c.sourceMembers + 2);
  for (size_t i = 0; i < 2; ++i) {
    const PackageEntry& e = entries[c.sourceMembers + i];
    EXPECT_EQ(e.targetFolder, u"");
    EXPECT_EQ(e.fileName, i == 0 ? kUninstallerFileName : kUninstallListFileName);
    EXPECT_FALSE(e.useInstallDir);
  }

  const std::vector<std::u16string> installed = w.ExtractInstallFolder();
  // The uninstaller packed is a copy of the one given, with the product's
  // version block (no publisher set: the installer's default).
  const std::string uninstaller = ReadBytes(w.box.Path("install/Uninst.exe")).value_or("");
  EXPECT_NE(uninstaller.find(c.uninstallerData), std::string::npos);
  const std::vector<VersionBlock> versions = VersionBlocksOf(uninstaller);
  ASSERT_EQ(versions.size(), 1u);
  EXPECT_EQ(versions[0].String(u"CompanyName"), u"Corvenna Software");
  EXPECT_EQ(versions[0].String(u"FileDescription"), u"Corvenna Drawvane Uninstaller");
  EXPECT_EQ(versions[0].String(u"ProductVersion"), u"2.0");
  const UninstallList list = ParseUninstallList(ReadBytes(w.box.Path("install/Uninst.lst")).value_or(""));
  EXPECT_EQ(list.files, c.listedFiles);
  EXPECT_EQ(Sorted(list.files), installed);  // every file of the install folder, and nothing else
  EXPECT_EQ(list.windowClass, u"TfrmImageEditor");
  EXPECT_EQ(list.windowTitle, u"Drawvane");
  EXPECT_EQ(list.windowTitleAlt, u"柯雯纳画图");
  EXPECT_EQ(list.productNameZh, u"柯雯纳画图");
  EXPECT_EQ(list.productNameEn, u"Corvenna Drawvane");
  EXPECT_EQ(list.shortcuts, (std::vector<std::u16string>{u"柯雯纳画图.lnk", u"Corvenna Drawvane.lnk"}));
  EXPECT_EQ(list.uninstallKeys, (std::vector<std::u16string>{u"柯雯纳画图", u"Corvenna Drawvane"}));
}

INSTANTIATE_TEST_SUITE_P(Cases, BuildWithUninstaller, ::testing::ValuesIn(kBuildCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BuildWithoutUninstaller, AddsNothingAndLetsTheManifestShipItsOwn) {
  Workspace w;
  WriteBytes(w.box.Path("src/payload.manifest"), std::string(kManifest) + "| own.exe | Uninst.exe\n");
  // --product is ignored then, even when it names no file.
  ASSERT_EQ(w.Build("src/payload.manifest", {"--no-uninstaller", "--product", "@missing.ini"}), 0) << Console().err;
  EXPECT_EQ(Console().out.find("uninstaller added"), std::string::npos) << Console().out;

  const std::vector<PackageEntry> entries = w.Entries();
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries.back().fileName, u"Uninst.exe");
  w.ExtractInstallFolder();
  EXPECT_EQ(ReadBytes(w.box.Path("install/Uninst.exe")), "content of own.exe");
  EXPECT_FALSE(fs::exists(w.box.Path("install/Uninst.lst")));
}

// The codec comes from --compression, else product.ini's Compression, else
// zlib; the tail's last byte marks it and `stpack list` names it.
TEST(BuildCompression, CommandLineOverProductSettingsOverZlib) {
  struct Case {
    const char* name;
    const char* productLine;  // appended to product.ini
    std::vector<std::string> arguments;
    uint8_t mark;
  };
  const Case cases[] = {
      {"default", "", {}, 0x02},
      {"product_best", "Compression = best\r\n", {}, 0x03},
      {"product_zstd_overridden", "Compression = zstd\r\n", {"--compression", "zlib"}, 0x02},
      {"command_line_best", "", {"--compression=best"}, 0x03},
      {"command_line_zstd_without_product", "", {"--compression", "ZSTD"}, 0x03},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
#ifdef _WIN32
    // The Windows tool carries the zstd decoder only and refuses to write
    // zstd packages (CodecTest checks its message).
    if (c.mark == 0x03) continue;
#endif
    Workspace w;
    WriteBytes(w.box.Path("product.ini"), std::string(kProductIni) + c.productLine);
    std::vector<std::string> arguments = {"--product", "@product.ini"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    ASSERT_EQ(w.Build("src/payload.manifest", arguments), 0) << Console().err;
    const std::string expectedCodec = c.mark == 0x03 ? "zstd" : "zlib";
    EXPECT_NE(Console().out.find(", " + expectedCodec + " level "), std::string::npos) << Console().out;
    const std::optional<std::string> package = ReadBytes(w.box.Path("out.stp"));
    ASSERT_TRUE(package);
    EXPECT_EQ(uint8_t(package->back()), c.mark);
    w.ExtractInstallFolder();
    EXPECT_EQ(ReadBytes(w.box.Path("install/ReadMe.txt")), "content of ReadMe.txt");

    ResetConsole();
    ASSERT_EQ(stpack::Run({u"list", w.Arg("out.stp")}), 0) << Console().err;
    EXPECT_NE(Console().out.find(", " + expectedCodec + " members"), std::string::npos) << Console().out;
  }
}

struct FailureCase {
  const char* name;
  std::vector<std::string> arguments;  // after "build src/payload.manifest -o out.stp"
  std::string manifestLine8;           // appended to the manifest when not empty
  std::string productIni;              // replaces product.ini when not empty
  std::string toolFolder;              // where the pretend tool runs from
  int exitCode;
  std::vector<std::string> messageParts;
};

const FailureCase kFailureCases[] = {
    {"uninstaller_without_product_settings",
     {"--uninstaller", "@bin/MyUninst.exe"}, "", "", "tool", 2,
     {"the uninstaller's list needs the product settings", "--product product.ini", "--no-uninstaller"}},
    {"named_uninstaller_missing",
     {"--product", "@product.ini", "--uninstaller", "@bin/missing.exe"}, "", "", "tool", 1,
     {"missing.exe\" does not exist", "--uninstaller FILE", "--no-uninstaller"}},
    {"no_uninstaller_beside_the_tool",
     {"--product", "@product.ini"}, "", "", "empty-tool", 1,
     {"no uninstaller beside stpack", "Uninst.exe\" does not exist", "--uninstaller FILE", "--no-uninstaller"}},
    {"manifest_installs_uninst_exe_in_other_letter_case",
     {"--product", "@product.ini"}, "| own.exe | uninst.EXE", "", "tool", 1,
     {"payload.manifest:8: this member installs to \"Uninst.exe\" in the install folder", "--no-uninstaller"}},
    {"use_install_dir_member_named_uninst_lst",
     {"--product", "@product.ini"}, "$Third$ | own.exe | Uninst.lst | UseInstallDir", "", "tool", 1,
     {"payload.manifest:8: this member installs to \"Uninst.lst\" in the install folder", "--no-uninstaller"}},
    {"trailing_dot_would_land_on_uninst_exe",
     {"--product", "@product.ini"}, "| own.exe | Uninst.exe.", "", "tool", 1,
     {"payload.manifest:8: ", "\"Uninst.exe.\" ends in a dot or a space, which Windows drops from names"}},
    {"trailing_space_in_a_folder",
     {"--no-uninstaller"}, "Lang /x | own.exe |", "", "tool", 1,
     {"payload.manifest:8: ", "the name \"Lang \" ends in a dot or a space"}},
    {"device_name_with_an_extension",
     {"--no-uninstaller"}, "| own.exe | nul.txt", "", "tool", 1,
     {"payload.manifest:8: ", "\"nul.txt\" is a name Windows keeps for a device"}},
    {"device_name_as_a_folder",
     {"--no-uninstaller"}, "Com1 | own.exe |", "", "tool", 1,
     {"payload.manifest:8: ", "the name \"Com1\" is a name Windows keeps for a device"}},
    {"case_of_letters_lands_on_another_member",
     {"--no-uninstaller"}, "| own.exe | readme.TXT", "", "tool", 1,
     {"payload.manifest:8: \"readme.TXT\" is installed twice (also by ", "payload.manifest:3)"}},
    {"unknown_product_setting",
     {"--product", "@product.ini"}, "", "1001 = TfrmImageEditor\n1006 = x\n", "tool", 1,
     {"product.ini:2: unknown setting 1006"}},
    {"product_name_cannot_name_an_uninstall_entry",
     {"--product", "@product.ini"}, "", "1004 = Corvenna\\Drawvane\n", "tool", 1,
     {"product.ini: product name \"Corvenna\\Drawvane\" cannot name an uninstall entry"}},
    {"product_settings_file_missing",
     {"--product", "@missing.ini"}, "", "", "tool", 1,
     {"missing.ini: product settings file not found"}},
    {"unknown_compression",
     {"--no-uninstaller", "--compression", "lzma"}, "", "", "tool", 2,
     {"--compression takes zlib, zstd or best, not \"lzma\""}},
    {"unknown_compression_in_product_settings",
     {"--product", "@product.ini"}, "", "1001 = TfrmImageEditor\nCompression = xz\n", "tool", 1,
     {"product.ini:2: Compression must be zlib, best or zstd, not xz"}},
    {"flag_given_a_value",
     {"--no-uninstaller=yes"}, "", "", "tool", 2,
     {"option \"--no-uninstaller\" takes no value"}},
    {"uninstaller_both_named_and_refused",
     {"--no-uninstaller", "--uninstaller", "@bin/MyUninst.exe"}, "", "", "tool", 2,
     {"either --uninstaller or --no-uninstaller"}},
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class BuildRefused : public ::testing::TestWithParam<FailureCase> {};

TEST_P(BuildRefused, BeforeAnyOutputExists) {
  const FailureCase& c = GetParam();
  Workspace w;
  if (!c.manifestLine8.empty()) WriteBytes(w.box.Path("src/payload.manifest"), std::string(kManifest) + c.manifestLine8 + "\n");
  if (!c.productIni.empty()) WriteBytes(w.box.Path("product.ini"), c.productIni);
  Console().executableFolder = w.box.Folder(c.toolFolder);

  EXPECT_EQ(w.Build("src/payload.manifest", c.arguments), c.exitCode);
  for (const std::string& part : c.messageParts) {
    EXPECT_NE(Console().err.find(part), std::string::npos) << "missing \"" << part << "\" in: " << Console().err;
  }
  EXPECT_FALSE(w.OutputExists());
}

INSTANTIATE_TEST_SUITE_P(Cases, BuildRefused, ::testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProductSettingsFile, ReadsFileAndNamesMissingOne) {
  Sandbox box;
  WriteBytes(box.Path("product.ini"), "1003 = Drawvane\n1002 = x\n");
  std::unique_ptr<PackageFileSystem> files = CreatePlatformFileSystem();
  EXPECT_EQ(stpack::ReadProductSettingsFile(*files, Api(box.Path("product.ini"))).Setting(1003), u"Drawvane");

  const std::u16string missing = Api(box.Path("missing.ini"));
  try {
    stpack::ReadProductSettingsFile(*files, missing);
    FAIL() << "read a missing file";
  } catch (const stpack::ToolError& e) {
    EXPECT_EQ(std::string(e.what()), Utf16ToUtf8(missing) + ": product settings file not found");
  }
}


// Sizes are checked before any output exists. Sparse files stand for the
// large sources: nothing of them is read.
TEST(BuildLimits, MembersPastTheFormatLimitAreRefusedBeforeAnyOutput) {
  struct Case {
    const char* name;
    std::vector<uintmax_t> sizes;  // one source file each, in manifest lines 1, 2, ...
    std::vector<std::string> messageParts;
  };
  const Case cases[] = {
      {"one member of 2^31 bytes",
       {5, uintmax_t(1) << 31},
       {"large.manifest:2: source file \"", "f1.bin\" has 2147483648 bytes; a member holds at most 2147483647"}},
      {"members adding up past 2^31 - 1",
       {(uintmax_t(1) << 30) + 1, 7, uintmax_t(1) << 30},
       {"large.manifest:3: with this member the files add up to 2147483656 bytes; a package holds at most "
        "2147483647"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Workspace w;
    std::string manifest;
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      const std::string name = "f" + std::to_string(i) + ".bin";
      WriteBytes(w.box.Path("src/" + name), "");
      fs::resize_file(w.box.Path("src/" + name), c.sizes[i]);
      manifest += "| " + name + " |\n";
    }
    WriteBytes(w.box.Path("src/large.manifest"), manifest);

    EXPECT_EQ(w.Build("src/large.manifest", {"--no-uninstaller"}), 1);
    for (const std::string& part : c.messageParts) {
      EXPECT_NE(Console().err.find(part), std::string::npos) << "missing \"" << part << "\" in: " << Console().err;
    }
    EXPECT_FALSE(w.OutputExists());
  }
}

// --version and -V print the project's one version; the usage names the
// manual where it is installed and stpack-try.
TEST(Usage, VersionAndManual) {
  for (const std::u16string option : {u"--version", u"-V"}) {
    ResetConsole();
    EXPECT_EQ(stpack::Run({option}), 0);
    EXPECT_EQ(Console().out, std::string("stpack (Corvenna Setup) ") + kCorvennaVersion + "\n");
  }
  ResetConsole();
  EXPECT_EQ(stpack::Run({u"--help"}), 0);
  for (const char* part : {"stpack --version", "stpack-try [--lang en|zh]", "stpack.md",
                           "../share/doc/corvenna-setup/", "tools/README.md"}) {
    EXPECT_NE(Console().out.find(part), std::string::npos) << part;
  }
}

#ifndef _WIN32
// Links in a payload folder, made by the test: followed, each file packed
// once, and every fault named by the link or the paths that cause it. POSIX
// links and permissions; Windows makes symbolic links only with a privilege.
struct TreeLinkCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> links;  // link (under the box) -> target as stored
  int exitCode;
  std::vector<std::u16string> installed;  // the install folder's files when it succeeds
  std::vector<std::string> messageParts;  // "@x" stands for the box's path of x
};

const TreeLinkCase kTreeLinkCases[] = {
    {"folder_link_followed", {{"tree/Docs", "../docs"}}, 0,
     {u"Docs\\guide.txt", u"Docs\\img\\logo.png", u"Drawvane.exe", u"Lang\\en.ini"}, {}},
    {"file_link_followed", {{"tree/Guide.txt", "../docs/guide.txt"}}, 0,
     {u"Drawvane.exe", u"Guide.txt", u"Lang\\en.ini"}, {}},
    {"link_to_a_link_followed", {{"tree/Guide.txt", "../chain.txt"}, {"chain.txt", "docs/guide.txt"}}, 0,
     {u"Drawvane.exe", u"Guide.txt", u"Lang\\en.ini"}, {}},
    {"same_file_by_two_paths", {{"tree/Copy.exe", "Drawvane.exe"}}, 1, {},
     {"\"@tree/Drawvane.exe\" and \"@tree/Copy.exe\" are the same file"}},
    {"folder_packed_twice", {{"tree/A", "../docs"}, {"tree/B", "../docs/img"}}, 1, {},
     {"\"@tree/B/logo.png\" and \"@tree/A/img/logo.png\" are the same file"}},
    {"loop", {{"tree/Lang/up", ".."}}, 1, {}, {"link \"@tree/Lang/up\" points to \"..\"", "a loop"}},
    {"loop_through_two_links", {{"tree/Docs", "../docs"}, {"docs/back", "../tree"}}, 1, {},
     {"link \"@tree/Docs/back\" points to \"../tree\"", "a loop"}},
    {"dangling", {{"tree/Lang/gone.ini", "missing.ini"}}, 1, {},
     {"link \"@tree/Lang/gone.ini\" points to \"missing.ini\", which does not exist"}},
};

void PrintTo(const TreeLinkCase& c, std::ostream* out) { *out << c.name; }

class TreeLinks : public ::testing::TestWithParam<TreeLinkCase> {};

TEST_P(TreeLinks, AreFollowedOrNamed) {
  const TreeLinkCase& c = GetParam();
  Workspace w;
  WriteBytes(w.box.Path("docs/guide.txt"), "guide");
  WriteBytes(w.box.Path("docs/img/logo.png"), "logo");
  for (const auto& [link, target] : c.links) fs::create_symlink(target, w.box.Path(link));

  EXPECT_EQ(w.Build("tree", {"--no-uninstaller"}), c.exitCode) << Console().err;
  if (c.exitCode == 0) {
    EXPECT_EQ(w.ExtractInstallFolder(), c.installed);
  } else {
    EXPECT_FALSE(w.OutputExists());
  }
  for (std::string part : c.messageParts) {
    for (size_t at; (at = part.find('@')) != std::string::npos;) {
      const size_t end = part.find('"', at);
      part.replace(at, end - at, Utf16ToUtf8(w.Arg(part.substr(at + 1, end - at - 1))));
    }
    EXPECT_NE(Console().err.find(part), std::string::npos) << "missing \"" << part << "\" in: " << Console().err;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TreeLinks, ::testing::ValuesIn(kTreeLinkCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TreeErrors, AnUnreadableSubfolderIsNamed) {
  Workspace w;
  const fs::path locked = w.box.Path("tree/Lang");
  fs::permissions(locked, fs::perms::none);
  std::error_code ec;
  fs::directory_iterator probe(locked, ec);
  if (!ec) {
    fs::permissions(locked, fs::perms::owner_all);
    GTEST_SKIP() << "this user reads any folder (root?), so no folder is unreadable";
  }
  EXPECT_EQ(w.Build("tree", {"--no-uninstaller"}), 1);
  fs::permissions(locked, fs::perms::owner_all);
  const std::string expected = "cannot list folder \"" + Utf16ToUtf8(w.Arg("tree/Lang")) + "\"";
  EXPECT_NE(Console().err.find(expected), std::string::npos) << Console().err;
}
#endif

}  // namespace
}  // namespace vo::test
