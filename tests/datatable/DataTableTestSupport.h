#pragma once
// Shared helpers for the data table tests: cell listings and an event log that
// records every notification of the rows, tables and containers it watches as
// one readable line each.

#include <string>
#include <vector>

#include "datatable/VoDataTable.h"

namespace vo::datatable_test {

using Cells = std::vector<std::u16string>;
using Rows = std::vector<Cells>;

// The stored texts of a row's cells.
inline Cells StoredCells(const TRow& row) {
  Cells cells;
  for (int32_t i = 0; i < row.ItemCount(); ++i) cells.push_back(row.Items(i).StoredText());
  return cells;
}

inline Rows StoredRows(const TDataTable& table) {
  Rows rows;
  for (int32_t i = 0; i < table.ItemCount(); ++i) rows.push_back(StoredCells(table.Items(i)));
  return rows;
}

inline const char* ModeName(TDataTableChangeMode mode) {
  static const char* const kNames[] = {
      "cmNoTrigger",  "cmLoad",         "cmSort",        "cmDirect",         "cmPropChange",   "cmCellAdd",
      "cmCellEdit",   "cmCellDeleted",  "cmCellMove",    "cmRowInit",        "cmRowClear",     "cmRowAdd",
      "cmRowBatchAdd", "cmRowDeleted",  "cmRowBatchDeleted", "cmRowMove",    "cmTableInit",    "cmTableClear",
      "cmTableAdd",   "cmTableDeleted", "cmTableMove",   "cmTablesInit",     "cmTablesClear",
  };
  return mode <= cmTablesClear ? kNames[mode] : "?";
}

// Records notifications as lines such as
//   "row r0 cmCellEdit c1"
//   "table t cmCellEdit r0 c1 -1 -1"
//   "tables cmCellEdit 1 t 0"
//   "cursor t -1"
// Objects are named when watched; an object the log does not know prints as
// its index ("r2", "c0"), a property row as "prop", nothing as "nil".
class EventLog {
 public:
  void WatchRow(TRow& row, const std::string& name) {
    row.SetOnDataChanged([this, name](TRow&, TDataTableChangeMode mode, TCell* cell) {
      lines.push_back("row " + name + " " + ModeName(mode) + " " + CellName(cell));
    });
  }
  void WatchTable(TDataTable& table, const std::string& name) {
    tableNames_.emplace_back(&table, name);
    table.SetOnDataChanged(
        [this, name](TDataTable&, TDataTableChangeMode mode, TRow* row, TCell* cell, int32_t data1, int32_t data2) {
          lines.push_back("table " + name + " " + ModeName(mode) + " " + RowName(row) + " " + CellName(cell) + " " +
                          std::to_string(data1) + " " + std::to_string(data2));
        });
    table.SetOnRowIndexChanged([this, name](TObject&, int32_t index) {
      lines.push_back("cursor " + name + " " + std::to_string(index));
    });
  }
  void WatchTables(TDataTables& tables) {
    tables.SetOnDataChanged(
        [this](TDataTables&, TDataTableChangeMode mode, int32_t count, TDataTable* table, int32_t index) {
          lines.push_back(std::string("tables ") + ModeName(mode) + " " + std::to_string(count) + " " +
                          TableName(table) + " " + std::to_string(index));
        });
  }

  std::vector<std::string> lines;

 private:
  static std::string CellName(const TCell* cell) {
    return cell == nullptr ? "nil" : "c" + std::to_string(cell->GetIndex());
  }
  static std::string RowName(const TRow* row) {
    if (row == nullptr) return "nil";
    return row->IsProp() ? "prop" : "r" + std::to_string(row->GetIndex());
  }
  std::string TableName(const TDataTable* table) const {
    if (table == nullptr) return "nil";
    for (const auto& entry : tableNames_) {
      if (entry.first == table) return entry.second;
    }
    return "table?";
  }

  std::vector<std::pair<const TDataTable*, std::string>> tableNames_;
};

}  // namespace vo::datatable_test
