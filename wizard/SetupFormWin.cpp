#include "wizard/SetupForm.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "settings/Language.h"
#include "shell/SystemLibrary.h"
#include "shell/VoSysUtils.h"
#include "text/Error.h"
#include "wizard/AccessKeys.h"
#include "wizard/ControlIds.h"
#include "wizard/JpegBitmap.h"
#include "wizard/PictureScaling.h"
#include "wizard/WizardLayout.h"

namespace vo {

namespace {

constexpr wchar_t kFormClass[] = L"TForm1";
constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr wchar_t kImageClass[] = L"TImage";

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kCream = RGB(255, 251, 240);  // the header panels of pages 2 and 3

enum FontKind { kFontNormal, kFontBold, kFontTitle, kFontSongTitle, kFontSong9, kFontCount };

// The common controls DLL is not one of the system's known DLLs, so it is not
// imported (a copy beside the installer would load first) but loaded at run
// time: side by side, version 6 as the manifest asks, or the system folder's.
struct CommonControls {
  decltype(&::InitCommonControlsEx) initCommonControlsEx = nullptr;
  decltype(&::SetWindowSubclass) setWindowSubclass = nullptr;
  decltype(&::DefSubclassProc) defSubclassProc = nullptr;
};

// Loaded once, by the window's creation, which raises when it fails; the
// subclass procedures only run after that.
const CommonControls& Comctl() {
  static const CommonControls functions = [] {
    HMODULE module = LoadSystemLibrary(L"comctl32.dll");
    CommonControls f;
    f.initCommonControlsEx = SystemFunction<decltype(f.initCommonControlsEx)>(module, "InitCommonControlsEx");
    f.setWindowSubclass = SystemFunction<decltype(f.setWindowSubclass)>(module, "SetWindowSubclass");
    f.defSubclassProc = SystemFunction<decltype(f.defSubclassProc)>(module, "DefSubclassProc");
    return f;
  }();
  if (!functions.initCommonControlsEx || !functions.setWindowSubclass || !functions.defSubclassProc) {
    throw Error("Cannot load the common controls (comctl32.dll) from the system folder");
  }
  return functions;
}

// A bitmap's pixels as a picture (opaque), and a picture as a 32-bit
// top-down DIB section the window can draw with BitBlt.
Picture PictureOfBitmap(HBITMAP bitmap) {
  BITMAP info = {};
  if (!bitmap || !::GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth < 1 || info.bmHeight < 1) {
    throw Error("Cannot read the pixels of a wizard picture");
  }
  Picture picture;
  picture.width = info.bmWidth;
  picture.height = info.bmHeight;
  picture.bgra.resize(size_t(info.bmWidth) * size_t(info.bmHeight) * 4);
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof(format.bmiHeader);
  format.bmiHeader.biWidth = info.bmWidth;
  format.bmiHeader.biHeight = -info.bmHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  HDC screen = ::GetDC(nullptr);
  const int rows = ::GetDIBits(screen, bitmap, 0, UINT(info.bmHeight), picture.bgra.data(), &format, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  if (rows != info.bmHeight) throw Error("Cannot read the pixels of a wizard picture");
  for (size_t i = 3; i < picture.bgra.size(); i += 4) picture.bgra[i] = 255;
  return picture;
}

HBITMAP BitmapOfPicture(const Picture& picture) {
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof(format.bmiHeader);
  format.bmiHeader.biWidth = picture.width;
  format.bmiHeader.biHeight = -picture.height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) ::DeleteObject(bitmap);
    throw Error("Cannot create the bitmap of a wizard picture");
  }
  std::copy(picture.bgra.begin(), picture.bgra.end(), static_cast<uint8_t*>(bits));
  return bitmap;
}

int WindowsMajorVersion() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(&info)) return 0;
#pragma GCC diagnostic pop
  return static_cast<int>(info.dwMajorVersion);
}

std::u16string WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  const int read = ::GetWindowTextW(window, buffer.data(), length + 1);
  return U16(buffer.data(), static_cast<size_t>(read > 0 ? read : 0));
}

std::u16string FromUtf8(const char* text) {
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (length <= 1) return {};
  std::vector<wchar_t> wide(static_cast<size_t>(length));
  ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
  return U16(wide.data());
}

// The window's outer size minus its client area.
LayoutSize FrameSize(HWND window) {
  RECT outer, client;
  ::GetWindowRect(window, &outer);
  ::GetClientRect(window, &client);
  return {(outer.right - outer.left) - client.right, (outer.bottom - outer.top) - client.bottom};
}

bool OwnVisible(HWND window) { return (::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

void SetVisible(HWND window, bool visible) {
  if (OwnVisible(window) != visible) ::ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
}

void SetEnabled(HWND window, bool enabled) {
  if ((::IsWindowEnabled(window) != FALSE) != enabled) ::EnableWindow(window, enabled);
}

bool IsPushButton(HWND window) {
  wchar_t className[16] = L"";
  ::GetClassNameW(window, className, 16);
  if (lstrcmpiW(className, L"Button") != 0) return false;
  const LONG type = ::GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace

struct TForm1::Impl {
  TForm1& form;
  HINSTANCE instance;
  HICON icon;
  InstallationRunner runner;
  WizardStart start;

  HWND controls[kIdLastControl + 1] = {};
  UniqueGdiObject fonts[kFontCount];
  UniqueGdiObject whiteBrush{::CreateSolidBrush(kWhite)};
  UniqueGdiObject creamBrush{::CreateSolidBrush(kCream)};
  // The pictures as drawn: scaled to the DPI, the header picture already laid
  // over its panel's colour.
  UniqueGdiObject banner;
  UniqueGdiObject headerIcon;
  // The system's DPI (LOGPIXELSY of the screen); the designed layout and the
  // fonts are scaled to it.
  int dpi = kDesignDpi;

  int uiLanguage = kUiEnglish;
  ProductSettings settings;
  WizardTexts texts;
  WizardSystemWin system;
  std::unique_ptr<WizardController> controller;

  bool suppressChange = false;  // editSetupDir set by the program
  bool quitOnDestroy = false;
  HWND lastFocus = nullptr;
  HWND defaultButton = nullptr;

  Impl(TForm1& f, HINSTANCE i, HICON c, InstallationRunner r, WizardStart s)
      : form(f), instance(i), icon(c), runner(r), start(std::move(s)) {}

  HWND Control(int id) const { return controls[id]; }

  void RegisterClasses();
  // Creates a control at its designed place, scaled to the DPI.
  HWND Make(int id, const wchar_t* className, HWND parent, DWORD style, DWORD exStyle);
  void MoveTo(int id, LayoutPoint designed);
  void CreateControls(HWND window);
  void CreateFonts();
  void Layout();
  void AutoSize(HWND label);
  void GrowToText(HWND label);
  void FormCreate(int language);
  LayoutSize FrameAtDesignDpi(HWND window, LayoutSize frame) const;
  void LoadPictures();
  void ApplyTexts();

  HBRUSH PanelBrush(HWND panel) const;
  void PaintImage(HWND image, HDC dc);
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
  bool HandleAccessKey(wchar_t key);
  bool HandleEnter();
  void EnsureFocus();
  void UpdateDefaultButton();
};

namespace {

TForm1::Impl* ImplOf(HWND window) {
  return reinterpret_cast<TForm1::Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Panels forward what their children report to the form, and paint their
// children's background in their own colour.
LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TForm1::Impl* impl = ImplOf(window);
  if (impl) {
    switch (message) {
      case WM_ERASEBKGND: {
        RECT r;
        ::GetClientRect(window, &r);
        ::FillRect(reinterpret_cast<HDC>(wParam), &r, impl->PanelBrush(window));
        return 1;
      }
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (reinterpret_cast<HWND>(lParam) == impl->Control(kIdMemo2)) {
          // The read-only memo keeps the white of a text box.
          ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
          ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
          return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
        }
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(impl->PanelBrush(window));
      }
      case WM_COMMAND:
      case WM_NOTIFY:
        return ::SendMessageW(impl->form.Handle(), message, wParam, lParam);
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    if (TForm1::Impl* impl = ImplOf(window)) impl->PaintImage(window, dc);
    ::EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;  // PaintImage covers the whole picture
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// The group box passes its children's notifications (folder text, Browse) on
// to the form.
LRESULT CALLBACK GroupBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* impl = reinterpret_cast<TForm1::Impl*>(data);
  if (message == WM_COMMAND || message == WM_NOTIFY) return ::SendMessageW(impl->form.Handle(), message, wParam, lParam);
  return Comctl().defSubclassProc(window, message, wParam, lParam);
}

// A multi-line edit asks for every key; the read-only licence memo gives Tab,
// Enter and Escape back to the dialog keys so the user can leave it.
LRESULT CALLBACK MemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_GETDLGCODE) {
    LRESULT code = Comctl().defSubclassProc(window, message, wParam, lParam);
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) &&
        (msg->wParam == VK_TAB || msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
      code &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
    }
    return code;
  }
  return Comctl().defSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  TForm1::Impl* impl = ImplOf(window);
  if (!impl) return ::DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_COMMAND:
      return impl->OnCommand(wParam, lParam);
    case WM_SIZE:
      impl->Layout();
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(kIdBtnNext, DC_HASDEFID);
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(window, focus)) impl->lastFocus = focus;
      } else if (impl->lastFocus && ::IsWindow(impl->lastFocus) && ::IsWindowVisible(impl->lastFocus) &&
                 ::IsWindowEnabled(impl->lastFocus)) {
        ::SetFocus(impl->lastFocus);
      } else {
        impl->EnsureFocus();
      }
      return 0;
    case WM_CLOSE:
      ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (impl->quitOnDestroy) ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void TForm1::Impl::RegisterClasses() {
  WNDCLASSEXW form = {};
  form.cbSize = sizeof(form);
  form.style = CS_DBLCLKS;
  form.lpfnWndProc = FormProc;
  form.hInstance = instance;
  form.hIcon = icon;
  form.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kFormClass;
  ::RegisterClassExW(&form);

  WNDCLASSEXW panel = {};
  panel.cbSize = sizeof(panel);
  panel.lpfnWndProc = PanelProc;
  panel.hInstance = instance;
  panel.hCursor = form.hCursor;
  panel.lpszClassName = kPanelClass;
  ::RegisterClassExW(&panel);

  WNDCLASSEXW image = panel;
  image.lpfnWndProc = ImageProc;
  image.lpszClassName = kImageClass;
  ::RegisterClassExW(&image);
}

HWND TForm1::Impl::Make(int id, const wchar_t* className, HWND parent, DWORD style, DWORD exStyle) {
  // Widths that follow the parent and sizes that follow the text are set by
  // Layout and AutoSize; here they start as designed (zero).
  const LayoutRect r = ScaleToDpi(DesignedControlOf(id).rect, dpi);
  HWND control = ::CreateWindowExW(exStyle, className, L"", WS_CHILD | style, r.left, r.top, r.width, r.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (!control) throw Error("Cannot create the wizard's controls");
  // An etched line adjusts its own size while it is created (under Wine it
  // grows by its edge); the designed place is the one that counts.
  ::SetWindowPos(control, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  controls[id] = control;
  // Panels and pictures are the form's own window classes; their procedures
  // find the form's internals here.
  if (className == kPanelClass || className == kImageClass) {
    ::SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[kFontNormal].get()), FALSE);
  return control;
}

// A move to another designed place scales the rectangle there, so that its
// edges round as they would had it been designed there; labels sized to their
// text keep their size.
void TForm1::Impl::MoveTo(int id, LayoutPoint designed) {
  const DesignedControl& control = DesignedControlOf(id);
  const LayoutRect r = ScaleToDpi(LayoutRect{designed.left, designed.top, control.rect.width, control.rect.height}, dpi);
  const UINT keepSize = control.sizing == LayoutSizing::kToText ? SWP_NOSIZE : 0;
  ::SetWindowPos(controls[id], nullptr, r.left, r.top, r.width, r.height, keepSize | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::Impl::CreateFonts() {
  auto font = [this](const wchar_t* face, int points, bool bold) {
    return UniqueGdiObject(::CreateFontW(-::MulDiv(points, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE,
                                         FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
  };
  fonts[kFontNormal] = font(L"Tahoma", 8, false);
  fonts[kFontBold] = font(L"Tahoma", 8, true);
  fonts[kFontTitle] = font(L"Tahoma", 12, true);
  fonts[kFontSongTitle] = font(L"宋体", 12, true);
  fonts[kFontSong9] = font(L"宋体", 9, false);
}

// The controls as designed, in tab order within each parent (creation order
// is the order Tab follows).
void TForm1::Impl::CreateControls(HWND window) {
  const DWORD page = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  const DWORD label = SS_LEFT | SS_NOPREFIX;  // fixed size, word-wrapped
  const DWORD autoLabel = SS_LEFTNOWORDWRAP | SS_NOPREFIX | WS_VISIBLE;
  const DWORD button = BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE;
  const DWORD check = BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE;

  Make(kIdBtnNext, L"Button", window, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0);
  HWND step1 = Make(kIdPnlStep1, kPanelClass, window, page | WS_VISIBLE, WS_EX_CONTROLPARENT);
  HWND step2 = Make(kIdPnlStep2, kPanelClass, window, page, WS_EX_CONTROLPARENT);
  HWND step3 = Make(kIdPnlStep3, kPanelClass, window, page, WS_EX_CONTROLPARENT);
  HWND step4 = Make(kIdPnlStep4, kPanelClass, window, page, WS_EX_CONTROLPARENT);
  Make(kIdBtnPrev, L"Button", window, button, 0);
  Make(kIdBtnClose, L"Button", window, button, 0);
  Make(kIdBevel1, L"Static", window, SS_ETCHEDHORZ | WS_VISIBLE, 0);
  HWND progress = Make(kIdProgressBar1, PROGRESS_CLASSW, window, 0, 0);
  ::SendMessageW(progress, PBM_SETRANGE32, 0, 100);

  // Page 1: welcome.
  Make(kIdImage1, kImageClass, step1, WS_VISIBLE, 0);
  Make(kIdLblWelcome, L"Static", step1, label | WS_VISIBLE, 0);
  Make(kIdLblWillInstall, L"Static", step1, label | WS_VISIBLE, 0);

  // Page 2: licence agreement.
  HWND panel3 = Make(kIdPanel3, kPanelClass, step2, page | WS_VISIBLE, WS_EX_CONTROLPARENT);
  Make(kIdLblLicense, L"Static", panel3, autoLabel, 0);
  Make(kIdLblLicenseTip, L"Static", panel3, autoLabel & ~WS_VISIBLE, 0);
  Make(kIdImage2, kImageClass, panel3, WS_VISIBLE, 0);
  Make(kIdBevel2, L"Static", step2, SS_ETCHEDHORZ | WS_VISIBLE, 0);
  HWND memo = Make(kIdMemo2, L"Edit", step2,
                   ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | WS_VISIBLE, WS_EX_CLIENTEDGE);
  Comctl().setWindowSubclass(memo, MemoProc, 1, 0);
  Make(kIdLblAgreement, L"Static", step2, label | WS_VISIBLE, 0);

  // Page 3: destination folder and options.
  HWND panel4 = Make(kIdPanel4, kPanelClass, step3, page | WS_VISIBLE, WS_EX_CONTROLPARENT);
  Make(kIdLblFolder, L"Static", panel4, autoLabel, 0);
  Make(kIdLblFolderTip, L"Static", panel4, autoLabel & ~WS_VISIBLE, 0);
  Make(kIdImage3, kImageClass, panel4, WS_VISIBLE, 0);
  Make(kIdBevel3, L"Static", step3, SS_ETCHEDHORZ | WS_VISIBLE, 0);
  Make(kIdLblSetupFolder, L"Static", step3, label | WS_VISIBLE, 0);
  HWND group = Make(kIdGbFolder, L"Button", step3, BS_GROUPBOX | WS_VISIBLE | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
  Comctl().setWindowSubclass(group, GroupBoxProc, 1, reinterpret_cast<DWORD_PTR>(this));
  Make(kIdEditSetupDir, L"Edit", group, ES_AUTOHSCROLL | WS_TABSTOP | WS_VISIBLE, WS_EX_CLIENTEDGE);
  Make(kIdBtnBrowse, L"Button", group, button, 0);
  Make(kIdLblNeedSize, L"Static", step3, autoLabel, 0);
  Make(kIdLblFreeSize, L"Static", step3, autoLabel, 0);
  Make(kIdChkSCOnDesktop, L"Button", step3, check, 0);
  Make(kIdChkSCOnQuick, L"Button", step3, check, 0);

  // Page 4: completion.
  Make(kIdLblComplete, L"Static", step4, label | WS_VISIBLE, 0);
  Make(kIdLblClose, L"Static", step4, label, 0);
  Make(kIdChkRunOnExit, L"Button", step4, check, 0);

  for (int id : {kIdChkSCOnDesktop, kIdChkSCOnQuick, kIdChkRunOnExit}) {
    ::SendMessageW(controls[id], BM_SETCHECK, BST_CHECKED, 0);
  }
  for (int id : {kIdLblWelcome, kIdLblComplete}) {
    ::SendMessageW(controls[id], WM_SETFONT, reinterpret_cast<WPARAM>(fonts[kFontTitle].get()), FALSE);
  }
  for (int id : {kIdLblLicense, kIdLblFolder}) {
    ::SendMessageW(controls[id], WM_SETFONT, reinterpret_cast<WPARAM>(fonts[kFontBold].get()), FALSE);
  }
  defaultButton = controls[kIdBtnNext];
}

// Pages and their headers follow the window's width, the header pictures its
// right edge; everything else keeps its designed place. Parents come before
// their children in the designed list, so each sees its parent's new width.
void TForm1::Impl::Layout() {
  if (!controls[kIdPnlStep1]) return;
  for (const DesignedControl& control : DesignedControls()) {
    if (control.sizing != LayoutSizing::kParentWidth && control.sizing != LayoutSizing::kRightAligned) continue;
    HWND window = controls[control.id];
    RECT parent;
    ::GetClientRect(::GetParent(window), &parent);
    const int parentWidth = parent.right - parent.left;
    const LayoutRect r = ScaleToDpi(control.rect, dpi);
    if (control.sizing == LayoutSizing::kParentWidth) {
      ::SetWindowPos(window, nullptr, r.left, r.top, parentWidth, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
      ::SetWindowPos(window, nullptr, parentWidth - r.width, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
}

// Labels sized to their text, as the designer's auto-size labels are.
void TForm1::Impl::AutoSize(HWND label) {
  const std::u16string text = WindowText(label);
  HDC dc = ::GetDC(label);
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
  RECT r = {0, 0, 0, 0};
  if (!text.empty()) ::DrawTextW(dc, WStr(text), -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_LEFT);
  ::SelectObject(dc, old);
  ::ReleaseDC(label, dc);
  ::SetWindowPos(label, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Font sizes do not scale exactly with the DPI (whole pixels, hinting), so
// away from 96 DPI a word-wrapped label can need another line; it then grows
// downwards to its text. At 96 DPI the labels keep their designed size.
void TForm1::Impl::GrowToText(HWND label) {
  if (dpi == kDesignDpi) return;
  RECT bounds;
  ::GetWindowRect(label, &bounds);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const std::u16string text = WindowText(label);
  HDC dc = ::GetDC(label);
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
  RECT needed = {0, 0, width, 0};
  if (!text.empty()) ::DrawTextW(dc, WStr(text), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
  ::SelectObject(dc, old);
  ::ReleaseDC(label, dc);
  if (needed.bottom > height) {
    ::SetWindowPos(label, nullptr, 0, 0, width, needed.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

HBRUSH TForm1::Impl::PanelBrush(HWND panel) const {
  if (panel == controls[kIdPnlStep1] || panel == controls[kIdPnlStep4]) {
    return static_cast<HBRUSH>(whiteBrush.get());
  }
  if (panel == controls[kIdPanel3] || panel == controls[kIdPanel4]) return static_cast<HBRUSH>(creamBrush.get());
  return ::GetSysColorBrush(COLOR_BTNFACE);
}

void TForm1::Impl::PaintImage(HWND image, HDC dc) {
  RECT r;
  ::GetClientRect(image, &r);
  ::FillRect(dc, &r, PanelBrush(::GetParent(image)));
  const bool isBanner = image == controls[kIdImage1];
  HBITMAP bitmap = static_cast<HBITMAP>(isBanner ? banner.get() : headerIcon.get());
  if (!bitmap) return;
  BITMAP info;
  ::GetObjectW(bitmap, sizeof(info), &info);
  // The banner at the top left, the header picture centred.
  const int x = isBanner ? 0 : (r.right - info.bmWidth) / 2;
  const int y = isBanner ? 0 : (r.bottom - info.bmHeight) / 2;
  HDC memory = ::CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
}

// Both pictures are prepared once at the size they are drawn: their designed
// size scaled to the DPI, resampled smoothly. The header picture's colour of
// its bottom-left pixel is transparent; it is laid over the cream of the
// header panels here, so that its scaled edges blend into them.
void TForm1::Impl::LoadPictures() {
  const std::u16string bannerName = u"ImageLeft" + std::u16string(1, char16_t(u'0' + uiLanguage));
  HRSRC resource = ::FindResourceW(instance, WStr(bannerName), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL loaded = resource ? ::LoadResource(instance, resource) : nullptr;
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) throw Error("Resource ImageLeft" + std::to_string(uiLanguage) + " not found");
  UniqueGdiObject decoded(DecodeJpegToBitmap(static_cast<const uint8_t*>(bytes), ::SizeofResource(instance, resource)));
  const Picture bannerPicture = PictureOfBitmap(static_cast<HBITMAP>(decoded.get()));
  const LayoutSize bannerSize = ScaleToDpi(LayoutSize{bannerPicture.width, bannerPicture.height}, dpi);
  banner.reset(BitmapOfPicture(ResizePicture(bannerPicture, bannerSize.width, bannerSize.height)));

  UniqueGdiObject icon(::LoadImageW(instance, L"ImageIcon", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!icon) throw Error("Resource ImageIcon not found");
  Picture iconPicture = PictureOfBitmap(static_cast<HBITMAP>(icon.get()));
  const uint8_t* corner = &iconPicture.bgra[size_t(iconPicture.height - 1) * size_t(iconPicture.width) * 4];
  MakeColourTransparent(iconPicture, corner[2], corner[1], corner[0]);
  const LayoutSize iconSize = ScaleToDpi(LayoutSize{iconPicture.width, iconPicture.height}, dpi);
  Picture shown = ResizePicture(iconPicture, iconSize.width, iconSize.height);
  CompositeOver(shown, GetRValue(kCream), GetGValue(kCream), GetBValue(kCream));
  headerIcon.reset(BitmapOfPicture(shown));
}

void TForm1::Impl::ApplyTexts() {
  const PageTexts page =
      MakePageTexts(uiLanguage, {settings.ProductName, settings.ProductVersion, settings.RequiredSpaceText});
  auto set = [this](int id, const std::u16string& text) { ::SetWindowTextW(controls[id], WStr(text)); };
  if (uiLanguage == kUiChinese) {
    for (int id : {kIdLblWelcome, kIdLblComplete}) {
      ::SendMessageW(controls[id], WM_SETFONT, reinterpret_cast<WPARAM>(fonts[kFontSongTitle].get()), FALSE);
    }
    for (int id : {kIdLblWillInstall, kIdLblSetupFolder}) {
      ::SendMessageW(controls[id], WM_SETFONT, reinterpret_cast<WPARAM>(fonts[kFontSong9].get()), FALSE);
    }
  } else {
    for (int id : {kIdLblFolderTip, kIdLblLicenseTip, kIdLblClose}) ::ShowWindow(controls[id], SW_SHOWNA);
  }
  for (const LanguageMove& move : LanguageMoves(uiLanguage)) MoveTo(move.id, move.to);
  ::SetWindowTextW(form.Handle(), WStr(page.WindowTitle));
  set(kIdLblWelcome, page.Welcome);
  set(kIdLblWillInstall, page.WillInstall);
  set(kIdLblLicense, page.License);
  set(kIdLblLicenseTip, page.LicenseTip);
  set(kIdLblAgreement, page.Agreement);
  set(kIdLblFolder, page.Folder);
  set(kIdLblFolderTip, page.FolderTip);
  set(kIdLblSetupFolder, page.SetupFolder);
  set(kIdGbFolder, page.FolderGroup);
  set(kIdBtnBrowse, page.Browse);
  set(kIdLblNeedSize, page.NeedSize);
  set(kIdChkSCOnDesktop, page.DesktopShortcut);
  set(kIdChkSCOnQuick, page.QuickLaunch);
  set(kIdLblComplete, page.Complete);
  set(kIdLblClose, page.Close);
  set(kIdChkRunOnExit, page.RunOnExit);
  set(kIdLblFreeSize, texts.SpaceAvailableText);
  for (int id : {kIdLblLicense, kIdLblLicenseTip, kIdLblFolder, kIdLblFolderTip, kIdLblNeedSize, kIdLblFreeSize}) {
    AutoSize(controls[id]);
  }
  for (int id : {kIdLblWelcome, kIdLblWillInstall, kIdLblAgreement, kIdLblSetupFolder, kIdLblComplete, kIdLblClose}) {
    GrowToText(controls[id]);
  }

  // The edit control breaks lines at CR LF. A product's own agreement
  // replaces the built-in wording.
  const std::u16string ownLicense = LoadProductLicense(uiLanguage);
  const std::vector<std::u16string> lines =
      ownLicense.empty() ? LicenseAgreementLines(uiLanguage, settings.ProductName, settings.IsFreeware, settings.Publisher)
                         : LicenseTextLines(ownLicense);
  std::u16string agreement;
  for (size_t i = 0; i < lines.size(); ++i) agreement += (i ? u"\r\n" : u"") + lines[i];
  set(kIdMemo2, agreement);
}

void TForm1::Impl::FormCreate(int language) {
  uiLanguage = language;
  settings = ReadProductSettings(LoadProductSetting, uiLanguage);
  if (settings.RequiredSpaceText.empty()) settings.RequiredSpaceText = start.requiredSpaceFallback;
  LoadPictures();
  texts = MakeWizardTexts(uiLanguage);
  ApplyTexts();
  SetApplicationTitle(WindowText(form.Handle()));
  SetApplicationMainWindow(form.Handle());
  ::SetWindowTextW(controls[kIdBtnPrev], WStr(texts.BackCaption));
  ::SetWindowTextW(controls[kIdBtnNext], WStr(texts.NextCaption));
  ::SetWindowTextW(controls[kIdBtnClose], WStr(texts.CancelCaption));

  // The designed window size at 96 DPI; at another DPI the client area
  // grows in proportion and the frame stays what the system draws.
  const int major = WindowsMajorVersion();
  const LayoutSize frame = FrameSize(form.Handle());
  const LayoutSize size = ScaledWindowSize(DesignedWindowSize(major), FrameAtDesignDpi(form.Handle(), frame), frame, dpi);
  ::SetWindowPos(form.Handle(), nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();

  InstallationRunner run = runner;
  controller = std::make_unique<WizardController>(
      form, system, texts, settings.ProductName, settings.ExeBaseName, settings.CompanyFolder,
      [this, run](const std::u16string& installDir, const ProgressHandler& progress) {
        return run ? run(InstallationContext{form, texts, settings}, installDir, progress) : false;
      });
  controller->Start();
  controller->SetPackageCheck(start.packageCheck);
  controller->SetProductVersion(settings.ProductVersion);
  ::ShowWindow(controls[kIdChkSCOnQuick], major < 6 ? SW_SHOWNA : SW_HIDE);
  system.SetOwner(form.Handle());
  controller->ProposeDefaultFolder(start.presetFolder);
}

// The frame the system would draw around the window at 96 DPI. Windows 10
// (1607) and Wine say so for any DPI; before that the frame at this DPI is
// scaled back, which is near enough.
LayoutSize TForm1::Impl::FrameAtDesignDpi(HWND window, LayoutSize frame) const {
  if (dpi == kDesignDpi) return frame;
  using AdjustForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  const auto adjust = SystemFunction<AdjustForDpiFunction>(::GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi");
  RECT r = {0, 0, 0, 0};
  if (adjust && adjust(&r, DWORD(::GetWindowLongW(window, GWL_STYLE)), FALSE,
                       DWORD(::GetWindowLongW(window, GWL_EXSTYLE)), kDesignDpi)) {
    return {r.right - r.left, r.bottom - r.top};
  }
  return {UnscaleFromDpi(frame.width, dpi), UnscaleFromDpi(frame.height, dpi)};
}

LRESULT TForm1::Impl::OnCommand(WPARAM wParam, LPARAM) {
  if (!controller) return 0;
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  try {
    if (code == BN_CLICKED) {
      switch (id) {
        case kIdBtnNext: controller->btnNextClick(); break;
        case kIdBtnPrev: controller->btnPrevClick(); break;
        case kIdBtnClose: controller->btnCloseClick(); break;
        case kIdBtnBrowse: controller->btnBrowseClick(); break;
        case IDCANCEL:  // Escape: Cancel, while it is there to press
          if (OwnVisible(controls[kIdBtnClose]) && ::IsWindowEnabled(controls[kIdBtnClose])) {
            controller->btnCloseClick();
          }
          break;
      }
    } else if (code == EN_CHANGE && id == kIdEditSetupDir && !suppressChange) {
      controller->editSetupDirChange();
    }
  } catch (const std::exception& e) {
    // A handler must not let an exception cross the window procedure.
    form.ShowPlainMessage(FromUtf8(e.what()));
  }
  return 0;
}

bool TForm1::Impl::HandleAccessKey(wchar_t key) {
  // The buttons with access keys, in tab order: Next, Browse (page 3), Back, Cancel.
  const int ids[] = {kIdBtnNext, kIdBtnBrowse, kIdBtnPrev, kIdBtnClose};
  std::vector<AccessKeyControl> candidates;
  int focus = -1;
  HWND focused = ::GetFocus();
  for (int i = 0; i < 4; ++i) {
    HWND control = controls[ids[i]];
    candidates.push_back({WindowText(control), ::IsWindowVisible(control) && ::IsWindowEnabled(control)});
    if (control == focused) focus = i;
  }
  const AccessKeyAction action = ChooseAccessKeyTarget(candidates, focus, static_cast<char16_t>(key));
  if (action.index < 0) return false;
  HWND target = controls[ids[action.index]];
  ::SetFocus(target);
  if (action.click) ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(ids[action.index], BN_CLICKED),
                                   reinterpret_cast<LPARAM>(target));
  return true;
}

bool TForm1::Impl::HandleEnter() {
  // Enter presses the focused push button, otherwise the default button, Next.
  HWND focused = ::GetFocus();
  HWND target = (focused && IsPushButton(focused) && ::IsChild(form.Handle(), focused)) ? focused
                                                                                          : controls[kIdBtnNext];
  if (::IsWindowVisible(target) && ::IsWindowEnabled(target)) {
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(target), BN_CLICKED),
                   reinterpret_cast<LPARAM>(target));
  }
  return true;
}

// Hiding a page or disabling a button can take the focus away; give it to the
// first control Tab would reach, so the keyboard keeps working.
void TForm1::Impl::EnsureFocus() {
  HWND window = form.Handle();
  if (::GetActiveWindow() != window) return;
  HWND focused = ::GetFocus();
  if (focused && ::IsChild(window, focused) && ::IsWindowVisible(focused) && ::IsWindowEnabled(focused)) return;
  if (HWND first = ::GetNextDlgTabItem(window, nullptr, FALSE)) ::SetFocus(first);
}

// The focused push button is the default one (Enter presses it); otherwise Next.
void TForm1::Impl::UpdateDefaultButton() {
  HWND focused = ::GetFocus();
  HWND wanted = (focused && IsPushButton(focused) && ::IsChild(form.Handle(), focused)) ? focused
                                                                                          : controls[kIdBtnNext];
  if (wanted == defaultButton) return;
  if (defaultButton) ::SendMessageW(defaultButton, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  ::SendMessageW(wanted, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  defaultButton = wanted;
}

TForm1::TForm1(HINSTANCE instance, HICON icon, InstallationRunner runner, WizardStart start)
    : fImpl(std::make_unique<Impl>(*this, instance, icon, runner, std::move(start))) {}

WizardOutcome TForm1::Outcome() const {
  return fImpl->controller ? fImpl->controller->Outcome() : WizardOutcome::Cancelled;
}

std::optional<FolderProposal> TForm1::Proposal() const {
  return fImpl->controller ? fImpl->controller->Proposal() : std::nullopt;
}

TForm1::~TForm1() {
  if (fWindow && ::IsWindow(fWindow)) {
    fImpl->quitOnDestroy = false;
    ::DestroyWindow(fWindow);
  }
}

void TForm1::Create(int uiLanguage) {
  INITCOMMONCONTROLSEX common = {sizeof(common), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  Comctl().initCommonControlsEx(&common);
  HDC screen = ::GetDC(nullptr);
  fImpl->dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  if (fImpl->dpi <= 0) fImpl->dpi = kDesignDpi;
  fImpl->RegisterClasses();
  fImpl->CreateFonts();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
  const LayoutSize initial = ScaleToDpi(DesignedWindowSize(6), fImpl->dpi);  // FormCreate sets the real size
  fWindow = ::CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, initial.width,
                              initial.height, nullptr, nullptr, fImpl->instance, fImpl.get());
  if (!fWindow) throw Error("Cannot create the wizard window");
  try {
    fImpl->CreateControls(fWindow);
    fImpl->Layout();
    fImpl->FormCreate(uiLanguage);
  } catch (...) {
    ::DestroyWindow(fWindow);
    fWindow = nullptr;
    throw;
  }
}

void TForm1::Show() {
  RECT r;
  ::GetWindowRect(fWindow, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  ::SetWindowPos(fWindow, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  fImpl->quitOnDestroy = true;
  ::ShowWindow(fWindow, SW_SHOWNORMAL);
  ::UpdateWindow(fWindow);
  ::SetFocus(fImpl->Control(kIdBtnNext));
}

bool TForm1::PreTranslateMessage(MSG& message) {
  if (!fWindow || !::IsWindow(fWindow)) return false;
  if (message.hwnd != fWindow && !::IsChild(fWindow, message.hwnd)) return false;
  if (message.message == WM_SYSCHAR && fImpl->HandleAccessKey(static_cast<wchar_t>(message.wParam))) return true;
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) return fImpl->HandleEnter();
  return ::IsDialogMessageW(fWindow, &message) != FALSE;
}

void TForm1::ApplicationEvents1Idle() {
  if (!fWindow || !::IsWindow(fWindow) || !fImpl->controller) return;
  fImpl->controller->ApplicationEvents1Idle();
  fImpl->EnsureFocus();
  fImpl->UpdateDefaultButton();
}

void TForm1::SetPageVisible(int step, bool visible) {
  if (step >= 1 && step <= 4) SetVisible(fImpl->Control(kIdPnlStep1 + step - 1), visible);
}
void TForm1::SetBackVisible(bool visible) { SetVisible(fImpl->Control(kIdBtnPrev), visible); }
void TForm1::SetCancelVisible(bool visible) { SetVisible(fImpl->Control(kIdBtnClose), visible); }
void TForm1::SetNextEnabled(bool enabled) { SetEnabled(fImpl->Control(kIdBtnNext), enabled); }
void TForm1::SetButtonsEnabled(bool enabled) {
  for (int id : {kIdBtnNext, kIdBtnPrev, kIdBtnClose, kIdBtnBrowse}) SetEnabled(fImpl->Control(id), enabled);
}
std::u16string TForm1::NextCaption() const { return WindowText(fImpl->Control(kIdBtnNext)); }
void TForm1::SetNextCaption(const std::u16string& caption) {
  ::SetWindowTextW(fImpl->Control(kIdBtnNext), WStr(caption));
}
std::u16string TForm1::SetupDirText() const { return WindowText(fImpl->Control(kIdEditSetupDir)); }
void TForm1::SetSetupDirText(const std::u16string& text) {
  fImpl->suppressChange = true;
  ::SetWindowTextW(fImpl->Control(kIdEditSetupDir), WStr(text));
  fImpl->suppressChange = false;
}
bool TForm1::FreeSizeVisible() const { return OwnVisible(fImpl->Control(kIdLblFreeSize)); }
void TForm1::SetFreeSizeVisible(bool visible) { SetVisible(fImpl->Control(kIdLblFreeSize), visible); }
void TForm1::SetFreeSizeText(const std::u16string& text) {
  HWND label = fImpl->Control(kIdLblFreeSize);
  ::SetWindowTextW(label, WStr(text));
  fImpl->AutoSize(label);
  ::InvalidateRect(fImpl->Control(kIdPnlStep3), nullptr, TRUE);
}
// The notice takes the place of the header's tip, which Chinese does not show
// otherwise; the Chinese title, placed lower without a tip, moves up above it.
void TForm1::SetFolderNotice(const std::u16string& text) {
  if (text.empty()) return;
  fImpl->MoveTo(kIdLblFolder, FolderTitleAboveNotice());
  HWND label = fImpl->Control(kIdLblFolderTip);
  ::SetWindowTextW(label, WStr(text));
  fImpl->AutoSize(label);
  ::ShowWindow(label, SW_SHOWNA);
  ::InvalidateRect(fImpl->Control(kIdPanel4), nullptr, TRUE);
}
bool TForm1::RunOnExitChecked() const {
  return ::SendMessageW(fImpl->Control(kIdChkRunOnExit), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool TForm1::DesktopShortcutChecked() const {
  return ::SendMessageW(fImpl->Control(kIdChkSCOnDesktop), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool TForm1::QuickLaunchVisible() const { return OwnVisible(fImpl->Control(kIdChkSCOnQuick)); }
bool TForm1::QuickLaunchChecked() const {
  return ::SendMessageW(fImpl->Control(kIdChkSCOnQuick), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void TForm1::MoveBannerToCompletionPage() {
  HWND image = fImpl->Control(kIdImage1);
  ::SetParent(image, fImpl->Control(kIdPnlStep4));
  const LayoutRect r = ScaleToDpi(DesignedControlOf(kIdImage1).rect, fImpl->dpi);
  ::SetWindowPos(image, HWND_BOTTOM, r.left, r.top, r.width, r.height, SWP_NOACTIVATE);
}
void TForm1::SetProgressVisible(bool visible) { SetVisible(fImpl->Control(kIdProgressBar1), visible); }
void TForm1::SetProgressPosition(int percent) {
  ::SendMessageW(fImpl->Control(kIdProgressBar1), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}
void TForm1::ShowPlainMessage(const std::u16string& text) {
  const std::u16string title = GetApplicationTitle();
  ::MessageBoxW(fWindow, WStr(text), WStr(title), MB_OK);
}
void TForm1::ProcessPendingEvents() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));  // leave it for the event loop
      return;
    }
    DispatchWizardMessage(*this, message);
  }
}
void TForm1::CloseWindow() { ::PostMessageW(fWindow, WM_CLOSE, 0, 0); }

void DispatchWizardMessage(TForm1& form, MSG& message) {
  if (form.PreTranslateMessage(message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

}  // namespace vo
