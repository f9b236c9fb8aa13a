// The package's byte layout: the four tails, the length field's edge cases,
// the table text, and the writer's pieces that produce them.

#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "datatable/VoDataTable.h"
#include "package/PackageReader.h"

namespace vo::test {
namespace {

const std::vector<Member> kTwoMembers = {{u"", u"readme.txt", "Read me first."}, {u"Lang\\", u"zh.ini", "[zh]\nok=1\n"}};

void PatchLengthField(std::string& package, int32_t value) {
  const size_t at = package.size() - 7;  // layout A
  for (int i = 0; i < 4; ++i) package[at + i] = static_cast<char>((uint32_t(value) >> (8 * i)) & 0xFF);
}

TEST(PackageTail, EveryLayoutReadsTheSameTable) {
  struct Case {
    const char* name;
    TailLayout layout;
    uint8_t finalByte;
    std::string appended;
  };
  const Case cases[] = {
      {"A as written", TailLayout::A, 0x02, ""},
      // Only layout A's last byte is the codec mark (CodecTest.cpp): the
      // other tails are zlib whatever their last byte.
      {"B", TailLayout::B, 0x02, ""},
      {"B with final byte 0xFF", TailLayout::B, 0xFF, ""},
      {"C", TailLayout::C, 0x02, ""},
      {"C with final byte 0x00", TailLayout::C, 0x00, ""},
      {"D", TailLayout::D, 0x02, ""},
      {"D with final byte 0x03", TailLayout::D, 0x03, ""},
      {"A followed by seven more bytes reads as C", TailLayout::A, 0x02, std::string(7, '\x33')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox box;
    WatchingFileSystem files(box.Folder("sys"));
    WriteBytes(box.Path("p.stp"), MakeParts(kTwoMembers).Assemble(c.layout, c.finalByte) + c.appended);

    Outcome outcome = Extract(files, Api(box.Path("p.stp")), box.Folder("inst"));

    ASSERT_FALSE(outcome.error) << outcome.message;
    EXPECT_EQ(ReadBytes(box.Path("inst/readme.txt")), kTwoMembers[0].content);
    EXPECT_EQ(ReadBytes(box.Path("inst/Lang/zh.ini")), kTwoMembers[1].content);
  }
}

TEST(PackageTail, ShortFilesAndOddLengthFields) {
  const std::string good = MakeParts(kTwoMembers).Assemble();
  struct Case {
    const char* name;
    std::function<std::string()> bytes;
    const char* expectedKind;  // "none": nothing extracted, no error
  };
  const Case cases[] = {
      {"empty file", [] { return std::string(); }, "read"},
      {"one byte", [] { return std::string("\x14"); }, "read"},
      {"only the last three tail bytes", [] { return std::string("\x0A\x14\x02"); }, "read"},
      {"six bytes of a layout A tail", [] { return std::string("\x05\x00\x00\x0A\x14\x02", 6); }, "read"},
      {"nine bytes whose second probe lies before the start", [] { return std::string(9, '\0'); }, "read"},
      {"length field equal to the file size",
       [&] {
         std::string p = good;
         PatchLengthField(p, int32_t(p.size()));
         return p;
       },
       "none"},
      {"length field past the file size",
       [&] {
         std::string p = good;
         PatchLengthField(p, 0x7FFFFFFF);
         return p;
       },
       "none"},
      {"length field zero",
       [&] {
         std::string p = good;
         PatchLengthField(p, 0);
         return p;
       },
       "table"},
      {"length field negative",
       [&] {
         std::string p = good;
         PatchLengthField(p, -1);
         return p;
       },
       "table"},
      {"length larger than the bytes before it",
       [] {
         std::string p = std::string(10, 'x') + PackageTail("");
         PatchLengthField(p, int32_t(p.size()) - 1);
         return p;
       },
       "read"},
      {"table of a header and no rows", [] { return PackageTail(Sealed(FormatFileTable({}))); }, "none"},
      {"empty table text", [] { return PackageTail(Sealed(u"")); }, "table"},
      {"table text that is no envelope", [] { return PackageTail("not an envelope at all"); }, "table"},
      {"table sealed with another pass phrase",
       [] {
         PackageParts parts = MakeParts(kTwoMembers);
         return parts.Members() + PackageTail(Sealed(FormatFileTable(parts.rows), u"secret"));
       },
       "table"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox box;
    WatchingFileSystem files(box.Folder("sys"));
    WriteBytes(box.Path("p.stp"), c.bytes());

    Outcome outcome = Extract(files, Api(box.Path("p.stp")), box.Folder("inst"));

    EXPECT_EQ(KindName(outcome.error), c.expectedKind) << outcome.message;
    EXPECT_TRUE(files.created.empty()) << "nothing may be written";
    EXPECT_EQ(files.openFiles, 0);
  }
}

TEST(PackageTail, MissingPackageIsAnOpenError) {
  Sandbox box;
  WatchingFileSystem files(box.Folder("sys"));
  Outcome outcome = Extract(files, Api(box.Path("absent.stp")), box.Folder("inst"));
  EXPECT_EQ(KindName(outcome.error), "open") << outcome.message;
  EXPECT_NE(outcome.message.find("absent.stp"), std::string::npos) << outcome.message;
}

TEST(PackageTail, WriterPutsLengthAndProbesWhereTheReaderLooks) {
  struct Case {
    TailLayout layout;
    std::string expected;  // after the table text "XY"
  };
  const std::string length("\x02\x00\x00\x00", 4);
  const Case cases[] = {
      {TailLayout::A, length + std::string("\x0A\x14\x02", 3)},
      {TailLayout::B, length + std::string(20, '\0') + "\x14\x02"},
      {TailLayout::C, length + "\x0A" + std::string(8, '\0') + "\x02"},
      {TailLayout::D, length + std::string(28, '\0') + "\x02"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PackageTail("XY", c.layout), "XY" + c.expected) << int(c.layout);
  }
}

TEST(PackageTable, TextFormCarriesCommasAndBarsInFileNames) {
  const std::vector<std::u16string> names = {u"plain.txt", u"notes,old.txt", u"a|b", u"#hash.txt", u"a,b,c|d"};
  std::vector<std::vector<std::u16string>> rows;
  for (const std::u16string& name : names) rows.push_back(FileTableRowCells(u"", name, 10, 20));

  TDataTable table(u"", TColumnSet{1});
  table.Init(FormatFileTable(rows));

  ASSERT_EQ(table.ItemCount(), int32_t(names.size()));
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(table.Items(int32_t(i)).ItemCount(), 4);
    EXPECT_TRUE(table.Items(int32_t(i)).Items(1).Text() == names[i]) << i;
    EXPECT_EQ(table.Items(int32_t(i)).Items(1).StoredText().find_first_of(u",|"), std::u16string::npos);
  }
}

TEST(PackageTable, TextFormRefusesCellsItCannotCarry) {
  const std::vector<std::vector<std::u16string>> cases[] = {
      {{u"a,b\\", u"x", u"1", u"1"}},   // "," outside column 1
      {{u"", u"x", u"1|2", u"1"}},      // "|" outside column 1
      {{u"", u"tab\there", u"1", u"1"}},  // control character
  };
  for (const auto& rows : cases) EXPECT_THROW(FormatFileTable(rows), InvalidArgument);
}

TEST(PackageTable, ListsRowsWithOffsetsAndFlags) {
  Sandbox box;
  const std::vector<Member> members = {
      {u"", u"a.exe", "executable"}, {u"$System$", u"s.dll", "system"}, {u"$System$", u"i.dll", "install", true}};
  WriteBytes(box.Path("p.stp"), WritePackage(members));
  std::unique_ptr<PackageFileSystem> files = CreatePlatformFileSystem();

  std::optional<std::vector<PackageEntry>> table = ReadPackageEntries(*files, Api(box.Path("p.stp")), u"");

  ASSERT_TRUE(table);
  const std::vector<PackageEntry>& entries = *table;
  ASSERT_EQ(entries.size(), 3u);
  int64_t offset = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_TRUE(entries[i].fileName == members[i].name);
    EXPECT_EQ(entries[i].unpackedSize, int32_t(members[i].content.size()));
    EXPECT_EQ(entries[i].offset, offset);
    offset += entries[i].packedSize;
  }
  EXPECT_FALSE(entries[0].systemFolderRow);
  EXPECT_TRUE(entries[1].systemFolderRow);
  EXPECT_FALSE(entries[2].systemFolderRow);
  EXPECT_TRUE(entries[2].useInstallDir);
}

TEST(PackageWriter, EveryCipherAndHashSealsATableTheReaderOpens) {
  for (int cipher = 0; cipher <= 8; ++cipher) {
    for (int hash = 0; hash <= 4; ++hash) {
      SCOPED_TRACE("cipher " + std::to_string(cipher) + ", hash " + std::to_string(hash));
      Sandbox box;
      WriteBytes(box.Path("p.stp"), WritePackage(kTwoMembers, {cipher, hash, 1}));
      std::unique_ptr<PackageFileSystem> files = CreatePlatformFileSystem();
      std::optional<std::vector<PackageEntry>> entries = ReadPackageEntries(*files, Api(box.Path("p.stp")), u"");
      ASSERT_TRUE(entries);
      ASSERT_EQ(entries->size(), 2u);
      EXPECT_TRUE((*entries)[1].targetFolder == u"Lang\\");
    }
  }
}

TEST(PackageWriter, MembersAreZlibStreamsAtTheChosenLevel) {
  struct Case {
    int level;
    uint8_t flags;  // second header byte: FLEVEL and FCHECK (RFC 1950)
  };
  const Case cases[] = {{9, 0xDA}, {6, 0x9C}, {1, 0x01}};
  for (const Case& c : cases) {
    std::string stream = CompressMember(std::string(1000, 'a'), c.level);
    ASSERT_GE(stream.size(), 2u);
    EXPECT_EQ(uint8_t(stream[0]), 0x78);
    EXPECT_EQ(uint8_t(stream[1]), c.flags) << "level " << c.level;
  }
  const std::string package = WritePackage(kTwoMembers);
  EXPECT_EQ(package.substr(package.size() - 3), std::string("\x0A\x14\x02", 3));
}

TEST(PackageWriter, RefusesNamesAndFoldersThatWouldNotInstallAsWritten) {
  struct Case {
    const char16_t* folder;
    const char16_t* name;
  };
  const Case cases[] = {
      {u"", u""},                      {u"", u"sub\\a.dll"},         {u"", u"sub/a.dll"},
      {u"", u"c:a.dll"},               {u"", u".."},                 {u"", u"what?.txt"},
      {u"Lang", u"a.txt"},             {u"\\Lang\\", u"a.txt"},      {u"..\\", u"a.txt"},
      {u"Lang\\\\x\\", u"a.txt"},      {u"C:\\Lang\\", u"a.txt"},    {u"$SYSTEM$..\\", u"a.dll"},
      {u"$Other$", u"a.dll"},          {u"$Third$CON\\", u"a.dll"}, {u"$System$sub", u"a.dll"},
      {u"$System$$Third$\\", u"a.dll"}, {u"a,b\\", u"a.dll"},
  };
  for (const Case& c : cases) {
    std::string bytes;
    MemoryOutput output(bytes);
    PackageWriter writer(output);
    EXPECT_THROW(writer.AddMember(c.folder, c.name, false, "x", 1), InvalidArgument)
        << Quoted(c.folder) << " " << Quoted(c.name);
    EXPECT_TRUE(bytes.empty());
  }
}

TEST(PackageWriter, RefusesOptionsOutOfRange) {
  const PackageWriterOptions cases[] = {{9, 3, 9}, {-1, 3, 9}, {5, 5, 9}, {5, 3, 10}, {5, 3, -1}};
  for (const PackageWriterOptions& options : cases) {
    std::string bytes;
    MemoryOutput output(bytes);
    EXPECT_THROW(PackageWriter(output, options), InvalidArgument);
  }
}

}  // namespace
}  // namespace vo::test
