// The package tool's manifest and folder-tree forms.

#include <gtest/gtest.h>

#include "package/PackageError.h"
#include "package/PackageManifest.h"

namespace vo::test {
namespace {

TEST(Manifest, ReadsOneMemberPerLine) {
  struct Case {
    const char16_t* line;
    const char16_t* folder;
    const char16_t* source;
    const char16_t* name;
    bool useInstallDir;
  };
  const Case cases[] = {
      {u"| bin/Corvenna.exe | Corvenna.exe", u"", u"bin/Corvenna.exe", u"Corvenna.exe", false},
      {u"  Lang | lang/zh.ini |", u"Lang\\", u"lang/zh.ini", u"zh.ini", false},
      {u"Lang/zh/ | x.ini | y.ini", u"Lang\\zh\\", u"x.ini", u"y.ini", false},
      {u"Lang\\en|a\\b.ini|", u"Lang\\en\\", u"a\\b.ini", u"b.ini", false},
      {u"$system$ | redist/vocore.dll |", u"$System$", u"redist/vocore.dll", u"vocore.dll", false},
      {u"$System$/drivers | d.sys | d.sys", u"$System$drivers\\", u"d.sys", u"d.sys", false},
      {u"$System$//drivers | d.sys | d.sys", u"$System$drivers\\", u"d.sys", u"d.sys", false},
      {u"$Third$ | t.dll | t.dll | UseInstallDir", u"$Third$", u"t.dll", u"t.dll", true},
      {u"| notes.txt | notes,old.txt | ", u"", u"notes.txt", u"notes,old.txt", false},
      {u"\t|\tsrc file.txt\t|\tfile name.txt\t", u"", u"src file.txt", u"file name.txt", false},
  };
  for (const Case& c : cases) {
    std::vector<ManifestEntry> entries = ParseManifest(c.line, u"m.txt");
    ASSERT_EQ(entries.size(), 1u) << Quoted(c.line);
    EXPECT_EQ(Quoted(entries[0].targetFolder), Quoted(c.folder)) << Quoted(c.line);
    EXPECT_EQ(Quoted(entries[0].sourceFile), Quoted(c.source)) << Quoted(c.line);
    EXPECT_EQ(Quoted(entries[0].fileName), Quoted(c.name)) << Quoted(c.line);
    EXPECT_EQ(entries[0].useInstallDir, c.useInstallDir) << Quoted(c.line);
  }
}

TEST(Manifest, SkipsCommentsBlankLinesAndLineEndings) {
  std::vector<ManifestEntry> entries =
      ParseManifest(u"\uFEFF# members\r\n\r\n   \r\n| a.txt | a.txt\r\n  # indented comment\nLang | b.txt | b.txt", u"m.txt");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].line, 4);
  EXPECT_EQ(entries[1].line, 6);
  EXPECT_TRUE(entries[1].targetFolder == u"Lang\\");
}

TEST(Manifest, NamesTheLineAndTheFault) {
  struct Case {
    const char16_t* text;
    const char* expected;  // part of the message
  };
  const Case cases[] = {
      {u"| a.txt", "m.txt:1: expected TARGET FOLDER"},
      {u"# ok\n| a | b | UseInstallDir | more", "m.txt:2: expected"},
      {u"|  | b.txt", "m.txt:1: the source file is missing"},
      {u"| a.txt | sub/b.txt", "m.txt:1: file name \"sub/b.txt\" has a folder part"},
      {u"| a.txt | b.txt | Maybe", "m.txt:1: unknown option \"Maybe\""},
      {u"../up | a.txt | a.txt", "m.txt:1: target folder \"..\\up\\\" leaves the install folder: a \"..\" part"},
      {u"C:/abs | a.txt | a.txt", "m.txt:1: target folder \"C:\\abs\\\""},
      {u"$Other$ | a.dll | a.dll", "neither \"$System$\" nor \"$Third$\""},
      {u"a,b | a.txt | a.txt", "m.txt:1: target folder \"a,b\\\" holds \",\""},
      {u"| a.txt | what?.txt", "refuses in names"},
  };
  for (const Case& c : cases) {
    try {
      ParseManifest(c.text, u"m.txt");
      ADD_FAILURE() << "accepted " << Quoted(c.text);
    } catch (const EManifestError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
  }
}

TEST(Manifest, FolderTreePathsMapToTargetFolders) {
  struct Case {
    std::vector<std::u16string> path;
    const char16_t* folder;
    const char16_t* source;
  };
  const Case cases[] = {
      {{u"a.txt"}, u"", u"a.txt"},
      {{u"Lang", u"zh.ini"}, u"Lang\\", u"Lang/zh.ini"},
      {{u"Lang", u"zh", u"x.ini"}, u"Lang\\zh\\", u"Lang/zh/x.ini"},
      {{u"$System$", u"v.dll"}, u"$System$", u"$System$/v.dll"},
      {{u"$system$", u"drivers", u"d.sys"}, u"$System$drivers\\", u"$system$/drivers/d.sys"},
      {{u"$Third$", u"t.dll"}, u"$Third$", u"$Third$/t.dll"},
  };
  for (const Case& c : cases) {
    ManifestEntry entry = EntryFromTreePath(c.path);
    EXPECT_EQ(Quoted(entry.targetFolder), Quoted(c.folder));
    EXPECT_EQ(Quoted(entry.sourceFile), Quoted(c.source));
    EXPECT_TRUE(entry.fileName == c.path.back());
  }
  EXPECT_THROW(EntryFromTreePath({u"$Other$", u"x.dll"}), InvalidArgument);
  EXPECT_THROW(EntryFromTreePath({u"a,b", u"x.dll"}), InvalidArgument);
}

}  // namespace
}  // namespace vo::test
