// Jetway jobs for the user aircraft: the stand the aircraft stands at, docking and undocking by the
// aircraft's state or a menu choice, and the module's reports of jobs that moved or finished. Also the
// four-second checks, the aircraft variables and the loaded aircraft's configuration.
#include "app/FSProcess.h"

#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "aircraft/AircraftConfigData.h"
#include "aircraft/AircraftParameters.h"
#include "foundation/StringUtils.h"
#include "guidance/StandFacilitiesTextMenu.h"
#include "guidance/StandTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "jetway/AIMonitor.h"
#include "jetway/JetwayControl.h"
#include "jetway/JetwayHandler.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "jetway/core/JetwayCodec.h"
#include "link/ApiCodec.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"

#include <log4cpp/Category.hh>

#include <cstring>
#include <optional>
#include <vector>

using namespace velk_ids;
using program::CurrentJetway;
using program::FindActiveObject;
using program::FindJetwayObject;
using program::Flags;
using program::IsDebugMode;
using program::LoopLog;
using program::Parts;
using program::Sim;
using program::SoundJetway;
using program::User;

namespace {

constexpr double kAiScanCeilingFeet = 18000.0;
constexpr double kRollingKnots = 0.1;
constexpr double kDockedStandRadius = 24.0;

void ShowStandsMenuAgain()
{
    Sim().TransmitEventWithDataLowPriority(EventShowStandsMenu, static_cast<DWORD>(Flags().lastMainMenuRequest));
}

// A finished job of a jetway that an API client registered: the answer goes back to the client.
void ReportApiJob(uint32_t id, JetwayData& received, bool aborted, bool mismatch)
{
    uint32_t status = 0;
    SimObject* object = FindJetwayObject(id);
    if (!object) {
        status = aborted ? api_wire::kTriggerAborted : api_wire::kTriggerGone;
    } else if (Jetway* jetway = CurrentJetway(*object); jetway && aborted) {
        program::WriteRestPose(*object, *jetway);
        jetway->SetMoving(false);
        jetway->SetAbortRequested(false);
        status = api_wire::kTriggerAborted;
    } else if (jetway) {
        received.OutChannel = 0;
        const bool dockedBefore = jetway->IsDocked();
        jetway->SetJetwayData(received);
        if (mismatch) {
            jetway->SetMoving(false);
            jetway->SetDocked(!dockedBefore);
        }
        if (Jetway* sound = SoundJetway(*object)) sound->StopSound();
        status = received.Docked ? api_wire::kTriggerDocked : api_wire::kTriggerUndocked;
    }
    api_wire::Area answer{};
    api_wire::EncodeTriggerStatus(api_wire::StatusAnswer{id, status, api_wire::kVersion}, answer);
    Sim().SendApiDataOut(answer);
    const bool aiOccupant = object && object->GetStandData().IsOccupiedByAI();
    Sim().TransmitEventWithData(EventJetwayTriggerStatus, aiOccupant ? id * 10 + status : 0);
}

// An AI job's jetway whose aircraft left: the stand is free again and the jetway goes back to its static
// model.
void ReleaseAiStand(SimObject& object, const char* logLine, const char* reason)
{
    StandData& stand = object.GetStandData();
    stand.SetOccupiedByAI(false);
    stand.SetOccupantId(0);
    FSProcess::ReopenStandsMenu();
    if (!object.HasMultipleModels()) return;
    LoopLog().info("%s", logLine);
    object.SelectModel(0);
    FSProcess::InjectSimObject(&object, reason);
}

// A finished job of one of the program's own jetways.
void ReportInternalJob(SimObject* object, JetwayData& received, bool aborted, bool mismatch, bool aiJob)
{
    if (aborted) {
        received.AbortRequested = false;
        received.Moving = false;
    }
    if (!object) return;
    Jetway* jetway = CurrentJetway(*object);
    if (!jetway) return;
    received.OutChannel = 0;
    const bool dockedBefore = jetway->IsDocked();
    const JetwayData present = jetway->GetRecord();
    jetway->SetJetwayData(received);
    if (mismatch) {
        jetway->SetMoving(false);
        jetway->SetDocked(!dockedBefore);
        if (Parts().linkedObjectHandler) Parts().linkedObjectHandler->OnPartCreated(object, present);
    }
    if (Jetway* sound = SoundJetway(*object)) sound->StopSound();

    StandFacilitiesTextMenu& standOps = program::StandOpsMenu();
    const JetwayHandler* handler = Parts().jetwayHandler.get();
    if (handler && !handler->HasQueued() && !aiJob && standOps.GetAutoDockState() == 2)
        standOps.SetAutoDockState(0);
    if (!aiJob) return;
    if (!jetway->IsDocked()) {
        if (jetway->IsMoving()) LoopLog().warn("[JETWAY CONTROL SYSTEM:AI] Danger! Mismatch in Object IDs due to client data invalidation!!!");
        ReleaseAiStand(*object,
                       "[JETWAY CONTROL SYSTEM:AI] Jetway undocked but AI pushed back or vanished during movement! "
                       "Trying to swap to static mode",
                       "Active undocked Jetway Removal due to AI Object removed");
        return;
    }
    AIMonitor* monitor = Parts().aiMonitor.get();
    const uint32_t occupant = object->GetStandData().GetOccupantId();
    if (monitor && (occupant == 0 || !monitor->FindAIObject(static_cast<int32_t>(occupant)))) {
        if (jetway->IsMoving())
            LoopLog().warn("[JETWAY CONTROL SYSTEM:AI] Danger! Jetway is moving?! Mismatch in Object IDs due to client data "
                           "invalidation!!!");
        ReleaseAiStand(*object,
                       "[JETWAY CONTROL SYSTEM:AI] Jetway docked but AI pushed back or vanished during movement! "
                       "Trying to swap to static model.",
                       "Active docked Jetway Removal due to AI Object removal");
    }
}

}  // namespace

namespace FSProcess {

bool TriggerJetway(int32_t origin)
{
    JetwayControl* control = Parts().jetwayControl.get();
    return control && control->TriggerJetway(origin);
}

bool OperateJetwayForUser(SimObject& jetway, const std::string& door, bool queueOnly)
{
    JetwayControl* control = Parts().jetwayControl.get();
    return control &&
           control->OperateJetwayForUser(jetway, door, jetway_control::kSourceMenu, false, nullptr, queueOnly);
}

void On4SecEvent()
{
    program::Components& parts = Parts();
    UserAircraft* user = User();
    if (!user) return;
    const Settings* settings = parts.settings.get();
    if (user->GetAltitude() < kAiScanCeilingFeet && settings && settings->IsAiDetectionEnabled()) {
        if (parts.activeObjects->AllRequestedCreated()) {
            if (AIMonitor* monitor = parts.aiMonitor.get())
                LoopLog().debug("[AI DETECTION] N monitored AIObjects = %d, Primary/Chained Jobs:{%d/%d}, Tracked Jobs: {%d}",
                                static_cast<int>(monitor->GetMonitoredCount()),
                                static_cast<int>(monitor->GetTrackedJobCount()),
                                static_cast<int>(monitor->GetPrimaryJobCount()),
                                parts.jetwayHandler ? static_cast<int>(parts.jetwayHandler->GetMovingCount()) : 0);
            Sim().RequestAiAircraftScan();
        } else if (IsDebugMode()) {
            LoopLog().debug("[AI DETECTION] Not all jetways are injected yet...waiting...");
        }
    }
    if (settings && settings->IsAircraftStateTriggeredAutoDockingEnabled() &&
        !program::StandMenu().GetSelectedStand().IsSelectedByApi() && user->IsOnGround())
        OnUserAircraftStateChange();
    CheckUserLeftStand();
}

void OnUserAircraftStateChange()
{
    UserAircraft* user = User();
    if (!user || program::StandOpsMenu().IsDisplayed() || user->IsSlewActive() ||
        user->GetGroundVelocity() > kRollingKnots)
        return;
    const bool selected = program::StandMenu().IsStandSelected();
    if (!user->HasAssignedExit()) {
        if (!user->IsParkingBrakeSet() || user->IsBeaconOn() || user->AreEnginesRunning()) return;
        if (FindNearestAirport() == "NONE") return;
        if (selected || SelectUserAircraftStand(*user, false)) DockUserJetways(0);
        return;
    }
    if (user->IsBeaconOn() && !user->AreEnginesRunning() && selected) UndockUserJetways(0);
}

bool SelectUserAircraftStand(UserAircraft& user, bool showMessage)
{
    program::Components& parts = Parts();
    if (!parts.jetwayHandler || !parts.activeObjects) return false;
    const std::vector<SimObject*> near = parts.jetwayHandler->FindJetwaysNear(
        *parts.activeObjects, user.GetLatitude(), user.GetLongitude(), user.GetHeadingRadians(), false);
    program::NearestByKey stands;
    for (SimObject* jetway : near)
        if (jetway && jetway->GetStandMembership().second == Flags().lastMainMenuRequest)
            stands.Record(program::StandKey(jetway->GetStandData()), jetway->GetSortValue1());
    const std::optional<std::string> best = stands.Nearest(program::kStandSearchMetres);
    if (!best) return false;
    std::vector<std::string> parts5;
    SplitString(*best, ':', parts5);
    if (parts5.size() != 5) return false;

    StandTextMenu& menu = program::StandMenu();
    menu.OnSelect(parts5[0] + ":" + parts5[1]);
    if (parts.vdgsHandler) menu.CollectStands(parts5[0], *parts.jetwayHandler, *parts.vdgsHandler);
    if (!parts5[3].empty() && !menu.GetDesignatorMap().empty()) {
        menu.OnSelect(parts5[3]);
        menu.ParseStandNumber(parts5[4]);
    } else {
        menu.OnSelect(parts5[0] + ":" + parts5[1]);
        menu.ParseStandNumber(parts5[2]);
    }
    ActivateStandVdgs(showMessage);
    menu.BackupSelection();
    return true;
}

bool DockUserJetways(int32_t origin)
{
    program::Components& parts = Parts();
    UserAircraft* user = User();
    JetwayHandler* handler = parts.jetwayHandler.get();
    if (!user || !handler) return false;
    program::StandOpsMenu().SetAutoDockState(2);
    handler->ClearPendingDoors();
    const StandData stand = program::StandMenu().GetSelectedStand();
    uint32_t alternative = 0;
    const std::map<uint32_t, std::string> pairs = handler->MatchDoorsToStandJetways(stand, *user, &alternative);
    if (pairs.empty() && stand.IsSet() && user->HasExits()) {
        const StandJetwayInfo info =
            handler->GetStandJetwayInfo(stand.GetAirportIcao(), stand.GetGateName(),
                                        static_cast<uint32_t>(stand.GetParkingNumber()));
        std::vector<std::string> doors;
        for (const auto& [name, exit] : user->GetExits()) doors.push_back(name);
        std::vector<int32_t> indices(info.multiIndices, info.multiIndices + info.Entries());
        if (info.count > 0) program::SayNoJetwayServes("[JETWAY CONTROL SYSTEM]", "the user aircraft", doors, stand, indices);
    }
    const bool single = pairs.size() == 1;
    for (const auto& [id, door] : pairs) {
        SimObject* object = FindActiveObject(id);
        if (!object || !CurrentJetway(*object) || CurrentJetway(*object)->IsMoving() || object->IsRecreatePending())
            break;
        const bool solved = OperateJetwayForUser(*object, door, true);
        const bool useAlternative =
            single && alternative != 0 && handler->StandJetwaysCross(stand, *parts.activeObjects);
        if (solved && !useAlternative) {
            user->SelectExit(door, static_cast<int32_t>(id));
            continue;
        }
        handler->RemovePending(id);
        handler->UnregisterJetway(id);
        user->SelectExit(door, -1);
        if (single && alternative != 0) {
            SimObject* other = FindActiveObject(alternative);
            if (!other) break;
            if (OperateJetwayForUser(*other, door, true)) user->SelectExit(door, static_cast<int32_t>(alternative));
        }
    }
    const bool started = TriggerJetway(origin);
    if (started) user->StoreStandPosition(kDockedStandRadius);
    return started;
}

bool UndockUserJetways(int32_t origin)
{
    UserAircraft* user = User();
    JetwayHandler* handler = Parts().jetwayHandler.get();
    if (!user || !handler) return false;
    program::StandOpsMenu().SetAutoDockState(2);
    handler->ClearPendingDoors();
    const std::vector<uint32_t> ids = handler->ListDoorJetways(program::StandMenu().GetSelectedStand(), *user);
    bool allFound = !ids.empty();
    for (uint32_t id : ids) {
        if (!FindActiveObject(id)) {
            allFound = false;
            break;
        }
        for (const auto& [door, exit] : user->GetExits())
            if (exit.GetJetwayId() == static_cast<int32_t>(id)) handler->NoteJobDoor(id, door);
        handler->AddPendingDoor(id);
    }
    // An undocking that starts nothing leaves nothing queued and no automatic docking running.
    if (allFound) {
        user->ResetExitStates();
        if (TriggerJetway(origin)) return true;
    }
    handler->ClearPendingDoors();
    program::StandOpsMenu().SetAutoDockState(StandFacilitiesTextMenu::kAutoDockIdle);
    return false;
}

void OnJetwayDone(DWORD data)
{
    const uint32_t id = data / 10;
    const uint32_t area = data % 10;
    JetwayHandler* handler = Parts().jetwayHandler.get();
    if (id == 0) {
        program::PeerLog(log4cpp::Priority::ERROR, "[DLL:CLIENTDATA] Report of jetway 0 dropped (data %u)",
                         static_cast<unsigned>(data));
        return;
    }
    // Any client can send this event: only a job that waits for its end is finished by it, once.
    if (!handler || !handler->IsRegistered(id) || handler->IsAwaitingReport(id)) {
        program::PeerLog(log4cpp::Priority::ERROR, "[DLL:CLIENTDATA] Report of jetway %u with no job waiting, dropped",
                         static_cast<unsigned>(id));
        return;
    }
    handler->PushAwaitingReport(id);
    if (!Sim().RequestJetwayDataOut(area)) {
        handler->RemoveAwaitingReport(id);
        program::PeerLog(log4cpp::Priority::FATAL, "[DLL:CLIENTDATA] Invalid Client Data Area Channel '%d' received!",
                         static_cast<int>(area));
    }
}

void OnJetwayIntermediate(DWORD data)
{
    if (data == 0) return;
    SimObject* object = FindJetwayObject(data);
    JetwayHandler* handler = Parts().jetwayHandler.get();
    // Any client can send this event: a jetway without a job running has no phase to report.
    if (!object || !handler || !handler->IsRegistered(data)) return;
    if (handler->IsMovingId(data)) {
        OnAiJetwayIntermediate(data, *object);
        return;
    }
    bool pendingEmpty = true;
    const bool wasPending = handler->RemovePendingEx(data, &pendingEmpty);
    if (wasPending && !pendingEmpty)
        TriggerJetway(handler->IsActive(data) ? jetway_control::kSourceApiActive : jetway_control::kSourceMenu);
}

void OnJetwayReport(const uint8_t* record, size_t size)
{
    program::Components& parts = Parts();
    JetwayHandler* handler = parts.jetwayHandler.get();
    if (!handler) return;
    const uint32_t id = handler->FrontAwaitingReport();
    JetwayData received;
    if (!DecodeJetwayData(record, size, received)) {
        program::PeerLog(log4cpp::Priority::ERROR, "[DLL:CLIENTDATA] Jetway report of %u bytes could not be read, dropped",
                         static_cast<unsigned>(size));
        if (id != 0) handler->RemoveAwaitingReport(id);
        return;
    }
    // A report that no job waits for is dropped: nothing is looked up under id 0.
    if (id == 0) {
        program::PeerLog(log4cpp::Priority::ERROR, "[DLL:CLIENTDATA] Jetway report of jetway %u with no job waiting, dropped",
                         static_cast<unsigned>(received.JetwayObjectId));
        return;
    }
    handler->RemoveAwaitingReport(id);
    const bool aborted = received.AbortRequested;
    const bool mismatch = received.JetwayObjectId != id;
    if (mismatch) received.JetwayObjectId = id;

    handler->UnregisterJetway(id);
    const bool aiJob = handler->RemoveMoving(id);
    SimObject* object = FindActiveObject(id);
    if (handler->EraseActive(id) != 0) ReportApiJob(id, received, aborted, mismatch);
    else ReportInternalJob(object, received, aborted, mismatch, aiJob);

    if (aborted && object) SetStandJetwaysActive(false, object);
    ToggleAiTrafficDetection();
    if (program::StandOpsMenu().IsDisplayed() && !aiJob) ShowStandsMenuAgain();
}

void OnAircraftVariables(const uint8_t* record, size_t size)
{
    UserAircraft* user = User();
    if (!user) return;
    if (!user->UsesLVars()) {
        user->SetBeaconOverride(false, false);
        user->SetParkingBrakeOverride(false, false);
        return;
    }
    double values[3] = {};
    if (!record || size < sizeof(values)) return;
    std::memcpy(values, record, sizeof(values));
    if (user->GetLVarProfile() != 2) return;
    user->SetBeaconOverride(true, values[1] > 0.5);
    user->SetParkingBrakeOverride(true, values[0] > 0.5);
}

void OnAircraftLoaded(const std::string& path)
{
    program::Components& parts = Parts();
    AircraftConfigData* config = parts.aircraftConfig.get();
    UserAircraft* user = User();
    if (!config || !user) return;
    const size_t slash = path.find_last_of('\\');
    config->SetAircraftPath(slash == std::string::npos ? std::string() : path.substr(0, slash + 1));
    config->ReadAircraftData();
    config->SetDoorParameters(parts.aircraftParameters ? parts.aircraftParameters->GetDoorMap() : nullptr);
    config->SetICAOType(parts.vdgsHandler ? parts.vdgsHandler->FindAircraftType(config->GetModelString()) : "");
    user->LoadAircraftConfig(*config);
    if (parts.jetwayControl) parts.jetwayControl->SetAircraftConfig(config);
}

}  // namespace FSProcess
