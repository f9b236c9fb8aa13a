#pragma once
// The user's special folders, shortcut (.lnk) files for the installed product,
// and the folder of a shortcut that an earlier installation left behind. The
// folders come from the Explorer's "Shell Folders" registry values; links are
// written and read through the shell link object, so the calling thread must
// have initialised COM.

#include <cstdint>
#include <string>

namespace vo {

// Location codes of GetShellFolderPath and CreateShortcut.
enum ShellFolderLocation : uint8_t {
  kDesktopFolder = 0,      // "Desktop"
  kQuickLaunchFolder = 1,  // "AppData" + "\Microsoft\Internet Explorer\Quick Launch"
  kSendToFolder = 2,       // "SendTo"
  kStartMenuFolder = 3,    // "Start Menu"
  kStartupFolder = 4,      // "Startup"
  // The all-users Programs folder of the Start menu (CSIDL_COMMON_PROGRAMS,
  // else the all-users value "Common Programs"): the installer runs as
  // administrator and installs for every user.
  kCommonProgramsFolder = 5,
};

// Windows only. The folder of a location code as stored in the per-user
// registry (no trailing backslash), or empty for an unknown code or a missing
// value. Quick Launch is empty when "AppData" is missing, rather than a folder
// under the root of the current drive. A value that is not a string raises
// ERegistryError.
std::u16string GetShellFolderPath(uint8_t location);

// Windows only. Writes a shortcut to target (with its folder as working
// directory) named ShortcutFileName(name) into the location's folder, or into
// its existing subfolder when subfolder is not empty. An empty folder, or a
// save the system refuses, writes nothing and raises nothing. Raises
// EShellError when the shell link object cannot be created
// ("<system text>, ClassID: {...}") or lacks an interface ("Interface not
// supported").
void CreateShortcut(const std::u16string& target, const std::u16string& arguments, const std::u16string& name,
                    uint8_t location, const std::u16string& subfolder);

// Windows only. The Start menu shortcut "ShortcutFileName(name)" to target in
// the all-users Programs folder's subfolder companyFolder (made when missing),
// or directly in Programs when companyFolder is empty. The link's path when it
// was saved; empty when the folder is unknown or the save was refused. Raises
// EShellError as CreateShortcut does.
std::u16string CreateStartMenuShortcut(const std::u16string& target, const std::u16string& name,
                                       const std::u16string& companyFolder);

// Windows only. The folder (ending in a backslash) of the target of
// "<productName>.lnk", looked for first in the per-user folder of
// locationKey and then in the all-users one; empty when neither holds a
// shortcut that resolves. locationKey "QuickLaunch" (exactly) means the
// per-user Quick Launch folder and no all-users folder; any other key K reads
// the per-user value K and the all-users value "Common K". A folder whose
// value is missing is not searched. withUserInterface: see ResolveShortcut.
std::u16string FindShortcutTargetDir(const std::u16string& productName, const std::u16string& locationKey,
                                     bool withUserInterface = true);

// Windows only. The target path of a .lnk file, or "unable to resolve link".
// Raises EShellError when the shell link object cannot be created. For a
// moved target it may show the shell's search window, owned by the active
// window; without user interface (a silent installation) it never shows a
// window and gives up on such a target after the shell's short search.
std::u16string ResolveShortcut(const std::u16string& linkPath, bool withUserInterface = true);

// The text ResolveShortcut gives for a link it cannot read or resolve.
extern const char16_t kUnresolvedLinkText[];

// Portable rules behind the operations above.
// The link file name: the extension (from the last dot after the last
// backslash or colon) replaced by ".lnk", or ".lnk" appended, then
// everything up to the last backslash or colon dropped.
std::u16string ShortcutFileName(const std::u16string& name);
// Everything up to and including the last backslash or colon; empty when
// there is neither.
std::u16string PathFolderPart(const std::u16string& path);
// The folder of the Start menu shortcut: programs\companyFolder, or programs
// when companyFolder is empty; empty when programs is.
std::u16string StartMenuShortcutFolder(const std::u16string& programs, const std::u16string& companyFolder);
// folder\subfolder\fileName, or folder\fileName when subfolder is empty.
std::u16string ShortcutLinkPath(const std::u16string& folder, const std::u16string& subfolder,
                                const std::u16string& fileName);

}  // namespace vo
