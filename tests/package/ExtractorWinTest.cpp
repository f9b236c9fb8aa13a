// ExtractPackage on the real Win32 file API (run under Wine): a target held
// open by another handle without sharing, and members for the real system
// folder.

#ifdef _WIN32

#include <gtest/gtest.h>

#include "PackageTestSupport.h"
#include "shell/UniqueHandle.h"

namespace vo::test {
namespace {

std::u16string RealSystemFolder() {
  wchar_t buffer[MAX_PATH + 1];
  UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH + 1);
  std::u16string folder = U16(buffer, length);
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return folder;
}

TEST(ExtractorWin, TargetHeldWithoutSharingStopsTheExtraction) {
  Sandbox box;
  const std::u16string installDir = box.Folder("inst");
  const fs::path package = box.Path("Setup.stp");
  WriteBytes(package, WritePackage({{u"", u"a.txt", "alpha"}, {u"", u"b.txt", "bravo"}, {u"", u"held.exe", "new"},
                                    {u"", u"d.txt", "delta"}}));
  WriteBytes(box.Path("inst/held.exe"), "running copy");
  UniqueFile held(::CreateFileW(WStr(installDir + u"held.exe"), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);

  try {
    ExtractPackage(Api(package), installDir, u"", nullptr);
    ADD_FAILURE() << "the extraction went through a file held without sharing";
  } catch (const EPackageError& e) {
    EXPECT_EQ(e.Kind(), PackageErrorKind::Create) << e.what();
    EXPECT_NE(std::string(e.what()).find("held.exe"), std::string::npos) << e.what();
  }

  EXPECT_EQ(ReadBytes(box.Path("inst/a.txt")), "alpha");
  EXPECT_EQ(ReadBytes(box.Path("inst/b.txt")), "bravo");
  EXPECT_EQ(ReadBytes(box.Path("inst/d.txt")), std::nullopt);
  EXPECT_TRUE(::DeleteFileW(WStr(Api(package)))) << "the package file is still open";
  held.reset();
  EXPECT_EQ(ReadBytes(box.Path("inst/held.exe")), "running copy");
}

TEST(ExtractorWin, PackageIsOpenedWithoutSharing) {
  Sandbox box;
  const fs::path package = box.Path("Setup.stp");
  WriteBytes(package, WritePackage({{u"", u"a.txt", "alpha"}}));
  bool couldOpen = true;
  auto probe = [&](int32_t) {
    UniqueFile other(::CreateFileW(WStr(Api(package)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    couldOpen = static_cast<bool>(other);
  };
  ExtractPackage(Api(package), box.Folder("inst"), u"", probe);
  EXPECT_FALSE(couldOpen);
}

TEST(ExtractorWin, SystemMembersLandInTheSystemFolderAndKeepExistingFiles) {
  const std::u16string system = RealSystemFolder();
  ASSERT_FALSE(system.empty());
  const std::u16string kept = system + u"vo_package_test_kept.dll";
  const std::u16string added = system + u"vo_package_test_added.dll";
  const std::u16string third = system + u"vo_package_test_third.dll";
  WriteBytes(fs::path(kept), "old");
  ::DeleteFileW(WStr(added));
  ::DeleteFileW(WStr(third));
  Sandbox box;
  WriteBytes(box.Path("Setup.stp"), WritePackage({{u"$System$", u"vo_package_test_kept.dll", "new"},
                                                  {u"$System$", u"vo_package_test_added.dll", "added"},
                                                  {u"$Third$", u"vo_package_test_third.dll", "third"}}));

  ExtractPackage(Api(box.Path("Setup.stp")), box.Folder("inst"), u"", nullptr);

  EXPECT_EQ(ReadBytes(fs::path(kept)), "old");
  EXPECT_EQ(ReadBytes(fs::path(added)), "added");
  EXPECT_EQ(ReadBytes(fs::path(third)), "third");
  for (const std::u16string& path : {kept, added, third}) ::DeleteFileW(WStr(path));
}

}  // namespace
}  // namespace vo::test

#endif  // _WIN32
