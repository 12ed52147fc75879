#include "ui/win32/main_window.h"

#include "engine/resumption.h"
#include "platform/win32/text.h"
#include "ui/layout.h"
#include "ui/win32/windowing.h"

namespace kestovar::ui {
namespace {

using namespace main_window;

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;
constexpr int kIconId = 1;
// Control ids stay clear of IDOK and IDCANCEL: Enter and Escape press nothing.
enum ControlId { kListId = 100, kRetryId, kExitId, kInstructionId };

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

MainWindow::MainWindow(HINSTANCE instance, Services& services, ProgressWindow& progress)
    : instance_(instance),
      services_(services),
      progress_(progress),
      engine_(services, progress, *this) {
  RegisterWindowClass<MainWindow>(instance, kClassName,
                                  LoadIconW(instance, MAKEINTRESOURCEW(kIconId)));
}

HWND MainWindow::Loaded() {
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

void MainWindow::CreateControls() {
  // Created in tab order.
  list_ = CreateControl(hwnd_, L"EDIT", kHianylistaText,
                        WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
                        WS_EX_CLIENTEDGE, hianylista, kListId);
  edit_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListKeys)));
  retry_ = CreateControl(hwnd_, L"BUTTON", kCdUjraText, WS_TABSTOP | BS_PUSHBUTTON, 0, cd_ujra,
                         kRetryId);
  exit_ =
      CreateControl(hwnd_, L"BUTTON", kKilepText, WS_TABSTOP | BS_PUSHBUTTON, 0, kilep, kExitId);
  instruction_ = CreateControl(hwnd_, L"STATIC", kLabel1Text, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0,
                               Label1, kInstructionId);
  focus_ = list_;
}

void MainWindow::RunFirstPass() {
  engine_.state.szazalekStart = 0;
  Pass();
}

void MainWindow::Pass() {
  services_.BeginPass();
  engine_.Masol();
  services_.EndPass();
}

void MainWindow::Show() {
  ShowWindow(Loaded(), SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  SetFocus(list_);
}

void MainWindow::SetText(const Text& text) {
  Loaded();
  SetWindowTextW(list_, Wide(text));
}

void MainWindow::OnRetryClicked() { Pass(); }

void MainWindow::OnExitClicked() {
  // The warning only informs: where it cannot be shown, both windows close all the same.
  ErrorState unshown;
  step(unshown, [&] { services_.ShowMessage(kExitWarning, kStyleOk, Text(kExitTitle)); });
  progress_.Unload();
  DestroyWindow(hwnd_);
}

LRESULT MainWindow::Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      hwnd_ = hwnd;
      CreateControls();
      WindowOpened(hwnd);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == kRetryId) OnRetryClicked();
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == kExitId) OnExitClicked();
      return 0;
    case WM_CTLCOLORSTATIC: {
      // The instruction sits on the menu colour; the read-only list keeps a text box's white.
      const int colour = reinterpret_cast<HWND>(lparam) == instruction_ ? COLOR_MENU : COLOR_WINDOW;
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

void BringRunningInstanceForward() {
  for (const wchar_t* name : {MainWindow::kClassName, ProgressWindow::kClassName}) {
    const HWND window = FindWindowW(name, nullptr);
    if (window == nullptr || !IsWindowVisible(window)) continue;
    // Asynchronous: the other instance may be in the middle of a pass, not answering.
    if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
    SetForegroundWindow(window);
    return;
  }
}

}  // namespace kestovar::ui
