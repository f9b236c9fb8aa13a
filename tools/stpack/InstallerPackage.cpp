#include "tools/stpack/InstallerPackage.h"

#include <cstring>

#include "package/PackageError.h"
#include "package/PackageSummary.h"
#include "pe/PeImage.h"
#include "pe/PeResources.h"
#include "text/Unicode.h"
#include "tools/stpack/Commands.h"

namespace vo::stpack {
namespace {

// A package-code input file as the PE module's source, for the parser.
class InputSource final : public pe::Source {
 public:
  explicit InputSource(PackageInputFile& file) : fFile(file), fSize(uint64_t(file.Size())) {}
  uint64_t Size() const override { return fSize; }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (offset > fSize || count > fSize - offset) throw pe::PeError("a read past the end of the file");
    fFile.Seek(int64_t(offset));
    if (fFile.Read(buffer, count) != count) throw pe::PeError("the file ended early");
  }

 private:
  PackageInputFile& fFile;
  uint64_t fSize;
};

// The platform file system in which one path opens as a window.
class WindowedFileSystem final : public PackageFileSystem {
 public:
  WindowedFileSystem(std::unique_ptr<PackageFileSystem> real, std::u16string path, int64_t offset, int64_t size)
      : fReal(std::move(real)), fPath(std::move(path)), fOffset(offset), fSize(size) {}

  bool FolderExists(const std::u16string& path) override { return fReal->FolderExists(path); }
  bool FileExists(const std::u16string& path) override { return fReal->FileExists(path); }
  void CreateFolders(const std::u16string& path) override { fReal->CreateFolders(path); }
  std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) override {
    std::unique_ptr<PackageInputFile> file = fReal->OpenForReading(path);
    if (path != fPath) return file;
    return std::make_unique<WindowInputFile>(std::move(file), fOffset, fSize);
  }
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override {
    return fReal->CreateForWriting(path);
  }
  std::u16string SystemFolder() override { return fReal->SystemFolder(); }
  void MoveReplacing(const std::u16string& from, const std::u16string& to) override { fReal->MoveReplacing(from, to); }
  bool RemoveFile(const std::u16string& path) override { return fReal->RemoveFile(path); }
  bool IsLink(const std::u16string& path) override { return fReal->IsLink(path); }

 private:
  std::unique_ptr<PackageFileSystem> fReal;
  std::u16string fPath;
  int64_t fOffset;
  int64_t fSize;
};

}  // namespace

PackageSource OpenPackageSource(const std::u16string& path, const std::u16string& systemFolder) {
  PackageSource source;
  source.files = CreatePlatformFileSystem(systemFolder);
  std::unique_ptr<PackageInputFile> file = source.files->OpenForReading(path);
  source.packageSize = file->Size();
  char magic[2] = {};
  if (file->Read(magic, 2) != 2 || magic[0] != 'M' || magic[1] != 'Z') return source;

  const std::string name = Utf16ToUtf8(path);
  InputSource input(*file);
  int64_t offset = 0;
  try {
    const pe::PeImage image = pe::PeImage::Parse(input);
    const std::vector<pe::ResourceEntry> resources = pe::ReadResources(image, input);
    const pe::ResourceEntry* package = pe::FindResourceEntry(resources, u"StpFile", u"SetupPackage");
    if (!package) throw ToolError(name + ": is a program without a setup package (no StpFile/SetupPackage resource)");
    offset = int64_t(package->fileOffset);
    source.packageSize = package->size;
  } catch (const pe::PeError& e) {
    throw ToolError(name + ": is neither a setup package nor an installer this tool can read: " + e.what());
  }
  source.installerCheck = CheckInstallerOutsidePackage(input);
  file.reset();
  source.isInstaller = true;
  source.files = std::make_unique<WindowedFileSystem>(std::move(source.files), path, offset, source.packageSize);
  return source;
}

}  // namespace vo::stpack
