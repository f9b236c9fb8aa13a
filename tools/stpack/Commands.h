#pragma once
// The four stpack commands. Each raises ToolError (or the package code's
// EPackageError) with a message that names the place of the fault; Run in
// Main.cpp prints it and turns it into exit code 1.

#include <optional>
#include <string>

#include "package/PackageCodec.h"
#include "package/PackageWriter.h"
#include "settings/ProductSettingsFile.h"
#include "text/Error.h"

namespace vo::stpack {

class ToolError : public Error {
 public:
  using Error::Error;
};

// The uninstaller build adds to the install folder after the source's
// members: the program as "Uninst.exe", and "Uninst.lst", the list of every
// file the package installs there, made with the product settings.
struct UninstallerSource {
  std::u16string program;          // the Uninst.exe to pack
  bool programIsDefault = false;   // found beside stpack rather than named by --uninstaller
  std::u16string productSettings;  // product.ini with settings 1001 to 1005
};

// Writes a layout A package from a manifest file or a folder tree, through a
// temporary file beside output that is renamed at the end (nothing is left
// behind on failure), with the uninstaller and its list as the last two
// members unless uninstaller is empty. Every check (sources, names, the
// uninstaller, the product settings) is made before output is created.
// The members' codec: compression when given, else the product settings'
// Compression when --product is read, else options.codec.
void BuildPackage(const std::u16string& source, const std::u16string& output, const PackageWriterOptions& options,
                  const std::optional<UninstallerSource>& uninstaller,
                  const std::optional<PackageCodec>& compression = std::nullopt);

// The codec a package is written with: the command line's, else the product
// settings' Compression, else fallback.
PackageCodec ChooseCodec(const std::optional<PackageCodec>& commandLine, const ProductSettingsFile* settings,
                         PackageCodec fallback);

struct MakeOptions {
  std::u16string productFolder;
  std::optional<std::u16string> output;       // default: <ExeName>Setup.exe here
  std::optional<std::u16string> stub;         // default: SetupStub.exe beside the tool
  std::optional<std::u16string> uninstaller;  // default: Uninst.exe beside the tool
  bool noUninstaller = false;
  bool uncheckedSettings = false;  // write settings the installer cannot use (tests)
  PackageWriterOptions package;
  std::optional<PackageCodec> compression;  // --compression; else product.ini's Compression
};

// Turns a product folder into its installer: checks everything, writes the
// package with the uninstaller and its list, and stamps the stub with the
// settings, pictures, licence texts, manifest, package and the package's
// SHA-256. Nothing is left behind on failure.
void MakeInstaller(const MakeOptions& options);

// Starts a product folder: folder/product.ini with every setting explained
// and an empty folder/payload/. Refuses a folder that already holds a
// product.ini.
// publisher and homePage, when given, become the publisher (both languages),
// the company folder (when the name is one a folder can have) and the home
// pages; otherwise those lines stay comments.
void InitProductFolder(const std::u16string& folder, const std::u16string& publisher = {},
                       const std::u16string& homePage = {});

// Prints the package's file table.
void ListPackage(const std::u16string& package);

// Extracts with ExtractPackage into folder; "$System$" and "$Third$" members
// go to systemFolder, by default the folder "System" inside folder.
void ExtractPackageTo(const std::u16string& package, const std::u16string& folder,
                      const std::optional<std::u16string>& systemFolder);

// Inflates and checks every member without writing anything.
void VerifyPackage(const std::u16string& package);

}  // namespace vo::stpack
