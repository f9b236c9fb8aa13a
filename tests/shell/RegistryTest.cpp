#include <gtest/gtest.h>

#include <string>

#include "ShellTestSupport.h"
#include "shell/Registry.h"

namespace vo {
namespace {

using test::KeyExists;
using test::RawValue;
using test::ReadRawValue;
using test::U8;
using test::WriteRawValue;

const std::u16string kTestKey = u"Software\\CorvennaSetupTests";

class RegistryTest : public ::testing::Test {
 protected:
  test::ScopedRegistryTree fTree{HKEY_CURRENT_USER, kTestKey};
};

template <typename Action>
std::string RegistryErrorOf(Action action) {
  try {
    action();
  } catch (const ERegistryError& e) {
    return U8(e.Message());
  }
  return "(no error)";
}

TEST_F(RegistryTest, CreateKeyPathCreatesEveryMissingKey) {
  const struct {
    std::u16string keyPath;  // as passed
    std::u16string created;  // the key that must exist afterwards
  } cases[] = {
      {kTestKey + u"\\A\\B\\C\\D\\E", kTestKey + u"\\A\\B\\C\\D\\E"},
      {u"\\" + kTestKey + u"\\Lead", kTestKey + u"\\Lead"},  // leading backslash dropped
      {kTestKey + u"\\A\\B", kTestKey + u"\\A\\B"},  // already there
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(RegCreateKeyPath(HKEY_CURRENT_USER, c.keyPath)) << U8(c.keyPath);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, c.created)) << U8(c.created);
  }
}

// A non-volatile key cannot live under a volatile one: a portable way to make
// the registry refuse a create.
class RegistryRefusalTest : public RegistryTest {
 protected:
  void SetUp() override {
    UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, WStr(kTestKey + u"\\Volatile"), 0, nullptr, REG_OPTION_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
  }
  const std::u16string fRefused = kTestKey + u"\\Volatile\\Child";
};

TEST_F(RegistryRefusalTest, CreateKeyPathRaisesWithTheKeyPath) {
  EXPECT_EQ(RegistryErrorOf([&] { RegCreateKeyPath(HKEY_CURRENT_USER, fRefused); }),
            "Failed to create key " + U8(fRefused));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, fRefused));
}

TEST_F(RegistryRefusalTest, WriteReturnsFalseAndWritesNothing) {
  EXPECT_FALSE(RegWriteStringValue(HKEY_CURRENT_USER, fRefused, u"Name", u"text"));
  EXPECT_FALSE(RegWriteDwordValue(HKEY_CURRENT_USER, fRefused, u"Number", 1));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, fRefused));
}

TEST_F(RegistryTest, WrittenTextReadsBackAsTerminatedRegSz) {
  const std::u16string deepKey = kTestKey + u"\\Deep\\er\\Still";  // created by the write
  const struct {
    std::u16string name;
    std::u16string text;
  } cases[] = {
      {u"Plain", u"Drawvane"},
      {u"Empty", u""},
      {u"Chinese", u"柯雯纳软件工作室"},
      {u"Path", u"C:\\Program Files\\Corvenna Soft\\Drawvane\\"},
      {u"", u"the key's default value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.name));
    EXPECT_TRUE(RegWriteStringValue(HKEY_CURRENT_USER, deepKey, c.name, c.text));
    const RawValue raw = ReadRawValue(HKEY_CURRENT_USER, deepKey, c.name);
    ASSERT_TRUE(raw.exists);
    EXPECT_EQ(raw.type, DWORD(REG_SZ));
    ASSERT_EQ(raw.data.size(), (c.text.size() + 1) * 2);  // the empty text: the 2-byte terminator
    EXPECT_EQ(raw.data[raw.data.size() - 1], 0);
    EXPECT_EQ(raw.data[raw.data.size() - 2], 0);
    EXPECT_EQ(U8(RegReadStringValue(HKEY_CURRENT_USER, deepKey, c.name)), U8(c.text));
  }
}

TEST_F(RegistryTest, DwordReadsBackAsFourLittleEndianBytes) {
  const std::u16string deepKey = kTestKey + u"\\Numbers";  // created by the write
  for (uint32_t number : {0u, 1u, 102400u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(RegWriteDwordValue(HKEY_CURRENT_USER, deepKey, u"EstimatedSize", number));
    const RawValue raw = ReadRawValue(HKEY_CURRENT_USER, deepKey, u"EstimatedSize");
    ASSERT_TRUE(raw.exists);
    EXPECT_EQ(raw.type, DWORD(REG_DWORD));
    ASSERT_EQ(raw.data.size(), 4u);
    EXPECT_EQ(uint32_t(raw.data[0]) | uint32_t(raw.data[1]) << 8 | uint32_t(raw.data[2]) << 16 |
                  uint32_t(raw.data[3]) << 24,
              number);
  }
  // A text value of that name is replaced, type and all.
  ASSERT_TRUE(RegWriteStringValue(HKEY_CURRENT_USER, deepKey, u"NoModify", u"yes"));
  ASSERT_TRUE(RegWriteDwordValue(HKEY_CURRENT_USER, deepKey, u"NoModify", 1));
  EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, deepKey, u"NoModify").type, DWORD(REG_DWORD));
  EXPECT_EQ(RegistryErrorOf([&] { RegReadStringValue(HKEY_CURRENT_USER, deepKey, u"NoModify"); }),
            "Invalid data type for 'NoModify'");
}

TEST_F(RegistryTest, WriteOverwritesAnExistingValue) {
  ASSERT_TRUE(RegWriteStringValue(HKEY_CURRENT_USER, kTestKey, u"Folder", u"C:\\Old Place\\"));
  ASSERT_TRUE(RegWriteStringValue(HKEY_CURRENT_USER, kTestKey, u"Folder", u"D:\\"));
  EXPECT_EQ(U8(RegReadStringValue(HKEY_CURRENT_USER, kTestKey, u"Folder")), "D:\\");
}

TEST_F(RegistryTest, EmptyKeyPathWritesAtTheRootItself) {
  ASSERT_TRUE(RegCreateKeyPath(HKEY_CURRENT_USER, kTestKey));
  UniqueRegKey root;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, WStr(kTestKey), 0, KEY_ALL_ACCESS, root.put()), ERROR_SUCCESS);

  EXPECT_TRUE(RegWriteStringValue(root.get(), u"", u"AtRoot", u"here"));
  EXPECT_EQ(U8(RegReadStringValue(HKEY_CURRENT_USER, kTestKey, u"AtRoot")), "here");
  DWORD subkeys = 99;
  ASSERT_EQ(::RegQueryInfoKeyW(root.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 0u);
  EXPECT_EQ(U8(RegReadStringValue(root.get(), u"", u"AtRoot")), "here");
}

TEST_F(RegistryTest, RefusedValueRaisesWithTheValueName) {
  // Value names are limited to 16383 characters.
  const std::u16string tooLong(20000, u'n');
  EXPECT_EQ(RegistryErrorOf([&] { RegWriteStringValue(HKEY_CURRENT_USER, kTestKey, tooLong, u"x"); }),
            "Failed to set data for '" + U8(tooLong) + "'");
}

TEST_F(RegistryTest, MissingKeyOrValueReadsAsEmpty) {
  ASSERT_TRUE(RegWriteStringValue(HKEY_CURRENT_USER, kTestKey, u"Present", u"x"));
  EXPECT_EQ(U8(RegReadStringValue(HKEY_CURRENT_USER, kTestKey + u"\\Missing\\Key", u"Present")), "");
  EXPECT_EQ(U8(RegReadStringValue(HKEY_CURRENT_USER, kTestKey, u"Missing")), "");
}

TEST_F(RegistryTest, ReadsStringTypesAndRejectsOthers) {
  const struct {
    const char16_t* name;
    DWORD type;
    std::string data;
    const char* expected;  // nullptr: the data type error
  } cases[] = {
      {u"Sz", REG_SZ, std::string("a\0b\0c\0\0\0", 8), "abc"},
      {u"UpToFirstNull", REG_SZ, std::string("a\0b\0\0\0d\0\0\0", 10), "ab"},
      {u"NoTerminator", REG_SZ, std::string("a\0b\0", 4), "ab"},
      {u"OddSize", REG_SZ, std::string("a\0b", 3), "a"},
      {u"ZeroBytes", REG_SZ, std::string(), ""},
      {u"Expand", REG_EXPAND_SZ, std::string("%\0W\0%\0\0\0", 8), "%W%"},  // not expanded
      {u"Count", REG_DWORD, std::string("\x07\0\0\0", 4), nullptr},
      {u"Blob", REG_BINARY, std::string("\x01\x02\x03", 3), nullptr},
      {u"Multi", REG_MULTI_SZ, std::string("a\0\0\0\0\0", 6), nullptr},
      {u"EmptyBlob", REG_BINARY, std::string(), ""},  // no data: empty, not an error
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.name));
    WriteRawValue(HKEY_CURRENT_USER, kTestKey, c.name, c.type, c.data.data(), DWORD(c.data.size()));
    if (c.expected) {
      EXPECT_EQ(U8(RegReadStringValue(HKEY_CURRENT_USER, kTestKey, c.name)), c.expected);
    } else {
      EXPECT_EQ(RegistryErrorOf([&] { RegReadStringValue(HKEY_CURRENT_USER, kTestKey, c.name); }),
                "Invalid data type for '" + U8(c.name) + "'");
    }
  }
}

// The next handle the process is given: handles are reused lowest or
// last-freed first, so a key left open on any path shows as a different value.
HANDLE NextFreeHandle() {
  HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ::CloseHandle(event);
  return event;
}

// Every path of the helpers, the raising ones included, gives its key back.
TEST_F(RegistryTest, KeysAreClosedOnEveryPath) {
  WriteRawValue(HKEY_CURRENT_USER, kTestKey, u"Count", REG_DWORD, "\x07\0\0\0", 4);
  const std::u16string tooLong(20000, u'n');
  auto everyPath = [&] {
    RegCreateKeyPath(HKEY_CURRENT_USER, kTestKey + u"\\A");
    RegWriteStringValue(HKEY_CURRENT_USER, kTestKey + u"\\A", u"V", u"x");
    RegReadStringValue(HKEY_CURRENT_USER, kTestKey + u"\\A", u"V");
    RegReadStringValue(HKEY_CURRENT_USER, kTestKey + u"\\A", u"Missing");
    RegReadStringValue(HKEY_CURRENT_USER, kTestKey + u"\\Missing", u"V");
    try { RegReadStringValue(HKEY_CURRENT_USER, kTestKey, u"Count"); } catch (const ERegistryError&) {}
    try { RegWriteStringValue(HKEY_CURRENT_USER, kTestKey, tooLong, u"x"); } catch (const ERegistryError&) {}
  };
  everyPath();  // the first use opens the predefined root keys for good
  const HANDLE before = NextFreeHandle();
  for (int i = 0; i < 5; ++i) everyPath();
  EXPECT_EQ(NextFreeHandle(), before);
}

}  // namespace
}  // namespace vo
