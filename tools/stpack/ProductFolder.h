#pragma once
// Reading the publisher's product folder, the input of `stpack make`:
//
//   product.ini          the product settings (settings/ProductSettingsFile.h)
//   payload/             the product's files as a folder tree, or instead
//   payload.manifest     a manifest naming them (tools/README.md)
//   ImageLeft0.jpg       banner of the Chinese wizard      (optional, like
//   ImageLeft2.jpg       banner of the English wizard       the other three
//   ImageIcon.bmp        header picture of pages 2 and 3    pictures: stpack
//   AppIcon.ico          the application icon               has defaults)
//
// plus the licence texts product.ini names. Every file is read and checked
// here, before anything is written.

#include <map>
#include <string>
#include <vector>

#include "package/PackageFileSystem.h"
#include "settings/ProductSettingsFile.h"

namespace vo::stpack {

struct ProductFolder {
  std::u16string folder;       // ends in a separator
  std::string name;            // as the publisher wrote it, for messages
  std::string settingsName;    // "<folder>/product.ini"
  ProductSettingsFile settings;
  std::u16string payload;      // the payload folder or the manifest file
  std::string bannerChinese;   // JPEG bytes
  std::string bannerEnglish;   // JPEG bytes
  std::string headerPicture;   // the bitmap resource (HeaderBitmapResource)
  std::string appIcon;         // .ico bytes
  std::map<int, std::string> licenses;  // interface language -> UTF-8 text
  std::vector<std::string> warnings;
};

// Reads the product folder: product.ini (checked with CheckProductSettings),
// the payload's place, every picture (the product's own, checked, or the
// default) and the licence texts. Raises ToolError for the first fault.
// checkSettings false leaves the settings as written, even those the
// installer cannot use (for testing the installer's own refusals).
ProductFolder ReadProductFolder(PackageFileSystem& files, const std::u16string& folder, bool checkSettings = true);

// The product.ini `stpack init` writes for a product called name.
std::string ProductSettingsTemplate(const std::string& name, const std::string& publisher = {},
                                    const std::string& homePage = {});

// Reads and parses the file at path. Raises ToolError, also for a missing
// file ("<path>: product settings file not found"), a file too large to be
// settings, and every error the parser names.
ProductSettingsFile ReadProductSettingsFile(PackageFileSystem& files, const std::u16string& path);

}  // namespace vo::stpack
