#include "tools/stpack/PictureChecks.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "tools/stpack/Commands.h"

namespace vo::stpack {
namespace {

uint32_t Le16(std::string_view b, size_t at) { return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8; }
uint32_t Le32(std::string_view b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }
int32_t LeSigned32(std::string_view b, size_t at) { return int32_t(Le32(b, at)); }

const char* KindOf(std::string_view bytes) {
  if (bytes.substr(0, 8) == "\x89PNG\r\n\x1A\n") return "a PNG picture";
  if (bytes.substr(0, 3) == "\xFF\xD8\xFF") return "a JPEG picture";
  if (bytes.substr(0, 2) == "BM") return "a BMP picture";
  if (bytes.substr(0, 6) == std::string_view("GIF87a", 6) || bytes.substr(0, 6) == "GIF89a") return "a GIF picture";
  if (bytes.substr(0, 4) == std::string_view("\0\0\1\0", 4)) return "an icon file";
  if (bytes.empty()) return "an empty file";
  return "not a picture this tool knows";
}

// libjpeg reports a fatal error by calling error_exit, which must not return;
// it jumps back into CheckBanner. Warnings are counted.
struct JpegErrors {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  int warnings = 0;
  char firstWarning[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

void OnJpegMessage(j_common_ptr info, int level) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  if (level >= 0) return;  // trace messages
  if (errors->warnings++ == 0) (*info->err->format_message)(info, errors->firstWarning);
}

struct JpegDecoder {
  jpeg_decompress_struct info;
  JpegErrors errors;
  JpegDecoder() { std::memset(&info, 0, sizeof(info)); }
  ~JpegDecoder() { jpeg_destroy_decompress(&info); }
};

}  // namespace

std::vector<std::string> CheckBanner(std::string_view bytes, const std::string& fileName) {
  const std::string fix = " (make one with e.g. `convert picture.png -resize 160x308! -quality 90 " + fileName + "`)";
  if (bytes.substr(0, 3) != "\xFF\xD8\xFF") {
    throw ToolError(fileName + ": is " + KindOf(bytes) + ", not a JPEG; the wizard's banner must be a JPEG of 160 x 308" + fix);
  }
  auto decoder = std::make_unique<JpegDecoder>();
  JpegDecoder& d = *decoder;
  d.info.err = jpeg_std_error(&d.errors.base);
  d.errors.base.error_exit = OnJpegError;
  d.errors.base.emit_message = OnJpegMessage;
  std::vector<uint8_t> row;
  if (setjmp(d.errors.jump)) {
    throw ToolError(fileName + ": the JPEG cannot be decoded: " + d.errors.message + fix);
  }
  jpeg_create_decompress(&d.info);
  jpeg_mem_src(&d.info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&d.info, TRUE);
  if (d.info.arith_code) {
    throw ToolError(fileName + ": uses arithmetic coding, which the installer does not decode; save it as a "
                    "baseline or progressive JPEG" + fix);
  }
  const J_COLOR_SPACE space = d.info.jpeg_color_space;
  if (space == JCS_CMYK || space == JCS_YCCK) {
    throw ToolError(fileName + ": is a CMYK JPEG, which the installer cannot show; save it in RGB" + fix);
  }
  if (int(d.info.image_width) != kBannerWidth || int(d.info.image_height) != kBannerHeight) {
    throw ToolError(fileName + ": is " + std::to_string(d.info.image_width) + " x " +
                    std::to_string(d.info.image_height) + " pixels; the wizard's banner is 160 x 308" + fix);
  }
  d.info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d.info);
  row.resize(size_t(d.info.output_width) * size_t(d.info.output_components));
  while (d.info.output_scanline < d.info.output_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_read_scanlines(&d.info, rows, 1);
  }
  jpeg_finish_decompress(&d.info);

  std::vector<std::string> warnings;
  if (space == JCS_GRAYSCALE) warnings.push_back(fileName + ": is a grayscale JPEG; the banner shows without colour");
  if (d.errors.warnings > 0) {
    warnings.push_back(fileName + ": the JPEG is damaged (" + d.errors.firstWarning +
                       "); the installer shows what the decoder could make of it");
  }
  return warnings;
}

std::string HeaderBitmapResource(std::string_view bytes, const std::string& fileName) {
  const std::string fix = " (make one with e.g. `convert picture.png -resize 32x32! -type TrueColor BMP3:" + fileName + "`)";
  if (bytes.size() < 2 || bytes.substr(0, 2) != "BM") {
    throw ToolError(fileName + ": is " + KindOf(bytes) + ", not a BMP; the header picture must be a 24-bit BMP of 32 x 32" + fix);
  }
  if (bytes.size() < 14 + 40) throw ToolError(fileName + ": the BMP ends inside its headers" + fix);
  const uint32_t pixelOffset = Le32(bytes, 10);
  const uint32_t headerSize = Le32(bytes, 14);
  if (headerSize < 40 || headerSize > 124 || 14 + uint64_t(headerSize) > bytes.size()) {
    throw ToolError(fileName + ": has a BMP header of " + std::to_string(headerSize) +
                    " bytes, which the installer does not read; save it as a Windows 3 BMP (BMP3)" + fix);
  }
  const int32_t width = LeSigned32(bytes, 18);
  const int32_t height = LeSigned32(bytes, 22);
  const uint32_t planes = Le16(bytes, 26);
  const uint32_t bitCount = Le16(bytes, 28);
  const uint32_t compression = Le32(bytes, 30);
  if (width != kHeaderPictureSize || (height != kHeaderPictureSize && height != -kHeaderPictureSize)) {
    throw ToolError(fileName + ": is " + std::to_string(width) + " x " + std::to_string(height < 0 ? -int64_t(height) : height) +
                    " pixels; the header picture is 32 x 32" + fix);
  }
  if (planes != 1 || bitCount != 24) {
    throw ToolError(fileName + ": has " + std::to_string(bitCount) +
                    " bits per pixel; the installer shows only 24-bit header pictures" + fix);
  }
  if (compression != 0) throw ToolError(fileName + ": is compressed; the header picture must be an uncompressed BMP" + fix);
  const uint64_t stride = (uint64_t(width) * 3 + 3) & ~uint64_t(3);
  const uint64_t pixelBytes = stride * kHeaderPictureSize;
  if (pixelOffset < 14 + headerSize || pixelOffset + pixelBytes > bytes.size()) {
    throw ToolError(fileName + ": its pixels (" + std::to_string(pixelBytes) + " bytes at offset " +
                    std::to_string(pixelOffset) + ") do not lie inside the file of " + std::to_string(bytes.size()) +
                    " bytes" + fix);
  }
  // A plain information header, no colour table (24-bit pixels need none),
  // then the pixels: the form LoadImage reads from a bitmap resource.
  std::string resource(bytes.substr(14, 40));
  const uint32_t plainSize = 40;
  std::memcpy(&resource[0], &plainSize, 4);                 // biSize
  std::memset(&resource[32], 0, 8);                         // biClrUsed, biClrImportant
  const uint32_t imageSize = uint32_t(pixelBytes);
  std::memcpy(&resource[20], &imageSize, 4);                // biSizeImage
  resource.append(bytes.substr(pixelOffset, size_t(pixelBytes)));
  return resource;
}

std::vector<std::string> CheckIcon(std::string_view bytes, const std::string& fileName) {
  const std::string fix = " (make one with e.g. `convert icon-16.png icon-32.png icon-48.png " + fileName + "`)";
  if (bytes.size() < 6 || Le16(bytes, 0) != 0 || Le16(bytes, 2) != 1) {
    throw ToolError(fileName + ": is " + KindOf(bytes) + ", not an icon file (.ico)" + fix);
  }
  const uint32_t count = Le16(bytes, 4);
  if (count == 0) throw ToolError(fileName + ": the icon file holds no image" + fix);
  if (6 + uint64_t(count) * 16 > bytes.size()) {
    throw ToolError(fileName + ": its directory of " + std::to_string(count) + " images runs past the end of the file" + fix);
  }
  std::vector<std::string> warnings;
  bool found = false;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = 6 + size_t(i) * 16;
    const uint32_t width = uint8_t(bytes[entry]) ? uint8_t(bytes[entry]) : 256;
    const uint32_t height = uint8_t(bytes[entry + 1]) ? uint8_t(bytes[entry + 1]) : 256;
    const uint32_t size = Le32(bytes, entry + 8);
    const uint32_t offset = Le32(bytes, entry + 12);
    if (size == 0 || uint64_t(offset) + size > bytes.size() || offset < 6 + uint64_t(count) * 16) {
      throw ToolError(fileName + ": image " + std::to_string(i + 1) + " (" + std::to_string(width) + " x " +
                      std::to_string(height) + ") lies outside the file" + fix);
    }
    if (width == kIconSize && height == kIconSize) {
      found = true;
      if (bytes.substr(offset, 4) == "\x89PNG") {
        warnings.push_back(fileName + ": its 32 x 32 image is stored as PNG, which Windows XP does not show");
      }
    }
  }
  if (!found) throw ToolError(fileName + ": holds no 32 x 32 image, the size the installer shows" + fix);
  return warnings;
}

}  // namespace vo::stpack
