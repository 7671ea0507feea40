#include "objects/AnimationDataContainer.h"

#include <utility>

AnimationDataContainer::~AnimationDataContainer() = default;

ControllableAnimationData* AnimationDataContainer::GetControllableAnimation(int slot)
{
    return slot >= 0 && slot < kControllableSlots ? &controllable_[static_cast<size_t>(slot)].Get() : nullptr;
}

const ControllableAnimationData* AnimationDataContainer::GetControllableAnimation(int slot) const
{
    return slot >= 0 && slot < kControllableSlots ? &controllable_[static_cast<size_t>(slot)].Read() : nullptr;
}

TriggAnimationData* AnimationDataContainer::GetTriggerableAnimation(int slot)
{
    const int index = slot - kFirstTriggerableSlot;
    return index >= 0 && index < kTriggerableSlots ? &triggerable_[static_cast<size_t>(index)].Get() : nullptr;
}

const TriggAnimationData* AnimationDataContainer::GetTriggerableAnimation(int slot) const
{
    const int index = slot - kFirstTriggerableSlot;
    return index >= 0 && index < kTriggerableSlots ? &triggerable_[static_cast<size_t>(index)].Read() : nullptr;
}

void AnimationDataContainer::UpdateStateBit(int slot)
{
    const TriggAnimationData* animation = std::as_const(*this).GetTriggerableAnimation(slot);
    if (animation == nullptr) return;
    const unsigned bit = static_cast<unsigned>(slot - kFirstTriggerableSlot);
    if (animation->GetState()) stateBits_.SetBit(bit);
    else stateBits_.ClearBit(bit);
}

bool AnimationDataContainer::RunTriggeredAnimation(const std::atomic<bool>* paused,
                                                   const std::function<void(double)>& sendStateBits)
{
    TriggAnimationData* held = triggerable_[0].Find();
    if (held == nullptr || !held->IsDefined()) return false;
    TriggAnimationData& animation = *held;
    UpdateStateBit(kFirstTriggerableSlot);
    if (sendStateBits) sendStateBits(stateBits_.ToDouble());
    animation.SetPauseFlagPtr(paused);
    animation.SetDirection(animation.GetState());
    animation.Start();
    return true;
}

void AnimationDataContainer::StopAll()
{
    for (FeatureHolder<ControllableAnimationData>& slot : controllable_) {
        if (ControllableAnimationData* animation = slot.Find()) animation->Stop();
    }
    for (FeatureHolder<TriggAnimationData>& slot : triggerable_) {
        if (TriggAnimationData* animation = slot.Find()) animation->StopAll();
    }
}
