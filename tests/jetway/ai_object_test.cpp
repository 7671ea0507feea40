// AI aircraft records: the traffic state table, doors built from the aircraft's files, the docking
// point at a door, the jetway-to-door assignment by MultiIndex, the parking text and hostile input.
#include "jetway/AIObject.h"

#include "aircraft/AircraftParameters.h"
#include "aircraft/AircraftTypeTable.h"
#include "foundation/Units.h"
#include "objects/SimObject.h"
#include "tests/aircraft/AircraftTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

using aircrafttest::AircraftFilesTest;

constexpr double kFt = 0.3048;
using units::kPi;
constexpr const char* kFolder = "C:\\Sim\\Airplanes\\A320\\";

struct StateCase {
    const char* text;
    int32_t number;
};

TEST(AIObjectStates, TextsMapExactlyAndAnythingElseIs23)
{
    const StateCase cases[] = {
        {"init", 0},           {"sleep", 1},           {"flt plan", 2},        {"startup", 3},
        {"preflight support", 4}, {"clearance", 5},    {"push back 1", 6},     {"push back 2", 7},
        {"pre taxi out", 8},   {"taxi out", 9},        {"takeoff 1", 10},      {"takeoff 2", 11},
        {"T&G depart", 12},    {"enroute", 13},        {"pattern", 14},        {"landing", 15},
        {"rollout", 16},       {"go around", 17},      {"taxi in", 18},        {"shutdown", 19},
        {"postflight support", 20},
        // Case, blanks and the detection pass's own states never match.
        {"Sleep", 23}, {"sleep ", 23}, {" sleep", 23}, {"t&g depart", 23}, {"<unknown>", 23}, {"", 23},
        {"push back", 23}, {"21", 23},
    };
    for (const StateCase& c : cases) {
        EXPECT_EQ(AIObject::TrafficStateFromText(c.text), c.number) << "'" << c.text << "'";
        const AIObject aircraft(7, "A320 AB123", c.text, 0, 0, 0, 0, "", nullptr, nullptr);
        EXPECT_EQ(aircraft.GetTrafficState(), c.number) << "'" << c.text << "'";
    }
}

// "exit.N = 0.4, x, y, z, 0" with the position in metres.
std::string ExitLine(int n, double xm, double ym, double zm)
{
    char line[200];
    std::snprintf(line, sizeof line, "exit.%d = 0.4, %.17g, %.17g, %.17g, 0\n", n, xm / kFt, ym / kFt, zm / kFt);
    return line;
}

class AIObjectTest : public AircraftFilesTest {
protected:
    // An A320 whose doors are the given exits (front to back as listed).
    AIObject Aircraft(const std::vector<std::string>& exits, double heading = 0.0)
    {
        std::string text = "[WEIGHT_AND_BALANCE]\nreference_datum_position = 0, 0, 0\n[Views]\neyepoint = 0, 0, 0\n"
                           "[General]\natc_model=Airbus A320\n[exits]\n";
        for (const std::string& line : exits) text += line;
        WriteAircraft("aircraft.cfg", text);
        return AIObject(4711, "A320 AB123", "sleep", 47.0, 8.0, 1000.0, heading, kFolder, &parameters, &aircraftTypes);
    }
    AIObject Doors(int count)
    {
        std::vector<std::string> lines = {ExitLine(0, 30, -2, 0), ExitLine(1, 10, -2, 0), ExitLine(2, 20, -2, 1.5)};
        lines.resize(static_cast<std::size_t>(count));
        return Aircraft(lines);
    }

    AircraftParameters parameters;
    AircraftTypeTable aircraftTypes;
};

TEST_F(AIObjectTest, ConstructionReadsTheAircraftAndNamesTheDoorsPerDeck)
{
    AIObject aircraft = Doors(3);
    EXPECT_EQ(aircraft.GetObjectID(), 4711);
    EXPECT_EQ(aircraft.GetTitle(), "A320 AB123");
    EXPECT_EQ(aircraft.GetTrafficState(), 1);
    EXPECT_EQ(aircraft.GetConfig().GetICAOType(), "A320");
    const PlacementData placement = aircraft.GetPlacement();
    EXPECT_EQ(placement.GetLatitude(), 47.0);
    EXPECT_EQ(placement.GetHeading(), 0.0);
    EXPECT_EQ(placement.GetPitch(), 0.0);
    EXPECT_EQ(placement.GetBank(), 0.0);

    ASSERT_TRUE(aircraft.HasExits());
    std::vector<std::string> names;
    for (const auto& [name, exit] : aircraft.GetExits()) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"1L", "1L Upper", "2L"}));
    EXPECT_NEAR(aircraft.GetExit("1L").x, 30, 1e-9);
    EXPECT_NEAR(aircraft.GetExit("1L Upper").x, 20, 1e-9);
    EXPECT_NEAR(aircraft.GetExit("2L").x, 10, 1e-9);

    // Docking order front to back; undocking the reverse.
    std::vector<std::string> order;
    for (const auto& [name, exit] : aircraft.RebuildSortedExits()) order.push_back(name);
    EXPECT_EQ(order, (std::vector<std::string>{"1L", "1L Upper", "2L"}));
    order.clear();
    for (const auto& [name, exit] : aircraft.RebuildSortedExitsForUndock()) order.push_back(name);
    EXPECT_EQ(order, (std::vector<std::string>{"2L", "1L Upper", "1L"}));

    // Default flags of a new record.
    EXPECT_FALSE(aircraft.IsDocked());
    EXPECT_FALSE(aircraft.IsDepartureHandled());
    EXPECT_TRUE(aircraft.IsDockingAllowed());
    EXPECT_FALSE(aircraft.GetDockingMode());
    EXPECT_EQ(aircraft.GetRetryCounter(), 0);
    EXPECT_FALSE(aircraft.HasParkingInfo());
}

TEST_F(AIObjectTest, AnUnreadableFolderGivesNoDoorsAndLookupsAddNone)
{
    AIObject aircraft(5, "X", "sleep", 0, 0, 0, 0, "C:\\Missing\\", &parameters, &aircraftTypes);
    EXPECT_FALSE(aircraft.HasExits());
    EXPECT_EQ(aircraft.GetConfig().GetICAOType(), "NONE");
    EXPECT_EQ(aircraft.GetExit("1L").GetJetwayId(), -1);
    EXPECT_FALSE(aircraft.AssignJetwayToDoor("1L", 9));
    aircraft.ComputeExitPositions("3L", 2.0);
    EXPECT_FALSE(aircraft.HasExits());
    EXPECT_FALSE(aircraft.HasDoorWithJetway());
}

TEST_F(AIObjectTest, DockingPointFollowsTheDoorAngleAndTheHeading)
{
    WriteProgramData("AircraftParameters.ini", "[A320]\n1L = 2.0, 0.5, 90, 4, 4\n");
    parameters.ReadParameters();
    AIObject aircraft = Doors(2);
    const double radiusKm = 6378.137;
    const auto expect = [&](const LLAData& p, double north, double east, double up, const char* what) {
        EXPECT_NEAR(p.GetLatitude(), 47.0 + north / 1000.0 / radiusKm * 180.0 / kPi, 1e-12) << what;
        EXPECT_NEAR(p.GetLongitude(), 8.0 + east / 1000.0 / (std::cos(47.0 * kPi / 180.0) * radiusKm) * 180.0 / kPi,
                    1e-12)
            << what;
        EXPECT_NEAR(p.GetAltitude(), 1000.0 + up * 3.28084, 1e-9) << what;
    };
    // "2L" has no parameters: angle 0, height 2: the point lies d further left, 1 m below the sill.
    expect(aircraft.ComputeExitPositions("2L", 3.0), 10.0, -2.0 - 3.0, -1.0, "2L");
    // "1L" at 90 degrees: the offset runs forward; height 2 and vertical offset 0.5.
    expect(aircraft.ComputeExitPositions("1L", 3.0), 33.0, -2.0, -0.5, "1L");
    EXPECT_DOUBLE_EQ(aircraft.GetExit("1L").GetDoorAngle(), 90.0);

    // Heading 90: north becomes east.
    aircraft.SetPosition(47.0, 8.0, 1000.0, 90.0);
    expect(aircraft.ComputeExitPositions("2L", 0.0), 2.0, 10.0, -1.0, "2L east");
}

struct AssignCase {
    const char* name;
    int doors;
    std::vector<int32_t> multiIndices;  // one jetway per entry, object id 100 + its place in the list
    std::map<std::string, uint32_t> expected;
    uint32_t primary;                   // out value; 0 also when it stays untouched
};

TEST_F(AIObjectTest, JetwaysGoToDoorsByMultiIndex)
{
    const AssignCase cases[] = {
        {"1 door, 1 jetway", 1, {5}, {{"1L", 100}}, 0},
        {"1 door, 2 jetways: the MultiIndex-2 jetway", 1, {2, 1}, {{"1L", 100}}, 101},
        // One door takes the first jetway where a MultiIndex is missing: it would otherwise get none.
        {"1 door, no MultiIndex 2: the first jetway", 1, {1, 3}, {{"1L", 100}}, 100},
        {"1 door, no MultiIndex 1 or 2: the first jetway, also as primary", 1, {3, 3}, {{"1L", 100}}, 100},
        {"1 door, 4 jetways: the first jetway", 1, {2, 1, 3, 4}, {{"1L", 100}}, 100},
        {"2 doors, 1 jetway goes to 2L", 2, {1}, {{"2L", 100}}, 0},
        {"2 doors, 2 jetways", 2, {2, 1}, {{"1L", 101}, {"2L", 100}}, 101},
        {"3 doors, 1 jetway goes to 2L", 3, {1}, {{"2L", 100}}, 0},
        {"3 doors, 2 jetways", 3, {1, 2}, {{"1L", 100}, {"2L", 101}}, 100},
        {"3 doors, 3 jetways", 3, {3, 1, 2}, {{"1L", 101}, {"2L", 102}, {"1L Upper", 100}}, 101},
        {"first of a repeated MultiIndex", 2, {1, 1, 2}, {{"1L", 100}, {"2L", 102}}, 100},
        // A missing MultiIndex leaves its door free rather than giving the first jetway two doors.
        {"2 doors, MultiIndex 1 and 3", 2, {1, 3}, {{"1L", 100}}, 100},
        {"4 jetways: no MultiIndex is read", 2, {1, 2, 3, 4}, {}, 0},
        {"upper door missing", 2, {1, 2, 3}, {{"1L", 100}, {"2L", 101}}, 100},
    };
    for (const AssignCase& c : cases) {
        AIObject aircraft = Doors(c.doors);
        std::vector<SimObject> objects(c.multiIndices.size());
        std::vector<SimObject*> jetways;
        for (std::size_t i = 0; i < objects.size(); ++i) {
            objects[i].SetMultiIndex(c.multiIndices[i]);
            objects[i].SetObjectId(static_cast<uint32_t>(100 + i));
            jetways.push_back(&objects[i]);
        }
        uint32_t primary = 0;
        EXPECT_TRUE(aircraft.AssignJetwaysToDoors(jetways, primary)) << c.name;
        EXPECT_EQ(primary, c.primary) << c.name;
        std::map<std::string, uint32_t> got;
        for (const char* door : {"1L", "2L", "1L Upper"}) {
            if (SimObject* j = aircraft.GetDoorJetway(door)) got[door] = j->GetObjectId();
        }
        EXPECT_EQ(got, c.expected) << c.name;
        EXPECT_EQ(aircraft.HasDoorAssignments(), !c.expected.empty()) << c.name;
    }
}

TEST_F(AIObjectTest, AssignmentEdges)
{
    AIObject aircraft = Doors(2);
    uint32_t primary = 77;
    EXPECT_FALSE(aircraft.AssignJetwaysToDoors({}, primary));
    EXPECT_EQ(primary, 77u);
    EXPECT_FALSE(aircraft.HasDoorAssignments());

    // A single jetway goes to "2L" only while nothing is assigned.
    SimObject first, second;
    first.SetObjectId(1);
    second.SetObjectId(2);
    aircraft.SetDoorJetway("1L", &first);
    EXPECT_TRUE(aircraft.AssignJetwaysToDoors({&second}, primary));
    EXPECT_EQ(aircraft.GetDoorJetway("2L"), nullptr);
    EXPECT_EQ(aircraft.GetDoorJetwayIDs(), (std::vector<uint32_t>{1}));

    // Null entries in the list are passed over.
    EXPECT_TRUE(aircraft.AssignJetwaysToDoors({nullptr, nullptr}, primary));
    EXPECT_EQ(primary, 0u);

    aircraft.SetDoorJetway("1L", nullptr);
    EXPECT_FALSE(aircraft.HasDoorAssignments());
    EXPECT_EQ(aircraft.GetDoorJetway("1L"), nullptr);
}

TEST_F(AIObjectTest, DoorJetwayIdsAndRelease)
{
    AIObject aircraft = Doors(2);
    EXPECT_EQ(aircraft.GetDoorNameOfJetway(42), "NONE");
    EXPECT_FALSE(aircraft.HasDoorWithJetway());
    EXPECT_TRUE(aircraft.AssignJetwayToDoor("2L", 42));
    EXPECT_TRUE(aircraft.HasDoorWithJetway());
    EXPECT_EQ(aircraft.GetDoorNameOfJetway(42), "2L");
    EXPECT_EQ(aircraft.GetDoorNameOfJetway(43), "NONE");

    SimObject jetway;
    jetway.SetObjectId(42);
    aircraft.SetDoorJetway("2L", &jetway);
    EXPECT_EQ(aircraft.ReleaseDoorOfJetway(42), "2L");
    EXPECT_FALSE(aircraft.HasDoorWithJetway());
    EXPECT_FALSE(aircraft.HasDoorAssignments());
    EXPECT_EQ(aircraft.ReleaseDoorOfJetway(42), "NONE");
}

TEST_F(AIObjectTest, CopiesAreIndependent)
{
    AIObject original = Doors(2);
    original.AssignJetwayToDoor("1L", 5);
    AIObject copy = original;
    copy.AssignJetwayToDoor("1L", 6);
    copy.SetDocked(true);
    copy.IncrementRetryCounter();
    EXPECT_EQ(original.GetExit("1L").GetJetwayId(), 5);
    EXPECT_FALSE(original.IsDocked());
    EXPECT_EQ(original.GetRetryCounter(), 0);
    EXPECT_EQ(copy.GetRetryCounter(), 1);
    copy.ResetRetryCounter();
    EXPECT_EQ(copy.GetRetryCounter(), 0);
    EXPECT_EQ(copy.GetExitCount(), 2u);
}

struct ParkingCase {
    const char* airport;
    const char* text;
    bool stored;
    const char* gate;
    int32_t number;
};

TEST(AIObjectParking, ParkingTextGivesGateNameAndNumber)
{
    const ParkingCase cases[] = {
        {"LSZH", "GATE_A 12,GATE_HEAVY", true, "GATE_A", 12},
        {"LSZH", "Ramp 7,RAMP_GA", true, "Parking", 7},
        {"LSZH", "Ramp_Ramp 7,x", true, "Parking_Ramp", 7},
        {"LSZH", "GATE 3 4,x", true, "GATE", 3},
        {"LSZH", "5,x", true, "", 5},               // no character in front of the digit
        {"LSZH", "GATE_A 12", false, "", 0},        // no comma
        {"LSZ", "GATE_A 12,x", false, "", 0},       // 3-character airport
        {"LSZHX", "GATE_A 12,x", false, "", 0},
        {"LSZH", "GATE_A,12", false, "", 0},        // no digit before the comma
        {"LSZH", "", false, "", 0},
        {"LSZH", "GATE 99999999999999999999,x", false, "", 0},  // too large for the number
    };
    for (const ParkingCase& c : cases) {
        AIObject aircraft(1, "X", "sleep", 0, 0, 0, 0, "", nullptr, nullptr);
        EXPECT_EQ(aircraft.SetParkingFromSimText(c.airport, c.text), c.stored) << c.text;
        EXPECT_EQ(aircraft.HasParkingInfo(), c.stored) << c.text;
        if (c.stored) {
            EXPECT_EQ(aircraft.GetParkingAirport(), c.airport);
            EXPECT_EQ(aircraft.GetParkingGateName(), c.gate) << c.text;
            EXPECT_EQ(aircraft.GetParkingNumber(), c.number) << c.text;
        }
    }
}

TEST_F(AIObjectTest, NonFinitePositionsDoNotCrash)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    AIObject aircraft = Doors(1);
    aircraft.SetPosition(nan, std::numeric_limits<double>::infinity(), nan, nan);
    const LLAData point = aircraft.ComputeExitPositions("1L", nan);
    EXPECT_TRUE(std::isnan(point.GetLatitude()));
    aircraft.SetPosition(90.0, 0.0, 0.0, 0.0);  // at the pole the east step has no width
    aircraft.ComputeExitPositions("1L", 1.0);
}

}  // namespace
