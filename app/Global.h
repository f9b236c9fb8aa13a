#pragma once
// Start-up values of the installer: the interface language chosen from the
// ANSI code page, and the identity of a running copy of the product. They are
// set once before the wizard window exists and read by everything after it.

#include <functional>
#include <string>

#include "settings/Language.h"

namespace vo {

extern int UiLanguage;  // kUiChinese or kUiEnglish
extern std::u16string RunningWindowClass;     // setting 1001
extern std::u16string RunningWindowTitle;     // setting 1002
extern std::u16string RunningWindowTitleAlt;  // setting 1003
extern std::u16string FoundRunningTitle;      // empty unless a running copy was found

// windowExists(class, title) answers FindWindowW for an exact class and title.
using WindowFinder = std::function<bool(const std::u16string& windowClass, const std::u16string& title)>;

// The guard's two look-ups: the class with the first title, and only when that
// finds nothing, the class with the second title. Returns the title under which
// a window was found, or empty. A window found under an empty title therefore
// returns empty, and the installer runs.
std::u16string FindRunningTitle(const WindowFinder& windowExists, const std::u16string& windowClass,
                                const std::u16string& title, const std::u16string& titleAlt);

struct MessageBoxText {
  std::u16string text;
  std::u16string caption;
};

// The box shown instead of the wizard while the product runs. The Chinese text
// names the title the window was found under; the English one always names
// the first title.
MessageBoxText RunningProductMessage(int uiLanguage, const std::u16string& foundTitle,
                                     const std::u16string& firstTitle);

// Caption of the start-up messages shown before the wizard has a title.
std::u16string StartupCaption(int uiLanguage);

}  // namespace vo
