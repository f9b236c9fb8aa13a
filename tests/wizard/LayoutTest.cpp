#include <gtest/gtest.h>

#include <string>

#include "settings/Language.h"
#include "wizard/ControlIds.h"
#include "wizard/WizardLayout.h"

namespace vo {
namespace {

const int kDpis[] = {72, 96, 120, 144, 168, 192, 240};

TEST(WizardLayout, ScalesLengthsToTheNearestPixel) {
  struct Case {
    int value, dpi, expected;
  };
  const Case cases[] = {
      {0, 144, 0},     {1, 144, 2},     {-1, 144, -2},   {77, 144, 116},  {308, 144, 462}, {503, 120, 629},
      {62, 120, 78},   {2, 120, 3},     {5, 192, 10},    {-1, 72, -1},    {160, 72, 120},  {11, 144, 17},
      {555, 144, 833}, {253, 144, 380}, {330, 144, 495}, {407, 144, 611},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScaleToDpi(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
  }
  for (int value = -600; value <= 600; ++value) ASSERT_EQ(ScaleToDpi(value, kDesignDpi), value);
}

TEST(WizardLayout, DesignIsUnchangedAt96Dpi) {
  for (const DesignedControl& control : DesignedControls()) {
    const LayoutRect r = ScaleToDpi(control.rect, kDesignDpi);
    EXPECT_EQ(r.left, control.rect.left) << WizardControlName(control.id);
    EXPECT_EQ(r.top, control.rect.top) << WizardControlName(control.id);
    EXPECT_EQ(r.width, control.rect.width) << WizardControlName(control.id);
    EXPECT_EQ(r.height, control.rect.height) << WizardControlName(control.id);
  }
}

TEST(WizardLayout, EveryControlHasOnePlace) {
  for (int id = kIdPnlStep1; id <= kIdLastControl; ++id) {
    EXPECT_EQ(DesignedControlOf(id).id, id) << WizardControlName(id);
  }
  EXPECT_EQ(DesignedControls().size(), size_t(kIdLastControl - kIdPnlStep1 + 1));
  EXPECT_THROW(DesignedControlOf(kIdLastControl + 1), OutOfRange);
}

// The notice of an installed version shows in the tip's place on the
// destination page's header, in both languages; the title above it must end
// before it. The title is one line of 8-point bold Tahoma (13 pixels at
// 96 DPI); Chinese designs it lower, at the notice's height.
TEST(WizardLayout, FolderTitleEndsAboveTheNotice) {
  const int kTitleLine = 13;
  const LayoutRect notice = DesignedControlOf(kIdLblFolderTip).rect;
  EXPECT_LE(FolderTitleAboveNotice().top + kTitleLine, notice.top);
  EXPECT_EQ(DesignedControlOf(kIdLblFolderTip).parent, DesignedControlOf(kIdLblFolder).parent);
  // Where English always shows its title above its tip.
  bool englishMove = false;
  for (const LanguageMove& move : LanguageMoves(kUiEnglish)) {
    if (move.id != kIdLblFolder) continue;
    englishMove = true;
    EXPECT_EQ(move.to.left, FolderTitleAboveNotice().left);
    EXPECT_EQ(move.to.top, FolderTitleAboveNotice().top);
  }
  EXPECT_TRUE(englishMove);
}

// Scaling edges rather than sizes: rounding each size on its own would let
// Back (253 + 77) overlap Next (330) by a pixel at 144 DPI.
TEST(WizardLayout, ScaledRectanglesKeepTouchingNestingAndApart) {
  const LayoutRect back = DesignedControlOf(kIdBtnPrev).rect;
  const LayoutRect next = DesignedControlOf(kIdBtnNext).rect;
  for (int dpi : kDpis) {
    const LayoutRect b = ScaleToDpi(back, dpi);
    EXPECT_EQ(b.left + b.width, ScaleToDpi(next, dpi).left) << dpi;
  }

  const auto& controls = DesignedControls();
  auto fixed = [](const DesignedControl& c) { return c.sizing == LayoutSizing::kFixed; };
  auto apart = [](const LayoutRect& a, const LayoutRect& b) {
    return a.left + a.width <= b.left || b.left + b.width <= a.left || a.top + a.height <= b.top ||
           b.top + b.height <= a.top;
  };
  auto inside = [](const LayoutRect& child, const LayoutRect& parent) {  // parent in its own client coordinates
    return child.left >= 0 && child.top >= 0 && child.left + child.width <= parent.width &&
           child.top + child.height <= parent.height;
  };
  for (int dpi : kDpis) {
    for (const DesignedControl& a : controls) {
      if (!fixed(a)) continue;
      const std::string tag = std::string(WizardControlName(a.id)) + " at " + std::to_string(dpi);
      for (const DesignedControl& b : controls) {
        if (&a < &b && fixed(b) && a.parent == b.parent && apart(a.rect, b.rect)) {
          EXPECT_TRUE(apart(ScaleToDpi(a.rect, dpi), ScaleToDpi(b.rect, dpi))) << tag << " / " << WizardControlName(b.id);
        }
      }
      if (a.parent == 0) continue;
      const DesignedControl& parent = DesignedControlOf(a.parent);
      if (parent.sizing == LayoutSizing::kFixed && inside(a.rect, parent.rect)) {
        EXPECT_TRUE(inside(ScaleToDpi(a.rect, dpi), ScaleToDpi(parent.rect, dpi))) << tag;
      }
      // Parents as wide as the window: at least the height must hold.
      if (parent.sizing == LayoutSizing::kParentWidth && a.rect.top + a.rect.height <= parent.rect.height) {
        const LayoutRect c = ScaleToDpi(a.rect, dpi);
        EXPECT_LE(c.top + c.height, ScaleToDpi(parent.rect, dpi).height) << tag;
      }
    }
  }
}

TEST(WizardLayout, WindowKeepsItsFrameAndScalesItsClientArea) {
  struct Case {
    const char* name;
    int major;
    LayoutSize frameAtDesign, frame;
    int dpi;
    LayoutSize expected;
  };
  const Case cases[] = {
      {"designed size at 96 DPI", 6, {16, 38}, {16, 38}, 96, {503, 398}},
      {"designed size before version 6", 5, {8, 27}, {8, 27}, 96, {503, 385}},
      // Client 487 x 360 -> 730.5 x 540, rounded up; the frame is added.
      {"client area scaled at 144 DPI", 6, {16, 38}, {24, 57}, 144, {755, 597}},
      // Wine's frame grows from 8 x 27 to 10 x 38: client 495 x 371 -> 743 x 557.
      {"a frame that grew less than the DPI", 6, {8, 27}, {10, 38}, 144, {753, 595}},
      {"120 DPI", 6, {16, 38}, {20, 46}, 120, {629, 496}},
  };
  for (const Case& c : cases) {
    const LayoutSize size = ScaledWindowSize(DesignedWindowSize(c.major), c.frameAtDesign, c.frame, c.dpi);
    EXPECT_EQ(size.width, c.expected.width) << c.name;
    EXPECT_EQ(size.height, c.expected.height) << c.name;
  }
  EXPECT_EQ(UnscaleFromDpi(57, 144), 38);
  EXPECT_EQ(UnscaleFromDpi(10, 144), 7);
  EXPECT_EQ(UnscaleFromDpi(-3, 144), -2);
  for (int value = -100; value <= 600; ++value) ASSERT_EQ(UnscaleFromDpi(ScaleToDpi(value, 192), 192), value);
}

}  // namespace
}  // namespace vo
