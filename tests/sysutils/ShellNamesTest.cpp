#include <gtest/gtest.h>

#include "shell/ShellError.h"
#include "shell/ShellLinks.h"

namespace vo {
namespace {

struct TextCase {
  const char16_t* input;
  const char16_t* expected;
};

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

TEST(ShortcutFileName, ReplacesTheExtensionAndDropsTheFolder) {
  const TextCase cases[] = {
      {u"Corvenna Drawvane", u"Corvenna Drawvane.lnk"},
      {u"Tool 2.0", u"Tool 2.lnk"},
      {u"archive.tar.gz", u"archive.tar.lnk"},
      {u"柯雯纳画图", u"柯雯纳画图.lnk"},
      {u"dir.v2\\Tool", u"Tool.lnk"},  // a dot before the last backslash is no extension
      {u"C:Tool.exe", u"Tool.lnk"},
      {u"C:\\Apps\\Tool.exe", u"Tool.lnk"},
      {u"v1.0:Tool", u"Tool.lnk"},
      {u".profile", u".lnk"},
      {u"Tool.", u"Tool.lnk"},
      {u"", u".lnk"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(U8(ShortcutFileName(c.input)), U8(c.expected)) << U8(c.input);
}

TEST(PathFolderPart, KeepsEverythingUpToTheLastSeparator) {
  const TextCase cases[] = {
      {u"C:\\Tools\\Drawvane\\Drawvane.exe", u"C:\\Tools\\Drawvane\\"},
      {u"C:Drawvane.exe", u"C:"},
      {u"C:\\", u"C:\\"},
      {u"\\\\server\\share\\a.exe", u"\\\\server\\share\\"},
      {u"Drawvane.exe", u""},
      {u"unable to resolve link", u""},
      {u"", u""},
  };
  for (const TextCase& c : cases) EXPECT_EQ(U8(PathFolderPart(c.input)), U8(c.expected)) << U8(c.input);
}

TEST(ShortcutLinkPath, JoinsFolderSubfolderAndName) {
  EXPECT_EQ(U8(ShortcutLinkPath(u"C:\\Desk", u"", u"A.lnk")), "C:\\Desk\\A.lnk");
  EXPECT_EQ(U8(ShortcutLinkPath(u"C:\\Desk", u"Sub", u"A.lnk")), "C:\\Desk\\Sub\\A.lnk");
}

TEST(Utf16ToUtf8, EncodesEveryRange) {
  const struct {
    std::u16string input;
    std::string expected;
  } cases[] = {
      {u"Key", "Key"},
      {u"\u00e9", "\xc3\xa9"},
      {u"柯", "\xe6\x9f\xaf"},
      {u"\U0001F600", "\xf0\x9f\x98\x80"},
      {std::u16string(1, char16_t(0xD800)), "\xef\xbf\xbd"},  // unpaired surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(Utf16ToUtf8(c.input), c.expected);
}

}  // namespace
}  // namespace vo
