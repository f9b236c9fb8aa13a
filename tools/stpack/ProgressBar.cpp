#include "tools/stpack/ProgressBar.h"

#include <algorithm>

#include "tools/stpack/Console.h"

namespace vo::stpack {

namespace {
constexpr int kWidth = 30;
constexpr size_t kLabelWidth = 40;
}  // namespace

ProgressBar::ProgressBar() : fEnabled(ErrIsTerminal()) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(int percent, const std::string& label) {
  if (!fEnabled) return;
  percent = std::clamp(percent, 0, 100);
  if (fDrawn && percent == fPercent && label == fLabel) return;
  fPercent = percent;
  fLabel = label;
  const int filled = percent * kWidth / 100;
  std::string shown = label;
  if (shown.size() > kLabelWidth) {
    size_t cut = shown.size() - (kLabelWidth - 3);
    while (cut < shown.size() && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) ++cut;  // whole UTF-8 characters
    shown = "..." + shown.substr(cut);
  }
  std::string line = "\r[" + std::string(size_t(filled), '#') + std::string(size_t(kWidth - filled), '-') + "] ";
  std::string number = std::to_string(percent);
  line += std::string(3 - std::min<size_t>(3, number.size()), ' ') + number + "%  " + shown;
  line += std::string(kLabelWidth - std::min(kLabelWidth, shown.size()), ' ');
  PrintErr(line);
  fDrawn = true;
}

void ProgressBar::Finish() {
  if (fEnabled && fDrawn) PrintErr("\n");
  fDrawn = false;
  fPercent = -1;
}

}  // namespace vo::stpack
