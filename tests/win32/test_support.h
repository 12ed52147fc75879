// Shared by the Win32 tests: a scratch folder per test, files by their content, and what the
// harness (tools/wine.sh) tells the tests about the machine it mapped.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "platform/resumption.h"
#include "platform/win32/win32_services.h"

namespace kestovar::testing {

namespace fs = std::filesystem;

inline Text ToText(const std::wstring& text) { return Text(text.begin(), text.end()); }
inline Text ToText(const fs::path& path) { return ToText(path.wstring()); }

inline std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? size - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

inline void Write(const fs::path& file, const std::string& content, DWORD attributes = 0) {
  std::ofstream(file, std::ios::binary) << content;
  if (attributes != 0) SetFileAttributesW(file.c_str(), attributes);
}

inline std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::set<std::wstring> Names(const fs::path& folder) {
  std::set<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().wstring());
  }
  return names;
}

// The number a service failed with, 0 when it did not fail.
template <class Call>
int FailureOf(Call&& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.number;
  }
  return 0;
}

// A fresh folder in the system's temporary folder, removed afterwards with all it holds.
class Scratch : public ::testing::Test {
 protected:
  void SetUp() override {
    static int count = 0;
    folder = fs::temp_directory_path() / (L"kestovar-" + std::to_wstring(GetCurrentProcessId()) +
                                          L"-" + std::to_wstring(++count));
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);  // read-only too
    }
    fs::remove_all(folder, ignored);
  }
  Text At(const std::wstring& relative) const { return ToText(folder / relative); }

  Win32Services services;
  fs::path folder;
};

// A harness setting; a test that needs one fails when it is missing rather than pass unseen.
inline std::wstring Harness(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  if (length == 0 || length >= 1024) {
    ADD_FAILURE() << Utf8(name) << " is not set: run these tests through tools/test.sh";
    return L"";
  }
  return value;
}

}  // namespace kestovar::testing
