#include "package/PackageReader.h"

#include "crypt/AnsiCodePage.h"
#include "crypt/VoCrypUtils.h"
#include "datatable/TextConvert.h"
#include "package/MemberPath.h"
#include "package/PackageError.h"
#include "text/Unicode.h"

namespace vo {
namespace {

constexpr uint8_t kTailMark = 0x14;
constexpr uint8_t kLengthMark = 0x0A;

[[noreturn]] void TooShort(const std::u16string& packageName, int64_t size, int64_t needed) {
  throw EPackageError(PackageErrorKind::Read, "package " + Quoted(packageName) + " is not a setup package: its " +
                                                  std::to_string(size) + " bytes are too few for the tail its last bytes describe (" +
                                                  std::to_string(needed) + " needed)");
}

void ReadExactly(PackageInputFile& input, int64_t offset, void* buffer, size_t count, const std::u16string& packageName) {
  input.Seek(offset);
  if (input.Read(buffer, count) != count) {
    throw EPackageError(PackageErrorKind::Read, "package " + Quoted(packageName) + " ended while reading " +
                                                    std::to_string(count) + " bytes at offset " + std::to_string(offset));
  }
}

}  // namespace

std::optional<std::string> ReadTableText(PackageInputFile& input, const std::u16string& packageName) {
  const int64_t size = input.Size();
  // Every probe is checked against the file before it is read, so a short or
  // empty file fails here instead of reading before its start.
  auto byteAt = [&](int64_t backwards) {
    if (size < backwards) TooShort(packageName, size, backwards);
    uint8_t value = 0;
    ReadExactly(input, size - backwards, &value, 1, packageName);
    return value;
  };

  int64_t tail = byteAt(2) == kTailMark ? 2 : 9;
  tail += byteAt(tail + 1) == kLengthMark ? 1 : 20;
  const int64_t lengthFieldSize = 4;
  if (size < tail + lengthFieldSize) TooShort(packageName, size, tail + lengthFieldSize);
  const int64_t lengthOffset = size - tail - lengthFieldSize;
  uint8_t field[4];
  ReadExactly(input, lengthOffset, field, sizeof field, packageName);
  const int32_t length = static_cast<int32_t>(uint32_t(field[0]) | uint32_t(field[1]) << 8 | uint32_t(field[2]) << 16 |
                                              uint32_t(field[3]) << 24);

  if (int64_t(length) >= size) return std::nullopt;  // no table: nothing to extract
  std::string text;
  if (length > 0) {
    if (length > lengthOffset) {
      throw EPackageError(PackageErrorKind::Read, "cannot read the file table of package " + Quoted(packageName) +
                                                      ": length " + std::to_string(length) + " exceeds the " +
                                                      std::to_string(lengthOffset) + " bytes before its length field");
    }
    text.resize(static_cast<size_t>(length));
    ReadExactly(input, lengthOffset - length, text.data(), text.size(), packageName);
  }
  input.Seek(0);
  return text;
}

PackageFileTable::PackageFileTable(const std::string& tableText, const std::u16string& passPhrase,
                                   const std::u16string& packageName)
    : fPackageName(packageName), fTable(u"", TColumnSet{1}) {
  fTable.Init(DecryptEnvelope(AnsiToWide(tableText), passPhrase));
}

void PackageFileTable::Fail(int32_t row, const std::string& what) const {
  throw EPackageError(PackageErrorKind::Table, "bad file table in package " + Quoted(fPackageName) + ", row " +
                                                   std::to_string(row + 1) + ": " + what);
}

TCell& PackageFileTable::Cell(int32_t row, int32_t column) {
  try {
    return fTable.Items(row).Items(column);
  } catch (const EDataTableError& e) {
    Fail(row, "column " + std::to_string(column) + ": " + e.what());
  }
}

std::u16string PackageFileTable::TargetFolder(int32_t row) { return Cell(row, 0).Text(); }

std::u16string PackageFileTable::FileName(int32_t row) { return Cell(row, 1).Text(); }

int32_t PackageFileTable::Size(int32_t row, int32_t column, const char* name) {
  TCell& cell = Cell(row, column);
  int32_t value = 0;
  try {
    value = cell.Value();
  } catch (const EDataTableError& e) {
    Fail(row, std::string(name) + ": " + e.what());
  }
  if (value < 0) Fail(row, std::string(name) + " " + std::to_string(value) + " is negative");
  return value;
}

int32_t PackageFileTable::PackedSize(int32_t row) { return Size(row, 2, "PackedSize"); }

int32_t PackageFileTable::UnpackedSize(int32_t row) { return Size(row, 3, "UnpackedSize"); }

bool PackageFileTable::UseInstallDir(int32_t row) {
  if (CellCount(row) <= 4) return false;
  TCell& cell = Cell(row, 4);
  try {
    return cell.AsBool();
  } catch (const EDataTableError& e) {
    Fail(row, std::string("UseInstallDir: ") + e.what());
  }
}

void PackageFileTable::CheckMemberPath(int32_t row) {
  const std::u16string fileName = FileName(row);
  const std::string problem = MemberPathProblem(TargetFolder(row), fileName);
  if (problem.empty()) return;
  throw EPackageError(PackageErrorKind::Table, "bad file table in package " + Quoted(fPackageName) + ": member " +
                                                   std::to_string(row + 1) + " (" + Utf16ToUtf8(fileName) +
                                                   "): " + problem);
}

std::optional<std::vector<PackageEntry>> ReadPackageEntries(PackageFileSystem& fileSystem,
                                                            const std::u16string& packageFile,
                                                            const std::u16string& passPhrase) {
  std::unique_ptr<PackageInputFile> input = fileSystem.OpenForReading(packageFile);
  std::optional<std::string> text = ReadTableText(*input, packageFile);
  if (!text) return std::nullopt;
  std::vector<PackageEntry> entries;
  PackageFileTable table(*text, passPhrase, packageFile);
  int64_t offset = 0;
  for (int32_t row = 0; row < table.RowCount(); ++row) {
    table.CheckMemberPath(row);
    PackageEntry entry;
    entry.targetFolder = table.TargetFolder(row);
    entry.fileName = table.FileName(row);
    entry.packedSize = table.PackedSize(row);
    entry.unpackedSize = table.UnpackedSize(row);
    entry.useInstallDir = table.UseInstallDir(row);
    entry.systemFolderRow = !entry.useInstallDir && SystemFolderTokenLength(entry.targetFolder) > 0;
    entry.offset = offset;
    offset += entry.packedSize;
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace vo
