#include "examples/api_client/ApiClient.h"

#include <algorithm>
#include <cstring>

namespace api_client {
namespace {

// The client's own ids: any numbers will do, they only have to differ from each other within their kind.
constexpr DWORD kGroup = 0x4150;  // the notification group of the answer events

enum EventId : DWORD {
    kEventJetwayQuery = 0x4101,
    kEventJetwayTrigger,
    kEventJetwayInform,
    kEventStandInform,
    kEventMassQuery,
    kEventStandInformLite,
    kEventJetwayResponse = 0x4121,
    kEventTriggerStatus,
    kEventInformStatus,
    kEventStandStatus,
    kEventMassResponse,
    kEventLiteStatus,
    kEventFirstOnDemand = 0x4200,  // events sent by name that are not the API's
};

enum AreaId : DWORD { kAreaIn = 0x4301, kAreaOut, kAreaMass, kAreaMassVdgs, kAreaLite };

// Definitions: one block from offset 0 of the area's size; other sizes get ids from kDefinitionOnDemand.
enum DefinitionId : DWORD {
    kDefinitionRecord = 0x4401,
    kDefinitionMass,
    kDefinitionMassVdgs,
    kDefinitionLite,
    kDefinitionOnDemand = 0x4500,
};

enum RequestId : DWORD {
    kRequestOut = 0x4601,
    kRequestMass,
    kRequestMassVdgs,
    kRequestLite,
    kRequestIn,          // once, only to learn whether the request area exists
    kRequestRegistered,  // the system state asked for at the end of the registration
};

struct EventName {
    DWORD id;
    const char* name;
};
constexpr EventName kRequestEvents[] = {
    {kEventJetwayQuery, "VELK.JetwayQuery"},       {kEventJetwayTrigger, "VELK.JetwayTrigger"},
    {kEventJetwayInform, "VELK.JetwayInform"},     {kEventStandInform, "VELK.StandInform"},
    {kEventMassQuery, "VELK.JetwayMassQuery"},     {kEventStandInformLite, "VELK.StandInform.Lite"},
};
constexpr EventName kAnswerEvents[] = {
    {kEventJetwayResponse, "VELK.JetwayResponse"},         {kEventTriggerStatus, "VELK.JetwayTriggerStatus"},
    {kEventInformStatus, "VELK.JetwayInformStatus"},       {kEventStandStatus, "VELK.StandInformStatus"},
    {kEventMassResponse, "VELK.JetwayMassResponse"},       {kEventLiteStatus, "VELK.StandInformStatus.Lite"},
};

struct AreaSpec {
    DWORD id;
    const char* name;
    size_t size;
    DWORD definition;
    DWORD request;  // the subscription to its writes; kRequestIn asks once
};
constexpr AreaSpec kAreas[] = {
    {kAreaIn, "VELK.APIData.In", api_wire::kRecordSize, kDefinitionRecord, kRequestIn},
    {kAreaOut, "VELK.APIData.Out", api_wire::kRecordSize, kDefinitionRecord, kRequestOut},
    {kAreaMass, "VELK.APIData.MassResponse", api_wire::kMassSize, kDefinitionMass, kRequestMass},
    {kAreaMassVdgs, "VELK.APIData.MassResponse.VDGS", api_wire::kMassVdgsSize, kDefinitionMassVdgs,
     kRequestMassVdgs},
    {kAreaLite, "VELK.APIData.Lite", api_wire::kLiteSize, kDefinitionLite, kRequestLite},
};

// The message's record into the kept copy of its area; bytes the message lacks become zero.
template <size_t N>
void Keep(const SIMCONNECT_RECV_CLIENT_DATA& data, DWORD size, std::array<uint8_t, N>& area)
{
    const size_t have = std::min<size_t>(size - SIMCONNECT_DATA_OFFSET, N);
    std::memcpy(area.data(), reinterpret_cast<const uint8_t*>(&data) + SIMCONNECT_DATA_OFFSET, have);
    std::fill(area.begin() + static_cast<long>(have), area.end(), 0);
}

std::string Named(const std::string& prefix, uint32_t code, std::initializer_list<const char*> names)
{
    if (code < names.size()) return names.begin()[code];
    return prefix + " " + std::to_string(code);
}

std::string TriggerStatusText(uint32_t status)
{
    return Named("status", status,
                 {"no solution", "solution exists", "docking", "docked", "undocking", "undocked", "aborted",
                  "jetway gone"});
}

std::string InformStatusText(uint32_t status)
{
    return Named("status", status,
                 {"probed", "reset", "registered", "removed", "no jetway configuration", "refused"});
}

std::string StandStatusText(uint32_t status)
{
    return Named("status", status, {"other mode", "selected", "deselected"});
}

std::string SlotStateText(uint32_t state)
{
    switch (state) {
    case api_wire::kSlotMovingUndocked: return "docking";
    case api_wire::kSlotDocked: return "docked";
    case api_wire::kSlotMovingDocked: return "undocking";
    case api_wire::kSlotUndocked: return "undocked";
    case api_wire::kSlotEmpty: return "empty";
    default: return "state " + std::to_string(state);
    }
}

std::string JetwayTypeText(uint32_t type)
{
    return type >= 1 && type <= 4 ? std::string(1, "ANTH"[type - 1]) : "?" + std::to_string(type);
}

std::string CategoryText(int32_t category)
{
    static const char* const kParkings[] = {"NONE",      "N_PARKING", "NE_PARKING", "NW_PARKING", "SE_PARKING",
                                            "S_PARKING", "SW_PARKING", "W_PARKING", "E_PARKING"};
    if (category == 0) return "OTHER";
    if (category == 1) return "PARKING";
    if (category == 2) return "DOCK";
    if (category == 3) return "GATE";
    if (category >= 4 && category <= 29) return std::string("GATE_") + static_cast<char>('A' + category - 4);
    if (category >= 30 && category <= 38) return kParkings[category - 30];
    return "category " + std::to_string(category);
}

std::string Jetways(int32_t n) { return std::to_string(n) + (n == 1 ? " jetway" : " jetways"); }

std::string StandText(const api_wire::StandRef& stand)
{
    return stand.icao + " " + stand.name + " " + std::to_string(stand.number);
}

}  // namespace

api_wire::StandRef QueriedStand(const api_wire::JetwayResponse& r)
{
    const size_t base = api_wire::in::kQueryEcho.offset;
    const auto shifted = [&](api_wire::Field f) { return api_wire::Field{f.offset - base, f.size}; };
    api_wire::StandRef stand;
    stand.icao = api_wire::ReadText(r.echo.data(), shifted(api_wire::in::kQueryIcao));
    stand.name = api_wire::ReadText(r.echo.data(), shifted(api_wire::in::kQueryStand));
    const uint8_t* n = r.echo.data() + (api_wire::in::kQueryNumber.offset - base);
    stand.number = uint32_t(n[0]) | uint32_t(n[1]) << 8 | uint32_t(n[2]) << 16 | uint32_t(n[3]) << 24;
    return stand;
}

const char* KindName(Answer::Kind kind)
{
    switch (kind) {
    case Answer::Kind::JetwayResponse: return "JetwayResponse";
    case Answer::Kind::TriggerStatus: return "JetwayTriggerStatus";
    case Answer::Kind::InformStatus: return "JetwayInformStatus";
    case Answer::Kind::StandStatus: return "StandInformStatus";
    case Answer::Kind::MassResponse: return "JetwayMassResponse";
    case Answer::Kind::LiteStatus: return "StandInformStatus.Lite";
    }
    return "?";
}

void ApiClient::Remember(const std::string& what)
{
    DWORD packet = 0;
    if (SimConnect_GetLastSentPacketID(handle_, &packet) == S_OK) packets_[packet] = what;
}

bool ApiClient::Register()
{
    bool ok = true;
    const auto call = [&](HRESULT hr, const std::string& what) {
        if (FAILED(hr)) ok = false;
        else Remember(what);
    };
    for (const EventName& e : kRequestEvents)
        call(SimConnect_MapClientEventToSimEvent(handle_, e.id, e.name), "mapping of event " + std::string(e.name));
    for (const EventName& e : kAnswerEvents) {
        call(SimConnect_MapClientEventToSimEvent(handle_, e.id, e.name), "mapping of event " + std::string(e.name));
        call(SimConnect_AddClientEventToNotificationGroup(handle_, kGroup, e.id, FALSE),
             "listening to event " + std::string(e.name));
    }
    call(SimConnect_SetNotificationGroupPriority(handle_, kGroup, SIMCONNECT_GROUP_PRIORITY_HIGHEST),
         "priority of the answer events' group");

    for (const AreaSpec& a : kAreas) {
        const std::string name = a.name;
        call(SimConnect_MapClientDataNameToID(handle_, a.name, a.id), "mapping of area " + name);
        if (definitions_.emplace(a.size, a.definition).second)
            call(SimConnect_AddToClientDataDefinition(handle_, a.definition, 0, static_cast<DWORD>(a.size)),
                 "definition of " + std::to_string(a.size) + " bytes");
        // The request area is asked for once: the answer is not needed, a refusal says it does not exist.
        const auto period = a.id == kAreaIn ? SIMCONNECT_CLIENT_DATA_PERIOD_ONCE : SIMCONNECT_CLIENT_DATA_PERIOD_ON_SET;
        const HRESULT hr = SimConnect_RequestClientData(handle_, a.id, a.request, a.definition, period);
        call(hr, "subscription to area " + name);
        DWORD packet = 0;
        if (SUCCEEDED(hr) && SimConnect_GetLastSentPacketID(handle_, &packet) == S_OK) areaPackets_[packet] = name;
    }

    // Answered after everything above was handled: the simulator answers its clients' calls in order.
    call(SimConnect_RequestSystemState(handle_, kRequestRegistered, "Sim"), "the end of the registration");
    return ok;
}

bool ApiClient::TakeError(std::string& text)
{
    if (errors_.empty()) return false;
    text = std::move(errors_.front());
    errors_.pop_front();
    return true;
}

DWORD ApiClient::Definition(size_t size)
{
    auto it = definitions_.find(size);
    if (it != definitions_.end()) return it->second;
    const DWORD id = kDefinitionOnDemand + nextId_++;
    if (FAILED(SimConnect_AddToClientDataDefinition(handle_, id, 0, static_cast<DWORD>(size)))) return 0;
    Remember("definition of " + std::to_string(size) + " bytes");
    definitions_[size] = id;
    return id;
}

bool ApiClient::WriteRecord(DWORD area, const uint8_t* data, size_t size, const std::string& what)
{
    const DWORD definition = Definition(size);
    if (definition == 0) return false;
    if (FAILED(SimConnect_SetClientData(handle_, area, definition, SIMCONNECT_CLIENT_DATA_SET_FLAG_DEFAULT, 0,
                                        static_cast<DWORD>(size), const_cast<uint8_t*>(data))))
        return false;
    Remember(what);
    return true;
}

bool ApiClient::Send(DWORD event, const std::string& name)
{
    if (FAILED(SimConnect_TransmitClientEvent(handle_, SIMCONNECT_OBJECT_ID_USER, event, 0,
                                              SIMCONNECT_GROUP_PRIORITY_HIGHEST,
                                              SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY)))
        return false;
    Remember("event " + name);
    return true;
}

bool ApiClient::JetwayQuery(const api_wire::JetwayQueryRequest& request)
{
    request_.fill(0);
    api_wire::EncodeJetwayQuery(request, request_);
    return WriteRecord(kAreaIn, request_.data(), request_.size(), "JetwayQuery request") &&
           Send(kEventJetwayQuery, "VELK.JetwayQuery");
}

bool ApiClient::JetwayTrigger(const api_wire::JetwayTriggerRequest& request)
{
    request_.fill(0);
    api_wire::EncodeJetwayTrigger(request, request_);
    return WriteRecord(kAreaIn, request_.data(), request_.size(), "JetwayTrigger request") &&
           Send(kEventJetwayTrigger, "VELK.JetwayTrigger");
}

bool ApiClient::JetwayInform(const api_wire::JetwayInformRequest& request)
{
    request_.fill(0);
    api_wire::EncodeJetwayInform(request, request_);
    return WriteRecord(kAreaIn, request_.data(), request_.size(), "JetwayInform request") &&
           Send(kEventJetwayInform, "VELK.JetwayInform");
}

bool ApiClient::StandInform(const api_wire::StandInformRequest& request)
{
    request_.fill(0);
    api_wire::EncodeStandInform(request, request_);
    return WriteRecord(kAreaIn, request_.data(), request_.size(), "StandInform request") &&
           Send(kEventStandInform, "VELK.StandInform");
}

bool ApiClient::MassQuery(const api_wire::MassQueryRequest& request)
{
    request_.fill(0);
    api_wire::EncodeMassQuery(request, request_);
    return WriteRecord(kAreaIn, request_.data(), request_.size(), "JetwayMassQuery request") &&
           Send(kEventMassQuery, "VELK.JetwayMassQuery");
}

bool ApiClient::StandInformLite(const api_wire::LiteRecord& request)
{
    api_wire::LiteArea area{};
    api_wire::EncodeLite(request, area);
    return WriteRecord(kAreaLite, area.data(), area.size(), "StandInform.Lite request") &&
           Send(kEventStandInformLite, "VELK.StandInform.Lite");
}

bool ApiClient::WriteRequestArea(const uint8_t* data, size_t size)
{
    if (data == nullptr || size == 0 || size > api_wire::kRecordSize) return false;
    return WriteRecord(kAreaIn, data, size, "raw write of " + std::to_string(size) + " bytes to VELK.APIData.In");
}

bool ApiClient::WriteLiteArea(const uint8_t* data, size_t size)
{
    if (data == nullptr || size == 0 || size > api_wire::kLiteSize) return false;
    return WriteRecord(kAreaLite, data, size, "raw write of " + std::to_string(size) + " bytes to VELK.APIData.Lite");
}

bool ApiClient::SendRequestEvent(const std::string& eventName)
{
    for (const EventName& e : kRequestEvents)
        if (eventName == e.name) return Send(e.id, eventName);
    for (const EventName& e : kAnswerEvents)
        if (eventName == e.name) return Send(e.id, eventName);
    auto it = extraEvents_.find(eventName);
    if (it == extraEvents_.end()) {
        const DWORD id = kEventFirstOnDemand + nextId_++;
        if (FAILED(SimConnect_MapClientEventToSimEvent(handle_, id, eventName.c_str()))) return false;
        Remember("mapping of event " + eventName);
        it = extraEvents_.emplace(eventName, id).first;
    }
    return Send(it->second, eventName);
}

void ApiClient::HandleMessage(const SIMCONNECT_RECV* message, DWORD size)
{
    if (message == nullptr || size < sizeof(SIMCONNECT_RECV)) return;
    switch (message->dwID) {
    case SIMCONNECT_RECV_ID_CLIENT_DATA: {
        if (size < SIMCONNECT_DATA_OFFSET) return;
        const auto& data = *static_cast<const SIMCONNECT_RECV_CLIENT_DATA*>(message);
        switch (data.dwRequestID) {
        case kRequestOut: return Keep(data, size, out_);
        case kRequestMass: return Keep(data, size, mass_);
        case kRequestMassVdgs: return Keep(data, size, massVdgs_);
        case kRequestLite: return Keep(data, size, lite_);
        default: return;
        }
    }
    case SIMCONNECT_RECV_ID_SYSTEM_STATE: {
        if (size < sizeof(SIMCONNECT_RECV_SYSTEM_STATE)) return;
        if (static_cast<const SIMCONNECT_RECV_SYSTEM_STATE*>(message)->dwRequestID == kRequestRegistered)
            registered_ = true;
        return;
    }
    case SIMCONNECT_RECV_ID_EXCEPTION: {
        if (size < sizeof(SIMCONNECT_RECV_EXCEPTION)) return;
        const auto& e = *static_cast<const SIMCONNECT_RECV_EXCEPTION*>(message);
        // A refused subscription: the area does not exist (noted once, not as an error).
        auto area = areaPackets_.find(e.dwSendID);
        if (area != areaPackets_.end() && e.dwException == SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID) {
            if (std::find(missingAreas_.begin(), missingAreas_.end(), area->second) == missingAreas_.end())
                missingAreas_.push_back(area->second);
            return;
        }
        auto packet = packets_.find(e.dwSendID);
        errors_.push_back("the simulator refused " +
                          (packet != packets_.end() ? packet->second : "packet " + std::to_string(e.dwSendID)) +
                          " (exception " + std::to_string(e.dwException) + ", argument " + std::to_string(e.dwIndex) +
                          ")");
        return;
    }
    case SIMCONNECT_RECV_ID_EVENT: {
        if (size < sizeof(SIMCONNECT_RECV_EVENT)) return;
        const auto& event = *static_cast<const SIMCONNECT_RECV_EVENT*>(message);
        if (event.uGroupID != kGroup) return;
        Answer answer;
        answer.eventData = event.dwData;
        bool decoded = false;
        switch (event.uEventID) {
        case kEventJetwayResponse:
            answer.kind = Answer::Kind::JetwayResponse;
            decoded = api_wire::DecodeJetwayResponse(out_.data(), out_.size(), answer.jetways);
            break;
        case kEventTriggerStatus:
            answer.kind = Answer::Kind::TriggerStatus;
            decoded = api_wire::DecodeTriggerStatus(out_.data(), out_.size(), answer.status);
            break;
        case kEventInformStatus:
            answer.kind = Answer::Kind::InformStatus;
            decoded = api_wire::DecodeInformStatus(out_.data(), out_.size(), answer.status);
            break;
        case kEventStandStatus:
            answer.kind = Answer::Kind::StandStatus;
            decoded = api_wire::DecodeStandStatus(out_.data(), out_.size(), answer.status);
            break;
        case kEventMassResponse:
            answer.kind = Answer::Kind::MassResponse;
            decoded = api_wire::DecodeMassResponse(mass_.data(), mass_.size(), answer.stands) &&
                      api_wire::DecodeMassResponseVdgs(massVdgs_.data(), massVdgs_.size(), answer.guidanceStands);
            break;
        case kEventLiteStatus:
            answer.kind = Answer::Kind::LiteStatus;
            decoded = api_wire::DecodeLite(lite_.data(), lite_.size(), answer.lite);
            break;
        default: return;
        }
        if (decoded) answers_.push_back(std::move(answer));
        return;
    }
    default: return;
    }
}

bool ApiClient::TakeAnswer(Answer& answer)
{
    if (answers_.empty()) return false;
    answer = std::move(answers_.front());
    answers_.pop_front();
    return true;
}

std::string Describe(const Answer& a)
{
    std::string text = KindName(a.kind);
    switch (a.kind) {
    case Answer::Kind::JetwayResponse: {
        const api_wire::JetwayResponse& r = a.jetways;
        text += " " + StandText(QueriedStand(r)) + ": " + Jetways(static_cast<int32_t>(r.count));
        const size_t slots = std::min<size_t>(r.count, api_wire::kSlots);
        for (size_t i = 0; i < slots; ++i) {
            text += "\n  slot " + std::to_string(i + 1) + ": jetway " + std::to_string(r.ids[i]) + " '" + r.names[i] +
                    "' type " + JetwayTypeText(r.types[i]) + ", " + SlotStateText(r.states[i]);
            const std::string door = api_wire::DoorName(r.doors[i]);
            if (!door.empty()) text += " at " + door;
        }
        return text;
    }
    case Answer::Kind::TriggerStatus:
        text += ": jetway " + std::to_string(a.status.jetwayId) + " " + TriggerStatusText(a.status.status) + " (" +
                std::to_string(a.status.status) + ")";
        if (a.eventData != 0) text += ", event data " + std::to_string(a.eventData);
        return text;
    case Answer::Kind::InformStatus:
        return text + ": jetway " + std::to_string(a.status.jetwayId) + " " + InformStatusText(a.status.status) +
               " (" + std::to_string(a.status.status) + ")";
    case Answer::Kind::StandStatus:
        return text + ": " + StandStatusText(a.status.status) + " (" + std::to_string(a.status.status) + ")";
    case Answer::Kind::LiteStatus:
        return text + " " + StandText(a.lite.stand) + ": " + StandStatusText(a.lite.status) + " (" +
               std::to_string(a.lite.status) + ")";
    case Answer::Kind::MassResponse: {
        text += " " + a.stands.icao + ": " + std::to_string(a.stands.entries.size()) + " stands with jetways";
        for (const api_wire::MassEntry& e : a.stands.entries)
            text += "\n  " + CategoryText(e.category) + " " + std::to_string(e.number) + ": " + Jetways(e.jetways);
        text += "\nguidance stands " + a.guidanceStands.icao + ": " + std::to_string(a.guidanceStands.entries.size());
        for (const api_wire::MassEntry& e : a.guidanceStands.entries)
            text += "\n  " + CategoryText(e.category) + " " + std::to_string(e.number);
        return text;
    }
    }
    return text;
}

}  // namespace api_client
