#include "uninstall/Removal.h"
#include "uninstall/Upgrade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace vo {
namespace {

const std::u16string kInstallDir = u"C:\\Program Files\\Drawvane\\";
const std::u16string kDesktop = u"C:\\Users\\ann\\Desktop";
const std::u16string kQuickLaunch = u"C:\\Users\\ann\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch";
const std::u16string kPrograms = u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

std::u16string Upper(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
  return s;
}

// A model of the machine: files, folders, shortcuts and uninstall entries,
// with file names compared without regard to case as on Windows.
class FakeSystem : public UninstallSystem {
 public:
  struct Less {
    bool operator()(const std::u16string& a, const std::u16string& b) const { return Upper(a) < Upper(b); }
  };

  void AddFile(const std::u16string& path) {
    files.insert(path);
    for (size_t end = path.rfind(u'\\'); end != std::u16string::npos && end > 2; end = path.rfind(u'\\', end - 1))
      folders.insert(path.substr(0, end));
  }

  RemoveResult RemoveFile(const std::u16string& path) override {
    log.push_back(u"file " + path);
    if (!files.count(path)) return RemoveResult::Missing;
    if (locked.count(path)) return RemoveResult::Failed;
    files.erase(path);
    return RemoveResult::Removed;
  }
  RemoveResult RemoveFolder(const std::u16string& path) override {
    log.push_back(u"folder " + path);
    if (!folders.count(path)) return RemoveResult::Missing;
    const std::u16string prefix = Upper(path + u"\\");
    auto inside = [&](const std::u16string& p) { return Upper(p).compare(0, prefix.size(), prefix) == 0; };
    if (std::any_of(files.begin(), files.end(), inside) || std::any_of(folders.begin(), folders.end(), inside))
      return RemoveResult::Failed;
    folders.erase(path);
    return RemoveResult::Removed;
  }
  // A folder in folderLinks stands for a junction: its path is a link, and
  // what lies "below" it is another place's.
  RemoveResult RemoveInstalledFile(const std::u16string& installDir, const std::u16string& relativePath) override {
    if (PassesThroughLink(installDir, relativePath)) {
      log.push_back(u"file through link " + installDir + relativePath);
      return RemoveResult::ThroughLink;
    }
    return RemoveFile(installDir + relativePath);
  }
  RemoveResult RemoveInstalledFolder(const std::u16string& installDir, const std::u16string& relativeFolder) override {
    const std::u16string path = relativeFolder.empty() ? installDir.substr(0, installDir.size() - 1)
                                                        : installDir + relativeFolder;
    if (!relativeFolder.empty() && PassesThroughLink(installDir, relativeFolder)) return RemoveResult::ThroughLink;
    if (folderLinks.erase(path)) {
      // The link goes; what it pointed to stays where it is, no longer
      // inside the install tree.
      log.push_back(u"link " + path);
      folders.erase(path);
      const std::u16string prefix = Upper(path + u"\\");
      for (std::set<std::u16string, Less>* set : {&files, &folders}) {
        for (auto it = set->begin(); it != set->end();) {
          if (Upper(*it).compare(0, prefix.size(), prefix) != 0) {
            ++it;
            continue;
          }
          if (set == &files) linkedPlace.insert(*it);
          it = set->erase(it);
        }
      }
      return RemoveResult::LinkRemoved;
    }
    return RemoveFolder(path);
  }
  bool PassesThroughLink(const std::u16string& installDir, const std::u16string& relative) const {
    for (size_t end = relative.find(u'\\'); end != std::u16string::npos; end = relative.find(u'\\', end + 1))
      if (folderLinks.count(installDir + relative.substr(0, end))) return true;
    return false;
  }
  bool FolderHoldsOnly(const std::u16string& folder, const std::u16string& name) override {
    const std::u16string prefix = Upper(folder + u"\\");
    for (const std::set<std::u16string, Less>* set : {&files, &folders})
      for (const std::u16string& p : *set)
        if (Upper(p).compare(0, prefix.size(), prefix) == 0 && Upper(p) != prefix + Upper(name)) return false;
    return folders.count(folder) > 0;
  }
  std::vector<std::u16string> ShortcutFolders() override { return {kDesktop, kQuickLaunch}; }
  std::u16string ShortcutTarget(const std::u16string& linkPath) override {
    auto link = links.find(linkPath);
    return files.count(linkPath) && link != links.end() ? link->second : std::u16string();
  }
  std::u16string EntryUninstallString(const std::u16string& keyName) override {
    auto entry = entries.find(keyName);
    return entry == entries.end() ? std::u16string() : entry->second;
  }
  RemoveResult DeleteUninstallEntry(const std::u16string& keyName) override {
    log.push_back(u"entry " + keyName);
    if (!entries.count(keyName)) return RemoveResult::Missing;
    if (lockedEntries.count(keyName)) return RemoveResult::Failed;
    entries.erase(keyName);
    return RemoveResult::Removed;
  }
  std::u16string ProgramFilesFolder() override { return programFiles; }
  std::u16string ProgramsFolder() override { return programs; }

  std::set<std::u16string, Less> files;
  std::set<std::u16string, Less> folders;
  std::set<std::u16string, Less> locked;
  std::map<std::u16string, std::u16string, Less> links;  // link path -> target (the link is also in files)
  std::set<std::u16string, Less> folderLinks;            // install-tree folders that are links
  std::set<std::u16string, Less> linkedPlace;            // what a removed link pointed to, by its old path
  std::map<std::u16string, std::u16string> entries;      // key name -> UninstallString
  std::set<std::u16string> lockedEntries;
  std::u16string programFiles = u"C:\\Program Files";
  std::u16string programs = kPrograms;
  std::vector<std::u16string> log;
};

UninstallList SampleList() {
  UninstallList list;
  list.shortcuts = {u"柯雯纳画图.lnk", u"Corvenna Drawvane.lnk"};
  list.uninstallKeys = {u"柯雯纳画图", u"Corvenna Drawvane"};
  list.files = {u"Drawvane.exe", u"Lang\\zh-CN.ini", u"Lang\\en\\readme.txt", u"Uninst.exe", u"Uninst.lst"};
  return list;
}

// The sample product as the installer leaves it, installed in both languages
// into one folder.
void Install(FakeSystem& system) {
  for (const std::u16string& file : SampleList().files) system.AddFile(kInstallDir + file);
  system.folders.insert(kDesktop);
  system.folders.insert(kQuickLaunch);
  system.folders.insert(kPrograms);
  for (const std::u16string& folder : {kDesktop, kQuickLaunch, kPrograms})
    for (const std::u16string& name : SampleList().shortcuts) {
      system.files.insert(folder + u"\\" + name);
      system.links[folder + u"\\" + name] = kInstallDir + u"Drawvane.exe";
    }
  for (const std::u16string& key : SampleList().uninstallKeys)
    system.entries[key] = u"\"" + kInstallDir + u"Uninst.exe\"";
}

std::vector<std::u16string> Sorted(const std::set<std::u16string, FakeSystem::Less>& set) {
  return std::vector<std::u16string>(set.begin(), set.end());
}

TEST(RunRemoval, LeavesExactlyWhatItMustOnTheMachine) {
  struct Case {
    const char* name;
    std::function<void(FakeSystem&)> change;  // applied after the installation
    std::vector<std::u16string> filesLeft;     // in the report
    std::vector<std::u16string> foldersKept;   // in the report
    bool selfFolderPending;
    int exitCode;
    std::vector<std::u16string> remainingFiles;  // on the machine, sorted, shortcuts included
    std::vector<std::u16string> remainingEntries;
  };
  const std::u16string self = kInstallDir + u"Uninst.exe";
  const std::u16string exe = kInstallDir + u"Drawvane.exe";
  const std::u16string root = u"C:\\Program Files\\Drawvane";
  const std::u16string lang = root + u"\\Lang";
  const Case cases[] = {
      {"everything installed is removed",
       [](FakeSystem&) {}, {}, {}, true, kUninstallComplete, {self}, {}},
      {"a user's file keeps its folder",
       [&](FakeSystem& s) { s.AddFile(kInstallDir + u"notes.txt"); },
       {}, {root}, false, kUninstallComplete, {kInstallDir + u"notes.txt", self}, {}},
      {"a user's file in a subfolder keeps that folder and its parents only",
       [&](FakeSystem& s) { s.AddFile(lang + u"\\mine.ini"); },
       {}, {lang, root}, false, kUninstallComplete, {lang + u"\\mine.ini", self}, {}},
      {"a file in use is left and named, the rest removed",
       [&](FakeSystem& s) { s.locked.insert(exe); },
       {exe}, {root}, false, kUninstallPartial, {exe, self}, {}},
      {"files and folders already gone are no failure",
       [&](FakeSystem& s) {
         s.files.erase(kInstallDir + u"Lang\\en\\readme.txt");
         s.folders.erase(lang + u"\\en");
       },
       {}, {}, true, kUninstallComplete, {self}, {}},
      {"shortcuts and an entry of another installation are left alone",
       [](FakeSystem& s) {
         s.links[kDesktop + u"\\Corvenna Drawvane.lnk"] = u"D:\\Tools\\Drawvane\\Drawvane.exe";
         s.entries[u"柯雯纳画图"] = u"\"D:\\Tools\\Drawvane\\Uninst.exe\"";
       },
       {}, {}, true, kUninstallComplete, {kDesktop + u"\\Corvenna Drawvane.lnk", self}, {u"柯雯纳画图"}},
      {"a folder sharing the install folder's name as a prefix is another folder",
       [](FakeSystem& s) {
         s.links[kQuickLaunch + u"\\柯雯纳画图.lnk"] = u"C:\\Program Files\\Drawvane2\\Drawvane.exe";
       },
       {}, {}, true, kUninstallComplete, {kQuickLaunch + u"\\柯雯纳画图.lnk", self}, {}},
      {"a file with the shortcut's name that is no shortcut stays",
       [](FakeSystem& s) { s.links.erase(kDesktop + u"\\柯雯纳画图.lnk"); },
       {}, {}, true, kUninstallComplete, {kDesktop + u"\\柯雯纳画图.lnk", self}, {}},
      {"a folder replaced by a link: nothing deleted through it, the link removed, the files named",
       [&](FakeSystem& s) { s.folderLinks.insert(lang); },
       {}, {}, true, kUninstallPartial, {self}, {}},
      {"a link deeper down: the files above it still go",
       [&](FakeSystem& s) { s.folderLinks.insert(lang + u"\\en"); },
       {}, {}, true, kUninstallPartial, {self}, {}},
      {"an entry that cannot be deleted is reported",
       [](FakeSystem& s) { s.lockedEntries.insert(u"Corvenna Drawvane"); },
       {}, {}, true, kUninstallPartial, {self}, {u"Corvenna Drawvane"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSystem system;
    Install(system);
    c.change(system);
    const RemovalReport report = RunRemoval(SampleList(), kInstallDir, self, system);
    EXPECT_EQ(report.filesLeft, c.filesLeft);
    EXPECT_EQ(report.foldersKept, c.foldersKept);
    EXPECT_EQ(report.selfPath, self);
    EXPECT_EQ(report.selfFolderPending, c.selfFolderPending);
    EXPECT_EQ(report.ExitCode(), c.exitCode);
    std::vector<std::u16string> remaining = c.remainingFiles;
    std::sort(remaining.begin(), remaining.end(), FakeSystem::Less());
    EXPECT_EQ(Sorted(system.files), remaining);
    std::vector<std::u16string> entries;
    for (const auto& entry : system.entries) entries.push_back(entry.first);
    EXPECT_EQ(entries, c.remainingEntries);
  }
}

TEST(RunRemoval, NamesWhatALinkKeptAndTheLinksItRemoved) {
  FakeSystem system;
  Install(system);
  const std::u16string lang = kInstallDir + u"Lang";
  system.folderLinks.insert(lang);
  const RemovalReport report = RunRemoval(SampleList(), kInstallDir, kInstallDir + u"Uninst.exe", system);
  EXPECT_EQ(report.filesBehindLinks, std::vector<std::u16string>({lang + u"\\zh-CN.ini", lang + u"\\en\\readme.txt"}));
  EXPECT_EQ(report.linksRemoved, std::vector<std::u16string>({lang}));
  EXPECT_TRUE(report.filesLeft.empty());
  EXPECT_FALSE(report.Complete());
  // What the link pointed to is untouched.
  EXPECT_EQ(Sorted(system.linkedPlace), std::vector<std::u16string>({lang + u"\\en\\readme.txt", lang + u"\\zh-CN.ini"}));
}

TEST(RunRemoval, CountsWhatItRemoved) {
  FakeSystem system;
  Install(system);
  const RemovalReport report = RunRemoval(SampleList(), kInstallDir, kInstallDir + u"Uninst.exe", system);
  EXPECT_EQ(report.filesRemoved, 4);     // all but the running uninstaller
  EXPECT_EQ(report.foldersRemoved, 3);   // Lang\en, Lang, and the install folder through the helper
  EXPECT_EQ(report.shortcutsRemoved.size(), 6u);  // desktop, Quick Launch, Start menu, in both languages
  EXPECT_EQ(report.entriesRemoved, std::vector<std::u16string>({u"柯雯纳画图", u"Corvenna Drawvane"}));
  EXPECT_TRUE(report.Complete());
}

TEST(RunRemoval, WorksInTheOrderShortcutsFilesFoldersEntries) {
  FakeSystem system;
  Install(system);
  RunRemoval(SampleList(), kInstallDir, kInstallDir + u"Uninst.exe", system);
  const std::u16string order[] = {u"file " + kDesktop, u"file " + kQuickLaunch, u"file " + kPrograms,
                                  u"file " + kInstallDir, u"folder ", u"entry "};
  size_t stage = 0;
  for (const std::u16string& step : system.log) {
    while (stage < std::size(order) && step.compare(0, order[stage].size(), order[stage]) != 0) ++stage;
    ASSERT_LT(stage, std::size(order)) << "out of order: " << testing::PrintToString(step);
  }
}

TEST(RunRemoval, TheStartMenuShortcutAndTheCompanysProgramsFolder) {
  const std::u16string companyPrograms = kPrograms + u"\\Corvenna Soft";
  const std::u16string ours = companyPrograms + u"\\Corvenna Drawvane.lnk";
  const std::u16string theirs = companyPrograms + u"\\Corvenna Paint.lnk";
  struct Case {
    const char* name;
    std::u16string company;  // of the list
    std::function<void(FakeSystem&)> change;
    std::vector<std::u16string> shortcutsRemoved;  // under Programs
    bool folderRemoved;
    std::vector<std::u16string> remaining;  // under Programs, folders with a trailing backslash
  };
  const std::u16string exe = kInstallDir + u"Drawvane.exe";
  const Case cases[] = {
      {"the last shortcut takes its company folder along", u"Corvenna Soft", [](FakeSystem&) {}, {ours}, true, {}},
      {"another product of the company keeps the folder", u"Corvenna Soft",
       [&](FakeSystem& s) {
         s.files.insert(theirs);
         s.links[theirs] = u"C:\\Program Files\\Corvenna Soft\\Paint\\Paint.exe";
       },
       {ours}, false, {companyPrograms + u"\\", theirs}},
      {"a shortcut of another installation stays, and so does its folder", u"Corvenna Soft",
       [&](FakeSystem& s) { s.links[ours] = u"D:\\Tools\\Drawvane\\Drawvane.exe"; }, {}, false,
       {companyPrograms + u"\\", ours}},
      {"no company folder: the shortcut directly in Programs, and Programs stays", u"",
       [&](FakeSystem& s) {
         s.files.erase(ours);
         s.folders.erase(companyPrograms);
         s.files.insert(kPrograms + u"\\Corvenna Drawvane.lnk");
         s.links[kPrograms + u"\\Corvenna Drawvane.lnk"] = exe;
       },
       {kPrograms + u"\\Corvenna Drawvane.lnk"}, false, {}},
      {"no Programs folder known: nothing looked for there", u"Corvenna Soft",
       [](FakeSystem& s) { s.programs.clear(); }, {}, false, {companyPrograms + u"\\", ours}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSystem system;
    UninstallList list = SampleList();
    list.companyFolder = c.company;
    for (const std::u16string& file : list.files) system.AddFile(kInstallDir + file);
    system.folders.insert(kPrograms);
    system.AddFile(ours);
    system.links[ours] = exe;
    c.change(system);
    const RemovalReport report = RunRemoval(list, kInstallDir, u"C:\\Temp\\Uninst.exe", system);
    EXPECT_EQ(report.shortcutsRemoved, c.shortcutsRemoved);
    EXPECT_EQ(report.startMenuFolderRemoved, c.folderRemoved);
    std::vector<std::u16string> remaining;
    const std::u16string prefix = kPrograms + u"\\";
    for (const std::u16string& file : system.files)
      if (file.compare(0, prefix.size(), prefix) == 0) remaining.push_back(file);
    for (const std::u16string& folder : system.folders)
      if (folder.compare(0, prefix.size(), prefix) == 0) remaining.push_back(folder + u"\\");
    std::sort(remaining.begin(), remaining.end());
    EXPECT_EQ(remaining, c.remaining);
    EXPECT_EQ(system.folders.count(kPrograms), 1u);  // Programs itself always stays
    EXPECT_TRUE(report.Complete());
  }
}

TEST(RunRemoval, RecognisesItselfWhateverTheLetterCase) {
  FakeSystem system;
  Install(system);
  const RemovalReport report =
      RunRemoval(SampleList(), kInstallDir, u"c:\\PROGRAM FILES\\drawvane\\UNINST.EXE", system);
  EXPECT_TRUE(report.selfFolderPending);
  EXPECT_EQ(system.files.count(kInstallDir + u"Uninst.exe"), 1u);
}

TEST(RunRemoval, RunFromElsewhereRemovesTheUninstallerAndTheFolderToo) {
  FakeSystem system;
  Install(system);
  const RemovalReport report = RunRemoval(SampleList(), kInstallDir, u"C:\\Temp\\Uninst.exe", system);
  EXPECT_TRUE(report.selfPath.empty());
  EXPECT_FALSE(report.selfFolderPending);
  EXPECT_EQ(report.foldersRemoved, 3);
  EXPECT_EQ(system.folders.count(u"C:\\Program Files\\Drawvane"), 0u);
  EXPECT_TRUE(report.Complete());
}

TEST(RunRemoval, TheCompanyFolderGoesOnceTheLastProductInItHasGone) {
  const std::u16string company = u"C:\\Program Files\\Corvenna Soft";
  const std::u16string installDir = company + u"\\Drawvane\\";
  UninstallList list = SampleList();
  list.companyFolder = u"corvenna soft";  // compared as Windows compares names
  struct Case {
    const char* name;
    std::u16string runningExe;
    std::function<void(FakeSystem&)> change;
    std::u16string pending;  // for the self-removal helper
    bool removedNow;
    bool remains;
  };
  const Case cases[] = {
      // The uninstaller in the install folder keeps it until the helper runs,
      // so the helper removes the company folder after it.
      {"run from the install folder", installDir + u"Uninst.exe", [](FakeSystem&) {}, company, false, true},
      {"run from elsewhere", u"C:\\Temp\\Uninst.exe", [](FakeSystem&) {}, u"", true, false},
      {"another product stays in it", u"C:\\Temp\\Uninst.exe",
       [&](FakeSystem& s) { s.AddFile(company + u"\\Other\\Other.exe"); }, u"", false, true},
      {"the user's file keeps the install folder and so the company folder", u"C:\\Temp\\Uninst.exe",
       [&](FakeSystem& s) { s.AddFile(installDir + u"notes.txt"); }, u"", false, true},
      {"program files unknown", installDir + u"Uninst.exe", [](FakeSystem& s) { s.programFiles.clear(); }, u"",
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSystem system;
    for (const std::u16string& file : list.files) system.AddFile(installDir + file);
    c.change(system);
    const RemovalReport report = RunRemoval(list, installDir, c.runningExe, system);
    EXPECT_EQ(report.companyFolderPending, c.pending);
    EXPECT_EQ(report.companyFolderRemoved, c.removedNow);
    EXPECT_EQ(system.folders.count(company) > 0, c.remains);
    EXPECT_TRUE(report.Complete());
  }
}

TEST(CompanyFolderToRemove, OnlyTheListedParentDirectlyInProgramFiles) {
  UninstallList list;
  list.companyFolder = u"Corvenna Soft";
  struct Case {
    std::u16string installDir, programFiles, companyFolder, removed;
  };
  const Case cases[] = {
      {u"C:\\Program Files\\Corvenna Soft\\Drawvane\\", u"C:\\Program Files", u"Corvenna Soft",
       u"C:\\Program Files\\Corvenna Soft"},
      {u"c:\\program files\\CORVENNA SOFT\\Drawvane\\", u"C:\\Program Files\\", u"Corvenna Soft",
       u"c:\\program files\\CORVENNA SOFT"},
      {u"C:\\Program Files (x86)\\Corvenna Soft\\Drawvane\\", u"C:\\Program Files (x86)", u"Corvenna Soft",
       u"C:\\Program Files (x86)\\Corvenna Soft"},
      // A folder the user chose elsewhere, or one level deeper, stays.
      {u"D:\\Corvenna Soft\\Drawvane\\", u"C:\\Program Files", u"Corvenna Soft", u""},
      {u"C:\\Program Files\\Corvenna Soft\\Tools\\Drawvane\\", u"C:\\Program Files", u"Corvenna Soft", u""},
      {u"C:\\Program Files\\Drawvane\\", u"C:\\Program Files", u"Corvenna Soft", u""},
      {u"C:\\Program Files\\Other Soft\\Drawvane\\", u"C:\\Program Files", u"Corvenna Soft", u""},
      // Never a drive's root.
      {u"C:\\Drawvane\\", u"C:\\", u"Drawvane", u""},
      // No company folder listed (an old list, or a product without one).
      {u"C:\\Program Files\\Corvenna Soft\\Drawvane\\", u"C:\\Program Files", u"", u""},
      {u"C:\\Program Files\\Corvenna Soft\\Drawvane\\", u"", u"Corvenna Soft", u""},
  };
  for (const Case& c : cases) {
    list.companyFolder = c.companyFolder;
    EXPECT_EQ(CompanyFolderToRemove(list, c.installDir, c.programFiles), c.removed)
        << testing::PrintToString(c.installDir) << " " << testing::PrintToString(c.programFiles);
  }
}

TEST(RemovalReport, AFailedSelfRemovalLeavesTheUninstallerAndItsFolder) {
  RemovalReport report;
  report.selfPath = kInstallDir + u"Uninst.exe";
  report.selfFolderPending = true;
  report.SelfRemovalFailed();
  EXPECT_EQ(report.filesLeft, std::vector<std::u16string>({kInstallDir + u"Uninst.exe"}));
  EXPECT_EQ(report.foldersKept, std::vector<std::u16string>({u"C:\\Program Files\\Drawvane"}));
  EXPECT_EQ(report.ExitCode(), kUninstallPartial);
}

TEST(InstallTreeFolders, ListsEveryFolderOnceDeepestFirst) {
  EXPECT_EQ(InstallTreeFolders({u"a.exe", u"Lang\\zh.ini", u"Lang\\en\\x\\r.txt", u"lang\\EN\\s.txt", u"Doc\\d.txt"}),
            std::vector<std::u16string>({u"Lang\\en\\x", u"Lang\\en", u"Lang", u"Doc"}));
  EXPECT_TRUE(InstallTreeFolders({u"a.exe"}).empty());
}

TEST(WithoutTrailingBackslash, KeepsTheBackslashOfADriveRoot) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\Program Files\\Drawvane\\", u"C:\\Program Files\\Drawvane"},
      {u"C:\\Program Files\\Drawvane", u"C:\\Program Files\\Drawvane"},
      {u"C:\\", u"C:\\"},  // "C:" would be drive C's current folder
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(WithoutTrailingBackslash(c.first), c.second);
}

TEST(PathLiesIn, TellsWhetherACommandOrTargetIsInsideTheFolder) {
  struct Case {
    std::u16string path;
    bool inside;
  };
  const Case cases[] = {
      {u"\"C:\\Program Files\\Drawvane\\Uninst.exe\"", true},
      {u"\"C:\\Program Files\\Drawvane\\Uninst.exe\" /S", true},
      {u"C:\\Program Files\\Drawvane\\Uninst.exe", true},
      {u"c:\\program files\\DRAWVANE\\Lang\\x.exe", true},
      {u"C:\\Program Files\\Drawvane2\\Uninst.exe", false},
      {u"C:\\Program Files\\Drawvane\\", false},  // the folder itself, nothing in it
      {u"D:\\Drawvane\\Uninst.exe", false},
      {u"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(PathLiesIn(c.path, kInstallDir), c.inside) << testing::PrintToString(c.path);
}

TEST(FoundRunningTitle, LooksForTheClassWithEitherTitleLikeTheInstaller) {
  struct Case {
    std::u16string openClass, openTitle;  // the one window on the desktop
    std::u16string titleAlt;
    std::u16string found;
  };
  const Case cases[] = {
      {u"TfrmImageEditor", u"Drawvane", u"柯雯纳画图", u"Drawvane"},
      {u"TfrmImageEditor", u"柯雯纳画图", u"柯雯纳画图", u"柯雯纳画图"},
      {u"Notepad", u"Drawvane", u"柯雯纳画图", u""},  // right title, other class
      {u"TfrmImageEditor", u"Drawvane - a.png", u"柯雯纳画图", u""},
      {u"TfrmImageEditor", u"", u"", u""},  // a window with an empty title does not count
  };
  for (const Case& c : cases) {
    UninstallList list;
    list.windowClass = u"TfrmImageEditor";
    list.windowTitle = u"Drawvane";
    list.windowTitleAlt = c.titleAlt;
    EXPECT_EQ(FoundRunningTitle(list, [&](const std::u16string& windowClass, const std::u16string& title) {
                return windowClass == c.openClass && title == c.openTitle;
              }),
              c.found);
  }
}

}  // namespace
}  // namespace vo

namespace vo {
namespace {

UninstallList FilesList(std::vector<std::u16string> files) {
  UninstallList list;
  list.files = std::move(files);
  return list;
}

TEST(ObsoleteFiles, WhatTheEarlierListHasAndTheNewOneLacks) {
  struct Case {
    const char* name;
    std::vector<std::u16string> earlier, current, obsolete;
  };
  const Case cases[] = {
      {"dropped_file", {u"A.exe", u"Old.dll", u"Uninst.lst"}, {u"A.exe", u"Uninst.lst"}, {u"Old.dll"}},
      {"letter_case_is_the_same_file", {u"Lang\\ZH.ini"}, {u"lang\\zh.INI"}, {}},
      {"moved_to_a_folder", {u"help.chm"}, {u"Doc\\help.chm"}, {u"help.chm"}},
      {"nothing_earlier", {}, {u"A.exe"}, {}},
      {"everything_dropped", {u"A.exe", u"B\\c.txt"}, {}, {u"A.exe", u"B\\c.txt"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ObsoleteFiles(FilesList(c.earlier), FilesList(c.current)), c.obsolete) << c.name;
  }
}

TEST(ObsoleteFiles, RemovalKeepsTheNewFilesTheUsersAndTheirFolders) {
  FakeSystem system;
  const UninstallList earlier =
      FilesList({u"Drawvane.exe", u"Old.dll", u"Plugins\\old\\a.dll", u"Plugins\\b.dll", u"Lang\\x.ini",
                 u"Skins\\s.dat", u"Uninst.exe", u"Uninst.lst"});
  const UninstallList current = FilesList({u"Drawvane.exe", u"Plugins\\b.dll", u"Uninst.exe", u"Uninst.lst"});
  for (const std::u16string& file : earlier.files) system.AddFile(kInstallDir + file);
  system.AddFile(kInstallDir + u"Lang\\mine.ini");  // the user's own file
  system.AddFile(kInstallDir + u"Skins\\s.dat");
  system.locked.insert(kInstallDir + u"Skins\\s.dat");

  const ObsoleteRemovalReport report = RemoveObsoleteFiles(earlier, current, kInstallDir, system);
  EXPECT_EQ(report.filesRemoved,
            (std::vector<std::u16string>{kInstallDir + u"Old.dll", kInstallDir + u"Plugins\\old\\a.dll",
                                         kInstallDir + u"Lang\\x.ini"}));
  EXPECT_EQ(report.filesLeft, std::vector<std::u16string>{kInstallDir + u"Skins\\s.dat"});
  EXPECT_EQ(report.foldersRemoved, std::vector<std::u16string>{kInstallDir + u"Plugins\\old"});
  const std::set<std::u16string, FakeSystem::Less> files = {
      kInstallDir + u"Drawvane.exe", kInstallDir + u"Plugins\\b.dll", kInstallDir + u"Lang\\mine.ini",
      kInstallDir + u"Skins\\s.dat", kInstallDir + u"Uninst.exe", kInstallDir + u"Uninst.lst"};
  EXPECT_EQ(system.files, files);
  EXPECT_TRUE(system.folders.count(kInstallDir + u"Plugins"));
  EXPECT_TRUE(system.folders.count(kInstallDir + u"Lang"));
  EXPECT_TRUE(system.folders.count(kInstallDir.substr(0, kInstallDir.size() - 1)));
}

TEST(ObsoleteFiles, NothingIsDeletedThroughALink) {
  FakeSystem system;
  const UninstallList earlier = FilesList({u"Data\\old.dat", u"Uninst.lst"});
  system.AddFile(kInstallDir + u"Data\\old.dat");
  system.folderLinks.insert(kInstallDir + u"Data");
  const ObsoleteRemovalReport report = RemoveObsoleteFiles(earlier, FilesList({u"Uninst.lst"}), kInstallDir, system);
  EXPECT_EQ(report.filesBehindLinks, std::vector<std::u16string>{kInstallDir + u"Data\\old.dat"});
  EXPECT_TRUE(system.files.count(kInstallDir + u"Data\\old.dat") || system.linkedPlace.count(kInstallDir + u"Data\\old.dat"));
}

// After any chain of upgrades in one folder, the last list names everything
// still installed, so the uninstaller leaves nothing of the product.
TEST(ObsoleteFiles, AChainOfUpgradesLeavesNothingForTheUninstallerToMiss) {
  const std::vector<std::vector<std::u16string>> versions = {
      {u"Drawvane.exe", u"A.dll", u"Lang\\zh.ini", u"Uninst.exe", u"Uninst.lst"},
      {u"Drawvane.exe", u"B.dll", u"Lang\\en\\en.ini", u"Uninst.exe", u"Uninst.lst"},
      {u"Drawvane.exe", u"Plugins\\p.dll", u"Uninst.exe", u"Uninst.lst"},
  };
  FakeSystem system;
  UninstallList installed;
  for (const auto& files : versions) {
    const UninstallList next = FilesList(files);
    for (const std::u16string& file : files) system.AddFile(kInstallDir + file);
    RemoveObsoleteFiles(installed, next, kInstallDir, system);
    installed = next;
  }
  const RemovalReport report = RunRemoval(installed, kInstallDir, u"C:\\Temp\\Uninst.exe", system);
  EXPECT_TRUE(report.Complete());
  EXPECT_TRUE(system.files.empty());
  const std::u16string installFolder = kInstallDir.substr(0, kInstallDir.size() - 1);
  for (const std::u16string& folder : system.folders)
    EXPECT_NE(folder.compare(0, installFolder.size(), installFolder), 0);
}

}  // namespace
}  // namespace vo
