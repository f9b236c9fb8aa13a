#include "shell/VoSysUtils.h"

#include <windows.h>

#include <vector>

#include "shell/UniqueHandle.h"

namespace vo {
namespace {

std::u16string ExecutableBaseName() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::u16string name = U16(path, length < MAX_PATH ? length : 0);
  name.erase(0, name.find_last_of(u"\\/:") + 1);  // npos + 1 == 0
  const size_t dot = name.find_last_of(u'.');
  if (dot != std::u16string::npos) name.erase(dot);
  return name;
}

std::u16string& ApplicationTitle() {
  static std::u16string title = ExecutableBaseName();
  return title;
}

HWND gMainWindow = nullptr;

struct TaskWindows {
  HWND keep;
  std::vector<HWND> disabled;
};

BOOL CALLBACK DisableTaskWindow(HWND window, LPARAM param) {
  auto* task = reinterpret_cast<TaskWindows*>(param);
  if (window != task->keep && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
    ::EnableWindow(window, FALSE);
    task->disabled.push_back(window);
  }
  return TRUE;
}

}  // namespace

void SetApplicationTitle(const std::u16string& title) { ApplicationTitle() = title; }
std::u16string GetApplicationTitle() { return ApplicationTitle(); }
void SetApplicationMainWindow(void* window) { gMainWindow = static_cast<HWND>(window); }

void ShowInfoMessage(const std::u16string& text, const std::u16string& caption) {
  const std::u16string shownCaption = caption.empty() ? ApplicationTitle() : caption;
  HWND owner = ::GetActiveWindow();
  if (!owner) owner = gMainWindow;
  // MessageBoxW disables only its owner; the application's other top-level
  // windows are disabled here so the box is modal for all of them.
  TaskWindows task{owner, {}};
  ::EnumThreadWindows(::GetCurrentThreadId(), DisableTaskWindow, reinterpret_cast<LPARAM>(&task));
  ::MessageBoxW(owner, WStr(text), WStr(shownCaption), MB_OK | MB_ICONINFORMATION);
  for (HWND window : task.disabled) ::EnableWindow(window, TRUE);
  if (owner) ::SetActiveWindow(owner);
}

int64_t GetDriveFreeBytes(char letter) {
  const uint8_t number = uint8_t(uint8_t(letter) - 64);
  const wchar_t root[] = {wchar_t(uint8_t(number + 64)), L':', L'\\', L'\0'};
  ULARGE_INTEGER available, total, free;
  // A drive without a medium would otherwise ask the user to insert one.
  const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
  const BOOL ok = ::GetDiskFreeSpaceExW(number == 0 ? nullptr : root, &available, &total, &free);
  ::SetErrorMode(oldMode);
  return ok ? int64_t(available.QuadPart) : -1;
}

std::u16string GetFixedDriveLetters() {
  std::u16string letters;
  const DWORD drives = ::GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (DWORD(1) << i))) continue;
    const wchar_t root[] = {wchar_t(L'A' + i), L':', L'\\', L'\0'};
    if (::GetDriveTypeW(root) == DRIVE_FIXED) letters += char16_t(u'A' + i);
  }
  return letters;
}

std::u16string GetSystemDirPath() {
  wchar_t path[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return U16(path, length) + u"\\";
}

}  // namespace vo
