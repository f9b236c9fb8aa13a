#pragma once
// Where the installer and the uninstaller take their DLLs from. Both run with
// administrator rights from folders anyone can write to (Downloads, %TEMP%),
// so a DLL must never come from the program's own folder or the current
// folder: the programs import only DLLs the system keeps in its known-DLL
// list, restrict the search of every later load to the system folder, and
// load anything else with LoadSystemLibrary. The image's load configuration
// (defined beside these functions; programs link `restricted_dll_search`)
// also tells Windows 10 and later to resolve static imports from the system
// folder only.

#include <windows.h>

#include <string>

namespace vo {

// Limits every later DLL search of the process to the system folder and
// side-by-side assemblies (SetDefaultDllDirectories). Systems without it
// (Windows XP, Vista and 7 without update KB2533623) at least lose the
// current folder from the search (SetDllDirectoryW("")). Also loads, from the
// system folder, the DLLs that system DLLs are known to load later by bare
// name, so that no later search can pick a planted copy. Call it first thing.
void RestrictDllSearchToSystemFolder();

// Loads a system DLL by file name ("comctl32.dll"): the side-by-side version
// the program's manifest asks for, or else the system folder's copy; never a
// copy in the program's or the current folder. Null when it cannot be loaded
// (GetLastError tells why). The module stays loaded for the process.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// The full path of the side-by-side copy of fileName that the active
// activation context (the program's manifest) asks for, such as version 6 of
// comctl32.dll in the WinSxS folder; empty when it asks for none or the file
// is not there. LoadSystemLibrary loads it by this path where the system has
// no search flags.
std::wstring SideBySidePath(const wchar_t* fileName);

// GetProcAddress with the type of the function it returns, null when the
// module lacks it.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
  // The cast through void(*)() tells the compiler the signature change is
  // meant: GetProcAddress returns every export as one type.
  return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace vo
