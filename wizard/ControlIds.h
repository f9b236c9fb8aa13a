#pragma once
// Child-window identifiers of the wizard window, with the control names they
// stand for. The window assigns them; test tools that inspect the window from
// outside read them back to name what they see.

namespace vo {

enum WizardControlId : int {
  kIdPnlStep1 = 101,
  kIdPnlStep2,
  kIdPnlStep3,
  kIdPnlStep4,
  kIdBevel1,
  kIdBtnPrev,
  kIdBtnNext,
  kIdBtnClose,
  kIdProgressBar1,
  kIdImage1,
  kIdLblWelcome,
  kIdLblWillInstall,
  kIdPanel3,
  kIdLblLicense,
  kIdLblLicenseTip,
  kIdImage2,
  kIdBevel2,
  kIdMemo2,
  kIdLblAgreement,
  kIdPanel4,
  kIdLblFolder,
  kIdLblFolderTip,
  kIdImage3,
  kIdBevel3,
  kIdLblSetupFolder,
  kIdGbFolder,
  kIdEditSetupDir,
  kIdBtnBrowse,
  kIdLblNeedSize,
  kIdLblFreeSize,
  kIdChkSCOnDesktop,
  kIdChkSCOnQuick,
  kIdLblComplete,
  kIdLblClose,
  kIdChkRunOnExit,
  kIdLastControl = kIdChkRunOnExit,
};

// The control name of an identifier, or nullptr for another one.
inline const char* WizardControlName(int id) {
  static const char* const names[] = {
      "pnlStep1",     "pnlStep2",       "pnlStep3",       "pnlStep4",      "Bevel1",     "btnPrev",
      "btnNext",      "btnClose",       "ProgressBar1",   "Image1",        "lblWelcome", "lblWillInstall",
      "Panel3",       "lblLicense",     "lblLicenseTip",  "Image2",        "Bevel2",     "Memo2",
      "lblAgreement", "Panel4",         "lblFolder",      "lblFolderTip",  "Image3",     "Bevel3",
      "lblSetupFolder", "gbFolder",     "editSetupDir",   "btnBrowse",     "lblNeedSize", "lblFreeSize",
      "chkSCOnDesktop", "chkSCOnQuick", "lblComplete",    "lblClose",      "chkRunOnExit",
  };
  if (id < kIdPnlStep1 || id > kIdLastControl) return nullptr;
  return names[id - kIdPnlStep1];
}

}  // namespace vo
