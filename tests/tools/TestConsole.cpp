#include "TestConsole.h"

#include "tools/stpack/Console.h"

namespace vo::test {

RecordedConsole& Console() {
  static RecordedConsole console;
  return console;
}

void ResetConsole() { Console() = RecordedConsole(); }

}  // namespace vo::test

namespace vo::stpack {

void PrintOut(const std::string& utf8) { test::Console().out += utf8; }
void PrintErr(const std::string& utf8) { test::Console().err += utf8; }
bool ErrIsTerminal() { return false; }
std::u16string ExecutableFolder() { return test::Console().executableFolder; }

}  // namespace vo::stpack
