#pragma once
// A package file system held in memory: files are byte strings, folders a set
// of paths. It builds on every platform and touches no disk, so the tests can
// set up any package and inspect what an extraction left, and the fuzzer runs
// the extractor without file I/O.
//
// It keeps the rules of the real sides where the package code can tell the
// difference: a file opened for reading or writing is held without sharing
// (a second open, a rename or a delete fails until the handle is gone); a
// file can only be created in a folder that exists; a folder in the way of a
// file fails its creation; CreateForWriting empties an existing file. Paths
// are compared as they are written apart from "/" and "\" counting the same
// and trailing separators being ignored (no letter-case folding, no "."
// or ".." resolution). A path without a separator lies in the current
// folder, which always exists. A path longer than kMaxPathLength code units
// names nothing and can be neither created nor opened, as on the Win32 side
// (MAX_PATH, no "\\?\" prefix).
//
// SetFreeSpace models a full disk: a write that does not fit takes what does
// and then fails with a write error. Its handles must not outlive it.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "package/PackageFileSystem.h"
#include "text/Error.h"

namespace vo {

class MemoryFileSystem final : public PackageFileSystem {
 public:
  static constexpr size_t kMaxPathLength = 259;

  explicit MemoryFileSystem(std::u16string systemFolder = {});
  ~MemoryFileSystem() override;
  MemoryFileSystem(const MemoryFileSystem&) = delete;
  MemoryFileSystem& operator=(const MemoryFileSystem&) = delete;

  bool FolderExists(const std::u16string& path) override;
  bool FileExists(const std::u16string& path) override;
  void CreateFolders(const std::u16string& path) override;
  std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) override;
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override;
  std::u16string SystemFolder() override { return fSystemFolder; }
  void MoveReplacing(const std::u16string& from, const std::u16string& to) override;
  bool RemoveFile(const std::u16string& path) override;
  // Nothing here is a link.
  bool IsLink(const std::u16string&) override { return false; }
  bool RenameNoReplace(const std::u16string& from, const std::u16string& to, std::string* why) override;
  bool RemoveEmptyFolder(const std::u16string& path) override;

  // Puts a file in place (its folders are created), replacing one of that
  // name; raises LogicError while the file is open.
  void PutFile(const std::u16string& path, std::string bytes);
  // The bytes of a file, or null when there is none. Valid until the file
  // is written, replaced or removed.
  const std::string* FindFile(const std::u16string& path) const;
  // Every file, by its path in the stored form ("\" separators).
  std::map<std::u16string, std::string> Files() const;
  // Every folder, in the stored form, sorted.
  std::vector<std::u16string> Folders() const;

  // Bytes that writes may still add, counted over all files (a write that
  // shrinks nothing; emptying a file gives its bytes back). nullopt: no limit.
  void SetFreeSpace(std::optional<int64_t> bytes) { fFreeSpace = bytes; }
  std::optional<int64_t> FreeSpace() const { return fFreeSpace; }

  // Handles open right now, and the paths of every file created so far in
  // order (one entry per CreateForWriting that succeeded).
  int OpenHandles() const { return fOpenHandles; }
  const std::vector<std::u16string>& Created() const { return fCreated; }

 private:
  struct Entry;
  class Input;
  class Output;

  static std::u16string Normalize(const std::u16string& path);
  bool IsFolder(const std::u16string& normalized) const;
  std::shared_ptr<Entry> Find(const std::u16string& normalized) const;
  void GiveBack(int64_t bytes);

  std::u16string fSystemFolder;
  // Hashed: every lookup is a path that shares a long prefix with the others.
  std::unordered_map<std::u16string, std::shared_ptr<Entry>> fFiles;
  std::unordered_set<std::u16string> fFolders;
  std::optional<int64_t> fFreeSpace;
  int fOpenHandles = 0;
  std::vector<std::u16string> fCreated;
};

}  // namespace vo
