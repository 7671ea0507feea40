#include "module/Brannet.h"

#include "jetway/core/JetwayCodec.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>

extern "C" {
#if defined(_WIN32)
__declspec(dllexport) PANELS* Panels = nullptr;
#else
__attribute__((visibility("default"))) PANELS* Panels = nullptr;
#endif
}

namespace brannet {
namespace {

constexpr DWORD kInAreaCount = 4;
constexpr DWORD kOutAreaCount = 8;
constexpr DWORD kRecordSize = static_cast<DWORD>(jetway_wire::kRecordSize);
constexpr DWORD kLVarsSize = 24;

// Module-wide state; touched on the simulator's thread only (the ticks touch their own JetwayCore).
HANDLE g_simConnect = nullptr;
std::map<uint32_t, JetwayCore> g_jetways;
std::set<uint32_t> g_pending;
bool g_resetRunning = false;

void Transmit(DWORD eventId, DWORD data)
{
    SimConnect_TransmitClientEvent(g_simConnect, SIMCONNECT_OBJECT_ID_USER, eventId, data,
                                   SIMCONNECT_GROUP_PRIORITY_HIGHEST, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
}

void PrintWhite(const char* text, float seconds)
{
    SimConnect_Text(g_simConnect, SIMCONNECT_TEXT_TYPE_PRINT_WHITE, seconds, 0,
                    static_cast<DWORD>(std::strlen(text) + 1), const_cast<char*>(text));
}

// Stops every jetway's motion, waiting for a tick that is running, and empties the map.
void StopAllJetways()
{
    for (auto& [id, jetway] : g_jetways) jetway.StopMotion();
    g_jetways.clear();
}

void Register(HANDLE h)
{
    const char* const position[][2] = {
        {"Plane Latitude", "degrees"},      {"Plane Longitude", "degrees"},     {"PLANE ALTITUDE", "Feet"},
        {"PLANE PITCH DEGREES", "Radians"}, {"PLANE BANK DEGREES", "Radians"}, {"PLANE HEADING DEGREES TRUE", "Radians"}};
    for (const auto& v : position)
        SimConnect_AddToDataDefinition(h, ids::kPartPositionDefinition, v[0], v[1], SIMCONNECT_DATATYPE_FLOAT64, 0,
                                       SIMCONNECT_UNUSED);
    for (const char* v : {"VELOCITY WORLD Z", "VELOCITY BODY Z", "VELOCITY WORLD X", "VELOCITY BODY X",
                          "VELOCITY WORLD Y", "VELOCITY BODY Y", "ACCELERATION BODY X", "ACCELERATION BODY Y",
                          "ACCELERATION BODY Z"})
        SimConnect_AddToDataDefinition(h, ids::kAnimationDefinition, v, "Number", SIMCONNECT_DATATYPE_FLOAT64, 0,
                                       SIMCONNECT_UNUSED);

    SimConnect_MapClientEventToSimEvent(h, ids::kEventReloadAll, "VELK.ReloadAll");
    SimConnect_AddClientEventToNotificationGroup(h, ids::kGroupReload, ids::kEventReloadAll, FALSE);

    struct Event {
        DWORD id;
        const char* name;
        bool grouped;
        bool maskable;
    };
    const Event events[] = {
        {ids::kEventStart, "VELK.JetwayAction.Start", true, true},
        {ids::kEventDataReceived, "VELK.JetwayAction.DataReceived", true, false},
        {ids::kEventDone, "VELK.JetwayAction.Done", true, false},
        {ids::kEventIntermediate, "VELK.JetwayAction.Intermediate", true, false},
        {ids::kEventAbort, "VELK.JetwayAction.Abort", true, false},
        {ids::kEventResetAll, "VELK.JetwayAction.ResetAll", true, true},
        {ids::kEventConnectionCheck, "VELK.JetwayAction.ConnectionCheck", true, true},
        {ids::kEventAcftLVarsQuery, "VELK.JetwayAction.AcftLVarsQuery", true, true},
        {ids::kEventAcftLVarsResponse, "VELK.JetwayAction.AcftLVarsResponse", false, false},
        {ids::kEventImmediateStop, "VELK.JetwayAction.ImmediateStop", true, false},
    };
    for (const Event& e : events) SimConnect_MapClientEventToSimEvent(h, e.id, e.name);
    for (const Event& e : events)
        if (e.grouped) SimConnect_AddClientEventToNotificationGroup(h, ids::kGroupJetway, e.id, e.maskable ? TRUE : FALSE);
    SimConnect_SetNotificationGroupPriority(h, ids::kGroupJetway, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE);

    for (DWORD i = 0; i < kInAreaCount; ++i) {
        const std::string name = "VELK.JetwayData.In." + std::to_string(i + 1);
        SimConnect_MapClientDataNameToID(h, name.c_str(), ids::kAreaInFirst + i);
    }
    for (DWORD i = 0; i < kOutAreaCount; ++i) {
        const std::string name = "VELK.JetwayData.Out." + std::to_string(i + 1);
        SimConnect_MapClientDataNameToID(h, name.c_str(), ids::kAreaOutFirst + i);
    }
    for (DWORD i = 0; i < kInAreaCount; ++i)
        SimConnect_CreateClientData(h, ids::kAreaInFirst + i, kRecordSize, SIMCONNECT_CREATE_CLIENT_DATA_FLAG_DEFAULT);
    for (DWORD i = 0; i < kOutAreaCount; ++i)
        SimConnect_CreateClientData(h, ids::kAreaOutFirst + i, kRecordSize, SIMCONNECT_CREATE_CLIENT_DATA_FLAG_DEFAULT);
    SimConnect_AddToClientDataDefinition(h, ids::kClientDefinitionRecord, SIMCONNECT_CLIENTDATAOFFSET_AUTO, kRecordSize,
                                         0, SIMCONNECT_UNUSED);

    SimConnect_MapClientDataNameToID(h, "VELK.AcftLVars.Out", ids::kAreaAcftLVars);
    SimConnect_CreateClientData(h, ids::kAreaAcftLVars, kLVarsSize, SIMCONNECT_CREATE_CLIENT_DATA_FLAG_DEFAULT);
    SimConnect_AddToClientDataDefinition(h, ids::kClientDefinitionLVars, SIMCONNECT_CLIENTDATAOFFSET_AUTO, kLVarsSize,
                                         0, SIMCONNECT_UNUSED);
}

// The module's complaints go to the simulator's standard error.
void TellRefusedWrite(uint32_t jetwayId, const char* what)
{
    std::fprintf(stderr, "brannet: jetway %u: %s, not written\n", static_cast<unsigned>(jetwayId), what);
}

// A job that must not move is answered at once: the record goes back unmoved with a Done report.
void Refuse(const JetwayData& job, JobCheck check)
{
    const char* range = check == JobCheck::OutOfRange ? FirstOutOfRange(job) : nullptr;
    std::fprintf(stderr, "brannet: job for jetway %u refused: %s%s%s%s\n", static_cast<unsigned>(job.JetwayObjectId),
                 JobCheckText(check), range ? " (" : "", range ? range : "", range ? ")" : "");
    JetwayCore refused;
    refused.SetJetwayData(job);
    refused.SetHandle(g_simConnect);
    JetwayData& r = *refused.GetJetwayData();
    r.Moving = false;
    r.AbortRequested = false;
    r.Phase = 0;
    r.ElapsedMs = 0;
    r.StateWord.ClearBit(0);
    if (r.Docked) r.StateWord.SetBit(2);
    else r.StateWord.ClearBit(2);
    refused.SendReport();
}

void OnJobRecord(const SIMCONNECT_RECV* data, DWORD size)
{
    // Anything shorter than a whole record is not a job.
    if (size < SIMCONNECT_DATA_OFFSET + kRecordSize) return;
    JetwayData job;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data) + SIMCONNECT_DATA_OFFSET;
    if (!DecodeJetwayData(bytes, size - SIMCONNECT_DATA_OFFSET, job)) return;
    job.AnimationDefinitionId = ids::kAnimationDefinition;
    job.PositionDefinitionId = ids::kPartPositionDefinition;
    job.DoneEventId = ids::kEventDone;
    job.IntermediateEventId = ids::kEventIntermediate;
    job.ReportDefinitionId = ids::kClientDefinitionRecord;
    const uint32_t id = job.JetwayObjectId;

    if (g_resetRunning) {
        Transmit(ids::kEventImmediateStop, id);
    } else if (const JobCheck check = CheckJob(job); check != JobCheck::Ok) {
        Refuse(job, check);
    } else {
        JetwayCore& jetway = g_jetways[id];
        // A jetway still moving from an earlier job stops first; its running tick is waited for.
        jetway.StopMotion();
        jetway.SetJetwayData(job);
        jetway.SetConfig(false);
        jetway.SetHandle(g_simConnect);
        jetway.StartMotion();
    }

    g_pending.erase(id);
    Transmit(ids::kEventDataReceived, id);
    if (g_resetRunning && g_pending.empty()) g_resetRunning = false;
}

void ResetAll(DWORD data)
{
    g_resetRunning = true;
    const size_t stopped = g_jetways.size();
    StopAllJetways();
    Transmit(ids::kEventReloadAll, static_cast<DWORD>(stopped));
    if (data == 3 && stopped != 0) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "[VELK] All active Jetways stopped due to Main Module (exe) Reset/Disconnection! (N=%d)",
                      static_cast<int>(stopped));
        PrintWhite(text, 6.0f);
    }
    if (g_pending.empty()) g_resetRunning = false;
}

void OnEvent(const SIMCONNECT_RECV_EVENT& e)
{
    switch (e.uEventID) {
    case ids::kEventStart: {
        const uint32_t id = e.dwData / 10;
        const uint32_t channel = e.dwData % 10;
        if (channel < 1 || channel > kInAreaCount) return;
        g_pending.insert(id);
        SimConnect_RequestClientData(g_simConnect, ids::kAreaInFirst + channel - 1, ids::kRequestInArea,
                                     ids::kClientDefinitionRecord, SIMCONNECT_CLIENT_DATA_PERIOD_ONCE, 0, 0, 0, 0);
        return;
    }
    case ids::kEventDone: {
        auto it = g_jetways.find(e.dwData / 10);
        // A Done from an earlier job must not remove a jetway that a newer job moves.
        if (it == g_jetways.end() || g_resetRunning || it->second.IsMoving()) return;
        it->second.StopMotion();
        g_jetways.erase(it);
        return;
    }
    case ids::kEventAbort: {
        auto it = g_jetways.find(e.dwData);
        if (it != g_jetways.end()) it->second.SetAbortRequested(true);
        return;
    }
    case ids::kEventConnectionCheck: {
        char text[256];
        std::snprintf(text, sizeof text, "[VELK] JETWAY CONTROL SYSTEM is up and running (N=%d)! Module Version %s",
                      static_cast<int>(g_jetways.size()), BuildModuleVersionText().c_str());
        PrintWhite(text, 4.0f);
        return;
    }
    case ids::kEventResetAll: ResetAll(e.dwData); return;
    case ids::kEventAcftLVarsQuery: {
        double values[3] = {ReadAircraftLVar("FSLA320_ParkBrake"),
                            ReadAircraftLVar("FSLA320_Beacon_B_Visibility_Emitter"),
                            ReadAircraftLVar("FSDT_GSX_DEBOARDING_STATE")};
        SimConnect_SetClientData(g_simConnect, ids::kAreaAcftLVars, ids::kClientDefinitionLVars, 0, 0, kLVarsSize, values);
        Transmit(ids::kEventAcftLVarsResponse, 0);
        return;
    }
    default: return;
    }
}

}  // namespace

void ModuleDispatchProc(SIMCONNECT_RECV* data, DWORD size, void*)
{
    if (data == nullptr || size < sizeof(SIMCONNECT_RECV)) return;
    switch (data->dwID) {
    case SIMCONNECT_RECV_ID_EXCEPTION: {
        if (size < sizeof(SIMCONNECT_RECV_EXCEPTION)) return;
        const auto* ex = reinterpret_cast<const SIMCONNECT_RECV_EXCEPTION*>(data);
        // A write to an object that is gone: the program's jetways are out of date, start over.
        if (ex->dwException == SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID && ex->dwIndex == 2 && !g_resetRunning) {
            g_resetRunning = true;
            Transmit(ids::kEventResetAll, 3);
        }
        return;
    }
    case SIMCONNECT_RECV_ID_CLIENT_DATA: {
        if (size < SIMCONNECT_DATA_OFFSET) return;
        const auto* cd = reinterpret_cast<const SIMCONNECT_RECV_CLIENT_DATA*>(data);
        if (cd->dwRequestID == ids::kRequestInArea) OnJobRecord(data, size);
        return;
    }
    case SIMCONNECT_RECV_ID_EVENT:
        if (size < sizeof(SIMCONNECT_RECV_EVENT)) return;
        OnEvent(*reinterpret_cast<const SIMCONNECT_RECV_EVENT*>(data));
        return;
    default: return;
    }
}

double ReadAircraftLVar(const char* name)
{
    if (name == nullptr || name[0] == '\0' || Panels == nullptr) return kUnreadableVariable;
    auto lookup = reinterpret_cast<LookupNamedVariableFunction>(Panels->slots[kLookupNamedVariableSlot]);
    auto read = reinterpret_cast<ReadNamedVariableFunction>(Panels->slots[kReadNamedVariableSlot]);
    if (lookup == nullptr || read == nullptr) return kUnreadableVariable;
    const int32_t id = lookup(name);
    if (id == -1) return kUnreadableVariable;
    return read(id);
}

std::string BuildModuleVersionText()
{
    return std::to_string(1) + "." + std::to_string(7) + "." + std::to_string(1);
}

HANDLE Connection() { return g_simConnect; }
size_t JetwayCount() { return g_jetways.size(); }
size_t PendingCount() { return g_pending.size(); }
bool IsPending(uint32_t jetwayId) { return g_pending.count(jetwayId) != 0; }
bool IsResetRunning() { return g_resetRunning; }

const JetwayCore* FindJetway(uint32_t jetwayId)
{
    auto it = g_jetways.find(jetwayId);
    return it == g_jetways.end() ? nullptr : &it->second;
}

}  // namespace brannet

using namespace brannet;

int DLLStart(void)
{
    HANDLE h = nullptr;
    if (FAILED(SimConnect_Open(&h, "brannet", nullptr, 0, nullptr, 0)) || h == nullptr) return 0;
    g_simConnect = h;
    JetwayCore::SetWriteRefusedHandler(&TellRefusedWrite);
    StopAllJetways();
    // A new run starts with nothing announced and no reset pending.
    g_pending.clear();
    g_resetRunning = false;
    Register(h);
    SimConnect_CallDispatch(h, ModuleDispatchProc, nullptr);
    return 0;
}

void DLLStop(void)
{
    if (g_simConnect == nullptr) return;
    StopAllJetways();
    JetwayCore::SetWriteRefusedHandler(nullptr);
    SimConnect_Close(g_simConnect);
}
