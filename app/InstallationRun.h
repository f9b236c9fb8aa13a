#pragma once
// The installation run: the wizard's, behind its Install button, and the
// silent one. Each installer executable links exactly one definition of both
// (the real one, or a stand-in for the GUI tests).

#include <string>

#include "settings/ProductSettings.h"
#include "wizard/InstallationContext.h"

namespace vo {

bool RunInstallation(const InstallationContext& context, const std::u16string& installDir,
                     const ProgressHandler& progress);

// A run without a window: what the wizard's run does after Install, with the
// shortcuts chosen up front and everything told to the setup log only.
struct UnattendedInstallation {
  const ProductSettings& settings;
  std::u16string installDir;  // ends in a backslash and exists
  bool desktopShortcut = true;
  bool quickLaunchShortcut = false;
};

// Returns kExitInstalled, or kExitExtractionFailed when the package could not
// be extracted or the drive lacks room for it (a first installation keeps the
// files written so far, as after a failed wizard run; an upgrade in place is
// rolled back). Shortcut and entry failures are logged and do not count.
// Raises nothing.
int RunUnattendedInstallation(const UnattendedInstallation& job);

}  // namespace vo
