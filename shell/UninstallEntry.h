#pragma once
// The product's entry in the system's list of installed programs, written
// under HKEY_LOCAL_MACHINE after the files are in place.

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
};

struct RegistryTextValue {
  std::u16string name;
  std::u16string data;
};

// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<productName>".
std::u16string UninstallKeyPath(const std::u16string& productName);

// The six values of the entry, in the order they are written. installDir ends
// in a backslash. The uninstaller's path is quoted: an unquoted path with
// spaces would let Windows start C:\Program.exe in its place.
std::vector<RegistryTextValue> UninstallEntryValues(const UninstallProduct& product, const std::u16string& installDir);

// Windows only: creates the key and writes the six values in order. A value
// whose key cannot be opened is skipped; a refused write raises EShellError
// (ERegistryError) and leaves the later values unwritten.
void RegisterUninstallEntry(const UninstallProduct& product, const std::u16string& installDir);

}  // namespace vo
