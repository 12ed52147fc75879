#include "ui/win32/copy_files.h"

#include "platform/resumption.h"
#include "ui/layout.h"
#include "ui/win32/win32_ui.h"

namespace kestovar::ui {
namespace {

using namespace main_window;

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;
constexpr int kIconId = 1;
// Control ids stay clear of IDOK and IDCANCEL: Enter and Escape press nothing.
enum ControlId { kHianylistaId = 100, kCdUjraId, kKilepId, kLabel1Id };

// A multi-line text box keeps Tab for itself and closes its window on Escape. The list hands
// Tab on to the buttons, and Escape does nothing: the window has no cancel button.
WNDPROC edit_procedure = nullptr;
LRESULT CALLBACK ListKeys(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT code = CallWindowProcW(edit_procedure, hwnd, message, wparam, lparam);
  if (message == WM_GETDLGCODE && lparam != 0) {
    const auto* key = reinterpret_cast<const MSG*>(lparam);
    if (key->message == WM_KEYDOWN && (key->wParam == VK_TAB || key->wParam == VK_ESCAPE)) {
      code &= ~DLGC_WANTALLKEYS;
    }
  }
  return code;
}

}  // namespace

copy_files::copy_files(HINSTANCE instance, Win32Services& services, Folyamat& progress)
    : instance_(instance),
      services_(services),
      folyamat_(progress),
      engine_(services, progress, *this) {
  RegisterWindowClass<copy_files>(instance, kClassName,
                                  LoadIconW(instance, MAKEINTRESOURCEW(kIconId)));
}

HWND copy_files::Loaded() {
  if (hwnd_ != nullptr) return hwnd_;
  // Made when the list is first written or the window first shown: a pass that finds nothing
  // missing ends the program without ever making it.
  const SIZE size = OuterSize(kClient, kStyle, kExStyle);
  CreateWindowExW(kExStyle, kClassName, Wide(kTitle), kStyle,
                  (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2,
                  (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2, size.cx, size.cy, nullptr, nullptr,
                  instance_, this);
  return hwnd_;
}

void copy_files::CreateControls() {
  // Created in tab order.
  hianylista_ = CreateControl(hwnd_, L"EDIT", kHianylistaText,
                              WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
                              WS_EX_CLIENTEDGE, hianylista, kHianylistaId);
  edit_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hianylista_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListKeys)));
  cd_ujra_ = CreateControl(hwnd_, L"BUTTON", kCdUjraText, WS_TABSTOP | BS_PUSHBUTTON, 0, cd_ujra,
                           kCdUjraId);
  kilep_ =
      CreateControl(hwnd_, L"BUTTON", kKilepText, WS_TABSTOP | BS_PUSHBUTTON, 0, kilep, kKilepId);
  label1_ = CreateControl(hwnd_, L"STATIC", kLabel1Text, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, Label1,
                          kLabel1Id);
  focus_ = hianylista_;
}

void copy_files::Form_Load() {
  engine_.state.szazalekStart = 0;
  Pass();
}

void copy_files::Pass() {
  services_.BeginPass();
  engine_.Masol();
  services_.EndPass();
}

void copy_files::Show() {
  ShowWindow(Loaded(), SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  SetFocus(hianylista_);
}

void copy_files::SetText(const Text& text) {
  Loaded();
  SetWindowTextW(hianylista_, Wide(text));
}

void copy_files::cd_ujra_Click() { Pass(); }

void copy_files::kilep_Click() {
  // The warning only informs: where it cannot be shown, both windows close all the same.
  ErrorState unshown;
  step(unshown, [&] { services_.ShowMessage(kExitWarning, kStyleOk, Text(kExitTitle)); });
  folyamat_.Unload();
  DestroyWindow(hwnd_);
}

LRESULT copy_files::Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      hwnd_ = hwnd;
      CreateControls();
      WindowOpened(hwnd);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == kCdUjraId) cd_ujra_Click();
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == kKilepId) kilep_Click();
      return 0;
    case WM_CTLCOLORSTATIC: {
      // The instruction sits on the menu colour; the read-only list keeps a text box's white.
      const int colour = reinterpret_cast<HWND>(lparam) == label1_ ? COLOR_MENU : COLOR_WINDOW;
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkColor(dc, GetSysColor(colour));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(colour));
    }
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        if (HWND focus = GetFocus(); focus != nullptr && IsChild(hwnd, focus)) focus_ = focus;
      } else if (focus_ != nullptr) {
        SetFocus(focus_);
      }
      return 0;
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      WindowClosed(hwnd);
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace kestovar::ui
