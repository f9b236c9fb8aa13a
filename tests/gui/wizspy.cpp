// Looks at the installer from outside and plays the rest of the machine, for
// the GUI and end-to-end tests under Wine.
//
//   wizspy dump <out> [timeout-ms]     waits for the wizard window (class TForm1)
//                                      and writes it and every child control
//   wizspy msgbox <out> [timeout-ms]   waits for a message box (class #32770)
//                                      and writes it and its children
//   wizspy product <class> <title>     shows a window of that class and title
//                                      until it is closed (a running product)
//   wizspy find <class> <title> [ms]   waits until FindWindowW finds that window
//   wizspy close <class> <title> [ms]  asks that window to close and waits
//                                      until it is gone
//   wizspy link <file.lnk> <out>       writes the shortcut's target path, its
//                                      working folder and arguments, one a line
//   wizspy hold <file> <ready> <release>  opens file without sharing, as a
//                                      running program holds its own files,
//                                      creates ready and keeps the file open
//                                      until release exists (two minutes at most)
//   wizspy measure <in> <out>          measures texts as the wizard's controls
//                                      draw them (see MeasureTexts)
//   wizspy watch <report> <program> [arguments]
//                                      starts program (arguments appended to
//                                      its quoted path as they are) and watches
//                                      it until it ends: every window it owns,
//                                      top-level (shown or hidden) or
//                                      message-only, goes to report as
//                                      "window|class|title|visible", then
//                                      "exit|<exit code>"; exit code 0, or 2
//                                      when the program cannot be started
//   wizspy                             writes "launched.txt" beside itself (the
//                                      product the wizard starts at Finish)
//
// Output is UTF-8, one line per window, fields separated by "|", the text
// last with \n, \r and \\ escaped:
//   form|x|y|w|h|clientW|clientH|title                       (screen coordinates)
//   ctl|name|class|ownVisible|shown|enabled|x|y|w|h|screenX|screenY|value|focus|parent|text
// x and y are relative to the parent's client area, screenX and screenY are
// the top left corner on the screen; value is a check box's
// state or the progress bar's position, "-" otherwise. Exit code 0 when the
// window was found, 1 when not.

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "wizard/ControlIds.h"

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int length = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                     nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], length, nullptr, nullptr);
  return out;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

std::wstring TextOf(HWND window) {
  // WM_GETTEXT crosses the process boundary; GetWindowText would not ask an
  // edit control of another process for its text.
  DWORD_PTR length = 0;
  ::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length);
  std::vector<wchar_t> buffer(length + 1);
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                        2000, &copied);
  return std::wstring(buffer.data(), copied);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = L"";
  ::GetClassNameW(window, name, 64);
  return name;
}

std::string NameOf(HWND window, bool wizard) {
  const int id = ::GetDlgCtrlID(window);
  if (wizard) {
    if (const char* name = vo::WizardControlName(id)) return name;
  }
  return std::to_string(id);
}

struct Dump {
  FILE* out;
  bool wizard;
  HWND top;
  HWND focus;
};

BOOL CALLBACK DumpChild(HWND window, LPARAM param) {
  auto* dump = reinterpret_cast<Dump*>(param);
  HWND parent = ::GetParent(window);
  RECT screen, r;
  ::GetWindowRect(window, &screen);
  r = screen;
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  const std::wstring cls = ClassOf(window);
  std::string value = "-";
  const LONG style = ::GetWindowLongW(window, GWL_STYLE);
  if (lstrcmpiW(cls.c_str(), L"Button") == 0) {
    const LONG type = style & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) {
      DWORD_PTR state = 0;
      ::SendMessageTimeoutW(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
      value = std::to_string(state);
    }
  } else if (lstrcmpiW(cls.c_str(), PROGRESS_CLASSW) == 0) {
    DWORD_PTR position = 0;
    ::SendMessageTimeoutW(window, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &position);
    value = std::to_string(position);
  } else if (lstrcmpiW(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
    value = ::SendMessageW(window, STM_GETICON, 0, 0) ? "icon" : "noicon";
  }
  std::fprintf(dump->out, "ctl|%s|%s|%d|%d|%d|%ld|%ld|%ld|%ld|%ld|%ld|%s|%d|%s|%s\n",
               NameOf(window, dump->wizard).c_str(), Utf8(cls).c_str(), (style & WS_VISIBLE) ? 1 : 0,
               ::IsWindowVisible(window) ? 1 : 0, ::IsWindowEnabled(window) ? 1 : 0, r.left, r.top,
               r.right - r.left, r.bottom - r.top, screen.left, screen.top, value.c_str(),
               window == dump->focus ? 1 : 0, parent == dump->top ? "form" : NameOf(parent, dump->wizard).c_str(),
               Escape(Utf8(TextOf(window))).c_str());
  return TRUE;
}

HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    HWND found = nullptr;
    for (HWND w = ::FindWindowW(className, nullptr); w; w = ::FindWindowExW(nullptr, w, className, nullptr)) {
      if (::IsWindowVisible(w)) {
        found = w;
        break;
      }
    }
    if (found) return found;
    if (::GetTickCount() - start >= timeoutMs) return nullptr;
    ::Sleep(100);
  }
}

int DumpWindow(const wchar_t* className, const wchar_t* outPath, DWORD timeoutMs, bool wizard) {
  HWND top = WaitForWindow(className, timeoutMs);
  if (!top) return 1;
  FILE* out = _wfopen(outPath, L"wb");
  if (!out) return 2;
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof(thread);
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &thread);
  RECT r, client;
  ::GetWindowRect(top, &r);
  ::GetClientRect(top, &client);
  std::fprintf(out, "%s|%ld|%ld|%ld|%ld|%ld|%ld|%s\n", wizard ? "form" : "box", r.left, r.top, r.right - r.left,
               r.bottom - r.top, client.right, client.bottom, Escape(Utf8(TextOf(top))).c_str());
  Dump dump{out, wizard, top, thread.hwndFocus};
  ::EnumChildWindows(top, DumpChild, reinterpret_cast<LPARAM>(&dump));
  std::fclose(out);
  return 0;
}

LRESULT CALLBACK ProductProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(window, message, wParam, lParam);
}

int RunProduct(const wchar_t* className, const wchar_t* title) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ProductProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowW(className, title, WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
  if (!window) return 1;
  ::ShowWindow(window, SW_SHOWMINNOACTIVE);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}

int FindExactWindow(const wchar_t* className, const wchar_t* title, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 100) {
    if (::FindWindowW(className, title)) return 0;
    ::Sleep(100);
  }
  return 1;
}

int CloseWindow(const wchar_t* className, const wchar_t* title, int timeoutMs) {
  HWND window = ::FindWindowW(className, title);
  if (!window) return 1;
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  for (int waited = 0; waited <= timeoutMs; waited += 100) {
    if (!::IsWindow(window)) return 0;
    ::Sleep(100);
  }
  return 1;
}

// Reads a shortcut with the shell's own link object, independently of the
// installer's shortcut code.
int ReadLink(const wchar_t* linkPath, const wchar_t* outPath) {
  if (FAILED(::CoInitialize(nullptr))) return 2;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  int result = 1;
  wchar_t target[MAX_PATH] = L"", folder[MAX_PATH] = L"", arguments[1024] = L"";
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(linkPath, STGM_READ)) &&
      SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
      SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH)) && SUCCEEDED(link->GetArguments(arguments, 1024))) {
    if (FILE* out = _wfopen(outPath, L"wb")) {
      std::fprintf(out, "%s\n%s\n%s\n", Utf8(target).c_str(), Utf8(folder).c_str(), Utf8(arguments).c_str());
      std::fclose(out);
      result = 0;
    }
  }
  if (file) file->Release();
  if (link) link->Release();
  ::CoUninitialize();
  return result;
}

int HoldFile(const wchar_t* path, const wchar_t* readyPath, const wchar_t* releasePath) {
  HANDLE file = ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  if (FILE* ready = _wfopen(readyPath, L"wb")) std::fclose(ready);
  for (int i = 0; i < 1200 && ::GetFileAttributesW(releasePath) == INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(100);
  ::CloseHandle(file);
  return 0;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], length);
  return out;
}

// The inverse of Escape.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The size a text takes in a font, as DrawTextW lays it out. Fonts of
// another process cannot be read from outside, so each line names the font:
//   name|face|points|bold 0/1|dpi|width|mode|text (escaped as in a dump)
// mode "wrap" breaks lines at width (a word-wrapped label), "line" keeps
// them (a label sized to its text), "prefix" also hides "&" (a button or
// check box caption). Writes "name|width|height" per line.
int MeasureTexts(const wchar_t* inPath, const wchar_t* outPath) {
  FILE* in = _wfopen(inPath, L"rb");
  if (!in) return 2;
  FILE* out = _wfopen(outPath, L"wb");
  if (!out) {
    std::fclose(in);
    return 2;
  }
  HDC dc = ::CreateCompatibleDC(nullptr);
  char buffer[8192];
  while (std::fgets(buffer, sizeof buffer, in)) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::vector<std::string> fields;
    size_t start = 0;
    for (int i = 0; i < 7; ++i) {
      const size_t bar = line.find('|', start);
      if (bar == std::string::npos) break;
      fields.push_back(line.substr(start, bar - start));
      start = bar + 1;
    }
    if (fields.size() != 7) continue;
    const std::wstring text = Wide(Unescape(line.substr(start)));
    const int dpi = std::atoi(fields[4].c_str());
    HFONT font = ::CreateFontW(-::MulDiv(std::atoi(fields[2].c_str()), dpi, 72), 0, 0, 0,
                               fields[3] == "1" ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                               Wide(fields[1]).c_str());
    HGDIOBJ old = ::SelectObject(dc, font);
    RECT r = {0, 0, std::atoi(fields[5].c_str()), 0};
    UINT flags = DT_CALCRECT | DT_LEFT | DT_EXPANDTABS;
    if (fields[6] == "wrap") flags |= DT_WORDBREAK;
    if (fields[6] != "prefix") flags |= DT_NOPREFIX;
    if (!text.empty()) ::DrawTextW(dc, text.c_str(), -1, &r, flags);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    std::fprintf(out, "%s|%ld|%ld\n", fields[0].c_str(), r.right - r.left, r.bottom - r.top);
  }
  ::DeleteDC(dc);
  std::fclose(in);
  std::fclose(out);
  return 0;
}

struct Watched {
  DWORD processId;
  std::set<HWND> seen;
  FILE* out;
};

void NoteWindow(Watched& watched, HWND window) {
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != watched.processId || !watched.seen.insert(window).second) return;
  std::fprintf(watched.out, "window|%s|%s|%d\n", Utf8(ClassOf(window)).c_str(), Escape(Utf8(TextOf(window))).c_str(),
               ::IsWindowVisible(window) ? 1 : 0);
  std::fflush(watched.out);
}

BOOL CALLBACK NoteTopLevel(HWND window, LPARAM param) {
  NoteWindow(*reinterpret_cast<Watched*>(param), window);
  return TRUE;
}

// Every window of the process, looked for every few milliseconds while it
// runs: the top-level ones (EnumWindows lists hidden ones too) and the
// message-only ones, which EnumWindows leaves out.
int Watch(const wchar_t* reportPath, const wchar_t* program, const wchar_t* arguments) {
  FILE* out = _wfopen(reportPath, L"wb");
  if (!out) return 2;
  std::wstring line = L"\"" + std::wstring(program) + L"\"";
  if (arguments && *arguments) line += L" " + std::wstring(arguments);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(program, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(out, "error|cannot start the program (%lu)\n", ::GetLastError());
    std::fclose(out);
    return 2;
  }
  Watched watched{process.dwProcessId, {}, out};
  for (;;) {
    ::EnumWindows(NoteTopLevel, reinterpret_cast<LPARAM>(&watched));
    for (HWND w = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = ::FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) {
      NoteWindow(watched, w);
    }
    if (::WaitForSingleObject(process.hProcess, 5) == WAIT_OBJECT_0) break;
  }
  DWORD exitCode = 0;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  std::fprintf(out, "exit|%lu\n", exitCode);
  std::fclose(out);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return 0;
}

int MarkLaunched() {
  wchar_t path[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring marker(path, length);
  marker = marker.substr(0, marker.find_last_of(L'\\') + 1) + L"launched.txt";
  FILE* out = _wfopen(marker.c_str(), L"wb");
  if (!out) return 1;
  std::fputs("launched\n", out);
  std::fclose(out);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 1) return MarkLaunched();
  const std::wstring mode = argv[1];
  const DWORD timeout = argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 10000;
  if (mode == L"dump" && argc > 2) return DumpWindow(L"TForm1", argv[2], timeout, true);
  if (mode == L"msgbox" && argc > 2) return DumpWindow(L"#32770", argv[2], timeout, false);
  if (mode == L"product" && argc > 3) return RunProduct(argv[2], argv[3]);
  if (mode == L"close" && argc > 3) return CloseWindow(argv[2], argv[3], argc > 4 ? _wtoi(argv[4]) : 10000);
  if (mode == L"hold" && argc > 4) return HoldFile(argv[2], argv[3], argv[4]);
  if (mode == L"link" && argc > 3) return ReadLink(argv[2], argv[3]);
  if (mode == L"find" && argc > 3) return FindExactWindow(argv[2], argv[3], argc > 4 ? _wtoi(argv[4]) : 10000);
  if (mode == L"measure" && argc > 3) return MeasureTexts(argv[2], argv[3]);
  if (mode == L"watch" && argc > 3) return Watch(argv[2], argv[3], argc > 4 ? argv[4] : nullptr);
  std::fputs("usage: wizspy dump|msgbox <out> [ms] | product <class> <title> | find <class> <title> [ms] |"
             " measure <in> <out> | watch <report> <program> [arguments]\n",
             stderr);
  return 2;
}
