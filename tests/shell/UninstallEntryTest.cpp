#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ShellTestSupport.h"
#include "shell/Registry.h"
#include "shell/UninstallEntry.h"

namespace vo {
namespace {

using test::KeyExists;
using test::U8;

const std::u16string kUninstallRoot = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const UninstallProduct kEnglish{u"Corvenna Drawvane", u"Drawvane", u"2.0", u"Corvenna Software",
                                u"http://www.corvenna.com/", 2048};
const UninstallProduct kChinese{u"柯雯纳画图", u"Drawvane", u"2.0", u"柯雯纳软件工作室", u"http://www.corvenna.com/cn/",
                                1};

// Every value under the key, name to text; a REG_DWORD shows as "dword:N",
// other types as "?".
std::map<std::string, std::string> ValuesOf(const std::u16string& keyPath) {
  std::map<std::string, std::string> values;
  UniqueRegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, WStr(keyPath), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return values;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    DWORD type = 0;
    if (::RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::u16string valueName = U16(name, nameLength);
    if (type == REG_DWORD) {
      DWORD number = 0;
      DWORD size = sizeof number;
      ::RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
      values[U8(valueName)] = "dword:" + std::to_string(number);
    } else {
      values[U8(valueName)] =
          type == REG_SZ ? U8(RegReadStringValue(HKEY_LOCAL_MACHINE, keyPath, valueName)) : "?";
    }
  }
  return values;
}

class UninstallEntryTest : public ::testing::Test {
 protected:
  test::ScopedRegistryTree fEnglishKey{HKEY_LOCAL_MACHINE, kUninstallRoot + u"\\" + kEnglish.productName};
  test::ScopedRegistryTree fChineseKey{HKEY_LOCAL_MACHINE, kUninstallRoot + u"\\" + kChinese.productName};
};

TEST_F(UninstallEntryTest, WritesTheElevenValuesUnderTheNameOfTheLanguage) {
  const struct {
    UninstallProduct product;
    std::u16string installDir;
    std::map<std::string, std::string> values;
  } cases[] = {
      {kEnglish,
       u"C:\\Program Files\\Corvenna Soft\\Drawvane\\",
       {{"DisplayIcon", "C:\\Program Files\\Corvenna Soft\\Drawvane\\Drawvane.exe"},
        {"DisplayName", "Corvenna Drawvane"},
        {"DisplayVersion", "2.0"},
        {"Publisher", "Corvenna Software"},
        {"URLInfoAbout", "http://www.corvenna.com/"},
        {"UninstallString", "\"C:\\Program Files\\Corvenna Soft\\Drawvane\\Uninst.exe\""},
        {"QuietUninstallString", "\"C:\\Program Files\\Corvenna Soft\\Drawvane\\Uninst.exe\" /S"},
        {"InstallLocation", "C:\\Program Files\\Corvenna Soft\\Drawvane"},
        {"EstimatedSize", "dword:2048"},
        {"NoModify", "dword:1"},
        {"NoRepair", "dword:1"}}},
      {kChinese,
       u"C:\\Tools\\Drawvane\\",
       {{"DisplayIcon", "C:\\Tools\\Drawvane\\Drawvane.exe"},
        {"DisplayName", U8(u"柯雯纳画图")},
        {"DisplayVersion", "2.0"},
        {"Publisher", U8(u"柯雯纳软件工作室")},
        {"URLInfoAbout", "http://www.corvenna.com/cn/"},
        {"UninstallString", "\"C:\\Tools\\Drawvane\\Uninst.exe\""},
        {"QuietUninstallString", "\"C:\\Tools\\Drawvane\\Uninst.exe\" /S"},
        {"InstallLocation", "C:\\Tools\\Drawvane"},
        {"EstimatedSize", "dword:1"},
        {"NoModify", "dword:1"},
        {"NoRepair", "dword:1"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.product.productName));
    EXPECT_EQ(RegisterUninstallEntry(c.product, c.installDir), 11u);
    const std::u16string keyPath = UninstallKeyPath(c.product.productName);
    EXPECT_EQ(U8(keyPath), U8(kUninstallRoot + u"\\" + c.product.productName));
    EXPECT_EQ(ValuesOf(keyPath), c.values);
    // The registry keeps no order; what is written, and in which order, is the value list.
    std::map<std::string, std::string> listed;
    for (const UninstallValue& v : UninstallEntryValues(c.product, c.installDir))
      listed[U8(v.name)] = v.kind == UninstallValue::kNumber ? "dword:" + std::to_string(v.number) : U8(v.text);
    EXPECT_EQ(listed, c.values);
  }
  // One key per language.
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(kEnglish.productName)));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(kChinese.productName)));
}

TEST_F(UninstallEntryTest, SecondInstallRewritesThePathsAndKeepsOtherValues) {
  const std::u16string keyPath = UninstallKeyPath(kEnglish.productName);
  RegisterUninstallEntry(kEnglish, u"C:\\First\\");
  ASSERT_TRUE(RegWriteStringValue(HKEY_LOCAL_MACHINE, keyPath, u"Comments", u"kept"));
  RegisterUninstallEntry(kEnglish, u"D:\\Second Place\\");

  const auto values = ValuesOf(keyPath);
  EXPECT_EQ(values.size(), 12u);
  EXPECT_EQ(values.at("DisplayIcon"), "D:\\Second Place\\Drawvane.exe");
  EXPECT_EQ(values.at("UninstallString"), "\"D:\\Second Place\\Uninst.exe\"");
  EXPECT_EQ(values.at("QuietUninstallString"), "\"D:\\Second Place\\Uninst.exe\" /S");
  EXPECT_EQ(values.at("InstallLocation"), "D:\\Second Place");
  EXPECT_EQ(values.at("DisplayName"), "Corvenna Drawvane");
  EXPECT_EQ(values.at("Comments"), "kept");
}

TEST_F(UninstallEntryTest, KeyThatCannotBeCreatedRaisesAndWritesNothing) {
  // A non-volatile key cannot be created under a volatile one.
  test::ScopedRegistryTree parent{HKEY_LOCAL_MACHINE, kUninstallRoot + u"\\CorvennaVolatileTest"};
  UniqueRegKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, WStr(parent.path()), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  const UninstallProduct product{u"CorvennaVolatileTest\\Child", u"Drawvane", u"2.0", u"Corvenna Software", u"http://www.corvenna.com/",
                                 std::nullopt};
  try {
    RegisterUninstallEntry(product, u"C:\\Drawvane\\");
    ADD_FAILURE() << "no error raised";
  } catch (const ERegistryError& e) {
    EXPECT_EQ(U8(e.Message()), "Failed to create key " + U8(UninstallKeyPath(product.productName)));
  }
  EXPECT_TRUE(ValuesOf(UninstallKeyPath(product.productName)).empty());
}

}  // namespace
}  // namespace vo
