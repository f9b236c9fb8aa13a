#pragma once
// Where a package member may go: the one rule that the package writer, the
// extractor (installer and package tool), the package tool's listing and
// check, and the uninstaller's list reader all apply. The installer runs
// elevated on packages it did not make, so a path is either accepted as it
// is stored or refused; nothing is ever cleaned into another path.
//
// A member's target is its row's target folder (column 0) followed directly
// by the last part of its file name (column 1). The target folder is
//   - empty: the install folder itself;
//   - "$System$" or "$Third$" (either in any letter case) at its start: the
//     system folder, followed by the rest of the text as a relative folder;
//   - otherwise a relative folder below the install folder.
// A relative folder is one or more names, each followed by "\". A file name
// is a name, optionally after such folder names (the extractor writes only
// the last name, so "sub\a.dll" installs as a.dll).
//
// Refused, in any of them: "." and ".." parts; empty parts (a leading or
// doubled "\"); rooted paths, drive letters, UNC and device paths; any
// colon (drives and stream names); "/" (Windows takes it as a separator
// too); a "$" at the start that is not one of the tokens, and a token or a
// "$" after it anywhere later; control characters and < > : " | ? *; names
// ending in a dot or a space (Windows drops those, so the file would land
// under another name); DOS device names as any part (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9, with or without an extension). Limits: the relative path
// of the written file below its base folder (folder part plus name) holds at
// most kMaxMemberPathLength code units and at most kMaxMemberFolderDepth
// folder names, and so does a file name's own text, so that the joined path
// stays within MAX_PATH for a short base folder and no table can ask for a
// folder tree deep enough to keep the installer busy.

#include <cstddef>
#include <string>

namespace vo {

// 259: MAX_PATH (260) less the terminating zero.
constexpr size_t kMaxMemberPathLength = 259;
constexpr size_t kMaxMemberFolderDepth = 32;

// The length of the system-folder token at the start of targetFolder
// ("$System$" 8, "$Third$" 7, compared ignoring ASCII letter case), or 0.
size_t SystemFolderTokenLength(const std::u16string& targetFolder);

// What is wrong with a member's place, as a phrase naming the cell ("target
// folder \"..\\x\\\" leaves the install folder: a \"..\" part"), or the
// empty text when the member stays inside its base folder. Column 0 is
// checked whatever useInstallDir says.
std::string MemberPathProblem(const std::u16string& targetFolder, const std::u16string& fileName);

// The same for a target folder alone, and for a file name alone.
std::string TargetFolderProblem(const std::u16string& targetFolder);
std::string FileNameProblem(const std::u16string& fileName);

// The same for a relative file path below the install folder ("Lang\a.ini"),
// as the uninstaller's list stores it: names separated by "\", the last one
// the file's.
std::string RelativeFilePathProblem(const std::u16string& path);

// The last part of a file name: what the extractor writes.
std::u16string MemberFileName(const std::u16string& fileName);

}  // namespace vo
