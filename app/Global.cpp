#include "app/Global.h"

namespace vo {

int UiLanguage = kUiEnglish;
std::u16string RunningWindowClass;
std::u16string RunningWindowTitle;
std::u16string RunningWindowTitleAlt;
std::u16string FoundRunningTitle;

std::u16string FindRunningTitle(const WindowFinder& windowExists, const std::u16string& windowClass,
                                const std::u16string& title, const std::u16string& titleAlt) {
  if (windowExists(windowClass, title)) return title;
  if (windowExists(windowClass, titleAlt)) return titleAlt;
  return {};
}

MessageBoxText RunningProductMessage(int uiLanguage, const std::u16string& foundTitle,
                                     const std::u16string& firstTitle) {
  if (uiLanguage == kUiChinese) return {foundTitle + u"正在运行，请先退出后再进行安装。", StartupCaption(uiLanguage)};
  return {firstTitle + u" program is running, please close it first.", StartupCaption(uiLanguage)};
}

std::u16string StartupCaption(int uiLanguage) { return uiLanguage == kUiChinese ? u"安装向导" : u"Setup"; }

}  // namespace vo
