#include "app/SetupLog.h"

#include <windows.h>

#include "shell/UniqueHandle.h"

namespace vo {
namespace {

class FileLogSink final : public LogSink {
 public:
  explicit FileLogSink(UniqueFile file) : fFile(std::move(file)) {}

  // Written through at once: a run that ends badly still leaves its log.
  bool Write(const std::string& bytes) override {
    DWORD written = 0;
    return ::WriteFile(fFile.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  }

 private:
  UniqueFile fFile;
};

}  // namespace

LogTime LocalLogTime() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

namespace {

class WindowsLogFolder final : public LogFolder {
 public:
  bool Exists(const std::u16string& path) override {
    return ::GetFileAttributesW(WStr(path)) != INVALID_FILE_ATTRIBUTES;
  }
  bool Remove(const std::u16string& path) override { return ::DeleteFileW(WStr(path)) != FALSE; }
  bool Rename(const std::u16string& from, const std::u16string& to) override {
    return ::MoveFileExW(WStr(from), WStr(to), MOVEFILE_REPLACE_EXISTING) != FALSE;
  }
};

}  // namespace

void ShiftEarlierLogFiles(const std::u16string& logPath) {
  WindowsLogFolder folder;
  ShiftEarlierLogs(folder, logPath);
}

bool OpenInstallerLogFile(const std::u16string& path) {
  UniqueFile file(::CreateFileW(WStr(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  auto sink = std::make_unique<FileLogSink>(std::move(file));
  if (!sink->Write("\xEF\xBB\xBF")) return false;
  InstallerLog().Open(std::move(sink), LocalLogTime);
  return true;
}

}  // namespace vo
