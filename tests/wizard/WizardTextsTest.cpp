#include <gtest/gtest.h>

#include <algorithm>

#include "app/Global.h"
#include "settings/ProductSettings.h"
#include "wizard/WizardTexts.h"

namespace vo {
namespace {

TEST(WizardTexts, ComposedTexts) {
  struct Case {
    int language;
    std::u16string version;
    std::u16string title, welcome, complete, needSize;
  };
  const Case cases[] = {
      {kUiChinese, u"2.0", u"安装向导 - 柯雯纳画图", u"欢迎使用 柯雯纳画图 V2.0 安装\n向导", u"柯雯纳画图 V2.0 安装成功。",
       u"所需空间: 7 MB"},
      {kUiEnglish, u"2.0", u"Setup - 柯雯纳画图", u"Welcome to the 柯雯纳画图 2.0 Setup Wizard",
       u"Completing the 柯雯纳画图 Setup Wizard", u"Space required: 7 MB"},
      // An empty version leaves " V" alone in Chinese and two spaces in English.
      {kUiChinese, u"", u"安装向导 - 柯雯纳画图", u"欢迎使用 柯雯纳画图 V 安装\n向导", u"柯雯纳画图 V 安装成功。",
       u"所需空间: 7 MB"},
      {kUiEnglish, u"", u"Setup - 柯雯纳画图", u"Welcome to the 柯雯纳画图  Setup Wizard",
       u"Completing the 柯雯纳画图 Setup Wizard", u"Space required: 7 MB"},
  };
  for (const Case& c : cases) {
    PageTexts t = MakePageTexts(c.language, {u"柯雯纳画图", c.version, u"7 MB"});
    EXPECT_EQ(t.WindowTitle, c.title);
    EXPECT_EQ(t.Welcome, c.welcome);
    EXPECT_EQ(t.Complete, c.complete);
    EXPECT_EQ(t.NeedSize, c.needSize);
  }
}

TEST(WizardTexts, NotEnoughSpaceNamesBothSizesInEitherLanguage) {
  EXPECT_EQ(NotEnoughSpaceText(kUiEnglish, u"7 MB", u"3.5 MB"),
            u"There is not enough free space on the destination drive: 7 MB needed, 3.5 MB available.\n\n"
            u"Free some space or choose another folder, then click Install again.");
  EXPECT_EQ(NotEnoughSpaceText(kUiChinese, u"7 MB", u"3.5 MB"),
            u"目标磁盘空间不足：需要 7 MB，可用 3.5 MB。\n\n请释放磁盘空间或选择其他文件夹，然后再次点击“安装”。");
}

TEST(WizardTexts, TipsAndCloseTextOnlyInEnglish) {
  PageTexts zh = MakePageTexts(kUiChinese, {u"P", u"1", u"1 MB"});
  PageTexts en = MakePageTexts(kUiEnglish, {u"P", u"1", u"1 MB"});
  EXPECT_TRUE(zh.LicenseTip.empty() && zh.FolderTip.empty() && zh.Close.empty());
  EXPECT_EQ(en.FolderTip, u"Where should P be installed?");
  EXPECT_EQ(en.Close, u"Setup has finished installing P 1 on your computer.\n\nClick Finish to close this wizard.");
}

TEST(WizardTexts, EveryLanguageValueOtherThanChineseIsEnglish) {
  for (int language : {1, 2, 3, -1}) {
    EXPECT_EQ(MakeWizardTexts(language).NextCaption, u"&Next >");
    EXPECT_EQ(MakePageTexts(language, {}).License, u"License Agreement");
  }
  EXPECT_EQ(MakeWizardTexts(kUiChinese).NextCaption, u"下一步");
}

// The licence agreement: the line count, the numbered clauses and the lines
// that depend on the product name and the wording.
struct AgreementCase {
  const char* name;
  int language;
  bool freeware;
  size_t lines;
  std::u16string firstLine;
  std::vector<std::pair<size_t, std::u16string>> linePrefixes;  // 0-based line, start of its text
  std::u16string absent;                                        // no line starts with this
};

const AgreementCase kAgreements[] = {
    {"chinese_freeware", kUiChinese, true, 16, u"柯雯纳画图 用户许可协议",
     {{4, u"1. 柯雯纳画图（以下简称“本软件”）"}, {8, u"3. 本软件是免费软件"}, {12, u"5. 若您未能遵守"}, {13, u""}, {14, u""}},
     u"6. "},
    {"chinese_shareware", kUiChinese, false, 18, u"柯雯纳画图 用户许可协议",
     {{8, u"3. 您可以自由复制或传播本软件。"}, {12, u"5. "}, {13, u""}, {14, u"6. 若您未能遵守"}, {16, u""}},
     u"3. 本软件是免费软件"},
    {"english_freeware", kUiEnglish, true, 22, u"End User License Agreement",
     {{2, u"Please read the following terms and conditions carefully before using 柯雯纳画图. Use of"},
      {6, u"柯雯纳画图 (this software) is provided \"as-is\""},
      {10, u"2. License"},
      {12, u"This software is freeware, you can unrestricted use of it."},
      {14, u"But without the permission"},
      {16, u"3. Restrictions on Use"},
      {19, u""}},
     u"This software is shareware"},
    {"english_shareware", kUiEnglish, false, 22, u"End User License Agreement",
     {{12, u"This software is shareware"}, {13, u""}, {16, u"3. Restrictions on Use"}},
     u"This software is freeware"},
};

class Agreement : public ::testing::TestWithParam<AgreementCase> {};

TEST_P(Agreement, Lines) {
  const AgreementCase& c = GetParam();
  std::vector<std::u16string> lines = LicenseAgreementLines(c.language, u"柯雯纳画图", c.freeware);
  ASSERT_EQ(lines.size(), c.lines);
  EXPECT_EQ(lines[0], c.firstLine);
  EXPECT_EQ(lines[1], u"");
  for (const auto& [index, prefix] : c.linePrefixes) {
    if (prefix.empty()) {
      EXPECT_EQ(lines[index], u"") << index;
    } else {
      EXPECT_EQ(lines[index].compare(0, prefix.size(), prefix), 0) << index;
    }
  }
  EXPECT_TRUE(std::none_of(lines.begin(), lines.end(),
                           [&](const std::u16string& l) { return l.compare(0, c.absent.size(), c.absent) == 0; }));
  // The ownership notice closes the agreement, after two empty lines.
  EXPECT_EQ(lines[lines.size() - 2], u"");
  EXPECT_EQ(lines[lines.size() - 3], u"");
  EXPECT_NE(lines.back().find(u"Corvenna Soft"), std::u16string::npos);
  for (const auto& line : lines) EXPECT_EQ(line.find(u'\n'), std::u16string::npos);
}

// The agreement's last line names the product's publisher; the sample, which
// is Corvenna's (no publisher setting, or the default one), keeps its wording.
TEST(WizardTexts, TheAgreementNamesThePublisher) {
  struct Case {
    int language;
    std::u16string publisher;
    std::u16string last;
  };
  const Case cases[] = {
      {kUiEnglish, u"Plume Works Ltd", u"Copyright (C) Plume Works Ltd. All rights reserved."},
      {kUiChinese, u"羽毛工作室", u"版权所有 (C) 羽毛工作室。保留所有权利。"},
      {kUiEnglish, u"", u"Copyright (C) 2009-2012 Corvenna Soft. All rights reserved."},
      {kUiEnglish, u"Corvenna Software", u"Copyright (C) 2009-2012 Corvenna Soft. All rights reserved."},
      {kUiChinese, u"柯雯纳软件工作室", u"版权所有 (C) 2009-2012 柯雯纳软件 (Corvenna Soft)。保留所有权利。"},
  };
  for (const Case& c : cases) {
    for (bool freeware : {true, false}) {
      const std::vector<std::u16string> lines = LicenseAgreementLines(c.language, u"Quill", freeware, c.publisher);
      EXPECT_EQ(lines.back(), c.last);
      for (const std::u16string& line : lines) {
        if (!c.publisher.empty() && c.publisher != DefaultPublisher(c.language)) {
          EXPECT_EQ(line.find(u"Corvenna"), std::u16string::npos) << "another publisher's agreement names Corvenna";
          EXPECT_EQ(line.find(u"柯雯纳"), std::u16string::npos);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(WizardTexts, Agreement, ::testing::ValuesIn(kAgreements),
                         [](const ::testing::TestParamInfo<AgreementCase>& info) {
                           return std::string(info.param.name);
                         });


TEST(WizardTexts, InstalledVersionNoticeInBothLanguages) {
  struct Case {
    int language;
    const char16_t* installed;
    const char16_t* ours;
    const char16_t* notice;
  };
  const Case cases[] = {
      {kUiEnglish, u"3.1", u"3.2", u"Version 3.1 is installed in this folder and will be updated to 3.2."},
      {kUiEnglish, u"3.2", u"3.2", u"The same version, 3.2, is installed in this folder and will be replaced."},
      {kUiEnglish, u"3.10", u"3.9",
       u"The newer version 3.10 is installed in this folder and will be replaced by the older 3.9."},
      {kUiEnglish, u"3.1b", u"3.2", u"Another version (3.1b) is installed in this folder and will be replaced by 3.2."},
      // A version holding "%2" is not read as a placeholder.
      {kUiEnglish, u"%2", u"3.2", u"Another version (%2) is installed in this folder and will be replaced by 3.2."},
      {kUiChinese, u"3.1", u"3.2", u"此文件夹中已安装版本 3.1，将更新为版本 3.2。"},
      {kUiChinese, u"3.2", u"3.2", u"此文件夹中已安装相同的版本 3.2，将重新安装。"},
      {kUiChinese, u"4", u"3.2", u"此文件夹中已安装较新的版本 4，将被旧版本 3.2 替换。"},
      {kUiChinese, u"", u"3.2", u"此文件夹中已安装另一版本 ()，将被版本 3.2 替换。"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InstalledVersionNotice(MakeWizardTexts(c.language), c.installed, c.ours), std::u16string(c.notice));
  }
}

}  // namespace
}  // namespace vo
