// Timer queues and timer-queue timers.
//
// Callbacks of timers created with WT_EXECUTEINTIMERTHREAD run one at a time on the one timer thread;
// other timers run on a small worker pool. With a ManualClock installed (platform/clock.h) no thread
// runs them: ManualClock::Advance runs every callback that falls due, synchronously and in time order.
#pragma once

#include "platform/wintypes.h"

using WAITORTIMERCALLBACK = void (*)(PVOID parameter, BOOLEAN timerOrWaitFired);

constexpr ULONG WT_EXECUTEDEFAULT = 0x00000000;
constexpr ULONG WT_EXECUTEINTIMERTHREAD = 0x00000020;
constexpr ULONG WT_EXECUTEONLYONCE = 0x00000008;

HANDLE CreateTimerQueue();

// queue null: the default queue. dueTime and period in ms; period 0 runs once.
BOOL CreateTimerQueueTimer(PHANDLE newTimer, HANDLE queue, WAITORTIMERCALLBACK callback, PVOID parameter,
                           DWORD dueTime, DWORD period, ULONG flags);

// completionEvent null: returns at once (allowed inside the timer's own callback; the last error is then
// ERROR_IO_PENDING and the call still returns FALSE as Windows does when a callback is running).
// INVALID_HANDLE_VALUE: waits until a running callback has returned (never from inside it).
BOOL DeleteTimerQueueTimer(HANDLE queue, HANDLE timer, HANDLE completionEvent);
// Deletes the queue and every timer in it; completionEvent as for DeleteTimerQueueTimer.
BOOL DeleteTimerQueueEx(HANDLE queue, HANDLE completionEvent);
// Changes due time and period of a live timer.
BOOL ChangeTimerQueueTimer(HANDLE queue, HANDLE timer, ULONG dueTime, ULONG period);
