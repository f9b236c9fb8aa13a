#pragma once
// What the wizard controller needs from its window. The controller decides,
// the view only draws: every page, button and label state the user sees is
// set through these calls, so the controller runs against a fake in tests.

#include <functional>
#include <string>

namespace vo {

// Receives the percentage (0 to 100) of the installation done.
using ProgressHandler = std::function<void(int percent)>;

class WizardView {
 public:
  virtual ~WizardView() = default;

  // Pages pnlStep1 to pnlStep4, by step number.
  virtual void SetPageVisible(int step, bool visible) = 0;
  virtual void SetBackVisible(bool visible) = 0;    // btnPrev
  virtual void SetCancelVisible(bool visible) = 0;  // btnClose
  virtual void SetNextEnabled(bool enabled) = 0;    // btnNext
  // btnNext, btnPrev, btnClose and btnBrowse together.
  virtual void SetButtonsEnabled(bool enabled) = 0;

  virtual std::u16string NextCaption() const = 0;
  virtual void SetNextCaption(const std::u16string& caption) = 0;

  // editSetupDir. Setting the text does not report a change back; the
  // controller runs its change handler itself.
  virtual std::u16string SetupDirText() const = 0;
  virtual void SetSetupDirText(const std::u16string& text) = 0;

  // lblFreeSize: its own visibility flag, not whether its page is shown.
  virtual bool FreeSizeVisible() const = 0;
  virtual void SetFreeSizeVisible(bool visible) = 0;
  virtual void SetFreeSizeText(const std::u16string& text) = 0;
  // The destination page's notice under its header (lblFolderTip): which
  // version is installed in the proposed folder; shown in both languages
  // when not empty.
  virtual void SetFolderNotice(const std::u16string& text) = 0;

  virtual bool RunOnExitChecked() const = 0;        // chkRunOnExit
  virtual bool DesktopShortcutChecked() const = 0;  // chkSCOnDesktop
  virtual bool QuickLaunchVisible() const = 0;      // chkSCOnQuick, its own flag
  virtual bool QuickLaunchChecked() const = 0;

  // Image1 onto pnlStep4, keeping its left alignment.
  virtual void MoveBannerToCompletionPage() = 0;

  virtual void SetProgressVisible(bool visible) = 0;  // ProgressBar1
  virtual void SetProgressPosition(int percent) = 0;

  // The text with one OK button and no icon, captioned with the application title.
  virtual void ShowPlainMessage(const std::u16string& text) = 0;
  // Handles the events waiting in the queue once, without the idle refresh.
  virtual void ProcessPendingEvents() = 0;
  // Closes the window, which ends the program.
  virtual void CloseWindow() = 0;
};

}  // namespace vo
