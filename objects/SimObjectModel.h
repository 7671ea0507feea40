// One model variant of a placed object: the simulator title it is created with and every feature the
// model carries (rotation drivers, visibility conditions, animations, triggers, timer, jetway, docking
// guidance), plus the feature flags by which every handler picks its objects.
//
// A model holds only the features it uses: the rotation drivers, the conditions, the animations, the
// triggered visibility, the timer counter, the jetway and the docking guidance record are allocated on
// the first non-const access (the animation slots likewise inside their container). A const accessor of
// a feature the model does not hold gives a shared default record, so every accessor keeps answering for
// every model.
//
// Copies are deep and never carry live work: the animations, the timer counter and the jetway copy their
// settings and state but never a running timer, motion or playing sound, and assigning over a model stops
// its own first (each member's own copy semantics guarantee that; the guidance record has no timer). A
// move takes the held features as they are, at their addresses, running work included.
//
// The jetway is the one feature a placement file sets before anything uses it: its MultiIndex and door
// points are kept as small settings, and the jetway itself is built from them on the first access, const
// or not. A model whose jetway nobody touches pays for those settings only; the jetway it then gets is the
// one it would have had, had the settings been written into it straight away.
#pragma once

#include "foundation/BitField64.h"
#include "objects/AnimationDataContainer.h"
#include "objects/ConditionalVisibilityData.h"
#include "objects/FeatureHolder.h"
#include "objects/Jetway.h"
#include "objects/TimerData.h"
#include "objects/VariableDrivenRotationData.h"
#include "objects/VDGS.h"
#include "objects/VisibilityData.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The feature numbers the placement reader sets on a model and on its object. 0, 31, 32 and 35 are
// never set.
enum SimObjectFeature : int32_t {
    FeatureEnvironmentalDataProbe = 1,
    FeatureDensityAltitudeDisplay = 2,
    FeatureJetway = 3,
    FeatureVDGS = 4,
    FeatureRotationByWindDirection = 5,
    FeatureRotationByUserAircraftPosition = 6,
    FeatureRotationByTimeOfDay = 7,
    FeatureConditionMonthOfYear = 8,
    FeatureConditionDayOfYear = 9,
    FeatureConditionTimeOfDay = 10,
    FeatureConditionWindDirection = 11,
    FeatureConditionWindSpeed = 12,
    FeatureConditionMetVisibility = 13,
    FeatureConditionMetPrecipitation = 14,
    FeatureConditionAirTemperature = 15,
    FeatureConditionSeparationPlane = 16,
    FeatureConditionTime = 17,
    FeatureConditionYear = 18,
    FeatureConditionDayOfMonth = 19,
    FeatureConditionDayOfWeek = 20,
    FeatureTriggVisibilityProximity = 21,
    FeatureTriggVisibilityTextMenu = 22,
    FeatureTriggVisibilityRadio = 23,
    FeatureTriggAnimationProximity = 24,
    FeatureTriggAnimationTextMenu = 25,
    FeatureControllableAnimation = 26,
    FeatureGroupTriggAnimationTextMenu = 27,
    FeatureGroupTriggVisibilityTextMenu = 28,
    FeatureGroupControllableAnimation = 29,
    FeatureGroupTriggVisibilityRadio = 30,
    FeatureGroundPolygonShift = 33,
    FeatureRandomizedVisibility = 34,
};

// One bit per feature number. Numbers outside 0..35 are ignored when set and never test true.
class SimObjectFeatureFlags {
public:
    static constexpr int32_t kCount = 36;

    void Set(int32_t feature)
    {
        if (InRange(feature)) bits_.SetBit(static_cast<unsigned>(feature));
    }
    bool Test(int32_t feature) const { return InRange(feature) && bits_.TestBit(static_cast<unsigned>(feature)); }
    bool Has(int32_t feature) const { return Test(feature); }

private:
    static bool InRange(int32_t feature) { return feature >= 0 && feature < kCount; }

    BitField64 bits_;
};

class SimObjectModel {
public:
    SimObjectModel() = default;
    SimObjectModel(const SimObjectModel&) = default;
    SimObjectModel& operator=(const SimObjectModel&) = default;
    SimObjectModel(SimObjectModel&&) = default;
    SimObjectModel& operator=(SimObjectModel&&) = default;
    ~SimObjectModel() = default;

    void SetSimTitle(std::string title) { simTitle_ = std::move(title); }
    std::string GetSimTitle() const { return simTitle_; }
    // The same without a copy, valid until the title is set again.
    const std::string& SimTitle() const { return simTitle_; }

    // 1 keeps the simulator's own simulation of the object running (environmental data probes); a model
    // with 0 is set to "SIM DISABLED" when its object arrives.
    void SetKeepSimEnabled(bool keep) { keepSimEnabled_ = keep ? 1 : 0; }
    uint8_t GetKeepSimEnabled() const { return keepSimEnabled_; }

    VariableDrivenRotationData* GetRotation() { return &rotation_.Get(); }
    const VariableDrivenRotationData* GetRotation() const { return &rotation_.Read(); }
    ConditionalVisibilityData* GetConditionalVisibility() { return &conditionalVisibility_.Get(); }
    const ConditionalVisibilityData* GetConditionalVisibility() const { return &conditionalVisibility_.Read(); }
    AnimationDataContainer* GetAnimations() { return &animations_.Get(); }
    const AnimationDataContainer* GetAnimations() const { return &animations_.Read(); }
    TriggVisibilityData* GetTriggVisibility() { return &triggVisibility_.Get(); }
    const TriggVisibilityData* GetTriggVisibility() const { return &triggVisibility_.Read(); }
    GroundPolygonShiftData* GetGroundPolygonShift() { return &groundPolygonShift_; }
    const GroundPolygonShiftData* GetGroundPolygonShift() const { return &groundPolygonShift_; }
    RandomizedVisibilityData* GetRandomizedVisibility() { return &randomizedVisibility_; }
    const RandomizedVisibilityData* GetRandomizedVisibility() const { return &randomizedVisibility_; }
    TimerData* GetTimer() { return &timer_.Get(); }
    const TimerData* GetTimer() const { return &timer_.Read(); }
    Jetway* GetJetway() { return &BuildJetway(); }
    const Jetway* GetJetway() const { return jetwaySettings_.Has() ? &BuildJetway() : &jetway_.Read(); }
    // What a placement file sets on the jetway; written into it now when it exists, or when it is built.
    void SetJetwayMultiIndex(int32_t index);
    void SetJetwayDoorPoints(std::vector<double> values);
    // Used only when the model carries a VDGS element (feature 4).
    VDGS* GetVDGS() { return &vdgs_.Get(); }
    const VDGS* GetVDGS() const { return &vdgs_.Read(); }
    SimObjectFeatureFlags* GetFeatures() { return &features_; }
    const SimObjectFeatureFlags* GetFeatures() const { return &features_; }
    BitField64* GetAnimationState() { return &animationState_; }
    const BitField64* GetAnimationState() const { return &animationState_; }

    bool HasFeature(int32_t feature) const { return features_.Test(feature); }

    // Controllable slots 0..2, triggerable slots 3..8; null for any other slot.
    ControllableAnimationData* GetControllableAnimation(int slot)
    {
        return GetAnimations()->GetControllableAnimation(slot);
    }
    TriggAnimationData* GetTriggerableAnimation(int slot) { return GetAnimations()->GetTriggerableAnimation(slot); }

    void SetAnimationState(const BitField64& word) { animationState_ = word; }

    bool HasTimer() const { return timer_.Read().IsDefined(); }
    // Whether the model's triggerable animation (menu or proximity) has sounds, which are bound at the
    // object's place.
    bool HasAnimationSounds() const;

    // The models whose conditions, rotation or display read the weather of an environmental data probe.
    bool NeedsWeatherData() const;

    // Stops everything that runs on its own: animation timers and their sounds, the timer counter, the
    // jetway's motion and sound. The object leaves the simulator or is about to be destroyed or replaced.
    void StopActivity();

    // Diagnostic: writes "ModelDataDump_<SimTitle>.txt" in the working folder. False when the file could
    // not be written (a title that cannot name a file included).
    bool DumpModelData() const;

private:
    // The placement file's jetway values not yet written into a jetway.
    struct JetwaySettings {
        int32_t multiIndex = 0;
        bool hasDoorPoints = false;
        std::vector<double> doorPoints;
    };

    // The jetway, built from the settings if it did not exist yet.
    Jetway& BuildJetway() const;

    std::string simTitle_;
    uint8_t keepSimEnabled_ = 0;
    FeatureHolder<VariableDrivenRotationData> rotation_;
    FeatureHolder<ConditionalVisibilityData> conditionalVisibility_;
    FeatureHolder<AnimationDataContainer> animations_;
    FeatureHolder<TriggVisibilityData> triggVisibility_;
    GroundPolygonShiftData groundPolygonShift_;
    RandomizedVisibilityData randomizedVisibility_;
    FeatureHolder<TimerData> timer_;
    // Mutable: a const access builds the jetway from its settings (it changes no value anyone can see).
    mutable FeatureHolder<Jetway> jetway_;
    FeatureHolder<JetwaySettings> jetwaySettings_;
    FeatureHolder<VDGS> vdgs_;
    SimObjectFeatureFlags features_;
    BitField64 animationState_;
};
