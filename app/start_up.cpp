#include "app/start_up.h"

#include <string>
#include <string_view>

#include "platform/win32/handle.h"
#include "platform/win32/system_dlls.h"
#include "platform/win32/text.h"

namespace kestovar {
namespace {

// The folder as the current directory is written: absolute, a drive root with its backslash,
// any other folder without; as given where the system cannot make it so.
Text AsFolder(std::wstring_view given) {
  const std::wstring name(given);
  std::wstring full = FilledString([&](wchar_t* buffer, DWORD size) {
    return GetFullPathNameW(name.c_str(), size, buffer, nullptr);
  });
  if (full.empty()) full = name;
  if (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return FromWide(full.c_str());
}

// Whether the Administrators group is enabled in the program's token: XP's way of holding an
// administrator's rights. (From Vista on, a limited token has the group for denying only.)
bool IsAdministratorsGroupEnabled() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

// Whether the program runs under Wine, as programs tell it: by ntdll's wine_get_version, which no
// Windows has.
bool IsRunningUnderWine() { return LookUp<FARPROC>(L"ntdll.dll", "wine_get_version") != nullptr; }

}  // namespace

Start ReadStart(const wchar_t* arguments) {
  std::wstring_view rest = arguments != nullptr ? arguments : L"";
  if (rest.substr(0, kElevatedArgument.size()) != kElevatedArgument) return {};
  rest.remove_prefix(kElevatedArgument.size());
  if (!rest.empty() && rest.front() != L' ') return {};  // another word, not ours
  while (!rest.empty() && rest.front() == L' ') rest.remove_prefix(1);
  while (!rest.empty() && rest.back() == L' ') rest.remove_suffix(1);
  if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"') {
    rest = rest.substr(1, rest.size() - 2);
  }
  return {true, rest.empty() ? Text() : AsFolder(rest)};
}

std::optional<bool> IsTokenElevated() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return std::nullopt;
  const Handle token(opened);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
    return std::nullopt;
  }
  return elevation.TokenIsElevated != 0;
}

bool HasAdministratorRights(const Start& start) {
  if (start.elevated) return true;
  // Under Wine every program has an elevated token, and there is no other Windows user whose
  // reparse points could lie in wait: there it is the program's own elevated start alone.
  return IsTokenElevated().value_or(IsAdministratorsGroupEnabled()) && !IsRunningUnderWine();
}

bool IsAnotherInstanceRunning(const Start& start) {
  // The mutex is the system's to release when the program ends.
  CreateMutexW(nullptr, FALSE, L"Local\\Kestovar.Brenmira");
  // Access is denied to a mutex that an instance started elevated made: it runs too.
  const DWORD running = GetLastError();
  return (running == ERROR_ALREADY_EXISTS || running == ERROR_ACCESS_DENIED) && !start.elevated;
}

}  // namespace kestovar
