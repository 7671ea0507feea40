// A client of orvane's API: asks for the stands and jetways of an airport and drives them through the
// client-data areas "VELK.APIData.*" and the "VELK.*" request and answer events. It owns no connection:
// give it an open SimConnect handle, call Register once, then hand it every message the connection
// delivers (HandleMessage) and take the answers as they come (TakeAnswer).
//
// Every request writes its record into the request area, then sends its event; orvane answers by writing
// an answer area and then sending the answer event. The client subscribes to every write of the answer
// areas, keeps the last one of each, and turns each answer event into an Answer with that area's record.
#pragma once

#include "link/ApiCodec.h"
#include "platform/simconnect/SimConnect.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace api_client {

// One answer of orvane, in the order the answer events arrived.
struct Answer {
    enum class Kind { JetwayResponse, TriggerStatus, InformStatus, StandStatus, MassResponse, LiteStatus };
    Kind kind = Kind::JetwayResponse;
    uint32_t eventData = 0;                 // the answer event's data word
    api_wire::JetwayResponse jetways;       // JetwayResponse
    api_wire::StatusAnswer status;          // TriggerStatus, InformStatus, StandStatus
    api_wire::MassResponse stands;          // MassResponse: the jetway stands
    api_wire::MassResponse guidanceStands;  // MassResponse: the guidance stands
    api_wire::LiteRecord lite;              // LiteStatus
};

// A readable name of an answer's kind ("JetwayResponse", ...).
const char* KindName(Answer::Kind kind);

class ApiClient {
public:
    explicit ApiClient(HANDLE simConnect) : handle_(simConnect) {}

    // Maps the request and answer events and the five areas, defines one block per area, subscribes to
    // every write of the answer areas and listens to the answer events. False when a call failed.
    // The simulator refuses a subscription to an area that does not exist yet (orvane creates them):
    // that comes back later as an exception, noted in MissingAreas. Register ends with a question
    // whose answer sets Registered, so that by then every refusal of the registration has arrived.
    bool Register();

    // The simulator has handled the whole registration (its answer arrived through HandleMessage).
    bool Registered() const { return registered_; }
    // The areas the simulator did not know at registration, by name.
    const std::vector<std::string>& MissingAreas() const { return missingAreas_; }
    // The oldest refusal of a call of this client not yet taken, as text naming the call; false when none.
    bool TakeError(std::string& text);

    // Each writes its request record, then sends the request event; false when a call failed.
    bool JetwayQuery(const api_wire::JetwayQueryRequest& request);
    bool JetwayTrigger(const api_wire::JetwayTriggerRequest& request);
    bool JetwayInform(const api_wire::JetwayInformRequest& request);
    bool StandInform(const api_wire::StandInformRequest& request);
    bool MassQuery(const api_wire::MassQueryRequest& request);
    bool StandInformLite(const api_wire::LiteRecord& request);

    // Writes raw bytes into the request area (any size up to the area's) without sending anything, and
    // sends a request event by name without writing anything: for tests of hostile or careless clients.
    bool WriteRequestArea(const uint8_t* data, size_t size);
    bool WriteLiteArea(const uint8_t* data, size_t size);
    bool SendRequestEvent(const std::string& eventName);

    // One message of the connection; messages that are not the API's are ignored.
    void HandleMessage(const SIMCONNECT_RECV* message, DWORD size);

    // The oldest answer not yet taken; false when none waits.
    bool TakeAnswer(Answer& answer);
    size_t PendingAnswers() const { return answers_.size(); }

private:
    // The packet id of the call just made, remembered with what it asked for.
    void Remember(const std::string& what);
    bool WriteRecord(DWORD area, const uint8_t* data, size_t size, const std::string& what);
    bool Send(DWORD event, const std::string& name);
    DWORD Definition(size_t size);

    HANDLE handle_;
    bool registered_ = false;
    std::vector<std::string> missingAreas_;
    std::deque<std::string> errors_;
    std::map<DWORD, std::string> packets_;        // packet id -> what the call asked for
    std::map<DWORD, std::string> areaPackets_;    // packet id of an area's subscription -> area name
    std::map<size_t, DWORD> definitions_;         // block size -> definition id
    std::map<std::string, DWORD> extraEvents_;    // events sent by name that are not the API's
    DWORD nextId_ = 0;                            // for definitions and events made on demand
    api_wire::Area out_{};
    api_wire::MassArea mass_{};
    api_wire::MassVdgsArea massVdgs_{};
    api_wire::LiteArea lite_{};
    api_wire::Area request_{};
    std::deque<Answer> answers_;
};

// The stand a JetwayQuery answer is for, read from the request bytes it echoes.
api_wire::StandRef QueriedStand(const api_wire::JetwayResponse& answer);

// The answer as lines of readable text (no trailing newline).
std::string Describe(const Answer& answer);

}  // namespace api_client
