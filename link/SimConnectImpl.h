// The program's one SimConnect connection: its registrations under the ids of SimConnectIds.h, the
// requests, the object data, the client-data records, the texts and the add-on menu. Main thread, except
// that timer threads may use its handle (the client is thread-safe).
//
// Each operation is one SimConnect call or a short fixed sequence of them; none logs or retries.
#pragma once

#include "link/ApiCodec.h"
#include "link/SimConnectIds.h"
#include "platform/simconnect/SimConnect.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class PlacementData;
struct JetwayData;

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
    // Writes the record into the job area it names (WriteJetwayJob); false for any other area.
    bool SendJetwayData(const JetwayData& record);
    // Channel 1 to 8: requests "VELK.JetwayData.Out.<channel>" once. Any other channel: false, nothing sent.
    bool RequestJetwayDataOut(DWORD channel);
    void RequestAcftLVars();

    // ---- API client data ----
    // One read of the request area ("VELK.APIData.In", or "VELK.APIData.Lite") under the request's id.
    void RequestJetwayQuery();
    void RequestJetwayTrigger();
    void RequestJetwayInform();
    void RequestStandInform();
    void RequestJetwayMassQuery();
    void RequestStandInformLite();
    // The answer areas, written whole.
    void SendApiDataOut(const api_wire::Area& record);
    void SendMassResponse(const api_wire::MassArea& record);
    void SendMassResponseVdgs(const api_wire::MassVdgsArea& record);
    void SendApiLite(const api_wire::LiteArea& record);

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
    void RemoveTopMenuItem(DWORD event);
    void SetTopMenuGroupPriority();

    // ---- hotkeys ----
    void RequestReservedKey();
    // The reserved key's event into the menu group (object mode, primary hotkey on).
    void AddReservedKeyToMenuGroup();
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

// The one encoding and write of the two client-data records the program sends, for the connection above
// and for code that holds only its handle.
//
// The jetway job goes into the job area that the record names ("VELK.JetwayData.In.1" to ".4", areas
// AreaJetwayIn1 to AreaJetwayIn1 + 3) under ClientDefJetwayRecord. False for any other area, and nothing
// is sent; otherwise true, and result (may be null) receives the SimConnect result of the write.
bool WriteJetwayJob(HANDLE simConnect, const JetwayData& record, HRESULT* result = nullptr);
// The API answer (kApiRecordSize bytes) into "VELK.APIData.Out" under ClientDefApiRecord. A null record or
// one of any other size is not sent: false.
bool WriteApiAnswer(HANDLE simConnect, const uint8_t* record, size_t size);
