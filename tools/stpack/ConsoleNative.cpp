// Linux console glue: UTF-8 arguments in, UTF-8 text out; the program's
// own folder from /proc/self/exe.

#include <climits>
#include <csignal>
#include <cstdio>

#include <unistd.h>

#include "tools/stpack/Console.h"
#include "tools/stpack/PartialFiles.h"
#include "text/Unicode.h"

namespace vo::stpack {

void PrintOut(const std::string& utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stdout); }

void PrintErr(const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

bool ErrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::u16string ExecutableFolder() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || size_t(length) >= sizeof path) return {};
  std::string text(path, size_t(length));
  const size_t slash = text.rfind('/');
  if (slash == std::string::npos) return {};
  return Utf8ToUtf16(text.substr(0, slash + 1)).value_or(u"");
}

namespace {

// SIGINT and SIGTERM: the partial outputs go, and the process ends with the
// shell's code for the signal. Only async-signal-safe calls here.
extern "C" void RemovePartialFilesAndExit(int signal) {
  ForEachPartialFile([](const char* path) { ::unlink(path); });
  ::_exit(128 + signal);
}

void InstallInterruptCleanup() {
  struct sigaction action = {};
  action.sa_handler = RemovePartialFilesAndExit;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM}) ::sigaction(signal, &action, nullptr);
}

}  // namespace
}  // namespace vo::stpack

int main(int argc, char** argv) {
  vo::stpack::InstallInterruptCleanup();
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) {
    std::optional<std::u16string> argument = vo::Utf8ToUtf16(argv[i]);
    if (!argument) {
      vo::stpack::PrintErr("stpack: argument " + std::to_string(i) + " is not UTF-8 text\n");
      return 2;
    }
    arguments.push_back(*argument);
  }
  return vo::stpack::Run(arguments);
}
