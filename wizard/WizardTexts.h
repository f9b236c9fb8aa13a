#pragma once
// Every text the wizard shows, in Simplified Chinese and English: the button
// captions and messages the controller uses, the texts of the pages, and the
// licence agreement in its freeware and shareware wordings.

#include <string>
#include <vector>

namespace vo {

// The captions and messages chosen for the interface language when the window
// is set up.
struct WizardTexts {
  std::u16string NextCaption;
  std::u16string AgreeCaption;
  std::u16string InstallCaption;
  std::u16string FinishCaption;
  std::u16string BackCaption;
  std::u16string CancelCaption;
  std::u16string FolderCreateErrorText;
  std::u16string ExtractErrorText;
  std::u16string DamagedInstallerText;  // the package fails its digest; nothing was written
  std::u16string BrowsePromptText;
  std::u16string SpaceAvailableText;
  // The destination page's notice about an installed version, by how it
  // stands to ours; "%1" is the installed version, "%2" ours.
  std::u16string UpdateNoticeText;   // installed is older
  std::u16string SameNoticeText;     // installed is the same
  std::u16string OlderNoticeText;    // installed is newer: ours replaces it with an older one
  std::u16string OtherNoticeText;    // not comparable
};

// uiLanguage 0 gives the Chinese texts, any other value the English ones.
WizardTexts MakeWizardTexts(int uiLanguage);

// The drive of the destination folder has less room than the files need
// (sizes as FormatByteSize writes them); nothing was written.
std::u16string NotEnoughSpaceText(int uiLanguage, const std::u16string& needed, const std::u16string& available);

// The notice for an installation of installedVersion in the proposed folder,
// which ourVersion will update or replace (CompareVersions decides which).
std::u16string InstalledVersionNotice(const WizardTexts& texts, const std::u16string& installedVersion,
                                      const std::u16string& ourVersion);

// What the page texts are made of.
struct PageTextInputs {
  std::u16string ProductName;
  std::u16string ProductVersion;
  std::u16string RequiredSpaceText;
};

// Texts of the window and its controls, by control. Texts of controls that
// stay hidden in a language (the two header tips and lblClose in Chinese) are
// empty there.
struct PageTexts {
  std::u16string WindowTitle;
  std::u16string Welcome;          // lblWelcome
  std::u16string WillInstall;      // lblWillInstall
  std::u16string License;          // lblLicense
  std::u16string LicenseTip;       // lblLicenseTip
  std::u16string Agreement;        // lblAgreement
  std::u16string Folder;           // lblFolder
  std::u16string FolderTip;        // lblFolderTip
  std::u16string SetupFolder;      // lblSetupFolder
  std::u16string FolderGroup;      // gbFolder
  std::u16string Browse;           // btnBrowse
  std::u16string NeedSize;         // lblNeedSize
  std::u16string DesktopShortcut;  // chkSCOnDesktop
  std::u16string QuickLaunch;      // chkSCOnQuick
  std::u16string Complete;         // lblComplete
  std::u16string Close;            // lblClose
  std::u16string RunOnExit;        // chkRunOnExit
};

PageTexts MakePageTexts(int uiLanguage, const PageTextInputs& inputs);

// The licence agreement shown on page 2, one entry per line of the memo.
// Its last line names whose the software is: publisher, the product's (the
// publisher setting of the interface language); the toolmaker's own wording
// when that is empty or the default publisher.
std::vector<std::u16string> LicenseAgreementLines(int uiLanguage, const std::u16string& productName, bool isFreeware,
                                                  const std::u16string& publisher = {});

// A product's own licence text (LF or CR LF line ends) as the memo's lines;
// the line end after the last line adds no empty line.
std::vector<std::u16string> LicenseTextLines(const std::u16string& text);

}  // namespace vo
