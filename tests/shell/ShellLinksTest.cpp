#include <gtest/gtest.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <set>
#include <string>
#include <vector>

#include "ShellTestSupport.h"
#include "shell/Registry.h"
#include "shell/ShellLinks.h"

namespace vo {
namespace {

using test::CreateFolders;
using test::FileExists;
using test::SamePath;
using test::U8;

const std::u16string kShellFolders = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::u16string kQuickLaunchSuffix = u"\\Microsoft\\Internet Explorer\\Quick Launch";

std::u16string ShellFolderValue(HKEY root, const std::u16string& name) {
  return RegReadStringValue(root, kShellFolders, name);
}

struct LinkInfo {
  std::u16string path, workingDirectory, arguments, description;
};

// Reads a link file through the shell link object directly.
LinkInfo ReadLink(const std::u16string& linkPath) {
  LinkInfo info;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
      FAILED(file->Load(WStr(linkPath), STGM_READ)))
    return info;
  wchar_t text[MAX_PATH + 1] = {};
  if (link->GetPath(text, MAX_PATH, nullptr, 0) == S_OK) info.path = U16(text);
  text[0] = 0;
  if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) info.workingDirectory = U16(text);
  text[0] = 0;
  if (SUCCEEDED(link->GetArguments(text, MAX_PATH))) info.arguments = U16(text);
  text[0] = 0;
  if (SUCCEEDED(link->GetDescription(text, MAX_PATH))) info.description = U16(text);
  return info;
}

// Writes a link file to target through the shell link object directly.
void WriteLink(const std::u16string& linkPath, const std::u16string& target) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  ASSERT_HRESULT_SUCCEEDED(
      ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()));
  ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void()));
  link->SetPath(WStr(target));
  ASSERT_HRESULT_SUCCEEDED(file->Save(WStr(linkPath), TRUE));
}

std::set<std::string> FolderListing(const std::u16string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAW entry;
  UniqueFindHandle find(::FindFirstFileW(WStr(folder + u"\\*"), &entry));
  if (find) {
    do names.insert(U8(U16(entry.cFileName)));
    while (::FindNextFileW(find.get(), &entry));
  }
  return names;
}

// The all-users Programs folder as the shell names it.
std::u16string CommonProgramsFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return U16(path);
}

class ShellLinksTest : public ::testing::Test {
 protected:
  ~ShellLinksTest() override {
    for (const std::u16string& path : fCreated) {
      ::DeleteFileW(WStr(path));
      ::RemoveDirectoryW(WStr(path));
    }
  }

  // A file that stands for an installed program, under the test's folder.
  std::u16string MakeTarget(const std::u16string& relativePath) {
    const std::u16string path = fTemp.path() + u"\\" + relativePath;
    CreateFolders(PathFolderPart(path).substr(0, PathFolderPart(path).size() - 1));
    test::WriteFileBytes(path, "MZ");
    return path;
  }
  // A path the test writes to outside its own folder, removed at the end.
  std::u16string Remember(const std::u16string& path) {
    fCreated.push_back(path);
    return path;
  }

  ComApartment fCom;
  test::TempFolder fTemp{u"links"};
  std::vector<std::u16string> fCreated;
  const std::u16string fDesktop = ShellFolderValue(HKEY_CURRENT_USER, u"Desktop");
  const std::u16string fCommonDesktop = ShellFolderValue(HKEY_LOCAL_MACHINE, u"Common Desktop");
};

TEST_F(ShellLinksTest, ShellFolderOfEachLocationCode) {
  ASSERT_TRUE(fCom.ok());
  const std::u16string appData = ShellFolderValue(HKEY_CURRENT_USER, u"AppData");
  ASSERT_FALSE(appData.empty());
  const struct {
    uint8_t location;
    std::u16string expected;
  } cases[] = {
      {0, fDesktop},
      {1, appData + kQuickLaunchSuffix},
      {2, ShellFolderValue(HKEY_CURRENT_USER, u"SendTo")},
      {3, ShellFolderValue(HKEY_CURRENT_USER, u"Start Menu")},
      {4, ShellFolderValue(HKEY_CURRENT_USER, u"Startup")},
      {5, CommonProgramsFolder()},
      {6, u""},
      {255, u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(U8(GetShellFolderPath(c.location)), U8(c.expected)) << "location " << int(c.location);
    if (c.location <= 5) {
      EXPECT_FALSE(c.expected.empty()) << "location " << int(c.location);
    }
  }
}

TEST_F(ShellLinksTest, DesktopShortcutResolvesBackToItsTarget) {
  const std::u16string target = MakeTarget(u"Tool Dir\\Drawvane.exe");
  const std::u16string link = Remember(fDesktop + u"\\Corvenna Test Drawvane.lnk");

  CreateShortcut(target, u"--fresh", u"Corvenna Test Drawvane", kDesktopFolder, u"");

  ASSERT_TRUE(FileExists(link));
  EXPECT_TRUE(SamePath(ResolveShortcut(link), target)) << U8(ResolveShortcut(link));
  const LinkInfo info = ReadLink(link);
  EXPECT_TRUE(SamePath(info.path, target)) << U8(info.path);
  EXPECT_EQ(U8(info.workingDirectory), U8(fTemp.path() + u"\\Tool Dir\\"));
  EXPECT_EQ(U8(info.arguments), "--fresh");
  EXPECT_EQ(U8(info.description), "");
  EXPECT_TRUE(SamePath(FindShortcutTargetDir(u"Corvenna Test Drawvane", u"Desktop"), fTemp.path() + u"\\Tool Dir\\"));
}

TEST_F(ShellLinksTest, NameWithADotLosesItsExtension) {
  const std::u16string target = MakeTarget(u"Tool2\\Tool.exe");
  Remember(fDesktop + u"\\Corvenna Tool 2.0.lnk");
  const std::u16string link = Remember(fDesktop + u"\\Corvenna Tool 2.lnk");

  CreateShortcut(target, u"", u"Corvenna Tool 2.0", kDesktopFolder, u"");

  EXPECT_TRUE(FileExists(link));
  EXPECT_FALSE(FileExists(fDesktop + u"\\Corvenna Tool 2.0.lnk"));
  // The look-up appends ".lnk" to the name unchanged, so it misses that file.
  EXPECT_EQ(U8(FindShortcutTargetDir(u"Corvenna Tool 2.0", u"Desktop")), "");
  EXPECT_TRUE(SamePath(FindShortcutTargetDir(u"Corvenna Tool 2", u"Desktop"), fTemp.path() + u"\\Tool2\\"));
}

TEST_F(ShellLinksTest, ShortcutGoesIntoAnExistingSubfolderOnly) {
  const std::u16string target = MakeTarget(u"Sub\\Tool.exe");
  const std::u16string subfolder = Remember(fDesktop + u"\\Corvenna Test Group");
  ASSERT_TRUE(::CreateDirectoryW(WStr(subfolder), nullptr));
  const std::u16string link = subfolder + u"\\Corvenna Sub Tool.lnk";
  fCreated.insert(fCreated.begin(), link);  // the file before its folder

  CreateShortcut(target, u"", u"Corvenna Sub Tool", kDesktopFolder, u"Corvenna Test Group");
  EXPECT_TRUE(FileExists(link));

  // A missing subfolder is not created, and the failed save is not reported.
  EXPECT_NO_THROW(CreateShortcut(target, u"", u"Corvenna Sub Tool", kDesktopFolder, u"Corvenna Missing Group"));
  EXPECT_FALSE(test::FolderExists(fDesktop + u"\\Corvenna Missing Group"));
}

TEST_F(ShellLinksTest, StartMenuShortcutInTheCompanysFolderUnderAllUsersPrograms) {
  const std::u16string programs = CommonProgramsFolder();
  ASSERT_FALSE(programs.empty());
  const std::u16string target = MakeTarget(u"Start Menu Tool\\Drawvane.exe");
  struct Case {
    const char* name;
    std::u16string company;
    bool companyFolderExists;  // another product of the company made it
  };
  const Case cases[] = {
      {"company folder made", u"Corvenna Test Soft", false},
      {"company folder shared", u"Corvenna Test Soft", true},
      {"no company folder: directly in Programs", u"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string folder = c.company.empty() ? programs : programs + u"\\" + c.company;
    const std::u16string expected = folder + u"\\Corvenna Test Drawvane.lnk";
    Remember(expected);
    if (!c.company.empty()) Remember(folder);
    if (c.companyFolderExists) ASSERT_TRUE(::CreateDirectoryW(WStr(folder), nullptr));

    const std::u16string link = CreateStartMenuShortcut(target, u"Corvenna Test Drawvane", c.company);

    EXPECT_EQ(U8(link), U8(expected));
    ASSERT_TRUE(FileExists(expected));
    EXPECT_TRUE(SamePath(ResolveShortcut(expected), target)) << U8(ResolveShortcut(expected));
    EXPECT_EQ(U8(ReadLink(expected).workingDirectory), U8(fTemp.path() + u"\\Start Menu Tool\\"));
    ::DeleteFileW(WStr(expected));
    if (!c.company.empty()) ::RemoveDirectoryW(WStr(folder));
  }
}

TEST_F(ShellLinksTest, UnknownLocationWritesNothing) {
  const std::u16string target = MakeTarget(u"Nowhere\\Tool.exe");
  const std::set<std::string> desktopBefore = FolderListing(fDesktop);
  const std::set<std::string> rootBefore = FolderListing(u"C:");
  for (uint8_t location : {6, 7, 255}) {
    EXPECT_NO_THROW(CreateShortcut(target, u"", u"Corvenna Nowhere", location, u"")) << int(location);
  }
  EXPECT_EQ(FolderListing(fDesktop), desktopBefore);
  EXPECT_EQ(FolderListing(u"C:"), rootBefore);
  EXPECT_EQ(FolderListing(fTemp.path() + u"\\Nowhere"), (std::set<std::string>{".", "..", "Tool.exe"}));
}

TEST_F(ShellLinksTest, QuickLaunchShortcutIsFoundByTheExactKey) {
  const std::u16string quickLaunch = ShellFolderValue(HKEY_CURRENT_USER, u"AppData") + kQuickLaunchSuffix;
  const std::u16string target = MakeTarget(u"Quick\\Drawvane.exe");
  const std::u16string link = Remember(quickLaunch + u"\\Corvenna Quick.lnk");
  for (const std::u16string& folder : CreateFolders(quickLaunch)) Remember(folder);  // a new profile lacks it

  CreateShortcut(target, u"", u"Corvenna Quick", kQuickLaunchFolder, u"");
  ASSERT_TRUE(FileExists(link));

  EXPECT_TRUE(SamePath(FindShortcutTargetDir(u"Corvenna Quick", u"QuickLaunch"), fTemp.path() + u"\\Quick\\"));
  // In lower case it is an ordinary key: the values "quicklaunch" and
  // "Common quicklaunch", which do not exist.
  EXPECT_EQ(U8(FindShortcutTargetDir(u"Corvenna Quick", u"quicklaunch")), "");

  test::ScopedRegistryValue lowerCase(HKEY_CURRENT_USER, kShellFolders, u"quicklaunch");
  const std::u16string otherFolder = fTemp.path() + u"\\Other";
  CreateFolders(otherFolder);
  WriteLink(otherFolder + u"\\Corvenna Quick.lnk", MakeTarget(u"Elsewhere\\Drawvane.exe"));
  lowerCase.SetText(otherFolder);
  EXPECT_TRUE(SamePath(FindShortcutTargetDir(u"Corvenna Quick", u"quicklaunch"), fTemp.path() + u"\\Elsewhere\\"));
  EXPECT_TRUE(SamePath(FindShortcutTargetDir(u"Corvenna Quick", u"QuickLaunch"), fTemp.path() + u"\\Quick\\"));
}

// What lies at "<folder>\<name>.lnk" in one of the two desktop folders.
enum class Placed { kNothing, kLinkToA, kLinkToB, kNotALink };

TEST_F(ShellLinksTest, PerUserDesktopFirstThenAllUsers) {
  ASSERT_FALSE(fCommonDesktop.empty());
  const std::u16string targetA = MakeTarget(u"A\\Drawvane.exe");
  const std::u16string targetB = MakeTarget(u"B\\Drawvane.exe");
  const std::u16string name = u"Corvenna Desk Test";
  const struct {
    Placed perUser;
    Placed allUsers;
    const char16_t* expectedFolder;  // under the test's folder; nullptr: empty result
  } cases[] = {
      {Placed::kLinkToA, Placed::kLinkToB, u"A"},
      {Placed::kNotALink, Placed::kLinkToB, u"B"},  // the per-user link cannot be resolved
      {Placed::kNothing, Placed::kLinkToB, u"B"},
      {Placed::kLinkToA, Placed::kNothing, u"A"},
      {Placed::kNotALink, Placed::kNotALink, nullptr},
      {Placed::kNothing, Placed::kNothing, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "per-user " << int(c.perUser) << ", all-users " << int(c.allUsers));
    for (const auto& [folder, placed] : {std::pair{fDesktop, c.perUser}, std::pair{fCommonDesktop, c.allUsers}}) {
      const std::u16string path = Remember(folder + u"\\" + name + u".lnk");
      ::DeleteFileW(WStr(path));
      switch (placed) {
        case Placed::kNothing: break;
        case Placed::kLinkToA: WriteLink(path, targetA); break;
        case Placed::kLinkToB: WriteLink(path, targetB); break;
        case Placed::kNotALink: test::WriteFileBytes(path, "not a shell link"); break;
      }
    }
    const std::u16string found = FindShortcutTargetDir(name, u"Desktop");
    if (c.expectedFolder) {
      EXPECT_TRUE(SamePath(found, fTemp.path() + u"\\" + c.expectedFolder + u"\\")) << U8(found);
    } else {
      EXPECT_EQ(U8(found), "");
    }
  }
}

// Without a registry value there is no folder: nothing is looked up or saved
// under the root of the current drive.
TEST_F(ShellLinksTest, MissingShellFolderValueIsSkipped) {
  const std::u16string target = MakeTarget(u"Root\\Drawvane.exe");
  const std::u16string name = u"Corvenna Root Test";
  WCHAR oldDirectory[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, oldDirectory);
  ASSERT_TRUE(::SetCurrentDirectoryW(L"C:\\"));
  WriteLink(Remember(u"C:\\" + name + u".lnk"), target);

  EXPECT_EQ(U8(FindShortcutTargetDir(name, u"CorvennaNoSuchFolder")), "");

  const std::u16string rootQuickLaunch = u"C:" + kQuickLaunchSuffix;
  const std::vector<std::u16string> madeFolders = CreateFolders(rootQuickLaunch);
  WriteLink(Remember(rootQuickLaunch + u"\\" + name + u".lnk"), target);
  const std::u16string unwanted = Remember(rootQuickLaunch + u"\\Corvenna Root Saved.lnk");
  for (const std::u16string& folder : madeFolders) Remember(folder);
  {
    test::ScopedRegistryValue appData(HKEY_CURRENT_USER, kShellFolders, u"AppData");
    appData.Remove();
    EXPECT_EQ(U8(GetShellFolderPath(kQuickLaunchFolder)), "");
    EXPECT_EQ(U8(FindShortcutTargetDir(name, u"QuickLaunch")), "");
    CreateShortcut(target, u"", u"Corvenna Root Saved", kQuickLaunchFolder, u"");
    EXPECT_FALSE(FileExists(unwanted));
  }
  ::SetCurrentDirectoryW(oldDirectory);
}

TEST_F(ShellLinksTest, ShellFolderValueOfAnotherTypeRaises) {
  test::ScopedRegistryValue odd(HKEY_CURRENT_USER, kShellFolders, u"CorvennaDwordFolder");
  test::WriteRawValue(HKEY_CURRENT_USER, kShellFolders, u"CorvennaDwordFolder", REG_DWORD, "\x01\0\0\0", 4);
  try {
    FindShortcutTargetDir(u"Corvenna", u"CorvennaDwordFolder");
    ADD_FAILURE() << "no error raised";
  } catch (const ERegistryError& e) {
    EXPECT_EQ(U8(e.Message()), "Invalid data type for 'CorvennaDwordFolder'");
  }
}

TEST_F(ShellLinksTest, WhatIsNoShortcutDoesNotResolve) {
  const std::u16string folder = fTemp.path();
  test::WriteFileBytes(folder + u"\\text.lnk", "just some text, no shell link header");
  test::WriteFileBytes(folder + u"\\empty.lnk", "");
  for (const std::u16string& path : {folder + u"\\text.lnk", folder + u"\\empty.lnk", folder + u"\\missing.lnk",
                                     folder + u"\\"}) {
    EXPECT_EQ(U8(ResolveShortcut(path)), "unable to resolve link") << U8(path);
  }
}

// Start-up initialises COM on the user-interface thread; on a thread without
// it the shell link object cannot be created.
TEST(ShellLinksWithoutCom, CreationFailureRaises) {
  std::u16string createError, resolveError;
  test::TestThread([&] {
    try {
      CreateShortcut(u"C:\\x.exe", u"", u"x", kDesktopFolder, u"");
    } catch (const EShellError& e) {
      createError = e.Message();
    }
    try {
      ResolveShortcut(u"C:\\x.lnk");
    } catch (const EShellError& e) {
      resolveError = e.Message();
    }
  }).join();
  const std::u16string classId = u", ClassID: {00021401-0000-0000-C000-000000000046}";
  ASSERT_GT(createError.size(), classId.size()) << U8(createError);
  EXPECT_EQ(U8(createError.substr(createError.size() - classId.size())), U8(classId));
  EXPECT_EQ(U8(resolveError), U8(createError.substr(0, createError.size() - classId.size())));
}

}  // namespace
}  // namespace vo
