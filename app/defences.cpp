#include "app/defences.h"

#include <windows.h>

#include <string>

#include "platform/win32/paths.h"
#include "platform/win32/system_dlls.h"

namespace kestovar {
namespace {

// RedirectionGuard, on recent Windows 10 and 11: the process then follows no junction that a user
// who is not an administrator made, anywhere. Windows 8 has the call; only Windows that know the
// policy take it, the others refuse it, and the program's own checks guard alone.
void EnableRedirectionGuard() {
  using SetPolicy = BOOL(WINAPI*)(int policy, const void* settings, SIZE_T size);
  const auto set = LookUp<SetPolicy>(L"kernel32.dll", "SetProcessMitigationPolicy");
  constexpr int kRedirectionTrustPolicy = 16;  // ProcessRedirectionTrustPolicy
  constexpr DWORD kEnforceRedirectionTrust = 1;
  if (set != nullptr) set(kRedirectionTrustPolicy, &kEnforceRedirectionTrust, sizeof(DWORD));
}

}  // namespace

bool HasDllRedirection() {
  const std::wstring program = ProgramPath();
  for (const wchar_t* redirection : {L".local", L".manifest"}) {
    if (GetFileAttributesW((program + redirection).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  }
  return false;
}

bool ApplyStartUpDefences(bool administrator) {
  // Before any DLL loads: on XP the redirection applies even to DLLs named by their full paths.
  if (administrator && HasDllRedirection()) return false;
  RestrictDllSearchPath();
  if (administrator) EnableRedirectionGuard();
  return true;
}

}  // namespace kestovar
