#pragma once
// The installer's command line and its exit codes.
//
// Without arguments the installer is the wizard it has always been, and it
// ends with exit code 0 whatever happens. Switches, in any letter case:
//
//   /S            silent: no window at all; the proposed folder, the default
//                 shortcuts, no launch at the end
//   /D=<folder>   the destination folder: everything after "/D=" up to the end
//                 of the line, spaces included and without quotes (the
//                 convention of the well-known open-source installers), so it
//                 comes last; a full path ("C:\Apps\X" or "\\server\share\X").
//                 Quoted as launchers pass one argument, "/D=C:\A B\X" or
//                 /D="C:\A B\X", it is what the quotes enclose, still last
//   /LOG=<file>   where the setup log goes (a value with spaces is quoted)
//   /?            the usage text
//
// With any argument on the line the run reports its outcome in the exit code
// (SetupExitCode), the wizard included.

#include <string>

namespace vo {

enum SetupExitCode : int {
  kExitInstalled = 0,         // installed, and every normal end of a wizard run without arguments
  kExitCancelled = 1,         // the wizard was closed before it installed
  kExitProductRunning = 2,    // the product's main window is open; nothing was done
  kExitExtractionFailed = 3,  // writing the files failed; those written so far stay
  kExitDamaged = 4,           // the package fails its digest, or the settings are invalid
  kExitBadCommandLine = 5,    // an unknown switch, /D= not last, an empty value; also /?
};

enum class CommandLineFault {
  None,
  UnknownSwitch,      // argument: the switch as given
  RepeatedSwitch,     // argument: "/LOG=" or "/D="
  EmptyValue,         // argument: "/LOG=" or "/D="
  FolderNotLast,      // argument: what follows the folder
  QuotedFolder,       // argument: the folder as given, with a quote inside it
  FolderNotAbsolute,  // argument: the folder as given
};

struct SetupCommandLine {
  bool bare = true;  // nothing after the program name
  bool silent = false;
  bool help = false;
  std::u16string installFolder;  // /D=, as given (without trailing spaces)
  std::u16string logFile;        // /LOG=, quotes removed
  // The first fault found. Parsing goes on past an unknown switch, so that
  // /S and /LOG= still decide where the fault is reported.
  CommandLineFault fault = CommandLineFault::None;
  std::u16string faultArgument;

  bool Valid() const { return fault == CommandLineFault::None; }
};

// Parses the whole command line as GetCommandLineW gives it, program name
// first (quoted or not, as Windows reads it).
SetupCommandLine ParseSetupCommandLine(const std::u16string& commandLine);

// The line after the program name, for the log.
std::u16string CommandArguments(const std::u16string& commandLine);

// The text /? shows, in the interface language; installerName is the
// executable's file name, defaultLog the log's default path.
std::u16string SetupUsageText(int uiLanguage, const std::u16string& installerName, const std::u16string& defaultLog);

// What is wrong with the line, one sentence in the interface language.
std::u16string CommandLineFaultText(int uiLanguage, const SetupCommandLine& command);

// "%TEMP%\<exeBaseName>Setup.log" with the temporary folder given (ending in a
// backslash or not).
std::u16string DefaultLogPath(const std::u16string& tempFolder, const std::u16string& exeBaseName);

}  // namespace vo
