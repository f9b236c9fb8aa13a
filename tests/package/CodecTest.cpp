// The two member codecs: zlib and zstd packages round trip through the
// writer and the extractor, the tail's last byte marks the codec, an unknown
// mark fails clearly, and damaged or oversized zstd members fail as zlib ones
// do, leaving their target empty.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include <zstd.h>

#include "PackageTestSupport.h"
#include "package/MemberZstdDecoder.h"
#include "package/PackageCodec.h"

namespace vo::test {
namespace {

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 engine(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = char(engine());
  return bytes;
}

// Text-like data that compresses well but not to nothing.
std::string Words(size_t size) {
  static const char* const kWords[] = {"setup ", "package ", "member ", "zstd ", "window ", "frame ", "\r\n"};
  std::mt19937 engine(7);
  std::string text;
  while (text.size() < size) text += kWords[engine() % 7];
  text.resize(size);
  return text;
}

// ASCII text both ways; "\\" in a stored folder is "/" on this file system.
std::string Narrow(const std::u16string& text) {
  std::string narrow;
  for (char16_t c : text) narrow += c == u'\\' ? '/' : char(c);
  return narrow;
}
std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

const std::vector<Member>& MixedMembers() {
  static const std::vector<Member> members = {
      {u"", u"empty.txt", ""},
      {u"", u"readme.txt", "Read me first."},
      {u"Lang\\", u"zh.ini", "[zh]\nok=1\n"},
      {u"Data\\", u"random.bin", RandomBytes(600 * 1024, 1)},   // more than one output buffer, incompressible
      {u"Data\\", u"words.txt", Words(700 * 1024)},
      {u"Data\\", u"zeros.bin", std::string(3 * 1024 * 1024, '\0')},  // beyond what zlib's bound allows for zstd's size
  };
  return members;
}

PackageWriterOptions WithCodec(PackageCodec codec) {
  PackageWriterOptions options;
  options.codec = codec;
  return options;
}

TEST(PackageCodec, BothCodecsRoundTripAndMarkTheTail) {
  for (PackageCodec codec : {PackageCodec::Zlib, PackageCodec::Zstd}) {
    SCOPED_TRACE(CodecName(codec));
    if (codec == PackageCodec::Zstd && !CanWriteZstd()) continue;  // the Windows build: see below
    Sandbox box;
    WatchingFileSystem files(box.Folder("sys"));
    const std::string package = WritePackage(MixedMembers(), WithCodec(codec));
    EXPECT_EQ(uint8_t(package.back()), uint8_t(codec));
    WriteBytes(box.Path("p.stp"), package);

    auto input = files.Real().OpenForReading(Api(box.Path("p.stp")));
    EXPECT_EQ(ReadPackageCodec(*input, u"p.stp"), codec);
    input.reset();

    Outcome outcome = Extract(files, Api(box.Path("p.stp")), box.Folder("inst"));
    ASSERT_FALSE(outcome.error) << outcome.message;
    for (const Member& m : MixedMembers()) {
      EXPECT_EQ(ReadBytes(box.Path("inst/" + Narrow(m.folder) + Narrow(m.name))), m.content);
    }
  }
}

TEST(PackageCodec, ZstdMembersAreFramesWithSizeAndChecksum) {
  if (!CanWriteZstd()) GTEST_SKIP() << "this build carries the zstd decoder only";
  const std::string data = Words(5000);
  const std::string frame = CompressMemberZstd(data);
  EXPECT_EQ(uint32_t(ZSTD_MAGICNUMBER), uint32_t(uint8_t(frame[0])) | uint32_t(uint8_t(frame[1])) << 8 |
                            uint32_t(uint8_t(frame[2])) << 16 | uint32_t(uint8_t(frame[3])) << 24);
  EXPECT_EQ(ZSTD_getFrameContentSize(frame.data(), frame.size()), data.size());
  EXPECT_LT(frame.size(), data.size() / 4);
  // The writer writes the same bytes: the first member starts at offset 0.
  const std::string package = WritePackage({{u"", u"w.txt", data}}, WithCodec(PackageCodec::Zstd));
  EXPECT_EQ(package.substr(0, frame.size()), frame);
}

// The Windows package tool carries the decoder only and says so.
TEST(PackageCodec, WriterWithoutCompressorRefusesZstdClearly) {
  if (CanWriteZstd()) GTEST_SKIP() << "this build writes zstd";
  PackageWriterOptions options;
  options.codec = PackageCodec::Zstd;
  try {
    CheckWriterOptions(options);
    FAIL() << "accepted";
  } catch (const InvalidArgument& e) {
    EXPECT_NE(std::string(e.what()).find("cannot write zstd packages"), std::string::npos) << e.what();
  }
}

TEST(PackageCodec, CodecNames) {
  EXPECT_EQ(CodecFromName("zlib"), PackageCodec::Zlib);
  EXPECT_EQ(CodecFromName("ZSTD"), PackageCodec::Zstd);
  EXPECT_EQ(CodecFromName("Best"), PackageCodec::Zstd);
  EXPECT_EQ(CodecFromName("lzma"), std::nullopt);
  EXPECT_EQ(CodecFromName(""), std::nullopt);
}

TEST(PackageCodec, UnknownMarkFailsBeforeAnyMemberIsWritten) {
  for (uint8_t mark : {0x00, 0x01, 0x04, 0xFF}) {
    SCOPED_TRACE(int(mark));
    Sandbox box;
    WatchingFileSystem files(box.Folder("sys"));
    WriteBytes(box.Path("p.stp"), MakeParts(MixedMembers()).Assemble(TailLayout::A, mark));

    Outcome outcome = Extract(files, Api(box.Path("p.stp")), box.Folder("inst"));

    EXPECT_EQ(KindName(outcome.error), "decompress");
    EXPECT_NE(outcome.message.find("this package is compressed with codec " + std::to_string(mark) +
                                   ", which this program cannot read"),
              std::string::npos)
        << outcome.message;
    EXPECT_TRUE(files.created.empty());
  }
}

// A zstd package assembled from its pieces, with the second member's frame
// changed by damage before assembly.
struct DamageCase {
  const char* name;
  std::function<void(PackageParts&)> damage;
  const char* kind;
  const char* messagePart;
  bool refusedBeforeWriting = false;  // by the frame header, before the member's first write
};

TEST(PackageCodec, DamagedZstdMembersFailAndLeaveTheTargetEmpty) {
  if (!CanWriteZstd()) GTEST_SKIP() << "this build carries the zstd decoder only";
  const std::vector<Member> members = {{u"", u"first.txt", "kept"}, {u"", u"second.txt", Words(300 * 1024)},
                                       {u"", u"third.txt", "never reached"}};
  auto setPacked = [](PackageParts& parts, size_t row, int64_t size) {
    parts.rows[row][2] = Wide(std::to_string(size));
  };
  auto setUnpacked = [](PackageParts& parts, size_t row, int64_t size) {
    parts.rows[row][3] = Wide(std::to_string(size));
  };
  const DamageCase cases[] = {
      {"a flipped byte inside the frame",
       [](PackageParts& p) { p.streams[1][p.streams[1].size() / 2] ^= 0x20; }, "decompress", "not a valid zstd frame"},
      {"a flipped checksum byte", [](PackageParts& p) { p.streams[1][p.streams[1].size() - 1] ^= 0x01; },
       "decompress", "checksum"},
      {"not a zstd frame at all", [](PackageParts& p) { p.streams[1][0] = 'X'; }, "decompress", "not a zstd frame"},
      {"a zlib stream in a zstd package",
       [&](PackageParts& p) {
         p.streams[1] = CompressMember(members[1].content);
         setPacked(p, 1, int64_t(p.streams[1].size()));
       },
       "decompress", "not a zstd frame"},
      {"the packed bytes end before the frame",
       [&](PackageParts& p) {
         p.streams[1].resize(p.streams[1].size() - 10);
         setPacked(p, 1, int64_t(p.streams[1].size()));
       },
       "read", "packed bytes end before its stream does"},
      {"the frame declares more than the row's size",
       [&](PackageParts& p) { setUnpacked(p, 1, int64_t(members[1].content.size()) - 1); }, "decompress",
       "holds more than", true},
      {"the frame declares less than the row's size",
       [&](PackageParts& p) { setUnpacked(p, 1, int64_t(members[1].content.size()) + 1); }, "read",
       "its frame declares"},
      {"a row whose size no frame of its packed bytes can reach",
       [&](PackageParts& p) { setUnpacked(p, 1, MaxZstdDecodedSize(int64_t(p.streams[1].size())) + 1); },
       "decompress", "cannot decode to"},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox box;
    WatchingFileSystem files(box.Folder("sys"));
    PackageParts parts = MakeParts(members, PackageCodec::Zstd);
    c.damage(parts);
    WriteBytes(box.Path("p.stp"), parts.Assemble(TailLayout::A, uint8_t(PackageCodec::Zstd)));

    Outcome outcome = Extract(files, Api(box.Path("p.stp")), box.Folder("inst"));

    EXPECT_EQ(KindName(outcome.error), c.kind) << outcome.message;
    EXPECT_NE(outcome.message.find(c.messagePart), std::string::npos) << outcome.message;
    EXPECT_EQ(ReadBytes(box.Path("inst/first.txt")), "kept");
    // A row size beyond any frame is refused before the target is made.
    const auto second = ReadBytes(box.Path("inst/second.txt"));
    EXPECT_TRUE(!second || second->empty());
    EXPECT_FALSE(ReadBytes(box.Path("inst/third.txt")));
    if (c.refusedBeforeWriting) EXPECT_EQ(files.writeSizes, std::vector<size_t>{4});  // first.txt's bytes only
  }
}

// The decoder alone, through buffers down to one byte: a frame header split
// across reads is not checked up front, and the output bound still refuses a
// frame that holds more than its row.
TEST(MemberZstdDecoder, DecodesThroughAnyBufferSizes) {
  if (!CanWriteZstd()) GTEST_SKIP() << "this build carries the zstd decoder only";
  const std::string data = Words(40000) + RandomBytes(3000, 2);
  const std::string frame = CompressMemberZstd(data);
  const std::pair<size_t, size_t> buffers[] = {{1, 1}, {7, 3}, {4096, 100}, {1 << 16, 1 << 18}};
  for (auto [in, out] : buffers) {
    SCOPED_TRACE(std::to_string(in) + "/" + std::to_string(out));
    MemberZstdDecoder decoder(in, out);
    for (int64_t rowSize : {int64_t(data.size()), int64_t(data.size()) - 1}) {
      size_t at = 0;
      std::string produced;
      InflateResult result = decoder.Decode(
          int64_t(frame.size()), rowSize,
          [&](uint8_t* buffer, size_t count) {
            ASSERT_LE(at + count, frame.size());
            std::memcpy(buffer, frame.data() + at, count);
            at += count;
          },
          [&](const uint8_t* bytes, size_t count) {
            ASSERT_LE(count, out);
            produced.append(reinterpret_cast<const char*>(bytes), count);
          });
      if (rowSize == int64_t(data.size())) {
        EXPECT_EQ(result.outcome, InflateOutcome::Complete) << result.detail;
        EXPECT_EQ(produced, data);
        EXPECT_EQ(at, frame.size());
      } else {
        EXPECT_EQ(result.outcome, InflateOutcome::TooLong);
        EXPECT_LE(int64_t(produced.size()), rowSize);
      }
    }
  }
}

// The window bounds the installer's memory: a frame written with a larger
// one is refused by name, whatever its packed bytes hold.
TEST(MemberZstdDecoder, RefusesWindowsAboveEightMiB) {
  if (!CanWriteZstd()) GTEST_SKIP() << "this build carries the zstd decoder only";
  const std::string data = RandomBytes(9 * 1024 * 1024, 3);
  const std::string frame = CompressMemberZstd(data.data(), data.size(), 1, MemberZstdDecoder::kWindowLog + 1);
  MemberZstdDecoder decoder;
  size_t at = 0;
  InflateResult result = decoder.Decode(
      int64_t(frame.size()), int64_t(data.size()),
      [&](uint8_t* buffer, size_t count) {
        std::memcpy(buffer, frame.data() + at, count);
        at += count;
      },
      [](const uint8_t*, size_t) {});
  EXPECT_EQ(result.outcome, InflateOutcome::DataError);
  EXPECT_NE(result.detail.find("window is larger than the 8 MiB"), std::string::npos) << result.detail;
}

}  // namespace
}  // namespace vo::test
