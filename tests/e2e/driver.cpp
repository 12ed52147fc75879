#include "driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kestovar::e2e {
namespace {

constexpr UINT kReplyMs = 5000;  // a window that does not answer a message in this is hung

std::wstring FromUtf8(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(size > 0 ? size - 1 : 0, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
  return wide;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

struct Search {
  DWORD process;
  const wchar_t* title;
  const wchar_t* window_class;
  HWND found = nullptr;
};

BOOL CALLBACK Match(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search.process || !IsWindowVisible(window)) return TRUE;
  if (search.window_class != nullptr && ClassOf(window) != search.window_class) return TRUE;
  if (search.title != nullptr && Title(window) != search.title) return TRUE;
  search.found = window;
  return FALSE;
}

}  // namespace

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? size - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

std::wstring Setting(const wchar_t* name) {
  wchar_t value[2048];
  const DWORD length = GetEnvironmentVariableW(name, value, 2048);
  if (length == 0 || length >= 2048) {
    ADD_FAILURE() << Utf8(name) << " is not set: run these tests through tools/e2e.sh";
    return L"";
  }
  return value;
}

std::wstring HostPath(const std::wstring& unix_path) {
  std::wstring path = L"\\\\?\\unix" + unix_path;
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

bool WaitUntil(const std::function<bool()>& ready, double seconds) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
  for (;;) {
    if (ready()) return true;
    if (GetTickCount64() > deadline) return false;
    Sleep(20);  // a polling interval, not a wait for something
  }
}

int RunHostCommand(const std::wstring& command, std::string* output) {
  // Wine starts a host program without a process handle to wait on: the command leaves its
  // exit status in a file when it is done.
  static int count = 0;
  const std::wstring base = L"/tmp/kestovar-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++count);
  std::wstring line = L"/bin/sh -c \"(" + command + L") >" + base + L".out; echo $? >" + base +
                      L".tmp; mv " + base + L".tmp " + base + L".done\"";
  const std::wstring done = HostPath(base + L".done"), out = HostPath(base + L".out");
  DeleteFileW(done.c_str());  // left by an earlier run that did not wait for it
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(HostPath(L"/bin/sh").c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &info)) {
    return -1;
  }
  if (info.hThread) CloseHandle(info.hThread);
  if (info.hProcess) CloseHandle(info.hProcess);
  if (!WaitUntil([&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30)) {
    return -1;
  }
  int status = -1;
  std::ifstream(std::filesystem::path(done)) >> status;
  if (output != nullptr) {
    std::ifstream in{std::filesystem::path(out), std::ios::binary};
    output->assign(std::istreambuf_iterator<char>(in), {});
  }
  DeleteFileW(done.c_str());
  DeleteFileW(out.c_str());
  return status;
}

Program::Program(const std::wstring& folder) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring exe = self;
  exe = exe.substr(0, exe.rfind(L'\\') + 1) + L"Brenmira.exe";
  std::wstring command = Quoted(exe);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  started_ = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder.c_str(), &startup, &info_);
  if (!started_) {
    ADD_FAILURE() << "could not start " << Utf8(exe) << " in " << Utf8(folder) << ": error "
                  << GetLastError();
  }
}

Program::Program(HWND window) {
  info_.dwThreadId = GetWindowThreadProcessId(window, &info_.dwProcessId);
  info_.hProcess =
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, info_.dwProcessId);
}

Program::~Program() {
  if (info_.hProcess == nullptr) return;
  if (started_ && Running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 10000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool Program::Running() const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::Ended(double seconds) const {
  return info_.hProcess != nullptr &&
         WaitForSingleObject(info_.hProcess, static_cast<DWORD>(seconds * 1000)) == WAIT_OBJECT_0;
}

DWORD Program::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

HWND Program::Window(const wchar_t* title, const wchar_t* window_class) const {
  Search search{info_.dwProcessId, title, window_class};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND Program::Await(const wchar_t* title, const wchar_t* window_class) const {
  HWND found = nullptr;
  if (!WaitUntil([&] { return (found = Window(title, window_class)) != nullptr || !Running(); }) ||
      found == nullptr) {
    ADD_FAILURE() << "no window \"" << Utf8(title ? title : L"") << "\" of class "
                  << Utf8(window_class ? window_class : L"(any)")
                  << (Running() ? "" : ": the program has ended");
  }
  return found;
}

HWND Program::Box() const { return Window(nullptr, L"#32770"); }
HWND Program::AwaitBox() const { return Await(nullptr, L"#32770"); }

std::wstring Text(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReplyMs, &length)) {
    ADD_FAILURE() << "the window did not answer WM_GETTEXTLENGTH";
    return L"";
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, kReplyMs, &copied);
  text.resize(copied);
  return text;
}

std::wstring Title(HWND window) {
  wchar_t title[512] = L"";
  InternalGetWindowText(window, title, 512);
  return title;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

RECT Placement(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

HWND Child(HWND parent, const wchar_t* window_class, const wchar_t* text) {
  for (HWND child = FindWindowExW(parent, nullptr, window_class, nullptr); child != nullptr;
       child = FindWindowExW(parent, child, window_class, nullptr)) {
    if (text == nullptr || Text(child) == text) return child;
  }
  return nullptr;
}

bool HasFocus(DWORD thread, HWND control) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread, &info) && info.hwndFocus == control;
}

MessageBoxSeen ReadBox(HWND box) {
  constexpr int kTextId = 0xFFFF;  // the message box's text; its icon is the one other static
  MessageBoxSeen seen;
  seen.title = Title(box);
  seen.text = Text(GetDlgItem(box, kTextId));
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const std::wstring kind = ClassOf(child);
    if (_wcsicmp(kind.c_str(), L"Button") == 0) seen.buttons.push_back(Text(child));
    if (_wcsicmp(kind.c_str(), L"Static") == 0 && GetDlgCtrlID(child) != kTextId) {
      DWORD_PTR icon = 0;
      SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kReplyMs, &icon);
      seen.icon = seen.icon || icon != 0;
    }
  }
  return seen;
}

void Settle() {
  const HWND foreground = GetForegroundWindow();
  const std::string title = Utf8(Title(foreground)) + "\n";
  std::string focused;
  // Wine does not always move the X focus to a message box; then nothing is on its way.
  WaitUntil(
      [&] {
        return RunHostCommand(L"xdotool getwindowfocus getwindowname", &focused) == 0 &&
               focused == title;
      },
      1);
  // The first round trip lets the program go idle, which reads the pending X events first.
  for (int trip = 0; trip < 2; ++trip) {
    SendMessageTimeoutW(foreground, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kReplyMs, nullptr);
  }
}

void Click(HWND button, bool taken) {
  Settle();
  RECT rect{};
  GetWindowRect(button, &rect);
  SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  SendInput(1, &input, sizeof input);
  const bool pushed = WaitUntil(
      [&] {
        DWORD_PTR state = 0;
        SendMessageTimeoutW(button, BM_GETSTATE, 0, 0, SMTO_ABORTIFHUNG, kReplyMs, &state);
        return (state & BST_PUSHED) != 0;
      },
      2);
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof input);
  EXPECT_EQ(pushed, taken) << "the button \"" << Utf8(Text(button)) << "\" "
                           << (taken ? "did not take" : "took") << " the mouse press";
}

void CloseByTitleBar(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

// Windows that are waiting for input finish painting first: a message box draws its text a
// moment after it appears. A window busy in a pass is left as it is (it does not answer).
BOOL CALLBACK FinishPainting(HWND window, LPARAM) {
  DWORD_PTR ignored;
  if (IsWindowVisible(window) &&
      SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &ignored)) {
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  return TRUE;
}

Screen Screen::Take(const std::string& name) {
  EnumWindows(FinishPainting, 0);
  static int count = 0;
  char number[8];
  std::snprintf(number, sizeof number, "%02d-", ++count);
  const std::wstring folder = Setting(L"KESTOVAR_E2E_SHOTS");
  const std::wstring png = folder + L"/" + FromUtf8(number + name) + L".png";
  const std::wstring ppm = folder + L"/screen.ppm";
  Screen screen;
  screen.png_ = png;
  if (RunHostCommand(L"import -window root '" + png + L"' && convert '" + png + L"' -depth 8 '" +
                     ppm + L"'") != 0) {
    ADD_FAILURE() << "no screenshot " << Utf8(png);
    return screen;
  }
  // Binary PPM: "P6 width height 255", one whitespace, then RGB triples.
  std::ifstream in(std::filesystem::path(HostPath(ppm)), std::ios::binary);
  std::string magic;
  int maximum = 0;
  in >> magic >> screen.width_ >> screen.height_ >> maximum;
  in.get();
  screen.rgb_.assign(std::istreambuf_iterator<char>(in), {});
  in.close();
  DeleteFileW(HostPath(ppm).c_str());
  if (magic != "P6" || maximum != 255 ||
      screen.rgb_.size() != static_cast<size_t>(screen.width_) * screen.height_ * 3) {
    ADD_FAILURE() << "unreadable screenshot " << Utf8(ppm);
    screen.width_ = 0;
  }
  return screen;
}

COLORREF Screen::At(HWND window, int x, int y) const {
  POINT point{x, y};
  ClientToScreen(window, &point);
  if (point.x < 0 || point.y < 0 || point.x >= width_ || point.y >= height_) return CLR_INVALID;
  const auto* p = reinterpret_cast<const unsigned char*>(rgb_.data()) +
                  (static_cast<size_t>(point.y) * width_ + point.x) * 3;
  return RGB(p[0], p[1], p[2]);
}

}  // namespace kestovar::e2e
