#pragma once
// The removal itself: which shortcuts, files, folders and uninstall entries go,
// in which order, and the account of what went and what had to stay. The
// machine is reached through UninstallSystem, so the same steps run against
// Windows in Uninst.exe and against a model of it in the tests.

#include <functional>
#include <string>
#include <vector>

#include "uninstall/UninstallList.h"

namespace vo {

enum class RemoveResult {
  Removed,
  Missing,      // nothing there (already gone, or never installed)
  Failed,       // in use, access denied, or a folder that is not empty
  ThroughLink,  // a folder on the way is a link (junction, symbolic link, mount point): nothing touched
  LinkRemoved,  // the folder was itself a link: the link went, what it points to was not gone into
};

class UninstallSystem {
 public:
  virtual ~UninstallSystem() = default;
  // A file or an empty folder outside the install tree (a shortcut, the
  // company folder).
  virtual RemoveResult RemoveFile(const std::u16string& path) = 0;
  // Removes a folder only when it is empty.
  virtual RemoveResult RemoveFolder(const std::u16string& path) = 0;
  // A listed file, installDir + relativePath. Anyone who can write the
  // install folder may have replaced one of its folders by a link to another
  // place, so nothing is deleted through a link: when a folder between
  // installDir and the file is one, the result is ThroughLink and nothing is
  // touched. A file that is itself a link is deleted as a link. The folders
  // on the way cannot be swapped while the file is deleted.
  virtual RemoveResult RemoveInstalledFile(const std::u16string& installDir, const std::u16string& relativePath) = 0;
  // A folder of the install tree, installDir + relativeFolder (empty for
  // installDir itself), when it is empty; one that is itself a link is
  // removed as a link (LinkRemoved), never gone into; ThroughLink when a
  // folder above it is a link.
  virtual RemoveResult RemoveInstalledFolder(const std::u16string& installDir,
                                             const std::u16string& relativeFolder) = 0;
  // True when the folder exists and holds nothing but the file called name.
  virtual bool FolderHoldsOnly(const std::u16string& folder, const std::u16string& name) = 0;
  // The folders the installer puts shortcuts in (desktop, Quick Launch),
  // without trailing backslash; a folder that cannot be found is left out.
  virtual std::vector<std::u16string> ShortcutFolders() = 0;
  // The target path stored in a shortcut file; empty when there is no such
  // file or it is not a readable shortcut.
  virtual std::u16string ShortcutTarget(const std::u16string& linkPath) = 0;
  // "UninstallString" of the entry keyName under ...\CurrentVersion\Uninstall;
  // empty when the key or the value is missing.
  virtual std::u16string EntryUninstallString(const std::u16string& keyName) = 0;
  // Deletes the entry's key as a whole, with every value in it.
  virtual RemoveResult DeleteUninstallEntry(const std::u16string& keyName) = 0;
  // The program-files folder the installer proposes folders under, without
  // trailing backslash; empty when unknown.
  virtual std::u16string ProgramFilesFolder() = 0;
  // The all-users Programs folder of the Start menu, without trailing
  // backslash; empty when unknown.
  virtual std::u16string ProgramsFolder() = 0;
};

// Exit codes of Uninst.exe.
enum UninstallExitCode : int {
  kUninstallComplete = 0,   // everything the product installed is gone
  kUninstallPartial = 1,    // something installed had to be left (in use, access denied)
  kProductRunning = 2,      // the product's main window is open; nothing removed
  kListUnreadable = 3,      // Uninst.lst is missing or damaged; nothing removed
  kUninstallCancelled = 4,  // the user answered No; nothing removed
};

struct RemovalReport {
  int filesRemoved = 0;
  int foldersRemoved = 0;
  std::vector<std::u16string> filesLeft;       // full paths of installed files that could not be deleted
  // Listed files not deleted because a folder on their path had become a
  // link to another place: what lies there is not the product's.
  std::vector<std::u16string> filesBehindLinks;
  std::vector<std::u16string> linksRemoved;    // install-tree folders that were links, removed as links
  std::vector<std::u16string> foldersKept;     // install-tree folders that still hold other files
  std::vector<std::u16string> shortcutsRemoved;
  std::vector<std::u16string> shortcutsLeft;
  std::vector<std::u16string> entriesRemoved;  // uninstall key names
  std::vector<std::u16string> entriesLeft;
  // The running uninstaller is one of the listed files: it cannot delete
  // itself, so a helper deletes it (and its folder, when selfFolderPending)
  // after this process has ended.
  std::u16string selfPath;
  bool selfFolderPending = false;
  // The company folder above the install folder, when it is to go once empty
  // but the install folder is still there until the helper has run: the
  // helper removes it after the install folder.
  std::u16string companyFolderPending;
  bool companyFolderRemoved = false;
  // The company's folder under the Start menu's Programs, gone once its last
  // shortcut has.
  bool startMenuFolderRemoved = false;

  bool Complete() const {
    return filesLeft.empty() && filesBehindLinks.empty() && shortcutsLeft.empty() && entriesLeft.empty();
  }
  int ExitCode() const { return Complete() ? kUninstallComplete : kUninstallPartial; }
  // The helper could not be started: the uninstaller stays, and so does its folder.
  void SelfRemovalFailed();
};

// Removes, in this order: the shortcuts of the list in every shortcut folder
// (ShortcutFolders and the Start menu's, StartMenuShortcutFolder of
// ProgramsFolder and the list's company folder) whose target lies in
// installDir, then that company folder under Programs when it is empty; every listed file (except runningExe,
// which is left to the self-removal helper), never through a link; every
// folder of the install tree that is then empty, deepest first, installDir
// last (a folder that is a link goes as a link); the company
// folder (CompanyFolderToRemove) when it is then empty; and each listed
// uninstall entry whose UninstallString points into installDir, key and all.
// Shortcuts and entries of another installation of the product are left
// alone. installDir ends in a backslash.
RemovalReport RunRemoval(const UninstallList& list, const std::u16string& installDir,
                         const std::u16string& runningExe, UninstallSystem& system);

// The company folder of the list, as a full path without trailing backslash,
// when it is installDir's parent and lies directly in programFiles (letter
// case ignored); empty otherwise. The installer proposes such a folder, and
// the uninstaller removes it once the last product in it has gone; any other
// parent folder is the user's choice and stays.
std::u16string CompanyFolderToRemove(const UninstallList& list, const std::u16string& installDir,
                                     const std::u16string& programFiles);

// The folders of the install tree that hold listed files, relative to it,
// deepest first ("Lang\zh", "Lang", ...); the install folder itself is not
// among them.
std::vector<std::u16string> InstallTreeFolders(const std::vector<std::u16string>& files);

// A folder path for messages and folder calls: without its trailing
// backslash, except for a drive's root ("C:\").
std::u16string WithoutTrailingBackslash(std::u16string path);

// True when path (an UninstallString or shortcut target, possibly quoted and
// followed by arguments) names something inside folder, which ends in a
// backslash.
bool PathLiesIn(const std::u16string& path, const std::u16string& folder);

// The title under which the product's main window was found, or empty: the
// class with the first title, then the class with the second; a window found
// under an empty title does not count.
std::u16string FoundRunningTitle(const UninstallList& list,
                                 const std::function<bool(const std::u16string& windowClass,
                                                          const std::u16string& title)>& windowExists);

}  // namespace vo
