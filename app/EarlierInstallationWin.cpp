#include "app/EarlierInstallation.h"

#include <windows.h>

#include <exception>

#include "app/SetupLog.h"
#include "shell/ShellLinks.h"
#include "shell/VoSysUtils.h"
#include "uninstall/Removal.h"
#include "uninstall/Upgrade.h"
#include "uninstall/WindowsUninstallSystem.h"
#include "wizard/DestinationFolder.h"
#include "wizard/WizardSystemWin.h"

namespace vo {
namespace {

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

std::u16string WithBackslash(std::u16string folder) {
  if (folder.empty() || folder.back() != u'\\') folder += u'\\';
  return folder;
}

// The folder's Uninst.lst, or nothing when it has none or it cannot be read.
std::optional<UninstallList> ReadList(const std::u16string& folder, const char* what) {
  const std::u16string path = folder + kUninstallListFileName;
  if (!FileExistsAt(path)) return std::nullopt;
  try {
    return ParseUninstallList(ReadWholeFile(path));
  } catch (const std::exception& e) {
    InstallerLog().Write(std::string("The list of ") + what + " " + U8(path) + " cannot be read, so nothing of it is "
                         "removed: " + e.what());
  }
  return std::nullopt;
}

void LogPaths(const char* what, const std::vector<std::u16string>& paths) {
  for (const std::u16string& path : paths) InstallerLog().Write(std::string(what) + " " + U8(path));
}

}  // namespace

EarlierInstallation SurveyEarlierInstallation(const ProductSettings& settings, const std::u16string& installDir) {
  EarlierInstallation earlier;
  earlier.currentKey = settings.ProductName;
  try {
    earlier.listHere = ReadList(installDir, "the version in the destination folder");
    if (earlier.listHere)
      InstallerLog().Write("The destination folder holds an installation listing " +
                           std::to_string(earlier.listHere->files.size()) + " files; it is updated");

    WindowlessProposalSource source;
    const FolderProposal found =
        ProposeInstallFolder(source, settings.ProductName, settings.ExeBaseName, settings.CompanyFolder);
    if (found.origin == FolderProposalOrigin::ProgramFiles) return earlier;
    std::string line = "Earlier installation: " + U8(found.folder) + " (from " +
                       FolderProposalOriginText(found.origin);
    if (found.origin == FolderProposalOrigin::UninstallEntry)
      line += ", version " + U8(found.installedVersion) + ", " + U8(found.entryWhere);
    InstallerLog().Write(line + ")");

    const std::u16string folder = WithBackslash(found.folder);
    if (SamePath(LongPath(folder), LongPath(installDir))) return earlier;
    earlier.otherList = ReadList(folder, "the earlier installation");
    // Only a list of this product: a shortcut of the same name may lead to
    // another one's folder.
    if (earlier.otherList && earlier.otherList->productNameEn != settings.ProductName &&
        earlier.otherList->productNameZh != settings.ProductName) {
      InstallerLog().Write("The list in " + U8(folder) + " is another product's; that folder stays as it is");
      earlier.otherList.reset();
    }
    if (earlier.otherList) earlier.otherFolder = folder;
  } catch (const std::exception& e) {
    InstallerLog().Write(std::string("Could not look for an earlier installation: ") + e.what());
  } catch (...) {
    InstallerLog().Write("Could not look for an earlier installation");
  }
  return earlier;
}

void RollBackUpgrade(JournalingFileSystem& journal) {
  const RollbackReport report = journal.Rollback();
  LogPaths("Restored the earlier version's", report.restored);
  LogPaths("Removed the new file", report.removed);
  LogPaths("Could not restore the earlier version's", report.notRestored);
  LogPaths("Could not remove the new file", report.notRemoved);
  LogPaths("Removed the new folder", report.foldersRemoved);
  if (report.notRestored.empty() && report.notRemoved.empty()) {
    InstallerLog().Write("The earlier version is as it was before this run");
  } else {
    InstallerLog().Write("The earlier version could not be restored completely; copies set aside end in .stp-old");
  }
}

void CommitUpgrade(JournalingFileSystem& journal) {
  LogPaths("Could not delete the earlier version's set-aside copy", journal.Commit());
}

void TidyEarlierInstallation(const EarlierInstallation& earlier, const std::u16string& installDir,
                             const std::optional<std::string>& writtenList) {
  try {
    WindowsUninstallSystem system;
    if (earlier.listHere) {
      std::optional<UninstallList> current;
      if (writtenList) {
        try {
          current = ParseUninstallList(*writtenList);
        } catch (const std::exception& e) {
          InstallerLog().Write(std::string("The new version's list cannot be read, so nothing earlier is removed: ") +
                               e.what());
        }
      } else {
        InstallerLog().Write("The package carries no uninstall list, so nothing earlier is removed");
      }
      if (current) {
        const ObsoleteRemovalReport report = RemoveObsoleteFiles(*earlier.listHere, *current, installDir, system);
        LogPaths("Removed the earlier version's file", report.filesRemoved);
        LogPaths("Removed the earlier version's empty folder", report.foldersRemoved);
        LogPaths("Could not remove the earlier version's file", report.filesLeft);
        LogPaths("Left the earlier version's file behind a link:", report.filesBehindLinks);
      }
      for (const std::u16string& key : earlier.listHere->uninstallKeys) {
        if (key == earlier.currentKey || !PathLiesIn(system.EntryUninstallString(key), installDir)) continue;
        const bool removed = system.DeleteUninstallEntry(key) == RemoveResult::Removed;
        InstallerLog().Write((removed ? "Removed the earlier uninstall entry " : "Could not remove the earlier "
                                                                                 "uninstall entry ") + U8(key));
      }
    }
    if (earlier.otherList) {
      InstallerLog().Write("Removing the earlier installation in " + U8(earlier.otherFolder));
      const RemovalReport report = RunRemoval(*earlier.otherList, earlier.otherFolder, u"", system);
      InstallerLog().Write("Removed " + std::to_string(report.filesRemoved) + " files and " +
                           std::to_string(report.foldersRemoved) + " folders of the earlier installation");
      LogPaths("Removed the earlier shortcut", report.shortcutsRemoved);
      LogPaths("Removed the earlier uninstall entry", report.entriesRemoved);
      LogPaths("Could not remove", report.filesLeft);
      LogPaths("Left behind a link:", report.filesBehindLinks);
      LogPaths("Kept the folder, which holds other files:", report.foldersKept);
    }
  } catch (const std::exception& e) {
    InstallerLog().Write(std::string("Could not tidy up the earlier installation: ") + e.what());
  } catch (...) {
    InstallerLog().Write("Could not tidy up the earlier installation");
  }
}

}  // namespace vo
