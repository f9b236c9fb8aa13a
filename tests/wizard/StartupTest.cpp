#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "app/Global.h"
#include "app/ProductSettings.h"
#include "datatable/TextConvert.h"

namespace vo {
namespace {

TEST(Startup, LanguageFromCodePage) {
  const std::pair<unsigned, int> cases[] = {
      {936, kUiChinese}, {950, kUiEnglish}, {1252, kUiEnglish}, {932, kUiEnglish}, {0, kUiEnglish}, {65001, kUiEnglish},
  };
  for (const auto& [codePage, language] : cases) EXPECT_EQ(UiLanguageFromCodePage(codePage), language) << codePage;
}

struct GuardCase {
  const char* name;
  std::u16string title;
  std::u16string titleAlt;
  std::set<std::pair<std::u16string, std::u16string>> windows;  // (class, title) present
  std::u16string found;
  int lookups;
};

class Guard : public ::testing::TestWithParam<GuardCase> {};

TEST_P(Guard, FindsTheRunningTitle) {
  const GuardCase& c = GetParam();
  std::vector<std::pair<std::u16string, std::u16string>> calls;
  auto finder = [&](const std::u16string& cls, const std::u16string& title) {
    calls.emplace_back(cls, title);
    return c.windows.count({cls, title}) > 0;
  };
  EXPECT_EQ(FindRunningTitle(finder, u"TfrmImageEditor", c.title, c.titleAlt), c.found);
  ASSERT_EQ(static_cast<int>(calls.size()), c.lookups);
  EXPECT_EQ(calls[0], std::make_pair(std::u16string(u"TfrmImageEditor"), c.title));
  if (c.lookups == 2) {
    EXPECT_EQ(calls[1], std::make_pair(std::u16string(u"TfrmImageEditor"), c.titleAlt));
  }
}

const GuardCase kGuardCases[] = {
    {"none_running", u"Drawvane", u"柯雯纳画图", {}, u"", 2},
    {"first_title", u"Drawvane", u"柯雯纳画图", {{u"TfrmImageEditor", u"Drawvane"}}, u"Drawvane", 1},
    {"second_title", u"Drawvane", u"柯雯纳画图", {{u"TfrmImageEditor", u"柯雯纳画图"}}, u"柯雯纳画图", 2},
    {"other_class", u"Drawvane", u"柯雯纳画图", {{u"Notepad", u"Drawvane"}}, u"", 2},
    {"partial_title", u"Drawvane", u"柯雯纳画图", {{u"TfrmImageEditor", u"Drawvane - a.png"}}, u"", 2},
    // Found under an empty first title: nothing is recorded and the second
    // look-up is not made, so the installer runs.
    {"empty_title_found", u"", u"柯雯纳画图",
     {{u"TfrmImageEditor", u""}, {u"TfrmImageEditor", u"柯雯纳画图"}}, u"", 1},
};

INSTANTIATE_TEST_SUITE_P(Startup, Guard, ::testing::ValuesIn(kGuardCases),
                         [](const ::testing::TestParamInfo<GuardCase>& info) { return std::string(info.param.name); });

TEST(Startup, RunningProductMessage) {
  struct Case {
    int language;
    std::u16string found;
    std::u16string text;
    std::u16string caption;
  };
  const Case cases[] = {
      {kUiChinese, u"Drawvane", u"Drawvane正在运行，请先退出后再进行安装。", u"安装向导"},
      {kUiChinese, u"柯雯纳画图", u"柯雯纳画图正在运行，请先退出后再进行安装。", u"安装向导"},
      {kUiEnglish, u"Drawvane", u"Drawvane program is running, please close it first.", u"Setup"},
      // English always names the first title, whatever the window was found under.
      {kUiEnglish, u"柯雯纳画图", u"Drawvane program is running, please close it first.", u"Setup"},
  };
  for (const Case& c : cases) {
    MessageBoxText box = RunningProductMessage(c.language, c.found, u"Drawvane");
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.caption, c.caption);
  }
}

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
};

TEST(Settings, IsFreewareConversion) {
  for (const BoolCase& c : kBoolCases) {
    SetDecimalSeparator(c.separator);
    const std::string shown = Utf16ToUtf8(c.text);
    if (c.expected < 0) {
      try {
        SettingToBoolean(c.text);
        ADD_FAILURE() << "'" << shown << "' converted";
      } catch (const EConvertError& e) {
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
};

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
  } else {
    EXPECT_THROW(ReadProductSettings(load, c.language), EConvertError);
  }
  EXPECT_EQ(reads, c.reads);
}

const ReadCase kReadCases[] = {
    {"chinese_never_reads_1004", kUiChinese, u"-1", {1010, 1011, 1012, 1009, 1005}, true, u"柯雯纳画图"},
    {"english_never_reads_1005", kUiEnglish, u"-1", {1010, 1011, 1012, 1009, 1004}, true, u"Corvenna Drawvane"},
    {"shareware", kUiEnglish, u"0", {1010, 1011, 1012, 1009, 1004}, true, u"Corvenna Drawvane"},
    {"invalid_stops_after_1009", kUiEnglish, u"yes", {1010, 1011, 1012, 1009}, false, u""},
    {"missing_1009_is_invalid", kUiChinese, u"", {1010, 1011, 1012, 1009}, false, u""},
};

INSTANTIATE_TEST_SUITE_P(Settings, ReadSettings, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vo
