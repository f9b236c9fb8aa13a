#include "shell/UninstallEntry.h"

namespace vo {

std::u16string UninstallKeyPath(const std::u16string& productName) {
  return u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName;
}

std::u16string UninstallPublisher(int uiLanguage) {
  return uiLanguage == 0 ? u"柯雯纳软件工作室" : u"Corvenna Software";
}

std::u16string UninstallHomePage(int uiLanguage) {
  return uiLanguage == 0 ? u"http://www.corvenna.com/cn/" : u"http://www.corvenna.com/";
}

std::vector<RegistryTextValue> UninstallEntryValues(const UninstallProduct& product, const std::u16string& installDir) {
  return {
      {u"DisplayIcon", installDir + product.exeBaseName + u".exe"},
      {u"DisplayName", product.productName},
      {u"DisplayVersion", product.productVersion},
      {u"Publisher", UninstallPublisher(product.uiLanguage)},
      {u"URLInfoAbout", UninstallHomePage(product.uiLanguage)},
      {u"UninstallString", u"\"" + installDir + u"Uninst.exe\""},
  };
}

}  // namespace vo
