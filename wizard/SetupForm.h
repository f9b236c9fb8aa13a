#pragma once
// The wizard window TForm1 in plain Win32: four pages (panels) above a row of
// buttons, laid out as designed and adapted to the interface language and the
// Windows version by FormCreate. It is the controller's WizardView; the
// controller behind it decides what is shown.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "settings/ProductSettings.h"
#include "shell/UniqueHandle.h"
#include "wizard/InstallationContext.h"
#include "wizard/WizardController.h"
#include "wizard/WizardSystemWin.h"
#include "wizard/WizardTexts.h"

namespace vo {

// What start-up hands the wizard besides the installation run.
struct WizardStart {
  std::u16string presetFolder;           // /D= of the command line; empty for the proposal
  std::u16string requiredSpaceFallback;  // shown as the required space when setting 1012 is empty
  PackageCheck packageCheck;             // asked at Install (WizardController::SetPackageCheck)
};

class TForm1 : public WizardView {
 public:
  // icon is the application icon the window shows; runner is the
  // installation run behind Install.
  TForm1(HINSTANCE instance, HICON icon, InstallationRunner runner, WizardStart start = {});
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Creates the window, hidden, with its controls as designed, then runs
  // FormCreate. Raises std::exception (message for the user) when the set-up
  // fails: an invalid setting 1009, a missing picture, a banner that is not a
  // JPEG. The window is destroyed again then.
  void Create(int uiLanguage);
  // Centres the window on the desktop, shows it and gives btnNext the focus.
  void Show();

  HWND Handle() const { return fWindow; }
  // How the run ended (Cancelled until the controller exists).
  WizardOutcome Outcome() const;
  // The folder the wizard proposed and its origin; none when /D= gave it.
  std::optional<FolderProposal> Proposal() const;

  // For the event loop: keyboard handling of a queued message (access keys,
  // Tab, Enter, Escape); true when the message was handled.
  bool PreTranslateMessage(MSG& message);
  // The event queue has become empty.
  void ApplicationEvents1Idle();

  // WizardView.
  void SetPageVisible(int step, bool visible) override;
  void SetBackVisible(bool visible) override;
  void SetCancelVisible(bool visible) override;
  void SetNextEnabled(bool enabled) override;
  void SetButtonsEnabled(bool enabled) override;
  std::u16string NextCaption() const override;
  void SetNextCaption(const std::u16string& caption) override;
  std::u16string SetupDirText() const override;
  void SetSetupDirText(const std::u16string& text) override;
  bool FreeSizeVisible() const override;
  void SetFreeSizeVisible(bool visible) override;
  void SetFreeSizeText(const std::u16string& text) override;
  void SetFolderNotice(const std::u16string& text) override;
  bool RunOnExitChecked() const override;
  bool DesktopShortcutChecked() const override;
  bool QuickLaunchVisible() const override;
  bool QuickLaunchChecked() const override;
  void MoveBannerToCompletionPage() override;
  void SetProgressVisible(bool visible) override;
  void SetProgressPosition(int percent) override;
  void ShowPlainMessage(const std::u16string& text) override;
  void ProcessPendingEvents() override;
  void CloseWindow() override;

  // The window's internals, reached by its window procedures.
  struct Impl;

 private:
  std::unique_ptr<Impl> fImpl;
  HWND fWindow = nullptr;
};

// Handles one queued message the way the wizard's event loop does: the
// window's keyboard handling first, then translation and dispatch.
void DispatchWizardMessage(TForm1& form, MSG& message);

}  // namespace vo
