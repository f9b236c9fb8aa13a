#include <gtest/gtest.h>

#include <vector>

#include "shell/ShellError.h"
#include "shell/UninstallEntry.h"

namespace vo {
namespace {

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

struct EntryCase {
  UninstallProduct product;
  std::u16string installDir;
  std::u16string keyPath;
  std::vector<RegistryTextValue> values;  // in the order of writing
};

const EntryCase kCases[] = {
    {{u"Corvenna Drawvane", u"Drawvane", u"2.0", u"Corvenna Software", u"http://www.corvenna.com/"},
     u"C:\\Program Files\\Corvenna Soft\\Drawvane\\",
     u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvenna Drawvane",
     {{u"DisplayIcon", u"C:\\Program Files\\Corvenna Soft\\Drawvane\\Drawvane.exe"},
      {u"DisplayName", u"Corvenna Drawvane"},
      {u"DisplayVersion", u"2.0"},
      {u"Publisher", u"Corvenna Software"},
      {u"URLInfoAbout", u"http://www.corvenna.com/"},
      {u"UninstallString", u"\"C:\\Program Files\\Corvenna Soft\\Drawvane\\Uninst.exe\""}}},
    {{u"柯雯纳画图", u"Drawvane", u"2.0", u"柯雯纳软件工作室", u"http://www.corvenna.com/cn/"},
     u"D:\\Tools\\",
     u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\柯雯纳画图",
     {{u"DisplayIcon", u"D:\\Tools\\Drawvane.exe"},
      {u"DisplayName", u"柯雯纳画图"},
      {u"DisplayVersion", u"2.0"},
      {u"Publisher", u"柯雯纳软件工作室"},
      {u"URLInfoAbout", u"http://www.corvenna.com/cn/"},
      {u"UninstallString", u"\"D:\\Tools\\Uninst.exe\""}}},
};

TEST(UninstallEntryValues, SixValuesInOrderPerLanguage) {
  for (const EntryCase& c : kCases) {
    SCOPED_TRACE(U8(c.product.productName));
    EXPECT_EQ(U8(UninstallKeyPath(c.product.productName)), U8(c.keyPath));
    const std::vector<RegistryTextValue> values = UninstallEntryValues(c.product, c.installDir);
    ASSERT_EQ(values.size(), c.values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(U8(values[i].name), U8(c.values[i].name)) << "position " << i;
      EXPECT_EQ(U8(values[i].data), U8(c.values[i].data)) << "position " << i;
    }
  }
}

}  // namespace
}  // namespace vo
