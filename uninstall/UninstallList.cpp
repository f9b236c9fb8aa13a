#include "uninstall/UninstallList.h"

#include "package/MemberPath.h"
#include "settings/ProductSettings.h"
#include "shell/ShellError.h"
#include "shell/ShellLinks.h"
#include "text/Unicode.h"

namespace vo {

const char16_t kUninstallerFileName[] = u"Uninst.exe";
const char16_t kUninstallListFileName[] = u"Uninst.lst";

namespace {

const char kFormatVersion[] = "1";

char16_t FoldCase(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

bool IsForbiddenNameChar(char16_t c) {
  return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*';
}

bool IsPlainComponent(const std::u16string& name) {
  if (name.empty() || name.back() == u'.' || name.back() == u' ') return false;  // also rules out ".."
  for (char16_t c : name)
    if (IsForbiddenNameChar(c)) return false;
  return true;
}

void AppendUnique(std::vector<std::u16string>& list, const std::u16string& item) {
  for (const std::u16string& present : list)
    if (SamePath(present, item)) return;
  list.push_back(item);
}

bool HasControlCharacter(const std::u16string& text) {
  for (char16_t c : text)
    if (c < 0x20) return true;
  return false;
}

// A subkey of ...\Uninstall: one registry name, never empty (an empty name
// would address the Uninstall key itself).
bool IsUsableKeyName(const std::u16string& name) {
  return !name.empty() && name.find(u'\\') == std::u16string::npos && !HasControlCharacter(name);
}

// One file or folder name, without any path.
bool IsSingleName(const std::u16string& name) {
  return name.find_first_of(u"\\/") == std::u16string::npos && IsPlainComponent(name);
}

bool IsUsableLinkName(const std::u16string& name) { return IsSingleName(name); }

// The one-line form of a value; product names come from trusted build data,
// but a line break in one would split the list.
std::string LineValue(const std::u16string& value, const char* what) {
  if (HasControlCharacter(value)) throw EUninstallList(std::string(what) + " holds a control character");
  return Utf16ToUtf8(value);
}

}  // namespace

bool SamePath(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

std::u16string PlainRelativePath(const std::u16string& path) {
  return RelativeFilePathProblem(path).empty() ? path : std::u16string();
}

std::u16string InstalledMemberPath(const UninstallMember& member) {
  // The extractor refuses a package with a member its rule refuses, and
  // writes only the last part of the file name, into the target folder.
  if (!MemberPathProblem(member.targetFolder, member.fileName).empty()) return {};
  const std::u16string name = MemberFileName(member.fileName);
  if (member.useInstallDir) return name;
  if (SystemFolderTokenLength(member.targetFolder) > 0) return {};
  return member.targetFolder + name;
}

UninstallListProduct ReadUninstallListProduct(const std::function<std::u16string(int id)>& setting) {
  return {setting(kSettingRunningWindowClass), setting(kSettingRunningWindowTitle),
          setting(kSettingRunningWindowTitleAlt), setting(kSettingProductNameEn),
          setting(kSettingProductNameZh), CompanyFolderFromSetting(setting(kSettingCompanyFolder))};
}

std::u16string UninstallList::ProductName(int uiLanguage) const {
  const std::u16string& preferred = uiLanguage == 0 ? productNameZh : productNameEn;
  const std::u16string& other = uiLanguage == 0 ? productNameEn : productNameZh;
  return preferred.empty() ? other : preferred;
}

std::string BuildUninstallList(const std::vector<UninstallMember>& members, const UninstallListProduct& product) {
  std::string out = "; Uninst.lst: what this product installed, for its uninstaller Uninst.exe\r\n";
  auto line = [&out](const std::string& key, const std::string& value) { out += key + "=" + value + "\r\n"; };
  line("Format", kFormatVersion);
  line("WindowClass", LineValue(product.windowClass, "window class"));
  line("WindowTitle", LineValue(product.windowTitle, "window title"));
  line("WindowTitleAlt", LineValue(product.windowTitleAlt, "second window title"));

  struct Language {
    const char* suffix;
    const std::u16string& name;
  };
  for (const Language& language : {Language{".0", product.productNameZh}, Language{".2", product.productNameEn}}) {
    if (language.name.empty()) continue;  // the installer names nothing after an empty name
    const std::string suffix = language.suffix;
    line("ProductName" + suffix, LineValue(language.name, "product name"));
    const std::u16string link = ShortcutFileName(language.name);
    if (IsUsableLinkName(link)) line("Shortcut" + suffix, Utf16ToUtf8(link));
    if (!IsUsableKeyName(language.name))
      throw EUninstallList("product name \"" + Utf16ToUtf8(language.name) + "\" cannot name an uninstall entry");
    line("UninstallKey" + suffix, Utf16ToUtf8(language.name));
  }

  if (!product.companyFolder.empty()) {
    if (!IsSingleName(product.companyFolder))
      throw EUninstallList("company folder \"" + Utf16ToUtf8(product.companyFolder) + "\" is not one folder name");
    line("CompanyFolder", Utf16ToUtf8(product.companyFolder));
  }

  std::vector<std::u16string> files;
  for (const UninstallMember& member : members) {
    const std::u16string path = InstalledMemberPath(member);
    if (!path.empty()) AppendUnique(files, path);
  }
  AppendUnique(files, kUninstallerFileName);
  AppendUnique(files, kUninstallListFileName);
  for (const std::u16string& file : files) line("File", Utf16ToUtf8(file));
  return out;
}

UninstallList ParseUninstallList(const std::string& text) {
  std::u16string wide;
  std::optional<std::u16string> decoded = Utf8ToUtf16(text);
  if (!decoded) throw EUninstallList("the list is not UTF-8 text");
  wide = std::move(*decoded);
  if (!wide.empty() && wide[0] == u'\xFEFF') wide.erase(0, 1);

  UninstallList list;
  bool formatSeen = false;
  size_t start = 0;
  for (int lineNumber = 1; start < wide.size(); ++lineNumber) {
    size_t end = wide.find(u'\n', start);
    if (end == std::u16string::npos) end = wide.size();
    std::u16string line = wide.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    if (line.empty() || line[0] == u';') continue;

    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    const size_t equals = line.find(u'=');
    if (equals == std::u16string::npos) throw EUninstallList(where + "no \"=\" in \"" + Utf16ToUtf8(line) + "\"");
    const std::u16string key = line.substr(0, equals);
    const std::u16string value = line.substr(equals + 1);
    // Shortcut.0 and Shortcut.2 are both just shortcuts to remove.
    const std::u16string baseKey = key.substr(0, key.find(u'.'));

    if (!formatSeen) {
      if (key != u"Format") throw EUninstallList(where + "the list does not start with its Format entry");
      if (Utf16ToUtf8(value) != kFormatVersion)
        throw EUninstallList(where + "list format " + Utf16ToUtf8(value) + " is not supported");
      formatSeen = true;
    } else if (key == u"WindowClass") {
      list.windowClass = value;
    } else if (key == u"WindowTitle") {
      list.windowTitle = value;
    } else if (key == u"WindowTitleAlt") {
      list.windowTitleAlt = value;
    } else if (key == u"ProductName.0") {
      list.productNameZh = value;
    } else if (key == u"ProductName.2") {
      list.productNameEn = value;
    } else if (key == u"CompanyFolder") {
      if (!IsSingleName(value))
        throw EUninstallList(where + "\"" + Utf16ToUtf8(value) + "\" is not a folder name");
      list.companyFolder = value;
    } else if (baseKey == u"Shortcut") {
      if (!IsUsableLinkName(value)) throw EUninstallList(where + "\"" + Utf16ToUtf8(value) + "\" is not a file name");
      AppendUnique(list.shortcuts, value);
    } else if (baseKey == u"UninstallKey") {
      if (!IsUsableKeyName(value)) throw EUninstallList(where + "\"" + Utf16ToUtf8(value) + "\" is not a key name");
      AppendUnique(list.uninstallKeys, value);
    } else if (key == u"File") {
      // The rule the extractor applies: anything it refuses did not come
      // from BuildUninstallList and might reach outside the install folder.
      const std::string problem = RelativeFilePathProblem(value);
      if (!problem.empty()) throw EUninstallList(where + problem);
      AppendUnique(list.files, value);
    }
  }
  if (!formatSeen) throw EUninstallList("the list is empty");
  return list;
}

}  // namespace vo
