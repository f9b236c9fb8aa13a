#include "app/SilentSetup.h"

#include <windows.h>

#include "app/EmbeddedPackage.h"
#include "app/Global.h"
#include "app/InstallationRun.h"
#include "app/SetupLog.h"
#include "shell/ShellError.h"
#include "shell/ShellLinks.h"
#include "shell/UniqueHandle.h"
#include "shell/VoSysUtils.h"
#include "wizard/DestinationFolder.h"
#include "wizard/WizardController.h"
#include "wizard/WizardSystemWin.h"

namespace vo {
namespace {

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

bool IsFullPath(const std::u16string& folder) {
  return (folder.size() >= 3 && folder[1] == u':' && folder[2] == u'\\') ||
         (folder.size() >= 3 && folder[0] == u'\\' && folder[1] == u'\\');
}

}  // namespace

int RunSilentSetup(const SetupCommandLine& command) {
  SetupLog& log = InstallerLog();
  ProductSettings settings;
  try {
    settings = ReadProductSettings(LoadProductSetting, UiLanguage);
  } catch (const EProductSettingError& e) {
    log.Write("The installer's product settings are invalid: " + U8(e.Message()) + "\nNothing was written.");
    return kExitDamaged;
  }
  log.Write(FormatSettingsEntry(settings, {RunningWindowClass, RunningWindowTitle, RunningWindowTitleAlt}, UiLanguage));

  // The package is checked before anything is written, through the
  // installer's own file, which the extraction reads too.
  InstallerImage& installer = RunningInstaller();
  const DigestCheckResult check =
      CheckPackageDigest([&installer] { return installer.OpenPackage(); }, installer.PackageDigest());
  log.Write("Package check: " + check.detail + " (" + std::to_string(int(check.seconds * 1000)) + " ms)");
  if (check.verdict != DigestVerdict::Intact) {
    log.Write("The installer is damaged; download it again. Nothing was written.");
    return kExitDamaged;
  }
  if (std::optional<std::string> fault = PackageTableFault(installer)) {
    log.Write("The installer is damaged: " + *fault + "\nNothing was written.");
    return kExitDamaged;
  }
  if (std::optional<int64_t> total = EmbeddedUnpackedTotal(installer))
    log.Write("The package unpacks to " + FormatLogBytes(*total));

  std::u16string folder = command.installFolder;
  if (!folder.empty()) {
    log.Write("Destination folder (/D=): " + U8(folder));
  } else {
    WindowlessProposalSource source;
    const FolderProposal proposal = ProposeInstallFolder(source, settings.ProductName, settings.ExeBaseName,
                                                         settings.CompanyFolder);
    folder = proposal.folder;
    log.Write("Destination folder (proposed from " + std::string(FolderProposalOriginText(proposal.origin)) +
              "): " + U8(folder));
    if (proposal.origin == FolderProposalOrigin::UninstallEntry) {
      log.Write("Installed there: version " + U8(proposal.installedVersion) + " (" + U8(proposal.entryWhere) +
                "); it is replaced by " + U8(settings.ProductVersion));
    }
    if (!IsFullPath(folder)) {
      log.Write("The proposed folder is not a full path (is PROGRAMFILES set?); give the folder with /D=. "
                "Nothing was written.");
      return kExitExtractionFailed;
    }
  }
  const std::u16string installDir = WizardController::NormalizeInstallDir(folder);
  const DWORD attributes = ::GetFileAttributesW(WStr(installDir));
  const bool existed = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!ForceDirectories(installDir)) {
    const DWORD error = ::GetLastError();
    log.Write("Cannot create the destination folder " + U8(installDir) + ": " + U8(SystemErrorText(error)) +
              " (error " + std::to_string(error) + "). Nothing was written.");
    return kExitExtractionFailed;
  }
  if (!existed) log.Write("Created the destination folder " + U8(installDir));

  // The shortcuts the wizard ticks by default; Quick Launch only where it
  // shows that box.
  const WindowsVersion windows = GetWindowsVersion();
  UnattendedInstallation job{settings, installDir, true, windows.major < 6};
  log.Write(std::string("Shortcuts: desktop") + (job.quickLaunchShortcut ? ", Quick Launch" : "") +
            "; the product is not started at the end");
  return RunUnattendedInstallation(job);
}

}  // namespace vo
