// Whether the simulation is paused and whether its sound is off, as the simulator's events last said.
// Written by the dispatch thread, read from timer threads through the flag addresses: the record must
// stay at one address for the life of the process.
#pragma once

#include <atomic>

class SimStatus {
public:
    SimStatus() = default;
    SimStatus(const SimStatus&) = delete;
    SimStatus& operator=(const SimStatus&) = delete;

    // From the "Pause" event: true when its data is non-zero.
    void SetPaused(bool paused) { paused_.store(paused); }
    // From the "Sound" event: true when its data is 0.
    void SetSoundOff(bool soundOff) { soundOff_.store(soundOff); }

    bool IsPaused() const { return paused_.load(); }
    bool IsSoundOff() const { return soundOff_.load(); }

    const std::atomic<bool>* GetPausedFlag() const { return &paused_; }
    const std::atomic<bool>* GetSoundOffFlag() const { return &soundOff_; }

private:
    std::atomic<bool> paused_{false};
    std::atomic<bool> soundOff_{false};
};
