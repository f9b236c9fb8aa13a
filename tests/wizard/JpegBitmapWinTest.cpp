#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "JpegFixtures.h"
#include "text/Error.h"
#include "wizard/JpegBitmap.h"

namespace vo {
namespace {

constexpr int kWidth = 48;
constexpr int kHeight = 32;

// A kWidth x kHeight picture made by libjpeg's own encoder: red on the left
// half, green on the top half, blue throughout, so each corner has its own
// colour.
std::vector<uint8_t> EncodeQuadrants() {
  const std::string jpeg = test::EncodeJpeg(
      kWidth, kHeight, JCS_RGB, 3,
      [](int y, unsigned char* row) {
        for (int x = 0; x < kWidth; ++x) {
          row[x * 3] = x < kWidth / 2 ? 220 : 20;
          row[x * 3 + 1] = y < kHeight / 2 ? 220 : 20;
          row[x * 3 + 2] = 120;
        }
      },
      false, 95);
  return std::vector<uint8_t>(jpeg.begin(), jpeg.end());
}

// The offset of the first marker FF <code> in a JPEG stream: C0 for the
// baseline frame header, DA for the start of the scan.
size_t MarkerOffset(const std::vector<uint8_t>& jpeg, uint8_t code) {
  for (size_t i = 0; i + 9 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
  ADD_FAILURE() << "no marker FF " << int(code);
  return 0;
}

struct Decoded {
  HBITMAP bitmap = nullptr;
  ~Decoded() {
    if (bitmap) ::DeleteObject(bitmap);
  }
};

TEST(DecodeJpegToBitmap, MakesTopDownBgrDib) {
  const std::vector<uint8_t> jpeg = EncodeQuadrants();
  Decoded d;
  d.bitmap = DecodeJpegToBitmap(jpeg.data(), jpeg.size());
  ASSERT_TRUE(d.bitmap);
  DIBSECTION dib = {};
  ASSERT_EQ(::GetObjectW(d.bitmap, sizeof dib, &dib), int(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmWidth, kWidth);
  EXPECT_EQ(dib.dsBm.bmHeight, kHeight);
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);

  const struct {
    int x, y;
    int red, green;
  } corners[] = {{2, 2, 220, 220}, {kWidth - 3, 2, 20, 220}, {2, kHeight - 3, 220, 20},
                 {kWidth - 3, kHeight - 3, 20, 20}};
  // Row 0 in memory is the top row (green); bytes run blue, green, red.
  const auto* bits = static_cast<const uint8_t*>(dib.dsBm.bmBits);
  for (const auto& c : corners) {
    const uint8_t* pixel = bits + c.y * dib.dsBm.bmWidthBytes + c.x * 3;
    EXPECT_NEAR(pixel[0], 120, 16) << "blue at " << c.x << "," << c.y;
    EXPECT_NEAR(pixel[1], c.green, 16) << "green at " << c.x << "," << c.y;
    EXPECT_NEAR(pixel[2], c.red, 16) << "red at " << c.x << "," << c.y;
  }
}

// A stream cut short decodes with a warning; libjpeg fills the missing rows.
TEST(DecodeJpegToBitmap, TruncatedScanStillDecodes) {
  std::vector<uint8_t> jpeg = EncodeQuadrants();
  const size_t scan = MarkerOffset(jpeg, 0xDA);
  jpeg.resize(scan + (jpeg.size() - scan) / 2);
  Decoded d;
  d.bitmap = DecodeJpegToBitmap(jpeg.data(), jpeg.size());
  EXPECT_TRUE(d.bitmap);
}

// Fatal errors arrive as Error with libjpeg's message, its
// numbers filled in.
TEST(DecodeJpegToBitmap, DamagedPicturesRaiseLibjpegsMessage) {
  const std::vector<uint8_t> good = EncodeQuadrants();
  const size_t sof = MarkerOffset(good, 0xC0);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"empty", {}, "JPEG error: Empty input file"},
      {"a PNG", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, "JPEG error: Not a JPEG file: starts with 0x89 0x50"},
      {"12-bit samples", [&] { auto b = good; b[sof + 4] = 12; return b; }(),
       "JPEG error: Unsupported JPEG data precision 12"},
      {"too wide", [&] { auto b = good; b[sof + 7] = 0xFF; b[sof + 8] = 0xFF; return b; }(),
       "JPEG error: Maximum supported image dimension is 65500 pixels"},
      {"no height", [&] { auto b = good; b[sof + 5] = 0; b[sof + 6] = 0; return b; }(),
       "JPEG error: Empty JPEG image (DNL not supported)"},
      {"arithmetic coding", [&] { auto b = good; b[sof + 1] = 0xC9; return b; }(),
       "JPEG error: Sorry, arithmetic coding is not implemented"},
      {"lossless process", [&] { auto b = good; b[sof + 1] = 0xC3; return b; }(),
       "JPEG error: Unsupported JPEG process: SOF type 0xc3"},
  };
  for (const auto& c : cases) {
    try {
      Decoded d;
      d.bitmap = DecodeJpegToBitmap(c.bytes.data(), c.bytes.size());
      ADD_FAILURE() << c.what << ": decoded";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.message) << c.what;
    }
  }
}

}  // namespace
}  // namespace vo
