// The installation run of the GUI test installer: it does what the wizard
// sees of a run (buttons disabled, progress bar shown and advanced, one pass
// over pending events) without a package. A file named "fail-extraction" in
// the destination folder makes it fail the way a failed extraction does; the
// silent run likewise, with the same exit code as a real one.

#include <windows.h>

#include "app/CommandLine.h"
#include "app/InstallationRun.h"
#include "app/SetupLog.h"
#include "shell/UniqueHandle.h"
#include "shell/VoSysUtils.h"

namespace vo {

bool RunInstallation(const InstallationContext& context, const std::u16string& installDir,
                     const ProgressHandler& progress) {
  context.view.SetButtonsEnabled(false);
  context.view.SetProgressVisible(true);
  context.view.ProcessPendingEvents();
  const std::u16string failMarker = installDir + u"fail-extraction";
  if (::GetFileAttributesW(WStr(failMarker)) != INVALID_FILE_ATTRIBUTES) {
    progress(38);
    ShowInfoMessage(context.texts.ExtractErrorText, u"");
    context.view.SetButtonsEnabled(true);
    context.view.SetProgressVisible(false);
    return false;
  }
  for (int percent : {0, 12, 38, 75, 100}) progress(percent);
  return true;
}

int RunUnattendedInstallation(const UnattendedInstallation& job) {
  InstallerLog().Write("Simulated installation into " + Utf16ToUtf8(job.installDir));
  if (::GetFileAttributesW(WStr(job.installDir + u"fail-extraction")) != INVALID_FILE_ATTRIBUTES) {
    InstallerLog().Write("Installation failed while extracting: simulated failure");
    return kExitExtractionFailed;
  }
  return kExitInstalled;
}

}  // namespace vo
