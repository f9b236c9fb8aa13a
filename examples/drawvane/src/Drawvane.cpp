// Drawvane: the sample product that the example installer delivers. A small
// freehand drawing program: drag with the left button to draw, right-click to
// clear. Its main window has the class and titles the installer's
// running-product guard looks for, so the guard and the launch at Finish can be
// seen with a real program.

#include <windows.h>

#include <vector>

namespace {

const wchar_t kWindowClass[] = L"TfrmImageEditor";
const wchar_t kTitleEnglish[] = L"Drawvane";
const wchar_t kTitleChinese[] = L"\x67EF\x96EF\x7EB3\x753B\x56FE";  // 柯雯纳画图

struct Stroke {
  std::vector<POINT> points;
};

std::vector<Stroke> gStrokes;
bool gDrawing = false;

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HPEN pen = CreatePen(PS_SOLID, 3, RGB(30, 60, 150));
  HGDIOBJ old = SelectObject(dc, pen);
  for (const Stroke& s : gStrokes) {
    if (s.points.size() > 1) Polyline(dc, s.points.data(), int(s.points.size()));
  }
  SelectObject(dc, old);
  DeleteObject(pen);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(120, 120, 120));
  const wchar_t hint[] = L"Drag to draw, right-click to clear.";
  TextOutW(dc, 8, 8, hint, lstrlenW(hint));
  EndPaint(window, &ps);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      gDrawing = true;
      SetCapture(window);
      gStrokes.push_back({{{short(LOWORD(lParam)), short(HIWORD(lParam))}}});
      return 0;
    case WM_MOUSEMOVE:
      if (gDrawing) {
        gStrokes.back().points.push_back({short(LOWORD(lParam)), short(HIWORD(lParam))});
        InvalidateRect(window, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP:
      gDrawing = false;
      ReleaseCapture();
      return 0;
    case WM_RBUTTONUP:
      gStrokes.clear();
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32515));  // IDC_CROSS
  wc.hIcon = LoadIconW(instance, L"AppIcon");
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&wc)) return 1;

  // The Chinese system shows the Chinese title, the installer's second
  // running-product title.
  const wchar_t* title = GetACP() == 936 ? kTitleChinese : kTitleEnglish;
  HWND window = CreateWindowExW(0, kWindowClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                640, 480, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return int(msg.wParam);
}
