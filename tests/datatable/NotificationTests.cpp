// Change notification from cell to row to table to container: the order of
// the callbacks, the modes and arguments they receive, and how update
// counters silence their own level and the levels above it.

#include <gtest/gtest.h>

#include <functional>

#include "DataTableTestSupport.h"

namespace vo {
namespace {

using datatable_test::EventLog;
using Lines = std::vector<std::string>;

// A container holding table "t" (convert set {1}) with rows "a,b" and "c,d";
// row 0 is watched as "r0", the table as "t", and the container.
struct Chain {
  Chain() {
    table = &tables.AddItem(std::make_unique<TDataTable>(u"", TColumnSet{1}));
    table->Init(u"a,b|c,d");
    log.WatchRow(table->Items(0), "r0");
    log.WatchTable(*table, "t");
    log.WatchTables(tables);
  }
  TCell& Cell(int32_t row, int32_t column) { return table->Items(row).Items(column); }

  EventLog log;
  TDataTables tables;
  TDataTable* table = nullptr;
};

struct NotificationCase {
  const char* name;
  std::function<void(Chain&)> act;
  Lines expected;
};

const NotificationCase kNotificationCases[] = {
    {"cell text",
     [](Chain& c) { c.Cell(0, 0).SetText(u"x"); },
     {"row r0 cmCellEdit c0", "table t cmCellEdit r0 c0 -1 -1", "tables cmCellEdit 1 t 0"}},
    {"same text twice notifies once",
     [](Chain& c) {
       c.Cell(0, 0).SetText(u"x");
       c.Cell(0, 0).SetText(u"x");
     },
     {"row r0 cmCellEdit c0", "table t cmCellEdit r0 c0 -1 -1", "tables cmCellEdit 1 t 0"}},
    {"unchanged text",
     [](Chain& c) { c.Cell(0, 0).SetText(u"a"); },
     {}},
    {"converted text equal to the stored form",
     [](Chain& c) {
       c.Cell(0, 1).SetText(u"p,q");
       c.log.lines.clear();
       c.Cell(0, 1).SetText(u"p,q");
       c.Cell(0, 1).SetText(u"p\x1A" u"q");  // equal to the stored text before any escaping
       c.Cell(0, 1).SetText(u"p\x1B" u"q");  // a stray escape becomes a space: a change
     },
     {"row r0 cmCellEdit c1", "table t cmCellEdit r0 c1 -1 -1", "tables cmCellEdit 1 t 0"}},
    {"integer and boolean writes",
     [](Chain& c) {
       c.Cell(0, 0).SetValue(5);
       c.Cell(0, 0).SetValue(5);
       c.Cell(0, 0).SetAsBool(false);
     },
     {"row r0 cmCellEdit c0", "table t cmCellEdit r0 c0 -1 -1", "tables cmCellEdit 1 t 0",
      "row r0 cmCellEdit c0", "table t cmCellEdit r0 c0 -1 -1", "tables cmCellEdit 1 t 0"}},
    {"reading never notifies",
     [](Chain& c) {
       c.Cell(0, 0).SetText(u"");
       c.log.lines.clear();
       c.Cell(0, 0).Value();
       c.Cell(0, 0).Text();
       c.Cell(0, 0).AsBool();
     },
     {}},
    {"cell added to a row",
     [](Chain& c) { c.table->Items(0).AddItem(9); },
     {"row r0 cmCellAdd c2", "table t cmCellAdd r0 c2 -1 -1", "tables cmCellAdd 1 t 0"}},
    {"row init",
     [](Chain& c) { c.table->Items(0).Init(u"p|q|r", u'|'); },
     {"row r0 cmRowInit nil", "table t cmRowInit r0 nil -1 -1", "tables cmRowInit 1 t 0"}},
    {"row copy",
     [](Chain& c) { c.table->Items(0).CopyFrom(c.table->Items(1)); },
     {"row r0 cmRowInit nil", "table t cmRowInit r0 nil -1 -1", "tables cmRowInit 1 t 0"}},
    {"row clear, twice",
     [](Chain& c) {
       c.table->Items(0).Clear();
       c.table->Items(0).Clear();
     },
     {"row r0 cmRowClear nil", "table t cmRowClear r0 nil -1 -1", "tables cmRowClear 1 t 0"}},
    {"table name is a property change",
     [](Chain& c) { c.table->SetName(u"n"); },
     {"table t cmPropChange prop c0 -1 -1", "tables cmPropChange 1 t 0"}},
    {"table value is a property change",
     [](Chain& c) { c.table->SetValue(3); },
     {"table t cmPropChange prop c1 -1 -1", "tables cmPropChange 1 t 0"}},
    {"row added to a table",
     [](Chain& c) { c.table->AddItem(std::make_unique<TRow>()); },
     {"table t cmRowAdd r2 nil -1 -1", "tables cmRowAdd 1 t 0"}},
    {"table data changed set directly",
     [](Chain& c) { c.table->SetDataChanged(true); },
     {"table t cmDirect nil nil -1 -1", "tables cmDirect 1 t 0"}},
    {"table clear resets the cursor afterwards",
     [](Chain& c) {
       c.table->SetRowIndex(1);
       c.table->Clear();
       c.table->Clear();
     },
     {"cursor t 1", "table t cmTableClear nil nil -1 -1", "tables cmTableClear 1 t 0", "cursor t -1"}},
    {"table copy notifies once",
     [](Chain& c) {
       TDataTable source(u"", TColumnSet{});
       source.Init(u"1|2|3");
       c.table->CopyFrom(source, true, 0);
     },
     {"table t cmTableInit nil nil -1 -1", "tables cmTableInit 1 t 0"}},
    {"table update: the row still hears, the levels above wait",
     [](Chain& c) {
       c.table->BeginUpdate();
       c.Cell(0, 0).SetText(u"x");
       c.Cell(0, 1).SetText(u"y");
       c.table->EndUpdate(cmLoad, nullptr, nullptr, 5, 6);
     },
     {"row r0 cmCellEdit c0", "row r0 cmCellEdit c1", "table t cmLoad nil nil 5 6", "tables cmLoad 1 t 0"}},
    {"nested table update notifies at the outermost end only",
     [](Chain& c) {
       c.table->BeginUpdate();
       c.table->BeginUpdate();
       c.table->SetDataChanged(true);
       c.table->EndUpdate(cmSort, nullptr, nullptr, -1, -1);
       c.table->EndUpdate(cmRowMove, nullptr, nullptr, -1, -1);
     },
     {"table t cmRowMove nil nil -1 -1", "tables cmRowMove 1 t 0"}},
    {"row update silences every level",
     [](Chain& c) {
       TRow& row = c.table->Items(0);
       row.BeginUpdate();
       c.Cell(0, 0).SetText(u"x");
       row.AddItem(1);
       row.EndUpdate(cmCellEdit, &row.Items(0));
     },
     {"row r0 cmCellEdit c0", "table t cmCellEdit r0 c0 -1 -1", "tables cmCellEdit 1 t 0"}},
    {"container update",
     [](Chain& c) {
       c.tables.BeginUpdate();
       c.Cell(0, 0).SetText(u"x");
       c.tables.EndUpdate(cmSort, 3, nullptr, 7);
     },
     {"row r0 cmCellEdit c0", "table t cmCellEdit r0 c0 -1 -1", "tables cmSort 3 nil 7"}},
    {"prevent event silences only the table's own callback",
     [](Chain& c) {
       c.table->SetPreventEvent(true);
       c.Cell(0, 0).SetText(u"x");
       c.table->SetName(u"n");
     },
     {"row r0 cmCellEdit c0", "tables cmCellEdit 1 t 0", "tables cmPropChange 1 t 0"}},
    {"a change in a row of another table stays there",
     [](Chain& c) {
       TDataTable other(u"", TColumnSet{});
       other.Init(u"z");
       other.Items(0).Items(0).SetText(u"w");
     },
     {}},
};

TEST(Notification, Chains) {
  for (const auto& c : kNotificationCases) {
    SCOPED_TRACE(c.name);
    Chain chain;
    c.act(chain);
    EXPECT_EQ(chain.log.lines, c.expected);
  }
}

TEST(Notification, FlagsFollowTheUpdateCounters) {
  Chain c;
  c.tables.SetDataChanged(false);
  ASSERT_FALSE(c.table->DataChanged());
  ASSERT_FALSE(c.table->Items(0).DataChanged());

  c.table->BeginUpdate();
  c.Cell(0, 0).SetText(u"x");
  EXPECT_TRUE(c.table->Items(0).DataChanged());
  EXPECT_FALSE(c.table->DataChanged());
  EXPECT_FALSE(c.tables.DataChanged());
  c.table->EndUpdate(cmCellEdit, nullptr, nullptr, -1, -1);
  EXPECT_TRUE(c.table->DataChanged());
  EXPECT_TRUE(c.tables.DataChanged());
  EXPECT_FALSE(c.table->Items(1).DataChanged());

  c.table->SetPreventEvent(true);
  c.table->SetDataChanged(false);
  c.Cell(1, 0).SetText(u"y");
  EXPECT_TRUE(c.table->DataChanged()) << "PreventEvent does not stop the flag";
}

TEST(Notification, WritingDataChangedFalseClearsTheLevelsBelow) {
  Chain c;
  c.table->SetName(u"n");
  c.tables.PropertyRow().SetDataChanged(true);
  ASSERT_TRUE(c.table->PropertyRow().DataChanged());
  c.log.lines.clear();

  c.table->SetDataChanged(false);
  EXPECT_FALSE(c.table->DataChanged());
  EXPECT_FALSE(c.table->PropertyRow().DataChanged());
  EXPECT_FALSE(c.table->Items(0).DataChanged());
  EXPECT_FALSE(c.table->Items(1).DataChanged());
  EXPECT_TRUE(c.tables.DataChanged()) << "the level above keeps its flag";

  c.Cell(0, 0).SetText(u"x");
  c.tables.SetDataChanged(false);
  EXPECT_FALSE(c.tables.DataChanged());
  EXPECT_FALSE(c.tables.PropertyRow().DataChanged());
  EXPECT_FALSE(c.table->DataChanged());
  EXPECT_FALSE(c.table->Items(0).DataChanged());
  EXPECT_EQ(c.log.lines.size(), 3u) << "clearing flags raises nothing";
}

TEST(Notification, RowInitRaisesOneCallbackAtItsEnd) {
  EventLog log;
  TRow row;
  log.WatchRow(row, "r");
  row.Init(u"a,,b,", u',');
  EXPECT_EQ(log.lines, Lines{"row r cmRowInit nil"});
  EXPECT_TRUE(row.DataChanged());
}

TEST(Notification, FailingRowCallbackStopsTheClimbAndKeepsTheText) {
  Chain c;
  c.table->Items(0).SetOnDataChanged([](TRow&, TDataTableChangeMode, TCell*) { throw std::runtime_error("no"); });
  EXPECT_THROW(c.Cell(0, 0).SetText(u"x"), std::runtime_error);
  EXPECT_EQ(c.Cell(0, 0).StoredText(), u"x");
  EXPECT_TRUE(c.log.lines.empty());

  // A failure inside a bracketed operation still closes the row's update.
  EXPECT_THROW(c.table->Items(0).Init(u"p,q", u','), std::runtime_error);
  c.table->Items(0).SetOnDataChanged(nullptr);
  c.Cell(0, 0).SetText(u"y");
  EXPECT_EQ(c.log.lines, (Lines{"table t cmCellEdit r0 c0 -1 -1", "tables cmCellEdit 1 t 0"}));
}

TEST(Notification, CallbackMayReplaceItself) {
  TRow row;
  row.Init(u"a", u',');
  int calls = 0;
  row.SetOnDataChanged([&](TRow& sender, TDataTableChangeMode, TCell*) {
    ++calls;
    sender.SetOnDataChanged(nullptr);
  });
  row.Items(0).SetText(u"b");
  row.Items(0).SetText(u"c");
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace vo
