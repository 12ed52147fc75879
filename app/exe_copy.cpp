#include "app/exe_copy.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

#include "platform/win32/handle.h"
#include "platform/win32/paths.h"
#include "platform/win32/system_dlls.h"

namespace kestovar {
namespace {

// A number in hexadecimal digits, as a name takes it.
std::wstring ToHex(DWORD number) {
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
std::wstring PlayerOnlySecurity() {
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

}  // namespace

PrivateExeCopy::PrivateExeCopy() {
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
  const std::wstring dacl = PlayerOnlySecurity();
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
                                  ToHex(GetCurrentProcessId()) + L"." + ToHex(attempt);
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

PrivateExeCopy::~PrivateExeCopy() {
  if (folder_.empty()) return;
  // (Should the elevated instance still run, its exe cannot be removed, nor so its folder.)
  DeleteFileW(copy_.c_str());
  RemoveDirectoryW(folder_.c_str());
}

}  // namespace kestovar
