// Brenmira.exe on a desktop that takes no more windows, or no more message boxes, as when the
// desktop heap has run out: the Windows tests set one of these hooks on its thread, and Windows
// loads this DLL into it to ask.
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
