// Creates, places and removes the part objects of jetways (up to six per jetway) in the simulator on
// behalf of the main program. Main thread only.
//
// The jetway record used for a jetway object is the one of its model 1 when the object has several
// models (the dynamic model), else the one of model 0.
#pragma once

#include "jetway/core/JetwayData.h"
#include "link/SimConnectIds.h"
#include "platform/wintypes.h"

#include <cstdint>
#include <map>

namespace log4cpp {
class Category;
}

class InjectionQueue;
class Jetway;
class LinkedSimObject;
class SimObject;

class LinkedSimObjectHandler {
public:
    // Parts created while their jetway is re-created, or supplied from outside, start 50 m down.
    static constexpr double kBelowJetwayFeet = 164.042;
    static constexpr uint32_t kFirstSlot = 1;
    static constexpr uint32_t kLastSlot = 6;

    // log may be null: nothing is logged then.
    explicit LinkedSimObjectHandler(log4cpp::Category* log = nullptr) : log_(log) {}
    LinkedSimObjectHandler(const LinkedSimObjectHandler&) = delete;
    LinkedSimObjectHandler& operator=(const LinkedSimObjectHandler&) = delete;
    virtual ~LinkedSimObjectHandler() = default;

    // A new connection numbers its packets afresh: creations sent over the old one are forgotten.
    void SetHandle(HANDLE simConnect)
    {
        simConnect_ = simConnect;
        creations_.clear();
    }
    HANDLE GetHandle() const { return simConnect_; }

    // Requests every titled part that is not yet requested, when the object shows its dynamic model (or
    // has only one). Marks each slot whose request was sent pending, so it is not tried again until its
    // id or its refusal arrives; a slot refused here stays free, so the ids that follow (which the caller
    // hands to the first pending slot) never land in it. Returns the number of requests sent.
    // creationTag: the object's previous object id (0 for a first creation).
    uint32_t InjectMissingParts(SimObject* jetway, uint32_t creationTag, InjectionQueue* queue);
    // One part's creation request; queue may be null (no packet mapping then). The request's send id is
    // recorded with its slot. True when the request was sent.
    bool CreatePart(SimObject* jetway, uint32_t slot, uint32_t creationTag, InjectionQueue* queue);
    // The simulator refused the creation with this send id: when it was a part of this jetway, that slot
    // alone is no longer pending and its slot number is returned; 0 when the send id is not one of this
    // jetway's part creations (the refusal is then the caller's own).
    uint32_t OnPartCreationFailed(SimObject* jetway, DWORD sendId);

    // The simulator's id for a created part: pending cleared, id stored. Null for a slot outside 1..6 or
    // an object without a jetway.
    LinkedSimObject* SetPartId(uint32_t slot, SimObject* jetway, uint32_t objectId);
    // The same for a part whose object an outside program supplied; the part is marked as supplied, so
    // it is never removed or taken back here.
    LinkedSimObject* AssignPartId(uint32_t slot, SimObject* jetway, uint32_t objectId);

    // Places every created part at the jetway's target pose (data definition velk_ids::DefObjectPlacement).
    void MoveParts(SimObject* jetway);
    // Removes the parts this program created for this jetway object; returns how many.
    uint32_t RemoveParts(SimObject* jetway);
    // After a report carrying another jetway's id replaced the record: the program's own parts take
    // back their identity and placement data from the previous record.
    void RestoreOwnParts(SimObject* jetway, const JetwayData& previous);
    void OnPartCreated(SimObject* jetway, const JetwayData& previous) { RestoreOwnParts(jetway, previous); }

    // The jetway whose record the object's parts live in; null without such a model.
    static Jetway* JetwayOf(SimObject* object);

    // Part flags kept in the part's flag bytes, which travel with the record unchanged.
    static bool IsExternallySupplied(const LinkedSimObject& part);
    static void SetExternallySupplied(LinkedSimObject& part, bool value);
    static bool GetStateFlag(const LinkedSimObject& part, int which);
    static void SetStateFlag(LinkedSimObject& part, int which, bool value);

private:
    LinkedSimObject* TakePartId(uint32_t slot, SimObject* jetway, uint32_t objectId, bool external);

    // A part creation in flight: which jetway object (compared, never followed) and which slot.
    struct PartCreation {
        const SimObject* jetway;
        uint32_t slot;
    };
    // Drops the creation in flight for this slot of the jetway, if any.
    void ForgetCreations(const SimObject* jetway, uint32_t slot);

    log4cpp::Category* log_;
    HANDLE simConnect_ = nullptr;
    std::map<DWORD, PartCreation> creations_;
};
