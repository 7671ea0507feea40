// Events and waits.
#pragma once

#include "platform/wintypes.h"

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// name may be null. A second creation with the same name returns a handle to the same event with
// last error 183.
HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// WAIT_OBJECT_0 + the lowest signalled index (an auto-reset event is reset by the wait), WAIT_TIMEOUT
// when none was signalled within timeoutMs (measured on the current clock), WAIT_FAILED for bad handles.
// waitAll TRUE returns WAIT_OBJECT_0 once all are signalled at the same time (resetting the auto-reset
// ones). timeoutMs 0 only polls. With a ManualClock installed a finite wait does not block: it advances
// that clock step by step up to the timeout, running the timers that fall due, and returns as soon as an
// event is signalled (so a timer's callback can end the wait), else WAIT_TIMEOUT with the clock moved by
// the whole timeout. An INFINITE wait blocks for real until another thread signals.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs);
DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs);
