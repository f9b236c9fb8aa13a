#include "shell/UninstallEntry.h"

namespace vo {
namespace {

UninstallValue Text(const char16_t* name, std::u16string text) {
  UninstallValue value;
  value.name = name;
  value.text = std::move(text);
  return value;
}

UninstallValue Number(const char16_t* name, uint32_t number) {
  UninstallValue value;
  value.name = name;
  value.kind = UninstallValue::kNumber;
  value.number = number;
  return value;
}

}  // namespace

const char16_t kUninstallRootKeyPath[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::u16string UninstallKeyPath(const std::u16string& productName) {
  return kUninstallRootKeyPath + (u"\\" + productName);
}

std::vector<UninstallValue> UninstallEntryValues(const UninstallProduct& product, const std::u16string& installDir) {
  const std::u16string uninstaller = u"\"" + installDir + u"Uninst.exe\"";
  // The folder as the list of installed programs shows it: without the
  // trailing backslash, except for a drive's root.
  std::u16string location = installDir;
  if (location.size() > 3 && location.back() == u'\\') location.pop_back();

  std::vector<UninstallValue> values = {
      Text(u"DisplayIcon", installDir + product.exeBaseName + u".exe"),
      Text(u"DisplayName", product.productName),
      Text(u"DisplayVersion", product.productVersion),
      Text(u"Publisher", product.publisher),
      Text(u"URLInfoAbout", product.homePage),
      Text(u"UninstallString", uninstaller),
      Text(u"QuietUninstallString", uninstaller + u" /S"),
      Text(u"InstallLocation", location),
  };
  if (product.estimatedSizeKb) values.push_back(Number(u"EstimatedSize", *product.estimatedSizeKb));
  // The uninstaller can only remove; there is nothing to modify or repair.
  values.push_back(Number(u"NoModify", 1));
  values.push_back(Number(u"NoRepair", 1));
  return values;
}

uint32_t EstimatedSizeKilobytes(int64_t bytes) {
  if (bytes <= 0) return 0;
  const int64_t kilobytes = bytes / 1024 + (bytes % 1024 != 0);
  return kilobytes > int64_t(0xFFFFFFFF) ? 0xFFFFFFFFu : uint32_t(kilobytes);
}

}  // namespace vo
