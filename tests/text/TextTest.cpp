#include <gtest/gtest.h>

#include <string>

#include "text/DecimalNumber.h"
#include "text/Unicode.h"

namespace vo {
namespace {

TEST(Utf8ToUtf16, DecodesWellFormedTextOnly) {
  struct Case {
    std::string utf8;
    bool ok;
    std::u16string utf16;
    size_t badOffset;  // when not ok
  };
  // Well-formed and ill-formed sequences as defined in RFC 3629 and Unicode, chapter 3.9.
  const Case cases[] = {
      {"Drawvane", true, u"Drawvane", 0},
      {"\xC3\xA9", true, u"\u00E9", 0},
      {"\xE6\x9F\xAF", true, u"\u67EF", 0},
      {"\xF0\x9F\x96\x8C", true, u"\U0001F58C", 0},
      {"ab\xC0\x80", false, u"", 2},         // overlong NUL
      {"\xE0\x80\xAF", false, u"", 0},       // overlong "/"
      {"x\xED\xA0\x80", false, u"", 1},      // a UTF-16 surrogate
      {"\xED\xBF\xBF", false, u"", 0},      // the last surrogate, U+DFFF
      {"\xF4\x90\x80\x80", false, u"", 0},   // above U+10FFFF
      {"\xE6\x9F\xAF\xE6\x9F", false, u"", 3},  // cut short
      {"\x80", false, u"", 0},               // lone continuation byte
  };
  for (const Case& c : cases) {
    size_t bad = 99;
    std::optional<std::u16string> out = Utf8ToUtf16(c.utf8, &bad);
    EXPECT_EQ(out.has_value(), c.ok) << testing::PrintToString(c.utf8);
    if (c.ok && out) {
      EXPECT_EQ(*out, c.utf16);
      EXPECT_EQ(Utf16ToUtf8(*out), c.utf8);
    }
    if (!c.ok) EXPECT_EQ(bad, c.badOffset) << testing::PrintToString(c.utf8);
  }
}

TEST(Utf16ToUtf8, UnpairedSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST(TryTextToBoolean, NumbersAndWords) {
  SetDecimalSeparator(u'.');
  struct Case {
    const char16_t* text;
    bool ok;
    bool value;
  };
  const Case cases[] = {
      {u"-1", true, true},   {u" 0 ", true, false}, {u"2.5", true, true},  {u".", true, false},
      {u"TRUE", true, true}, {u"false", true, false}, {u"yes", false, false}, {u"", false, false},
      {u"-", false, false},  {u"1e", false, false},
  };
  for (const Case& c : cases) {
    bool value = !c.value;
    EXPECT_EQ(TryTextToBoolean(c.text, value), c.ok) << testing::PrintToString(std::u16string(c.text));
    if (c.ok) EXPECT_EQ(value, c.value);
  }
  SetDecimalSeparator(0);
}

}  // namespace
}  // namespace vo
