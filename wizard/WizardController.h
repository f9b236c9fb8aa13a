#pragma once
// The wizard's step controller, kept apart from the window toolkit.
//
// The state is one number, WizardStep (1 welcome, 2 licence, 3 destination,
// 4 completion), plus InstallDir once Install was clicked. Handlers change
// the step; everything visible follows from it: RefreshView, run whenever the
// event queue has emptied, shows the page of the step, Back on steps 2 and 3,
// Cancel before step 4, and enables Next except on step 3 while the
// free-space label is hidden. btnNext's caption always names the step's
// action (UpdateNextCaption), and btnNextClick acts on that caption: Finish
// closes (launching the product if asked), Install hands over to the
// installation run, anything else advances.
//
// The destination page is here too: the default-folder proposal, the drive
// test that shows or hides the free-space label, and Browse.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "wizard/DestinationFolder.h"
#include "wizard/WizardTexts.h"
#include "wizard/WizardView.h"

namespace vo {

// The system around the wizard: shell helpers, the file system and the
// program launcher, faked in tests. The shortcut look-up and the environment
// come from FolderProposalSource.
class WizardSystem : public FolderProposalSource {
 public:
  // Upper-case letters of the fixed drives, in order ("CD").
  virtual std::u16string GetFixedDriveLetters() = 0;
  // Free bytes of the drive named by letter, or -1.
  virtual int64_t GetDriveFreeBytes(char16_t letter) = 0;
  virtual std::u16string FormatByteSize(int64_t size) = 0;
  // The system folder picker with prompt as its title; the chosen
  // file-system folder, or empty when cancelled.
  virtual std::u16string BrowseForFolder(const std::u16string& prompt) = 0;
  // True when folder is an existing directory or could be created with every
  // missing parent.
  virtual bool ForceDirectories(const std::u16string& folder) = 0;
  // Starts program with parameters (none when empty); the result is not needed.
  virtual void RunProgram(const std::u16string& program, const std::u16string& parameters) = 0;
};

// The installation run behind Install: writes and extracts the package into
// installDir (ending in a backslash), reporting progress, then makes the
// shortcuts and the uninstall entry. Returns false when the extraction stage
// failed, after it has told the user, enabled the buttons again and hidden
// the progress bar. Raises nothing.
using InstallationRun = std::function<bool(const std::u16string& installDir, const ProgressHandler& progress)>;

// Asked at Install, before the destination folder is made: false when the
// installer must not install because its package is damaged. It may wait for
// a check that runs in the background.
using PackageCheck = std::function<bool()>;

// How a wizard run ended, for the exit code.
enum class WizardOutcome {
  Cancelled,         // closed before an installation succeeded
  Installed,         // the installation succeeded
  ExtractionFailed,  // closed after the last Install failed in the extraction stage
  Damaged,           // Install found the package damaged and closed the wizard
};

class WizardController {
 public:
  // companyFolder is the folder under Program Files that the default
  // destination goes into, empty for none.
  WizardController(WizardView& view, WizardSystem& system, WizardTexts texts, std::u16string productName,
                   std::u16string exeBaseName, std::u16string companyFolder, InstallationRun run);

  // Window set-up: step 1, btnNext reads NextCaption, progress at 0.
  void Start();
  // Last step of the window set-up: fills FixedDriveLetters and proposes a
  // destination folder (ProposeInstallFolder), or puts presetFolder (given on
  // the command line) in its place. A folder proposed from an uninstall entry
  // comes with the notice of the version installed there.
  void ProposeDefaultFolder(const std::u16string& presetFolder = {});
  // The folder proposed and where it came from, for the log; none when the
  // command line gave the folder or nothing was proposed yet.
  const std::optional<FolderProposal>& Proposal() const { return fProposal; }
  // Install asks check first; when it answers false the wizard shows
  // DamagedInstallerText and closes, having written nothing.
  void SetPackageCheck(PackageCheck check) { fPackageCheck = std::move(check); }
  // The version being installed, for the notice about an installed one.
  void SetProductVersion(std::u16string version) { fProductVersion = std::move(version); }

  // Event handlers.
  void ApplicationEvents1Idle() { RefreshView(); }
  void btnNextClick();
  void btnPrevClick();
  void btnCloseClick();
  void editSetupDirChange();
  void btnBrowseClick();
  void OnExtractProgress(int percent);  // the progress handler

  void RefreshView();
  void UpdateNextCaption();
  void UpdateFreeSpace();

  int WizardStep() const { return fWizardStep; }
  const std::u16string& InstallDir() const { return fInstallDir; }
  const std::u16string& FixedDriveLetters() const { return fFixedDriveLetters; }
  const WizardTexts& Texts() const { return fTexts; }
  WizardOutcome Outcome() const { return fOutcome; }

  // The folder text as Install takes it: a backslash appended unless the
  // text already ends in one, then characters up to U+0020 trimmed from both
  // ends (so trailing spaces stay in front of the added backslash).
  static std::u16string NormalizeInstallDir(const std::u16string& folderText);

 private:
  void Install();
  // Sets editSetupDir and runs the change handler, unless the text is already
  // there: setting the same text is no change.
  void SetSetupDirText(const std::u16string& text);

  WizardView& fView;
  WizardSystem& fSystem;
  WizardTexts fTexts;
  std::u16string fProductName;
  std::u16string fExeBaseName;
  std::u16string fCompanyFolder;
  std::u16string fProductVersion;
  InstallationRun fRun;
  PackageCheck fPackageCheck;

  int fWizardStep = 1;
  WizardOutcome fOutcome = WizardOutcome::Cancelled;
  std::u16string fInstallDir;
  std::u16string fFixedDriveLetters;
  std::optional<FolderProposal> fProposal;
};

}  // namespace vo
