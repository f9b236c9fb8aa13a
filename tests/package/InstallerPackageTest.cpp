// What the installer reads from and around its package before and while it
// extracts: the digest check, the unpacked total read in place from memory,
// and the report of a logging file system.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "PackageTestSupport.h"
#include "crypt/Sha256.h"
#include "package/LoggingFileSystem.h"
#include "package/PackageDigest.h"
#include "package/PackageSummary.h"

namespace vo {
namespace {

using test::Member;

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

ByteView View(const std::string& s) { return ByteView{Bytes(s), s.size()}; }

std::string DigestOf(const std::string& s) {
  const std::optional<Sha256Digest> digest = Sha256Of(Bytes(s), s.size());
  return std::string(reinterpret_cast<const char*>(digest->data()), digest->size());
}

// A payload of a few slices with no repeating pattern, so a slice boundary
// handled wrong changes the hash.
std::string Payload(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 2463534242u;
  for (char& c : bytes) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    c = char(state);
  }
  return bytes;
}

TEST(PackageDigest, Sha256OfMatchesTheStandardAndOneCallOverSlices) {
  // FIPS 180-4 examples (the empty message from its test vectors).
  EXPECT_EQ(HexText(Bytes(DigestOf("")), 32), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(HexText(Bytes(DigestOf("abc")), 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // Around the 1 MiB slices the installer hashes in: the same as one Update.
  for (size_t size : {size_t(1) << 20, (size_t(1) << 20) + 1, (size_t(3) << 20) - 7}) {
    const std::string payload = Payload(size);
    TSHA256 whole;
    whole.Init();
    whole.Update(payload.data(), payload.size());
    Sha256Digest expected;
    whole.Final(expected.data());
    EXPECT_EQ(DigestOf(payload), std::string(reinterpret_cast<const char*>(expected.data()), 32)) << size;
  }
}

TEST(PackageDigest, AStopRequestEndsTheHash) {
  const std::string payload = Payload(size_t(2) << 20);
  std::atomic<bool> stop{true};
  EXPECT_FALSE(Sha256Of(Bytes(payload), payload.size(), &stop).has_value());
}

TEST(PackageDigest, VerdictForEachWayAnInstallerCanBe) {
  const std::string package = test::WritePackage({{u"", u"a.txt", "alpha"}, {u"Lang\\", u"b.ini", "beta"}});
  const std::string digest = DigestOf(package);
  std::string flipped = package;
  flipped[flipped.size() / 2] ^= 0x01;
  const std::string shortDigest = digest.substr(0, 31);

  struct Case {
    const char* name;
    std::optional<ByteView> package;
    std::optional<ByteView> digest;
    DigestVerdict verdict;
    std::string detailHas;
  };
  const Case cases[] = {
      {"intact", View(package), View(digest), DigestVerdict::Intact, "matches its SHA-256 " + HexText(Bytes(digest), 32)},
      {"one byte flipped", View(flipped), View(digest), DigestVerdict::Damaged,
       "but the installer expects " + HexText(Bytes(digest), 32)},
      {"no digest: installs as before", View(flipped), std::nullopt, DigestVerdict::NotChecked, "no package digest"},
      {"digest of the wrong size", View(package), View(shortDigest), DigestVerdict::Damaged, "31 bytes instead of 32"},
      {"digest without a package", std::nullopt, View(digest), DigestVerdict::Damaged, "but no setup package"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DigestCheckResult result = CheckPackageDigest(c.package, c.digest);
    EXPECT_EQ(result.verdict, c.verdict);
    EXPECT_NE(result.detail.find(c.detailHas), std::string::npos) << result.detail;
  }
}

TEST(BackgroundDigestCheck, WaitGivesTheVerdictOfTheCheckItself) {
  const std::string package = Payload((size_t(5) << 20) + 3);
  const std::string digest = DigestOf(package);
  std::string flipped = package;
  flipped[123456] ^= 0x40;

  BackgroundDigestCheck intact(View(package), View(digest));
  BackgroundDigestCheck damaged(View(flipped), View(digest));
  BackgroundDigestCheck unchecked(View(package), std::nullopt);
  EXPECT_EQ(intact.Wait().verdict, DigestVerdict::Intact);
  EXPECT_EQ(intact.Wait().verdict, DigestVerdict::Intact);  // a second Wait gives the same
  EXPECT_EQ(damaged.Wait().verdict, DigestVerdict::Damaged);
  EXPECT_EQ(damaged.Wait().detail, CheckPackageDigest(View(flipped), View(digest)).detail);
  EXPECT_EQ(unchecked.Wait().verdict, DigestVerdict::NotChecked);
}

TEST(PackageSummary, UnpackedTotalReadInPlaceFromMemory) {
  const std::vector<Member> members = {
      {u"", u"Drawvane.exe", std::string(70000, 'x')},
      {u"Lang\\", u"zh-CN.ini", "[zh]\r\n"},
      {u"$System$", u"vocore.dll", std::string(1500, '\x01')},
      {u"", u"empty.txt", ""},
  };
  const std::string package = test::WritePackage(members);
  MemoryInputFile input(package.data(), package.size());
  EXPECT_EQ(ReadUnpackedTotal(input, u"memory", u""), std::optional<int64_t>(70000 + 6 + 1500));

  // The length field at its largest: no table, nothing to extract.
  std::string noTable = package;
  const size_t field = noTable.size() - 3 - 4;
  noTable.replace(field, 4, "\xff\xff\xff\x7f");
  MemoryInputFile none(noTable.data(), noTable.size());
  EXPECT_EQ(ReadUnpackedTotal(none, u"memory", u""), std::nullopt);

  const std::string tooShort = "\x14";
  MemoryInputFile shortInput(tooShort.data(), tooShort.size());
  EXPECT_THROW(ReadUnpackedTotal(shortInput, u"memory", u""), EPackageError);
}

TEST(PackageSummary, MemoryInputFileReadsAndSeeksWithinItsBytes) {
  const std::string bytes = "0123456789";
  MemoryInputFile file(bytes.data(), bytes.size());
  char buffer[16] = {};
  EXPECT_EQ(file.Size(), 10);
  EXPECT_EQ(file.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  file.Seek(8);
  EXPECT_EQ(file.Read(buffer, 16), 2u);  // fewer only at the end
  EXPECT_EQ(std::string(buffer, 2), "89");
  EXPECT_EQ(file.Read(buffer, 16), 0u);
  file.Seek(10);
  EXPECT_THROW(file.Seek(11), EPackageError);
  EXPECT_THROW(file.Seek(-1), EPackageError);
}

// Records what the logging file system reports.
struct RecordingObserver final : PackageFileObserver {
  std::vector<std::u16string> folders;
  std::vector<std::pair<std::u16string, int64_t>> files;
  std::vector<std::u16string> failedFiles;
  void FolderCreated(const std::u16string& path) override { folders.push_back(path); }
  void FileWritten(const std::u16string& path, int64_t bytes, bool writeFailed) override {
    if (writeFailed) {
      failedFiles.push_back(path);
    } else {
      files.emplace_back(path, bytes);
    }
  }
};

TEST(LoggingFileSystem, ReportsEveryFolderCreatedAndFileWrittenWithItsSize) {
  test::Sandbox sandbox;
  const std::string package = test::WritePackage({
      {u"", u"Drawvane.exe", std::string(5000, 'x')},
      {u"Lang\\en\\", u"en.ini", "[en]"},
      {u"Lang\\", u"zh-CN.ini", "[zh-CN]"},
      {u"", u"empty.txt", ""},
  });
  test::WriteBytes(sandbox.Path("Setup.stp"), package);
  const std::u16string installDir = sandbox.Folder("Program Files/Drawvane");

  std::unique_ptr<PackageFileSystem> platform = CreatePlatformFileSystem();
  RecordingObserver observer;
  LoggingFileSystem files(*platform, observer);
  ExtractPackage(test::Api(sandbox.Path("Setup.stp")), installDir, u"", nullptr, files);

  // Every folder that was missing, each parent before its children.
  const std::vector<std::u16string> expectedFolders = {
      test::Api(sandbox.Path("Program Files")),
      test::Api(sandbox.Path("Program Files/Drawvane")),
      installDir + u"Lang",
      installDir + u"Lang\\en",
  };
  EXPECT_EQ(observer.folders, expectedFolders);
  const std::vector<std::pair<std::u16string, int64_t>> expectedFiles = {
      {installDir + u"Drawvane.exe", 5000},
      {installDir + u"Lang\\en\\en.ini", 4},
      {installDir + u"Lang\\zh-CN.ini", 7},
      {installDir + u"empty.txt", 0},
  };
  EXPECT_EQ(observer.files, expectedFiles);
  EXPECT_TRUE(observer.failedFiles.empty());
}

// A file system whose target files refuse their bytes, as a full disk does.
class RefusingFileSystem final : public PackageFileSystem {
 public:
  explicit RefusingFileSystem(PackageFileSystem& real) : fReal(real) {}
  bool FolderExists(const std::u16string& path) override { return fReal.FolderExists(path); }
  bool FileExists(const std::u16string& path) override { return fReal.FileExists(path); }
  void CreateFolders(const std::u16string& path) override { fReal.CreateFolders(path); }
  std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) override {
    return fReal.OpenForReading(path);
  }
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string&) override {
    struct Full final : PackageOutputFile {
      void Write(const void*, size_t) override { throw EPackageError(PackageErrorKind::Write, "disk full"); }
      void WriteAt(int64_t, const void*, size_t) override { throw EPackageError(PackageErrorKind::Write, "disk full"); }
      bool TruncateToEmpty() override { return true; }
    };
    return std::make_unique<Full>();
  }
  std::u16string SystemFolder() override { return fReal.SystemFolder(); }
  void MoveReplacing(const std::u16string& from, const std::u16string& to) override { fReal.MoveReplacing(from, to); }
  bool RemoveFile(const std::u16string& path) override { return fReal.RemoveFile(path); }
  bool IsLink(const std::u16string& path) override { return fReal.IsLink(path); }

 private:
  PackageFileSystem& fReal;
};

TEST(LoggingFileSystem, AFailedWriteIsReportedAsSuchAndTheErrorPassesThrough) {
  test::Sandbox sandbox;
  test::WriteBytes(sandbox.Path("Setup.stp"), test::WritePackage({{u"", u"big.bin", std::string(3000, 'b')}}));
  std::unique_ptr<PackageFileSystem> platform = CreatePlatformFileSystem();
  RefusingFileSystem refusing(*platform);
  RecordingObserver observer;
  LoggingFileSystem files(refusing, observer);
  try {
    ExtractPackage(test::Api(sandbox.Path("Setup.stp")), sandbox.Folder("out"), u"", nullptr, files);
    ADD_FAILURE() << "no error";
  } catch (const EPackageError& e) {
    EXPECT_EQ(e.Kind(), PackageErrorKind::Write);
    EXPECT_NE(std::string(e.what()).find("disk full"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(observer.files.empty());
  EXPECT_EQ(observer.failedFiles, std::vector<std::u16string>{sandbox.Folder("out") + u"big.bin"});
}

}  // namespace
}  // namespace vo
