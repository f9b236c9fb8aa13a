#include "wizard/WizardLayout.h"

#include <cstdint>
#include <string>

#include "settings/Language.h"
#include "text/Error.h"
#include "wizard/ControlIds.h"

namespace vo {

namespace {

// value * numerator / denominator to the nearest integer, halves away from zero.
int MulDivRounded(int value, int numerator, int denominator) {
  const int64_t product = int64_t(value) * numerator;
  const int64_t half = denominator / 2;
  return int((product >= 0 ? product + half : product - half) / denominator);
}

constexpr int kPageHeight = 308;
constexpr int kHeaderHeight = 56;

}  // namespace

int ScaleToDpi(int value, int dpi) { return MulDivRounded(value, dpi, kDesignDpi); }

LayoutPoint ScaleToDpi(LayoutPoint point, int dpi) { return {ScaleToDpi(point.left, dpi), ScaleToDpi(point.top, dpi)}; }

LayoutSize ScaleToDpi(LayoutSize size, int dpi) { return {ScaleToDpi(size.width, dpi), ScaleToDpi(size.height, dpi)}; }

LayoutRect ScaleToDpi(const LayoutRect& rect, int dpi) {
  const int left = ScaleToDpi(rect.left, dpi);
  const int top = ScaleToDpi(rect.top, dpi);
  return {left, top, ScaleToDpi(rect.left + rect.width, dpi) - left, ScaleToDpi(rect.top + rect.height, dpi) - top};
}

const std::vector<DesignedControl>& DesignedControls() {
  using S = LayoutSizing;
  static const std::vector<DesignedControl> controls = {
      // The window: the four pages fill its top at its full width, the
      // buttons sit below them. The separator line runs past both edges.
      {kIdPnlStep1, 0, {0, 0, 0, kPageHeight}, S::kParentWidth},
      {kIdPnlStep2, 0, {0, 0, 0, kPageHeight}, S::kParentWidth},
      {kIdPnlStep3, 0, {0, 0, 0, kPageHeight}, S::kParentWidth},
      {kIdPnlStep4, 0, {0, 0, 0, kPageHeight}, S::kParentWidth},
      {kIdBevel1, 0, {-1, 308, 555, 2}, S::kFixed},
      {kIdBtnPrev, 0, {253, 323, 77, 22}, S::kFixed},
      {kIdBtnNext, 0, {330, 323, 77, 22}, S::kFixed},
      {kIdBtnClose, 0, {417, 323, 62, 22}, S::kFixed},
      {kIdProgressBar1, 0, {35, 328, 185, 12}, S::kFixed},
      // Page 1: welcome; the banner moves to page 4 at the same place.
      {kIdImage1, kIdPnlStep1, {0, 0, 160, kPageHeight}, S::kFixed},
      {kIdLblWelcome, kIdPnlStep1, {183, 20, 305, 53}, S::kFixed},
      {kIdLblWillInstall, kIdPnlStep1, {184, 96, 304, 148}, S::kFixed},
      // Page 2: licence agreement, under a header with a picture on its right.
      {kIdPanel3, kIdPnlStep2, {0, 0, 0, kHeaderHeight}, S::kParentWidth},
      {kIdLblLicense, kIdPanel3, {17, 20, 0, 0}, S::kToText},
      {kIdLblLicenseTip, kIdPanel3, {36, 28, 0, 0}, S::kToText},
      {kIdImage2, kIdPanel3, {0, 0, 67, kHeaderHeight}, S::kRightAligned},
      {kIdBevel2, kIdPnlStep2, {0, kHeaderHeight, 0, 2}, S::kParentWidth},
      {kIdMemo2, kIdPnlStep2, {18, 75, 459, 177}, S::kFixed},
      {kIdLblAgreement, kIdPnlStep2, {23, 267, 437, 32}, S::kFixed},
      // Page 3: destination folder and options.
      {kIdPanel4, kIdPnlStep3, {0, 0, 0, kHeaderHeight}, S::kParentWidth},
      {kIdLblFolder, kIdPanel4, {17, 20, 0, 0}, S::kToText},
      {kIdLblFolderTip, kIdPanel4, {36, 28, 0, 0}, S::kToText},
      {kIdImage3, kIdPanel4, {0, 0, 67, kHeaderHeight}, S::kRightAligned},
      {kIdBevel3, kIdPnlStep3, {0, kHeaderHeight, 0, 2}, S::kParentWidth},
      {kIdLblSetupFolder, kIdPnlStep3, {40, 75, 420, 49}, S::kFixed},
      {kIdGbFolder, kIdPnlStep3, {40, 132, 419, 63}, S::kFixed},
      {kIdEditSetupDir, kIdGbFolder, {17, 24, 305, 21}, S::kFixed},
      {kIdBtnBrowse, kIdGbFolder, {325, 24, 77, 21}, S::kFixed},
      {kIdLblNeedSize, kIdPnlStep3, {41, 221, 0, 0}, S::kToText},
      {kIdLblFreeSize, kIdPnlStep3, {41, 247, 0, 0}, S::kToText},
      {kIdChkSCOnDesktop, kIdPnlStep3, {237, 217, 151, 20}, S::kFixed},
      {kIdChkSCOnQuick, kIdPnlStep3, {237, 243, 184, 20}, S::kFixed},
      // Page 4: completion.
      {kIdLblComplete, kIdPnlStep4, {183, 20, 305, 53}, S::kFixed},
      {kIdLblClose, kIdPnlStep4, {184, 89, 302, 65}, S::kFixed},
      {kIdChkRunOnExit, kIdPnlStep4, {207, 111, 203, 14}, S::kFixed},
  };
  return controls;
}

const DesignedControl& DesignedControlOf(int id) {
  for (const DesignedControl& control : DesignedControls()) {
    if (control.id == id) return control;
  }
  throw OutOfRange("No designed place for wizard control " + std::to_string(id));
}

std::vector<LanguageMove> LanguageMoves(int uiLanguage) {
  if (uiLanguage == kUiChinese) {
    return {{kIdLblWelcome, {193, 40}}, {kIdLblWillInstall, {193, 116}}, {kIdLblComplete, {203, 28}}};
  }
  return {{kIdLblFolder, FolderTitleAboveNotice()}, {kIdLblLicense, {17, 9}}, {kIdChkRunOnExit, {186, 170}}};
}

LayoutPoint FolderTitleAboveNotice() { return {17, 9}; }

LayoutSize DesignedWindowSize(int windowsMajorVersion) { return {503, windowsMajorVersion >= 6 ? 398 : 385}; }

int UnscaleFromDpi(int value, int dpi) { return MulDivRounded(value, kDesignDpi, dpi); }

LayoutSize ScaledWindowSize(LayoutSize designed, LayoutSize frameAtDesign, LayoutSize frame, int dpi) {
  const LayoutSize designedClient = {designed.width - frameAtDesign.width, designed.height - frameAtDesign.height};
  const LayoutSize client = ScaleToDpi(designedClient, dpi);
  return {client.width + frame.width, client.height + frame.height};
}

}  // namespace vo
