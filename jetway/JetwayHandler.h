// The registry of the main program's jetways: which jetways stand at which stand, which jobs are under
// way, which doors of a multi-door docking still wait, and which results are still to be collected from
// the module. It also picks jetways for a stand or a position and pairs the user aircraft's doors with
// the jetways of its stand. It sends nothing to the simulator itself; its callers act on its answers.
//
// Main thread only. The stand list points into the active object list: ResetAllJetways empties it
// whenever the sim bubble is rebuilt, and none of its pointers may be used after that.
#pragma once

#include "foundation/GeoMath.h"
#include "objects/SimObject.h"
#include "objects/StandData.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class Jetway;
class SimObjectList;
class UserAircraft;

// The jetways of one stand as the API and the stand menus see them. Every field is zero until filled.
struct StandJetwayInfo {
    static constexpr uint32_t kSlots = 4;
    static constexpr uint32_t kNameSize = 64;

    uint32_t count = 0;  // jetways at the stand; the entries below describe the first kSlots of them
    uint32_t objectIds[kSlots] = {};
    int32_t multiIndices[kSlots] = {};
    char names[kSlots][kNameSize] = {};  // the object name after its first ":", cut to 63 characters
    double distances[kSlots] = {};       // metres from the reference position
    double bearings[kSlots] = {};        // radians, relative to the reference heading

    // How many entries are filled: count, at most kSlots.
    uint32_t Entries() const { return count < kSlots ? count : kSlots; }
};

// The second answer record of a stand query.
struct StandJetwayStatus {
    static constexpr int32_t kStateMovingUndocked = 2;  // docking under way
    static constexpr int32_t kStateDocked = 3;
    static constexpr int32_t kStateMovingDocked = 4;  // undocking under way
    static constexpr int32_t kStateUndocked = 5;
    static constexpr int32_t kStateEmpty = 7;

    uint32_t types[StandJetwayInfo::kSlots] = {};
    double rootFloorHeights[StandJetwayInfo::kSlots] = {};
    int32_t states[StandJetwayInfo::kSlots] = {};
    uint8_t reserved[16] = {};
};

// One stand of an airport listing.
struct StandListEntry {
    uint32_t category = 0;  // ParseStandCategory of the gate name
    uint32_t number = 0;    // parking number
    uint32_t jetwayCount = 0;
};

class JetwayHandler {
public:
    // The most stand entries one listing ever writes.
    static constexpr uint32_t kMaxStandEntries = 512;
    // Candidates farther than this from the position are no jetways for it (metres).
    static constexpr double kNearRadius = 60.0;

    // parking number -> jetways, by stand key "ICAO:GATE"
    using StandNumbers = std::map<uint32_t, std::vector<SimObject*>>;
    using StandList = std::map<std::string, StandNumbers>;
    using ExternalStandNumbers = std::map<uint32_t, std::vector<uint32_t>>;
    using ExternalStandIndex = std::map<std::string, ExternalStandNumbers>;

    JetwayHandler() = default;
    JetwayHandler(const JetwayHandler&) = delete;
    JetwayHandler& operator=(const JetwayHandler&) = delete;
    virtual ~JetwayHandler() = default;

    // ---- Jobs ---------------------------------------------------------------------------------------
    // Enters the jetway under its record's object id; a record without an id is not entered.
    void RegisterJetway(Jetway& jetway);
    // Takes the id out of the job map and its first occurrence out of the queued doors.
    void UnregisterJetway(uint32_t id);
    bool IsRegistered(uint32_t id) const;
    bool IsEmpty() const { return jobs_.empty(); }
    std::size_t GetJobCount() const { return jobs_.size(); }
    // Every job: the jetway's object id and its jetway.
    const std::map<uint32_t, Jetway*>& GetJobs() const { return jobs_; }

    // Jobs answered through the API. Id 0 is never added.
    bool AddActive(uint32_t id);
    uint32_t EraseActive(uint32_t id);
    bool IsActive(uint32_t id) const;

    // ---- Jetways an outside program made known ---------------------------------------------------
    // Stores a copy under its object id (an existing entry is kept; true when the id was new) and enters
    // the id at its stand. An object without an id is refused.
    bool AddExternalJetway(const SimObject& object);
    // Takes the id out of the stand index and the store; the number erased. A job of the jetway leaves
    // the job map with it.
    uint32_t RemoveExternalJetway(uint32_t id);
    SimObject* FindJetway(uint32_t id);
    uint32_t GetExternalJetwayCount() const { return static_cast<uint32_t>(external_.size()); }
    std::vector<uint32_t> ListExternalJetwayIds() const;
    const ExternalStandIndex& GetExternalStandIndex() const { return externalStands_; }

    // ---- Stand list --------------------------------------------------------------------------------
    // Enters a placed jetway that the simulator has created. A jetway of the same name at the same
    // stand number is replaced.
    void AddStandJetway(SimObject* object);
    const StandList& GetStandList() const { return stands_; }
    // The stand's jetways by ascending MultiIndex; names and distances stay zero.
    StandJetwayInfo GetStandJetwayInfo(const std::string& icao, const std::string& gate, uint32_t number) const;
    // The stand's jetways by ascending MultiIndex, or by ascending stored distance; empty when the stand
    // or number is unknown.
    std::vector<SimObject*> GetStandJetways(const std::string& icao, const std::string& gate, uint32_t number,
                                            bool byMultiIndex) const;
    // One entry per stand number of the airport, in key and number order; writes at most capacity
    // entries (and never more than kMaxStandEntries). count receives the number written.
    void ListAirportStands(const std::string& icao, StandListEntry* entries, uint32_t capacity,
                           uint32_t* count) const;
    // The API's stand query: the stand's jetways when the stand is known, else the jetways near the
    // position, nearest first. Each chosen slot gets its jetway's type and state, every slot past them
    // the empty state.
    void QueryStandJetways(const std::string& icao, const std::string& gate, uint32_t number, double latitude,
                           double longitude, double headingDeg, SimObjectList& active, StandJetwayInfo& info,
                           StandJetwayStatus& status) const;
    // The jetways of the active list within 60 m, ahead-left of the position and, when nearly abeam,
    // facing it. Each keeps its distance and bearing as its two sort values.
    std::vector<SimObject*> FindJetwaysNear(SimObjectList& active, double latitude, double longitude,
                                            double headingRad, bool byMultiIndex) const;

    // ---- Doors -------------------------------------------------------------------------------------
    // Jetway id -> door name for the user aircraft at the stand. firstJetway (may be null) receives the
    // stand's first jetway when it has more than one, else 0.
    std::map<uint32_t, std::string> MatchDoorsToStandJetways(const StandData& stand, const UserAircraft& aircraft,
                                                             uint32_t* firstJetway) const;
    // The jetways assigned to the aircraft's exits, rearmost door first.
    std::vector<uint32_t> ListDoorJetways(const StandData& stand, const UserAircraft& aircraft) const;
    // Whether the paths of the stand's first two jetways would cross.
    bool StandJetwaysCross(const StandData& stand, SimObjectList& active) const;
    bool JetwayPathsCross(const SimObject* a, const SimObject* b) const;
    // The leading number of a door name, plus 10 for an upper-deck door; -1 for an empty name.
    static int32_t DoorNumber(const std::string& doorName);

    // ---- The door a jetway's next job serves --------------------------------------------------------
    // Noted when the job is decided, read when it is sent (for its log line); "" when none was noted.
    void NoteJobDoor(uint32_t id, const std::string& door) { jobDoors_[id] = door; }
    std::string JobDoor(uint32_t id) const;

    // ---- Door queues -------------------------------------------------------------------------------
    // Appends to the pending and the queued doors; id 0 is never queued.
    void AddPendingDoor(uint32_t id);
    uint32_t FrontPendingDoor() const { return pending_.empty() ? 0 : pending_.front(); }
    uint32_t GetPendingDoorCount() const { return static_cast<uint32_t>(pending_.size()); }
    // Erases the first occurrence from the pending doors. pendingEmpty (may be null) is false only when
    // the id was found and other ids remain.
    bool RemovePendingEx(uint32_t id, bool* pendingEmpty);
    void RemovePending(uint32_t id) { RemovePendingEx(id, nullptr); }
    void SwapFirstPendingDoors();
    void ClearPendingDoors();
    bool HasQueued() const { return !queued_.empty(); }
    uint32_t GetQueuedDoorCount() const { return static_cast<uint32_t>(queued_.size()); }
    const std::vector<uint32_t>& GetPendingDoors() const { return pending_; }
    const std::vector<uint32_t>& GetQueuedDoors() const { return queued_; }

    // Jetways moving for AI jobs. Id 0 is never added.
    void AddMoving(uint32_t id);
    bool RemoveMoving(uint32_t id);
    bool IsMovingId(uint32_t id) const;
    uint32_t GetMovingCount() const { return static_cast<uint32_t>(moving_.size()); }

    // ---- Reports awaited, first in first out ---------------------------------------------------------
    // One entry per result requested from the module, whatever the id: the queue must stay in step with
    // the requests so that each arriving record is matched with the report it answers.
    void PushAwaitingReport(uint32_t id) { awaiting_.push_back(id); }
    uint32_t FrontAwaitingReport() const { return awaiting_.empty() ? 0 : awaiting_.front(); }
    // Erases the first occurrence: the entry an arriving record answers.
    void RemoveAwaitingReport(uint32_t id);
    // Takes back the entry just pushed for id (its last occurrence), when its result could not be
    // requested; an older entry for the same id stays in its place.
    void WithdrawAwaitingReport(uint32_t id);
    uint32_t GetAwaitingReportCount() const { return static_cast<uint32_t>(awaiting_.size()); }
    bool IsAwaitingReport(uint32_t id) const;

    // ---- Reset -------------------------------------------------------------------------------------
    // Stops every job's sound and motion, then empties everything but the external jetways.
    void ResetAllJetways();
    // Everything is reloaded.
    void Reset();

private:
    // "ICAO:GATE" as the readers look it up: gate upper-cased, blanks as "_".
    static std::string LookupKey(const std::string& icao, const std::string& gate);
    const std::vector<SimObject*>* FindStand(const std::string& icao, const std::string& gate,
                                             uint32_t number) const;

    std::map<uint32_t, Jetway*> jobs_;
    std::set<uint32_t> active_;
    std::map<uint32_t, SimObject> external_;
    StandList stands_;
    ExternalStandIndex externalStands_;
    GeoMath geoMath_;
    std::vector<uint32_t> pending_;
    std::vector<uint32_t> queued_;
    std::vector<uint32_t> moving_;
    std::vector<uint32_t> awaiting_;
    std::map<uint32_t, std::string> jobDoors_;
};
