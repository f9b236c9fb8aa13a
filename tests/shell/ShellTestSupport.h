#pragma once
// Fixtures shared by the Windows shell tests: text conversion for messages,
// a private registry tree, temporary folders and small files.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "shell/ShellError.h"
#include "shell/UniqueHandle.h"

namespace vo::test {

inline std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

// A second thread running work, joined at the latest when it goes out of
// scope (work does not run when no thread can be made). The Windows build
// uses the compiler's win32 thread flavour, whose library has no std::thread.
// work must not throw.
class TestThread {
 public:
  explicit TestThread(std::function<void()> work) : fWork(std::move(work)) {
    fThread = ::CreateThread(nullptr, 0, &TestThread::Run, this, 0, nullptr);
  }
  ~TestThread() { join(); }
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;
  void join() {
    if (!fThread) return;
    ::WaitForSingleObject(fThread, INFINITE);
    ::CloseHandle(fThread);
    fThread = nullptr;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<TestThread*>(self)->fWork();
    return 0;
  }
  std::function<void()> fWork;
  HANDLE fThread = nullptr;
};

// Case-insensitive comparison, as Windows compares paths.
inline bool SamePath(const std::u16string& a, const std::u16string& b) {
  return ::CompareStringOrdinal(WStr(a), -1, WStr(b), -1, TRUE) == CSTR_EQUAL;
}

// Deletes a registry tree now and again at the end of the scope.
class ScopedRegistryTree {
 public:
  ScopedRegistryTree(HKEY root, std::u16string path) : fRoot(root), fPath(std::move(path)) { Delete(); }
  ~ScopedRegistryTree() { Delete(); }
  ScopedRegistryTree(const ScopedRegistryTree&) = delete;
  ScopedRegistryTree& operator=(const ScopedRegistryTree&) = delete;
  const std::u16string& path() const { return fPath; }

 private:
  void Delete() { ::RegDeleteTreeW(fRoot, WStr(fPath)); ::RegDeleteKeyW(fRoot, WStr(fPath)); }
  HKEY fRoot;
  std::u16string fPath;
};

struct RawValue {
  bool exists = false;
  DWORD type = 0;
  std::vector<BYTE> data;
};

inline RawValue ReadRawValue(HKEY root, const std::u16string& keyPath, const std::u16string& name) {
  RawValue value;
  UniqueRegKey key;
  if (::RegOpenKeyExW(root, WStr(keyPath), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), WStr(name), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return value;
  value.data.resize(size);
  if (::RegQueryValueExW(key.get(), WStr(name), nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS)
    return value;
  value.data.resize(size);
  value.exists = true;
  return value;
}

inline void WriteRawValue(HKEY root, const std::u16string& keyPath, const std::u16string& name, DWORD type,
                          const void* data, DWORD size) {
  UniqueRegKey key;
  ::RegCreateKeyExW(root, WStr(keyPath), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
  ::RegSetValueExW(key.get(), WStr(name), 0, type, static_cast<const BYTE*>(data), size);
}

inline bool KeyExists(HKEY root, const std::u16string& keyPath) {
  UniqueRegKey key;
  return ::RegOpenKeyExW(root, WStr(keyPath), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// A registry value that a test replaces or removes, restored afterwards.
class ScopedRegistryValue {
 public:
  ScopedRegistryValue(HKEY root, std::u16string keyPath, std::u16string name)
      : fRoot(root), fKeyPath(std::move(keyPath)), fName(std::move(name)),
        fSaved(ReadRawValue(fRoot, fKeyPath, fName)) {}
  ~ScopedRegistryValue() {
    if (fSaved.exists)
      WriteRawValue(fRoot, fKeyPath, fName, fSaved.type, fSaved.data.data(), DWORD(fSaved.data.size()));
    else
      Remove();
  }
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

  void SetText(const std::u16string& text) {
    WriteRawValue(fRoot, fKeyPath, fName, REG_SZ, text.c_str(), DWORD((text.size() + 1) * 2));
  }
  void Remove() { ::RegDeleteKeyValueW(fRoot, WStr(fKeyPath), WStr(fName)); }

 private:
  HKEY fRoot;
  std::u16string fKeyPath;
  std::u16string fName;
  RawValue fSaved;
};

inline bool FileExists(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(WStr(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool FolderExists(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(WStr(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Writes a whole file; false when it cannot be created or written.
inline bool WriteFileBytes(const std::u16string& path, const std::string& bytes) {
  UniqueFile file(::CreateFileW(WStr(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && (bytes.empty() || (::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                                    written == bytes.size()));
}

inline void DeleteTree(const std::u16string& path) {
  WIN32_FIND_DATAW entry;
  UniqueFindHandle find(::FindFirstFileW(WStr(path + u"\\*"), &entry));
  if (find) {
    do {
      const std::u16string name = U16(entry.cFileName);
      if (name == u"." || name == u"..") continue;
      const std::u16string child = path + u"\\" + name;
      ::SetFileAttributesW(WStr(child), FILE_ATTRIBUTE_NORMAL);  // read-only files too
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        DeleteTree(child);
      else
        ::DeleteFileW(WStr(child));
    } while (::FindNextFileW(find.get(), &entry));
  }
  find.reset();
  ::RemoveDirectoryW(WStr(path));
}

// Creates every missing folder of path; returns those it made, deepest first.
inline std::vector<std::u16string> CreateFolders(const std::u16string& path) {
  std::vector<std::u16string> made;
  auto make = [&](const std::u16string& folder) {
    if (::CreateDirectoryW(WStr(folder), nullptr)) made.insert(made.begin(), folder);
  };
  for (size_t i = path.find(u'\\', 3); i != std::u16string::npos; i = path.find(u'\\', i + 1)) make(path.substr(0, i));
  make(path);
  return made;
}

// A fresh folder under the temp folder, removed with its contents at the end.
class TempFolder {
 public:
  explicit TempFolder(const std::u16string& name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    fPath = U16(temp) + u"CorvennaShellTests\\" + name;
    DeleteTree(fPath);
    CreateFolders(fPath);
  }
  ~TempFolder() {
    DeleteTree(fPath);
    ::RemoveDirectoryW(WStr(fPath.substr(0, fPath.find_last_of(u'\\'))));  // only once empty
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::u16string& path() const { return fPath; }

 private:
  std::u16string fPath;
};

}  // namespace vo::test
