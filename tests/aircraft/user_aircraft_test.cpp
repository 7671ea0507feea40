// The user aircraft record: position and state blocks, overrides and the aircraft-variable profile,
// eye point and nose wheel, exits, door positions and the stored stand position.
#include "aircraft/UserAircraft.h"

#include "aircraft/AircraftConfigData.h"
#include "foundation/GeoMath.h"
#include "foundation/Units.h"
#include "tests/aircraft/AircraftTestSupport.h"
#include "tests/support/CaseNames.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDeg = units::kPi / 180.0;
// Metres per degree of latitude on the sphere the record uses.
constexpr double kMetresPerDegree = GeoMath::SphereRadiusKm * 1000.0 * units::kPi / 180.0;

using SimBlock = std::array<double, UserAircraft::kSimDataCount>;
using StateBlock = std::array<double, UserAircraft::kStateDataCount>;

SimBlock Position(double lat, double lon, double altFt, double headingDeg, double pitchDeg = 0.0)
{
    return {lat, lon, altFt, pitchDeg * kDeg, 0.0, headingDeg * kDeg, 0.0, 0.0, 0.0, 0.0, 0.0};
}

UserAircraft At(double lat, double lon, double altFt, double headingDeg, double pitchDeg = 0.0)
{
    UserAircraft aircraft;
    const SimBlock block = Position(lat, lon, altFt, headingDeg, pitchDeg);
    EXPECT_TRUE(aircraft.SetFromSimData(block.data(), block.size()));
    return aircraft;
}

// North and east metres from (lat, lon) to a position, on the record's sphere.
void Offset(const LLAData& from, const LLAData& to, double& north, double& east)
{
    north = (to.GetLatitude() - from.GetLatitude()) * kMetresPerDegree;
    east = (to.GetLongitude() - from.GetLongitude()) * kMetresPerDegree * std::cos(from.GetLatitude() * kDeg);
}

TEST(UserAircraftTest, NewRecordIsEmpty)
{
    const UserAircraft aircraft;
    EXPECT_EQ(aircraft.GetLatitude(), 0.0);
    EXPECT_EQ(aircraft.GetGroundVelocity(), 0.0);
    EXPECT_FALSE(aircraft.IsParkingBrakeSet());
    EXPECT_FALSE(aircraft.IsOnGround());
    EXPECT_FALSE(aircraft.HasExits());
    EXPECT_FALSE(aircraft.HasNoseWheel());
    EXPECT_EQ(aircraft.GetLVarProfile(), 0);
    EXPECT_FALSE(aircraft.UsesLVars());
    EXPECT_FALSE(aircraft.HasStoredPosition());
    EXPECT_EQ(aircraft.GetFirstExitName(), "");
}

TEST(UserAircraftTest, PositionBlockConvertsAnglesAndKeepsBodyAndGroundVelocity)
{
    UserAircraft aircraft;
    const SimBlock block = {47.5, 8.25, 1400.0, -0.1, 0.2, units::kPi / 2.0, 11.0, 12.0, 13.0, 3.5, 6.75};
    ASSERT_TRUE(aircraft.SetFromSimData(block.data(), block.size()));
    EXPECT_EQ(aircraft.GetLatitude(), 47.5);
    EXPECT_EQ(aircraft.GetLongitude(), 8.25);
    EXPECT_EQ(aircraft.GetAltitude(), 1400.0);
    EXPECT_NEAR(aircraft.GetPitch(), -0.1 / kDeg, 1e-12);
    EXPECT_NEAR(aircraft.GetBank(), 0.2 / kDeg, 1e-12);
    EXPECT_NEAR(aircraft.GetHeading(), 90.0, 1e-12);
    EXPECT_NEAR(aircraft.GetHeadingRadians(), units::kPi / 2.0, 1e-12);
    EXPECT_EQ(aircraft.GetBodyVelocityZ(), 3.5);
    EXPECT_EQ(aircraft.GetGroundVelocity(), 6.75);
    EXPECT_FALSE(aircraft.GetPlacement().IsAltitudeAgl());
    EXPECT_FALSE(aircraft.GetPlacement().IsAltitudeZero());
}

TEST(UserAircraftTest, BadPositionBlocksAreRefusedAndKeepTheLastGoodValues)
{
    UserAircraft aircraft = At(47.0, 8.0, 1000.0, 90.0);
    const SimBlock good = Position(47.0, 8.0, 1000.0, 90.0);

    EXPECT_FALSE(aircraft.SetFromSimData(nullptr, UserAircraft::kSimDataCount));
    EXPECT_FALSE(aircraft.SetFromSimData(good.data(), good.size() - 1));

    for (std::size_t index : {0u, 1u, 2u, 5u, 9u, 10u}) {
        SimBlock bad = Position(10.0, 10.0, 10.0, 10.0);
        bad[index] = index % 2 ? std::numeric_limits<double>::infinity() : kNaN;
        EXPECT_FALSE(aircraft.SetFromSimData(bad.data(), bad.size())) << "index " << index;
    }
    EXPECT_EQ(aircraft.GetLatitude(), 47.0);
    EXPECT_EQ(aircraft.GetLongitude(), 8.0);
    EXPECT_NEAR(aircraft.GetHeading(), 90.0, 1e-12);

    // The world velocities are not kept, so a bad one does not spoil the block.
    SimBlock worldVelocityNaN = Position(48.0, 9.0, 500.0, 0.0);
    worldVelocityNaN[7] = kNaN;
    EXPECT_TRUE(aircraft.SetFromSimData(worldVelocityNaN.data(), worldVelocityNaN.size()));
    EXPECT_EQ(aircraft.GetLatitude(), 48.0);
}

struct StateCase {
    const char* name;
    StateBlock block;  // brake parking, beacon, engines, rpm 1..4, brake indicator, slew, on ground
    bool parkingBrake;
    bool beacon;
    bool engines;
    bool slew;
    bool onGround;
};

class UserAircraftStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(UserAircraftStateTest, FlagsFromTheStateBlock)
{
    const StateCase& c = GetParam();
    UserAircraft aircraft;
    ASSERT_TRUE(aircraft.SetStateFromSimData(c.block.data(), c.block.size()));
    EXPECT_EQ(aircraft.IsParkingBrakeSet(), c.parkingBrake);
    EXPECT_EQ(aircraft.IsBeaconOn(), c.beacon);
    EXPECT_EQ(aircraft.AreEnginesRunning(), c.engines);
    EXPECT_EQ(aircraft.IsSlewActive(), c.slew);
    EXPECT_EQ(aircraft.IsOnGround(), c.onGround);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UserAircraftStateTest,
    ::testing::Values(
        StateCase{"AllClear", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false, false, false, false, false},
        StateCase{"ParkingIndicatorOne", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, false, false, false, false},
        StateCase{"ParkingIndicatorNotExactlyOne", {0.999, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false, false, false, false,
                  false},
        StateCase{"BrakeIndicatorAbove", {0, 0, 0, 0, 0, 0, 0, 2.6, 0, 0}, true, false, false, false, false},
        StateCase{"BrakeIndicatorExactly", {0, 0, 0, 0, 0, 0, 0, 2.5, 0, 0}, false, false, false, false, false},
        StateCase{"BeaconOne", {0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, false, true, false, false, false},
        StateCase{"BeaconTwo", {0, 2, 0, 0, 0, 0, 0, 0, 0, 0}, false, false, false, false, false},
        StateCase{"SlewAndGround", {0, 0, 0, 0, 0, 0, 0, 0, 1, 1}, false, false, false, true, true},
        StateCase{"GroundNotExactlyOne", {0, 0, 0, 0, 0, 0, 0, 0, 0.5, 0.5}, false, false, false, false, false},
        StateCase{"SecondOfTwoEnginesRuns", {0, 0, 2, 0, 600, 0, 0, 0, 0, 0}, false, false, true, false, false},
        StateCase{"RpmExactly500", {0, 0, 2, 500, 500, 0, 0, 0, 0, 0}, false, false, false, false, false},
        StateCase{"EngineBeyondCount", {0, 0, 1, 0, 600, 0, 0, 0, 0, 0}, false, false, false, false, false},
        StateCase{"ZeroEngines", {0, 0, 0, 900, 900, 900, 900, 0, 0, 0}, false, false, false, false, false},
        StateCase{"FiveEngines", {0, 0, 5, 900, 900, 900, 900, 0, 0, 0}, false, false, false, false, false},
        StateCase{"HalfRoundsUpToThree", {0, 0, 2.5, 0, 0, 600, 0, 0, 0, 0}, false, false, true, false, false},
        StateCase{"BelowHalfRoundsDownToTwo", {0, 0, 2.4, 0, 0, 600, 0, 0, 0, 0}, false, false, false, false, false},
        StateCase{"HalfIsOneEngine", {0, 0, 0.5, 600, 0, 0, 0, 0, 0, 0}, false, false, true, false, false},
        StateCase{"FourAndAHalfIsFive", {0, 0, 4.5, 900, 900, 900, 900, 0, 0, 0}, false, false, false, false,
                  false},
        StateCase{"NegativeEngines", {0, 0, -1, 900, 900, 900, 900, 0, 0, 0}, false, false, false, false, false},
        StateCase{"HugeEngineCount", {0, 0, 1e300, 900, 900, 900, 900, 0, 0, 0}, false, false, false, false, false},
        StateCase{"NaNEverywhere", {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN}, false, false, false,
                  false, false}),
    testsupport::CaseName());

TEST(UserAircraftTest, ShortStateBlockIsRefused)
{
    UserAircraft aircraft;
    const StateBlock block = {1, 1, 1, 900, 0, 0, 0, 0, 1, 1};
    EXPECT_FALSE(aircraft.SetStateFromSimData(block.data(), block.size() - 1));
    EXPECT_FALSE(aircraft.SetStateFromSimData(nullptr, block.size()));
    EXPECT_FALSE(aircraft.IsParkingBrakeSet());
    EXPECT_FALSE(aircraft.IsOnGround());
}

struct OverrideCase {
    const char* name;
    bool brakeSet;      // the simulator's parking brake indicator
    bool beaconOn;      // the simulator's beacon
    bool brakeActive, brakeValue, beaconActive, beaconValue;
    bool parkingBrake;  // expected flags
    bool beacon;
};

class UserAircraftOverrideTest : public ::testing::TestWithParam<OverrideCase> {};

TEST_P(UserAircraftOverrideTest, OverrideReplacesTheSimulatorsFlagAtTheNextStateBlock)
{
    const OverrideCase& c = GetParam();
    UserAircraft aircraft;
    const StateBlock block = {c.brakeSet ? 1.0 : 0.0, c.beaconOn ? 1.0 : 0.0, 0, 0, 0, 0, 0, 0, 0, 1};
    ASSERT_TRUE(aircraft.SetStateFromSimData(block.data(), block.size()));
    aircraft.SetParkingBrakeOverride(c.brakeActive, c.brakeValue);
    aircraft.SetBeaconOverride(c.beaconActive, c.beaconValue);
    // Not before the next block.
    EXPECT_EQ(aircraft.IsParkingBrakeSet(), c.brakeSet);
    EXPECT_EQ(aircraft.IsBeaconOn(), c.beaconOn);
    // And at every block after it.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(aircraft.SetStateFromSimData(block.data(), block.size()));
        EXPECT_EQ(aircraft.IsParkingBrakeSet(), c.parkingBrake);
        EXPECT_EQ(aircraft.IsBeaconOn(), c.beacon);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UserAircraftOverrideTest,
    ::testing::Values(OverrideCase{"FalseHidesSetBrake", true, true, true, false, false, false, false, true},
                      OverrideCase{"TrueShowsBrake", false, false, true, true, false, false, true, false},
                      OverrideCase{"InactiveIgnoresValue", true, false, false, false, false, true, true, false},
                      OverrideCase{"BeaconForcedOff", false, true, false, false, true, false, false, false},
                      OverrideCase{"BeaconForcedOn", false, false, false, false, true, true, false, true}),
    testsupport::CaseName());

TEST(UserAircraftTest, ProfileFollowsTheCreatorOfTheAircraft)
{
    struct Case {
        const char* createdBy;
        int32_t profile;
        bool uses;
    };
    for (const Case& c : {Case{"Flight Sim Labs", 2, true}, Case{"Flight Sim Labs, Ltd.", 2, true},
                          Case{"flight sim labs", 0, false}, Case{"Other Vendor", 0, false}, Case{"", 0, false}}) {
        UserAircraft aircraft;
        aircraft.SetProfileFromCreatedBy(c.createdBy);
        EXPECT_EQ(aircraft.GetLVarProfile(), c.profile) << c.createdBy;
        EXPECT_EQ(aircraft.UsesLVars(), c.uses) << c.createdBy;
    }
}

TEST(UserAircraftTest, AircraftVariablesSetTheOverrides)
{
    struct Case {
        const char* name;
        bool uses;
        int32_t profile;
        double brake, beacon;
        bool brakeActive, brakeValue, beaconActive, beaconValue;
    };
    const Case cases[] = {
        {"ProfileTwoBrakeOn", true, 2, 1.0, 0.0, true, true, true, false},
        {"ProfileTwoBeaconOn", true, 2, 0.5, 0.51, true, false, true, true},
        {"ProfileTwoNaN", true, 2, kNaN, kNaN, true, false, true, false},
        // Another profile leaves the earlier overrides as they were.
        {"OtherProfileKeeps", true, 0, 1.0, 1.0, true, false, true, true},
        {"NotUsedClears", false, 2, 1.0, 1.0, false, false, false, false},
    };
    for (const Case& c : cases) {
        UserAircraft aircraft;
        aircraft.SetParkingBrakeOverride(true, false);
        aircraft.SetBeaconOverride(true, true);
        aircraft.SetUsesLVars(c.uses);
        aircraft.SetLVarProfile(c.profile);
        aircraft.ApplyAircraftVariables(c.brake, c.beacon, 3.0);
        EXPECT_EQ(aircraft.IsParkingBrakeOverrideActive(), c.brakeActive) << c.name;
        EXPECT_EQ(aircraft.GetParkingBrakeOverrideValue(), c.brakeValue) << c.name;
        EXPECT_EQ(aircraft.IsBeaconOverrideActive(), c.beaconActive) << c.name;
        EXPECT_EQ(aircraft.GetBeaconOverrideValue(), c.beaconValue) << c.name;
    }
}

TEST(UserAircraftTest, EyePointAndNoseWheelBehindTheReferenceStayBehindIt)
{
    UserAircraft aircraft = At(47.0, 8.0, 1000.0, 0.0);
    aircraft.GetEyePoint().SetOffsets(-3.0, 0.7, 0.0);
    aircraft.GetNoseWheel().SetOffsets(-3.0, 0.0, 0.0);
    aircraft.UpdateEyePointPosition();
    aircraft.UpdateNoseWheelPosition();

    double north = 0.0, east = 0.0;
    Offset(aircraft.GetPlacement(), aircraft.GetEyePoint(), north, east);
    EXPECT_NEAR(north, -3.0, 1e-6);
    EXPECT_NEAR(east, 0.0, 1e-6);  // the lateral offset is not used
    Offset(aircraft.GetPlacement(), aircraft.GetNoseWheel(), north, east);
    EXPECT_NEAR(north, -3.0, 1e-6);
    EXPECT_NEAR(east, 0.0, 1e-6);
}

TEST(UserAircraftTest, EyePointFollowsPitchAndHeading)
{
    // Nose up 10 degrees (the simulator reports it negative), heading east.
    UserAircraft aircraft = At(47.0, 8.0, 1000.0, 90.0, -10.0);
    aircraft.GetEyePoint().SetOffsets(20.0, 0.0, 2.0);
    aircraft.UpdateEyePointPosition();
    const double p = 10.0 * kDeg;
    const double along = std::cos(p) * 20.0 - std::sin(p) * 2.0;
    const double up = std::sin(p) * 20.0 + std::cos(p) * 2.0;

    double north = 0.0, east = 0.0;
    Offset(aircraft.GetPlacement(), aircraft.GetEyePoint(), north, east);
    EXPECT_NEAR(north, 0.0, 1e-6);
    EXPECT_NEAR(east, along, 1e-6);
    EXPECT_NEAR(aircraft.GetEyePoint().GetAltitude(), 1000.0 + up * 3.28084, 1e-9);

    // The nose wheel ignores pitch and keeps its height below the reference.
    aircraft.GetNoseWheel().SetOffsets(15.0, 0.0, -2.0);
    aircraft.UpdateNoseWheelPosition();
    Offset(aircraft.GetPlacement(), aircraft.GetNoseWheel(), north, east);
    EXPECT_NEAR(east, 15.0, 1e-6);
    EXPECT_NEAR(aircraft.GetNoseWheel().GetAltitude(), 1000.0 - 2.0 * 3.28084, 1e-9);
}

TEST(UserAircraftTest, ExitsAreNamedByNumberAndDeck)
{
    UserAircraft aircraft;
    aircraft.AddExit(ExitData(AircraftParameters::DoorData(20.0, -2.0, 3.0, false)), 1);
    aircraft.AddExit(ExitData(AircraftParameters::DoorData(-10.0, -2.0, 3.0, false)), 2);
    aircraft.AddUpperExit(ExitData(AircraftParameters::DoorData(15.0, -2.0, 8.0, true)), 1);
    EXPECT_EQ(aircraft.GetExitCount(), 3u);
    EXPECT_TRUE(aircraft.HasExits());
    EXPECT_EQ(aircraft.GetFirstExitName(), "1L");
    EXPECT_EQ(aircraft.GetExit("1L Upper").z, 8.0);

    // Same name: replaced.
    aircraft.AddExit(ExitData(AircraftParameters::DoorData(21.0, -2.0, 3.0, false)), 1);
    EXPECT_EQ(aircraft.GetExitCount(), 3u);
    EXPECT_EQ(aircraft.GetExit("1L").x, 21.0);

    aircraft.ClearExits();
    EXPECT_FALSE(aircraft.HasExits());
}

TEST(UserAircraftTest, LookupsOfUnknownExitsAddNothing)
{
    UserAircraft aircraft = At(47.0, 8.0, 1000.0, 0.0);
    aircraft.AddExit(ExitData(AircraftParameters::DoorData(20.0, -2.0, 3.0, false)), 1);

    const ExitData missing = aircraft.GetExit("3L");
    EXPECT_EQ(missing.x, 0.0);
    EXPECT_EQ(missing.GetJetwayId(), -1);
    EXPECT_FALSE(aircraft.AssignJetwayToExit("3L", 77));
    EXPECT_FALSE(aircraft.SelectExit("", 77));
    (void)aircraft.GetDoorPosition("4L", 0.0);
    const DoorParameters parameters;
    (void)aircraft.GetDockingDoorPosition("5L", &parameters, 1.0, 1.0, true);
    EXPECT_EQ(aircraft.GetExitCount(), 1u);
    EXPECT_FALSE(aircraft.HasAssignedExit());
}

TEST(UserAircraftTest, JetwaysOnExits)
{
    UserAircraft aircraft;
    for (int n = 1; n <= 3; ++n) aircraft.AddExit(ExitData(), n);
    EXPECT_FALSE(aircraft.HasAssignedExit());
    EXPECT_EQ(aircraft.GetExitNameOfJetway(42), "");

    EXPECT_TRUE(aircraft.AssignJetwayToExit("3L", 42));
    EXPECT_TRUE(aircraft.SelectExit("2L", 42));
    EXPECT_TRUE(aircraft.HasAssignedExit());
    // The first exit in name order with that jetway.
    EXPECT_EQ(aircraft.GetExitNameOfJetway(42), "2L");
    EXPECT_EQ(aircraft.GetExitNameByNumber(42), "2L");
    EXPECT_EQ(aircraft.GetExitNameOfJetway(-1), "1L");

    // The map handed out is a copy.
    ExitMap copy = aircraft.GetExits();
    copy["1L"].SetJetwayId(9);
    EXPECT_EQ(aircraft.GetExit("1L").GetJetwayId(), -1);

    aircraft.ResetExitStates();
    EXPECT_FALSE(aircraft.HasAssignedExit());
    EXPECT_EQ(aircraft.GetExitNameOfJetway(42), "");
}

TEST(UserAircraftTest, RecordCopiesTheExitMapDeeply)
{
    UserAircraft original;
    original.AddExit(ExitData(), 1);
    UserAircraft copy = original;
    copy.AssignJetwayToExit("1L", 5);
    EXPECT_FALSE(original.HasAssignedExit());
    EXPECT_TRUE(copy.HasAssignedExit());
}

TEST(UserAircraftTest, DoorPositionForTheGuidance)
{
    UserAircraft aircraft = At(47.0, 8.0, 1000.0, 90.0);
    ExitData door(AircraftParameters::DoorData(10.0, -2.0, 3.0, false));
    door.SetDoorParameters(2.0, 0.25, 30.0, 4.0, 4.0);
    aircraft.AddExit(door, 1);

    const LLAData position = aircraft.GetDoorPosition("1L", 0.55);
    double north = 0.0, east = 0.0;
    Offset(aircraft.GetPlacement(), position, north, east);
    EXPECT_NEAR(north, 0.0, 1e-6);  // the lateral offset is not used
    EXPECT_NEAR(east, 10.55, 1e-6);
    EXPECT_NEAR(position.GetAltitude(), 1000.0 + (3.0 - 1.0 + 0.25) * 3.28084, 1e-9);
    EXPECT_EQ(aircraft.GetExitWorldPosition("1L", 0.55).GetLongitude(), position.GetLongitude());
}

TEST(UserAircraftTest, DockingPointTurnsByTheDoorAngleAndStoresGivenParameters)
{
    UserAircraft aircraft = At(47.0, 8.0, 1000.0, 0.0);
    aircraft.AddExit(ExitData(AircraftParameters::DoorData(10.0, -2.0, 3.0, false)), 1);
    DoorParameters parameters;
    parameters.doorHeight = 1.8;
    parameters.verticalOffset = 0.2;
    parameters.doorAngle = 90.0;

    // Heading north: x is north, y east. Not rotated: x' = 10 + 1.5, y' = -2 - 0.5.
    LLAData point = aircraft.GetDockingDoorPosition("1L", &parameters, 0.5, 1.5, false);
    double north = 0.0, east = 0.0;
    Offset(aircraft.GetPlacement(), point, north, east);
    EXPECT_NEAR(north, 11.5, 1e-6);
    EXPECT_NEAR(east, -2.5, 1e-6);
    EXPECT_NEAR(point.GetAltitude(), 1000.0 + (3.0 - 0.9 + 0.2) * 3.28084, 1e-9);
    EXPECT_EQ(aircraft.GetExit("1L").GetDoorAngle(), 90.0);

    // Rotated by 90 degrees: a' = -1.5, b' = 0.5, so x' = 10.5 and y' = -0.5. The stored angle is used
    // when no parameters are given.
    point = aircraft.GetDockingDoorPosition("1L", nullptr, 0.5, 1.5, true);
    Offset(aircraft.GetPlacement(), point, north, east);
    EXPECT_NEAR(north, 10.5, 1e-6);
    EXPECT_NEAR(east, -0.5, 1e-6);
}

TEST(UserAircraftTest, OffsetPositionStartsAtTheGivenBase)
{
    UserAircraft aircraft = At(47.0, 8.0, 1000.0, 90.0);
    const LLAData base(46.0, 7.0, 500.0);
    // Heading east: longitudinal goes east, lateral (to the right) goes south.
    LLAData point = aircraft.OffsetPosition(base, 0.0, 2.0, 0.5, 1.0, 4.0, false);
    double north = 0.0, east = 0.0;
    Offset(base, point, north, east);
    EXPECT_NEAR(east, 4.0, 1e-6);
    EXPECT_NEAR(north, -1.0, 1e-6);
    EXPECT_NEAR(point.GetAltitude(), 500.0 - (1.0 + 0.5) * 3.28084, 1e-9);

    // Rotated with angle 0: a = pi, so the lateral offset changes side and the longitudinal stays.
    point = aircraft.OffsetPosition(base, 0.0, 2.0, 0.5, 1.0, 4.0, true);
    Offset(base, point, north, east);
    EXPECT_NEAR(east, 4.0, 1e-6);
    EXPECT_NEAR(north, 1.0, 1e-6);
}

TEST(UserAircraftTest, StoredStandPosition)
{
    struct Case {
        double lat, lon;
        bool stored;
    };
    for (const Case& c : {Case{47.0, 8.0, true}, Case{-33.9, -151.2, true}, Case{0.0, 8.0, false},
                          Case{47.0, 0.0, false}, Case{0.0, 0.0, false}}) {
        UserAircraft aircraft = At(c.lat, c.lon, 1500.0, 0.0);
        aircraft.StoreStandPosition(24.0);
        EXPECT_EQ(aircraft.HasStoredPosition(), c.stored) << c.lat << ", " << c.lon;
        EXPECT_EQ(aircraft.GetStoredLatitude(), c.lat);
        EXPECT_EQ(aircraft.GetStoredLongitude(), c.lon);
        EXPECT_EQ(aircraft.GetStoredValue(), 24.0);
        aircraft.ResetStoredPosition();
        EXPECT_FALSE(aircraft.HasStoredPosition());
        EXPECT_EQ(aircraft.GetStoredValue(), 0.0);
    }
}

TEST(UserAircraftTest, LeavingTheStoredPosition)
{
    UserAircraft aircraft = At(47.0, 8.0, 1500.0, 0.0);
    EXPECT_FALSE(aircraft.HasLeftStoredPosition());  // nothing stored
    aircraft.StoreStandPosition(UserAircraft::kDockingStandRadius);
    aircraft.StoreStandPosition(kNaN);  // refused: the first radius stays
    EXPECT_EQ(aircraft.GetStoredValue(), 24.0);

    for (const double metres : {0.0, 20.0, 23.9}) {
        const SimBlock block = Position(47.0 + metres / kMetresPerDegree, 8.0, 1500.0, 0.0);
        ASSERT_TRUE(aircraft.SetFromSimData(block.data(), block.size()));
        EXPECT_FALSE(aircraft.HasLeftStoredPosition()) << metres;
    }
    const SimBlock away = Position(47.0 + 24.5 / kMetresPerDegree, 8.0, 1500.0, 0.0);
    ASSERT_TRUE(aircraft.SetFromSimData(away.data(), away.size()));
    EXPECT_TRUE(aircraft.HasLeftStoredPosition());
}

// Set-up from the aircraft's configuration files.
class UserAircraftConfigTest : public aircrafttest::AircraftFilesTest {
protected:
    AircraftConfigData Read(const std::string& aircraftCfg)
    {
        WriteAircraft("aircraft.cfg", aircraftCfg);
        AircraftConfigData config;
        config.SetAircraftPath(kAircraftFolder);
        config.ReadAircraftData();
        return config;
    }
};

TEST_F(UserAircraftConfigTest, LoadingTakesEyePointNoseWheelAndExits)
{
    constexpr double ft = 0.3048;
    // Datum 0; exits 0 and 1 on the main deck, 2 upper deck (8 ft higher), 3 main deck again.
    // The creator is known only once the custom exit file's sections were searched.
    WriteProgramData("AircraftExits.ini", "[Other Vendor]\nexit.0 = 0.4, 1, -1, 1, 0\n");
    const AircraftConfigData config = Read(
        "[WEIGHT_AND_BALANCE]\nreference_datum_position = 0, 0, 0\n[Views]\neyepoint = 40, -1, 8\n"
        "[FLTSIM.0]\nui_createdby=Flight Sim Labs\nsim=A320\n"
        "[contact_points]\npoint.0 = 1, 35, 0, -7\n"
        "[exits]\nexit.0 = 0.4, 30, -6, 2, 0\nexit.1 = 0.4, -20, -6, 2, 0\nexit.2 = 0.4, 20, -6, 10, 0\n");
    ASSERT_TRUE(config.HasNoseWheel());
    ASSERT_EQ(config.GetCreatedBy(), "Flight Sim Labs");

    UserAircraft aircraft;
    aircraft.AddExit(ExitData(), 7);
    aircraft.LoadAircraftConfig(config);

    EXPECT_EQ(aircraft.GetLVarProfile(), UserAircraft::kProfileAircraftVariables);
    EXPECT_TRUE(aircraft.UsesLVars());
    EXPECT_NEAR(aircraft.GetEyePoint().GetOffsetX(), 40 * ft, 1e-9);
    EXPECT_NEAR(aircraft.GetEyePoint().GetOffsetY(), -1 * ft, 1e-9);
    EXPECT_NEAR(aircraft.GetEyePoint().GetOffsetZ(), 8 * ft, 1e-9);
    EXPECT_TRUE(aircraft.HasNoseWheel());
    EXPECT_NEAR(aircraft.GetNoseWheel().GetOffsetX(), 35 * ft, 1e-9);
    EXPECT_NEAR(aircraft.GetNoseWheel().GetOffsetZ(), -7 * ft, 1e-9);

    // The old exits are gone; numbering counts each deck from 1 in the configuration's order.
    const ExitMap exits = aircraft.GetExits();
    ASSERT_EQ(exits.size(), config.GetExitCount());
    std::vector<std::string> names;
    for (const auto& [name, exit] : exits) names.push_back(name);
    int32_t main = 0, upper = 0;
    for (const auto& door : config.GetExits()) {
        const std::string name = door.upperDeck ? std::to_string(++upper) + "L Upper" : std::to_string(++main) + "L";
        ASSERT_EQ(exits.count(name), 1u) << name;
        EXPECT_EQ(exits.at(name).x, door.x) << name;
    }
    EXPECT_EQ(upper, 1);
    EXPECT_EQ(exits.count("7L"), 0u);
}

TEST_F(UserAircraftConfigTest, ShortEyePointKeepsOffsetsAndMissingNoseWheelClearsTheFlag)
{
    const AircraftConfigData config =
        Read("[WEIGHT_AND_BALANCE]\nreference_datum_position = 0, 0, 0\n[Views]\neyepoint = 1, 2\n");
    ASSERT_TRUE(config.GetEyePointRelative().empty());
    UserAircraft aircraft;
    aircraft.GetEyePoint().SetOffsets(5.0, 6.0, 7.0);
    aircraft.SetHasNoseWheel(true);
    aircraft.SetProfileFromCreatedBy("Flight Sim Labs");
    aircraft.AddExit(ExitData(), 1);
    aircraft.LoadAircraftConfig(config);
    EXPECT_EQ(aircraft.GetEyePoint().GetOffsetX(), 5.0);
    EXPECT_EQ(aircraft.GetEyePoint().GetOffsetY(), 6.0);
    EXPECT_EQ(aircraft.GetEyePoint().GetOffsetZ(), 7.0);
    EXPECT_FALSE(aircraft.HasNoseWheel());
    EXPECT_FALSE(aircraft.HasExits());
    // No creator known: no aircraft-variable profile.
    EXPECT_EQ(aircraft.GetLVarProfile(), 0);
    EXPECT_FALSE(aircraft.UsesLVars());
}

}  // namespace
