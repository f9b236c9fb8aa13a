#pragma once
// The setup log: what one run of the installer did, for the publisher and the
// administrator who have to find out why an installation failed. UTF-8 text,
// one entry a line, each line led by the time of day; an entry of several
// lines continues on indented lines. The user never sees it: the wizard still
// shows its one fixed message.
//
// The log only ever witnesses: a log that cannot be opened or written stops
// nothing, it just stays empty from that point on.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/ProductSettings.h"

namespace vo {

struct LogTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Where the log's bytes go (a file on Windows, a string in tests).
class LogSink {
 public:
  virtual ~LogSink() = default;
  // Appends bytes; false when they could not be written.
  virtual bool Write(const std::string& bytes) = 0;
};

class SetupLog {
 public:
  using Clock = std::function<LogTime()>;

  // Starts writing to sink; entries before this call are not kept.
  void Open(std::unique_ptr<LogSink> sink, Clock clock);
  bool IsOpen() const { return fSink != nullptr; }
  // One entry, UTF-8 or UTF-16. After the sink's first failed write the log
  // is closed.
  void Write(const std::string& text);
  void Write(const std::u16string& text);
  void Write(const std::vector<std::string>& entries);

 private:
  std::unique_ptr<LogSink> fSink;
  Clock fClock;
};

// The installer's one log, for the whole process.
SetupLog& InstallerLog();

// Windows only: opens InstallerLog() on path (created anew, readable by
// others while it is written, UTF-8 with a byte-order mark so that Notepad
// reads it as such) with the local time as its clock. False, and no log,
// when the file cannot be created.
bool OpenInstallerLogFile(const std::u16string& path);
// Windows only: the local time now.
LogTime LocalLogTime();

// Logs are kept per run: before a run writes the default log, the earlier
// ones move one place down, "<Exe>Setup.log" to "<Exe>Setup.1.log" and so on
// to "<Exe>Setup.4.log"; the oldest is dropped. The files it touches:
class LogFolder {
 public:
  virtual ~LogFolder() = default;
  virtual bool Exists(const std::u16string& path) = 0;
  virtual bool Remove(const std::u16string& path) = 0;
  // Replaces a file at `to`.
  virtual bool Rename(const std::u16string& from, const std::u16string& to) = 0;
};

constexpr int kEarlierLogsKept = 4;

// "...\XSetup.log" with generation 2 is "...\XSetup.2.log" (before the last
// extension; appended when the name has none).
std::u16string EarlierLogPath(const std::u16string& logPath, int generation);

// Moves the logs down as described above. A file that cannot be moved stays
// where it is and the run goes on: the log only witnesses.
void ShiftEarlierLogs(LogFolder& folder, const std::u16string& logPath);

// Windows only: ShiftEarlierLogs on the real file system.
void ShiftEarlierLogFiles(const std::u16string& logPath);

// "13:04:05.042  text"; the lines of a text with line breaks after the first
// are indented under the text, CR LF and LF both break, and every line ends
// with CR LF (the log is read on Windows).
std::string FormatLogLine(const LogTime& time, const std::string& text);

struct SetupStartInfo {
  LogTime time;
  std::u16string installerPath;
  std::u16string arguments;       // the command line after the program name
  std::u16string windowsVersion;  // "6.1.7601 Service Pack 1"
  int uiLanguage = 0;
  unsigned codePage = 0;
  bool silent = false;
};

// The first entries of every log: date, installer, command line, Windows,
// interface language and mode.
std::vector<std::string> FormatStartEntries(const SetupStartInfo& info);

// The product settings the run works with, one setting a line, named with its
// string-table id.
struct RunningWindowSettings {
  std::u16string windowClass, title, titleAlt;
};
std::string FormatSettingsEntry(const ProductSettings& settings, const RunningWindowSettings& window, int uiLanguage);

// A byte count as the log writes it: "1234567 bytes (1.2 MB)".
std::string FormatLogBytes(long long bytes);

}  // namespace vo
