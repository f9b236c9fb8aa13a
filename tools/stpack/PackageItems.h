#pragma once
// The steps `build` and `make` share: collecting and checking the members of
// a package, and writing it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "package/PackageFileSystem.h"
#include "package/PackageManifest.h"
#include "package/PackageWriter.h"
#include "pe/ResourceStamper.h"
#include "settings/ProductSettingsFile.h"
#include "tools/stpack/Commands.h"

namespace vo::stpack {

struct SourceItem {
  ManifestEntry entry;
  std::u16string path;              // the file to read
  std::string place;                // "manifest.txt:3" or the path below the tree
  std::optional<std::string> data;  // the member's bytes when they are made here, not read from path
  int64_t size = 0;                 // the member's unpacked size, as measured before the output is created
};

// The members of a manifest file or folder tree, checked (every source
// exists, no two land on the same file), then the uninstaller and its list
// made with settings (named settingsName in messages) when uninstaller is
// given. The uninstaller is packed as a copy carrying the product's version
// block (ProductVersionResource); what the copy loses (a signature) is added
// to warnings. Raises ToolError before anything is written.
std::vector<SourceItem> CollectPackageItems(PackageFileSystem& files, const std::u16string& source,
                                            const std::u16string& output,
                                            const std::optional<UninstallerSource>& uninstaller,
                                            const ProductSettingsFile* settings, const std::string& settingsName,
                                            std::vector<std::string>& warnings);

// The version block (type 16, id 1, US English) of a program stpack writes
// for a product, the installer or the uninstaller it packs: what Explorer
// shows in the file's properties is the product's English name, its
// publisher (the installer's default where it is not set) and its version,
// never those of the prebuilt program it is made from. The two differ only
// in role, which ends the description ("<ProductNameEn> Setup"), and in the
// program's file name.
pe::NewResource ProductVersionResource(const ProductSettingsFile& settings, const std::u16string& role,
                                       const std::u16string& fileName);

struct PackageStats {
  size_t members = 0;
  uint64_t unpackedBytes = 0;
  int64_t packedBytes = 0;
};

// Writes the package to path, drawing a progress bar on a terminal; onBytes,
// when given, sees every byte written, in order.
PackageStats WritePackageFile(PackageFileSystem& files, const std::vector<SourceItem>& items,
                              const std::u16string& path, const PackageWriterOptions& options,
                              const std::function<void(const void*, size_t)>& onBytes);

// "8 members, 1234 bytes packed into 567 (cipher 5 Rijndael, hash 3 SHA-256, level 9)".
std::string PackageSummary(const PackageStats& stats, const PackageWriterOptions& options);

}  // namespace vo::stpack
