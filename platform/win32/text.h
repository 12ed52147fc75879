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

// The string a call gives that is asked its size first (query(nullptr, 0), with the closing NUL)
// and then filled (query(buffer, size)); asked again should it have grown in between. Empty where
// the call fails, with its last error.
template <class Query>
std::wstring FilledString(Query&& query) {
  for (;;) {
    const DWORD needed = query(nullptr, 0);
    if (needed == 0) return std::wstring();
    std::wstring buffer(needed, L'\0');
    const DWORD written = query(buffer.data(), needed);
    if (written == 0) return std::wstring();
    // Some calls count the closing NUL they wrote, others do not; a larger answer is a new size.
    if (written <= needed) {
      buffer.resize(buffer.find(L'\0') == std::wstring::npos ? written : buffer.find(L'\0'));
      return buffer;
    }
  }
}

}  // namespace kestovar
