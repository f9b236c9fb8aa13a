#include "settings/ProductSettingsFile.h"

#include "settings/Language.h"
#include "settings/ProductSettings.h"
#include "text/Unicode.h"

namespace vo {
namespace {

// The white space removed around keys and values: ASCII space, tab, line
// feed, vertical tab, form feed and carriage return (so a CR left by a CRLF
// line end goes too).
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view Strip(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

[[noreturn]] void Fail(const std::string& where, const std::string& what) { throw EProductSettingError(where + what); }

}  // namespace

const std::vector<ProductSettingKey>& ProductSettingKeys() {
  static const std::vector<ProductSettingKey> keys = {
      {kSettingRunningWindowClass, 0, "WindowClass", "window class of the product's main window"},
      {kSettingRunningWindowTitle, 0, "WindowTitle", "title of that window (named in the English message)"},
      {kSettingRunningWindowTitleAlt, 0, "WindowTitleAlt", "its second title, e.g. the Chinese one"},
      {kSettingProductNameEn, 0, "ProductNameEn", "English display name"},
      {kSettingProductNameZh, 0, "ProductNameZh", "Chinese display name"},
      {kSettingIsFreeware, 0, "Freeware", "-1 freeware or 0 shareware licence wording (True/False too)"},
      {kSettingExeBaseName, 0, "ExeName", "the product's main program without .exe"},
      {kSettingProductVersion, 0, "Version", "version text, shown and registered"},
      {kSettingRequiredSpaceText, 0, "RequiredSpace", "required space shown on the destination page"},
      {kSettingCompanyFolder, 0, "CompanyFolder", "folder under Program Files (\".\" for none)"},
      {kSettingPublisherEn, 0, "PublisherEn", "publisher in the English uninstall entry"},
      {kSettingPublisherZh, 0, "PublisherZh", "publisher in the Chinese uninstall entry"},
      {kSettingHomePageEn, 0, "HomePageEn", "home page in the English uninstall entry"},
      {kSettingHomePageZh, 0, "HomePageZh", "home page in the Chinese uninstall entry"},
      {0, kUiEnglish, "LicenseEn", "UTF-8 text file with the English licence agreement"},
      {0, kUiChinese, "LicenseZh", "UTF-8 text file with the Chinese licence agreement"},
      {0, kToolSetting, "Compression", "zlib (default) or best: the strongest codec the installer reads (zstd)"},
  };
  return keys;
}

std::string KnownProductSettingKeys() {
  std::string text;
  for (const ProductSettingKey& key : ProductSettingKeys()) {
    if (!text.empty()) text += ", ";
    text += key.id ? std::to_string(key.id) + " (" + key.name + ")" : std::string(key.name);
  }
  return text;
}

std::u16string ProductSettingsFile::Setting(int id) const {
  auto it = settings.find(id);
  return it == settings.end() ? std::u16string() : it->second;
}

std::string ProductSettingsFile::Place(const std::string& fileName, int id) const {
  for (const ProductSettingKey& key : ProductSettingKeys()) {
    if (key.id != id) continue;
    auto it = lines.find(key.name);
    if (it != lines.end()) return fileName + ":" + std::to_string(it->second);
  }
  return fileName;
}

ProductSettingsFile ParseProductSettingsFile(std::string_view bytes, const std::string& fileName) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  ProductSettingsFile file;
  int lineNumber = 0;
  while (true) {
    const size_t end = bytes.find('\n');
    const std::string_view line = Strip(bytes.substr(0, end));
    ++lineNumber;
    const std::string where = fileName + ":" + std::to_string(lineNumber) + ": ";

    if (!line.empty() && line[0] != '#' && line[0] != ';') {
      const size_t equals = line.find('=');
      const std::string_view name = equals == std::string_view::npos ? std::string_view() : Strip(line.substr(0, equals));
      if (name.empty()) Fail(where, "expected '<setting> = <value>'");
      const ProductSettingKey* key = nullptr;
      for (const ProductSettingKey& candidate : ProductSettingKeys()) {
        if (SameName(name, candidate.name) || (candidate.id && name == std::to_string(candidate.id))) key = &candidate;
      }
      if (!key) Fail(where, "unknown setting " + std::string(name) + " (known: " + KnownProductSettingKeys() + ")");
      if (file.lines.count(key->name)) {
        Fail(where, "setting " + std::string(name) + " given twice (also on line " +
                        std::to_string(file.lines[key->name]) + ")");
      }
      std::optional<std::u16string> value = Utf8ToUtf16(Strip(line.substr(equals + 1)));
      if (!value) Fail(where, "the value is not UTF-8 text (save the file as UTF-8)");
      file.lines[key->name] = lineNumber;
      if (key->uiLanguage == kToolSetting) {
        std::string lower;
        for (char16_t c : *value) lower += c >= u'A' && c <= u'Z' ? char(c - u'A' + u'a') : char(c < 0x80 ? c : '?');
        if (lower != "zlib" && lower != "zstd" && lower != "best") {
          Fail(where, std::string(key->name) + " must be zlib, best or zstd, not " + std::string(Strip(line.substr(equals + 1))));
        }
        file.compression = lower;
      } else if (key->id) {
        file.settings[key->id] = std::move(*value);
      } else {
        file.licenseFiles[key->uiLanguage] = std::move(*value);
      }
    }
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
  return file;
}

}  // namespace vo
