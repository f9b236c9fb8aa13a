#include "uninstall/WindowsUninstallSystem.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <optional>
#include <vector>

#include "shell/Registry.h"
#include "shell/ShellError.h"
#include "shell/ShellLinks.h"
#include "shell/UninstallEntry.h"
#include "shell/UniqueHandle.h"
#include "shell/VoSysUtils.h"

namespace vo {

namespace {

bool IsNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

RemoveResult OpenFailure() { return IsNotFound(::GetLastError()) ? RemoveResult::Missing : RemoveResult::Failed; }

// A folder opened as itself, a link not followed, and without delete
// sharing: while the handle is open nobody can rename the folder, delete it
// or put a link in its place.
UniqueFile OpenFolderPinned(const std::u16string& path) {
  return UniqueFile(::CreateFileW(WStr(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Asked of the open handle, and of the path too: Wine reports a Unix
// symbolic link as a reparse point by its path only. The folder is pinned,
// so the path still names the object the handle holds.
bool IsReparsePoint(const UniqueFile& file, const std::u16string& path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(file.get(), &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return true;
  const DWORD attributes = ::GetFileAttributesW(WStr(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Pins installDir and every folder below it on the way to the last part of
// relative, and checks that none of those below installDir is a link
// (junction, symbolic link, mount point). The install folder itself may be
// one: that is where the user installed. nullopt when the way is clear; the
// handles must stay open for as long as the path is used.
std::optional<RemoveResult> PinWay(const std::u16string& installDir, const std::u16string& relative,
                                   std::vector<UniqueFile>& pinned) {
  UniqueFile root = OpenFolderPinned(WithoutTrailingBackslash(installDir));
  if (!root) return OpenFailure();
  pinned.push_back(std::move(root));
  for (size_t end = relative.find(u'\\'); end != std::u16string::npos; end = relative.find(u'\\', end + 1)) {
    const std::u16string path = installDir + relative.substr(0, end);
    UniqueFile folder = OpenFolderPinned(path);
    if (!folder) return OpenFailure();
    if (IsReparsePoint(folder, path)) return RemoveResult::ThroughLink;
    pinned.push_back(std::move(folder));
  }
  return std::nullopt;
}

}  // namespace

std::u16string LongPath(const std::u16string& path) {
  const DWORD size = ::GetLongPathNameW(WStr(path), nullptr, 0);
  if (size == 0) return path;
  std::wstring buffer(size, L'\0');
  const DWORD length = ::GetLongPathNameW(WStr(path), &buffer[0], size);
  if (length == 0 || length >= size) return path;
  return U16(buffer.c_str(), length);
}

std::u16string RunningExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, &buffer[0], DWORD(buffer.size()));
    if (length < buffer.size()) return LongPath(U16(buffer.c_str(), length));
    buffer.resize(buffer.size() * 2);  // the name was cut
  }
}

std::string ReadWholeFile(const std::u16string& path) {
  const std::string quoted = "\"" + Utf16ToUtf8(path) + "\"";
  UniqueFile file(::CreateFileW(WStr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw EUninstallList("cannot open " + quoted + " (" + Utf16ToUtf8(SystemErrorText(::GetLastError())) + ")");
  LARGE_INTEGER size;
  // The list of even a large product is a few hundred kilobytes.
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > (16 << 20))
    throw EUninstallList("cannot read " + quoted + ": unexpected size");
  std::string data(size_t(size.QuadPart), '\0');
  DWORD done = 0;
  if (!data.empty() && (!::ReadFile(file.get(), &data[0], DWORD(data.size()), &done, nullptr) || done != data.size()))
    throw EUninstallList("cannot read " + quoted);
  return data;
}

RemoveResult WindowsUninstallSystem::RemoveFile(const std::u16string& path) {
  if (::DeleteFileW(WStr(path))) return RemoveResult::Removed;
  const DWORD error = ::GetLastError();
  if (IsNotFound(error)) return RemoveResult::Missing;
  // A read-only file refuses deletion until the attribute is cleared; put it
  // back when the file still cannot go.
  const DWORD attributes = ::GetFileAttributesW(WStr(path));
  if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::SetFileAttributesW(WStr(path), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if (::DeleteFileW(WStr(path))) return RemoveResult::Removed;
    ::SetFileAttributesW(WStr(path), attributes);
  }
  return RemoveResult::Failed;
}

RemoveResult WindowsUninstallSystem::RemoveFolder(const std::u16string& path) {
  if (::RemoveDirectoryW(WStr(path))) return RemoveResult::Removed;
  return IsNotFound(::GetLastError()) ? RemoveResult::Missing : RemoveResult::Failed;
}

RemoveResult WindowsUninstallSystem::RemoveInstalledFile(const std::u16string& installDir,
                                                         const std::u16string& relativePath) {
  std::vector<UniqueFile> pinned;
  if (std::optional<RemoveResult> fault = PinWay(installDir, relativePath, pinned)) return *fault;
  // DeleteFileW removes a file that is itself a symbolic link as the link.
  return RemoveFile(installDir + relativePath);
}

RemoveResult WindowsUninstallSystem::RemoveInstalledFolder(const std::u16string& installDir,
                                                           const std::u16string& relativeFolder) {
  std::vector<UniqueFile> pinned;
  if (!relativeFolder.empty()) {
    if (std::optional<RemoveResult> fault = PinWay(installDir, relativeFolder, pinned)) return *fault;
  }
  const std::u16string path = relativeFolder.empty() ? WithoutTrailingBackslash(installDir) : installDir + relativeFolder;
  // GetFileAttributesW describes a link itself, and RemoveDirectoryW on a
  // junction or a directory link removes the link, never what it points to.
  const DWORD attributes = ::GetFileAttributesW(WStr(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return OpenFailure();
  if (!::RemoveDirectoryW(WStr(path))) return OpenFailure();
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? RemoveResult::LinkRemoved : RemoveResult::Removed;
}

bool WindowsUninstallSystem::FolderHoldsOnly(const std::u16string& folder, const std::u16string& name) {
  WIN32_FIND_DATAW entry;
  UniqueFindHandle find(::FindFirstFileW(WStr(folder + u"\\*"), &entry));
  if (!find) return false;
  do {
    const std::u16string entryName = U16(entry.cFileName);
    if (entryName != u"." && entryName != u".." && !SamePath(entryName, name)) return false;
  } while (::FindNextFileW(find.get(), &entry));
  return true;
}

std::vector<std::u16string> WindowsUninstallSystem::ShortcutFolders() {
  std::vector<std::u16string> folders;
  for (uint8_t location : {uint8_t(kDesktopFolder), uint8_t(kQuickLaunchFolder)}) {
    try {
      const std::u16string folder = GetShellFolderPath(location);
      if (!folder.empty()) folders.push_back(folder);
    } catch (const EShellError&) {
      // A shell-folder value that is not text: no such folder to look in.
    }
  }
  return folders;
}

std::u16string WindowsUninstallSystem::ShortcutTarget(const std::u16string& linkPath) {
  const DWORD attributes = ::GetFileAttributesW(WStr(linkPath));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
      FAILED(file->Load(WStr(linkPath), STGM_READ)))
    return {};
  // The stored path, without IShellLink::Resolve: resolving searches for a
  // moved target and may show a window, which a silent removal must not.
  wchar_t target[MAX_PATH] = {};
  if (link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH) != S_OK) return {};
  target[MAX_PATH - 1] = L'\0';
  return LongPath(U16(target));
}

std::u16string WindowsUninstallSystem::EntryUninstallString(const std::u16string& keyName) {
  std::u16string command;
  try {
    command = RegReadStringValue(HKEY_LOCAL_MACHINE, UninstallKeyPath(keyName), u"UninstallString");
  } catch (const EShellError&) {
    return {};  // not text: not an entry this product wrote
  }
  // The program path, quoted or not, in its long form, so that it compares
  // with the install folder however the entry spelled it.
  if (!command.empty() && command[0] == u'"') {
    const size_t close = command.find(u'"', 1);
    command = command.substr(1, close == std::u16string::npos ? std::u16string::npos : close - 1);
  }
  return LongPath(command);
}

RemoveResult WindowsUninstallSystem::DeleteUninstallEntry(const std::u16string& keyName) {
  // An empty name would address the Uninstall key itself.
  if (keyName.empty() || keyName.find(u'\\') != std::u16string::npos) return RemoveResult::Failed;
  const LONG result = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, WStr(UninstallKeyPath(keyName)));
  if (result == ERROR_SUCCESS) return RemoveResult::Removed;
  return IsNotFound(DWORD(result)) ? RemoveResult::Missing : RemoveResult::Failed;
}

std::u16string WindowsUninstallSystem::ProgramFilesFolder() {
  // The variable the installer's proposal starts from (for a 32-bit program
  // on 64-bit Windows, the x86 folder), in its long form.
  const std::u16string folder = GetEnvironmentText(u"PROGRAMFILES");
  return folder.empty() ? folder : WithoutTrailingBackslash(LongPath(folder));
}

std::u16string WindowsUninstallSystem::ProgramsFolder() {
  try {
    return GetShellFolderPath(kCommonProgramsFolder);
  } catch (const EShellError&) {
    return {};  // a shell-folder value that is not text
  }
}

}  // namespace vo
