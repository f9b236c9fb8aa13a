#pragma once
// Windows only: UninstallSystem on the real machine, and the few Win32 steps
// around it in Uninst.exe.

#include <string>

#include "uninstall/Removal.h"

namespace vo {

class WindowsUninstallSystem : public UninstallSystem {
 public:
  RemoveResult RemoveFile(const std::u16string& path) override;
  RemoveResult RemoveFolder(const std::u16string& path) override;
  RemoveResult RemoveInstalledFile(const std::u16string& installDir, const std::u16string& relativePath) override;
  RemoveResult RemoveInstalledFolder(const std::u16string& installDir, const std::u16string& relativeFolder) override;
  bool FolderHoldsOnly(const std::u16string& folder, const std::u16string& name) override;
  std::vector<std::u16string> ShortcutFolders() override;
  std::u16string ShortcutTarget(const std::u16string& linkPath) override;
  std::u16string EntryUninstallString(const std::u16string& keyName) override;
  RemoveResult DeleteUninstallEntry(const std::u16string& keyName) override;
  std::u16string ProgramFilesFolder() override;
  std::u16string ProgramsFolder() override;
};

// The long form of an existing path ("C:\PROGRA~1" becomes "C:\Program Files"),
// or path unchanged when it does not exist.
std::u16string LongPath(const std::u16string& path);

// The full path of the running executable, in its long form.
std::u16string RunningExecutablePath();

// The whole content of a file; raises EUninstallList when it cannot be read.
std::string ReadWholeFile(const std::u16string& path);

// Hands the deletion of the running uninstaller (and of its folder, once
// empty, and then of companyFolder, once empty, when that is not empty) to a
// copy of it in the temporary folder, which waits for this process to end.
// False when the copy cannot be made or started.
bool StartSelfRemoval(const std::u16string& selfPath, const std::u16string& companyFolder = {});

// The copy's side: waits for the process behind waitHandle, deletes target,
// then removes target's folder if that is empty, then companyFolder (when
// given) if that is empty. Returns the exit code.
int RunSelfRemovalHelper(unsigned long waitHandle, const std::u16string& target, bool deleteSelfAtReboot,
                         const std::u16string& companyFolder = {});

}  // namespace vo
