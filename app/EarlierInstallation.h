#pragma once
// Windows only: the earlier installation of the product around an
// installation run. Surveyed before the new files are written (the folder's
// own Uninst.lst is about to be replaced), tidied after the new version is
// in place and registered: the earlier version's obsolete files go, and a
// copy in another folder is removed, so one copy and one entry remain.

#include <optional>
#include <string>

#include "package/JournalingFileSystem.h"
#include "settings/ProductSettings.h"
#include "uninstall/UninstallList.h"

namespace vo {

struct EarlierInstallation {
  // Uninst.lst of the folder being installed into, when it holds a readable one.
  std::optional<UninstallList> listHere;
  // The uninstall key this run writes (the display name of its language).
  std::u16string currentKey;
  // An earlier installation in another folder (ending in a backslash), found
  // through the product's uninstall entry or shortcut, and its Uninst.lst.
  std::u16string otherFolder;
  std::optional<UninstallList> otherList;

  // An upgrade or repair of the version in the destination folder: a failed
  // extraction is rolled back there.
  bool UpgradesInPlace() const { return listHere.has_value(); }
};

// Looks and logs what it found. Raises nothing.
EarlierInstallation SurveyEarlierInstallation(const ProductSettings& settings, const std::u16string& installDir);

// After a failed extraction of an upgrade: puts the earlier version's files
// back and deletes the new ones, and logs what was restored.
void RollBackUpgrade(JournalingFileSystem& journal);
// After a successful extraction of an upgrade: deletes the set-aside copies.
void CommitUpgrade(JournalingFileSystem& journal);

// After a successful run: removes the files of listHere that the new
// Uninst.lst in installDir does not name, then the earlier copy in
// otherFolder as its own uninstaller would. An entry the earlier version
// wrote under the other language's name for this same folder goes too, so
// one entry remains. Logs every step. Raises nothing.
// writtenList is the uninstall list this run extracted, as it came from the
// package: what the folder holds under that name now is not read back.
void TidyEarlierInstallation(const EarlierInstallation& earlier, const std::u16string& installDir,
                             const std::optional<std::string>& writtenList);

}  // namespace vo
