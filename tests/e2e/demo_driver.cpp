// The demo's stand-in user on a screen nobody watches (Xvfb): follows Brenmira.exe, started by
// tools/demo.sh, saves a screenshot of every screen it shows and answers it: OK on a message
// box; on the list of missing files, Kilépés and then OK. Ends with the program.
#include <cstdio>

#include "driver.h"

using namespace kestovar::e2e;

namespace {

constexpr wchar_t kProgressTitle[] = L"Fájlok másolása a CD-ről";

BOOL CALLBACK FindProgress(HWND window, LPARAM found) {
  if (!IsWindowVisible(window) || Title(window) != kProgressTitle) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// A full bar reaches the screen a moment after the program has drawn it. The progress window is
// also kept on its own.
void ShootWithProgress(HWND progress, const char* name) {
  const bool full = Text(Child(progress, L"Static")) == L"100%";
  Screen screen;
  WaitUntil(
      [&] {
        screen = Screen::Take(name);
        return !full || screen.At(progress, 340, 38) == RGB(0, 0, 192);
      },
      3);
  RECT window{};
  GetWindowRect(progress, &window);
  const std::wstring file = screen.file();
  RunHostCommand(L"convert '" + file + L"' -crop " + std::to_wstring(window.right - window.left) +
                 L"x" + std::to_wstring(window.bottom - window.top) + L"+" +
                 std::to_wstring(window.left) + L"+" + std::to_wstring(window.top) + L" '" +
                 file.substr(0, file.size() - 4) + L"-progress-window.png'");
}

}  // namespace

int wmain() {
  HWND progress = nullptr;
  if (!WaitUntil([&] { return !EnumWindows(FindProgress, reinterpret_cast<LPARAM>(&progress)); },
                 60)) {
    std::puts("demo driver: Brenmira.exe did not show its progress window");
    return 1;
  }
  const Program program(progress);
  HWND answered = nullptr;
  bool leaving = false;
  const bool ended = WaitUntil(
      [&] {
        if (!program.Running()) return true;
        if (const HWND box = program.Box(); box != nullptr && box != answered) {
          const MessageBoxSeen seen = ReadBox(box);
          const char* name = seen.title == L"Sikeres másolás!" ? "success-message"
                             : seen.title == L"Kilépés"        ? "exit-warning"
                                                               : "message";
          if (HWND shown = program.Window(kProgressTitle)) {
            ShootWithProgress(shown, name);
          } else {
            Screen::Take(name);
          }
          Click(Child(box, L"Button", L"OK"));
          answered = box;
        } else if (const HWND main = program.Window(L"Hiba történt");
                   main != nullptr && !leaving && box == nullptr && IsWindowEnabled(main)) {
          Screen::Take("missing-files");
          Click(Child(main, L"Button", L"Kilépés"));
          leaving = true;
        }
        return false;
      },
      120);
  if (!ended) std::puts("demo driver: Brenmira.exe did not end");
  return ended ? 0 : 1;
}
