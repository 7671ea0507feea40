// Variable-driven rotation: the wind driver's axis keywords and feeding, and the turns of the rotation
// pass written to an object of the in-process simulator: facing the user aircraft (TURN and POINT) and
// following the wind on each axis, with hostile positions and directions.
#include "objects/VariableDrivenRotationData.h"

#include "foundation/GeoMath.h"
#include "foundation/Units.h"
#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"
#include "tests/simulator/SimTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using units::kPi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kUnwritten = -1234.5;

const LLAData kObject(47.0, 8.0, 1000.0);

class RotationTurnTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.ServeInProcess();
        h = simtest::OpenClient("rotations");
        ASSERT_NE(h, nullptr);
        // The program's definitions: one double in radians each.
        for (RotationAxis axis : {RotationAxis::Heading, RotationAxis::Pitch, RotationAxis::Bank})
            ASSERT_EQ(SimConnect_AddToDataDefinition(h, RotationDataDefinition(axis), RotationVariable(axis), "Radians"),
                      S_OK);
        simulator::AiAircraft ai;
        ai.title = "Windsock";
        objectId = sim.AddAiAircraft(ai);
        ASSERT_GT(objectId, 1u);
        for (const char* variable : {"PLANE HEADING DEGREES TRUE", "PLANE PITCH DEGREES", "PLANE BANK DEGREES"})
            ASSERT_TRUE(sim.SetNumber(objectId, variable, "Radians", kUnwritten));
    }
    void TearDown() override { SimConnect_Close(h); }

    // The rotation pass for the object: the writes go to the simulator.
    RotationTurn Turn(bool wind, bool user, const LLAData& userPosition = LLAData())
    {
        const RotationTurn turn = drivers.Turn(wind, user, kObject, userPosition);
        for (size_t i = 0; i < turn.count; ++i) {
            double radians = turn.writes[i].radians;
            EXPECT_EQ(SimConnect_SetDataOnSimObject(h, RotationDataDefinition(turn.writes[i].axis), objectId, 0, 0,
                                                    sizeof(radians), &radians),
                      S_OK);
        }
        return turn;
    }

    double Written(const char* variable) const
    {
        return sim.Number(objectId, variable, "Radians").value_or(kUnwritten);
    }

    simulator::Simulator sim;
    VariableDrivenRotationData drivers;
    HANDLE h = nullptr;
    DWORD objectId = 0;
};

}  // namespace

TEST(RotationAxes, KeywordsAreExactCase)
{
    struct Case {
        const char* keyword;
        int32_t number;
    } cases[] = {{"PITCH", 1}, {"BANK", 2},  {"HEADING", 3}, {"heading", 0},
                 {"Pitch", 0}, {" BANK", 0}, {"", 0},        {"HEADING;PITCH", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyword);
        EXPECT_EQ(VDR_WindDirData::AxisFromKeyword(c.keyword), c.number);
        VDR_WindDirData driver;
        driver.AddAxis(c.keyword);
        ASSERT_EQ(driver.GetOptionCount(), 1u);
        EXPECT_EQ(driver.GetOption(0), c.number);
        EXPECT_EQ(static_cast<int32_t>(driver.GetAxis()), c.number);
    }
}

TEST(RotationAxes, FirstAxisIsTheOneThatTurns)
{
    VDR_WindDirData driver;
    EXPECT_EQ(driver.GetAxis(), RotationAxis::None);  // no axis given
    driver.AddAxis("BANK");
    driver.AddAxis("HEADING");
    EXPECT_EQ(driver.GetAxis(), RotationAxis::Bank);
    EXPECT_EQ(driver.GetOptionCount(), 2u);

    VDR_WindDirData odd;
    odd.AddOption(7);  // a number that names no axis
    EXPECT_EQ(odd.GetAxis(), RotationAxis::None);
}

TEST(RotationAxes, DefinitionsAndVariables)
{
    EXPECT_EQ(RotationDataDefinition(RotationAxis::Heading), 11u);
    EXPECT_EQ(RotationDataDefinition(RotationAxis::Pitch), 12u);
    EXPECT_EQ(RotationDataDefinition(RotationAxis::Bank), 13u);
    EXPECT_EQ(RotationDataDefinition(RotationAxis::None), 0u);
    EXPECT_STREQ(RotationVariable(RotationAxis::Heading), "PLANE HEADING DEGREES TRUE");
    EXPECT_STREQ(RotationVariable(RotationAxis::Pitch), "PLANE PITCH DEGREES");
    EXPECT_STREQ(RotationVariable(RotationAxis::Bank), "PLANE BANK DEGREES");
    EXPECT_STREQ(RotationVariable(RotationAxis::None), "");
}

TEST(WindDriver, FreshDriver)
{
    VariableDrivenRotationData drivers;
    const VDR_WindDirData& wind = *drivers.GetWindDirection();
    EXPECT_FALSE(wind.IsAnimated());
    EXPECT_FALSE(wind.IsChanged());
    EXPECT_EQ(wind.GetTargetAngle(), 0.0);
    EXPECT_EQ(wind.GetOptionCount(), 0u);
    EXPECT_EQ(drivers.GetUserAircraftPosition()->GetMode(), VDR_UserAircraftPositionData::kTurn);
    EXPECT_EQ(drivers.GetTimeHrs()->GetOptionCount(), 0u);
}

TEST(WindDriver, ChangedUntilTheDirectionIsTurnedTo)
{
    // A feed is changed when it differs from the angle last turned to; the rotation pass (NoteTurned)
    // uses the change up.
    constexpr double kTurn = -999.0;  // a step that is the rotation pass, not a feed
    struct Step {
        double direction;
        bool changed;
        double target;
    } steps[] = {
        {0.0, true, 0.0},  // a first wind from north: nothing was turned to yet
        {kTurn, false, 0.0},
        {0.0, false, 0.0},  // what the object already shows
        {270.0, true, 270.0}, {270.0, true, 270.0},  // fed again before the turn: still to turn
        {kTurn, false, 270.0},
        {270.0, false, 270.0}, {271.0, true, 271.0},
        {kNaN, true, 271.0},  // not a direction: ignored, the pending turn stays
        {kInf, true, 271.0},
        {270.0, false, 270.0},  // back to the angle turned to before the pass came
        {-10.0, true, -10.0},
    };
    VDR_WindDirData wind;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.direction);
        if (s.direction == kTurn)
            wind.NoteTurned();
        else
            wind.Feed(s.direction);
        EXPECT_EQ(wind.IsChanged(), s.changed);
        EXPECT_EQ(wind.GetTargetAngle(), s.target);
    }
}

TEST(WindDriver, ProbeFeedKeepsVelocityTurnAndApplied)
{
    VDR_WindDirData wind;
    wind.FeedFromProbe(120.0, 14.0, true, 120.0);
    EXPECT_TRUE(wind.IsChanged());
    EXPECT_EQ(wind.GetTargetAngle(), 120.0);
    EXPECT_EQ(wind.GetFactor(), 14.0);
    EXPECT_TRUE(wind.IsTurningPositive());
    EXPECT_FALSE(wind.IsApplied());

    wind.FeedFromProbe(120.0, 9.0, false, 0.0);
    EXPECT_TRUE(wind.IsChanged());  // not turned to yet
    EXPECT_EQ(wind.GetFactor(), 9.0);
    EXPECT_FALSE(wind.IsTurningPositive());
    EXPECT_TRUE(wind.IsApplied());

    wind.SetCurrentAngle(95.0);
    EXPECT_EQ(wind.GetCurrentAngle(), 95.0);
    wind.SetAnimated(true);
    EXPECT_TRUE(wind.IsAnimated());
}

TEST(WindDriver, CopiesCarryEveryDriver)
{
    VariableDrivenRotationData drivers;
    drivers.GetWindDirection()->AddAxis("PITCH");
    drivers.GetWindDirection()->Feed(45.0);
    drivers.GetTimeHrs()->AddOption(6);
    drivers.GetUserAircraftPosition()->SetMode(VDR_UserAircraftPositionData::kPoint);
    VariableDrivenRotationData copy(drivers);
    EXPECT_EQ(copy.GetWindDirection()->GetAxis(), RotationAxis::Pitch);
    EXPECT_EQ(copy.GetWindDirection()->GetTargetAngle(), 45.0);
    EXPECT_TRUE(copy.GetWindDirection()->IsChanged());
    EXPECT_EQ(copy.GetTimeHrs()->GetOption(0), 6);
    EXPECT_TRUE(copy.GetUserAircraftPosition()->IsPointMode());
}

TEST_F(RotationTurnTest, FacingTheUserTurnsTheHeadingHalfATurnFromTheBearing)
{
    struct Case {
        const char* label;
        double latitude, longitude;
        double heading;  // radians written
    } cases[] = {
        {"due north", 47.01, 8.0, kPi},
        {"due east", 47.0, 8.01, 1.5 * kPi},
        {"due west", 47.0, 7.99, 0.5 * kPi},
        {"due south", 46.99, 8.0, 2.0 * kPi},  // no wrap to 0
        {"on the object", 47.0, 8.0, kPi},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const RotationTurn turn = Turn(false, true, LLAData(c.latitude, c.longitude, 5000.0));
        ASSERT_EQ(turn.count, 1u);  // TURN mode: heading only
        EXPECT_EQ(turn.writes[0].axis, RotationAxis::Heading);
        EXPECT_NEAR(turn.writes[0].radians, c.heading, 1e-9);
        EXPECT_TRUE(turn.writes[0].storeInPlacement);
        EXPECT_NEAR(turn.writes[0].degrees, c.heading * 180.0 / kPi, 1e-7);
        EXPECT_NEAR(Written("PLANE HEADING DEGREES TRUE"), c.heading, 1e-9);
        EXPECT_EQ(Written("PLANE PITCH DEGREES"), kUnwritten);
    }
}

TEST_F(RotationTurnTest, PointModeAlsoPitchesToTheUser)
{
    drivers.GetUserAircraftPosition()->SetMode(VDR_UserAircraftPositionData::kPoint);
    struct Case {
        const char* label;
        LLAData user;
    } cases[] = {
        {"above, north", LLAData(47.01, 8.0, 2000.0)},
        {"below, east", LLAData(47.0, 8.02, 0.0)},
        {"level", LLAData(46.99, 8.0, 1000.0)},
        {"straight above", LLAData(47.0, 8.0, 3000.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const double distance = GeoMath::HaversineDistance(47.0, 8.0, c.user.GetLatitude(), c.user.GetLongitude());
        const double pitch = std::atan2((c.user.GetAltitude() - 1000.0) * 0.3048, distance);
        const RotationTurn turn = Turn(false, true, c.user);
        ASSERT_EQ(turn.count, 2u);
        EXPECT_EQ(turn.writes[0].axis, RotationAxis::Heading);
        EXPECT_EQ(turn.writes[1].axis, RotationAxis::Pitch);
        EXPECT_NEAR(turn.writes[1].radians, pitch, 1e-12);
        EXPECT_FALSE(turn.writes[1].storeInPlacement);  // the placement keeps its pitch
        EXPECT_NEAR(Written("PLANE PITCH DEGREES"), pitch, 1e-12);
    }
    EXPECT_NEAR(Written("PLANE PITCH DEGREES"), kPi / 2, 1e-12);  // straight above
}

TEST_F(RotationTurnTest, WindTurnsItsAxisOncePerChange)
{
    struct Case {
        const char* axis;
        RotationAxis written;
        const char* variable;
    } cases[] = {
        {"HEADING", RotationAxis::Heading, "PLANE HEADING DEGREES TRUE"},
        {"PITCH", RotationAxis::Pitch, "PLANE PITCH DEGREES"},
        {"BANK", RotationAxis::Bank, "PLANE BANK DEGREES"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.axis);
        drivers = VariableDrivenRotationData();
        VDR_WindDirData& wind = *drivers.GetWindDirection();
        wind.AddAxis(c.axis);
        wind.Feed(270.0);
        RotationTurn turn = Turn(true, false);
        ASSERT_EQ(turn.count, 1u);
        EXPECT_EQ(turn.writes[0].axis, c.written);
        EXPECT_DOUBLE_EQ(turn.writes[0].radians, 1.5 * kPi);
        EXPECT_TRUE(turn.writes[0].storeInPlacement);
        EXPECT_EQ(turn.writes[0].degrees, 270.0);
        EXPECT_DOUBLE_EQ(Written(c.variable), 1.5 * kPi);
        EXPECT_FALSE(wind.IsChanged());

        // Nothing new: nothing written.
        EXPECT_EQ(Turn(true, false).count, 0u);
        wind.Feed(270.0);
        EXPECT_EQ(Turn(true, false).count, 0u);
        wind.Feed(90.0);
        turn = Turn(true, false);
        ASSERT_EQ(turn.count, 1u);
        EXPECT_DOUBLE_EQ(Written(c.variable), 0.5 * kPi);
    }
}

TEST_F(RotationTurnTest, WindFedBeforeThePassIsTurnedTo)
{
    struct Case {
        const char* label;
        std::vector<double> feeds;  // before the first pass
        double written;             // radians on the heading
    } cases[] = {
        {"first wind from north", {0.0}, 0.0},
        {"same direction twice", {270.0, 270.0}, 1.5 * kPi},
        {"north twice", {0.0, 0.0}, 0.0},
        {"then not a number", {90.0, kNaN}, 0.5 * kPi},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(sim.SetNumber(objectId, "PLANE HEADING DEGREES TRUE", "Radians", kUnwritten));
        drivers = VariableDrivenRotationData();
        VDR_WindDirData& wind = *drivers.GetWindDirection();
        wind.AddAxis("HEADING");
        for (double direction : c.feeds) wind.Feed(direction);
        ASSERT_EQ(Turn(true, false).count, 1u);
        EXPECT_DOUBLE_EQ(Written("PLANE HEADING DEGREES TRUE"), c.written);
        EXPECT_EQ(Turn(true, false).count, 0u);  // once only
    }
}

TEST_F(RotationTurnTest, LowerCaseAxisNeverTurns)
{
    VDR_WindDirData& wind = *drivers.GetWindDirection();
    wind.AddAxis("heading");
    wind.Feed(200.0);
    EXPECT_EQ(Turn(true, false).count, 0u);
    EXPECT_FALSE(wind.IsChanged());  // the change is used up all the same
    EXPECT_EQ(Written("PLANE HEADING DEGREES TRUE"), kUnwritten);
}

TEST_F(RotationTurnTest, ObjectWithBothDriversFacesTheUserOnly)
{
    VDR_WindDirData& wind = *drivers.GetWindDirection();
    wind.AddAxis("BANK");
    wind.Feed(200.0);
    const RotationTurn turn = Turn(true, true, LLAData(47.01, 8.0, 1000.0));
    ASSERT_EQ(turn.count, 1u);
    EXPECT_EQ(turn.writes[0].axis, RotationAxis::Heading);
    EXPECT_TRUE(wind.IsChanged());
    EXPECT_EQ(Written("PLANE BANK DEGREES"), kUnwritten);

    EXPECT_EQ(Turn(false, false, LLAData(47.01, 8.0, 1000.0)).count, 0u);  // no driver feature
}

TEST_F(RotationTurnTest, PositionsOffTheGlobeTurnNothing)
{
    drivers.GetUserAircraftPosition()->SetMode(VDR_UserAircraftPositionData::kPoint);
    struct Case {
        const char* label;
        LLAData user;
        size_t writes;
    } cases[] = {
        {"latitude not a number", LLAData(kNaN, 8.0, 1000.0), 0},
        {"longitude endless", LLAData(47.0, kInf, 1000.0), 0},
        {"latitude beyond the pole", LLAData(95.0, 8.0, 1000.0), 0},
        {"latitude beyond the south pole", LLAData(-90.5, 8.0, 1000.0), 0},
        {"altitude not a number", LLAData(47.01, 8.0, kNaN), 1},  // the heading still turns
        {"altitude endless", LLAData(47.01, 8.0, -kInf), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const RotationTurn turn = Turn(false, true, c.user);
        EXPECT_EQ(turn.count, c.writes);
        for (size_t i = 0; i < turn.count; ++i) EXPECT_TRUE(std::isfinite(turn.writes[i].radians));
    }
    EXPECT_EQ(Written("PLANE PITCH DEGREES"), kUnwritten);
}
