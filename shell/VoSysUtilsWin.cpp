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

std::u16string GetEnvironmentText(const std::u16string& name) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetEnvironmentVariableW(WStr(name), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return U16(buffer.data(), length);
    buffer.resize(length);
  }
}

std::u16string GetTempFolderPath() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, path);
  if (length == 0 || length > MAX_PATH) return {};
  std::u16string folder = U16(path, length);
  if (folder.back() != u'\\') folder += u'\\';
  return folder;
}

std::u16string GetExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return U16(buffer.data(), length);
    buffer.resize(buffer.size() * 2);  // the name was cut
  }
}

WindowsVersion GetWindowsVersion() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  WindowsVersion version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(&info)) return version;
#pragma GCC diagnostic pop
  version.major = static_cast<int>(info.dwMajorVersion);
  version.minor = static_cast<int>(info.dwMinorVersion);
  version.build = static_cast<int>(info.dwBuildNumber & 0xFFFF);
  info.szCSDVersion[127] = L'\0';
  version.servicePack = U16(info.szCSDVersion);
  return version;
}

std::u16string WindowsVersionText(const WindowsVersion& version) {
  const std::string number =
      std::to_string(version.major) + "." + std::to_string(version.minor) + "." + std::to_string(version.build);
  std::u16string text(number.begin(), number.end());
  if (!version.servicePack.empty()) text += u" " + version.servicePack;
  return text;
}

}  // namespace vo
