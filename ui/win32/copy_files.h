// The main window: host of the copy engine, with the list of missing files, the instruction,
// and the retry and exit buttons. The first pass runs before it shows.
#pragma once

#include <windows.h>

#include "engine/copy_engine.h"
#include "platform/win32/win32_services.h"
#include "ui/win32/folyamat.h"

namespace kestovar::ui {

class copy_files : public MissingList {
 public:
  static constexpr wchar_t kClassName[] = L"Kestovar.copy_files";

  copy_files(HINSTANCE instance, Win32Services& services, Folyamat& progress);

  void Form_Load();
  void Show();  // centred on the screen, the list focused
  HWND hwnd() const { return hwnd_; }

  void SetText(const Text& text) override;  // the whole text of hianylista

  LRESULT Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  void Pass();
  void cd_ujra_Click();
  void kilep_Click();
  HWND Loaded();  // the window, made hidden with its controls when it is not made yet
  void CreateControls();

  HINSTANCE instance_;
  Win32Services& services_;
  Folyamat& folyamat_;
  CopyEngine engine_;
  HWND hwnd_ = nullptr;
  HWND hianylista_ = nullptr, cd_ujra_ = nullptr, kilep_ = nullptr, label1_ = nullptr;
  HWND focus_ = nullptr;  // the control to give the focus back to on activation
};

}  // namespace kestovar::ui
