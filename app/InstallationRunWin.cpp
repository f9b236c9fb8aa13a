#include "app/InstallationRun.h"

#include <windows.h>

#include <exception>
#include <memory>

#include "app/CommandLine.h"
#include "app/EarlierInstallation.h"
#include "app/EmbeddedPackage.h"
#include "app/SetupLog.h"
#include "package/JournalingFileSystem.h"
#include "package/LoggingFileSystem.h"
#include "package/PackageExtractor.h"
#include "shell/ShellError.h"
#include "shell/ShellLinks.h"
#include "shell/UninstallEntry.h"
#include "shell/UniqueHandle.h"
#include "shell/VoSysUtils.h"

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

// Writes the package that travels inside this executable to packageFile,
// straight from the mapped resource in one write.
// Writes the package this installer carries to packageFile, copied from the
// executable's own file in slices: the memory it takes stays the same however
// large the package is.
void WritePackageResource(const std::u16string& packageFile) {
  const EmbeddedPackage embedded = FindEmbeddedPackage();
  std::unique_ptr<PackageInputFile> package = OpenEmbeddedPackage(embedded);
  if (!package) throw EInstallationRun("the installer carries no setup package (resource SETUPPACKAGE)");

  UniqueFile file(::CreateFileW(WStr(packageFile), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw EInstallationRun("cannot create the package file \"" + U8(packageFile) + "\": " + LastErrorText());
  constexpr size_t kSlice = size_t(1) << 20;
  std::unique_ptr<uint8_t[]> slice(new uint8_t[kSlice]);
  const int64_t size = package->Size();
  int64_t copied = 0;
  while (copied < size) {
    const size_t read = package->Read(slice.get(), kSlice);
    if (read == 0) throw EInstallationRun("the installer's package ended after " + std::to_string(copied) + " bytes");
    DWORD written = 0;
    if (!::WriteFile(file.get(), slice.get(), DWORD(read), &written, nullptr))
      throw EInstallationRun("cannot write the package file \"" + U8(packageFile) + "\": " + LastErrorText());
    if (written != read) {
      throw EInstallationRun("cannot write the package file \"" + U8(packageFile) + "\": only " +
                             std::to_string(copied + written) + " of " + std::to_string(size) + " bytes were taken");
    }
    copied += int64_t(read);
  }
  InstallerLog().Write("Wrote the package file " + U8(packageFile) + ", " + FormatLogBytes(size));
}

// Deleting the package file never fails the run. Where the name turns out to
// be a directory link, the link itself is removed.
void DeletePackageFile(const std::u16string& packageFile) {
  if (::DeleteFileW(WStr(packageFile))) {
    InstallerLog().Write("Deleted the package file " + U8(packageFile));
    return;
  }
  const DWORD error = ::GetLastError();
  const std::string why = U8(SystemErrorText(error)) + " (error " + std::to_string(error) + ")";
  const DWORD attributes = ::GetFileAttributesW(WStr(packageFile));
  const DWORD link = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & link) == link) {
    ::RemoveDirectoryW(WStr(packageFile));
  } else {
    ::SetLastError(error);
  }
  InstallerLog().Write("The package file " + U8(packageFile) + " stays: " + why);
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

// The extraction stage: write the package file, extract it, delete it.
// Raises with the cause (the member, the file, the Windows or zlib message).
// An upgrade in place goes through a journal and is rolled back on failure.
void ExtractionStage(const std::u16string& installDir, const ProgressHandler& progress, bool upgrading) {
  const std::u16string packageFile = installDir + u"Setup.stp";
  WritePackageResource(packageFile);
  std::unique_ptr<PackageFileSystem> platform = CreatePlatformFileSystem();
  LogObserver observer;
  JournalingFileSystem journal(*platform);
  LoggingFileSystem files(upgrading ? static_cast<PackageFileSystem&>(journal) : *platform, observer);
  ExtractProgressCallback report;
  if (progress) report = [&progress](int32_t percent) { progress(percent); };
  try {
    ExtractPackage(packageFile, installDir, u"", report, files);
  } catch (...) {
    if (upgrading) RollBackUpgrade(journal);
    throw;
  }
  if (upgrading) CommitUpgrade(journal);
  InstallerLog().Write("Extracted " + std::to_string(observer.files) + " files, " + FormatLogBytes(observer.total));
  ::Sleep(50);
  DeletePackageFile(packageFile);
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
    step = "the uninstall entry";
    UninstallProduct entry;
    entry.productName = settings.ProductName;
    entry.exeBaseName = settings.ExeBaseName;
    entry.productVersion = settings.ProductVersion;
    entry.publisher = settings.Publisher;
    entry.homePage = settings.HomePage;
    if (std::optional<int64_t> total = EmbeddedUnpackedTotal(FindEmbeddedPackage()))
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

void LogExtractionFailure(const std::string& cause) {
  InstallerLog().Write("Installation failed while extracting: " + cause +
                       "\nThe files written so far and the package file stay.");
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
  try {
    ExtractionStage(installDir, progress, earlier.UpgradesInPlace());
  } catch (const std::exception& e) {
    // The user sees one message whatever went wrong; the log has the cause.
    // The files written so far and the package file stay, and Install can be
    // tried again.
    LogExtractionFailure(e.what());
    ShowInfoMessage(context.texts.ExtractErrorText, u"");
    view.SetButtonsEnabled(true);
    view.SetProgressVisible(false);
    return false;
  } catch (...) {
    LogExtractionFailure("unknown error");
    ShowInfoMessage(context.texts.ExtractErrorText, u"");
    view.SetButtonsEnabled(true);
    view.SetProgressVisible(false);
    return false;
  }

  // Shortcuts and the uninstall entry are a convenience: a failure ends this
  // stage silently and the installation still counts as done.
  IntegrationStage(context.settings, installDir, view.DesktopShortcutChecked(),
                   view.QuickLaunchVisible() && view.QuickLaunchChecked());
  TidyEarlierInstallation(earlier, installDir);
  return true;
}

int RunUnattendedInstallation(const UnattendedInstallation& job) {
  InstallerLog().Write("Installing into " + U8(job.installDir));
  const EarlierInstallation earlier = SurveyEarlierInstallation(job.settings, job.installDir);
  try {
    ExtractionStage(job.installDir, nullptr, earlier.UpgradesInPlace());
  } catch (const std::exception& e) {
    LogExtractionFailure(e.what());
    return kExitExtractionFailed;
  } catch (...) {
    LogExtractionFailure("unknown error");
    return kExitExtractionFailed;
  }
  IntegrationStage(job.settings, job.installDir, job.desktopShortcut, job.quickLaunchShortcut);
  TidyEarlierInstallation(earlier, job.installDir);
  return kExitInstalled;
}

}  // namespace vo
