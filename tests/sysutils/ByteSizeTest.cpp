#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "shell/ShellError.h"
#include "shell/VoSysUtils.h"

namespace vo {
namespace {

constexpr int64_t KB = 1024;
constexpr int64_t MB = KB * 1024;
constexpr int64_t GB = MB * 1024;

struct ByteSizeCase {
  int64_t size;
  const char16_t* text;
};

// The installer's documented examples, each unit boundary from both sides,
// ties to even in every unit, and the extremes of the signed range.
const ByteSizeCase kPointCases[] = {
    {0, u"0 Bytes"},
    {1023, u"1023 Bytes"},
    {-1, u"-1 Bytes"},
    {-5 * GB, u"-5368709120 Bytes"},
    {INT64_MIN, u"-9223372036854775808 Bytes"},
    {1024, u"1 KB"},
    {1536, u"2 KB"},  // 1.5 -> 2
    {2560, u"2 KB"},  // 2.5 -> 2
    {3584, u"4 KB"},  // 3.5 -> 4
    {1535, u"1 KB"},
    {1048575, u"1024 KB"},
    {1048576, u"1 MB"},
    {MB + MB / 4, u"1.2 MB"},  // 12.5 tenths -> 12
    {MB + MB * 3 / 4, u"1.8 MB"},  // 17.5 tenths -> 18
    {MB + MB / 2, u"1.5 MB"},
    {MB * 2 + MB / 4, u"2.2 MB"},  // 22.5 tenths -> 22
    {100 * MB, u"100 MB"},  // exactly 100 keeps the one-decimal rule
    {100 * MB - MB / 16, u"99.9 MB"},  // 999.375 tenths -> 999
    {100 * MB - MB / 32, u"100 MB"},  // 999.6875 tenths -> 1000
    {100 * MB + MB / 2, u"100 MB"},  // above 100: whole, 100.5 -> 100
    {101 * MB + MB / 2, u"102 MB"},  // 101.5 -> 102
    {101 * MB, u"101 MB"},
    {1073741823, u"1024 MB"},
    {1073741824, u"1 GB"},
    {GB * 5 / 2, u"2.5 GB"},
    {150 * GB, u"150 GB"},
    {INT64_MAX, u"8589934592 GB"},
};

TEST(FormatByteSize, ExamplesWithPointSeparator) {
  for (const ByteSizeCase& c : kPointCases)
    EXPECT_EQ(Utf16ToUtf8(FormatByteSize(c.size, u'.')), Utf16ToUtf8(c.text)) << "size " << c.size;
}

TEST(FormatByteSize, UsesTheGivenDecimalSeparator) {
  const ByteSizeCase cases[] = {
      {MB + MB / 2, u"1,5 MB"},
      {GB * 5 / 2, u"2,5 GB"},
      {150 * GB, u"150 GB"},  // whole numbers show no separator
      {1536, u"2 KB"},
  };
  for (const ByteSizeCase& c : cases)
    EXPECT_EQ(Utf16ToUtf8(FormatByteSize(c.size, u',')), Utf16ToUtf8(c.text)) << "size " << c.size;
}

TEST(FormatByteSize, DefaultFollowsTheUserSeparator) {
  const std::u16string expected = std::u16string(u"1") + UserDecimalSeparator() + u"5 MB";
  EXPECT_EQ(Utf16ToUtf8(FormatByteSize(MB + MB / 2)), Utf16ToUtf8(expected));
}

}  // namespace
}  // namespace vo
