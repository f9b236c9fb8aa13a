#include "wizard/JpegBitmap.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace vo {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return;
// it jumps back here, because a C++ exception cannot cross the C library.
struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// The decoder and, once made, the bitmap; released on every path.
struct Decoder {
  jpeg_decompress_struct info;
  JpegErrorManager errors;
  HBITMAP bitmap = nullptr;
  Decoder() { std::memset(&info, 0, sizeof(info)); }
  ~Decoder() {
    jpeg_destroy_decompress(&info);
    if (bitmap) ::DeleteObject(bitmap);
  }
};

}  // namespace

HBITMAP DecodeJpegToBitmap(const uint8_t* data, size_t size) {
  Decoder d;
  d.info.err = jpeg_std_error(&d.errors.base);
  d.errors.base.error_exit = OnJpegError;
  d.errors.message[0] = '\0';
  if (setjmp(d.errors.jump)) {
    throw std::runtime_error(std::string("JPEG error: ") + d.errors.message);
  }
  jpeg_create_decompress(&d.info);
  jpeg_mem_src(&d.info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&d.info, TRUE);
  d.info.out_color_space = JCS_EXT_BGR;  // the byte order of a 24-bit DIB
  jpeg_start_decompress(&d.info);

  const LONG width = static_cast<LONG>(d.info.output_width);
  const LONG height = static_cast<LONG>(d.info.output_height);
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;  // top-down, row order of the decoder
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 24;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  d.bitmap = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!d.bitmap || !bits) throw std::runtime_error("JPEG error: cannot create the bitmap");
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  auto* rows = static_cast<unsigned char*>(bits);
  while (d.info.output_scanline < d.info.output_height) {
    JSAMPROW row = rows + stride * d.info.output_scanline;
    jpeg_read_scanlines(&d.info, &row, 1);
  }
  jpeg_finish_decompress(&d.info);
  HBITMAP result = d.bitmap;
  d.bitmap = nullptr;
  return result;
}

}  // namespace vo
