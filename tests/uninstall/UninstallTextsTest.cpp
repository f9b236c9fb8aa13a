#include "uninstall/UninstallTexts.h"

#include <gtest/gtest.h>

namespace vo {
namespace {

TEST(UiLanguageForCodePage, OnlySimplifiedChineseGivesTheChineseInterface) {
  const std::pair<unsigned, int> cases[] = {{936, 0}, {950, 2}, {1252, 2}, {65001, 2}, {0, 2}};
  for (const auto& c : cases) EXPECT_EQ(UiLanguageForCodePage(c.first), c.second) << c.first;
}

TEST(UninstallTexts, QuestionAndRefusalInBothLanguages) {
  EXPECT_EQ(UninstallCaption(0), u"卸载");
  EXPECT_EQ(UninstallCaption(2), u"Uninstall");
  EXPECT_EQ(ConfirmRemovalText(u"柯雯纳画图", 0), u"确实要从计算机中完全删除“柯雯纳画图”及其所有组件吗？");
  EXPECT_EQ(ConfirmRemovalText(u"Corvenna Drawvane", 2),
            u"Do you want to completely remove Corvenna Drawvane and all of its components from your computer?");
  // The Chinese text names the title the window was found under, the English one the first title.
  EXPECT_EQ(ProductRunningText(u"柯雯纳画图", u"Drawvane", 0), u"柯雯纳画图正在运行，请先退出后再进行卸载。");
  EXPECT_EQ(ProductRunningText(u"柯雯纳画图", u"Drawvane", 2),
            u"Drawvane program is running, please close it before uninstalling.");
  EXPECT_EQ(ListUnreadableText(u"C:\\D\\Uninst.lst", "line 2: no \"=\"", 2),
            u"The list of installed files \"C:\\D\\Uninst.lst\" cannot be read, so nothing was removed.\r\n\r\n"
            u"line 2: no \"=\"");
}

TEST(RemovalSummaryText, SaysWhatWentAndNamesWhatStayed) {
  RemovalReport complete;
  complete.filesRemoved = 4;
  complete.selfPath = u"C:\\D\\Uninst.exe";  // removed by the helper, so counted
  complete.foldersRemoved = 1;
  complete.shortcutsRemoved = {u"a.lnk", u"b.lnk"};
  complete.entriesRemoved = {u"Corvenna Drawvane"};

  RemovalReport partial;
  partial.filesRemoved = 1;
  partial.filesLeft = {u"C:\\D\\Drawvane.exe"};
  partial.foldersKept = {u"C:\\D"};

  RemovalReport userFiles;
  userFiles.foldersKept = {u"C:\\D"};

  RemovalReport linked;
  linked.filesRemoved = 2;
  linked.filesBehindLinks = {u"C:\\D\\Lang\\zh.ini"};
  linked.linksRemoved = {u"C:\\D\\Lang"};

  struct Case {
    const char* name;
    const RemovalReport& report;
    int uiLanguage;
    std::u16string text;
  };
  const Case cases[] = {
      {"complete, English", complete, 2,
       u"Corvenna Drawvane was removed from your computer.\r\n\r\n"
       u"Removed: 5 files, 1 folder, 2 shortcuts and 1 entry in the list of programs."},
      {"complete, Chinese", complete, 0,
       u"“Corvenna Drawvane”已从您的计算机中删除。\r\n\r\n"
       u"已删除：5 个文件、1 个文件夹、2 个快捷方式和1 个程序列表项。"},
      {"file in use, English", partial, 2,
       u"Corvenna Drawvane was removed, but some items had to be left in place.\r\n\r\n"
       u"Removed: 1 file.\r\n\r\n"
       u"These files are in use or cannot be deleted and were left in place; delete them after closing the "
       u"programs that use them:\r\nC:\\D\\Drawvane.exe\r\n\r\n"
       u"These folders were kept because they still hold other files:\r\nC:\\D"},
      {"file in use, Chinese", partial, 0,
       u"“Corvenna Drawvane”已删除，但有些项目未能删除。\r\n\r\n"
       u"已删除：1 个文件。\r\n\r\n"
       u"以下文件正在使用或无法删除，已保留；请在关闭使用它们的程序后手动删除：\r\nC:\\D\\Drawvane.exe\r\n\r\n"
       u"以下文件夹中还有其他文件，已保留：\r\nC:\\D"},
      {"a folder replaced by a link, English", linked, 2,
       u"Corvenna Drawvane was removed, but some items had to be left in place.\r\n\r\n"
       u"Removed: 2 files.\r\n\r\n"
       u"These files were not deleted because a folder on their path had been replaced by a link to another place "
       u"(a junction or symbolic link); the link was removed, not what it points to:\r\nC:\\D\\Lang\\zh.ini\r\n\r\n"
       u"These folders were links; only the links were removed:\r\nC:\\D\\Lang"},
      {"a folder replaced by a link, Chinese", linked, 0,
       u"“Corvenna Drawvane”已删除，但有些项目未能删除。\r\n\r\n"
       u"已删除：2 个文件。\r\n\r\n"
       u"以下文件未删除：其路径上的文件夹已被替换为指向别处的链接（联接或符号链接），链接已删除，其指向的内容未被触及："
       u"\r\nC:\\D\\Lang\\zh.ini\r\n\r\n"
       u"以下文件夹是链接，只删除了链接本身：\r\nC:\\D\\Lang"},
      {"nothing left to remove but a user's folder", userFiles, 2,
       u"Corvenna Drawvane was removed from your computer.\r\n\r\n"
       u"Nothing was found to remove.\r\n\r\n"
       u"These folders were kept because they still hold other files:\r\nC:\\D"},
  };
  for (const Case& c : cases) EXPECT_EQ(RemovalSummaryText(u"Corvenna Drawvane", c.report, c.uiLanguage), c.text)
      << c.name;
}

TEST(RemovalSummaryText, NamesTenItemsOfALongList) {
  RemovalReport report;
  for (int i = 0; i < 12; ++i) report.filesLeft.push_back(u"f" + std::u16string(1, char16_t(u'a' + i)));
  const std::u16string english = RemovalSummaryText(u"P", report, 2);
  EXPECT_NE(english.find(u"\r\nfj\r\n... and 2 more"), std::u16string::npos);
  EXPECT_EQ(english.find(u"fk"), std::u16string::npos);
  EXPECT_NE(RemovalSummaryText(u"P", report, 0).find(u"\r\nfj\r\n……另有 2 项"), std::u16string::npos);
}

}  // namespace
}  // namespace vo
