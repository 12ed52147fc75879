#include "platform/win32/system_dlls.h"

#include <string>

#include "platform/win32/text.h"

namespace kestovar {
namespace {

// Whether the DLL search can be kept to the system folder alone (LOAD_LIBRARY_SEARCH_SYSTEM32):
// Windows 8 on, and Vista and 7 with the update KB2533623 that brought SetDefaultDllDirectories.
// (Looked up in kernel32 as loaded, which LoadSystemDll hands out before it asks this.)
bool SearchesSystemFolderAlone() {
  return LookUp<FARPROC>(L"kernel32.dll", "SetDefaultDllDirectories") != nullptr;
}

}  // namespace

HMODULE LoadSystemDll(const wchar_t* dll) {
  // ntdll and kernel32 are in every process from its start: taken as they are, never loaded by a
  // name that a manifest beside the exe could redirect (XP takes such a manifest).
  for (const wchar_t* always : {L"ntdll.dll", L"kernel32.dll"}) {
    if (SameName(dll, always)) {
      return GetModuleHandleW(always);
    }
  }
  // The flag searches after the manifest's redirection too.
  if (SearchesSystemFolderAlone())
    return LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Elsewhere a name the manifest redirects is loaded by that name alone, since a full path
  // would bypass the redirection; the redirection, not the search, finds it. Any other name,
  // by the system folder's full path.
  ACTCTX_SECTION_KEYED_DATA redirected{};
  redirected.cbSize = sizeof(ACTCTX_SECTION_KEYED_DATA_2600);  // XP's size, which all later take
  if (FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, dll,
                               &redirected)) {
    return LoadLibraryW(dll);
  }
  const std::wstring system = FilledString(GetSystemDirectoryW);
  return system.empty() ? nullptr : LoadLibraryW((system + L'\\' + dll).c_str());
}

void RestrictDllSearchPath() {
  // The current folder out of the search (XP SP1 on).
  using SetDirectory = BOOL(WINAPI*)(const wchar_t*);
  if (const auto set = LookUp<SetDirectory>(L"kernel32.dll", "SetDllDirectoryW")) set(L"");
  // The program's own folder out too, where Windows has that.
  using SetDefaults = BOOL(WINAPI*)(DWORD);
  const auto set_defaults = LookUp<SetDefaults>(L"kernel32.dll", "SetDefaultDllDirectories");
  if (set_defaults != nullptr && set_defaults(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Where the program's folder stays in the search (XP; Vista and 7 without the update), the
  // system's copy of what Windows' own DLLs later load by name is loaded first: a DLL loaded
  // answers every later load of its name. Common controls 6 load uxtheme.dll, which imports
  // dwmapi.dll on Vista and 7 (XP has none): that one first, so that uxtheme's own load of it
  // finds it loaded rather than searching the program's folder.
  for (const wchar_t* dll : {L"dwmapi.dll", L"uxtheme.dll"}) LoadSystemDll(dll);
}

}  // namespace kestovar
