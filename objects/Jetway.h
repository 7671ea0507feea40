// The main program's jetway: the shared JetwayCore plus the jetway's sound and its place among the
// jetways of a stand. Not part of the in-simulator module.
#pragma once

#include "jetway/core/JetwayCore.h"
#include "sound/SoundBuffer.h"

#include <cstdint>
#include <string>

class SoundEngine;

class Jetway : public JetwayCore {
public:
    Jetway() = default;
    // A copy takes the core (the record whole), the sound's settings, the flag and the MultiIndex;
    // never a playing sound's device objects or timer.
    Jetway(const Jetway& other) = default;
    Jetway& operator=(const Jetway& other);
    ~Jetway() override = default;

    // The sound's settings, as "jetway.cfg" [Sound] gives them (file name, loop, distances).
    SoundBuffer& GetSound() { return sound_; }
    const SoundBuffer& GetSound() const { return sound_; }
    // Keys the sound as folder + "sound\" + its file name, has the engine cache that WAV file and binds
    // the sound to the engine at the position. Returns whether the file was loaded; the sound is enabled
    // only then. folder ends with a backslash.
    bool SetupSound(SoundEngine& engine, const std::string& folder, double x, double y, double z);
    // A fresh default sound in place of the present one (stopped first).
    void ResetSound();
    bool IsSoundEnabled() const { return soundEnabled_; }
    void SetSoundEnabled(bool enabled) { soundEnabled_ = enabled; }
    // Play, stop and move only while the sound is enabled.
    void PlaySound();
    void StopSound();
    void UpdateSoundPosition(double x, double y, double z);

    void SetMultiIndex(int32_t index) { multiIndex_ = index; }
    int32_t GetMultiIndex() const { return multiIndex_; }

    // Stores a reported record as the jetway's own.
    void ReleaseData(const JetwayData& record) { SetJetwayData(record); }

private:
    SoundBuffer sound_;
    bool soundEnabled_ = false;
    int32_t multiIndex_ = 0;
};
