// The classic directory listing: the first entry that matches a path or a pattern.
#pragma once

#include "platform/services.h"

namespace kestovar {

// The name of the first entry that matches the path, or the empty text when nothing does; with
// kOrdinaryFiles ordinary files only, with kWithFolders folders as well; hidden and system entries
// never. Throws the failure of a drive that cannot be read.
Text FirstMatch(const Text& path, int attributes);

}  // namespace kestovar
