// Door parameters of aircraft types, read from "AircraftParameters.ini" in the program data folder:
// one section per ICAO type designator, one key per door name, five comma-separated numbers a value.
#pragma once

#include "foundation/Records.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace log4cpp {
class Category;
}

// How a jetway meets one door. The defaults are the values of a door whose type has no record.
struct DoorParameters {
    double doorHeight = 2.0;      // metres; half of it comes off the door's height
    double verticalOffset = 0.0;  // metres, added to the door's height
    double doorAngle = 0.0;       // degrees, turns the approach offsets in front of the door
    double doorValue4 = 4.0;      // passed unchanged to the jetway's docking values
    double doorValue5 = 4.0;      // passed unchanged to the jetway's docking values
};

class AircraftParameters {
public:
    // One exit of an aircraft configuration: metres from the model's reference point (x forward,
    // y to the right, z up) and its deck.
    class DoorData : public XYZData {
    public:
        DoorData() = default;
        DoorData(double x, double y, double z, bool upper) : XYZData(x, y, z), upperDeck(upper ? 1 : 0) {}
        DoorData(const DoorData&) = default;
        DoorData& operator=(const DoorData&) = default;
        ~DoorData() override = default;

        uint8_t upperDeck = 0;
    };

    // Key: ICAO type + ":" + door name, compared byte by byte ("A320:1L").
    using DoorMap = std::map<std::string, DoorParameters>;

    // A file that lists more than this is cut there (with a logged error): every value costs a read of
    // the whole file, so a hostile file must not keep the start-up busy for minutes.
    static constexpr std::size_t MaxTypes = 512;
    static constexpr std::size_t MaxDoorEntries = 1024;

    // log may be null: nothing is logged then.
    explicit AircraftParameters(log4cpp::Category* log = nullptr) : log_(log) {}
    AircraftParameters(const AircraftParameters&) = delete;
    AircraftParameters& operator=(const AircraftParameters&) = delete;
    virtual ~AircraftParameters() = default;

    // Empties the map and the type list in place; the map's address stays valid.
    void Clear();
    // Clear, then read the file again.
    void ReadParameters();

    // Aircraft configurations keep this address for their lookups; the map stays owned here.
    const DoorMap* GetDoorMap() const { return &doors_; }
    // The section names read, in file order.
    const std::vector<std::string>* GetTypeList() const { return &types_; }

private:
    log4cpp::Category* log_;
    DoorMap doors_;
    std::vector<std::string> types_;
};

// Number reading shared by the aircraft file readers.
namespace aircraftdata {

// The number at the start of text (leading white space skipped, text after it ignored); 0 when the text
// does not begin with a number. False when it does begin with one that is no finite double
// ("1e999", "inf", "nan"): a conversion error the caller logs.
bool ReadLeadingNumber(const std::string& text, double& value);

// value truncated toward zero when that fits an int; false otherwise (NaN included).
bool TruncateToInt(double value, int& result);

}  // namespace aircraftdata
