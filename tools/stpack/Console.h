#pragma once
// The console side of stpack, one file per platform: the entry point that
// turns the command line into UTF-16 arguments, text output, and where the
// program itself lies. Output is UTF-8; on a Windows console it is written
// as UTF-16 so that names in any language show. The tests link their own
// implementation of these functions, which records the output.

#include <string>
#include <vector>

namespace vo::stpack {

// The tool itself, called by the platform's entry point with the arguments
// after the program name. Returns the process exit code.
int Run(const std::vector<std::u16string>& arguments);

void PrintOut(const std::string& utf8);
void PrintErr(const std::string& utf8);
// True when standard error is a terminal (the progress bar draws there).
bool ErrIsTerminal();

// The folder of the running stpack executable with its trailing separator
// (where the build puts the default Uninst.exe), or empty when unknown.
std::u16string ExecutableFolder();

}  // namespace vo::stpack
