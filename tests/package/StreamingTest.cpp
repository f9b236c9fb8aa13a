// Members that do not fit the extractor's and the writer's fixed buffers:
// the inflater against every way to cut a stream into buffers, extractions
// of members larger than the buffers and ending on their boundaries (read
// position, seeks, progress), failures late in a large member (the file is
// emptied again), and the writer compressing from a file.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "PackageTestSupport.h"
#include "package/MemberInflater.h"
#include "package/PackageFileSystemMemory.h"
#include "package/PackageSummary.h"

namespace vo::test {
namespace {

constexpr size_t kIn = MemberInflater::kInputBufferSize;
constexpr size_t kOut = MemberInflater::kOutputBufferSize;

// Bytes that deflate cannot shrink much, mixed with runs it can.
std::string MixedBytes(size_t size, uint32_t seed) {
  std::mt19937 engine(seed);
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = (i / 4096) % 4 == 3 ? char('a' + i % 7) : char(engine());
  }
  return bytes;
}

// A level-0 stream of exactly packedSize bytes (stored blocks cost a few
// bytes each, so the content is searched for near that size).
std::string StoredStreamOfSize(size_t packedSize, std::string* content) {
  for (size_t size = packedSize - 6; size + 64 > packedSize; --size) {
    std::string data = MixedBytes(size, uint32_t(size));
    std::string stream = CompressMember(data, 0);
    if (stream.size() == packedSize) {
      *content = data;
      return stream;
    }
  }
  throw std::runtime_error("no stored stream of " + std::to_string(packedSize) + " bytes");
}

// ---- the inflater alone -----------------------------------------------------

struct InflateRun {
  InflateResult result;
  std::string written;
  int64_t read = 0;
  size_t largestRead = 0;
  size_t largestWrite = 0;
};

InflateRun RunInflater(MemberInflater& inflater, const std::string& packed, int64_t size) {
  InflateRun run;
  run.result = inflater.Inflate(
      int64_t(packed.size()), size,
      [&](uint8_t* buffer, size_t count) {
        ASSERT_LE(run.read + int64_t(count), int64_t(packed.size())) << "read past the member";
        std::memcpy(buffer, packed.data() + run.read, count);
        run.read += int64_t(count);
        run.largestRead = std::max(run.largestRead, count);
      },
      [&](const uint8_t* data, size_t count) {
        run.written.append(reinterpret_cast<const char*>(data), count);
        run.largestWrite = std::max(run.largestWrite, count);
      });
  return run;
}

TEST(MemberInflater, GivesTheSameOutcomeForEveryBufferSize) {
  const std::string data = MixedBytes(20000, 1);
  const std::string stream = CompressMember(data, 6);
  const std::string empty = CompressMember(std::string(), 9);
  struct Case {
    const char* name;
    std::string packed;
    int64_t size;
    InflateOutcome outcome;
    int64_t produced;
  };
  std::string corrupt = stream;
  corrupt[corrupt.size() * 3 / 4] ^= 0x55;
  std::string badChecksum = stream;
  badChecksum.back() ^= 0x01;
  const Case cases[] = {
      {"complete", stream, int64_t(data.size()), InflateOutcome::Complete, int64_t(data.size())},
      {"trailing bytes after the stream's end", stream + "garbage", int64_t(data.size()), InflateOutcome::Complete,
       int64_t(data.size())},
      {"stream ends before the row's size", stream, int64_t(data.size()) + 1, InflateOutcome::EndedEarly,
       int64_t(data.size())},
      {"stream holds one byte more than the row", stream, int64_t(data.size()) - 1, InflateOutcome::TooLong,
       int64_t(data.size()) - 1},
      {"packed bytes cut before the checksum", stream.substr(0, stream.size() - 2), int64_t(data.size()),
       InflateOutcome::InputExhausted, int64_t(data.size())},
      {"packed bytes cut in the middle", stream.substr(0, stream.size() / 2), int64_t(data.size()),
       InflateOutcome::InputExhausted, -1},
      {"no packed bytes at all", "", 10, InflateOutcome::InputExhausted, 0},
      {"corrupt byte late in the stream", corrupt, int64_t(data.size()), InflateOutcome::DataError, -1},
      {"wrong Adler-32", badChecksum, int64_t(data.size()), InflateOutcome::DataError, int64_t(data.size())},
      {"empty stream for a zero-size row", empty, 0, InflateOutcome::Complete, 0},
      {"data for a zero-size row", stream, 0, InflateOutcome::TooLong, 0},
  };
  const std::pair<size_t, size_t> buffers[] = {{1, 1}, {1, 3}, {7, 1}, {5, 13}, {64, 4096}, {kIn, kOut}};
  for (const Case& c : cases) {
    for (auto [in, out] : buffers) {
      SCOPED_TRACE(std::string(c.name) + ", buffers " + std::to_string(in) + "/" + std::to_string(out));
      MemberInflater inflater(in, out);
      InflateRun run = RunInflater(inflater, c.packed, c.size);
      EXPECT_EQ(int(run.result.outcome), int(c.outcome)) << run.result.detail;
      if (c.produced >= 0) {
        EXPECT_EQ(run.result.produced, c.produced);
      }
      EXPECT_EQ(int64_t(run.written.size()), run.result.produced);
      EXPECT_LE(run.result.produced, c.size) << "never more than the row's size";
      EXPECT_TRUE(data.compare(0, run.written.size(), run.written) == 0 || c.outcome == InflateOutcome::DataError)
          << "the output is the stream's own";
      EXPECT_LE(run.largestRead, in);
      EXPECT_LE(run.largestWrite, out);
      if (c.outcome == InflateOutcome::Complete) {
        EXPECT_EQ(run.read, int64_t(c.packed.size())) << "read to the end";
      }
    }
  }
}

TEST(MemberInflater, ServesManyMembersWithOneState) {
  MemberInflater inflater(100, 300);
  for (int i = 0; i < 5; ++i) {
    const std::string data = MixedBytes(1000 + 777 * size_t(i), uint32_t(i));
    std::string packed = CompressMember(data, i);
    // Every other member fails half-way; the next one must not notice.
    if (i % 2 == 1) packed[packed.size() / 2] ^= 0x40;
    InflateRun run = RunInflater(inflater, packed, int64_t(data.size()));
    if (i % 2 == 0) {
      EXPECT_EQ(int(run.result.outcome), int(InflateOutcome::Complete)) << i;
      EXPECT_EQ(run.written, data) << i;
    } else {
      EXPECT_NE(int(run.result.outcome), int(InflateOutcome::Complete)) << i;
    }
  }
}

// ---- extractions in memory --------------------------------------------------

struct Fixture {
  Fixture() : files(std::make_unique<MemoryFileSystem>(u"C:\\Windows\\System32\\")) {
    memory = static_cast<MemoryFileSystem*>(&files.Real());
  }
  Outcome Run(const std::string& package, std::vector<int32_t>* progress = nullptr) {
    memory->PutFile(u"C:\\Setup.stp", package);
    return Extract(files, u"C:\\Setup.stp", u"C:\\Program Files\\Product\\", [progress](int32_t percent) {
      if (progress) progress->push_back(percent);
    });
  }
  std::optional<std::string> File(const std::u16string& path) const {
    const std::string* bytes = memory->FindFile(path);
    return bytes ? std::optional<std::string>(*bytes) : std::nullopt;
  }
  WatchingFileSystem files;
  MemoryFileSystem* memory;
};

const std::u16string kInstall = u"C:\\Program Files\\Product\\";
const std::u16string kSystem = u"C:\\Windows\\System32\\";

TEST(StreamingExtraction, LargeMembersLandWholeWithOneForwardReadPosition) {
  std::string storedContent;
  const std::string stored = StoredStreamOfSize(2 * kIn, &storedContent);
  const std::vector<Member> members = {
      {u"", u"big.bin", MixedBytes(3 * kOut + 17, 2)},                   // several buffers of both kinds
      {u"", u"empty.txt", ""},                                           // the writer's empty stream
      {u"$System$", u"kept.dll", MixedBytes(kOut + 5, 3)},               // skipped between large members
      {u"Data\\", u"boundary.dat", std::string(2 * kOut, 'z')},          // ends on an output buffer boundary
      {u"$System$", u"new.dll", MixedBytes(2 * kIn + 1, 4)},             // a system member that is written
      {u"Data\\", u"stored.bin", storedContent},                         // packed bytes end on an input boundary
      {u"", u"tail.txt", "the last member"},
  };
  PackageParts parts = MakeParts(members);
  parts.streams[5] = stored;
  parts.rows[5][2] = u"131072";
  ASSERT_EQ(stored.size(), 131072u);
  // Bytes after the first stream's end, more than an input buffer of them:
  // read past, never sought over.
  parts.streams[0] += std::string(kIn + 100, '\x7F');
  parts.rows[0][2] = FileTableRowCells(u"", u"x", int32_t(parts.streams[0].size()), 0)[2];
  // A row of no packed and no unpacked bytes, as a hand-made package has it.
  parts.streams.insert(parts.streams.begin() + 2, "");
  parts.rows.insert(parts.rows.begin() + 2, FileTableRowCells(u"", u"zero.txt", 0, 0));
  ASSERT_GT(parts.streams[0].size(), 2 * kIn) << "the first member must span several input buffers";

  Fixture fixture;
  fixture.memory->PutFile(kSystem + u"kept.dll", "old");
  std::vector<int32_t> progress;
  Outcome outcome = fixture.Run(parts.Assemble(), &progress);

  ASSERT_FALSE(outcome.error) << outcome.message;
  EXPECT_EQ(fixture.File(kInstall + u"big.bin"), members[0].content);
  EXPECT_EQ(fixture.File(kInstall + u"empty.txt"), "");
  EXPECT_EQ(fixture.File(kInstall + u"zero.txt"), "");
  EXPECT_EQ(fixture.File(kSystem + u"kept.dll"), "old");
  EXPECT_EQ(fixture.File(kInstall + u"Data\\boundary.dat"), members[3].content);
  EXPECT_EQ(fixture.File(kSystem + u"new.dll"), members[4].content);
  EXPECT_EQ(fixture.File(kInstall + u"Data\\stored.bin"), storedContent);
  EXPECT_EQ(fixture.File(kInstall + u"tail.txt"), "the last member");

  // Each target is created with the read position at its member's start; the
  // one skipped member costs the only seek after the table's.
  std::vector<int64_t> offsets{0};
  for (const std::string& s : parts.streams) offsets.push_back(offsets.back() + int64_t(s.size()));
  EXPECT_EQ(fixture.files.readPositionAtCreate,
            (std::vector<int64_t>{offsets[0], offsets[1], offsets[2], offsets[4], offsets[5], offsets[6], offsets[7]}));
  ASSERT_GE(fixture.files.seeks.size(), 2u);
  EXPECT_EQ(std::vector<int64_t>(fixture.files.seeks.end() - 2, fixture.files.seeks.end()),
            (std::vector<int64_t>{0, offsets[4]}));
  EXPECT_EQ(fixture.files.readPosition, offsets.back()) << "the last member is read to its end";
  for (size_t size : fixture.files.writeSizes) EXPECT_LE(size, kOut);
  EXPECT_EQ(progress.size(), 7u);
  EXPECT_EQ(progress.back(), 100);
  EXPECT_EQ(fixture.memory->OpenHandles(), 0);
}

// The installer extracts its package in place, from a file it opened and
// checked itself: nothing is opened by name, and the result is the same.
TEST(StreamingExtraction, APackageAlreadyOpenIsReadInPlaceAndNeverOpenedByName) {
  const std::vector<Member> members = {{u"", u"a.txt", MixedBytes(3 * kOut, 7)}, {u"Data\\", u"b.dat", "bee"}};
  const std::string package = WritePackage(members);
  MemoryFileSystem files(kSystem);
  ExtractPackage(std::make_unique<MemoryInputFile>(package.data(), package.size()), u"the installer's package",
                 kInstall, u"", nullptr, files);
  const std::string* a = files.FindFile(kInstall + u"a.txt");
  const std::string* b = files.FindFile(kInstall + u"Data\\b.dat");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(*a, members[0].content);
  EXPECT_EQ(*b, "bee");
  EXPECT_EQ(files.OpenHandles(), 0);

  // A damaged member names the package by the name given.
  std::string damaged = package;
  damaged[100] = char(damaged[100] ^ 0x55);
  try {
    ExtractPackage(std::make_unique<MemoryInputFile>(damaged.data(), damaged.size()), u"the installer's package",
                   kInstall, u"", nullptr, files);
    ADD_FAILURE() << "a damaged member was extracted";
  } catch (const EPackageError& e) {
    EXPECT_NE(std::string(e.what()).find("the installer's package"), std::string::npos) << e.what();
  }
}

TEST(StreamingExtraction, MemberFailingAfterWritesLeavesAnEmptyFile) {
  const std::string large = MixedBytes(3 * kOut + 100, 5);
  struct Case {
    const char* name;
    std::function<void(PackageParts&)> damage;  // to member 2
    std::optional<int64_t> freeSpace;           // bytes the disk still takes
    const char* kind;
    std::string messagePart;
  };
  auto setUnpacked = [](PackageParts& p, int64_t value) {
    std::string text = std::to_string(value);
    p.rows[1][3] = std::u16string(text.begin(), text.end());
  };
  auto setPacked = [](PackageParts& p) {
    std::string text = std::to_string(p.streams[1].size());
    p.rows[1][2] = std::u16string(text.begin(), text.end());
  };
  const Case cases[] = {
      // What the damaged stream claims decides the message (here it runs on
      // past the row's size); the kind is the same for every such damage.
      {"corrupt byte late in the member", [](PackageParts& p) { p.streams[1][p.streams[1].size() - 40] ^= 0x21; },
       std::nullopt, "decompress", "member 2"},
      {"wrong Adler-32", [](PackageParts& p) { p.streams[1].back() ^= 0x01; }, std::nullopt, "decompress",
       "incorrect data check"},
      {"stream holds more than the row", [&](PackageParts& p) { setUnpacked(p, int64_t(large.size()) - 1); },
       std::nullopt, "decompress", "holds more than"},
      {"stream ends before the row's size", [&](PackageParts& p) { setUnpacked(p, int64_t(large.size()) + 1); },
       std::nullopt, "read", "its stream ends after " + std::to_string(large.size()) + " of its"},
      {"packed bytes end before the stream",
       [&](PackageParts& p) {
         p.streams[1].resize(p.streams[1].size() - 10);
         setPacked(p);
       },
       std::nullopt, "read", "end before its stream does"},
      // Write errors name the file, as they always did, not the member.
      {"disk full half-way", nullptr, int64_t(2 * kOut), "write", "disk is full"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PackageParts parts = MakeParts({{u"", u"first.txt", "first"}, {u"", u"large.bin", large}, {u"", u"third.txt", "x"}});
    if (c.damage) c.damage(parts);
    Fixture fixture;
    const std::string package = parts.Assemble();
    fixture.memory->SetFreeSpace(c.freeSpace);

    Outcome outcome = fixture.Run(package);

    EXPECT_EQ(KindName(outcome.error), c.kind) << outcome.message;
    EXPECT_NE(outcome.message.find("large.bin"), std::string::npos) << outcome.message;
    EXPECT_NE(outcome.message.find(c.messagePart), std::string::npos) << outcome.message;
    size_t writtenOfLarge = 0;
    for (size_t i = 1; i < fixture.files.writeSizes.size(); ++i) writtenOfLarge += fixture.files.writeSizes[i];
    EXPECT_GT(writtenOfLarge, kOut) << "the failure comes after whole buffers were written";
    EXPECT_EQ(fixture.File(kInstall + u"first.txt"), "first");
    EXPECT_EQ(fixture.File(kInstall + u"large.bin"), "") << "emptied again";
    EXPECT_EQ(fixture.File(kInstall + u"third.txt"), std::nullopt);
    if (c.freeSpace) {
      EXPECT_EQ(fixture.memory->FreeSpace(), *c.freeSpace - 5) << "the emptied bytes are free again";
    }
    EXPECT_EQ(fixture.memory->OpenHandles(), 0);
  }
}

// The same on the platform's own files: the real seam empties the file.
TEST(StreamingExtraction, DamagedLargeMemberIsEmptiedOnThePlatformFileSystem) {
  const std::string large = MixedBytes(2 * kOut + 3, 6);
  PackageParts parts = MakeParts({{u"", u"a.txt", "alpha"}, {u"", u"large.bin", large}});
  parts.streams[1][parts.streams[1].size() - 30] ^= 0x11;
  Sandbox box;
  WatchingFileSystem files(box.Folder("sys"));
  WriteBytes(box.Path("p.stp"), parts.Assemble());

  Outcome outcome = Extract(files, Api(box.Path("p.stp")), box.Folder("inst"));

  EXPECT_EQ(KindName(outcome.error), "decompress") << outcome.message;
  EXPECT_GE(files.writeSizes.size(), 3u) << "bytes of the large member were written before the failure";
  EXPECT_EQ(ReadBytes(box.Path("inst/a.txt")), "alpha");
  EXPECT_EQ(ReadBytes(box.Path("inst/large.bin")), "");
  EXPECT_EQ(files.openFiles, 0);
}

// ---- the writer -------------------------------------------------------------

// A source whose size says more than it gives, or more than a member holds.
class FakeSource final : public PackageInputFile {
 public:
  FakeSource(int64_t claimed, size_t gives) : fClaimed(claimed), fGives(gives) {}
  int64_t Size() override { return fClaimed; }
  void Seek(int64_t offset) override { fPosition = size_t(offset); }
  size_t Read(void* buffer, size_t count) override {
    const size_t n = fPosition < fGives ? std::min(count, fGives - fPosition) : 0;
    std::memset(buffer, 'q', n);
    fPosition += n;
    return n;
  }

 private:
  int64_t fClaimed;
  size_t fGives;
  size_t fPosition = 0;
};

TEST(StreamingWriter, CompressesAFileLargerThanItsBuffersIntoTheSameStream) {
  const std::string data = MixedBytes(3 * PackageWriter::kInputBufferSize + 11, 7);
  MemoryFileSystem files;
  files.PutFile(u"src\\data.bin", data);
  std::string package;
  MemoryOutput output(package);
  PackageWriter writer(output);
  std::unique_ptr<PackageInputFile> source = files.OpenForReading(u"src\\data.bin");
  source->Seek(1000);  // the member is the whole file whatever the position

  writer.AddMember(u"", u"data.bin", false, *source);
  writer.AddMember(u"", u"more.txt", false, "more", 4);
  writer.Finish();

  const std::string expected = CompressMember(data);
  ASSERT_GT(expected.size(), PackageWriter::kOutputBufferSize);
  EXPECT_EQ(package.substr(0, expected.size()), expected);
  Fixture fixture;
  Outcome outcome = fixture.Run(package);
  ASSERT_FALSE(outcome.error) << outcome.message;
  EXPECT_EQ(fixture.File(kInstall + u"data.bin"), data);
  EXPECT_EQ(fixture.File(kInstall + u"more.txt"), "more");
}

TEST(StreamingWriter, RefusesOversizedSourcesFirstAndShrunkSourcesAsItReadsThem) {
  std::string package;
  MemoryOutput output(package);
  PackageWriter writer(output);
  FakeSource tooLarge(int64_t(std::numeric_limits<int32_t>::max()) + 1, 0);
  EXPECT_THROW(writer.AddMember(u"", u"huge.bin", false, tooLarge), LengthError);
  EXPECT_TRUE(package.empty()) << "refused before a byte was written";

  FakeSource shrunk(3 * int64_t(PackageWriter::kInputBufferSize), PackageWriter::kInputBufferSize + 5);
  try {
    writer.AddMember(u"", u"shrunk.bin", false, shrunk);
    ADD_FAILURE() << "a source that ends early was packed";
  } catch (const EPackageError& e) {
    EXPECT_EQ(e.Kind(), PackageErrorKind::Read);
    const std::string expected = "ended after " + std::to_string(PackageWriter::kInputBufferSize + 5) + " of its " +
                                 std::to_string(3 * PackageWriter::kInputBufferSize) + " bytes";
    EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
  }
  // The output holds part of a member now: the writer takes nothing more.
  EXPECT_THROW(writer.AddMember(u"", u"next.txt", false, "x", 1), LogicError);
  EXPECT_THROW(writer.Finish(), LogicError);
}

}  // namespace
}  // namespace vo::test
