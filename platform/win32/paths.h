// Paths as Windows gives them: the program's own, the current folder, a folder's final path.
#pragma once

#include <windows.h>

#include <string>

#include "platform/services.h"

namespace kestovar {

// The full path of Brenmira.exe.
std::wstring ProgramPath();

// The folder Brenmira.exe is in, written as the current directory is: a drive root with its
// backslash, any other folder without.
Text ProgramFolder();

// The current directory, as the system writes it. Throws the failure where it cannot be read.
std::wstring CurrentFolder();

// The path of a folder as the file system resolves it, through every reparse point on its way
// (GetFinalPathNameByHandleW, Vista on), in the form asked for; empty where Windows cannot tell
// (before Vista) or the folder cannot be opened.
std::wstring FinalPath(const std::wstring& folder, DWORD form);

}  // namespace kestovar
