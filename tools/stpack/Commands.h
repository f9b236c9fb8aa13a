#pragma once
// The four stpack commands. Each raises ToolError (or the package code's
// EPackageError) with a message that names the place of the fault; Run in
// Main.cpp prints it and turns it into exit code 1.

#include <optional>
#include <stdexcept>
#include <string>

#include "package/PackageWriter.h"

namespace vo::stpack {

class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes a layout A package from a manifest file or a folder tree, through a
// temporary file beside output that is renamed at the end (nothing is left
// behind on failure).
void BuildPackage(const std::u16string& source, const std::u16string& output, const PackageWriterOptions& options);

// Prints the package's file table.
void ListPackage(const std::u16string& package);

// Extracts with ExtractPackage into folder; "$System$" and "$Third$" members
// go to systemFolder, by default the folder "System" inside folder.
void ExtractPackageTo(const std::u16string& package, const std::u16string& folder,
                      const std::optional<std::u16string>& systemFolder);

// Inflates and checks every member without writing anything.
void VerifyPackage(const std::u16string& package);

}  // namespace vo::stpack
