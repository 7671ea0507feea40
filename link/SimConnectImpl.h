// The program's one SimConnect connection and every fixed id it uses with the simulator: client events,
// notification groups, the hotkey input group, data definitions, requests, client-data areas and the
// add-on menu. Each operation is one SimConnect call or a short fixed sequence of them; none logs or
// retries. The module and other programs meet us under the event and area names, and the dispatch
// switches on the ids, so none of them may change.
#pragma once

#include "platform/simconnect/SimConnect.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class PlacementData;
struct JetwayData;

namespace velk_ids {

// Notification groups.
enum Group : DWORD {
    GroupFreezeToggle = 0,
    GroupMenu = 1,
    GroupVoiceCapture = 3,
    GroupJetwayAction = 4,
    GroupApi = 6,
    GroupAcftLVars = 7,
    GroupTopMenu = 8,
    GroupPrivate = 9,
};

// The text-menu hotkeys.
constexpr DWORD InputGroupHotkeys = 0;

// System events and client events share one id space.
enum Event : DWORD {
    EventSimStart = 0,
    EventPause = 1,
    EventSimStop = 2,
    EventSound = 3,
    EventPositionChanged = 4,
    Event4Sec = 5,
    Event1Sec = 6,
    Event6Hz = 7,
    EventFrame = 8,
    EventAircraftLoaded = 9,
    EventFreezeToggle = 10,
    EventFreezeLatLonSet = 11,
    EventFreezeAltitudeSet = 12,
    EventFreezeAttitudeSet = 13,
    EventPauseSet = 14,
    EventShowMainMenu = 15,
    EventShowSubMenu = 16,
    EventShowJetwayMenu = 17,
    EventShowJetwayMenuStandOps = 18,
    EventShowStandsMenu = 19,
    EventMainMenuResult = 21,
    EventAnimationPageResult = 22,
    EventJetwayPageResult = 23,
    EventStandPageResult = 24,
    EventStandOpsPageResult = 25,
    EventVoiceCaptureStart = 28,
    EventVoiceCaptureStop = 29,
    EventTopMenu = 30,
    EventReservedKey = 31,
    EventMenuReloadAll = 32,
    EventMenuDumpMaps = 33,
    EventMenuAiDetection = 35,
    EventJetwayStart = 36,
    EventJetwayDone = 37,
    EventJetwayIntermediate = 38,
    EventJetwayAbort = 39,
    EventJetwayResetAll = 40,
    EventJetwayConnectionCheck = 41,
    EventMenuTestDll = 42,
    EventWatchdog = 43,
    EventReloadAll = 45,
    EventJetwayQuery = 46,
    EventJetwayResponse = 47,
    EventJetwayTrigger = 48,
    EventJetwayTriggerStatus = 49,
    EventJetwayInform = 50,
    EventJetwayInformStatus = 51,
    EventStandInform = 52,
    EventStandInformStatus = 53,
    EventJetwayMassQuery = 54,
    EventJetwayMassResponse = 55,
    EventInjectionFinished = 57,
    EventFlightLoaded = 58,
    EventSimBubbleUpdate = 59,
    EventAcftLVarsQuery = 61,
    EventAcftLVarsResponse = 62,
    EventJetwayDataReceived = 63,
    EventStandInformLite = 64,
    EventStandInformStatusLite = 65,
    EventJetwayImmediateStop = 66,
};

// Data definitions.
enum Definition : DWORD {
    DefUserAircraft = 0,
    DefUserAircraftState = 1,
    DefSimDisabled = 2,
    DefComRadios = 4,
    DefDateTime = 5,
    DefProbeWeather = 9,
    DefHeading = 11,
    DefPitch = 12,
    DefBank = 13,
    DefAltitude = 14,
    DefVelocityBodyZ = 16,
    DefJetwayMotion = 17,
    DefVelocityWorldZ = 18,
    DefVelocityBodyY = 19,
    DefVdgsDisplay = 20,
    DefAiAircraft = 26,
    DefVelocityWorldX = 27,
    DefObjectPlacement = 28,
    DefGateNumber = 29,
};

// Client-data definitions.
enum ClientDefinition : DWORD {
    ClientDefJetwayRecord = 21,
    ClientDefApiRecord = 22,
    ClientDefAcftLVars = 23,
    ClientDefApiMassResponse = 24,
    ClientDefApiMassResponseVdgs = 25,
    ClientDefApiLite = 30,
};

// Client-data areas.
enum Area : DWORD {
    AreaJetwayIn1 = 24,   // to 27
    AreaJetwayOut1 = 28,  // to 35
    AreaAcftLVars = 36,
    AreaApiOut = 37,
    AreaApiIn = 38,
    AreaApiMassResponse = 39,
    AreaApiMassResponseVdgs = 40,
    AreaApiLite = 41,
};

// Requests.
enum Request : DWORD {
    RequestProbeFirst = 1,  // to 64
    RequestProbeLast = 64,
    RequestSimState = 65,
    RequestUserAircraft = 66,
    RequestSimDisabled = 70,
    RequestComRadios = 72,
    RequestDateTime = 73,
    RequestObjectAltitude = 81,
    RequestAircraftLoaded = 82,
    RequestJetwayDataOut = 89,
    RequestAiScan = 90,
    RequestUserAircraftState = 91,
    RequestJetwayQuery = 92,
    RequestJetwayTrigger = 93,
    RequestJetwayInform = 94,
    RequestStandInform = 95,
    RequestJetwayMassQuery = 96,
    RequestAcftLVars = 102,
    RequestStandInformLite = 103,
};

constexpr DWORD kJetwayRecordSize = 5600;
constexpr DWORD kAcftLVarsSize = 24;
constexpr DWORD kApiRecordSize = 928;
constexpr DWORD kApiMassResponseSize = 6156;
constexpr DWORD kApiMassResponseVdgsSize = 4108;
constexpr DWORD kApiLiteSize = 36;

constexpr DWORD kLowPriority = 32;
constexpr DWORD kAiScanRadiusMeters = 5000;

}  // namespace velk_ids

// Fixed records sent through the data definitions of the same size.
using JetwayMotionRecord = std::array<double, 9>;     // definition 17
using VdgsDisplayRecord = std::array<double, 5>;      // definition 20
using ObjectPlacementRecord = std::array<double, 6>;  // definition 28 (degrees, feet, radians)
using GateNumberRecord = std::array<double, 4>;       // definition 29

class SimConnectImpl {
public:
    static constexpr size_t kMessageBufferSize = 256;
    static constexpr float kMessageSeconds = 6.0f;

    SimConnectImpl() = default;
    virtual ~SimConnectImpl() = default;
    SimConnectImpl(const SimConnectImpl&) = delete;
    SimConnectImpl& operator=(const SimConnectImpl&) = delete;

    // ---- connection and events ----
    HRESULT Open();
    void Close();
    HANDLE GetHandle() const { return handle_; }
    DWORD GetLastSentPacketId() const;
    HRESULT TransmitEvent(DWORD event);
    HRESULT TransmitEventWithData(DWORD event, DWORD data);
    HRESULT TransmitEventToObject(DWORD object, DWORD event);
    HRESULT TransmitEventLowPriority(DWORD event);
    HRESULT TransmitEventWithDataLowPriority(DWORD event, DWORD data);
    HRESULT TransmitEventToObjectLowPriority(DWORD object, DWORD event);
    void FreezeObject(DWORD object);

    // ---- object data (nothing is sent for object 0) ----
    void SetObjectAltitude(DWORD object, const double* feet);
    void SetObjectHeading(DWORD object, const double* radians);
    void SetObjectPitch(DWORD object, const double* radians);
    void SetObjectBank(DWORD object, const double* radians);
    void SetVelocityBodyZ(DWORD object, double value);
    void SetJetwayMotion(DWORD object, const JetwayMotionRecord* record);
    void SetVelocityWorldZ(DWORD object, const double* value);
    void SetVelocityBodyY(DWORD object, const double* value);
    void SetVdgsDisplay(DWORD object, const VdgsDisplayRecord* record);
    void SetVelocityWorldX(DWORD object, const double* value);
    void SetObjectPlacement(DWORD object, const ObjectPlacementRecord* record);
    void SetGateNumberDigits(DWORD object, const GateNumberRecord* record);
    // Sent whatever the object id.
    void SetSimDisabled(DWORD object);

    // ---- requests ----
    void RequestSimDisabled(DWORD object);
    void RequestObjectAltitude(DWORD object);
    void RequestComRadios();
    void StartDateTimeRequest();
    void StopDateTimeRequest();
    void StartProbeRequest(DWORD object, DWORD requestId);
    void StopProbeRequest(DWORD object, DWORD probeIndex);
    void RequestSimState();
    void RequestAircraftLoaded();
    void StartUserAircraftRequests();
    void RequestAiAircraftScan();

    // ---- object creation ----
    static SIMCONNECT_DATA_INITPOSITION MakeInitPosition(const PlacementData& placement);
    static SIMCONNECT_DATA_INITPOSITION MakeInitPositionRaised(const PlacementData& placement, double heightMeters);
    HRESULT CreateObject(const std::string& title, DWORD requestId, const PlacementData& placement);
    HRESULT CreateObjectRaised(const std::string& title, DWORD requestId, const PlacementData& placement,
                               double heightMeters);
    void RemoveObject(DWORD object, DWORD requestId);

    // ---- jetway exchange ----
    // Writes the record into the job area it names (24 to 27); false for any other area.
    bool SendJetwayData(const JetwayData& record);
    // Channel 1 to 8: requests "VELK.JetwayData.Out.<channel>" once. Any other channel: false, nothing sent.
    bool RequestJetwayDataOut(DWORD channel);
    void RequestAcftLVars();

    // ---- texts and menus ----
    // At most 255 characters are shown; a longer text is cut.
    void PrintMessage(const std::string& text);
    void PrintMessageFor(const std::string& text, double seconds);
    // The menu's serialised text (NUL-separated lines) as the menu hands it out.
    void ShowTextMenu(DWORD resultEvent, const void* menuText, DWORD size);
    void CloseTextMenu(DWORD resultEvent);
    void AddTopMenu(const std::string& title);
    void RemoveTopMenu();
    void AddTopMenuItem(const std::string& text, DWORD event);
    void AddTopMenuItemMapped(const std::string& text, DWORD event);
    void AddTopMenuLabel(const std::string& text);
    void RemoveTopMenuItem(DWORD event);
    void SetTopMenuGroupPriority();

    // ---- hotkeys ----
    void RequestReservedKey();
    HRESULT MapMenuHotkey(const std::string& key, DWORD data);
    void EnableHotkeyInput();
    void EnableMenuHotkey();
    void AddMainMenuEventToGroup();

    // ---- registrations ----
    void MapPrivateEvents();
    void SubscribeSystemEvents();
    void SubscribeTimerEvents();
    void DefineDateTimeData();
    void MapVoiceCaptureEvents();
    void MapFreezeToggleEvent();
    void MapFreezeSetEvents();
    void MapJetwayDataAreas();
    void MapJetwayActionEvents();
    void DefineJetwayMotionData();
    void CreateApiDataAreas();
    void MapApiEvents();
    void MapAcftLVarsArea();
    void MapAcftLVarsEvents();
    void MapWatchdogEvent();
    void MapMenuEvents();
    void DefineObjectData();
    void DefineAircraftData();

    // The last text handed to PrintMessage, as it was sent (terminated within the buffer).
    const char* GetMessageBuffer() const { return messageBuffer_; }

private:
    HRESULT Transmit(DWORD object, DWORD event, DWORD data, DWORD priority);
    void SetData(DWORD definition, DWORD object, DWORD bytes, const void* data);
    void AddNumber(DWORD definition, const char* name, const char* unit,
                   SIMCONNECT_DATATYPE type = SIMCONNECT_DATATYPE_FLOAT64);

    HANDLE handle_ = nullptr;
    const char* menuClosingText_ = kEmptyText;
    char messageBuffer_[kMessageBufferSize] = {};

    static constexpr char kEmptyText[4] = {0, 0, 0, 0};
};
