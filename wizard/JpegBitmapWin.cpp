#include "wizard/JpegBitmap.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "text/Error.h"

// jpeglib.h needs size_t and FILE declared first; jerror.h, included
// without JMESSAGE, declares the message codes.
#include <jpeglib.h>
#include <jerror.h>

namespace vo {

namespace {

// libjpeg's own error manager (jpeg_std_error) formats its messages with
// sprintf and prints them with fprintf, which would link the C library's
// printf machinery into the installer for a message no one reads. This one
// keeps libjpeg's message table and fills in the few numbers a message
// carries itself.
// Two entries of the table are the library's version and copyright, which
// only trace output shows; their texts live in a header libjpeg does not
// install.
// Only error texts are kept: warnings and trace messages are counted or
// dropped, never formatted, and their 2 KB of text would only weigh on the
// installer; their entries are null, which FormatJpegMessage shows as an
// unknown message.
constexpr bool IsWarningOrTrace(const char* code) {
  return code[0] == 'J' && (code[1] == 'W' || code[1] == 'T') && code[2] == 'R';  // JWRN_, JTRC_
}
#define JVERSION "libjpeg-turbo"
#define JCOPYRIGHT_SHORT ""
#define JMESSAGE(code, text) IsWarningOrTrace(#code) ? nullptr : text,
constexpr const char* kJpegMessages[] = {
#include <jerror.h>
    nullptr};
#undef JMESSAGE

// libjpeg reports a fatal error by calling error_exit, which must not return;
// it jumps back here, because a C++ exception cannot cross the C library.
struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

// Appends value in the given base, padded to width with pad.
char* PutNumber(char* out, char* end, long value, unsigned base, int width, char pad) {
  char digits[16];
  int count = 0;
  unsigned long magnitude = value < 0 && base == 10 ? 0ul - static_cast<unsigned long>(value)
                                                    : static_cast<unsigned long>(value);
  if (base == 16) magnitude &= 0xFFFFFFFFul;
  do {
    digits[count++] = "0123456789abcdef"[magnitude % base];
    magnitude /= base;
  } while (magnitude && count < 16);
  if (value < 0 && base == 10 && out < end) *out++ = '-';
  for (int i = count; i < width && out < end; ++i) *out++ = pad;
  while (count && out < end) *out++ = digits[--count];
  return out;
}

// The message of the error or warning in info->err, as libjpeg's printf
// formats in its table (%d, %u, %x, %c, %s with a width) would write it.
void FormatJpegMessage(j_common_ptr info, char* buffer) {
  const jpeg_error_mgr& errors = *info->err;
  const char* text = errors.msg_code > 0 && errors.msg_code <= errors.last_jpeg_message
                         ? errors.jpeg_message_table[errors.msg_code]
                         : nullptr;
  char* out = buffer;
  char* const end = buffer + JMSG_LENGTH_MAX - 1;
  if (!text) {
    const char unknown[] = "unknown libjpeg message ";
    for (const char* c = unknown; *c && out < end; ++c) *out++ = *c;
    out = PutNumber(out, end, errors.msg_code, 10, 0, ' ');
    *out = '\0';
    return;
  }
  int next = 0;  // the next number in msg_parm.i
  while (*text && out < end) {
    if (*text != '%') {
      *out++ = *text++;
      continue;
    }
    ++text;
    const char pad = *text == '0' ? '0' : ' ';
    int width = 0;
    while (*text >= '0' && *text <= '9') width = width * 10 + (*text++ - '0');
    const char kind = *text ? *text++ : '\0';
    if (kind == 's') {
      for (const char* c = errors.msg_parm.s; *c && c < errors.msg_parm.s + JMSG_STR_PARM_MAX && out < end; ++c)
        *out++ = *c;
    } else if (kind == 'c' && next < 8) {
      *out++ = static_cast<char>(errors.msg_parm.i[next++]);
    } else if ((kind == 'd' || kind == 'u' || kind == 'x') && next < 8) {
      const int value = errors.msg_parm.i[next++];
      out = kind == 'd'   ? PutNumber(out, end, value, 10, width, pad)
            : kind == 'u' ? PutNumber(out, end, static_cast<unsigned>(value), 10, width, pad)
                          : PutNumber(out, end, static_cast<unsigned>(value), 16, width, pad);
    } else if (kind == '%') {
      *out++ = '%';
    }
  }
  *out = '\0';
}

void OnJpegError(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
  FormatJpegMessage(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings (a damaged but readable picture) and trace messages are not
// shown; the warnings are counted as libjpeg's own manager does.
void OnJpegMessage(j_common_ptr info, int level) {
  if (level < 0) ++info->err->num_warnings;
}

void IgnoreJpegOutput(j_common_ptr) {}

void ResetJpegErrors(j_common_ptr info) {
  info->err->num_warnings = 0;
  info->err->msg_code = 0;
}

void InitJpegErrors(JpegErrorManager& errors) {
  std::memset(&errors.base, 0, sizeof(errors.base));
  errors.base.error_exit = OnJpegError;
  errors.base.emit_message = OnJpegMessage;
  errors.base.output_message = IgnoreJpegOutput;
  errors.base.format_message = FormatJpegMessage;
  errors.base.reset_error_mgr = ResetJpegErrors;
  errors.base.jpeg_message_table = kJpegMessages;
  errors.base.last_jpeg_message = static_cast<int>(JMSG_LASTMSGCODE) - 1;
  errors.message[0] = '\0';
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
  InitJpegErrors(d.errors);
  d.info.err = &d.errors.base;
  if (setjmp(d.errors.jump)) {
    throw Error(std::string("JPEG error: ") + d.errors.message);
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
  if (!d.bitmap || !bits) throw Error("JPEG error: cannot create the bitmap");
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
