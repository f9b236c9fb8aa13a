#include "uninstall/Removal.h"

#include <algorithm>

#include "shell/ShellLinks.h"

namespace vo {

namespace {

size_t Depth(const std::u16string& relativeFolder) {
  return size_t(std::count(relativeFolder.begin(), relativeFolder.end(), u'\\'));
}

}  // namespace

std::u16string WithoutTrailingBackslash(std::u16string path) {
  // "C:" alone would mean the current folder of drive C, not its root.
  const bool driveRoot = path.size() == 3 && path[1] == u':';
  if (!driveRoot && !path.empty() && path.back() == u'\\') path.pop_back();
  return path;
}

void RemovalReport::SelfRemovalFailed() {
  if (selfPath.empty()) return;
  filesLeft.push_back(selfPath);
  if (selfFolderPending) foldersKept.push_back(WithoutTrailingBackslash(PathFolderPart(selfPath)));
  selfPath.clear();
  selfFolderPending = false;
  companyFolderPending.clear();
}

std::vector<std::u16string> InstallTreeFolders(const std::vector<std::u16string>& files) {
  std::vector<std::u16string> folders;
  for (const std::u16string& file : files) {
    for (size_t end = file.rfind(u'\\'); end != std::u16string::npos && end > 0; end = file.rfind(u'\\', end - 1)) {
      const std::u16string folder = file.substr(0, end);
      if (std::none_of(folders.begin(), folders.end(),
                       [&](const std::u16string& present) { return SamePath(present, folder); }))
        folders.push_back(folder);
    }
  }
  // Deepest first, so that a parent is tried only after its subfolders; the
  // stable sort keeps the list order among folders of one depth.
  std::stable_sort(folders.begin(), folders.end(),
                   [](const std::u16string& a, const std::u16string& b) { return Depth(a) > Depth(b); });
  return folders;
}

std::u16string CompanyFolderToRemove(const UninstallList& list, const std::u16string& installDir,
                                     const std::u16string& programFiles) {
  if (list.companyFolder.empty() || programFiles.empty()) return {};
  const std::u16string install = WithoutTrailingBackslash(installDir);
  const std::u16string parent = WithoutTrailingBackslash(PathFolderPart(install));
  const std::u16string parentFolder = PathFolderPart(parent);
  if (parent.empty() || parentFolder.empty() || install.size() <= 3) return {};
  const std::u16string name = parent.substr(parentFolder.size());
  if (!SamePath(name, list.companyFolder)) return {};
  if (!SamePath(WithoutTrailingBackslash(parentFolder), WithoutTrailingBackslash(programFiles))) return {};
  return parent;
}

bool PathLiesIn(const std::u16string& path, const std::u16string& folder) {
  std::u16string target = path;
  if (!target.empty() && target[0] == u'"') {
    const size_t close = target.find(u'"', 1);
    target = target.substr(1, close == std::u16string::npos ? std::u16string::npos : close - 1);
  }
  return !folder.empty() && target.size() > folder.size() && SamePath(target.substr(0, folder.size()), folder);
}

std::u16string FoundRunningTitle(const UninstallList& list,
                                 const std::function<bool(const std::u16string&, const std::u16string&)>& windowExists) {
  if (windowExists(list.windowClass, list.windowTitle)) return list.windowTitle;
  if (windowExists(list.windowClass, list.windowTitleAlt)) return list.windowTitleAlt;
  return {};
}

namespace {

// The company's folder under Programs goes once it is empty; another product
// of the company keeps it. Programs itself always stays.
void RemoveStartMenuFolder(const UninstallList& list, const std::u16string& startMenu, UninstallSystem& system,
                           RemovalReport& report) {
  if (list.companyFolder.empty() || startMenu.empty()) return;
  if (system.RemoveFolder(startMenu) == RemoveResult::Removed) {
    report.startMenuFolderRemoved = true;
    ++report.foldersRemoved;
  }
}

}  // namespace

RemovalReport RunRemoval(const UninstallList& list, const std::u16string& installDir,
                         const std::u16string& runningExe, UninstallSystem& system) {
  RemovalReport report;

  // Shortcuts first, while their targets still exist.
  std::vector<std::u16string> shortcutFolders = system.ShortcutFolders();
  const std::u16string startMenu = StartMenuShortcutFolder(system.ProgramsFolder(), list.companyFolder);
  if (!startMenu.empty()) shortcutFolders.push_back(startMenu);
  for (const std::u16string& folder : shortcutFolders) {
    for (const std::u16string& name : list.shortcuts) {
      const std::u16string link = folder + u"\\" + name;
      if (!PathLiesIn(system.ShortcutTarget(link), installDir)) continue;
      switch (system.RemoveFile(link)) {
        case RemoveResult::Removed:
        case RemoveResult::LinkRemoved: report.shortcutsRemoved.push_back(link); break;
        case RemoveResult::Failed:
        case RemoveResult::ThroughLink: report.shortcutsLeft.push_back(link); break;
        case RemoveResult::Missing: break;
      }
    }
  }

  RemoveStartMenuFolder(list, startMenu, system, report);

  for (const std::u16string& file : list.files) {
    const std::u16string path = installDir + file;
    if (SamePath(path, runningExe)) {
      report.selfPath = runningExe;
      continue;
    }
    switch (system.RemoveInstalledFile(installDir, file)) {
      case RemoveResult::Removed:
      case RemoveResult::LinkRemoved: ++report.filesRemoved; break;
      case RemoveResult::Failed: report.filesLeft.push_back(path); break;
      case RemoveResult::ThroughLink: report.filesBehindLinks.push_back(path); break;
      case RemoveResult::Missing: break;
    }
  }

  // Only empty folders are removed, so a folder that still holds a file the
  // product did not install (or one that was in use) stays. The install
  // folder itself comes last, as the relative folder "".
  std::vector<std::u16string> folders = InstallTreeFolders(list.files);
  folders.push_back(u"");
  const std::u16string selfFolder = WithoutTrailingBackslash(PathFolderPart(report.selfPath));
  for (const std::u16string& relative : folders) {
    const std::u16string folder = relative.empty() ? WithoutTrailingBackslash(installDir) : installDir + relative;
    if (!report.selfPath.empty() && SamePath(folder, selfFolder)) {
      const std::u16string selfName = report.selfPath.substr(PathFolderPart(report.selfPath).size());
      if (system.FolderHoldsOnly(folder, selfName)) {
        report.selfFolderPending = true;
        ++report.foldersRemoved;
      } else {
        report.foldersKept.push_back(folder);
      }
      continue;
    }
    switch (system.RemoveInstalledFolder(installDir, relative)) {
      case RemoveResult::Removed: ++report.foldersRemoved; break;
      case RemoveResult::LinkRemoved: report.linksRemoved.push_back(folder); break;
      case RemoveResult::Failed: report.foldersKept.push_back(folder); break;
      case RemoveResult::ThroughLink:  // its link above it has gone or goes next
      case RemoveResult::Missing: break;
    }
  }

  // The company folder goes once it is empty. While the running uninstaller
  // keeps the install folder, the helper removes both in turn.
  const std::u16string company = CompanyFolderToRemove(list, installDir, system.ProgramFilesFolder());
  if (!company.empty()) {
    if (report.selfFolderPending) {
      report.companyFolderPending = company;
    } else if (system.RemoveFolder(company) == RemoveResult::Removed) {
      report.companyFolderRemoved = true;
      ++report.foldersRemoved;
    }
  }

  // The entries last: should anything above stop the run, the product still
  // shows in the list of installed programs and can be removed again.
  for (const std::u16string& key : list.uninstallKeys) {
    if (!PathLiesIn(system.EntryUninstallString(key), installDir)) continue;
    switch (system.DeleteUninstallEntry(key)) {
      case RemoveResult::Removed:
      case RemoveResult::LinkRemoved: report.entriesRemoved.push_back(key); break;
      case RemoveResult::Failed:
      case RemoveResult::ThroughLink: report.entriesLeft.push_back(key); break;
      case RemoveResult::Missing: break;
    }
  }
  return report;
}

}  // namespace vo
