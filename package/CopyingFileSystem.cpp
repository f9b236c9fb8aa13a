#include "package/CopyingFileSystem.h"

namespace vo {
namespace {

// Passes every write on and mirrors it into the copy.
class CopyingOutputFile final : public PackageOutputFile {
 public:
  CopyingOutputFile(std::unique_ptr<PackageOutputFile> inner, std::string& copy)
      : fInner(std::move(inner)), fCopy(copy) {}

  void Write(const void* data, size_t count) override {
    fInner->Write(data, count);
    fCopy.append(static_cast<const char*>(data), count);
  }
  void WriteAt(int64_t offset, const void* data, size_t count) override {
    fInner->WriteAt(offset, data, count);
    const size_t at = size_t(offset);
    if (fCopy.size() < at + count) fCopy.resize(at + count);
    fCopy.replace(at, count, static_cast<const char*>(data), count);
  }
  bool TruncateToEmpty() override {
    const bool emptied = fInner->TruncateToEmpty();
    if (emptied) fCopy.clear();
    return emptied;
  }

 private:
  std::unique_ptr<PackageOutputFile> fInner;
  std::string& fCopy;
};

}  // namespace

std::unique_ptr<PackageOutputFile> CopyingFileSystem::CreateForWriting(const std::u16string& path) {
  std::unique_ptr<PackageOutputFile> file = fInner.CreateForWriting(path);
  if (path != fPath) return file;
  fCopy.emplace();
  return std::make_unique<CopyingOutputFile>(std::move(file), *fCopy);
}

}  // namespace vo
