// TDataTables: adding tables (owned or copied), copying and assigning
// containers, clearing, and the notifications the container raises itself.

#include <gtest/gtest.h>

#include <functional>

#include "DataTableTestSupport.h"

namespace vo {
namespace {

using datatable_test::Cells;
using datatable_test::EventLog;
using datatable_test::Rows;
using datatable_test::StoredCells;
using datatable_test::StoredRows;
using Lines = std::vector<std::string>;

std::unique_ptr<TDataTable> MakeTable(const std::u16string& text) {
  auto table = std::make_unique<TDataTable>(u"", TColumnSet{});
  table->Init(text);
  return table;
}

TEST(Container, NewContainerState) {
  TDataTables tables;
  EXPECT_EQ(tables.ItemCount(), 0);
  EXPECT_FALSE(tables.DataChanged());
  EXPECT_FALSE(tables.IsEncrypt());
  EXPECT_EQ(tables.Tag(), 0);
  EXPECT_EQ(tables.FileName(), u"");
  EXPECT_FALSE(tables.PropertyRow().DataChanged());
}

TEST(Container, AddItemCopyLeavesTheCallersTable) {
  EventLog log;
  TDataTables tables;
  tables.AddItem(MakeTable(u"first"));
  log.WatchTables(tables);

  TDataTable source(u"secret", TColumnSet{1});
  source.Init(u"#src,4#a,b|c|d");
  TDataTable& copy = tables.AddItem(source);

  EXPECT_NE(&copy, &source);
  EXPECT_EQ(&tables.Items(1), &copy);
  EXPECT_EQ(copy.Parent(), &tables);
  EXPECT_EQ(StoredRows(copy), (Rows{{u"a", u"b"}, {u"c"}, {u"d"}}));
  for (int32_t i = 0; i < copy.ItemCount(); ++i) EXPECT_EQ(copy.Items(i).Id(), i + 1);
  EXPECT_EQ(copy.Key(), u"");
  EXPECT_TRUE(copy.ConvertSet().Empty());
  EXPECT_EQ(StoredCells(copy.PropertyRow()), Cells(10)) << "a fresh property row";
  EXPECT_EQ(source.Parent(), nullptr);
  EXPECT_EQ(source.Name(), u"src");
  EXPECT_EQ(source.ItemCount(), 3);
  // The new table is known only by its position here.
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0], "tables cmTableAdd 1 table? 1");
}

TEST(Container, AddItemOwnsTheTableItself) {
  EventLog log;
  TDataTables tables;
  log.WatchTables(tables);
  auto table = MakeTable(u"x");
  TDataTable* raw = table.get();
  log.WatchTable(*raw, "t");
  EXPECT_EQ(&tables.AddItem(std::move(table)), raw);
  EXPECT_EQ(raw->Parent(), &tables);
  EXPECT_EQ(&tables.Items(0), raw);
  EXPECT_EQ(log.lines, Lines{"tables cmTableAdd 1 t 0"});
  EXPECT_TRUE(tables.DataChanged());
  EXPECT_THROW(tables.AddItem(std::unique_ptr<TDataTable>()), InvalidArgument);
}

TEST(Container, ForwardedChangesCarryTheTablePosition) {
  EventLog log;
  TDataTables tables;
  tables.AddItem(MakeTable(u"a"));
  TDataTable& second = tables.AddItem(MakeTable(u"b"));
  log.WatchTables(tables);
  log.WatchTable(second, "second");
  second.SetPreventEvent(true);
  second.Items(0).Items(0).SetText(u"z");
  EXPECT_EQ(log.lines, Lines{"tables cmCellEdit 1 second 1"});
}

TEST(Container, ClearNotifiesOnlyWhenThereWereTables) {
  EventLog log;
  TDataTables tables;
  log.WatchTables(tables);
  tables.Clear();
  EXPECT_TRUE(log.lines.empty());
  EXPECT_FALSE(tables.DataChanged());
  tables.AddItem(MakeTable(u"a"));
  tables.AddItem(MakeTable(u"b"));
  log.lines.clear();
  tables.Clear();
  EXPECT_EQ(log.lines, Lines{"tables cmTablesClear -1 nil -1"});
  EXPECT_EQ(tables.ItemCount(), 0);
}

TEST(Container, CopyFromWithMaxCount) {
  TDataTables source;
  source.AddItem(MakeTable(u"t0"));
  source.AddItem(MakeTable(u"t1"));
  source.AddItem(MakeTable(u"t2"));
  const struct {
    int32_t maxCount;
    std::vector<std::u16string> firstCells;
  } kCases[] = {
      {2, {u"t0", u"t1"}},
      {0, {u"t0", u"t1", u"t2"}},
      {-5, {u"t0", u"t1", u"t2"}},
      {9, {u"t0", u"t1", u"t2"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE("MaxCount " + std::to_string(c.maxCount));
    EventLog log;
    TDataTables tables;
    tables.AddItem(MakeTable(u"old"));
    log.WatchTables(tables);
    tables.CopyFrom(source, c.maxCount);
    std::vector<std::u16string> firstCells;
    for (int32_t i = 0; i < tables.ItemCount(); ++i) {
      firstCells.push_back(tables.Items(i).Items(0).Items(0).StoredText());
      EXPECT_EQ(tables.Items(i).Parent(), &tables);
    }
    EXPECT_EQ(firstCells, c.firstCells);
    EXPECT_EQ(log.lines, Lines{"tables cmTablesInit -1 nil -1"});
  }
  EXPECT_EQ(source.ItemCount(), 3);
}

TEST(Container, AssignFromContainer) {
  TDataTables source;
  source.AddItem(MakeTable(u"a|b"));
  source.PropertyRow().Init(u"p,q", u',');
  source.SetTag(11);
  source.SetFileName(u"src.dat");

  EventLog log;
  TDataTables tables;
  tables.AddItem(MakeTable(u"old"));
  tables.AddItem(MakeTable(u"older"));
  log.WatchTables(tables);
  tables.Assign(&source);

  ASSERT_EQ(tables.ItemCount(), 1);
  EXPECT_EQ(StoredRows(tables.Items(0)), (Rows{{u"a"}, {u"b"}}));
  EXPECT_EQ(StoredCells(tables.PropertyRow()), (Cells{u"p", u"q"}));
  EXPECT_EQ(tables.Tag(), 11);
  EXPECT_EQ(tables.FileName(), u"") << "the file name is not part of an assignment";
  EXPECT_EQ(log.lines, Lines{"tables cmTablesInit -1 nil -1"});

  tables.Assign(&tables);
  EXPECT_EQ(StoredRows(tables.Items(0)), (Rows{{u"a"}, {u"b"}})) << "assigning to itself keeps the tables";
  EXPECT_EQ(StoredCells(tables.PropertyRow()), (Cells{u"p", u"q"}));
}

TEST(Container, AssignFromAnythingElseIsAnError) {
  TDataTable table(u"", TColumnSet{});
  TRow row;
  const struct {
    const TPersistent* source;
    const char* message;
  } kCases[] = {
      {&table, "Cannot assign a TDataTable to a TDataTables"},
      {&row, "Cannot assign a TRow to a TDataTables"},
      {nullptr, "Cannot assign a nil to a TDataTables"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.message);
    EventLog log;
    TDataTables tables;
    tables.AddItem(MakeTable(u"kept"));
    log.WatchTables(tables);
    try {
      tables.Assign(c.source);
      ADD_FAILURE() << "no assignment error";
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(tables.ItemCount(), 1);
    EXPECT_TRUE(log.lines.empty());
  }
}

TEST(Container, FailingCallbackStillClosesTheUpdate) {
  TDataTables tables;
  int calls = 0;
  tables.SetOnDataChanged([&](TDataTables&, TDataTableChangeMode, int32_t, TDataTable*, int32_t) {
    if (++calls == 1) throw std::runtime_error("first call fails");
  });
  EXPECT_THROW(tables.AddItem(MakeTable(u"a")), std::runtime_error);
  EXPECT_EQ(tables.ItemCount(), 1);
  tables.SetDataChanged(true);
  EXPECT_EQ(calls, 2) << "the container must not stay inside an update";
}

TEST(Container, PlainFields) {
  TDataTables tables;
  tables.SetFileName(u"tables.dat");
  tables.SetIsEncrypt(true);
  tables.SetTag(3);
  EXPECT_EQ(tables.FileName(), u"tables.dat");
  EXPECT_TRUE(tables.IsEncrypt());
  EXPECT_EQ(tables.Tag(), 3);
  EXPECT_FALSE(tables.DataChanged());
}

}  // namespace
}  // namespace vo
