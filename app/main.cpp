// Brenmira.exe: started in the game's installation folder, it completes the installation
// from the disc, and stays only when something is still missing.
#include <windows.h>

#include <cstdlib>

#include "app/defences.h"
#include "app/elevation.h"
#include "app/start_up.h"
#include "platform/win32/win32_services.h"
#include "ui/win32/main_window.h"
#include "ui/win32/progress_window.h"
#include "ui/win32/windowing.h"

// A GUI program has no console for the library's verbose "terminate called..." message, and
// its demangler is the largest thing it would link in. No exception is meant to get this far.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The exit code of a start that could show no window.
constexpr int kNoWindow = 1;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  const kestovar::Start start = kestovar::ReadStart(arguments);
  const bool administrator = kestovar::HasAdministratorRights(start);
  if (!kestovar::ApplyStartUpDefences(administrator)) return kNoWindow;
  // An empty drive is an answer for the pass, not a question for the user: no "There is no disk
  // in the drive" box for any probe, from before the first drive query to the end. The flags the
  // program was started with stay (asking for them alone needs a Windows newer than XP).
  const UINT inherited = SetErrorMode(SEM_FAILCRITICALERRORS);
  SetErrorMode(inherited | SEM_FAILCRITICALERRORS);

  // A second start (a double click taken for a missed one) shows the first and ends.
  if (kestovar::IsAnotherInstanceRunning(start)) {
    kestovar::ui::BringRunningInstanceForward();
    return 0;
  }

  // A pass with an administrator's rights follows no reparse point that another user may have
  // made.
  kestovar::Win32Services services(start.folder, administrator);
  // In a folder that only an elevated program may write, the player is asked once for that,
  // before any window, and the elevated instance does the work.
  if (!start.elevated) {
    if (const auto code = kestovar::RunElevatedIfNeeded(services)) return static_cast<int>(*code);
  }

  // Windows takes a window whose thread has not looked at its queue for 5 seconds for hung, and
  // puts a "Not Responding" ghost in its place, which the player could close mid-copy. A pass
  // answers late by design while a slow disc spins up or reads a sector again and again (it
  // answers only sent messages and paints meanwhile: platform/win32/message_pump.h): no ghost,
  // from before the first window.
  DisableProcessWindowsGhosting();
  kestovar::ui::LoadCommonControls();  // before the first window and message box
  kestovar::ui::ProgressWindow progress(instance);
  kestovar::ui::MainWindow window(instance, services, progress);

  window.RunFirstPass();
  window.Show();
  // Where Windows made neither window (no room left on the desktop), nothing could ever close
  // one: the program ends rather than wait unseen, holding its place as the running instance.
  if (!kestovar::ui::AnyWindowOpen()) return kNoWindow;

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab moves between the list and the buttons, as in a dialog.
    if (window.hwnd() != nullptr && IsDialogMessageW(window.hwnd(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
