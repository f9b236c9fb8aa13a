#pragma once
// The wizard window's layout as designed, in pixels at 96 dots per inch, and
// the one rule that scales it to the system's DPI. The window takes every
// position and size from here and scales nothing itself, so that at 96 DPI it
// is exactly the design and at any other DPI everything grows in proportion.

#include <vector>

#include "text/Error.h"

namespace vo {

constexpr int kDesignDpi = 96;

struct LayoutPoint {
  int left;
  int top;
};

struct LayoutSize {
  int width;
  int height;
};

struct LayoutRect {
  int left;
  int top;
  int width;
  int height;
};

// A designed length at dpi: value * dpi / 96, to the nearest pixel, halves
// away from zero (as MulDiv rounds).
int ScaleToDpi(int value, int dpi);
LayoutPoint ScaleToDpi(LayoutPoint point, int dpi);
LayoutSize ScaleToDpi(LayoutSize size, int dpi);
// A rectangle's edges are scaled and its size is what lies between them, so
// that rectangles which touch, nest or keep apart as designed still do.
LayoutRect ScaleToDpi(const LayoutRect& rect, int dpi);

// How a control's place follows from its designed rectangle.
enum class LayoutSizing {
  kFixed,         // the rectangle as designed
  kToText,        // the designed top left; the size of its text (labels sized to their text)
  kParentWidth,   // designed left, top and height; as wide as the parent's client area
  kRightAligned,  // designed top, width and height; against the parent's right edge
};

struct DesignedControl {
  int id;      // WizardControlId
  int parent;  // WizardControlId of the parent, 0 for the window
  LayoutRect rect;
  LayoutSizing sizing;
};

// Every control of the window (ControlIds.h) with its designed place.
const std::vector<DesignedControl>& DesignedControls();
// The entry of one control; raises OutOfRange for an unknown id.
const DesignedControl& DesignedControlOf(int id);

// The labels and boxes the interface language moves from their designed
// places (to their designed places in that language).
struct LanguageMove {
  int id;
  LayoutPoint to;
};
std::vector<LanguageMove> LanguageMoves(int uiLanguage);
// Where the destination page's title goes when the header shows the notice of
// an installed version in the tip's place: above it, as in English, also in
// Chinese, whose title otherwise sits lower, where the notice goes.
LayoutPoint FolderTitleAboveNotice();

// The window's designed outer size: 503 wide; 398 high from Windows major
// version 6 on, 385 before (the older frame is thinner).
LayoutSize DesignedWindowSize(int windowsMajorVersion);

// A length at dpi brought back to 96 DPI (the inverse of ScaleToDpi, rounded
// the same way).
int UnscaleFromDpi(int value, int dpi);

// The outer size of the window at dpi. A frame is the outer size minus the
// client area: frameAtDesign the frame the system draws at 96 DPI, frame the
// one it draws at dpi. The designed client area (designed size less
// frameAtDesign) is scaled and the frame added, so that the content grows in
// proportion while the frame is whatever the system draws.
LayoutSize ScaledWindowSize(LayoutSize designed, LayoutSize frameAtDesign, LayoutSize frame, int dpi);

}  // namespace vo
