// The rule for where a member may go: every form it refuses, with the reason
// the message gives (so each check is seen doing its own work), the forms it
// accepts, and its limits at their edges; then crafted packages with such
// rows through the extractor and the reader, in memory.

#include "package/MemberPath.h"

#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "package/PackageFileSystemMemory.h"
#include "package/PackageReader.h"
#include "text/Unicode.h"

namespace vo::test {
namespace {

std::u16string Repeat(const std::u16string& piece, size_t times) {
  std::u16string text;
  for (size_t i = 0; i < times; ++i) text += piece;
  return text;
}

struct Refused {
  std::u16string folder;
  std::u16string name;
  const char* reason;  // a part of the message
};

const Refused kRefused[] = {
    {u"..\\..\\escaped\\", u"x.txt", "leaves the install folder: a \"..\" part"},
    {u"Lang\\..\\..\\", u"x.txt", "a \"..\" part"},
    {u"..\\", u"x.txt", "a \"..\" part"},
    {u".\\", u"x.txt", "a \".\" part"},
    {u"Lang\\\\x\\", u"x.txt", "an empty part"},
    {u"\\Windows\\", u"x.txt", "a rooted path"},
    {u"\\\\?\\C:\\x\\", u"x.txt", "a UNC or device path"},
    {u"\\\\.\\PhysicalDrive0\\", u"x.txt", "a UNC or device path"},
    {u"\\\\server\\share\\", u"x.txt", "a UNC or device path"},
    {u"C:\\esc_bs\\", u"a.txt", "a drive letter"},
    {u"C:", u"x.txt", "a drive letter"},
    {u"Lang:stream\\", u"x.txt", "a \":\""},
    {u"../", u"x.txt", "a \"/\", which Windows takes as a separator"},
    {u"Lang/x\\", u"x.txt", "a \"/\""},
    {u"Lang", u"x.txt", "no \"\\\" at its end"},
    {u"$/../../tmp/x/", u"x.txt", "neither \"$System$\" nor \"$Third$\""},
    {u"$Windows$", u"x.txt", "neither \"$System$\" nor \"$Third$\""},
    {u"$System$..\\..\\", u"x.txt", "leaves the system folder: a \"..\" part"},
    {u"$SYSTEM$..\\..\\x\\", u"x.txt", "leaves the system folder: a \"..\" part"},
    {u"$Third$..\\..\\..\\", u"x.txt", "leaves the system folder: a \"..\" part"},
    {u"$System$\\Windows\\", u"x.txt", "a rooted path"},
    {u"$System$$Third$\\", u"x.txt", "a \"$\" after its token"},
    {u"$Third$a$\\", u"x.txt", "a \"$\" after its token"},
    {u"Lang\\$system$\\", u"x.txt", "token after its start"},
    {u"Lang\\a\u0001\\", u"x.txt", "a control character"},
    {u"Lang\\a\u007F\\", u"x.txt", "a control character"},
    {u"Lang\\a?\\", u"x.txt", "refuses in names"},
    {u"Lang.\\", u"x.txt", "ends in a dot or a space"},
    {u"Lang \\", u"x.txt", "ends in a dot or a space"},
    {u"CON\\", u"x.txt", "keeps for a device"},
    {u"Lang\\nul.txt\\", u"x.txt", "keeps for a device"},
    {u"com1 .log\\", u"x.txt", "keeps for a device"},
    {u"LPT9\\", u"x.txt", "keeps for a device"},
    {u"", u"", "no name"},
    {u"", u"..", "a \"..\" part"},
    {u"", u"..\\x.dll", "file name \"..\\x.dll\" leaves the install folder: a \"..\" part"},
    {u"$System$", u"..\\x.dll", "file name \"..\\x.dll\" leaves the system folder"},
    {u"", u"sub\\", "no file name after its last"},
    {u"", u"\\x.dll", "a rooted path"},
    {u"", u"c:x.dll", "a drive letter"},
    {u"", u"x.txt:stream", "a \":\""},
    {u"", u"x/y.dll", "a \"/\""},
    {u"", u"aux", "keeps for a device"},
    {u"", u"a.txt.", "ends in a dot or a space"},
    {u"", u"a\u001Ab.txt", "a control character"},
    {u"", u"what?.txt", "refuses in names"},
    {u"", u"x$Third$.dll", "token"},
    {u"", u"$system$x.dll", "token"},
    // Limits: 33 folder levels, a path past 259 characters (the folder alone,
    // the file name alone, and only the two together), a folder bomb.
    {Repeat(u"a\\", 33), u"x.txt", "more than 32 folder levels"},
    {Repeat(u"a", 259) + u"\\", u"x.txt", "longer than 259 characters"},
    {u"", Repeat(u"a", 260), "longer than 259 characters"},
    {Repeat(u"a", 200) + u"\\", Repeat(u"b", 59), "together are longer than 259 characters"},
    {u"$System$" + Repeat(u"a", 200) + u"\\", Repeat(u"b", 59), "together are longer than 259 characters"},
    {Repeat(u"a\\", 5000), u"x.txt", "longer than 259 characters"},
};

TEST(MemberPath, RefusesEveryWayOutAndEveryNameWindowsWouldChange) {
  for (const Refused& c : kRefused) {
    const std::string problem = MemberPathProblem(c.folder, c.name);
    EXPECT_NE(problem.find(c.reason), std::string::npos)
        << Quoted(c.folder) << " " << Quoted(c.name) << ": " << problem;
  }
}

TEST(MemberPath, NamesTheCellAndTheWayOut) {
  EXPECT_EQ(MemberPathProblem(u"..\\..\\escaped\\", u"x.txt"),
            "target folder \"..\\..\\escaped\\\" leaves the install folder: a \"..\" part");
  EXPECT_EQ(MemberPathProblem(u"Lang.\\", u"x.txt"),
            "target folder \"Lang.\\\" is not usable as written: the name \"Lang.\" ends in a dot or a space, which "
            "Windows drops from names");
  EXPECT_EQ(TargetFolderProblem(u"..\\"), "target folder \"..\\\" leaves the install folder: a \"..\" part");
  EXPECT_EQ(FileNameProblem(u"..\\a"), "file name \"..\\a\" leaves the install folder: a \"..\" part");
  EXPECT_EQ(RelativeFilePathProblem(u"..\\a"), "path \"..\\a\" leaves the install folder: a \"..\" part");
}

TEST(MemberPath, AcceptsWhatThePackageToolWrites) {
  struct Accepted {
    std::u16string folder;
    std::u16string name;
    size_t token;
  };
  const Accepted cases[] = {
      {u"", u"Drawvane.exe", 0},
      {u"Lang\\", u"zh.ini", 0},
      {u"Lang\\zh\\", u"zh.ini", 0},
      {u"$System$", u"vocore.dll", 8},
      {u"$Third$", u"third.dll", 7},
      {u"$third$", u"third.dll", 7},
      {u"$SYSTEM$", u"caps.dll", 8},
      {u"$System$drivers\\", u"vo.sys", 8},
      {u"", u"sub\\a.dll", 0},
      {u"", u"notes,old.txt", 0},
      {u"", u"\u8BF4\u660E 2.0.txt", 0},
      {u"Lang$\\", u"a$b.dll", 0},  // "$" inside a name is an ordinary character
      {u"CONFIG\\", u"console.dll", 0},
      {u"COM0\\", u"LPT.dll", 0},
      {u"..a\\", u"..b", 0},
      {Repeat(u"a\\", 32), u"x.txt", 0},
      {Repeat(u"a", 257) + u"\\", u"x", 0},
      {u"", Repeat(u"a", 259), 0},
      {Repeat(u"a", 200) + u"\\", Repeat(u"b", 58), 0},
      {u"$System$" + Repeat(u"a", 200) + u"\\", Repeat(u"b", 58), 8},
  };
  for (const Accepted& c : cases) {
    EXPECT_EQ(MemberPathProblem(c.folder, c.name), "") << Quoted(c.folder) << " " << Quoted(c.name);
    EXPECT_EQ(SystemFolderTokenLength(c.folder), c.token) << Quoted(c.folder);
  }
  EXPECT_EQ(MemberFileName(u"sub\\deeper\\a.dll"), u"a.dll");
  EXPECT_EQ(MemberFileName(u"a.dll"), u"a.dll");
}

// Any path the rule accepts, put after a base folder, names something inside
// it: the parts are plain names, so no walk through them climbs out.
TEST(MemberPath, AcceptedPathsStayBelowTheirBase) {
  const std::u16string pieces[] = {u"a", u"..", u".", u"\\", u"/", u":", u"$System$", u"$", u"CON", u" ", u"b.", u"C"};
  // Every string of up to four pieces.
  std::vector<std::u16string> texts{u""};
  for (int length = 0; length < 4; ++length) {
    const size_t count = texts.size();
    for (size_t i = 0; i < count; ++i)
      for (const std::u16string& piece : pieces) texts.push_back(texts[i] + piece);
  }
  for (const std::u16string& text : texts) {
    for (const std::u16string& name : {std::u16string(u"x"), text}) {
      if (!MemberPathProblem(text, name).empty()) continue;
      const std::u16string path = text.substr(SystemFolderTokenLength(text)) + MemberFileName(name);
      size_t start = 0;
      while (start <= path.size()) {
        size_t end = path.find_first_of(u"\\/", start);
        if (end == std::u16string::npos) end = path.size();
        const std::u16string part = path.substr(start, end - start);
        EXPECT_TRUE(!part.empty() && part != u"." && part != u".." && part.find(u':') == std::u16string::npos)
            << Quoted(text) << " " << Quoted(name);
        start = end + 1;
      }
    }
  }
}

const char16_t kPackage[] = u"C:\\dl\\Setup.stp";
const char16_t kInstall[] = u"C:\\Program Files\\Corvenna\\";
const char16_t kSystem[] = u"C:\\Windows\\System32\\";

std::vector<Member> WithHostileThird(const Member& hostile) {
  return {{u"", u"first.txt", "first"}, {u"Lang\\", u"second.txt", "second"}, hostile, {u"", u"last.txt", "last"}};
}

// A refused row anywhere fails the whole package before the extractor
// creates anything, the install folder included, and the error names the
// member and what is wrong with it.
TEST(HostilePackage, ExtractorWritesNothingAndNamesTheMember) {
  for (const HostileRow& row : HostileRows()) {
    MemoryFileSystem files(kSystem);
    files.PutFile(kPackage, CraftPackage(WithHostileThird(row.member)));

    Outcome outcome = Extract(files, kPackage, kInstall);

    const std::string expected =
        "member 3 (" + Utf16ToUtf8(row.member.name) + "): ";
    EXPECT_EQ(KindName(outcome.error), "table") << row.reason;
    EXPECT_NE(outcome.message.find(expected), std::string::npos) << outcome.message;
    EXPECT_NE(outcome.message.find(row.reason), std::string::npos) << outcome.message;
    EXPECT_EQ(files.Files().size(), 1u) << row.reason;
    EXPECT_TRUE(files.Created().empty()) << row.reason;
    EXPECT_FALSE(files.FolderExists(kInstall)) << row.reason;
    EXPECT_EQ(files.OpenHandles(), 0);
  }
}

TEST(HostilePackage, ReaderRefusesTheTableTheToolListsAndVerifies) {
  for (const HostileRow& row : HostileRows()) {
    MemoryFileSystem files(kSystem);
    files.PutFile(kPackage, CraftPackage(WithHostileThird(row.member)));
    try {
      ReadPackageEntries(files, kPackage, u"");
      ADD_FAILURE() << row.reason << ": accepted";
    } catch (const EPackageError& e) {
      EXPECT_EQ(e.Kind(), PackageErrorKind::Table);
      EXPECT_NE(std::string(e.what()).find("member 3 (" + Utf16ToUtf8(row.member.name) + "): "), std::string::npos)
          << e.what();
      EXPECT_NE(std::string(e.what()).find(row.reason), std::string::npos) << e.what();
    }
  }
}

// The same package with the row made good installs, so the refusals above
// come from the row alone; the crafted writer also carries what the package
// writer would write, and a "$SYSTEM$" row goes to the system folder.
TEST(HostilePackage, CraftedPackagesWithGoodRowsInstall) {
  MemoryFileSystem files(kSystem);
  files.PutFile(kPackage, CraftPackage(WithHostileThird({u"$SYSTEM$drivers\\", u"sub\\a,b.sys", "sys"})));

  Outcome outcome = Extract(files, kPackage, kInstall);

  ASSERT_FALSE(outcome.error) << outcome.message;
  ASSERT_NE(files.FindFile(std::u16string(kSystem) + u"drivers\\a,b.sys"), nullptr);
  EXPECT_EQ(*files.FindFile(std::u16string(kSystem) + u"drivers\\a,b.sys"), "sys");
  EXPECT_EQ(*files.FindFile(std::u16string(kInstall) + u"Lang\\second.txt"), "second");
  EXPECT_EQ(*files.FindFile(std::u16string(kInstall) + u"last.txt"), "last");
  EXPECT_EQ(files.Files().size(), 5u);
}

}  // namespace
}  // namespace vo::test
