#include "wizard/DestinationFolder.h"

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

}  // namespace

FolderProposal ProposeInstallFolder(FolderProposalSource& source, const std::u16string& productName,
                                    const std::u16string& exeBaseName, const std::u16string& companyFolder) {
  FolderProposal proposal;
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
    case FolderProposalOrigin::QuickLaunchShortcut: return "the Quick Launch shortcut of an earlier installation";
    case FolderProposalOrigin::DesktopShortcut: return "the desktop shortcut of an earlier installation";
    case FolderProposalOrigin::ProgramFiles: return "the program-files folder";
  }
  return "?";
}

}  // namespace vo
