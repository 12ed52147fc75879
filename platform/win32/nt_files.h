// The file calls that only ntdll has on every Windows from XP on: a file or folder made relative
// to the handle of the folder it is in, the path of what a handle holds, and its attributes and
// its deletion set on the handle itself. A name can be made to lead elsewhere between two calls
// that take it; a handle cannot. Each sets the last error as Windows' own calls do.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/handle.h"

namespace kestovar {

// NtCreateFile's dispositions and options, as the WDK names them.
inline constexpr ULONG kFileCreate = 2;               // FILE_CREATE: only where the name is free
inline constexpr ULONG kFileOpenIf = 3;               // FILE_OPEN_IF
inline constexpr ULONG kDirectoryFile = 0x1;          // FILE_DIRECTORY_FILE
inline constexpr ULONG kSynchronousIo = 0x20;         // FILE_SYNCHRONOUS_IO_NONALERT
inline constexpr ULONG kNonDirectoryFile = 0x40;      // FILE_NON_DIRECTORY_FILE
inline constexpr ULONG kDeleteOnClose = 0x1000;       // FILE_DELETE_ON_CLOSE
inline constexpr ULONG kOpenReparsePoint = 0x200000;  // FILE_OPEN_REPARSE_POINT

// The file or folder `name` in the folder the handle holds, whatever the folder's path leads to by
// now (NtCreateFile with the folder as RootDirectory); with FILE_OPEN_REPARSE_POINT a link of that
// name is not followed, and with FILE_CREATE a name a link has taken fails as taken. An empty
// handle where it fails.
Handle CreateInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG attributes,
                      ULONG share, ULONG disposition, ULONG options);

// The path of what the handle holds on its volume, "\Games\X\DATA" (FileNameInformation): through
// every link and alias that the open went through, of the file system's and of the object
// manager's alike. Empty where it cannot be told.
std::wstring PathOnVolume(HANDLE handle);

// The attributes of what the handle holds (opened with FILE_WRITE_ATTRIBUTES), its times as they
// are (FileBasicInformation).
bool SetAttributes(HANDLE handle, DWORD attributes);

// What the handle holds (opened with DELETE) is removed once the last handle to it is closed
// (FileDispositionInformation). A read-only file refuses it.
bool SetDeleted(HANDLE handle);

}  // namespace kestovar
