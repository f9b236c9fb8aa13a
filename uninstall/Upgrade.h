#pragma once
// What an installation over an earlier one leaves behind, and its removal.
//
// Each version's Uninst.lst names every file it installed. Once a newer (or
// any other) version is in place, the files the earlier list names and the
// new one does not are the earlier version's leftovers: they go, and so does
// every folder of the earlier tree that is then empty. Files the user made
// are in no list and stay; nothing is deleted through a link.

#include <string>
#include <vector>

#include "uninstall/Removal.h"

namespace vo {

// The files of earlier that current does not list, in earlier's order,
// compared as Windows compares names (SamePath).
std::vector<std::u16string> ObsoleteFiles(const UninstallList& earlier, const UninstallList& current);

struct ObsoleteRemovalReport {
  std::vector<std::u16string> filesRemoved;      // full paths
  std::vector<std::u16string> filesLeft;         // full paths that could not be deleted (in use, access denied)
  std::vector<std::u16string> filesBehindLinks;  // not touched: a folder on the way is a link
  std::vector<std::u16string> foldersRemoved;    // full paths, without trailing backslash
};

// Removes ObsoleteFiles from installDir (ending in a backslash), then each
// folder of earlier's tree that is then empty, deepest first; installDir
// itself always stays.
ObsoleteRemovalReport RemoveObsoleteFiles(const UninstallList& earlier, const UninstallList& current,
                                          const std::u16string& installDir, UninstallSystem& system);

}  // namespace vo
