#pragma once
// The destination folder the installer proposes, the same for the wizard's
// destination page and for a silent installation: the folder of an earlier
// installation, found through the product's Quick Launch shortcut and then
// its desktop shortcut, else a folder under the program-files folder.

#include <string>

namespace vo {

// Where the proposal looks; the wizard's system and the silent installation
// each supply one.
class FolderProposalSource {
 public:
  virtual ~FolderProposalSource() = default;
  // The folder (ending in a backslash) of the product's shortcut under
  // locationKey ("QuickLaunch" or "Desktop"), or empty. May raise.
  virtual std::u16string FindShortcutTargetDir(const std::u16string& productName,
                                               const std::u16string& locationKey) = 0;
  // The value of an environment variable, or empty when it is not set.
  virtual std::u16string EnvironmentValue(const std::u16string& name) = 0;
};

enum class FolderProposalOrigin { QuickLaunchShortcut, DesktopShortcut, ProgramFiles };

struct FolderProposal {
  std::u16string folder;  // without a trailing backslash, as the folder box shows it
  FolderProposalOrigin origin = FolderProposalOrigin::ProgramFiles;
};

// The proposal: the Quick Launch shortcut's folder, else the desktop
// shortcut's (a look-up that raises counts as no shortcut), else
// "%PROGRAMFILES%\<companyFolder>\<exeBaseName>" (DefaultInstallFolder).
FolderProposal ProposeInstallFolder(FolderProposalSource& source, const std::u16string& productName,
                                    const std::u16string& exeBaseName, const std::u16string& companyFolder);

// "the Quick Launch shortcut of an earlier installation", ... for the log.
const char* FolderProposalOriginText(FolderProposalOrigin origin);

}  // namespace vo
