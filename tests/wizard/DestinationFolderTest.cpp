#include <gtest/gtest.h>

#include <set>

#include "FakeWizard.h"
#include "app/Global.h"
#include "datatable/TextConvert.h"
#include "wizard/WizardController.h"

namespace vo::testing {
namespace {

const WizardTexts kTexts = MakeWizardTexts(kUiEnglish);

struct Wizard {
  FakeView view;
  FakeSystem system;
  WizardController controller{view, system, kTexts, u"Corvenna Drawvane", u"Drawvane", u"Corvenna Soft", nullptr};
};

TEST(DriveTest, ShowsFreeSpaceOnlyForAFixedDriveAndColonBackslash) {
  struct Case {
    const char16_t* text;
    bool shown;
    char16_t queried;  // letter passed to the drive query, 0 for none
  };
  const Case cases[] = {
      {u"C:\\Apps", true, u'C'},
      {u"c:\\Apps", true, u'c'},  // the query gets the letter as typed
      {u"D:\\", true, u'D'},
      {u"C:", false, 0},
      {u"C:/Apps", false, 0},
      {u"C", false, 0},
      {u"E:\\Apps", false, 0},  // not a fixed drive
      {u"\\\\server\\share", false, 0},
      {u"\\Corvenna Soft\\Drawvane", false, 0},
      {u"", false, 0},
      {u"1:\\", false, 0},
      {u"CC:\\", false, 0},
  };
  for (const Case& c : cases) {
    Wizard w;
    w.system.freeBytes = {{u'C', 5000}, {u'c', 5000}, {u'D', 77}};
    w.controller.ProposeDefaultFolder();  // takes the fixed drives
    w.system.freeBytesQueries.clear();
    w.view.setupDirText = c.text;
    w.controller.editSetupDirChange();
    EXPECT_EQ(w.view.freeSizeVisible, c.shown) << Utf16ToUtf8(c.text);
    if (c.queried) {
      ASSERT_EQ(w.system.freeBytesQueries, std::vector<char16_t>{c.queried});
      const int64_t bytes = w.system.freeBytes[c.queried];
      std::string digits = std::to_string(bytes);
      EXPECT_EQ(w.view.freeSizeText, u"Space available: " + std::u16string(digits.begin(), digits.end()) + u" B");
    } else {
      EXPECT_TRUE(w.system.freeBytesQueries.empty());
    }
  }
}

TEST(DriveTest, EveryChangeThatPassesUpdatesTheText) {
  Wizard w;
  w.system.freeBytes = {{u'C', 100}};
  w.controller.ProposeDefaultFolder();
  for (const char16_t* text : {u"C:\\", u"C:\\A", u"C:\\Ap"}) {
    w.view.setupDirText = text;
    w.system.freeBytes[u'C'] += 1;
    w.controller.editSetupDirChange();
  }
  EXPECT_EQ(w.system.freeBytesQueries.size(), 3u);
  EXPECT_EQ(w.view.freeSizeText, u"Space available: 103 B");
}

TEST(DriveTest, UnreadableDriveStillShowsTheLabel) {
  Wizard w;
  w.controller.ProposeDefaultFolder();
  w.view.setupDirText = u"D:\\Apps";  // D is fixed but the fake has no free space for it
  w.controller.editSetupDirChange();
  EXPECT_TRUE(w.view.freeSizeVisible);
  EXPECT_EQ(w.view.freeSizeText, u"Space available: -1 B");
}

TEST(DriveTest, NoFixedDrivesHidesEverything) {
  Wizard w;
  w.system.fixedDrives = u"";
  w.controller.ProposeDefaultFolder();
  w.view.setupDirText = u"C:\\Apps";
  w.controller.editSetupDirChange();
  EXPECT_FALSE(w.view.freeSizeVisible);
}

struct ProposalCase {
  const char* name;
  const char16_t* quickLaunch;  // nullptr: no shortcut
  const char16_t* desktop;
  bool quickLaunchRaises;
  const char16_t* programFiles;  // nullptr: not set
  const char16_t* proposed;
  bool freeSizeShown;
  std::vector<std::u16string> lookups;
  FolderProposalOrigin origin;  // what the wizard tells the log
};

const ProposalCase kProposals[] = {
    {"quick_launch_wins", u"C:\\Tools\\Drawvane\\", u"D:\\Other\\", false, u"C:\\Program Files",
     u"C:\\Tools\\Drawvane", true, {u"Corvenna Drawvane|QuickLaunch"}, FolderProposalOrigin::QuickLaunchShortcut},
    {"desktop_second", nullptr, u"D:\\Other\\", false, u"C:\\Program Files", u"D:\\Other", true,
     {u"Corvenna Drawvane|QuickLaunch", u"Corvenna Drawvane|Desktop"}, FolderProposalOrigin::DesktopShortcut},
    {"program_files_last", nullptr, nullptr, false, u"C:\\Program Files",
     u"C:\\Program Files\\Corvenna Soft\\Drawvane", true,
     {u"Corvenna Drawvane|QuickLaunch", u"Corvenna Drawvane|Desktop"}, FolderProposalOrigin::ProgramFiles},
    {"no_program_files", nullptr, nullptr, false, nullptr, u"\\Corvenna Soft\\Drawvane", false,
     {u"Corvenna Drawvane|QuickLaunch", u"Corvenna Drawvane|Desktop"}, FolderProposalOrigin::ProgramFiles},
    {"shortcut_in_drive_root", u"C:\\", nullptr, false, u"C:\\Program Files", u"C:", false,
     {u"Corvenna Drawvane|QuickLaunch"}, FolderProposalOrigin::QuickLaunchShortcut},
    {"unreadable_quick_launch_falls_back", nullptr, u"D:\\Other\\", true, u"C:\\Program Files", u"D:\\Other",
     true, {u"Corvenna Drawvane|QuickLaunch", u"Corvenna Drawvane|Desktop"}, FolderProposalOrigin::DesktopShortcut},
};

class Proposal : public ::testing::TestWithParam<ProposalCase> {};

TEST_P(Proposal, FillsTheFolderAndTheLabel) {
  const ProposalCase& c = GetParam();
  Wizard w;
  if (c.quickLaunch) w.system.shortcutDirs[u"QuickLaunch"] = c.quickLaunch;
  if (c.desktop) w.system.shortcutDirs[u"Desktop"] = c.desktop;
  if (c.quickLaunchRaises) w.system.throwingKeys = {u"QuickLaunch"};
  if (c.programFiles) w.system.environment[u"PROGRAMFILES"] = c.programFiles;
  w.system.freeBytes = {{u'C', 1}, {u'D', 2}};
  w.controller.ProposeDefaultFolder();
  EXPECT_EQ(w.controller.FixedDriveLetters(), u"CD");
  EXPECT_EQ(w.view.setupDirText, std::u16string(c.proposed));
  EXPECT_EQ(w.view.freeSizeVisible, c.freeSizeShown);
  EXPECT_EQ(w.system.shortcutLookups, c.lookups);
  ASSERT_TRUE(w.controller.Proposal().has_value());
  EXPECT_EQ(w.controller.Proposal()->origin, c.origin);
  EXPECT_EQ(w.controller.Proposal()->folder, std::u16string(c.proposed));
}

INSTANTIATE_TEST_SUITE_P(DefaultFolder, Proposal, ::testing::ValuesIn(kProposals),
                         [](const ::testing::TestParamInfo<ProposalCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(DefaultFolder, ProposalTellsWhereItCameFrom) {
  // The silent installation proposes through the same function and logs this.
  struct Case {
    const char16_t* quickLaunch;
    const char16_t* desktop;
    FolderProposalOrigin origin;
    const char16_t* folder;
  };
  const Case cases[] = {
      {u"C:\\Tools\\", u"D:\\Other\\", FolderProposalOrigin::QuickLaunchShortcut, u"C:\\Tools"},
      {nullptr, u"D:\\Other\\", FolderProposalOrigin::DesktopShortcut, u"D:\\Other"},
      {nullptr, nullptr, FolderProposalOrigin::ProgramFiles, u"C:\\Program Files\\Acme\\Drawvane"},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    system.environment[u"PROGRAMFILES"] = u"C:\\Program Files";
    if (c.quickLaunch) system.shortcutDirs[u"QuickLaunch"] = c.quickLaunch;
    if (c.desktop) system.shortcutDirs[u"Desktop"] = c.desktop;
    const FolderProposal proposal = ProposeInstallFolder(system, u"Corvenna Drawvane", u"Drawvane", u"Acme");
    EXPECT_EQ(proposal.origin, c.origin);
    EXPECT_EQ(proposal.folder, std::u16string(c.folder));
  }
}

// The uninstall entry comes before the shortcuts, and only an entry whose
// folder still holds the product counts.
TEST(DefaultFolder, UninstallEntryComesFirstWhenItsFolderHoldsTheProduct) {
  struct Case {
    const char* name;
    std::vector<RegisteredInstallation> entries;
    std::set<std::u16string> files;
    bool registryRaises;
    FolderProposalOrigin origin;
    const char16_t* folder;
    const char16_t* version;
  };
  const std::u16string ql = u"C:\\Tools\\";
  const Case cases[] = {
      {"entry_beats_shortcuts", {{u"E:\\Apps\\Drawvane", u"3.1", u"HKLM"}}, {u"E:\\Apps\\Drawvane\\Uninst.exe"},
       false, FolderProposalOrigin::UninstallEntry, u"E:\\Apps\\Drawvane", u"3.1"},
      {"product_exe_is_enough", {{u"E:\\Apps\\Drawvane\\", u"3.1", u"HKLM"}}, {u"E:\\Apps\\Drawvane\\Drawvane.exe"},
       false, FolderProposalOrigin::UninstallEntry, u"E:\\Apps\\Drawvane", u"3.1"},
      {"removed_product_proposes_nothing", {{u"E:\\Apps\\Drawvane", u"3.1", u"HKLM"}}, {}, false,
       FolderProposalOrigin::QuickLaunchShortcut, u"C:\\Tools", u""},
      {"first_accepted_entry_wins",
       {{u"E:\\Gone", u"3.0", u"HKLM 64"}, {u"F:\\Kept", u"3.1", u"HKLM 32"}, {u"G:\\Too", u"3.2", u"HKCU"}},
       {u"F:\\Kept\\Uninst.exe", u"G:\\Too\\Uninst.exe"}, false, FolderProposalOrigin::UninstallEntry, u"F:\\Kept",
       u"3.1"},
      {"relative_location_refused", {{u"Apps\\Drawvane", u"3.1", u"HKLM"}}, {u"Apps\\Drawvane\\Uninst.exe"}, false,
       FolderProposalOrigin::QuickLaunchShortcut, u"C:\\Tools", u""},
      {"rooted_without_drive_refused", {{u"\\Apps", u"3.1", u"HKLM"}}, {u"\\Apps\\Uninst.exe"}, false,
       FolderProposalOrigin::QuickLaunchShortcut, u"C:\\Tools", u""},
      {"share_accepted", {{u"\\\\srv\\share\\Drawvane", u"3.1", u"HKCU"}}, {u"\\\\srv\\share\\Drawvane\\Uninst.exe"},
       false, FolderProposalOrigin::UninstallEntry, u"\\\\srv\\share\\Drawvane", u"3.1"},
      {"drive_root", {{u"D:\\", u"1", u"HKLM"}}, {u"D:\\Uninst.exe"}, false, FolderProposalOrigin::UninstallEntry,
       u"D:", u"1"},
      {"unreadable_registry_falls_back", {{u"E:\\Apps", u"3.1", u"HKLM"}}, {u"E:\\Apps\\Uninst.exe"}, true,
       FolderProposalOrigin::QuickLaunchShortcut, u"C:\\Tools", u""},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    system.shortcutDirs[u"QuickLaunch"] = ql;
    system.registered = c.entries;
    system.existingFiles = c.files;
    system.registryRaises = c.registryRaises;
    const FolderProposal proposal = ProposeInstallFolder(system, u"Corvenna Drawvane", u"Drawvane", u"Acme");
    EXPECT_EQ(proposal.origin, c.origin) << c.name;
    EXPECT_EQ(proposal.folder, std::u16string(c.folder)) << c.name;
    EXPECT_EQ(proposal.installedVersion, std::u16string(c.version)) << c.name;
    // The shortcuts are not looked at once an entry was accepted.
    EXPECT_EQ(system.shortcutLookups.empty(), c.origin == FolderProposalOrigin::UninstallEntry) << c.name;
  }
}

TEST(DefaultFolder, VersionsCompareNumericallyPartByPart) {
  struct Case {
    const char16_t* installed;
    const char16_t* ours;
    VersionRelation relation;
  };
  const Case cases[] = {
      {u"3.1", u"3.2", VersionRelation::Older},
      {u"3.9", u"3.10", VersionRelation::Older},  // not compared as text
      {u"3.10", u"3.9", VersionRelation::Newer},
      {u"3.2", u"3.2", VersionRelation::Same},
      {u"3.2", u"3.2.0", VersionRelation::Same},  // a missing part is 0
      {u"3.2.1", u"3.2", VersionRelation::Newer},
      {u"03.2", u"3.2", VersionRelation::Same},
      {u"2", u"10", VersionRelation::Older},
      {u"3.1 beta", u"3.2", VersionRelation::Other},
      {u"3.2", u"v3.2", VersionRelation::Other},
      {u"", u"3.2", VersionRelation::Other},
      {u"3..2", u"3.2", VersionRelation::Other},
      {u"3.2.", u"3.2", VersionRelation::Other},
      {u".3", u"3.2", VersionRelation::Other},
      {u"99999999999999999999999", u"3.2", VersionRelation::Other},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareVersions(c.installed, c.ours), c.relation) << Utf16ToUtf8(c.installed) << " vs "
                                                                << Utf16ToUtf8(c.ours);
  }
}

TEST(DefaultFolder, EntryProposalShowsTheInstalledVersion) {
  Wizard w;
  w.controller.SetProductVersion(u"3.2");
  w.system.registered = {{u"E:\\Apps\\Drawvane", u"3.1", u"HKLM"}};
  w.system.existingFiles = {u"E:\\Apps\\Drawvane\\Uninst.exe"};
  w.controller.ProposeDefaultFolder();
  EXPECT_EQ(w.view.setupDirText, u"E:\\Apps\\Drawvane");
  EXPECT_EQ(w.view.folderNotices,
            std::vector<std::u16string>{u"Version 3.1 is installed in this folder and will be updated to 3.2."});
  EXPECT_EQ(w.controller.Proposal()->origin, FolderProposalOrigin::UninstallEntry);

  // Nothing installed, or a folder from the command line: no notice.
  for (const char16_t* preset : {u"", u"D:\\Else"}) {
    Wizard plain;
    plain.controller.ProposeDefaultFolder(preset);
    EXPECT_TRUE(plain.view.folderNotices.empty());
  }
}

TEST(DefaultFolder, AFolderFromTheCommandLineTakesThePlaceOfTheProposal) {
  struct Case {
    const char16_t* preset;
    bool freeSizeShown;  // the drive test applies to it as to any text
  };
  const Case cases[] = {
      {u"D:\\Some Folder\\With Spaces", true},
      {u"\\\\server\\share\\Drawvane", false},
  };
  for (const Case& c : cases) {
    Wizard w;
    w.system.shortcutDirs[u"QuickLaunch"] = u"C:\\Tools\\";
    w.controller.ProposeDefaultFolder(c.preset);
    EXPECT_EQ(w.view.setupDirText, std::u16string(c.preset));
    EXPECT_EQ(w.view.freeSizeVisible, c.freeSizeShown);
    EXPECT_TRUE(w.system.shortcutLookups.empty());
    EXPECT_FALSE(w.controller.Proposal().has_value());
    EXPECT_EQ(w.controller.FixedDriveLetters(), u"CD");
  }
}

TEST(DefaultFolder, SameTextAsDesignedIsNoChange) {
  Wizard w;
  w.system.environment[u"PROGRAMFILES"] = u"C:\\Program Files";
  w.view.setupDirText = u"C:\\Program Files\\Corvenna Soft\\Drawvane";
  w.controller.ProposeDefaultFolder();
  EXPECT_TRUE(w.system.freeBytesQueries.empty());
  EXPECT_EQ(w.view.freeSizeText, u"(designed)");
}

TEST(Browse, CancelledChangesNothing) {
  Wizard w;
  w.controller.ProposeDefaultFolder();
  w.view.setupDirText = u"C:";
  w.controller.editSetupDirChange();
  w.system.browseResult = u"";
  w.controller.btnBrowseClick();
  EXPECT_EQ(w.system.browsePrompts, std::vector<std::u16string>{u"Select or create a new folder:"});
  EXPECT_EQ(w.view.setupDirText, u"C:");
  EXPECT_FALSE(w.view.freeSizeVisible);
}

TEST(Browse, PickedFolderEnablesInstallEvenOffTheFixedDrives) {
  struct Case {
    const char16_t* picked;
    int queries;  // the change handler's query (if its test passes) and Browse's own
  };
  const Case cases[] = {
      {u"E:\\Removable", 1},
      {u"C:\\Apps", 2},
      {u"C:\\Program Files\\Corvenna Soft\\Drawvane", 1},  // same text: no change event
  };
  for (const Case& c : cases) {
    Wizard w;
    w.system.environment[u"PROGRAMFILES"] = u"C:\\Program Files";
    w.system.freeBytes = {{u'C', 1}, {u'E', 64}};
    w.controller.ProposeDefaultFolder();
    w.system.freeBytesQueries.clear();
    w.view.freeSizeVisible = false;
    w.system.browseResult = c.picked;
    w.controller.btnBrowseClick();
    EXPECT_EQ(w.view.setupDirText, std::u16string(c.picked));
    EXPECT_TRUE(w.view.freeSizeVisible);
    EXPECT_EQ(static_cast<int>(w.system.freeBytesQueries.size()), c.queries);
    w.controller.RefreshView();
  }
}

TEST(Browse, NextEditAppliesTheDriveTestAgain) {
  Wizard w;
  w.controller.ProposeDefaultFolder();
  w.system.browseResult = u"E:\\Removable";
  w.controller.btnBrowseClick();
  EXPECT_TRUE(w.view.freeSizeVisible);
  w.view.setupDirText = u"E:\\Removable\\X";
  w.controller.editSetupDirChange();
  EXPECT_FALSE(w.view.freeSizeVisible);
}

}  // namespace
}  // namespace vo::testing
