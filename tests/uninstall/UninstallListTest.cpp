#include "uninstall/UninstallList.h"

#include <gtest/gtest.h>

namespace vo {
namespace {

UninstallListProduct SampleProduct() {
  return {u"TfrmImageEditor", u"Drawvane", u"柯雯纳画图", u"Corvenna Drawvane", u"柯雯纳画图", u""};
}

TEST(PlainRelativePath, KeepsPathsInsideTheFolderAndRejectsTheRest) {
  struct Case {
    std::u16string path;
    std::u16string plain;  // empty: rejected
  };
  const Case cases[] = {
      {u"Drawvane.exe", u"Drawvane.exe"},
      {u"Lang\\zh-CN.ini", u"Lang\\zh-CN.ini"},
      {u"Lang/zh-CN.ini", u""},                      // nothing is cleaned: "/" is refused,
      {u"\\Lang\\\\zh.ini\\", u""},                  // so are empty parts
      {u".\\Lang\\.\\zh.ini", u""},                    // and "." parts
      {u"Lang\\CON\\a.ini", u""},                      // a device name
      {u"$System$a.dll", u""},                       // a token
      {u"柯雯纳\\画图 2.0.txt", u"柯雯纳\\画图 2.0.txt"},
      {u"..\\Other\\a.dll", u""},
      {u"Lang\\..\\..\\a.dll", u""},
      {u"C:\\Windows\\a.dll", u""},                 // a drive
      {u"a.txt:stream", u""},                        // an alternate data stream
      {u"a.", u""},                                  // Windows would strip the dot
      {u"a ", u""},
      {u"...", u""},
      {u"a?b", u""},
      {u"a\u0001b", u""},
      {u"", u""},
      {u"\\", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(PlainRelativePath(c.path), c.plain) << testing::PrintToString(c.path);
}

TEST(InstalledMemberPath, FollowsWhereTheExtractorWritesEachMember) {
  struct Case {
    UninstallMember member;
    std::u16string path;  // empty: not listed
  };
  const Case cases[] = {
      {{u"", u"Drawvane.exe"}, u"Drawvane.exe"},
      {{u"Lang\\", u"zh-CN.ini"}, u"Lang\\zh-CN.ini"},
      {{u"Lang", u"zh-CN.ini"}, u""},                     // a folder without its "\\": refused
      {{u"", u"sub\\a.dll"}, u"a.dll"},                   // only the name's last component is written
      {{u"Lang\\", u"C:a.dll"}, u""},                    // refused by the extractor
      {{u"..\\", u"a.dll", true}, u""},                  // column 0 counts with UseInstallDir too
      {{u"$System$", u"DrawCore.dll"}, u""},              // system folder: never listed
      {{u"$Third$Sub\\", u"DrawCore.dll"}, u""},
      {{u"$System$", u"DrawCore.dll", true}, u"DrawCore.dll"},  // sent to the install folder
      {{u"Lang\\", u"sub\\a.dll", true}, u"a.dll"},
      {{u"..\\", u"a.dll"}, u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InstalledMemberPath(c.member), c.path)
        << testing::PrintToString(c.member.targetFolder) << " " << testing::PrintToString(c.member.fileName);
}

TEST(ReadUninstallListProduct, TakesSettings1001To1005And1013) {
  const UninstallListProduct product = ReadUninstallListProduct([](int id) {
    const std::string text = std::to_string(id);
    return std::u16string(text.begin(), text.end());
  });
  EXPECT_EQ(product.windowClass, u"1001");
  EXPECT_EQ(product.windowTitle, u"1002");
  EXPECT_EQ(product.windowTitleAlt, u"1003");
  EXPECT_EQ(product.productNameEn, u"1004");
  EXPECT_EQ(product.productNameZh, u"1005");
  EXPECT_EQ(product.companyFolder, u"1013");
  // The company folder as the installer uses it: the default when the
  // product sets none, nothing for ".".
  const std::pair<std::u16string, std::u16string> folders[] = {
      {u"", u"Corvenna Soft"}, {u".", u""}, {u"Acme Tools", u"Acme Tools"}};
  for (const auto& [setting, folder] : folders) {
    EXPECT_EQ(ReadUninstallListProduct([&](int id) { return id == 1013 ? setting : u"x"; }).companyFolder, folder);
  }
}

TEST(BuildUninstallList, ListsTheCompanyFolderForTheUninstallerToRemoveOnceEmpty) {
  UninstallListProduct product = SampleProduct();
  product.companyFolder = u"Corvenna Soft";
  const std::string text = BuildUninstallList({{u"", u"Drawvane.exe"}}, product);
  EXPECT_NE(text.find("UninstallKey.2=Corvenna Drawvane\r\nCompanyFolder=Corvenna Soft\r\nFile=Drawvane.exe\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(ParseUninstallList(text).companyFolder, u"Corvenna Soft");
  // A list written before the key existed, and a product without a company
  // folder: nothing to remove above the install folder.
  EXPECT_EQ(ParseUninstallList(BuildUninstallList({}, SampleProduct())).companyFolder, u"");
  EXPECT_EQ(ParseUninstallList("Format=1\r\nFile=a.exe\r\n").companyFolder, u"");

  for (const char16_t* bad : {u"Corvenna\\Soft", u"..", u"Soft\r\nFile=..\\x", u"C:", u"Soft."}) {
    product.companyFolder = bad;
    EXPECT_THROW(BuildUninstallList({}, product), EUninstallList) << testing::PrintToString(bad);
  }
}

TEST(BuildUninstallList, WritesTheDocumentedLines) {
  const std::vector<UninstallMember> members = {
      {u"", u"Drawvane.exe"},
      {u"Lang\\", u"zh-CN.ini"},
      {u"$System$", u"DrawCore.dll"},
      {u"lang\\", u"ZH-cn.INI"},  // the same file again, in other letter case
      {u"", u"UNINST.EXE"},
  };
  EXPECT_EQ(BuildUninstallList(members, SampleProduct()),
            "; Uninst.lst: what this product installed, for its uninstaller Uninst.exe\r\n"
            "Format=1\r\n"
            "WindowClass=TfrmImageEditor\r\n"
            "WindowTitle=Drawvane\r\n"
            "WindowTitleAlt=柯雯纳画图\r\n"
            "ProductName.0=柯雯纳画图\r\n"
            "Shortcut.0=柯雯纳画图.lnk\r\n"
            "UninstallKey.0=柯雯纳画图\r\n"
            "ProductName.2=Corvenna Drawvane\r\n"
            "Shortcut.2=Corvenna Drawvane.lnk\r\n"
            "UninstallKey.2=Corvenna Drawvane\r\n"
            "File=Drawvane.exe\r\n"
            "File=Lang\\zh-CN.ini\r\n"
            "File=UNINST.EXE\r\n"
            "File=Uninst.lst\r\n");
}

TEST(BuildUninstallList, NamesShortcutsByTheLinkNameRule) {
  UninstallListProduct product = SampleProduct();
  product.productNameEn = u"Tool 2.0";  // the shortcut drops what follows the last dot
  product.productNameZh = u"";          // no Chinese name: nothing is made in that language
  const UninstallList list = ParseUninstallList(BuildUninstallList({}, product));
  EXPECT_EQ(list.shortcuts, std::vector<std::u16string>({u"Tool 2.lnk"}));
  EXPECT_EQ(list.uninstallKeys, std::vector<std::u16string>({u"Tool 2.0"}));
  EXPECT_EQ(list.files, std::vector<std::u16string>({u"Uninst.exe", u"Uninst.lst"}));
}

TEST(BuildUninstallList, RefusesNamesThatCannotBeListed) {
  const std::u16string badNames[] = {u"Corvenna\r\nFile=..\\boot.ini", u"Corvenna\\Drawvane"};
  for (const std::u16string& name : badNames) {
    UninstallListProduct product = SampleProduct();
    product.productNameEn = name;
    EXPECT_THROW(BuildUninstallList({}, product), EUninstallList) << testing::PrintToString(name);
  }
  UninstallListProduct product = SampleProduct();
  product.windowTitle = u"Draw\nvane";
  EXPECT_THROW(BuildUninstallList({}, product), EUninstallList);
}

TEST(ParseUninstallList, ReadsBackWhatWasBuilt) {
  const std::vector<UninstallMember> members = {{u"", u"Drawvane.exe"}, {u"Lang\\en\\", u"readme.txt"}};
  const UninstallList list = ParseUninstallList(BuildUninstallList(members, SampleProduct()));
  EXPECT_EQ(list.windowClass, u"TfrmImageEditor");
  EXPECT_EQ(list.windowTitle, u"Drawvane");
  EXPECT_EQ(list.windowTitleAlt, u"柯雯纳画图");
  EXPECT_EQ(list.productNameZh, u"柯雯纳画图");
  EXPECT_EQ(list.productNameEn, u"Corvenna Drawvane");
  EXPECT_EQ(list.shortcuts, std::vector<std::u16string>({u"柯雯纳画图.lnk", u"Corvenna Drawvane.lnk"}));
  EXPECT_EQ(list.uninstallKeys, std::vector<std::u16string>({u"柯雯纳画图", u"Corvenna Drawvane"}));
  EXPECT_EQ(list.files,
            std::vector<std::u16string>({u"Drawvane.exe", u"Lang\\en\\readme.txt", u"Uninst.exe", u"Uninst.lst"}));
}

TEST(ParseUninstallList, AcceptsHandWrittenVariations) {
  const UninstallList list = ParseUninstallList(
      "\xEF\xBB\xBF"  // byte-order mark
      "; comment\n"
      "\n"
      "Format=1\n"
      "Publisher=Corvenna Software\n"  // unknown keys are skipped
      "WindowTitle=a=b\n"              // the value runs to the end of the line
      "Shortcut=Drawvane.lnk\n"
      "Shortcut.7=DRAWVANE.LNK\n"
      "File=Drawvane.exe\r\n"
      "File=drawvane.EXE");
  EXPECT_EQ(list.windowTitle, u"a=b");
  EXPECT_EQ(list.shortcuts, std::vector<std::u16string>({u"Drawvane.lnk"}));
  EXPECT_EQ(list.files, std::vector<std::u16string>({u"Drawvane.exe"}));
}

TEST(ParseUninstallList, RefusesDamagedOrUnsafeLists) {
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"empty", ""},
      {"comments only", "; nothing\r\n"},
      {"no format first", "File=a.txt\r\nFormat=1\r\n"},
      {"newer format", "Format=2\r\n"},
      {"not UTF-8", "Format=1\r\nFile=\xB5\xC4.txt\r\n"},
      {"no equals sign", "Format=1\r\nDrawvane.exe\r\n"},
      {"parent folder", "Format=1\r\nFile=..\\boot.ini\r\n"},
      {"absolute path", "Format=1\r\nFile=C:\\boot.ini\r\n"},
      {"rooted path", "Format=1\r\nFile=\\boot.ini\r\n"},
      {"path not in plain form", "Format=1\r\nFile=Lang/zh.ini\r\n"},
      {"empty path", "Format=1\r\nFile=\r\n"},
      {"shortcut with a folder", "Format=1\r\nShortcut=..\\a.lnk\r\n"},
      {"empty key name", "Format=1\r\nUninstallKey=\r\n"},
      {"nested key name", "Format=1\r\nUninstallKey.2=a\\b\r\n"},
      {"company folder with a path", "Format=1\r\nCompanyFolder=..\\Windows\r\n"},
      {"company folder that is a drive", "Format=1\r\nCompanyFolder=C:\r\n"},
      {"empty company folder", "Format=1\r\nCompanyFolder=\r\n"},
  };
  for (const Case& c : cases) EXPECT_THROW(ParseUninstallList(c.text), EUninstallList) << c.what;
}

// Every File= path goes through the extractor's rule for member paths, so
// the uninstaller deletes nothing the installer could not have written.
TEST(ParseUninstallList, RefusesEveryPathTheMemberRuleRefuses) {
  struct Case {
    const char* path;
    const char* reason;  // a part of the message
  };
  const Case cases[] = {
      {"..\\boot.ini", "line 2: path \"..\\boot.ini\" leaves the install folder: a \"..\" part"},
      {"Lang\\.\\a.ini", "a \".\" part"},
      {"Lang\\\\a.ini", "an empty part"},
      {"\\\\?\\C:\\boot.ini", "a UNC or device path"},
      {"\\\\server\\share\\a.ini", "a UNC or device path"},
      {"C:\\boot.ini", "a drive letter"},
      {"a.ini:stream", "a \":\""},
      {"Lang/a.ini", "a \"/\""},
      {"Lang\\", "no file name"},
      {"NUL.txt", "keeps for a device"},
      {"Lang\\COM3\\a.ini", "keeps for a device"},
      {"a.ini.", "ends in a dot or a space"},
      {"a\x7F.ini", "a control character"},
      {"a*.ini", "refuses in names"},
      {"$System$a.dll", "token"},
  };
  for (const Case& c : cases) {
    try {
      ParseUninstallList(std::string("Format=1\r\nFile=") + c.path + "\r\n");
      ADD_FAILURE() << c.path << " was accepted";
    } catch (const EUninstallList& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << c.path << ": " << e.what();
    }
  }
  const std::string deep = "Format=1\r\nFile=" + std::string(300, 'a') + "\r\n";
  EXPECT_THROW(ParseUninstallList(deep), EUninstallList);
  EXPECT_EQ(ParseUninstallList("Format=1\r\nFile=Lang\\zh\\a b.ini\r\n").files.at(0), u"Lang\\zh\\a b.ini");
}

TEST(UninstallList, ProductNameFallsBackToTheOtherLanguage) {
  struct Case {
    std::u16string zh, en;
    int uiLanguage;
    std::u16string name;
  };
  const Case cases[] = {
      {u"柯雯纳画图", u"Corvenna Drawvane", 0, u"柯雯纳画图"},
      {u"柯雯纳画图", u"Corvenna Drawvane", 2, u"Corvenna Drawvane"},
      {u"", u"Corvenna Drawvane", 0, u"Corvenna Drawvane"},
      {u"柯雯纳画图", u"", 2, u"柯雯纳画图"},
  };
  for (const Case& c : cases) {
    UninstallList list;
    list.productNameZh = c.zh;
    list.productNameEn = c.en;
    EXPECT_EQ(list.ProductName(c.uiLanguage), c.name);
  }
}

TEST(SamePath, IgnoresTheCaseOfAsciiLettersOnly) {
  EXPECT_TRUE(SamePath(u"C:\\Program Files\\Uninst.exe", u"c:\\PROGRAM FILES\\uninst.EXE"));
  EXPECT_FALSE(SamePath(u"Uninst.exe", u"Uninst.ex"));
  EXPECT_FALSE(SamePath(u"a\\b", u"a/b"));
}

}  // namespace
}  // namespace vo
