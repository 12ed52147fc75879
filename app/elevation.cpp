#include "app/elevation.h"

#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "app/defences.h"
#include "app/exe_copy.h"
#include "app/start_up.h"
#include "platform/win32/handle.h"
#include "platform/win32/paths.h"
#include "platform/win32/system_dlls.h"
#include "platform/win32/text.h"

namespace kestovar {
namespace {

// The class of the window, never shown, that the elevation prompt belongs to.
constexpr wchar_t kPromptOwnerClass[] = L"Kestovar.Elevation";

// Whether the path is on a drive letter of this logon's own: one the user mapped to a network
// share, or made of a folder with subst. Elevation is a logon of its own, which does not have
// those letters: an elevated instance would find neither its exe nor its folder there.
bool IsOnPerLogonDrive(const std::wstring& path) {
  if (path.size() < 2 || path[1] != L':') return false;
  const wchar_t letter[] = {path[0], L':', L'\0'};
  const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
  std::wstring target(1024, L'\0');
  if (QueryDosDeviceW(letter, target.data(), static_cast<DWORD>(target.size())) == 0) {
    return true;  // a letter it cannot tell about is not one to count on
  }
  // A letter of the system's leads to a device, one made with subst to a path: \??\C:\...
  return target.compare(0, 4, L"\\??\\") == 0 || GetDriveTypeW(root) == DRIVE_REMOTE;
}

// Whether elevation could bring the right to write in the folder: not on a network drive, where
// the server sees the same user, nor on a disc.
bool CanElevationHelp(const Text& folder) {
  wchar_t root[MAX_PATH + 1];
  if (!GetVolumePathNameW(Wide(folder), root, MAX_PATH + 1)) return false;
  const UINT type = GetDriveTypeW(root);
  return type != DRIVE_REMOTE && type != DRIVE_CDROM;
}

// Whether the folder refuses a new file for lack of rights: a probe, made and gone at once.
bool IsWriteDenied(const Text& folder) {
  const Text probe = folder + (folder.back() == u'\\' ? u"" : u"\\") + u"Brenmira.~wr";
  const Handle file(CreateFileW(Wide(probe), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return !file && GetLastError() == ERROR_ACCESS_DENIED;
}

// The window the elevation prompt belongs to, in the foreground: Windows puts the prompt in front
// only for the foreground window of the program that asks, and else only flashes it on the
// taskbar. Never shown and with no taskbar button, it is no window of the player's.
HWND CreatePromptOwner() {
  WNDCLASSEXW kind{};
  kind.cbSize = sizeof kind;
  kind.lpfnWndProc = DefWindowProcW;
  kind.hInstance = GetModuleHandleW(nullptr);
  kind.lpszClassName = kPromptOwnerClass;
  RegisterClassExW(&kind);
  const HWND owner = CreateWindowExW(WS_EX_TOOLWINDOW, kPromptOwnerClass, nullptr, WS_POPUP, 0, 0,
                                     0, 0, nullptr, nullptr, kind.hInstance, nullptr);
  // The player has just started the program: it may take the foreground.
  if (owner != nullptr) SetForegroundWindow(owner);
  return owner;
}

// The exit code of the elevated instance, once it ends.
DWORD WaitForExitCode(HANDLE process) {
  // It may bring its windows to the front, as the program's own would come there.
  using ProcessId = DWORD(WINAPI*)(HANDLE);
  const auto process_id = LookUp<ProcessId>(L"kernel32.dll", "GetProcessId");  // XP SP1 on
  const Handle elevated(process);
  const HANDLE waited = elevated.get();
  if (process_id != nullptr) AllowSetForegroundWindow(process_id(waited));
  while (MsgWaitForMultipleObjects(1, &waited, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;  // none for a window the player sees: the prompt owner's, or the system's
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  WaitForSingleObject(waited, INFINITE);  // should the wait above have failed
  DWORD code = 0;
  GetExitCodeProcess(waited, &code);
  return code;
}

// The folder as the file system resolves it with the player's rights, where Windows can tell
// (Vista on, as elevation): a link of the player's own on its way is followed here, so that the
// elevated instance, which follows none, is given a path through none. As given elsewhere.
Text ResolveFolder(const Text& folder) {
  std::wstring path = FinalPath(Wide(folder), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  // "\\?\C:\Games\X", written without its prefix, as the player writes it; a path of another
  // kind, or on a letter the elevated instance would not have (Wine may answer with one), stays as
  // given.
  if (path.size() < 7 || path.compare(0, 4, L"\\\\?\\") != 0 || path[5] != L':') return folder;
  path.erase(0, 4);
  return IsOnPerLogonDrive(path) ? folder : FromWide(path.c_str());
}

// Starts the program again elevated in the folder and waits for it: its exit code, or nothing
// when it was not started.
std::optional<DWORD> RunElevated(const Text& folder) {
  const PrivateExeCopy copy;
  if (copy.Program().empty()) return std::nullopt;
  // The shell may hand the start to its extensions, which need COM set up as it documents; it
  // is undone once the shell has returned, so that a pass that follows runs as it always does.
  using InitialiseCom = HRESULT(WINAPI*)(void*, DWORD);
  using ReleaseCom = void(WINAPI*)();
  const auto initialise = LookUp<InitialiseCom>(L"ole32.dll", "CoInitializeEx");
  const auto release = LookUp<ReleaseCom>(L"ole32.dll", "CoUninitialize");
  const bool com =
      initialise != nullptr && release != nullptr &&
      SUCCEEDED(initialise(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  using Execute = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  const auto execute = LookUp<Execute>(L"shell32.dll", "ShellExecuteExW");
  SHELLEXECUTEINFOW start{};
  start.cbSize = sizeof start;
  start.hwnd = CreatePromptOwner();
  // Windows' own boxes stay away: declined or failed, the pass lists what is missing instead.
  // The user has just started this very file, so its download zone is not asked about again.
  start.fMask =
      SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
  start.lpVerb = L"runas";
  start.lpFile = copy.Program().c_str();
  // The folder goes in the arguments: Windows does not promise an elevated program the working
  // folder it is given (it sets the system folder for some). Quoted, as it may hold blanks (no
  // Windows name holds a quote); a drive root's backslash doubled, so that whoever reads the
  // arguments as the C runtime does sees no escaped quote ("C:\\").
  std::wstring parameters = std::wstring(kElevatedArgument) + L" \"" + Wide(folder);
  if (parameters.back() == L'\\') parameters += L'\\';
  parameters += L'"';
  start.lpParameters = parameters.c_str();
  start.lpDirectory = Wide(folder);
  start.nShow = SW_SHOWNORMAL;
  const bool started = execute != nullptr && execute(&start);  // returns once it has started
  if (com) release();
  std::optional<DWORD> code;
  // Started with no handle to wait on, it counts as ended well.
  if (started) code = start.hProcess == nullptr ? 0 : WaitForExitCode(start.hProcess);
  if (start.hwnd != nullptr) DestroyWindow(start.hwnd);
  return code;
}

}  // namespace

std::optional<DWORD> RunElevatedIfNeeded(Services& services) {
  // Asked in this order, XP (which has no elevation) and an elevated program make no probe file.
  if (IsTokenElevated() != false) return std::nullopt;
  try {
    const Text folder = services.CurrentDirectory();
    // The exe may well be on the game's disc: only a letter of the user's own keeps it away.
    if (folder.empty() || !CanElevationHelp(folder) || IsOnPerLogonDrive(Wide(folder)) ||
        IsOnPerLogonDrive(ProgramPath()) || HasDllRedirection() || !IsWriteDenied(folder)) {
      return std::nullopt;
    }
    return RunElevated(ResolveFolder(folder));
  } catch (const Failure&) {
    return std::nullopt;  // the pass will find out for itself
  }
}

}  // namespace kestovar
