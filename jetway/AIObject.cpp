#include "jetway/AIObject.h"

#include "aircraft/AircraftParameters.h"
#include "aircraft/AircraftTypeTable.h"
#include "foundation/GeoMath.h"
#include "foundation/Units.h"
#include "objects/SimObject.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr double kEarthRadiusKm = GeoMath::SphereRadiusKm;

struct StateName {
    const char* text;
    int32_t number;
};

constexpr StateName kStates[] = {
    {"init", 0},         {"sleep", 1},         {"flt plan", 2},      {"startup", 3},
    {"preflight support", 4}, {"clearance", 5}, {"push back 1", 6},   {"push back 2", 7},
    {"pre taxi out", 8}, {"taxi out", 9},      {"takeoff 1", 10},    {"takeoff 2", 11},
    {"T&G depart", 12},  {"enroute", 13},      {"pattern", 14},      {"landing", 15},
    {"rollout", 16},     {"go around", 17},    {"taxi in", 18},      {"shutdown", 19},
    {"postflight support", 20},
};

}  // namespace

int32_t AIObject::TrafficStateFromText(const std::string& text) {
    for (const StateName& state : kStates) {
        if (text == state.text) {
            return state.number;
        }
    }
    return kStateOther;
}

AIObject::AIObject(int32_t objectId, const std::string& name, const std::string& trafficStateText,
                   double latitude, double longitude, double altitude, double heading, const std::string& folder,
                   const AircraftParameters* doorParameters, const AircraftTypeTable* aircraftTypes)
    : name_(name), trafficState_(TrafficStateFromText(trafficStateText)), objectId_(objectId) {
    SetPosition(latitude, longitude, altitude, heading);
    config_.SetAircraftPath(folder);
    // No folder: nothing to read (a bare file name would be looked up in the working folder).
    if (!folder.empty()) {
        config_.ReadAircraftData();
    }
    config_.SetDoorParameters(doorParameters != nullptr ? doorParameters->GetDoorMap() : nullptr);
    config_.SetICAOType(aircraftTypes != nullptr ? aircraftTypes->FindIn(config_.GetModelString()) : "NONE");
    BuildDoors();
}

void AIObject::BuildDoors() {
    int32_t mainDeck = 0;
    int32_t upperDeck = 0;
    for (const AircraftParameters::DoorData& door : config_.GetExits()) {
        if (door.upperDeck != 0) {
            doors_[std::to_string(++upperDeck) + "L Upper"] = ExitData(door);
        } else {
            doors_[std::to_string(++mainDeck) + "L"] = ExitData(door);
        }
    }
}

void AIObject::SetPosition(double latitude, double longitude, double altitude, double heading) {
    placement_.Set(latitude, longitude, altitude, false, false, 0.0, 0.0, heading);
}

ExitData AIObject::GetExit(const std::string& doorName) const {
    const ExitData* exit = FindExit(doors_, doorName);
    return exit != nullptr ? *exit : ExitData();
}

const ExitList& AIObject::RebuildSortedExits() {
    sortedExits_ = SortExitsForDocking(doors_);
    return sortedExits_;
}

const ExitList& AIObject::RebuildSortedExitsForUndock() {
    sortedExits_ = SortExitsForUndocking(doors_);
    return sortedExits_;
}

LLAData AIObject::ComputeExitPositions(const std::string& doorName, double lateralDistance) {
    ExitData exit = GetExit(doorName);
    if (const DoorParameters* parameters = config_.GetDoorParameters(doorName)) {
        exit.SetDoorParameters(*parameters);
        if (ExitData* stored = FindExit(doors_, doorName)) {
            stored->SetDoorParameters(*parameters);
        }
    }
    const double angle = exit.GetDoorAngle() * units::kPi / 180.0;
    const double x = exit.x + std::sin(angle) * lateralDistance;
    const double y = exit.y - std::cos(angle) * lateralDistance;
    const double h = placement_.GetHeading() * units::kPi / 180.0;
    const double north = std::cos(h) * x - std::sin(h) * y;
    const double east = std::sin(h) * x + std::cos(h) * y;
    const double latitude = placement_.GetLatitude();
    const double altitudeFt = placement_.GetAltitude() +
                              (exit.z - 0.5 * exit.GetDoorHeight() + exit.GetVerticalOffset()) * units::kFeetPerMetre;
    return LLAData(latitude + (north / 1000.0 / kEarthRadiusKm) * units::kDegreesPerRadian,
                   placement_.GetLongitude() +
                       (east / 1000.0 / (std::cos(latitude * units::kPi / 180.0) * kEarthRadiusKm)) *
                           units::kDegreesPerRadian,
                   altitudeFt);
}

bool AIObject::AssignJetwayToDoor(const std::string& doorName, int32_t jetwayObjectId) {
    ExitData* exit = FindExit(doors_, doorName);
    if (exit == nullptr) {
        return false;
    }
    exit->SetJetwayId(jetwayObjectId);
    return true;
}

bool AIObject::HasDoorWithJetway() const {
    for (const auto& [name, exit] : doors_) {
        if (exit.GetJetwayId() != -1) {
            return true;
        }
    }
    return false;
}

std::string AIObject::GetDoorNameOfJetway(int32_t jetwayObjectId) const {
    for (const auto& [name, exit] : doors_) {
        if (exit.GetJetwayId() == jetwayObjectId) {
            return name;
        }
    }
    return "NONE";
}

std::string AIObject::ReleaseDoorOfJetway(int32_t jetwayObjectId) {
    const std::string name = GetDoorNameOfJetway(jetwayObjectId);
    if (name != "NONE") {
        doors_[name].SetJetwayId(-1);
        doorJetways_.erase(name);
    }
    return name;
}

bool AIObject::AssignJetwaysToDoors(const std::vector<SimObject*>& jetways, uint32_t& primaryJetwayId) {
    if (jetways.empty()) {
        return false;
    }
    const std::size_t count = jetways.size();
    // Where the first jetway of MultiIndex 1, 2 and 3 stands in the list. With four or more jetways no
    // MultiIndex is looked at, so none is found.
    SimObject* byIndex[4] = {nullptr, nullptr, nullptr, nullptr};
    if (count <= 3) {
        for (SimObject* jetway : jetways) {
            if (jetway == nullptr) {
                continue;
            }
            const int32_t multiIndex = jetway->GetMultiIndex();
            if (multiIndex >= 1 && multiIndex <= 3 && byIndex[multiIndex] == nullptr) {
                byIndex[multiIndex] = jetway;
            }
        }
    }
    // An aircraft with one door takes the list's first jetway where a MultiIndex is missing (also with four
    // jetways or more): its only door would otherwise stay without a jetway. With more doors a missing
    // MultiIndex leaves its door free: falling back to the first jetway would give one jetway two doors.
    const bool oneDoor = doors_.size() == 1;
    const auto byIndexOrFirst = [&](int multiIndex) {
        return byIndex[multiIndex] != nullptr || !oneDoor ? byIndex[multiIndex] : jetways.front();
    };
    if (count >= 2) {
        SimObject* const primary = byIndexOrFirst(1);
        primaryJetwayId = primary != nullptr ? primary->GetObjectId() : 0;
    }
    const auto assign = [this](const char* door, SimObject* jetway) {
        if (jetway != nullptr && FindExit(doors_, door) != nullptr) {
            doorJetways_[door] = jetway;
        }
    };
    SimObject* const single = count == 1 ? jetways.front() : nullptr;
    switch (doors_.size()) {
    case 1:
        assign("1L", count == 1 ? single : byIndexOrFirst(2));
        break;
    case 2:
    case 3:
        if (count == 1) {
            if (doorJetways_.empty()) {
                assign("2L", single);
            }
            break;
        }
        assign("1L", byIndex[1]);
        assign("2L", byIndex[2]);
        if (doors_.size() == 3 && count >= 3) {
            assign("1L Upper", byIndex[3]);
        }
        break;
    default:
        break;
    }
    return true;
}

void AIObject::SetDoorJetway(const std::string& doorName, SimObject* jetway) {
    if (jetway == nullptr) {
        doorJetways_.erase(doorName);
    } else {
        doorJetways_[doorName] = jetway;
    }
}

SimObject* AIObject::GetDoorJetway(const std::string& doorName) const {
    const auto found = doorJetways_.find(doorName);
    return found != doorJetways_.end() ? found->second : nullptr;
}

std::vector<SimObject*> AIObject::GetDoorJetways() const {
    std::vector<SimObject*> out;
    out.reserve(doorJetways_.size());
    for (const auto& [door, jetway] : doorJetways_) {
        out.push_back(jetway);
    }
    return out;
}

std::vector<uint32_t> AIObject::GetDoorJetwayIDs() const {
    std::vector<uint32_t> out;
    out.reserve(doorJetways_.size());
    for (const auto& [door, jetway] : doorJetways_) {
        out.push_back(jetway != nullptr ? jetway->GetObjectId() : 0);
    }
    return out;
}

void AIObject::SetParkingInfo(const std::string& airport, const std::string& gateName, int32_t number) {
    parkingAirport_ = airport;
    parkingGate_ = gateName;
    parkingNumber_ = number;
    hasParking_ = true;
}

bool AIObject::ParseParkingText(const std::string& parkingText, std::string& gateName, int32_t& number) {
    const std::size_t comma = parkingText.find(',');
    if (comma == std::string::npos) {
        return false;
    }
    const std::string head = parkingText.substr(0, comma);
    std::size_t digit = 0;
    while (digit < head.size() && !std::isdigit(static_cast<unsigned char>(head[digit]))) {
        ++digit;
    }
    if (digit == head.size()) {
        return false;
    }
    // Whole digits only, so a hostile text cannot overflow the number.
    long long value = 0;
    for (std::size_t i = digit; i < head.size() && std::isdigit(static_cast<unsigned char>(head[i])); ++i) {
        value = value * 10 + (head[i] - '0');
        if (value > std::numeric_limits<int32_t>::max()) {
            return false;
        }
    }
    gateName = digit > 0 ? head.substr(0, digit - 1) : std::string();
    number = static_cast<int32_t>(value);
    return true;
}

bool AIObject::SetParkingFromSimText(const std::string& airport, const std::string& parkingText) {
    std::string gate;
    int32_t number = 0;
    if (!ParseParkingText(parkingText, gate, number) || airport.size() != 4) {
        return false;
    }
    const std::size_t ramp = gate.find("Ramp");
    if (ramp != std::string::npos) {
        gate.replace(ramp, 4, "Parking");
    }
    SetParkingInfo(airport, gate, number);
    return true;
}
