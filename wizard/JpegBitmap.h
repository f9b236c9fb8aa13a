#pragma once
// Decoding the wizard's JPEG banner into a bitmap the window can draw.

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vo {

// A 24-bit DIB section holding the decoded picture; the caller owns it.
// Raises Error with libjpeg's message when data is not a JPEG
// it can decode.
HBITMAP DecodeJpegToBitmap(const uint8_t* data, size_t size);

}  // namespace vo
