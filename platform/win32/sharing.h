// Retries while another program holds a file: a virus scanner, the search indexer or a backup
// tool often opens a file just written, for a few hundred milliseconds, and a rename or a removal
// of it then fails with a sharing violation or as access denied.
#pragma once

#include <windows.h>

#include <algorithm>

#include "platform/win32/message_pump.h"

namespace kestovar {

// How long, in milliseconds, a rename or a removal waits at most while another program holds its
// file.
inline constexpr DWORD kFullPatience = 1000;

inline bool HeldByAnotherProgram(DWORD system_error) {
  return system_error == ERROR_SHARING_VIOLATION || system_error == ERROR_ACCESS_DENIED;
}

// How a try while another program may hold the file ended.
enum class Retried { kInVain, kAtOnce, kAfterLetGo };

// Tries again, every 50 ms, while the file is held, for at most `patience` milliseconds. A wait
// in vain halves the patience of the next; the caller restores it where a file let go shows that
// holders let go. The last error stays the one of the last try.
template <class Attempt>
Retried RetryWhileHeld(DWORD& patience, Attempt&& attempt) {
  const DWORD started = GetTickCount();
  for (Retried success = Retried::kAtOnce;; success = Retried::kAfterLetGo) {
    if (attempt()) return success;
    const DWORD error = GetLastError();
    if (!HeldByAnotherProgram(error)) return Retried::kInVain;
    const DWORD waited = GetTickCount() - started;
    if (waited >= patience) {
      patience /= 2;
      SetLastError(error);
      return Retried::kInVain;
    }
    SleepDispatching(std::min<DWORD>(50, patience - waited));
  }
}

}  // namespace kestovar
