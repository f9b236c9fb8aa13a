#pragma once
// The file-system seam of the package code. The extractor and the package
// writer touch files only through these interfaces, so the same logic runs on
// the Win32 file API (PackageFileSystemWin.cpp: CreateFileW without sharing,
// CREATE_ALWAYS for targets) and natively on POSIX calls
// (PackageFileSystemNative.cpp), where the tests run it under the
// sanitizers; PackageFileSystemMemory.h keeps files in memory for the tests
// and the fuzzer.
//
// Paths are UTF-16 in the Windows form: folders end in a backslash and a
// file's path is its folder followed directly by its name. The native side
// reads every backslash as "/".

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vo {

// A file open for reading with one read position.
class PackageInputFile {
 public:
  virtual ~PackageInputFile() = default;
  virtual int64_t Size() = 0;
  // Moves the read position to offset (0..Size()).
  virtual void Seek(int64_t offset) = 0;
  // Reads up to count bytes at the read position and advances it; fewer
  // bytes only at the end of the file. Raises a read error on a failure.
  virtual size_t Read(void* buffer, size_t count) = 0;
};

// A file open for writing; closed (and its handle released) on destruction.
class PackageOutputFile {
 public:
  virtual ~PackageOutputFile() = default;
  // Writes all count bytes at the end of what was written so far; raises a
  // write error when the file does not take them all (a full disk, for
  // instance), after which the file may hold part of them.
  virtual void Write(const void* data, size_t count) = 0;
  // Overwrites count bytes already written at offset; the next Write still
  // appends. Raises a write error.
  virtual void WriteAt(int64_t offset, const void* data, size_t count) = 0;

  // Cuts the file back to 0 bytes; the next write starts at its beginning.
  // Used to leave no partial content behind when a member fails. False when
  // the system refuses (the file then keeps what it holds).
  virtual bool TruncateToEmpty() = 0;
};

class PackageFileSystem {
 public:
  virtual ~PackageFileSystem() = default;

  virtual bool FolderExists(const std::u16string& path) = 0;
  // True for a file, false for a folder or nothing.
  virtual bool FileExists(const std::u16string& path) = 0;
  // Creates the folder and its missing parents. Best effort: a failure shows
  // later, when a file in it cannot be created.
  virtual void CreateFolders(const std::u16string& path) = 0;
  // Opens an existing file for reading without sharing; raises an open error.
  virtual std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) = 0;
  // Creates a file for reading and writing without sharing, in place of any
  // file of that name: a link or a hard link there is replaced, not written
  // through. Raises a create error.
  virtual std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) = 0;
  // The system folder with its trailing separator, for "$System$" and
  // "$Third$" targets; empty when unknown.
  virtual std::u16string SystemFolder() = 0;

  // Used by the package tool for its write-then-rename output.
  // Replaces `to` with `from`; raises a write error.
  virtual void MoveReplacing(const std::u16string& from, const std::u16string& to) = 0;
  // Deletes a file; false when it could not.
  virtual bool RemoveFile(const std::u16string& path) = 0;
  // True when path is a link to another place: a symbolic link, a junction
  // or a mount point. Every file system answers: a wrapper that forgot to
  // would let the extractor write through links.
  virtual bool IsLink(const std::u16string& path) = 0;
  // Deletes a folder if it is empty; false when it could not or it is not.
  // A file system that cannot says false always.
  virtual bool RemoveEmptyFolder(const std::u16string& path) {
    (void)path;
    return false;
  }
  // Renames the file from to the name to, which must not exist: an existing
  // file or folder there is never replaced. For a journal that sets a file
  // aside in its own folder, so the rename stays on one volume. False when
  // it could not (to exists, from is missing or in use), and then, when why
  // is not null, the reason in words ("... (error 32)" on Windows). A file
  // system that cannot rename says false always.
  virtual bool RenameNoReplace(const std::u16string& from, const std::u16string& to, std::string* why) {
    (void)from;
    (void)to;
    if (why) *why = "this file system cannot rename";
    return false;
  }
};

// A file system that hands every call on to another: the base of the
// wrappers that watch or change a few of the calls (the setup log's, the
// upgrade's journal), which override just those.
class ForwardingFileSystem : public PackageFileSystem {
 public:
  explicit ForwardingFileSystem(PackageFileSystem& inner) : fInner(inner) {}

  bool FolderExists(const std::u16string& path) override { return fInner.FolderExists(path); }
  bool FileExists(const std::u16string& path) override { return fInner.FileExists(path); }
  void CreateFolders(const std::u16string& path) override { fInner.CreateFolders(path); }
  std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) override {
    return fInner.OpenForReading(path);
  }
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override {
    return fInner.CreateForWriting(path);
  }
  std::u16string SystemFolder() override { return fInner.SystemFolder(); }
  void MoveReplacing(const std::u16string& from, const std::u16string& to) override { fInner.MoveReplacing(from, to); }
  bool RemoveFile(const std::u16string& path) override { return fInner.RemoveFile(path); }
  bool RemoveEmptyFolder(const std::u16string& path) override { return fInner.RemoveEmptyFolder(path); }
  bool IsLink(const std::u16string& path) override { return fInner.IsLink(path); }
  bool RenameNoReplace(const std::u16string& from, const std::u16string& to, std::string* why) override {
    return fInner.RenameNoReplace(from, to, why);
  }

 protected:
  PackageFileSystem& fInner;
};

// The file system of the running platform. systemFolder is what "$System$"
// stands for; when empty, Windows asks GetSystemDirectoryW and the native
// build leaves the tokens without a folder.
std::unique_ptr<PackageFileSystem> CreatePlatformFileSystem(const std::u16string& systemFolder = {});

}  // namespace vo
