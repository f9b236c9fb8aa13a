#include "app/InstallationRun.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "app/CommandLine.h"
#include "app/EarlierInstallation.h"
#include "app/EmbeddedPackage.h"
#include "app/Global.h"
#include "app/SetupLog.h"
#include "package/CopyingFileSystem.h"
#include "package/JournalingFileSystem.h"
#include "package/LoggingFileSystem.h"
#include "package/PackageExtractor.h"
#include "shell/ShellError.h"
#include "shell/ShellLinks.h"
#include "shell/UninstallEntry.h"
#include "shell/UniqueHandle.h"
#include "shell/VoSysUtils.h"
#include "wizard/WizardTexts.h"

namespace vo {
namespace {

class EInstallationRun : public Error {
 public:
  using Error::Error;
};

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

// "The process cannot access the file ... (error 32)" for the log.
std::string LastErrorText() {
  const DWORD error = ::GetLastError();
  return U8(SystemErrorText(error)) + " (error " + std::to_string(error) + ")";
}

// The drive lacks room for the files; checked before the first write.
class ENotEnoughSpace : public EInstallationRun {
 public:
  ENotEnoughSpace(int64_t needed, int64_t available)
      : EInstallationRun("the destination drive has " + FormatLogBytes(available) + " free, and the files need " +
                         FormatLogBytes(needed)),
        fNeeded(needed),
        fAvailable(available) {}
  int64_t Needed() const { return fNeeded; }
  int64_t Available() const { return fAvailable; }

 private:
  int64_t fNeeded;
  int64_t fAvailable;
};

// Raises ENotEnoughSpace when the drive of installDir has less room than the
// package unpacks to. A drive whose free space cannot be read is not refused
// here: writing shows what is wrong.
void CheckFreeSpace(const std::u16string& installDir, int64_t needed) {
  ULARGE_INTEGER available = {};
  if (!::GetDiskFreeSpaceExW(WStr(installDir), &available, nullptr, nullptr)) {
    InstallerLog().Write("The free space of " + U8(installDir) + " cannot be read: " + LastErrorText());
    return;
  }
  const int64_t free = available.QuadPart > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(available.QuadPart);
  if (free < needed) throw ENotEnoughSpace(needed, free);
  InstallerLog().Write("Free space: " + FormatLogBytes(free) + ", needed " + FormatLogBytes(needed));
}

// Every folder and file the extractor puts on the disk, into the log.
class LogObserver final : public PackageFileObserver {
 public:
  void FolderCreated(const std::u16string& path) override { InstallerLog().Write("Created folder " + U8(path)); }
  void FileWritten(const std::u16string& path, int64_t bytes, bool writeFailed) override {
    if (writeFailed) {
      InstallerLog().Write("Left " + U8(path) + " incomplete after " + FormatLogBytes(bytes));
      return;
    }
    InstallerLog().Write("Wrote " + U8(path) + ", " + FormatLogBytes(bytes));
    ++files;
    total += bytes;
  }

  int files = 0;
  int64_t total = 0;
};

// The extraction stage: the package is extracted straight from the
// installer's own file, through the handle it was checked with; no copy of
// it is written. Raises with the cause (the member, the file, the Windows or
// zlib message). An upgrade in place goes through a journal and is rolled
// back on failure.
// Returns the uninstall list as extracted from the package (nothing when the
// package carries none).
std::optional<std::string> ExtractionStage(const std::u16string& installDir, const ProgressHandler& progress,
                                           bool upgrading) {
  InstallerImage& installer = RunningInstaller();
  if (std::optional<int64_t> needed = EmbeddedUnpackedTotal(installer)) CheckFreeSpace(installDir, *needed);
  std::unique_ptr<PackageFileSystem> platform = CreatePlatformFileSystem();
  LogObserver observer;
  JournalingFileSystem journal(*platform);
  LoggingFileSystem logged(upgrading ? static_cast<PackageFileSystem&>(journal) : *platform, observer);
  CopyingFileSystem files(logged, installDir + kUninstallListFileName);
  ExtractProgressCallback report;
  if (progress) report = [&progress](int32_t percent) { progress(percent); };
  try {
    ExtractPackage(installer.OpenPackage(), u"the installer's package", installDir, u"", report, files);
  } catch (...) {
    if (upgrading) RollBackUpgrade(journal);
    throw;
  }
  if (upgrading) CommitUpgrade(journal);
  InstallerLog().Write("Extracted " + std::to_string(observer.files) + " files, " + FormatLogBytes(observer.total) +
                       " from the installer's own file");
  return files.Copy();
}

void LogShortcut(const char* what, uint8_t location, const std::u16string& name) {
  std::u16string folder;
  try {
    folder = GetShellFolderPath(location);
  } catch (const std::exception&) {
  }
  if (folder.empty()) {
    InstallerLog().Write(std::string(what) + " shortcut not made: the folder is not known");
    return;
  }
  const std::u16string link = ShortcutLinkPath(folder, u"", ShortcutFileName(name));
  const DWORD attributes = ::GetFileAttributesW(WStr(link));
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    InstallerLog().Write(std::string(what) + " shortcut: " + U8(link));
  } else {
    InstallerLog().Write(std::string(what) + " shortcut not made: " + U8(link) +
                         " could not be saved (does its folder exist?)");
  }
}

// The Start menu shortcut, in the company's folder under the all-users
// Programs folder on every Windows version; named like the desktop one.
void MakeStartMenuShortcut(const ProductSettings& settings, const std::u16string& product) {
  const std::u16string link = CreateStartMenuShortcut(product, settings.ProductName, settings.CompanyFolder);
  if (!link.empty()) {
    InstallerLog().Write("Start menu shortcut: " + U8(link));
    return;
  }
  std::u16string programs;
  try {
    programs = GetShellFolderPath(kCommonProgramsFolder);
  } catch (const std::exception&) {
  }
  InstallerLog().Write(programs.empty() ? std::string("Start menu shortcut not made: the folder is not known")
                                        : "Start menu shortcut not made in " +
                                              U8(StartMenuShortcutFolder(programs, settings.CompanyFolder)) +
                                              " (no rights, or the folder cannot be made)");
}

// The integration stage: shortcuts and the uninstall entry. A failure ends
// the stage at the failing step and is only logged.
void IntegrationStage(const ProductSettings& settings, const std::u16string& installDir, bool desktopShortcut,
                      bool quickLaunchShortcut) {
  const char* step = "the desktop shortcut";
  try {
    const std::u16string product = installDir + settings.ExeBaseName + u".exe";
    if (desktopShortcut) {
      CreateShortcut(product, u"", settings.ProductName, kDesktopFolder, u"");
      LogShortcut("Desktop", kDesktopFolder, settings.ProductName);
    }
    step = "the Quick Launch shortcut";
    if (quickLaunchShortcut) {
      CreateShortcut(product, u"", settings.ProductName, kQuickLaunchFolder, u"");
      LogShortcut("Quick Launch", kQuickLaunchFolder, settings.ProductName);
    }
    step = "the Start menu shortcut";
    MakeStartMenuShortcut(settings, product);
    step = "the uninstall entry";
    UninstallProduct entry;
    entry.productName = settings.ProductName;
    entry.exeBaseName = settings.ExeBaseName;
    entry.productVersion = settings.ProductVersion;
    entry.publisher = settings.Publisher;
    entry.homePage = settings.HomePage;
    if (std::optional<int64_t> total = EmbeddedUnpackedTotal(RunningInstaller()))
      entry.estimatedSizeKb = EstimatedSizeKilobytes(*total);
    const size_t values = UninstallEntryValues(entry, installDir).size();
    const size_t written = RegisterUninstallEntry(entry, installDir);
    InstallerLog().Write("Uninstall entry HKEY_LOCAL_MACHINE\\" + U8(UninstallKeyPath(entry.productName)) + ": " +
                         std::to_string(written) + " of " + std::to_string(values) + " values written");
  } catch (const std::exception& e) {
    InstallerLog().Write(std::string("Could not make ") + step + ", which ends the shortcuts and the entry: " + e.what());
  } catch (...) {
    InstallerLog().Write(std::string("Could not make ") + step + ", which ends the shortcuts and the entry");
  }
}

// After an upgrade in place the journal has put the earlier version back;
// a first installation keeps what it wrote.
void LogExtractionFailure(const std::string& cause, bool upgrading) {
  InstallerLog().Write("Installation failed while extracting: " + cause +
                       (upgrading ? "\nThe earlier version is as it was before." : "\nThe files written so far stay."));
}

}  // namespace

bool RunInstallation(const InstallationContext& context, const std::u16string& installDir,
                     const ProgressHandler& progress) {
  WizardView& view = context.view;
  view.SetButtonsEnabled(false);
  view.SetProgressVisible(true);
  view.ProcessPendingEvents();

  InstallerLog().Write("Installing into " + U8(installDir));
  const EarlierInstallation earlier = SurveyEarlierInstallation(context.settings, installDir);
  std::optional<std::string> writtenList;
  try {
    writtenList = ExtractionStage(installDir, progress, earlier.UpgradesInPlace());
  } catch (const ENotEnoughSpace& e) {
    InstallerLog().Write(std::string("Nothing was written: ") + e.what());
    ShowInfoMessage(NotEnoughSpaceText(UiLanguage, FormatByteSize(e.Needed()), FormatByteSize(e.Available())), u"");
    view.SetButtonsEnabled(true);
    view.SetProgressVisible(false);
    return false;
  } catch (const std::exception& e) {
    // The user sees one message whatever went wrong; the log has the cause.
    // A first installation keeps the files written so far, an upgrade in
    // place has been rolled back, and Install can be tried again.
    LogExtractionFailure(e.what(), earlier.UpgradesInPlace());
    ShowInfoMessage(context.texts.ExtractErrorText, u"");
    view.SetButtonsEnabled(true);
    view.SetProgressVisible(false);
    return false;
  } catch (...) {
    LogExtractionFailure("unknown error", earlier.UpgradesInPlace());
    ShowInfoMessage(context.texts.ExtractErrorText, u"");
    view.SetButtonsEnabled(true);
    view.SetProgressVisible(false);
    return false;
  }

  // Shortcuts and the uninstall entry are a convenience: a failure ends this
  // stage silently and the installation still counts as done.
  IntegrationStage(context.settings, installDir, view.DesktopShortcutChecked(),
                   view.QuickLaunchVisible() && view.QuickLaunchChecked());
  TidyEarlierInstallation(earlier, installDir, writtenList);
  return true;
}

int RunUnattendedInstallation(const UnattendedInstallation& job) {
  InstallerLog().Write("Installing into " + U8(job.installDir));
  const EarlierInstallation earlier = SurveyEarlierInstallation(job.settings, job.installDir);
  std::optional<std::string> writtenList;
  try {
    writtenList = ExtractionStage(job.installDir, nullptr, earlier.UpgradesInPlace());
  } catch (const ENotEnoughSpace& e) {
    InstallerLog().Write(std::string("Nothing was written: ") + e.what());
    return kExitExtractionFailed;
  } catch (const std::exception& e) {
    LogExtractionFailure(e.what(), earlier.UpgradesInPlace());
    return kExitExtractionFailed;
  } catch (...) {
    LogExtractionFailure("unknown error", earlier.UpgradesInPlace());
    return kExitExtractionFailed;
  }
  IntegrationStage(job.settings, job.installDir, job.desktopShortcut, job.quickLaunchShortcut);
  TidyEarlierInstallation(earlier, job.installDir, writtenList);
  return kExitInstalled;
}

}  // namespace vo
