#pragma once
// What stpack writes into an installer when the product folder brings none of
// its own: the pictures drawn for this project (resources/defaults/, made by
// its make-pictures.sh) and the installer's manifest
// (resources/installer.manifest, less its comments and indentation),
// compiled into the tool.

#include <string_view>

namespace vo::stpack::defaults {

extern const std::string_view kBannerChinese;  // ImageLeft0.jpg
extern const std::string_view kBannerEnglish;  // ImageLeft2.jpg
extern const std::string_view kHeaderPicture;  // ImageIcon.bmp
extern const std::string_view kAppIcon;        // AppIcon.ico
extern const std::string_view kInstallerManifest;

}  // namespace vo::stpack::defaults
