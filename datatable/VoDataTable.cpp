// The class base, column sets, cells and rows. Cells and rows keep their
// texts and flags; every change climbs through DoDataChanged to the row, the
// table and the container, each level stopping the climb while its own update
// counter is above 0.

#include "datatable/VoDataTable.h"

#include <algorithm>

#include "datatable/UpdateBracket.h"

namespace vo {
namespace {

std::u16string Widen(const char* text) {
  std::u16string result;
  for (; *text != '\0'; ++text) result += char16_t(static_cast<unsigned char>(*text));
  return result;
}

}  // namespace

// ---- TPersistent ----

void TPersistent::Assign(const TPersistent* Source) {
  if (Source != nullptr) {
    Source->AssignTo(this);
  } else {
    AssignError(nullptr);
  }
}

void TPersistent::AssignTo(TPersistent* Dest) const { Dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* Source) const {
  throw EConvertError(u"Cannot assign a " + Widen(Source != nullptr ? Source->ClassName() : "nil") + u" to a " +
                      Widen(ClassName()));
}

// ---- TColumnSet ----

TColumnSet::TColumnSet(std::initializer_list<int> columns) {
  for (int column : columns) Include(column);
}

bool TColumnSet::Contains(int column) const { return column >= 0 && column < kColumnCount && FBits.test(size_t(column)); }

TColumnSet& TColumnSet::Include(int column) {
  if (column >= 0 && column < kColumnCount) FBits.set(size_t(column));
  return *this;
}

TColumnSet& TColumnSet::Exclude(int column) {
  if (column >= 0 && column < kColumnCount) FBits.reset(size_t(column));
  return *this;
}

std::array<uint8_t, TColumnSet::kByteCount> TColumnSet::ToBytes() const {
  std::array<uint8_t, kByteCount> bytes{};
  for (int i = 0; i < kColumnCount; ++i) {
    if (FBits.test(size_t(i))) bytes[size_t(i / 8)] |= uint8_t(1u << (i % 8));
  }
  return bytes;
}

TColumnSet TColumnSet::FromBytes(const std::array<uint8_t, kByteCount>& bytes) {
  TColumnSet set;
  for (int i = 0; i < kColumnCount; ++i) {
    if (bytes[size_t(i / 8)] & (1u << (i % 8))) set.Include(i);
  }
  return set;
}

// ---- TCell ----

TCell::TCell(TRow* AOwner) : FParent(AOwner) {}

int32_t TCell::GetIndex() const {
  if (FParent == nullptr) return -1;
  const auto& cells = FParent->FItems;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (cells[i] == this) return int32_t(i);
  }
  return -1;
}

// Only the first 104 positions can be in a convert set, so the search for
// this cell stops there; a long row costs no more than a short one.
bool TCell::InConvertedColumn() const {
  if (FParent == nullptr || FParent->FParent == nullptr) return false;
  const auto& cells = FParent->FItems;
  const size_t limit = std::min(cells.size(), size_t(TColumnSet::kColumnCount));
  for (size_t i = 0; i < limit; ++i) {
    if (cells[i] == this) return FParent->FParent->FConvertSet.Contains(int(i));
  }
  return false;
}

std::u16string TCell::Text() const {
  if (FText.empty() || !InConvertedColumn()) return FText;
  return UnescapeCellText(FText);
}

void TCell::SetText(std::u16string V) {
  if (V == FText) return;
  if (!V.empty() && InConvertedColumn()) {
    V = EscapeCellText(V, (FParent->FParent->FIOMode & 1) != 0);
    if (V == FText) return;
  }
  StoreAndNotify(std::move(V));
}

void TCell::StoreAndNotify(std::u16string T) {
  FText = std::move(T);
  if (FParent != nullptr) FParent->DoDataChanged(cmCellEdit, this);
}

int32_t TCell::Value() {
  if (FText.empty()) FText = u"0";
  return TextToInt32(FText);
}

void TCell::SetValue(int32_t V) {
  std::u16string T = Int32ToText(V);
  if (T != FText) StoreAndNotify(std::move(T));
}

bool TCell::AsBool() {
  if (FText.empty()) FText = u"0";
  return TextToBoolean(FText);
}

void TCell::SetAsBool(bool B) {
  std::u16string T = B ? u"-1" : u"0";
  if (T != FText) StoreAndNotify(std::move(T));
}

// ---- TRow ----

TRow::TRow(TDataTable* AOwner) : FParent(AOwner) {}

TRow::~TRow() = default;

int32_t TRow::GetIndex() const {
  if (FParent == nullptr) return -1;
  const auto& rows = FParent->FItems;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].get() == this) return int32_t(i);
  }
  return -1;
}

TCell& TRow::Items(int32_t Index) {
  if (Index < 0 || Index >= ItemCount()) throw EListError(Index);
  return *FItems[size_t(Index)];
}

const TCell& TRow::Items(int32_t Index) const {
  if (Index < 0 || Index >= ItemCount()) throw EListError(Index);
  return *FItems[size_t(Index)];
}

void TRow::EndUpdate(TDataTableChangeMode ChangeMode, TCell* ACell) {
  if (--FUpdateCount == 0) DoDataChanged(ChangeMode, ACell);
}

void TRow::Init(std::u16string sInit, char16_t sSplitChar) {
  BeginUpdate();
  RunThenEndUpdate(
      [&] {
        Clear();
        FillFromPieces(sInit, sSplitChar);
      },
      [&] { EndUpdate(cmRowInit, nullptr); });
}

// An empty text is one empty cell; otherwise the text up to its first U+0000
// splits into pieces, and a text that begins with U+0000 gives none.
void TRow::FillFromPieces(const std::u16string& sInit, char16_t sSplitChar) {
  if (sInit.empty()) {
    AppendCells(1);
    return;
  }
  const size_t end = std::min(sInit.find(u'\0'), sInit.size());
  if (end == 0) return;
  TCell* cell = AppendCells(size_t(std::count(sInit.begin(), sInit.begin() + ptrdiff_t(end), sSplitChar)) + 1);
  size_t start = 0;
  for (size_t i = 0; i <= end; ++i) {
    if (i == end || sInit[i] == sSplitChar) {
      (cell++)->FText.assign(sInit, start, i - start);
      start = i + 1;
    }
  }
}

TCell* TRow::AppendCells(size_t count) {
  ReserveMore(FItems, count);
  ReserveMore(FCellBlocks, 1);
  std::unique_ptr<TCell[]> block(new TCell[count]);
  TCell* first = block.get();
  for (size_t i = 0; i < count; ++i) {
    first[i].FParent = this;
    FItems.push_back(&first[i]);
  }
  FCellBlocks.push_back(std::move(block));
  return first;
}

void TRow::Clear() {
  if (FItems.empty()) return;
  FItems.clear();
  FCellBlocks.clear();
  DoDataChanged(cmRowClear, nullptr);
}

TCell& TRow::AddItem(int32_t Value) {
  BeginUpdate();
  TCell* cell = nullptr;
  RunThenEndUpdate(
      [&] {
        cell = AppendCells(1);
        cell->SetValue(Value);
      },
      [&] { EndUpdate(cmCellAdd, cell); });
  return *cell;
}

void TRow::CopyFrom(const TRow& ARow) {
  // Taken before Init empties this row, so copying a row onto itself keeps
  // its texts.
  std::vector<std::u16string> texts;
  texts.reserve(ARow.FItems.size());
  for (const auto& cell : ARow.FItems) texts.push_back(cell->FText);

  BeginUpdate();
  RunThenEndUpdate(
      [&] {
        Init(std::u16string(texts.empty() ? 0 : texts.size() - 1, u','), u',');
        for (size_t i = 0; i < texts.size(); ++i) FItems[i]->FText = std::move(texts[i]);
      },
      [&] { EndUpdate(cmRowInit, nullptr); });
}

void TRow::DoDataChanged(TDataTableChangeMode ChangeMode, TCell* ACell) {
  if (FUpdateCount != 0) return;
  FDataChanged = true;
  CallIfSet(FOnDataChanged, *this, ChangeMode, ACell);
  if (FParent != nullptr) FParent->DoDataChanged(ChangeMode, this, ACell, -1, -1);
}

}  // namespace vo
