// Docking guidance with the user aircraft rolling onto its stop: distance and azimuth geometry, the stop
// point, and the state machine tick by tick from activation to its verdict.
#include "VDGSTestSupport.h"

#include "foundation/GeoMath.h"
#include "tests/aircraft/AircraftTestSupport.h"
#include "tests/support/CaseNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using vdgstest::Stand;

constexpr int32_t kA320 = 14;
constexpr double kStop = 10.0;

uint64_t Bits(const VDGS& vdgs, unsigned lo, unsigned hi) { return vdgs.GetDisplayWord().GetBits(lo, hi); }

struct GeometryCase {
    const char* name;
    double lat, lon, heading;
};

class VDGSGeometryTest : public ::testing::TestWithParam<GeometryCase> {};

// A point placed on the sphere: `along` metres behind the display (against its heading) and `across`
// metres to its right. The guidance measures on the ellipsoid, so it agrees to a few millimetres per
// metre.
LLAData Behind(const GeometryCase& c, double along, double across)
{
    double lat = 0.0, lon = 0.0;
    GeoMath::OffsetLatLon(c.lat, c.lon, c.heading, -along, lat, lon);
    GeoMath::OffsetLatLonAbeam(lat, lon, c.heading, across, lat, lon);
    return LLAData(lat, lon, 0.0);
}

TEST_P(VDGSGeometryTest, DistanceAlongTheStandAxisAndSideOfTheCentreLine)
{
    const GeometryCase& c = GetParam();
    struct Point {
        double along, across;
    };
    // {-10, 1} lies past the display, just right of its heading line: for a heading of -10 degrees its
    // bearing is about 356 degrees, where the heading's wrap into 0..360 decides the side.
    for (const Point p : {Point{30.0, 2.0}, Point{30.0, -2.0}, Point{80.0, 0.0}, Point{5.0, 10.0},
                          Point{-3.0, 1.0}, Point{-3.0, -1.0}, Point{-10.0, 1.0}}) {
        VDGS vdgs;
        vdgs.AddStop(kA320, false, kStop);
        vdgs.SelectStopForType(kA320);
        const LLAData point = Behind(c, p.along, p.across);
        vdgs.UpdateGuidance(c.lat, c.lon, point.GetLatitude(), point.GetLongitude(), c.heading);
        const double tolerance = 0.005 * std::hypot(p.along, p.across);
        EXPECT_NEAR(vdgs.GetDistanceToStop(), p.along - kStop, tolerance) << p.along << "/" << p.across;
        EXPECT_NEAR(vdgs.GetLateralOffset(), p.across, tolerance) << p.along << "/" << p.across;
        EXPECT_EQ(vdgs.GetDisplayRecord().displayDistance, vdgs.GetDistanceToStop());
        EXPECT_EQ(vdgs.GetDisplayRecord().displayLateral, vdgs.GetLateralOffset());
    }
}

INSTANTIATE_TEST_SUITE_P(Headings, VDGSGeometryTest,
                         ::testing::Values(GeometryCase{"North", 47.0, 8.0, 0.0},
                                           GeometryCase{"NorthEast", 47.0, 8.0, 45.0},
                                           GeometryCase{"East", 47.0, 8.0, 90.0},
                                           GeometryCase{"JustBeforeSouth", 47.0, 8.0, 179.9},
                                           GeometryCase{"South", 47.0, 8.0, 180.0},
                                           GeometryCase{"SouthSouthWest", 47.0, 8.0, 200.0},
                                           GeometryCase{"West", 47.0, 8.0, 270.0},
                                           GeometryCase{"JustBeforeNorth", 47.0, 8.0, 359.9},
                                           GeometryCase{"NegativeHeading", 47.0, 8.0, -10.0},
                                           GeometryCase{"HeadingBeyondFullCircle", 47.0, 8.0, 370.0},
                                           GeometryCase{"SouthernHemisphere", -33.9, 151.2, 160.0},
                                           GeometryCase{"HighLatitudeWestOfGreenwich", 64.1, -21.9, 300.0},
                                           GeometryCase{"NearTheEquator", 0.5, 0.5, 90.0}),
                         testsupport::CaseName());

TEST(VDGSGuidanceTest, LateralOffsetBiasShiftsTheCentreLineToTheRight)
{
    const GeometryCase c{"SouthEast", 47.0, 8.0, 120.0};
    VDGS vdgs;
    vdgs.SetLateralOffsetBias(1.5);
    LLAData point = Behind(c, 40.0, 1.5);
    vdgs.UpdateGuidance(c.lat, c.lon, point.GetLatitude(), point.GetLongitude(), c.heading);
    EXPECT_EQ(vdgs.GetLateralOffset(), 0.0);
    point = Behind(c, 40.0, 0.0);
    vdgs.UpdateGuidance(c.lat, c.lon, point.GetLatitude(), point.GetLongitude(), c.heading);
    EXPECT_NEAR(vdgs.GetLateralOffset(), -1.5, 0.01);
}

// The stop markers sit where the guidance reads a distance to stop of 0: the stop point of every stop
// distance, heading, place and lateral offset is measured back as zero.
TEST(VDGSGuidanceTest, StopPointReadsZero)
{
    for (const GeometryCase& c : {GeometryCase{"North", 47.0, 8.0, 0.0}, GeometryCase{"SouthWest", 47.0, 8.0, 237.5},
                                  GeometryCase{"SouthernHemisphere", -33.9, 151.2, 90.0},
                                  GeometryCase{"FarNorth", 70.0, 20.0, 359.0},
                                  GeometryCase{"Origin", 0.0, 0.0, 180.0}}) {
        for (const double stop : {0.0, 4.5, 10.0, 45.0}) {
            for (const double bias : {0.0, 1.25, -3.0}) {
                VDGS vdgs;
                vdgs.AddStop(kA320, false, stop);
                vdgs.SelectStopForType(kA320);
                vdgs.SetLateralOffsetBias(bias);
                const LLAData marker = VDGS::StopPoint(c.lat, c.lon, c.heading, stop, bias);
                vdgs.UpdateGuidance(c.lat, c.lon, marker.GetLatitude(), marker.GetLongitude(), c.heading);
                EXPECT_NEAR(vdgs.GetDistanceToStop(), 0.0, 1e-4) << c.heading << " " << stop << " " << bias;
                EXPECT_EQ(vdgs.GetLateralOffset(), 0.0);
                vdgs.SetStateGuidance();
                vdgs.CheckStopReached();
                EXPECT_EQ(vdgs.GetState(), VDGSStop);
            }
        }
    }
}

// Activation with the aircraft 130 m before the stop, the approach, closing guidance and the stop.
class VDGSApproachTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        stand.display.vdgs.AddStop(kA320, false, kStop);
        stand.PlaceNoseWheel(kStop + 130.0);
        stand.Activate();
    }

    // Activation, then the three-second wait.
    void ActivateAndWait()
    {
        stand.Tick();
        ASSERT_EQ(stand.State(), VDGSActivated);
        ASSERT_EQ(stand.TickUntilStateChanges(40), 19);
    }

    // Rolls the nose wheel from its distance to stop `from` to `to` in steps of `step` metres a tick,
    // until the state leaves `state`; the distance to stop at which it left.
    double RollWhile(int32_t state, double from, double to, double step)
    {
        for (double d = from; d >= to; d -= step) {
            stand.PlaceNoseWheel(kStop + d);
            stand.Tick();
            if (stand.State() != state) return d;
        }
        return NAN;
    }

    Stand stand;
};

TEST_F(VDGSApproachTest, ActivationShowsTheDisplayAndWaitsThreeSeconds)
{
    const VDGSGuidanceOutcome first = stand.Tick();
    EXPECT_EQ(first.display, &stand.display);
    EXPECT_TRUE(first.writeRecord);
    EXPECT_EQ(stand.State(), VDGSActivated);
    EXPECT_FALSE(stand.display.vdgs.IsActivationRequested());
    EXPECT_EQ(Bits(stand.display.vdgs, 0, 5), 0x3Fu);
    EXPECT_EQ(Bits(stand.display.vdgs, 16, 19), 1u);
    EXPECT_NEAR(first.record.displayDistance, 130.0, 0.5);
    EXPECT_EQ(first.record.displayWord, stand.display.vdgs.GetDisplayWord().ToDouble());

    EXPECT_EQ(stand.TickUntilStateChanges(40), 19);
    EXPECT_EQ(stand.State(), VDGSApproach);
}

TEST_F(VDGSApproachTest, RollsOntoTheStopAndEndsWithStopOk)
{
    ActivateAndWait();
    stand.speed = 3.0;

    // Approach: the type shows until the aircraft comes within the approach range.
    // Positions stay clear of the exact thresholds: 100 m, and the 0.3 m tolerance.
    const double guidanceFrom = RollWhile(VDGSApproach, 130.2, 0.0, 0.5);
    EXPECT_EQ(stand.State(), VDGSGuidance);
    EXPECT_NEAR(guidanceFrom, 99.7, 1e-9);
    EXPECT_EQ(Bits(stand.display.vdgs, 8, 13), static_cast<uint64_t>(kA320));
    // The stand position is remembered from here with approach range x 1.2.
    EXPECT_TRUE(stand.aircraft.HasStoredPosition());
    EXPECT_DOUBLE_EQ(stand.aircraft.GetStoredValue(), 120.0);
    EXPECT_EQ(stand.aircraft.GetStoredLatitude(), stand.aircraft.GetLatitude());

    // Closing guidance down to the stop; the bar and the record follow the distance.
    double stoppedAt = NAN;
    for (double d = 99.2; d >= -1.0; d -= 0.5) {
        stand.PlaceNoseWheel(kStop + d);
        const VDGSGuidanceOutcome outcome = stand.Tick();
        ASSERT_TRUE(outcome.writeRecord);
        EXPECT_NEAR(outcome.record.displayDistance, d, 0.02) << d;
        EXPECT_EQ(outcome.record.displayLateral, 0.0);
        EXPECT_EQ(outcome.record.lateralKF, 12.0);
        if (d > 12.0) {
            EXPECT_EQ(outcome.record.distKF, 0.0);
        }
        if (d > 0.3 && d <= 10.0) {
            EXPECT_TRUE(stand.display.vdgs.IsSpeedWarning()) << d;  // 3 m/s near the stop
        }
        if (stand.State() == VDGSStop) {
            stoppedAt = d;
            break;
        }
    }
    EXPECT_NEAR(stoppedAt, 0.2, 1e-9);  // the first position within the tolerance (0.7 is not)
    EXPECT_EQ(Bits(stand.display.vdgs, 16, 19), 5u);

    // Standing without the parking brake: STOP stays, the wait starts again and again.
    stand.speed = 0.0;
    for (int tick = 0; tick < 60; ++tick) stand.Tick();
    EXPECT_EQ(stand.State(), VDGSStop);

    // Parking brake: at the end of the running wait the check, then the verdict.
    stand.SetParkingBrake(true);
    const int ticks = stand.TickUntilStateChanges(30);
    EXPECT_GE(ticks, 1);
    EXPECT_LE(ticks, 25);
    EXPECT_EQ(stand.State(), VDGSStopCheck);
    EXPECT_EQ(Bits(stand.display.vdgs, 16, 19), 5u);
    stand.Tick();
    EXPECT_EQ(stand.State(), VDGSStopOk);

    EXPECT_EQ(stand.TickUntilStateChanges(40), 31);
    EXPECT_EQ(stand.State(), VDGSEnding);
    EXPECT_TRUE(stand.last.writeRecord);
    EXPECT_EQ(stand.last.record.displayDistance, -1.0);
    EXPECT_EQ(Bits(stand.display.vdgs, 0, 5), 0u);

    // Ending: the display is switched off and forgotten, nothing more is written.
    const VDGSGuidanceOutcome end = stand.Tick();
    EXPECT_TRUE(end.ended);
    EXPECT_EQ(end.display, &stand.display);
    EXPECT_FALSE(end.writeRecord);
    EXPECT_EQ(stand.State(), VDGSStandby);
    EXPECT_EQ(stand.handler.GetActiveVDGS(), nullptr);
    EXPECT_EQ(stand.Tick().display, nullptr);
}

TEST_F(VDGSApproachTest, OvershootIsStillAStopAndEndsTooFar)
{
    ActivateAndWait();
    RollWhile(VDGSApproach, 60.0, 0.0, 1.0);
    ASSERT_EQ(stand.State(), VDGSGuidance);
    // Two ticks: still short at 1 m, then 2.5 m past the stop.
    stand.PlaceNoseWheel(kStop + 1.0);
    stand.Tick();
    ASSERT_EQ(stand.State(), VDGSGuidance);
    stand.PlaceNoseWheel(kStop - 2.5);
    stand.Tick();
    EXPECT_EQ(stand.State(), VDGSStop);
    EXPECT_NEAR(stand.display.vdgs.GetDistanceToStop(), -2.5, 0.01);
    EXPECT_EQ(stand.last.record.distKF, 24.0);
    EXPECT_FALSE(stand.display.vdgs.IsSpeedWarning());

    stand.SetParkingBrake(true);
    EXPECT_EQ(stand.TickUntilStateChanges(30), 25);
    stand.Tick();
    EXPECT_EQ(stand.State(), VDGSStopTooFar);
    EXPECT_EQ(Bits(stand.display.vdgs, 16, 19), 8u);
    EXPECT_EQ(stand.TickUntilStateChanges(40), 31);
    EXPECT_EQ(stand.State(), VDGSEnding);
}

TEST_F(VDGSApproachTest, SmallOvershootIsWithinTolerance)
{
    ActivateAndWait();
    RollWhile(VDGSApproach, 60.0, 0.0, 1.0);
    stand.PlaceNoseWheel(kStop - 1.1);
    stand.Tick();
    ASSERT_EQ(stand.State(), VDGSStop);
    stand.SetParkingBrake(true);
    stand.TickUntilStateChanges(30);
    stand.Tick();
    EXPECT_EQ(stand.State(), VDGSStopOk);
}

TEST_F(VDGSApproachTest, LateralArrowsAndSpeedWarningWhileClosing)
{
    ActivateAndWait();
    RollWhile(VDGSApproach, 99.0, 0.0, 1.0);
    ASSERT_EQ(stand.State(), VDGSGuidance);

    struct Case {
        double across;
        bool right, left;
    };
    for (const Case& c : {Case{1.0, true, false}, Case{-1.0, false, true}, Case{0.15, false, false}}) {
        stand.PlaceNoseWheel(kStop + 40.0, c.across);
        stand.Tick();
        EXPECT_EQ(stand.display.vdgs.GetDisplayWord().TestBit(14), c.right) << c.across;
        EXPECT_EQ(stand.display.vdgs.GetDisplayWord().TestBit(15), c.left) << c.across;
    }
    stand.speed = 5.0;
    stand.PlaceNoseWheel(kStop + 25.0);
    stand.Tick();
    EXPECT_TRUE(stand.display.vdgs.GetDisplayWord().TestBit(28));
    stand.speed = 2.0;
    stand.PlaceNoseWheel(kStop + 25.0);
    stand.Tick();
    EXPECT_FALSE(stand.display.vdgs.GetDisplayWord().TestBit(28));
}

TEST(VDGSStateTest, DisplayTypesWithoutTypeStepGoStraightToGuidance)
{
    for (const int32_t type : {1, 2}) {
        Stand other;
        other.display.vdgs.AddStop(kA320, false, kStop);
        other.display.vdgs.SetDisplayType(type);
        other.PlaceNoseWheel(kStop + 130.0);
        other.Activate();
        other.Tick();
        EXPECT_EQ(other.TickUntilStateChanges(40), 19);
        EXPECT_EQ(other.State(), VDGSGuidance) << type;
    }
}

TEST(VDGSStateTest, AircraftAlreadyAtTheStopSwitchesOffAtOnce)
{
    for (const double d : {23.0, 25.0}) {
        Stand stand;
        stand.display.vdgs.AddStop(kA320, false, kStop);
        stand.PlaceNoseWheel(kStop + d);
        stand.Activate();
        const VDGSGuidanceOutcome outcome = stand.Tick();
        EXPECT_EQ(stand.State(), d < 24.0 ? VDGSEnding : VDGSActivated) << d;
        EXPECT_TRUE(outcome.writeRecord);
        if (d < 24.0) {
            EXPECT_TRUE(stand.Tick().ended);
        }
    }
}

TEST(VDGSStateTest, UnknownTypeShowsStopThenBlinksThenEnds)
{
    Stand stand;
    stand.icaoType = "NONE";
    stand.display.vdgs.AddStop(kA320, false, kStop);
    // A stop selected by an earlier guidance must not be taken for this aircraft.
    stand.display.vdgs.SelectStopForType(kA320);
    stand.PlaceNoseWheel(kStop + 60.0);
    stand.Activate();
    stand.Tick();
    ASSERT_EQ(stand.State(), VDGSActivated);
    ASSERT_EQ(stand.TickUntilStateChanges(40), 19);
    EXPECT_EQ(stand.State(), VDGSStop);
    EXPECT_TRUE(stand.display.vdgs.IsStopUnknown());
    EXPECT_EQ(stand.display.vdgs.GetTypeCode(), 0);

    EXPECT_EQ(stand.TickUntilStateChanges(40), 25);
    EXPECT_EQ(stand.State(), VDGSTypeUnknown);
    int toggles = 0;
    bool last = stand.display.vdgs.GetDisplayWord().TestBit(29);
    int ticks = 0;
    while (stand.State() == VDGSTypeUnknown && ticks < 60) {
        stand.Tick();
        ++ticks;
        const bool now = stand.display.vdgs.GetDisplayWord().TestBit(29);
        if (now != last) ++toggles;
        last = now;
    }
    EXPECT_EQ(ticks, 49);
    EXPECT_GE(toggles, 8);
    EXPECT_EQ(stand.State(), VDGSEnding);
    EXPECT_FALSE(stand.display.vdgs.GetDisplayWord().TestBit(29));
}

class VDGSErrorTest : public ::testing::Test {
protected:
    aircrafttest::LogCapture log{"VELK.FSLOOP"};
    Stand stand;
};

TEST_F(VDGSErrorTest, TypeWithoutStopDistanceIsAnError)
{
    stand.icaoType = "B738";
    stand.display.vdgs.AddStop(kA320, false, kStop);
    stand.PlaceNoseWheel(kStop + 60.0);
    stand.Activate();
    stand.Tick();
    ASSERT_EQ(stand.State(), VDGSActivated);
    EXPECT_EQ(stand.TickUntilStateChanges(40), 19);
    EXPECT_EQ(stand.State(), VDGSError);
    EXPECT_EQ(log.Priority("ERROR"), std::vector<std::string>{"ERROR [VDGS] Stop Distance not found for Aircraft B738!"});
    EXPECT_EQ(stand.TickUntilStateChanges(60), 49);
    EXPECT_EQ(stand.State(), VDGSEnding);
}

TEST_F(VDGSErrorTest, MissingNoseWheelIsAnErrorAtEveryTickWhileTheWaitRuns)
{
    stand.display.vdgs.AddStop(kA320, false, kStop);
    stand.PlaceNoseWheel(kStop + 60.0);
    stand.aircraft.SetHasNoseWheel(false);
    stand.Activate();
    EXPECT_EQ(stand.TickUntilStateChanges(5), 1);
    EXPECT_EQ(stand.State(), VDGSError);
    EXPECT_EQ(stand.TickUntilStateChanges(60), 48);
    EXPECT_EQ(stand.State(), VDGSEnding);
    const auto errors = log.Priority("ERROR");
    EXPECT_EQ(errors.size(), 49u);
    EXPECT_EQ(errors.front(), "ERROR [VDGS] Could not detect Nosewheel!");
    // In the ending state it is not logged again.
    EXPECT_TRUE(stand.Tick().ended);
    EXPECT_EQ(log.Priority("ERROR").size(), 49u);
}

TEST_F(VDGSErrorTest, NoseDoorStandAimsAtDoorOneAndNeedsIt)
{
    stand.noseDoorStand = true;
    stand.display.vdgs.AddStop(kA320, false, kStop);
    // Reference point 60 m behind the display; door 1L 12 m ahead of it, aimed at 0.55 m further.
    double lat = 0.0, lon = 0.0;
    GeoMath::OffsetLatLon(47.0, 8.0, 0.0, -60.0, lat, lon);
    stand.SetPosition(lat, lon, 0.0);
    stand.aircraft.AddExit(ExitData(AircraftParameters::DoorData(12.0, -2.0, 3.0, false)), 1);
    stand.Activate();
    stand.Tick();
    EXPECT_EQ(stand.State(), VDGSActivated);
    EXPECT_NEAR(stand.display.vdgs.GetDistanceToStop(), 60.0 - 12.55 - kStop, 0.2);
    EXPECT_TRUE(log.Priority("ERROR").empty());

    Stand doorless;
    doorless.noseDoorStand = true;
    doorless.display.vdgs.AddStop(kA320, false, kStop);
    doorless.PlaceNoseWheel(kStop + 60.0);
    doorless.Activate();
    doorless.Tick();
    EXPECT_EQ(doorless.State(), VDGSError);
    EXPECT_EQ(log.Priority("ERROR").back(),
              "ERROR [VDGS] Aircraft has no exits for calculation of Stop-Point for this N or T type jetway!");
    EXPECT_EQ(doorless.aircraft.GetExitCount(), 0u);
}

TEST(VDGSStateTest, StepInputDrivesActivationVerdicts)
{
    struct Case {
        const char* name;
        int32_t typeCode;
        bool doorsMissing;
        int32_t displayType;
        int32_t next;
        bool stopMissing;
        bool doorsReported;
    };
    const Case cases[] = {
        {"UnknownType", 0, false, 0, VDGSStop, false, false},
        {"NoStop", 4, false, 0, VDGSError, true, false},
        {"NoDoors", kA320, true, 0, VDGSError, false, true},
        {"Approach", kA320, false, 0, VDGSApproach, false, false},
        {"Segmented", kA320, false, 3, VDGSApproach, false, false},
        {"NoType", kA320, false, 1, VDGSGuidance, false, false},
        {"TrafficLight", kA320, false, 2, VDGSGuidance, false, false},
    };
    for (const Case& c : cases) {
        VDGS vdgs;
        vdgs.AddStop(kA320, false, kStop);
        vdgs.SetDisplayType(c.displayType);
        vdgs.SetStateActivated();
        VDGSStepInput input;
        input.typeCode = c.typeCode;
        input.doorsMissing = c.doorsMissing;
        VDGSStepResult result;
        for (int tick = 0; tick < 19; ++tick) {
            ASSERT_EQ(vdgs.GetState(), VDGSActivated) << c.name;
            result = vdgs.Step(input);
        }
        EXPECT_EQ(vdgs.GetState(), c.next) << c.name;
        EXPECT_EQ(result.stopDistanceMissing, c.stopMissing) << c.name;
        EXPECT_EQ(result.doorsMissing, c.doorsReported) << c.name;
    }
}

TEST(VDGSStateTest, StandbyWithoutRequestStaysIdle)
{
    Stand stand;
    stand.display.vdgs.AddStop(kA320, false, kStop);
    stand.PlaceNoseWheel(kStop + 60.0);
    stand.handler.SetCurrentStand(stand.display.stand);
    for (int tick = 0; tick < 10; ++tick) {
        const VDGSGuidanceOutcome outcome = stand.Tick();
        EXPECT_FALSE(outcome.writeRecord);
    }
    EXPECT_EQ(stand.State(), VDGSStandby);
}

TEST(VDGSStateTest, DisplayWithoutCurrentModelIsLeftAlone)
{
    Stand stand;
    stand.Activate();
    stand.display.hasModel = false;
    const VDGSGuidanceOutcome outcome = stand.Tick();
    EXPECT_EQ(outcome.display, &stand.display);
    EXPECT_FALSE(outcome.writeRecord);
    EXPECT_FALSE(outcome.ended);
}

TEST(VDGSStateTest, NaNAircraftPositionNeverMovesTheGuidance)
{
    Stand stand;
    stand.display.vdgs.AddStop(kA320, false, kStop);
    stand.PlaceNoseWheel(kStop + 60.0);
    stand.Activate();
    stand.Tick();
    // The nose wheel's world position turns NaN (offsets from a hostile configuration).
    stand.aircraft.GetNoseWheel().SetOffsets(NAN, 0.0, 0.0);
    stand.aircraft.UpdateNoseWheelPosition();
    for (int tick = 0; tick < 30; ++tick) stand.Tick();
    EXPECT_NEAR(stand.display.vdgs.GetDistanceToStop(), 60.0, 0.1);
    EXPECT_EQ(stand.State(), VDGSGuidance);
}

}  // namespace
