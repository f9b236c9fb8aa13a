// The pictures a product folder may bring, checked as the installer will
// read them: each fault a one-line case with the part of the message that
// names it. The pictures are made here: JPEGs with libjpeg's encoder, BMPs
// and icons byte by byte.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <algorithm>

#include "JpegFixtures.h"
#include "tools/stpack/Commands.h"
#include "tools/stpack/DefaultResources.h"
#include "tools/stpack/PictureChecks.h"

namespace vo::stpack {
namespace {

// A picture of one grey.
std::string Jpeg(int width, int height, J_COLOR_SPACE space, int components, bool arithmetic = false) {
  return test::EncodeJpeg(
      width, height, space, components,
      [&](int, unsigned char* samples) { std::fill(samples, samples + width * components, 0x80); }, arithmetic);
}

void Put16(std::string& b, uint32_t v) { b += char(v & 0xFF), b += char(v >> 8 & 0xFF); }
void Put32(std::string& b, uint32_t v) { Put16(b, v & 0xFFFF), Put16(b, v >> 16); }

// A BMP file: 14-byte file header, an information header of headerSize
// bytes, then the pixels (rows of 4-byte multiples).
std::string Bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0, uint32_t headerSize = 40,
                size_t cutPixels = 0) {
  const uint32_t stride = (uint32_t(width) * bits / 8 + 3) & ~3u;
  const uint32_t pixels = stride * uint32_t(height < 0 ? -height : height);
  std::string b = "BM";
  Put32(b, 14 + headerSize + pixels);
  Put32(b, 0);
  Put32(b, 14 + headerSize);
  Put32(b, headerSize);
  Put32(b, uint32_t(width));
  Put32(b, uint32_t(height));
  Put16(b, 1);
  Put16(b, bits);
  Put32(b, compression);
  Put32(b, pixels);
  b.resize(14 + size_t(headerSize), '\0');  // cut or pad to the header's size
  for (uint32_t i = 0; i < pixels; ++i) b += char(i * 7);
  b.resize(b.size() - cutPixels);
  return b;
}

// An icon file with one image per size; each image is `image` bytes long.
std::string Ico(const std::vector<int>& sizes, const std::string& image = std::string(40, 'x'), uint32_t badOffset = 0) {
  std::string b;
  Put16(b, 0), Put16(b, 1), Put16(b, uint32_t(sizes.size()));
  uint32_t offset = 6 + 16 * uint32_t(sizes.size());
  for (int size : sizes) {
    b += char(size == 256 ? 0 : size), b += char(size == 256 ? 0 : size), b += '\0', b += '\0';
    Put16(b, 1), Put16(b, 32), Put32(b, uint32_t(image.size())), Put32(b, badOffset ? badOffset : offset);
    offset += uint32_t(image.size());
  }
  for (size_t i = 0; i < sizes.size(); ++i) b += image;
  return b;
}

std::string Refusal(const std::function<void()>& check) {
  try {
    check();
  } catch (const ToolError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(PictureChecks, Banners) {
  const std::string good = Jpeg(160, 308, JCS_RGB, 3);
  EXPECT_TRUE(CheckBanner(good, "ImageLeft2.jpg").empty());
  std::string truncated = good.substr(0, good.size() / 2);
  const struct {
    const char* name;
    std::string bytes;
    const char* message;
  } refused[] = {
      {"png", "\x89PNG\r\n\x1A\nrest", "ImageLeft2.jpg: is a PNG picture, not a JPEG"},
      {"empty", "", "ImageLeft2.jpg: is an empty file, not a JPEG"},
      {"wrong size", Jpeg(161, 308, JCS_RGB, 3), "is 161 x 308 pixels; the wizard's banner is 160 x 308"},
      {"cmyk", Jpeg(160, 308, JCS_CMYK, 4), "is a CMYK JPEG"},
      {"header only", good.substr(0, 20), "the JPEG cannot be decoded"},
  };
  for (const auto& c : refused) {
    const std::string message = Refusal([&] { CheckBanner(c.bytes, "ImageLeft2.jpg"); });
    EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
    EXPECT_NE(message.find("convert"), std::string::npos) << c.name << ": no remedy in " << message;
  }
#ifndef _WIN32
  // The Windows build's libjpeg is built without arithmetic coding, so only
  // the native one can make such a picture.
  const std::string arithmetic = Refusal([&] { CheckBanner(Jpeg(160, 308, JCS_RGB, 3, true), "b.jpg"); });
  EXPECT_NE(arithmetic.find("uses arithmetic coding"), std::string::npos) << arithmetic;
#endif
  const std::vector<std::string> gray = CheckBanner(Jpeg(160, 308, JCS_GRAYSCALE, 1), "b.jpg");
  ASSERT_EQ(gray.size(), 1u);
  EXPECT_NE(gray[0].find("grayscale"), std::string::npos);
  const std::vector<std::string> damaged = CheckBanner(truncated, "b.jpg");
  ASSERT_EQ(damaged.size(), 1u);
  EXPECT_NE(damaged[0].find("damaged"), std::string::npos);
}

TEST(PictureChecks, HeaderBitmaps) {
  for (int32_t height : {32, -32}) {
    const std::string file = Bmp(32, height, 24, 0, 108);  // a V4 header, as ImageMagick writes by default
    const std::string resource = HeaderBitmapResource(file, "ImageIcon.bmp");
    ASSERT_EQ(resource.size(), 40u + 96u * 32u);
    uint32_t headerSize = 0;
    std::memcpy(&headerSize, resource.data(), 4);
    EXPECT_EQ(headerSize, 40u);
    EXPECT_EQ(resource.substr(40), file.substr(14 + 108)) << "pixels follow the header directly";
  }
  const struct {
    const char* name;
    std::string bytes;
    const char* message;
  } refused[] = {
      {"32 bits", Bmp(32, 32, 32), "has 32 bits per pixel; the installer shows only 24-bit"},
      {"8 bits", Bmp(32, 32, 8), "has 8 bits per pixel"},
      {"wrong size", Bmp(48, 48, 24), "is 48 x 48 pixels; the header picture is 32 x 32"},
      {"compressed", Bmp(32, 32, 24, 1), "is compressed"},
      {"core header", Bmp(32, 32, 24, 0, 12).substr(0, 60), "has a BMP header of 12 bytes"},
      {"cut pixels", Bmp(32, 32, 24, 0, 40, 10), "its pixels (3072 bytes at offset 54) do not lie inside the file"},
      {"empty", "", "is an empty file, not a BMP"},
      {"jpeg", Jpeg(32, 32, JCS_RGB, 3), "is a JPEG picture, not a BMP"},
  };
  for (const auto& c : refused) {
    const std::string message = Refusal([&] { HeaderBitmapResource(c.bytes, "ImageIcon.bmp"); });
    EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
    EXPECT_NE(message.find("BMP3:ImageIcon.bmp"), std::string::npos) << c.name << ": no remedy in " << message;
  }
}

TEST(PictureChecks, Icons) {
  EXPECT_TRUE(CheckIcon(Ico({16, 32, 48}), "AppIcon.ico").empty());
  const std::vector<std::string> png = CheckIcon(Ico({32}, "\x89PNG rest of it"), "AppIcon.ico");
  ASSERT_EQ(png.size(), 1u);
  EXPECT_NE(png[0].find("stored as PNG"), std::string::npos);
  const struct {
    const char* name;
    std::string bytes;
    const char* message;
  } refused[] = {
      {"no 32 x 32", Ico({16, 48, 256}), "holds no 32 x 32 image"},
      {"no image", Ico({}), "holds no image"},
      {"image outside", Ico({32}, std::string(40, 'x'), 5000), "image 1 (32 x 32) lies outside the file"},
      {"directory cut", Ico({16, 32}).substr(0, 20), "its directory of 2 images runs past the end"},
      {"bmp", Bmp(32, 32, 24), "is a BMP picture, not an icon file"},
  };
  for (const auto& c : refused) {
    const std::string message = Refusal([&] { CheckIcon(c.bytes, "AppIcon.ico"); });
    EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
  }
}

TEST(PictureChecks, TheDefaultsPassTheirOwnChecks) {
  EXPECT_TRUE(CheckBanner(defaults::kBannerChinese, "ImageLeft0.jpg").empty());
  EXPECT_TRUE(CheckBanner(defaults::kBannerEnglish, "ImageLeft2.jpg").empty());
  EXPECT_EQ(HeaderBitmapResource(defaults::kHeaderPicture, "ImageIcon.bmp").size(), 40u + 96u * 32u);
  EXPECT_TRUE(CheckIcon(defaults::kAppIcon, "AppIcon.ico").empty());
}

}  // namespace
}  // namespace vo::stpack
