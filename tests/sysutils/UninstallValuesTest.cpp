#include <gtest/gtest.h>

#include <vector>

#include "shell/ShellError.h"
#include "shell/UninstallEntry.h"

namespace vo {
namespace {

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

// A value as "name=text" or "name=dword:N".
std::string Shown(const UninstallValue& value) {
  return U8(value.name) + "=" +
         (value.kind == UninstallValue::kNumber ? "dword:" + std::to_string(value.number) : U8(value.text));
}

struct EntryCase {
  UninstallProduct product;
  std::u16string installDir;
  std::u16string keyPath;
  std::vector<std::string> values;  // in the order of writing
};

const EntryCase kCases[] = {
    {{u"Corvenna Drawvane", u"Drawvane", u"2.0", u"Corvenna Software", u"http://www.corvenna.com/", 1234},
     u"C:\\Program Files\\Corvenna Soft\\Drawvane\\",
     u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvenna Drawvane",
     {"DisplayIcon=C:\\Program Files\\Corvenna Soft\\Drawvane\\Drawvane.exe",
      "DisplayName=Corvenna Drawvane",
      "DisplayVersion=2.0",
      "Publisher=Corvenna Software",
      "URLInfoAbout=http://www.corvenna.com/",
      "UninstallString=\"C:\\Program Files\\Corvenna Soft\\Drawvane\\Uninst.exe\"",
      "QuietUninstallString=\"C:\\Program Files\\Corvenna Soft\\Drawvane\\Uninst.exe\" /S",
      "InstallLocation=C:\\Program Files\\Corvenna Soft\\Drawvane",
      "EstimatedSize=dword:1234",
      "NoModify=dword:1",
      "NoRepair=dword:1"}},
    {{u"柯雯纳画图", u"Drawvane", u"2.0", u"柯雯纳软件工作室", u"http://www.corvenna.com/cn/", 0},
     u"D:\\",
     u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\柯雯纳画图",
     {"DisplayIcon=D:\\Drawvane.exe",
      "DisplayName=柯雯纳画图",
      "DisplayVersion=2.0",
      "Publisher=柯雯纳软件工作室",
      "URLInfoAbout=http://www.corvenna.com/cn/",
      "UninstallString=\"D:\\Uninst.exe\"",
      "QuietUninstallString=\"D:\\Uninst.exe\" /S",
      "InstallLocation=D:\\",  // a drive's root keeps its backslash
      "EstimatedSize=dword:0",
      "NoModify=dword:1",
      "NoRepair=dword:1"}},
    // Without a known package size there is no EstimatedSize.
    {{u"Corvenna Drawvane", u"Drawvane", u"2.0", u"Corvenna Software", u"http://www.corvenna.com/", std::nullopt},
     u"C:\\Tools\\",
     u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvenna Drawvane",
     {"DisplayIcon=C:\\Tools\\Drawvane.exe",
      "DisplayName=Corvenna Drawvane",
      "DisplayVersion=2.0",
      "Publisher=Corvenna Software",
      "URLInfoAbout=http://www.corvenna.com/",
      "UninstallString=\"C:\\Tools\\Uninst.exe\"",
      "QuietUninstallString=\"C:\\Tools\\Uninst.exe\" /S",
      "InstallLocation=C:\\Tools",
      "NoModify=dword:1",
      "NoRepair=dword:1"}},
};

TEST(UninstallEntryValues, ElevenValuesInOrderPerLanguage) {
  for (const EntryCase& c : kCases) {
    SCOPED_TRACE(U8(c.product.productName) + " in " + U8(c.installDir));
    EXPECT_EQ(U8(UninstallKeyPath(c.product.productName)), U8(c.keyPath));
    std::vector<std::string> values;
    for (const UninstallValue& value : UninstallEntryValues(c.product, c.installDir)) values.push_back(Shown(value));
    EXPECT_EQ(values, c.values);
  }
}

TEST(UninstallEntryValues, EstimatedSizeIsWholeKilobytesRoundedUp) {
  const std::pair<int64_t, uint32_t> cases[] = {
      {0, 0},          {1, 1},          {1023, 1},     {1024, 1},
      {1025, 2},       {104857600, 102400},            {-5, 0},
      {int64_t(0xFFFFFFFF) * 1024, 0xFFFFFFFFu},       {int64_t(0xFFFFFFFF) * 1024 + 1, 0xFFFFFFFFu},
  };
  for (const auto& [bytes, kilobytes] : cases) EXPECT_EQ(EstimatedSizeKilobytes(bytes), kilobytes) << bytes;
}

}  // namespace
}  // namespace vo
