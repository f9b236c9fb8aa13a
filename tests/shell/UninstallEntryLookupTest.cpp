#include <gtest/gtest.h>

#include <string>

#include "ShellTestSupport.h"
#include "shell/UninstallEntry.h"

namespace vo {
namespace {

using test::U8;

// A private tree standing for ...\CurrentVersion\Uninstall, in each place the
// look-up searches.
const std::u16string kRoot = u"Software\\CorvennaSetupTests\\Uninstall";

// Writes one REG_SZ value in a registry view; the key is made as needed.
void WriteText(HKEY root, REGSAM view, const std::u16string& keyPath, const std::u16string& name,
               const std::u16string& text) {
  UniqueRegKey key;
  ASSERT_EQ(::RegCreateKeyExW(root, WStr(keyPath), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.get(), WStr(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             DWORD((text.size() + 1) * sizeof(char16_t))),
            ERROR_SUCCESS);
}

void WriteEntry(HKEY root, REGSAM view, const std::u16string& name, const std::u16string& location,
                const std::u16string& version) {
  WriteText(root, view, kRoot + u"\\" + name, u"InstallLocation", location);
  WriteText(root, view, kRoot + u"\\" + name, u"DisplayVersion", version);
}

void DeleteTree(HKEY root, REGSAM view) {
  UniqueRegKey parent;
  if (::RegOpenKeyExW(root, L"Software", 0, KEY_ALL_ACCESS | view, parent.put()) != ERROR_SUCCESS) return;
  ::RegDeleteTreeW(parent.get(), L"CorvennaSetupTests");
  ::RegDeleteKeyExW(parent.get(), L"CorvennaSetupTests", view, 0);
}

class UninstallEntryLookupTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    DeleteTree(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
    DeleteTree(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
    DeleteTree(HKEY_CURRENT_USER, 0);
  }
};

std::string Describe(const std::vector<FoundUninstallEntry>& entries) {
  std::string text;
  for (const FoundUninstallEntry& e : entries) text += U8(e.installLocation) + "|" + U8(e.displayVersion) + "; ";
  return text;
}

TEST_F(UninstallEntryLookupTest, NothingWrittenFindsNothing) {
  EXPECT_TRUE(FindUninstallEntries(kRoot, {u"Corvenna Drawvane", u"柯雯纳画图"}).empty());
}

TEST_F(UninstallEntryLookupTest, SearchesBothViewsAndTheUserHiveUnderEitherName) {
  WriteEntry(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, u"柯雯纳画图", u"D:\\Sixty", u"3.0");
  WriteEntry(HKEY_CURRENT_USER, 0, u"Corvenna Drawvane", u"E:\\User", u"2.9");
  WriteEntry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, u"Corvenna Drawvane", u"C:\\Thirty", u"3.1");
  const std::vector<FoundUninstallEntry> found = FindUninstallEntries(kRoot, {u"Corvenna Drawvane", u"柯雯纳画图"});
  ASSERT_EQ(found.size(), 3u) << Describe(found);
  EXPECT_EQ(found[0].installLocation, u"C:\\Thirty");
  EXPECT_EQ(found[0].displayVersion, u"3.1");
  EXPECT_EQ(U8(found[0].where), "HKEY_LOCAL_MACHINE (32-bit view)\\" + U8(kRoot) + "\\Corvenna Drawvane");
  EXPECT_EQ(found[1].installLocation, u"D:\\Sixty");
  EXPECT_EQ(U8(found[1].where), "HKEY_LOCAL_MACHINE (64-bit view)\\" + U8(kRoot) + "\\柯雯纳画图");
  EXPECT_EQ(found[2].installLocation, u"E:\\User");
  EXPECT_EQ(found[2].where.rfind(u"HKEY_CURRENT_USER\\", 0), 0u);
}

TEST_F(UninstallEntryLookupTest, OtherProductsAndRepeatsAreLeftOut) {
  WriteEntry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, u"Other Product", u"C:\\Other", u"1.0");
  WriteEntry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, u"Corvenna Drawvane", u"C:\\Mine", u"3.1");
  const std::vector<FoundUninstallEntry> found =
      FindUninstallEntries(kRoot, {u"Corvenna Drawvane", u"", u"Corvenna Drawvane"});
  ASSERT_EQ(found.size(), 1u) << Describe(found);
  EXPECT_EQ(found[0].installLocation, u"C:\\Mine");
}

TEST_F(UninstallEntryLookupTest, AValueOfAnotherTypeRaises) {
  UniqueRegKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, WStr(kRoot + u"\\Corvenna Drawvane"), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  const DWORD number = 7;
  ASSERT_EQ(::RegSetValueExW(key.get(), L"InstallLocation", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                             sizeof number),
            ERROR_SUCCESS);
  EXPECT_THROW(FindUninstallEntries(kRoot, {u"Corvenna Drawvane"}), ERegistryError);
}

}  // namespace
}  // namespace vo
