// The main window: host of the copy engine, with the list of missing files, the instruction,
// and the retry and exit buttons. The first pass runs before it shows.
#pragma once

#include <windows.h>

#include "engine/copy_engine.h"
#include "platform/services.h"
#include "ui/win32/progress_window.h"

namespace kestovar::ui {

class MainWindow : public MissingList {
 public:
  static constexpr wchar_t kClassName[] = L"Kestovar.copy_files";

  MainWindow(HINSTANCE instance, Services& services, ProgressWindow& progress);

  // The first pass; it ends the program when nothing is missing.
  void RunFirstPass();
  void Show();  // centred on the screen, the list focused
  HWND hwnd() const { return hwnd_; }

  void SetText(const Text& text) override;  // the whole text of the list

  LRESULT Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  void Pass();
  void OnRetryClicked();
  void OnExitClicked();
  HWND Loaded();  // the window, made hidden with its controls when it is not made yet
  void CreateControls();

  HINSTANCE instance_;
  Services& services_;
  ProgressWindow& progress_;
  CopyEngine engine_;
  HWND hwnd_ = nullptr;
  // hianylista, cd_ujra, kilep and Label1 of the design
  HWND list_ = nullptr, retry_ = nullptr, exit_ = nullptr, instruction_ = nullptr;
  HWND focus_ = nullptr;  // the control to give the focus back to on activation
};

// Brings the window of the program's instance that runs already to the front, where it has
// one: the list when shown, else the progress window.
void BringRunningInstanceForward();

}  // namespace kestovar::ui
