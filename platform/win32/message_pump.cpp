#include "platform/win32/message_pump.h"

namespace kestovar {

void DispatchSentMessagesAndPaints() {
  // Bounded, should a window ever leave its paint undone.
  MSG message;
  for (int paints = 0; paints < 16; ++paints) {
    if (!PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) return;
    DispatchMessageW(&message);
  }
}

void SleepDispatching(DWORD milliseconds) {
  const DWORD started = GetTickCount();
  for (DWORD waited = 0; waited < milliseconds; waited = GetTickCount() - started) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - waited, QS_SENDMESSAGE | QS_PAINT);
    DispatchSentMessagesAndPaints();
  }
}

DWORD CALLBACK CopyProgressRoutine(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER,
                                   DWORD, DWORD, HANDLE, HANDLE, LPVOID) {
  DispatchSentMessagesAndPaints();
  return PROGRESS_CONTINUE;
}

}  // namespace kestovar
