// Rows and tables: construction, row splitting, ids, positions, cursors,
// copies and index errors.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "DataTableTestSupport.h"

namespace vo {
namespace {

using datatable_test::Cells;
using datatable_test::EventLog;
using datatable_test::Rows;
using datatable_test::StoredCells;
using datatable_test::StoredRows;

TEST(Table, NewTableState) {
  TDataTable table(u"key", TColumnSet{1});
  EXPECT_EQ(table.ItemCount(), 0);
  EXPECT_EQ(table.PropCount(), 10);
  EXPECT_EQ(StoredCells(table.PropertyRow()), Cells(10));
  EXPECT_EQ(table.Name(), u"");
  EXPECT_EQ(table.RowIndex(), -1);
  EXPECT_EQ(table.ColIndex(), -1);
  EXPECT_FALSE(table.DataChanged());
  EXPECT_FALSE(table.PropertyRow().DataChanged());
  EXPECT_EQ(table.IOMode(), 2);
  EXPECT_EQ(table.Key(), u"key");
  EXPECT_EQ(table.KeyCustom(), u"");
  EXPECT_EQ(table.ConvertSet(), TColumnSet{1});
  EXPECT_EQ(table.Parent(), nullptr);
  EXPECT_EQ(table.PropertyRow().Id(), 0);
  EXPECT_TRUE(table.PropertyRow().IsProp());
  EXPECT_EQ(table.PropertyRow().Parent(), &table);
  EXPECT_EQ(table.PropertyRow().GetIndex(), -1);

  EXPECT_EQ(table.Value(), 0);
  EXPECT_EQ(table.PropertyRow().Items(1).StoredText(), u"0");
}

TEST(Row, NewRowState) {
  TRow row;
  EXPECT_EQ(row.ItemCount(), 0);
  EXPECT_EQ(row.Id(), -1);
  EXPECT_EQ(row.GetIndex(), -1);
  EXPECT_FALSE(row.IsProp());
  EXPECT_FALSE(row.DataChanged());
}

TEST(Row, InitSplitsAtTheSeparator) {
  const struct {
    std::u16string text;
    char16_t separator;
    Cells cells;
  } kCases[] = {
      {u"a,,b,", u',', {u"a", u"", u"b", u""}},
      {u"", u',', {u""}},
      {u",", u',', {u"", u""}},
      {u"abc", u',', {u"abc"}},
      {u"a,b|c", u'|', {u"a,b", u"c"}},
      {u" a , b ", u',', {u" a ", u" b "}},
      {std::u16string(u"\0x", 2), u',', {}},
      {std::u16string(u"a\0b,c", 5), u',', {u"a"}},
      {std::u16string(u"a,\0", 3), u',', {u"a", u""}},
      {std::u16string(u"a\0b", 3), u'\0', {u"a"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Utf16ToUtf8(c.text));
    TRow row;
    row.Init(u"old,cells", u',');
    row.Init(c.text, c.separator);
    EXPECT_EQ(StoredCells(row), c.cells);
    for (int32_t i = 0; i < row.ItemCount(); ++i) {
      EXPECT_EQ(row.Items(i).Parent(), &row);
      EXPECT_EQ(row.Items(i).GetIndex(), i);
    }
  }
}

TEST(Row, InitFromOwnCellText) {
  TRow row;
  row.Init(u"a|b,c", u',');
  row.Init(row.Items(0).StoredText(), u'|');
  EXPECT_EQ(StoredCells(row), (Cells{u"a", u"b"}));
}

TEST(Row, AddItemAppendsDecimalText) {
  TRow row;
  TCell& added = row.AddItem(-12);
  EXPECT_EQ(&added, &row.Items(0));
  row.AddItem(0);
  EXPECT_EQ(StoredCells(row), (Cells{u"-12", u"0"}));
}

// Cells are made in blocks (all of an Init's at once, one per AddItem); a
// cell handed out earlier stays where it is, with its index and its row.
TEST(Row, CellsKeepTheirPlaceAsTheRowGrows) {
  TRow row;
  row.Init(u"a,b,c", u',');
  TCell& first = row.Items(0);
  TCell& third = row.Items(2);
  std::vector<TCell*> added;
  for (int32_t i = 0; i < 40; ++i) added.push_back(&row.AddItem(i));
  EXPECT_EQ(&row.Items(0), &first);
  EXPECT_EQ(third.GetIndex(), 2);
  EXPECT_EQ(third.StoredText(), u"c");
  for (int32_t i = 0; i < 40; ++i) {
    EXPECT_EQ(added[size_t(i)]->GetIndex(), 3 + i);
    EXPECT_EQ(added[size_t(i)]->Parent(), &row);
    EXPECT_EQ(added[size_t(i)]->StoredText(), Int32ToText(i));
  }
  row.Init(u"x", u',');
  EXPECT_EQ(StoredCells(row), (Cells{u"x"}));
  EXPECT_EQ(row.Items(0).GetIndex(), 0);
}

TEST(Row, CopyFromCopiesStoredTextsOnly) {
  TDataTable table(u"", TColumnSet{1});
  table.Init(u"a,b\x1A" u"c,d|e");
  TRow& source = table.Items(0);
  source.SetTag(7);
  int marker = 0;
  source.SetData(&marker);

  TRow copy;
  copy.Init(u"x", u',');
  copy.CopyFrom(source);
  EXPECT_EQ(StoredCells(copy), (Cells{u"a", u"b\x1A" u"c", u"d"}));
  EXPECT_EQ(copy.Id(), -1);
  EXPECT_EQ(copy.Tag(), 0);
  EXPECT_EQ(copy.Data(), nullptr);

  TRow empty;
  copy.CopyFrom(empty);
  EXPECT_EQ(StoredCells(copy), Cells{u""});

  source.CopyFrom(source);
  EXPECT_EQ(StoredCells(source), (Cells{u"a", u"b\x1A" u"c", u"d"})) << "copying a row onto itself keeps it";
}

TEST(Table, IdsAndIndexOfId) {
  TDataTable table(u"", TColumnSet{});
  TRow& first = table.AddItem(std::make_unique<TRow>());
  TRow template_row;
  template_row.Init(u"t", u',');
  TRow& second = table.AddItem(template_row);
  table.AddItem(std::make_unique<TRow>());

  EXPECT_EQ(first.Id(), 1);
  EXPECT_EQ(second.Id(), 2);
  EXPECT_EQ(table.Items(2).Id(), 3);
  EXPECT_EQ(second.Parent(), &table);
  EXPECT_EQ(second.GetIndex(), 1);
  EXPECT_EQ(StoredCells(second), Cells{u"t"});
  EXPECT_EQ(template_row.Id(), -1) << "the caller keeps its row as it was";
  EXPECT_EQ(template_row.Parent(), nullptr);

  const struct {
    int32_t id;
    int32_t index;
  } kLookups[] = {{1, 0}, {2, 1}, {3, 2}, {0, -1}, {4, -1}, {-1, -1}};
  for (const auto& l : kLookups) EXPECT_EQ(table.IndexOfId(l.id), l.index) << "id " << l.id;

  table.Clear();
  EXPECT_EQ(table.AddItem(std::make_unique<TRow>()).Id(), 1);
}

TEST(Table, AddItemTakesOwnershipOfTheRowItself) {
  TDataTable table(u"", TColumnSet{});
  auto row = std::make_unique<TRow>();
  row->Init(u"x,y", u',');
  TRow* raw = row.get();
  EXPECT_EQ(&table.AddItem(std::move(row)), raw);
  EXPECT_EQ(raw->Parent(), &table);
  EXPECT_EQ(&table.Items(0), raw);
  EXPECT_THROW(table.AddItem(std::unique_ptr<TRow>()), InvalidArgument);
  EXPECT_EQ(table.ItemCount(), 1);
}

TEST(Table, IndexErrors) {
  TDataTable table(u"", TColumnSet{});
  table.Init(u"a,b,c|d");
  TDataTables tables;
  tables.AddItem(table);
  const struct {
    const char* what;
    std::function<void()> access;
    const char* message;
  } kCases[] = {
      {"row -1", [&] { table.Items(0).Items(-1); }, "List index out of bounds (-1)"},
      {"row count", [&] { table.Items(0).Items(3); }, "List index out of bounds (3)"},
      {"table -1", [&] { table.Items(-1); }, "List index out of bounds (-1)"},
      {"table count", [&] { table.Items(2); }, "List index out of bounds (2)"},
      {"const table", [&] { static_cast<const TDataTable&>(table).Items(5); }, "List index out of bounds (5)"},
      {"const table count", [&] { static_cast<const TDataTable&>(table).Items(2); }, "List index out of bounds (2)"},
      {"container -1", [&] { tables.Items(-1); }, "List index out of bounds (-1)"},
      {"container count", [&] { tables.Items(1); }, "List index out of bounds (1)"},
      {"minimum", [&] { table.Items(INT32_MIN); }, "List index out of bounds (-2147483648)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    try {
      c.access();
      ADD_FAILURE() << "no index error";
    } catch (const EListError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  EXPECT_EQ(StoredRows(table), (Rows{{u"a", u"b", u"c"}, {u"d"}}));
}

TEST(Table, RowIndexCursor) {
  const struct {
    int32_t start;
    int32_t write;
    int32_t result;
    std::vector<std::string> callbacks;
  } kCases[] = {
      {-1, 1, 1, {"cursor t 1"}},
      {1, 1, 1, {}},
      {0, 2, 2, {"cursor t 2"}},
      {1, 5, -1, {"cursor t -1"}},
      {-1, 5, -1, {"cursor t -1"}},
      {1, 3, -1, {"cursor t -1"}},
      {2, -3, -1, {"cursor t -1"}},
      {-1, -1, -1, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE("from " + std::to_string(c.start) + " write " + std::to_string(c.write));
    EventLog log;
    TDataTable table(u"", TColumnSet{});
    table.Init(u"a|b|c");
    table.SetRowIndex(c.start);
    log.WatchTable(table, "t");
    table.SetRowIndex(c.write);
    EXPECT_EQ(table.RowIndex(), c.result);
    EXPECT_EQ(log.lines, c.callbacks);
  }
}

TEST(Table, ColIndexFollowsTheFirstRow) {
  const struct {
    std::u16string text;  // empty: a table without rows
    int32_t write;
    int32_t result;
  } kCases[] = {
      {u"a,b,c", 2, 2}, {u"a,b,c", 0, 0},  {u"a,b,c", 3, -1},       {u"a,b,c", -1, -1},
      {u"a|b,c,d,e", 1, -1}, {u"a,b|c", 1, 1}, {u"", 0, -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Utf16ToUtf8(c.text) + " write " + std::to_string(c.write));
    EventLog log;
    TDataTable table(u"", TColumnSet{});
    if (!c.text.empty()) table.Init(c.text);
    log.WatchTable(table, "t");
    table.SetColIndex(c.write);
    EXPECT_EQ(table.ColIndex(), c.result);
    EXPECT_TRUE(log.lines.empty());
  }
}

TEST(Table, CopyFromWithMaxCount) {
  const struct {
    int32_t maxCount;
    bool includeProp;
    Rows rows;
    std::u16string name;
  } kCases[] = {
      {2, false, {{u"r0"}, {u"r1"}}, u"dst"},
      {0, false, {{u"r0"}, {u"r1"}, {u"r2"}, {u"r3"}, {u"r4"}}, u"dst"},
      {-1, false, {{u"r0"}, {u"r1"}, {u"r2"}, {u"r3"}, {u"r4"}}, u"dst"},
      {7, false, {{u"r0"}, {u"r1"}, {u"r2"}, {u"r3"}, {u"r4"}}, u"dst"},
      {1, true, {{u"r0"}}, u"src"},
  };
  TDataTable source(u"source key", TColumnSet{0});
  source.Init(u"#src,5#r0|r1|r2|r3|r4");
  source.SetRowIndex(4);
  for (const auto& c : kCases) {
    SCOPED_TRACE("MaxCount " + std::to_string(c.maxCount));
    TDataTable copy(u"k", TColumnSet{2});
    copy.Init(u"#dst#old");
    copy.SetIOMode(3);
    copy.SetRowIndex(0);
    copy.CopyFrom(source, c.includeProp, c.maxCount);
    EXPECT_EQ(StoredRows(copy), c.rows);
    EXPECT_EQ(copy.Name(), c.name);
    for (int32_t i = 0; i < copy.ItemCount(); ++i) EXPECT_EQ(copy.Items(i).Id(), i + 1);
    EXPECT_EQ(copy.Key(), u"k");
    EXPECT_EQ(copy.ConvertSet(), TColumnSet{2});
    EXPECT_EQ(copy.IOMode(), 3);
    EXPECT_EQ(copy.RowIndex(), -1);
  }
  EXPECT_EQ(source.ItemCount(), 5);
  EXPECT_EQ(source.RowIndex(), 4);
}

TEST(Table, CopyFromItselfKeepsItsRows) {
  TDataTable table(u"", TColumnSet{});
  table.Init(u"#h#a|b|c");
  table.CopyFrom(table, true, 2);
  EXPECT_EQ(StoredRows(table), (Rows{{u"a"}, {u"b"}}));
  EXPECT_EQ(table.Name(), u"h");
}

TEST(Table, PlainFields) {
  TDataTable table(u"", TColumnSet{});
  int marker = 0;
  table.SetFileName(u"C:\\files\\table.txt");
  table.SetKeyCustom(u"custom");
  table.SetTag(-4);
  table.SetData3(&marker);
  EXPECT_EQ(table.FileName(), u"C:\\files\\table.txt");
  EXPECT_EQ(table.KeyCustom(), u"custom");
  EXPECT_EQ(table.Tag(), -4);
  EXPECT_EQ(table.Data3(), &marker);
  EXPECT_FALSE(table.DataChanged()) << "plain fields raise nothing";

  TRow row;
  auto shared = std::make_shared<int>(5);
  row.SetIData(shared);
  EXPECT_EQ(shared.use_count(), 2);
  { TRow other; other.SetIData(shared); }
  EXPECT_EQ(shared.use_count(), 2) << "a destroyed row releases its reference";
}

TEST(Persistent, AssignBetweenRowsIsAnError) {
  TRow a, b;
  try {
    a.Assign(&b);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TRow to a TRow");
  }
}

}  // namespace
}  // namespace vo
