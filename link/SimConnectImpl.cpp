#include "link/SimConnectImpl.h"

#include "foundation/Records.h"
#include "foundation/Units.h"
#include "jetway/core/JetwayCodec.h"

#include <algorithm>
#include <cstring>

using namespace velk_ids;

namespace {

constexpr DWORD kMenuTextSize = 1024;

constexpr const char* kJetwayInAreas[kJetwayInAreaCount] = {"VELK.JetwayData.In.1", "VELK.JetwayData.In.2",
                                                             "VELK.JetwayData.In.3", "VELK.JetwayData.In.4"};
constexpr const char* kJetwayOutAreas[kJetwayOutAreaCount] = {
    "VELK.JetwayData.Out.1", "VELK.JetwayData.Out.2", "VELK.JetwayData.Out.3", "VELK.JetwayData.Out.4",
    "VELK.JetwayData.Out.5", "VELK.JetwayData.Out.6", "VELK.JetwayData.Out.7", "VELK.JetwayData.Out.8"};

}  // namespace

// ---- connection and events ----

HRESULT SimConnectImpl::Open()
{
    return SimConnect_Open(&handle_, "Orvane VELK", nullptr, 0, nullptr, 0);
}

void SimConnectImpl::Close()
{
    if (!handle_) return;
    SimConnect_Close(handle_);
    handle_ = nullptr;
}

DWORD SimConnectImpl::GetLastSentPacketId() const
{
    DWORD id = 0;
    SimConnect_GetLastSentPacketID(handle_, &id);
    return id;
}

HRESULT SimConnectImpl::Transmit(DWORD object, DWORD event, DWORD data, DWORD priority)
{
    return SimConnect_TransmitClientEvent(handle_, object, event, data, priority,
                                          SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
}

HRESULT SimConnectImpl::TransmitEvent(DWORD event)
{
    return Transmit(SIMCONNECT_OBJECT_ID_USER, event, 0, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

HRESULT SimConnectImpl::TransmitEventWithData(DWORD event, DWORD data)
{
    return Transmit(SIMCONNECT_OBJECT_ID_USER, event, data, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

HRESULT SimConnectImpl::TransmitEventToObject(DWORD object, DWORD event)
{
    return Transmit(object, event, 0, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

HRESULT SimConnectImpl::TransmitEventLowPriority(DWORD event)
{
    return Transmit(SIMCONNECT_OBJECT_ID_USER, event, 0, kLowPriority);
}

HRESULT SimConnectImpl::TransmitEventWithDataLowPriority(DWORD event, DWORD data)
{
    return Transmit(SIMCONNECT_OBJECT_ID_USER, event, data, kLowPriority);
}

HRESULT SimConnectImpl::TransmitEventToObjectLowPriority(DWORD object, DWORD event)
{
    return Transmit(object, event, 0, kLowPriority);
}

void SimConnectImpl::FreezeObject(DWORD object)
{
    Transmit(object, EventFreezeAttitudeSet, 1, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    Transmit(object, EventFreezeLatLonSet, 1, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
    Transmit(object, EventFreezeAltitudeSet, 1, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

// ---- object data ----

void SimConnectImpl::SetData(DWORD definition, DWORD object, DWORD bytes, const void* data)
{
    // Object 0 would be the user aircraft: never write object values onto it.
    if (object == 0 || !data) return;
    SimConnect_SetDataOnSimObject(handle_, definition, object, SIMCONNECT_DATA_SET_FLAG_DEFAULT, 0, bytes,
                                  const_cast<void*>(data));
}

void SimConnectImpl::SetObjectAltitude(DWORD object, const double* feet) { SetData(DefAltitude, object, 8, feet); }
void SimConnectImpl::SetObjectHeading(DWORD object, const double* radians) { SetData(DefHeading, object, 8, radians); }
void SimConnectImpl::SetObjectPitch(DWORD object, const double* radians) { SetData(DefPitch, object, 8, radians); }
void SimConnectImpl::SetObjectBank(DWORD object, const double* radians) { SetData(DefBank, object, 8, radians); }

void SimConnectImpl::SetVelocityBodyZ(DWORD object, double value) { SetData(DefVelocityBodyZ, object, 8, &value); }

void SimConnectImpl::SetJetwayMotion(DWORD object, const JetwayMotionRecord* record)
{
    SetData(DefJetwayMotion, object, sizeof(JetwayMotionRecord), record ? record->data() : nullptr);
}

void SimConnectImpl::SetVelocityWorldZ(DWORD object, const double* value) { SetData(DefVelocityWorldZ, object, 8, value); }
void SimConnectImpl::SetVelocityBodyY(DWORD object, const double* value) { SetData(DefVelocityBodyY, object, 8, value); }

void SimConnectImpl::SetVdgsDisplay(DWORD object, const VdgsDisplayRecord* record)
{
    SetData(DefVdgsDisplay, object, sizeof(VdgsDisplayRecord), record ? record->data() : nullptr);
}

void SimConnectImpl::SetVelocityWorldX(DWORD object, const double* value) { SetData(DefVelocityWorldX, object, 8, value); }

void SimConnectImpl::SetObjectPlacement(DWORD object, const ObjectPlacementRecord* record)
{
    SetData(DefObjectPlacement, object, sizeof(ObjectPlacementRecord), record ? record->data() : nullptr);
}

void SimConnectImpl::SetGateNumberDigits(DWORD object, const GateNumberRecord* record)
{
    SetData(DefGateNumber, object, sizeof(GateNumberRecord), record ? record->data() : nullptr);
}

void SimConnectImpl::SetSimDisabled(DWORD object)
{
    double disabled = 1.0;
    SimConnect_SetDataOnSimObject(handle_, DefSimDisabled, object, SIMCONNECT_DATA_SET_FLAG_DEFAULT, 0,
                                  sizeof(disabled), &disabled);
}

static_assert(sizeof(JetwayMotionRecord) == 72 && sizeof(VdgsDisplayRecord) == 40 &&
              sizeof(ObjectPlacementRecord) == 48 && sizeof(GateNumberRecord) == 32);

// ---- requests ----

void SimConnectImpl::RequestSimDisabled(DWORD object)
{
    SimConnect_RequestDataOnSimObject(handle_, velk_ids::RequestSimDisabled, DefSimDisabled, object,
                                      SIMCONNECT_PERIOD_ONCE);
}

void SimConnectImpl::RequestObjectAltitude(DWORD object)
{
    SimConnect_RequestDataOnSimObject(handle_, velk_ids::RequestObjectAltitude, DefAltitude, object,
                                      SIMCONNECT_PERIOD_ONCE);
}

void SimConnectImpl::RequestComRadios()
{
    SimConnect_RequestDataOnSimObject(handle_, velk_ids::RequestComRadios, DefComRadios, SIMCONNECT_OBJECT_ID_USER,
                                      SIMCONNECT_PERIOD_ONCE);
}

void SimConnectImpl::StartDateTimeRequest()
{
    SimConnect_RequestDataOnSimObject(handle_, RequestDateTime, DefDateTime, SIMCONNECT_OBJECT_ID_USER,
                                      SIMCONNECT_PERIOD_SECOND, SIMCONNECT_DATA_REQUEST_FLAG_CHANGED);
}

void SimConnectImpl::StopDateTimeRequest()
{
    SimConnect_RequestDataOnSimObject(handle_, RequestDateTime, DefDateTime, SIMCONNECT_OBJECT_ID_USER,
                                      SIMCONNECT_PERIOD_NEVER);
}

void SimConnectImpl::StartProbeRequest(DWORD object, DWORD requestId)
{
    if (requestId < RequestProbeFirst || requestId > RequestProbeLast) return;
    SimConnect_RequestDataOnSimObject(handle_, requestId, DefProbeWeather, object, SIMCONNECT_PERIOD_SECOND,
                                      SIMCONNECT_DATA_REQUEST_FLAG_CHANGED);
}

void SimConnectImpl::StopProbeRequest(DWORD object, DWORD probeIndex)
{
    // The probe with index i was started with request i + 1.
    if (probeIndex >= RequestProbeLast) return;
    SimConnect_RequestDataOnSimObject(handle_, probeIndex + 1, DefProbeWeather, object, SIMCONNECT_PERIOD_NEVER);
}

void SimConnectImpl::RequestSimState()
{
    SimConnect_RequestSystemState(handle_, velk_ids::RequestSimState, "Sim");
}

void SimConnectImpl::RequestAircraftLoaded()
{
    SimConnect_RequestSystemState(handle_, velk_ids::RequestAircraftLoaded, "AircraftLoaded");
}

void SimConnectImpl::StartUserAircraftRequests()
{
    RequestAircraftLoaded();
    SimConnect_RequestDataOnSimObject(handle_, RequestUserAircraft, DefUserAircraft, SIMCONNECT_OBJECT_ID_USER,
                                      SIMCONNECT_PERIOD_VISUAL_FRAME, SIMCONNECT_DATA_REQUEST_FLAG_DEFAULT, 0, 1);
    SimConnect_RequestDataOnSimObject(handle_, RequestUserAircraftState, DefUserAircraftState,
                                      SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SECOND);
}

void SimConnectImpl::RequestAiAircraftScan()
{
    SimConnect_RequestDataOnSimObjectType(handle_, RequestAiScan, DefAiAircraft, kAiScanRadiusMeters,
                                          SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
}

// ---- object creation ----

SIMCONNECT_DATA_INITPOSITION SimConnectImpl::MakeInitPosition(const PlacementData& placement)
{
    SIMCONNECT_DATA_INITPOSITION position{};
    position.Latitude = placement.GetLatitude();
    position.Longitude = placement.GetLongitude();
    position.Altitude = placement.GetAltitude();
    position.Pitch = placement.GetPitch();
    position.Bank = placement.GetBank();
    position.Heading = placement.GetHeading();
    position.OnGround = placement.IsAltitudeAgl() ? 1 : 0;
    position.Airspeed = 0;
    return position;
}

SIMCONNECT_DATA_INITPOSITION SimConnectImpl::MakeInitPositionRaised(const PlacementData& placement,
                                                                    double heightMeters)
{
    SIMCONNECT_DATA_INITPOSITION position = MakeInitPosition(placement);
    position.Altitude += heightMeters * units::kFeetPerMetre;
    return position;
}

HRESULT SimConnectImpl::CreateObject(const std::string& title, DWORD requestId, const PlacementData& placement)
{
    return SimConnect_AICreateSimulatedObject(handle_, title.c_str(), MakeInitPosition(placement), requestId);
}

HRESULT SimConnectImpl::CreateObjectRaised(const std::string& title, DWORD requestId, const PlacementData& placement,
                                           double heightMeters)
{
    return SimConnect_AICreateSimulatedObject(handle_, title.c_str(), MakeInitPositionRaised(placement, heightMeters),
                                              requestId);
}

void SimConnectImpl::RemoveObject(DWORD object, DWORD requestId)
{
    SimConnect_AIRemoveObject(handle_, object, requestId);
}

// ---- jetway exchange ----

bool WriteJetwayJob(HANDLE simConnect, const JetwayData& record, HRESULT* result)
{
    const DWORD area = record.ClientDataAreaId;
    if (area < AreaJetwayIn1 || area >= AreaJetwayIn1 + kJetwayInAreaCount) return false;
    JetwayBytes bytes = EncodeJetwayData(record);
    static_assert(sizeof(bytes) == kJetwayRecordSize);
    const HRESULT written = SimConnect_SetClientData(simConnect, area, ClientDefJetwayRecord,
                                                     SIMCONNECT_CLIENT_DATA_SET_FLAG_DEFAULT, 0, kJetwayRecordSize,
                                                     bytes.data());
    if (result) *result = written;
    return true;
}

bool WriteApiAnswer(HANDLE simConnect, const uint8_t* record, size_t size)
{
    if (record == nullptr || size != kApiRecordSize) return false;
    SimConnect_SetClientData(simConnect, AreaApiOut, ClientDefApiRecord, SIMCONNECT_CLIENT_DATA_SET_FLAG_DEFAULT, 0,
                             kApiRecordSize, const_cast<uint8_t*>(record));
    return true;
}

bool SimConnectImpl::SendJetwayData(const JetwayData& record)
{
    return WriteJetwayJob(handle_, record);
}

bool SimConnectImpl::RequestJetwayDataOut(DWORD channel)
{
    if (channel < 1 || channel > kJetwayOutAreaCount) return false;
    SimConnect_RequestClientData(handle_, AreaJetwayOut1 - 1 + channel, velk_ids::RequestJetwayDataOut,
                                 ClientDefJetwayRecord, SIMCONNECT_CLIENT_DATA_PERIOD_ONCE);
    return true;
}

void SimConnectImpl::RequestAcftLVars()
{
    SimConnect_RequestClientData(handle_, AreaAcftLVars, velk_ids::RequestAcftLVars, ClientDefAcftLVars,
                                 SIMCONNECT_CLIENT_DATA_PERIOD_ONCE);
}

// ---- API client data ----

namespace {
void RequestApiArea(HANDLE handle, DWORD area, DWORD request, DWORD definition)
{
    SimConnect_RequestClientData(handle, area, request, definition, SIMCONNECT_CLIENT_DATA_PERIOD_ONCE);
}
}  // namespace

void SimConnectImpl::RequestJetwayQuery()
{
    RequestApiArea(handle_, AreaApiIn, velk_ids::RequestJetwayQuery, ClientDefApiRecord);
}
void SimConnectImpl::RequestJetwayTrigger()
{
    RequestApiArea(handle_, AreaApiIn, velk_ids::RequestJetwayTrigger, ClientDefApiRecord);
}
void SimConnectImpl::RequestJetwayInform()
{
    RequestApiArea(handle_, AreaApiIn, velk_ids::RequestJetwayInform, ClientDefApiRecord);
}
void SimConnectImpl::RequestStandInform()
{
    RequestApiArea(handle_, AreaApiIn, velk_ids::RequestStandInform, ClientDefApiRecord);
}
void SimConnectImpl::RequestJetwayMassQuery()
{
    RequestApiArea(handle_, AreaApiIn, velk_ids::RequestJetwayMassQuery, ClientDefApiRecord);
}
void SimConnectImpl::RequestStandInformLite()
{
    RequestApiArea(handle_, AreaApiLite, velk_ids::RequestStandInformLite, ClientDefApiLite);
}

void SimConnectImpl::SendApiDataOut(const api_wire::Area& record)
{
    WriteApiAnswer(handle_, record.data(), record.size());
}
void SimConnectImpl::SendMassResponse(const api_wire::MassArea& record)
{
    SimConnect_SetClientData(handle_, AreaApiMassResponse, ClientDefApiMassResponse,
                             SIMCONNECT_CLIENT_DATA_SET_FLAG_DEFAULT, 0, kApiMassResponseSize,
                             const_cast<uint8_t*>(record.data()));
}
void SimConnectImpl::SendMassResponseVdgs(const api_wire::MassVdgsArea& record)
{
    SimConnect_SetClientData(handle_, AreaApiMassResponseVdgs, ClientDefApiMassResponseVdgs,
                             SIMCONNECT_CLIENT_DATA_SET_FLAG_DEFAULT, 0, kApiMassResponseVdgsSize,
                             const_cast<uint8_t*>(record.data()));
}
void SimConnectImpl::SendApiLite(const api_wire::LiteArea& record)
{
    SimConnect_SetClientData(handle_, AreaApiLite, ClientDefApiLite, SIMCONNECT_CLIENT_DATA_SET_FLAG_DEFAULT, 0,
                             kApiLiteSize, const_cast<uint8_t*>(record.data()));
}

static_assert(api_wire::kRecordSize == kApiRecordSize && api_wire::kMassSize == kApiMassResponseSize &&
              api_wire::kMassVdgsSize == kApiMassResponseVdgsSize && api_wire::kLiteSize == kApiLiteSize);

// ---- texts and menus ----

void SimConnectImpl::PrintMessage(const std::string& text)
{
    PrintMessageFor(text, kMessageSeconds);
}

void SimConnectImpl::PrintMessageFor(const std::string& text, double seconds)
{
    // The whole buffer goes out: clear it so that nothing of an older, longer text follows the new one.
    std::memset(messageBuffer_, 0, sizeof(messageBuffer_));
    const size_t length = std::min(text.size(), sizeof(messageBuffer_) - 1);
    std::memcpy(messageBuffer_, text.data(), length);
    SimConnect_Text(handle_, SIMCONNECT_TEXT_TYPE_PRINT_WHITE, static_cast<float>(seconds), 0,
                    sizeof(messageBuffer_), messageBuffer_);
}

void SimConnectImpl::ShowTextMenu(DWORD resultEvent, const void* menuText, DWORD size)
{
    if (!menuText || size == 0) return;
    SimConnect_Text(handle_, SIMCONNECT_TEXT_TYPE_MENU, 0.0f, resultEvent, std::min(size, kMenuTextSize),
                    const_cast<void*>(menuText));
}

void SimConnectImpl::CloseTextMenu(DWORD resultEvent)
{
    SimConnect_Text(handle_, SIMCONNECT_TEXT_TYPE_MENU, 0.0f, resultEvent, sizeof(kEmptyText),
                    const_cast<char*>(menuClosingText_));
}

void SimConnectImpl::AddTopMenu(const std::string& title)
{
    SimConnect_MapClientEventToSimEvent(handle_, EventTopMenu, "");
    SimConnect_MenuAddItem(handle_, title.c_str(), EventTopMenu, 0);
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupTopMenu, EventTopMenu, FALSE);
}

void SimConnectImpl::RemoveTopMenu()
{
    SimConnect_MenuDeleteItem(handle_, EventTopMenu);
}

void SimConnectImpl::AddTopMenuItem(const std::string& text, DWORD event)
{
    SimConnect_MapClientEventToSimEvent(handle_, event, "");
    SimConnect_MenuAddSubItem(handle_, EventTopMenu, text.c_str(), event, 0);
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupTopMenu, event, FALSE);
}

void SimConnectImpl::AddTopMenuItemMapped(const std::string& text, DWORD event)
{
    SimConnect_MenuAddSubItem(handle_, EventTopMenu, text.c_str(), event, 0);
}

void SimConnectImpl::RemoveTopMenuItem(DWORD event)
{
    SimConnect_MenuDeleteSubItem(handle_, EventTopMenu, event);
}

void SimConnectImpl::SetTopMenuGroupPriority()
{
    SimConnect_SetNotificationGroupPriority(handle_, GroupTopMenu, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

// ---- hotkeys ----

void SimConnectImpl::RequestReservedKey()
{
    SimConnect_MapClientEventToSimEvent(handle_, EventReservedKey, "");
    SimConnect_RequestReservedKey(handle_, EventReservedKey, "s", "a", "d");
}

void SimConnectImpl::AddReservedKeyToMenuGroup()
{
    // Like every client event, the reserved key reaches the program only through a notification group.
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupMenu, EventReservedKey, FALSE);
}

HRESULT SimConnectImpl::MapMenuHotkey(const std::string& key, DWORD data)
{
    return SimConnect_MapInputEventToClientEvent(handle_, InputGroupHotkeys, key.c_str(), EventShowMainMenu, data,
                                                 SIMCONNECT_UNUSED, 0, FALSE);
}

void SimConnectImpl::EnableHotkeyInput()
{
    SimConnect_SetInputGroupState(handle_, InputGroupHotkeys, SIMCONNECT_STATE_ON);
}

void SimConnectImpl::EnableMenuHotkey()
{
    SimConnect_SetInputGroupState(handle_, InputGroupHotkeys, SIMCONNECT_STATE_ON);
}

void SimConnectImpl::AddMainMenuEventToGroup()
{
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupMenu, EventShowMainMenu, TRUE);
    SimConnect_SetNotificationGroupPriority(handle_, GroupMenu, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE);
}

// ---- registrations ----

void SimConnectImpl::MapPrivateEvents()
{
    SimConnect_MapClientEventToSimEvent(handle_, EventInjectionFinished, "");
    SimConnect_MapClientEventToSimEvent(handle_, EventSimBubbleUpdate, "");
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupPrivate, EventInjectionFinished, TRUE);
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupPrivate, EventSimBubbleUpdate, TRUE);
    SimConnect_SetNotificationGroupPriority(handle_, GroupPrivate, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE);
}

void SimConnectImpl::SubscribeSystemEvents()
{
    SimConnect_SubscribeToSystemEvent(handle_, EventSimStart, "SimStart");
    SimConnect_SubscribeToSystemEvent(handle_, EventPause, "Pause");
    SimConnect_SubscribeToSystemEvent(handle_, EventSound, "Sound");
    SimConnect_SubscribeToSystemEvent(handle_, EventSimStop, "SimStop");
    SimConnect_SubscribeToSystemEvent(handle_, EventPositionChanged, "PositionChanged");
    SimConnect_SubscribeToSystemEvent(handle_, EventAircraftLoaded, "AircraftLoaded");
    SimConnect_SubscribeToSystemEvent(handle_, EventFlightLoaded, "FlightLoaded");
    SimConnect_SubscribeToSystemEvent(handle_, Event4Sec, "4sec");
    SimConnect_MapClientEventToSimEvent(handle_, EventPauseSet, "PAUSE_SET");
}

void SimConnectImpl::SubscribeTimerEvents()
{
    SimConnect_SubscribeToSystemEvent(handle_, Event1Sec, "1sec");
    SimConnect_SubscribeToSystemEvent(handle_, Event6Hz, "6Hz");
    SimConnect_SubscribeToSystemEvent(handle_, EventFrame, "Frame");
}

void SimConnectImpl::AddNumber(DWORD definition, const char* name, const char* unit, SIMCONNECT_DATATYPE type)
{
    SimConnect_AddToDataDefinition(handle_, definition, name, unit, type, 0.0f, SIMCONNECT_UNUSED);
}

void SimConnectImpl::DefineDateTimeData()
{
    AddNumber(DefDateTime, "LOCAL MONTH OF YEAR", "Number");
    AddNumber(DefDateTime, "LOCAL DAY OF YEAR", "Number");
    AddNumber(DefDateTime, "LOCAL DAY OF WEEK", "Number");
    AddNumber(DefDateTime, "LOCAL DAY OF MONTH", "Number");
    AddNumber(DefDateTime, "TIME ZONE OFFSET", "Minutes", SIMCONNECT_DATATYPE_INT32);
    AddNumber(DefDateTime, "ZULU TIME", "Minutes", SIMCONNECT_DATATYPE_INT32);
    AddNumber(DefDateTime, "TIME OF DAY", "Enum", SIMCONNECT_DATATYPE_INT32);
    AddNumber(DefDateTime, "LOCAL YEAR", "Number", SIMCONNECT_DATATYPE_INT32);
}

void SimConnectImpl::MapVoiceCaptureEvents()
{
    SimConnect_MapClientEventToSimEvent(handle_, EventVoiceCaptureStart, "MP_VOICE_CAPTURE_START");
    SimConnect_MapClientEventToSimEvent(handle_, EventVoiceCaptureStop, "MP_VOICE_CAPTURE_STOP");
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupVoiceCapture, EventVoiceCaptureStart, FALSE);
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupVoiceCapture, EventVoiceCaptureStop, FALSE);
    SimConnect_SetNotificationGroupPriority(handle_, GroupVoiceCapture, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

void SimConnectImpl::MapFreezeToggleEvent()
{
    SimConnect_MapClientEventToSimEvent(handle_, EventFreezeToggle, "FREEZE_LATITUDE_LONGITUDE_TOGGLE");
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupFreezeToggle, EventFreezeToggle, FALSE);
    SimConnect_SetNotificationGroupPriority(handle_, GroupFreezeToggle, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

void SimConnectImpl::MapFreezeSetEvents()
{
    SimConnect_MapClientEventToSimEvent(handle_, EventFreezeLatLonSet, "FREEZE_LATITUDE_LONGITUDE_SET");
    SimConnect_MapClientEventToSimEvent(handle_, EventFreezeAltitudeSet, "FREEZE_ALTITUDE_SET");
    SimConnect_MapClientEventToSimEvent(handle_, EventFreezeAttitudeSet, "FREEZE_ATTITUDE_SET");
}

void SimConnectImpl::MapJetwayDataAreas()
{
    for (DWORD i = 0; i < kJetwayInAreaCount; ++i)
        SimConnect_MapClientDataNameToID(handle_, kJetwayInAreas[i], AreaJetwayIn1 + i);
    for (DWORD i = 0; i < kJetwayOutAreaCount; ++i)
        SimConnect_MapClientDataNameToID(handle_, kJetwayOutAreas[i], AreaJetwayOut1 + i);
    SimConnect_AddToClientDataDefinition(handle_, ClientDefJetwayRecord, SIMCONNECT_CLIENTDATAOFFSET_AUTO,
                                         kJetwayRecordSize);
}

void SimConnectImpl::MapJetwayActionEvents()
{
    struct Entry {
        DWORD id;
        const char* name;
        BOOL maskable;
    };
    static constexpr Entry kEvents[] = {
        {EventJetwayStart, "VELK.JetwayAction.Start", FALSE},
        {EventJetwayDataReceived, "VELK.JetwayAction.DataReceived", TRUE},
        {EventJetwayDone, "VELK.JetwayAction.Done", FALSE},
        {EventJetwayIntermediate, "VELK.JetwayAction.Intermediate", FALSE},
        {EventJetwayAbort, "VELK.JetwayAction.Abort", FALSE},
        {EventJetwayResetAll, "VELK.JetwayAction.ResetAll", FALSE},
        {EventJetwayConnectionCheck, "VELK.JetwayAction.ConnectionCheck", FALSE},
        {EventJetwayImmediateStop, "VELK.JetwayAction.ImmediateStop", FALSE},
    };
    for (const Entry& e : kEvents) SimConnect_MapClientEventToSimEvent(handle_, e.id, e.name);
    for (const Entry& e : kEvents)
        SimConnect_AddClientEventToNotificationGroup(handle_, GroupJetwayAction, e.id, e.maskable);
    SimConnect_SetNotificationGroupPriority(handle_, GroupJetwayAction, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE);
}

void SimConnectImpl::DefineJetwayMotionData()
{
    static constexpr const char* kMotion[] = {"VELOCITY WORLD Z",    "VELOCITY BODY Z",     "VELOCITY WORLD X",
                                              "VELOCITY BODY X",     "VELOCITY WORLD Y",    "VELOCITY BODY Y",
                                              "ACCELERATION BODY X", "ACCELERATION BODY Y", "ACCELERATION BODY Z"};
    for (const char* name : kMotion) AddNumber(DefJetwayMotion, name, "Number");
    AddNumber(DefVelocityWorldZ, "VELOCITY WORLD Z", "Number");
}

void SimConnectImpl::CreateApiDataAreas()
{
    const auto create = [this](DWORD area, DWORD size) {
        SimConnect_CreateClientData(handle_, area, size, SIMCONNECT_CREATE_CLIENT_DATA_FLAG_DEFAULT);
    };
    const auto define = [this](DWORD definition, DWORD size) {
        SimConnect_AddToClientDataDefinition(handle_, definition, SIMCONNECT_CLIENTDATAOFFSET_AUTO, size);
    };
    SimConnect_MapClientDataNameToID(handle_, "VELK.APIData.Out", AreaApiOut);
    SimConnect_MapClientDataNameToID(handle_, "VELK.APIData.In", AreaApiIn);
    create(AreaApiOut, kApiRecordSize);
    create(AreaApiIn, kApiRecordSize);
    define(ClientDefApiRecord, kApiRecordSize);
    SimConnect_MapClientDataNameToID(handle_, "VELK.APIData.MassResponse", AreaApiMassResponse);
    create(AreaApiMassResponse, kApiMassResponseSize);
    define(ClientDefApiMassResponse, kApiMassResponseSize);
    SimConnect_MapClientDataNameToID(handle_, "VELK.APIData.MassResponse.VDGS", AreaApiMassResponseVdgs);
    create(AreaApiMassResponseVdgs, kApiMassResponseVdgsSize);
    define(ClientDefApiMassResponseVdgs, kApiMassResponseVdgsSize);
    SimConnect_MapClientDataNameToID(handle_, "VELK.APIData.Lite", AreaApiLite);
    create(AreaApiLite, kApiLiteSize);
    define(ClientDefApiLite, kApiLiteSize);
}

void SimConnectImpl::MapApiEvents()
{
    struct Entry {
        DWORD id;
        const char* name;
        BOOL maskable;
    };
    static constexpr Entry kEvents[] = {
        {EventJetwayQuery, "VELK.JetwayQuery", TRUE},
        {EventJetwayResponse, "VELK.JetwayResponse", FALSE},
        {EventJetwayTrigger, "VELK.JetwayTrigger", TRUE},
        {EventJetwayTriggerStatus, "VELK.JetwayTriggerStatus", FALSE},
        {EventJetwayInform, "VELK.JetwayInform", TRUE},
        {EventJetwayInformStatus, "VELK.JetwayInformStatus", FALSE},
        {EventStandInform, "VELK.StandInform", TRUE},
        {EventStandInformStatus, "VELK.StandInformStatus", FALSE},
        {EventJetwayMassQuery, "VELK.JetwayMassQuery", TRUE},
        {EventJetwayMassResponse, "VELK.JetwayMassResponse", FALSE},
        {EventStandInformLite, "VELK.StandInform.Lite", TRUE},
        {EventStandInformStatusLite, "VELK.StandInformStatus.Lite", FALSE},
    };
    SimConnect_MapClientEventToSimEvent(handle_, EventReloadAll, "VELK.ReloadAll");
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupApi, EventReloadAll, FALSE);
    for (const Entry& e : kEvents) SimConnect_MapClientEventToSimEvent(handle_, e.id, e.name);
    for (const Entry& e : kEvents) SimConnect_AddClientEventToNotificationGroup(handle_, GroupApi, e.id, e.maskable);
    SimConnect_SetNotificationGroupPriority(handle_, GroupApi, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE);
}

void SimConnectImpl::MapAcftLVarsArea()
{
    SimConnect_MapClientDataNameToID(handle_, "VELK.AcftLVars.Out", AreaAcftLVars);
    SimConnect_AddToClientDataDefinition(handle_, ClientDefAcftLVars, SIMCONNECT_CLIENTDATAOFFSET_AUTO,
                                         kAcftLVarsSize);
}

void SimConnectImpl::MapAcftLVarsEvents()
{
    SimConnect_MapClientEventToSimEvent(handle_, EventAcftLVarsQuery, "VELK.JetwayAction.AcftLVarsQuery");
    SimConnect_MapClientEventToSimEvent(handle_, EventAcftLVarsResponse, "VELK.JetwayAction.AcftLVarsResponse");
    SimConnect_AddClientEventToNotificationGroup(handle_, GroupAcftLVars, EventAcftLVarsResponse, TRUE);
    SimConnect_SetNotificationGroupPriority(handle_, GroupAcftLVars, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE);
}

void SimConnectImpl::MapWatchdogEvent()
{
    SimConnect_MapClientEventToSimEvent(handle_, EventWatchdog, "VELK.Watchdog");
}

void SimConnectImpl::MapMenuEvents()
{
    SimConnect_MapClientEventToSimEvent(handle_, EventShowMainMenu, "VELK.ShowMainMenu");
    SimConnect_MapClientEventToSimEvent(handle_, EventShowSubMenu, "VELK.ShowSubMenu");
    SimConnect_MapClientEventToSimEvent(handle_, EventShowJetwayMenu, "VELK.ShowJetwayMenu");
    SimConnect_MapClientEventToSimEvent(handle_, EventShowJetwayMenuStandOps, "VELK.ShowJetwayMenuStandOps");
    SimConnect_MapClientEventToSimEvent(handle_, EventShowStandsMenu, "VELK.ShowStandsMenu");
    for (DWORD e = EventShowSubMenu; e <= EventShowStandsMenu; ++e)
        SimConnect_AddClientEventToNotificationGroup(handle_, GroupMenu, e, TRUE);
    // The text menus' answers come back under these events: the simulator delivers only mapped ones.
    for (DWORD e = EventMainMenuResult; e <= EventStandOpsPageResult; ++e)
        SimConnect_MapClientEventToSimEvent(handle_, e, "");
}

void SimConnectImpl::DefineObjectData()
{
    AddNumber(DefVelocityBodyZ, "VELOCITY BODY Z", "Number");
    AddNumber(DefVelocityWorldX, "VELOCITY WORLD X", "Number");
    for (const char* name : {"ACCELERATION BODY X", "ACCELERATION BODY Y", "ACCELERATION BODY Z", "VELOCITY BODY X"})
        AddNumber(DefGateNumber, name, "Number");
    for (const char* name : {"VELOCITY WORLD X", "VELOCITY WORLD Y", "VELOCITY WORLD Z", "VELOCITY BODY X",
                             "VELOCITY BODY Y"})
        AddNumber(DefVdgsDisplay, name, "Number");
    AddNumber(DefAltitude, "PLANE ALTITUDE", "Feet");
    AddNumber(DefHeading, "PLANE HEADING DEGREES TRUE", "Radians");
    AddNumber(DefPitch, "PLANE PITCH DEGREES", "Radians");
    AddNumber(DefBank, "PLANE BANK DEGREES", "Radians");

    AddNumber(DefComRadios, "COM STATUS:1", "Enum", SIMCONNECT_DATATYPE_INT64);
    AddNumber(DefComRadios, "COM ACTIVE FREQUENCY:1", "MHz");
    AddNumber(DefComRadios, "COM TRANSMIT:1", "Bool");
    AddNumber(DefComRadios, "COM ACTIVE FREQUENCY:2", "MHz");
    AddNumber(DefComRadios, "COM TRANSMIT:2", "Bool");

    AddNumber(DefProbeWeather, "AMBIENT WIND DIRECTION", "Degrees", SIMCONNECT_DATATYPE_INT32);
    AddNumber(DefProbeWeather, "AMBIENT WIND VELOCITY", "Knots", SIMCONNECT_DATATYPE_INT32);
    AddNumber(DefProbeWeather, "AMBIENT VISIBILITY", "Meters", SIMCONNECT_DATATYPE_INT32);
    AddNumber(DefProbeWeather, "AMBIENT PRECIP STATE", "Mask", SIMCONNECT_DATATYPE_INT32);
    AddNumber(DefProbeWeather, "AMBIENT TEMPERATURE", "Celsius", SIMCONNECT_DATATYPE_INT32);
    AddNumber(DefProbeWeather, "SEA LEVEL PRESSURE", "Hectopascal", SIMCONNECT_DATATYPE_INT32);
}

void SimConnectImpl::DefineAircraftData()
{
    AddNumber(DefVelocityBodyY, "VELOCITY BODY Y", "Number");
    AddNumber(DefSimDisabled, "SIM DISABLED", "Number");

    AddNumber(DefUserAircraft, "Plane Latitude", "degrees");
    AddNumber(DefUserAircraft, "Plane Longitude", "degrees");
    AddNumber(DefUserAircraft, "PLANE ALTITUDE", "Feet");
    AddNumber(DefUserAircraft, "PLANE PITCH DEGREES", "Radians");
    AddNumber(DefUserAircraft, "PLANE BANK DEGREES", "Radians");
    AddNumber(DefUserAircraft, "PLANE HEADING DEGREES TRUE", "Radians");
    for (const char* name : {"VELOCITY WORLD X", "VELOCITY WORLD Y", "VELOCITY WORLD Z", "VELOCITY BODY Z"})
        AddNumber(DefUserAircraft, name, "meter per second");
    AddNumber(DefUserAircraft, "GROUND VELOCITY", "Knots");

    for (const char* name : {"BRAKE PARKING INDICATOR", "LIGHT BEACON", "NUMBER OF ENGINES", "GENERAL ENG RPM:1",
                             "GENERAL ENG RPM:2", "GENERAL ENG RPM:3", "GENERAL ENG RPM:4", "BRAKE INDICATOR",
                             "IS SLEW ACTIVE"})
        AddNumber(DefUserAircraftState, name, "Number");
    AddNumber(DefUserAircraftState, "SIM ON GROUND", "Bool");

    AddNumber(DefObjectPlacement, "Plane Latitude", "degrees");
    AddNumber(DefObjectPlacement, "Plane Longitude", "degrees");
    AddNumber(DefObjectPlacement, "PLANE ALTITUDE", "Feet");
    AddNumber(DefObjectPlacement, "PLANE PITCH DEGREES", "Radians");
    AddNumber(DefObjectPlacement, "PLANE BANK DEGREES", "Radians");
    AddNumber(DefObjectPlacement, "PLANE HEADING DEGREES TRUE", "Radians");

    AddNumber(DefAiAircraft, "Plane Latitude", "degrees");
    AddNumber(DefAiAircraft, "Plane Longitude", "degrees");
    AddNumber(DefAiAircraft, "PLANE ALTITUDE", "Feet");
    AddNumber(DefAiAircraft, "PLANE HEADING DEGREES TRUE", "Radians");
    AddNumber(DefAiAircraft, "SIM ON GROUND", "Bool");
    AddNumber(DefAiAircraft, "IS USER SIM", "Bool");
    AddNumber(DefAiAircraft, "AI TRAFFIC CURRENT AIRPORT", nullptr, SIMCONNECT_DATATYPE_STRING32);
    AddNumber(DefAiAircraft, "AI TRAFFIC ASSIGNED PARKING", nullptr, SIMCONNECT_DATATYPE_STRING128);
    AddNumber(DefAiAircraft, "ATC ID", nullptr, SIMCONNECT_DATATYPE_STRINGV);
    AddNumber(DefAiAircraft, "ATC MODEL", nullptr, SIMCONNECT_DATATYPE_STRINGV);
    AddNumber(DefAiAircraft, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV);
    AddNumber(DefAiAircraft, "AI TRAFFIC STATE", nullptr, SIMCONNECT_DATATYPE_STRING32);
}
