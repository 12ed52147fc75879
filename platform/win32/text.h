// Text as Windows' "W" calls take it and give it: UTF-16 on both sides of the boundary.
#pragma once

#include <windows.h>

#include <string>

#include "platform/services.h"

namespace kestovar {

static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline const wchar_t* Wide(const Text& text) { return Wide(text.c_str()); }
inline Text FromWide(const wchar_t* text) { return Text(reinterpret_cast<const char16_t*>(text)); }

// Whether the two names are the same, as Windows compares names (case-insensitively).
inline bool SameName(const std::wstring& one, const std::wstring& other) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, one.c_str(), -1, other.c_str(), -1) ==
         CSTR_EQUAL;
}

// The string a call gives that is asked its size first (query(nullptr, 0), with the closing NUL)
// and then filled (query(buffer, size), which answers the length without the NUL, or a larger size
// where the string has grown in between, when it is asked again, a few times at most). Empty where
// the call fails, with its last error. (Not for calls that answer a string cut short with the
// buffer's size, as GetModuleFileNameW does.)
template <class Query>
std::wstring FilledString(Query&& query) {
  for (int tries = 0; tries < 3; ++tries) {
    const DWORD needed = query(nullptr, 0);
    if (needed == 0) return std::wstring();
    std::wstring buffer(needed, L'\0');
    const DWORD written = query(buffer.data(), needed);
    if (written == 0) return std::wstring();
    if (written < needed) {
      buffer.resize(written);
      return buffer;
    }
  }
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return std::wstring();
}

}  // namespace kestovar
