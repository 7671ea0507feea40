// The animations of one model variant: three controllable slots (0..2, moved from the text menu) and six
// triggerable slots (3..8, run by triggers), and the triggered-state word sent to the object as
// "VELOCITY BODY Z". The placement reader fills slots 0 and 3; the handlers use only those two.
//
// A slot is allocated on its first non-const access; a const access to a slot never written gives a
// shared default animation. Copies are deep and never carry a running timer or sound (the animations'
// own copy semantics); a move takes the slots as they are, at their addresses, running work included.
#pragma once

#include "foundation/BitField64.h"
#include "objects/ControllableAnimationData.h"
#include "objects/FeatureHolder.h"
#include "objects/TriggAnimationData.h"

#include <array>
#include <atomic>
#include <functional>

class AnimationDataContainer {
public:
    static constexpr int kFirstTriggerableSlot = 3;
    static constexpr int kControllableSlots = 3;
    static constexpr int kTriggerableSlots = 6;

    AnimationDataContainer() = default;
    AnimationDataContainer(const AnimationDataContainer&) = default;
    AnimationDataContainer& operator=(const AnimationDataContainer&) = default;
    AnimationDataContainer(AnimationDataContainer&&) = default;
    AnimationDataContainer& operator=(AnimationDataContainer&&) = default;
    virtual ~AnimationDataContainer();

    // Slots 0..2; null for any other slot.
    ControllableAnimationData* GetControllableAnimation(int slot);
    const ControllableAnimationData* GetControllableAnimation(int slot) const;
    // Slots 3..8; null for any other slot.
    TriggAnimationData* GetTriggerableAnimation(int slot);
    const TriggAnimationData* GetTriggerableAnimation(int slot) const;

    // Bit (slot - 3) of the state bits follows the triggered state of triggerable slot 3..8 (the program
    // uses slot 3 only: bit 0). Other slots change nothing.
    void UpdateStateBit(int slot);
    BitField64* GetStateBits() { return &stateBits_; }
    const BitField64* GetStateBits() const { return &stateBits_; }

    // Runs triggerable slot 3 after its trigger state was set: when it has keyframes, its state bit is
    // updated and sent (sendStateBits gets the word as a double, for "VELOCITY BODY Z"), it takes the
    // paused flag, heads forward when the state is on and backward when off, and starts; true. Without
    // keyframes nothing happens and the result is false (the caller sends the freeze toggle instead).
    bool RunTriggeredAnimation(const std::atomic<bool>* paused, const std::function<void(double)>& sendStateBits);

    // Stops every animation timer and every sound: the object leaves the simulator.
    void StopAll();

private:
    BitField64 stateBits_;
    std::array<FeatureHolder<ControllableAnimationData>, kControllableSlots> controllable_;
    std::array<FeatureHolder<TriggAnimationData>, kTriggerableSlots> triggerable_;
};
