// Brenmira.exe on a desktop that takes no more windows, or no more message boxes, as when the
// desktop heap has run out, or where its progress window fails half-made: the Windows tests set
// one of these hooks on its thread, and Windows loads this DLL into it to ask.
#include <windows.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseWindows(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_CREATEWND) return 1;  // not made
  return CallNextHookEx(nullptr, code, w, l);
}

// A message box is a dialog, of the class #32770 (named by its atom).
extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseBoxes(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_CREATEWND) {
    const wchar_t* name = reinterpret_cast<CBT_CREATEWNDW*>(l)->lpcs->lpszClass;
    if (IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) == 32770
                             : lstrcmpiW(name, L"#32770") == 0) {
      return 1;
    }
  }
  return CallNextHookEx(nullptr, code, w, l);
}

// The progress window's making fails after WM_NCCREATE, as where its WM_CREATE fails (or its
// WM_NCCREATE finds the desktop heap short): Windows then destroys a window never made, with
// WM_NCDESTROY. Its procedure is replaced before its first message by one that fails WM_CREATE.
WNDPROC progress_procedure = nullptr;

LRESULT CALLBACK FailCreate(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_CREATE) return -1;
  return CallWindowProcW(progress_procedure, window, message, w, l);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK FailProgressWindow(int code, WPARAM w, LPARAM l) {
  const wchar_t* name =
      code == HCBT_CREATEWND ? reinterpret_cast<CBT_CREATEWNDW*>(l)->lpcs->lpszClass : nullptr;
  if (name != nullptr && !IS_INTRESOURCE(name) && lstrcmpW(name, L"Kestovar.Folyamat") == 0) {
    progress_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        reinterpret_cast<HWND>(w), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FailCreate)));
  }
  return CallNextHookEx(nullptr, code, w, l);
}
