// Requests of programs beside the simulator: they write a request into "VELK.APIData.In" (or
// "VELK.APIData.Lite") and send its event; the dispatch reads the area once and hands the record here.
// Each request is answered in its answer area, then with its answer event. Records are decoded and
// encoded only through the API codec; every text of a request is bounded by its field.
#include "app/FSProcess.h"

#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "aircraft/UserAircraft.h"
#include "foundation/StringUtils.h"
#include "guidance/StandTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "jetway/AIMonitor.h"
#include "jetway/AIObject.h"
#include "jetway/JetwayControl.h"
#include "jetway/JetwayHandler.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "link/ApiCodec.h"
#include "objects/Jetway.h"
#include "objects/SimObject.h"
#include "objects/SimObjectList.h"
#include "objects/SimObjectModel.h"
#include "scenery/SimBubble.h"
#include "scenery/SimObjectsFolderManager.h"

#include <log4cpp/Category.hh>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace velk_ids;
using program::CurrentJetway;
using program::FindActiveObject;
using program::PeerLog;
using Level = log4cpp::Priority;
using program::Parts;
using program::Sim;

namespace {

constexpr size_t kMassQueryLetters = 4;
constexpr uint32_t kRequestIdFirstJetway = 97;   // MultiIndex 0 .. 4 -> 97 .. 101
constexpr uint32_t kRequestIdOtherJetway = 104;  // any other MultiIndex
constexpr int32_t kMaxMultiIndex = 4;
constexpr uint32_t kPartSlots = 4;

// "gate a" -> "GATE_A": the form under which the placement files' stands are known.
std::string StandName(const std::string& name)
{
    std::string out = name;
    for (char& c : out) c = c == ' ' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The data word of an answer event: the jetway's id and the status in its last decimal digit.
DWORD IdAndStatus(uint32_t id, uint32_t status) { return static_cast<DWORD>(id * 10u + status); }

void SendTriggerStatusEvent(uint32_t data) { Sim().TransmitEventWithData(EventJetwayTriggerStatus, data); }

// The AI aircraft's door that the jetway is assigned to is given back, when the aircraft at the
// jetway's stand is still monitored; true when it was.
bool ReleaseOccupantDoor(const SimObject& jetway, uint32_t id)
{
    AIMonitor* monitor = Parts().aiMonitor.get();
    const int32_t occupant = jetway.GetStandData().GetOccupantId();
    AIObject* ai = monitor && occupant != 0 ? monitor->FindAIObject(occupant) : nullptr;
    if (ai) ai->ReleaseDoorOfJetway(static_cast<int32_t>(id));
    return ai != nullptr;
}

// The jetway leaves every AI job list and the tracked jobs.
void DropFromAiJobs(uint32_t id)
{
    if (AIMonitor* monitor = Parts().aiMonitor.get()) {
        monitor->RemoveJetwayFromAllJobs(id);
        monitor->RemoveTrackedJob(id);
    }
}

// A moving jetway is stopped at the module.
void AbortIfMoving(Jetway& jetway, uint32_t id)
{
    if (!jetway.IsMoving()) return;
    const uint32_t recordId = jetway.GetRecord().JetwayObjectId;
    Sim().TransmitEventWithData(EventJetwayAbort, recordId != 0 ? recordId : id);
}

// Everything the program keeps of a jetway's job, and of the jetway itself when a client registered it.
void FinishJob(JetwayHandler& handler, uint32_t id)
{
    handler.RemovePending(id);
    handler.UnregisterJetway(id);
    handler.EraseActive(id);
    handler.RemoveExternalJetway(id);
}

// ---- JetwayTrigger ----

void TriggerForAi(const api_wire::JetwayTriggerRequest& request)
{
    PeerLog(Level::DEBUG, "[API::TRIGGER] Received Trigger Client Data for AI Aircraft: Mode=%d, JWObjID=%d, AIObjID=%d, Door=%s",
                    static_cast<int>(api_wire::kTriggerAiForm), static_cast<int>(request.jetwayId),
                    static_cast<int>(request.aiAircraftId), request.door.c_str());
    AIMonitor* monitor = Parts().aiMonitor.get();
    AIObject* ai = monitor ? monitor->FindAIObject(static_cast<int32_t>(request.aiAircraftId)) : nullptr;
    if (!ai) {
        PeerLog(Level::WARN, "[API::AI_TRIGGER] Not able to find AI object [%d]!", static_cast<int>(request.aiAircraftId));
        SendTriggerStatusEvent(IdAndStatus(request.jetwayId, api_wire::kTriggerGone));
        return;
    }
    SimObject* object = request.jetwayId != 0 ? Parts().jetwayHandler->FindJetway(request.jetwayId) : nullptr;
    Jetway* jetway = object ? CurrentJetway(*object) : nullptr;
    if (!jetway) {
        PeerLog(Level::WARN, "[API::AI_TRIGGER] Not able to find JW object [%d]!", static_cast<int>(request.jetwayId));
        SendTriggerStatusEvent(IdAndStatus(request.jetwayId, api_wire::kTriggerNoSolution));
        return;
    }
    if (jetway->IsMoving()) return;
    if (ai->HasDoorAssignments()) {
        FSProcess::UndockAiJetway(*ai);
        return;
    }
    ai->SetDoorJetway(request.door, object);
    if (FSProcess::DecideAiDocking(object, *ai, request.door, false, true)) {
        if (JetwayControl* control = Parts().jetwayControl.get()) control->DetectAiAtJetway(ai->GetObjectID());
        return;
    }
    // Refused: the door assigned for the decision is given back, so the aircraft keeps no door it is not
    // served at.
    ai->SetDoorJetway(request.door, nullptr);
    SendTriggerStatusEvent(IdAndStatus(request.jetwayId, api_wire::kTriggerNoSolution));
}

void TriggerForUser(const api_wire::JetwayTriggerRequest& request)
{
    PeerLog(Level::DEBUG, "[API::TRIGGER] Received Trigger Client Data: ObjID [%d], DoorDesignator='%s', OwnFlag=%d, DoorDataOverrideFlag=%d, Mode=%d",
                    static_cast<int>(request.jetwayId), request.door.c_str(), request.own ? 1 : 0,
                    request.overrideDoor ? 1 : 0, static_cast<int>(request.mode));
    JetwayHandler& handler = *Parts().jetwayHandler;
    JetwayControl* control = Parts().jetwayControl.get();
    const bool testOnly = request.mode == api_wire::kTriggerTestOnly;
    const double* doorData = request.overrideDoor ? request.doorData.data() : nullptr;

    if (request.own) {
        SimObject* object = request.jetwayId != 0 ? handler.FindJetway(request.jetwayId) : nullptr;
        Jetway* jetway = object ? CurrentJetway(*object) : nullptr;
        if (!jetway) {
            PeerLog(Level::ERROR, "[API::TRIGGER] Internal Jetway Instance not found! -> 'NULL'");
            return;
        }
        if (jetway->IsMoving() || !control) return;
        handler.ClearPendingDoors();
        control->OperateJetwayForUser(*object, request.door, jetway_control::kSourceApiRegistry,
                                      request.overrideDoor, doorData, testOnly);
        return;
    }

    SimObject* object = FindActiveObject(request.jetwayId);
    if (!object) {
        PeerLog(Level::ERROR, "[API::TRIGGER] Could not find the requested Jetway with ID [%d]!",
                        static_cast<int>(request.jetwayId));
        return;
    }
    // A job for this client is under way already.
    if (handler.IsActive(request.jetwayId) || !control) return;
    handler.ClearPendingDoors();
    control->OperateJetwayForUser(*object, request.door, jetway_control::kSourceApiActive, request.overrideDoor,
                                  doorData, testOnly);
}

// ---- JetwayInform ----

void ResetApiJobs(JetwayHandler& handler)
{
    // Every registration ends, the jetway at rest or moving.
    const std::vector<uint32_t> ids = handler.ListExternalJetwayIds();
    AIMonitor* monitor = Parts().aiMonitor.get();
    for (uint32_t id : ids) {
        SimObject* object = handler.FindJetway(id);
        if (Jetway* jetway = object ? CurrentJetway(*object) : nullptr) {
            jetway->StopSound();
            DropFromAiJobs(id);
            const int32_t occupant = object->GetStandData().GetOccupantId();
            if (AIObject* ai = monitor && occupant != 0 ? monitor->FindAIObject(occupant) : nullptr) {
                PeerLog(Level::DEBUG, "[API::APPRESET] pAI: %d [%d]", static_cast<int>(occupant), static_cast<int>(id));
                ai->ReleaseDoorOfJetway(static_cast<int32_t>(id));
            }
            if (jetway->IsMoving()) {
                handler.RemoveMoving(id);
                AbortIfMoving(*jetway, id);
            }
        }
        FinishJob(handler, id);
    }
}

// Builds the jetway a client placed itself and enters it into the registry. The status of the answer.
uint32_t RegisterExternalJetway(JetwayHandler& handler, const api_wire::JetwayInformRequest& request)
{
    const uint32_t id = request.jetwayId;
    if (id == 0) {
        PeerLog(Level::ERROR, "[API::INFORM] A jetway without an object id cannot be registered!");
        return api_wire::kInformRefused;
    }
    if (handler.FindJetway(id)) {
        PeerLog(Level::ERROR, "[API::INFORM] Jetway [%d] is registered already!", static_cast<int>(id));
        return api_wire::kInformRefused;
    }
    const double values[] = {request.latitude, request.longitude, request.altitudeFeet, request.heading};
    if (!std::all_of(std::begin(values), std::end(values), [](double v) { return std::isfinite(v); }) ||
        std::fabs(request.latitude) > 90.0 || std::fabs(request.longitude) > 180.0) {
        PeerLog(Level::ERROR, "[API::INFORM] Jetway [%d] has no valid position!", static_cast<int>(id));
        return api_wire::kInformRefused;
    }
    // Only a title the SimObjects folders know has a configuration to read.
    const SimObjectsFolderManager* folders = Parts().folderManager.get();
    const std::string folder = folders ? folders->LookupTitlePath(request.simTitle) : std::string();
    if (folder.empty()) {
        PeerLog(Level::ERROR, "[API::INFORM] No model folder for jetway title '%s'!", request.simTitle.c_str());
        return api_wire::kInformNoConfig;
    }

    SimObject object;
    object.SetFeature(FeatureJetway);
    object.SetObjectId(id);
    const int32_t multiIndex = request.multiIndex;
    if (multiIndex >= 0 && multiIndex <= kMaxMultiIndex) {
        object.SetRequestId(kRequestIdFirstJetway + static_cast<uint32_t>(multiIndex));
    } else {
        PeerLog(Level::ERROR, "[API::INFORM] VELK only supports up to 4 jetways per stand! Supplied MultiIndex=[%d]",
                        static_cast<int>(multiIndex));
        object.SetRequestId(kRequestIdOtherJetway);
    }
    object.SetPlacement(request.latitude, request.longitude, request.altitudeFeet, false, false, 0.0, 0.0,
                        request.heading);
    object.AddModel(request.simTitle).GetFeatures()->Set(FeatureJetway);
    const std::string stand = StandName(request.stand.name);
    object.SetStandData(request.stand.icao, stand, static_cast<int32_t>(request.stand.number), "NONE", "0", false);
    object.SetName(":EXT::" + request.stand.icao + "::" + stand + "::" + std::to_string(request.stand.number) +
                   "::MX" + std::to_string(multiIndex));
    object.SetMultiIndex(multiIndex);
    if (!handler.AddExternalJetway(object)) return api_wire::kInformRefused;

    // The registry keeps its own copy: the configuration and the parts go into that one.
    SimObject& stored = *handler.FindJetway(id);
    Jetway* jetway = CurrentJetway(stored);
    jetway->SetMultiIndex(multiIndex);
    jetway->SetDoorPoints4(request.doorTargets[0], request.doorTargets[1], request.doorTargets[2],
                           request.doorTargets[3]);
    if (SimBubble* bubble = Parts().simBubble.get()) bubble->ReadJetwayConfig(stored);
    if (!jetway->HasConfig()) {
        handler.RemoveExternalJetway(id);
        return api_wire::kInformNoConfig;
    }
    program::WriteRestPose(stored, *jetway);
    if (LinkedSimObjectHandler* parts = Parts().linkedObjectHandler.get()) {
        for (uint32_t slot = 1; slot <= kPartSlots; ++slot) {
            const uint32_t partId = request.partIds[slot - 1];
            if (partId != 0 && jetway->HasPart(static_cast<int>(slot))) parts->AssignPartId(slot, &stored, partId);
        }
    }
    return api_wire::kInformRegistered;
}

uint32_t RemoveExternalJetway(JetwayHandler& handler, uint32_t id)
{
    SimObject* object = id != 0 ? handler.FindJetway(id) : nullptr;
    if (Jetway* jetway = object ? CurrentJetway(*object) : nullptr) {
        jetway->StopSound();
        if (UserAircraft* user = program::User()) user->ResetExitStates();
        AbortIfMoving(*jetway, id);
        if (ReleaseOccupantDoor(*object, id)) DropFromAiJobs(id);
    }
    FinishJob(handler, id);
    return api_wire::kInformRemoved;
}

// ---- StandInform ----

// A stand exists when its key has that number among the jetways' stands (placed or registered by a
// client) or among the guidance displays' stands.
bool StandExists(const std::string& key, uint32_t number)
{
    if (const JetwayHandler* handler = Parts().jetwayHandler.get()) {
        const auto placed = handler->GetStandList().find(key);
        if (placed != handler->GetStandList().end() && placed->second.count(number) != 0) return true;
        const auto registered = handler->GetExternalStandIndex().find(key);
        if (registered != handler->GetExternalStandIndex().end() && registered->second.count(number) != 0) return true;
    }
    if (const VDGSHandler* vdgs = Parts().vdgsHandler.get(); vdgs && number <= INT32_MAX) {
        const auto guided = vdgs->GetStandMap().find(key);
        if (guided != vdgs->GetStandMap().end() && guided->second.count(static_cast<int32_t>(number)) != 0) return true;
    }
    return false;
}

uint32_t InformStand(const api_wire::StandInformRequest& request, bool markApi)
{
    StandTextMenu& menu = program::StandMenu();
    const std::string key = request.stand.icao + ":" + request.stand.name;
    switch (request.mode) {
    case api_wire::kStandSelect:
        if (!StandExists(key, request.stand.number)) {
            PeerLog(Level::WARN, "[API::STANDINFORM] No stand '%s' #%u: nothing selected", key.c_str(),
                    static_cast<unsigned>(request.stand.number));
            return api_wire::kStandOther;
        }
        menu.OnSelect(key);
        menu.SetSelectedStandNumber(static_cast<int32_t>(request.stand.number));
        if (markApi) menu.MarkSelectedStand();
        FSProcess::ActivateStandVdgs(false);
        menu.BackupSelection();
        return api_wire::kStandSelected;
    case api_wire::kStandDeselect: FSProcess::DeselectStand(false); return api_wire::kStandDeselected;
    default: return api_wire::kStandOther;
    }
}

}  // namespace

namespace FSProcess {

void OnApiJetwayQuery(const uint8_t* record, size_t size)
{
    api_wire::JetwayQueryRequest request;
    JetwayHandler* handler = Parts().jetwayHandler.get();
    if (!handler || !api_wire::DecodeJetwayQuery(record, size, request)) return;
    StandJetwayInfo info;
    StandJetwayStatus status;
    handler->QueryStandJetways(request.stand.icao, request.stand.name, request.stand.number, request.latitude,
                               request.longitude, 0.0, *Parts().activeObjects, info, status);

    api_wire::JetwayResponse answer;
    std::copy_n(record + api_wire::in::kQueryEcho.offset, answer.echo.size(), answer.echo.begin());
    answer.count = info.Entries();
    const UserAircraft* user = program::User();
    for (size_t i = 0; i < api_wire::kSlots; ++i) {
        answer.ids[i] = info.objectIds[i];
        answer.names[i] = std::string(info.names[i], strnlen(info.names[i], sizeof info.names[i]));
        answer.sort1[i] = info.distances[i];
        answer.sort2[i] = info.bearings[i];
        answer.types[i] = status.types[i];
        answer.rootHeights[i] = status.rootFloorHeights[i];
        answer.states[i] = static_cast<uint32_t>(status.states[i]);
        answer.doors[i] = api_wire::kDoorNone;
        if (status.states[i] == StandJetwayStatus::kStateDocked && user)
            answer.doors[i] = api_wire::DoorCode(user->GetExitNameByNumber(static_cast<int32_t>(info.objectIds[i])));
    }
    api_wire::Area out{};
    api_wire::EncodeJetwayResponse(answer, out);
    Sim().SendApiDataOut(out);
    Sim().TransmitEventWithData(EventJetwayResponse, 0);
}

void OnApiJetwayTrigger(const uint8_t* record, size_t size)
{
    api_wire::JetwayTriggerRequest request;
    if (!Parts().jetwayHandler || !api_wire::DecodeJetwayTrigger(record, size, request)) return;
    if (request.aiForm) TriggerForAi(request);
    else TriggerForUser(request);
}

void OnApiJetwayInform(const uint8_t* record, size_t size)
{
    api_wire::JetwayInformRequest request;
    JetwayHandler* handler = Parts().jetwayHandler.get();
    if (!handler || !api_wire::DecodeJetwayInform(record, size, request)) return;
    if (request.version != api_wire::kVersion)
        PeerLog(Level::FATAL, "[API::INFORM] API Version mismatch! External App uses V%d, VELK uses V%d",
                        static_cast<int>(request.version), static_cast<int>(api_wire::kVersion));
    uint32_t status = api_wire::kInformRefused;
    switch (request.mode) {
    case api_wire::kInformProbe:
        ProbeExternalObjects();
        status = api_wire::kInformProbed;
        break;
    case api_wire::kInformReset:
        ResetApiJobs(*handler);
        status = api_wire::kInformWasReset;
        break;
    case api_wire::kInformRegister: status = RegisterExternalJetway(*handler, request); break;
    case api_wire::kInformRemove: status = RemoveExternalJetway(*handler, request.jetwayId); break;
    default:
        PeerLog(Level::ERROR, "[API::INFORM] Invalid API Inform Mode received [%d]!", static_cast<int>(request.mode));
        break;
    }
    api_wire::Area out{};
    api_wire::EncodeInformStatus(api_wire::StatusAnswer{request.jetwayId, status, api_wire::kVersion}, out);
    Sim().SendApiDataOut(out);
    Sim().TransmitEventWithData(EventJetwayInformStatus, IdAndStatus(request.jetwayId, status));
}

void OnApiStandInform(const uint8_t* record, size_t size)
{
    api_wire::StandInformRequest request;
    if (!api_wire::DecodeStandInform(record, size, request)) return;
    const uint32_t status = InformStand(request, true);
    api_wire::Area out{};
    api_wire::EncodeStandStatus(api_wire::StatusAnswer{0, status, api_wire::kVersion}, out);
    Sim().SendApiDataOut(out);
    Sim().TransmitEventWithData(EventStandInformStatus, 0);
}

void OnApiStandInformLite(const uint8_t* record, size_t size)
{
    api_wire::LiteRecord request;
    if (!api_wire::DecodeLite(record, size, request)) return;
    api_wire::LiteRecord answer = request;
    answer.status = InformStand(api_wire::StandInformRequest{request.mode, request.stand}, false);
    api_wire::LiteArea out{};
    api_wire::EncodeLite(answer, out);
    Sim().SendApiLite(out);
    Sim().TransmitEventWithData(EventStandInformStatusLite, 0);
}

void OnApiMassQuery(const uint8_t* record, size_t size)
{
    api_wire::MassQueryRequest request;
    if (!api_wire::DecodeMassQuery(record, size, request)) return;
    std::string icao = request.icao;
    if (icao.size() > kMassQueryLetters) {
        PeerLog(Level::WARN, "[API::MASSQUERY] ICAO Code '%s' has %d letters! Only considering first 4...", icao.c_str(),
                       static_cast<int>(icao.size()));
        icao.resize(kMassQueryLetters);
    }

    api_wire::MassResponse jetways{icao, {}};
    if (const JetwayHandler* handler = Parts().jetwayHandler.get()) {
        std::vector<StandListEntry> entries(api_wire::kMaxMassEntries);
        uint32_t count = 0;
        handler->ListAirportStands(icao, entries.data(), static_cast<uint32_t>(entries.size()), &count);
        for (uint32_t i = 0; i < count; ++i)
            jetways.entries.push_back({static_cast<int32_t>(entries[i].category),
                                       static_cast<int32_t>(entries[i].number),
                                       static_cast<int32_t>(entries[i].jetwayCount)});
        // The listing stops at the area's capacity; count what it left out.
        size_t total = 0;
        const std::string prefix = icao + ":";
        for (const auto& [key, numbers] : handler->GetStandList())
            if (key.starts_with(prefix)) total += numbers.size();
        if (total > count)
            PeerLog(Level::WARN, "[API::MASSQUERY] %d stands with jetways at '%s': only the first %d are answered!",
                           static_cast<int>(total), icao.c_str(), static_cast<int>(count));
    }
    api_wire::MassResponse guidance{icao, {}};
    if (const VDGSHandler* vdgs = Parts().vdgsHandler.get()) {
        // One entry more than fits tells whether the listing was cut.
        std::vector<VDGSStandEntry> entries(api_wire::kMaxMassEntries + 1);
        int32_t count = 0;
        vdgs->ListStandsAt(icao, entries.data(), entries.size(), count);
        if (static_cast<size_t>(count) > api_wire::kMaxMassEntries) {
            PeerLog(Level::WARN, "[API::MASSQUERY] More than %d stands with guidance displays at '%s': only the first %d are answered!",
                           static_cast<int>(api_wire::kMaxMassEntries), icao.c_str(),
                           static_cast<int>(api_wire::kMaxMassEntries));
            count = static_cast<int32_t>(api_wire::kMaxMassEntries);
        }
        for (int32_t i = 0; i < count; ++i) guidance.entries.push_back({entries[i].category, entries[i].parkingNumber, 0});
    }
    api_wire::MassArea massArea{};
    api_wire::MassVdgsArea vdgsArea{};
    api_wire::EncodeMassResponse(jetways, massArea);
    api_wire::EncodeMassResponseVdgs(guidance, vdgsArea);
    Sim().SendMassResponse(massArea);
    Sim().SendMassResponseVdgs(vdgsArea);
    Sim().TransmitEventWithData(EventJetwayMassResponse, 0);
}

// A jetway a client registered, removed after its probe found it gone.
void DropUnreachableJetway(uint32_t id)
{
    JetwayHandler* handler = Parts().jetwayHandler.get();
    SimObject* object = handler && id != 0 ? handler->FindJetway(id) : nullptr;
    if (!object) {
        PeerLog(Level::ERROR, "Not able to reach external SimObject. Not found in external map anymore...");
        return;
    }
    const std::string title = object->GetCurrentSimTitle();
    LinkedSimObjectHandler* parts = Parts().linkedObjectHandler.get();
    const uint32_t removed = parts ? parts->RemoveParts(object) : 0;
    ReleaseOccupantDoor(*object, id);
    FinishJob(*handler, id);
    if (!program::IsDebugMode()) return;
    if (removed > 0)
        PeerLog(Level::INFO, "Not able to reach external SimObject '%s'. Removed from map and removed all associated linked SimObjects (N=%d)",
                       title.c_str(), static_cast<int>(removed));
    else
        PeerLog(Level::INFO, "Not able to reach external SimObject '%s'. Removed from map (no linked SimObjects found)",
                       title.c_str());
}

}  // namespace FSProcess
