// Object data answers (user aircraft, probe weather, date and time, ground altitude under an object) and
// the simulator's answers to creation requests.
#include "app/FSProcess.h"

#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "foundation/BitField64.h"
#include "foundation/GeoMath.h"
#include "guidance/GateNumberBox.h"
#include "guidance/VDGSHandler.h"
#include "jetway/JetwayHandler.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "jetway/core/LinkedSimObject.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "objects/EnviroDataProbe.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"
#include "scenery/SimBubble.h"
#include "sound/SoundEngine.h"

#include <log4cpp/Category.hh>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

using namespace velk_ids;
using program::Flags;
using program::IsDebugMode;
using program::LoopLog;
using program::Parts;
using program::SendCreationFinished;
using program::Sim;
using program::User;

namespace {

constexpr size_t kProbeWeatherValues = 6;
constexpr size_t kDateTimeBytes = 4 * sizeof(double) + 4 * sizeof(int32_t);
// The density-altitude display shows five digits, six bits each.
constexpr unsigned kDisplayDigits = 5;
constexpr unsigned kDigitBits = 6;
constexpr double kLargestShownAltitude = 1e15;

// Up to `count` doubles of the record, copied out (records need not be aligned); the number copied.
template <size_t N>
size_t ReadDoubles(const uint8_t* record, size_t size, std::array<double, N>& out)
{
    if (!record) return 0;
    const size_t count = std::min(N, size / sizeof(double));
    std::memcpy(out.data(), record, count * sizeof(double));
    return count;
}

// The day of week arrives one higher on the newer platforms.
bool DayOfWeekAsIs()
{
    const std::string& platform = Flags().targetPlatform;
    return platform != "P3Dv3" && platform != "P3Dv4" && platform != "P3Dv5";
}

// The object with that simulator id in the active list, else among the active probes.
SimObject* FindByObjectId(DWORD objectId)
{
    program::Components& parts = Parts();
    SimObject* object = parts.activeObjects ? parts.activeObjects->FindByObjectId(objectId) : nullptr;
    if (!object && parts.activeProbes) object = parts.activeProbes->FindByObjectId(static_cast<int32_t>(objectId));
    return object;
}

SimObject* FindByRequestId(int32_t requestId)
{
    program::Components& parts = Parts();
    SimObject* object = parts.activeObjects ? parts.activeObjects->FindByRequestId(requestId) : nullptr;
    if (!object && parts.activeProbes) object = parts.activeProbes->FindByRequestId(requestId);
    return object;
}

EnviroDataProbe* LinkedProbe(const SimObject& object)
{
    const int32_t index = object.GetLinkedIndex();
    if (index < 0 || !Parts().activeProbes) return nullptr;
    return Parts().activeProbes->At(index);
}

bool IsLastRequest(uint32_t requestId)
{
    const InjectionQueue* queue = Parts().injectionQueue.get();
    return queue && queue->IsLastRequest(static_cast<int32_t>(requestId));
}

// The creation pass goes on after its last object: the next batch, else the probes, else it ends.
void ContinueCreationPass()
{
    InjectionQueue* queue = Parts().injectionQueue.get();
    if (queue && queue->HasBatches()) {
        FSProcess::RefreshSimBubble();
        return;
    }
    if (!FSProcess::FilterProbeObjects()) SendCreationFinished();
}

// ---- Probe weather ------------------------------------------------------------------------------------

struct WindTurn {
    int64_t change = 0;
    bool positive = false;
};

// The turn from the stored direction to the new one; a probe without a direction yet (-1) turns by all of it.
WindTurn TurnOf(int32_t stored, int32_t now)
{
    const int64_t difference = static_cast<int64_t>(now) - stored;
    WindTurn turn;
    turn.change = stored == -1 ? now : difference;
    turn.positive = difference > 0;
    if (std::llabs(turn.change) > 180) turn.positive = turn.change < 0;
    return turn;
}

double AngleOnAxis(const SimObject& object, RotationAxis axis)
{
    switch (axis) {
    case RotationAxis::Pitch: return object.GetPitch();
    case RotationAxis::Bank: return object.GetBank();
    case RotationAxis::Heading: return object.GetHeading();
    default: return 0.0;
    }
}

void FeedWindDriver(SimObject& object, const EnviroDataProbe& probe, const WindTurn& turn)
{
    SimObjectModel* model = object.GetCurrentModel();
    if (!model) return;
    VDR_WindDirData& driver = *model->GetRotation()->GetWindDirection();
    driver.FeedFromProbe(probe.GetWindDirection(), probe.GetWindVelocity(), turn.positive,
                         static_cast<double>(turn.change));
    const RotationAxis axis = driver.GetAxis();
    if (axis != RotationAxis::None) driver.SetCurrentAngle(AngleOnAxis(object, axis));
}

void ApplyToProbeJetways(EnviroDataProbe& probe)
{
    SimObjectList* active = Parts().activeObjects.get();
    if (!active) return;
    for (int32_t index : active->GetJetwayIndices()) {
        SimObject* object = active->At(index);
        if (object && object->GetLinkedIndex() == probe.GetLinkedIndex() && object->HasObjectFeature(FeatureJetway))
            FSProcess::ApplyTimeOfDayToJetway(object, &probe);
    }
}

void UpdateProbeClients(EnviroDataProbe& probe, const WindTurn& turn)
{
    InjectionQueue* queue = Parts().injectionQueue.get();
    // A copy: a client's re-creation must not disturb the walk.
    const std::vector<SimObject*> clients = probe.GetClients();
    for (SimObject* object : clients) {
        if (!object) continue;
        const int32_t request = FSProcess::InjectSimObject(object, "Enviro Data update.");
        if (request != 0 && queue) {
            queue->SetLastRequestId(request);
            queue->SetPassStarted(true);
        }
        if (object->HasObjectFeature(FeatureDensityAltitudeDisplay)) FSProcess::WriteDensityAltitude(object, probe);
        if (object->HasObjectFeature(FeatureRotationByWindDirection)) FeedWindDriver(*object, probe, turn);
    }
}

// ---- Date and time ------------------------------------------------------------------------------------

using DateTimeValues = std::array<int32_t, 8>;

DateTimeValues StoredDateTime(const SeasonalObjectHandler& seasonal)
{
    return {seasonal.GetMonthOfYear(),    seasonal.GetDayOfYear(), seasonal.GetTimeOfDay(),
            seasonal.GetTimeZoneOffset(), seasonal.GetZuluTime(), seasonal.GetLocalYear(),
            seasonal.GetDayOfMonth(),     seasonal.GetDayOfWeek()};
}

void StoreDateTime(SeasonalObjectHandler& seasonal, const uint8_t* record)
{
    double day[4];
    int32_t time[4];
    std::memcpy(day, record, sizeof(day));
    std::memcpy(time, record + sizeof(day), sizeof(time));
    seasonal.SetMonthOfYear(day[0]);
    seasonal.SetDayOfYear(day[1]);
    seasonal.SetDayOfWeek(day[2], DayOfWeekAsIs());
    seasonal.SetDayOfMonth(day[3]);
    seasonal.SetTimeZoneOffset(time[0]);
    seasonal.SetZuluTime(time[1]);
    seasonal.SetTimeOfDay(time[2]);
    seasonal.SetLocalYear(time[3]);
}

// False when the first answer only initialised the values.
bool InitialiseOrRefresh(SeasonalObjectHandler& seasonal)
{
    if (seasonal.IsInitialised()) {
        LoopLog().info("[SEASONALOBJECTHANDLER] Refreshing Season/Time Data...");
        return true;
    }
    const InjectionQueue* queue = Parts().injectionQueue.get();
    LoopLog().info("[SEASONALOBJECTHANDLER] Variables initialized!");
    seasonal.SetInitialised();
    if (!queue || !queue->IsCancelled()) return false;
    seasonal.SetChanged(false);
    Sim().StopDateTimeRequest();
    return true;
}

void ReinjectForDateTime()
{
    program::Components& parts = Parts();
    if (!parts.activeObjects) return;
    SimObjectList& active = *parts.activeObjects;
    for (int32_t i = 0; i < active.Count(); ++i) {
        SimObject* object = active.At(i);
        const bool jetway = object->HasObjectFeature(FeatureJetway);
        if (!jetway && !object->HasObjectFeature(FeatureVDGS)) {
            const int32_t request = FSProcess::InjectSimObject(object, "MOY,DOY/DOM/DOW,TOD,TIME update.");
            if (request != 0 && parts.injectionQueue) parts.injectionQueue->SetLastRequestId(request);
        } else if (jetway) {
            EnviroDataProbe* probe = LinkedProbe(*object);
            if (probe && probe->IsAllJetways()) FSProcess::ApplyTimeOfDayToJetway(object, probe);
        }
    }
}

// ---- Ground altitude ----------------------------------------------------------------------------------

void MoveSoundsTo(SimObject& object)
{
    XYZData at;
    GeoMath::LLAToSimXYZ(object.GetLatitude(), object.GetLongitude(), object.GetAltitude(), at);
    if (object.HasObjectFeature(FeatureTriggAnimationTextMenu) || object.HasObjectFeature(FeatureTriggAnimationProximity) ||
        object.HasObjectFeature(FeatureControllableAnimation)) {
        for (int32_t i = 0; i < object.GetModelCount(); ++i) {
            // Read first: only a model with sounds is changed.
            if (!std::as_const(object).GetModel(i)->HasAnimationSounds()) continue;
            object.GetModel(i)->GetTriggerableAnimation(3)->SetSoundPositions(at.x, at.y, at.z);
        }
    }
    if (!object.HasObjectFeature(FeatureJetway)) return;
    Jetway* jetway = LinkedSimObjectHandler::JetwayOf(&object);
    if (jetway && jetway->IsSoundEnabled()) jetway->UpdateSoundPosition(at.x, at.y, at.z);
}

// ---- Assigned object id -------------------------------------------------------------------------------

// An answer for a creation that is no longer waiting: the new simulated object goes again.
void RemoveUnwanted(SimObject* object, uint32_t request, DWORD newId)
{
    const bool debug = IsDebugMode();
    if (!object) {
        if (debug) LoopLog().debug("RAW Removal of 'old' SimObject! ReqID=%d", static_cast<int>(request));
        Sim().RemoveObject(newId, request);
        return;
    }
    if (debug) LoopLog().debug("Referenced Removal of 'old' SimObject! ReqID=%d", static_cast<int>(request));
    object->SetQuietRecreation(true);
    object->SetCreatedSimTitle(object->GetCurrentSimTitle());
    Sim().RemoveObject(newId, request);
    FSProcess::RemoveSimObject(object, false);
}

// The id belongs to one of the jetway's parts when one is waiting for its object.
bool PlaceWaitingPart(SimObject& object, DWORD newId)
{
    if (!object.HasObjectFeature(FeatureJetway)) return false;
    const Jetway* jetway = LinkedSimObjectHandler::JetwayOf(&object);
    if (!jetway) return false;
    for (uint32_t slot = LinkedSimObjectHandler::kFirstSlot; slot <= LinkedSimObjectHandler::kLastSlot; ++slot) {
        if (!jetway->IsPartInjected(static_cast<int>(slot))) continue;
        FSProcess::PlaceCreatedObject(slot, &object, newId);
        return true;
    }
    return false;
}

void WriteRestPose(SimObject& object)
{
    const DWORD id = object.GetObjectId();
    if (object.HasMultipleModels()) {
        Jetway& dynamic = *object.GetModel(1)->GetJetway();
        dynamic.SetDataValues4(object.GetLatitude(), object.GetLongitude(), object.GetAltitude(), object.GetHeading());
        const JetwayMotionRecord pose = dynamic.ComputeParkedPose();
        object.GetModel(0)->GetJetway()->ComputeParkedPose();
        Sim().SetJetwayMotion(id, &pose);
        if (object.GetCurrentModelIndex() == 0) FSProcess::WriteGateNumber(&object, nullptr);
        return;
    }
    SimObjectModel* model = object.GetCurrentModel();
    if (!model) return;
    program::WriteRestPose(object, *model->GetJetway());
}

// A jetway whose new object replaces the old one once no part is left to create.
void FinishJetwayRecreation(SimObject& object, DWORD oldId, DWORD newId)
{
    const double altitude = object.GetAltitude();
    Sim().SetObjectAltitude(newId, &altitude);
    object.SetObjectId(oldId);
    Sim().RemoveObject(oldId, object.GetRequestId());
    FSProcess::RemoveSimObject(&object, true);
    object.SetRecreatePending(false);
    object.SetInSimulation(true);
    object.SetObjectId(newId);
}

void SettleJetway(SimObject& object, DWORD oldId)
{
    program::Components& parts = Parts();
    const DWORD newId = object.GetObjectId();
    WriteRestPose(object);
    const bool agl = object.IsAltitudeAgl();
    if (!agl) {
        const uint32_t created = parts.linkedObjectHandler ? parts.linkedObjectHandler->InjectMissingParts(
                                                                 &object, oldId, parts.injectionQueue.get())
                                                           : 0;
        if (created == 0 && object.IsRecreatePending()) FinishJetwayRecreation(object, oldId, newId);
    }
    if (!agl || object.IsAltitudeZero()) {
        if (parts.jetwayHandler) parts.jetwayHandler->AddStandJetway(&object);
        Sim().SetSimDisabled(newId);
    }
    if (parts.activeObjects) parts.activeObjects->IncrementCreatedCount();
}

void SettleVdgs(SimObject& object)
{
    SimObjectModel* model = object.GetCurrentModel();
    const DWORD id = object.GetObjectId();
    if (model) {
        VDGS& vdgs = *model->GetVDGS();
        vdgs.SetStateStandby();
        const VdgsDisplayRecord record = vdgs.GetDisplayRecord().ToArray();
        Sim().SetVdgsDisplay(id, &record);
    }
    Sim().SetSimDisabled(id);
    FSProcess::RegisterVdgsDisplay(&object);
    if (Parts().vdgsHandler) Parts().vdgsHandler->RequestActivation();
}

// A probe starts its weather request; any other model is switched to a still object.
void StartSimulation(SimObject& object, const SimObjectModel* model)
{
    const DWORD id = object.GetObjectId();
    if (!model || !model->GetKeepSimEnabled()) {
        Sim().SetSimDisabled(id);
        Sim().FreezeObject(id);
        return;
    }
    const int64_t request = static_cast<int64_t>(object.GetLinkedIndex()) + 1;
    if (request > EnviroDataProbe::kMaxWeatherRequests) {
        LoopLog().error("Environmental Data Probe Handling: Too many EDPs! (>64)");
        return;
    }
    if (!EnviroDataProbe::IsWeatherRequestId(request)) return;
    object.SetRequestId(static_cast<uint32_t>(request));
    if (Parts().injectionQueue) Parts().injectionQueue->IncrementPending();
    Sim().StartProbeRequest(id, static_cast<DWORD>(request));
}

void StartTimer(SimObject& object)
{
    // Read first: only a model with a timer needs to be the object's own.
    const SimObjectModel* shared = std::as_const(object).GetCurrentModel();
    if (!shared || !shared->HasTimer()) return;
    TimerData& timer = *object.GetCurrentModel()->GetTimer();
    if (Parts().simStatus) timer.SetPauseFlagPtr(Parts().simStatus->GetPausedFlag());
    timer.Bind(Sim().GetHandle(), DefVelocityBodyZ, object.GetObjectId());
    timer.Toggle();
}

void AdoptObject(SimObject& object, DWORD newId)
{
    const DWORD oldId = object.GetObjectId();
    object.SetAssigned(true);
    object.SetObjectId(newId);
    object.SetInSimulation(true);
    object.SetCreateRequested(false);
    if (!object.IsQuietRecreation())
        LoopLog().info(" + SimObject '%s' [%s]. ID: %d", object.GetName().c_str(), object.GetCurrentSimTitle().c_str(),
                       static_cast<int>(newId));
    if (object.IsAltitudeAgl()) Sim().RequestObjectAltitude(newId);
    if (newId != 0) {
        const double still = 0.0;
        Sim().SetVelocityBodyY(newId, &still);
        const SimObjectModel* model = std::as_const(object).GetCurrentModel();
        if (object.IsSynchronised() && model) {
            const double state = model->GetAnimationState()->ToDouble();
            Sim().SetVelocityBodyY(newId, &state);
        }
    }
    if (object.HasObjectFeature(FeatureJetway)) SettleJetway(object, oldId);
    if (object.HasObjectFeature(FeatureVDGS)) SettleVdgs(object);
    StartSimulation(object, std::as_const(object).GetCurrentModel());
    StartTimer(object);
    const bool placed = !object.IsAltitudeAgl() || object.IsAltitudeZero();
    if (placed && IsLastRequest(object.GetRequestId())) ContinueCreationPass();
}

}  // namespace

namespace FSProcess {

void OnUserAircraftData(const uint8_t* record, size_t size)
{
    std::array<double, UserAircraft::kSimDataCount> v{};
    if (ReadDoubles(record, size, v) < v.size()) return;
    UserAircraft* user = User();
    if (user && !user->SetFromSimData(v.data(), v.size())) return;
    SoundEngine* engine = Parts().soundEngine.get();
    // Latitude, longitude, altitude, pitch, bank, heading, world velocities x, y, z, ...
    if (engine && !engine->IsDisabled()) engine->UpdateListener(v[0], v[1], v[2], v[5], v[6], v[7], v[8]);

    const program::State& flags = Flags();
    SimBubble* bubble = Parts().simBubble.get();
    if (!bubble || flags.uiPositionChange || !flags.positionInitialised) return;
    const int32_t mode = bubble->CheckForUpdate(v[0], v[1], v[2]);
    if (mode != SimBubble::kNoUpdate) Sim().TransmitEventWithData(EventSimBubbleUpdate, static_cast<DWORD>(mode));
}

void OnUserAircraftState(const uint8_t* record, size_t size)
{
    std::array<double, UserAircraft::kStateDataCount> v{};
    if (ReadDoubles(record, size, v) < v.size()) return;
    if (UserAircraft* user = User()) user->SetStateFromSimData(v.data(), v.size());
}

void OnProbeWeather(DWORD objectId, const uint8_t* record, size_t size)
{
    if (!record || size < kProbeWeatherValues * sizeof(int32_t)) return;
    EnviroDataProbe* probe = Parts().activeProbes ? Parts().activeProbes->FindByObjectId(static_cast<int32_t>(objectId))
                                                  : nullptr;
    if (!probe) {
        LoopLog().error("Environmental Data Probe Handling: EDP not found in list!");
        return;
    }
    int32_t v[kProbeWeatherValues];
    std::memcpy(v, record, sizeof(v));
    const WindTurn turn = TurnOf(probe->GetWindDirection(), v[0]);
    probe->SetWindDirection(v[0]);
    probe->SetWindVelocity(v[1]);
    probe->SetVisibility(v[2]);
    probe->SetPrecipitation(v[3]);
    probe->SetTemperature(v[4]);
    probe->SetSeaLevelPressure(v[5]);

    if (probe->IsAllJetways()) ApplyToProbeJetways(*probe);
    UpdateProbeClients(*probe, turn);

    InjectionQueue* queue = Parts().injectionQueue.get();
    if (!queue) return;
    queue->DecrementPending();
    if (!queue->IsPassStarted() && queue->GetPending() == 0) SendCreationFinished();
}

void OnDateTime(const uint8_t* record, size_t size)
{
    SeasonalObjectHandler* seasonal = Parts().seasonal.get();
    if (!seasonal) return;
    if (!seasonal->IsChanged()) {
        LoopLog().info("[SEASONALOBJECTHANDLER] Skipping update...");
        return;
    }
    if (!record || size < kDateTimeBytes) return;
    const DateTimeValues before = StoredDateTime(*seasonal);
    StoreDateTime(*seasonal, record);
    if (!InitialiseOrRefresh(*seasonal)) return;
    if (StoredDateTime(*seasonal) == before) return;
    ReinjectForDateTime();
    const InjectionQueue* queue = Parts().injectionQueue.get();
    if ((!queue || !queue->HasRequests()) && !seasonal->IsChanged()) {
        seasonal->SetChanged(true);
        Sim().StartDateTimeRequest();
    }
}

void OnGroundAltitude(DWORD objectId, const uint8_t* record, size_t size)
{
    if (!record || size < sizeof(double)) return;
    SimObject* object = FindByObjectId(objectId);
    if (!object) return;
    double ground = 0.0;
    std::memcpy(&ground, record, sizeof(ground));
    // No ground to stand on: the object stays where it is.
    if (!std::isfinite(ground)) return;

    const double height = object->GetAltitude();
    if (ground - height == 0.0)
        LoopLog().debug("Legacy Offset altitude bug code section...not active anymore! pAlt=%f ; pSO->getAlt=%f ; Name=%s",
                        ground, height, object->GetName().c_str());
    object->ApplyGroundElevation(ground, height, true);
    const double altitude = height + ground;
    Sim().SetObjectAltitude(object->GetObjectId(), &altitude);
    MoveSoundsTo(*object);

    object->SetCreatedSimTitle(object->GetCurrentSimTitle());
    Sim().RemoveObject(object->GetObjectId(), object->GetRequestId());
    RemoveSimObject(object, true);
    object->SetQuietRecreation(false);
    InjectSimObject(object, "AGL Object, Workaround recreation");
}

void WriteDensityAltitude(SimObject* object, const EnviroDataProbe& probe)
{
    if (!object) return;
    const double pressureAltitude = object->GetAltitude() + (1013.0 - probe.GetSeaLevelPressure()) * 30.0;
    const double isaTemperature = 15.0 - pressureAltitude * 0.00198;
    const double densityAltitude = pressureAltitude + 118.8 * (probe.GetTemperature() - isaTemperature);
    if (std::isnan(densityAltitude)) return;
    const double bounded = std::clamp(std::ceil(densityAltitude), -kLargestShownAltitude, kLargestShownAltitude);
    int64_t shown = static_cast<int64_t>(bounded) / 10 * 10;

    BitField64 word;
    word.SetRaw((1u << 30) - 1, 0);
    unsigned k = 0;
    do {
        const int64_t digit = shown % 10;
        shown = (shown - digit) / 10;
        // A negative digit is too wide for its group: the group shows blank.
        word.SetBits(k * kDigitBits, k * kDigitBits + kDigitBits - 1, static_cast<uint64_t>(digit));
        ++k;
    } while (shown != 0 && k < kDisplayDigits);
    const double value = word.ToDouble();
    Sim().SetVelocityWorldX(object->GetObjectId(), &value);
}

void OnAssignedObjectId(DWORD requestId, DWORD objectId)
{
    InjectionQueue* queue = Parts().injectionQueue.get();
    uint32_t request = requestId & InjectionQueue::kRequestIdMask;
    if (queue && !queue->ReadTag(requestId, request)) {
        // Sent before a rebuild: its request id may now name another object's creation.
        if (IsDebugMode()) LoopLog().debug("RAW Removal of 'old' SimObject! ReqID=%d", static_cast<int>(request));
        Sim().RemoveObject(objectId, request);
        return;
    }
    SimObject* object = FindByRequestId(static_cast<int32_t>(request));
    const bool waiting = !queue || queue->UnmapObject(static_cast<int32_t>(request));
    if (!waiting) {
        RemoveUnwanted(object, request, objectId);
        return;
    }
    if (!object || PlaceWaitingPart(*object, objectId)) return;
    AdoptObject(*object, objectId);
}

void OnCreateObjectFailed(DWORD sendId)
{
    InjectionQueue* queue = Parts().injectionQueue.get();
    const int32_t request = queue ? queue->TakeRequest(static_cast<int32_t>(sendId)) : 0;
    std::string text;
    if (request != 0) {
        SimObject* object = FindByRequestId(request);
        if (!object) {
            program::SimulatorError("CreationMap mismatch! Unable to find SimObject.");
        } else {
            // A refused part of a jetway frees that part's slot only; the jetway itself stands.
            LinkedSimObjectHandler* parts = Parts().linkedObjectHandler.get();
            if (!parts || parts->OnPartCreationFailed(object, sendId) == 0) {
                object->SetAssigned(false);
                object->SetCreatePending(false);
                object->SetCreateRequested(false);
            }
            text = object->GetNameSuffix() + "::" + object->GetCurrentSimTitle();
            if (queue->IsLastRequest(request)) ContinueCreationPass();
        }
    }
    program::SimulatorError("SimConnect EXCEPTION! Not able to create SimObject '" + text + "'");
}

void WriteGateNumber(SimObject* object, LinkedSimObject* part)
{
    const GateNumberBox* box = Parts().gateNumberBox.get();
    if (!object || !box) return;
    const Jetway* jetway = LinkedSimObjectHandler::JetwayOf(object);
    if (!jetway || jetway->IsPartInjected(1)) return;
    const StandData& stand = object->GetStandData();
    const std::string designator = stand.GetCustomDesignator();
    const size_t n = designator.size();
    if (!stand.HasCustomDesignator() || n < 2 || designator[n - 2] != ' ') return;
    const char letter = designator[n - 1];
    if (letter < 'A' || letter > 'Z') return;
    const GateNumberRecord digits = box->DigitsFromString(letter + stand.GetCustomNumber());
    Sim().SetGateNumberDigits(part ? part->GetObjectId() : object->GetObjectId(), &digits);
}

}  // namespace FSProcess
