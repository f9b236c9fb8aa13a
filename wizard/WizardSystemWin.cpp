#include "wizard/WizardSystemWin.h"

#include <shellapi.h>
#include <shlobj.h>


#include "settings/ProductSettings.h"
#include "shell/ShellLinks.h"
#include "shell/UninstallEntry.h"
#include "shell/VoSysUtils.h"

namespace vo {

UniqueHandle RunProgram(const std::u16string& file, const std::u16string& parameters) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = WStr(file);
  info.lpParameters = parameters.empty() ? nullptr : WStr(parameters);
  info.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&info)) return UniqueHandle();
  return UniqueHandle(info.hProcess);
}

std::u16string BrowseForFolder(HWND owner, const std::u16string& prompt) {
  UniqueCoTaskMem root;
  ::SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, reinterpret_cast<LPITEMIDLIST*>(root.put()));
  wchar_t buffer[MAX_PATH] = L"";
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pidlRoot = static_cast<LPCITEMIDLIST>(root.get());
  info.pszDisplayName = buffer;
  info.lpszTitle = WStr(prompt);
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  UniqueCoTaskMem chosen(::SHBrowseForFolderW(&info));
  if (!chosen || !::SHGetPathFromIDListW(static_cast<LPCITEMIDLIST>(chosen.get()), buffer)) return {};
  buffer[MAX_PATH - 1] = L'\0';
  return U16(buffer);
}

namespace {

bool IsDirectory(const std::u16string& path) {
  // GetFileAttributesW follows links to the directory they point at.
  DWORD attributes = ::GetFileAttributesW(WStr(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool ForceDirectories(const std::u16string& folder) {
  std::u16string path = folder;
  while (!path.empty() && path.back() == u'\\') path.pop_back();
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  // A drive ("C:") or a share root that is not there cannot be created.
  const size_t slash = path.find_last_of(u'\\');
  if (path.size() == 2 && path[1] == u':') return false;
  if (slash != std::u16string::npos && slash > 0 && path[slash - 1] != u'\\') {
    if (!ForceDirectories(path.substr(0, slash))) return false;
  }
  if (::CreateDirectoryW(WStr(path), nullptr)) return true;
  return ::GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(path);
}

std::vector<RegisteredInstallation> FindProductRegistrations() {
  std::vector<RegisteredInstallation> entries;
  for (const FoundUninstallEntry& found :
       FindUninstallEntries(kUninstallRootKeyPath, {LoadProductSetting(kSettingProductNameEn),
                                                    LoadProductSetting(kSettingProductNameZh)})) {
    entries.push_back({found.installLocation, found.displayVersion, found.where});
  }
  return entries;
}

bool FileExistsAt(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(WStr(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::u16string WizardSystemWin::GetFixedDriveLetters() { return vo::GetFixedDriveLetters(); }

std::u16string WizardSystemWin::FindShortcutTargetDir(const std::u16string& productName,
                                                      const std::u16string& locationKey) {
  return vo::FindShortcutTargetDir(productName, locationKey);
}

int64_t WizardSystemWin::GetDriveFreeBytes(char16_t letter) {
  // The drive query takes a single-byte letter; nothing outside ASCII names a drive.
  return vo::GetDriveFreeBytes(letter < 0x80 ? static_cast<char>(letter) : '?');
}

std::u16string WizardSystemWin::FormatByteSize(int64_t size) { return vo::FormatByteSize(size); }

std::u16string WizardSystemWin::EnvironmentValue(const std::u16string& name) { return GetEnvironmentText(name); }

std::u16string WizardSystemWin::BrowseForFolder(const std::u16string& prompt) {
  return vo::BrowseForFolder(fOwner, prompt);
}

bool WizardSystemWin::ForceDirectories(const std::u16string& folder) { return vo::ForceDirectories(folder); }

void WizardSystemWin::RunProgram(const std::u16string& program, const std::u16string& parameters) {
  vo::RunProgram(program, parameters);  // the handle is not needed and is closed here
}

std::u16string WindowlessProposalSource::FindShortcutTargetDir(const std::u16string& productName,
                                                              const std::u16string& locationKey) {
  return vo::FindShortcutTargetDir(productName, locationKey, /*withUserInterface=*/false);
}

std::u16string WindowlessProposalSource::EnvironmentValue(const std::u16string& name) {
  return GetEnvironmentText(name);
}

}  // namespace vo
