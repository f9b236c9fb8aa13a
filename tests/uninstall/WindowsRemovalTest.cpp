// The removal against real files, shortcuts and registry keys (Windows, or
// Wine). Everything lives in a fresh folder under %TEMP% and a registry key
// of its own, both removed afterwards.

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "shell/Registry.h"
#include "shell/UninstallEntry.h"
#include "shell/ShellTestSupport.h"
#include "shell/UniqueHandle.h"
#include "uninstall/Removal.h"
#include "uninstall/UninstallList.h"
#include "uninstall/WindowsUninstallSystem.h"

namespace vo {
namespace {

void WriteTextFile(const std::u16string& path, const std::string& text = "x") {
  ASSERT_TRUE(test::WriteFileBytes(path, text)) << testing::PrintToString(path);
}

bool Exists(const std::u16string& path) { return ::GetFileAttributesW(WStr(path)) != INVALID_FILE_ATTRIBUTES; }

// Files under folder, relative, sorted; folders show with a trailing backslash
// when empty.
void CollectTree(const std::u16string& folder, const std::u16string& prefix, std::vector<std::u16string>& out) {
  WIN32_FIND_DATAW entry;
  UniqueFindHandle find(::FindFirstFileW(WStr(folder + u"\\*"), &entry));
  if (!find) return;
  bool empty = true;
  do {
    const std::u16string name = U16(entry.cFileName);
    if (name == u"." || name == u"..") continue;
    empty = false;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) CollectTree(folder + u"\\" + name, prefix + name + u"\\", out);
    else out.push_back(prefix + name);
  } while (::FindNextFileW(find.get(), &entry));
  if (empty && !prefix.empty()) out.push_back(prefix);
}

void MakeShortcut(const std::u16string& linkPath, const std::u16string& target) {
  ComPtr<IShellLinkW> link;
  ASSERT_TRUE(SUCCEEDED(
      ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())));
  ComPtr<IPersistFile> file;
  ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void())));
  link->SetPath(WStr(target));
  ASSERT_TRUE(SUCCEEDED(file->Save(WStr(linkPath), TRUE)));
}

// A fresh folder under %TEMP% (long form, no trailing backslash) and a
// private uninstall entry name; both are removed afterwards.
class RealMachine : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    static int counter = 0;
    const std::string unique = std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter);
    fRoot = LongPath(U16(temp)) + u"uninstall-test-" + std::u16string(unique.begin(), unique.end());
    ASSERT_TRUE(::CreateDirectoryW(WStr(fRoot), nullptr));
    fKey = u"Corvenna uninstall test " + std::u16string(unique.begin(), unique.end());
  }
  void TearDown() override {
    test::DeleteTree(fRoot);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, WStr(UninstallKeyPath(fKey)));
  }

  void MakeFolders(const std::vector<std::u16string>& relative) {
    for (const std::u16string& folder : relative) ::CreateDirectoryW(WStr(fRoot + u"\\" + folder), nullptr);
  }
  std::vector<std::u16string> Tree() {
    std::vector<std::u16string> files;
    CollectTree(fRoot, u"", files);
    std::sort(files.begin(), files.end());
    return files;
  }

  std::u16string fRoot;
  std::u16string fKey;
  ComApartment fCom;
};

// Looks for shortcuts in folders of the test tree instead of the user's and
// the all-users Start menu.
class TestTreeSystem : public WindowsUninstallSystem {
 public:
  explicit TestTreeSystem(const std::u16string& root) : fRoot(root) {}
  std::vector<std::u16string> ShortcutFolders() override { return {fRoot + u"\\Desktop", fRoot + u"\\QuickLaunch"}; }
  std::u16string ProgramsFolder() override { return fRoot + u"\\Programs"; }

 private:
  std::u16string fRoot;
};

TEST_F(RealMachine, RemovesTheProductAndLeavesWhatItMust) {
  struct Case {
    const char* name;
    std::vector<std::u16string> userFiles;
    std::u16string heldOpen;  // opened without sharing during the removal
    std::u16string readOnly;
    int exitCode;
    std::vector<std::u16string> filesLeft;  // relative to the install folder
    std::vector<std::u16string> remaining;  // the test tree afterwards
  };
  // What is not the product's: the Quick Launch shortcut points into another
  // installation, which stays as it is.
  const std::vector<std::u16string> others = {u"Desktop\\", u"Other\\Drawvane.exe", u"QuickLaunch\\Drawvane.lnk"};
  auto with = [&](std::vector<std::u16string> extra) {
    extra.insert(extra.end(), others.begin(), others.end());
    std::sort(extra.begin(), extra.end());
    return extra;
  };
  const Case cases[] = {
      {"only installed files", {}, u"", u"", kUninstallComplete, {}, with({})},
      {"a user's file keeps its folders", {u"Lang\\mine.ini"}, u"", u"", kUninstallComplete, {},
       with({u"Drawvane\\Lang\\mine.ini"})},
      {"a file held open is left, the rest removed", {}, u"Drawvane.exe", u"", kUninstallPartial, {u"Drawvane.exe"},
       with({u"Drawvane\\Drawvane.exe"})},
      {"a read-only file is removed", {}, u"", u"Lang\\zh-CN.ini", kUninstallComplete, {}, with({})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string installDir = fRoot + u"\\Drawvane\\";
    MakeFolders({u"Drawvane", u"Drawvane\\Lang", u"Drawvane\\Lang\\en", u"Desktop", u"QuickLaunch", u"Other"});
    UninstallList list;
    list.shortcuts = {u"Drawvane.lnk"};
    list.uninstallKeys = {fKey};
    list.files = {u"Drawvane.exe", u"Lang\\zh-CN.ini", u"Lang\\en\\readme.txt", u"Uninst.exe", u"Uninst.lst"};
    for (const std::u16string& file : list.files)
      if (file != u"Uninst.exe") WriteTextFile(installDir + file);
    for (const std::u16string& file : c.userFiles) WriteTextFile(installDir + file);
    WriteTextFile(fRoot + u"\\Other\\Drawvane.exe");
    MakeShortcut(fRoot + u"\\Desktop\\Drawvane.lnk", installDir + u"Drawvane.exe");
    MakeShortcut(fRoot + u"\\QuickLaunch\\Drawvane.lnk", fRoot + u"\\Other\\Drawvane.exe");
    ASSERT_TRUE(RegWriteStringValue(HKEY_LOCAL_MACHINE, UninstallKeyPath(fKey), u"UninstallString",
                                    u"\"" + installDir + u"Uninst.exe\""));
    if (!c.readOnly.empty()) ::SetFileAttributesW(WStr(installDir + c.readOnly), FILE_ATTRIBUTE_READONLY);
    UniqueFile held;
    if (!c.heldOpen.empty())
      held.reset(::CreateFileW(WStr(installDir + c.heldOpen), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));

    TestTreeSystem system(fRoot);
    // The uninstaller runs from elsewhere here; its own removal is the helper's test below.
    const RemovalReport report = RunRemoval(list, installDir, fRoot + u"\\Uninst.exe", system);
    held.reset();

    EXPECT_EQ(report.ExitCode(), c.exitCode);
    std::vector<std::u16string> filesLeft;
    for (const std::u16string& file : c.filesLeft) filesLeft.push_back(installDir + file);
    EXPECT_EQ(report.filesLeft, filesLeft);
    EXPECT_EQ(Tree(), c.remaining);
    EXPECT_EQ(report.shortcutsRemoved, std::vector<std::u16string>({fRoot + u"\\Desktop\\Drawvane.lnk"}));
    EXPECT_EQ(report.entriesRemoved, std::vector<std::u16string>({fKey}));
    EXPECT_EQ(RegReadStringValue(HKEY_LOCAL_MACHINE, UninstallKeyPath(fKey), u"UninstallString"), u"");

    // A file whose last handle has only just closed can hold on to its folder
    // for a moment on a busy machine; try again rather than fail the next case.
    bool fresh = false;
    for (int attempt = 0; attempt < 50 && !fresh; ++attempt) {
      test::DeleteTree(fRoot);
      fresh = ::CreateDirectoryW(WStr(fRoot), nullptr) != FALSE;
      if (!fresh) ::Sleep(100);
    }
    ASSERT_TRUE(fresh) << "cannot make " << Utf16ToUtf8(fRoot) << " afresh";
  }
}

TEST_F(RealMachine, RemovesTheStartMenuShortcutAndTheCompanysEmptyProgramsFolder) {
  struct Case {
    const char* name;
    bool otherProduct;  // the company's other product has its shortcut there too
    bool folderRemoved;
    std::vector<std::u16string> remaining;
  };
  const Case cases[] = {
      {"the last shortcut in it", false, true, {u"Other\\", u"Programs\\"}},
      {"another product's shortcut keeps it", true, false,
       {u"Other\\Paint.exe", u"Programs\\Corvenna Soft\\Paint.lnk"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string installDir = fRoot + u"\\Drawvane\\";
    MakeFolders({u"Drawvane", u"Programs", u"Programs\\Corvenna Soft", u"Other"});
    UninstallList list;
    list.companyFolder = u"Corvenna Soft";
    list.shortcuts = {u"Corvenna Drawvane.lnk"};
    list.files = {u"Drawvane.exe"};
    WriteTextFile(installDir + u"Drawvane.exe");
    MakeShortcut(fRoot + u"\\Programs\\Corvenna Soft\\Corvenna Drawvane.lnk", installDir + u"Drawvane.exe");
    if (c.otherProduct) {
      WriteTextFile(fRoot + u"\\Other\\Paint.exe");
      MakeShortcut(fRoot + u"\\Programs\\Corvenna Soft\\Paint.lnk", fRoot + u"\\Other\\Paint.exe");
    }

    TestTreeSystem system(fRoot);
    const RemovalReport report = RunRemoval(list, installDir, fRoot + u"\\Uninst.exe", system);

    EXPECT_EQ(report.shortcutsRemoved,
              std::vector<std::u16string>({fRoot + u"\\Programs\\Corvenna Soft\\Corvenna Drawvane.lnk"}));
    EXPECT_EQ(report.startMenuFolderRemoved, c.folderRemoved);
    EXPECT_EQ(Tree(), c.remaining);
    test::DeleteTree(fRoot);
    ASSERT_TRUE(::CreateDirectoryW(WStr(fRoot), nullptr));
  }
}

TEST_F(RealMachine, LeavesTheEntryOfAnotherInstallation) {
  const std::u16string otherCommand = u"\"" + fRoot + u"\\Elsewhere\\Uninst.exe\"";
  ASSERT_TRUE(RegWriteStringValue(HKEY_LOCAL_MACHINE, UninstallKeyPath(fKey), u"UninstallString", otherCommand));
  UninstallList list;
  list.uninstallKeys = {fKey};
  TestTreeSystem system(fRoot);
  const RemovalReport report = RunRemoval(list, fRoot + u"\\Drawvane\\", fRoot + u"\\Uninst.exe", system);
  EXPECT_TRUE(report.entriesRemoved.empty());
  EXPECT_EQ(RegReadStringValue(HKEY_LOCAL_MACHINE, UninstallKeyPath(fKey), u"UninstallString"), otherCommand);
}

TEST_F(RealMachine, FolderHoldsOnlyLooksAtEveryEntry) {
  struct Case {
    std::vector<std::u16string> files;
    std::vector<std::u16string> folders;
    bool holdsOnly;
  };
  const Case cases[] = {
      {{u"Uninst.exe"}, {}, true},
      {{u"UNINST.EXE"}, {}, true},
      {{}, {}, true},
      {{u"Uninst.exe", u"notes.txt"}, {}, false},
      {{u"Uninst.exe"}, {u"Lang"}, false},
  };
  for (const Case& c : cases) {
    const std::u16string folder = fRoot + u"\\Drawvane";
    ASSERT_TRUE(::CreateDirectoryW(WStr(folder), nullptr));
    for (const std::u16string& f : c.files) WriteTextFile(folder + u"\\" + f);
    for (const std::u16string& f : c.folders) ::CreateDirectoryW(WStr(folder + u"\\" + f), nullptr);
    WindowsUninstallSystem system;
    EXPECT_EQ(system.FolderHoldsOnly(folder, u"Uninst.exe"), c.holdsOnly) << testing::PrintToString(c.files);
    test::DeleteTree(folder);
  }
  WindowsUninstallSystem system;
  EXPECT_FALSE(system.FolderHoldsOnly(fRoot + u"\\Missing", u"Uninst.exe"));
}

TEST_F(RealMachine, ShortcutTargetReadsOnlyShortcuts) {
  WriteTextFile(fRoot + u"\\Drawvane.exe");
  MakeShortcut(fRoot + u"\\Drawvane.lnk", fRoot + u"\\Drawvane.exe");
  WriteTextFile(fRoot + u"\\plain.lnk", "not a shortcut");
  WindowsUninstallSystem system;
  EXPECT_TRUE(SamePath(system.ShortcutTarget(fRoot + u"\\Drawvane.lnk"), fRoot + u"\\Drawvane.exe"));
  EXPECT_EQ(system.ShortcutTarget(fRoot + u"\\plain.lnk"), u"");
  EXPECT_EQ(system.ShortcutTarget(fRoot + u"\\missing.lnk"), u"");
}

TEST_F(RealMachine, TheListIsReadFromItsFile) {
  const std::u16string path = fRoot + u"\\Uninst.lst";
  WriteTextFile(path, BuildUninstallList({{u"", u"Drawvane.exe"}}, {u"C", u"T", u"T2", u"Corvenna Drawvane", u"", u""}));
  const UninstallList list = ParseUninstallList(ReadWholeFile(path));
  EXPECT_EQ(list.files, std::vector<std::u16string>({u"Drawvane.exe", u"Uninst.exe", u"Uninst.lst"}));
  EXPECT_THROW(ReadWholeFile(fRoot + u"\\missing.lst"), EUninstallList);
}

TEST_F(RealMachine, SelfRemovalHelperDeletesTheUninstallerAndItsEmptyFolder) {
  struct Case {
    const char* name;
    bool processEnded;  // the handle it waits on is signalled
    bool otherFile;     // the folder holds something else too
    bool uninstallerRemains, folderRemains;
  };
  const Case cases[] = {
      {"folder emptied", true, false, false, false},
      {"folder with another file", true, true, false, true},
      {"nothing to wait for: deletes nothing", false, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string folder = fRoot + u"\\Drawvane";
    ASSERT_TRUE(::CreateDirectoryW(WStr(folder), nullptr));
    WriteTextFile(folder + u"\\Uninst.exe");
    if (c.otherFile) WriteTextFile(folder + u"\\notes.txt");
    // An ended process's handle is signalled; so is a set event.
    HANDLE wait = c.processEnded ? ::CreateEventW(nullptr, TRUE, TRUE, nullptr) : nullptr;
    const int code = RunSelfRemovalHelper((unsigned long)(uintptr_t)wait, folder + u"\\Uninst.exe", false);
    EXPECT_EQ(code, c.processEnded ? 0 : 1);
    EXPECT_EQ(Exists(folder + u"\\Uninst.exe"), c.uninstallerRemains);
    EXPECT_EQ(Exists(folder), c.folderRemains);
    test::DeleteTree(folder);
  }
}

}  // namespace
}  // namespace vo
