#include <cmath>
#include <string>

#include "shell/VoSysUtils.h"

namespace vo {
namespace {

constexpr int64_t kKilo = 1024;
constexpr int64_t kMega = kKilo * 1024;
constexpr int64_t kGiga = kMega * 1024;

// Round to a whole number, a tie going to the even neighbour (independent of
// the floating-point rounding mode).
double RoundHalfEven(double value) {
  const double lower = std::floor(value);
  const double fraction = value - lower;
  if (fraction > 0.5) return lower + 1;
  if (fraction < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

// One decimal up to 100, whole numbers above it.
double RoundForDisplay(double value) {
  if (value > 100) return RoundHalfEven(value);
  return RoundHalfEven(value * 10) * 0.1;
}

std::u16string ToU16(const char* text) {
  std::u16string out;
  for (; *text; ++text) out += char16_t(static_cast<unsigned char>(*text));
  return out;
}

// A value rounded for display (a whole number, or tenths up to 100) with its
// one decimal, if any, after the separator: "12", "12,3". Written by hand
// rather than with snprintf, which would bring the C library's whole
// formatted output into the installer.
std::u16string FormatValue(double value, char16_t decimalSeparator) {
  const long long tenths = static_cast<long long>(value * 10 + 0.5);
  std::u16string out = ToU16(std::to_string(tenths / 10).c_str());
  if (tenths % 10) {
    out += decimalSeparator;
    out += char16_t(u'0' + tenths % 10);
  }
  return out;
}

}  // namespace

std::u16string FormatByteSize(int64_t size, char16_t decimalSeparator) {
  if (size < kKilo) return ToU16(std::to_string(size).c_str()) + u" Bytes";
  if (size < kMega) return FormatValue(RoundHalfEven(double(size) / kKilo), decimalSeparator) + u" KB";
  if (size < kGiga) return FormatValue(RoundForDisplay(double(size) / kKilo / kKilo), decimalSeparator) + u" MB";
  return FormatValue(RoundForDisplay(double(size) / kKilo / kKilo / kKilo), decimalSeparator) + u" GB";
}

std::u16string FormatByteSize(int64_t size) { return FormatByteSize(size, UserDecimalSeparator()); }

}  // namespace vo
