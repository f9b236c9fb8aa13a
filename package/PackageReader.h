#pragma once
// Reading a setup package: the tail at its end, the file table the tail
// points to, and the table's rows.
//
// A package is a run of zlib streams or zstd frames (one per member, in table row order, no
// padding), then the table text (an envelope in printable ASCII), its length
// as a signed 32-bit little-endian number, and a short tail that a reader
// finds from the end of the file. Two probe bytes select one of four tails:
//
//   layout  byte at E-2   second probe            bytes after the length field
//   A       0x14          E-3 is 0x0A             3  (the writer's: 0A 14 mark)
//   B       0x14          E-3 is not 0x0A         22
//   C       not 0x14      E-10 is 0x0A            10
//   D       not 0x14      E-10 is not 0x0A        29
//
// Layout A's last byte marks the members' codec: 0x02 zlib streams, 0x03
// zstd frames (PackageCodec.h, which reads it); other layouts are zlib.
//
// The table's columns: 0 target folder, 1 file name (its "," and "|" stored
// as U+001A and U+001B), 2 packed size, 3 unpacked size, 4 (optional)
// UseInstallDir. Rows are members in order; member 1 starts at offset 0 and
// each next one where the previous one's packed bytes end.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "datatable/VoDataTable.h"
#include "package/PackageFileSystem.h"

namespace vo {

// The table text, read from its place before the tail; the read position is
// back at offset 0 afterwards. nullopt when the length field is not smaller
// than the file: such a package has no table and nothing to extract. A
// length of 0 or less gives the empty text. Raises a read error when the
// file is too short for its tail or the text does not fit before the length
// field; nothing is read outside the file.
std::optional<std::string> ReadTableText(PackageInputFile& input, const std::u16string& packageName);

// `PackageFileTable`: the decrypted file table and the typed reading of its
// cells. The table text is decoded with the ANSI code page, opened with
// DecryptEnvelope and parsed into a TDataTable with an empty key and the
// convert set {1}. Every accessor turns the data table's index and
// conversion errors into a table error that names the package and the row
// (rows count from 1 in messages, from 0 in the calls).
class PackageFileTable {
 public:
  PackageFileTable(const std::string& tableText, const std::u16string& passPhrase, const std::u16string& packageName);

  int32_t RowCount() const { return fTable.ItemCount(); }
  int32_t CellCount(int32_t row) const { return fTable.Items(row).ItemCount(); }

  std::u16string TargetFolder(int32_t row);  // column 0
  std::u16string FileName(int32_t row);      // column 1, "," and "|" restored
  int32_t PackedSize(int32_t row);           // column 2; negative is a table error
  int32_t UnpackedSize(int32_t row);         // column 3; negative is a table error
  // Column 4 read as a boolean when the row has more than four cells,
  // otherwise false.
  bool UseInstallDir(int32_t row);
  // Raises a table error naming the member (1-based) and its file name when
  // its target folder or file name breaks the rule of MemberPath.h; column 0
  // is checked whatever column 4 says.
  void CheckMemberPath(int32_t row);

  TDataTable& Table() { return fTable; }

 private:
  [[noreturn]] void Fail(int32_t row, const std::string& what) const;
  TCell& Cell(int32_t row, int32_t column);
  int32_t Size(int32_t row, int32_t column, const char* name);

  std::u16string fPackageName;
  TDataTable fTable;
};

// One row as the package tool lists it.
struct PackageEntry {
  std::u16string targetFolder;
  std::u16string fileName;
  int32_t packedSize = 0;
  int32_t unpackedSize = 0;
  bool useInstallDir = false;
  bool systemFolderRow = false;  // TargetFolder begins with "$System$" or "$Third$", not UseInstallDir
  int64_t offset = 0;            // where its packed bytes start
};

// Every row of a package's table, read eagerly (the first bad row raises,
// also a row whose place breaks the rule of MemberPath.h).
// nullopt for a package without table (length field not below the size).
std::optional<std::vector<PackageEntry>> ReadPackageEntries(PackageFileSystem& fileSystem, const std::u16string& packageFile,
                                             const std::u16string& passPhrase);

}  // namespace vo
