// A list of placed objects, each held at a fixed address, with the user aircraft record, the request-id
// base, the creation counters and what each sim-bubble filtering pass derives from the objects: six index
// lists by feature and the two candidate vectors the menus and the radio-click handler walk.
//
// Two instances live for the whole run: every object read from the placement files, and copies of the
// objects inside the current sim bubble. An object's index in the list is its index everywhere in the
// program. An object stays at its address from Add until Empty (or the list's end), whatever is added
// after it and however the list is sorted, so handlers may keep pointers to it (probe clients,
// synchronised objects, quadtree entries); sorting changes indices only. Main thread only.
#pragma once

#include "aircraft/UserAircraft.h"
#include "foundation/GeoMath.h"
#include "objects/SimObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One line of the trigger-object menu or one radio-switched unit: a single object, or the members of a
// group in ascending index order. The first index stands for the record.
struct CandidateRecord {
    std::vector<int32_t> indices;
    double distance = -1.0;  // metres from the user aircraft to the first object, -1 until measured
};

class SimObjectList {
public:
    static constexpr int16_t kDefaultRequestIdBase = 105;

    SimObjectList() = default;
    SimObjectList(const SimObjectList&) = delete;
    SimObjectList& operator=(const SimObjectList&) = delete;
    ~SimObjectList();

    // Appends a copy (which never carries running work) and returns it, at its fixed address. Objects
    // already in the list are neither moved nor copied nor stopped; amortised constant time.
    SimObject& Add(const SimObject& object);
    // Appends the object itself, moved in with whatever it carries. Same guarantees as the copy.
    SimObject& Add(SimObject&& object);
    // Room for that many objects in all (growing as adding would, never shrinking), so that a reader
    // that knows its element counts grows the list once.
    void Reserve(int32_t count);
    // The object at the index; null outside the list.
    SimObject* At(int32_t index);
    const SimObject* At(int32_t index) const;
    int32_t Count() const { return static_cast<int32_t>(objects_.size()); }

    // The first object, in list order, with that request id or simulator object id. 0 identifies no
    // object: it is what every object carries before it is numbered or created.
    SimObject* FindByRequestId(int32_t requestId);
    SimObject* FindByObjectId(int32_t objectId);
    SimObject* FindByObjectId(uint32_t objectId) { return FindByObjectId(static_cast<int32_t>(objectId)); }
    // The first object whose whole name equals the argument byte for byte.
    SimObject* FindByName(const std::string& name);

    UserAircraft& GetUserAircraft() { return userAircraft_; }
    const UserAircraft& GetUserAircraft() const { return userAircraft_; }

    void SetRequestIdBase(int16_t base) { requestIdBase_ = base; }
    int16_t GetRequestIdBase() const { return requestIdBase_; }

    // Requested: jetway objects whose "jetway.cfg" the last pass read. Created: objects the simulator
    // has assigned an id to, decremented when a jetway object goes; it never goes below 0.
    void ResetRequestedCount() { requestedCount_ = 0; }
    void IncrementRequestedCount() { ++requestedCount_; }
    int32_t GetRequestedCount() const { return requestedCount_; }
    void ResetCreatedCount() { createdCount_ = 0; }
    void IncrementCreatedCount() { ++createdCount_; }
    void DecrementCreatedCount();
    int32_t GetCreatedCount() const { return createdCount_; }
    bool AllRequestedCreated() const { return createdCount_ == requestedCount_; }

    // Stops every object's running work, takes every object out of the list and empties the index lists
    // and the candidate vectors, releasing their storage. An object taken out gives up at once the models
    // of its own (where timers, motions and sounds live); the rest of it stays in its record, whose room
    // the next fill reuses. The counters keep their values.
    void Empty();
    // Empty, then both counters 0 and the objects' storage released.
    void Reset();

    // Objects without a group (-1) first, then ascending group index; equal indices keep their order.
    // When the order changes, every object's running work is stopped first: indices change.
    void SortByGroupIndex();
    // Measures each nearby candidate from the user aircraft to its first object and sorts the candidates
    // nearest first. A record without a valid first index sorts last.
    void SortByDistance();

    std::vector<int32_t>& GetRotationIndices() { return rotationIndices_; }              // features 5, 6
    std::vector<int32_t>& GetAnimatedIndices() { return animatedIndices_; }              // 24, 25, 26
    std::vector<int32_t>& GetSeparationPlaneIndices() { return separationPlaneIndices_; }  // 16
    std::vector<int32_t>& GetProximityIndices() { return proximityIndices_; }            // 21, 24
    std::vector<int32_t>& GetGroundShiftIndices() { return groundShiftIndices_; }        // 33
    std::vector<int32_t>& GetJetwayIndices() { return jetwayIndices_; }                  // 3
    std::vector<CandidateRecord>& GetNearbyCandidates() { return nearbyCandidates_; }
    std::vector<CandidateRecord>& GetRadioCandidates() { return radioCandidates_; }

private:
    // Raw room for one object.
    struct alignas(SimObject) Record {
        unsigned char bytes[sizeof(SimObject)];
    };
    struct Block {
        std::unique_ptr<Record[]> records;
        size_t size = 0;
    };

    // The next free record, a new block first when every record is taken. Nothing is constructed yet.
    void* NextRecord();
    void AddBlock(size_t records);
    // Puts the object into the next free record, assigned to the object kept there or constructed.
    template <typename Source>
    SimObject& Place(Source&& object);
    // Takes the object just put into the next free record into the list.
    SimObject& Commit(SimObject* object);
    // Takes every object out of the list, its own models released; the records keep the objects for the
    // next fill.
    void ClearObjects();
    // Empty, then every record's object destroyed and the blocks released.
    void ReleaseRecords();

    GeoMath geoMath_;
    UserAircraft userAircraft_;
    int16_t requestIdBase_ = kDefaultRequestIdBase;
    // The objects live in blocks of records that are filled in order and kept across Empty, so that a
    // list filled again and again (the sim bubble) reuses the same memory, names included, instead of
    // allocating each object anew. objects_ gives the list order; sorting reorders it and never moves an
    // object.
    std::vector<Block> blocks_;
    size_t usedBlocks_ = 0;    // blocks holding objects; the last of them may have free records
    size_t usedInBlock_ = 0;   // records taken in the last used block
    size_t capacity_ = 0;      // records in all blocks
    size_t constructed_ = 0;   // the first records, in block order, that hold an object, listed or cleared
    std::vector<SimObject*> objects_;  // never null
    int32_t requestedCount_ = 0;
    int32_t createdCount_ = 0;
    std::vector<int32_t> rotationIndices_;
    std::vector<int32_t> animatedIndices_;
    std::vector<int32_t> separationPlaneIndices_;
    std::vector<int32_t> proximityIndices_;
    std::vector<int32_t> groundShiftIndices_;
    std::vector<int32_t> jetwayIndices_;
    std::vector<CandidateRecord> nearbyCandidates_;
    std::vector<CandidateRecord> radioCandidates_;
};
