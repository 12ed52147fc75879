#include "platform/win32/listing.h"

#include <windows.h>

#include <string_view>

#include "platform/win32/errors.h"
#include "platform/win32/text.h"

namespace kestovar {
namespace {

// Whether the folder part of the path is an ordinary file.
bool InAFile(const Text& path) {
  const std::size_t separator = path.find_last_of(u'\\');
  if (separator == Text::npos) return false;
  const DWORD attributes = GetFileAttributesW(Wide(path.substr(0, separator)));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// What the listing takes for "nothing matches" rather than a failure. A search whose folder is
// an ordinary file finds nothing too: Windows says so with ERROR_DIRECTORY, Wine with
// ERROR_INVALID_NAME, which otherwise stands for a name the file system rejects.
bool NothingThere(DWORD system_error, const Text& path) {
  return system_error == ERROR_FILE_NOT_FOUND || system_error == ERROR_PATH_NOT_FOUND ||
         system_error == ERROR_NO_MORE_FILES || system_error == ERROR_DIRECTORY ||
         (system_error == ERROR_INVALID_NAME && InAFile(path));
}

// Whether an entry found counts: hidden and system entries never do, folders only when asked.
bool Matches(DWORD found, std::wstring_view name, int attributes) {
  if (found & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) return false;
  if (found & FILE_ATTRIBUTE_DIRECTORY) {
    return (attributes & kWithFolders) != 0 && name != L"." && name != L"..";
  }
  return true;
}

// The first entry that matches a pattern, or a folder given with its separator, by a search.
Text Search(const Text& path, int attributes) {
  Text pattern = path;
  // A folder given with its separator is listed, as the classic listing does.
  if (!pattern.empty() && (pattern.back() == u'\\' || pattern.back() == u'/')) pattern += u'*';

  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW(Wide(pattern), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (NothingThere(error, path)) return Text();
    Fail(error);
  }
  Text name;
  DWORD error = ERROR_SUCCESS;
  for (;;) {
    if (Matches(entry.dwFileAttributes, entry.cFileName, attributes)) {
      name = FromWide(entry.cFileName);
      break;
    }
    if (!FindNextFileW(search, &entry)) {
      error = GetLastError();
      break;
    }
  }
  FindClose(search);
  if (error != ERROR_SUCCESS && !NothingThere(error, path)) Fail(error);
  return name;
}

}  // namespace

Text FirstMatch(const Text& path, int attributes) {
  // A plain path names at most one entry: one attribute query answers for it, where a search
  // would open and close the folder. Patterns and folders to list are searched.
  const Text name = path.substr(path.find_last_of(u"\\/:") + 1);
  if (name.empty() || name.find_first_of(u"*?") != Text::npos) return Search(path, attributes);

  WIN32_FILE_ATTRIBUTE_DATA entry;
  if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &entry)) {
    const DWORD error = GetLastError();
    if (NothingThere(error, path)) return Text();
    Fail(error);
  }
  return Matches(entry.dwFileAttributes, Wide(name), attributes) ? name : Text();
}

}  // namespace kestovar
