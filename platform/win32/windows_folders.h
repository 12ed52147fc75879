// Game data never belongs in the Windows folders.
#pragma once

#include <string>

namespace kestovar {

// Whether the folder is one of the Windows folders (the Windows folder, system32, SysWOW64) or
// inside one, however it is written: through reparse points, an alias such as Sysnative, a drive
// letter of its own (subst), short names.
bool IsInWindowsFolders(const std::wstring& folder);

}  // namespace kestovar
