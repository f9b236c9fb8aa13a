#pragma once
// product.ini, the product settings file a publisher writes, read by the
// publisher's tool:
//
//   # comment lines start with "#" or ";"; blank lines are skipped
//   ProductNameEn = Corvenna Drawvane
//   1011 = 2.0
//   LicenseEn = license-en.txt
//
// UTF-8, an optional byte-order mark first, LF or CRLF line ends. Each other
// line is "<key> = <value>": the key is a setting's id in digits or its name
// (letter case ignored), the value everything after the first "=" with white
// space removed at both ends. The two licence keys name a UTF-8 text file,
// relative to the product folder, that replaces the built-in licence wording
// in that language; Compression (zlib, the default, or best / zstd) is read
// by the package tool alone; every other key is a string-table entry. An unknown key,
// a key given twice (by id or by name), or a line of another form is an error
// that names the file and the line. A key that is not given reads as the
// empty text.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vo {

constexpr int kToolSetting = -1;

struct ProductSettingKey {
  int id;            // string-table id, or 0 for a licence file
  int uiLanguage;    // for a licence file: the language it replaces; kToolSetting for
                     // a setting only the package tool reads
  const char* name;  // the key's name in product.ini
  const char* meaning;
};

// Every key product.ini knows, in the order `stpack init` writes them.
const std::vector<ProductSettingKey>& ProductSettingKeys();

// The ids and names a product.ini may use, for messages:
// "1001 (WindowClass), 1002 (WindowTitle), ...".
std::string KnownProductSettingKeys();

struct ProductSettingsFile {
  std::map<int, std::u16string> settings;      // id -> value, only the ids given
  std::map<int, std::u16string> licenseFiles;  // uiLanguage -> file name as written
  std::map<std::string, int> lines;            // key name -> line it was given on
  std::string compression;                     // "zlib", "zstd", "best" (lower case) or empty

  // The value of id, or the empty text when the file does not give it.
  std::u16string Setting(int id) const;
  // "product.ini:7" for a key given in the file, or "product.ini" alone.
  std::string Place(const std::string& fileName, int id) const;
};

// Parses the bytes of a product.ini; fileName starts every message
// ("product.ini:3: unknown setting 1006 (known: ...)"). Raises
// EProductSettingError.
ProductSettingsFile ParseProductSettingsFile(std::string_view bytes, const std::string& fileName);

}  // namespace vo
