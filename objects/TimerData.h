// The timer counter of a model variant: while its object exists in the simulator it counts 0, 1, ...,
// steps-1, 0, ... once per tick on a worker thread of the thread pool and writes each count as a double
// to the object, where the model reads it as an animation variable.
//
// The tick touches only atomics, so the main thread may read the counter while it runs. Stopping and
// destruction delete the timer queue waiting for a tick in progress: once they return no tick runs.
// A copy never carries a live timer: it gets the definition, binding and count, with no timer running.
#pragma once

#include "platform/wintypes.h"

#include <atomic>
#include <cstdint>

class TimerData {
public:
    TimerData() = default;
    TimerData(const TimerData& other);
    TimerData& operator=(const TimerData& other);
    virtual ~TimerData();

    // Defines the counter: steps counts per cycle, one cycle every durationSeconds. Refused (logged,
    // nothing changed, false) with fewer than 1 step or a tick period outside 1 ms .. 0xFFFFFFFE ms.
    bool SetTimer(int32_t steps, double durationSeconds);
    // The same, under the name the placement reader calls.
    bool Define(int32_t steps, double durationSeconds) { return SetTimer(steps, durationSeconds); }

    bool IsDefined() const { return defined_ != 0; }
    bool IsRunning() const { return running_.load(); }
    bool IsBound() const { return bound_ != 0; }
    // true starts the counter (when bound), false stops it: the flag always tells whether a timer runs.
    void SetRunning(bool running);
    int32_t GetCounter() const;
    double GetPeriod() const { return period_; }
    double GetSteps() const { return steps_.load(); }
    // The due time and period of the timer.
    DWORD GetPeriodMs() const;
    // Whether the simulation is paused; a counter without the flag's address counts as not paused.
    bool IsPaused() const;

    // The simulation's paused flag, read by every tick; it must outlive the counter.
    void SetPauseFlagPtr(const std::atomic<bool>* paused) { pauseFlag_.store(paused); }
    void Bind(HANDLE connection, uint32_t definition, uint32_t objectId);

    // Starts a bound, defined counter that is not running; stops a running one. Nothing when not bound.
    void Toggle();
    void Stop();

private:
    bool Start();
    void DeleteTimer();
    void Tick();
    static void OnTimer(PVOID self, BOOLEAN fired);
    void CopyFrom(const TimerData& other);

    uint8_t started_ = 0;
    uint8_t stopped_ = 0;
    double period_ = 25.0;  // seconds between ticks
    uint8_t defined_ = 0;
    std::atomic<double> steps_{1.0};
    std::atomic<double> counter_{0.0};
    std::atomic<bool> running_{false};
    uint8_t bound_ = 0;
    std::atomic<double> sentValue_{0.0};
    HANDLE timerQueue_ = nullptr;
    HANDLE timer_ = nullptr;
    std::atomic<const std::atomic<bool>*> pauseFlag_{nullptr};
    std::atomic<HANDLE> connection_{nullptr};
    std::atomic<uint32_t> definition_{0};
    std::atomic<uint32_t> objectId_{0};
};
