#pragma once
// JPEG pictures made in a test with libjpeg's own encoder, row by row from a
// function that fills each row's samples.

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <cstdio>  // jpeglib.h needs size_t and FILE declared first
#include <jpeglib.h>

namespace vo::test {

// fillRow(y, samples) fills one row of width * components samples.
inline std::string EncodeJpeg(int width, int height, J_COLOR_SPACE space, int components,
                              const std::function<void(int y, unsigned char* samples)>& fillRow,
                              bool arithmetic = false, int quality = 75) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.arith_code = arithmetic ? TRUE : FALSE;
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(size_t(width) * size_t(components));
  while (info.next_scanline < info.image_height) {
    fillRow(int(info.next_scanline), row.data());
    JSAMPROW line = row.data();
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string bytes(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return bytes;
}

}  // namespace vo::test
