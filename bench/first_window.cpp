// first_window: how long a program takes from its start to its first window
// on the screen. Windows only (run under Wine by bench/compare.sh).
//
//   first_window <runs> <program> [arguments...]
//
// Each run starts the program, polls for a visible top-level window of its
// process, notes the time, and ends the process (its window is never used).
// It prints one line per run, "run <n>: <ms> ms", and then "median <ms> ms".
// The first run of a program is its cold start (files not yet in the cache);
// the median is over every run. A program that exits or shows nothing within
// 30 s fails the run with exit code 1.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "shell/UniqueHandle.h"

namespace {

// One argument quoted the way CommandLineToArgvW splits it back.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

struct WindowSearch {
  DWORD processId;
  bool found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) {
    search->found = true;
    return FALSE;
  }
  return TRUE;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// One run: the milliseconds to the first visible window, or a negative
// number when there was none.
double TimeFirstWindow(std::wstring commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  LARGE_INTEGER start, now;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    std::fprintf(stderr, "first_window: cannot start the program (error %lu)\n", GetLastError());
    return -1;
  }
  vo::UniqueHandle process(started.hProcess);
  vo::UniqueHandle thread(started.hThread);
  double elapsed = -1;
  for (;;) {
    WindowSearch search{started.dwProcessId, false};
    EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
    QueryPerformanceCounter(&now);
    if (search.found) {
      elapsed = Milliseconds(start, now);
      break;
    }
    if (WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0) {
      std::fprintf(stderr, "first_window: the program ended without showing a window\n");
      return -1;
    }
    if (Milliseconds(start, now) > 30000) {
      std::fprintf(stderr, "first_window: no window after 30 s\n");
      break;
    }
  }
  TerminateProcess(process.get(), 0);
  WaitForSingleObject(process.get(), 10000);
  return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc >= 3 ? _wtoi(argv[1]) : 0;
  if (runs < 1) {
    std::fprintf(stderr, "usage: first_window <runs> <program> [arguments...]\n");
    return 2;
  }
  std::wstring commandLine = Quoted(argv[2]);
  for (int i = 3; i < argc; ++i) commandLine += L" " + Quoted(argv[i]);

  std::vector<double> times;
  for (int run = 1; run <= runs; ++run) {
    const double ms = TimeFirstWindow(commandLine);
    if (ms < 0) return 1;
    std::printf("run %d: %.1f ms\n", run, ms);
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("median %.1f ms\n", times[(times.size() - 1) / 2]);
  return 0;
}
