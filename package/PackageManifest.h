#pragma once
// The package tool's manifest: which files go into a package and where they
// are installed. One member per line, fields separated by "|" (a character
// no Windows file name holds), spaces around fields ignored:
//
//   # comment lines and blank lines are skipped
//   TARGET FOLDER | SOURCE FILE | FILE NAME [| UseInstallDir]
//                 | build/Corvenna.exe | Corvenna.exe
//   Lang          | lang/zh.ini        | zh.ini
//   $System$      | redist/vocore.dll  |
//
// TARGET FOLDER: empty for the install folder, a relative folder ("Lang",
// "Lang/zh"), or "$System$" / "$Third$" optionally followed by a subfolder.
// SOURCE FILE: relative to the manifest's folder, or absolute. FILE NAME:
// the installed name; empty takes the source file's name. UseInstallDir:
// install into the install folder whatever the target folder says.
//
// The folder-tree form maps a file's path below the tree's root the same
// way: "a.txt" to the install folder, "Lang/zh.ini" to "Lang\", and
// "$System$/x.dll" to the system folder.

#include <string>
#include <vector>

#include "text/Error.h"

namespace vo {

struct ManifestEntry {
  std::u16string targetFolder;  // as the file table stores it ("Lang\", "$System$")
  std::u16string sourceFile;    // as written in the manifest
  std::u16string fileName;
  bool useInstallDir = false;
  int line = 0;  // 1-based; 0 for entries of a folder tree
};

// "<manifest>:<line>: <what is wrong>".
class EManifestError : public Error {
 public:
  using Error::Error;
};

// Parses the whole manifest text; raises EManifestError at the first bad line.
std::vector<ManifestEntry> ParseManifest(const std::u16string& text, const std::u16string& manifestName);

// A target folder as a publisher writes it, in the table's form: "/" becomes
// "\", a relative folder gets its trailing "\", and a token keeps no "\"
// between itself and its subfolder. Raises InvalidArgument for a
// folder the table cannot carry (see CheckTargetFolder).
std::u16string NormalizeTargetFolder(const std::u16string& written);

// The member for a file at relativePath (its parts, file name last) below a
// folder tree's root. Raises InvalidArgument for unusable names.
ManifestEntry EntryFromTreePath(const std::vector<std::u16string>& relativePath);

}  // namespace vo
