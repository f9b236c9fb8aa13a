#include <gtest/gtest.h>

#include "FakeWizard.h"
#include "app/Global.h"
#include "wizard/WizardController.h"

namespace vo::testing {
namespace {

enum class Event { Next, Back, Cancel, FreeSizeHidden, FreeSizeShown };

struct Setup {
  bool folderCreates = true;
  bool runSucceeds = true;
  bool runOnExit = true;
};

struct Expect {
  int step;
  const char16_t* caption;
  bool back;
  bool cancel;
  bool nextEnabled;
  bool closed = false;
  bool bannerOnPage4 = false;
  const char16_t* message = nullptr;  // plain message shown, if any
  int runs = 0;                       // installation runs started
  bool launched = false;
};

struct Row {
  const char* name;
  std::vector<Event> events;
  Setup setup;
  Expect expect;
};

const WizardTexts kTexts = MakeWizardTexts(kUiEnglish);

// One row per line of the wizard's state table, plus the paths that return
// from a failed installation.
const Row kRows[] = {
    {"start", {}, {}, {1, u"&Next >", false, true, true}},
    {"next_from_1", {Event::Next}, {}, {2, u"I &Agree", true, true, true}},
    {"agree_from_2", {Event::Next, Event::Next}, {}, {3, u"&Install", true, true, true}},
    {"back_from_2", {Event::Next, Event::Back}, {}, {1, u"&Next >", false, true, true}},
    {"back_from_3", {Event::Next, Event::Next, Event::Back}, {}, {2, u"I &Agree", true, true, true}},
    {"install_disabled_without_free_space",
     {Event::Next, Event::Next, Event::FreeSizeHidden},
     {},
     {3, u"&Install", true, true, false}},
    {"install_enabled_again_with_free_space",
     {Event::Next, Event::Next, Event::FreeSizeHidden, Event::FreeSizeShown},
     {},
     {3, u"&Install", true, true, true}},
    {"install_folder_fails",
     {Event::Next, Event::Next, Event::Next},
     {false, true, true},
     {3, u"&Install", true, true, true, false, false,
      u"Destination folder can't be created, need to select another folder.", 0}},
    {"install_extraction_fails",
     {Event::Next, Event::Next, Event::Next},
     {true, false, true},
     {3, u"&Install", true, true, true, false, false, nullptr, 1}},
    {"install_fails_then_back_and_forward",
     {Event::Next, Event::Next, Event::Next, Event::Back, Event::Next},
     {true, false, true},
     {3, u"&Install", true, true, true, false, false, nullptr, 1}},
    {"install_fails_twice",
     {Event::Next, Event::Next, Event::Next, Event::Next},
     {true, false, true},
     {3, u"&Install", true, true, true, false, false, nullptr, 2}},
    {"install_succeeds",
     {Event::Next, Event::Next, Event::Next},
     {},
     {4, u"&Finish", false, false, true, false, true, nullptr, 1}},
    {"finish_launches",
     {Event::Next, Event::Next, Event::Next, Event::Next},
     {true, true, true},
     {4, u"&Finish", false, false, true, true, true, nullptr, 1, true}},
    {"finish_without_launch",
     {Event::Next, Event::Next, Event::Next, Event::Next},
     {true, true, false},
     {4, u"&Finish", false, false, true, true, true, nullptr, 1, false}},
    {"cancel_on_1", {Event::Cancel}, {}, {1, u"&Next >", false, true, true, true}},
    {"cancel_on_2", {Event::Next, Event::Cancel}, {}, {2, u"I &Agree", true, true, true, true}},
    {"cancel_on_3", {Event::Next, Event::Next, Event::Cancel}, {}, {3, u"&Install", true, true, true, true}},
};

class StateTable : public ::testing::TestWithParam<Row> {};

TEST_P(StateTable, StepCaptionAndButtons) {
  const Row& row = GetParam();
  FakeView view;
  FakeSystem system;
  FakeRun run;
  system.folderCreates = row.setup.folderCreates;
  run.succeeds = row.setup.runSucceeds;
  view.runOnExit = row.setup.runOnExit;
  view.setupDirText = u"C:\\Apps\\Drawvane";
  WizardController wizard(view, system, kTexts, u"Corvenna Drawvane", u"Drawvane", u"Corvenna Soft", run.Bind(view));
  wizard.Start();
  wizard.ApplicationEvents1Idle();
  for (Event e : row.events) {
    switch (e) {
      case Event::Next: wizard.btnNextClick(); break;
      case Event::Back: wizard.btnPrevClick(); break;
      case Event::Cancel: wizard.btnCloseClick(); break;
      case Event::FreeSizeHidden: view.freeSizeVisible = false; break;
      case Event::FreeSizeShown: view.freeSizeVisible = true; break;
    }
    wizard.ApplicationEvents1Idle();  // the queue empties after each event
  }

  const Expect& x = row.expect;
  EXPECT_EQ(wizard.WizardStep(), x.step);
  EXPECT_EQ(view.VisiblePage(), x.step);
  EXPECT_EQ(view.nextCaption, std::u16string(x.caption));
  EXPECT_EQ(view.backVisible, x.back);
  EXPECT_EQ(view.cancelVisible, x.cancel);
  EXPECT_EQ(view.nextEnabled, x.nextEnabled);
  EXPECT_EQ(view.closed, x.closed);
  EXPECT_EQ(view.bannerOnPage4, x.bannerOnPage4);
  EXPECT_FALSE(view.progressVisible);
  EXPECT_EQ(static_cast<int>(run.installDirs.size()), x.runs);
  if (x.message) {
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], std::u16string(x.message));
  } else {
    EXPECT_TRUE(view.messages.empty());
  }
  if (x.runs > 0) {
    EXPECT_EQ(run.installDirs.back(), u"C:\\Apps\\Drawvane\\");
    EXPECT_EQ(view.progressPosition, 100);  // the progress handler sets the bar
  }
  if (x.launched) {
    ASSERT_EQ(system.launched.size(), 1u);
    EXPECT_EQ(system.launched[0].first, u"C:\\Apps\\Drawvane\\Drawvane.exe");
    EXPECT_EQ(system.launched[0].second, u"");
  } else {
    EXPECT_TRUE(system.launched.empty());
  }
  // A failed installation gives every button back; after a success they stay
  // disabled, and only Next (shown on step 4) is enabled by the refresh.
  if (x.step == 3) {
    EXPECT_TRUE(view.buttonsEnabled);
  }
  if (x.step == 4) {
    EXPECT_FALSE(view.buttonsEnabled);
  }
}

INSTANTIATE_TEST_SUITE_P(Wizard, StateTable, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// How a run ends, for the exit code, and the package check Install makes
// before it touches the disk.
TEST(WizardController, OutcomeAndPackageCheck) {
  enum Check { kNoCheck, kIntact, kDamaged };
  struct Case {
    const char* name;
    std::vector<Event> events;
    Check check;
    bool folderCreates;
    std::vector<bool> runResults;  // one per installation run
    WizardOutcome outcome;
    int checks;          // times the check was asked
    int folderAttempts;  // ForceDirectories calls
    bool closed;
    const char16_t* message;
  };
  const Event N = Event::Next, B = Event::Back, C = Event::Cancel;
  const Case cases[] = {
      {"cancelled at once", {C}, kIntact, true, {}, WizardOutcome::Cancelled, 0, 0, true, nullptr},
      {"cancelled on the destination page", {N, N, C}, kIntact, true, {}, WizardOutcome::Cancelled, 0, 0, true, nullptr},
      {"installed and finished", {N, N, N, N}, kIntact, true, {true}, WizardOutcome::Installed, 1, 1, true, nullptr},
      {"installed without a digest to check", {N, N, N}, kNoCheck, true, {true}, WizardOutcome::Installed, 0, 1, false,
       nullptr},
      {"extraction failed, then closed", {N, N, N, C}, kIntact, true, {false}, WizardOutcome::ExtractionFailed, 1, 1,
       true, nullptr},
      {"extraction failed, back and forth, closed", {N, N, N, B, N, C}, kIntact, true, {false},
       WizardOutcome::ExtractionFailed, 1, 1, true, nullptr},
      {"extraction failed, then succeeded", {N, N, N, N}, kIntact, true, {false, true}, WizardOutcome::Installed, 2, 2,
       false, nullptr},
      {"folder cannot be made, then cancelled", {N, N, N, C}, kIntact, false, {}, WizardOutcome::Cancelled, 1, 1, true,
       u"Destination folder can't be created, need to select another folder."},
      // Damaged: one message, the wizard closes, and not even the folder is made.
      {"damaged package", {N, N, N}, kDamaged, true, {}, WizardOutcome::Damaged, 1, 0, true,
       u"The installer is damaged. Please download it again."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeView view;
    FakeSystem system;
    system.folderCreates = c.folderCreates;
    view.setupDirText = u"C:\\Apps\\Drawvane";
    view.runOnExit = false;
    size_t runs = 0;
    WizardController wizard(view, system, kTexts, u"P", u"Drawvane", u"Corvenna Soft",
                            [&](const std::u16string&, const ProgressHandler&) {
                              const bool ok = runs < c.runResults.size() && c.runResults[runs];
                              ++runs;
                              return ok;
                            });
    int checks = 0;
    if (c.check != kNoCheck) {
      wizard.SetPackageCheck([&] {
        // Each Install asks before it makes the folder.
        EXPECT_EQ(int(system.createdFolders.size()), checks) << "the folder was made before the check";
        ++checks;
        return c.check == kIntact;
      });
    }
    wizard.Start();
    for (Event e : c.events) {
      if (view.closed) break;
      switch (e) {
        case Event::Next: wizard.btnNextClick(); break;
        case Event::Back: wizard.btnPrevClick(); break;
        case Event::Cancel: wizard.btnCloseClick(); break;
        default: break;
      }
      wizard.ApplicationEvents1Idle();
    }
    EXPECT_EQ(wizard.Outcome(), c.outcome);
    EXPECT_EQ(checks, c.checks);
    EXPECT_EQ(int(system.createdFolders.size()), c.folderAttempts);
    EXPECT_EQ(view.closed, c.closed);
    if (c.message) {
      EXPECT_EQ(view.messages, std::vector<std::u16string>{c.message});
    } else {
      EXPECT_TRUE(view.messages.empty());
    }
  }
}

TEST(WizardController, NextOnlyGatedByFreeSpaceOnStep3) {
  for (int step = 1; step <= 4; ++step) {
    for (bool freeSize : {false, true}) {
      FakeView view;
      FakeSystem system;
      FakeRun run;
      view.setupDirText = u"C:\\Apps";
      WizardController wizard(view, system, kTexts, u"P", u"P", u"Corvenna Soft", run.Bind(view));
      wizard.Start();
      while (wizard.WizardStep() < step) wizard.btnNextClick();
      view.freeSizeVisible = freeSize;
      wizard.RefreshView();
      EXPECT_EQ(view.nextEnabled, step != 3 || freeSize) << "step " << step << " label " << freeSize;
    }
  }
}

TEST(WizardController, CaptionNotStepSelectsTheAction) {
  // A caption that differs from Install only in letter case is not Install.
  struct Case {
    const char16_t* caption;
    int stepAfter;
    bool closed;
    int runs;
  };
  const Case cases[] = {
      {u"&Finish", 3, true, 0},
      {u"&Install", 3, false, 1},
      {u"&install", 4, false, 0},
      {u"Install", 4, false, 0},
  };
  for (const Case& c : cases) {
    FakeView view;
    FakeSystem system;
    FakeRun run;
    run.succeeds = false;
    view.runOnExit = false;
    view.setupDirText = u"C:\\Apps";
    WizardController wizard(view, system, kTexts, u"P", u"P", u"Corvenna Soft", run.Bind(view));
    wizard.Start();
    wizard.btnNextClick();
    wizard.btnNextClick();
    view.nextCaption = c.caption;
    wizard.btnNextClick();
    EXPECT_EQ(wizard.WizardStep(), c.stepAfter);
    EXPECT_EQ(view.closed, c.closed);
    EXPECT_EQ(static_cast<int>(run.installDirs.size()), c.runs);
  }
}

TEST(WizardController, ChineseCaptionsFollowTheSteps) {
  FakeView view;
  FakeSystem system;
  FakeRun run;
  view.setupDirText = u"C:\\应用";
  WizardController wizard(view, system, MakeWizardTexts(kUiChinese), u"柯雯纳画图", u"Drawvane", u"Corvenna Soft", run.Bind(view));
  wizard.Start();
  const std::u16string expected[] = {u"下一步", u"我同意", u"安 装", u"完 成"};
  for (const auto& caption : expected) {
    EXPECT_EQ(view.nextCaption, caption);
    wizard.btnNextClick();
  }
  EXPECT_TRUE(view.closed);
  ASSERT_EQ(system.launched.size(), 1u);
  EXPECT_EQ(system.launched[0].first, u"C:\\应用\\Drawvane.exe");
}

TEST(WizardController, StartResetsCaptionAndProgress) {
  FakeView view;
  FakeSystem system;
  WizardController wizard(view, system, kTexts, u"P", u"P", u"Corvenna Soft", nullptr);
  view.nextCaption = u"Button1";
  wizard.Start();
  EXPECT_EQ(wizard.WizardStep(), 1);
  EXPECT_EQ(view.nextCaption, u"&Next >");
  EXPECT_EQ(view.progressPosition, 0);
}

TEST(WizardController, InstallNormalisesTheFolderText) {
  struct Case {
    const char16_t* typed;
    const char16_t* installDir;
  };
  const Case cases[] = {
      {u"C:\\Apps", u"C:\\Apps\\"},
      {u"C:\\Apps\\", u"C:\\Apps\\"},
      {u"   C:\\Apps", u"C:\\Apps\\"},
      {u"C:\\Apps  ", u"C:\\Apps  \\"},      // the backslash goes on before trimming
      {u"C:\\Apps\\  ", u"C:\\Apps\\  \\"},  // ends in spaces, not in a backslash
      {u"\tC:\\Apps\\\n", u"C:\\Apps\\\n\\"},
      {u"", u"\\"},
  };
  for (const Case& c : cases) {
    FakeView view;
    FakeSystem system;
    FakeRun run;
    view.setupDirText = c.typed;
    WizardController wizard(view, system, kTexts, u"P", u"P", u"Corvenna Soft", run.Bind(view));
    wizard.Start();
    wizard.btnNextClick();
    wizard.btnNextClick();
    wizard.btnNextClick();
    EXPECT_EQ(wizard.InstallDir(), std::u16string(c.installDir));
    ASSERT_EQ(system.createdFolders.size(), 1u);
    EXPECT_EQ(system.createdFolders[0], std::u16string(c.installDir));
    EXPECT_EQ(WizardController::NormalizeInstallDir(c.typed), std::u16string(c.installDir));
  }
}

TEST(WizardController, FolderCreationFailureChangesNothingElse) {
  FakeView view;
  FakeSystem system;
  FakeRun run;
  system.folderCreates = false;
  view.setupDirText = u"Q:\\Nowhere";
  WizardController wizard(view, system, MakeWizardTexts(kUiChinese), u"P", u"P", u"Corvenna Soft", run.Bind(view));
  wizard.Start();
  wizard.btnNextClick();
  wizard.btnNextClick();
  wizard.btnNextClick();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0], u"无法创建目标文件夹，请重新指定文件夹路径。");
  EXPECT_TRUE(run.installDirs.empty());
  EXPECT_TRUE(view.buttonsEnabled);
  EXPECT_FALSE(view.progressVisible);
  EXPECT_EQ(view.nextCaption, u"安 装");
  EXPECT_EQ(wizard.WizardStep(), 3);
}

TEST(WizardController, ProgressHandlerSetsTheBar) {
  FakeView view;
  FakeSystem system;
  std::vector<int> seen;
  InstallationRun run = [&](const std::u16string&, const ProgressHandler& progress) {
    for (int p : {0, 12, 38, 100}) {
      progress(p);
      seen.push_back(view.progressPosition);
    }
    return true;
  };
  view.setupDirText = u"C:\\A";
  WizardController wizard(view, system, kTexts, u"P", u"P", u"Corvenna Soft", run);
  wizard.Start();
  for (int i = 0; i < 3; ++i) wizard.btnNextClick();
  EXPECT_EQ(seen, (std::vector<int>{0, 12, 38, 100}));
  EXPECT_EQ(wizard.WizardStep(), 4);
}

}  // namespace
}  // namespace vo::testing
