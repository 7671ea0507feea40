#include "objects/AnimationDataContainer.h"

AnimationDataContainer::~AnimationDataContainer() = default;

ControllableAnimationData* AnimationDataContainer::GetControllableAnimation(int slot)
{
    return slot >= 0 && slot < kControllableSlots ? &controllable_[static_cast<size_t>(slot)] : nullptr;
}

const ControllableAnimationData* AnimationDataContainer::GetControllableAnimation(int slot) const
{
    return slot >= 0 && slot < kControllableSlots ? &controllable_[static_cast<size_t>(slot)] : nullptr;
}

TriggAnimationData* AnimationDataContainer::GetTriggerableAnimation(int slot)
{
    const int index = slot - kFirstTriggerableSlot;
    return index >= 0 && index < kTriggerableSlots ? &triggerable_[static_cast<size_t>(index)] : nullptr;
}

const TriggAnimationData* AnimationDataContainer::GetTriggerableAnimation(int slot) const
{
    const int index = slot - kFirstTriggerableSlot;
    return index >= 0 && index < kTriggerableSlots ? &triggerable_[static_cast<size_t>(index)] : nullptr;
}

void AnimationDataContainer::UpdateStateBit(int slot)
{
    const TriggAnimationData* animation = GetTriggerableAnimation(slot);
    if (animation == nullptr) return;
    const unsigned bit = static_cast<unsigned>(slot - kFirstTriggerableSlot);
    if (animation->GetState()) stateBits_.SetBit(bit);
    else stateBits_.ClearBit(bit);
}

bool AnimationDataContainer::RunTriggeredAnimation(const std::atomic<bool>* paused,
                                                   const std::function<void(double)>& sendStateBits)
{
    TriggAnimationData& animation = triggerable_[0];
    if (!animation.IsDefined()) return false;
    UpdateStateBit(kFirstTriggerableSlot);
    if (sendStateBits) sendStateBits(stateBits_.ToDouble());
    animation.SetPauseFlagPtr(paused);
    animation.SetDirection(animation.GetState());
    animation.Start();
    return true;
}

void AnimationDataContainer::StopAll()
{
    for (ControllableAnimationData& animation : controllable_) animation.Stop();
    for (TriggAnimationData& animation : triggerable_) animation.StopAll();
}
