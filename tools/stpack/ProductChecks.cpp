#include "tools/stpack/ProductChecks.h"

#include "settings/Language.h"
#include "settings/ProductSettings.h"
#include "text/DecimalNumber.h"
#include "text/Unicode.h"
#include "tools/stpack/Commands.h"

namespace vo::stpack {
namespace {

// The installer reads each string-table entry into 1024 characters.
constexpr size_t kLongestSetting = 1023;

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

const ProductSettingKey& KeyOf(int id) {
  for (const ProductSettingKey& key : ProductSettingKeys()) {
    if (key.id == id) return key;
  }
  static const ProductSettingKey unknown{0, 0, "?", ""};
  return unknown;
}

// "ExeName (1010)".
std::string Named(int id) { return std::string(KeyOf(id).name) + " (" + std::to_string(id) + ")"; }

bool HasControl(const std::u16string& text) {
  for (char16_t c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; }

bool SameIgnoringCase(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// Text that can be a file or folder name: why not, or nullptr.
const char* NameFault(const std::u16string& name) {
  if (name.empty()) return "is empty";
  if (HasControl(name)) return "holds a control character";
  if (name.find_first_of(u"\\/:*?\"<>|") != std::u16string::npos) {
    return "holds one of \\ / : * ? \" < > |, which Windows does not allow in names";
  }
  if (name.back() == u'.' || name.back() == u' ') return "ends in a dot or a space, which Windows drops from names";
  return nullptr;
}

}  // namespace

void CheckProductSettings(ProductSettingsFile& file, const std::string& fileName, std::vector<std::string>& warnings) {
  auto where = [&](int id) { return file.Place(fileName, id) + ": " + Named(id) + " "; };

  for (const auto& [id, value] : file.settings) {
    if (value.size() > kLongestSetting) {
      throw ToolError(where(id) + "has " + std::to_string(value.size()) +
                      " characters; the installer reads at most 1023: shorten it");
    }
    if (HasControl(value)) throw ToolError(where(id) + "holds a control character: remove it");
  }

  // The freeware wording: the installer refuses to start without a value it
  // can read, and reads a number with the user's own decimal separator, so
  // the value must read the same with "." and with ",".
  const std::u16string freeware = file.Setting(kSettingIsFreeware);
  if (freeware.empty()) {
    throw ToolError(where(kSettingIsFreeware) + "is not set; the installer would refuse to start: add "
                    "'Freeware = -1' for the freeware wording of the licence agreement or 'Freeware = 0' for shareware");
  }
  bool asPoint = false, asComma = false;
  SetDecimalSeparator(u'.');
  const bool readsWithPoint = TryTextToBoolean(freeware, asPoint);
  SetDecimalSeparator(u',');
  const bool readsWithComma = TryTextToBoolean(freeware, asComma);
  SetDecimalSeparator(0);
  if (!readsWithPoint || !readsWithComma || asPoint != asComma) {
    throw ToolError(where(kSettingIsFreeware) + "'" + U8(freeware) + "' is not a value the installer reads the same on "
                    "every machine: write -1 (freeware) or 0 (shareware), or True or False");
  }

  // The program: launched at Finish, the target of the shortcuts, the last
  // part of the default folder.
  const std::u16string exeName = file.Setting(kSettingExeBaseName);
  if (exeName.empty()) {
    throw ToolError(where(kSettingExeBaseName) + "is not set: add 'ExeName = <the product's main program without .exe>'");
  }
  if (const char* fault = NameFault(exeName)) {
    throw ToolError(where(kSettingExeBaseName) + "'" + U8(exeName) + "' " + fault + ": give the program's file name without .exe");
  }
  if (exeName.size() > 4 && SameIgnoringCase(exeName.substr(exeName.size() - 4), u".exe")) {
    throw ToolError(where(kSettingExeBaseName) + "'" + U8(exeName) + "' ends in .exe, which the installer adds itself: "
                    "write 'ExeName = " + U8(exeName.substr(0, exeName.size() - 4)) + "'");
  }

  // The display names: window titles, shortcut files and the uninstall key.
  // A product may give one; the other language then shows the same name.
  const int names[] = {kSettingProductNameEn, kSettingProductNameZh};
  for (int i = 0; i < 2; ++i) {
    const int id = names[i], other = names[1 - i];
    if (file.Setting(id).empty()) {
      if (file.Setting(other).empty()) {
        throw ToolError(fileName + ": no display name is set: add 'ProductNameEn = <name>' (and 'ProductNameZh = <name>' "
                        "for the Chinese wizard)");
      }
      warnings.push_back(fileName + ": " + Named(id) + " is not set; the " +
                         (id == kSettingProductNameZh ? "Chinese" : "English") + " wizard shows '" +
                         U8(file.Setting(other)) + "' (" + Named(other) + ")");
      file.settings[id] = file.Setting(other);
    }
  }
  for (int id : names) {
    const std::u16string name = file.Setting(id);
    if (const char* fault = NameFault(name)) {
      throw ToolError(where(id) + "'" + U8(name) + "' " + fault +
                      "; the shortcuts and the uninstall entry are named after it: choose another name");
    }
    const size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos) {
      warnings.push_back(where(id) + "'" + U8(name) + "' holds a dot: its shortcut is named '" + U8(name.substr(0, dot)) +
                         ".lnk', so a later installer does not find it to propose the same folder again");
    }
  }

  if (file.Setting(kSettingRunningWindowClass).empty() || file.Setting(kSettingRunningWindowTitle).empty()) {
    warnings.push_back(fileName + ": WindowClass (1001) and WindowTitle (1002) are not both set; the installer and the "
                       "uninstaller cannot tell whether the product is running");
  }
  if (file.Setting(kSettingProductVersion).empty()) {
    warnings.push_back(fileName + ": Version (1011) is not set; the wizard's texts show no version");
  }
  // Left unset, these are Corvenna's: a product of another publisher would
  // install under Corvenna's company folder and name Corvenna in the list of
  // installed programs. Corvenna's own products ("Corvenna ...") may.
  if (file.Setting(kSettingProductNameEn).rfind(u"Corvenna ", 0) != 0) {
    std::string unset;
    for (int id : {kSettingCompanyFolder, kSettingPublisherEn, kSettingPublisherZh, kSettingHomePageEn,
                   kSettingHomePageZh}) {
      if (file.Setting(id).empty()) unset += (unset.empty() ? "" : ", ") + Named(id);
    }
    if (!unset.empty()) {
      warnings.push_back(fileName + ": " + unset + " not set, so the installer takes Corvenna's (the company folder "
                         "'Corvenna Soft', the publisher Corvenna Software and its home pages): set your own, e.g. "
                         "with `stpack init FOLDER --publisher \"Your Company\"`");
    }
  }

  const std::u16string company = file.Setting(kSettingCompanyFolder);
  if (!company.empty() && company != kNoCompanyFolder) {
    size_t start = 0;
    while (start <= company.size()) {
      size_t end = company.find(u'\\', start);
      if (end == std::u16string::npos) end = company.size();
      const std::u16string part = company.substr(start, end - start);
      const char* fault = part == u".." ? "names the parent folder" : NameFault(part);
      if (fault) {
        throw ToolError(where(kSettingCompanyFolder) + "'" + U8(company) + "' has a folder '" + U8(part) + "' that " + fault +
                        ": give one folder name (or A\\B) under Program Files, or '.' for none");
      }
      start = end + 1;
    }
  }
  for (int id : {kSettingHomePageEn, kSettingHomePageZh}) {
    const std::u16string page = file.Setting(id);
    if (!page.empty() && page.compare(0, 7, u"http://") != 0 && page.compare(0, 8, u"https://") != 0) {
      warnings.push_back(where(id) + "'" + U8(page) + "' does not start with http:// or https://");
    }
  }
  if (file.licenseFiles.size() == 1) {
    const bool english = file.licenseFiles.count(kUiEnglish) != 0;
    warnings.push_back(fileName + ": only " + (english ? "LicenseEn" : "LicenseZh") + " is set; the " +
                       (english ? "Chinese" : "English") + " wizard shows the built-in licence agreement");
  }
}

void CheckPayloadAgainstSettings(const ProductSettingsFile& file, const std::string& fileName,
                                 const std::vector<ManifestEntry>& members, const std::string& payloadName) {
  if (members.empty()) {
    throw ToolError(payloadName + ": the payload holds no file: put the product's files there");
  }
  const std::u16string program = file.Setting(kSettingExeBaseName) + u".exe";
  std::string programs;
  for (const ManifestEntry& member : members) {
    const bool inInstallFolder = member.useInstallDir || member.targetFolder.empty();
    if (!inInstallFolder) continue;
    if (SameIgnoringCase(member.fileName, program)) return;
    const std::u16string& name = member.fileName;
    if (name.size() > 4 && SameIgnoringCase(name.substr(name.size() - 4), u".exe")) {
      programs += (programs.empty() ? "" : ", ") + U8(name);
    }
  }
  throw ToolError(file.Place(fileName, kSettingExeBaseName) + ": ExeName (1010) names " + U8(program) +
                  ", but the payload installs no such program into the install folder itself (" +
                  (programs.empty() ? std::string("it holds no program there") : "programs there: " + programs) +
                  "): the wizard would fail to launch it and the shortcuts would point at nothing");
}

std::string CheckLicenseText(const std::string& bytes, const std::string& fileName) {
  std::string text = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? bytes.substr(3) : bytes;
  size_t bad = 0;
  if (!Utf8ToUtf16(text, &bad)) {
    throw ToolError(fileName + ": byte " + std::to_string(bad) + " is not UTF-8: save the licence text as UTF-8");
  }
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
    throw ToolError(fileName + ": the licence text is empty: write the agreement, or drop the setting to use the "
                    "built-in wording");
  }
  return text;
}

}  // namespace vo::stpack
