#include "tools/stpack/ProductFolder.h"

#include <memory>
#include <optional>
#include <utility>

#include "package/PackageError.h"
#include "settings/Language.h"
#include "settings/ProductSettings.h"
#include "text/Unicode.h"
#include "tools/stpack/Commands.h"
#include "tools/stpack/DefaultResources.h"
#include "tools/stpack/PictureChecks.h"
#include "tools/stpack/ProductChecks.h"
#include "tools/stpack/ShellQuote.h"

namespace vo::stpack {
namespace {

// A few dozen short settings; anything near this size is some other file.
constexpr int64_t kLargestFile = 1 << 20;
// Pictures and licence texts are small; a larger file is some other file.
constexpr int64_t kLargestPicture = 16 << 20;
constexpr int64_t kLargestLicense = 1 << 20;

bool EndsWithSeparator(const std::u16string& path) {
  return !path.empty() && (path.back() == u'\\' || path.back() == u'/');
}

std::string ReadSmallFile(PackageFileSystem& files, const std::u16string& path, int64_t largest, const char* what) {
  const std::string name = Utf16ToUtf8(path);
  try {
    std::unique_ptr<PackageInputFile> input = files.OpenForReading(path);
    const int64_t size = input->Size();
    if (size > largest) {
      throw ToolError(name + ": " + std::to_string(size) + " bytes is too large for " + what);
    }
    std::string bytes(size_t(size), '\0');
    bytes.resize(input->Read(bytes.data(), bytes.size()));
    return bytes;
  } catch (const EPackageError& e) {
    throw ToolError(name + ": cannot read " + what + ": " + e.what());
  }
}

}  // namespace

ProductFolder ReadProductFolder(PackageFileSystem& files, const std::u16string& folder, bool checkSettings) {
  ProductFolder product;
  product.name = Utf16ToUtf8(folder);
  product.folder = EndsWithSeparator(folder) ? folder : folder + u'/';
  if (!files.FolderExists(product.folder)) {
    throw ToolError(product.name + ": no such folder (make one with `stpack init " + QuoteForShell(product.name) + "`)");
  }
  const std::u16string ini = product.folder + u"product.ini";
  product.settingsName = Utf16ToUtf8(ini);
  if (!files.FileExists(ini)) {
    throw ToolError(product.settingsName + ": not found; a product folder holds its settings in product.ini "
                    "(`stpack init " + QuoteForShell(product.name) + "` writes one to start from)");
  }
  product.settings = ReadProductSettingsFile(files, ini);
  if (checkSettings) CheckProductSettings(product.settings, product.settingsName, product.warnings);

  const std::u16string tree = product.folder + u"payload";
  const std::u16string manifest = product.folder + u"payload.manifest";
  const bool hasTree = files.FolderExists(tree + u'/');
  const bool hasManifest = files.FileExists(manifest);
  if (hasTree && hasManifest) {
    throw ToolError(product.name + ": holds both payload/ and payload.manifest: keep the folder of files or the "
                    "manifest, not both");
  }
  if (!hasTree && !hasManifest) {
    throw ToolError(product.name + ": has no payload: put the product's files into " + Utf16ToUtf8(tree) +
                    "/ (or list them in payload.manifest)");
  }
  product.payload = hasTree ? tree : manifest;

  // Pictures: the product's own, checked as the installer will read them,
  // or the defaults. A banner given for one language only serves both.
  auto picture = [&](const char16_t* fileName) -> std::optional<std::string> {
    const std::u16string path = product.folder + fileName;
    if (!files.FileExists(path)) return std::nullopt;
    return ReadSmallFile(files, path, kLargestPicture, "a picture");
  };
  auto pictureName = [&](const char16_t* fileName) { return Utf16ToUtf8(product.folder + fileName); };
  std::optional<std::string> chinese = picture(u"ImageLeft0.jpg");
  std::optional<std::string> english = picture(u"ImageLeft2.jpg");
  for (auto [bytes, fileName] : {std::pair{&chinese, u"ImageLeft0.jpg"}, std::pair{&english, u"ImageLeft2.jpg"}}) {
    if (!*bytes) continue;
    for (std::string& warning : CheckBanner(**bytes, pictureName(fileName))) product.warnings.push_back(warning);
  }
  if (chinese && !english) {
    product.warnings.push_back(pictureName(u"ImageLeft2.jpg") + ": not found; the English wizard shows ImageLeft0.jpg too");
    english = chinese;
  } else if (english && !chinese) {
    product.warnings.push_back(pictureName(u"ImageLeft0.jpg") + ": not found; the Chinese wizard shows ImageLeft2.jpg too");
    chinese = english;
  }
  product.bannerChinese = chinese ? *chinese : std::string(defaults::kBannerChinese);
  product.bannerEnglish = english ? *english : std::string(defaults::kBannerEnglish);
  const std::optional<std::string> header = picture(u"ImageIcon.bmp");
  product.headerPicture = HeaderBitmapResource(header ? *header : std::string(defaults::kHeaderPicture),
                                               header ? pictureName(u"ImageIcon.bmp") : "the default ImageIcon.bmp");
  const std::optional<std::string> icon = picture(u"AppIcon.ico");
  if (icon) {
    for (std::string& warning : CheckIcon(*icon, pictureName(u"AppIcon.ico"))) product.warnings.push_back(warning);
  }
  product.appIcon = icon ? *icon : std::string(defaults::kAppIcon);

  for (const auto& [language, written] : product.settings.licenseFiles) {
    const std::string key = language == kUiChinese ? "LicenseZh" : "LicenseEn";
    const std::string place = product.settingsName + ":" + std::to_string(product.settings.lines.at(key)) + ": ";
    if (written.empty()) throw ToolError(place + key + " names no file: give the licence text's file name or drop the line");
    std::u16string path = written;
    if (!(path.size() > 1 && (path[0] == u'/' || path[1] == u':'))) path = product.folder + path;
    if (!files.FileExists(path)) {
      throw ToolError(place + key + " names " + Utf16ToUtf8(written) + ", which does not exist (looked for " +
                      Utf16ToUtf8(path) + ")");
    }
    product.licenses[language] =
        CheckLicenseText(ReadSmallFile(files, path, kLargestLicense, "a licence text"), Utf16ToUtf8(path));
  }
  return product;
}

namespace {

// One folder name Windows can create: no separator or reserved character,
// no trailing dot or space.
bool UsableAsFolderName(const std::string& name) {
  return !name.empty() && name.find_first_of("\\/:*?\"<>|") == std::string::npos && name.back() != '.' &&
         name.back() != ' ';
}

// The publisher's lines: set when the publisher was given, comments with
// Corvenna's values otherwise.
std::string PublisherLines(const std::string& publisher, const std::string& homePage) {
  if (publisher.empty()) {
    return "# CompanyFolder = Corvenna Soft\n"
           "# PublisherEn = Corvenna Software\n"
           "# PublisherZh = \xE6\x9F\xAF\xE9\x9B\xAF\xE7\xBA\xB3\xE8\xBD\xAF\xE4\xBB\xB6\xE5\xB7\xA5\xE4\xBD\x9C\xE5\xAE\xA4\n"
           "# HomePageEn = http://www.corvenna.com/\n"
           "# HomePageZh = http://www.corvenna.com/cn/\n";
  }
  std::string lines = UsableAsFolderName(publisher) ? "CompanyFolder = " + publisher + "\n"
                                                    : "# CompanyFolder = (a folder name for " + publisher + ")\n";
  lines += "PublisherEn = " + publisher + "\nPublisherZh = " + publisher + "\n";
  if (homePage.empty()) return lines + "# HomePageEn = https://...\n# HomePageZh = https://...\n";
  return lines + "HomePageEn = " + homePage + "\nHomePageZh = " + homePage + "\n";
}

}  // namespace

std::string ProductSettingsTemplate(const std::string& name, const std::string& publisher,
                                    const std::string& homePage) {
  return "# Product settings for `stpack make`. One \"<setting> = <value>\" a line; a\n"
         "# setting may also be written by its number (1004 = ...). Lines starting with #\n"
         "# or ; are comments. Save this file as UTF-8.\n"
         "\n"
         "# The product's main program without \".exe\": payload/" + name + ".exe must exist.\n"
         "# The wizard can launch it at the end; the shortcuts point at it; it is\n"
         "# also the name of the folder the product is installed into.\n"
         "ExeName = " + name + "\n"
         "Version = 1.0\n"
         "\n"
         "# Display names: window titles, shortcuts, the list of installed programs.\n"
         "ProductNameEn = " + name + "\n"
         "ProductNameZh = " + name + "\n"
         "\n"
         "# The built-in licence agreement in its freeware (-1) or shareware (0) wording.\n"
         "Freeware = -1\n"
         "\n"
         "# How the installer and the uninstaller see that the product is running: the\n"
         "# class and the title (and a second title, e.g. the Chinese one) of its main\n"
         "# window. Without them they cannot tell.\n"
         "WindowClass =\n"
         "WindowTitle = " + name + "\n"
         "WindowTitleAlt =\n"
         "\n"
         "# Shown on the destination page; empty: the installed size of the payload.\n"
         "RequiredSpace =\n"
         "\n"
         "# Optional. The folder under Program Files (\".\" for none), the publisher and\n"
         "# home page in the list of installed programs, and your own licence texts\n"
         "# (UTF-8 files in this folder) in place of the built-in agreement.\n"
         + PublisherLines(publisher, homePage) +
         "# LicenseEn = license-en.txt\n"
         "# LicenseZh = license-zh.txt\n"
         "\n"
         "# Pictures (optional, stpack has defaults): ImageLeft0.jpg and ImageLeft2.jpg\n"
         "# (160 x 308 JPEG banners of the Chinese and English wizard), ImageIcon.bmp\n"
         "# (32 x 32, 24 bits; its bottom-left colour shows transparent), AppIcon.ico\n"
         "# (with a 32 x 32 image).\n";
}

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
