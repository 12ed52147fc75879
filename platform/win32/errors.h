// The error number of a failing system call, as the engine knows it (see engine/resumption.h).
#pragma once

#include <windows.h>

namespace kestovar {

// Never 0: a failure must always read as one.
int ErrorNumber(DWORD system_error);

// Throws the Failure of a system error, or of the calling thread's last error.
[[noreturn]] void Fail(DWORD system_error);
[[noreturn]] void FailWithLastError();

}  // namespace kestovar
