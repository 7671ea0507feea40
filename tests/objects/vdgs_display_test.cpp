// The docking guidance display: state setters and the display word, counters, waits, the stop table,
// distance bits, lateral arrows, speed warning and keyframes.
#include "objects/VDGS.h"
#include "tests/support/CaseNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

uint64_t Bits(const VDGS& vdgs, unsigned lo, unsigned hi) { return vdgs.GetDisplayWord().GetBits(lo, hi); }

// The record's third double always mirrors the word.
void ExpectRecordMirrorsWord(const VDGS& vdgs)
{
    EXPECT_EQ(vdgs.GetDisplayRecord().displayWord, vdgs.GetDisplayWord().ToDouble());
}

TEST(VDGSDisplayTest, NewDisplayIsIdle)
{
    const VDGS vdgs;
    EXPECT_EQ(vdgs.GetState(), VDGSStandby);
    EXPECT_EQ(vdgs.GetDisplayWord().ToUint64(), 0u);
    EXPECT_TRUE(vdgs.IsStopUnknown());
    EXPECT_FALSE(vdgs.IsActivationRequested());
    EXPECT_EQ(vdgs.GetApproachRange(), 100.0);
    EXPECT_EQ(vdgs.GetDisplayType(), 0);
    const VDGSDisplayRecord record = vdgs.GetDisplayRecord();
    EXPECT_EQ(record.displayDistance, -1.0);
    EXPECT_EQ(record.displayLateral, 0.0);
    EXPECT_EQ(record.displayWord, 0.0);
    EXPECT_EQ(record.distKF, 0.0);
    EXPECT_EQ(record.lateralKF, 0.0);
    const auto doubles = record.ToArray();
    EXPECT_EQ(doubles[0], -1.0);
}

struct SetterCase {
    const char* name;
    void (VDGS::*setter)();
    int32_t state;
    uint64_t shown;
};

class VDGSSetterTest : public ::testing::TestWithParam<SetterCase> {};

TEST_P(VDGSSetterTest, SetsStateAndShownState)
{
    const SetterCase& c = GetParam();
    VDGS vdgs;
    vdgs.SetStateActivated();  // bits 0..5 on, to see which setters touch them
    (vdgs.*c.setter)();
    EXPECT_EQ(vdgs.GetState(), c.state);
    EXPECT_EQ(Bits(vdgs, 16, 19), c.shown);
    EXPECT_EQ(Bits(vdgs, 0, 5), c.state == VDGSEnding ? 0u : 0x3Fu);
    ExpectRecordMirrorsWord(vdgs);
}

INSTANTIATE_TEST_SUITE_P(
    States, VDGSSetterTest,
    ::testing::Values(SetterCase{"Standby", &VDGS::SetStateStandby, 0, 0},
                      SetterCase{"Activated", &VDGS::SetStateActivated, 1, 1},
                      SetterCase{"TypeUnknown", &VDGS::SetStateTypeUnknown, 2, 2},
                      SetterCase{"Approach", &VDGS::SetStateApproach, 3, 3},
                      SetterCase{"Guidance", &VDGS::SetStateGuidance, 4, 4},
                      SetterCase{"Stop", &VDGS::SetStateStop, 5, 5},
                      SetterCase{"StopCheckShowsStop", &VDGS::SetStateStopCheck, 6, 5},
                      SetterCase{"StopOk", &VDGS::SetStateStopOk, 7, 7},
                      SetterCase{"StopTooFar", &VDGS::SetStateStopTooFar, 8, 8},
                      SetterCase{"Error", &VDGS::SetStateError, 9, 9},
                      SetterCase{"Ending", &VDGS::SetStateEnding, 10, 10}),
    testsupport::CaseName());

TEST(VDGSDisplayTest, ActivationAndEndingEffects)
{
    VDGS vdgs;
    vdgs.RequestActivation();
    EXPECT_TRUE(vdgs.IsActivationRequested());
    vdgs.SetStateActivated();
    EXPECT_FALSE(vdgs.IsActivationRequested());

    vdgs.AddStop(14, false, 5.0);
    EXPECT_FALSE(vdgs.SelectStopForType(14));
    for (int i = 0; i < 3; ++i) {
        vdgs.AdvanceFastCounter();
        vdgs.AdvanceSlowCounter();
    }
    vdgs.WaitSeconds(1);
    vdgs.UpdateGuidance(47.0, 8.0, 46.9999, 8.0, 0.0);
    ASSERT_NE(vdgs.GetDisplayRecord().displayDistance, -1.0);

    vdgs.SetStateEnding();
    EXPECT_TRUE(vdgs.IsStopUnknown());
    EXPECT_EQ(vdgs.GetFastCounter(), 0);
    EXPECT_EQ(vdgs.GetSlowCounter(), 0);
    EXPECT_FALSE(vdgs.IsWaitRunning());
    EXPECT_EQ(Bits(vdgs, 8, 10), 0u);
    EXPECT_EQ(Bits(vdgs, 11, 13), 3u);  // the slow counter's bits are left alone
    EXPECT_EQ(vdgs.GetDisplayRecord().displayDistance, -1.0);
    EXPECT_EQ(vdgs.GetDisplayRecord().displayLateral, 0.0);
}

TEST(VDGSDisplayTest, CountersWrapAndShowInTheirBits)
{
    VDGS vdgs;
    for (const int16_t expected : {1, 2, 3, 4, 5, 0, 1}) {
        const VDGSDisplayRecord record = vdgs.AdvanceFastCounter();
        EXPECT_EQ(vdgs.GetFastCounter(), expected);
        EXPECT_EQ(Bits(vdgs, 8, 10), static_cast<uint64_t>(expected));
        EXPECT_EQ(record.displayWord, vdgs.GetDisplayWord().ToDouble());
    }
    for (const int16_t expected : {1, 2, 3, 4, 5, 6, 7, 0}) {
        vdgs.AdvanceSlowCounter();
        EXPECT_EQ(vdgs.GetSlowCounter(), expected);
        EXPECT_EQ(Bits(vdgs, 11, 13), static_cast<uint64_t>(expected));
    }
    for (const int32_t expected : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}) {
        vdgs.AdvanceTypeCounter();
        EXPECT_EQ(vdgs.GetTypeCounter(), expected);
        EXPECT_EQ(Bits(vdgs, 20, 23), static_cast<uint64_t>(expected));
    }
    vdgs.AdvanceTypeCounter();
    vdgs.SetStateApproach();
    EXPECT_EQ(vdgs.GetTypeCounter(), 0);
    EXPECT_EQ(Bits(vdgs, 20, 23), 0u);
    ExpectRecordMirrorsWord(vdgs);
}

TEST(VDGSDisplayTest, WaitEndsSixTicksPerSecondAfterItsFirstCall)
{
    VDGS vdgs;
    for (int call = 1; call <= 18; ++call) EXPECT_FALSE(vdgs.WaitSeconds(3)) << call;
    EXPECT_TRUE(vdgs.WaitSeconds(3));
    EXPECT_FALSE(vdgs.IsWaitRunning());
    // The 20th call starts the next wait.
    EXPECT_FALSE(vdgs.WaitSeconds(3));
    EXPECT_TRUE(vdgs.IsWaitRunning());

    // Standby stops a running wait; a change between other states does not.
    vdgs.SetStateError();
    for (int call = 2; call <= 18; ++call) EXPECT_FALSE(vdgs.WaitSeconds(3));
    EXPECT_TRUE(vdgs.WaitSeconds(3));
    vdgs.WaitSeconds(3);
    vdgs.SetStateStandby();
    EXPECT_FALSE(vdgs.IsWaitRunning());

    // Nonsense lengths end at once instead of never.
    EXPECT_TRUE(vdgs.WaitSeconds(0));
    EXPECT_TRUE(vdgs.WaitSeconds(-4));
}

TEST(VDGSDisplayTest, StopTable)
{
    VDGS vdgs;
    vdgs.AddStop(0, false, 3.0);
    vdgs.AddStop(14, false, kNaN);
    EXPECT_TRUE(vdgs.GetStopTable().empty());

    vdgs.AddStop(14, true, 4.5);   // absent: inserted even when keeping
    vdgs.AddStop(14, true, 9.0);   // kept
    EXPECT_EQ(vdgs.GetStopTable().at(14), 4.5);
    vdgs.AddStop(14, false, 6.0);  // replaced
    EXPECT_EQ(vdgs.GetStopTable().at(14), 6.0);

    EXPECT_FALSE(vdgs.SelectStopForType(14));
    EXPECT_EQ(vdgs.GetStopDistance(), 6.0);
    EXPECT_EQ(vdgs.GetTypeCode(), 14);
    EXPECT_FALSE(vdgs.IsStopUnknown());

    // An absent code: type code 0, stop unknown, stop distance as it was.
    EXPECT_TRUE(vdgs.SelectStopForType(4));
    EXPECT_EQ(vdgs.GetTypeCode(), 0);
    EXPECT_TRUE(vdgs.IsStopUnknown());
    EXPECT_EQ(vdgs.GetStopDistance(), 6.0);
    EXPECT_TRUE(vdgs.SelectStopForType(0));

    // Copies take the table.
    const VDGS copy = vdgs;
    EXPECT_EQ(copy.GetStopTable().at(14), 6.0);
}

// Places the aim point straight behind a display heading north, so that the distance to stop is
// exactly what the test wants (no stop distance, no lateral offset).
void SetDistance(VDGS& vdgs, double metres)
{
    const LLAData point = VDGS::StopPoint(47.0, 8.0, 0.0, metres, 0.0);
    vdgs.UpdateGuidance(47.0, 8.0, point.GetLatitude(), point.GetLongitude(), 0.0);
}

struct DistanceBitsCase {
    int32_t displayType;
    double distance;
    bool warning;
    uint64_t bits;  // 99: unchanged from the 2 written before
};

TEST(VDGSDisplayTest, DistanceBitsByDisplayType)
{
    const DistanceBitsCase cases[] = {
        {0, 12.5, false, 0}, {0, 12.5, true, 1}, {0, 11.5, true, 2}, {0, 11.5, false, 3}, {0, -3.0, false, 3},
        {1, 15.5, true, 0},  {1, 14.5, false, 3}, {1, 14.5, true, 3},
        {3, 30.5, true, 0},  {3, 29.5, true, 1},  {3, 29.5, false, 3},
        {2, 50.0, false, 99}, {7, 50.0, true, 99},
    };
    for (const DistanceBitsCase& c : cases) {
        VDGS vdgs;
        vdgs.AddStop(47, false, 0.0);
        vdgs.SelectStopForType(47);
        // First a known pattern in the two bits: 2 (type 0, near, warning).
        SetDistance(vdgs, 11.0);
        vdgs.UpdateSpeedWarning(100.0);
        vdgs.UpdateDistanceBits();
        ASSERT_EQ(Bits(vdgs, 6, 7), 2u);

        vdgs.SetDisplayType(c.displayType);
        SetDistance(vdgs, c.distance);
        // A speed that warns at any distance ahead of the stop, or none.
        vdgs.UpdateSpeedWarning(c.warning ? 100.0 : 0.0);
        vdgs.UpdateDistanceBits();
        const uint64_t expected = c.bits == 99 ? 2u : c.bits;
        EXPECT_EQ(Bits(vdgs, 6, 7), expected) << "type " << c.displayType << " at " << c.distance;
        EXPECT_EQ(Bits(vdgs, 8, 13), 47u);
        ExpectRecordMirrorsWord(vdgs);
    }
}

TEST(VDGSDisplayTest, LateralArrows)
{
    struct Case {
        double lateral;
        int32_t side;
        bool right, left;
    };
    for (const Case& c : {Case{0.0, 0, false, false}, Case{0.19, 0, false, false}, Case{0.25, 2, true, false},
                          Case{-0.25, 1, false, true}, Case{-5.0, 1, false, true}}) {
        VDGS vdgs;
        // A lateral offset of c.lateral metres: the aim point moved sideways from straight behind.
        const LLAData point = VDGS::StopPoint(47.0, 8.0, 0.0, 20.0, c.lateral);
        vdgs.UpdateGuidance(47.0, 8.0, point.GetLatitude(), point.GetLongitude(), 0.0);
        vdgs.UpdateLateralArrows();
        EXPECT_EQ(vdgs.GetLateralSide(), c.side) << c.lateral;
        EXPECT_EQ(vdgs.GetDisplayWord().TestBit(14), c.right) << c.lateral;
        EXPECT_EQ(vdgs.GetDisplayWord().TestBit(15), c.left) << c.lateral;
        ExpectRecordMirrorsWord(vdgs);
    }
}

TEST(VDGSDisplayTest, LateralOffsetAtTheToleranceIsKeptWithoutArrows)
{
    // With the aim point on the display the measured offset is exactly 0, so the bias alone sets it.
    for (const double lateral : {0.2, -0.2}) {
        VDGS vdgs;
        vdgs.SetLateralOffsetBias(-lateral);
        vdgs.UpdateGuidance(47.0, 8.0, 47.0, 8.0, 0.0);
        EXPECT_EQ(vdgs.GetLateralOffset(), lateral);
        vdgs.UpdateLateralArrows();
        EXPECT_EQ(vdgs.GetLateralSide(), 0);
        EXPECT_FALSE(vdgs.GetDisplayWord().TestBit(14));
        EXPECT_FALSE(vdgs.GetDisplayWord().TestBit(15));
    }
    VDGS vdgs;
    vdgs.SetLateralOffsetBias(-0.19);
    vdgs.UpdateGuidance(47.0, 8.0, 47.0, 8.0, 0.0);
    EXPECT_EQ(vdgs.GetLateralOffset(), 0.0);
}

TEST(VDGSDisplayTest, ArrowsKeepTheFastCounterPhase)
{
    VDGS vdgs;
    vdgs.AdvanceFastCounter();
    vdgs.AdvanceFastCounter();
    vdgs.SetStateTypeUnknown();  // saved phase 2
    for (int i = 0; i < 3; ++i) vdgs.AdvanceFastCounter();
    vdgs.SetLateralOffsetBias(-1.0);
    vdgs.UpdateGuidance(47.0, 8.0, 47.0, 8.0, 0.0);
    vdgs.UpdateLateralArrows();  // saved phase 5 now: the blink toggles when the counter is 5
    vdgs.BlinkBit29();
    EXPECT_TRUE(vdgs.GetDisplayWord().TestBit(29));
}

TEST(VDGSDisplayTest, SpeedWarningByDistance)
{
    struct Case {
        double distance;
        double speed;
        bool warns;
    };
    const Case cases[] = {
        {25.0, 3.5, false}, {25.0, 4.1, true},  {20.5, 4.0, false}, {15.0, 3.5, true}, {20.0, 3.5, true},
        {15.0, 3.0, false}, {5.0, 2.5, true},   {15.0, 2.5, false}, {10.0, 2.5, true}, {5.0, 2.0, false},
        {0.0, 50.0, false}, {-2.0, 50.0, false}, {5.0, kNaN, false},
    };
    for (const Case& c : cases) {
        VDGS vdgs;
        SetDistance(vdgs, c.distance);
        vdgs.UpdateSpeedWarning(c.speed);
        EXPECT_EQ(vdgs.IsSpeedWarning(), c.warns) << c.distance << " m at " << c.speed;
        EXPECT_EQ(vdgs.GetDisplayWord().TestBit(28), c.warns);
        ExpectRecordMirrorsWord(vdgs);
    }
}

TEST(VDGSDisplayTest, BlinkBitTogglesOncePerFastCycle)
{
    VDGS vdgs;
    vdgs.AdvanceFastCounter();
    vdgs.SetStateTypeUnknown();  // saved phase 1
    int toggles = 0;
    bool last = false;
    for (int tick = 0; tick < 18; ++tick) {
        vdgs.AdvanceFastCounter();
        vdgs.BlinkBit29();
        const bool now = vdgs.GetDisplayWord().TestBit(29);
        if (now != last) ++toggles;
        last = now;
    }
    EXPECT_EQ(toggles, 3);
    vdgs.ClearBit29();
    EXPECT_FALSE(vdgs.GetDisplayWord().TestBit(29));
    ExpectRecordMirrorsWord(vdgs);
}

struct KeyframeCase {
    const char* name;
    int32_t displayType;
    double distance;
    double lateral;
    double distKF;
    double lateralKF;
};

class VDGSKeyframeTest : public ::testing::TestWithParam<KeyframeCase> {};

TEST_P(VDGSKeyframeTest, KeyframesFromDistanceAndLateralOffset)
{
    const KeyframeCase& c = GetParam();
    VDGS vdgs;
    vdgs.SetDisplayType(c.displayType);
    const LLAData point = VDGS::StopPoint(47.0, 8.0, 0.0, c.distance, c.lateral);
    vdgs.UpdateGuidance(47.0, 8.0, point.GetLatitude(), point.GetLongitude(), 0.0);
    ASSERT_NEAR(vdgs.GetDistanceToStop(), c.distance, 1e-6);
    EXPECT_EQ(vdgs.GetDisplayRecord().distKF, c.distKF);
    EXPECT_EQ(vdgs.GetDisplayRecord().lateralKF, c.lateralKF);
    EXPECT_NEAR(vdgs.GetDisplayRecord().displayDistance, c.distance, 1e-6);
}

// Exactly 12 m, exactly 22.5 m and exactly -1.6 m are not reached through a measured position; the
// cases stay a little inside or outside of them.
INSTANTIATE_TEST_SUITE_P(
    Keyframes, VDGSKeyframeTest,
    ::testing::Values(KeyframeCase{"Type0Far", 0, 30.0, 0.0, 0, 12},                    // far: bar at its start, centred
                      KeyframeCase{"Type0JustBeyond12m", 0, 12.001, 0.0, 0, 12},
                      KeyframeCase{"Type0JustWithin12m", 0, 11.999, 0.0, 0, 12},        // R(-0.498) is 0
                      KeyframeCase{"Type0At6m", 0, 6.0, 0.0, 12, 12},                   // R(11.5) = 12
                      KeyframeCase{"Type0AtTheStop", 0, 0.0001, 0.0, 23, 12},           // R(23.4998)
                      KeyframeCase{"Type0PastTheStop", 0, -0.5, 0.0, 24, 12},
                      KeyframeCase{"Type0RightBy1m", 0, 20.0, 1.0, 0, 19},              // R(7.5 + 11.5) = 19
                      KeyframeCase{"Type0RightJustBeyond1m6", 0, 20.0, 1.6001, 0, 24},
                      KeyframeCase{"Type0RightJustWithin1m6", 0, 20.0, 1.5999, 0, 23},  // R(23.49925)
                      KeyframeCase{"Type0LeftBy1m", 0, 20.0, -1.0, 0, 4},               // R(-7.5 + 11.5) = 4
                      KeyframeCase{"Type0LeftJustWithin1m6", 0, 20.0, -1.5999, 0, 0},   // R(-0.499) is 0
                      KeyframeCase{"Type0LeftJustBeyond1m6", 0, 20.0, -1.6001, 0, 0},
                      KeyframeCase{"Type3JustBeyond22m5", 3, 22.5001, 0.0, 0, 9},
                      KeyframeCase{"Type3JustWithin22m5", 3, 22.4999, 0.0, 1, 9},
                      KeyframeCase{"Type3At10m", 3, 10.0, 0.0, 6, 9},                   // 22.5 19 17 15 13 11
                      KeyframeCase{"Type3Within30cm", 3, 0.2999, 0.0, 19, 9},
                      KeyframeCase{"Type3AtTheStop", 3, 0.0001, 0.0, 19, 9},
                      KeyframeCase{"Type3PastTheStop", 3, -1.0, 0.0, 19, 9},
                      KeyframeCase{"Type3RightBy30cm", 3, 10.0, 0.3, 6, 19},
                      KeyframeCase{"Type3LeftBy30cm", 3, 10.0, -0.3, 6, 0},
                      KeyframeCase{"Type3RightBy19cm", 3, 10.0, 0.19, 6, 9},
                      KeyframeCase{"Type1LeavesKeyframesAtZero", 1, 5.0, 1.0, 0, 0},
                      KeyframeCase{"Type2LeavesKeyframesAtZero", 2, 5.0, -1.0, 0, 0}),
    testsupport::CaseName());

TEST(VDGSDisplayTest, KeyframesStayInsideTheBarAtItsEdges)
{
    // Right at 12 m and at -1.6 m the rounding would give -1; the display's animation starts at 0.
    VDGS vdgs;
    for (const double d : {12.0, 11.9999999}) {
        const LLAData point = VDGS::StopPoint(47.0, 8.0, 0.0, d, -1.6);
        vdgs.UpdateGuidance(47.0, 8.0, point.GetLatitude(), point.GetLongitude(), 0.0);
        EXPECT_GE(vdgs.GetDisplayRecord().distKF, 0.0) << d;
        EXPECT_GE(vdgs.GetDisplayRecord().lateralKF, 0.0) << d;
        EXPECT_LE(vdgs.GetDisplayRecord().distKF, 24.0);
        EXPECT_FALSE(std::signbit(vdgs.GetDisplayRecord().distKF));
    }
}

TEST(VDGSDisplayTest, UnmeasurableInputChangesNothing)
{
    VDGS vdgs;
    SetDistance(vdgs, 8.0);
    const VDGSDisplayRecord before = vdgs.GetDisplayRecord();
    const double inf = std::numeric_limits<double>::infinity();
    vdgs.UpdateGuidance(kNaN, 8.0, 47.0, 8.0, 0.0);
    vdgs.UpdateGuidance(47.0, 8.0, 47.0, kNaN, 0.0);
    vdgs.UpdateGuidance(47.0, 8.0, 46.99, 8.0, inf);
    vdgs.UpdateGuidance(47.0, 8.0, 46.99, 8.0, kNaN);
    EXPECT_NEAR(vdgs.GetDistanceToStop(), 8.0, 1e-6);
    EXPECT_EQ(vdgs.GetDisplayRecord().displayDistance, before.displayDistance);
    EXPECT_EQ(vdgs.GetDisplayRecord().distKF, before.distKF);
}

TEST(VDGSDisplayTest, StopReachedAndTolerances)
{
    struct Case {
        double distance;
        bool reached;
        bool outside;
    };
    for (const Case& c : {Case{0.31, false, false}, Case{0.29, true, false}, Case{0.0, true, false},
                          Case{-1.19, true, false}, Case{-1.21, true, true}, Case{1.25, false, true}}) {
        VDGS vdgs;
        vdgs.SetStateGuidance();
        SetDistance(vdgs, c.distance);
        vdgs.CheckStopReached();
        EXPECT_EQ(vdgs.GetState(), c.reached ? VDGSStop : VDGSGuidance) << c.distance;
        EXPECT_EQ(Bits(vdgs, 16, 19), c.reached ? 5u : 4u);
        EXPECT_EQ(vdgs.IsStopOutsideTolerance(), c.outside) << c.distance;
    }
}

TEST(VDGSDisplayTest, AircraftInRange)
{
    struct Case {
        double range, factor, distance, lateral;
        bool inRange;
    };
    for (const Case& c : {Case{100, 1.0, 99.0, 0.0, true}, Case{100, 1.0, 101.0, 0.0, false},
                          Case{100, 0.24, 23.0, 0.0, true}, Case{100, 0.24, 25.0, 0.0, false},
                          Case{100, 1.0, 30.0, 39.0, true}, Case{100, 1.0, 30.0, -41.0, false},
                          Case{50, 1.0, 60.0, 0.0, false}}) {
        VDGS vdgs;
        vdgs.SetApproachRange(c.range);
        const LLAData point = VDGS::StopPoint(47.0, 8.0, 0.0, c.distance, c.lateral);
        vdgs.UpdateGuidance(47.0, 8.0, point.GetLatitude(), point.GetLongitude(), 0.0);
        EXPECT_EQ(vdgs.IsAircraftInRange(c.factor), c.inRange) << c.distance << " / " << c.lateral;
    }
}

}  // namespace
