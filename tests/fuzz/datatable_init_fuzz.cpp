// Feeds arbitrary text to TDataTable::Init, twice per input: the bytes as
// UTF-16 code units (little-endian pairs) into a table converting column 1,
// and the bytes widened one to one into a table converting every column.
// Checks that the rows and header join back into the text they came from,
// then reads every cell as text, integer and boolean.

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "datatable/VoDataTable.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant failed: %s\n", what);
    std::abort();
  }
}

std::u16string Join(const vo::TRow& row) {
  std::u16string text;
  for (int32_t i = 0; i < row.ItemCount(); ++i) {
    if (i > 0) text += u',';
    text += row.Items(i).StoredText();
  }
  return text;
}

std::u16string CutAtNul(const std::u16string& text) { return text.substr(0, text.find(u'\0')); }

void Exercise(const std::u16string& text, const vo::TColumnSet& convertSet) {
  vo::TDataTable table(u"", convertSet);
  table.Init(text);

  // Where the header and body lie, by the plain rule.
  std::u16string header;
  bool hasHeader = false;
  size_t bodyStart = 0;
  if (!text.empty() && text[0] == u'#') {
    size_t close = text.find(u'#', 1);
    if (close != std::u16string::npos) {
      hasHeader = true;
      header = text.substr(1, close - 1);
      bodyStart = close + 1;
    }
  }
  const std::u16string body = CutAtNul(text.substr(bodyStart));

  Check(Join(table.PropertyRow()) == (hasHeader ? CutAtNul(header) : std::u16string(9, u',')), "header fields");
  std::u16string joined;
  for (int32_t r = 0; r < table.ItemCount(); ++r) {
    const vo::TRow& row = table.Items(r);
    if (r > 0) joined += u'|';
    joined += Join(row);
    Check(row.ItemCount() >= 1, "every row has a cell");
    Check(row.Id() == r + 1, "row ids");
    Check(row.Parent() == &table && row.DataChanged(), "row parent and flag");
  }
  Check(joined == body, "rows join back into the body");
  if (text.empty()) Check(table.ItemCount() == 1, "empty text gives one row");
  Check(table.RowIndex() == -1 && table.DataChanged(), "table state");

  for (int32_t r = 0; r < table.ItemCount(); ++r) {
    vo::TRow& row = table.Items(r);
    for (int32_t c = 0; c < row.ItemCount(); ++c) {
      vo::TCell& cell = row.Items(c);
      std::u16string read = cell.Text();
      if (convertSet.Contains(c)) {
        Check(read.find(u'\x1A') == std::u16string::npos && read.find(u'\x1B') == std::u16string::npos,
              "converted column reads without escapes");
      }
      try {
        int32_t value = cell.Value();
        Check(vo::TextToInt32(vo::Int32ToText(value)) == value, "integer round trip");
      } catch (const vo::EConvertError&) {
      }
      try {
        cell.AsBool();
      } catch (const vo::EConvertError&) {
      }
    }
    try {
      row.Items(row.ItemCount());
      Check(false, "cell index past the end");
    } catch (const vo::EListError&) {
    }
  }
  try {
    table.Items(table.ItemCount());
    Check(false, "row index past the end");
  } catch (const vo::EListError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string utf16;
  utf16.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) utf16 += char16_t(data[i] | (data[i + 1] << 8));
  Exercise(utf16, vo::TColumnSet{1});

  std::u16string widened(data, data + size);
  vo::TColumnSet everyColumn;
  for (int c = 0; c < vo::TColumnSet::kColumnCount; ++c) everyColumn.Include(c);
  Exercise(widened, everyColumn);
  return 0;
}
