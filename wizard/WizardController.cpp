#include "wizard/WizardController.h"

#include <utility>

namespace vo {

WizardController::WizardController(WizardView& view, WizardSystem& system, WizardTexts texts,
                                   std::u16string productName, std::u16string exeBaseName,
                                   std::u16string companyFolder, InstallationRun run)
    : fView(view),
      fSystem(system),
      fTexts(std::move(texts)),
      fProductName(std::move(productName)),
      fExeBaseName(std::move(exeBaseName)),
      fCompanyFolder(std::move(companyFolder)),
      fRun(std::move(run)) {}

void WizardController::Start() {
  fWizardStep = 1;
  fView.SetNextCaption(fTexts.NextCaption);
  fView.SetProgressPosition(0);
}

void WizardController::RefreshView() {
  for (int step = 1; step <= 4; ++step) fView.SetPageVisible(step, fWizardStep == step);
  fView.SetBackVisible(fWizardStep == 2 || fWizardStep == 3);
  fView.SetCancelVisible(fWizardStep < 4);
  fView.SetNextEnabled(fWizardStep != 3 || fView.FreeSizeVisible());
}

void WizardController::UpdateNextCaption() {
  switch (fWizardStep) {
    case 2: fView.SetNextCaption(fTexts.AgreeCaption); break;
    case 3: fView.SetNextCaption(fTexts.InstallCaption); break;
    case 4: fView.SetNextCaption(fTexts.FinishCaption); break;
    default: fView.SetNextCaption(fTexts.NextCaption); break;
  }
}

void WizardController::btnNextClick() {
  // The caption, accelerator marks included, says what the button does.
  const std::u16string caption = fView.NextCaption();
  if (caption == fTexts.FinishCaption) {
    if (fView.RunOnExitChecked()) fSystem.RunProgram(fInstallDir + fExeBaseName + u".exe", u"");
    fView.CloseWindow();
  } else if (caption == fTexts.InstallCaption) {
    Install();
  } else {
    ++fWizardStep;
    UpdateNextCaption();
  }
}

void WizardController::Install() {
  fInstallDir = NormalizeInstallDir(fView.SetupDirText());
  // A damaged package would fail halfway through the files; nothing is
  // written, not even the folder, and there is nothing to try again.
  if (fPackageCheck && !fPackageCheck()) {
    fOutcome = WizardOutcome::Damaged;
    fView.ShowPlainMessage(fTexts.DamagedInstallerText);
    fView.CloseWindow();
    return;
  }
  if (!fSystem.ForceDirectories(fInstallDir)) {
    fView.ShowPlainMessage(fTexts.FolderCreateErrorText);
    return;
  }
  if (!fRun || !fRun(fInstallDir, [this](int percent) { OnExtractProgress(percent); })) {
    fOutcome = WizardOutcome::ExtractionFailed;
    return;
  }
  fOutcome = WizardOutcome::Installed;
  // The buttons stay disabled: step 4 hides Back and Cancel, and the next
  // refresh enables Next.
  fView.MoveBannerToCompletionPage();
  fView.SetProgressVisible(false);
  fWizardStep = 4;
  UpdateNextCaption();
}

void WizardController::btnPrevClick() {
  --fWizardStep;
  UpdateNextCaption();
}

void WizardController::btnCloseClick() { fView.CloseWindow(); }

void WizardController::OnExtractProgress(int percent) { fView.SetProgressPosition(percent); }

std::u16string WizardController::NormalizeInstallDir(const std::u16string& folderText) {
  std::u16string dir = folderText;
  if (dir.empty() || dir.back() != u'\\') dir += u'\\';
  size_t first = 0;
  while (first < dir.size() && dir[first] <= u' ') ++first;
  size_t last = dir.size();
  while (last > first && dir[last - 1] <= u' ') --last;
  return dir.substr(first, last - first);
}

void WizardController::ProposeDefaultFolder(const std::u16string& presetFolder) {
  fFixedDriveLetters = fSystem.GetFixedDriveLetters();
  if (!presetFolder.empty()) {
    SetSetupDirText(presetFolder);
    return;
  }
  fProposal = ProposeInstallFolder(fSystem, fProductName, fExeBaseName, fCompanyFolder);
  if (fProposal->origin == FolderProposalOrigin::UninstallEntry)
    fView.SetFolderNotice(InstalledVersionNotice(fTexts, fProposal->installedVersion, fProductVersion));
  SetSetupDirText(fProposal->folder);
}

void WizardController::SetSetupDirText(const std::u16string& text) {
  if (fView.SetupDirText() == text) return;
  fView.SetSetupDirText(text);
  editSetupDirChange();
}

void WizardController::editSetupDirChange() {
  // Install needs a fixed drive known at start-up, written as "X:\...".
  const std::u16string text = fView.SetupDirText();
  if (text.empty()) {
    fView.SetFreeSizeVisible(false);
    return;
  }
  char16_t drive = text[0];
  if (drive >= u'a' && drive <= u'z') drive = static_cast<char16_t>(drive - u'a' + u'A');
  if (fFixedDriveLetters.find(drive) == std::u16string::npos) {
    fView.SetFreeSizeVisible(false);
    return;
  }
  if (text.size() >= 3 && text[1] == u':' && text[2] == u'\\') {
    UpdateFreeSpace();
  } else {
    fView.SetFreeSizeVisible(false);
  }
}

void WizardController::UpdateFreeSpace() {
  // The drive query takes the letter in either case.
  const std::u16string text = fView.SetupDirText();
  const int64_t freeBytes = text.empty() ? -1 : fSystem.GetDriveFreeBytes(text[0]);
  fView.SetFreeSizeText(fTexts.SpaceAvailableText + fSystem.FormatByteSize(freeBytes));
  fView.SetFreeSizeVisible(true);
}

void WizardController::btnBrowseClick() {
  const std::u16string folder = fSystem.BrowseForFolder(fTexts.BrowsePromptText);
  if (folder.empty()) return;
  SetSetupDirText(folder);
  // Shown even for a drive outside the fixed drives (removable, network, or
  // attached later); the next edit applies the drive test again.
  UpdateFreeSpace();
}

}  // namespace vo
