#pragma once
// The wizard's system calls on Windows: the shell helpers, the folder
// picker, folder creation and the product launcher.

#include <windows.h>

#include <string>
#include <vector>

#include "shell/UniqueHandle.h"
#include "wizard/WizardController.h"

namespace vo {

// Starts file (a path or a name) with parameters through ShellExecuteExW, the
// default verb and SW_SHOWNORMAL. The process handle, or none when the shell
// started no process or failed; no message is shown.
UniqueHandle RunProgram(const std::u16string& file, const std::u16string& parameters);

// The system folder picker in its new style, rooted at the computer's drives,
// owned by owner, with prompt above the tree. The chosen folder's path, or
// empty when cancelled or when the item has no file-system path.
std::u16string BrowseForFolder(HWND owner, const std::u16string& prompt);

// True when folder (with or without a trailing backslash) is an existing
// directory, links followed, or was created together with its missing parents.
bool ForceDirectories(const std::u16string& folder);

// The product's uninstall entries under either language's display name
// (product settings 1004 and 1005), as the destination proposal takes them.
std::vector<RegisteredInstallation> FindProductRegistrations();

// True when path names an existing file (not a folder).
bool FileExistsAt(const std::u16string& path);

// The proposal's sources without any window, for the silent installation and
// the look for an earlier copy: a shortcut whose target moved is given up
// rather than searched for with the shell's dialog.
class WindowlessProposalSource final : public FolderProposalSource {
 public:
  std::u16string FindShortcutTargetDir(const std::u16string& productName, const std::u16string& locationKey) override;
  std::u16string EnvironmentValue(const std::u16string& name) override;
  std::vector<RegisteredInstallation> FindRegisteredInstallations() override { return FindProductRegistrations(); }
  bool FileExists(const std::u16string& path) override { return FileExistsAt(path); }
};

class WizardSystemWin : public WizardSystem {
 public:
  void SetOwner(HWND owner) { fOwner = owner; }

  std::u16string GetFixedDriveLetters() override;
  std::u16string FindShortcutTargetDir(const std::u16string& productName, const std::u16string& locationKey) override;
  std::vector<RegisteredInstallation> FindRegisteredInstallations() override { return FindProductRegistrations(); }
  bool FileExists(const std::u16string& path) override { return FileExistsAt(path); }
  int64_t GetDriveFreeBytes(char16_t letter) override;
  std::u16string FormatByteSize(int64_t size) override;
  std::u16string EnvironmentValue(const std::u16string& name) override;
  std::u16string BrowseForFolder(const std::u16string& prompt) override;
  bool ForceDirectories(const std::u16string& folder) override;
  void RunProgram(const std::u16string& program, const std::u16string& parameters) override;

 private:
  HWND fOwner = nullptr;
};

}  // namespace vo
