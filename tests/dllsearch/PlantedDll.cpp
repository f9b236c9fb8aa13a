// A DLL that stands in for one an attacker leaves in a Downloads folder: when
// a process loads it, it writes "<its file name>-<process id>.txt" holding
// its own path and the program's path into the folder named by the
// environment variable PLANTED_DLL_MARKERS (beside itself when unset). It
// exports nothing, so a program that really needs the DLL it replaces fails,
// but only after the marker is written.

#include <windows.h>

namespace {

void WriteMarker(HINSTANCE self) {
  wchar_t dllPath[MAX_PATH] = L"";
  wchar_t exePath[MAX_PATH] = L"";
  if (!::GetModuleFileNameW(self, dllPath, MAX_PATH)) return;
  ::GetModuleFileNameW(nullptr, exePath, MAX_PATH);
  const wchar_t* baseName = dllPath;
  for (const wchar_t* p = dllPath; *p; ++p) {
    if (*p == L'\\' || *p == L'/') baseName = p + 1;
  }

  wchar_t marker[2 * MAX_PATH] = L"";
  const DWORD folderLength = ::GetEnvironmentVariableW(L"PLANTED_DLL_MARKERS", marker, MAX_PATH);
  if (folderLength == 0 || folderLength >= MAX_PATH) {
    lstrcpynW(marker, dllPath, static_cast<int>(baseName - dllPath) + 1);
  } else {
    lstrcatW(marker, L"\\");
  }
  // "-<process id>.txt", digits written by hand so that the DLL needs
  // nothing beyond kernel32.
  wchar_t digits[16];
  int count = 0;
  for (DWORD id = ::GetCurrentProcessId(); count == 0 || id != 0; id /= 10) digits[count++] = L'0' + id % 10;
  wchar_t suffix[24] = L"-";
  for (int i = 0; i < count; ++i) suffix[1 + i] = digits[count - 1 - i];
  lstrcpyW(suffix + 1 + count, L".txt");
  lstrcatW(marker, baseName);
  lstrcatW(marker, suffix);

  HANDLE file = ::CreateFileW(marker, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char line[4 * MAX_PATH + 4];
  int length = ::WideCharToMultiByte(CP_UTF8, 0, dllPath, -1, line, sizeof line / 2, nullptr, nullptr);
  if (length > 0) line[length - 1] = '\n';
  const int second = ::WideCharToMultiByte(CP_UTF8, 0, exePath, -1, line + length, sizeof line / 2, nullptr, nullptr);
  if (second > 0) length += second - 1;
  DWORD written = 0;
  ::WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
  ::CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) WriteMarker(self);
  return TRUE;
}
