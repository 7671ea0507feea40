// One door of an aircraft as the jetway system sees it: where it is on the aircraft, the parameters that
// shape the docking point at it, and the jetway docked or assigned to it.
#pragma once

#include "aircraft/AircraftParameters.h"
#include "foundation/Records.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

class ExitData : public XYZData {
public:
    // Position (0, 0, 0), no jetway, the door parameters of a type without a record.
    ExitData() = default;
    // The door's position; jetway and door parameters get their defaults. The deck mark is not kept:
    // it only decides the name under which the exit is stored.
    explicit ExitData(const AircraftParameters::DoorData& door) : XYZData(door.x, door.y, door.z) {}
    ExitData(const ExitData&) = default;
    ExitData& operator=(const ExitData&) = default;
    ~ExitData() override = default;

    int32_t GetJetwayId() const { return jetwayId_; }
    void SetJetwayId(int32_t id) { jetwayId_ = id; }

    void SetDoorParameters(double doorHeight, double verticalOffset, double doorAngle, double doorValue4,
                           double doorValue5) {
        door_ = DoorParameters{doorHeight, verticalOffset, doorAngle, doorValue4, doorValue5};
    }
    void SetDoorParameters(const DoorParameters& door) { door_ = door; }
    const DoorParameters& GetDoorParameters() const { return door_; }

    double GetDoorHeight() const { return door_.doorHeight; }
    double GetVerticalOffset() const { return door_.verticalOffset; }
    double GetDoorAngle() const { return door_.doorAngle; }
    double GetDoorValue4() const { return door_.doorValue4; }
    double GetDoorValue5() const { return door_.doorValue5; }

    // The leading decimal number of a door name, plus 10 when the name contains "Upper": "2L" 2,
    // "1L Upper" 11, "L" 0. -1 for an empty name or a number too large for an int.
    static int32_t GetDoorNumber(const std::string& doorName);

private:
    int32_t jetwayId_ = -1;
    DoorParameters door_;
};

// An aircraft's doors by name ("1L", "2L", "1L Upper"), in byte-wise order of the names.
using ExitMap = std::map<std::string, ExitData>;
using ExitList = std::vector<std::pair<std::string, ExitData>>;

// The exit of that name, or null; never adds an exit to the map.
const ExitData* FindExit(const ExitMap& exits, const std::string& doorName);
ExitData* FindExit(ExitMap& exits, const std::string& doorName);

// Docking order: front-most door first (x largest first). Doors with equal x keep the order of their
// names; a door whose x is not a number comes last.
ExitList SortExitsForDocking(const ExitMap& exits);
// Undocking order: the docking order reversed, rearmost door first.
ExitList SortExitsForUndocking(const ExitMap& exits);
