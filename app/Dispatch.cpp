// The dispatch handler: every message of the simulator, every event the program sends itself and every
// API request arrives here on the main thread, one at a time.
#include "app/FSProcess.h"

#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "guidance/StandTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "jetway/AIMonitor.h"
#include "jetway/JetwayHandler.h"
#include "objects/InjectionQueue.h"
#include "objects/Jetway.h"
#include "objects/SimObjectList.h"
#include "scenery/SimBubble.h"
#include "scenery/SimObjectsFolderManager.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "platform/clock.h"
#include "sound/SoundBuffer.h"

#include <log4cpp/Category.hh>

#include <cstring>
#include <string>

using namespace velk_ids;
using program::Flags;
using program::IsDebugMode;
using program::LoopLog;
using program::Parts;
using program::Sim;
using program::User;

namespace {

constexpr DWORD kAllMenus = 0xFFFFFFFFu;
constexpr int kFrameWorkEvery = 3;

// A copy of the message's record, or false when the message is too short to hold it.
template <typename T>
bool ReadRecord(const SIMCONNECT_RECV* data, DWORD size, T& record)
{
    if (size < sizeof(T)) return false;
    std::memcpy(&record, data, sizeof(T));
    return true;
}

// The guidance record of the active display; null when none is active.
VDGS* ActiveGuidance()
{
    const VDGSHandler* handler = Parts().vdgsHandler.get();
    VDGSDisplayObject* display = handler ? handler->GetActiveVDGS() : nullptr;
    return display ? display->GetCurrentVDGS() : nullptr;
}

void OnPositionChanged()
{
    program::State& flags = Flags();
    if (!flags.externalMode && flags.positionInitialised) flags.uiPositionChange = true;
}

void OnSimStart()
{
    program::State& flags = Flags();
    if (!flags.simStartSeen) {
        LoopLog().debug("Initialize Data Requests!");
        FSProcess::InitDataRequests();
    }
    if (!flags.positionInitialised) {
        if (!program::IsSimPaused()) {
            LoopLog().debug("Initialize Position after SimStart Event!");
            FSProcess::RequestPositionInit(0);
        }
    } else if (flags.uiPositionChange) {
        LoopLog().debug("Initialize Position after Position change due to UI!");
        FSProcess::RequestPositionInit(1);
    }
    flags.simStartSeen = true;
}

// -1 for the main menu, n for custom text-menu command n; anything else asks for the main menu.
int32_t MainMenuRequestOf(DWORD data)
{
    const auto request = static_cast<int32_t>(data);
    const CustomCommandList* commands = Parts().customCommands.get();
    if (request == -1) return -1;
    if (request >= 0 && commands && static_cast<size_t>(request) < commands->size()) return request;
    return -1;
}

void OnInjectionFinished()
{
    if (Parts().injectionQueue) Parts().injectionQueue->SetCancelled(true);
    SeasonalObjectHandler* seasonal = Parts().seasonal.get();
    if (seasonal && !seasonal->IsChanged() && !Flags().externalMode) {
        seasonal->SetChanged(true);
        Sim().StartDateTimeRequest();
    }
}

// Asks for the area of an API request, unless a read of it is on its way: then one more read follows it.
void ReadApiRequest(DWORD request)
{
    program::State::ApiRead& read = Flags().apiReads[request];
    const DWORD now = GetTickCount();
    if (read.asked && now - read.askedMs < program::State::kApiReadLostMs) {
        read.again = true;
        return;
    }
    read = {true, false, now};
    switch (request) {
    case RequestJetwayQuery: Sim().RequestJetwayQuery(); break;
    case RequestJetwayTrigger: Sim().RequestJetwayTrigger(); break;
    case RequestJetwayInform: Sim().RequestJetwayInform(); break;
    case RequestStandInform: Sim().RequestStandInform(); break;
    case RequestJetwayMassQuery: Sim().RequestJetwayMassQuery(); break;
    case RequestStandInformLite: Sim().RequestStandInformLite(); break;
    default: read.asked = false; break;
    }
}

// The read of an API request has arrived (handled before this): the one asked for meanwhile goes out.
void ApiRequestRead(DWORD request)
{
    auto entry = Flags().apiReads.find(request);
    if (entry == Flags().apiReads.end()) return;
    const bool again = entry->second.again;
    entry->second = {};
    if (again) ReadApiRequest(request);
}

// The module has stopped its jetways after a reset request: the jobs' sounds end, and a pending bubble
// cycle goes on. The same event unasked, or again, changes nothing.
void OnModuleReset()
{
    if (!Flags().moduleResetAsked) return;
    Flags().moduleResetAsked = false;
    if (JetwayHandler* handler = Parts().jetwayHandler.get())
        for (const auto& job : handler->GetJobs())
            if (job.second) job.second->StopSound();
    const SimBubble* bubble = Parts().simBubble.get();
    const UserAircraft* user = User();
    if (bubble && user && bubble->IsUpdatePending())
        FSProcess::UpdateSimBubble(user->GetLatitude(), user->GetLongitude(), user->GetAltitude());
}

void OnEvent(const SIMCONNECT_RECV_EVENT& event)
{
    program::State& flags = Flags();
    const DWORD data = event.dwData;
    switch (event.uEventID) {
    case EventSimStart: OnSimStart(); break;
    case EventPause:
        if (Parts().simStatus) Parts().simStatus->SetPaused(data != 0);
        break;
    case EventSound:
        if (Parts().simStatus) Parts().simStatus->SetSoundOff(data == 0);
        break;
    case EventPositionChanged: OnPositionChanged(); break;
    case Event4Sec: FSProcess::On4SecEvent(); break;
    case Event1Sec:
        if (VDGS* guidance = ActiveGuidance()) guidance->AdvanceSlowCounter();
        FSProcess::UpdateRadioClickTriggers(false, nullptr, 0);
        FSProcess::UpdateProximityTriggers();
        if (const UserAircraft* user = User(); user && user->UsesLVars() && user->IsOnGround())
            Sim().TransmitEvent(EventAcftLVarsQuery);
        break;
    case Event6Hz:
        if (VDGS* guidance = ActiveGuidance()) guidance->AdvanceFastCounter();
        FSProcess::UpdateVdgsGuidance();
        FSProcess::UpdateGroundPolygonShift();
        break;
    case EventShowMainMenu:
        flags.lastMainMenuRequest = MainMenuRequestOf(data);
        FSProcess::ShowMainTextMenu();
        break;
    case EventShowSubMenu: FSProcess::ShowSubMenu(); break;
    case EventShowJetwayMenu: FSProcess::ShowJetwayMenu(false); break;
    case EventShowJetwayMenuStandOps: FSProcess::ShowJetwayMenu(true); break;
    case EventShowStandsMenu: {
        const int32_t mode = program::StandMenu().GetMode();
        if (mode == StandTextMenu::kModeCategory || mode == StandTextMenu::kModeNumber) FSProcess::ShowStandsMenu();
        else if (mode == StandTextMenu::kModeSelected) FSProcess::ShowStandOperationsMenu();
        break;
    }
    case EventMainMenuResult:
    case EventAnimationPageResult:
    case EventJetwayPageResult:
    case EventStandPageResult:
    case EventStandOpsPageResult: FSProcess::OnMenuResult(event.uEventID, data); break;
    case EventVoiceCaptureStart:
        if (!flags.voiceCaptureActive) {
            flags.voiceCaptureActive = true;
            Sim().RequestComRadios();
        }
        break;
    case EventVoiceCaptureStop:
        flags.voiceCaptureActive = false;
        program::RadioClick().Stop();
        break;
    case EventReservedKey: Sim().TransmitEventWithData(EventShowMainMenu, kAllMenus); break;
    case EventMenuReloadAll:
        LoopLog().info(">>> >>> >>> >>> RELOADING ALL <<< <<< <<< <<<");
        FSProcess::ReloadAll(true);
        if (Parts().folderManager && Parts().allObjects) Parts().folderManager->CheckModels(*Parts().allObjects);
        break;
    case EventMenuDumpMaps:
        LoopLog().info("Dumping Maps...%s", flags.logFolder.c_str());
        if (Parts().folderManager) Parts().folderManager->DumpMaps(flags.logFolder);
        break;
    case EventMenuAiDetection:
        if (Parts().aiMonitor) Parts().aiMonitor->SetToggleRequested(true);
        Sim().RemoveTopMenuItem(EventMenuAiDetection);
        if (FSProcess::ToggleAiTrafficDetection())
            Sim().PrintMessageFor("[VELK] Waiting for all Jetway Operations to stop...", 3.0);
        break;
    case EventJetwayDone: FSProcess::OnJetwayDone(data); break;
    case EventJetwayIntermediate: FSProcess::OnJetwayIntermediate(data); break;
    case EventJetwayDataReceived: FSProcess::OnJetwayDataReceived(data); break;
    case EventReloadAll: OnModuleReset(); break;
    case EventMenuTestDll: Sim().TransmitEvent(EventJetwayConnectionCheck); break;
    case EventJetwayQuery: ReadApiRequest(RequestJetwayQuery); break;
    case EventJetwayTrigger: ReadApiRequest(RequestJetwayTrigger); break;
    case EventJetwayInform: ReadApiRequest(RequestJetwayInform); break;
    case EventStandInform: ReadApiRequest(RequestStandInform); break;
    case EventJetwayMassQuery: ReadApiRequest(RequestJetwayMassQuery); break;
    case EventStandInformLite: ReadApiRequest(RequestStandInformLite); break;
    case EventInjectionFinished: OnInjectionFinished(); break;
    case EventSimBubbleUpdate:
        if (IsDebugMode()) LoopLog().debug("[SIMBUBBLE] Handling Update (%d)", static_cast<int>(data));
        if (const UserAircraft* user = User())
            FSProcess::OnSimBubbleUpdate(static_cast<int32_t>(data), user->GetLatitude(), user->GetLongitude(),
                                         user->GetAltitude());
        break;
    case EventAcftLVarsResponse: Sim().RequestAcftLVars(); break;
    case EventJetwayImmediateStop:
        program::PeerLog(log4cpp::Priority::INFO, "[DLL:RESET_ALL FROM EXE] DLL has ignored start signal of JW [%d]",
                         static_cast<int>(data));
        break;
    default: break;
    }
}

void OnFrame()
{
    program::State& flags = Flags();
    if (++flags.frameCounter < kFrameWorkEvery) return;
    flags.frameCounter = 0;
    if (UserAircraft* user = User()) {
        user->UpdateEyePointPosition();
        user->UpdateNoseWheelPosition();
    }
    FSProcess::AnimateObjectsPerFrame();
    FSProcess::UpdateSeparationPlanes();
    FSProcess::UpdateVariableDrivenRotations();
}

void OnObjectData(const SIMCONNECT_RECV* data, DWORD size)
{
    SIMCONNECT_RECV_SIMOBJECT_DATA message{};
    if (!ReadRecord(data, size, message)) return;
    const auto* record = reinterpret_cast<const uint8_t*>(data) + SIMCONNECT_DATA_OFFSET;
    const size_t recordSize = size - SIMCONNECT_DATA_OFFSET;
    const DWORD request = message.dwRequestID;
    if (request >= RequestProbeFirst && request <= RequestProbeLast) {
        FSProcess::OnProbeWeather(message.dwObjectID, record, recordSize);
        return;
    }
    switch (request) {
    case RequestUserAircraft: FSProcess::OnUserAircraftData(record, recordSize); break;
    case RequestComRadios: FSProcess::UpdateRadioClickTriggers(true, record, recordSize); break;
    case RequestDateTime: FSProcess::OnDateTime(record, recordSize); break;
    case RequestObjectAltitude: FSProcess::OnGroundAltitude(message.dwObjectID, record, recordSize); break;
    case RequestUserAircraftState: FSProcess::OnUserAircraftState(record, recordSize); break;
    default: break;
    }
}

void OnClientData(const SIMCONNECT_RECV* data, DWORD size)
{
    SIMCONNECT_RECV_CLIENT_DATA message{};
    if (!ReadRecord(data, size, message)) return;
    switch (message.dwDefineID) {
    case ClientDefApiRecord:
    case ClientDefApiLite:
    case ClientDefJetwayRecord:
    case ClientDefAcftLVars: break;
    default:
        program::SimulatorError("[API] Unknown API Data received! DefineID = " +
                                std::to_string(static_cast<int>(message.dwDefineID)));
        break;
    }
    const auto* record = reinterpret_cast<const uint8_t*>(data) + SIMCONNECT_DATA_OFFSET;
    const size_t recordSize = size - SIMCONNECT_DATA_OFFSET;
    switch (message.dwRequestID) {
    case velk_ids::RequestJetwayDataOut: FSProcess::OnJetwayReport(record, recordSize); break;
    case velk_ids::RequestJetwayQuery: FSProcess::OnApiJetwayQuery(record, recordSize); break;
    case velk_ids::RequestJetwayTrigger: FSProcess::OnApiJetwayTrigger(record, recordSize); break;
    case velk_ids::RequestJetwayInform: FSProcess::OnApiJetwayInform(record, recordSize); break;
    case velk_ids::RequestStandInform: FSProcess::OnApiStandInform(record, recordSize); break;
    case velk_ids::RequestJetwayMassQuery: FSProcess::OnApiMassQuery(record, recordSize); break;
    case velk_ids::RequestStandInformLite: FSProcess::OnApiStandInformLite(record, recordSize); break;
    case velk_ids::RequestAcftLVars: FSProcess::OnAircraftVariables(record, recordSize); break;
    default: break;
    }
    ApiRequestRead(message.dwRequestID);
}

void OnSystemState(const SIMCONNECT_RECV* data, DWORD size)
{
    SIMCONNECT_RECV_SYSTEM_STATE state{};
    if (!ReadRecord(data, size, state)) return;
    program::State& flags = Flags();
    switch (state.dwRequestID) {
    case velk_ids::RequestSimState: {
        if (!flags.externalMode && flags.hotkeySet) Sim().EnableMenuHotkey();
        const bool running = state.dwInteger != 0;
        LoopLog().debug("SimState query...Running=%d", running ? 1 : 0);
        if (!running) break;
        flags.simStartSeen = true;
        if (!flags.positionInitialised) {
            FSProcess::InitDataRequests();
            LoopLog().debug("Initialize Position after SimState query!");
            FSProcess::RequestPositionInit(0);
        }
        break;
    }
    case velk_ids::RequestAircraftLoaded:
        FSProcess::OnAircraftLoaded(std::string(state.szString, strnlen(state.szString, sizeof(state.szString))));
        break;
    default: break;
    }
}

void OnException(const SIMCONNECT_RECV* data, DWORD size)
{
    SIMCONNECT_RECV_EXCEPTION exception{};
    if (!ReadRecord(data, size, exception)) return;
    program::State& flags = Flags();
    switch (exception.dwException) {
    case SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED: FSProcess::OnCreateObjectFailed(exception.dwSendID); break;
    case SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID: {
        const auto probe = exception.dwIndex == 3 ? flags.reachabilityProbes.find(exception.dwSendID)
                                                  : flags.reachabilityProbes.end();
        if (probe == flags.reachabilityProbes.end()) {
            program::SimulatorError("SimConnect EXCEPTION! UNRECOGNIZED ID (3)");
            break;
        }
        const uint32_t jetway = probe->second;
        flags.reachabilityProbes.erase(probe);
        FSProcess::DropUnreachableJetway(jetway);
        break;
    }
    default:
        program::SimulatorError("SimConnect EXCEPTION! ID=" + std::to_string(static_cast<int>(exception.dwException)));
        break;
    }
}

void OnReservedKey(const SIMCONNECT_RECV* data, DWORD size)
{
    SIMCONNECT_RECV_RESERVED_KEY key{};
    if (!ReadRecord(data, size, key)) return;
    const std::string choice(key.szChoiceReserved, strnlen(key.szChoiceReserved, sizeof(key.szChoiceReserved)));
    const std::string reserved(key.szReservedKey, strnlen(key.szReservedKey, sizeof(key.szReservedKey)));
    LoopLog().info("Successfull Registration of Reserved Key '%s' -> '%s'", choice.c_str(), reserved.c_str());

    program::State& flags = Flags();
    const size_t length = std::min(reserved.size(), sizeof(flags.reservedKey) - 1);
    std::memcpy(flags.reservedKey, reserved.data(), length);
    flags.reservedKey[length] = '\0';
    if (!flags.topMenuCreated) {
        FSProcess::CreateTopMenu();
        flags.topMenuCreated = true;
    }
}

}  // namespace

namespace FSProcess {

void Dispatch(SIMCONNECT_RECV* data, DWORD size, void*)
{
    if (!data || size < sizeof(SIMCONNECT_RECV)) return;
    switch (data->dwID) {
    case SIMCONNECT_RECV_ID_EXCEPTION: OnException(data, size); break;
    case SIMCONNECT_RECV_ID_OPEN: LoopLog().info("### VELK connected to Simulator ###"); break;
    case SIMCONNECT_RECV_ID_QUIT:
        LoopLog().info("VELK disconnected from Simulator!");
        Flags().quit.store(1);
        break;
    case SIMCONNECT_RECV_ID_EVENT: {
        SIMCONNECT_RECV_EVENT event{};
        if (ReadRecord(data, size, event)) OnEvent(event);
        break;
    }
    case SIMCONNECT_RECV_ID_EVENT_FILENAME: {
        SIMCONNECT_RECV_EVENT event{};
        if (!ReadRecord(data, size, event)) break;
        if (event.uEventID == EventAircraftLoaded) Sim().RequestAircraftLoaded();
        else if (event.uEventID == EventFlightLoaded) OnPositionChanged();
        break;
    }
    case SIMCONNECT_RECV_ID_EVENT_FRAME: {
        SIMCONNECT_RECV_EVENT event{};
        if (ReadRecord(data, size, event) && event.uEventID == EventFrame) OnFrame();
        break;
    }
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA: OnObjectData(data, size); break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE: {
        SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE message{};
        if (ReadRecord(data, size, message) && message.dwRequestID == RequestAiScan)
            FSProcess::OnAiScanAnswer(*reinterpret_cast<const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE*>(data), size);
        break;
    }
    case SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID: {
        SIMCONNECT_RECV_ASSIGNED_OBJECT_ID assigned{};
        if (ReadRecord(data, size, assigned)) FSProcess::OnAssignedObjectId(assigned.dwRequestID, assigned.dwObjectID);
        break;
    }
    case SIMCONNECT_RECV_ID_RESERVED_KEY: OnReservedKey(data, size); break;
    case SIMCONNECT_RECV_ID_SYSTEM_STATE: OnSystemState(data, size); break;
    case SIMCONNECT_RECV_ID_CLIENT_DATA: OnClientData(data, size); break;
    default: break;
    }
}

}  // namespace FSProcess
