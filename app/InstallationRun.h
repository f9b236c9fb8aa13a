#pragma once
// The installation run the wizard's Install button hands over to. Each
// installer executable links exactly one definition.

#include <string>

#include "wizard/InstallationContext.h"

namespace vo {

bool RunInstallation(const InstallationContext& context, const std::u16string& installDir,
                     const ProgressHandler& progress);

}  // namespace vo
