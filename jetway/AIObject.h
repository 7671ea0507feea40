// One AI aircraft that the AI detection found near the user: identity, position, AI traffic state, its
// doors, the jetways assigned to them, its parking assignment and the flags of its docking cycle. Built
// by the detection pass, kept by the AI monitor by value, read by the AI docking decisions. Main thread
// only.
#pragma once

#include "aircraft/AircraftConfigData.h"
#include "aircraft/ExitData.h"
#include "foundation/Records.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class AircraftParameters;
class SimObject;
class AircraftTypeTable;

class AIObject {
public:
    // Traffic state numbers that the text never gives: the detection pass sets them.
    static constexpr int32_t kStateUnknownOnGround = 21;  // "<unknown>" while on the ground
    static constexpr int32_t kStateInitNotUser = 22;      // "init" of an aircraft that is not the user's
    static constexpr int32_t kStateOther = 23;            // any text outside the table

    // The number of an "AI TRAFFIC STATE" text; exact, case-sensitive.
    static int32_t TrafficStateFromText(const std::string& text);

    // folder: the aircraft's folder (ending with a backslash) as the SimObjects folder map gives it for
    // the aircraft's title; an empty folder reads nothing. doorParameters and aircraftTypes may be null:
    // the aircraft then has no door parameters, respectively type "NONE". Neither is owned; the door table must outlive the record.
    AIObject(int32_t objectId, const std::string& name, const std::string& trafficStateText, double latitude,
             double longitude, double altitude, double heading, const std::string& folder,
             const AircraftParameters* doorParameters, const AircraftTypeTable* aircraftTypes);
    AIObject(const AIObject&) = default;
    AIObject& operator=(const AIObject&) = default;
    virtual ~AIObject() = default;

    int32_t GetObjectID() const { return objectId_; }
    PlacementData GetPlacement() const { return placement_; }
    std::string GetTitle() const { return name_; }
    const AircraftConfigData& GetConfig() const { return config_; }

    // Replaces the placement; pitch and bank 0.
    void SetPosition(double latitude, double longitude, double altitude, double heading);

    int32_t GetTrafficState() const { return trafficState_; }
    void SetTrafficState(int32_t state) { trafficState_ = state; }
    int32_t GetJobStatus() const { return trafficState_; }
    void SetJobStatus(int32_t state) { trafficState_ = state; }

    // ---- Doors ----------------------------------------------------------------------------------
    bool HasExits() const { return !doors_.empty(); }
    std::size_t GetExitCount() const { return doors_.size(); }
    const ExitMap& GetExits() const { return doors_; }
    // A copy of the exit; an unknown name gives a default exit and adds nothing.
    ExitData GetExit(const std::string& doorName) const;
    // Front door first; the undock form rear door first.
    const ExitList& RebuildSortedExits();
    const ExitList& RebuildSortedExitsForUndock();
    const ExitList& GetSortedExits() const { return sortedExits_; }

    // World position of the docking point at the door, lateralDistance metres out from it. The door
    // parameters stored for the aircraft's type and this door are first copied into the exit.
    LLAData ComputeExitPositions(const std::string& doorName, double lateralDistance);

    // Sets the jetway id (-1: none) of an existing door; false for an unknown door.
    bool AssignJetwayToDoor(const std::string& doorName, int32_t jetwayObjectId);
    // Some door has a jetway id other than -1.
    bool HasDoorWithJetway() const;
    // The first door in name order with that jetway id; "NONE" when no door has it.
    std::string GetDoorNameOfJetway(int32_t jetwayObjectId) const;
    // The same, and that door is released: its jetway id back to -1 and its entry in the door-jetway map
    // erased.
    std::string ReleaseDoorOfJetway(int32_t jetwayObjectId);

    // ---- Door-jetway map ------------------------------------------------------------------------
    // Pairs the stand's jetways (in the stand's order) with the doors by their MultiIndex; primaryJetwayId
    // receives the object id of the MultiIndex-1 jetway when there are two or more (0 when none has it;
    // for an aircraft with one door, the list's first jetway then). False for an empty list.
    bool AssignJetwaysToDoors(const std::vector<SimObject*>& jetways, uint32_t& primaryJetwayId);
    bool BuildDoorNames(const std::vector<SimObject*>& jetways, uint32_t& primaryJetwayId) {
        return AssignJetwaysToDoors(jetways, primaryJetwayId);
    }
    // A jetway inserts or replaces the door's entry, null erases it.
    void SetDoorJetway(const std::string& doorName, SimObject* jetway);
    SimObject* GetDoorJetway(const std::string& doorName) const;
    SimObject* GetDoorJetwayObject(const std::string& doorName) const { return GetDoorJetway(doorName); }
    bool HasDoorAssignments() const { return !doorJetways_.empty(); }
    // The assigned jetways in door-name order, and their object ids.
    std::vector<SimObject*> GetDoorJetways() const;
    std::vector<uint32_t> GetDoorJetwayIDs() const;

    // ---- Parking --------------------------------------------------------------------------------
    void SetParkingInfo(const std::string& airport, const std::string& gateName, int32_t number);
    // From the simulator's texts: "AI TRAFFIC CURRENT AIRPORT" and "AI TRAFFIC ASSIGNED PARKING". Stores
    // the assignment and returns true only for a 4-character airport and a parking text whose part
    // before its first comma holds a number.
    bool SetParkingFromSimText(const std::string& airport, const std::string& parkingText);
    // The parking text's gate name and number; false when it holds none.
    static bool ParseParkingText(const std::string& parkingText, std::string& gateName, int32_t& number);
    bool HasParkingInfo() const { return hasParking_; }
    std::string GetParkingAirport() const { return parkingAirport_; }
    std::string GetParkingGateName() const { return parkingGate_; }
    int32_t GetParkingNumber() const { return parkingNumber_; }

    // ---- Docking cycle --------------------------------------------------------------------------
    bool IsDocked() const { return docked_; }
    void SetDocked(bool value) { docked_ = value; }
    bool IsDepartureHandled() const { return departureHandled_; }
    void SetDepartureHandled(bool value) { departureHandled_ = value; }
    bool IsDockingAllowed() const { return dockingAllowed_; }
    void SetDockingAllowed(bool value) { dockingAllowed_ = value; }
    bool GetDockingMode() const { return dockingMode_; }
    void SetDockingMode(bool value) { dockingMode_ = value; }
    // The same four flags by their place: A docked, B departure handled, C docking allowed, D mode.
    bool GetStatusFlagA() const { return docked_; }
    void SetStatusFlagA(bool value) { docked_ = value; }
    bool GetStatusFlagB() const { return departureHandled_; }
    void SetStatusFlagB(bool value) { departureHandled_ = value; }
    bool GetStatusFlagC() const { return dockingAllowed_; }
    void SetStatusFlagC(bool value) { dockingAllowed_ = value; }
    bool GetStatusFlagD() const { return dockingMode_; }
    void SetStatusFlagD(bool value) { dockingMode_ = value; }

    void IncrementRetryCounter() { if (retryCounter_ < INT32_MAX) ++retryCounter_; }
    void ResetRetryCounter() { retryCounter_ = 0; }
    int32_t GetRetryCounter() const { return retryCounter_; }

private:
    void BuildDoors();

    std::string name_;
    int32_t trafficState_ = kStateOther;
    bool docked_ = false;
    bool departureHandled_ = false;
    bool dockingAllowed_ = true;
    bool dockingMode_ = false;
    std::map<std::string, SimObject*> doorJetways_;
    PlacementData placement_;
    ExitMap doors_;
    ExitList sortedExits_;
    AircraftConfigData config_;
    int32_t objectId_ = 0;
    bool hasParking_ = false;
    std::string parkingAirport_;
    std::string parkingGate_;
    int32_t parkingNumber_ = 0;
    int32_t retryCounter_ = 0;
};
