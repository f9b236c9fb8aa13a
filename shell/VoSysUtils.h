#pragma once
// Small system queries of the installer: an information box, the text form
// of a byte count, drive space, fixed drives and the system folder. Only
// FormatByteSize with an explicit separator is portable; the rest is Windows
// only. None of the queries raises: failures show in the result.

#include <cstdint>
#include <string>

#include "text/DecimalNumber.h"  // UserDecimalSeparator
#include "text/Unicode.h"        // Utf16ToUtf8

namespace vo {

// Shows text in a modal box with one OK button and the information icon,
// owned by the active window (the main window when none is active), with the
// application's other windows disabled meanwhile. An empty caption means the
// application title.
void ShowInfoMessage(const std::u16string& text, const std::u16string& caption);

// The application title (by default the executable's base name) and main
// window used by ShowInfoMessage; the wizard sets both when its window is
// created. window is an HWND.
void SetApplicationTitle(const std::u16string& title);
std::u16string GetApplicationTitle();
void SetApplicationMainWindow(void* window);

// Byte count as text in the largest fitting unit of 1024: "1023 Bytes",
// "2 KB", "1.2 MB", "150 GB". KB are whole; MB and GB have one decimal up to
// 100 and are whole above it; ties round to even.
std::u16string FormatByteSize(int64_t size, char16_t decimalSeparator);
// The same with the user's regional decimal separator.
std::u16string FormatByteSize(int64_t size);

// Bytes free to the current user on the drive of letter ('@' means the
// current drive), or -1 when the drive cannot be queried.
int64_t GetDriveFreeBytes(char letter);

// Upper-case letters of the fixed drives in alphabetical order, e.g. "CD".
std::u16string GetFixedDriveLetters();

// The system folder ending in one backslash, or empty.
std::u16string GetSystemDirPath();

// The value of an environment variable, or empty when it is not set.
std::u16string GetEnvironmentText(const std::u16string& name);

// The temporary folder (GetTempPathW) ending in a backslash, or empty.
std::u16string GetTempFolderPath();

// The full path of the running executable.
std::u16string GetExecutablePath();

// The version Windows reports to this program (GetVersionExW, so a
// compatibility mode shows as the version it imitates).
struct WindowsVersion {
  int major = 0;
  int minor = 0;
  int build = 0;
  std::u16string servicePack;  // "Service Pack 1", or empty
};
WindowsVersion GetWindowsVersion();
// "6.1.7601 Service Pack 1".
std::u16string WindowsVersionText(const WindowsVersion& version);

}  // namespace vo
