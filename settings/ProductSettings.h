#pragma once
// The product settings: entries of the installer's own string table
// (language 2052) that make one installer executable belong to one product.
// The installer, the uninstaller's list and the publisher's tool all read
// them through this module.
//
// Settings 1013 to 1017 are optional: a missing or empty entry means the
// value every installer had before they existed (the company folder
// "Corvenna Soft", the publisher Corvenna Software and its home pages). A
// company folder of "." means none: the product's folder goes straight
// under the program-files folder.

#include <functional>
#include <string>

#include "text/Error.h"

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
  kSettingCompanyFolder = 1013,
  kSettingPublisherEn = 1014,
  kSettingPublisherZh = 1015,
  kSettingHomePageEn = 1016,
  kSettingHomePageZh = 1017,
};

// The company folder text that stands for "no company folder".
extern const char16_t kNoCompanyFolder[];  // "."

// The settings the wizard and the installation run read when the wizard
// window is created.
struct ProductSettings {
  std::u16string ExeBaseName;        // 1010: the product's main executable without ".exe"
  std::u16string ProductVersion;     // 1011: shown and registered, never parsed
  std::u16string RequiredSpaceText;  // 1012: shown verbatim
  bool IsFreeware = false;           // 1009: freeware or shareware licence wording
  std::u16string ProductName;        // 1005 in Chinese, 1004 in English
  std::u16string CompanyFolder;      // 1013: folder under Program Files; empty for none
  std::u16string Publisher;          // 1015 in Chinese, 1014 in English
  std::u16string HomePage;           // 1017 in Chinese, 1016 in English
};

// A setting that the installer cannot use; the message names it.
class EProductSettingError : public Error {
 public:
  explicit EProductSettingError(const std::u16string& message);
  explicit EProductSettingError(const std::string& utf8Message);
  const std::u16string& Message() const { return fMessage; }

 private:
  std::u16string fMessage;
};

// Reads one entry; a missing entry is the empty text.
using SettingLoader = std::function<std::u16string(int id)>;

// Reads 1010, 1011, 1012 and 1009 in that order, then the display name of
// uiLanguage only (the other one is never read), then 1013 and the publisher
// and home page of uiLanguage. Raises EProductSettingError
// "'<text>' is not a valid boolean value" when 1009 is neither a number nor
// True/False; nothing after 1009 is read then.
ProductSettings ReadProductSettings(const SettingLoader& load, int uiLanguage);

// Setting 1009 as a boolean: a decimal number (user's decimal separator)
// is true when not zero; otherwise "True"/"False" in any letter case. Empty
// and anything else raise EProductSettingError.
bool SettingToBoolean(const std::u16string& text);

// The values of 1013 to 1017 when the product sets none.
std::u16string DefaultCompanyFolder();               // "Corvenna Soft"
std::u16string DefaultPublisher(int uiLanguage);     // "柯雯纳软件工作室" / "Corvenna Software"
std::u16string DefaultHomePage(int uiLanguage);

// The company folder as the installer uses it: the setting, its default when
// empty, and empty for kNoCompanyFolder.
std::u16string CompanyFolderFromSetting(const std::u16string& setting);

// The folder proposed when no earlier installation is found:
// programFiles\company\exeBaseName, or programFiles\exeBaseName without a
// company folder.
std::u16string DefaultInstallFolder(const std::u16string& programFiles, const std::u16string& companyFolder,
                                    const std::u16string& exeBaseName);

// Windows only: the entry id of the executable's own string table, read with
// LoadStringW into a 1024-character buffer.
std::u16string LoadProductSetting(int id);

// Windows only: the product's own licence agreement for the interface
// language (the UTF-8 resource "License0" or "License2") with LF line ends;
// empty when the product has none and the built-in wording applies.
std::u16string LoadProductLicense(int uiLanguage);

}  // namespace vo
