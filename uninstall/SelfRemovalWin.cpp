// A running program cannot delete its own executable: Windows keeps the image
// file open while the process lives. So Uninst.exe, once it has removed
// everything else, copies itself into the temporary folder and starts that
// copy with "/_cleanup=<handle> <path of Uninst.exe>", where the handle is an
// inherited, waitable handle of the original process. The original then ends;
// the copy waits for it, deletes Uninst.exe and removes the install folder if
// that is now empty, and then the company folder above it when the
// uninstaller names one ("/_company=<folder>") and it is empty too.
//
// The copy deletes itself without a reboot: the original opens it with
// FILE_FLAG_DELETE_ON_CLOSE and lets the copy inherit that handle, so the file
// goes when the copy's last handle closes, that is when the copy ends. The
// loader opens the image with delete sharing, so the copy still starts. Should
// that open fail, the copy instead asks for its deletion at the next restart
// (MOVEFILE_DELAY_UNTIL_REBOOT). Both work on Windows and under Wine.

#include "uninstall/WindowsUninstallSystem.h"

#include <windows.h>

#include <cstdint>

#include "shell/ShellLinks.h"
#include "shell/UniqueHandle.h"
#include "uninstall/Removal.h"

namespace vo {

namespace {

// The image of a process that has just ended can stay locked for a moment.
const int kDeleteAttempts = 50;
const DWORD kDeleteRetryMs = 100;

std::u16string TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  return length == 0 || length > MAX_PATH ? std::u16string() : U16(buffer, length);
}

}  // namespace

bool StartSelfRemoval(const std::u16string& selfPath, const std::u16string& companyFolder) {
  const std::u16string tempFolder = TempFolder();
  if (tempFolder.empty()) return false;
  wchar_t copy[MAX_PATH] = {};
  if (!::GetTempFileNameW(WStr(tempFolder), L"uni", 0, copy)) return false;
  if (!::CopyFileW(WStr(selfPath), copy, FALSE)) {
    ::DeleteFileW(copy);
    return false;
  }

  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  UniqueFile deleteOnClose(::CreateFileW(copy, 0, FILE_SHARE_READ | FILE_SHARE_DELETE, &inheritable, OPEN_EXISTING,
                                         FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  UniqueHandle self;
  if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), self.put(), SYNCHRONIZE,
                         TRUE, 0)) {
    if (!deleteOnClose) ::DeleteFileW(copy);
    return false;
  }

  std::u16string commandLine = u"\"" + U16(copy) + u"\" /_cleanup=";
  const std::string handleText = std::to_string(uintptr_t(self.get()));
  commandLine += std::u16string(handleText.begin(), handleText.end()) + u" \"" + selfPath + u"\"";
  if (!deleteOnClose) commandLine += u" /_reboot";
  if (!companyFolder.empty()) commandLine += u" \"/_company=" + companyFolder + u"\"";

  // Only the two handles above are for the copy: a script that reads this
  // process's output must not also wait for the copy.
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    const HANDLE standard = ::GetStdHandle(which);
    if (standard && standard != INVALID_HANDLE_VALUE) ::SetHandleInformation(standard, HANDLE_FLAG_INHERIT, 0);
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::u16string mutableLine = commandLine;  // CreateProcessW may write into it
  // The copy runs in the temporary folder: a process's current folder cannot
  // be removed, and the install folder is what it is about to remove.
  if (!::CreateProcessW(copy, reinterpret_cast<wchar_t*>(&mutableLine[0]), nullptr, nullptr, TRUE, 0, nullptr, WStr(tempFolder), &startup,
                        &process)) {
    if (!deleteOnClose) ::DeleteFileW(copy);
    return false;  // closing deleteOnClose removes the copy
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

int RunSelfRemovalHelper(unsigned long waitHandle, const std::u16string& target, bool deleteSelfAtReboot,
                         const std::u16string& companyFolder) {
  UniqueHandle original(reinterpret_cast<HANDLE>(uintptr_t(waitHandle)));
  // Without a process to wait for this was not started by StartSelfRemoval:
  // delete nothing.
  if (::WaitForSingleObject(original.get(), INFINITE) != WAIT_OBJECT_0) return 1;

  for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
    if (::DeleteFileW(WStr(target)) || ::GetLastError() == ERROR_FILE_NOT_FOUND) break;
    ::Sleep(kDeleteRetryMs);
  }
  ::RemoveDirectoryW(WStr(WithoutTrailingBackslash(PathFolderPart(target))));  // only when empty
  if (!companyFolder.empty()) ::RemoveDirectoryW(WStr(companyFolder));         // likewise

  if (deleteSelfAtReboot) ::MoveFileExW(WStr(RunningExecutablePath()), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return 0;
}

}  // namespace vo
