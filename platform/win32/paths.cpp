#include "platform/win32/paths.h"

#include "platform/win32/errors.h"
#include "platform/win32/handle.h"
#include "platform/win32/system_dlls.h"
#include "platform/win32/text.h"

namespace kestovar {

std::wstring ProgramPath() {
  // GetModuleFileNameW cannot be asked for the size: the buffer grows until the path fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD written = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (written == 0) FailWithLastError();
    if (written < path.size()) {
      path.resize(written);
      return path;
    }
    path.resize(path.size() * 2);  // cut short (XP does not say so otherwise)
  }
}

Text ProgramFolder() {
  std::wstring path = ProgramPath();
  const std::size_t separator = path.find_last_of(L'\\');
  if (separator == std::wstring::npos) Fail(ERROR_BAD_PATHNAME);
  path.resize(separator == 2 ? 3 : separator);
  return FromWide(path.c_str());
}

std::wstring CurrentFolder() {
  const std::wstring current =
      FilledString([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); });
  if (current.empty()) FailWithLastError();
  return current;
}

std::wstring FinalPath(const std::wstring& folder, DWORD form) {
  using Final = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  static const auto final_path = LookUp<Final>(L"kernel32.dll", "GetFinalPathNameByHandleW");
  if (final_path == nullptr) return std::wstring();
  const Handle opened(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!opened) return std::wstring();
  return FilledString(
      [&](wchar_t* buffer, DWORD size) { return final_path(opened.get(), buffer, size, form); });
}

}  // namespace kestovar
