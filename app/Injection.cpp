// Object injection and removal: which of an object's models is to be shown now, and the creation,
// replacement or removal of its simulated object that follows; the bookkeeping after a removal.
#include "app/FSProcess.h"

#include "app/Program.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "link/SeasonalObjectHandler.h"
#include "objects/ConditionExpression.h"
#include "objects/EnviroDataProbe.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"

#include <log4cpp/Category.hh>

#include <algorithm>
#include <optional>
#include <random>
#include <utility>
#include <vector>

using program::LoopLog;
using program::Parts;
using program::Sim;

namespace {

constexpr const char* kBubbleReason = "SimBubble Filter, Normal Objects";
constexpr double kRaisedCreationMetres = -50.0;

// The flags of one injection's model walk. A flag set while looking at one model stays set for the
// models after it.
struct Walk {
    bool hasConditions = false;  // A
    bool conditionResult = false;  // V
    bool probeMissing = false;   // P
    bool windRotation = false;   // R
    bool animated = false;       // T
    bool triggered = false;      // G
    bool triggeredVisible = false;  // S
    bool randomized = false;     // Z
    bool plain = false;          // D
};

bool HasAny(const SimObjectModel& model, std::initializer_list<int32_t> features)
{
    for (int32_t feature : features)
        if (model.HasFeature(feature)) return true;
    return false;
}

EnviroDataProbe* LinkedProbe(const SimObject& object)
{
    EnviroDataProbeList* probes = Parts().activeProbes.get();
    return probes && object.GetLinkedIndex() >= 0 ? probes->At(object.GetLinkedIndex()) : nullptr;
}

// The model drawn for a randomized object, or its current model. Weights below 0 count as 0; when no
// weight is positive there is nothing to draw from.
int32_t RandomizedPick(const SimObject& object, const std::string& reason)
{
    std::vector<double> weights;
    for (int32_t i = 0; i < object.GetModelCount(); ++i) {
        const SimObjectModel* model = object.GetModel(i);
        if (model->HasFeature(FeatureRandomizedVisibility))
            weights.push_back(std::max(0, model->GetRandomizedVisibility()->GetPickProbabilityInPercent()));
    }
    if (static_cast<int32_t>(weights.size()) < object.GetModelCount()) {
        LoopLog().warn("Randomized SimObject '%s' has not all probabilities defined! Needed %d, supplied %d",
                       object.GetNameSuffix().c_str(), static_cast<int>(object.GetModelCount()),
                       static_cast<int>(weights.size()));
        return object.GetCurrentModelIndex();
    }
    if (reason != kBubbleReason) return object.GetCurrentModelIndex();
    double sum = 0.0;
    for (double weight : weights) sum += weight;
    if (sum <= 0.0) {
        LoopLog().warn("Randomized SimObject '%s' has no positive probability! Keeping model %d",
                       object.GetNameSuffix().c_str(), static_cast<int>(object.GetCurrentModelIndex()));
        return object.GetCurrentModelIndex();
    }
    std::random_device device;
    std::mt19937 engine(device());
    std::discrete_distribution<int32_t> draw(weights.begin(), weights.end());
    return draw(engine);
}

// The model's conditions: the date and time kinds always, the weather kinds only with a probe.
std::optional<bool> EvaluateConditions(SimObject& object, int32_t index, const EnviroDataProbe* probe)
{
    const SeasonalObjectHandler* seasonal = Parts().seasonal.get();
    if (!seasonal) return std::nullopt;
    const SimObjectModel& shared = *std::as_const(object).GetModel(index);
    const uint32_t kinds = ConditionalVisibilityData::KindsFromFeatures(
        [&shared](int32_t feature) { return shared.HasFeature(feature); });
    // Nothing to evaluate: the model stays as it is (and may stay shared).
    if (kinds == 0) return std::nullopt;
    ConditionWeather weather;
    if (probe) {
        weather.windDirection = probe->GetWindDirection();
        weather.windSpeed = probe->GetWindVelocity();
        weather.visibility = static_cast<uint32_t>(probe->GetVisibility());
        weather.precipitation = probe->GetPrecipitation();
        weather.airTemperature = probe->GetTemperature();
    }
    // The evaluation keeps its results in the model: the object's own from here on.
    return object.GetModel(index)->GetConditionalVisibility()->EvaluateConditions(
        kinds, ConditionDateTime::From(*seasonal), probe ? &weather : nullptr);
}

// Steps 1 to 5 of one model: conditions, weather, triggers, and whether the model qualifies.
// The model is read through the object's const side, so that a model this step does not change stays
// shared with the object it was copied from; a step that changes it takes the object's own.
void LookAtModel(SimObject& object, int32_t index, Walk& walk, std::vector<int32_t>& out)
{
    EnviroDataProbe* probe = LinkedProbe(object);
    if (const std::optional<bool> result = EvaluateConditions(object, index, probe)) {
        walk.hasConditions = true;
        walk.conditionResult = *result;
    }
    // Taken after any change above: what a const access returns is valid until the next change.
    const SimObjectModel& model = *std::as_const(object).GetModel(index);
    const SimObjectModel* current = std::as_const(object).GetCurrentModel();
    if (current && current->NeedsWeatherData()) {
        if (object.GetLinkedIndex() == -1) walk.probeMissing = true;
        else if (!probe || !probe->IsInSimulation()) walk.conditionResult = false;
    }
    if (model.HasFeature(FeatureRotationByWindDirection)) walk.windRotation = true;
    if (HasAny(model, {FeatureTriggAnimationTextMenu, FeatureTriggAnimationProximity,
                       FeatureGroupTriggAnimationTextMenu}))
        walk.animated = true;
    if (HasAny(model, {FeatureTriggVisibilityTextMenu, FeatureTriggVisibilityProximity,
                       FeatureGroupTriggVisibilityTextMenu, FeatureTriggVisibilityRadio,
                       FeatureGroupTriggVisibilityRadio})) {
        walk.triggered = true;
        const TriggVisibilityData& trigger = *model.GetTriggVisibility();
        walk.triggeredVisible = trigger.GetVisible();
        if (trigger.GetSecondFlag() && object.IsInSimulation()) {
            object.SetRemoveRequested(true);
            // The last use of the model read above: this makes the object's own.
            object.GetModel(index)->GetTriggVisibility()->SetSecondFlag(false);
        }
    }
    if (std::as_const(object).GetModel(index)->HasFeature(FeatureRandomizedVisibility)) walk.randomized = true;

    bool qualifies = false;
    if (walk.hasConditions) {
        qualifies = walk.conditionResult && (!walk.triggered || walk.triggeredVisible);
    } else if (walk.triggered) {
        qualifies = walk.triggeredVisible;
    } else if (walk.animated || walk.windRotation) {
        qualifies = true;
    } else if (!walk.randomized) {
        walk.plain = true;
        if (!object.IsInSimulation()) out.push_back(index);
        return;
    }
    if (!qualifies) return;
    if (walk.probeMissing) {
        LoopLog().error("EDP dependent SimObject [%s] will not be injected because EDP does not exist/or SimObject "
                        "is not defined in ClientList!",
                        object.GetName().c_str());
        return;
    }
    out.push_back(index);
}

// The model to show from the candidates. A model named twice (the randomized pick that also qualifies
// by its trigger) is one candidate.
void Settle(SimObject& object, std::vector<int32_t> candidates, const Walk& walk, const std::string& reason)
{
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    if (candidates.size() > 1) {
        LoopLog().warn("!!! Whoops, something's wrong (%s)! No unique Model determined to display! [%s]",
                       reason.c_str(), object.GetName().c_str());
        return;
    }
    if (candidates.empty()) {
        if (object.IsInSimulation() && !walk.plain) object.SetRemoveRequested(true);
        return;
    }
    const auto index = static_cast<int16_t>(candidates.front());
    if (index == object.GetCurrentModelIndex()) {
        if (!object.IsInSimulation()) object.SetCreateRequested(true);
    } else if (!object.IsInSimulation()) {
        object.SetCurrentModelIndex(index);
        object.SetCreateRequested(true);
    } else {
        object.SetPendingModelIndex(index);
        object.SetCreateRequested(true);
        object.SetRemoveRequested(true);
    }
}

// Sends the creation of the object's model with this title; the object's request id, mapped to the
// call's packet.
int32_t SendCreation(SimObject& object, const std::string& title, bool raised)
{
    InjectionQueue* queue = Parts().injectionQueue.get();
    const uint32_t request = object.GetRequestId();
    const DWORD tagged = queue ? queue->TagRequest(request) : request;
    if (raised) Sim().CreateObjectRaised(title, tagged, object.GetPlacement(), kRaisedCreationMetres);
    else Sim().CreateObject(title, tagged, object.GetPlacement());
    if (queue) queue->MapRequest(static_cast<int32_t>(Sim().GetLastSentPacketId()), static_cast<int32_t>(request));
    return static_cast<int32_t>(request);
}

int32_t Create(SimObject& object)
{
    // A creation in flight is never sent twice: the flag clears on the id or on the refusal.
    if (object.IsCreatePending()) return 0;
    object.SetCreatePending(true);
    return SendCreation(object, object.GetCurrentSimTitle(), false);
}

// A new object for the pending model first, then the old one goes, cleaned up while its model is
// still current; then the pending model becomes current.
int32_t Replace(SimObject& object)
{
    if (object.IsCreatePending()) return 0;
    object.SetCreatePending(true);
    object.SetCreatedSimTitle(object.GetCurrentSimTitle());
    const SimObjectModel* next = std::as_const(object).GetModel(object.GetPendingModelIndex());
    const std::string title = next ? next->GetSimTitle() : object.GetCurrentSimTitle();
    const bool raisedJetway = object.HasObjectFeature(FeatureJetway) && object.IsRecreatePending();
    const int32_t request = SendCreation(object, title, raisedJetway);
    if (!raisedJetway) {
        Sim().RemoveObject(object.GetObjectId(), object.GetRequestId());
        FSProcess::RemoveSimObject(&object, true);
    }
    object.SetCurrentModelIndex(object.GetPendingModelIndex());
    return request;
}

}  // namespace

namespace FSProcess {

int32_t InjectSimObject(SimObject* object, std::string reason)
{
    if (!object) return 0;
    object->SetCreateRequested(false);
    object->SetRemoveRequested(false);
    std::vector<int32_t> candidates;
    if (object->HasObjectFeature(FeatureRandomizedVisibility)) candidates.push_back(RandomizedPick(*object, reason));

    Walk walk;
    for (int32_t i = 0; i < object->GetModelCount(); ++i) LookAtModel(*object, i, walk, candidates);
    Settle(*object, candidates, walk, reason);
    if (object->IsAltitudeAgl()) object->SetQuietRecreation(true);

    const bool create = object->IsCreateRequested();
    const bool remove = object->IsRemoveRequested();
    if (create && remove) return Replace(*object);
    if (create) return Create(*object);
    if (remove) {
        object->SetCreatedSimTitle(object->GetCurrentSimTitle());
        Sim().RemoveObject(object->GetObjectId(), object->GetRequestId());
        RemoveSimObject(object, false);
    }
    return 0;
}

void RemoveSimObject(SimObject* object, bool replacing)
{
    if (!object) return;
    object->SetInSimulation(false);
    object->SetCreateRequested(false);
    if (!object->IsQuietRecreation())
        LoopLog().info(" - SimObject '%s' [%s]. ID: %d", object->GetName().c_str(),
                       object->GetCreatedSimTitle().c_str(), static_cast<int>(object->GetObjectId()));
    if (std::as_const(*object).GetCurrentModel() != nullptr) {
        // Each reset takes the object's own model where it changes it: a model with nothing to end or
        // reset is only read, so that it may stay shared.
        const auto own = [object] { return object->GetCurrentModel(); };
        if (object->HasObjectFeature(FeatureTriggAnimationTextMenu) ||
            object->HasObjectFeature(FeatureTriggAnimationProximity)) {
            if (TriggAnimationData* animation = own()->GetAnimations()->GetTriggerableAnimation(3)) {
                animation->StopSound();
                animation->SetState(false);
            }
        }
        if (object->HasObjectFeature(FeatureJetway)) {
            if (Parts().activeObjects) Parts().activeObjects->DecrementCreatedCount();
            own()->GetJetway()->SetDocked(false);
            own()->GetJetway()->SetMoving(false);
            if (!object->IsRecreatePending() && Parts().linkedObjectHandler)
                Parts().linkedObjectHandler->RemoveParts(object);
        }
        if (object->HasObjectFeature(FeatureVDGS)) {
            own()->GetVDGS()->SetStateStandby();
            // Gone without a successor: the guidance must not run on against an object id of 0.
            if (!replacing) ForgetActiveVdgs(object);
        }
        if (object->HasObjectFeature(FeatureConditionSeparationPlane))
            own()->GetConditionalVisibility()->GetSeparationPlane().SetDefined(false);
        if (object->HasObjectFeature(FeatureGroundPolygonShift) && !replacing)
            own()->GetGroundPolygonShift()->SetActive(false);
        if (std::as_const(*object).GetCurrentModel()->HasTimer()) own()->GetTimer()->Stop();
    }
    // Nothing of the object may run on once it is out: its timers and sounds end here, a callback in
    // progress is waited for.
    object->StopActivity();
    object->SetObjectId(0);
}

void SetStandJetwaysActive(bool active, SimObject* object)
{
    if (!object || !object->HasMultipleModels()) return;
    if (active) {
        object->SetRecreatePending(true);
        object->SelectModel(1);
        InjectSimObject(object, "Active Jetway Insertion due to Stand Selection");
    } else {
        object->SelectModel(0);
        InjectSimObject(object, "Active Jetway Removal due to Stand De-Selection");
    }
}

}  // namespace FSProcess
