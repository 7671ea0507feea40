// Every fixed id the program uses with the simulator (groups, events, data and client-data definitions,
// client-data areas, requests) and the sizes of the client-data records; constants read by any thread.
//
// The module and other programs meet us under the event and area names mapped to these ids, and the
// dispatch switches on them, so none of them may change.
#pragma once

#include "platform/simconnect/SimConnect.h"

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

// The four job areas "VELK.JetwayData.In.<n>" (n = 1 to 4) are AreaJetwayIn1 + n - 1; the eight result
// areas "VELK.JetwayData.Out.<n>" (n = 1 to 8) are AreaJetwayOut1 + n - 1.
constexpr DWORD kJetwayInAreaCount = 4;
constexpr DWORD kJetwayOutAreaCount = 8;

// Record sizes in bytes.
constexpr DWORD kJetwayRecordSize = 5600;
constexpr DWORD kAcftLVarsSize = 24;
constexpr DWORD kApiRecordSize = 928;
constexpr DWORD kApiMassResponseSize = 6156;
constexpr DWORD kApiMassResponseVdgsSize = 4108;
constexpr DWORD kApiLiteSize = 36;

constexpr DWORD kLowPriority = 32;
constexpr DWORD kAiScanRadiusMeters = 5000;

}  // namespace velk_ids
