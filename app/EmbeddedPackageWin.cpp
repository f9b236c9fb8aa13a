#include "app/EmbeddedPackage.h"

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "app/SetupLog.h"
#include "package/PackageError.h"
#include "package/PackageSummary.h"
#include "shell/ShellError.h"
#include "shell/UniqueHandle.h"
#include "text/Unicode.h"

namespace vo {
namespace {

std::string LastErrorText() {
  const DWORD code = ::GetLastError();
  return Utf16ToUtf8(SystemErrorText(code)) + " (error " + std::to_string(code) + ")";
}

std::u16string OwnPath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return U16(path.data(), length);
    path.resize(path.size() * 2);
  }
}

// The running program's file, read at explicit offsets: every reader keeps
// its own position, so the package check on its worker thread and the
// start-up's reads never disturb each other.
class OwnFile final : public pe::Source {
 public:
  explicit OwnFile(UniqueFile file) : fFile(std::move(file)) {
    LARGE_INTEGER size = {};
    if (::GetFileSizeEx(fFile.get(), &size)) fSize = uint64_t(size.QuadPart);
  }
  uint64_t Size() const override { return fSize; }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override {
    auto* at = static_cast<uint8_t*>(buffer);
    while (count > 0) {
      OVERLAPPED position = {};
      position.Offset = DWORD(offset);
      position.OffsetHigh = DWORD(offset >> 32);
      const DWORD want = DWORD(count < (size_t(1) << 30) ? count : (size_t(1) << 30));
      DWORD read = 0;
      if (!::ReadFile(fFile.get(), at, want, &read, &position)) {
        throw EPackageError(PackageErrorKind::Read, "cannot read the installer: " + LastErrorText());
      }
      if (read == 0) throw EPackageError(PackageErrorKind::Read, "the installer ended early");
      at += read;
      offset += read;
      count -= read;
    }
  }

 private:
  UniqueFile fFile;
  uint64_t fSize = 0;
};

// size bytes of the own file from offset on, as a package file.
class PackageWindow final : public PackageInputFile {
 public:
  PackageWindow(OwnFile& file, uint64_t offset, uint64_t size) : fFile(file), fOffset(offset), fSize(size) {}
  int64_t Size() override { return int64_t(fSize); }
  void Seek(int64_t offset) override {
    if (offset < 0 || uint64_t(offset) > fSize) {
      throw EPackageError(PackageErrorKind::Read, "cannot seek to offset " + std::to_string(offset) + " of the " +
                                                      std::to_string(fSize) + "-byte package");
    }
    fPosition = uint64_t(offset);
  }
  size_t Read(void* buffer, size_t count) override {
    const uint64_t left = fSize - fPosition;
    if (count > left) count = size_t(left);
    if (count > 0) fFile.ReadAt(fOffset + fPosition, buffer, count);
    fPosition += count;
    return count;
  }

 private:
  OwnFile& fFile;
  uint64_t fOffset;
  uint64_t fSize;
  uint64_t fPosition = 0;
};

class WindowsInstallerImage final : public InstallerImage {
 public:
  WindowsInstallerImage() {
    // Read sharing only: nobody can open the file for writing while this
    // handle lives (and a writer that was there first makes the open fail).
    UniqueFile file(::CreateFileW(WStr(OwnPath()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      fCheck.detail = "the installer cannot open its own file: " + LastErrorText();
      return;
    }
    fFile = std::make_unique<OwnFile>(std::move(file));
    fCheck = CheckInstallerOutsidePackage(*fFile);
  }
  const InstallerCheck& Check() const override { return fCheck; }
  std::unique_ptr<PackageInputFile> OpenPackage() override {
    if (!fFile || !fCheck.intact) throw EPackageError(PackageErrorKind::Open, "the installer is damaged: " + fCheck.detail);
    return std::make_unique<PackageWindow>(*fFile, fCheck.parts.package.offset, fCheck.parts.package.size);
  }

 private:
  std::unique_ptr<OwnFile> fFile;
  InstallerCheck fCheck;
};

}  // namespace

InstallerImage& RunningInstaller() {
  static WindowsInstallerImage installer;
  return installer;
}

std::optional<std::string> PackageTableFault(InstallerImage& installer) {
  try {
    std::unique_ptr<PackageInputFile> package = installer.OpenPackage();
    ReadUnpackedTotal(*package, u"the installer's package", u"");
    return std::nullopt;
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}

std::optional<int64_t> EmbeddedUnpackedTotal(InstallerImage& installer) {
  try {
    std::unique_ptr<PackageInputFile> package = installer.OpenPackage();
    return ReadUnpackedTotal(*package, u"the installer's package", u"");
  } catch (const std::exception& e) {
    InstallerLog().Write(std::string("Cannot read the package's file table: ") + e.what());
    return std::nullopt;
  }
}

}  // namespace vo
