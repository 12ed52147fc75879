// What the program decides before its first window: which folder it installs into, whether an
// instance of it runs already, and whether its pass holds an administrator's rights.
#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

#include "platform/services.h"

namespace kestovar {

// The argument of the program's own start of itself to be elevated, before the folder.
inline constexpr std::wstring_view kElevatedArgument = L"/elevated";

// How the program was started: by the user (or an installer) with no arguments, or by itself to
// be elevated, with the folder to install into.
struct Start {
  bool elevated = false;  // it then never asks for elevation again
  Text folder;            // the folder it was given; empty: the one it is started in
};

// The start that the arguments describe: `/elevated "C:\Games\X"` is the program's own start of
// itself; anything else is a start by the user.
Start ReadStart(const wchar_t* arguments);

// Whether the program's token is elevated (a limited token is not); nothing where Windows has no
// elevation to tell (XP).
std::optional<bool> IsTokenElevated();

// Whether the pass holds an administrator's rights, however it was started (the program's own
// elevation, "Run as administrator", an elevated installer or command prompt, the built-in
// Administrator): an elevated token, or on XP one with the Administrators group enabled. Such a
// pass is a privilege boundary: it follows no reparse point that another user may have made, and
// loads nothing from a folder beside the exe.
bool HasAdministratorRights(const Start& start);

// Whether an instance runs already in this session: two passes reading one CD-ROM drive at once
// both crawl. An elevated start is never sent away: the instance that made it waits for it.
bool IsAnotherInstanceRunning(const Start& start);

}  // namespace kestovar
