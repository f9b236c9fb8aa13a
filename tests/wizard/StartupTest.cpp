#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "app/Global.h"

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

}  // namespace
}  // namespace vo
