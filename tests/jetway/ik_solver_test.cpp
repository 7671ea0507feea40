// The IK solver against hand-computed dockings: doors ahead, to the side, too low, too high and out of
// reach, the failure bits and texts, the motion times, and inputs that make no geometry.
//
// The jetway stands on the equator at longitude 0, heading north, so its bridge points south. Near that
// point a metre north is 1 / M radians of latitude (M = a(1 - e^2), the meridian's radius of curvature
// there) and a metre east 1 / a radians of longitude; the rhumb-line bearing of a door is then
// atan2(east / a, north / M).
#include "jetway/IKSolver.h"

#include "foundation/Units.h"
#include "jetway/core/JetwayCore.h"
#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"
#include "tests/aircraft/AircraftTestSupport.h"
#include "tests/simulator/SimTestSupport.h"
#include "tests/support/JetwayRecords.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using aircrafttest::LogCapture;
using testing::ElementsAre;
using testing::IsEmpty;

using units::kPi;
constexpr double kA = 6378137.0;
constexpr double kE2 = 0.00669437999014;
constexpr double kM = kA * (1.0 - kE2);
constexpr double kFt = 0.3048;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

double Deg(double r) { return r * 180.0 / kPi; }
double Rad(double d) { return d * kPi / 180.0; }

// A door north and east of the jetway's root (metres), its sill height metres above the root's ground.
LLAData Door(double north, double east, double height)
{
    return LLAData(Deg(north / kM), Deg(east / kA), height / kFt);
}

PlacementData Root(double heading = 0.0)
{
    PlacementData p;
    p.Set(0.0, 0.0, 0.0, false, false, 0, 0, heading);
    return p;
}

// The shared type "A" jetway: floor 5 m above the ground, the bridge 2 m from the root, the mouth 1 m
// long, the leg 10 m out; parked at 12 m.
void ConfigureA(JetwayData& r) { r = testsupport::TypeAJetwayRecord(); }

// A nose-loader ("N"): it slides across its axis; the hood is 2 m wide.
void ConfigureN(JetwayData& r)
{
    r.JetwayType = kJetwayTypeN;
    r.RootFloorHeight = 4.0;
    r.RootBridgeOffset = 0.0;
    r.LegOffsetFromOrigin = 0.0;
    r.HoodWidth = 2.0;
    r.BridgeLengthRange = {2, 10};
    r.BridgeDipRange = {-40, 40};
    r.LegLengthRange = {1, 5};
}

// The geometry of a door 22 m south whose sill is at height y, for the jetway of ConfigureA: the door is
// first raised by the mouth's share M / (M + a) of the floor's height above it, then the bridge dips to
// it. Returns the raised height, the dip and the bridge length.
struct Docking {
    double raised;
    double dip;
    double length;
};
Docking HandDocking(double sill)
{
    const double a = 22.0 - 2.0;
    const double raised = sill + (1.0 / (1.0 + a)) * (5.0 - sill);
    const double b = 5.0 - raised;
    return {raised, std::atan2(b, a), std::hypot(a, b)};
}
// The leg of a type "A" jetway at dip t and extension x.
double LegA(double t, double x) { return (5.0 + std::sin(-t) * (x - 10.0)) / std::cos(-t); }

class IKSolverTest : public testing::Test {
protected:
    IKSolverTest() { ConfigureA(R()); }

    JetwayData& R() { return *jetway.GetJetwayData(); }
    bool Solve(LLAData& door, double heading = 90.0, bool show = true)
    {
        mask = 0;
        return solver.Solve(&placement, &jetway, heading, door, show, mask);
    }

    LogCapture log{"VELK.IKSOLVER.TEST"};
    IKSolver solver{log.category()};
    JetwayCore jetway;
    PlacementData placement = Root();
    uint32_t mask = 0;
};

// Every double the solver may write, for the "never NaN" checks.
std::vector<double> Written(const JetwayData& r)
{
    return {r.TargetExtension, r.ExtensionVia,   r.TargetRootRotation, r.TargetDip,        r.TargetHead,
            r.TargetLegLength, r.LegLengthVia,   r.LegLengthLevel,     r.LegLengthAfterDip, r.DipTime,
            r.HeadRotationTime, r.HoodTime};
}

TEST_F(IKSolverTest, DoorStraightAhead)
{
    LLAData door = Door(-22.0, 0.0, 5.0);  // sill level with the floor
    ASSERT_TRUE(Solve(door));
    EXPECT_EQ(0u, mask);
    EXPECT_NEAR(0.0, R().TargetRootRotation, 1e-9);
    EXPECT_NEAR(0.0, R().TargetDip, 1e-9);
    EXPECT_NEAR(20.0, R().TargetExtension, 1e-4);
    // The aircraft heads east: its left door faces the jetway head-on, the head stays at keyframe 50.
    EXPECT_NEAR(0.0, R().TargetHead, 1e-9);
    EXPECT_FALSE(R().SplitRotation);
    EXPECT_FALSE(R().RetractFirst);
    EXPECT_NEAR(5.0, R().LegLengthAfterDip, 1e-9);
    EXPECT_NEAR(5.0, R().TargetLegLength, 1e-9);
    EXPECT_NEAR(5.0, R().LegLengthLevel, 1e-9);
    EXPECT_NEAR(5.0 / kFt, door.GetAltitude(), 1e-9);  // nothing to raise
}

TEST_F(IKSolverTest, DoorOffToEitherSide)
{
    // 20 m south and 5 m east: the bridge turns by atan(0.25 (1 - e^2)) towards the east, and the head
    // (quantised to 2.4 degree keyframes of its 240 degree sweep: 13.95 -> keyframe 56 -> 14.4) turns
    // back the other way.
    const double turn = Deg(std::atan(0.25 * (1.0 - kE2)));
    for (double east : {5.0, -5.0}) {
        SCOPED_TRACE(east);
        LLAData door = Door(-20.0, east, 5.0);
        ASSERT_TRUE(Solve(door));
        const double side = east > 0 ? 1.0 : -1.0;
        EXPECT_NEAR(side * turn, Deg(R().TargetRootRotation), 1e-6);
        EXPECT_NEAR(std::sqrt(425.0) - 2.0, R().TargetExtension, 1e-4);
        EXPECT_NEAR(-side * 14.4, Deg(R().TargetHead), 1e-9);
    }
}

TEST_F(IKSolverTest, LowDoorIsRaisedForTheMouthAndTheLegFollowsTheDip)
{
    LLAData door = Door(-22.0, 0.0, 3.0);
    ASSERT_TRUE(Solve(door));
    const Docking d = HandDocking(3.0);  // raised by 2/21 m
    EXPECT_NEAR(d.raised / kFt, door.GetAltitude(), 1e-6);
    EXPECT_NEAR(d.dip, R().TargetDip, 1e-7);
    EXPECT_NEAR(d.length, R().TargetExtension, 1e-4);
    EXPECT_FALSE(R().RetractFirst);
    EXPECT_NEAR(LegA(d.dip, 12.0), R().LegLengthAfterDip, 1e-6);  // 4.832
    EXPECT_NEAR(LegA(d.dip, d.length), R().TargetLegLength, 1e-6);  // 4.062
    EXPECT_NEAR(5.0, R().LegLengthLevel, 1e-9);
}

TEST_F(IKSolverTest, DoorIsNeverRaisedAboveTheFloor)
{
    // A mouth of -30 m would make the mouth's share -30 / (-30 + 20) = 3: three times the height
    // difference. The share stops at 1, which brings the door level with the floor.
    R().MouthOffset = -30.0;
    LLAData door = Door(-22.0, 0.0, 3.0);
    Solve(door);
    EXPECT_NEAR(5.0 / kFt, door.GetAltitude(), 1e-9);
    EXPECT_NEAR(0.0, R().TargetDip, 1e-9);
}

TEST_F(IKSolverTest, LongerParkedBridgeRetractsFirst)
{
    R().CurrentPose.extension = 25.0;
    R().CurrentPose.dip = Rad(-4.0);
    LLAData door = Door(-22.0, 0.0, 5.0);
    ASSERT_TRUE(Solve(door));
    EXPECT_TRUE(R().RetractFirst);
    EXPECT_NEAR(15.0, R().ExtensionVia, 1e-4);  // 20 - (20 - 10) / 2
    EXPECT_NEAR(LegA(Rad(-4.0), 15.0), R().LegLengthVia, 1e-6);
    EXPECT_NEAR(5.0, R().LegLengthLevel, 1e-9);
    EXPECT_NEAR(5.0, R().LegLengthAfterDip, 1e-9);
    EXPECT_NEAR(5.0, R().TargetLegLength, 1e-9);
}

TEST_F(IKSolverTest, HoodJetwayLegHangsFromItsOwnOrigin)
{
    R().JetwayType = kJetwayTypeH;
    R().LegOffsetFromOrigin = 6.0;
    LLAData door = Door(-22.0, 0.0, 3.0);
    ASSERT_TRUE(Solve(door));
    const Docking d = HandDocking(3.0);
    // 5 + tan(-dip) (6 - 2), with tan(dip) = b / a.
    const double leg = 5.0 - (5.0 - d.raised) / 20.0 * 4.0;
    EXPECT_NEAR(leg, R().TargetLegLength, 1e-6);
    EXPECT_NEAR(leg, R().LegLengthAfterDip, 1e-6);
    EXPECT_NEAR(5.0, R().LegLengthLevel, 1e-9);
    EXPECT_NEAR(d.raised / kFt, door.GetAltitude(), 1e-6);
}

TEST_F(IKSolverTest, NoseLoaderSlidesAcrossItsAxis)
{
    ConfigureN(R());
    LLAData door = Door(0.0, 6.0, 2.0);  // due east, sill 2 m below the floor
    ASSERT_TRUE(Solve(door, 0.0));
    EXPECT_EQ(0u, mask);
    EXPECT_EQ(0.0, R().TargetRootRotation);
    EXPECT_EQ(0.0, R().TargetDip);
    EXPECT_NEAR(6.0, R().TargetExtension, 1e-6);
    EXPECT_NEAR(4.0, R().TargetLegLength, 1e-12);
    EXPECT_NEAR(4.0, R().LegLengthAfterDip, 1e-12);
    EXPECT_NEAR(2.0 / kFt, door.GetAltitude(), 1e-12);  // an N without leg origin is not raised
}

TEST_F(IKSolverTest, TunnelJetwayDipsToTheDoorFromItsLeg)
{
    ConfigureN(R());
    R().JetwayType = kJetwayTypeT;
    R().LegOffsetFromOrigin = 3.0;
    LLAData door = Door(0.0, 6.0, 2.0);
    ASSERT_TRUE(Solve(door, 0.0));
    EXPECT_NEAR(std::atan2(2.0, 3.0), R().TargetDip, 1e-9);  // 33.69 degrees
    EXPECT_NEAR(6.0, R().TargetExtension, 1e-6);
    EXPECT_NEAR(2.0, R().TargetLegLength, 1e-9);  // 4 - (2 / 3) * 3
    EXPECT_EQ(0.0, R().TargetRootRotation);
    EXPECT_NEAR(2.0 / kFt, door.GetAltitude(), 1e-12);
}

TEST_F(IKSolverTest, WhichTypesRaiseTheDoor)
{
    const struct {
        const char* what;
        uint32_t type;
        double legOrigin;
        bool raised;
    } cases[] = {
        {"A", kJetwayTypeA, 0.0, true},  {"H", kJetwayTypeH, 6.0, true}, {"N", kJetwayTypeN, 0.0, false},
        {"N with leg origin", kJetwayTypeN, 3.0, true}, {"T", kJetwayTypeT, 3.0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        R().JetwayType = c.type;
        R().LegOffsetFromOrigin = c.legOrigin;
        LLAData door = Door(-22.0, 0.0, 3.0);
        Solve(door);
        if (c.raised) {
            EXPECT_GT(door.GetAltitude(), 3.0 / kFt + 0.1);
        } else {
            EXPECT_EQ(3.0 / kFt, door.GetAltitude());
        }
    }
}

TEST_F(IKSolverTest, RotationIsSplitWhenTheBridgeEndsNearlyInLine)
{
    const struct {
        double heading;
        bool split;
    } cases[] = {{90, false}, {20, true},  {29.5, true}, {30.7, false}, {330, false},
                 {350, true}, {-725, true}, {210, false}, {0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.heading);
        LLAData door = Door(-22.0, 0.0, 5.0);
        Solve(door, c.heading);
        EXPECT_EQ(c.split, R().SplitRotation);
    }
}

// One reason at a time: the door or the jetway changed just enough to fail one test.
TEST_F(IKSolverTest, EachReasonSetsItsBit)
{
    struct Case {
        const char* what;
        std::function<void(JetwayData&)> change;
        LLAData door;
        double heading;
        uint32_t mask;
    };
    auto none = [](JetwayData&) {};
    auto legs = [](double first, double second) {
        return [=](JetwayData& r) { r.LegLengthRange = {first, second}; };
    };
    const Case cases[] = {
        {"too close", none, Door(-10, 0, 5), 90, IKFailure::DoorTooClose},
        {"too far", none, Door(-40, 0, 5), 90, IKFailure::DoorTooFar},
        {"rotation", [](JetwayData& r) { r.RootSweepRange = {-10, 10}; }, Door(-20, 5, 5), 90,
         IKFailure::RotationOutOfRange},
        {"dip", [](JetwayData& r) { r.BridgeDipRange = {-1, 1}; }, Door(-22, 0, 3), 90, IKFailure::DipOutOfRange},
        {"low during dip", legs(5.5, 8), Door(-22, 0, 7), 90, IKFailure::TooLowDuringDip},      // 5.213 < 5.5
        {"high during dip", legs(2, 4.5), Door(-22, 0, 3), 90, IKFailure::TooHighDuringDip},    // 4.832 > 4.5
        {"low at the door", legs(4.5, 8), Door(-22, 0, 3), 90, IKFailure::TooLowDuringExtension},  // 4.062
        {"high at the door", legs(2, 5.5), Door(-22, 0, 7), 90, IKFailure::TooHighDuringExtension},  // 5.984
        {"head", [](JetwayData& r) { r.HeadSweepRange = {-10, 10}; }, Door(-20, 5, 5), 90, IKFailure::HeadOutOfRange},
        {"N misaligned", ConfigureN, Door(-0.3, 6, 2), 0, IKFailure::Misaligned},
        {"N not parallel", ConfigureN, Door(0, 6, 2), 10, IKFailure::NotParallel},
        {"N too close", ConfigureN, Door(0, 1, 2), 0, IKFailure::DoorTooClose},
        {"N too far", ConfigureN, Door(0, 12, 2), 0, IKFailure::DoorTooFar},
        {"T too low", [](JetwayData& r) { ConfigureN(r); r.JetwayType = kJetwayTypeT; r.LegOffsetFromOrigin = 3.0;
                                          r.LegLengthRange = {2.5, 5}; },
         Door(0, 6, 2), 0, IKFailure::TooLowDuringDip | IKFailure::TooLowDuringExtension},
        {"T dip", [](JetwayData& r) { ConfigureN(r); r.JetwayType = kJetwayTypeT; r.LegOffsetFromOrigin = 3.0;
                                      r.BridgeDipRange = {-30, 30}; },
         Door(0, 6, 2), 0, IKFailure::DipOutOfRange},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        jetway = JetwayCore();
        ConfigureA(R());
        c.change(R());
        LLAData door = c.door;
        EXPECT_FALSE(Solve(door, c.heading));
        EXPECT_EQ(c.mask, mask);
    }
}

TEST_F(IKSolverTest, NoseLoaderAlignmentToleranceIsLopsided)
{
    // Hood 2 m wide: a door up to 1.25 m off the axis towards the jetway's heading is reached, but on the
    // other side only 0.25 m (1 m + 0.3 m - 1.05 m).
    ConfigureN(R());
    const struct {
        double north;
        bool aligned;
    } cases[] = {{1.2, true}, {1.3, false}, {0.2, true}, {-0.2, true}, {-0.3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.north);
        LLAData door = Door(c.north, 6.0, 2.0);
        Solve(door, 0.0);
        EXPECT_EQ(c.aligned ? 0u : IKFailure::Misaligned, mask);
    }
    // Parked 7 degrees off the jetway's line is straight enough, 8.5 is not.
    LLAData door = Door(0.0, 6.0, 2.0);
    EXPECT_TRUE(Solve(door, 7.0));
    EXPECT_FALSE(Solve(door, -8.5));
    EXPECT_EQ(IKFailure::NotParallel, mask);
}

TEST_F(IKSolverTest, BridgeLengthLimitsAreInclusive)
{
    LLAData door = Door(-22.0, 0.0, 5.0);
    ASSERT_TRUE(Solve(door));
    const double length = R().TargetExtension;
    R().BridgeLengthRange = {length, length};
    EXPECT_TRUE(Solve(door));
    R().BridgeLengthRange = {std::nextafter(length, 100.0), 30};
    EXPECT_FALSE(Solve(door));
    EXPECT_EQ(IKFailure::DoorTooClose, mask);
    R().BridgeLengthRange = {10, std::nextafter(length, 0.0)};
    EXPECT_FALSE(Solve(door));
    EXPECT_EQ(IKFailure::DoorTooFar, mask);
}

TEST_F(IKSolverTest, LegAtTheDoorSnapsToItsLowerLimitWithinTolerance)
{
    LLAData door = Door(-22.0, 0.0, 3.0);
    ASSERT_TRUE(Solve(door));
    const double leg = R().TargetLegLength;  // 4.062; the leg after the dip is 4.832
    R().LegLengthRange = {leg + 0.2, 8};
    door = Door(-22.0, 0.0, 3.0);
    EXPECT_TRUE(Solve(door));
    EXPECT_EQ(leg + 0.2, R().TargetLegLength);
    R().LegLengthRange = {leg + 0.3, 8};
    door = Door(-22.0, 0.0, 3.0);
    EXPECT_FALSE(Solve(door));
    EXPECT_EQ(IKFailure::TooLowDuringExtension, mask);
}

TEST_F(IKSolverTest, HeadAtItsLowerLimitPassesOnlyNearTheUpperOne)
{
    // The door straight ahead needs the head at 0: the lower limit of these sweeps, keyframe 0, which
    // counts as out of range.
    LLAData door = Door(-22.0, 0.0, 5.0);
    R().HeadSweepRange = {0, 1.5};
    EXPECT_TRUE(Solve(door));
    EXPECT_EQ(0.0, R().TargetHead);
    R().HeadSweepRange = {0, 3};
    EXPECT_FALSE(Solve(door));
    EXPECT_EQ(IKFailure::HeadOutOfRange, mask);
}

TEST_F(IKSolverTest, DockedJetwayKeepsItsLegsAndTellsNobody)
{
    simulator::Simulator sim;
    sim.ServeInProcess();
    HANDLE h = simtest::OpenClient("ik solver");
    solver.SetConnection(h);

    // The legs are not worked out for an undocking; the ones of the docking stay.
    R().Docked = true;
    R().LegLengthAfterDip = 4.25;
    R().TargetLegLength = 3.5;
    LLAData door = Door(-40.0, 0.0, 5.0);
    EXPECT_FALSE(Solve(door));
    EXPECT_EQ(IKFailure::DoorTooFar, mask);  // the bit still counts
    EXPECT_EQ(4.25, R().LegLengthAfterDip);
    EXPECT_EQ(3.5, R().TargetLegLength);

    // An N or T jetway that is docked does not report misalignment or parking, yet fails.
    jetway = JetwayCore();
    ConfigureN(R());
    R().Docked = true;
    door = Door(-0.5, 6.0, 2.0);
    EXPECT_FALSE(Solve(door, 12.0));
    EXPECT_EQ(0u, mask);
    EXPECT_THAT(sim.Texts(), IsEmpty());
    SimConnect_Close(h);
}

TEST_F(IKSolverTest, FailureTextIsShownLineByLine)
{
    simulator::Simulator sim;
    sim.ServeInProcess();
    HANDLE h = simtest::OpenClient("ik solver");
    solver.SetConnection(h);

    R().RootSweepRange = {-10, 10};
    R().HeadSweepRange = {-10, 10};
    LLAData door = Door(-40.0, 10.0, 5.0);
    EXPECT_FALSE(Solve(door));
    EXPECT_EQ(IKFailure::DoorTooFar | IKFailure::RotationOutOfRange | IKFailure::HeadOutOfRange, mask);

    const std::string first =
        "[VELK] JETWAY CONTROL SYSTEM: Unable to dock!\n Aircraft Door too far away for the Jetway!";
    const std::string second = first + "\n Aircraft Door out of Jetway Rotation Range!";
    const std::string third = second + "\n Aircraft Door out of Jetway Head Rotation Range!";
    const auto texts = sim.Texts();
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ(first, texts[0].text);
    EXPECT_EQ(second, texts[1].text);
    EXPECT_EQ(third, texts[2].text);
    for (const auto& t : texts) {
        EXPECT_EQ(static_cast<DWORD>(SIMCONNECT_TEXT_TYPE_PRINT_WHITE), t.type);
        EXPECT_DOUBLE_EQ(4.0, t.seconds);
    }

    // Asked not to show, or solvable: nothing more.
    door = Door(-40.0, 10.0, 5.0);
    EXPECT_FALSE(Solve(door, 90.0, false));
    R().RootSweepRange = {-90, 90};
    R().HeadSweepRange = {-120, 120};
    door = Door(-22.0, 0.0, 5.0);
    EXPECT_TRUE(Solve(door));
    EXPECT_EQ(3u, sim.Texts().size());
    SimConnect_Close(h);
}

TEST_F(IKSolverTest, MotionTimesOfEverySolve)
{
    const struct {
        bool fast;
        bool reachable;
        double head;
        double hood;
    } cases[] = {{false, true, 10.0, 3.0}, {true, true, 5.0, 1.0}, {false, false, 10.0, 3.0}, {true, false, 5.0, 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "fast " << c.fast << " reachable " << c.reachable);
        jetway = JetwayCore();
        ConfigureA(R());
        solver.SetFastJetways(c.fast);
        EXPECT_EQ(c.fast, solver.IsFastJetways());
        LLAData door = Door(c.reachable ? -22.0 : -60.0, 0.0, 5.0);
        EXPECT_EQ(c.reachable, Solve(door));
        EXPECT_EQ(15.0, R().DipTime);
        EXPECT_EQ(c.head, R().HeadRotationTime);
        EXPECT_EQ(c.hood, R().HoodTime);
        EXPECT_EQ(2.0, R().RootRotationTime);  // the jetway's own
    }
}

TEST_F(IKSolverTest, MissingOrUnusableInputsChangeNothing)
{
    struct Case {
        const char* what;
        bool noPlacement;
        bool noJetway;
        std::function<void(PlacementData&, JetwayData&, LLAData&, double&)> spoil;
        uint32_t mask;
        const char* line;
    };
    auto nothing = [](PlacementData&, JetwayData&, LLAData&, double&) {};
    const char* badPlacement =
        "DEBUG  [JETWAY::IK SOLVER] Invalid Jetway Placement Data! Not able to solve IK problem.";
    const char* badJetway = "DEBUG  [JETWAY::IK SOLVER] Invalid Jetway Data! Not able to solve IK problem.";
    const char* badDoor =
        "DEBUG  [JETWAY::IK SOLVER] Invalid Aircraft Door Position or Heading! Not able to solve IK problem.";
    const Case cases[] = {
        {"no placement", true, false, nothing, IKFailure::NoPlacement, badPlacement},
        {"no jetway", false, true, nothing, IKFailure::NoJetway, badJetway},
        {"neither", true, true, nothing, IKFailure::NoPlacement, badPlacement},
        {"placement latitude NaN", false, false,
         [](PlacementData& p, JetwayData&, LLAData&, double&) { p.SetLatitude(kNaN); }, IKFailure::NoPlacement,
         badPlacement},
        {"placement beyond the pole", false, false,
         [](PlacementData& p, JetwayData&, LLAData&, double&) { p.SetLatitude(95.0); }, IKFailure::NoPlacement,
         badPlacement},
        {"placement heading infinite", false, false,
         [](PlacementData& p, JetwayData&, LLAData&, double&) { p.SetHeading(kInf); }, IKFailure::NoPlacement,
         badPlacement},
        {"door longitude infinite", false, false,
         [](PlacementData&, JetwayData&, LLAData& d, double&) { d.SetLongitude(kInf); }, IKFailure::NoPlacement,
         badDoor},
        {"door altitude NaN", false, false,
         [](PlacementData&, JetwayData&, LLAData& d, double&) { d.SetAltitude(kNaN); }, IKFailure::NoPlacement,
         badDoor},
        {"aircraft heading NaN", false, false,
         [](PlacementData&, JetwayData&, LLAData&, double& h) { h = kNaN; }, IKFailure::NoPlacement, badDoor},
        {"bridge length NaN", false, false,
         [](PlacementData&, JetwayData& r, LLAData&, double&) { r.BridgeLengthRange.second = kNaN; },
         IKFailure::NoJetway, badJetway},
        {"parked extension infinite", false, false,
         [](PlacementData&, JetwayData& r, LLAData&, double&) { r.CurrentPose.extension = -kInf; },
         IKFailure::NoJetway, badJetway},
        {"type 0", false, false, [](PlacementData&, JetwayData& r, LLAData&, double&) { r.JetwayType = 0; },
         IKFailure::NoJetway, "DEBUG  [JETWAY::IK SOLVER] Invalid Jetway Type (0)! Not able to solve IK problem."},
        {"type 5", false, false, [](PlacementData&, JetwayData& r, LLAData&, double&) { r.JetwayType = 5; },
         IKFailure::NoJetway, "DEBUG  [JETWAY::IK SOLVER] Invalid Jetway Type (5)! Not able to solve IK problem."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        jetway = JetwayCore();
        ConfigureA(R());
        PlacementData p = Root();
        LLAData door = Door(-22.0, 0.0, 3.0);
        double heading = 90.0;
        c.spoil(p, R(), door, heading);
        const LLAData before = door;
        log.Clear();
        uint32_t m = 0;
        EXPECT_FALSE(
            solver.Solve(c.noPlacement ? nullptr : &p, c.noJetway ? nullptr : &jetway, heading, door, true, m));
        EXPECT_EQ(c.mask, m);
        EXPECT_THAT(log.Lines(), ElementsAre(c.line));
        EXPECT_EQ(2.0, R().DipTime);  // the solve never started
        EXPECT_EQ(0.0, R().TargetExtension);
        EXPECT_EQ(before.GetLatitude(), door.GetLatitude());
        if (!std::isnan(before.GetAltitude())) {
            EXPECT_EQ(before.GetAltitude(), door.GetAltitude());
        }
    }
}

TEST_F(IKSolverTest, DegenerateGeometryGivesDefinedNumbers)
{
    struct Case {
        const char* what;
        std::function<void(PlacementData&, JetwayData&, LLAData&, double&)> setup;
    };
    const Case cases[] = {
        {"door on the root", [](PlacementData&, JetwayData&, LLAData& d, double&) { d = LLAData(0, 0, 0); }},
        {"jetway of nothing but zeros, door on the root",
         [](PlacementData&, JetwayData& r, LLAData& d, double&) {
             r = JetwayData();
             r.JetwayType = kJetwayTypeA;
             r.HoodWidth = r.HoodMovableHeight = 0.0;
             d = LLAData(0, 0, 0);
         }},
        {"no keyframes", [](PlacementData&, JetwayData& r, LLAData&, double&) { r.KeyframeCount = 0; }},
        {"head sweep of no width", [](PlacementData&, JetwayData& r, LLAData&, double&) { r.HeadSweepRange = {5, 5}; }},
        {"mouth cancelling the reach", [](PlacementData&, JetwayData& r, LLAData&, double&) { r.MouthOffset = -20.0; }},
        {"door over the pole", [](PlacementData&, JetwayData&, LLAData& d, double&) { d.SetLatitude(90.0); }},
        {"jetway on the pole, door beside it",
         [](PlacementData& p, JetwayData&, LLAData& d, double&) {
             p.SetLatitude(90.0);
             d.SetLatitude(90.0);
             d.SetLongitude(120.0);
         }},
        {"headings of any size",
         [](PlacementData& p, JetwayData&, LLAData&, double& h) {
             p.SetHeading(-1e300);
             h = 1e300;
         }},
        {"N jetway with a door on its root",
         [](PlacementData&, JetwayData& r, LLAData& d, double&) {
             ConfigureN(r);
             d = LLAData(0, 0, 0);
         }},
        {"T jetway with leg origin on the bridge root",
         [](PlacementData&, JetwayData& r, LLAData&, double&) {
             ConfigureN(r);
             r.JetwayType = kJetwayTypeT;
             r.LegOffsetFromOrigin = 0.0;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        jetway = JetwayCore();
        ConfigureA(R());
        PlacementData p = Root();
        LLAData door = Door(-22.0, 0.0, 3.0);
        double heading = 90.0;
        c.setup(p, R(), door, heading);
        uint32_t m = 0;
        solver.Solve(&p, &jetway, heading, door, true, m);
        EXPECT_EQ(0u, m & ~IKFailure::All);
        for (double v : Written(R())) EXPECT_TRUE(std::isfinite(v));
        EXPECT_TRUE(std::isfinite(door.GetAltitude()));
    }
}

TEST_F(IKSolverTest, NumbersTooLargeForTheGeometryLeaveTheRecordAsItWas)
{
    R().TargetExtension = 7.0;
    R().TargetLegLength = 3.0;
    LLAData door = Door(-22.0, 0.0, 0.0);
    door.SetAltitude(1e300);
    EXPECT_FALSE(Solve(door));
    EXPECT_EQ(IKFailure::NoJetway, mask);
    EXPECT_EQ(1e300, door.GetAltitude());
    EXPECT_EQ(7.0, R().TargetExtension);
    EXPECT_EQ(3.0, R().TargetLegLength);
    EXPECT_EQ(2.0, R().DipTime);
    for (double v : Written(R())) EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(1u, log.Priority("ERROR").size());
}

TEST(IKSolverFailureText, ReasonsInReadingOrder)
{
    const struct {
        uint32_t mask;
        std::string text;
    } cases[] = {
        {0, ""},
        {3, "Aircraft Door too close for the Jetway // Aircraft Door too far away for the Jetway // "},
        {IKFailure::DoorTooClose | IKFailure::NotParallel,
         "Aircraft not straight on parking line // Aircraft Door too close for the Jetway // "},
        {IKFailure::All,
         "Aircraft not straight on parking line // Aircraft Door and Jetway misaligned // "
         "Aircraft Door out of Jetway Elevation Range // Aircraft Door too high for the Jetway (during Dip) // "
         "Aircraft Door too high for the Jetway (during Extension) // "
         "Aircraft Door too low for the Jetway (during Dip) // "
         "Aircraft Door too low for the Jetway (during Extension) // "
         "Aircraft Door out of Jetway Head Rotation Range // Aircraft Door out of Jetway Rotation Range // "
         "Aircraft Door too close for the Jetway // Aircraft Door too far away for the Jetway //  Invalid Input "
         "Data Placement //  Invalid Input Data Jetway // "},
        {0xFFFFE000u, ""},  // no bits beyond the thirteen
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        std::string text = "kept:";
        IKSolver::FailureText(c.mask, text);
        EXPECT_EQ("kept:" + c.text, text);
    }
}

}  // namespace
