// The frame and periodic object passes: triggered animations, separation planes, rotations, ground
// polygon shifts, proximity and radio-click triggers, and the jetway lights by time of day.
#include "app/FSProcess.h"

#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "guidance/TriggerObjectTextMenu.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "objects/EnviroDataProbe.h"
#include "objects/SimObjectList.h"
#include "scenery/SimBubble.h"
#include "sound/SoundBuffer.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace velk_ids;
using program::Flags;
using program::IsSimPaused;
using program::Parts;
using program::PausedFlag;
using program::Sim;
using program::TriggerRange;

namespace {

constexpr double kFrequencyTolerance = 0.0001;    // MHz
constexpr int32_t kCountdownWarningSeconds = 15;
constexpr int kTriggerSlot = AnimationDataContainer::kFirstTriggerableSlot;

// ---- shared helpers -------------------------------------------------------------------------------------

double DistanceToUser(const SimObject& object, const UserAircraft& user)
{
    return GeoMath::HaversineDistance(object.GetLatitude(), object.GetLongitude(), user.GetLatitude(),
                                      user.GetLongitude());
}

bool WithinTriggerRange(const SimObject& object, const UserAircraft& user)
{
    return DistanceToUser(object, user) <= TriggerRange();
}

// A decimal number filling the whole text (blanks around it allowed); nothing for any other text.
std::optional<double> ParseDecimal(const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return std::nullopt;
    return value;
}

// The object is in the simulator with an object id: the passes may write to it.
bool IsWritable(const SimObject& object)
{
    return object.IsInSimulation() && object.GetObjectId() != 0;
}

template <typename Pass>
void ForEachIndexed(std::vector<int32_t>& indices, SimObjectList& list, Pass pass)
{
    for (const int32_t index : indices) {
        SimObject* object = list.At(index);
        if (object) pass(*object);
    }
}

void SendBodyY(DWORD objectId, const BitField64& word)
{
    const double value = word.ToDouble();
    Sim().SetVelocityBodyY(objectId, &value);
}

void ReshowMainMenu()
{
    if (program::TriggerMenu().IsDisplayed())
        Sim().TransmitEventWithData(EventShowMainMenu, static_cast<DWORD>(Flags().lastMainMenuRequest));
}

TriggVisibilityData* CurrentTrigger(SimObject& object)
{
    SimObjectModel* model = object.GetCurrentModel();
    return model ? model->GetTriggVisibility() : nullptr;
}

void SetPair(TriggVisibilityData& trigger, bool shown, bool visible)
{
    trigger.SetShown(shown);
    trigger.SetVisible(visible);
}

// ---- animation pass -------------------------------------------------------------------------------------

// The word to the object, then into every model of each synchronised object and to that object.
void SendAnimationWord(const SimObject& object, const TriggAnimationData& animation, const BitField64& word)
{
    SendBodyY(object.GetObjectId(), word);
    for (size_t i = 0; i < animation.GetSyncTargetCount(); ++i) {
        SimObject* target = animation.GetSyncTarget(static_cast<int>(i));
        if (!target) continue;
        for (int32_t m = 0; m < target->GetModelCount(); ++m) target->GetModel(m)->SetAnimationState(word);
        if (target->GetObjectId() != 0) SendBodyY(target->GetObjectId(), word);
    }
}

void AnimateObject(SimObject& object, bool paused)
{
    SimObjectModel* model = object.GetCurrentModel();
    if (!model || !IsWritable(object)) return;
    if (!model->HasFeature(FeatureTriggAnimationProximity) && !model->HasFeature(FeatureTriggAnimationTextMenu))
        return;
    TriggAnimationData* animation = model->GetTriggerableAnimation(kTriggerSlot);
    if (!animation || !animation->IsDefined()) return;

    AnimationStateOutput out;
    out.pauseSet = [](DWORD data) { Sim().TransmitEventWithData(EventPauseSet, data); };
    out.sendStateWord = [&](const BitField64& word) { SendAnimationWord(object, *animation, word); };
    animation->UpdateStateWord(*model->GetAnimationState(), paused, out);
}

// ---- separation-plane pass ------------------------------------------------------------------------------

void UpdateSeparationPlane(SimObject& object, const UserAircraft& user)
{
    SimObjectModel* model = object.GetCurrentModel();
    if (!model || !model->HasFeature(FeatureConditionSeparationPlane)) return;
    CV_SeparationPlaneData& plane = model->GetConditionalVisibility()->GetSeparationPlane();

    const LLAData& from = plane.GetUseEyePoint() ? static_cast<const LLAData&>(user.GetEyePoint())
                                                 : static_cast<const LLAData&>(user.GetPlacement());
    const double distance =
        GeoMath::HaversineDistance(from.GetLatitude(), from.GetLongitude(), object.GetLatitude(), object.GetLongitude());
    const double bearing =
        GeoMath::RhumbLineBearing(object.GetLatitude(), object.GetLongitude(), from.GetLatitude(), from.GetLongitude());
    double x = 0.0, y = 0.0, z = 0.0;
    CV_SeparationPlaneData::UserPositionInObjectFrame(distance, bearing, GeoMath::DegToRad(object.GetSecondHeading()),
                                                      from.GetAltitude(), object.GetAltitude(), x, y, z);

    const bool wasPositive = plane.IsOnPositiveSide();
    const bool positive = plane.TestSide(x, y, z);
    BitField64& word = *model->GetAnimationState();
    if (positive) word.SetBit(0);
    else word.ClearBit(0);

    if (!IsWritable(object) || (positive == wasPositive && plane.IsDefined())) return;
    plane.SetDefined(true);
    SendBodyY(object.GetObjectId(), word);
}

// ---- rotation pass --------------------------------------------------------------------------------------

void WriteRotation(SimObject& object, const RotationWrite& write)
{
    const DWORD id = object.GetObjectId();
    switch (write.axis) {
    case RotationAxis::Heading:
        Sim().SetObjectHeading(id, &write.radians);
        if (write.storeInPlacement) object.SetHeading(write.degrees);
        break;
    case RotationAxis::Pitch:
        Sim().SetObjectPitch(id, &write.radians);
        if (write.storeInPlacement) object.SetPitch(write.degrees);
        break;
    case RotationAxis::Bank:
        Sim().SetObjectBank(id, &write.radians);
        if (write.storeInPlacement) object.SetBank(write.degrees);
        break;
    case RotationAxis::None: break;
    }
}

void RotateObject(SimObject& object, const UserAircraft& user)
{
    SimObjectModel* model = object.GetCurrentModel();
    if (!model || !IsWritable(object)) return;
    const RotationTurn turn =
        model->GetRotation()->Turn(model->HasFeature(FeatureRotationByWindDirection),
                                   model->HasFeature(FeatureRotationByUserAircraftPosition), object.GetPlacement(),
                                   user.GetPlacement());
    for (size_t i = 0; i < turn.count; ++i) WriteRotation(object, turn.writes[i]);
}

// ---- ground-shift pass ----------------------------------------------------------------------------------

void ShiftGroundPolygon(SimObject& object, double userAltitude)
{
    SimObjectModel* model = object.GetCurrentModel();
    if (!model || !model->HasFeature(FeatureGroundPolygonShift) || !IsWritable(object)) return;
    GroundPolygonShiftData& shift = *model->GetGroundPolygonShift();
    const double base = object.GetSecondAltitude();
    const bool above = userAltitude - base > shift.GetThresholdAltitudeAGL();
    if (above == shift.IsActive()) return;

    const double ground = above ? shift.GetShiftAltitude() : 0.0;
    shift.SetActive(above);
    object.ApplyGroundElevation(ground, base, false);
    const double altitude = base + ground;
    Sim().SetObjectAltitude(object.GetObjectId(), &altitude);

    // Replacing: a plain removal would clear the shift just set, and the next pass would recreate again.
    object.SetCreatedSimTitle(object.GetCurrentSimTitle());
    Sim().RemoveObject(object.GetObjectId(), object.GetRequestId());
    FSProcess::RemoveSimObject(&object, true);
    object.SetQuietRecreation(false);
    FSProcess::InjectSimObject(&object, "Gnd Poly Shift Object, Workaround recreation");
}

// ---- proximity pass -------------------------------------------------------------------------------------

void ToggleProximityVisibility(SimObject& object, double distance)
{
    TriggVisibilityData* trigger = CurrentTrigger(object);
    if (!trigger) return;
    const double radius = ParseDecimal(trigger->GetInputName(1)).value_or(0.0);
    const bool within = distance <= radius;
    if (within == trigger->GetState()) return;

    const bool present = object.IsInSimulation();
    trigger->SetState(within);
    if (present) {
        object.SetCreatedSimTitle("");
        SetPair(*trigger, true, false);
    } else {
        SetPair(*trigger, false, true);
    }
    const std::string reason = std::string("TriggVis ProxyObject, ") + (within ? "within" : "outside") +
                               " Radius, " + (present ? "Removing" : "Creating");
    ReshowMainMenu();
    FSProcess::InjectSimObject(&object, reason);
}

void RunProximityAnimation(SimObject& object, double distance)
{
    SimObjectModel* model = object.GetCurrentModel();
    if (!model || !IsWritable(object)) return;
    TriggAnimationData* animation = model->GetTriggerableAnimation(kTriggerSlot);
    if (!animation) return;
    const double radius = ParseDecimal(animation->GetInputName(1)).value_or(0.0);
    const bool within = distance <= radius;
    if (within == animation->GetState()) return;

    animation->SetState(within);
    const DWORD id = object.GetObjectId();
    const bool ran = model->GetAnimations()->RunTriggeredAnimation(
        PausedFlag(), [id](double bits) { Sim().SetVelocityBodyZ(id, bits); });
    if (!ran) Sim().TransmitEventToObject(id, EventFreezeToggle);
}

void ApplyProximity(SimObject& object, const UserAircraft& user)
{
    const double distance = DistanceToUser(object, user);
    if (!(distance <= TriggerRange())) return;
    if (object.HasFeature(FeatureTriggVisibilityProximity)) ToggleProximityVisibility(object, distance);
    if (object.HasFeature(FeatureTriggAnimationProximity)) RunProximityAnimation(object, distance);
}

// ---- radio click ----------------------------------------------------------------------------------------

// "COM STATUS:1", "COM ACTIVE FREQUENCY:1", "COM TRANSMIT:1", "COM ACTIVE FREQUENCY:2", "COM TRANSMIT:2".
struct ComRecord {
    int64_t status = 0;
    double frequency1 = 0.0;
    double transmit1 = 0.0;
    double frequency2 = 0.0;
    double transmit2 = 0.0;
};
constexpr size_t kComRecordSize = sizeof(int64_t) + 4 * sizeof(double);

std::optional<ComRecord> ReadComRecord(const uint8_t* record, size_t size)
{
    if (!record || size < kComRecordSize) return std::nullopt;
    ComRecord com;
    std::memcpy(&com.status, record, sizeof(int64_t));
    double values[4];
    std::memcpy(values, record + sizeof(int64_t), sizeof(values));
    com.frequency1 = values[0];
    com.transmit1 = values[1];
    com.frequency2 = values[2];
    com.transmit2 = values[3];
    return com;
}

// The frequency the user transmits on, when a transmission is under way.
std::optional<double> TransmittingFrequency(const ComRecord& com)
{
    if (com.status != 0) return std::nullopt;
    if (com.transmit1 != 0.0) return com.frequency1;
    if (com.transmit2 != 0.0) return com.frequency2;
    return std::nullopt;
}

std::vector<SimObject*> RecordObjects(SimObjectList& list, const CandidateRecord& record)
{
    std::vector<SimObject*> objects;
    for (const int32_t index : record.indices)
        if (SimObject* object = list.At(index)) objects.push_back(object);
    return objects;
}

// The first model with a radio trigger shown on load; -1 when there is none.
int32_t DefaultModelIndex(const SimObject& object)
{
    for (int32_t i = 0; i < object.GetModelCount(); ++i) {
        const SimObjectModel* model = object.GetModel(i);
        if (model->HasFeature(FeatureTriggVisibilityRadio) && model->GetTriggVisibility()->IsVisibleOnLoad()) return i;
    }
    return -1;
}

void CheckRadioRecord(SimObject& lead, const ComRecord& com)
{
    TriggVisibilityData* trigger = CurrentTrigger(lead);
    if (!trigger) return;
    const std::optional<double> frequency = ParseDecimal(trigger->GetInputName(0));
    if (!frequency) return;
    const std::optional<double> transmitting = TransmittingFrequency(com);
    if (!transmitting) return;

    program::RadioClick().Play();
    if (!(std::fabs(*frequency - *transmitting) < kFrequencyTolerance)) return;
    if (trigger->IsTriggered()) trigger->IncrementCounter();
    else trigger->StartTrigger();
}

void ShowTriggered(SimObject& object, const char* reason)
{
    TriggVisibilityData* trigger = CurrentTrigger(object);
    if (!trigger) return;
    SetPair(*trigger, false, true);
    trigger->SetState(true);
    FSProcess::InjectSimObject(&object, reason);
}

// In the simulator: the new current model is marked to show, the old one to go, and the current index goes
// back to the old model so that the injection replaces one by the other.
void MarkModelSwitch(SimObject& object, int16_t previous)
{
    SetPair(*CurrentTrigger(object), true, true);
    object.SetCurrentModelIndex(previous);
    SetPair(*CurrentTrigger(object), false, false);
}

void SwitchToVariant(SimObject& object, int16_t variant, bool leadPresent)
{
    const int16_t previous = object.GetCurrentModelIndex();
    // A group member follows the lead onto the same variant; one without it stays as it is.
    if (!object.GetModel(variant) || !object.GetModel(previous)) return;
    object.SetCurrentModelIndex(variant);
    if (leadPresent) {
        if (variant == previous) return;
        MarkModelSwitch(object, previous);
    } else {
        SetPair(*CurrentTrigger(object), false, true);
        CurrentTrigger(object)->SetState(true);
    }
    FSProcess::InjectSimObject(&object, "TriggVis Radio Click Controlled: Variant Activation");
}

// Another model of the lead whose trigger takes the clicks; the last such model wins. -1 when none does.
int16_t ActivateVariant(SimObject& lead, int32_t clicks)
{
    int16_t variant = -1;
    for (int32_t i = 0; i < lead.GetModelCount(); ++i) {
        if (i == lead.GetCurrentModelIndex()) continue;
        TriggVisibilityData* trigger = lead.GetModel(i)->GetTriggVisibility();
        if (!trigger->Activate(clicks)) continue;
        trigger->ResetCounter();
        trigger->StartCountdown();
        variant = static_cast<int16_t>(i);
    }
    return variant;
}

void MatchClicks(SimObjectList& list, const CandidateRecord& record, SimObject& lead, TriggVisibilityData& trigger)
{
    const int32_t clicks = trigger.GetCounter();
    const std::vector<SimObject*> objects = RecordObjects(list, record);
    if (trigger.Activate(clicks)) {
        trigger.ResetCounter();
        if (lead.IsInSimulation()) {
            trigger.StartCountdown();
            return;
        }
        for (SimObject* object : objects) ShowTriggered(*object, "TriggVis Radio Click Controlled: Activation");
        return;
    }
    if (!lead.HasMultipleModels()) return;
    const int16_t variant = ActivateVariant(lead, clicks);
    if (variant < 0) return;
    const bool leadPresent = lead.IsInSimulation();
    for (SimObject* object : objects) SwitchToVariant(*object, variant, leadPresent);
}

void ShowCountdownWarning(SimObject& lead, const TriggVisibilityData& trigger)
{
    std::string text = "[VELK] " + lead.GetCurrentSimTitle() + " will " + trigger.GetInputName(2) + " in " +
                       std::to_string(trigger.GetCountdown()) + "sec!";
    if (lead.HasVisibleOnLoadModel())
        text += " Reverting to " + lead.GetVisibleOnLoadSimTitle() + " after countdown...";
    Sim().PrintMessage(text);
}

void ReplaceWithDefault(SimObject& object)
{
    const int16_t previous = object.GetCurrentModelIndex();
    const int32_t fallback = DefaultModelIndex(object);
    if (!CurrentTrigger(object) || fallback < 0 || fallback == previous) return;
    CurrentTrigger(object)->StartCountdown();
    object.SetCurrentModelIndex(static_cast<int16_t>(fallback));
    CurrentTrigger(object)->StartCountdown();
    MarkModelSwitch(object, previous);
    FSProcess::InjectSimObject(&object, "TriggVis Radio Click Controlled: Elapsed! Replace with Default");
}

void RemoveWithoutDefault(SimObject& object)
{
    TriggVisibilityData* trigger = CurrentTrigger(object);
    if (!trigger) return;
    object.SetCreatedSimTitle("");
    trigger->StartCountdown();
    trigger->SetState(false);
    SetPair(*trigger, true, false);
    FSProcess::InjectSimObject(&object, "TriggVis Radio Click Controlled: Elapsed! Remove without Default");
}

void TickCountdown(SimObjectList& list, const CandidateRecord& record, SimObject& lead)
{
    TriggVisibilityData* trigger = CurrentTrigger(lead);
    if (!trigger || !lead.IsInSimulation() || !trigger->IsCountdownActive()) return;
    trigger->DecrementCountdown();
    if (trigger->IsCountdownBelow(kCountdownWarningSeconds) && trigger->IsActionGiven())
        ShowCountdownWarning(lead, *trigger);
    if (!trigger->IsCountdownExpired()) return;

    trigger->ClearCountdownActive();
    const int32_t fallback = DefaultModelIndex(lead);
    if (fallback == lead.GetCurrentModelIndex()) return;
    for (SimObject* object : RecordObjects(list, record)) {
        if (fallback >= 0) ReplaceWithDefault(*object);
        else RemoveWithoutDefault(*object);
    }
}

void TickRadioRecord(SimObjectList& list, const CandidateRecord& record, SimObject& lead)
{
    TriggVisibilityData* trigger = CurrentTrigger(lead);
    if (!trigger) return;
    if (trigger->IsTriggered()) {
        trigger->DecrementWindow();
        if (trigger->IsWindowReached()) {
            trigger->ClearTriggered();
            MatchClicks(list, record, lead, *trigger);
        }
    }
    TickCountdown(list, record, lead);
}

// ---- jetway lights --------------------------------------------------------------------------------------

bool JetwayLightsOn(const EnviroDataProbe* probe)
{
    const SeasonalObjectHandler* seasonal = Parts().seasonal.get();
    const int32_t timeOfDay = seasonal ? seasonal->GetTimeOfDay() : 0;
    if (timeOfDay == 1 || timeOfDay == 3 || timeOfDay == 4) return true;
    return probe && probe->GetVisibility() < probe->GetLowVisibilityThreshold();
}

void SetJetwayLights(SimObjectModel* model, bool on)
{
    if (!model) return;
    Jetway& jetway = *model->GetJetway();
    BitField64 word = jetway.GetStateWord();
    if (on) word.SetBit(1);
    else word.ClearBit(1);
    jetway.SetStateWord(word);
}

}  // namespace

namespace FSProcess {

void AnimateObjectsPerFrame()
{
    SimObjectList* list = Parts().activeObjects.get();
    if (!list) return;
    const bool paused = IsSimPaused();
    ForEachIndexed(list->GetAnimatedIndices(), *list, [&](SimObject& object) { AnimateObject(object, paused); });
}

void UpdateSeparationPlanes()
{
    SimObjectList* list = Parts().activeObjects.get();
    if (!list) return;
    const UserAircraft& user = list->GetUserAircraft();
    ForEachIndexed(list->GetSeparationPlaneIndices(), *list,
                   [&](SimObject& object) { UpdateSeparationPlane(object, user); });
}

void UpdateVariableDrivenRotations()
{
    SimObjectList* list = Parts().activeObjects.get();
    if (!list) return;
    const UserAircraft& user = list->GetUserAircraft();
    ForEachIndexed(list->GetRotationIndices(), *list, [&](SimObject& object) { RotateObject(object, user); });
}

void UpdateGroundPolygonShift()
{
    SimObjectList* list = Parts().activeObjects.get();
    if (!list) return;
    const double userAltitude = list->GetUserAircraft().GetAltitude();
    ForEachIndexed(list->GetGroundShiftIndices(), *list,
                   [&](SimObject& object) { ShiftGroundPolygon(object, userAltitude); });
}

void UpdateRadioClickTriggers(bool check, const uint8_t* record, size_t size)
{
    SimObjectList* list = Parts().activeObjects.get();
    if (!list) return;
    std::optional<ComRecord> com;
    if (check) {
        com = ReadComRecord(record, size);
        if (!com) return;
    }
    const UserAircraft& user = list->GetUserAircraft();
    const std::vector<CandidateRecord>& candidates = list->GetRadioCandidates();
    for (const CandidateRecord& candidate : candidates) {
        if (candidate.indices.empty()) continue;
        SimObject* lead = list->At(candidate.indices.front());
        if (!lead || !WithinTriggerRange(*lead, user)) continue;
        if (check) CheckRadioRecord(*lead, *com);
        else TickRadioRecord(*list, candidate, *lead);
    }
}

void UpdateProximityTriggers()
{
    SimObjectList* list = Parts().activeObjects.get();
    if (!list) return;
    const UserAircraft& user = list->GetUserAircraft();
    ForEachIndexed(list->GetProximityIndices(), *list, [&](SimObject& object) { ApplyProximity(object, user); });
}

void ApplyTimeOfDayToJetway(SimObject* object, EnviroDataProbe* probe)
{
    if (!object || !object->HasObjectFeature(FeatureJetway)) return;
    const bool on = JetwayLightsOn(probe);
    SimObjectModel* sent = object->GetCurrentModel();
    if (object->HasMultipleModels()) {
        SetJetwayLights(object->GetModel(0), on);
        sent = object->GetModel(1);
    }
    SetJetwayLights(sent, on);
    if (!sent || object->GetObjectId() == 0) return;
    const double word = sent->GetJetway()->GetStateWord().ToDouble();
    Sim().SetVelocityWorldZ(object->GetObjectId(), &word);
}

}  // namespace FSProcess
