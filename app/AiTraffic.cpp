// AI traffic: the scan of the aircraft around the user, the docking decisions and the AI jetway jobs.
// Main thread only, inside the dispatch call; the AI monitor takes its own lock.
#include "app/FSProcess.h"

#include "aircraft/AircraftParameters.h"
#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "foundation/StringUtils.h"
#include "foundation/Units.h"
#include "guidance/StandTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "jetway/AIMonitor.h"
#include "jetway/AIObject.h"
#include "jetway/IKSolver.h"
#include "jetway/JetwayControl.h"
#include "jetway/JetwayHandler.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"
#include "scenery/SimObjectsFolderManager.h"

#include <log4cpp/Category.hh>

#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>
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
using program::StandKey;

namespace {

// Definition 26: six doubles, the airport (32 characters), the parking (128), then ATC ID, ATC MODEL and
// TITLE of variable length and the traffic state (32).
constexpr size_t kNumberCount = 6;
constexpr size_t kAirportChars = 32;
constexpr size_t kParkingChars = 128;
constexpr size_t kStateChars = 32;
constexpr size_t kFixedPartBytes = kNumberCount * sizeof(double) + kAirportChars + kParkingChars;

constexpr int32_t kForcedUndockRetries = 4;
constexpr double kToggleMessageSeconds = 3.0;

// Job states of the end-of-scan pass.
constexpr int32_t kStateSleep = 1;
constexpr int32_t kStateClearance = 5;
constexpr int32_t kStateShutdown = 19;

constexpr const char* kUndockableReason = "Active Jetway Insertion/Removal due to AI Object undockable";
constexpr const char* kStaticSwapReason = "Active Jetway Removal due to AI Object undocked/removal";
constexpr const char* kDynamicSwapReason = "Active Jetway Insertion/Removal due to AI Object docking/undocking";

struct ScanRecord {
    double latitude = 0;
    double longitude = 0;
    double altitudeFeet = 0;
    double headingRad = 0;
    double onGround = 0;
    double isUser = 0;
    std::string airport;
    std::string parking;
    std::string atcId;
    std::string atcModel;
    std::string title;
    std::string state;
};

Jetway* ModelJetway(SimObject& object, int32_t index)
{
    SimObjectModel* model = object.GetModel(index);
    return model ? model->GetJetway() : nullptr;
}

// ---- The scan's record ---------------------------------------------------------------------------------

std::string FixedText(const uint8_t* field, size_t size)
{
    const char* text = reinterpret_cast<const char*>(field);
    return std::string(text, strnlen(text, size));
}

// The next string of the record at `at`, read with the simulator's string reader; at moves past it.
bool NextString(const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE& message, DWORD size, size_t& at, size_t limit,
                std::string& out)
{
    auto* recv = const_cast<SIMCONNECT_RECV*>(static_cast<const SIMCONNECT_RECV*>(&message));
    auto* start = const_cast<char*>(reinterpret_cast<const char*>(&message)) + at;
    char* text = nullptr;
    DWORD length = 0;
    if (at >= size || FAILED(SimConnect_RetrieveString(recv, size, start, &text, &length)) || length == 0)
        return false;
    out.assign(text, strnlen(text, std::min<size_t>(length, limit)));
    at += length;
    return true;
}

// The numbers and texts of one answer; false (logged) when the record is cut short or unreadable.
bool ReadScanRecord(const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE& message, DWORD size, ScanRecord& r)
{
    const auto fail = [&](const char* what) {
        LoopLog().error("[AI DETECTION] Scan answer of object [%u] unreadable (%s), skipped",
                        static_cast<unsigned>(message.dwObjectID), what);
        return false;
    };
    if (size < SIMCONNECT_DATA_OFFSET + kFixedPartBytes) return fail("record too short");
    const auto* data = reinterpret_cast<const uint8_t*>(&message) + SIMCONNECT_DATA_OFFSET;
    double numbers[kNumberCount];
    std::memcpy(numbers, data, sizeof(numbers));
    r.latitude = numbers[0];
    r.longitude = numbers[1];
    r.altitudeFeet = numbers[2];
    r.headingRad = numbers[3];
    r.onGround = numbers[4];
    r.isUser = numbers[5];
    for (double value : numbers)
        if (!std::isfinite(value)) return fail("not a number");
    r.airport = FixedText(data + sizeof(numbers), kAirportChars);
    r.parking = FixedText(data + sizeof(numbers) + kAirportChars, kParkingChars);

    size_t at = SIMCONNECT_DATA_OFFSET + kFixedPartBytes;
    if (!NextString(message, size, at, size, r.atcId) || !NextString(message, size, at, size, r.atcModel) ||
        !NextString(message, size, at, size, r.title) || !NextString(message, size, at, kStateChars, r.state))
        return fail("strings out of bounds");
    return true;
}

bool IsAccepted(const ScanRecord& r)
{
    const std::string& s = r.state;
    if (s == "sleep" || s == "shutdown" || s == "flt plan" || s == "preflight support" || s == "clearance") return true;
    if (s == "init") return r.isUser < 1.0;
    if (s == "<unknown>") return r.onGround > 0.5;
    return false;
}

// Steps 2 to 8 of one answer: the aircraft into the monitor's latest pass, or nothing.
void ScanAircraft(const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE& message, DWORD size, AIMonitor& monitor)
{
    ScanRecord r;
    if (!ReadScanRecord(message, size, r) || !IsAccepted(r)) return;

    const std::string folder = Parts().folderManager ? Parts().folderManager->FindAircraftTitle(r.title) : "";
    if (folder.empty()) {
        if (IsDebugMode())
            LoopLog().warn("[AI DETECTION] AI not found in aircraftMap for '%s'. Model: %s", r.title.c_str(),
                           r.atcModel.c_str());
        return;
    }
    // The record keeps its heading in degrees, as its door positions read it.
    const VDGSHandler* vdgs = Parts().vdgsHandler.get();
    AIObject ai(static_cast<int32_t>(message.dwObjectID), r.atcModel + " " + r.atcId, r.state, r.latitude, r.longitude,
                r.altitudeFeet, r.headingRad * units::kDegreesPerRadian, folder, Parts().aircraftParameters.get(),
                vdgs ? &vdgs->GetAircraftTypeTable() : nullptr);
    ai.SetParkingFromSimText(r.airport, r.parking);
    if (r.state == "init") ai.SetJobStatus(AIObject::kStateInitNotUser);
    else if (r.state == "<unknown>") ai.SetJobStatus(AIObject::kStateUnknownOnGround);

    if (!ai.HasExits()) {
        if (IsDebugMode())
            LoopLog().warn("[AI DETECTION] No exits found for '%s'. Model: %s", r.title.c_str(), ai.GetTitle().c_str());
        return;
    }
    if (!monitor.IsAIDetectionEnabled()) return;
    monitor.AddPendingAIObject(ai);
    if (!monitor.IsFirstPassDone()) monitor.PromoteAIObject(ai.GetObjectID());
}

// ---- End of scan ---------------------------------------------------------------------------------------

// Counts a hard reset down; true while one runs.
bool HardResetRunning(AIMonitor& monitor)
{
    const int32_t counter = monitor.GetHardResetCounter();
    if (counter == 0) return false;
    if (IsDebugMode())
        LoopLog().debug("[AI DETECTION] !!! !!! !!! !!! !!! !!! !!! Hard Reset...waiting: %d", static_cast<int>(counter));
    monitor.SetHardResetCounter(counter - 1);
    return true;
}

void FreeStand(SimObject& jetway)
{
    StandData& stand = jetway.GetStandData();
    stand.SetOccupiedByAI(false);
    stand.SetOccupantId(0);
    FSProcess::ReopenStandsMenu();
}

void SwapToStatic(SimObject& jetway, int32_t aiId, bool& skipStaticSwitch)
{
    LoopLog().info("[JETWAY CONTROL SYSTEM:AI] AI [%d] pushed back or REMOVED! Trying to swap to static model...JW [%d]",
                   static_cast<int>(aiId), static_cast<int>(jetway.GetObjectId()));
    jetway.SelectModel(0);
    FSProcess::InjectSimObject(&jetway, kStaticSwapReason);
    skipStaticSwitch = true;
}

// One jetway of an aircraft that has gone: its job ends or it goes back to rest, and its stand is free.
void ReleaseVanishedJetway(AIMonitor& monitor, AIObject& ai, SimObject& object, bool& skipStaticSwitch)
{
    const int32_t aiId = ai.GetObjectID();
    const uint32_t jetwayId = object.GetObjectId();
    if (Jetway* sound = SoundJetway(object)) sound->StopSound();
    Jetway* jetway = CurrentJetway(object);
    if (jetway && jetway->IsMoving()) {
        if (ai.GetStatusFlagB()) return;
        if (IsDebugMode())
            LoopLog().debug("[AI DETECTION] *** *** *** *** *** *** *** Hard Reset! AI [%d], JW [%d]!",
                            static_cast<int>(aiId), static_cast<int>(jetwayId));
        ai.ReleaseDoorOfJetway(static_cast<int32_t>(jetwayId));
        monitor.ProcessJobsOf(aiId);
        const uint32_t recordId = jetway->GetRecord().JetwayObjectId;
        Sim().TransmitEventWithData(EventJetwayAbort, recordId != 0 ? recordId : jetwayId);
        return;
    }
    if (jetway && jetway->IsDocked()) {
        if (!jetway->HasConfig()) {
            LoopLog().warn("[JETWAY CONTROL SYSTEM:AI] 'jetway.cfg' not found/valid!");
            return;
        }
        ai.ReleaseDoorOfJetway(static_cast<int32_t>(jetwayId));
        program::WriteRestPose(object, *jetway);
        if (Parts().linkedObjectHandler) Parts().linkedObjectHandler->MoveParts(&object);
        if (Jetway* marked = ModelJetway(object, object.HasMultipleModels() ? 1 : 0)) marked->SetDocked(false);
        FreeStand(object);
        if (object.HasMultipleModels()) SwapToStatic(object, aiId, skipStaticSwitch);
        return;
    }
    LoopLog().info("[JETWAY CONTROL SYSTEM:AI] Jetway not moving yet, still undocked!!");
    monitor.ProcessJobsOf(aiId);
    FreeStand(object);
    if (object.HasMultipleModels() && object.GetCurrentModelIndex() == 1) SwapToStatic(object, aiId, skipStaticSwitch);
}

void RemoveVanishedAircraft(AIMonitor& monitor, int32_t aiId, bool& skipStaticSwitch)
{
    if (IsDebugMode())
        LoopLog().debug("[AI DETECTION] --- --- --- --- --- --- --- Removed AI object ID: [%d]", static_cast<int>(aiId));
    AIObject* ai = monitor.FindAIObject(aiId);
    if (!ai) return;
    const std::vector<uint32_t> doorJetways = ai->GetDoorJetwayIDs();
    for (uint32_t jetwayId : doorJetways)
        if (SimObject* object = FindJetwayObject(jetwayId)) ReleaseVanishedJetway(monitor, *ai, *object, skipStaticSwitch);
    ai->SetStatusFlagA(false);

    JetwayHandler* handler = Parts().jetwayHandler.get();
    if (handler && ai->HasParkingInfo()) {
        const std::vector<SimObject*> candidates =
            handler->GetStandJetways(ai->GetParkingAirport(), ai->GetParkingGateName(),
                                     static_cast<uint32_t>(ai->GetParkingNumber()), true);
        if (candidates.size() != doorJetways.size()) {
            for (SimObject* candidate : candidates) {
                if (!candidate) continue;
                bool served = false;
                for (uint32_t id : doorJetways) served = served || id == candidate->GetObjectId();
                if (!served) FreeStand(*candidate);
            }
        }
    }
    monitor.RemoveAIObject(aiId);
}

// The jetways of the stand nearest the aircraft (without parking assignment): the stand whose jetways are
// nearest on average, below 5000 m.
std::vector<SimObject*> NearestStandJetways(const AIObject& ai)
{
    JetwayHandler* handler = Parts().jetwayHandler.get();
    SimObjectList* active = Parts().activeObjects.get();
    if (!handler || !active) return {};
    const PlacementData placement = ai.GetPlacement();
    const std::vector<SimObject*> near =
        handler->FindJetwaysNear(*active, placement.GetLatitude(), placement.GetLongitude(),
                                 placement.GetHeading() * units::kRadiansPerDegree, false);
    program::NearestByKey stands;
    for (SimObject* jetway : near)
        if (jetway) stands.Record(StandKey(jetway->GetStandData()), jetway->GetSortValue1());
    const std::optional<std::string> best = stands.Nearest(program::kStandSearchMetres);
    if (!best) return {};
    std::vector<std::string> parts;
    SplitString(*best, ':', parts);
    if (parts.size() != 5) return {};
    int32_t number = 0;
    const std::string& text = parts[2];
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, 10);
    if (error != std::errc() || end != text.data() + text.size()) return {};
    return handler->GetStandJetways(parts[0], parts[1], static_cast<uint32_t>(number), true);
}

// Steps 9.5 to 9.8 for an arriving aircraft.
void DockArrivingAircraft(AIMonitor& monitor, AIObject& ai, bool skipStaticSwitch)
{
    JetwayHandler* handler = Parts().jetwayHandler.get();
    if (!handler) return;
    const int32_t aiId = ai.GetObjectID();
    const std::vector<SimObject*> candidates =
        ai.HasParkingInfo() ? handler->GetStandJetways(ai.GetParkingAirport(), ai.GetParkingGateName(),
                                                       static_cast<uint32_t>(ai.GetParkingNumber()), true)
                            : NearestStandJetways(ai);
    uint32_t masterId = 0;
    if (!ai.BuildDoorNames(candidates, masterId)) return;
    const ExitList exits = ai.RebuildSortedExits();
    if (!ai.HasDoorAssignments() && !exits.empty() && candidates.front()) {
        std::vector<std::string> doors;
        std::vector<int32_t> indices;
        for (const auto& [door, exit] : exits) doors.push_back(door);
        for (const SimObject* jetway : candidates)
            if (jetway) indices.push_back(jetway->GetMultiIndex());
        program::SayNoJetwayServes("[JETWAY CONTROL SYSTEM:AI]", "'" + ai.GetTitle() + "'", doors,
                                   candidates.front()->GetStandData(), indices);
    }
    const bool oneDoor = exits.size() == 1;

    bool occupied = false;
    for (const auto& [door, exit] : exits) {
        SimObject* jetway = ai.GetDoorJetwayObject(door);
        if (!jetway) continue;
        const StandData& stand = jetway->GetStandData();
        if (stand.IsOccupiedByAI() && stand.GetOccupantId() != static_cast<uint32_t>(aiId)) {
            ai.SetStatusFlagC(false);
            ai.SetStatusFlagA(false);
            if (IsDebugMode())
                LoopLog().debug("[AI DETECTION] (AI: %s) [%d] disabled, because it sits on already occupied stand '%s %d'!",
                                ai.GetTitle().c_str(), static_cast<int>(aiId), stand.GetGateName().c_str(),
                                static_cast<int>(stand.GetParkingNumber()));
            occupied = true;
            break;
        }
        const bool ok = FSProcess::DecideAiDocking(jetway, ai, door, skipStaticSwitch, false);
        SimObject* master = masterId != 0 ? FindActiveObject(masterId) : nullptr;
        const bool crossing = oneDoor && masterId != 0 && handler->JetwayPathsCross(master, jetway);
        if (ok && !crossing) continue;

        monitor.RemoveJobEntry(aiId, jetway->GetObjectId());
        ai.AssignJetwayToDoor(door, -1);
        if (crossing) ai.SetDoorJetway(door, nullptr);
        if (oneDoor && masterId != 0) {
            if (IsDebugMode())
                LoopLog().debug(crossing ? "[AI DETECTION] Crossing jetways! Trying master jetway [%d]..."
                                         : "[AI DETECTION] No IK solution! Trying master jetway [%d]...",
                                static_cast<int>(masterId));
            if (!master) break;
            ai.SetDoorJetway(door, master);
            if (!FSProcess::DecideAiDocking(master, ai, door, skipStaticSwitch, false)) ai.SetDoorJetway(door, nullptr);
        } else if (!oneDoor && masterId == 0) {
            ai.SetDoorJetway("1L", jetway);
            ai.SetDoorJetway("2L", nullptr);
            if (!FSProcess::DecideAiDocking(jetway, ai, "1L", skipStaticSwitch, false)) ai.SetDoorJetway("1L", nullptr);
        } else {
            ai.SetDoorJetway(door, nullptr);
        }
    }

    if (!occupied && ai.HasDoorAssignments()) {
        for (uint32_t jetwayId : ai.GetDoorJetwayIDs()) {
            SimObject* object = FindJetwayObject(jetwayId);
            if (!object || !object->HasMultipleModels()) continue;
            const Jetway* jetway = CurrentJetway(*object);
            if (jetway && jetway->HasConfig()) continue;
            if (IsDebugMode())
                LoopLog().info("[AI DETECTION] '%s': Swapping to dynamic model...(AI: %s) [%d]",
                               object->GetNameSuffix().c_str(), ai.GetTitle().c_str(), static_cast<int>(aiId));
            object->SetRecreatePending(true);
            object->SelectModel(1);
            FSProcess::InjectSimObject(object, kDynamicSwapReason);
        }
    }
    if (JetwayControl* control = Parts().jetwayControl.get()) control->DetectAiAtJetway(aiId);
}

void HandleMonitoredAircraft(AIMonitor& monitor, AIObject& ai, bool skipStaticSwitch)
{
    switch (ai.GetJobStatus()) {
    case kStateClearance:
    case AIObject::kStateUnknownOnGround:
        if (ai.GetStatusFlagB() || ai.GetStatusFlagD()) return;
        if (ai.GetStatusFlagA()) {
            ai.IncrementRetryCounter();
            if (ai.HasDoorAssignments()) FSProcess::UndockAiJetway(ai);
        } else {
            ai.SetStatusFlagB(true);
            ai.ResetRetryCounter();
            ai.SetStatusFlagC(false);
        }
        return;
    case kStateSleep:
    case kStateShutdown:
    case AIObject::kStateInitNotUser:
        if (!ai.GetStatusFlagA() && ai.GetStatusFlagC()) DockArrivingAircraft(monitor, ai, skipStaticSwitch);
        return;
    default: return;
    }
}

void EndOfScan(AIMonitor& monitor, bool& skipStaticSwitch)
{
    if (HardResetRunning(monitor)) return;
    monitor.SetFirstPassDone(true);
    for (int32_t aiId : monitor.GetVanishedIDs()) RemoveVanishedAircraft(monitor, aiId, skipStaticSwitch);

    monitor.UpdateMonitoredPlacements();
    monitor.PromoteNewAIObjects();
    monitor.ClearPending();
    if (HardResetRunning(monitor)) return;

    for (int32_t aiId : monitor.GetMonitoredIDs())
        if (AIObject* ai = monitor.FindAIObject(aiId)) HandleMonitoredAircraft(monitor, *ai, skipStaticSwitch);

    const bool busy = monitor.GetTrackedJobCount() != 0;
    monitor.SerializeJobs();
    if (IsDebugMode())
        LoopLog().info("[DEBUG:AI] Jobs after serializing P/C:{%d/%d}", static_cast<int>(monitor.GetTrackedJobCount()),
                       static_cast<int>(monitor.GetPrimaryJobCount()));
    if (busy || monitor.GetTrackedJobCount() == 0) return;
    if (IsDebugMode()) LoopLog().info("[DEBUG:AI] Init trigger jobs to DLL!");
    FSProcess::SendAiJetwayJob();
}

// ---- Docking decision ----------------------------------------------------------------------------------

// The door's values into the jetway and the solver's answer for the door. heading: degrees.
bool SolveForDoor(SimObject& object, Jetway& jetway, AIObject& ai, const std::string& door, uint32_t& mask)
{
    LLAData position = ai.ComputeExitPositions(door, jetway.GetMouthOffset());
    const ExitData exit = ai.GetExit(door);
    jetway.SetDoorLateralOffset(exit.y);
    jetway.SetDockingValues(exit.GetDoorAngle(), exit.GetDoorHeight(), exit.GetVerticalOffset(), exit.GetDoorValue4(),
                            exit.GetDoorValue5());
    mask = 0;
    const IKSolver* solver = Parts().ikSolver.get();
    return solver && solver->Solve(&object.GetPlacement(), &jetway, ai.GetPlacement().GetHeading(), position, false, mask);
}

// The door keeps no jetway; an aircraft without any served door is no longer docked or dockable.
void ReleaseDoor(AIObject& ai, const std::string& door)
{
    ai.AssignJetwayToDoor(door, -1);
    ai.SetDoorJetway(door, nullptr);
    if (!ai.HasDoorWithJetway()) {
        ai.SetStatusFlagA(false);
        ai.SetStatusFlagC(false);
    }
}

std::string FailureText(uint32_t mask)
{
    std::string text;
    IKSolver::FailureText(mask, text);
    return text;
}

// The static model (current) stands for the operable model 1: solve with model 1's jetway.
bool DecideStaticJetway(SimObject& object, AIObject& ai, const std::string& door, bool skipStaticSwitch)
{
    if (skipStaticSwitch) return false;
    Jetway* operable = ModelJetway(object, 1);
    if (!operable || !operable->HasConfig()) return false;
    uint32_t mask = 0;
    if (!SolveForDoor(object, *operable, ai, door, mask)) {
        ReleaseDoor(ai, door);
        LoopLog().warn("[AI DETECTION] Static Jetway '%s' cannot be docked to (AI: %s) [IKErrCode=%d]",
                       object.GetNameSuffix().c_str(), ai.GetTitle().c_str(), static_cast<int>(mask));
        if (IsDebugMode()) {
            std::string text = FailureText(mask);
            if (text.size() >= 4 && text.compare(text.size() - 4, 4, " // ") == 0) text.resize(text.size() - 4);
            LoopLog().warn("[AI DETECTION] >>> IKErrCode as text: '%s'", text.c_str());
        }
        return false;
    }
    if (IsDebugMode())
        LoopLog().info("[AI DETECTION] Static Jetway '%s': IK Solution found. (AI: %s)", object.GetNameSuffix().c_str(),
                       ai.GetTitle().c_str());
    ai.AssignJetwayToDoor(door, static_cast<int32_t>(object.GetObjectId()));
    ai.SetStatusFlagC(true);
    return true;
}

}  // namespace

namespace FSProcess {

bool ToggleAiTrafficDetection()
{
    const JetwayHandler* handler = Parts().jetwayHandler.get();
    if (handler && !handler->IsEmpty()) return true;
    AIMonitor* monitor = Parts().aiMonitor.get();
    if (!monitor || !monitor->IsToggleRequested()) return false;
    monitor->SetToggleRequested(false);
    const bool enable = !monitor->IsAIDetectionEnabled();
    monitor->SetAIDetectionEnabled(enable);
    const char* message = enable ? "[VELK] AI Traffic Detection is now enabled again!"
                                 : "[VELK] AI Traffic Detection is now disabled!";
    Sim().AddTopMenuItem(enable ? "Disable AI Traffic Detection" : "Enable AI Traffic Detection", EventMenuAiDetection);
    Sim().PrintMessageFor(message, kToggleMessageSeconds);
    return false;
}

bool DecideAiDocking(SimObject* jetway, AIObject& ai, const std::string& door, bool skipStaticSwitch, bool apiRequest)
{
    if (!jetway) return false;
    if (FindExit(ai.GetExits(), door) == nullptr) {
        LoopLog().error("[AI DETECTION] (AI: %s) has no door '%s', not docking", ai.GetTitle().c_str(), door.c_str());
        return false;
    }
    AIMonitor* monitor = Parts().aiMonitor.get();
    StandData& stand = jetway->GetStandData();
    stand.SetOccupiedByAI(true);
    stand.SetOccupantId(static_cast<uint32_t>(ai.GetObjectID()));
    ReopenStandsMenu();
    OnStandOccupiedByAi(stand);

    Jetway* current = CurrentJetway(*jetway);
    const uint32_t jetwayId = jetway->GetObjectId();
    if (current && current->HasConfig()) {
        uint32_t mask = 0;
        const bool solved = SolveForDoor(*jetway, *current, ai, door, mask);
        // The jetway is about to be created anew: no decision before it is back.
        if (jetway->IsRecreatePending()) return false;
        if (!solved) {
            ReleaseDoor(ai, door);
            jetway->SelectModel(0);
            LoopLog().warn("[AI DETECTION] Jetway '%s' cannot be docked to (AI: %s) [IKErrCode=%d]",
                           jetway->GetNameSuffix().c_str(), ai.GetTitle().c_str(), static_cast<int>(mask));
            if (IsDebugMode()) LoopLog().warn("[AI DETECTION] => IKErrCode as text: %s", FailureText(mask).c_str());
            if (!apiRequest) InjectSimObject(jetway, kUndockableReason);
            return false;
        }
        if (!current->IsMoving() && !current->IsDocked()) {
            ai.AssignJetwayToDoor(door, static_cast<int32_t>(jetwayId));
            ai.SetStatusFlagA(true);
            ai.SetStatusFlagD(apiRequest);
            if (JetwayHandler* handler = Parts().jetwayHandler.get()) handler->NoteJobDoor(jetwayId, door);
            if (monitor) monitor->AddJob(ai.GetObjectID(), jetwayId);
            if (IsDebugMode())
                LoopLog().info("[AI DETECTION] Jetway '%s' [%d] assigned to (AI: %s) [%d]",
                               jetway->GetNameSuffix().c_str(), static_cast<int>(jetwayId), ai.GetTitle().c_str(),
                               static_cast<int>(ai.GetObjectID()));
        }
        return true;
    }
    if (apiRequest) {
        LoopLog().warn("[JETWAY CONTROL SYSTEM:AI] No 'jetway.cfg' for externally created jetway found/valid! Not docking to AI...");
        return false;
    }
    if (!jetway->HasMultipleModels() || (current && current->IsMoving())) {
        LoopLog().warn("[JETWAY CONTROL SYSTEM:AI] No 'jetway.cfg' found/valid! Not docking to AI...");
        return false;
    }
    return DecideStaticJetway(*jetway, ai, door, skipStaticSwitch);
}

void SendAiJetwayJob()
{
    AIMonitor* monitor = Parts().aiMonitor.get();
    JetwayHandler* handler = Parts().jetwayHandler.get();
    if (!monitor || !handler) return;
    if (monitor->GetTrackedJobCount() == 0 && monitor->GetPrimaryJobCount() == 0) return;
    const uint32_t id = monitor->GetFirstTrackedJob();
    if (id == 0) return;
    SimObject* object = FindJetwayObject(id);
    Jetway* jetway = object ? CurrentJetway(*object) : nullptr;
    if (!jetway) {
        LoopLog().error("[AI DETECTION] Invalid Jetway ObjID: %d!", static_cast<int>(id));
        monitor->RemoveTrackedJob(id);
        while (monitor->RemoveJetwayFromAllJobs(id)) {
        }
        return;
    }
    if (monitor->HasPendingJetways()) return;
    if (handler->IsRegistered(id)) {
        LoopLog().debug("[JETWAY CONTROL SYSTEM:AI] >>>>>>>> JETWAY [%d] ALREADY MOVING! <<<<<<<<<<<<", static_cast<int>(id));
        return;
    }
    JetwayControl* control = Parts().jetwayControl.get();
    if (!control) return;
    control->SetupAiJetwayPayload(id);
    const JetwayData record = jetway->GetRecord();
    if (!Sim().SendJetwayData(record)) {
        LoopLog().error("[JETWAY CONTROL SYSTEM:AI] Jetway [%d] job could not be written (In channel %d)",
                        static_cast<int>(id), static_cast<int>(record.InChannel));
        return;
    }
    Sim().TransmitEventWithData(EventJetwayStart, id * 10 + record.InChannel);
    handler->RegisterJetway(*jetway);
    const uint32_t aiId = object->GetStandData().GetOccupantId();
    LoopLog().info("%s", JobStartLine(*object, jetway->IsDocked(), handler->JobDoor(id),
                                      aiId != 0 ? "AI [" + std::to_string(aiId) + "]" : std::string("an AI aircraft"))
                             .c_str());
    handler->AddMoving(id);
    monitor->AddPendingJetway(id);
    if (IsDebugMode())
        LoopLog().debug("[JETWAY CONTROL SYSTEM:AI] Sent Jetway [%d] Client Data to the DLL...[CHID:%d]",
                        static_cast<int>(id), static_cast<int>(record.InChannel));
}

void UndockAiJetway(AIObject& ai)
{
    AIMonitor* monitor = Parts().aiMonitor.get();
    const ExitList exits = ai.RebuildSortedExitsForUndock();
    // The retry count decides for every door at once: the reset after the first forced door must not
    // leave the others stuck.
    const bool forced = ai.GetRetryCounter() == kForcedUndockRetries;
    for (const auto& [door, exit] : exits) {
        SimObject* object = ai.GetDoorJetwayObject(door);
        if (!object) continue;
        Jetway* jetway = CurrentJetway(*object);
        if (!jetway || !jetway->HasConfig()) {
            LoopLog().warn("[JETWAY CONTROL SYSTEM:AI] No 'jetway.cfg' not found/valid! Not undocking from AI...");
            continue;
        }
        if ((jetway->IsMoving() || !jetway->IsDocked()) && !forced) continue;
        if (forced) {
            jetway->SetDocked(true);
            jetway->SetMoving(false);
        }
        ai.AssignJetwayToDoor(door, -1);
        ai.SetDoorJetway(door, nullptr);
        if (!ai.HasDoorWithJetway()) ai.SetStatusFlagA(false);
        ai.SetStatusFlagB(true);
        ai.ResetRetryCounter();
        ai.SetStatusFlagC(false);
        if (JetwayHandler* handler = Parts().jetwayHandler.get()) handler->NoteJobDoor(object->GetObjectId(), door);
        if (monitor) monitor->AddJob(ai.GetObjectID(), object->GetObjectId());
    }
    if (JetwayControl* control = Parts().jetwayControl.get()) control->DetectAiAtJetway(ai.GetObjectID());
}

void OnAiJetwayIntermediate(uint32_t jetwayId, SimObject& jetway)
{
    AIMonitor* monitor = Parts().aiMonitor.get();
    if (!monitor || jetwayId == 0) return;
    const bool primary = monitor->IsPrimaryJob(jetwayId);
    const auto occupant = static_cast<int32_t>(jetway.GetStandData().GetOccupantId());
    if (occupant == 0) {
        monitor->RemoveJetwayFromAllJobs(jetwayId);
    } else {
        bool emptied = false;
        monitor->RemoveJobEntryEx(occupant, jetwayId, emptied);
    }
    if (!primary) return;
    if (occupant != 0)
        if (JetwayControl* control = Parts().jetwayControl.get()) control->DetectAiAtJetway(occupant);
    const uint32_t partner = monitor->GetPrimaryPartner(jetwayId);
    const bool pending = monitor->HasPendingJetways();
    monitor->InsertTrackedJob(partner, pending ? 1 : 0);
    monitor->EraseFromJobMaps(partner);
    if (!pending) SendAiJetwayJob();
}

void OnJetwayDataReceived(DWORD data)
{
    AIMonitor* monitor = Parts().aiMonitor.get();
    if (!monitor) return;
    if (data == 0) {
        program::PeerLog(log4cpp::Priority::WARN, "[JETWAY CONTROL SYSTEM:AI] Job acknowledgement without a jetway id ignored");
        return;
    }
    const bool wasPending = monitor->RemovePendingJetway(data);
    const JetwayHandler* handler = Parts().jetwayHandler.get();
    // The module acknowledges user and API jobs too: with no AI job waiting for it, nothing of the AI jobs
    // is touched, but the next queued AI job still goes out.
    if (!wasPending && !(handler && handler->IsMovingId(data))) {
        program::PeerLog(log4cpp::Priority::DEBUG,
                         "[JETWAY CONTROL SYSTEM:AI] Jetway [%u] acknowledged with no AI job waiting",
                         static_cast<unsigned>(data));
        SendAiJetwayJob();
        return;
    }
    const bool notTracked = monitor->RemoveTrackedJob(data);
    SimObject* object = FindJetwayObject(data);
    if (!object) {
        LoopLog().debug("[JETWAY CONTROL SYSTEM:AI] >>>>>>>>>>>>>>>>>>> NO JETWAY FOUND!! Aborting at DLL. <<<<<<<");
        monitor->RemoveJetwayFromAllJobs(data);
        Sim().TransmitEventWithData(EventJetwayAbort, data);
        SendAiJetwayJob();
        return;
    }
    const StandData& stand = object->GetStandData();
    if (stand.IsOccupiedByAI()) {
        if (stand.GetOccupantId() != 0) monitor->RemoveJobEntry(static_cast<int32_t>(stand.GetOccupantId()), data);
        if (notTracked) {
            LoopLog().debug("[JETWAY CONTROL SYSTEM:AI] AI vanished while Jetway [%d] Job processed at DLL! Aborting at DLL.",
                            static_cast<int>(data));
            Sim().TransmitEventWithData(EventJetwayAbort, data);
        }
    } else if (monitor->HasJobs()) {
        monitor->RemoveJetwayFromAllJobs(data);
    }
    SendAiJetwayJob();
}

void OnAiScanAnswer(const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE& message, DWORD size)
{
    AIMonitor* monitor = Parts().aiMonitor.get();
    if (!monitor) return;
    if (size < SIMCONNECT_DATA_OFFSET) {
        LoopLog().error("[AI DETECTION] Scan answer of %u bytes too short, dropped", static_cast<unsigned>(size));
        return;
    }
    bool skipStaticSwitch = false;
    if (message.dwoutof == 0) {
        if (IsDebugMode()) LoopLog().debug("[AI DETECTION] No AI data returned...");
    } else {
        ScanAircraft(message, size, *monitor);
    }
    if (message.dwentrynumber == message.dwoutof) EndOfScan(*monitor, skipStaticSwitch);
}

}  // namespace FSProcess
