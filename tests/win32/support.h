// What the Windows tests share: the settings of the run (tools/e2e.sh), host paths, bounded
// waits, files by their content.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

namespace kestovar::testing {

namespace fs = std::filesystem;

inline std::string Utf8(const std::wstring& text) {
  std::string utf8(text.size() * 3, '\0');
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                  utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr));
  return utf8;
}

// A setting of the run; the test fails when it is missing.
inline std::wstring Setting(const wchar_t* name) {
  std::wstring value(32767, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
  if (value.empty()) ADD_FAILURE() << Utf8(name) << " is not set: run through tools/e2e.sh";
  return value;
}

// A host path ("/tmp/x") as Windows reaches it from inside Wine ("\\?\unix\tmp\x").
inline std::wstring HostPath(std::wstring path) {
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return L"\\\\?\\unix" + path;
}

// Polls until `ready` holds; false when `seconds` went by first.
inline bool WaitUntil(const std::function<bool()>& ready, double seconds = 10) {
  for (const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);;) {
    if (ready()) return true;
    if (GetTickCount64() > end) return false;
    Sleep(20);  // a polling interval, not a wait for something
  }
}

inline std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Write(const fs::path& file, const std::string& content, DWORD attributes = 0) {
  std::ofstream(file, std::ios::binary) << content;
  if (attributes != 0) SetFileAttributesW(file.c_str(), attributes);
}

inline std::set<std::wstring> Names(const fs::path& folder) {
  std::set<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

}  // namespace kestovar::testing
