// Windows console glue: wmain's UTF-16 arguments in; WriteConsoleW on a
// console, UTF-8 bytes when the output is redirected to a file or pipe.

#include <windows.h>

#include <cstdio>
#include <io.h>

#include "tools/stpack/Console.h"
#include "tools/stpack/PartialFiles.h"
#include "text/Unicode.h"

namespace vo::stpack {
namespace {

void Print(DWORD which, FILE* stream, const std::string& utf8) {
  HANDLE handle = ::GetStdHandle(which);
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode)) {
    std::fflush(stream);
    std::u16string text = Utf8ToUtf16(utf8).value_or(u"?");
    DWORD written = 0;
    ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

// Ctrl-C, Ctrl-Break and closing the console arrive on a thread of their
// own. The main thread holds the partial files open without sharing, so
// Windows refuses to delete them from here: it is told to give up at its next
// write, which removes them; then this thread ends the process. Closing the
// console allows the handler some seconds, hence the bounded wait.
BOOL WINAPI RemovePartialFilesAndExit(DWORD) {
  RequestInterrupt();
  for (int waited = 0; AnyPartialFile() && waited < 4000; waited += 50) ::Sleep(50);
  ForEachPartialFile([](const char* path) {
    const std::u16string wide = Utf8ToUtf16(path).value_or(u"");
    ::DeleteFileW(reinterpret_cast<const wchar_t*>(wide.c_str()));
  });
  ::ExitProcess(130);
  return TRUE;
}

}  // namespace

void PrintOut(const std::string& utf8) { Print(STD_OUTPUT_HANDLE, stdout, utf8); }
void PrintErr(const std::string& utf8) { Print(STD_ERROR_HANDLE, stderr, utf8); }

bool ErrIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

std::u16string ExecutableFolder() {
  // GetModuleFileNameW returns the buffer's size when it had to cut the name
  // (and on Windows XP sets no error), so grow the buffer until it fits.
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
  const size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(path.data()), separator + 1);
}

}  // namespace vo::stpack

int wmain(int argc, wchar_t** argv) {
  ::SetConsoleCtrlHandler(vo::stpack::RemovePartialFilesAndExit, TRUE);
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  return vo::stpack::Run(arguments);
}
