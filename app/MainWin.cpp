// The installer's entry point: language, running-product guard, then the
// wizard window and its event loop. Every path ends with exit code 0.

#include <windows.h>

#include <exception>
#include <string>

#include "app/Global.h"
#include "app/InstallationRun.h"
#include "settings/ProductSettings.h"
#include "shell/SystemLibrary.h"
#include "shell/UniqueHandle.h"
#include "wizard/SetupForm.h"

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

void RunWizard(HINSTANCE instance) {
  HICON icon = ::LoadIconW(instance, L"AppIcon");
  TForm1 form(instance, icon, RunInstallation);
  try {
    form.Create(UiLanguage);
  } catch (const EProductSettingError& e) {
    // An invalid setting 1009: refuse to start, naming the text.
    ::MessageBoxW(nullptr, WStr(e.Message()), WStr(StartupCaption(UiLanguage)), MB_OK | MB_ICONERROR);
    return;
  } catch (const std::exception& e) {
    ::MessageBoxW(nullptr, WStr(FromUtf8(e.what())), WStr(StartupCaption(UiLanguage)), MB_OK | MB_ICONERROR);
    return;
  }
  form.Show();
  RunEventLoop(form);
}

void RunInstaller(HINSTANCE instance) {
  ComApartment com;  // the shell link and folder picker need COM on this thread
  UiLanguage = UiLanguageFromCodePage(::GetACP());
  RunningWindowClass = LoadProductSetting(kSettingRunningWindowClass);
  RunningWindowTitle = LoadProductSetting(kSettingRunningWindowTitle);
  RunningWindowTitleAlt = LoadProductSetting(kSettingRunningWindowTitleAlt);
  FoundRunningTitle.clear();
  FoundRunningTitle = FindRunningTitle(
      [](const std::u16string& windowClass, const std::u16string& title) {
        return ::FindWindowW(WStr(windowClass), WStr(title)) != nullptr;
      },
      RunningWindowClass, RunningWindowTitle, RunningWindowTitleAlt);
  if (FoundRunningTitle.empty()) {
    RunWizard(instance);
    return;
  }
  const MessageBoxText box = RunningProductMessage(UiLanguage, FoundRunningTitle, RunningWindowTitle);
  ::MessageBoxW(nullptr, WStr(box.text), WStr(box.caption), MB_OK);
}

}  // namespace
}  // namespace vo

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  vo::RestrictDllSearchToSystemFolder();
  vo::RunInstaller(instance);
  return 0;
}
