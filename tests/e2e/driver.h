// Drives Brenmira.exe from the outside, the way a user meets it: its windows found by their
// titles, their texts and rectangles read, buttons clicked with the mouse, windows closed by
// their title bars, and the screen taken by the X server's own screenshot tool. Nothing here
// includes the program's code: what it expects is written down in the tests.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kestovar::e2e {

std::string Utf8(const std::wstring& text);

// A setting of the harness (tools/e2e.sh); empty, and the test failed, when it is missing.
std::wstring Setting(const wchar_t* name);

// A host path ("/tmp/x") as Windows reaches it from inside Wine ("\\?\unix\tmp\x").
std::wstring HostPath(const std::wstring& unix_path);

// Polls `ready` until it holds; false when `seconds` went by first. Every wait is bounded.
bool WaitUntil(const std::function<bool()>& ready, double seconds = 10);

// Runs a command of the host's shell (e.g. ImageMagick's import) to its end; its exit status,
// -1 when it did not end in time. Its standard output into `output`, when given.
int RunHostCommand(const std::wstring& command, std::string* output = nullptr);

// Brenmira.exe (next to the test exe), started with `folder` as its current directory, as a
// user starts it from the game's folder. Terminated if a test leaves it running.
class Program {
 public:
  explicit Program(const std::wstring& folder);
  // Follows the process of this window, started by someone else; left running at the end.
  explicit Program(HWND window);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Running() const;
  bool Ended(double seconds = 20) const;  // waits for the end
  DWORD ExitCode() const;

  // Its visible top-level window with this title (and class, when given), or null.
  HWND Window(const wchar_t* title, const wchar_t* window_class = nullptr) const;
  // Waits for that window; null, and the test failed, when it did not appear.
  HWND Await(const wchar_t* title, const wchar_t* window_class = nullptr) const;
  // Its message box (a visible "#32770" window), or null; and waiting for one.
  HWND Box() const;
  HWND AwaitBox() const;
  DWORD Thread() const { return info_.dwThreadId; }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

// What a window shows, read through the window system.
std::wstring Text(HWND window);   // WM_GETTEXT, the whole text: the window must be answering
std::wstring Title(HWND window);  // a top-level window's title, read without asking the window
std::wstring ClassOf(HWND window);
SIZE ClientSize(HWND window);
RECT Placement(HWND child);  // in its parent's client coordinates
HWND Child(HWND parent, const wchar_t* window_class, const wchar_t* text = nullptr);
bool HasFocus(DWORD thread, HWND control);  // the keyboard focus of that thread's input

struct MessageBoxSeen {
  std::wstring title, text;
  std::vector<std::wstring> buttons;
  bool icon = false;
};
MessageBoxSeen ReadBox(HWND box);

// Wine maps windows and moves the X focus asynchronously, and the program reacts to that the
// next time it reads its messages: a late activation there takes back a click in progress.
// Waits (bounded) until the X server has the focus on the foreground window and the program has
// read what the X server told it.
void Settle();
// A left click in the middle of a button, as mouse input, once the screen has settled; a button
// whose window is disabled does not take it. Checks that the button took the press, or did not.
void Click(HWND button, bool taken = true);
// The title bar's close button, as the window system delivers it.
void CloseByTitleBar(HWND window);

// A screenshot of the whole X screen, saved as NN-name.png in the scenario's artifact folder.
class Screen {
 public:
  static Screen Take(const std::string& name);
  bool ok() const { return width_ > 0; }
  const std::wstring& file() const { return png_; }  // its host path
  // The pixel at a point of a window's client area (RGB), as it appears on the screen.
  COLORREF At(HWND window, int x, int y) const;

 private:
  std::wstring png_;
  int width_ = 0, height_ = 0;
  std::string rgb_;
};

}  // namespace kestovar::e2e
