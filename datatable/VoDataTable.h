#pragma once
// VoDataTable: a small in-memory table of text cells.
//
//   TDataTables (optional container) -> TDataTable -> TRow -> TCell
//
// Every cell holds one UTF-16 text; numbers and booleans are views of it. A
// table also has a property row (header fields: field 0 is Name, field 1 is
// Value), a convert set of columns whose "," and "|" are stored escaped as
// U+001A and U+001B, a current-row cursor, and change notification that runs
// from cell to row to table to container, setting each level's DataChanged
// flag and calling its OnDataChanged callback. BeginUpdate/EndUpdate on a
// level silences that level and the levels above until the counter returns to
// 0, when the level raises one notification with the mode given to EndUpdate.
//
// Reading a table from its text form (the package file table does this):
//
//   vo::TDataTable table(u"", vo::TColumnSet{1});
//   table.Init(text);                       // never rejects a text
//   for (int32_t r = 0; r < table.ItemCount(); ++r) {
//     vo::TRow& row = table.Items(r);       // EListError when out of range
//     std::u16string name = row.Items(1).Text();  // unescaped in column 1
//     int32_t size = row.Items(2).Value();        // EConvertError if not an integer
//     bool flag = row.ItemCount() > 4 && row.Items(4).AsBool();
//   }
//
// Text form: an optional header "#f0,f1,...#" (only when the text begins with
// "#" and holds a second "#"), then rows separated by "|", cells by ",". The
// first U+0000 ends the body. An empty text gives one row of one empty cell.
//
// Errors are exceptions derived from EDataTableError (TextConvert.h). Objects
// are single-threaded, neither copyable nor movable (children point back to
// their owners); owners destroy what they hold, and destruction notifies no one.

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "datatable/TextConvert.h"

namespace vo {

class TCell;
class TRow;
class TDataTable;
class TDataTables;

// The root of the class tree: gives every object a class name, which the
// assignment error reports.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
  virtual const char* ClassName() const { return "TObject"; }
};

// The assignable-object base. Assign(Source) asks Source->AssignTo(this);
// unless a class overrides one of them for the pair, the result is
// EConvertError "Cannot assign a <source class or nil> to a <this class>".
class TPersistent : public TObject {
 public:
  virtual void Assign(const TPersistent* Source);
  const char* ClassName() const override { return "TPersistent"; }

 protected:
  virtual void AssignTo(TPersistent* Dest) const;
  [[noreturn]] void AssignError(const TPersistent* Source) const;
};

enum TDataTableChangeMode : uint8_t {
  cmNoTrigger,
  cmLoad,
  cmSort,
  cmDirect,
  cmPropChange,
  cmCellAdd,
  cmCellEdit,
  cmCellDeleted,
  cmCellMove,
  cmRowInit,
  cmRowClear,
  cmRowAdd,
  cmRowBatchAdd,
  cmRowDeleted,
  cmRowBatchDeleted,
  cmRowMove,
  cmTableInit,
  cmTableClear,
  cmTableAdd,
  cmTableDeleted,
  cmTableMove,
  cmTablesInit,
  cmTablesClear,
};

using TRowDataChangeEvent = std::function<void(TRow& Sender, TDataTableChangeMode ChangeMode, TCell* ACell)>;
using TDataTableDataChangeEvent = std::function<void(TDataTable& Sender, TDataTableChangeMode ChangeMode, TRow* ARow,
                                                     TCell* ACell, int32_t Data1, int32_t Data2)>;
using TDataTablesDataChangeEvent = std::function<void(TDataTables& Sender, TDataTableChangeMode ChangeMode,
                                                      int32_t TCount, TDataTable* ADataTable, int32_t Index)>;
using TRowIndexChangeEvent = std::function<void(TObject& Sender, int32_t NewIndex)>;

// A set of column indexes 0..103. Indexes outside that range are never
// members: Include ignores them and Contains answers false.
class TColumnSet {
 public:
  static constexpr int kColumnCount = 104;
  static constexpr size_t kByteCount = 13;

  TColumnSet() = default;
  TColumnSet(std::initializer_list<int> columns);

  bool Contains(int column) const;
  TColumnSet& Include(int column);
  TColumnSet& Exclude(int column);
  bool Empty() const { return FBits.none(); }
  bool operator==(const TColumnSet& other) const { return FBits == other.FBits; }
  bool operator!=(const TColumnSet& other) const { return FBits != other.FBits; }

  // The stored layout: bit i of the byte run (LSB first) is column i.
  std::array<uint8_t, kByteCount> ToBytes() const;
  static TColumnSet FromBytes(const std::array<uint8_t, kByteCount>& bytes);

 private:
  std::bitset<kColumnCount> FBits;
};

class TCell : public TObject {
 public:
  // The cell points back at AOwner but is not put into its list; rows create
  // the cells they hold themselves (TRow::Init, TRow::AddItem).
  explicit TCell(TRow* AOwner);
  const char* ClassName() const override { return "TCell"; }

  TRow* Parent() const { return FParent; }
  // Position in the row's list; -1 without a row or when not in its list.
  int32_t GetIndex() const;

  // The text as readers see it: in a converted column of a row that belongs
  // to a table, U+001A reads as "," and U+001B as "|".
  std::u16string Text() const;
  // Stores V (escaped in a converted column, see EscapeCellText) and, when
  // the stored text changed, notifies the row with cmCellEdit.
  void SetText(std::u16string V);
  // The stored text, exactly as held.
  const std::u16string& StoredText() const { return FText; }

  // Integer view of the stored text. An empty text first becomes "0".
  // Raises EConvertError when the text is not an integer.
  int32_t Value();
  void SetValue(int32_t V);
  // Boolean view: a decimal number (true when not zero), "True" or "False".
  // An empty text first becomes "0". Raises EConvertError otherwise.
  bool AsBool();
  // Stores "-1" for true and "0" for false.
  void SetAsBool(bool B);

 private:
  friend class TRow;
  bool InConvertedColumn() const;
  void StoreAndNotify(std::u16string T);

  // For the blocks a row makes its cells in; FParent is set right after.
  TCell() = default;

  TRow* FParent = nullptr;
  std::u16string FText;
};

class TRow : public TPersistent {
 public:
  // The row points back at AOwner but is not added to it; use
  // TDataTable::AddItem for that. FId is -1 until the row joins a table.
  explicit TRow(TDataTable* AOwner = nullptr);
  ~TRow() override;
  const char* ClassName() const override { return "TRow"; }

  int32_t GetIndex() const;  // position in the table's list, else -1
  int32_t ItemCount() const { return static_cast<int32_t>(FItems.size()); }
  // The cell at Index; EListError "List index out of bounds (Index)" outside
  // 0..ItemCount()-1.
  TCell& Items(int32_t Index);
  const TCell& Items(int32_t Index) const;

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate(TDataTableChangeMode ChangeMode, TCell* ACell);

  // Rebuilds the cells from sInit split at sSplitChar (scan ends at the first
  // U+0000); texts are stored as they stand. An empty sInit gives one empty
  // cell. Notifies once, cmRowInit.
  void Init(std::u16string sInit, char16_t sSplitChar);
  // Destroys the cells; notifies cmRowClear when there were any.
  void Clear();
  // Appends a cell holding the decimal text of Value; notifies cmCellAdd.
  TCell& AddItem(int32_t Value);
  // Cell-by-cell copy of ARow's stored texts (at least one cell); notifies
  // cmRowInit. Id, tag, flags, data and callbacks are not copied.
  void CopyFrom(const TRow& ARow);

  int32_t Id() const { return FId; }  // 1, 2, 3... in a table; 0 for a property row
  bool IsProp() const { return FIsProp; }

  // Plain fields. SetParent only changes the back reference, never ownership.
  TDataTable* Parent() const { return FParent; }
  void SetParent(TDataTable* Value) { FParent = Value; }
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t Value) { FTag = Value; }
  void* Data() const { return FData; }
  void SetData(void* Value) { FData = Value; }
  void* Data2() const { return FData2; }
  void SetData2(void* Value) { FData2 = Value; }
  void* Data3() const { return FData3; }
  void SetData3(void* Value) { FData3 = Value; }
  const std::shared_ptr<void>& IData() const { return FIData; }
  void SetIData(std::shared_ptr<void> Value) { FIData = std::move(Value); }
  bool DataChanged() const { return FDataChanged; }
  void SetDataChanged(bool Value) { FDataChanged = Value; }
  const TRowDataChangeEvent& OnDataChanged() const { return FOnDataChanged; }
  void SetOnDataChanged(TRowDataChangeEvent Value) { FOnDataChanged = std::move(Value); }

 private:
  friend class TCell;
  friend class TDataTable;
  friend class TDataTables;
  void DoDataChanged(TDataTableChangeMode ChangeMode, TCell* ACell);
  void FillFromPieces(const std::u16string& sInit, char16_t sSplitChar);

  // Appends count cells made in one allocation (their addresses never move)
  // and returns the first.
  TCell* AppendCells(size_t count);

  TDataTable* FParent = nullptr;
  // The cells in order, and the blocks that own them: Init makes all its
  // cells in one block, AddItem one cell at a time.
  std::vector<TCell*> FItems;
  std::vector<std::unique_ptr<TCell[]>> FCellBlocks;
  int32_t FId = -1;
  int32_t FTag = 0;
  bool FIsProp = false;
  void* FData = nullptr;
  void* FData2 = nullptr;
  void* FData3 = nullptr;
  std::shared_ptr<void> FIData;
  int32_t FUpdateCount = 0;
  bool FDataChanged = false;
  TRowDataChangeEvent FOnDataChanged;
};

class TDataTable : public TPersistent {
 public:
  // A table with no rows and a property row of ten empty fields.
  TDataTable(std::u16string Key, const TColumnSet& ConvertSet);
  ~TDataTable() override;
  const char* ClassName() const override { return "TDataTable"; }

  int32_t ItemCount() const { return static_cast<int32_t>(FItems.size()); }
  // The row at Index; EListError outside 0..ItemCount()-1.
  TRow& Items(int32_t Index);
  const TRow& Items(int32_t Index) const;
  TRow& PropertyRow() { return *FPropertyRow; }
  const TRow& PropertyRow() const { return *FPropertyRow; }
  int32_t PropCount() const { return FPropertyRow->ItemCount(); }

  // Text of property field 0 and integer view of field 1, through the cells
  // (conversions and notifications included); EListError when the property
  // row is too short.
  std::u16string Name() const;
  void SetName(const std::u16string& Value);
  int32_t Value();
  void SetValue(int32_t V);

  // Cursors. An out-of-range RowIndex becomes -1 and still calls
  // OnRowIndexChanged; an out-of-range ColIndex becomes -1 silently.
  int32_t RowIndex() const { return FRowIndex; }
  void SetRowIndex(int32_t V);
  int32_t ColIndex() const { return FColIndex; }
  void SetColIndex(int32_t V);

  // Writing true notifies cmDirect; writing false clears this table's flag
  // and those of its rows and property row, without notifying.
  bool DataChanged() const { return FDataChanged; }
  void SetDataChanged(bool Value);

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate(TDataTableChangeMode ChangeMode, TRow* ARow, TCell* ACell, int32_t Data1, int32_t Data2);

  // Replaces the rows (and, when sInit has a header, the property row) with
  // what the text form holds. Accepts every text; notifies once, cmTableInit.
  void Init(std::u16string sInit);
  // Destroys the rows (ids restart at 1; notifies cmTableClear when there
  // were rows) and resets RowIndex to -1. The property row stays.
  void Clear();
  // Appends ARow itself: the table owns it, sets its parent and next id.
  // Notifies cmRowAdd. Raises InvalidArgument for a null row.
  TRow& AddItem(std::unique_ptr<TRow> ARow);
  // Appends a copy of ARow (the caller keeps ARow). Notifies cmRowAdd.
  TRow& AddItem(const TRow& ARow);
  // Position of the first row with this id, or -1.
  int32_t IndexOfId(int32_t Id) const;
  // Clears, copies the property row when IncludeProp, then copies the rows
  // (at most MaxCount when MaxCount > 0); copies get new ids. Notifies once,
  // cmTableInit. Convert set, key, IOMode, file name and cursors stay.
  void CopyFrom(const TDataTable& ADataTable, bool IncludeProp, int32_t MaxCount);

  // Plain fields.
  const std::u16string& FileName() const { return FFileName; }
  void SetFileName(const std::u16string& Value);
  int32_t IOMode() const { return FIOMode; }  // bit 0: keep TAB, LF, CR in converted columns
  void SetIOMode(int32_t Value) { FIOMode = Value; }
  const std::u16string& Key() const { return FKey; }
  void SetKey(std::u16string Value) { FKey = std::move(Value); }
  const std::u16string& KeyCustom() const { return FKeyCustom; }
  void SetKeyCustom(std::u16string Value) { FKeyCustom = std::move(Value); }
  const TColumnSet& ConvertSet() const { return FConvertSet; }
  bool PreventEvent() const { return FPreventEvent; }
  void SetPreventEvent(bool Value) { FPreventEvent = Value; }
  // SetParent only changes the back reference, never ownership.
  TDataTables* Parent() const { return FParent; }
  void SetParent(TDataTables* Value) { FParent = Value; }
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t Value) { FTag = Value; }
  void* Data() const { return FData; }
  void SetData(void* Value) { FData = Value; }
  void* Data2() const { return FData2; }
  void SetData2(void* Value) { FData2 = Value; }
  void* Data3() const { return FData3; }
  void SetData3(void* Value) { FData3 = Value; }
  const TDataTableDataChangeEvent& OnDataChanged() const { return FOnDataChanged; }
  void SetOnDataChanged(TDataTableDataChangeEvent Value) { FOnDataChanged = std::move(Value); }
  const TRowIndexChangeEvent& OnRowIndexChanged() const { return FOnRowIndexChanged; }
  void SetOnRowIndexChanged(TRowIndexChangeEvent Value) { FOnRowIndexChanged = std::move(Value); }

 private:
  friend class TRow;
  friend class TCell;
  friend class TDataTables;
  void DoDataChanged(TDataTableChangeMode ChangeMode, TRow* ARow, TCell* ACell, int32_t Data1, int32_t Data2);
  void DoRowIndexChanged();
  TRow& Append(std::unique_ptr<TRow> ARow);

  TDataTables* FParent = nullptr;
  void* FData = nullptr;
  void* FData2 = nullptr;
  void* FData3 = nullptr;
  std::vector<std::unique_ptr<TRow>> FItems;
  std::u16string FFileName;
  int32_t FNextRowId = 1;
  int32_t FTag = 0;
  std::unique_ptr<TRow> FPropertyRow;
  int32_t FUpdateCount = 0;
  bool FDataChanged = false;
  int32_t FRowIndex = -1;
  int32_t FColIndex = -1;
  int32_t FIOMode = 2;
  std::u16string FKey;
  std::u16string FKeyCustom;
  TColumnSet FConvertSet;
  bool FPreventEvent = false;
  TRowIndexChangeEvent FOnRowIndexChanged;
  TDataTableDataChangeEvent FOnDataChanged;
};

class TDataTables : public TPersistent {
 public:
  // An empty container whose property row holds ten empty fields.
  TDataTables();
  ~TDataTables() override;
  const char* ClassName() const override { return "TDataTables"; }

  int32_t ItemCount() const { return static_cast<int32_t>(FItems.size()); }
  // The table at Index; EListError outside 0..ItemCount()-1.
  TDataTable& Items(int32_t Index);
  const TDataTable& Items(int32_t Index) const;
  TRow& PropertyRow() { return *FPropertyRow; }
  const TRow& PropertyRow() const { return *FPropertyRow; }

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate(TDataTableChangeMode ChangeMode, int32_t TCount, TDataTable* ADataTable, int32_t TIndex);

  // Appends ADataTable itself; the container owns it and becomes its parent.
  // Notifies cmTableAdd. Raises InvalidArgument for a null table.
  TDataTable& AddItem(std::unique_ptr<TDataTable> ADataTable);
  // Appends a new table (empty key, empty convert set, fresh property row)
  // holding copies of ADataTable's rows. Notifies cmTableAdd.
  TDataTable& AddItem(const TDataTable& ADataTable);
  // Clears, then adds copies of ADataTables' tables (at most MaxCount when
  // MaxCount > 0). Notifies once, cmTablesInit.
  void CopyFrom(const TDataTables& ADataTables, int32_t MaxCount);
  // From a TDataTables: its tables, property row and tag; notifies once,
  // cmTablesInit. Anything else raises EConvertError
  // "Cannot assign a <class or nil> to a TDataTables".
  void Assign(const TPersistent* Source) override;
  // Destroys the tables; notifies cmTablesClear when there were any.
  void Clear();

  // Writing true notifies cmDirect; writing false clears the flags of the
  // container, its property row and every table (and their rows).
  bool DataChanged() const { return FDataChanged; }
  void SetDataChanged(bool Value);

  const std::u16string& FileName() const { return FFileName; }
  void SetFileName(const std::u16string& Value);
  bool IsEncrypt() const { return FIsEncrypt; }
  void SetIsEncrypt(bool Value) { FIsEncrypt = Value; }
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t Value) { FTag = Value; }
  const TDataTablesDataChangeEvent& OnDataChanged() const { return FOnDataChanged; }
  void SetOnDataChanged(TDataTablesDataChangeEvent Value) { FOnDataChanged = std::move(Value); }

 private:
  friend class TDataTable;
  void DoDataChanged(TDataTableChangeMode ChangeMode, int32_t TCount, TDataTable* ADataTable, int32_t TIndex);
  int32_t IndexOf(const TDataTable* ADataTable) const;

  std::vector<std::unique_ptr<TDataTable>> FItems;
  std::u16string FFileName;
  bool FIsEncrypt = false;
  int32_t FTag = 0;
  std::unique_ptr<TRow> FPropertyRow;
  bool FDataChanged = false;
  int32_t FUpdateCount = 0;
  TDataTablesDataChangeEvent FOnDataChanged;
};

}  // namespace vo
