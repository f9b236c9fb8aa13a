// TDataTables: an owning list of tables and the top of the notification
// chain. Every table whose Parent is a container forwards each notification
// it raises, even when the table's own PreventEvent is set.

#include "datatable/UpdateBracket.h"
#include "datatable/VoDataTable.h"
#include "text/Error.h"

namespace vo {

TDataTables::TDataTables() {
  FPropertyRow = std::make_unique<TRow>(nullptr);
  FPropertyRow->Init(std::u16string(9, u','), u',');
  FPropertyRow->FId = 0;
  FPropertyRow->FIsProp = true;
  FPropertyRow->FDataChanged = false;
}

TDataTables::~TDataTables() = default;

TDataTable& TDataTables::Items(int32_t Index) {
  if (Index < 0 || Index >= ItemCount()) throw EListError(Index);
  return *FItems[size_t(Index)];
}

const TDataTable& TDataTables::Items(int32_t Index) const {
  if (Index < 0 || Index >= ItemCount()) throw EListError(Index);
  return *FItems[size_t(Index)];
}

void TDataTables::EndUpdate(TDataTableChangeMode ChangeMode, int32_t TCount, TDataTable* ADataTable,
                            int32_t TIndex) {
  if (--FUpdateCount == 0) DoDataChanged(ChangeMode, TCount, ADataTable, TIndex);
}

TDataTable& TDataTables::AddItem(std::unique_ptr<TDataTable> ADataTable) {
  if (!ADataTable) throw InvalidArgument("TDataTables::AddItem: no table");
  BeginUpdate();
  TDataTable* added = nullptr;
  RunThenEndUpdate(
      [&] {
        ReserveOneMore(FItems);
        ADataTable->FParent = this;
        added = ADataTable.get();
        FItems.push_back(std::move(ADataTable));
      },
      [&] { EndUpdate(cmTableAdd, 1, FItems.empty() ? nullptr : FItems.back().get(), ItemCount() - 1); });
  return *added;
}

TDataTable& TDataTables::AddItem(const TDataTable& ADataTable) {
  BeginUpdate();
  TDataTable* added = nullptr;
  RunThenEndUpdate(
      [&] {
        auto copy = std::make_unique<TDataTable>(std::u16string(), TColumnSet());
        copy->FParent = this;
        copy->CopyFrom(ADataTable, false, 0);
        ReserveOneMore(FItems);
        added = copy.get();
        FItems.push_back(std::move(copy));
      },
      [&] { EndUpdate(cmTableAdd, 1, FItems.empty() ? nullptr : FItems.back().get(), ItemCount() - 1); });
  return *added;
}

void TDataTables::CopyFrom(const TDataTables& ADataTables, int32_t MaxCount) {
  if (&ADataTables == this) {
    // Clear would destroy the source first; copy from a snapshot instead.
    TDataTables snapshot;
    snapshot.CopyFrom(*this, 0);
    CopyFrom(snapshot, MaxCount);
    return;
  }
  BeginUpdate();
  RunThenEndUpdate(
      [&] {
        Clear();
        for (int32_t i = 0; i < ADataTables.ItemCount(); ++i) {
          if (MaxCount > 0 && i >= MaxCount) break;
          AddItem(*ADataTables.FItems[size_t(i)]);
        }
      },
      [&] { EndUpdate(cmTablesInit, -1, nullptr, -1); });
}

void TDataTables::Assign(const TPersistent* Source) {
  const auto* source = dynamic_cast<const TDataTables*>(Source);
  if (source == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  BeginUpdate();
  RunThenEndUpdate(
      [&] {
        CopyFrom(*source, 0);
        FPropertyRow->CopyFrom(*source->FPropertyRow);
        FTag = source->FTag;
      },
      [&] { EndUpdate(cmTablesInit, -1, nullptr, -1); });
}

void TDataTables::Clear() {
  if (FItems.empty()) return;
  FItems.clear();
  DoDataChanged(cmTablesClear, -1, nullptr, -1);
}

void TDataTables::SetDataChanged(bool Value) {
  if (Value) {
    FDataChanged = true;
    DoDataChanged(cmDirect, -1, nullptr, -1);
    return;
  }
  FDataChanged = false;
  FPropertyRow->FDataChanged = false;
  for (auto& table : FItems) table->SetDataChanged(false);
}

void TDataTables::SetFileName(const std::u16string& Value) {
  if (Value != FFileName) FFileName = Value;
}

int32_t TDataTables::IndexOf(const TDataTable* ADataTable) const {
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (FItems[i].get() == ADataTable) return int32_t(i);
  }
  return -1;
}

void TDataTables::DoDataChanged(TDataTableChangeMode ChangeMode, int32_t TCount, TDataTable* ADataTable,
                                int32_t TIndex) {
  if (FUpdateCount != 0) return;
  FDataChanged = true;
  if (!FOnDataChanged) return;
  // The position is looked up in the table's own container, which for a
  // forwarded notification is this one.
  if (ADataTable != nullptr && TIndex == -1) {
    TIndex = ADataTable->FParent != nullptr ? ADataTable->FParent->IndexOf(ADataTable) : -1;
  }
  CallIfSet(FOnDataChanged, *this, ChangeMode, TCount, ADataTable, TIndex);
}

}  // namespace vo
