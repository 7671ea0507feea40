// Timer queues and timer-queue timers.
//
// Callbacks of timers created with WT_EXECUTEINTIMERTHREAD run one at a time on the one timer thread;
// other timers run on a small worker pool. With a ManualClock installed (platform/clock.h) no thread
// runs them: ManualClock::Advance runs every callback that falls due, synchronously and in time order.
//
// A long callback in the timer thread delays only other timer-thread callbacks, not the pool's.
// A timer never runs concurrently with itself: a periodic timer whose callback overruns is re-armed when
// the callback returns, at its due time + period or at once when that has passed (missed periods are
// dropped, not caught up). Queue and timer handles are never reused, so a stale or twice-deleted handle
// fails with ERROR_INVALID_HANDLE instead of touching another timer.
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
// INVALID_HANDLE_VALUE: waits until a running callback has returned and returns TRUE. Called from inside
// the timer's own callback it cannot wait for itself: it deletes without waiting for that callback
// (waiting still for any other) and returns FALSE with ERROR_IO_PENDING. An event handle: returns at
// once and the event is set when the running callback has returned (at once when none runs).
// After any form the timer never starts again; with the waiting form none of its callbacks is running.
BOOL DeleteTimerQueueTimer(HANDLE queue, HANDLE timer, HANDLE completionEvent);
// Deletes the queue and every timer in it; completionEvent as for DeleteTimerQueueTimer.
BOOL DeleteTimerQueueEx(HANDLE queue, HANDLE completionEvent);
// Changes due time and period of a live timer (re-arms a one-shot timer that has already run). When its
// callback is running the new due time applies after the callback returns.
BOOL ChangeTimerQueueTimer(HANDLE queue, HANDLE timer, ULONG dueTime, ULONG period);
