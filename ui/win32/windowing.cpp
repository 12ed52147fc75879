#include "ui/win32/windowing.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "platform/win32/system_dlls.h"
#include "platform/win32/text.h"

namespace kestovar::ui {
namespace {
std::vector<HWND> open_windows;
}

int ScreenDpi() {
  static const int dpi = [] {
    HDC screen = GetDC(nullptr);
    const int value = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return value;
  }();
  return dpi;
}

RECT PixelRect(const Box& box) {
  const int dpi = ScreenDpi();
  return {Pixels(box.left, dpi), Pixels(box.top, dpi), Pixels(box.left + box.width, dpi),
          Pixels(box.top + box.height, dpi)};
}

void LoadCommonControls() {
  using Initialise = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto initialise = LookUp<Initialise>(L"comctl32.dll", "InitCommonControlsEx");
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  if (initialise != nullptr) initialise(&controls);  // else plain controls
}

HFONT DialogFont() {
  static const HFONT font = [] {
    LOGFONTW face{};
    face.lfHeight = -Pixels(kFontTwips, ScreenDpi());  // negative: the size of the letters
    face.lfWeight = FW_NORMAL;
    face.lfCharSet = DEFAULT_CHARSET;
    std::copy(std::begin(kFontFace), std::end(kFontFace), face.lfFaceName);
    return CreateFontIndirectW(&face);
  }();
  return font;
}

SIZE OuterSize(const Size& client, DWORD style, DWORD ex_style) {
  const int dpi = ScreenDpi();
  RECT rect{0, 0, Pixels(client.width, dpi), Pixels(client.height, dpi)};
  AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

HWND CreateControl(HWND parent, const wchar_t* window_class, const char16_t* text, DWORD style,
                   DWORD ex_style, const Box& box, int id) {
  const RECT rect = PixelRect(box);
  HWND control = CreateWindowExW(
      ex_style, window_class, Wide(text), WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
      rect.right - rect.left, rect.bottom - rect.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
  return control;
}

void WindowOpened(HWND window) { open_windows.push_back(window); }

void WindowClosed(HWND window) {
  const auto counted = std::find(open_windows.begin(), open_windows.end(), window);
  if (counted == open_windows.end()) return;
  open_windows.erase(counted);
  if (open_windows.empty()) PostQuitMessage(0);
}

bool AnyWindowOpen() { return !open_windows.empty(); }

}  // namespace kestovar::ui
