#include "app/elevation.h"

#include <objbase.h>
#include <sddl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/start_up.h"
#include "platform/resumption.h"
#include "platform/win32/handle.h"
#include "platform/win32/win32_services.h"

namespace kestovar {
namespace {

// The class of the window, never shown, that the elevation prompt belongs to.
constexpr wchar_t kPromptOwnerClass[] = L"Kestovar.Elevation";

// Whether the path is on a drive letter of this logon's own: one the user mapped to a network
// share, or made of a folder with subst. Elevation is a logon of its own, which does not have
// those letters: an elevated instance would find neither its exe nor its folder there.
bool OnALetterOfTheUsers(const std::wstring& path) {
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
bool ElevationHelps(const Text& folder) {
  wchar_t root[MAX_PATH + 1];
  if (!GetVolumePathNameW(Wide(folder), root, MAX_PATH + 1)) return false;
  const UINT type = GetDriveTypeW(root);
  return type != DRIVE_REMOTE && type != DRIVE_CDROM;
}

// Whether the folder refuses a new file for lack of rights: a probe, made and gone at once.
bool RefusesWrites(const Text& folder) {
  const Text probe = folder + (folder.back() == u'\\' ? u"" : u"\\") + u"Brenmira.~wr";
  const HANDLE file = CreateFileW(Wide(probe), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_ACCESS_DENIED;
  CloseHandle(file);
  return false;
}

// The window the elevation prompt belongs to, in the foreground: Windows puts the prompt in front
// only for the foreground window of the program that asks, and else only flashes it on the
// taskbar. Never shown and with no taskbar button, it is no window of the player's.
HWND MakePromptOwner() {
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
DWORD WaitFor(HANDLE elevated) {
  // It may bring its windows to the front, as the program's own would come there.
  using ProcessId = DWORD(WINAPI*)(HANDLE);
  const auto process_id = LookUp<ProcessId>(L"kernel32.dll", "GetProcessId");  // XP SP1 on
  if (process_id != nullptr) AllowSetForegroundWindow(process_id(elevated));
  while (MsgWaitForMultipleObjects(1, &elevated, FALSE, INFINITE, QS_ALLINPUT) ==
         WAIT_OBJECT_0 + 1) {
    MSG message;  // none for a window the player sees: the prompt owner's, or the system's
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  WaitForSingleObject(elevated, INFINITE);  // should the wait above have failed
  DWORD code = 0;
  GetExitCodeProcess(elevated, &code);
  CloseHandle(elevated);
  return code;
}

// The folder as the file system resolves it with the player's rights, where Windows can tell
// (Vista on, as elevation): a link of the player's own on its way is followed here, so that the
// elevated instance, which follows none, is given a path through none. As given elsewhere.
Text Resolved(const Text& folder) {
  std::wstring path = FinalPath(Wide(folder), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  // "\\?\C:\Games\X", written without its prefix, as the player writes it; a path of another
  // kind, or on a letter the elevated instance would not have (Wine may answer with one), stays as
  // given.
  if (path.size() < 7 || path.compare(0, 4, L"\\\\?\\") != 0 || path[5] != L':') return folder;
  path.erase(0, 4);
  return OnALetterOfTheUsers(path) ? folder : FromWide(path.c_str());
}

// A copy of the running exe in a new folder that only the player, the administrators and the
// system may change, for the elevation prompt to start. The exe's own folder may be one that other
// users can write (a folder made in a drive root, the Public folders, a share): there the file
// could be swapped between the player's start and the prompt, and on XP and on Vista and 7 without
// KB2533623 that folder stays in the elevated program's search for the DLLs Windows loads late.
// Both are gone again once the elevated instance has ended.
class CleanRoom {
 public:
  CleanRoom();
  ~CleanRoom();
  CleanRoom(const CleanRoom&) = delete;
  CleanRoom& operator=(const CleanRoom&) = delete;

  // The copy's path; empty where it could not be made.
  const std::wstring& Program() const { return program_; }

 private:
  std::wstring folder_, copy_, program_;
};

// A number in hexadecimal digits, as a name takes it.
std::wstring InHex(DWORD number) {
  std::wstring digits;
  do {
    digits.insert(digits.begin(), L"0123456789ABCDEF"[number % 16]);
    number /= 16;
  } while (number != 0);
  return digits;
}

// A folder's security: a DACL of its own, inherited by nothing above it, that gives the system,
// the administrators and the player alone any access (to the copy as well, which inherits it).
// Empty where the player's account cannot be told.
std::wstring PlayersOnly() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return std::wstring();
  const Handle token(opened);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  wchar_t* sid = nullptr;
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
    return std::wstring();
  }
  const std::wstring dacl =
      L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + std::wstring(sid) + L")";
  LocalFree(sid);
  return dacl;
}

CleanRoom::CleanRoom() {
  // The file the player started: a running exe cannot be changed in place, only renamed, and the
  // one at its path is taken only when it is the very file the program runs from.
  const std::wstring started = ProgramPath();
  const Handle exe(CreateFileW(started.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!exe || !GetFileSizeEx(exe.get(), &size) || size.HighPart != 0) return;
  const Handle mapping(CreateFileMappingW(exe.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  const void* view = mapping ? MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (view == nullptr) return;
  using SameFile = LONG(NTAPI*)(const void* image, const void* file);
  const auto same_file = LookUp<SameFile>(L"ntdll.dll", "NtAreMappedFilesTheSame");
  const std::wstring dacl = PlayersOnly();
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  wchar_t temporary[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);  // with its closing backslash
  if (same_file != nullptr && same_file(GetModuleHandleW(nullptr), view) >= 0 && !dacl.empty() &&
      length != 0 && length <= MAX_PATH &&
      ConvertStringSecurityDescriptorToSecurityDescriptorW(dacl.c_str(), SDDL_REVISION_1,
                                                           &descriptor, nullptr)) {
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    // A name no one has taken: another user may have made one where the temporary folder is
    // shared.
    for (unsigned attempt = 0; attempt < 16 && folder_.empty(); ++attempt) {
      const std::wstring folder = std::wstring(temporary, length) + L"Kestovar." +
                                  InHex(GetCurrentProcessId()) + L"." + InHex(attempt);
      if (CreateDirectoryW(folder.c_str(), &security)) {
        folder_ = folder;
      } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
        break;
      }
    }
    LocalFree(descriptor);
  }
  if (!folder_.empty()) {
    const std::wstring copy = folder_ + started.substr(started.find_last_of(L'\\'));
    const Handle written(CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD done = 0;
    copy_ = copy;  // removed with the folder, also should the copy fail
    if (written && WriteFile(written.get(), view, size.LowPart, &done, nullptr) &&
        done == size.LowPart) {
      program_ = copy;
    }
  }
  UnmapViewOfFile(view);
}

CleanRoom::~CleanRoom() {
  if (folder_.empty()) return;
  // (Should the elevated instance still run, its exe cannot be removed, nor so its folder.)
  DeleteFileW(copy_.c_str());
  RemoveDirectoryW(folder_.c_str());
}

// Starts the program again elevated in the folder and waits for it: its exit code, or nothing
// when it was not started.
std::optional<DWORD> RunElevated(const Text& folder) {
  const CleanRoom room;
  if (room.Program().empty()) return std::nullopt;
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
  start.hwnd = MakePromptOwner();
  // Windows' own boxes stay away: declined or failed, the pass lists what is missing instead.
  // The user has just started this very file, so its download zone is not asked about again.
  start.fMask =
      SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
  start.lpVerb = L"runas";
  start.lpFile = room.Program().c_str();
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
  if (started) code = start.hProcess == nullptr ? 0 : WaitFor(start.hProcess);
  if (start.hwnd != nullptr) DestroyWindow(start.hwnd);
  return code;
}

}  // namespace

std::optional<DWORD> RunElevatedWhereNeeded(Services& services) {
  // Asked in this order, XP (which has no elevation) and an elevated program make no probe file.
  if (TokenElevated() != false) return std::nullopt;
  try {
    const Text folder = services.CurrentDirectory();
    // The exe may well be on the game's disc: only a letter of the user's own keeps it away.
    if (folder.empty() || !ElevationHelps(folder) || OnALetterOfTheUsers(Wide(folder)) ||
        OnALetterOfTheUsers(ProgramPath()) || DllsRedirectedBesideTheExe() ||
        !RefusesWrites(folder)) {
      return std::nullopt;
    }
    return RunElevated(Resolved(folder));
  } catch (const Failure&) {
    return std::nullopt;  // the pass will find out for itself
  }
}

}  // namespace kestovar
