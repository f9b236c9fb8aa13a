// The in-memory package file system (rules in PackageFileSystemMemory.h).

#include "package/PackageFileSystemMemory.h"

#include <algorithm>
#include <cstring>

#include "package/PackageError.h"
#include "text/Error.h"

namespace vo {

struct MemoryFileSystem::Entry {
  std::string bytes;
  bool open = false;
};

class MemoryFileSystem::Input final : public PackageInputFile {
 public:
  Input(MemoryFileSystem& owner, std::shared_ptr<Entry> entry, std::u16string path)
      : fOwner(owner), fEntry(std::move(entry)), fPath(std::move(path)) {
    fEntry->open = true;
    ++fOwner.fOpenHandles;
  }
  ~Input() override {
    fEntry->open = false;
    --fOwner.fOpenHandles;
  }

  int64_t Size() override { return int64_t(fEntry->bytes.size()); }

  void Seek(int64_t offset) override {
    if (offset < 0 || offset > Size()) {
      throw EPackageError(PackageErrorKind::Read, "cannot seek in " + Quoted(fPath) + " to offset " +
                                                      std::to_string(offset) + ": outside its " +
                                                      std::to_string(Size()) + " bytes");
    }
    fPosition = size_t(offset);
  }

  size_t Read(void* buffer, size_t count) override {
    const std::string& bytes = fEntry->bytes;
    const size_t n = fPosition < bytes.size() ? std::min(count, bytes.size() - fPosition) : 0;
    if (n > 0) std::memcpy(buffer, bytes.data() + fPosition, n);
    fPosition += n;
    return n;
  }

 private:
  MemoryFileSystem& fOwner;
  std::shared_ptr<Entry> fEntry;
  std::u16string fPath;
  size_t fPosition = 0;
};

class MemoryFileSystem::Output final : public PackageOutputFile {
 public:
  Output(MemoryFileSystem& owner, std::shared_ptr<Entry> entry, std::u16string path)
      : fOwner(owner), fEntry(std::move(entry)), fPath(std::move(path)) {
    fEntry->open = true;
    ++fOwner.fOpenHandles;
  }
  ~Output() override {
    fEntry->open = false;
    --fOwner.fOpenHandles;
  }

  void Write(const void* data, size_t count) override {
    size_t taken = count;
    if (fOwner.fFreeSpace && int64_t(count) > *fOwner.fFreeSpace) taken = size_t(*fOwner.fFreeSpace);
    fEntry->bytes.append(static_cast<const char*>(data), taken);
    if (fOwner.fFreeSpace) *fOwner.fFreeSpace -= int64_t(taken);
    if (taken != count) {
      throw EPackageError(PackageErrorKind::Write, "cannot write " + std::to_string(count) + " bytes to " +
                                                       Quoted(fPath) + ": the disk is full (" +
                                                       std::to_string(taken) + " taken)");
    }
  }

  void WriteAt(int64_t offset, const void* data, size_t count) override {
    if (offset < 0 || size_t(offset) + count > fEntry->bytes.size()) {
      throw EPackageError(PackageErrorKind::Write, "cannot write " + std::to_string(count) + " bytes at offset " +
                                                       std::to_string(offset) + " of " + Quoted(fPath) +
                                                       ": past what was written");
    }
    fEntry->bytes.replace(size_t(offset), count, static_cast<const char*>(data), count);
  }

  bool TruncateToEmpty() override {
    fOwner.GiveBack(int64_t(fEntry->bytes.size()));
    fEntry->bytes.clear();
    fEntry->bytes.shrink_to_fit();
    return true;
  }

 private:
  MemoryFileSystem& fOwner;
  std::shared_ptr<Entry> fEntry;
  std::u16string fPath;
};

MemoryFileSystem::MemoryFileSystem(std::u16string systemFolder) : fSystemFolder(std::move(systemFolder)) {}

MemoryFileSystem::~MemoryFileSystem() = default;

std::u16string MemoryFileSystem::Normalize(const std::u16string& path) {
  std::u16string result = path;
  std::replace(result.begin(), result.end(), u'/', u'\\');
  while (!result.empty() && result.back() == u'\\') result.pop_back();
  return result;
}

bool MemoryFileSystem::IsFolder(const std::u16string& normalized) const {
  return normalized.empty() || fFolders.count(normalized) != 0;
}

std::shared_ptr<MemoryFileSystem::Entry> MemoryFileSystem::Find(const std::u16string& normalized) const {
  auto it = fFiles.find(normalized);
  return it == fFiles.end() ? nullptr : it->second;
}

void MemoryFileSystem::GiveBack(int64_t bytes) {
  if (fFreeSpace) *fFreeSpace += bytes;
}

namespace {

bool TooLong(const std::u16string& path) { return path.size() > MemoryFileSystem::kMaxPathLength; }

}  // namespace

bool MemoryFileSystem::FolderExists(const std::u16string& path) {
  return !TooLong(path) && IsFolder(Normalize(path));
}

bool MemoryFileSystem::FileExists(const std::u16string& path) {
  return !TooLong(path) && Find(Normalize(path)) != nullptr;
}

void MemoryFileSystem::CreateFolders(const std::u16string& path) {
  // Walks up to the first folder that exists, then makes the missing ones top
  // down, as the Win32 side does; a file in the way stops it, as it stops the
  // real calls. Folders past the length limit cannot be made, their parents
  // can.
  size_t length = path.size();
  if (length > kMaxPathLength) {
    const size_t cut = path.find_last_of(u"\\/", kMaxPathLength);
    length = cut == std::u16string::npos ? 0 : cut;
  }
  std::u16string folder = Normalize(path.substr(0, length));
  std::vector<std::u16string> missing;
  while (!folder.empty() && !IsFolder(folder)) {
    if (fFiles.count(folder) != 0) return;
    missing.push_back(folder);
    const size_t cut = folder.find_last_of(u'\\');
    if (cut == std::u16string::npos) break;
    folder.erase(cut);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) fFolders.insert(std::move(*it));
}

std::unique_ptr<PackageInputFile> MemoryFileSystem::OpenForReading(const std::u16string& path) {
  if (TooLong(path)) throw EPackageError(PackageErrorKind::Open, "cannot open " + Quoted(path) + ": the path is too long");
  std::shared_ptr<Entry> entry = Find(Normalize(path));
  if (!entry) {
    throw EPackageError(PackageErrorKind::Open, "cannot open " + Quoted(path) + ": " +
                                                    (IsFolder(Normalize(path)) ? "it is a folder" : "no such file"));
  }
  if (entry->open) throw EPackageError(PackageErrorKind::Open, "cannot open " + Quoted(path) + ": it is in use");
  return std::make_unique<Input>(*this, std::move(entry), path);
}

std::unique_ptr<PackageOutputFile> MemoryFileSystem::CreateForWriting(const std::u16string& path) {
  const std::u16string key = Normalize(path);
  auto fail = [&](const char* why) {
    throw EPackageError(PackageErrorKind::Create, "cannot create " + Quoted(path) + ": " + why);
  };
  if (TooLong(path)) fail("the path is too long");
  if (IsFolder(key) || path.empty() || path.back() == u'\\' || path.back() == u'/') fail("it is a folder");
  const size_t cut = key.find_last_of(u'\\');
  if (cut != std::u16string::npos && !IsFolder(key.substr(0, cut))) fail("its folder does not exist");
  std::shared_ptr<Entry> entry = Find(key);
  if (entry) {
    if (entry->open) fail("it is in use");
    GiveBack(int64_t(entry->bytes.size()));
    entry->bytes.clear();
  } else {
    entry = std::make_shared<Entry>();
    fFiles.emplace(key, entry);
  }
  fCreated.push_back(key);
  return std::make_unique<Output>(*this, std::move(entry), path);
}

void MemoryFileSystem::MoveReplacing(const std::u16string& from, const std::u16string& to) {
  const std::u16string source = Normalize(from);
  const std::u16string target = Normalize(to);
  auto fail = [&](const char* why) {
    throw EPackageError(PackageErrorKind::Write, "cannot rename " + Quoted(from) + " to " + Quoted(to) + ": " + why);
  };
  if (TooLong(from) || TooLong(to)) fail("the path is too long");
  std::shared_ptr<Entry> moved = Find(source);
  if (!moved) fail("no such file");
  if (moved->open) fail("it is in use");
  if (IsFolder(target)) fail("a folder of that name exists");
  const size_t cut = target.find_last_of(u'\\');
  if (cut != std::u16string::npos && !IsFolder(target.substr(0, cut))) fail("the folder does not exist");
  if (source == target) return;
  if (std::shared_ptr<Entry> replaced = Find(target)) {
    if (replaced->open) fail("the file it replaces is in use");
    GiveBack(int64_t(replaced->bytes.size()));
  }
  fFiles[target] = moved;
  fFiles.erase(source);
}

bool MemoryFileSystem::RenameNoReplace(const std::u16string& from, const std::u16string& to, std::string* why) {
  auto refuse = [why](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  if (TooLong(from) || TooLong(to)) return refuse("the name is too long");
  const std::u16string source = Normalize(from);
  const std::u16string target = Normalize(to);
  std::shared_ptr<Entry> moved = Find(source);
  if (!moved) return refuse("the file does not exist");
  if (moved->open) return refuse("the file is in use");
  if (Find(target) || IsFolder(target)) return refuse("the new name exists");
  const size_t cut = target.find_last_of(u'\\');
  if (cut != std::u16string::npos && !IsFolder(target.substr(0, cut))) {
    return refuse("the new name's folder does not exist");
  }
  fFiles[target] = moved;
  fFiles.erase(source);
  return true;
}

bool MemoryFileSystem::RemoveEmptyFolder(const std::u16string& path) {
  if (TooLong(path)) return false;
  const std::u16string folder = Normalize(path);
  if (!IsFolder(folder)) return false;
  const std::u16string inside = folder + u'\\';
  for (const auto& [file, entry] : fFiles) {
    if (file.compare(0, inside.size(), inside) == 0) return false;
  }
  for (const std::u16string& other : fFolders) {
    if (other.compare(0, inside.size(), inside) == 0) return false;
  }
  fFolders.erase(folder);
  return true;
}

std::vector<std::u16string> MemoryFileSystem::Folders() const {
  std::vector<std::u16string> folders(fFolders.begin(), fFolders.end());
  std::sort(folders.begin(), folders.end());
  return folders;
}

bool MemoryFileSystem::RemoveFile(const std::u16string& path) {
  if (TooLong(path)) return false;
  auto it = fFiles.find(Normalize(path));
  if (it == fFiles.end() || it->second->open) return false;
  GiveBack(int64_t(it->second->bytes.size()));
  fFiles.erase(it);
  return true;
}

void MemoryFileSystem::PutFile(const std::u16string& path, std::string bytes) {
  const std::u16string key = Normalize(path);
  const size_t cut = key.find_last_of(u'\\');
  if (cut != std::u16string::npos) CreateFolders(key.substr(0, cut));
  std::shared_ptr<Entry>& entry = fFiles[key];
  if (entry && entry->open) throw LogicError("MemoryFileSystem::PutFile: " + Quoted(path) + " is open");
  entry = std::make_shared<Entry>();
  entry->bytes = std::move(bytes);
}

const std::string* MemoryFileSystem::FindFile(const std::u16string& path) const {
  std::shared_ptr<Entry> entry = Find(Normalize(path));
  return entry ? &entry->bytes : nullptr;
}

std::map<std::u16string, std::string> MemoryFileSystem::Files() const {
  std::map<std::u16string, std::string> files;
  for (const auto& [path, entry] : fFiles) files.emplace(path, entry->bytes);
  return files;
}

}  // namespace vo
