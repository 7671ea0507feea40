#include "jetway/JetwayControl.h"

#include "aircraft/AircraftConfigData.h"
#include "aircraft/UserAircraft.h"
#include "jetway/AIMonitor.h"
#include "jetway/IKSolver.h"
#include "jetway/JetwayHandler.h"
#include "link/ApiCodec.h"
#include "link/SimConnectImpl.h"
#include "objects/Jetway.h"
#include "objects/SimObject.h"
#include "objects/SimObjectList.h"
#include "objects/SimObjectModel.h"
#include "platform/simconnect/SimConnect.h"

#include <log4cpp/Category.hh>

#include <array>
#include <cmath>
#include <cstring>

using namespace jetway_control;
using namespace velk_ids;

namespace {

constexpr double kLongitudinalOffset = 0.55;  // metres in front of the door sill

Jetway* CurrentJetway(SimObject& object)
{
    SimObjectModel* model = object.GetCurrentModel();
    return model ? model->GetJetway() : nullptr;
}

bool IsApi(int32_t source) { return source == kSourceApiActive || source == kSourceApiRegistry; }

// The root has to turn towards lower angles than where it was saved: such a jetway goes second.
bool TurnsBack(const JetwayData& r) { return r.TargetRootRotation - r.SavedPose.rootRotation < 0.0; }

}  // namespace

bool SimConnectJetwayControlLink::SendJetwayData(const JetwayData& record)
{
    HRESULT result = E_FAIL;
    return WriteJetwayJob(simConnect_, record, &result) && SUCCEEDED(result);
}

void SimConnectJetwayControlLink::TransmitEventWithData(uint32_t event, uint32_t data)
{
    SimConnect_TransmitClientEvent(simConnect_, SIMCONNECT_OBJECT_ID_USER, event, data,
                                   SIMCONNECT_GROUP_PRIORITY_HIGHEST, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
}

void SimConnectJetwayControlLink::SendApiDataOut(const uint8_t* record, size_t size)
{
    WriteApiAnswer(simConnect_, record, size);
}

JetwayControl::JetwayControl(JetwayControlLink& link, JetwayHandler& handler, IKSolver& solver,
                             SimObjectList& active, UserAircraft& aircraft, const AircraftConfigData* config,
                             AIMonitor* ai, log4cpp::Category* log)
    : link_(link), handler_(handler), solver_(solver), active_(active), aircraft_(aircraft), config_(config),
      ai_(ai), log_(log)
{
}

uint32_t JetwayControl::NextInChannel()
{
    inChannel_ = inChannel_ % kJetwayInAreaCount + 1;
    return inChannel_;
}

SimObject* JetwayControl::FindJetwayObject(uint32_t id, bool* external)
{
    if (external) *external = false;
    if (id == 0) return nullptr;
    if (SimObject* object = active_.FindByObjectId(id)) return object;
    SimObject* object = handler_.FindJetway(id);
    if (object && external) *external = true;
    return object;
}

void JetwayControl::SendApiStatus(uint32_t objectId, uint32_t status, uint32_t eventData)
{
    api_wire::Area record{};
    api_wire::EncodeTriggerStatus(api_wire::StatusAnswer{objectId, status, api_wire::kVersion}, record);
    link_.SendApiDataOut(record.data(), record.size());
    link_.TransmitEventWithData(EventJetwayTriggerStatus, eventData);
}

std::string JetwayControl::DoorProblem(uint32_t objectId, bool useGivenDoor, const double* doorOverride,
                                       const std::string& doorName) const
{
    const std::string jetway = "[JETWAY CONTROL SYSTEM] Jetway [" + std::to_string(objectId) + "]: ";
    if (useGivenDoor) {
        if (doorOverride == nullptr) return jetway + "no door given!";
        for (size_t i = 0; i < kDoorOverrideCount; ++i) {
            if (!std::isfinite(doorOverride[i])) return jetway + "the given door is not a number!";
        }
        return std::string();
    }
    // Without exits there is no door at all: the solver is not asked and a docked jetway still undocks.
    if (aircraft_.HasExits() && !aircraft_.HasExit(doorName)) {
        return jetway + "the aircraft has no door '" + doorName + "'!";
    }
    return std::string();
}

std::string JobStartLine(const SimObject& jetway, bool undocking, const std::string& door, const std::string& aircraft)
{
    return "[JETWAY JOB] Jetway '" + jetway.GetNameSuffix() + "' [" + std::to_string(jetway.GetObjectId()) + "] " +
           (undocking ? "undocking from " : "docking to ") + (door.empty() ? std::string("the door") : "door " + door) +
           " of " + aircraft;
}

bool JetwayControl::OperateJetwayForUser(SimObject& object, const std::string& doorName, int32_t source,
                                         bool useGivenDoor, const double* doorOverride, bool checkOnly)
{
    Jetway* jetway = CurrentJetway(object);
    JetwayData* r = jetway ? jetway->GetJetwayData() : nullptr;
    // A type the motion does not know is as unusable as a jetway without configuration.
    if (!jetway || !jetway->HasConfig() || r->JetwayType < kJetwayTypeA || r->JetwayType > kJetwayTypeH) {
        if (log_) log_->warn("[JETWAY CONTROL SYSTEM] No 'jetway.cfg' found. Unable to move Jetway...");
        // A client that asked waits for an answer: it gets "no solution" rather than silence.
        if (IsApi(source)) SendApiStatus(object.GetObjectId(), kStatusNoSolution, 0);
        return false;
    }
    const uint32_t objectId = object.GetObjectId();
    const bool docked = jetway->IsDocked();
    r->LevelFirst = settings_.forceHorizontalForRotation;
    const bool rotate = r->JetwayType != kJetwayTypeN && r->JetwayType != kJetwayTypeT;
    const double mouth = r->MouthOffset;

    // A door that cannot be placed is refused whether the jetway is docked or not: a docked jetway must
    // not be released for a request that names no real door.
    const std::string problem = DoorProblem(objectId, useGivenDoor, doorOverride, doorName);
    if (!problem.empty()) {
        if (log_) log_->error("%s", problem.c_str());
        if (IsApi(source)) SendApiStatus(objectId, kStatusNoSolution, 0);
        return false;
    }

    bool haveDoor = false;
    LLAData door;
    if (useGivenDoor) {
        const double* o = doorOverride;
        door = aircraft_.OffsetPosition(LLAData(o[0], o[1], o[2]), o[5], o[3], o[4], mouth, kLongitudinalOffset,
                                        rotate);
        jetway->SetDoorLateralOffset(0.0);
        jetway->SetDockingValues(o[5], o[3], o[4], o[6], o[7]);
        haveDoor = true;
    } else if (aircraft_.HasExits()) {
        const DoorParameters* parameters = config_ ? config_->GetDoorParameters(doorName) : nullptr;
        if (parameters == nullptr && !docked && log_) {
            const std::string type = config_ ? config_->GetAtcModel() : std::string();
            log_->warn("[JETWAY CONTROL SYSTEM] No Door Parameters '%s' found for Aircraft Type '%s'!",
                       doorName.c_str(), type.c_str());
        }
        door = aircraft_.GetDockingDoorPosition(doorName, parameters, mouth, kLongitudinalOffset, rotate);
        const ExitData exit = aircraft_.GetExit(doorName);
        jetway->SetDoorLateralOffset(exit.y);
        jetway->SetDockingValues(exit.GetDoorAngle(), exit.GetDoorHeight(), exit.GetVerticalOffset(),
                                 exit.GetDoorValue4(), exit.GetDoorValue5());
        haveDoor = true;
    }

    uint32_t mask = 0;
    bool solved = false;
    if (haveDoor)
        solved = solver_.Solve(&object.GetPlacement(), jetway, aircraft_.GetHeading(), door, !checkOnly, mask);

    if (checkOnly) {
        if (IsApi(source)) SendApiStatus(objectId, solved ? kStatusSolvable : kStatusNoSolution, 0);
        else if (solved) {
            handler_.NoteJobDoor(objectId, useGivenDoor ? std::string() : doorName);
            handler_.AddPendingDoor(objectId);
        }
        return solved;
    }
    if (!solved && !docked) {
        if (IsApi(source)) SendApiStatus(objectId, kStatusNoSolution, 0);
        return false;
    }
    // A docked jetway undocks whether or not the door is still in reach.
    if (docked) {
        aircraft_.AssignJetwayToExit(doorName, -1);
    } else {
        aircraft_.AssignJetwayToExit(doorName, static_cast<int32_t>(objectId));
        aircraft_.StoreStandPosition(UserAircraft::kDockingStandRadius);
    }
    handler_.NoteJobDoor(objectId, useGivenDoor ? std::string() : doorName);
    handler_.AddPendingDoor(objectId);
    TriggerJetway(source);
    return solved;
}

JetwayData JetwayControl::PrepareJob(Jetway& jetway, uint32_t objectId, bool aiTimes)
{
    JetwayData w = jetway.GetRecord();
    if (solver_.IsFastJetways()) {
        w.RootRotationTime = aiTimes ? 1.0 : 2.0;
        w.BridgeExtensionTime = aiTimes ? 1.0 : 2.0;
        w.DipTime = 0.5;
        w.HeadRotationTime = 0.5;
        w.HoodTime = 0.2;
    }
    w.JetwayObjectId = objectId;
    w.AnimationDefinitionId = DefJetwayMotion;
    w.PositionDefinitionId = DefObjectPlacement;
    w.DoneEventId = EventJetwayDone;
    w.IntermediateEventId = EventJetwayIntermediate;
    w.ReportDefinitionId = ClientDefJetwayRecord;
    w.Moving = true;
    w.InChannel = NextInChannel();
    w.ClientDataAreaId = AreaJetwayIn1 + w.InChannel - 1;
    jetway.SetJetwayData(w);
    return w;
}

bool JetwayControl::TriggerJetway(int32_t source)
{
    uint32_t id = handler_.FrontPendingDoor();
    if (id == 0) return false;
    bool external = false;
    SimObject* object = FindJetwayObject(id, &external);
    Jetway* jetway = object ? CurrentJetway(*object) : nullptr;
    if (jetway && handler_.GetPendingDoorCount() > 1 && TurnsBack(jetway->GetRecord())) {
        handler_.SwapFirstPendingDoors();
        id = handler_.FrontPendingDoor();
        object = FindJetwayObject(id, &external);
        jetway = object ? CurrentJetway(*object) : nullptr;
    }
    if (!jetway) {
        if (log_) log_->error("[JCS:TRIGGER] Invalid Jetway ObjID: [%d]!", static_cast<int32_t>(id));
        handler_.ClearPendingDoors();
        return false;
    }

    const JetwayData w = PrepareJob(*jetway, id, false);
    link_.SendJetwayData(w);

    if (settings_.jetwaySoundEnabled) {
        SimObjectModel* model = object->HasMultipleModels() ? object->GetModel(0) : object->GetCurrentModel();
        if (model && model->GetJetway()->IsSoundEnabled()) model->GetJetway()->PlaySound();
    }
    link_.TransmitEventWithData(EventJetwayStart, w.JetwayObjectId * 10 + w.InChannel);
    handler_.RegisterJetway(*jetway);
    if (log_)
        log_->info("%s", JobStartLine(*object, jetway->IsDocked(), handler_.JobDoor(id),
                                      external ? "an API client's aircraft" : "the user aircraft")
                             .c_str());

    if (IsApi(source)) {
        handler_.AddActive(id);
        SendApiStatus(id, jetway->IsDocked() ? kStatusUndocking : kStatusDocking, 0);
    }
    return true;
}

void JetwayControl::SetupAiJetwayPayload(uint32_t jetwayId)
{
    if (jetwayId == 0) return;
    SimObject* object = FindJetwayObject(jetwayId);
    Jetway* jetway = object ? CurrentJetway(*object) : nullptr;
    if (!jetway) {
        if (log_) log_->error("[AI:SETUPJETWAYPAYLOAD] Invalid Jetway ObjID: %d!", static_cast<int32_t>(jetwayId));
        return;
    }
    PrepareJob(*jetway, jetwayId, true);
}

void JetwayControl::DetectAiAtJetway(int32_t aiId)
{
    if (ai_ == nullptr) return;
    uint32_t id = ai_->GetFirstJobOf(aiId);
    if (id == 0) return;
    bool external = false;
    SimObject* object = FindJetwayObject(id, &external);
    Jetway* jetway = object ? CurrentJetway(*object) : nullptr;
    if (jetway && ai_->GetJobCountOf(aiId) > 1 && TurnsBack(jetway->GetRecord())) {
        ai_->SwapFirstJobsOf(aiId);
        id = ai_->GetFirstJobOf(aiId);
        object = FindJetwayObject(id, &external);
        jetway = object ? CurrentJetway(*object) : nullptr;
    }
    if (!jetway) {
        if (log_) log_->error("[AI DETECTION] Invalid Jetway ObjID: %d!", static_cast<int32_t>(id));
        ai_->ProcessJobsOf(aiId);
        return;
    }
    if (!external) return;
    const uint32_t status = jetway->IsDocked() ? kStatusUndocking : kStatusDocking;
    handler_.AddActive(id);
    SendApiStatus(id, status, id * 10 + status);
}
