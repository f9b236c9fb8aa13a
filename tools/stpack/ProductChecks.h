#pragma once
// The product settings and payload checked when an installer is built, for
// what the installer would otherwise find only on the user's machine: a
// freeware setting it cannot read, a product program the payload does not
// install, a display name that cannot name a shortcut or an uninstall entry,
// a value longer than the installer reads, an empty payload.
//
// Each check raises ToolError at the first fault, with a message that names
// the file and line (or setting) and says what to do; what would work but is
// probably not meant is added to `warnings`.

#include <string>
#include <vector>

#include "package/PackageManifest.h"
#include "settings/ProductSettingsFile.h"

namespace vo::stpack {

// Settings alone. Also fills in, with a warning, what one display name can
// lend the other when a product gives only one.
void CheckProductSettings(ProductSettingsFile& file, const std::string& fileName, std::vector<std::string>& warnings);

// The payload against the settings: not empty, and ExeName's program
// installed into the install folder itself.
void CheckPayloadAgainstSettings(const ProductSettingsFile& file, const std::string& fileName,
                                 const std::vector<ManifestEntry>& members, const std::string& payloadName);

// A licence text file's bytes: UTF-8 (a byte-order mark is allowed), not
// empty. Returns the text as the installer stores it (UTF-8 without the mark).
std::string CheckLicenseText(const std::string& bytes, const std::string& fileName);

}  // namespace vo::stpack
