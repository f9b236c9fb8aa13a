// The in-memory file system keeps the rules of the real ones that the
// package code can run into: folders must exist, files are held without
// sharing, a full disk takes part of a write and then refuses.

#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "package/PackageFileSystemMemory.h"

namespace vo::test {
namespace {

std::string KindOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EPackageError& e) {
    return PackageErrorKindName(e.Kind());
  }
  return "none";
}

TEST(MemoryFileSystem, FoldersAndFilesFollowTheRealRules) {
  MemoryFileSystem files;
  EXPECT_EQ(KindOf([&] { files.CreateForWriting(u"C:\\App\\a.txt"); }), "create") << "folder missing";
  files.CreateFolders(u"C:/App/Lang\\");
  EXPECT_TRUE(files.FolderExists(u"C:\\App\\"));
  EXPECT_TRUE(files.FolderExists(u"C:\\App\\Lang"));
  EXPECT_EQ(KindOf([&] { files.CreateForWriting(u"C:\\App\\Lang"); }), "create") << "a folder in the way";
  EXPECT_EQ(KindOf([&] { files.CreateForWriting(u"C:\\App\\"); }), "create") << "no file name";
  EXPECT_EQ(KindOf([&] { files.CreateForWriting(u"relative.txt"); }), "none") << "the current folder exists";
  const std::u16string deep = u"C:\\" + std::u16string(250, u'd') + u"\\" + std::u16string(10, u'e');
  files.CreateFolders(deep);
  EXPECT_TRUE(files.FolderExists(deep.substr(0, 253))) << "parents within the length limit are made";
  EXPECT_FALSE(files.FolderExists(deep)) << "a path past MAX_PATH is not";
  EXPECT_EQ(KindOf([&] { files.CreateForWriting(deep.substr(0, 253) + u"\\" + std::u16string(9, u'f')); }), "create");

  files.PutFile(u"C:\\App\\a.txt", "old content");
  EXPECT_TRUE(files.FileExists(u"C:/App/a.txt"));
  EXPECT_FALSE(files.FileExists(u"C:\\App"));
  files.CreateFolders(u"C:\\App\\a.txt\\sub\\");
  EXPECT_FALSE(files.FolderExists(u"C:\\App\\a.txt\\sub")) << "a file in the way of a folder";
  {
    std::unique_ptr<PackageOutputFile> out = files.CreateForWriting(u"C:\\App\\a.txt");
    EXPECT_EQ(*files.FindFile(u"C:\\App\\a.txt"), "") << "CREATE_ALWAYS empties the file";
    out->Write("new", 3);
    EXPECT_EQ(KindOf([&] { files.OpenForReading(u"C:\\App\\a.txt"); }), "open") << "held without sharing";
    EXPECT_EQ(KindOf([&] { files.CreateForWriting(u"C:\\App\\a.txt"); }), "create");
    EXPECT_FALSE(files.RemoveFile(u"C:\\App\\a.txt"));
    EXPECT_EQ(KindOf([&] { files.MoveReplacing(u"C:\\App\\a.txt", u"C:\\App\\b.txt"); }), "write");
    EXPECT_EQ(files.OpenHandles(), 1);
  }
  EXPECT_EQ(files.OpenHandles(), 0);
  std::unique_ptr<PackageInputFile> in = files.OpenForReading(u"C:\\App\\a.txt");
  char buffer[8] = {};
  EXPECT_EQ(in->Read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(in->Read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(KindOf([&] { in->Seek(4); }), "read");
  in.reset();
  files.MoveReplacing(u"C:\\App\\a.txt", u"C:\\App\\Lang\\b.txt");
  EXPECT_EQ(files.Files(), (std::map<std::u16string, std::string>{{u"C:\\App\\Lang\\b.txt", "new"}, {u"relative.txt", ""}}));
  EXPECT_EQ(KindOf([&] { files.OpenForReading(u"C:\\App\\a.txt"); }), "open");
}

TEST(MemoryFileSystem, FullDiskTakesWhatFitsAndEmptyingGivesItBack) {
  MemoryFileSystem files;
  files.SetFreeSpace(10);
  std::unique_ptr<PackageOutputFile> out = files.CreateForWriting(u"a.bin");
  out->Write("123456", 6);
  EXPECT_EQ(KindOf([&] { out->Write("789abc", 6); }), "write");
  EXPECT_EQ(*files.FindFile(u"a.bin"), "123456789a");
  EXPECT_EQ(files.FreeSpace(), 0);
  EXPECT_TRUE(out->TruncateToEmpty());
  EXPECT_EQ(*files.FindFile(u"a.bin"), "");
  EXPECT_EQ(files.FreeSpace(), 10);
  out->Write("xy", 2);
  EXPECT_EQ(*files.FindFile(u"a.bin"), "xy") << "writing starts again at the beginning";
}

}  // namespace
}  // namespace vo::test
