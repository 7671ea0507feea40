// The clock behind Sleep and GetTickCount. Tests install a ManualClock so that nothing ever waits.
//
// Which clock runs a timer: a timer-queue timer belongs to the clock that is installed when the timer is
// created (or changed with ChangeTimerQueueTimer it keeps its owner). Timers created while a ManualClock is
// installed fire only from that clock's Advance (or SleepMs, or a timed wait on it), synchronously on the
// advancing thread; all other timers run on the timer thread and worker pool against the steady clock.
// Destroying a ManualClock silences its timers for good; their handles stay valid for deletion.
//
// ManualClock::Advance(ms) runs, one after the other, every callback of its timers due up to now + ms,
// in due-time order, ties in creation order; NowMs() reads the callback's due time while it runs. A
// periodic timer is re-armed at its due time + period (never earlier than now). A WT_EXECUTEINTIMERTHREAD
// callback that sleeps or advances the clock does not let another WT_EXECUTEINTIMERTHREAD callback of the
// same clock start meanwhile (as on the one timer thread); those run late, after it returns.
#pragma once

#include "platform/wintypes.h"

#include <atomic>
#include <cstdint>

namespace platform {

class ManualClock;
namespace detail {
// Runs the earliest callback of clock's timers that is due at or before limitMs and returns true; when
// none is, moves the clock to limitMs (never backwards) and returns false.
bool RunNextManualTimer(ManualClock& clock, uint64_t limitMs);
}  // namespace detail

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
    ManualClock() = default;
    ~ManualClock() override;
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;
    uint64_t NowMs() override;
    void SleepMs(uint32_t ms) override;
    // Moves the clock forward by ms, running the timer callbacks that fall due on the way.
    void Advance(uint64_t ms);

private:
    friend bool detail::RunNextManualTimer(ManualClock& clock, uint64_t limitMs);
    std::atomic<uint64_t> now_{0};
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

// Both go through CurrentClock(): with a ManualClock, Sleep advances it (running due timers).
void Sleep(DWORD ms);
DWORD GetTickCount();
