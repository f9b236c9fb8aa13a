// TDataTable::Init reading the text form: header, rows, cells, U+0000 ends.

#include <gtest/gtest.h>

#include <optional>

#include "DataTableTestSupport.h"

namespace vo {
namespace {

using datatable_test::Cells;
using datatable_test::EventLog;
using datatable_test::Rows;
using datatable_test::StoredCells;
using datatable_test::StoredRows;

std::u16string WithNul(const char16_t* text, size_t length) { return std::u16string(text, length); }

// Before each case the property row holds "old", "9"; nullopt means the text
// left it so.
struct GrammarCase {
  std::u16string text;
  std::optional<Cells> header;
  Rows rows;
};

const GrammarCase kGrammarCases[] = {
    {u"", std::nullopt, {{u""}}},
    {u"#a,b#", Cells{u"a", u"b"}, {}},
    {u"#a,b#x", Cells{u"a", u"b"}, {{u"x"}}},
    {u"#abc", std::nullopt, {{u"#abc"}}},
    {u"#", std::nullopt, {{u"#"}}},
    {u"##", Cells{u""}, {}},
    {u"##x,y", Cells{u""}, {{u"x", u"y"}}},
    {u"#,#|", Cells{u"", u""}, {{u""}, {u""}}},
    {u"a,b|", std::nullopt, {{u"a", u"b"}, {u""}}},
    {u"|", std::nullopt, {{u""}, {u""}}},
    {u"|a||", std::nullopt, {{u""}, {u"a"}, {u""}, {u""}}},
    {u"a,,b", std::nullopt, {{u"a", u"", u"b"}}},
    {u",", std::nullopt, {{u"", u""}}},
    {u"x#y|z", std::nullopt, {{u"x#y"}, {u"z"}}},
    {u"a,b,c|d", std::nullopt, {{u"a", u"b", u"c"}, {u"d"}}},
    {u"a b , c", std::nullopt, {{u"a b ", u" c"}}},
    {u"a\r\n,b\r\n|c", std::nullopt, {{u"a\r\n", u"b\r\n"}, {u"c"}}},
    {u"#h#a#b", Cells{u"h"}, {{u"a#b"}}},
    {WithNul(u"#h#a\0b|c", 8), Cells{u"h"}, {{u"a"}}},
    {WithNul(u"#h#\0x", 5), Cells{u"h"}, {}},
    {WithNul(u"#\0a#b", 5), Cells{}, {{u"b"}}},
    {WithNul(u"#a\0b,c#x", 8), Cells{u"a"}, {{u"x"}}},
    {WithNul(u"\0abc", 4), std::nullopt, {}},
    {WithNul(u"a,b\0,c|d", 8), std::nullopt, {{u"a", u"b"}}},
    {WithNul(u"a|\0b", 4), std::nullopt, {{u"a"}, {u""}}},
    {u"\x1A,\x1B", std::nullopt, {{u"\x1A", u"\x1B"}}},
};

TEST(TextForm, Grammar) {
  for (const auto& c : kGrammarCases) {
    SCOPED_TRACE(Utf16ToUtf8(c.text));
    TDataTable table(u"", TColumnSet{1});
    table.PropertyRow().Init(u"old,9", u',');
    table.SetRowIndex(0);  // no rows yet: stays -1
    table.Init(c.text);

    EXPECT_EQ(StoredCells(table.PropertyRow()), c.header.value_or(Cells{u"old", u"9"}));
    EXPECT_EQ(StoredRows(table), c.rows);
    EXPECT_EQ(table.RowIndex(), -1);
    EXPECT_TRUE(table.DataChanged());
    for (int32_t i = 0; i < table.ItemCount(); ++i) {
      EXPECT_EQ(table.Items(i).Id(), i + 1);
      EXPECT_EQ(table.Items(i).Parent(), &table);
      EXPECT_TRUE(table.Items(i).DataChanged());
    }
  }
}

TEST(TextForm, WorkedExample) {
  TDataTable table(u"", TColumnSet{1});
  table.Init(u"#sample,7#docs,readme.txt,120|docs,notes\x1A" u"old.txt,2048");

  EXPECT_EQ(table.PropCount(), 2);
  EXPECT_EQ(table.Name(), u"sample");
  EXPECT_EQ(table.Value(), 7);
  ASSERT_EQ(table.ItemCount(), 2);
  EXPECT_EQ(StoredCells(table.Items(0)), (Cells{u"docs", u"readme.txt", u"120"}));
  EXPECT_EQ(table.Items(1).Items(1).StoredText(), u"notes\x1A" u"old.txt");
  EXPECT_EQ(table.Items(1).Items(1).Text(), u"notes,old.txt");
  EXPECT_EQ(table.Items(0).Items(2).Value(), 120);
  EXPECT_EQ(table.Items(1).Items(2).Value(), 2048);
  EXPECT_EQ(table.Items(0).Id(), 1);
  EXPECT_EQ(table.Items(1).Id(), 2);
}

TEST(TextForm, SecondInitWithoutHeaderKeepsTheFirstHeader) {
  TDataTable table(u"", TColumnSet{});
  table.Init(u"#first,3#a|b|c");
  table.Init(u"x,y");
  EXPECT_EQ(StoredCells(table.PropertyRow()), (Cells{u"first", u"3"}));
  EXPECT_EQ(StoredRows(table), (Rows{{u"x", u"y"}}));
  EXPECT_EQ(table.Items(0).Id(), 1) << "ids restart after the rows were cleared";
}

TEST(TextForm, ShortHeaderMakesTableValueAnIndexError) {
  TDataTable table(u"", TColumnSet{});
  table.Init(u"##x,y");
  EXPECT_EQ(table.PropCount(), 1);
  EXPECT_EQ(table.Name(), u"");
  try {
    table.Value();
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (1)");
  }
  table.Init(WithNul(u"#\0#", 3));
  EXPECT_EQ(table.PropCount(), 0);
  EXPECT_THROW(table.Name(), EListError);
}

TEST(TextForm, EscapesReadBackPerColumn) {
  TDataTable table(u"", TColumnSet{1});
  table.Init(u"a\x1B" u"b,a\x1B" u"b");
  EXPECT_EQ(table.Items(0).Items(0).Text(), u"a\x1B" u"b");
  EXPECT_EQ(table.Items(0).Items(1).Text(), u"a|b");
}

TEST(TextForm, HeaderFieldsAreConvertedLikeCells) {
  TDataTable table(u"", TColumnSet{0});
  table.Init(u"#my\x1Aname,5#");
  EXPECT_EQ(table.Name(), u"my,name");
  EXPECT_EQ(table.ItemCount(), 0);
}

TEST(TextForm, InitNotifiesOnceAndResetsTheCursorAtOnce) {
  EventLog log;
  TDataTables tables;
  TDataTable& table = tables.AddItem(std::make_unique<TDataTable>(u"", TColumnSet{}));
  table.Init(u"a|b|c");
  table.SetRowIndex(2);
  log.WatchTable(table, "t");
  log.WatchTables(tables);
  log.WatchRow(table.PropertyRow(), "prop");

  table.Init(u"#h#x|y");

  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "cursor t -1",
                           "row prop cmRowInit nil",
                           "table t cmTableInit nil nil -1 -1",
                           "tables cmTableInit 1 t 0",
                       }));
  EXPECT_TRUE(table.PropertyRow().DataChanged());
}

TEST(TextForm, FailingCallbackStillClosesTheUpdate) {
  EventLog log;
  TDataTable table(u"", TColumnSet{});
  table.Init(u"a|b");
  table.SetRowIndex(1);
  log.WatchTable(table, "t");
  table.SetOnRowIndexChanged([](TObject&, int32_t) { throw std::runtime_error("cursor handler failed"); });

  EXPECT_THROW(table.Init(u"x"), std::runtime_error);
  EXPECT_EQ(log.lines, std::vector<std::string>{"table t cmTableInit nil nil -1 -1"});

  log.lines.clear();
  table.SetName(u"n");
  EXPECT_EQ(log.lines, std::vector<std::string>{"table t cmPropChange prop c0 -1 -1"})
      << "the table must not stay inside an update";
}

TEST(TextForm, LongRowsAndManyRows) {
  std::u16string text;
  for (int i = 0; i < 300; ++i) text += u"c" + Int32ToText(i) + u",";
  text += u"|";
  for (int i = 0; i < 1000; ++i) text += u"|";
  TDataTable table(u"", TColumnSet{1});
  table.Init(text);
  ASSERT_EQ(table.ItemCount(), 1002);
  EXPECT_EQ(table.Items(0).ItemCount(), 301);
  EXPECT_EQ(table.Items(0).Items(299).Text(), u"c299");
  EXPECT_EQ(table.Items(0).Items(299).GetIndex(), 299);
  EXPECT_EQ(table.Items(1001).Id(), 1002);
  EXPECT_EQ(table.IndexOfId(1002), 1001);
}

}  // namespace
}  // namespace vo
