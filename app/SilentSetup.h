#pragma once
// The silent installation (/S): no window at all, no message box, no COM
// user interface. What the wizard would have asked is taken as proposed: the
// folder the wizard proposes (or /D=), the shortcuts it ticks by default
// (desktop, and Quick Launch where the wizard offers it, before Windows 6),
// and no launch at the end. Everything goes to the setup log.

#include "app/CommandLine.h"

namespace vo {

// Windows only. Runs after the running-product guard; returns the exit code
// (kExitInstalled, kExitExtractionFailed or kExitDamaged).
int RunSilentSetup(const SetupCommandLine& command);

}  // namespace vo
