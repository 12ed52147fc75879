// generation.dll: Brenmira.exe run as an older Windows would run it, from outside the program, the
// way Windows' own compatibility shims do it. The Windows tests load it into the program before its
// first instruction; it points the program's imports of GetProcAddress, and of the few calls whose
// answers differ from one Windows to another, at its own, in the program's import table alone.
// KESTOVAR_WINDOWS names the generation: "xp" (XP SP3), "vista7" (Vista and 7 without KB2533623)
// or "10" (every function Wine has). Under each, the program never finds Wine's wine_get_version,
// so it takes itself to run on Windows.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <iterator>

namespace {

// The functions the program looks up, from tools/lookups.txt: DLL, name, first Windows.
struct Lookup {
  const char* dll;
  const char* name;
  const char* first;
};
constexpr Lookup kLookups[] = {
#include "lookups.inc"
};

// The Windows in the order they came; "none" is no Windows at all.
constexpr const char* kWindows[] = {"2000", "XP",        "XPSP1", "XPSP2", "XPSP3", "Vista",
                                    "7",    "KB2533623", "8",     "10",    "none"};
int Rank(const char* windows) {
  for (int rank = 0; rank < static_cast<int>(std::size(kWindows)); ++rank) {
    if (std::strcmp(windows, kWindows[rank]) == 0) return rank;
  }
  return -1;
}

int newest = -1;  // the rank of the newest Windows the generation stands for

FARPROC WINAPI FilteredGetProcAddress(HMODULE module, LPCSTR name);

// XP knows the token classes up to TokenOrigin: the elevation classes came with Vista.
BOOL WINAPI TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID information,
                             DWORD size, PDWORD returned) {
  if (newest < Rank("Vista") && kind > TokenOrigin) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return GetTokenInformation(token, kind, information, size, returned);
}

// XP knows four copy flags (fail if it exists, restartable, open the source for writing, allow a
// decrypted destination); any other, as COPY_FILE_COPY_SYMLINK, it refuses.
BOOL WINAPI CopyWithFlags(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE progress, LPVOID context,
                          LPBOOL cancel, DWORD flags) {
  constexpr DWORD kXpFlags = 0xF;
  if (newest < Rank("Vista") && (flags & ~kXpFlags) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CopyFileExW(from, to, progress, context, cancel, flags);
}

// A listing's basic information level came with Windows 7.
HANDLE WINAPI FindAtLevel(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID found,
                          FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags) {
  if (newest < Rank("7") && level != FindExInfoStandard) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return FindFirstFileExW(pattern, level, found, search, filter, flags);
}

// Every Windows refuses to replace a read-only file; Wine replaces it.
BOOL WINAPI Rename(LPCWSTR from, LPCWSTR to, DWORD flags) {
  const DWORD replaced = to != nullptr ? GetFileAttributesW(to) : INVALID_FILE_ATTRIBUTES;
  if ((flags & MOVEFILE_REPLACE_EXISTING) != 0 && replaced != INVALID_FILE_ATTRIBUTES &&
      (replaced & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == FILE_ATTRIBUTE_READONLY) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return MoveFileExW(from, to, flags);
}

// Windows puts the elevation prompt in front only for a window of the asking program's that is in
// the foreground, and else only flashes it on the taskbar, where the player may never see it: a
// request without one is refused here.
BOOL WINAPI ExecuteInFront(SHELLEXECUTEINFOW* request) {
  const HWND owner = request->hwnd;
  if (owner == nullptr || owner != GetForegroundWindow() ||
      GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) {
    SetLastError(ERROR_CANCELLED);
    return FALSE;
  }
  // Looked up, not imported: shell32 loaded with this DLL would come before the program's own
  // defences, as it does not without it.
  using Execute = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  const FARPROC execute = GetProcAddress(GetModuleHandleW(L"shell32.dll"), "ShellExecuteExW");
  return reinterpret_cast<Execute>(reinterpret_cast<void (*)()>(execute))(request);
}

using Function = void (*)();
struct Replacement {
  const char* dll;
  const char* name;
  Function by;
};
const Replacement kReplacements[] = {
    {"kernel32.dll", "GetProcAddress", reinterpret_cast<Function>(FilteredGetProcAddress)},
    {"advapi32.dll", "GetTokenInformation", reinterpret_cast<Function>(TokenInformation)},
    {"kernel32.dll", "CopyFileExW", reinterpret_cast<Function>(CopyWithFlags)},
    {"kernel32.dll", "FindFirstFileExW", reinterpret_cast<Function>(FindAtLevel)},
    {"kernel32.dll", "MoveFileExW", reinterpret_cast<Function>(Rename)},
    {"shell32.dll", "ShellExecuteExW", reinterpret_cast<Function>(ExecuteInFront)}};

// A function looked up as the generation's Windows answers: not found where that Windows lacks it,
// and the generation's own answer for a call whose answers differ.
FARPROC WINAPI FilteredGetProcAddress(HMODULE module, LPCSTR name) {
  if (!IS_INTRESOURCE(name)) {  // by name, not by ordinal
    for (const Lookup& lookup : kLookups) {
      if (std::strcmp(name, lookup.name) == 0 && GetModuleHandleA(lookup.dll) == module &&
          Rank(lookup.first) > newest) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
      }
    }
    for (const Replacement& replacement : kReplacements) {
      if (std::strcmp(name, replacement.name) == 0 && GetModuleHandleA(replacement.dll) == module)
        return reinterpret_cast<FARPROC>(replacement.by);
    }
  }
  return GetProcAddress(module, name);
}

// Points the main module's imports of the replaced functions at the replacements: each slot of
// its import address table that holds one of them, as the loader filled it. Whether the import of
// GetProcAddress was among them.
bool PatchMainModule() {
  const auto base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  bool filtered = false;
  for (auto dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       dll->Name != 0; ++dll) {
    for (auto slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
         slot->u1.Function != 0; ++slot) {
      for (const Replacement& replacement : kReplacements) {
        const FARPROC real = GetProcAddress(GetModuleHandleA(replacement.dll), replacement.name);
        if (real == nullptr || slot->u1.Function != reinterpret_cast<ULONG_PTR>(real)) continue;
        DWORD protection = 0;
        VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
        slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement.by);
        VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
        filtered |= replacement.by == kReplacements[0].by;
      }
    }
  }
  return filtered;
}

}  // namespace

// Refuses to load (the test then fails) for a generation it does not know, a list naming a Windows
// it does not know, or a program whose GetProcAddress it could not replace.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char name[16] = "";
  GetEnvironmentVariableA("KESTOVAR_WINDOWS", name, sizeof name);
  const struct {
    const char* name;
    const char* newest;
  } generations[] = {{"xp", "XPSP3"}, {"vista7", "7"}, {"10", "10"}};
  for (const auto& generation : generations) {
    if (std::strcmp(name, generation.name) == 0) newest = Rank(generation.newest);
  }
  for (const Lookup& lookup : kLookups) {
    if (Rank(lookup.first) < 0) return FALSE;
  }
  return newest >= 0 && PatchMainModule();
}
