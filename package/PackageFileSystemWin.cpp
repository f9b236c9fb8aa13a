// Win32 side of the package file-system seam. Every file is opened with share
// mode 0, so no other process can open the package or a target file while
// the extractor holds it; a target's name is deleted first and the file made
// with CREATE_NEW, so nothing is written through a hard link.

#include <cwchar>
#include <string>
#include <vector>

#include "datatable/TextConvert.h"
#include "package/PackageError.h"
#include "package/PackageFileSystem.h"
#include "shell/UniqueHandle.h"

namespace vo {
namespace {

// "Access is denied. (error 5)" for messages.
std::string SystemErrorText(DWORD error) {
  wchar_t* text = nullptr;
  DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message;
  if (length != 0 && text != nullptr) message = U16(text, length);
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' || message.back() == u' ')) message.pop_back();
  std::string result = Utf16ToUtf8(message);
  if (!result.empty()) result += " ";
  return result + "(error " + std::to_string(error) + ")";
}

// The path Windows resolves an open handle to ("\\?\C:\..."), or empty where
// it cannot say (Windows XP has no GetFinalPathNameByHandleW).
std::u16string FinalPath(const std::u16string& path) {
  using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  static const auto finalPathOf = reinterpret_cast<FinalPathFunction>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
  if (!finalPathOf) return {};
  UniqueFile handle(::CreateFileW(WStr(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return {};
  wchar_t buffer[1024];
  const DWORD length = finalPathOf(handle.get(), buffer, 1024, 0);
  if (length == 0 || length >= 1024) return {};
  return U16(buffer, length);
}

class WinInputFile final : public PackageInputFile {
 public:
  WinInputFile(UniqueFile file, int64_t size, std::u16string path)
      : fFile(std::move(file)), fSize(size), fPath(std::move(path)) {}

  int64_t Size() override { return fSize; }

  void Seek(int64_t offset) override {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    if (!::SetFilePointerEx(fFile.get(), distance, nullptr, FILE_BEGIN)) {
      throw EPackageError(PackageErrorKind::Read, "cannot seek in " + Quoted(fPath) + ": " + SystemErrorText(::GetLastError()));
    }
  }

  size_t Read(void* buffer, size_t count) override {
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
      DWORD chunk = static_cast<DWORD>(count - done > 0x40000000u ? 0x40000000u : count - done);
      DWORD got = 0;
      if (!::ReadFile(fFile.get(), out + done, chunk, &got, nullptr)) {
        throw EPackageError(PackageErrorKind::Read, "cannot read " + Quoted(fPath) + ": " + SystemErrorText(::GetLastError()));
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  UniqueFile fFile;
  int64_t fSize;
  std::u16string fPath;
};

class WinOutputFile final : public PackageOutputFile {
 public:
  WinOutputFile(UniqueFile file, std::u16string path) : fFile(std::move(file)), fPath(std::move(path)) {}

  void Write(const void* data, size_t count) override {
    DWORD written = 0;
    if (!::WriteFile(fFile.get(), data, static_cast<DWORD>(count), &written, nullptr)) {
      throw EPackageError(PackageErrorKind::Write, "cannot write " + std::to_string(count) + " bytes to " + Quoted(fPath) +
                                                       ": " + SystemErrorText(::GetLastError()));
    }
    if (written != count) {
      throw EPackageError(PackageErrorKind::Write, "cannot write " + Quoted(fPath) + ": only " + std::to_string(written) +
                                                       " of " + std::to_string(count) + " bytes were taken");
    }
  }

  void WriteAt(int64_t offset, const void* data, size_t count) override {
    LARGE_INTEGER zero = {}, here = {}, there = {};
    there.QuadPart = offset;
    if (!::SetFilePointerEx(fFile.get(), zero, &here, FILE_CURRENT) ||
        !::SetFilePointerEx(fFile.get(), there, nullptr, FILE_BEGIN)) {
      throw EPackageError(PackageErrorKind::Write, "cannot move to offset " + std::to_string(offset) + " of " +
                                                       Quoted(fPath) + ": " + SystemErrorText(::GetLastError()));
    }
    Write(data, count);
    if (!::SetFilePointerEx(fFile.get(), here, nullptr, FILE_BEGIN)) {
      throw EPackageError(PackageErrorKind::Write, "cannot move back in " + Quoted(fPath) + ": " +
                                                       SystemErrorText(::GetLastError()));
    }
  }

  bool TruncateToEmpty() override {
    LARGE_INTEGER start;
    start.QuadPart = 0;
    return ::SetFilePointerEx(fFile.get(), start, nullptr, FILE_BEGIN) && ::SetEndOfFile(fFile.get());
  }

 private:
  UniqueFile fFile;
  std::u16string fPath;
};

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

void TrimSeparators(std::u16string& path) {
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
}

class WinFileSystem final : public PackageFileSystem {
 public:
  explicit WinFileSystem(std::u16string systemFolder) : fSystemFolder(std::move(systemFolder)) {}

  bool FolderExists(const std::u16string& path) override {
    DWORD attributes = ::GetFileAttributesW(WStr(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool FileExists(const std::u16string& path) override {
    DWORD attributes = ::GetFileAttributesW(WStr(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  // Walks up to the first folder that exists ("C:" and "\\server\share"
  // count as existing), then creates the missing ones top down.
  void CreateFolders(const std::u16string& path) override {
    std::vector<std::u16string> missing;
    std::u16string current = path;
    TrimSeparators(current);
    while (!current.empty() && !FolderExists(current)) {
      missing.push_back(current);
      size_t cut = current.find_last_of(u"\\/");
      if (cut == std::u16string::npos) break;
      current.erase(cut);
      TrimSeparators(current);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) ::CreateDirectoryW(WStr(*it), nullptr);
  }

  std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) override {
    UniqueFile file(::CreateFileW(WStr(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw EPackageError(PackageErrorKind::Open, "cannot open " + Quoted(path) + ": " + SystemErrorText(::GetLastError()));
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size)) {
      throw EPackageError(PackageErrorKind::Open, "cannot open " + Quoted(path) + ": " + SystemErrorText(::GetLastError()));
    }
    return std::make_unique<WinInputFile>(std::move(file), size.QuadPart, path);
  }

  // The name is deleted first and the file made anew: a symbolic link or a
  // hard link someone left under that name is replaced, never written
  // through to the file it leads to.
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override {
    if (!::DeleteFileW(WStr(path))) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        throw EPackageError(PackageErrorKind::Create, "cannot create " + Quoted(path) + ": " + SystemErrorText(error));
      }
    }
    UniqueFile file(::CreateFileW(WStr(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      throw EPackageError(PackageErrorKind::Create, "cannot create " + Quoted(path) + ": " + SystemErrorText(::GetLastError()));
    }
    return std::make_unique<WinOutputFile>(std::move(file), path);
  }

  // A junction or symbolic link is a reparse point. Wine shows a Unix
  // symbolic link as the file it leads to, even to DeleteFileW, which then
  // deletes that file; the handle's final path gives it away: for a name that
  // is no link it is the final path of its folder and the name.
  bool IsLink(const std::u16string& path) override {
    const DWORD attributes = ::GetFileAttributesW(WStr(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    std::u16string item = path;
    TrimSeparators(item);
    const size_t cut = item.find_last_of(u"\\/");
    if (cut == std::u16string::npos) return false;
    const std::u16string finalItem = FinalPath(item);
    std::u16string finalFolder = FinalPath(item.substr(0, cut + 1));
    if (finalItem.empty() || finalFolder.empty()) return false;
    if (finalFolder.back() != u'\\') finalFolder += u'\\';
    const std::u16string expected = finalFolder + item.substr(cut + 1);
    return ::_wcsicmp(WStr(finalItem), WStr(expected)) != 0;
  }

  std::u16string SystemFolder() override {
    if (fSystemFolder.empty() && !fSystemFolderAsked) {
      fSystemFolderAsked = true;
      wchar_t buffer[MAX_PATH + 1];
      UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH + 1);
      if (length > 0 && length <= MAX_PATH) {
        fSystemFolder = U16(buffer, length);
        if (fSystemFolder.back() != u'\\') fSystemFolder += u'\\';
      }
    }
    return fSystemFolder;
  }

  void MoveReplacing(const std::u16string& from, const std::u16string& to) override {
    if (!::MoveFileExW(WStr(from), WStr(to), MOVEFILE_REPLACE_EXISTING)) {
      throw EPackageError(PackageErrorKind::Write,
                          "cannot rename " + Quoted(from) + " to " + Quoted(to) + ": " + SystemErrorText(::GetLastError()));
    }
  }

  bool RemoveFile(const std::u16string& path) override { return ::DeleteFileW(WStr(path)) != 0; }

  // RemoveDirectoryW removes empty folders only.
  bool RemoveEmptyFolder(const std::u16string& path) override { return ::RemoveDirectoryW(WStr(path)) != 0; }

  // Without MOVEFILE_REPLACE_EXISTING the move fails when to exists; without
  // MOVEFILE_COPY_ALLOWED it never turns into a copy.
  bool RenameNoReplace(const std::u16string& from, const std::u16string& to, std::string* why) override {
    if (::MoveFileExW(WStr(from), WStr(to), 0)) return true;
    if (why) *why = SystemErrorText(::GetLastError());
    return false;
  }

 private:
  std::u16string fSystemFolder;
  bool fSystemFolderAsked = false;
};

}  // namespace

std::unique_ptr<PackageFileSystem> CreatePlatformFileSystem(const std::u16string& systemFolder) {
  return std::make_unique<WinFileSystem>(systemFolder);
}

}  // namespace vo
