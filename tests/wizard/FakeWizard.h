#pragma once
// A window and a system for the wizard controller that only record what they
// are told, so the controller's decisions can be read back.

#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "wizard/WizardController.h"

namespace vo::testing {

class FakeView : public WizardView {
 public:
  bool pageVisible[5] = {false, true, false, false, false};  // index 1..4; designed: page 1 shown
  bool backVisible = true;
  bool cancelVisible = true;
  bool nextEnabled = true;
  bool buttonsEnabled = true;
  std::u16string nextCaption;
  std::u16string setupDirText;
  bool freeSizeVisible = true;  // designed state: shown
  std::u16string freeSizeText = u"(designed)";
  std::vector<std::u16string> folderNotices;
  bool runOnExit = true;
  bool desktopChecked = true;
  bool quickVisible = true;
  bool quickChecked = true;
  bool bannerOnPage4 = false;
  bool progressVisible = false;
  int progressPosition = -1;
  std::vector<std::u16string> messages;
  int pendingEventRuns = 0;
  bool closed = false;

  void SetPageVisible(int step, bool visible) override { pageVisible[step] = visible; }
  void SetBackVisible(bool visible) override { backVisible = visible; }
  void SetCancelVisible(bool visible) override { cancelVisible = visible; }
  void SetNextEnabled(bool enabled) override { nextEnabled = enabled; }
  void SetButtonsEnabled(bool enabled) override {
    buttonsEnabled = enabled;
    nextEnabled = enabled;
  }
  std::u16string NextCaption() const override { return nextCaption; }
  void SetNextCaption(const std::u16string& caption) override { nextCaption = caption; }
  std::u16string SetupDirText() const override { return setupDirText; }
  void SetSetupDirText(const std::u16string& text) override { setupDirText = text; }
  bool FreeSizeVisible() const override { return freeSizeVisible; }
  void SetFreeSizeVisible(bool visible) override { freeSizeVisible = visible; }
  void SetFreeSizeText(const std::u16string& text) override { freeSizeText = text; }
  void SetFolderNotice(const std::u16string& text) override { folderNotices.push_back(text); }
  bool RunOnExitChecked() const override { return runOnExit; }
  bool DesktopShortcutChecked() const override { return desktopChecked; }
  bool QuickLaunchVisible() const override { return quickVisible; }
  bool QuickLaunchChecked() const override { return quickChecked; }
  void MoveBannerToCompletionPage() override { bannerOnPage4 = true; }
  void SetProgressVisible(bool visible) override { progressVisible = visible; }
  void SetProgressPosition(int percent) override { progressPosition = percent; }
  void ShowPlainMessage(const std::u16string& text) override { messages.push_back(text); }
  void ProcessPendingEvents() override { ++pendingEventRuns; }
  void CloseWindow() override { closed = true; }

  int VisiblePage() const {
    int shown = 0;
    for (int step = 1; step <= 4; ++step) {
      if (pageVisible[step]) shown = shown ? -1 : step;  // -1: more than one
    }
    return shown;
  }
};

class FakeSystem : public WizardSystem {
 public:
  std::u16string fixedDrives = u"CD";
  std::map<std::u16string, std::u16string> shortcutDirs;  // location key -> folder
  std::vector<std::u16string> throwingKeys;                // lookups that raise
  std::vector<std::u16string> shortcutLookups;             // "name|key" in call order
  std::map<char16_t, int64_t> freeBytes;                   // by letter as passed
  std::vector<char16_t> freeBytesQueries;
  std::map<std::u16string, std::u16string> environment;
  std::vector<RegisteredInstallation> registered;  // what the registry look-up finds
  bool registryRaises = false;
  std::set<std::u16string> existingFiles;
  std::u16string browseResult;
  std::vector<std::u16string> browsePrompts;
  bool folderCreates = true;
  std::vector<std::u16string> createdFolders;
  std::vector<std::pair<std::u16string, std::u16string>> launched;

  std::u16string GetFixedDriveLetters() override { return fixedDrives; }
  std::u16string FindShortcutTargetDir(const std::u16string& productName, const std::u16string& key) override {
    shortcutLookups.push_back(productName + u"|" + key);
    for (const auto& k : throwingKeys) {
      if (k == key) throw std::runtime_error("Invalid data type for 'Desktop'");
    }
    auto it = shortcutDirs.find(key);
    return it == shortcutDirs.end() ? std::u16string() : it->second;
  }
  std::vector<RegisteredInstallation> FindRegisteredInstallations() override {
    if (registryRaises) throw std::runtime_error("Invalid data type for 'InstallLocation'");
    return registered;
  }
  bool FileExists(const std::u16string& path) override { return existingFiles.count(path) != 0; }
  int64_t GetDriveFreeBytes(char16_t letter) override {
    freeBytesQueries.push_back(letter);
    auto it = freeBytes.find(letter);
    return it == freeBytes.end() ? -1 : it->second;
  }
  std::u16string FormatByteSize(int64_t size) override {
    std::string digits = std::to_string(size);
    return std::u16string(digits.begin(), digits.end()) + u" B";
  }
  std::u16string EnvironmentValue(const std::u16string& name) override {
    auto it = environment.find(name);
    return it == environment.end() ? std::u16string() : it->second;
  }
  std::u16string BrowseForFolder(const std::u16string& prompt) override {
    browsePrompts.push_back(prompt);
    return browseResult;
  }
  bool ForceDirectories(const std::u16string& folder) override {
    createdFolders.push_back(folder);
    return folderCreates;
  }
  void RunProgram(const std::u16string& program, const std::u16string& parameters) override {
    launched.emplace_back(program, parameters);
  }
};

// An installation run that reports progress and gives a fixed answer; on
// failure it restores the buttons and hides the bar, as the real run does.
struct FakeRun {
  bool succeeds = true;
  std::vector<int> progressSteps = {12, 38, 100};
  std::vector<std::u16string> installDirs;

  InstallationRun Bind(FakeView& view) {
    return [this, &view](const std::u16string& installDir, const ProgressHandler& progress) {
      installDirs.push_back(installDir);
      view.SetButtonsEnabled(false);
      view.SetProgressVisible(true);
      for (int p : progressSteps) progress(p);
      if (!succeeds) {
        view.SetButtonsEnabled(true);
        view.SetProgressVisible(false);
      }
      return succeeds;
    };
  }
};

}  // namespace vo::testing
