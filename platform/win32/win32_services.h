// The platform services on Windows: kernel32 and user32, in UTF-16 ("W" calls) except the two
// 8-bit drive queries. Every failure is a Failure carrying ErrorNumber(GetLastError()).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "platform/services.h"
#include "platform/win32/links.h"

namespace kestovar {

// A text as Windows' "W" calls take it, and back: UTF-16 on both sides of the boundary.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline const wchar_t* Wide(const Text& text) { return Wide(text.c_str()); }
inline Text FromWide(const wchar_t* text) { return Text(reinterpret_cast<const char16_t*>(text)); }

// The error number a failing system call carries; the table is in win32_services.cpp.
// Never 0: a failure must always read as one.
int ErrorNumber(DWORD system_error);

// How long, in milliseconds, a rename or a removal waits at most while another program holds
// its file.
inline constexpr DWORD kFullPatience = 1000;

// The progress routine of FileCopy: between the chunks of a long copy it answers the messages
// other threads send and repaints the windows, and dispatches no input to them.
DWORD CALLBACK KeepAliveDuringCopy(LARGE_INTEGER total, LARGE_INTEGER copied,
                                   LARGE_INTEGER stream_total, LARGE_INTEGER stream_copied,
                                   DWORD stream, DWORD reason, HANDLE source, HANDLE destination,
                                   LPVOID context);

// The path of a folder as the file system resolves it, through every link on its way, in the
// form GetFinalPathNameByHandleW is asked for; empty where Windows cannot tell (before Vista) or
// the folder cannot be opened.
std::wstring FinalPath(const std::wstring& folder, DWORD form);

// A DLL of the system's by its name, never one of that name beside the program or in the current
// folder: from the system folder, after the redirection of the program's manifest (which makes
// comctl32.dll common controls 6). nullptr where it cannot be loaded.
HMODULE LoadSystemDll(const wchar_t* dll);

// From the program's very start: the DLLs that Windows' own load by name come from the system
// folder as well.
void KeepDllsToTheSystemFolder();

// A function of a system DLL, looked up at run time: the DLL is loaded only where it is needed,
// and a Windows without the function gets nullptr.
template <class Function>
Function LookUp(const wchar_t* dll, const char* name) {
  const HMODULE module = LoadSystemDll(dll);
  const FARPROC found = module != nullptr ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The full path of Brenmira.exe.
std::wstring ProgramPath();

class Win32Services : public Services {
 public:
  // Installs into `folder`, or where the program is started when it is empty. Guarded, it
  // follows no link on the way to that folder or in it.
  explicit Win32Services(Text folder = Text(), bool guarded = false)
      : folder_(std::move(folder)), links_(!guarded) {}

  // A new pass: whatever held a file in the last one may have let go, so the next held file is
  // waited for in full again.
  void BeginPass() { patience_ = kFullPatience; }
  // The folders that were checked for links during the pass are free again.
  void EndPass() { links_.LetGo(); }

  Text CurrentDirectory() override;
  Text Dir(const Text& path, int attributes) override;
  void FileCopy(const Text& source, const Text& destination) override;
  void MakeDirectory(const Text& path) override;
  std::uint32_t GetLogicalDriveStringsA(std::uint32_t size, char* buffer) override;
  std::uint32_t GetDriveTypeA(const char* root) override;
  int ShowMessage(const Text& text, int style, const std::optional<Text>& title) override;
  [[noreturn]] void End() override;
  Text DecimalSeparator() override;

 private:
  Text InstallationFolder();
  DWORD NotThroughALink() const;  // the copy flag that keeps a copy off links, where it must

  Text folder_;
  LinkGuard links_;
  DWORD patience_ = kFullPatience;  // of the next rename or removal whose file is held
};

}  // namespace kestovar
