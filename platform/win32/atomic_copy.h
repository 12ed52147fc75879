// A file installed whole or not at all: the copy is made under a temporary name beside the
// destination, written through to the disk, and renamed over the destination only then, so that a
// copy cut short (disc taken out, read error, full disk) or a power cut leaves the old file, or
// nothing, and no part of a file.
#pragma once

#include <windows.h>

#include "platform/services.h"
#include "platform/win32/reparse_guard.h"

namespace kestovar {

// Creates or replaces destination with a copy of source; throws the failure. `patience` is how
// long a rename or a removal may still wait for a file another program holds (sharing.h); the
// guard tells whether a path crosses a reparse point it must not follow.
void CopyAtomically(const Text& source, const Text& destination, ReparsePointGuard& guard,
                    DWORD& patience);

}  // namespace kestovar
