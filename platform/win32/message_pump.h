// What a pass answers while it is away from the message loop: a pass runs on the thread of the
// windows and returns to its loop only at its end (why no "Not Responding" ghost replaces the
// windows meanwhile is told where wWinMain turns ghosting off).
#pragma once

#include <windows.h>

namespace kestovar {

// Messages sent by other threads are handled (PeekMessage delivers them itself), and so are
// repaints, so that a window uncovered during a long copy is drawn again where nothing composes
// the screen. Input stays queued: it must not reach the windows mid-pass.
void DispatchSentMessagesAndPaints();

// Sleeps for so long, dispatching sent messages and paints meanwhile.
void SleepDispatching(DWORD milliseconds);

// The CopyProgressRoutine of every copy: between the chunks of a long copy (a slow disc can hold
// one for seconds) it dispatches sent messages and paints, and lets the copy go on.
DWORD CALLBACK CopyProgressRoutine(LARGE_INTEGER total, LARGE_INTEGER copied,
                                   LARGE_INTEGER stream_total, LARGE_INTEGER stream_copied,
                                   DWORD stream, DWORD reason, HANDLE source, HANDLE destination,
                                   LPVOID context);

}  // namespace kestovar
