// TDataTable: the rows, the property row, the cursors, and the reader of the
// text form.
//
// Text form, as Init reads it: when the text begins with "#" and holds a
// second "#", the part between them is the header and fills the property row
// (fields split at ","); the rest is the body. The body, up to its first
// U+0000, splits into row texts at "|" and each row text into cells at ",".
// Nothing is trimmed or unescaped while reading; every text yields a table.

#include <algorithm>

#include "datatable/UpdateBracket.h"
#include "datatable/VoDataTable.h"
#include "text/Error.h"

namespace vo {
namespace {

constexpr char16_t kHeaderMark = u'#';
constexpr char16_t kRowSeparator = u'|';
constexpr char16_t kCellSeparator = u',';
// Nine separators: a new property row has ten empty fields.
const std::u16string kTenEmptyFields(9, kCellSeparator);

}  // namespace

TDataTable::TDataTable(std::u16string Key, const TColumnSet& ConvertSet)
    : FKey(std::move(Key)), FConvertSet(ConvertSet) {
  auto propertyRow = std::make_unique<TRow>(nullptr);
  propertyRow->Init(kTenEmptyFields, kCellSeparator);
  propertyRow->FId = 0;
  propertyRow->FIsProp = true;
  propertyRow->FParent = this;
  propertyRow->FDataChanged = false;
  FPropertyRow = std::move(propertyRow);
  FNextRowId = 1;
  FDataChanged = false;
}

TDataTable::~TDataTable() = default;

TRow& TDataTable::Items(int32_t Index) {
  if (Index < 0 || Index >= ItemCount()) throw EListError(Index);
  return *FItems[size_t(Index)];
}

const TRow& TDataTable::Items(int32_t Index) const {
  if (Index < 0 || Index >= ItemCount()) throw EListError(Index);
  return *FItems[size_t(Index)];
}

std::u16string TDataTable::Name() const { return FPropertyRow->Items(0).Text(); }

void TDataTable::SetName(const std::u16string& Value) { FPropertyRow->Items(0).SetText(Value); }

int32_t TDataTable::Value() { return FPropertyRow->Items(1).Value(); }

void TDataTable::SetValue(int32_t V) { FPropertyRow->Items(1).SetValue(V); }

void TDataTable::SetRowIndex(int32_t V) {
  if (V == FRowIndex) return;
  FRowIndex = (V >= 0 && V < ItemCount()) ? V : -1;
  DoRowIndexChanged();
}

void TDataTable::SetColIndex(int32_t V) {
  const bool inFirstRow = !FItems.empty() && V >= 0 && V < FItems.front()->ItemCount();
  FColIndex = inFirstRow ? V : -1;
}

void TDataTable::SetDataChanged(bool Value) {
  if (Value) {
    FDataChanged = true;
    DoDataChanged(cmDirect, nullptr, nullptr, -1, -1);
    return;
  }
  FDataChanged = false;
  FPropertyRow->FDataChanged = false;
  for (auto& row : FItems) row->FDataChanged = false;
}

void TDataTable::EndUpdate(TDataTableChangeMode ChangeMode, TRow* ARow, TCell* ACell, int32_t Data1, int32_t Data2) {
  if (--FUpdateCount == 0) DoDataChanged(ChangeMode, ARow, ACell, Data1, Data2);
}

void TDataTable::Init(std::u16string sInit) {
  auto addRow = [this](std::u16string rowText) {
    // Each row is built before it joins the table, so its own Init notifies
    // only the row itself.
    auto row = std::make_unique<TRow>(nullptr);
    row->Init(std::move(rowText), kCellSeparator);
    AddItem(std::move(row));
  };

  BeginUpdate();
  RunThenEndUpdate(
      [&] {
        Clear();
        if (sInit.empty()) {
          addRow(std::u16string());
          return;
        }
        size_t bodyStart = 0;
        if (sInit.front() == kHeaderMark) {
          const size_t headerEnd = sInit.find(kHeaderMark, 1);
          if (headerEnd != std::u16string::npos) {
            FPropertyRow->Init(sInit.substr(1, headerEnd - 1), kCellSeparator);
            bodyStart = headerEnd + 1;
          }
        }
        // A header that closes at the last code unit leaves no body and no
        // rows; a body that begins with U+0000 has no rows either.
        if (bodyStart >= sInit.size()) return;
        const size_t bodyEnd = std::min(sInit.find(u'\0', bodyStart), sInit.size());
        if (bodyEnd == bodyStart) return;
        size_t rowStart = bodyStart;
        for (size_t i = bodyStart; i <= bodyEnd; ++i) {
          if (i == bodyEnd || sInit[i] == kRowSeparator) {
            addRow(sInit.substr(rowStart, i - rowStart));
            rowStart = i + 1;
          }
        }
      },
      [&] { EndUpdate(cmTableInit, nullptr, nullptr, -1, -1); });
}

void TDataTable::Clear() {
  if (!FItems.empty()) {
    FItems.clear();
    FNextRowId = 1;
    DoDataChanged(cmTableClear, nullptr, nullptr, -1, -1);
  }
  if (FRowIndex != -1) {
    FRowIndex = -1;
    DoRowIndexChanged();
  }
}

TRow& TDataTable::Append(std::unique_ptr<TRow> ARow) {
  ReserveOneMore(FItems);
  ARow->FParent = this;
  ARow->FId = FNextRowId++;
  FItems.push_back(std::move(ARow));
  return *FItems.back();
}

TRow& TDataTable::AddItem(std::unique_ptr<TRow> ARow) {
  if (!ARow) throw InvalidArgument("TDataTable::AddItem: no row");
  BeginUpdate();
  TRow* added = nullptr;
  RunThenEndUpdate([&] { added = &Append(std::move(ARow)); },
                   [&] { EndUpdate(cmRowAdd, FItems.empty() ? nullptr : FItems.back().get(), nullptr, -1, -1); });
  return *added;
}

TRow& TDataTable::AddItem(const TRow& ARow) {
  BeginUpdate();
  TRow* added = nullptr;
  RunThenEndUpdate(
      [&] {
        auto copy = std::make_unique<TRow>(nullptr);
        copy->CopyFrom(ARow);
        added = &Append(std::move(copy));
      },
      [&] { EndUpdate(cmRowAdd, FItems.empty() ? nullptr : FItems.back().get(), nullptr, -1, -1); });
  return *added;
}

int32_t TDataTable::IndexOfId(int32_t Id) const {
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (FItems[i]->FId == Id) return int32_t(i);
  }
  return -1;
}

void TDataTable::CopyFrom(const TDataTable& ADataTable, bool IncludeProp, int32_t MaxCount) {
  if (&ADataTable == this) {
    // Clear would destroy the source first; copy from a snapshot instead.
    TDataTable snapshot{std::u16string(), TColumnSet()};
    snapshot.CopyFrom(*this, true, 0);
    CopyFrom(snapshot, IncludeProp, MaxCount);
    return;
  }
  BeginUpdate();
  RunThenEndUpdate(
      [&] {
        Clear();
        if (IncludeProp) FPropertyRow->CopyFrom(*ADataTable.FPropertyRow);
        for (int32_t i = 0; i < ADataTable.ItemCount(); ++i) {
          if (MaxCount > 0 && i >= MaxCount) break;
          AddItem(*ADataTable.FItems[size_t(i)]);
        }
      },
      [&] { EndUpdate(cmTableInit, nullptr, nullptr, -1, -1); });
}

void TDataTable::SetFileName(const std::u16string& Value) {
  if (Value != FFileName) FFileName = Value;
}

void TDataTable::DoDataChanged(TDataTableChangeMode ChangeMode, TRow* ARow, TCell* ACell, int32_t Data1,
                               int32_t Data2) {
  if (FUpdateCount != 0) return;
  FDataChanged = true;
  if (ARow != nullptr && ARow->FIsProp) ChangeMode = cmPropChange;
  if (!FPreventEvent) CallIfSet(FOnDataChanged, *this, ChangeMode, ARow, ACell, Data1, Data2);
  if (FParent != nullptr) FParent->DoDataChanged(ChangeMode, 1, this, -1);
}

void TDataTable::DoRowIndexChanged() { CallIfSet(FOnRowIndexChanged, static_cast<TObject&>(*this), FRowIndex); }

}  // namespace vo
