// Elevation: in a folder that only an administrator may write, the program starts itself again
// elevated (Windows asks the player), from a copy in a folder of the player's own, and waits.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/services.h"

namespace kestovar {

// In a folder Windows protects (Program Files, from Vista on), a program that is not elevated can
// write nothing, and Windows does not redirect its writes (the manifest says asInvoker). Where
// the installation folder refuses a new file for lack of rights, and the program runs without
// elevation on a Windows that has it, this starts the program again elevated (Windows asks the
// user), given that folder; waits for it, still answering the system; and gives its exit code.
// Nothing where there is no need, where elevation cannot help, or where it is declined.
std::optional<DWORD> RunElevatedIfNeeded(Services& services);

}  // namespace kestovar
