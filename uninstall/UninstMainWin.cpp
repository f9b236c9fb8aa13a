// Uninst.exe: removes the product installed in its own folder, as listed in
// Uninst.lst beside it. "Uninst.exe" asks once and ends with an account of
// what was removed; "Uninst.exe /S" asks nothing, writes that account to its
// standard output (when it has one) and tells the outcome in its exit code
// (UninstallExitCode).

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "shell/ShellError.h"
#include "shell/ShellLinks.h"
#include "shell/SystemLibrary.h"
#include "shell/UniqueHandle.h"
#include "uninstall/Removal.h"
#include "uninstall/UninstallCommandLine.h"
#include "uninstall/UninstallList.h"
#include "uninstall/UninstallTexts.h"
#include "uninstall/WindowsUninstallSystem.h"

namespace vo {
namespace {

std::vector<std::u16string> CommandArguments() {
  std::vector<std::u16string> arguments;
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!argv) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(U16(argv[i]));
  ::LocalFree(argv);
  return arguments;
}

class Uninstaller {
 public:
  Uninstaller(const UninstallCommand& command, int uiLanguage) : fCommand(command), fLanguage(uiLanguage) {}

  // Shows text in a message box, or in the silent form writes it to the
  // standard output as UTF-8; returns exitCode.
  int Tell(const std::u16string& text, UINT icon, int exitCode) const {
    if (fCommand.silent) {
      const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
      if (out && out != INVALID_HANDLE_VALUE) {
        const std::string bytes = Utf16ToUtf8(text) + "\r\n";
        DWORD written = 0;
        ::WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr);
      }
    } else {
      ::MessageBoxW(nullptr, WStr(text), WStr(UninstallCaption(fLanguage)), MB_OK | icon | MB_SETFOREGROUND);
    }
    return exitCode;
  }

  int Run() {
    const std::u16string self = RunningExecutablePath();
    const std::u16string installDir = PathFolderPart(self);
    const std::u16string listPath = installDir + kUninstallListFileName;
    UninstallList list;
    try {
      list = ParseUninstallList(ReadWholeFile(listPath));
    } catch (const EUninstallList& error) {
      return Tell(ListUnreadableText(listPath, error.what(), fLanguage), MB_ICONERROR, kListUnreadable);
    }

    const std::u16string found = FoundRunningTitle(list, [](const std::u16string& windowClass, const std::u16string& title) {
      return ::FindWindowW(WStr(windowClass), WStr(title)) != nullptr;
    });
    if (!found.empty())
      return Tell(ProductRunningText(found, list.windowTitle, fLanguage), MB_ICONEXCLAMATION, kProductRunning);

    const std::u16string productName = list.ProductName(fLanguage);
    if (!fCommand.silent &&
        ::MessageBoxW(nullptr, WStr(ConfirmRemovalText(productName, fLanguage)), WStr(UninstallCaption(fLanguage)),
                      MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
      return kUninstallCancelled;

    // A process's current folder cannot be removed; leave the install tree.
    wchar_t temp[MAX_PATH + 1] = {};
    if (::GetTempPathW(MAX_PATH + 1, temp)) ::SetCurrentDirectoryW(temp);

    ComApartment com;  // the shell link object reads the shortcuts
    WindowsUninstallSystem system;
    RemovalReport report = RunRemoval(list, installDir, self, system);
    if (!report.selfPath.empty() && !StartSelfRemoval(report.selfPath, report.companyFolderPending))
      report.SelfRemovalFailed();
    return Tell(RemovalSummaryText(productName, report, fLanguage),
                report.Complete() ? MB_ICONINFORMATION : MB_ICONWARNING, report.ExitCode());
  }

 private:
  UninstallCommand fCommand;
  int fLanguage;
};

}  // namespace
}  // namespace vo

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // It runs from the install folder and, as a copy, from %TEMP%: no DLL from either.
  vo::RestrictDllSearchToSystemFolder();
  const vo::UninstallCommand command = vo::ParseUninstallCommand(vo::CommandArguments());
  if (command.cleanup)
    return vo::RunSelfRemovalHelper(command.waitHandle, command.cleanupTarget, command.deleteSelfAtReboot,
                                    command.companyFolder);
  const int uiLanguage = vo::UiLanguageForCodePage(::GetACP());
  vo::Uninstaller uninstaller(command, uiLanguage);
  try {
    return uninstaller.Run();
  } catch (const std::exception& error) {
    const std::u16string text = vo::Utf8ToUtf16(error.what()).value_or(u"?");
    return uninstaller.Tell(text, MB_ICONERROR, vo::kUninstallPartial);
  }
}
