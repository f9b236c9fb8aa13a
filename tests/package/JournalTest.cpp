#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "package/CopyingFileSystem.h"
#include "package/JournalingFileSystem.h"
#include "package/PackageFileSystemMemory.h"

namespace vo::test {
namespace {

const std::u16string kDir = u"C:\\App\\";
const std::u16string kPackage = u"C:\\Setup.stp";

// The earlier version in C:\App, with a file of the user's.
void InstallEarlier(MemoryFileSystem& files) {
  files.PutFile(kDir + u"App.exe", "old exe");
  files.PutFile(kDir + u"Lang\\zh.ini", "old zh");
  files.PutFile(kDir + u"Lang\\zh.ini.1.stp-old", "a name already taken");
  files.PutFile(kDir + u"mine.txt", "the user's");
}

const std::vector<Member> kNewVersion = {
    {u"", u"App.exe", "new exe, longer than the old one"},
    {u"Docs\\Guide\\", u"guide.txt", "a folder the earlier version did not have"},
    {u"Lang\\", u"zh.ini", "new zh"},
    {u"Lang\\", u"en.ini", "new en"},
    {u"", u"Big.dat", std::string(4000, 'x')},
};

struct Case {
  const char* name;
  bool holdOpen;      // zh.ini is held open by another program
  int64_t freeSpace;  // -1: no limit
  const char* error;  // what the failure says, with the file system's reason
};

TEST(Journal, AFailedUpgradeLeavesTheFolderByteForByteAsBefore) {
  const Case cases[] = {
      {"file_held_open", true, -1,
       "cannot set aside \"C:\\App\\Lang\\zh.ini\" before replacing it: the file is in use"},
      {"disk_full_in_the_last_member", false, 200, "Big.dat"},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    InstallEarlier(files);
    const std::map<std::u16string, std::string> before = files.Files();
    files.PutFile(kPackage, WritePackage(kNewVersion));
    const std::vector<std::u16string> foldersBefore = files.Folders();
    std::unique_ptr<PackageInputFile> held;
    if (c.holdOpen) held = files.OpenForReading(kDir + u"Lang\\zh.ini");
    if (c.freeSpace >= 0) files.SetFreeSpace(c.freeSpace);

    JournalingFileSystem journal(files);
    const Outcome outcome = Extract(journal, kPackage, kDir);
    ASSERT_TRUE(outcome.error.has_value()) << c.name;
    EXPECT_NE(outcome.message.find(c.error), std::string::npos) << c.name << ": " << outcome.message;
    const RollbackReport report = journal.Rollback();
    held.reset();
    files.RemoveFile(kPackage);
    EXPECT_EQ(files.Files(), before) << c.name;
    EXPECT_EQ(files.Folders(), foldersBefore) << c.name << ": the folders the run made are gone";
    EXPECT_EQ(report.foldersRemoved, (std::vector<std::u16string>{kDir + u"Docs\\Guide", kDir + u"Docs"})) << c.name;
    EXPECT_TRUE(report.notRestored.empty() && report.notRemoved.empty()) << c.name;
    EXPECT_FALSE(report.restored.empty()) << c.name;
  }
}

TEST(Journal, CommitKeepsTheNewFilesAndDropsTheCopies) {
  MemoryFileSystem files;
  InstallEarlier(files);
  files.PutFile(kPackage, WritePackage(kNewVersion));
  JournalingFileSystem journal(files);
  ASSERT_FALSE(Extract(journal, kPackage, kDir).error.has_value());
  EXPECT_TRUE(journal.Commit().empty());
  files.RemoveFile(kPackage);
  const std::map<std::u16string, std::string> expected = {
      {kDir + u"App.exe", "new exe, longer than the old one"},
      {kDir + u"Big.dat", std::string(4000, 'x')},
      {kDir + u"Docs\\Guide\\guide.txt", "a folder the earlier version did not have"},
      {kDir + u"Lang\\en.ini", "new en"},
      {kDir + u"Lang\\zh.ini", "new zh"},
      {kDir + u"Lang\\zh.ini.1.stp-old", "a name already taken"},  // not the journal's: it stays
      {kDir + u"mine.txt", "the user's"},
  };
  EXPECT_EQ(files.Files(), expected);
  // Nothing is left to undo after a commit.
  const RollbackReport report = journal.Rollback();
  EXPECT_TRUE(report.restored.empty() && report.removed.empty());
}

TEST(Journal, ATargetWrittenTwiceRestoresTheEarlierCopy) {
  MemoryFileSystem files;
  files.PutFile(kDir + u"App.exe", "old");
  JournalingFileSystem journal(files);
  journal.CreateForWriting(kDir + u"App.exe")->Write("first", 5);
  journal.CreateForWriting(kDir + u"App.exe")->Write("second", 6);
  const RollbackReport report = journal.Rollback();
  EXPECT_EQ(report.restored, std::vector<std::u16string>{kDir + u"App.exe"});
  EXPECT_EQ(files.Files(), (std::map<std::u16string, std::string>{{kDir + u"App.exe", "old"}}));
}

TEST(Journal, RenameNeverReplaces) {
  MemoryFileSystem files;
  files.PutFile(u"C:\\a", "a");
  files.PutFile(u"C:\\b", "b");
  files.CreateFolders(u"C:\\d");
  EXPECT_FALSE(files.RenameNoReplace(u"C:\\a", u"C:\\b", nullptr));
  EXPECT_FALSE(files.RenameNoReplace(u"C:\\a", u"C:\\d", nullptr));
  EXPECT_FALSE(files.RenameNoReplace(u"C:\\missing", u"C:\\c", nullptr));
  EXPECT_TRUE(files.RenameNoReplace(u"C:\\a", u"C:\\c", nullptr));
  EXPECT_EQ(files.Files(), (std::map<std::u16string, std::string>{{u"C:\\b", "b"}, {u"C:\\c", "a"}}));
}

// The copy is what the extraction wrote, whatever happens to the file after:
// another program may replace the file in the folder at once.
TEST(CopyingFileSystem, KeepsWhatWasWrittenNotWhatTheFolderHoldsLater) {
  MemoryFileSystem files;
  const std::u16string list = kDir + u"Uninst.lst";
  CopyingFileSystem copying(files, list);
  EXPECT_FALSE(copying.Copy().has_value());
  files.PutFile(kPackage, WritePackage({{u"", u"App.exe", "exe"}, {u"", u"Uninst.lst", "the list as packed"}}));
  ASSERT_FALSE(Extract(copying, kPackage, kDir).error.has_value());
  files.PutFile(list, "a list someone put there afterwards");
  EXPECT_EQ(copying.Copy(), std::optional<std::string>("the list as packed"));

  // Overwrites in place and emptying follow the file.
  CopyingFileSystem again(files, list);
  std::unique_ptr<PackageOutputFile> file = again.CreateForWriting(list);
  file->Write("abcdef", 6);
  file->WriteAt(2, "XY", 2);
  EXPECT_EQ(again.Copy(), std::optional<std::string>("abXYef"));
  ASSERT_TRUE(file->TruncateToEmpty());
  EXPECT_EQ(again.Copy(), std::optional<std::string>(""));
}

}  // namespace
}  // namespace vo::test
