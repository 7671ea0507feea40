// An animation that a trigger runs from one end to the other (the user aircraft coming within a
// radius, or a text-menu command), with the objects whose animation state follows it and up to three
// sounds: the first plays while it runs towards the end, the second (when there are exactly two) while
// it runs back.
#pragma once

#include "foundation/BitField64.h"
#include "objects/AnimationData.h"
#include "objects/VisibilityData.h"
#include "platform/wintypes.h"
#include "sound/SoundBuffer.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class SimObject;
class SoundEngine;

// Bits of the model's animation state word that the frame handler keeps for a triggered animation.
namespace animation_state {
constexpr unsigned kRunningToEnd = 1;
constexpr unsigned kRunningToStart = 2;
constexpr unsigned kStoppedAtEnd = 3;
constexpr unsigned kStoppedAtStart = 4;
}  // namespace animation_state

// What the frame handler sends while it turns an animation's flags into the model's state word.
struct AnimationStateOutput {
    // The client event "PAUSE_SET" with this data (1 pauses, 0 releases the simulation).
    std::function<void(DWORD data)> pauseSet;
    // The word as "VELOCITY BODY Y" to the object, then copied into and written to every sync target.
    std::function<void(const BitField64& word)> sendStateWord;
};

class TriggAnimationData : public TriggerableData, public AnimationData {
public:
    static constexpr size_t kMaxSounds = 3;

    TriggAnimationData() = default;
    TriggAnimationData(const TriggAnimationData&) = default;
    TriggAnimationData& operator=(const TriggAnimationData&) = default;
    ~TriggAnimationData() override;

    // Names of other objects whose animation state follows this one.
    void AddSyncName(const std::string& name) { syncNames_.push_back(name); }
    size_t GetSyncNameCount() const { return syncNames_.size(); }
    // "" outside the list.
    std::string GetSyncName(int index) const;

    // The objects of the active list resolved from the names by the sim bubble; not owned.
    void AddSyncTarget(SimObject* target);
    size_t GetSyncTargetCount() const { return syncTargets_.size(); }
    // Null outside the list.
    SimObject* GetSyncTarget(int index) const;
    void ClearSyncTargets() { syncTargets_.clear(); }

    // Keeps a copy while fewer than three are stored; false for a fourth and later.
    bool AddSound(const SoundBuffer& sound);
    size_t GetSoundCount() const { return sounds_.size(); }
    // Null outside the stored sounds.
    SoundBuffer* GetSound(size_t index);
    // Binds every sound to the engine as a positional sound at (x, y, z), in the simulator's axes. With
    // a model folder each sound's WAV is loaded from the folder's "sound" subfolder and keyed by that path.
    void InitSounds(SoundEngine* engine, const std::string& folder, double x, double y, double z);
    void SetSoundPositions(double x, double y, double z);

    void PlayFirstSound();
    // With exactly two sounds the second; otherwise the first.
    void PlaySound();
    // Stops the sound that plays (if any) and forgets it.
    void StopSound();
    // 0 none, 1 the first sound, 2 the second.
    int32_t GetCurrentSound() const { return currentSound_; }
    // Stops the timer and every sound: the object leaves the simulator.
    void StopAll();

    // The frame handler's pass over this animation, in order: re-pause, started, reversal, stopped.
    // simPaused: the simulation is paused now.
    void UpdateStateWord(BitField64& word, bool simPaused, const AnimationStateOutput& out);

private:
    std::vector<std::string> syncNames_;
    std::vector<SimObject*> syncTargets_;
    // Room for all kMaxSounds is taken with the first sound, so a sound never moves while it plays; an
    // animation without sounds (most of them) carries none.
    std::vector<SoundBuffer> sounds_;
    int32_t currentSound_ = 0;
};
