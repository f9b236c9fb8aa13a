#pragma once
// The console side of stpack, one file per platform: the entry point that
// turns the command line into UTF-16 arguments, and text output. Output is
// UTF-8; on a Windows console it is written as UTF-16 so that names in any
// language show.

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

}  // namespace vo::stpack
