#include "shell/Registry.h"

#include <vector>

#include "shell/UniqueHandle.h"

namespace vo {
namespace {

std::u16string RelativePath(const std::u16string& keyPath) {
  if (!keyPath.empty() && keyPath[0] == u'\\') return keyPath.substr(1);
  return keyPath;
}

LSTATUS CreateKey(HKEY root, const std::u16string& path, UniqueRegKey& key) {
  return ::RegCreateKeyExW(root, WStr(path), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           key.put(), nullptr);
}

}  // namespace

bool RegCreateKeyPath(HKEY root, const std::u16string& keyPath) {
  UniqueRegKey key;
  if (CreateKey(root, RelativePath(keyPath), key) != ERROR_SUCCESS)
    throw ERegistryError(u"Failed to create key " + keyPath);
  return true;
}

namespace {

// Opens keyPath for writing, creating it when missing; an empty path means
// the root itself, opened rather than "created". Writes one value there.
bool WriteValue(HKEY root, const std::u16string& keyPath, const std::u16string& valueName, DWORD type,
                const BYTE* data, DWORD bytes) {
  const std::u16string path = RelativePath(keyPath);
  UniqueRegKey key;
  const LSTATUS opened = path.empty() ? ::RegOpenKeyExW(root, L"", 0, KEY_ALL_ACCESS, key.put())
                                      : CreateKey(root, path, key);
  if (opened != ERROR_SUCCESS) return false;
  if (::RegSetValueExW(key.get(), WStr(valueName), 0, type, data, bytes) != ERROR_SUCCESS)
    throw ERegistryError(u"Failed to set data for '" + valueName + u"'");
  return true;
}

}  // namespace

bool RegWriteStringValue(HKEY root, const std::u16string& keyPath, const std::u16string& valueName,
                         const std::u16string& text) {
  const DWORD bytes = DWORD((text.size() + 1) * sizeof(char16_t));
  return WriteValue(root, keyPath, valueName, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

bool RegWriteDwordValue(HKEY root, const std::u16string& keyPath, const std::u16string& valueName, uint32_t number) {
  const DWORD value = number;
  return WriteValue(root, keyPath, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::u16string RegReadStringValue(HKEY root, const std::u16string& keyPath, const std::u16string& valueName) {
  UniqueRegKey key;
  if (::RegOpenKeyExW(root, WStr(RelativePath(keyPath)), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) return {};

  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), WStr(valueName), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
    return {};
  // Another writer may grow the value between the two queries; ask again then.
  std::vector<char16_t> buffer;
  LSTATUS rc;
  do {
    // One spare unit, so an odd byte count still fits in whole characters.
    buffer.assign(size / sizeof(char16_t) + 1, u'\0');
    DWORD capacity = DWORD(buffer.size() * sizeof(char16_t));
    rc = ::RegQueryValueExW(key.get(), WStr(valueName), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                            &capacity);
    size = capacity;
  } while (rc == ERROR_MORE_DATA);
  if (rc != ERROR_SUCCESS || size == 0) return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryError(u"Invalid data type for '" + valueName + u"'");

  const size_t units = size / sizeof(char16_t);
  size_t length = 0;
  while (length < units && buffer[length] != u'\0') ++length;
  return std::u16string(buffer.data(), length);
}

}  // namespace vo
