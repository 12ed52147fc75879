// DLLs from the system folder only, and functions of theirs looked up at run time: the one way
// the program calls what Windows XP SP3 lacks (every such name is on tools/lookups.txt).
#pragma once

#include <windows.h>

namespace kestovar {

// A DLL of the system's by its name, never one of that name beside the program or in the current
// folder: from the system folder, after the redirection of the program's manifest (which makes
// comctl32.dll common controls 6). nullptr where it cannot be loaded.
HMODULE LoadSystemDll(const wchar_t* dll);

// A function of a system DLL, looked up at run time: the DLL is loaded only where it is needed,
// and a Windows without the function gets nullptr.
template <class Function>
Function LookUp(const wchar_t* dll, const char* name) {
  const HMODULE module = LoadSystemDll(dll);
  const FARPROC found = module != nullptr ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// Takes the current folder, and where Windows can the program's own folder too, out of the DLL
// search order for the rest of the process: the DLLs that Windows' own DLLs load by name then come
// from the system folder as well. Called before anything loads a DLL.
void RestrictDllSearchPath();

}  // namespace kestovar
