// An animation that the user moves step by step from the in-simulator text menu: its menu texts and
// on/off state, and the keyframe runner.
#pragma once

#include "objects/AnimationData.h"
#include "objects/VisibilityData.h"

class ControllableAnimationData : public ControllableData, public AnimationData {
public:
    ControllableAnimationData() = default;
    ControllableAnimationData(const ControllableAnimationData&) = default;
    ControllableAnimationData& operator=(const ControllableAnimationData&) = default;
    ~ControllableAnimationData() override;
};
