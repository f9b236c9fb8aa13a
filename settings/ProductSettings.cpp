#include "settings/ProductSettings.h"

#include "settings/Language.h"
#include "text/DecimalNumber.h"
#include "text/Unicode.h"

namespace vo {

const char16_t kNoCompanyFolder[] = u".";

EProductSettingError::EProductSettingError(const std::u16string& message)
    : Error(Utf16ToUtf8(message)), fMessage(message) {}

EProductSettingError::EProductSettingError(const std::string& utf8Message)
    : Error(utf8Message), fMessage(Utf8ToUtf16(utf8Message).value_or(u"?")) {}

bool SettingToBoolean(const std::u16string& text) {
  bool value = false;
  if (!TryTextToBoolean(text, value)) throw EProductSettingError(u"'" + text + u"' is not a valid boolean value");
  return value;
}

std::u16string DefaultCompanyFolder() { return u"Corvenna Soft"; }

std::u16string DefaultPublisher(int uiLanguage) {
  return uiLanguage == kUiChinese ? u"柯雯纳软件工作室" : u"Corvenna Software";
}

std::u16string DefaultHomePage(int uiLanguage) {
  return uiLanguage == kUiChinese ? u"http://www.corvenna.com/cn/" : u"http://www.corvenna.com/";
}

std::u16string CompanyFolderFromSetting(const std::u16string& setting) {
  if (setting.empty()) return DefaultCompanyFolder();
  if (setting == kNoCompanyFolder) return {};
  return setting;
}

std::u16string DefaultInstallFolder(const std::u16string& programFiles, const std::u16string& companyFolder,
                                    const std::u16string& exeBaseName) {
  if (companyFolder.empty()) return programFiles + u"\\" + exeBaseName;
  return programFiles + u"\\" + companyFolder + u"\\" + exeBaseName;
}

ProductSettings ReadProductSettings(const SettingLoader& load, int uiLanguage) {
  const bool chinese = uiLanguage == kUiChinese;
  auto orDefault = [](std::u16string value, const std::u16string& fallback) {
    return value.empty() ? fallback : value;
  };
  ProductSettings settings;
  settings.ExeBaseName = load(kSettingExeBaseName);
  settings.ProductVersion = load(kSettingProductVersion);
  settings.RequiredSpaceText = load(kSettingRequiredSpaceText);
  settings.IsFreeware = SettingToBoolean(load(kSettingIsFreeware));
  settings.ProductName = load(chinese ? kSettingProductNameZh : kSettingProductNameEn);
  settings.CompanyFolder = CompanyFolderFromSetting(load(kSettingCompanyFolder));
  settings.Publisher = orDefault(load(chinese ? kSettingPublisherZh : kSettingPublisherEn), DefaultPublisher(uiLanguage));
  settings.HomePage = orDefault(load(chinese ? kSettingHomePageZh : kSettingHomePageEn), DefaultHomePage(uiLanguage));
  return settings;
}

}  // namespace vo
