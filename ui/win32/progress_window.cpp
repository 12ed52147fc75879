#include "ui/win32/progress_window.h"

#include <algorithm>
#include <cmath>

#include "platform/services.h"
#include "platform/win32/text.h"
#include "ui/layout.h"
#include "ui/win32/windowing.h"

namespace kestovar::ui {
namespace {

using namespace progress_window;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;  // fixed, close button only
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;                    // dialog frame, no icon
constexpr int kPercentId = 100;
constexpr int kWindowUnavailable = 7;  // error number when the window cannot be created

}  // namespace

ProgressWindow::ProgressWindow(HINSTANCE instance) : instance_(instance) {
  RegisterWindowClass<ProgressWindow>(instance, kClassName, nullptr);
}

HWND ProgressWindow::Loaded() {
  if (hwnd_ != nullptr) return hwnd_;
  if (owner_ == nullptr) {
    owner_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_,
                             nullptr);
  }
  bar_width_ = static_cast<float>(tegla.width);
  const SIZE size = OuterSize(kClient, kStyle, kExStyle);
  CreateWindowExW(kExStyle, kClassName, Wide(kTitle), kStyle, CW_USEDEFAULT, CW_USEDEFAULT, size.cx,
                  size.cy, owner_, nullptr, instance_, this);
  if (hwnd_ == nullptr) throw Failure{kWindowUnavailable};
  return hwnd_;
}

void ProgressWindow::Show() {
  HWND hwnd = Loaded();
  ShowWindow(hwnd, SW_SHOW);
  SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(hwnd);
}

void ProgressWindow::Repaint() {
  // Paints now what changed since the last paint: all of a window just shown, then the bar's
  // new strip and the percentage text. Erasing the whole window each time would flicker where
  // nothing composes the screen (XP), and costs time during the pass.
  RedrawWindow(Loaded(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void ProgressWindow::SetPercentText(const Text& text) {
  Loaded();
  SetWindowTextW(percent_, Wide(text));
}

void ProgressWindow::SetBarWidth(float twips) {
  HWND hwnd = Loaded();
  const RECT old_bar = BarRect();
  bar_width_ = twips;
  // Only the strip between the old and the new right edge changes, with the outline's column
  // on its inner side. Painted now by a repaint, or by whatever paints next (a message box, the
  // event loop).
  RECT changed = BarRect();
  changed.left = std::min(old_bar.right, changed.right) - 1;
  changed.right = std::max(old_bar.right, changed.right);
  InvalidateRect(hwnd, &changed, TRUE);
}

void ProgressWindow::Unload() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

RECT ProgressWindow::BarRect() const {
  Box bar = tegla;
  bar.width = static_cast<int>(std::lround(bar_width_));
  return PixelRect(bar);
}

void ProgressWindow::Paint(HDC dc) const {
  const HGDIOBJ old_pen = SelectObject(dc, GetStockObject(DC_PEN));
  const HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  SetDCPenColor(dc, GetSysColor(COLOR_WINDOWTEXT));

  const RECT frame = PixelRect(Shape1);
  Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);

  // Drawn after the frame: a bar wider than the frame crosses its right edge.
  const RECT bar = BarRect();
  if (bar.right > bar.left) {
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SetDCBrushColor(dc, RGB(kBarColour.r, kBarColour.g, kBarColour.b));
    Rectangle(dc, bar.left, bar.top, bar.right, bar.bottom);
  }
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
}

LRESULT ProgressWindow::Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      hwnd_ = hwnd;
      percent_ =
          CreateControl(hwnd, L"STATIC", kFolyText, SS_CENTER | SS_NOPREFIX, 0, foly, kPercentId);
      WindowOpened(hwnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      Paint(BeginPaint(hwnd, &ps));
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      percent_ = nullptr;
      WindowClosed(hwnd);
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace kestovar::ui
