#include <gtest/gtest.h>

#include <string>

#include "text/Error.h"
#include "wizard/PictureScaling.h"

namespace vo {
namespace {

// Pixels given as "B G R A" quadruples in rows from the top.
Picture MakePicture(int width, int height, std::vector<uint8_t> bgra) {
  Picture p;
  p.width = width;
  p.height = height;
  p.bgra = std::move(bgra);
  return p;
}

Picture Filled(int width, int height, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  Picture p;
  p.width = width;
  p.height = height;
  for (int i = 0; i < width * height; ++i) p.bgra.insert(p.bgra.end(), {b, g, r, a});
  return p;
}

// The red channel of each pixel, for one-row pictures.
std::vector<int> Reds(const Picture& p) {
  std::vector<int> reds;
  for (size_t i = 2; i < p.bgra.size(); i += 4) reds.push_back(p.bgra[i]);
  return reds;
}

TEST(PictureScaling, SameSizeIsUnchanged) {
  const Picture source = MakePicture(2, 2, {1, 2, 3, 255, 40, 50, 60, 255, 7, 8, 9, 255, 200, 100, 0, 255});
  const Picture same = ResizePicture(source, 2, 2);
  EXPECT_EQ(same.bgra, source.bgra);
}

TEST(PictureScaling, FlatColourStaysFlatAtEverySize) {
  const Picture flat = Filled(7, 5, 30, 120, 210, 255);
  const std::pair<int, int> sizes[] = {{11, 8}, {14, 10}, {3, 2}, {1, 1}, {7, 13}, {160, 1}};
  for (const auto& [width, height] : sizes) {
    const Picture resized = ResizePicture(flat, width, height);
    ASSERT_EQ(resized.bgra.size(), size_t(width * height * 4));
    EXPECT_EQ(resized.bgra, Filled(width, height, 30, 120, 210, 255).bgra) << width << "x" << height;
  }
}

// Enlarging interpolates between pixel centres and holds the edge pixels;
// shrinking weighs the covered pixels with a triangle twice as wide.
TEST(PictureScaling, KnownValues) {
  const Picture ramp = MakePicture(2, 1, {0, 0, 0, 255, 0, 0, 255, 255});
  EXPECT_EQ(Reds(ResizePicture(ramp, 4, 1)), (std::vector<int>{0, 64, 191, 255}));
  EXPECT_EQ(Reds(ResizePicture(ramp, 3, 1)), (std::vector<int>{0, 128, 255}));
  const Picture step = MakePicture(4, 1, {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255});
  EXPECT_EQ(Reds(ResizePicture(step, 2, 1)), (std::vector<int>{36, 219}));
}

// The header picture's transparent colour must not tint its smoothed edges:
// a red pixel beside a transparent magenta one, enlarged and laid over white,
// gives only mixes of red and white (green equal to blue), never a purple.
TEST(PictureScaling, TransparentColourDoesNotBleed) {
  Picture icon = MakePicture(2, 1, {0, 0, 255, 0, 255, 0, 255, 0});  // red, magenta (alpha ignored)
  MakeColourTransparent(icon, 255, 0, 255);
  EXPECT_EQ(icon.bgra, (std::vector<uint8_t>{0, 0, 255, 255, 0, 0, 0, 0}));
  Picture shown = ResizePicture(icon, 4, 1);
  CompositeOver(shown, 255, 255, 255);
  ASSERT_EQ(shown.bgra.size(), 16u);
  const std::vector<uint8_t> expected = {0, 0, 255, 255, 64, 64, 255, 255, 191, 191, 255, 255, 255, 255, 255, 255};
  EXPECT_EQ(shown.bgra, expected);
}

// At 96 DPI the header picture is not resized: laying it over the panel's
// colour gives exactly what drawing with a transparent colour gives.
TEST(PictureScaling, UnscaledTransparencyIsExact) {
  Picture icon = MakePicture(3, 1, {255, 0, 255, 0, 12, 34, 56, 0, 255, 0, 254, 0});
  MakeColourTransparent(icon, 255, 0, 255);
  CompositeOver(icon, 255, 251, 240);
  EXPECT_EQ(icon.bgra, (std::vector<uint8_t>{240, 251, 255, 255, 12, 34, 56, 255, 255, 0, 254, 255}));
}

TEST(PictureScaling, RejectsEmptyPicturesAndSizes) {
  const Picture good = Filled(2, 2, 0, 0, 0, 255);
  Picture shortBuffer = good;
  shortBuffer.bgra.pop_back();
  EXPECT_THROW(ResizePicture(Picture{}, 4, 4), InvalidArgument);
  EXPECT_THROW(ResizePicture(good, 0, 4), InvalidArgument);
  EXPECT_THROW(ResizePicture(good, 4, -1), InvalidArgument);
  EXPECT_THROW(ResizePicture(shortBuffer, 4, 4), InvalidArgument);
}

}  // namespace
}  // namespace vo
