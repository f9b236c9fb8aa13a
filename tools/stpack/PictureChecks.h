#pragma once
// What the installer expects of the pictures a product folder brings,
// checked when the installer is built rather than on the user's machine:
//
//   banner (ImageLeft0.jpg, ImageLeft2.jpg)  a JPEG that decodes, 160 x 308,
//                                            colour, baseline or progressive
//                                            (no arithmetic coding)
//   header picture (ImageIcon.bmp)           a BMP, 32 x 32, 24 bits per pixel,
//                                            uncompressed
//   application icon (AppIcon.ico)           an .ico holding a 32 x 32 image
//
// Each check raises ToolError with a message that names the file, says what
// is wrong and how to make a picture that works; what the installer would
// show but the publisher probably did not mean is returned as a warning.

#include <string>
#include <string_view>
#include <vector>

namespace vo::stpack {

constexpr int kBannerWidth = 160;
constexpr int kBannerHeight = 308;
constexpr int kHeaderPictureSize = 32;
constexpr int kIconSize = 32;

// Decodes the whole banner. Returns warnings (a grayscale picture, data the
// decoder had to patch up).
std::vector<std::string> CheckBanner(std::string_view bytes, const std::string& fileName);

// Checks the bitmap and returns it as the resource stores it: the bitmap
// without its 14-byte file header, reduced to a 40-byte information header
// followed directly by the pixels.
std::string HeaderBitmapResource(std::string_view bytes, const std::string& fileName);

// Checks the icon file's directory and that it holds a 32 x 32 image whose
// bytes lie inside the file. Returns warnings (a 32 x 32 image stored as PNG,
// which Windows XP cannot show).
std::vector<std::string> CheckIcon(std::string_view bytes, const std::string& fileName);

}  // namespace vo::stpack
