// The reader of product.ini: ids or names, comments, values as written,
// and a message naming the line for everything it refuses.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "settings/ProductSettings.h"
#include "settings/ProductSettingsFile.h"

namespace vo {
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
     "product.ini:3: unknown setting 1006 (known: "
     "1001 (WindowClass), 1002 (WindowTitle), 1003 (WindowTitleAlt), 1004 (ProductNameEn), 1005 (ProductNameZh), 1009 (Freeware), 1010 (ExeName), 1011 (Version), 1012 (RequiredSpace), 1013 (CompanyFolder), 1014 (PublisherEn), 1015 (PublisherZh), 1016 (HomePageEn), 1017 (HomePageZh), LicenseEn, LicenseZh, Compression)"},
    {"id_with_a_leading_zero_is_another_id",
     "01001 = a\n",
     {},
     "product.ini:1: unknown setting 01001 (known: "
     "1001 (WindowClass), 1002 (WindowTitle), 1003 (WindowTitleAlt), 1004 (ProductNameEn), 1005 (ProductNameZh), 1009 (Freeware), 1010 (ExeName), 1011 (Version), 1012 (RequiredSpace), 1013 (CompanyFolder), 1014 (PublisherEn), 1015 (PublisherZh), 1016 (HomePageEn), 1017 (HomePageZh), LicenseEn, LicenseZh, Compression)"},
    {"repeated_id", "1001 = a\n# again\n1001 = b\n", {}, "product.ini:3: setting 1001 given twice (also on line 1)"},
    {"repeated_by_name_and_id", "windowclass = a\n1001 = b\n", {}, "product.ini:2: setting 1001 given twice (also on line 1)"},
    {"line_without_equals_sign", "\n1001 TfrmImageEditor\n", {}, "product.ini:2: expected '<setting> = <value>'"},
    {"names_ignore_letter_case", "WindowClass = TfrmImageEditor\nexename=Drawvane\nCOMPANYFOLDER = Acme\n",
     {{1001, u"TfrmImageEditor"}, {1010, u"Drawvane"}, {1013, u"Acme"}}, ""},
    {"byte_order_mark_after_the_start", "1001 = a\n\xEF\xBB\xBF" "1002 = b\n", {},
     "product.ini:2: unknown setting \xEF\xBB\xBF" "1002 (known: "
     "1001 (WindowClass), 1002 (WindowTitle), 1003 (WindowTitleAlt), 1004 (ProductNameEn), 1005 (ProductNameZh), 1009 (Freeware), 1010 (ExeName), 1011 (Version), 1012 (RequiredSpace), 1013 (CompanyFolder), 1014 (PublisherEn), 1015 (PublisherZh), 1016 (HomePageEn), 1017 (HomePageZh), LicenseEn, LicenseZh, Compression)"},
    {"compression_is_for_the_tool_not_the_string_table", "Compression = Best\n1001 = a\n", {{1001, u"a"}}, ""},
    {"compression_names_a_codec", "1001 = a\ncompression = lzma\n", {},
     "product.ini:2: Compression must be zlib, best or zstd, not lzma"},
    {"value_not_utf8", "1001 = a\n1004 = \xC4\xE3\n", {}, "product.ini:2: the value is not UTF-8 text (save the file as UTF-8)"},
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

class ProductSettingsParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ProductSettingsParse, AcceptsOrRefuses) {
  const ParseCase& c = GetParam();
  if (c.error.empty()) {
    ProductSettingsFile file = ParseProductSettingsFile(c.bytes, "product.ini");
    EXPECT_EQ(file.settings, c.settings);
  } else {
    try {
      ParseProductSettingsFile(c.bytes, "product.ini");
      FAIL() << "accepted";
    } catch (const EProductSettingError& e) {
      EXPECT_EQ(std::string(e.what()), c.error);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProductSettingsParse, ::testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProductSettingsFile, LicenceFilesAndPlaces) {
  ProductSettingsFile file = ParseProductSettingsFile(
      "# own licence texts\nLicenseEn = terms/en.txt\n\nlicensezh= terms/zh.txt\n1011 = 3.1\n", "p.ini");
  EXPECT_EQ(file.licenseFiles.at(2), u"terms/en.txt");
  EXPECT_EQ(file.licenseFiles.at(0), u"terms/zh.txt");
  EXPECT_TRUE(file.settings.count(1011));
  EXPECT_EQ(file.Place("p.ini", 1011), "p.ini:5");
  EXPECT_EQ(file.Place("p.ini", 1009), "p.ini");
}

TEST(ProductSettingsFile, CompressionReadsInLowerCase) {
  for (auto [text, codec] : {std::pair{"ZSTD", "zstd"}, std::pair{"best", "best"}, std::pair{"Zlib", "zlib"}}) {
    EXPECT_EQ(ParseProductSettingsFile(std::string("Compression = ") + text, "product.ini").compression, codec);
  }
  EXPECT_EQ(ParseProductSettingsFile("1001 = a", "product.ini").compression, "");
}

TEST(ProductSettingsFile, MissingIdReadsAsEmptyText) {
  ProductSettingsFile file = ParseProductSettingsFile("1004 = Corvenna Drawvane\n", "product.ini");
  EXPECT_EQ(file.Setting(1004), u"Corvenna Drawvane");
  EXPECT_EQ(file.Setting(1005), u"");
}

}  // namespace
}  // namespace vo
