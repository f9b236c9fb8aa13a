#include "app/ProductSettings.h"

#include "app/Global.h"
#include "datatable/TextConvert.h"

namespace vo {

// The data table's boolean reading is the same conversion, except that a cell
// turns its empty text into "0" first; a setting does not, so an empty 1009
// stays invalid.
bool SettingToBoolean(const std::u16string& text) { return TextToBoolean(text); }

ProductSettings ReadProductSettings(const SettingLoader& load, int uiLanguage) {
  ProductSettings settings;
  settings.ExeBaseName = load(kSettingExeBaseName);
  settings.ProductVersion = load(kSettingProductVersion);
  settings.RequiredSpaceText = load(kSettingRequiredSpaceText);
  settings.IsFreeware = SettingToBoolean(load(kSettingIsFreeware));
  settings.ProductName = load(uiLanguage == kUiChinese ? kSettingProductNameZh : kSettingProductNameEn);
  return settings;
}

}  // namespace vo
