// What both windows share on Win32: pixel conversion at the screen's DPI, the dialog font,
// child-control creation from the design table, the window procedure, and the count of open
// windows.
#pragma once

#include <windows.h>

#include "ui/layout.h"

namespace kestovar::ui {

// Dots per inch of the screen (the program is DPI-aware, so this is the real one).
int ScreenDpi();

// A design box in client pixels. Edges are converted, not sizes, so neighbours stay flush at
// any DPI; at 96 DPI every value is the design's twips / 15, rounded.
RECT PixelRect(const Box& box);

// Common controls 6, which the manifest asks for: they make the labels, buttons and text box of
// both windows and of the message boxes (themed, from XP on). Windows XP makes none of those
// unless they were loaded before the first window; later Windows load them on demand. Looked up
// at run time, so that a start without them still shows plain controls.
void LoadCommonControls();

// The font of every control: the dialog face the layout was drawn for, at the screen's DPI.
HFONT DialogFont();

// The outer size of a window whose client area is `client` twips.
SIZE OuterSize(const Size& client, DWORD style, DWORD ex_style);

HWND CreateControl(HWND parent, const wchar_t* window_class, const char16_t* text, DWORD style,
                   DWORD ex_style, const Box& box, int id);

// The window procedure of every window class: forwards to Window::Handle of the object that
// was passed as the creation parameter. No exception may leave it: user32's frames between it and
// the message loop cannot be unwound (the program would end on the spot), so a message whose
// handling failed is left to the system's default; a window whose making failed is not made.
template <class Window>
LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  try {
    if (window != nullptr) return window->Handle(hwnd, message, wparam, lparam);
  } catch (...) {
    if (message == WM_CREATE) return -1;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

template <class Window>
void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, HICON icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProcedure<Window>;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  wc.hIcon = icon;
  RegisterClassExW(&wc);
}

// The program ends when its last window has closed. A window counts from the end of its
// WM_CREATE to its WM_NCDESTROY; Windows also sends that to a window whose making failed after
// WM_NCCREATE, one never counted, and it is not counted off.
void WindowOpened(HWND window);
void WindowClosed(HWND window);
bool AnyWindowOpen();

}  // namespace kestovar::ui
