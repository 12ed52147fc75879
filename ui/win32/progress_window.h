// The progress window: a bar in a frame and the percentage text below it. It is created on
// first use, and again after the user has closed it.
#pragma once

#include <windows.h>

#include "engine/displays.h"

namespace kestovar::ui {

class ProgressWindow : public ProgressDisplay {
 public:
  static constexpr wchar_t kClassName[] = L"Kestovar.Folyamat";

  explicit ProgressWindow(HINSTANCE instance);

  void Show() override;
  void Repaint() override;
  void SetPercentText(const Text& text) override;
  void SetBarWidth(float twips) override;

  // Closes the window; nothing happens when it is not loaded.
  void Unload();

  LRESULT Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  HWND Loaded();  // the window, created with its design values when it is not loaded
  void Paint(HDC dc) const;
  RECT BarRect() const;

  HINSTANCE instance_;
  HWND owner_ = nullptr;  // hidden; owning the window keeps it out of the taskbar
  HWND hwnd_ = nullptr;
  HWND percent_ = nullptr;  // foly: the percentage text
  float bar_width_ = 0;     // of tegla, the bar, in twips
};

}  // namespace kestovar::ui
