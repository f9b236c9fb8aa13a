#pragma once
// The command line of Uninst.exe.

#include <string>
#include <vector>

namespace vo {

// Arguments of Uninst.exe (without the program name). "/S" (any case) runs
// silently. "/_cleanup=<handle>" with the path of the original uninstaller
// starts the self-removal helper (see SelfRemovalWin.cpp); "/_reboot" makes
// the helper schedule its own deletion for the next restart; "/_company=<folder>"
// names the company folder the helper removes last, when empty. Other
// arguments are ignored.
struct UninstallCommand {
  bool silent = false;
  bool cleanup = false;
  unsigned long waitHandle = 0;  // handle value, inherited, of the process to wait for
  std::u16string cleanupTarget;  // the original Uninst.exe
  bool deleteSelfAtReboot = false;
  std::u16string companyFolder;  // for the helper; empty for none
};
UninstallCommand ParseUninstallCommand(const std::vector<std::u16string>& arguments);

}  // namespace vo
