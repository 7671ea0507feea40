// Turns a request to dock or undock a jetway into a job for the in-simulator module: the checks, the
// door position, the solver, the exchange fields of the record, the In area and the Start event. Also
// prepares the record of an AI job and answers API clients.
//
// The core owns one JetwayControl for the program (its In counter is shared by user and AI jobs) and
// hands it a JetwayControlLink: SimConnectJetwayControlLink over the core's own connection, or its own
// implementation. Main thread only.
#pragma once
#include "link/SimConnectIds.h"
#include "platform/wintypes.h"
#include <cstddef>
#include <cstdint>
#include <string>

namespace log4cpp {
class Category;
}
class AIMonitor;
class AircraftConfigData;
class IKSolver;
class Jetway;
class JetwayHandler;
class SimObject;
class SimObjectList;
class UserAircraft;
struct JetwayData;

// A job carries the program's ids of SimConnectIds.h; In channel n (1 to kJetwayInAreaCount) is the job
// area velk_ids::AreaJetwayIn1 + n - 1.
namespace jetway_control {
constexpr uint32_t kStatusNoSolution = 0;
constexpr uint32_t kStatusSolvable = 1;
constexpr uint32_t kStatusDocking = 2;
constexpr uint32_t kStatusUndocking = 4;

// Request sources.
constexpr int32_t kSourceMenu = 0;
constexpr int32_t kSourceApiActive = 1;
constexpr int32_t kSourceApiRegistry = 2;

// The eight values of a door given by an API client.
constexpr size_t kDoorOverrideCount = 8;
}  // namespace jetway_control

// What the operations send. The core's connection wrapper can implement it directly.
class JetwayControlLink {
public:
    virtual ~JetwayControlLink() = default;
    // Writes the whole record to the In area its ClientDataAreaId names; false for any other area.
    virtual bool SendJetwayData(const JetwayData& record) = 0;
    // A client event of the program to the user object at the highest priority.
    virtual void TransmitEventWithData(uint32_t event, uint32_t data) = 0;
    // The API answer (velk_ids::kApiRecordSize bytes) into "VELK.APIData.Out".
    virtual void SendApiDataOut(const uint8_t* record, size_t size) = 0;
};

// The link over a SimConnect handle on which the In areas, "VELK.APIData.Out" and the events are mapped
// under the ids of SimConnectIds.h; it writes the records through the connection's own writers.
class SimConnectJetwayControlLink : public JetwayControlLink {
public:
    explicit SimConnectJetwayControlLink(HANDLE simConnect) : simConnect_(simConnect) {}
    bool SendJetwayData(const JetwayData& record) override;
    void TransmitEventWithData(uint32_t event, uint32_t data) override;
    void SendApiDataOut(const uint8_t* record, size_t size) override;

private:
    HANDLE simConnect_;
};

// The settings the operations read, copied from the program's settings whenever they change.
struct JetwayControlSettings {
    bool forceHorizontalForRotation = false;  // [JetwaySystem] ForceHorizontalJetwayForRotation
    bool jetwaySoundEnabled = false;          // [JetwaySystem] JetwaySoundEnable
};

// What the log says of a job sent to the module, one INFO line a reader can follow the day by:
// "[JETWAY JOB] Jetway 'B22 Jetway Front' [66] docking to door 1L of the user aircraft" ("undocking
// from" when the jetway is docked now; "the door" when no door was noted; aircraft as given).
std::string JobStartLine(const SimObject& jetway, bool undocking, const std::string& door, const std::string& aircraft);

class JetwayControl {
public:
    // None of the pointers is owned. config and ai may be null (no door parameters; no AI jobs). log:
    // "VELK.FSLOOP", may be null.
    JetwayControl(JetwayControlLink& link, JetwayHandler& handler, IKSolver& solver, SimObjectList& active,
                  UserAircraft& aircraft, const AircraftConfigData* config, AIMonitor* ai, log4cpp::Category* log);
    JetwayControl(const JetwayControl&) = delete;
    JetwayControl& operator=(const JetwayControl&) = delete;

    void SetSettings(const JetwayControlSettings& settings) { settings_ = settings; }
    const JetwayControlSettings& GetSettings() const { return settings_; }
    void SetAircraftConfig(const AircraftConfigData* config) { config_ = config; }

    // Docks (or, for a docked jetway, undocks) the object's jetway at the door. doorOverride: eight
    // values (latitude, longitude, altitude in feet, door height, vertical offset, door angle, fourth and
    // fifth value), used when useGivenDoor is set. checkOnly queues a solvable jetway and starts nothing.
    // True when a docking solution exists.
    bool OperateJetwayForUser(SimObject& object, const std::string& doorName, int32_t source, bool useGivenDoor,
                              const double* doorOverride, bool checkOnly);
    // The eight values of a given door.
    static constexpr size_t kDoorOverrideCount = 8;

    // Sends the job of the first pending jetway; false when none could be sent.
    bool TriggerJetway(int32_t source);
    // Prepares the record of the jetway for an AI job (the sender writes and starts it).
    void SetupAiJetwayPayload(uint32_t jetwayId);
    // Picks the jetway of the AI aircraft's first job and answers API clients for an outside jetway.
    void DetectAiAtJetway(int32_t aiId);

    // The jetway of an active object or, failing that, of the handler's registry; null when neither
    // knows the id. external (may be null) tells which.
    SimObject* FindJetwayObject(uint32_t id, bool* external = nullptr);
    // Advances the In counter: 1, 2, 3, 4, 1, ...
    uint32_t NextInChannel();
    uint32_t GetInChannel() const { return inChannel_; }

private:
    void SendApiStatus(uint32_t objectId, uint32_t status, uint32_t eventData);
    // Why the requested door cannot be used (a ready log line), empty when it can.
    std::string DoorProblem(uint32_t objectId, bool useGivenDoor, const double* doorOverride,
                            const std::string& doorName) const;
    // Steps shared by user and AI jobs: the working record with its exchange fields and In channel,
    // stored back into the jetway.
    JetwayData PrepareJob(Jetway& jetway, uint32_t objectId, bool aiTimes);

    JetwayControlLink& link_;
    JetwayHandler& handler_;
    IKSolver& solver_;
    SimObjectList& active_;
    UserAircraft& aircraft_;
    const AircraftConfigData* config_;
    AIMonitor* ai_;
    log4cpp::Category* log_;
    JetwayControlSettings settings_;
    uint32_t inChannel_ = 0;
};
