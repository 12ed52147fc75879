// What the program decides before its first window: which folder it installs into, whether an
// instance of it runs already, and whether it must start again elevated to write there.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/services.h"

namespace kestovar {

// How the program was started: by the user (or an installer) with no arguments, or by itself to
// be elevated, with the folder to install into.
struct Start {
  bool elevated = false;  // it then never asks for elevation again
  Text folder;            // the folder it was given; empty: the one it is started in
};

// The start that the arguments describe: `/elevated "C:\Games\X"` is the program's own start of
// itself; anything else is a start by the user.
Start ReadStart(const wchar_t* arguments);

// Whether an instance runs already in this session: two passes reading one CD-ROM drive at once
// both crawl. An elevated start is never sent away: the instance that made it waits for it.
bool AnotherInstanceRuns(const Start& start);

// In a folder Windows protects (Program Files, from Vista on), a program that is not elevated can
// write nothing, and Windows does not redirect its writes (the manifest says asInvoker). Where
// the installation folder refuses a new file for lack of rights, and the program runs without
// elevation on a Windows that has it, this starts the program again elevated (Windows asks the
// user), given that folder; waits for it, still answering the system; and gives its exit code.
// Nothing where there is no need, where elevation cannot help, or where it is declined.
std::optional<DWORD> RunElevatedWhereNeeded(Services& services);

// Whether a folder named after the exe with ".local" is beside it: Windows would take the DLLs the
// manifest names (common controls) from there. One beside the exe may be anyone's, and is not run
// with an administrator's rights.
bool DllsRedirectedBesideTheExe();

}  // namespace kestovar
