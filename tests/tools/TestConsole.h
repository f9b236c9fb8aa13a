#pragma once
// The console the tests give stpack: output kept in strings, never a
// terminal, and a program folder the test chooses.

#include <string>

namespace vo::test {

struct RecordedConsole {
  std::string out;
  std::string err;
  std::u16string executableFolder;  // what ExecutableFolder() answers
};

// The one console of the test process; ResetConsole() clears it.
RecordedConsole& Console();
void ResetConsole();

}  // namespace vo::test
