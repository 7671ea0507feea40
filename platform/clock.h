// The clock behind Sleep and GetTickCount. Tests install a ManualClock so that nothing ever waits.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes backwards.
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// The clock in use: the system clock unless a test installed another one.
Clock& CurrentClock();
// Installs a clock (not owned); nullptr restores the system clock.
void SetClock(Clock* clock);

// A clock that moves only when told to. Sleeping advances it at once.
class ManualClock : public Clock {
public:
    uint64_t NowMs() override;
    void SleepMs(uint32_t ms) override;
    // Moves the clock forward by ms.
    void Advance(uint64_t ms);

private:
    uint64_t now_ = 0;
};

// Installs a ManualClock for the lifetime of the guard.
class ScopedManualClock {
public:
    ScopedManualClock() { SetClock(&clock_); }
    ~ScopedManualClock() { SetClock(nullptr); }
    ScopedManualClock(const ScopedManualClock&) = delete;
    ScopedManualClock& operator=(const ScopedManualClock&) = delete;
    ManualClock& clock() { return clock_; }

private:
    ManualClock clock_;
};

}  // namespace platform

void Sleep(DWORD ms);
DWORD GetTickCount();
