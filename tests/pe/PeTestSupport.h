#pragma once
// Helpers shared by the PE tests: file-backed and generated sources, a file
// sink, CRC-32 for comparing large data without holding it, and a check that
// runs a callable and returns the PeError message it raised.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "PeImageBuilder.h"
#include "pe/PeImage.h"
#include "pe/PeIo.h"
#include "pe/PeResources.h"

namespace vo::pe::test {

namespace fs = std::filesystem;

// The message of the PeError fn raises, or "no error".
inline std::string ErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const PeError& e) {
    return e.what();
  }
  return "no error";
}

inline uint32_t Crc32(uint32_t crc, const void* data, size_t count) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  const uint8_t* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (size_t i = 0; i < count; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}
inline uint32_t Crc32(const std::string& bytes) { return Crc32(0, bytes.data(), bytes.size()); }

// CRC-32 of count bytes of a source from offset, read in chunks.
inline uint32_t Crc32Of(Source& source, uint64_t offset, uint64_t count) {
  std::string buffer(1 << 16, '\0');
  uint32_t crc = 0;
  while (count > 0) {
    const size_t chunk = size_t(std::min<uint64_t>(count, buffer.size()));
    source.ReadAt(offset, buffer.data(), chunk);
    crc = Crc32(crc, buffer.data(), chunk);
    offset += chunk;
    count -= chunk;
  }
  return crc;
}

// size bytes that are a function of their offset, made on demand; records
// the largest single read so a test can show nobody read it whole.
class GeneratedSource final : public Source {
 public:
  explicit GeneratedSource(uint64_t size) : fSize(size) {}
  static uint8_t ByteAt(uint64_t offset) { return uint8_t((uint32_t(offset) * 2654435761u) >> 24 ^ (offset >> 12)); }
  uint64_t Size() const override { return fSize; }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (offset > fSize || count > fSize - offset) throw PeError("generated source: read past its end");
    uint8_t* out = static_cast<uint8_t*>(buffer);
    for (size_t i = 0; i < count; ++i) out[i] = ByteAt(offset + i);
    largestRead = std::max(largestRead, count);
    bytesRead += count;
  }
  size_t largestRead = 0;
  uint64_t bytesRead = 0;

 private:
  uint64_t fSize;
};

class FileSource final : public Source {
 public:
  explicit FileSource(const fs::path& path) : fIn(path, std::ios::binary) {
    if (!fIn) throw PeError("cannot open " + path.string());
    fIn.seekg(0, std::ios::end);
    fSize = uint64_t(fIn.tellg());
  }
  uint64_t Size() const override { return fSize; }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (offset > fSize || count > fSize - offset) throw PeError("file source: read past its end");
    fIn.seekg(std::streamoff(offset));
    fIn.read(static_cast<char*>(buffer), std::streamsize(count));
    if (size_t(fIn.gcount()) != count) throw PeError("file source: short read");
  }

 private:
  std::ifstream fIn;
  uint64_t fSize = 0;
};

class FileSink final : public Sink {
 public:
  explicit FileSink(const fs::path& path) : fOut(path, std::ios::binary | std::ios::trunc) {
    if (!fOut) throw PeError("cannot create " + path.string());
  }
  void Write(const void* data, size_t count) override {
    fOut.write(static_cast<const char*>(data), std::streamsize(count));
    fSize += count;
  }
  void WriteAt(uint64_t offset, const void* data, size_t count) override {
    fOut.seekp(std::streamoff(offset));
    fOut.write(static_cast<const char*>(data), std::streamsize(count));
    fOut.seekp(0, std::ios::end);
  }
  void Close() {
    fOut.close();
    if (fOut.fail()) throw PeError("writing the output file failed");
  }

 private:
  std::ofstream fOut;
  uint64_t fSize = 0;
};

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

// A folder of its own under the temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    fPath = fs::temp_directory_path() / ("vo-pe-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                                         std::to_string(std::random_device()() % 1000000));
    fs::remove_all(fPath);
    fs::create_directories(fPath);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(fPath, ignored);
  }
  fs::path operator/(const std::string& name) const { return fPath / name; }

 private:
  fs::path fPath;
};

// An icon file of two images: a 32-bit bitmap (56 bytes) whose directory
// entry leaves planes and bits at 0, and a PNG (16 bytes) of 256 x 256 (width
// and height stored as 0).
inline std::string TwoImageIcon() {
  std::string bitmap(40 + 16, '\x55');
  Put32(bitmap, 0, 40);   // biSize
  Put16(bitmap, 12, 1);   // biPlanes
  Put16(bitmap, 14, 32);  // biBitCount
  const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + "IHDRdata";
  const uint32_t first = 6 + 2 * 16;
  std::string file(first, '\0');
  Put16(file, 0, 0);  // reserved
  Put16(file, 2, 1);  // icon
  Put16(file, 4, 2);  // images
  file[6] = 2;        // 2 x 2, planes and bits 0
  file[7] = 2;
  Put32(file, 6 + 8, uint32_t(bitmap.size()));
  Put32(file, 6 + 12, first);
  Put16(file, 22 + 4, 1);  // 256 x 256, 1 plane, 32 bits
  Put16(file, 22 + 6, 32);
  Put32(file, 22 + 8, uint32_t(png.size()));
  Put32(file, 22 + 12, first + uint32_t(bitmap.size()));
  return file + bitmap + png;
}

}  // namespace vo::pe::test
