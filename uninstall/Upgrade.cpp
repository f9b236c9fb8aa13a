#include "uninstall/Upgrade.h"

namespace vo {

std::vector<std::u16string> ObsoleteFiles(const UninstallList& earlier, const UninstallList& current) {
  std::vector<std::u16string> obsolete;
  for (const std::u16string& file : earlier.files) {
    bool kept = false;
    for (const std::u16string& now : current.files) kept = kept || SamePath(file, now);
    if (!kept) obsolete.push_back(file);
  }
  return obsolete;
}

ObsoleteRemovalReport RemoveObsoleteFiles(const UninstallList& earlier, const UninstallList& current,
                                          const std::u16string& installDir, UninstallSystem& system) {
  ObsoleteRemovalReport report;
  for (const std::u16string& file : ObsoleteFiles(earlier, current)) {
    switch (system.RemoveInstalledFile(installDir, file)) {
      case RemoveResult::Removed:
      case RemoveResult::LinkRemoved: report.filesRemoved.push_back(installDir + file); break;
      case RemoveResult::Missing: break;
      case RemoveResult::ThroughLink: report.filesBehindLinks.push_back(installDir + file); break;
      case RemoveResult::Failed: report.filesLeft.push_back(installDir + file); break;
    }
  }
  // A folder that still holds a file of the new version, or one of the
  // user's, is not empty and stays.
  for (const std::u16string& folder : InstallTreeFolders(earlier.files)) {
    const RemoveResult result = system.RemoveInstalledFolder(installDir, folder);
    if (result == RemoveResult::Removed || result == RemoveResult::LinkRemoved)
      report.foldersRemoved.push_back(installDir + folder);
  }
  return report;
}

}  // namespace vo
