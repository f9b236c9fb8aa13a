// The package tool's reader of product.ini, which must accept and refuse
// exactly what the installer's build script (cmake/Installer.cmake) does.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "datatable/TextConvert.h"
#include "package/PackageTestSupport.h"
#include "tools/stpack/Commands.h"
#include "tools/stpack/ProductSettingsFile.h"

namespace vo::stpack {
namespace {

struct ParseCase {
  const char* name;
  std::string bytes;
  std::map<int, std::u16string> settings;  // expected when error is empty
  std::string error;                       // the whole message
};

const ParseCase kParseCases[] = {
    {"bom_crlf_comments_and_blank_lines",
     "\xEF\xBB\xBF# Sample product\r\n\r\n; another comment\r\n  # indented comment\r\n"
     "  1001 = TfrmImageEditor\r\n\t1004\t=\tCorvenna Drawvane \t\r\n",
     {{1001, u"TfrmImageEditor"}, {1004, u"Corvenna Drawvane"}},
     ""},
    {"value_is_everything_after_the_first_equals_sign_as_written",
     "1002=a = b=c\n1011 =  \"2.0\";x\\y  \n",
     {{1002, u"a = b=c"}, {1011, u"\"2.0\";x\\y"}},
     ""},
    {"empty_value_utf8_value_and_no_final_line_end",
     "1012 =\n1005 = \xE6\x9F\xAF\xE9\x9B\xAF\xE7\xBA\xB3\xE7\x94\xBB\xE5\x9B\xBE",
     {{1012, u""}, {1005, u"柯雯纳画图"}},
     ""},
    {"unknown_id_counts_lines_across_crlf",
     "1001 = a\r\n\r\n1006 = b\r\n",
     {},
     "product.ini:3: unknown setting 1006 (known: 1001 1002 1003 1004 1005 1009 1010 1011 1012)"},
    {"id_with_a_leading_zero_is_another_id",
     "01001 = a\n",
     {},
     "product.ini:1: unknown setting 01001 (known: 1001 1002 1003 1004 1005 1009 1010 1011 1012)"},
    {"repeated_id", "1001 = a\n# again\n1001 = b\n", {}, "product.ini:3: setting 1001 given twice"},
    {"line_without_equals_sign", "\n1001 TfrmImageEditor\n", {}, "product.ini:2: expected '<id> = <value>'"},
    {"name_instead_of_id", "WindowClass = TfrmImageEditor\n", {}, "product.ini:1: expected '<id> = <value>'"},
    {"byte_order_mark_after_the_start", "1001 = a\n\xEF\xBB\xBF" "1002 = b\n", {}, "product.ini:2: expected '<id> = <value>'"},
    {"value_not_utf8", "1001 = a\n1004 = \xC4\xE3\n", {}, "product.ini:2: the value is not UTF-8 text (save the file as UTF-8)"},
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

class ProductSettingsParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ProductSettingsParse, AcceptsOrRefusesAsTheBuildScript) {
  const ParseCase& c = GetParam();
  if (c.error.empty()) {
    ProductSettingsFile file = ParseProductSettingsFile(c.bytes, "product.ini");
    EXPECT_EQ(file.settings, c.settings);
  } else {
    try {
      ParseProductSettingsFile(c.bytes, "product.ini");
      FAIL() << "accepted";
    } catch (const ToolError& e) {
      EXPECT_EQ(std::string(e.what()), c.error);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProductSettingsParse, ::testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProductSettingsFile, MissingIdReadsAsEmptyText) {
  ProductSettingsFile file = ParseProductSettingsFile("1004 = Corvenna Drawvane\n", "product.ini");
  EXPECT_EQ(file.Setting(1004), u"Corvenna Drawvane");
  EXPECT_EQ(file.Setting(1005), u"");
}

TEST(ProductSettingsFile, ReadsFileAndNamesMissingOne) {
  test::Sandbox box;
  test::WriteBytes(box.Path("product.ini"), "1003 = Drawvane\n1002 = x\n");
  std::unique_ptr<PackageFileSystem> files = CreatePlatformFileSystem();
  EXPECT_EQ(ReadProductSettingsFile(*files, test::Api(box.Path("product.ini"))).Setting(1003), u"Drawvane");

  const std::u16string missing = test::Api(box.Path("missing.ini"));
  try {
    ReadProductSettingsFile(*files, missing);
    FAIL() << "read a missing file";
  } catch (const ToolError& e) {
    EXPECT_EQ(std::string(e.what()), Utf16ToUtf8(missing) + ": product settings file not found");
  }
}

}  // namespace
}  // namespace vo::stpack
