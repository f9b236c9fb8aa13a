#pragma once
// Reading the publisher's product folder: its product.ini (parsed by
// settings/ProductSettingsFile.h) through the package code's file system.

#include <string>

#include "package/PackageFileSystem.h"
#include "settings/ProductSettingsFile.h"

namespace vo::stpack {

// Reads and parses the file at path. Raises ToolError, also for a missing
// file ("<path>: product settings file not found"), a file too large to be
// settings, and every error the parser names.
ProductSettingsFile ReadProductSettingsFile(PackageFileSystem& files, const std::u16string& path);

}  // namespace vo::stpack
