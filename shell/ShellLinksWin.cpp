#include "shell/ShellLinks.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "shell/Registry.h"
#include "shell/ShellError.h"
#include "shell/UniqueHandle.h"

namespace vo {
namespace {

// The same path under HKEY_CURRENT_USER (per-user folders) and
// HKEY_LOCAL_MACHINE (all-users folders, named "Common ...").
const char16_t kShellFoldersKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char16_t kQuickLaunchSuffix[] = u"\\Microsoft\\Internet Explorer\\Quick Launch";

std::u16string ReadShellFolder(HKEY root, const std::u16string& valueName) {
  return RegReadStringValue(root, kShellFoldersKey, valueName);
}

std::u16string PerUserQuickLaunchFolder() {
  const std::u16string appData = ReadShellFolder(HKEY_CURRENT_USER, u"AppData");
  return appData.empty() ? std::u16string() : appData + kQuickLaunchSuffix;
}

std::u16string GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return U16(text);
}

// True for an existing file, following a symbolic link to its target; false
// for folders.
bool FileExists(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(WStr(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  UniqueFile target(::CreateFileW(WStr(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return bool(target);
}

std::u16string CommonProgramsFolder() {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, path)) && path[0]) {
    path[MAX_PATH - 1] = L'\0';
    std::u16string folder = U16(path);
    while (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
    return folder;
  }
  return ReadShellFolder(HKEY_LOCAL_MACHINE, u"Common Programs");
}

}  // namespace

std::u16string GetShellFolderPath(uint8_t location) {
  switch (location) {
    case kDesktopFolder: return ReadShellFolder(HKEY_CURRENT_USER, u"Desktop");
    case kQuickLaunchFolder: return PerUserQuickLaunchFolder();
    case kSendToFolder: return ReadShellFolder(HKEY_CURRENT_USER, u"SendTo");
    case kStartMenuFolder: return ReadShellFolder(HKEY_CURRENT_USER, u"Start Menu");
    case kStartupFolder: return ReadShellFolder(HKEY_CURRENT_USER, u"Startup");
    case kCommonProgramsFolder: return CommonProgramsFolder();
    default: return {};
  }
}

void CreateShortcut(const std::u16string& target, const std::u16string& arguments, const std::u16string& name,
                    uint8_t location, const std::u16string& subfolder) {
  ComPtr<IUnknown> object;
  const HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                        IID_IUnknown, object.put_void());
  if (FAILED(hr)) throw EShellError(SystemErrorText(hr) + u", ClassID: " + GuidText(CLSID_ShellLink));
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(object->QueryInterface(IID_IShellLinkW, link.put_void())) ||
      FAILED(object->QueryInterface(IID_IPersistFile, file.put_void())))
    throw EShellError(u"Interface not supported");

  link->SetPath(WStr(target));
  link->SetArguments(WStr(arguments));
  link->SetWorkingDirectory(WStr(PathFolderPart(target)));

  const std::u16string fileName = ShortcutFileName(name);
  const std::u16string folder = GetShellFolderPath(location);
  if (folder.empty()) return;
  // A missing folder or missing rights leave no shortcut; the caller is not told.
  file->Save(WStr(ShortcutLinkPath(folder, subfolder, fileName)), FALSE);
}

std::u16string CreateStartMenuShortcut(const std::u16string& target, const std::u16string& name,
                                       const std::u16string& companyFolder) {
  const std::u16string folder = StartMenuShortcutFolder(GetShellFolderPath(kCommonProgramsFolder), companyFolder);
  if (folder.empty()) return {};
  // An existing company folder is shared with the publisher's other products.
  if (!companyFolder.empty()) ::CreateDirectoryW(WStr(folder), nullptr);
  CreateShortcut(target, u"", name, kCommonProgramsFolder, companyFolder);
  const std::u16string link = ShortcutLinkPath(folder, u"", ShortcutFileName(name));
  return FileExists(link) ? link : std::u16string();
}

std::u16string FindShortcutTargetDir(const std::u16string& productName, const std::u16string& locationKey,
                                     bool withUserInterface) {
  std::u16string perUser;
  std::u16string allUsers;
  if (locationKey == u"QuickLaunch") {
    perUser = PerUserQuickLaunchFolder();
  } else {
    perUser = ReadShellFolder(HKEY_CURRENT_USER, locationKey);
    allUsers = ReadShellFolder(HKEY_LOCAL_MACHINE, u"Common " + locationKey);
  }
  for (const std::u16string& folder : {perUser, allUsers}) {
    // Without a folder the link path would fall under the root of the current drive.
    if (folder.empty()) continue;
    const std::u16string link = folder + u"\\" + productName + u".lnk";
    if (!FileExists(link)) continue;
    // The failure text holds no backslash or colon, so it gives an empty folder.
    const std::u16string targetFolder = PathFolderPart(ResolveShortcut(link, withUserInterface));
    if (!targetFolder.empty()) return targetFolder;
  }
  return {};
}

std::u16string ResolveShortcut(const std::u16string& linkPath, bool withUserInterface) {
  ComPtr<IShellLinkW> link;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void());
  if (FAILED(hr)) throw EShellError(SystemErrorText(hr));
  ComPtr<IPersistFile> file;
  hr = link->QueryInterface(IID_IPersistFile, file.put_void());
  if (FAILED(hr)) throw EShellError(SystemErrorText(hr));

  if (FAILED(file->Load(WStr(linkPath), STGM_READ))) return kUnresolvedLinkText;
  const HRESULT resolved = withUserInterface ? link->Resolve(::GetActiveWindow(), SLR_NOUPDATE)
                                             : link->Resolve(nullptr, SLR_NOUPDATE | SLR_NO_UI);
  if (FAILED(resolved)) return kUnresolvedLinkText;
  wchar_t path[MAX_PATH] = {};
  WIN32_FIND_DATAW findData;
  if (FAILED(link->GetPath(path, MAX_PATH, &findData, SLGP_UNCPRIORITY))) return kUnresolvedLinkText;
  path[MAX_PATH - 1] = L'\0';
  return U16(path);
}

}  // namespace vo
