#include "package/JournalingFileSystem.h"

#include "package/PackageError.h"
#include "text/Unicode.h"

namespace vo {

bool JournalingFileSystem::Recorded(const std::u16string& path) const {
  for (const Step& step : fSteps) {
    if (step.path == path) return true;
  }
  return false;
}

std::unique_ptr<PackageOutputFile> JournalingFileSystem::CreateForWriting(const std::u16string& path) {
  // A second write of the same target (two rows naming one file) keeps the
  // first record: the earlier version's copy is the one to restore.
  if (Recorded(path)) return fInner.CreateForWriting(path);
  if (!fInner.FileExists(path)) {
    fSteps.push_back({path, {}});
    return fInner.CreateForWriting(path);
  }
  std::u16string aside;
  for (unsigned n = 1;; ++n) {
    const std::string digits = std::to_string(n);
    aside = path + u"." + std::u16string(digits.begin(), digits.end()) + u".stp-old";
    if (!fInner.FileExists(aside) && !fInner.FolderExists(aside)) break;
    if (n == 1000) throw EPackageError(PackageErrorKind::Write, "cannot set aside " + Utf16ToUtf8(path) +
                                                                    ": no free name for its copy");
  }
  std::string why;
  if (!fInner.RenameNoReplace(path, aside, &why)) {
    throw EPackageError(PackageErrorKind::Write,
                        "cannot set aside \"" + Utf16ToUtf8(path) + "\" before replacing it: " + why);
  }
  fSteps.push_back({path, aside});
  return fInner.CreateForWriting(path);
}

void JournalingFileSystem::CreateFolders(const std::u16string& path) {
  std::vector<std::u16string> missing;
  std::u16string folder = path;
  while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
  while (!folder.empty() && !fInner.FolderExists(folder)) {
    missing.push_back(folder);
    const size_t cut = folder.find_last_of(u"\\/");
    if (cut == std::u16string::npos) break;
    folder.erase(cut);
  }
  fInner.CreateFolders(path);
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (fInner.FolderExists(*it)) fNewFolders.push_back(*it);
  }
}

RollbackReport JournalingFileSystem::Rollback() {
  RollbackReport report;
  for (auto step = fSteps.rbegin(); step != fSteps.rend(); ++step) {
    const bool present = fInner.FileExists(step->path);
    if (step->setAside.empty()) {
      if (!present) continue;
      (fInner.RemoveFile(step->path) ? report.removed : report.notRemoved).push_back(step->path);
      continue;
    }
    if (present && !fInner.RemoveFile(step->path)) {
      report.notRestored.push_back(step->path);
      continue;
    }
    (fInner.RenameNoReplace(step->setAside, step->path, nullptr) ? report.restored : report.notRestored)
        .push_back(step->path);
  }
  // Deepest first; a folder that holds something else stays.
  for (auto folder = fNewFolders.rbegin(); folder != fNewFolders.rend(); ++folder) {
    if (fInner.RemoveEmptyFolder(*folder)) report.foldersRemoved.push_back(*folder);
  }
  fSteps.clear();
  fNewFolders.clear();
  return report;
}

std::vector<std::u16string> JournalingFileSystem::Commit() {
  std::vector<std::u16string> left;
  for (const Step& step : fSteps) {
    if (!step.setAside.empty() && !fInner.RemoveFile(step.setAside)) left.push_back(step.setAside);
  }
  fSteps.clear();
  fNewFolders.clear();
  return left;
}

}  // namespace vo
