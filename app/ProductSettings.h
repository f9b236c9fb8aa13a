#pragma once
// The product settings: nine entries of the installer's own string table
// (language 2052) that make one installer executable belong to one product.

#include <functional>
#include <string>

namespace vo {

enum ProductSettingId : int {
  kSettingRunningWindowClass = 1001,
  kSettingRunningWindowTitle = 1002,
  kSettingRunningWindowTitleAlt = 1003,
  kSettingProductNameEn = 1004,
  kSettingProductNameZh = 1005,
  kSettingIsFreeware = 1009,
  kSettingExeBaseName = 1010,
  kSettingProductVersion = 1011,
  kSettingRequiredSpaceText = 1012,
};

// The settings the wizard reads when its window is created.
struct ProductSettings {
  std::u16string ExeBaseName;        // 1010: the product's main executable without ".exe"
  std::u16string ProductVersion;     // 1011: shown and registered, never parsed
  std::u16string RequiredSpaceText;  // 1012: shown verbatim
  bool IsFreeware = false;           // 1009: freeware or shareware licence wording
  std::u16string ProductName;        // 1005 in Chinese, 1004 in English
};

// Reads one entry; a missing entry is the empty text.
using SettingLoader = std::function<std::u16string(int id)>;

// Reads 1010, 1011, 1012 and 1009 in that order, then the display name of
// uiLanguage only (the other one is never read). Raises EConvertError
// "'<text>' is not a valid boolean value" when 1009 is neither a number nor
// True/False; nothing after 1009 is read then.
ProductSettings ReadProductSettings(const SettingLoader& load, int uiLanguage);

// Setting 1009 as a boolean: a decimal number (user's decimal separator)
// is true when not zero; otherwise "True"/"False" in any letter case. Empty
// and anything else raise EConvertError.
bool SettingToBoolean(const std::u16string& text);

// Windows: the entry id of the executable's own string table, read with
// LoadStringW into a 1024-character buffer.
std::u16string LoadProductSetting(int id);

}  // namespace vo
