#include "app/SetupLog.h"

#include <string>

#include "settings/Language.h"
#include "shell/VoSysUtils.h"
#include "text/Unicode.h"

namespace vo {
namespace {

// A number with leading zeros to at least the given width; times and dates
// only, so never negative. (No printf: its formatter alone is some 18 KB of
// the installer.)
std::string ZeroPadded(int value, size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

std::string TwoDigits(int value) { return ZeroPadded(value, 2); }

std::string TimeOfDay(const LogTime& time) {
  return TwoDigits(time.hour) + ":" + TwoDigits(time.minute) + ":" + TwoDigits(time.second) + "." +
         ZeroPadded(time.millisecond, 3);
}

std::string Date(const LogTime& time) {
  return ZeroPadded(time.year, 4) + "-" + TwoDigits(time.month) + "-" + TwoDigits(time.day);
}

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

}  // namespace

void SetupLog::Open(std::unique_ptr<LogSink> sink, Clock clock) {
  fSink = std::move(sink);
  fClock = std::move(clock);
}

void SetupLog::Write(const std::string& text) {
  if (!fSink) return;
  const LogTime now = fClock ? fClock() : LogTime{};
  if (!fSink->Write(FormatLogLine(now, text))) fSink.reset();
}

void SetupLog::Write(const std::u16string& text) { Write(U8(text)); }

void SetupLog::Write(const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) Write(entry);
}

SetupLog& InstallerLog() {
  static SetupLog log;
  return log;
}

std::u16string EarlierLogPath(const std::u16string& logPath, int generation) {
  const size_t slash = logPath.find_last_of(u"\\/");
  const size_t dot = logPath.find_last_of(u'.');
  const bool hasExtension = dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash);
  const size_t insertAt = hasExtension ? dot : logPath.size();
  std::string number = "." + std::to_string(generation);
  return logPath.substr(0, insertAt) + std::u16string(number.begin(), number.end()) + logPath.substr(insertAt);
}

void ShiftEarlierLogs(LogFolder& folder, const std::u16string& logPath) {
  const std::u16string oldest = EarlierLogPath(logPath, kEarlierLogsKept);
  if (folder.Exists(oldest)) folder.Remove(oldest);
  for (int generation = kEarlierLogsKept - 1; generation >= 0; --generation) {
    const std::u16string from = generation == 0 ? logPath : EarlierLogPath(logPath, generation);
    if (folder.Exists(from)) folder.Rename(from, EarlierLogPath(logPath, generation + 1));
  }
}

std::string FormatLogLine(const LogTime& time, const std::string& text) {
  const std::string stamp = TimeOfDay(time) + "  ";
  const std::string indent(stamp.size(), ' ');
  std::string out = stamp;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out += line + "\r\n";
    if (end == std::string::npos) break;
    start = end + 1;
    if (start == text.size()) break;  // a final line break adds no empty line
    out += indent;
  }
  return out;
}

std::vector<std::string> FormatStartEntries(const SetupStartInfo& info) {
  const std::string language = info.uiLanguage == kUiChinese ? "Chinese" : "English";
  return {
      "Setup started " + Date(info.time) + " " + TwoDigits(info.time.hour) + ":" + TwoDigits(info.time.minute) + ":" +
          TwoDigits(info.time.second) + " (local time)",
      "Installer: " + U8(info.installerPath),
      "Command line: " + (info.arguments.empty() ? std::string("(no arguments)") : U8(info.arguments)),
      "Windows: " + U8(info.windowsVersion),
      "Language: " + language + " (ANSI code page " + std::to_string(info.codePage) + ")",
      std::string("Mode: ") + (info.silent ? "silent" : "wizard"),
  };
}

std::string FormatSettingsEntry(const ProductSettings& settings, const RunningWindowSettings& window, int uiLanguage) {
  const bool zh = uiLanguage == kUiChinese;
  struct Row {
    int id;
    const char* name;
    std::string value;
  };
  const Row rows[] = {
      {kSettingRunningWindowClass, "WindowClass", U8(window.windowClass)},
      {kSettingRunningWindowTitle, "WindowTitle", U8(window.title)},
      {kSettingRunningWindowTitleAlt, "WindowTitleAlt", U8(window.titleAlt)},
      {zh ? kSettingProductNameZh : kSettingProductNameEn, zh ? "ProductNameZh" : "ProductNameEn",
       U8(settings.ProductName)},
      {kSettingIsFreeware, "Freeware", settings.IsFreeware ? "yes" : "no"},
      {kSettingExeBaseName, "ExeBaseName", U8(settings.ExeBaseName)},
      {kSettingProductVersion, "ProductVersion", U8(settings.ProductVersion)},
      {kSettingRequiredSpaceText, "RequiredSpace", U8(settings.RequiredSpaceText)},
      {kSettingCompanyFolder, "CompanyFolder", settings.CompanyFolder.empty() ? "(none)" : U8(settings.CompanyFolder)},
      {zh ? kSettingPublisherZh : kSettingPublisherEn, zh ? "PublisherZh" : "PublisherEn", U8(settings.Publisher)},
      {zh ? kSettingHomePageZh : kSettingHomePageEn, zh ? "HomePageZh" : "HomePageEn", U8(settings.HomePage)},
  };
  std::string entry = "Product settings:";
  for (const Row& row : rows) entry += "\n  " + std::to_string(row.id) + " " + row.name + " = " + row.value;
  return entry;
}

std::string FormatLogBytes(long long bytes) {
  const std::string exact = std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  if (bytes < 1024) return exact;
  return exact + " (" + U8(FormatByteSize(bytes, u'.')) + ")";
}

}  // namespace vo
