#include "shell/UninstallEntry.h"

#include "shell/Registry.h"

namespace vo {

void RegisterUninstallEntry(const UninstallProduct& product, const std::u16string& installDir) {
  const std::u16string keyPath = UninstallKeyPath(product.productName);
  RegCreateKeyPath(HKEY_LOCAL_MACHINE, keyPath);
  for (const RegistryTextValue& value : UninstallEntryValues(product, installDir))
    RegWriteStringValue(HKEY_LOCAL_MACHINE, keyPath, value.name, value.data);
}

}  // namespace vo
