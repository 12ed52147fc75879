// Files changed only through a handle checked to be the file its path names. Between a check by
// name and a change by name, another user could put a reparse point (a junction or a symbolic
// link) or a second name of another file in its place; a handle cannot be made to lead elsewhere.
#pragma once

#include <windows.h>

#include "platform/services.h"
#include "platform/win32/handle.h"

namespace kestovar {

// The error of a file that is not ours to change: a reparse point, a folder, a second name of a
// file (a hard link), or one that its path does not lead to. (Not one of those taken for a file
// held: no wait helps.)
inline constexpr DWORD kNotOurs = ERROR_CANT_ACCESS_FILE;

// Every kind of sharing: a change of attributes or a deletion asked for on a handle waits for no
// other program that shares as much.
inline constexpr DWORD kSharedWithAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether a file or folder's attributes are those of a reparse point.
inline bool IsReparsePoint(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Whether what a handle was opened on (with FILE_FLAG_OPEN_REPARSE_POINT) is a reparse point, or
// cannot be told.
inline bool IsOpenedOnReparsePoint(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION found;
  return !GetFileInformationByHandle(handle, &found) || IsReparsePoint(found.dwFileAttributes);
}

// The file at the path, opened as itself (a reparse point of that name is not followed) with the
// access asked for, and checked before anything is changed through the handle: an ordinary file
// with one name (a second name's attributes would change with it), found where its path says. An
// empty handle otherwise, with the last error of the open, or kNotOurs.
Handle OpenChecked(const Text& path, DWORD access, DWORD sharing,
                   BY_HANDLE_FILE_INFORMATION* information = nullptr);

// The attributes of the file at the path, changed through its checked handle.
bool SetAttributesChecked(const Text& path, DWORD attributes);

}  // namespace kestovar
