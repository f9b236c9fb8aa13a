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

// The folder under which every product's entry is a subkey, below
// HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
extern const char16_t kUninstallRootKeyPath[];  // "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"

// An entry found by FindUninstallEntries.
struct FoundUninstallEntry {
  std::u16string installLocation;  // "InstallLocation", may be empty
  std::u16string displayVersion;   // "DisplayVersion", may be empty
  std::u16string where;            // "HKEY_LOCAL_MACHINE (32-bit view)\<root>\<key>", for the log
};

// Windows only: the entries <rootKeyPath>\<keyName> for each key name, in
// the places an installer may have written one, in this order: the
// 32-bit registry view of HKEY_LOCAL_MACHINE (where this 32-bit installer
// writes), its 64-bit view, then HKEY_CURRENT_USER. An entry seen twice
// (both views are one on 32-bit Windows) is given once. Empty and repeated
// key names are skipped. A value of another type than text raises
// ERegistryError.
std::vector<FoundUninstallEntry> FindUninstallEntries(const std::u16string& rootKeyPath,
                                                      const std::vector<std::u16string>& keyNames);

// Windows only: creates the key and writes the values in order; returns how
// many were written. A value whose key cannot be opened is skipped; a refused
// write raises EShellError (ERegistryError) and leaves the later values
// unwritten.
size_t RegisterUninstallEntry(const UninstallProduct& product, const std::u16string& installDir);

}  // namespace vo
