// POSIX side of the package file-system seam, used by the native tools, the
// tests and the fuzzer. Backslashes in paths are read as "/".

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "datatable/TextConvert.h"
#include "package/PackageError.h"
#include "package/PackageFileSystem.h"

namespace vo {
namespace {

std::string NativePath(const std::u16string& path) {
  std::string result = Utf16ToUtf8(path);
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

std::string Reason(int error) { return std::strerror(error); }

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fFd(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fFd(other.fFd) { other.fFd = -1; }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fFd >= 0) ::close(fFd);
  }
  int get() const { return fFd; }

 private:
  int fFd;
};

class NativeInputFile final : public PackageInputFile {
 public:
  NativeInputFile(FileDescriptor fd, int64_t size, std::u16string path)
      : fFd(std::move(fd)), fSize(size), fPath(std::move(path)) {}

  int64_t Size() override { return fSize; }

  void Seek(int64_t offset) override {
    if (::lseek(fFd.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
      throw EPackageError(PackageErrorKind::Read, "cannot seek in " + Quoted(fPath) + ": " + Reason(errno));
    }
  }

  size_t Read(void* buffer, size_t count) override {
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
      ssize_t n = ::read(fFd.get(), out + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw EPackageError(PackageErrorKind::Read, "cannot read " + Quoted(fPath) + ": " + Reason(errno));
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

 private:
  FileDescriptor fFd;
  int64_t fSize;
  std::u16string fPath;
};

class NativeOutputFile final : public PackageOutputFile {
 public:
  NativeOutputFile(FileDescriptor fd, std::u16string path) : fFd(std::move(fd)), fPath(std::move(path)) {}

  void Write(const void* data, size_t count) override {
    const auto* in = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < count) {
      ssize_t n = ::write(fFd.get(), in + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        throw EPackageError(PackageErrorKind::Write, "cannot write " + std::to_string(count) + " bytes to " +
                                                         Quoted(fPath) + ": " + Reason(n < 0 ? errno : ENOSPC));
      }
      done += static_cast<size_t>(n);
    }
  }

  void WriteAt(int64_t offset, const void* data, size_t count) override {
    const auto* in = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < count) {
      ssize_t n = ::pwrite(fFd.get(), in + done, count - done, static_cast<off_t>(offset + int64_t(done)));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        throw EPackageError(PackageErrorKind::Write, "cannot write " + std::to_string(count) + " bytes at offset " +
                                                         std::to_string(offset) + " of " + Quoted(fPath) + ": " +
                                                         Reason(n < 0 ? errno : ENOSPC));
      }
      done += static_cast<size_t>(n);
    }
  }

  bool TruncateToEmpty() override {
    return ::ftruncate(fFd.get(), 0) == 0 && ::lseek(fFd.get(), 0, SEEK_SET) == 0;
  }

 private:
  FileDescriptor fFd;
  std::u16string fPath;
};

class NativeFileSystem final : public PackageFileSystem {
 public:
  explicit NativeFileSystem(std::u16string systemFolder) : fSystemFolder(std::move(systemFolder)) {}

  bool FolderExists(const std::u16string& path) override {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool FileExists(const std::u16string& path) override {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }

  void CreateFolders(const std::u16string& path) override {
    std::string native = NativePath(path);
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    if (native.empty()) return;
    std::error_code ignored;
    std::filesystem::create_directories(native, ignored);
  }

  std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) override {
    int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EPackageError(PackageErrorKind::Open, "cannot open " + Quoted(path) + ": " + Reason(errno));
    FileDescriptor owner(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0) throw EPackageError(PackageErrorKind::Open, "cannot open " + Quoted(path) + ": " + Reason(errno));
    if (S_ISDIR(st.st_mode)) throw EPackageError(PackageErrorKind::Open, "cannot open " + Quoted(path) + ": " + Reason(EISDIR));
    return std::make_unique<NativeInputFile>(std::move(owner), static_cast<int64_t>(st.st_size), path);
  }

  // The name is removed first and the file made anew: a symbolic link or a
  // hard link under that name is replaced, never written through.
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override {
    const std::string native = NativePath(path);
    if (::unlink(native.c_str()) != 0 && errno != ENOENT) {
      throw EPackageError(PackageErrorKind::Create, "cannot create " + Quoted(path) + ": " + Reason(errno));
    }
    int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) throw EPackageError(PackageErrorKind::Create, "cannot create " + Quoted(path) + ": " + Reason(errno));
    FileDescriptor owner(fd);
    return std::make_unique<NativeOutputFile>(std::move(owner), path);
  }

  std::u16string SystemFolder() override { return fSystemFolder; }

  void MoveReplacing(const std::u16string& from, const std::u16string& to) override {
    if (::rename(NativePath(from).c_str(), NativePath(to).c_str()) != 0) {
      throw EPackageError(PackageErrorKind::Write, "cannot rename " + Quoted(from) + " to " + Quoted(to) + ": " + Reason(errno));
    }
  }

  bool RemoveFile(const std::u16string& path) override { return ::unlink(NativePath(path).c_str()) == 0; }

  bool IsLink(const std::u16string& path) override {
    std::string native = NativePath(path);
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    struct stat st;
    return ::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  }

  bool RemoveEmptyFolder(const std::u16string& path) override { return ::rmdir(NativePath(path).c_str()) == 0; }

  // A hard link fails when the new name exists, so nothing is replaced
  // between a test and the rename.
  bool RenameNoReplace(const std::u16string& from, const std::u16string& to, std::string* why) override {
    const std::string source = NativePath(from);
    const std::string target = NativePath(to);
    if (::link(source.c_str(), target.c_str()) != 0) {
      if (why) *why = Reason(errno);
      return false;
    }
    if (::unlink(source.c_str()) != 0) {
      if (why) *why = Reason(errno);
      ::unlink(target.c_str());
      return false;
    }
    return true;
  }

 private:
  std::u16string fSystemFolder;
};

}  // namespace

std::unique_ptr<PackageFileSystem> CreatePlatformFileSystem(const std::u16string& systemFolder) {
  return std::make_unique<NativeFileSystem>(systemFolder);
}

}  // namespace vo
