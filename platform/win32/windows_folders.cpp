#include "platform/win32/windows_folders.h"

#include <windows.h>

#include <vector>

#include "platform/win32/paths.h"
#include "platform/win32/text.h"

namespace kestovar {
namespace {

// The path of the folder opened, named by its volume's device, which every letter and mount
// point of the volume shares. Empty where Windows cannot tell (before Vista) or the folder cannot
// be opened.
std::wstring DevicePath(const std::wstring& folder) {
  std::wstring path = FinalPath(folder, VOLUME_NAME_NT);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// The folder's full name with long names for short ones, without the \\?\ prefix, a trailing
// dot or blank, or a closing backslash.
std::wstring LongFullPath(const std::wstring& folder) {
  std::wstring path = FilledString([&](wchar_t* buffer, DWORD size) {
    return GetFullPathNameW(folder.c_str(), size, buffer, nullptr);
  });
  const std::wstring long_names = FilledString(
      [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(path.c_str(), buffer, size); });
  if (!long_names.empty()) path = long_names;
  if (path.compare(0, 4, L"\\\\?\\") == 0) path.erase(0, 4);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// Whether the folder is the other one or inside it, both named alike; an empty name is neither.
bool IsWithin(const std::wstring& folder, const std::wstring& outer) {
  return !outer.empty() && SameName(folder.substr(0, outer.size()), outer) &&
         (folder.size() == outer.size() || folder[outer.size()] == L'\\');
}

}  // namespace

bool IsInWindowsFolders(const std::wstring& folder) {
  // By the path opened where both can be opened, else as spelled (before Vista, or a folder not
  // made yet). The Windows folders are named once.
  struct Names {
    std::wstring opened, spelled;
  };
  static const std::vector<Names> windows = [] {
    std::vector<Names> names;
    for (const std::wstring& system :
         {FilledString(GetSystemWindowsDirectoryW), FilledString(GetSystemDirectoryW),
          FilledString(GetSystemWow64DirectoryW)}) {  // the last one only on 64-bit Windows
      if (!system.empty()) names.push_back({DevicePath(system), LongFullPath(system)});
    }
    return names;
  }();
  const std::wstring opened = DevicePath(folder);
  for (const Names& system : windows) {
    const bool by_handle = !opened.empty() && !system.opened.empty();
    if (by_handle ? IsWithin(opened, system.opened)
                  : IsWithin(LongFullPath(folder), system.spelled)) {
      return true;
    }
  }
  return false;
}

}  // namespace kestovar
