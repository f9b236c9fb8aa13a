#include "shell/UninstallEntry.h"

#include "shell/Registry.h"

namespace vo {

size_t RegisterUninstallEntry(const UninstallProduct& product, const std::u16string& installDir) {
  const std::u16string keyPath = UninstallKeyPath(product.productName);
  RegCreateKeyPath(HKEY_LOCAL_MACHINE, keyPath);
  size_t written = 0;
  for (const UninstallValue& value : UninstallEntryValues(product, installDir)) {
    const bool done = value.kind == UninstallValue::kNumber
                          ? RegWriteDwordValue(HKEY_LOCAL_MACHINE, keyPath, value.name, value.number)
                          : RegWriteStringValue(HKEY_LOCAL_MACHINE, keyPath, value.name, value.text);
    if (done) ++written;
  }
  return written;
}

}  // namespace vo
