#include "platform/win32/links.h"

#include <winternl.h>

#include "platform/win32/win32_services.h"

namespace kestovar {

LinkGuard::LinkGuard(bool follows_links) : follows_links_(follows_links) {
  if (follows_links) return;
  // Windows 8 has the call; only Windows that know the policy take it, the others refuse it, and
  // the checks below guard alone.
  using SetPolicy = BOOL(WINAPI*)(int policy, const void* settings, SIZE_T size);
  const auto set = LookUp<SetPolicy>(L"kernel32.dll", "SetProcessMitigationPolicy");
  constexpr int kRedirectionTrustPolicy = 16;  // ProcessRedirectionTrustPolicy
  constexpr DWORD kEnforceRedirectionTrust = 1;
  if (set != nullptr) set(kRedirectionTrustPolicy, &kEnforceRedirectionTrust, sizeof(DWORD));
}

namespace {

// Where the first folder below the drive root begins in the path: after "C:\", also written
// "\\?\C:\"; npos for a path of another kind.
std::size_t BelowTheRoot(const std::wstring& path) {
  const std::size_t drive = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
  const bool lettered =
      path.size() > drive + 2 && path[drive + 1] == L':' && path[drive + 2] == L'\\';
  return lettered ? drive + 3 : std::wstring::npos;
}

// A file of the guard's own in the folder the handle holds, made there whatever the folder's name
// leads to by now, shared with no one and gone once closed: while it is there, the folder is not
// empty, and no one can make it a junction. Made through ntdll, the one call that makes a file
// relative to a folder's handle (every Windows has it); nullptr where it cannot be made.
HANDLE Keeper(HANDLE folder) {
  using Create = LONG(NTAPI*)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*, IO_STATUS_BLOCK*,
                              LARGE_INTEGER*, ULONG, ULONG, ULONG, ULONG, void*, ULONG);
  static const auto create = reinterpret_cast<Create>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
  wchar_t name[] = L"Brenmira.~ln";
  UNICODE_STRING text{sizeof name - sizeof(wchar_t), sizeof name, name};
  OBJECT_ATTRIBUTES object{};  // by name: the x86-64 headers spell its padding out as members
  object.Length = sizeof object;
  object.RootDirectory = folder;
  object.ObjectName = &text;
  object.Attributes = OBJ_CASE_INSENSITIVE;
  IO_STATUS_BLOCK status{};
  HANDLE keeper = nullptr;
  constexpr ULONG kOpenIf = 3;  // FILE_OPEN_IF
  // FILE_DELETE_ON_CLOSE, FILE_NON_DIRECTORY_FILE, FILE_SYNCHRONOUS_IO_NONALERT and
  // FILE_OPEN_REPARSE_POINT: gone once closed, a file, and not what a link of that name leads to.
  constexpr ULONG kOptions = 0x1000 | 0x40 | 0x20 | 0x200000;
  if (create == nullptr || create(&keeper, DELETE | SYNCHRONIZE, &object, &status, nullptr,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, 0, kOpenIf,
                                  kOptions, nullptr, 0) < 0) {
    return nullptr;
  }
  return keeper;
}

}  // namespace

bool LinkGuard::ThroughALink(const std::wstring& path) {
  // The engine writes every path in the folder as the folder itself was answered.
  if (follows_links_ || folder_.empty() || path.compare(0, folder_.size(), folder_) != 0) {
    return false;
  }
  // Another folder whose name begins as this one's is not in it.
  if (folder_.back() != L'\\' && path.size() > folder_.size() && path[folder_.size()] != L'\\') {
    return false;
  }
  std::size_t from = BelowTheRoot(path);
  if (from == std::wstring::npos) from = folder_.size();  // a path of another kind: below it only
  for (std::size_t end = path.find(L'\\', from); end != std::wstring::npos;
       end = path.find(L'\\', end + 1)) {
    if (path[end - 1] == L'\\') continue;  // a backslash doubled (the engine joins with its own)
    if (!HoldsNoLink(path.substr(0, end), end >= folder_.size())) return true;
  }
  // The name itself: the attributes of a link are its own, not those of what it leads to.
  return IsALink(GetFileAttributesW(path.c_str()));
}

bool LinkGuard::HoldsNoLink(const std::wstring& folder, bool kept) {
  for (const Held& held : held_) {
    if (held.name == folder) return !OpenedOnALink(held.folder);
  }
  // Opened as itself, not as what it may lead to; with access to its listing, without which its
  // share mode would keep no one out.
  const HANDLE handle =
      CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  // Asked of what was opened and of the name, which no one can change while it is open (Wine
  // tells a link by its name only): before the keeper is made, which would be made where a link
  // leads, and of what was opened once more after, when nothing can make it a link any more.
  const bool link = OpenedOnALink(handle) || IsALink(GetFileAttributesW(folder.c_str()));
  const HANDLE keeper = kept && !link ? Keeper(handle) : nullptr;
  if (link || (kept && keeper == nullptr) || OpenedOnALink(handle)) {
    if (keeper != nullptr) CloseHandle(keeper);
    CloseHandle(handle);
    return false;
  }
  held_.push_back({folder, handle, keeper});
  return true;
}

void LinkGuard::LetGo() {
  for (const Held& held : held_) {
    if (held.keeper != nullptr) CloseHandle(held.keeper);
    CloseHandle(held.folder);
  }
  held_.clear();
}

}  // namespace kestovar
