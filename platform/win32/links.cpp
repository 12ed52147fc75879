#include "platform/win32/links.h"

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

bool LinkGuard::ThroughALink(const std::wstring& path) {
  // The engine writes every path below the folder as the folder itself was answered.
  if (follows_links_ || folder_.empty() || path.compare(0, folder_.size(), folder_) != 0) {
    return false;
  }
  // Another folder whose name begins as this one's is not below it. (The engine joins names with a
  // backslash of its own, also after a drive root's.)
  std::size_t below = folder_.size();
  if (folder_.back() != L'\\' && (below == path.size() || path[below] != L'\\')) return false;
  below = path.find_first_not_of(L'\\', below);
  if (below == std::wstring::npos) return false;  // the folder itself
  for (std::size_t end = path.find(L'\\', below); end != std::wstring::npos;
       end = path.find(L'\\', end + 1)) {
    if (!HoldsNoLink(path.substr(0, end))) return true;
  }
  // The name itself: the attributes of a link are its own, not those of what it leads to.
  return IsALink(GetFileAttributesW(path.c_str()));
}

bool LinkGuard::HoldsNoLink(const std::wstring& folder) {
  for (const auto& [name, handle] : held_) {
    if (name == folder) return !OpenedOnALink(handle);
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
  // Asked of what was opened, and of the name, which no one can change while it is open (Wine
  // tells a link by its name only).
  if (OpenedOnALink(handle) || IsALink(GetFileAttributesW(folder.c_str()))) {
    CloseHandle(handle);
    return false;
  }
  held_.emplace_back(folder, handle);
  return true;
}

void LinkGuard::LetGo() {
  for (const auto& [name, handle] : held_) CloseHandle(handle);
  held_.clear();
}

}  // namespace kestovar
