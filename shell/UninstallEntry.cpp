#include "shell/UninstallEntry.h"

namespace vo {

std::u16string UninstallKeyPath(const std::u16string& productName) {
  return u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName;
}

std::vector<RegistryTextValue> UninstallEntryValues(const UninstallProduct& product, const std::u16string& installDir) {
  return {
      {u"DisplayIcon", installDir + product.exeBaseName + u".exe"},
      {u"DisplayName", product.productName},
      {u"DisplayVersion", product.productVersion},
      {u"Publisher", product.publisher},
      {u"URLInfoAbout", product.homePage},
      {u"UninstallString", u"\"" + installDir + u"Uninst.exe\""},
  };
}

}  // namespace vo
