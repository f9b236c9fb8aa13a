#include "wizard/DestinationFolder.h"

#include <cstdint>
#include <exception>

#include "settings/ProductSettings.h"

namespace vo {
namespace {

std::u16string ShortcutFolder(FolderProposalSource& source, const std::u16string& productName,
                              const std::u16string& locationKey) {
  // A shortcut that cannot be read (a shell folder value of the wrong type, a
  // missing shell link class) is no proposal; the next source is tried.
  try {
    return source.FindShortcutTargetDir(productName, locationKey);
  } catch (const std::exception&) {
    return {};
  }
}

std::vector<RegisteredInstallation> RegisteredInstallations(FolderProposalSource& source) {
  // A registry that cannot be read is no proposal either.
  try {
    return source.FindRegisteredInstallations();
  } catch (const std::exception&) {
    return {};
  }
}

bool IsFullFolderPath(const std::u16string& folder) {
  const bool drive = folder.size() >= 3 && ((folder[0] >= u'A' && folder[0] <= u'Z') ||
                                            (folder[0] >= u'a' && folder[0] <= u'z')) &&
                     folder[1] == u':' && folder[2] == u'\\';
  const bool share = folder.size() >= 5 && folder[0] == u'\\' && folder[1] == u'\\' && folder[2] != u'\\' &&
                     folder.find(u'\\', 2) != std::u16string::npos;
  return drive || share;
}

// The parts of a dotted version, or false when it is not one.
bool VersionParts(const std::u16string& text, std::vector<uint64_t>& parts) {
  if (text.empty()) return false;
  uint64_t part = 0;
  bool digits = false;
  for (char16_t c : text) {
    if (c == u'.') {
      if (!digits) return false;
      parts.push_back(part);
      part = 0;
      digits = false;
    } else if (c >= u'0' && c <= u'9') {
      if (part > (UINT64_MAX - 9) / 10) return false;  // too long to be a version number
      part = part * 10 + uint64_t(c - u'0');
      digits = true;
    } else {
      return false;
    }
  }
  if (!digits) return false;
  parts.push_back(part);
  return true;
}

}  // namespace

std::u16string AcceptedInstallLocation(FolderProposalSource& source, const std::u16string& installLocation,
                                       const std::u16string& exeBaseName) {
  std::u16string folder = installLocation;
  while (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
  if (!IsFullFolderPath(folder) || folder.find(u'/') != std::u16string::npos) return {};
  const std::u16string dir = folder.back() == u'\\' ? folder : folder + u'\\';
  if (source.FileExists(dir + u"Uninst.exe")) return folder;
  if (!exeBaseName.empty() && source.FileExists(dir + exeBaseName + u".exe")) return folder;
  return {};
}

FolderProposal ProposeInstallFolder(FolderProposalSource& source, const std::u16string& productName,
                                    const std::u16string& exeBaseName, const std::u16string& companyFolder) {
  FolderProposal proposal;
  for (const RegisteredInstallation& entry : RegisteredInstallations(source)) {
    std::u16string folder = AcceptedInstallLocation(source, entry.installLocation, exeBaseName);
    if (folder.empty()) continue;
    // The folder box shows a drive's root without its backslash, as a
    // shortcut's folder is shown.
    if (folder.size() == 3) folder.pop_back();
    proposal.folder = folder;
    proposal.origin = FolderProposalOrigin::UninstallEntry;
    proposal.installedVersion = entry.version;
    proposal.entryWhere = entry.where;
    return proposal;
  }
  std::u16string dir = ShortcutFolder(source, productName, u"QuickLaunch");
  proposal.origin = FolderProposalOrigin::QuickLaunchShortcut;
  if (dir.empty()) {
    dir = ShortcutFolder(source, productName, u"Desktop");
    proposal.origin = FolderProposalOrigin::DesktopShortcut;
  }
  if (!dir.empty()) {
    dir.pop_back();  // the shortcut's folder ends in a backslash; the text does not
    proposal.folder = dir;
    return proposal;
  }
  proposal.origin = FolderProposalOrigin::ProgramFiles;
  proposal.folder = DefaultInstallFolder(source.EnvironmentValue(u"PROGRAMFILES"), companyFolder, exeBaseName);
  return proposal;
}

const char* FolderProposalOriginText(FolderProposalOrigin origin) {
  switch (origin) {
    case FolderProposalOrigin::UninstallEntry: return "the uninstall entry of an earlier installation";
    case FolderProposalOrigin::QuickLaunchShortcut: return "the Quick Launch shortcut of an earlier installation";
    case FolderProposalOrigin::DesktopShortcut: return "the desktop shortcut of an earlier installation";
    case FolderProposalOrigin::ProgramFiles: return "the program-files folder";
  }
  return "?";
}

VersionRelation CompareVersions(const std::u16string& installed, const std::u16string& ours) {
  std::vector<uint64_t> a, b;
  if (!VersionParts(installed, a) || !VersionParts(ours, b)) return VersionRelation::Other;
  const size_t count = a.size() > b.size() ? a.size() : b.size();
  a.resize(count, 0);
  b.resize(count, 0);
  for (size_t i = 0; i < count; ++i) {
    if (a[i] < b[i]) return VersionRelation::Older;
    if (a[i] > b[i]) return VersionRelation::Newer;
  }
  return VersionRelation::Same;
}

}  // namespace vo
