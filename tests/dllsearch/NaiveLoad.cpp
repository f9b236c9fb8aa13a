// The careless way to load a DLL: LoadLibraryW with a bare name and the
// default search, which looks in the program's own folder first. For each
// name on the command line prints "<name> loaded" or "<name> not loaded".
// The DLL search test runs it beside planted copies to show they are found
// when nothing restricts the search. It imports user32 and shell32 as the
// installer does, so that what Wine loads while starting such a program
// shows too.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

int main() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!arguments) return 1;
  for (int i = 1; i < count; ++i) {
    HMODULE module = ::LoadLibraryW(::CharLowerW(arguments[i]));
    std::printf("%ls %s\n", arguments[i], module ? "loaded" : "not loaded");
  }
  ::LocalFree(arguments);
  return 0;
}
