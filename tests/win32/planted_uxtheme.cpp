// A uxtheme.dll that someone else left beside Brenmira.exe: loaded, it leaves a mark beside
// itself (its own name and ".ran").
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t mark[MAX_PATH + 4];
    lstrcpyW(mark + GetModuleFileNameW(self, mark, MAX_PATH), L".ran");
    CloseHandle(CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  return TRUE;
}
