#include "tools/stpack/ProductSettingsFile.h"

#include <memory>

#include "datatable/TextConvert.h"
#include "package/PackageError.h"
#include "tools/stpack/Commands.h"
#include "tools/stpack/Utf8.h"

namespace vo::stpack {

const char kKnownProductSettingIds[] = "1001 1002 1003 1004 1005 1009 1010 1011 1012";

namespace {

// Nine short settings; anything near this size is some other file.
constexpr int64_t kLargestFile = 1 << 20;

// The white space CMake's string(STRIP) removes: ASCII space, tab, line
// feed, vertical tab, form feed and carriage return (so a CR left by a CRLF
// line end goes too).
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view Strip(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsKnownId(std::string_view id) {
  const std::string_view known = kKnownProductSettingIds;
  for (size_t start = 0; start < known.size(); start += 5) {
    if (known.substr(start, 4) == id) return true;
  }
  return false;
}

}  // namespace

std::u16string ProductSettingsFile::Setting(int id) const {
  auto it = settings.find(id);
  return it == settings.end() ? std::u16string() : it->second;
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
      // "<digits>[ \t]*=<value>", as the build script's regular expression.
      size_t digits = 0;
      while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
      size_t equals = digits;
      while (equals < line.size() && (line[equals] == ' ' || line[equals] == '\t')) ++equals;
      if (digits == 0 || equals >= line.size() || line[equals] != '=') {
        throw ToolError(where + "expected '<id> = <value>'");
      }
      const std::string_view id = line.substr(0, digits);
      if (!IsKnownId(id)) {
        throw ToolError(where + "unknown setting " + std::string(id) + " (known: " + kKnownProductSettingIds + ")");
      }
      const int number = std::stoi(std::string(id));
      if (file.settings.count(number)) throw ToolError(where + "setting " + std::string(id) + " given twice");
      std::optional<std::u16string> value = Utf8ToUtf16(Strip(line.substr(equals + 1)));
      if (!value) throw ToolError(where + "the value is not UTF-8 text (save the file as UTF-8)");
      file.settings[number] = std::move(*value);
    }
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
  return file;
}

ProductSettingsFile ReadProductSettingsFile(PackageFileSystem& files, const std::u16string& path) {
  const std::string name = Utf16ToUtf8(path);
  if (!files.FileExists(path)) throw ToolError(name + ": product settings file not found");
  std::string bytes;
  try {
    std::unique_ptr<PackageInputFile> input = files.OpenForReading(path);
    const int64_t size = input->Size();
    if (size > kLargestFile) {
      throw ToolError(name + ": " + std::to_string(size) + " bytes is too large for a product settings file");
    }
    bytes.resize(size_t(size));
    bytes.resize(input->Read(bytes.data(), bytes.size()));
  } catch (const EPackageError& e) {
    throw ToolError(name + ": cannot read the product settings: " + e.what());
  }
  return ParseProductSettingsFile(bytes, name);
}

}  // namespace vo::stpack
