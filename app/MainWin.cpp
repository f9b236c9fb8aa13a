// The installer's entry point: language, command line, setup log,
// running-product guard, then either the wizard window and its event loop or
// the silent installation. Without arguments every path ends with exit code
// 0, as the installer always did; with arguments the exit code tells the
// outcome (SetupExitCode).

#include <windows.h>

#include <chrono>
#include <optional>
#include <exception>
#include <string>

#include "app/CommandLine.h"
#include "app/EmbeddedPackage.h"
#include "app/Global.h"
#include "app/InstallationRun.h"
#include "app/SetupLog.h"
#include "app/SilentSetup.h"
#include "settings/ProductSettings.h"
#include "shell/SystemLibrary.h"
#include "shell/UniqueHandle.h"
#include "shell/VoSysUtils.h"
#include "wizard/SetupForm.h"
#include "wizard/WizardTexts.h"

namespace vo {
namespace {

std::u16string FromUtf8(const char* text) {
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (length <= 1) return {};
  std::u16string wide(static_cast<size_t>(length), u'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text, -1, reinterpret_cast<wchar_t*>(&wide[0]), length);
  wide.resize(static_cast<size_t>(length) - 1);  // the terminating zero
  return wide;
}

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

std::u16string FileNameOf(const std::u16string& path) { return path.substr(path.find_last_of(u"\\/:") + 1); }

bool EqualsIgnoringCase(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// The base name the default log takes when the settings cannot be trusted:
// the installer's file name without ".exe" and a trailing "Setup", so that
// DrawvaneSetup.exe still logs to DrawvaneSetup.log.
std::u16string LogNameOfInstaller(const std::u16string& installerPath) {
  std::u16string name = FileNameOf(installerPath);
  for (const char16_t* suffix : {u".exe", u"Setup"}) {
    const std::u16string tail(suffix);
    if (name.size() > tail.size() && EqualsIgnoringCase(name.substr(name.size() - tail.size()), tail)) {
      name.erase(name.size() - tail.size());
    }
  }
  return name;
}

// The event loop: queued messages first; when the queue is empty the idle
// handler refreshes the wizard once, then the thread sleeps until the next
// message.
void RunEventLoop(TForm1& form) {
  MSG message;
  for (;;) {
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return;
      DispatchWizardMessage(form, message);
    }
    form.ApplicationEvents1Idle();
    ::WaitMessage();
  }
}

// A box that refuses to start, in the caption of the start-up messages.
void ShowStartupError(const std::u16string& text) {
  ::MessageBoxW(nullptr, WStr(text), WStr(StartupCaption(UiLanguage)), MB_OK | MB_ICONERROR);
}

// The folder the wizard puts in its box, as the silent run logs it; the
// user may still change it before Install.
void LogWizardProposal(const std::optional<FolderProposal>& proposal) {
  if (!proposal) return;  // /D= gave the folder, logged as such
  InstallerLog().Write("Destination folder (proposed from " + std::string(FolderProposalOriginText(proposal->origin)) +
                       "): " + U8(proposal->folder));
}

int RunWizard(HINSTANCE instance, const SetupCommandLine& command) {
  SetupLog& log = InstallerLog();
  // The package is hashed on a worker thread while the user reads the first
  // pages; Install waits for the verdict before it makes the folder.
  InstallerImage& installer = RunningInstaller();
  BackgroundDigestCheck digest([&installer] { return installer.OpenPackage(); }, installer.PackageDigest());

  WizardStart start;
  start.presetFolder = command.installFolder;
  if (std::optional<int64_t> total = EmbeddedUnpackedTotal(installer)) {
    start.requiredSpaceFallback = FormatByteSize(*total);
    log.Write("The package unpacks to " + FormatLogBytes(*total));
  }
  start.packageCheck = [&digest, &log, &installer]() {
    // Usually long done; on a large package clicked through quickly, the
    // user sees the wait cursor for the rest of the hash.
    const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    const auto waitStart = std::chrono::steady_clock::now();
    const DigestCheckResult& result = digest.Wait();
    ::SetCursor(previous);
    const int waited = int(std::chrono::duration<double>(std::chrono::steady_clock::now() - waitStart).count() * 1000);
    log.Write("Package check: " + result.detail +
              (result.verdict == DigestVerdict::NotChecked
                   ? std::string()
                   : " (hashed in " + std::to_string(int(result.seconds * 1000)) + " ms; Install waited " +
                         std::to_string(waited) + " ms)"));
    if (result.verdict == DigestVerdict::Damaged) {
      log.Write("The installer is damaged; nothing was written.");
      return false;
    }
    if (std::optional<std::string> fault = PackageTableFault(installer)) {
      log.Write("The installer is damaged: " + *fault + "\nThe installer is damaged; nothing was written.");
      return false;
    }
    return true;
  };
  if (!command.installFolder.empty()) log.Write("Destination folder (/D=): " + U8(command.installFolder));

  try {
    const ProductSettings settings = ReadProductSettings(LoadProductSetting, UiLanguage);
    log.Write(FormatSettingsEntry(settings, {RunningWindowClass, RunningWindowTitle, RunningWindowTitleAlt}, UiLanguage));
  } catch (const std::exception&) {
    // The wizard's set-up reports it below.
  }

  HICON icon = ::LoadIconW(instance, L"AppIcon");
  TForm1 form(instance, icon, RunInstallation, std::move(start));
  try {
    form.Create(UiLanguage);
  } catch (const EProductSettingError& e) {
    // An invalid setting 1009: refuse to start, naming the text.
    log.Write("The installer's product settings are invalid: " + U8(e.Message()));
    ShowStartupError(e.Message());
    return kExitDamaged;
  } catch (const std::exception& e) {
    log.Write(std::string("The wizard cannot start: ") + e.what());
    ShowStartupError(FromUtf8(e.what()));
    return kExitDamaged;
  }
  LogWizardProposal(form.Proposal());
  form.Show();
  RunEventLoop(form);
  switch (form.Outcome()) {
    case WizardOutcome::Installed: return kExitInstalled;
    case WizardOutcome::Cancelled: log.Write("The wizard was closed before it installed"); return kExitCancelled;
    case WizardOutcome::ExtractionFailed:
      log.Write("The wizard was closed after the installation failed");
      return kExitExtractionFailed;
    case WizardOutcome::Damaged: return kExitDamaged;
  }
  return kExitCancelled;
}

int RunInstaller(HINSTANCE instance, const std::u16string& commandLine, const SetupCommandLine& command) {
  UiLanguage = UiLanguageFromCodePage(::GetACP());
  // The shell link object and the folder picker need COM on this thread. The
  // silent run takes a multithreaded apartment, which makes no hidden window.
  ComApartment com(command.silent ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED);

  const std::u16string installerPath = GetExecutablePath();
  // Nothing is read from the installer's resources before the installer has
  // checked its own file: a damaged one logs under its file's name.
  InstallerImage& installer = RunningInstaller();
  const bool intact = installer.Check().intact;
  const std::u16string defaultLog = DefaultLogPath(
      GetTempFolderPath(), intact ? LoadProductSetting(kSettingExeBaseName) : LogNameOfInstaller(installerPath));
  // Earlier runs' logs stay beside the default one; a /LOG= file is the
  // caller's to keep.
  if (command.logFile.empty()) ShiftEarlierLogFiles(defaultLog);
  OpenInstallerLogFile(command.logFile.empty() ? defaultLog : command.logFile);
  SetupLog& log = InstallerLog();
  SetupStartInfo info;
  info.time = LocalLogTime();
  info.installerPath = installerPath;
  info.arguments = CommandArguments(commandLine);
  info.windowsVersion = WindowsVersionText(GetWindowsVersion());
  info.uiLanguage = UiLanguage;
  info.codePage = ::GetACP();
  info.silent = command.silent;
  log.Write(FormatStartEntries(info));
  if (!intact) {
    log.Write("The installer is damaged: " + installer.Check().detail + "\nNothing was read from it and nothing was written.");
    if (!command.silent) ShowStartupError(MakeWizardTexts(UiLanguage).DamagedInstallerText);
    return kExitDamaged;
  }
  log.Write("Installer check: " + installer.Check().detail);

  const std::u16string usage = SetupUsageText(UiLanguage, FileNameOf(installerPath), defaultLog);
  if (!command.Valid()) {
    const std::u16string fault = CommandLineFaultText(UiLanguage, command);
    log.Write("Bad command line: " + U8(CommandLineFaultText(kUiEnglish, command)));
    if (!command.silent) ShowStartupError(fault + u"\n\n" + usage);
    return kExitBadCommandLine;
  }
  if (command.help) {
    log.Write(command.silent ? "Usage asked for (/?) with /S, so not shown; nothing installed"
                             : "Usage shown (/?); nothing installed");
    if (!command.silent) {
      ::MessageBoxW(nullptr, WStr(usage), WStr(StartupCaption(UiLanguage)), MB_OK | MB_ICONINFORMATION);
    }
    return kExitBadCommandLine;
  }

  RunningWindowClass = LoadProductSetting(kSettingRunningWindowClass);
  RunningWindowTitle = LoadProductSetting(kSettingRunningWindowTitle);
  RunningWindowTitleAlt = LoadProductSetting(kSettingRunningWindowTitleAlt);
  FoundRunningTitle.clear();
  FoundRunningTitle = FindRunningTitle(
      [](const std::u16string& windowClass, const std::u16string& title) {
        return ::FindWindowW(WStr(windowClass), WStr(title)) != nullptr;
      },
      RunningWindowClass, RunningWindowTitle, RunningWindowTitleAlt);
  if (!FoundRunningTitle.empty()) {
    log.Write("The product is running (a window of class \"" + U8(RunningWindowClass) + "\" titled \"" +
              U8(FoundRunningTitle) + "\" is open); nothing was done");
    if (!command.silent) {
      const MessageBoxText box = RunningProductMessage(UiLanguage, FoundRunningTitle, RunningWindowTitle);
      ::MessageBoxW(nullptr, WStr(box.text), WStr(box.caption), MB_OK);
    }
    return kExitProductRunning;
  }

  return command.silent ? RunSilentSetup(command) : RunWizard(instance, command);
}

// The exit code of the run: without arguments always 0, as it always was.
int FinishInstaller(const SetupCommandLine& command, int outcome) {
  const int exitCode = command.bare ? kExitInstalled : outcome;
  InstallerLog().Write("Setup ends with exit code " + std::to_string(exitCode) +
                       (exitCode == outcome ? std::string() : " (outcome " + std::to_string(outcome) +
                                                                  "; a run without arguments always ends with 0)"));
  return exitCode;
}

}  // namespace
}  // namespace vo

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  vo::RestrictDllSearchToSystemFolder();  // before anything can load a DLL
  const std::u16string commandLine = vo::U16(::GetCommandLineW());
  const vo::SetupCommandLine command = vo::ParseSetupCommandLine(commandLine);
  return vo::FinishInstaller(command, vo::RunInstaller(instance, commandLine, command));
}
