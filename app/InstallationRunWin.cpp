#include "app/InstallationRun.h"

#include <windows.h>

#include "app/Global.h"
#include "package/PackageExtractor.h"
#include "shell/ShellLinks.h"
#include "shell/UninstallEntry.h"
#include "shell/UniqueHandle.h"
#include "shell/VoSysUtils.h"

namespace vo {
namespace {

class EInstallationRun : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes the package that travels inside this executable to packageFile,
// straight from the mapped resource in one write.
void WritePackageResource(const std::u16string& packageFile) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, L"SetupPackage", L"StpFile");
  if (!resource) throw EInstallationRun("the SetupPackage resource is missing");
  const DWORD size = ::SizeofResource(module, resource);
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) throw EInstallationRun("the SetupPackage resource cannot be loaded");

  UniqueFile file(::CreateFileW(WStr(packageFile), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw EInstallationRun("the package file cannot be created");
  DWORD written = 0;
  if (!::WriteFile(file.get(), bytes, size, &written, nullptr) || written != size)
    throw EInstallationRun("the package file cannot be written");
}

// Deleting the package file never fails the run. Where the name turns out to
// be a directory link, the link itself is removed.
void DeletePackageFile(const std::u16string& packageFile) {
  if (::DeleteFileW(WStr(packageFile))) return;
  const DWORD error = ::GetLastError();
  const DWORD attributes = ::GetFileAttributesW(WStr(packageFile));
  const DWORD link = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & link) == link) {
    ::RemoveDirectoryW(WStr(packageFile));
  } else {
    ::SetLastError(error);
  }
}

}  // namespace

bool RunInstallation(const InstallationContext& context, const std::u16string& installDir,
                     const ProgressHandler& progress) {
  WizardView& view = context.view;
  view.SetButtonsEnabled(false);
  view.SetProgressVisible(true);
  view.ProcessPendingEvents();

  const std::u16string packageFile = installDir + u"Setup.stp";
  try {
    WritePackageResource(packageFile);
    ExtractPackage(packageFile, installDir, u"", progress);
    ::Sleep(50);
    DeletePackageFile(packageFile);
  } catch (...) {
    // The user sees one message whatever went wrong; the files written so far
    // and the package file stay, and Install can be tried again.
    ShowInfoMessage(context.texts.ExtractErrorText, u"");
    view.SetButtonsEnabled(true);
    view.SetProgressVisible(false);
    return false;
  }

  // Shortcuts and the uninstall entry are a convenience: a failure ends this
  // stage silently and the installation still counts as done.
  try {
    const ProductSettings& settings = context.settings;
    const std::u16string product = installDir + settings.ExeBaseName + u".exe";
    if (view.DesktopShortcutChecked()) CreateShortcut(product, u"", settings.ProductName, kDesktopFolder, u"");
    if (view.QuickLaunchVisible() && view.QuickLaunchChecked())
      CreateShortcut(product, u"", settings.ProductName, kQuickLaunchFolder, u"");
    UninstallProduct entry;
    entry.productName = settings.ProductName;
    entry.exeBaseName = settings.ExeBaseName;
    entry.productVersion = settings.ProductVersion;
    entry.uiLanguage = UiLanguage;
    RegisterUninstallEntry(entry, installDir);
  } catch (...) {
  }
  return true;
}

}  // namespace vo
