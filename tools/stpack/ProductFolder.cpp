#include "tools/stpack/ProductFolder.h"

#include <memory>

#include "package/PackageError.h"
#include "settings/ProductSettings.h"
#include "text/Unicode.h"
#include "tools/stpack/Commands.h"

namespace vo::stpack {
namespace {

// A few dozen short settings; anything near this size is some other file.
constexpr int64_t kLargestFile = 1 << 20;

}  // namespace

ProductSettingsFile ReadProductSettingsFile(PackageFileSystem& files, const std::u16string& path) {
  const std::string name = Utf16ToUtf8(path);
  if (!files.FileExists(path)) throw ToolError(name + ": product settings file not found");
  std::string bytes;
  try {
    std::unique_ptr<PackageInputFile> input = files.OpenForReading(path);
    const int64_t size = input->Size();
    if (size > kLargestFile) {
      throw ToolError(name + ": " + std::to_string(size) + " bytes is too large for a product settings file");
    }
    bytes.resize(size_t(size));
    bytes.resize(input->Read(bytes.data(), bytes.size()));
  } catch (const EPackageError& e) {
    throw ToolError(name + ": cannot read the product settings: " + e.what());
  }
  try {
    return ParseProductSettingsFile(bytes, name);
  } catch (const EProductSettingError& e) {
    throw ToolError(e.what());
  }
}

}  // namespace vo::stpack
