#pragma once
// The destination folder the installer proposes, the same for the wizard's
// destination page and for a silent installation: the folder of an earlier
// installation, found through the product's uninstall entry, then its Quick
// Launch shortcut and then its desktop shortcut, else a folder under the
// program-files folder.

#include <string>
#include <vector>

namespace vo {

// An uninstall entry of the product as the registry holds it.
struct RegisteredInstallation {
  std::u16string installLocation;  // "InstallLocation", as written
  std::u16string version;          // "DisplayVersion"
  std::u16string where;            // the hive, view and key, for the log
};

// Where the proposal looks; the wizard's system and the silent installation
// each supply one.
class FolderProposalSource {
 public:
  virtual ~FolderProposalSource() = default;
  // The product's uninstall entries under either language's display name, in
  // the order they are to be tried. May raise.
  virtual std::vector<RegisteredInstallation> FindRegisteredInstallations() = 0;
  // True when path names an existing file.
  virtual bool FileExists(const std::u16string& path) = 0;
  // The folder (ending in a backslash) of the product's shortcut under
  // locationKey ("QuickLaunch" or "Desktop"), or empty. May raise.
  virtual std::u16string FindShortcutTargetDir(const std::u16string& productName,
                                               const std::u16string& locationKey) = 0;
  // The value of an environment variable, or empty when it is not set.
  virtual std::u16string EnvironmentValue(const std::u16string& name) = 0;
};

enum class FolderProposalOrigin { UninstallEntry, QuickLaunchShortcut, DesktopShortcut, ProgramFiles };

struct FolderProposal {
  std::u16string folder;  // without a trailing backslash, as the folder box shows it
  FolderProposalOrigin origin = FolderProposalOrigin::ProgramFiles;
  // From an uninstall entry: its DisplayVersion (may be empty) and where it
  // was found.
  std::u16string installedVersion;
  std::u16string entryWhere;
};

// The folder an uninstall entry's InstallLocation names, without trailing
// backslash (a drive's root keeps it), when it is a full path ("C:\..." or
// "\\server\share\...") whose folder still holds Uninst.exe or
// <exeBaseName>.exe; empty otherwise, so an entry left behind by a removed
// product proposes nothing.
std::u16string AcceptedInstallLocation(FolderProposalSource& source, const std::u16string& installLocation,
                                       const std::u16string& exeBaseName);

// The proposal: the folder of the first accepted uninstall entry, else the
// Quick Launch shortcut's folder, else the desktop shortcut's (a look-up that
// raises counts as nothing found), else
// "%PROGRAMFILES%\<companyFolder>\<exeBaseName>" (DefaultInstallFolder).
FolderProposal ProposeInstallFolder(FolderProposalSource& source, const std::u16string& productName,
                                    const std::u16string& exeBaseName, const std::u16string& companyFolder);

// "the Quick Launch shortcut of an earlier installation", ... for the log.
const char* FolderProposalOriginText(FolderProposalOrigin origin);

// How the installed version stands to the one being installed.
enum class VersionRelation { Older, Same, Newer, Other };

// Dotted version numbers compared numerically, part by part, a missing part
// counting as 0 ("3.10" is newer than "3.9", "3.1" equals "3.1.0"); a version
// with anything but digits and dots, an empty part, or none at all is Other.
VersionRelation CompareVersions(const std::u16string& installed, const std::u16string& ours);

}  // namespace vo
