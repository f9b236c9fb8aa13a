#pragma once
// Resizing the wizard's pictures for a DPI above or below 96 without the
// blocks of a pixel-repeating stretch: a separable triangle filter (bilinear
// when enlarging, averaging over the covered pixels when shrinking) on
// premultiplied colours, so that transparent pixels do not bleed their colour
// into the edges. Portable; the window converts to and from bitmaps.

#include <cstdint>
#include <vector>

namespace vo {

// Pixels in rows from the top, four bytes each: blue, green, red, alpha, the
// colours premultiplied by alpha (255 opaque, 0 transparent), as in a 32-bit
// top-down DIB.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgra;  // width * height * 4 bytes
};

// The picture resampled to width x height (both at least 1). A picture of
// the same size comes back unchanged.
Picture ResizePicture(const Picture& source, int width, int height);

// Makes every pixel of the given colour transparent, the rest opaque (the
// header picture's transparent colour, as TransparentBlt treats it).
void MakeColourTransparent(Picture& picture, uint8_t red, uint8_t green, uint8_t blue);

// Lays the picture over a background colour: every pixel becomes opaque.
void CompositeOver(Picture& picture, uint8_t red, uint8_t green, uint8_t blue);

}  // namespace vo
