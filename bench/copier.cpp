// The baseline of the headline benchmark: the least a windowed Win32 program does for
// Brenmira.exe's job. It shows one window of the progress window's size and style with a text
// in it, copies the same 32 files from the disc in CD-ROM drive D: into DATA and FMV of its
// current directory, and says "Done" in a message box (which tells the watcher it has finished).
// It exits with 1, and shows no box, if a copy fails. Started with /flush, it writes each copy
// through to the disk (FlushFileBuffers) before it goes on, the guarantee Brenmira.exe gives
// before it renames a copy into place: a baseline that costs what that guarantee costs.
#include <windows.h>

namespace {

constexpr const wchar_t* kFiles[] = {
    L"DATA\\ASSAULT.TR2",  L"DATA\\BOAT.TR2",     L"DATA\\CATACOMB.TR2", L"DATA\\CUT1.TR2",
    L"DATA\\CUT2.TR2",     L"DATA\\CUT3.TR2",     L"DATA\\CUT4.TR2",     L"DATA\\DECK.TR2",
    L"DATA\\EMPRTOMB.TR2", L"DATA\\FLOATING.TR2", L"DATA\\HOUSE.TR2",    L"DATA\\ICECAVE.TR2",
    L"DATA\\KEEL.TR2",     L"DATA\\LIVING.TR2",   L"DATA\\MONASTRY.TR2", L"DATA\\OPERA.TR2",
    L"DATA\\PLATFORM.TR2", L"DATA\\RIG.TR2",      L"DATA\\SKIDOO.TR2",   L"DATA\\TITLE.TR2",
    L"DATA\\UNWATER.TR2",  L"DATA\\VENICE.TR2",   L"DATA\\WALL.TR2",     L"DATA\\XIAN.TR2",
    L"FMV\\ANCIENT.RPL",   L"FMV\\CRASH.RPL",     L"FMV\\END.RPL",       L"FMV\\JEEP.RPL",
    L"FMV\\LANDING.RPL",   L"FMV\\LOGO.RPL",      L"FMV\\MODERN.RPL",    L"FMV\\MS.RPL",
};

// A finished copy written through to the disk: FlushFileBuffers on a handle to it.
bool Flush(const wchar_t* file) {
  const HANDLE handle = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(handle);
  CloseHandle(handle);
  return flushed;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  const bool flush = lstrcmpW(arguments, L"/flush") == 0;
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = L"Copier";
  RegisterClassW(&window_class);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT outer{0, 0, 376, 94};  // the progress window's client area at 96 dpi
  AdjustWindowRectEx(&outer, style, FALSE, WS_EX_DLGMODALFRAME);
  const HWND window = CreateWindowExW(
      WS_EX_DLGMODALFRAME, L"Copier", L"Copier", style, CW_USEDEFAULT, CW_USEDEFAULT,
      outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
  CreateWindowW(L"STATIC", L"0%", WS_CHILD | WS_VISIBLE | SS_CENTER, 144, 64, 57, 17, window,
                nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);

  CreateDirectoryW(L"DATA", nullptr);
  CreateDirectoryW(L"FMV", nullptr);
  wchar_t source[64] = L"D:\\";
  for (const wchar_t* file : kFiles) {
    lstrcpyW(source + 3, file);
    if (!CopyFileExW(source, file, nullptr, nullptr, nullptr, 0)) return 1;
    if (flush && !Flush(file)) return 1;
  }
  MessageBoxW(window, L"32 files copied.", L"Done", MB_OK);
  return 0;
}
