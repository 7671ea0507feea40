// The timer counter on the manual clock against the in-process simulator: what it writes tick by tick,
// pause, start and stop, refused definitions, copies, and destruction while it runs.
#include "objects/TimerData.h"

#include "link/SimStatus.h"
#include "platform/clock.h"
#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"
#include "tests/simulator/SimTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DWORD kDefinition = 16;  // VELOCITY BODY Z, one double
constexpr double kUnwritten = -1234.5;

class TimerDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.ServeInProcess();
        h = simtest::OpenClient("timer counter");
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(SimConnect_AddToDataDefinition(h, kDefinition, "VELOCITY BODY Z", "Number"), S_OK);
        simulator::AiAircraft ai;
        ai.title = "Animated Apron Sign";
        objectId = sim.AddAiAircraft(ai);
        ASSERT_GT(objectId, 1u);
        MarkUnwritten(objectId);
        MarkUnwritten(SIMCONNECT_OBJECT_ID_USER);
        sim.ClearTimeline();
    }
    void TearDown() override { SimConnect_Close(h); }

    void MarkUnwritten(DWORD id) { ASSERT_TRUE(sim.SetNumber(id, "VELOCITY BODY Z", "Number", kUnwritten)); }
    double Written(DWORD id) const { return sim.Number(id, "VELOCITY BODY Z", "Number").value_or(kUnwritten); }
    // How many writes of ours the simulator saw since the last call.
    int TakeWrites()
    {
        const auto lines = sim.Timeline();
        sim.ClearTimeline();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find("set by") != std::string::npos && line.find("VELOCITY BODY Z") != std::string::npos;
        }));
    }

    // A counter as the placement reader and the dispatch leave it: Timer "ms;steps", bound and started.
    void Start(TimerData& timer, int32_t periodMs, int32_t steps, DWORD id)
    {
        ASSERT_TRUE(timer.SetTimer(steps, steps * periodMs / 1000.0));
        timer.SetPauseFlagPtr(status.GetPausedFlag());
        timer.Bind(h, kDefinition, id);
        timer.Toggle();
        ASSERT_TRUE(timer.IsRunning());
    }

    // Advances one period at a time and returns the value the object holds after each.
    std::vector<double> Ticks(int count, uint64_t periodMs)
    {
        std::vector<double> values;
        for (int i = 0; i < count; ++i) {
            clock.clock().Advance(periodMs);
            values.push_back(Written(objectId));
        }
        return values;
    }

    platform::ScopedManualClock clock;
    simulator::Simulator sim;
    SimStatus status;
    HANDLE h = nullptr;
    DWORD objectId = 0;
};

TEST(TimerDataDefinition, DefaultIsUndefined)
{
    TimerData timer;
    EXPECT_FALSE(timer.IsDefined());
    EXPECT_FALSE(timer.IsRunning());
    EXPECT_FALSE(timer.IsBound());
    EXPECT_EQ(timer.GetPeriod(), 25.0);
    EXPECT_EQ(timer.GetSteps(), 1.0);
    EXPECT_EQ(timer.GetCounter(), 0);
    EXPECT_FALSE(timer.IsPaused());  // no pause flag yet
}

TEST(TimerDataDefinition, AcceptedTimersAndTheirTick)
{
    struct Case {
        int32_t tickMs, steps;
        DWORD expectedMs;
    } cases[] = {
        {40, 10, 40}, {1000, 1, 1000}, {1, 1, 1},
        // Whole milliseconds must survive the division by steps and the multiplication back.
        {3, 3, 3},    {3, 29, 3},      {1, 71, 1}, {2, 71, 2}, {7, 100000, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.tickMs) + " ms x " + std::to_string(c.steps));
        TimerData timer;
        ASSERT_TRUE(timer.SetTimer(c.steps, c.steps * c.tickMs / 1000.0));
        EXPECT_TRUE(timer.IsDefined());
        EXPECT_EQ(timer.GetSteps(), c.steps);
        EXPECT_NEAR(timer.GetPeriod(), c.tickMs / 1000.0, 1e-12);
        EXPECT_EQ(timer.GetPeriodMs(), c.expectedMs);
        EXPECT_EQ(timer.GetCounter(), 0);
    }
}

TEST(TimerDataDefinition, BadStepsAndPeriodsAreRefused)
{
    struct Case {
        const char* label;
        int32_t steps;
        double seconds;
    } cases[] = {
        {"no steps", 0, 1.0},
        {"negative steps", -5, 1.0},
        {"zero duration", 10, 0.0},
        {"tick below 1 ms", 10, 0.005},
        {"negative duration", 1, -1.0},
        {"not a number", 1, std::nan("")},
        {"infinite", 1, std::numeric_limits<double>::infinity()},
        {"beyond the timer range", 1, 5.0e6},
        {"lowest steps", std::numeric_limits<int32_t>::min(), 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TimerData fresh;
        EXPECT_FALSE(fresh.SetTimer(c.steps, c.seconds));
        EXPECT_FALSE(fresh.IsDefined());
        EXPECT_EQ(fresh.GetPeriod(), 25.0);

        // A refused definition leaves an earlier one as it was.
        TimerData defined;
        ASSERT_TRUE(defined.SetTimer(10, 0.4));
        EXPECT_FALSE(defined.Define(c.steps, c.seconds));
        EXPECT_TRUE(defined.IsDefined());
        EXPECT_EQ(defined.GetSteps(), 10.0);
        EXPECT_EQ(defined.GetPeriodMs(), 40u);
    }
}

TEST_F(TimerDataTest, CountsOncePerTickAndWritesEachCount)
{
    TimerData timer;
    Start(timer, 40, 10, objectId);

    clock.clock().Advance(39);
    EXPECT_EQ(Written(objectId), kUnwritten) << "the first tick is one period after the start";
    clock.clock().Advance(1);
    EXPECT_EQ(Written(objectId), 1.0) << "the first tick counts before it writes";

    const std::vector<double> expected = {2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2};
    EXPECT_EQ(Ticks(11, 40), expected);
    EXPECT_EQ(timer.GetCounter(), 2);
    EXPECT_EQ(TakeWrites(), 12);
    EXPECT_EQ(Written(SIMCONNECT_OBJECT_ID_USER), kUnwritten);
}

TEST_F(TimerDataTest, SingleStepWritesZeroEveryTick)
{
    TimerData timer;
    Start(timer, 250, 1, objectId);
    EXPECT_EQ(Ticks(3, 250), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(TakeWrites(), 3);
}

TEST_F(TimerDataTest, PausedSimulationNeitherCountsNorWrites)
{
    TimerData timer;
    Start(timer, 100, 5, objectId);
    Ticks(2, 100);
    ASSERT_EQ(timer.GetCounter(), 2);
    TakeWrites();

    status.SetPaused(true);
    EXPECT_TRUE(timer.IsPaused());
    MarkUnwritten(objectId);
    TakeWrites();
    clock.clock().Advance(1000);
    EXPECT_EQ(timer.GetCounter(), 2);
    EXPECT_EQ(Written(objectId), kUnwritten);
    EXPECT_EQ(TakeWrites(), 0);
    EXPECT_TRUE(timer.IsRunning());

    status.SetPaused(false);
    EXPECT_EQ(Ticks(4, 100), (std::vector<double>{3, 4, 0, 1}));
}

TEST_F(TimerDataTest, WithoutPauseFlagItCounts)
{
    TimerData timer;
    ASSERT_TRUE(timer.SetTimer(4, 0.2));
    timer.Bind(h, kDefinition, objectId);
    timer.Toggle();
    EXPECT_EQ(Ticks(2, 50), (std::vector<double>{1, 2}));
}

TEST_F(TimerDataTest, ObjectIdsZeroAndOneAreCountedButNeverWritten)
{
    for (DWORD id : {0u, 1u}) {
        SCOPED_TRACE(id);
        TimerData timer;
        Start(timer, 10, 10, id);
        clock.clock().Advance(30);
        EXPECT_EQ(timer.GetCounter(), 3);
        EXPECT_EQ(TakeWrites(), 0);
        EXPECT_EQ(Written(SIMCONNECT_OBJECT_ID_USER), kUnwritten);
        EXPECT_EQ(Written(1), kUnwritten);
    }
}

TEST_F(TimerDataTest, ToggleNeedsABoundDefinedCounter)
{
    TimerData unbound;
    ASSERT_TRUE(unbound.SetTimer(10, 0.4));
    unbound.Toggle();
    EXPECT_FALSE(unbound.IsRunning());

    // A model without a Timer attribute has nothing to count, even when bound by mistake.
    TimerData undefined;
    undefined.Bind(h, kDefinition, objectId);
    undefined.Toggle();
    EXPECT_FALSE(undefined.IsRunning());
    undefined.SetRunning(true);
    EXPECT_FALSE(undefined.IsRunning());

    clock.clock().Advance(60000);
    EXPECT_EQ(TakeWrites(), 0);
    EXPECT_EQ(unbound.GetCounter(), 0);
}

TEST_F(TimerDataTest, ToggleStopsAndRestartsKeepingTheCount)
{
    TimerData timer;
    Start(timer, 40, 10, objectId);
    Ticks(3, 40);

    timer.Toggle();
    EXPECT_FALSE(timer.IsRunning());
    TakeWrites();
    clock.clock().Advance(400);
    EXPECT_EQ(TakeWrites(), 0) << "no tick after the stop";
    EXPECT_EQ(timer.GetCounter(), 3);

    // Off and on several times: still one timer, one count per period.
    for (int i = 0; i < 3; ++i) {
        timer.Toggle();
        ASSERT_TRUE(timer.IsRunning());
        timer.Toggle();
        ASSERT_FALSE(timer.IsRunning());
    }
    timer.Toggle();
    EXPECT_EQ(Ticks(3, 40), (std::vector<double>{4, 5, 6}));
    EXPECT_EQ(TakeWrites(), 3);
}

TEST_F(TimerDataTest, StopEndsTheTicks)
{
    struct Case {
        const char* label;
        void (*stop)(TimerData&);
    } cases[] = {
        {"Stop", [](TimerData& t) { t.Stop(); }},
        {"SetRunning false", [](TimerData& t) { t.SetRunning(false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TimerData timer;
        Start(timer, 20, 10, objectId);
        clock.clock().Advance(40);
        c.stop(timer);
        EXPECT_FALSE(timer.IsRunning());
        TakeWrites();
        clock.clock().Advance(1000);
        EXPECT_EQ(TakeWrites(), 0);
        EXPECT_EQ(timer.GetCounter(), 2);

        // The object comes back: bound again and started.
        timer.Bind(h, kDefinition, objectId);
        timer.SetRunning(true);
        EXPECT_TRUE(timer.IsRunning());
        clock.clock().Advance(20);
        EXPECT_EQ(Written(objectId), 3.0);
        timer.Stop();
        TakeWrites();
    }
}

TEST_F(TimerDataTest, StopOnANeverStartedCounterIsHarmless)
{
    TimerData timer;
    timer.Stop();
    timer.Stop();
    EXPECT_FALSE(timer.IsRunning());
    ASSERT_TRUE(timer.SetTimer(2, 0.2));
    timer.Bind(h, kDefinition, objectId);
    timer.Toggle();
    EXPECT_EQ(Ticks(2, 100), (std::vector<double>{1, 0}));
}

TEST_F(TimerDataTest, DestructionWhileRunningLeavesNoCallback)
{
    auto timer = std::make_unique<TimerData>();
    Start(*timer, 40, 10, objectId);
    clock.clock().Advance(80);
    EXPECT_EQ(Written(objectId), 2.0);

    timer.reset();
    MarkUnwritten(objectId);
    TakeWrites();
    clock.clock().Advance(4000);
    EXPECT_EQ(TakeWrites(), 0);
    EXPECT_EQ(Written(objectId), kUnwritten);
}

TEST_F(TimerDataTest, CopiesNeverCarryTheLiveTimer)
{
    TimerData original;
    Start(original, 40, 10, objectId);
    Ticks(2, 40);

    TimerData copy(original);
    EXPECT_FALSE(copy.IsRunning());
    EXPECT_TRUE(copy.IsDefined());
    EXPECT_TRUE(copy.IsBound());
    EXPECT_EQ(copy.GetCounter(), 2);
    EXPECT_EQ(copy.GetPeriodMs(), 40u);

    // Only the original ticks; the copy's count stays.
    TakeWrites();
    EXPECT_EQ(Ticks(2, 40), (std::vector<double>{3, 4}));
    EXPECT_EQ(TakeWrites(), 2);
    EXPECT_EQ(copy.GetCounter(), 2);

    // The copy runs a timer of its own, which outlives the original.
    {
        TimerData second;
        second = original;
        EXPECT_FALSE(second.IsRunning());
        second.Toggle();
        EXPECT_TRUE(second.IsRunning());
        original.Stop();
        clock.clock().Advance(40);
        EXPECT_EQ(second.GetCounter(), 5);
        EXPECT_EQ(original.GetCounter(), 4);
    }
    TakeWrites();
    clock.clock().Advance(400);
    EXPECT_EQ(TakeWrites(), 0);
}

TEST_F(TimerDataTest, AssigningOverARunningCounterStopsItsTimer)
{
    TimerData running;
    Start(running, 40, 10, objectId);
    TimerData idle;
    ASSERT_TRUE(idle.SetTimer(3, 0.3));

    running = idle;
    EXPECT_FALSE(running.IsRunning());
    EXPECT_EQ(running.GetSteps(), 3.0);
    TakeWrites();
    clock.clock().Advance(1000);
    EXPECT_EQ(TakeWrites(), 0);

    // Self-assignment keeps a running timer as it is.
    TimerData self;
    Start(self, 40, 10, objectId);
    TimerData& alias = self;
    self = alias;
    EXPECT_TRUE(self.IsRunning());
    clock.clock().Advance(40);
    EXPECT_EQ(self.GetCounter(), 1);
}

}  // namespace
