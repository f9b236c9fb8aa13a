#include "wizard/SetupForm.h"

#include <commctrl.h>

#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/Language.h"
#include "shell/VoSysUtils.h"
#include "wizard/AccessKeys.h"
#include "wizard/ControlIds.h"
#include "wizard/JpegBitmap.h"

namespace vo {

namespace {

constexpr wchar_t kFormClass[] = L"TForm1";
constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr wchar_t kImageClass[] = L"TImage";

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kCream = RGB(255, 251, 240);  // the header panels of pages 2 and 3

constexpr int kFormWidth = 503;
constexpr int kPageHeight = 308;
constexpr int kHeaderHeight = 56;
constexpr int kHeaderPictureWidth = 67;

enum FontKind { kFontNormal, kFontBold, kFontTitle, kFontSongTitle, kFontSong9, kFontCount };

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
  UniqueGdiObject banner;
  UniqueGdiObject headerIcon;
  COLORREF headerIconTransparent = 0;

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
  HWND Make(int id, const wchar_t* className, HWND parent, DWORD style, DWORD exStyle, int x, int y, int w, int h);
  void CreateControls(HWND window);
  void CreateFonts();
  void Layout();
  void AutoSize(HWND label);
  void FormCreate(int language);
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
  return ::DefSubclassProc(window, message, wParam, lParam);
}

// A multi-line edit asks for every key; the read-only licence memo gives Tab,
// Enter and Escape back to the dialog keys so the user can leave it.
LRESULT CALLBACK MemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_GETDLGCODE) {
    LRESULT code = ::DefSubclassProc(window, message, wParam, lParam);
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) &&
        (msg->wParam == VK_TAB || msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
      code &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
    }
    return code;
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
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

HWND TForm1::Impl::Make(int id, const wchar_t* className, HWND parent, DWORD style, DWORD exStyle, int x, int y,
                        int w, int h) {
  HWND control = ::CreateWindowExW(exStyle, className, L"", WS_CHILD | style, x, y, w, h, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (!control) throw std::runtime_error("Cannot create the wizard's controls");
  controls[id] = control;
  // Panels and pictures are the form's own window classes; their procedures
  // find the form's internals here.
  if (className == kPanelClass || className == kImageClass) {
    ::SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[kFontNormal].get()), FALSE);
  return control;
}

void TForm1::Impl::CreateFonts() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  auto font = [dpi](const wchar_t* face, int points, bool bold) {
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

  Make(kIdBtnNext, L"Button", window, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 330, 323, 77, 22);
  HWND step1 = Make(kIdPnlStep1, kPanelClass, window, page | WS_VISIBLE, WS_EX_CONTROLPARENT, 0, 0, 0, kPageHeight);
  HWND step2 = Make(kIdPnlStep2, kPanelClass, window, page, WS_EX_CONTROLPARENT, 0, 0, 0, kPageHeight);
  HWND step3 = Make(kIdPnlStep3, kPanelClass, window, page, WS_EX_CONTROLPARENT, 0, 0, 0, kPageHeight);
  HWND step4 = Make(kIdPnlStep4, kPanelClass, window, page, WS_EX_CONTROLPARENT, 0, 0, 0, kPageHeight);
  Make(kIdBtnPrev, L"Button", window, button, 0, 253, 323, 77, 22);
  Make(kIdBtnClose, L"Button", window, button, 0, 417, 323, 62, 22);
  Make(kIdBevel1, L"Static", window, SS_ETCHEDHORZ | WS_VISIBLE, 0, -1, 308, 555, 2);
  HWND progress = Make(kIdProgressBar1, PROGRESS_CLASSW, window, 0, 0, 35, 328, 185, 12);
  ::SendMessageW(progress, PBM_SETRANGE32, 0, 100);

  // Page 1: welcome.
  Make(kIdImage1, kImageClass, step1, WS_VISIBLE, 0, 0, 0, 160, kPageHeight);
  Make(kIdLblWelcome, L"Static", step1, label | WS_VISIBLE, 0, 183, 20, 305, 53);
  Make(kIdLblWillInstall, L"Static", step1, label | WS_VISIBLE, 0, 184, 96, 304, 148);

  // Page 2: licence agreement.
  HWND panel3 = Make(kIdPanel3, kPanelClass, step2, page | WS_VISIBLE, WS_EX_CONTROLPARENT, 0, 0, 0, kHeaderHeight);
  Make(kIdLblLicense, L"Static", panel3, autoLabel, 0, 17, 20, 0, 0);
  Make(kIdLblLicenseTip, L"Static", panel3, autoLabel & ~WS_VISIBLE, 0, 36, 28, 0, 0);
  Make(kIdImage2, kImageClass, panel3, WS_VISIBLE, 0, 0, 0, kHeaderPictureWidth, kHeaderHeight);
  Make(kIdBevel2, L"Static", step2, SS_ETCHEDHORZ | WS_VISIBLE, 0, 0, kHeaderHeight, 0, 2);
  HWND memo = Make(kIdMemo2, L"Edit", step2,
                   ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | WS_VISIBLE,
                   WS_EX_CLIENTEDGE, 18, 75, 459, 177);
  ::SetWindowSubclass(memo, MemoProc, 1, 0);
  Make(kIdLblAgreement, L"Static", step2, label | WS_VISIBLE, 0, 23, 267, 437, 32);

  // Page 3: destination folder and options.
  HWND panel4 = Make(kIdPanel4, kPanelClass, step3, page | WS_VISIBLE, WS_EX_CONTROLPARENT, 0, 0, 0, kHeaderHeight);
  Make(kIdLblFolder, L"Static", panel4, autoLabel, 0, 17, 20, 0, 0);
  Make(kIdLblFolderTip, L"Static", panel4, autoLabel & ~WS_VISIBLE, 0, 36, 28, 0, 0);
  Make(kIdImage3, kImageClass, panel4, WS_VISIBLE, 0, 0, 0, kHeaderPictureWidth, kHeaderHeight);
  Make(kIdBevel3, L"Static", step3, SS_ETCHEDHORZ | WS_VISIBLE, 0, 0, kHeaderHeight, 0, 2);
  Make(kIdLblSetupFolder, L"Static", step3, label | WS_VISIBLE, 0, 40, 75, 420, 49);
  HWND group = Make(kIdGbFolder, L"Button", step3, BS_GROUPBOX | WS_VISIBLE | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT,
                    40, 132, 419, 63);
  ::SetWindowSubclass(group, GroupBoxProc, 1, reinterpret_cast<DWORD_PTR>(this));
  Make(kIdEditSetupDir, L"Edit", group, ES_AUTOHSCROLL | WS_TABSTOP | WS_VISIBLE, WS_EX_CLIENTEDGE, 17, 24, 305, 21);
  Make(kIdBtnBrowse, L"Button", group, button, 0, 325, 24, 77, 21);
  Make(kIdLblNeedSize, L"Static", step3, autoLabel, 0, 41, 221, 0, 0);
  Make(kIdLblFreeSize, L"Static", step3, autoLabel, 0, 41, 247, 0, 0);
  Make(kIdChkSCOnDesktop, L"Button", step3, check, 0, 237, 217, 151, 20);
  Make(kIdChkSCOnQuick, L"Button", step3, check, 0, 237, 243, 184, 20);

  // Page 4: completion.
  Make(kIdLblComplete, L"Static", step4, label | WS_VISIBLE, 0, 183, 20, 305, 53);
  Make(kIdLblClose, L"Static", step4, label, 0, 184, 89, 302, 65);
  Make(kIdChkRunOnExit, L"Button", step4, check, 0, 207, 111, 203, 14);

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

// Pages and their headers follow the window's width; everything else keeps
// its designed place.
void TForm1::Impl::Layout() {
  if (!controls[kIdPnlStep1]) return;
  RECT client;
  ::GetClientRect(form.Handle(), &client);
  const int width = client.right - client.left;
  for (int id : {kIdPnlStep1, kIdPnlStep2, kIdPnlStep3, kIdPnlStep4}) {
    ::SetWindowPos(controls[id], nullptr, 0, 0, width, kPageHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (int id : {kIdPanel3, kIdPanel4}) {
    ::SetWindowPos(controls[id], nullptr, 0, 0, width, kHeaderHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (int id : {kIdImage2, kIdImage3}) {
    ::SetWindowPos(controls[id], nullptr, width - kHeaderPictureWidth, 0, kHeaderPictureWidth, kHeaderHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::SetWindowPos(controls[kIdBevel1], nullptr, -1, kPageHeight, 555, 2, SWP_NOZORDER | SWP_NOACTIVATE);
  for (int id : {kIdBevel2, kIdBevel3}) {
    ::SetWindowPos(controls[id], nullptr, 0, kHeaderHeight, width, 2, SWP_NOZORDER | SWP_NOACTIVATE);
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
  HDC memory = ::CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  if (isBanner) {
    // Drawn at the top left, unscaled.
    ::BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
  } else {
    // Centred, with the colour of its bottom-left pixel transparent.
    const int x = (r.right - info.bmWidth) / 2;
    const int y = (r.bottom - info.bmHeight) / 2;
    ::TransparentBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, info.bmWidth, info.bmHeight,
                     headerIconTransparent);
  }
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
}

void TForm1::Impl::LoadPictures() {
  const std::wstring bannerName = L"ImageLeft" + std::to_wstring(uiLanguage);
  HRSRC resource = ::FindResourceW(instance, bannerName.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL loaded = resource ? ::LoadResource(instance, resource) : nullptr;
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) throw std::runtime_error("Resource ImageLeft" + std::to_string(uiLanguage) + " not found");
  banner.reset(DecodeJpegToBitmap(static_cast<const uint8_t*>(bytes), ::SizeofResource(instance, resource)));

  headerIcon.reset(::LoadImageW(instance, L"ImageIcon", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!headerIcon) throw std::runtime_error("Resource ImageIcon not found");
  BITMAP info;
  ::GetObjectW(headerIcon.get(), sizeof(info), &info);
  HDC memory = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(memory, headerIcon.get());
  headerIconTransparent = ::GetPixel(memory, 0, info.bmHeight - 1);
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
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
    ::SetWindowPos(controls[kIdLblWelcome], nullptr, 193, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(controls[kIdLblWillInstall], nullptr, 193, 116, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(controls[kIdLblComplete], nullptr, 203, 28, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    ::SetWindowPos(controls[kIdLblFolder], nullptr, 17, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(controls[kIdLblLicense], nullptr, 17, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(controls[kIdChkRunOnExit], nullptr, 186, 170, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int id : {kIdLblFolderTip, kIdLblLicenseTip, kIdLblClose}) ::ShowWindow(controls[id], SW_SHOWNA);
  }
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

  // The edit control breaks lines at CR LF. A product's own agreement
  // replaces the built-in wording.
  const std::u16string ownLicense = LoadProductLicense(uiLanguage);
  const std::vector<std::u16string> lines =
      ownLicense.empty() ? LicenseAgreementLines(uiLanguage, settings.ProductName, settings.IsFreeware)
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

  const int major = WindowsMajorVersion();
  ::SetWindowPos(form.Handle(), nullptr, 0, 0, kFormWidth, major >= 6 ? 398 : 385,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();

  InstallationRunner run = runner;
  controller = std::make_unique<WizardController>(
      form, system, texts, settings.ProductName, settings.ExeBaseName, settings.CompanyFolder,
      [this, run](const std::u16string& installDir, const ProgressHandler& progress) {
        return run ? run(InstallationContext{form, texts, settings}, installDir, progress) : false;
      });
  controller->Start();
  controller->SetPackageCheck(start.packageCheck);
  ::ShowWindow(controls[kIdChkSCOnQuick], major < 6 ? SW_SHOWNA : SW_HIDE);
  system.SetOwner(form.Handle());
  controller->ProposeDefaultFolder(start.presetFolder);
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

TForm1::~TForm1() {
  if (fWindow && ::IsWindow(fWindow)) {
    fImpl->quitOnDestroy = false;
    ::DestroyWindow(fWindow);
  }
}

void TForm1::Create(int uiLanguage) {
  INITCOMMONCONTROLSEX common = {sizeof(common), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&common);
  fImpl->RegisterClasses();
  fImpl->CreateFonts();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
  fWindow = ::CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, kFormWidth,
                              398, nullptr, nullptr, fImpl->instance, fImpl.get());
  if (!fWindow) throw std::runtime_error("Cannot create the wizard window");
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
  ::SetWindowPos(image, HWND_BOTTOM, 0, 0, 160, kPageHeight, SWP_NOACTIVATE);
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
