// The product settings as the installer reads them from its string table:
// the conversion of the freeware setting, the order and language of the
// reads, and the values of the optional settings when a product sets none.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/Language.h"
#include "settings/ProductSettings.h"
#include "text/DecimalNumber.h"
#include "text/Unicode.h"

namespace vo {
namespace {

// Setting 1009: a number in the user's format reads true when not zero;
// otherwise True/False in any letter case; anything else is an error.
struct BoolCase {
  const char16_t* text;
  char16_t separator;
  int expected;  // 1 true, 0 false, -1 invalid
};

const BoolCase kBoolCases[] = {
    {u"-1", u'.', 1},     {u"1", u'.', 1},        {u"2.5", u'.', 1},     {u"0", u'.', 0},
    {u"0.0", u'.', 0},    {u" 0 ", u'.', 0},      {u"+0", u'.', 0},      {u"-0", u'.', 0},
    {u"00", u'.', 0},     {u"1e3", u'.', 1},      {u"0E+5", u'.', 0},    {u".5", u'.', 1},
    {u"5.", u'.', 1},     {u"True", u'.', 1},     {u"tRUE", u'.', 1},    {u"TRUE", u'.', 1},
    {u"False", u'.', 0},  {u"false", u'.', 0},    {u"yes", u'.', -1},    {u"", u'.', -1},
    {u" ", u'.', -1},     {u"1e", u'.', -1},      {u"- 1", u'.', -1},    {u"1 2", u'.', -1},
    {u" True", u'.', -1}, {u"Truex", u'.', -1},   {u"2,5", u'.', -1},    {u"2,5", u',', 1},
    {u"0,0", u',', 0},    {u"2.5", u',', -1},     {u"0x10", u'.', -1},   {u"-", u'.', -1},
    {u".", u'.', 0},      {u"+.", u'.', 0},       {u".", u',', -1},      {u",", u',', 0},
    // A zero digit last must not hide the non-zero digits before it.
    {u"10", u'.', 1},     {u"2.0", u'.', 1},      {u"0.50", u'.', 1},
};

TEST(Settings, IsFreewareConversion) {
  for (const BoolCase& c : kBoolCases) {
    SetDecimalSeparator(c.separator);
    const std::string shown = Utf16ToUtf8(c.text);
    if (c.expected < 0) {
      try {
        SettingToBoolean(c.text);
        ADD_FAILURE() << "'" << shown << "' converted";
      } catch (const EProductSettingError& e) {
        EXPECT_EQ(e.Message(), u"'" + std::u16string(c.text) + u"' is not a valid boolean value");
      }
    } else {
      bool value = false;
      EXPECT_NO_THROW(value = SettingToBoolean(c.text)) << shown;
      EXPECT_EQ(value, c.expected == 1) << shown;
    }
  }
  SetDecimalSeparator(0);
}

struct ReadCase {
  const char* name;
  int language;
  std::u16string isFreeware;
  std::vector<int> reads;
  bool valid;
  std::u16string productName;
  std::u16string publisherEn = u"";    // 1014 as stored
  std::u16string companyFolder = u"";  // 1013 as stored
  std::u16string expectedCompany = u"Corvenna Soft";
  std::u16string expectedPublisher = u"";
  std::u16string expectedHomePage = u"";
};

void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }

class ReadSettings : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadSettings, OrderAndLanguage) {
  const ReadCase& c = GetParam();
  std::vector<int> reads;
  auto load = [&](int id) -> std::u16string {
    reads.push_back(id);
    switch (id) {
      case kSettingProductNameEn: return u"Corvenna Drawvane";
      case kSettingProductNameZh: return u"柯雯纳画图";
      case kSettingIsFreeware: return c.isFreeware;
      case kSettingExeBaseName: return u"Drawvane";
      case kSettingProductVersion: return u"2.0";
      case kSettingRequiredSpaceText: return u"7 MB";
      case kSettingPublisherEn: return c.publisherEn;
      case kSettingCompanyFolder: return c.companyFolder;
      default: return u"";
    }
  };
  if (c.valid) {
    ProductSettings s = ReadProductSettings(load, c.language);
    EXPECT_EQ(s.ProductName, c.productName);
    EXPECT_EQ(s.ExeBaseName, u"Drawvane");
    EXPECT_EQ(s.ProductVersion, u"2.0");
    EXPECT_EQ(s.RequiredSpaceText, u"7 MB");
    EXPECT_EQ(s.IsFreeware, c.isFreeware == u"-1");
    EXPECT_EQ(s.CompanyFolder, c.expectedCompany);
    EXPECT_EQ(s.Publisher, c.expectedPublisher);
    EXPECT_EQ(s.HomePage, c.expectedHomePage);
  } else {
    EXPECT_THROW(ReadProductSettings(load, c.language), EProductSettingError);
  }
  EXPECT_EQ(reads, c.reads);
}

// The optional settings come last, only those of the interface language, and
// an empty one means the value every installer had before it existed.
const ReadCase kReadCases[] = {
    {"chinese_never_reads_1004", kUiChinese, u"-1", {1010, 1011, 1012, 1009, 1005, 1013, 1015, 1017}, true,
     u"柯雯纳画图", u"", u"", u"Corvenna Soft", u"柯雯纳软件工作室", u"http://www.corvenna.com/cn/"},
    {"english_never_reads_1005", kUiEnglish, u"-1", {1010, 1011, 1012, 1009, 1004, 1013, 1014, 1016}, true,
     u"Corvenna Drawvane", u"", u"", u"Corvenna Soft", u"Corvenna Software", u"http://www.corvenna.com/"},
    {"shareware_with_own_publisher_and_company", kUiEnglish, u"0", {1010, 1011, 1012, 1009, 1004, 1013, 1014, 1016},
     true, u"Corvenna Drawvane", u"Acme Ltd", u"Acme Tools", u"Acme Tools", u"Acme Ltd", u"http://www.corvenna.com/"},
    {"no_company_folder", kUiEnglish, u"-1", {1010, 1011, 1012, 1009, 1004, 1013, 1014, 1016}, true,
     u"Corvenna Drawvane", u"", u".", u"", u"Corvenna Software", u"http://www.corvenna.com/"},
    {"invalid_stops_after_1009", kUiEnglish, u"yes", {1010, 1011, 1012, 1009}, false, u""},
    {"missing_1009_is_invalid", kUiChinese, u"", {1010, 1011, 1012, 1009}, false, u""},
};

INSTANTIATE_TEST_SUITE_P(Settings, ReadSettings, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(Settings, DefaultInstallFolder) {
  EXPECT_EQ(DefaultInstallFolder(u"C:\\Program Files", u"Corvenna Soft", u"Drawvane"),
            u"C:\\Program Files\\Corvenna Soft\\Drawvane");
  EXPECT_EQ(DefaultInstallFolder(u"C:\\Program Files", u"", u"Drawvane"), u"C:\\Program Files\\Drawvane");
  EXPECT_EQ(DefaultInstallFolder(u"", u"Acme", u"Tool"), u"\\Acme\\Tool");
  EXPECT_EQ(CompanyFolderFromSetting(u""), u"Corvenna Soft");
  EXPECT_EQ(CompanyFolderFromSetting(u"."), u"");
  EXPECT_EQ(CompanyFolderFromSetting(u"Acme\\Tools"), u"Acme\\Tools");
}

}  // namespace
}  // namespace vo
