#include "package/LoggingFileSystem.h"

#include <vector>

namespace vo {
namespace {

class CountingOutputFile final : public PackageOutputFile {
 public:
  CountingOutputFile(std::unique_ptr<PackageOutputFile> inner, std::u16string path, PackageFileObserver& observer)
      : fInner(std::move(inner)), fPath(std::move(path)), fObserver(observer) {}

  // The file is closed first, so that the report follows the close.
  ~CountingOutputFile() override {
    fInner.reset();
    fObserver.FileWritten(fPath, fBytes, fWriteFailed);
  }

  void Write(const void* data, size_t count) override {
    try {
      fInner->Write(data, count);
    } catch (...) {
      fWriteFailed = true;
      throw;
    }
    fBytes += int64_t(count);
  }
  void WriteAt(int64_t offset, const void* data, size_t count) override { fInner->WriteAt(offset, data, count); }
  bool TruncateToEmpty() override {
    if (!fInner->TruncateToEmpty()) return false;
    fBytes = 0;
    return true;
  }

 private:
  std::unique_ptr<PackageOutputFile> fInner;
  std::u16string fPath;
  PackageFileObserver& fObserver;
  int64_t fBytes = 0;
  bool fWriteFailed = false;
};

// The folder without its trailing separators, and each parent in turn, as
// long as it does not exist; deepest first.
std::vector<std::u16string> MissingFolders(PackageFileSystem& files, const std::u16string& path) {
  std::vector<std::u16string> missing;
  std::u16string current = path;
  for (;;) {
    while (!current.empty() && (current.back() == u'\\' || current.back() == u'/')) current.pop_back();
    if (current.empty() || files.FolderExists(current)) break;
    missing.push_back(current);
    const size_t cut = current.find_last_of(u"\\/");
    if (cut == std::u16string::npos) break;
    current.erase(cut);
  }
  return missing;
}

}  // namespace

void LoggingFileSystem::CreateFolders(const std::u16string& path) {
  const std::vector<std::u16string> missing = MissingFolders(fInner, path);
  fInner.CreateFolders(path);
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (fInner.FolderExists(*it)) fObserver.FolderCreated(*it);
  }
}

std::unique_ptr<PackageOutputFile> LoggingFileSystem::CreateForWriting(const std::u16string& path) {
  return std::make_unique<CountingOutputFile>(fInner.CreateForWriting(path), path, fObserver);
}

}  // namespace vo
