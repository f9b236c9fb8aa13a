#pragma once
// product.ini, the product settings file of resources/README.md, read by the
// package tool the same way cmake/Installer.cmake reads it into the
// installer's string table, so that a file one accepts the other accepts with
// the same values:
//
//   # comment lines start with "#" or ";"; blank lines are skipped
//   1004 = Corvenna Drawvane
//   1011 = 2.0
//
// UTF-8, an optional byte-order mark first, LF or CRLF line ends. Each other
// line is "<id> = <value>": the id in digits, the value everything after the
// first "=" with white space removed at both ends. An id outside 1001-1005
// and 1009-1012, an id given twice, or a line of another form is an error
// that names the file and the line. An id that is not given reads as the
// empty text.

#include <map>
#include <string>
#include <string_view>

#include "package/PackageFileSystem.h"

namespace vo::stpack {

// The ids a product.ini may set, for messages: "1001 1002 ... 1012".
extern const char kKnownProductSettingIds[];

struct ProductSettingsFile {
  std::map<int, std::u16string> settings;  // id -> value, only the ids given

  // The value of id, or the empty text when the file does not give it.
  std::u16string Setting(int id) const;
};

// Parses the bytes of a product.ini; fileName starts every message
// ("product.ini:3: unknown setting 1006 (known: ...)"). Raises ToolError.
ProductSettingsFile ParseProductSettingsFile(std::string_view bytes, const std::string& fileName);

// Reads and parses the file at path. Raises ToolError, also for a missing
// file ("<path>: product settings file not found").
ProductSettingsFile ReadProductSettingsFile(PackageFileSystem& files, const std::u16string& path);

}  // namespace vo::stpack
