#pragma once
// Helpers for known-answer tests: hex text to bytes, and a byte comparison
// that prints both buffers in hex when they differ.
//
//   const std::vector<uint8_t> key = Hex("2b7e1516 28aed2a6 ...");
//   EXPECT_TRUE(SameBytes(Hex("3ad77bb4..."), out, sizeof out));

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vo::test {

// Hex digits to bytes; spaces, newlines and ':' between digits are skipped.
inline std::vector<uint8_t> Hex(std::string_view text) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<uint8_t> bytes;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\n' || c == '\t' || c == ':') continue;
    const int value = digit(c);
    if (value < 0) throw std::invalid_argument("Hex: bad character in \"" + std::string(text) + "\"");
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(uint8_t(high << 4 | value));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("Hex: odd digit count in \"" + std::string(text) + "\"");
  return bytes;
}

inline std::string ToHex(const void* data, size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  std::string text;
  text.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}
inline std::string ToHex(const std::vector<uint8_t>& bytes) { return ToHex(bytes.data(), bytes.size()); }

inline ::testing::AssertionResult SameBytes(const std::vector<uint8_t>& expected, const void* actual,
                                            size_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(actual);
  if (expected.size() == count && std::equal(expected.begin(), expected.end(), bytes))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\n  expected " << ToHex(expected) << " (" << expected.size()
                                       << " bytes)\n  actual   " << ToHex(bytes, count) << " ("
                                       << count << " bytes)";
}
inline ::testing::AssertionResult SameBytes(const std::vector<uint8_t>& expected,
                                            const std::vector<uint8_t>& actual) {
  return SameBytes(expected, actual.data(), actual.size());
}

}  // namespace vo::test
