#include "wizard/PictureScaling.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "text/Error.h"

namespace vo {

namespace {

// The source pixels one output pixel draws from along one axis, and their
// weights (summing to 1).
struct Contributions {
  int first = 0;
  std::vector<float> weights;
};

// A triangle filter whose radius is one source pixel when enlarging and one
// output pixel (in source units) when shrinking; centres of output pixels map
// onto the source's, so that equal sizes give weight 1 to the pixel itself.
std::vector<Contributions> AxisContributions(int sourceLength, int targetLength) {
  const double scale = double(targetLength) / sourceLength;
  const double radius = std::max(1.0, 1.0 / scale);
  std::vector<Contributions> axis(static_cast<size_t>(targetLength));
  for (int i = 0; i < targetLength; ++i) {
    const double centre = (i + 0.5) / scale - 0.5;
    const int first = std::max(0, int(std::floor(centre - radius)) + 1);
    const int last = std::min(sourceLength - 1, int(std::ceil(centre + radius)) - 1);
    Contributions& c = axis[static_cast<size_t>(i)];
    c.first = first;
    double total = 0;
    for (int s = first; s <= last; ++s) {
      const double weight = std::max(0.0, 1.0 - std::fabs(s - centre) / radius);
      c.weights.push_back(float(weight));
      total += weight;
    }
    if (c.weights.empty()) {  // only past the edges; take the nearest pixel
      c.first = std::min(std::max(int(std::lround(centre)), 0), sourceLength - 1);
      c.weights.push_back(1.0f);
      total = 1;
    }
    for (float& weight : c.weights) weight = float(weight / total);
  }
  return axis;
}

uint8_t ToByte(float value) { return uint8_t(std::min(255.0f, std::max(0.0f, value + 0.5f))); }

}  // namespace

Picture ResizePicture(const Picture& source, int width, int height) {
  if (source.width < 1 || source.height < 1 || width < 1 || height < 1 ||
      source.bgra.size() != size_t(source.width) * size_t(source.height) * 4) {
    throw InvalidArgument("ResizePicture: empty picture or size, or pixel buffer of the wrong length");
  }
  if (width == source.width && height == source.height) return source;

  // Across first into floating point rows of the new width, then down.
  const std::vector<Contributions> across = AxisContributions(source.width, width);
  const std::vector<Contributions> down = AxisContributions(source.height, height);
  std::vector<float> rows(size_t(width) * size_t(source.height) * 4);
  for (int y = 0; y < source.height; ++y) {
    const uint8_t* in = &source.bgra[size_t(y) * size_t(source.width) * 4];
    float* out = &rows[size_t(y) * size_t(width) * 4];
    for (int x = 0; x < width; ++x) {
      const Contributions& c = across[size_t(x)];
      float sum[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < c.weights.size(); ++k) {
        const uint8_t* pixel = in + (size_t(c.first) + k) * 4;
        for (int channel = 0; channel < 4; ++channel) sum[channel] += c.weights[k] * pixel[channel];
      }
      std::copy(sum, sum + 4, out + size_t(x) * 4);
    }
  }

  Picture result;
  result.width = width;
  result.height = height;
  result.bgra.resize(size_t(width) * size_t(height) * 4);
  for (int y = 0; y < height; ++y) {
    const Contributions& c = down[size_t(y)];
    uint8_t* out = &result.bgra[size_t(y) * size_t(width) * 4];
    for (int x = 0; x < width; ++x) {
      float sum[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < c.weights.size(); ++k) {
        const float* pixel = &rows[((size_t(c.first) + k) * size_t(width) + size_t(x)) * 4];
        for (int channel = 0; channel < 4; ++channel) sum[channel] += c.weights[k] * pixel[channel];
      }
      // Premultiplied: no colour may exceed its alpha.
      const uint8_t alpha = ToByte(sum[3]);
      for (int channel = 0; channel < 3; ++channel) out[x * 4 + channel] = std::min(ToByte(sum[channel]), alpha);
      out[x * 4 + 3] = alpha;
    }
  }
  return result;
}

void MakeColourTransparent(Picture& picture, uint8_t red, uint8_t green, uint8_t blue) {
  for (size_t i = 0; i + 3 < picture.bgra.size(); i += 4) {
    uint8_t* pixel = &picture.bgra[i];
    const bool transparent = pixel[0] == blue && pixel[1] == green && pixel[2] == red;
    if (transparent) {
      pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
    } else {
      pixel[3] = 255;
    }
  }
}

void CompositeOver(Picture& picture, uint8_t red, uint8_t green, uint8_t blue) {
  const uint8_t background[3] = {blue, green, red};
  for (size_t i = 0; i + 3 < picture.bgra.size(); i += 4) {
    uint8_t* pixel = &picture.bgra[i];
    const int uncovered = 255 - pixel[3];
    for (int channel = 0; channel < 3; ++channel) {
      pixel[channel] = uint8_t(std::min(255, pixel[channel] + (background[channel] * uncovered + 127) / 255));
    }
    pixel[3] = 255;
  }
}

}  // namespace vo
