// Integer and boolean views of a cell, the decimal text written back, and the
// escaping of "," and "|" in the columns of a table's convert set.

#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "DataTableTestSupport.h"

namespace vo {
namespace {

using datatable_test::EventLog;

// Restores the system's decimal separator after a test changes it.
class DecimalSeparatorGuard {
 public:
  ~DecimalSeparatorGuard() { SetDecimalSeparator(0); }
};

struct IntegerCase {
  std::u16string stored;
  std::optional<int32_t> value;  // nullopt: conversion error
};

const IntegerCase kIntegerCases[] = {
    {u"0", 0},
    {u"42", 42},
    {u"007", 7},
    {u" -7", -7},
    {u"   +15", 15},
    {u"2147483647", INT32_MAX},
    {u"-2147483648", INT32_MIN},
    {u"$1F", 31},
    {u"x1f", 31},
    {u"X10", 16},
    {u"0x7FFFFFFF", INT32_MAX},
    {u"0XFFFFFFFF", -1},
    {u"$80000000", INT32_MIN},
    {u"-$1", -1},
    {u" +$a", 10},
    {u"$00000001", 1},
    {u"12 ", std::nullopt},
    {u"2147483648", std::nullopt},
    {u"-2147483649", std::nullopt},
    {u"99999999999999999999", std::nullopt},
    {u"$", std::nullopt},
    {u"0x", std::nullopt},
    {u"$123456789", std::nullopt},
    {u"$1G", std::nullopt},
    {u"0x-1", std::nullopt},
    {u"1.5", std::nullopt},
    {u"abc", std::nullopt},
    {u" ", std::nullopt},
    {u"-", std::nullopt},
    {u"+-1", std::nullopt},
    {u"\t5", std::nullopt},
    {u"1e3", std::nullopt},
    {u"\u0663", std::nullopt},  // ARABIC-INDIC DIGIT THREE is not a decimal digit here
};

TEST(CellValue, ReadsIntegerTexts) {
  for (const auto& c : kIntegerCases) {
    SCOPED_TRACE(Utf16ToUtf8(c.stored));
    TRow row;
    row.Init(c.stored, u'|');
    TCell& cell = row.Items(0);
    if (c.value) {
      EXPECT_EQ(cell.Value(), *c.value);
    } else {
      try {
        cell.Value();
        ADD_FAILURE() << "no conversion error";
      } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"''" + c.stored + u"'' is not a valid integer value");
      }
    }
    EXPECT_EQ(cell.StoredText(), c.stored) << "reading must not change a non-empty text";
  }
}

TEST(CellValue, EmptyTextReadsZeroAndKeepsIt) {
  EventLog log;
  TRow row;
  row.Init(u"", u',');
  log.WatchRow(row, "r");
  EXPECT_EQ(row.Items(0).Value(), 0);
  EXPECT_EQ(row.Items(0).StoredText(), u"0");
  row.Init(u"", u',');
  log.lines.clear();
  EXPECT_FALSE(row.Items(0).AsBool());
  EXPECT_EQ(row.Items(0).StoredText(), u"0");
  EXPECT_TRUE(log.lines.empty()) << "filling in the 0 is not a change";
}

TEST(CellValue, ConversionErrorMessageCarriesTheText) {
  TRow row;
  row.Init(u"12 ", u',');
  try {
    row.Items(0).Value();
    FAIL();
  } catch (const EDataTableError& e) {
    EXPECT_STREQ(e.what(), "''12 '' is not a valid integer value");
  }
}

TEST(CellValue, WritesDecimalText) {
  const struct {
    int32_t value;
    std::u16string text;
  } kCases[] = {
      {0, u"0"}, {7, u"7"}, {120, u"120"}, {-1, u"-1"}, {INT32_MAX, u"2147483647"}, {INT32_MIN, u"-2147483648"},
  };
  for (const auto& c : kCases) {
    TRow row;
    row.Init(u"old", u',');
    row.Items(0).SetValue(c.value);
    EXPECT_EQ(row.Items(0).StoredText(), c.text);
    EXPECT_EQ(row.Items(0).Value(), c.value);
  }
}

struct BooleanCase {
  std::u16string stored;
  char16_t separator;
  std::optional<bool> value;  // nullopt: conversion error
};

const BooleanCase kBooleanCases[] = {
    {u"-1", u'.', true},
    {u"1", u'.', true},
    {u"7", u'.', true},
    {u"TRUE", u'.', true},
    {u"true", u'.', true},
    {u"tRuE", u'.', true},
    {u"0", u'.', false},
    {u"00", u'.', false},
    {u"-0", u'.', false},
    {u"false", u'.', false},
    {u"FALSE", u'.', false},
    {u"0.0", u'.', false},
    {u"0.5", u'.', true},
    {u".5", u'.', true},
    {u"5.", u'.', true},
    {u" 2 ", u'.', true},
    {u"1e3", u'.', true},
    {u"0E+9", u'.', false},
    {u"1,5", u',', true},
    {u"0,0", u',', false},
    {u"1,5", u'.', std::nullopt},
    {u"0.5", u',', std::nullopt},
    {u"yes", u'.', std::nullopt},
    {u"True ", u'.', std::nullopt},
    {u"$1", u'.', std::nullopt},
    {u".", u'.', false},
    {u"-.", u'.', false},
    {u" . ", u'.', false},
    {u"1e", u'.', std::nullopt},
    {u"-", u'.', std::nullopt},
};

TEST(CellAsBool, ReadsBooleanTexts) {
  DecimalSeparatorGuard restore;
  for (const auto& c : kBooleanCases) {
    SCOPED_TRACE(Utf16ToUtf8(c.stored) + " with separator " + char(c.separator));
    SetDecimalSeparator(c.separator);
    TRow row;
    row.Init(c.stored, u'|');
    if (c.value) {
      EXPECT_EQ(row.Items(0).AsBool(), *c.value);
    } else {
      try {
        row.Items(0).AsBool();
        ADD_FAILURE() << "no conversion error";
      } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"'" + c.stored + u"' is not a valid boolean value");
      }
    }
  }
}

TEST(CellAsBool, WritesMinusOneAndZero) {
  EventLog log;
  TRow row;
  row.Init(u"x", u',');
  log.WatchRow(row, "r");
  row.Items(0).SetAsBool(true);
  EXPECT_EQ(row.Items(0).StoredText(), u"-1");
  row.Items(0).SetAsBool(true);
  row.Items(0).SetAsBool(false);
  EXPECT_EQ(row.Items(0).StoredText(), u"0");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"row r cmCellEdit c0", "row r cmCellEdit c0"}));
}

TEST(DecimalSeparator, OverrideAndSystemDefault) {
  DecimalSeparatorGuard restore;
  SetDecimalSeparator(u',');
  EXPECT_EQ(UserDecimalSeparator(), u',');
  SetDecimalSeparator(0);
  EXPECT_EQ(UserDecimalSeparator(), SystemDecimalSeparator());
  EXPECT_NE(SystemDecimalSeparator(), u'\0');
}

// A table whose convert set holds columns 1 and 103 (104 cannot be a member),
// with one row of 105 cells.
struct EscapeCase {
  int column;
  int32_t ioMode;
  std::u16string written;
  std::u16string stored;
  std::u16string read;
};

const EscapeCase kEscapeCases[] = {
    {1, 2, u"a,b|c", u"a\x1A" u"b\x1B" u"c", u"a,b|c"},
    {0, 2, u"a,b|c", u"a,b|c", u"a,b|c"},
    {103, 2, u"a,b", u"a\x1A" u"b", u"a,b"},
    {104, 2, u"a,b", u"a,b", u"a,b"},
    {1, 2, u"x\ny", u"x y", u"x y"},
    {1, 3, u"x\ny", u"x\ny", u"x\ny"},
    {1, 2, u"a\tb\rc", u"a b c", u"a b c"},
    {1, 3, u"a\tb\rc", u"a\tb\rc", u"a\tb\rc"},
    {1, 3, u"p\x01q\x0Br\x0Cs\x1At\x1Bu\x1Fv", u"p q r s t u v", u"p q r s t u v"},
    {1, 2, std::u16string(u"ab\0cd", 5), u"ab", u"ab"},
    {1, 2, std::u16string(u"\0x", 2), u"", u""},
    {0, 2, std::u16string(u"ab\0cd", 5), std::u16string(u"ab\0cd", 5), std::u16string(u"ab\0cd", 5)},
    {1, 2, u"\u4E2D\u6587,\u00E9", u"\u4E2D\u6587\x1A\u00E9", u"\u4E2D\u6587,\u00E9"},
};

TEST(CellText, EscapesConvertedColumns) {
  for (const auto& c : kEscapeCases) {
    SCOPED_TRACE("column " + std::to_string(c.column) + " IOMode " + std::to_string(c.ioMode) + " text " +
                 Utf16ToUtf8(c.written));
    TDataTable table(u"", TColumnSet{1, 103, 104});
    table.SetIOMode(c.ioMode);
    table.Init(std::u16string(104, u','));
    TCell& cell = table.Items(0).Items(c.column);
    cell.SetText(c.written);
    EXPECT_EQ(cell.StoredText(), c.stored);
    EXPECT_EQ(cell.Text(), c.read);
  }
}

TEST(CellText, RowOutsideATableStoresUnchanged) {
  TRow row;
  row.Init(u"a,b", u',');
  row.Items(1).SetText(u"x,y|z\n");
  EXPECT_EQ(row.Items(1).StoredText(), u"x,y|z\n");
  row.Items(1).SetText(std::u16string(u"p\0q", 3));
  EXPECT_EQ(row.Items(1).StoredText(), std::u16string(u"p\0q", 3));
}

TEST(CellText, StrayEscapesReadBackOnlyInConvertedColumns) {
  TDataTable table(u"", TColumnSet{1});
  table.Init(u"a\x1B" u"b,c\x1B" u"d\x1A" u"e");
  EXPECT_EQ(table.Items(0).Items(0).Text(), u"a\x1B" u"b");
  EXPECT_EQ(table.Items(0).Items(1).Text(), u"c|d,e");
  EXPECT_EQ(table.Items(0).Items(1).StoredText(), u"c\x1B" u"d\x1A" u"e");
}

TEST(CellText, CellOutsideItsRowsListIsNotConverted) {
  TDataTable table(u"", TColumnSet{0, 1});
  table.Init(u"a,b");
  TCell loose(&table.Items(0));
  EXPECT_EQ(loose.GetIndex(), -1);
  loose.SetText(u"x,y");
  EXPECT_EQ(loose.StoredText(), u"x,y");
}

TEST(ColumnSet, MembersAndByteLayout) {
  TColumnSet set{0, 9, 103, 104, -1};
  EXPECT_TRUE(set.Contains(0));
  EXPECT_TRUE(set.Contains(9));
  EXPECT_TRUE(set.Contains(103));
  EXPECT_FALSE(set.Contains(104));
  EXPECT_FALSE(set.Contains(-1));
  EXPECT_FALSE(set.Contains(1));
  const auto bytes = set.ToBytes();
  const std::array<uint8_t, 13> expected = {0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(TColumnSet::FromBytes(bytes), set);
  set.Exclude(9);
  EXPECT_FALSE(set.Contains(9));
  EXPECT_TRUE(TColumnSet().Empty());
}

}  // namespace
}  // namespace vo
