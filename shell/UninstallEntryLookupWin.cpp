#include <windows.h>

#include <vector>

#include "shell/ShellError.h"
#include "shell/UninstallEntry.h"
#include "shell/UniqueHandle.h"

namespace vo {
namespace {

struct RegistryPlace {
  HKEY root;
  REGSAM view;  // 0 for the process's own
  const char16_t* name;
};

// Only reads: an installer that is not elevated may still look.
std::u16string ReadText(HKEY key, const std::u16string& valueName) {
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key, WStr(valueName), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
    return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryError(u"Invalid data type for '" + valueName + u"'");
  std::vector<char16_t> buffer;
  LSTATUS rc;
  do {
    buffer.assign(size / sizeof(char16_t) + 1, u'\0');
    DWORD capacity = DWORD(buffer.size() * sizeof(char16_t));
    rc = ::RegQueryValueExW(key, WStr(valueName), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &capacity);
    size = capacity;
  } while (rc == ERROR_MORE_DATA);
  if (rc != ERROR_SUCCESS) return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryError(u"Invalid data type for '" + valueName + u"'");
  const size_t units = size / sizeof(char16_t);
  size_t length = 0;
  while (length < units && buffer[length] != u'\0') ++length;
  return std::u16string(buffer.data(), length);
}

}  // namespace

std::vector<FoundUninstallEntry> FindUninstallEntries(const std::u16string& rootKeyPath,
                                                      const std::vector<std::u16string>& keyNames) {
  static const RegistryPlace kPlaces[] = {
      {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, u"HKEY_LOCAL_MACHINE (32-bit view)"},
      {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, u"HKEY_LOCAL_MACHINE (64-bit view)"},
      {HKEY_CURRENT_USER, 0, u"HKEY_CURRENT_USER"},
  };
  std::vector<FoundUninstallEntry> found;
  for (const RegistryPlace& place : kPlaces) {
    std::vector<std::u16string> seenNames;
    for (const std::u16string& name : keyNames) {
      if (name.empty()) continue;
      bool repeated = false;
      for (const std::u16string& seen : seenNames) repeated = repeated || seen == name;
      if (repeated) continue;
      seenNames.push_back(name);

      const std::u16string keyPath = rootKeyPath + u"\\" + name;
      UniqueRegKey key;
      if (::RegOpenKeyExW(place.root, WStr(keyPath), 0, KEY_QUERY_VALUE | place.view, key.put()) != ERROR_SUCCESS)
        continue;
      FoundUninstallEntry entry;
      entry.installLocation = ReadText(key.get(), u"InstallLocation");
      entry.displayVersion = ReadText(key.get(), u"DisplayVersion");
      entry.where = std::u16string(place.name) + u"\\" + keyPath;
      bool duplicate = false;
      for (const FoundUninstallEntry& earlier : found) {
        duplicate = duplicate || (earlier.installLocation == entry.installLocation &&
                                  earlier.displayVersion == entry.displayVersion);
      }
      if (!duplicate) found.push_back(entry);
    }
  }
  return found;
}

}  // namespace vo
