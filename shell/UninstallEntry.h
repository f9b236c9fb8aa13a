#pragma once
// The product's entry in the system's list of installed programs, written
// under HKEY_LOCAL_MACHINE after the files are in place.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vo {

// What the entry needs from the product settings, for the language the wizard
// runs in.
struct UninstallProduct {
  std::u16string productName;     // `ProductName`: display name of the current language
  std::u16string exeBaseName;     // `ExeBaseName`, without ".exe"
  std::u16string productVersion;  // `ProductVersion`
  std::u16string publisher;       // of the current language
  std::u16string homePage;        // of the current language
  // The unpacked size of the package in KB (EstimatedSizeKilobytes); no
  // "EstimatedSize" value is written without it.
  std::optional<uint32_t> estimatedSizeKb;
};

// One value of the entry: a REG_SZ text or a REG_DWORD number.
struct UninstallValue {
  enum Kind { kText, kNumber };
  std::u16string name;
  Kind kind = kText;
  std::u16string text;
  uint32_t number = 0;
};

// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<productName>".
std::u16string UninstallKeyPath(const std::u16string& productName);

// The values of the entry, in the order they are written: the six the
// installer always wrote (DisplayIcon, DisplayName, DisplayVersion,
// Publisher, URLInfoAbout, UninstallString), then QuietUninstallString,
// InstallLocation, EstimatedSize (when known), NoModify and NoRepair.
// installDir ends in a backslash. The uninstaller's path is quoted: an
// unquoted path with spaces would let Windows start C:\Program.exe in its
// place.
std::vector<UninstallValue> UninstallEntryValues(const UninstallProduct& product, const std::u16string& installDir);

// Bytes as the list of installed programs counts them: kilobytes, rounded up,
// at most 0xFFFFFFFF. A negative count gives 0.
uint32_t EstimatedSizeKilobytes(int64_t bytes);

// Windows only: creates the key and writes the values in order; returns how
// many were written. A value whose key cannot be opened is skipped; a refused
// write raises EShellError (ERegistryError) and leaves the later values
// unwritten.
size_t RegisterUninstallEntry(const UninstallProduct& product, const std::u16string& installDir);

}  // namespace vo
