#include <cmath>
#include <cstdio>

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

// General format: at most 15 significant digits, no exponent for the values
// shown here, trailing zeros and a bare decimal point dropped.
std::u16string FormatValue(double value, char16_t decimalSeparator) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  std::u16string out = ToU16(text);
  for (char16_t& c : out)
    if (c == u'.') c = decimalSeparator;
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
