// The keyframe runner on the manual clock: keyframe and timer arithmetic, runs in both directions,
// reversal, pause, stops from the main thread, hostile keyframes, refused frame rates, copies, and
// destruction while the timer runs.
#include "objects/AnimationData.h"

#include "link/SimStatus.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class AnimationRunTest : public ::testing::Test {
protected:
    // Keyframes 0..100 over 4 s: 25 keyframes a second, 1 keyframe per 40 ms tick.
    void Define(AnimationData& animation, int32_t start = 0, int32_t end = 100, int32_t initial = 0,
                double seconds = 4.0)
    {
        animation.SetKeyframes(start, end, initial, seconds);
        animation.SetPauseFlagPtr(status.GetPausedFlag());
    }

    // The position after each of count ticks.
    std::vector<double> Ticks(AnimationData& animation, int count)
    {
        std::vector<double> positions;
        for (int i = 0; i < count; ++i) {
            clock.clock().Advance(40);
            positions.push_back(animation.GetPosition());
        }
        return positions;
    }

    platform::ScopedManualClock clock;
    SimStatus status;
};

}  // namespace

TEST(AnimationDataDefinition, FreshAnimationRestsOnItsStart)
{
    AnimationData a;
    EXPECT_EQ(a.GetFps(), 25.0);
    EXPECT_FALSE(a.IsDefined());
    EXPECT_EQ(a.GetEndKeyframe(), 1.0);
    EXPECT_EQ(a.GetStartKeyframe(), 0.0);
    EXPECT_EQ(a.GetInitialKeyframe(), 0.0);
    EXPECT_EQ(a.GetStep(), 1.0);
    EXPECT_EQ(a.GetPosition(), 0.0);
    EXPECT_FALSE(a.IsRunning());
    EXPECT_TRUE(a.IsForward());
    EXPECT_TRUE(a.IsAtStart());
    EXPECT_FALSE(a.IsAtEnd());
    EXPECT_EQ(a.GetPeriodMs(), 40u);
    EXPECT_FALSE(a.IsStarted() || a.IsStopped() || a.IsReversalPending() || a.IsRePausePending());
}

TEST(AnimationDataDefinition, StepIsTheEndKeyframeOverTheDuration)
{
    struct Case {
        int32_t start, end, initial;
        double seconds, step;
    } cases[] = {
        {0, 100, 0, 4.0, 25.0},
        {50, 100, 50, 4.0, 25.0},  // the start does not shorten the way
        {0, 101, 0, 5.0, 20.2},    // a ControllableAnimation's KeyframeData 0;100;0;5
        {10, 20, 15, 0.5, 40.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + ".." + std::to_string(c.end));
        AnimationData a;
        a.SetKeyframes(c.start, c.end, c.initial, c.seconds);
        EXPECT_TRUE(a.IsDefined());
        EXPECT_EQ(a.GetStartKeyframe(), c.start);
        EXPECT_EQ(a.GetEndKeyframe(), c.end);
        EXPECT_EQ(a.GetInitialKeyframe(), c.initial);
        EXPECT_EQ(a.GetPosition(), c.initial);
        EXPECT_DOUBLE_EQ(a.GetStep(), c.step);
    }
}

TEST(AnimationDataDefinition, FrameRatesWithoutAWholeMillisecondTickAreRefused)
{
    struct Case {
        double fps;
        bool accepted;
        DWORD periodMs;
    } cases[] = {
        {25.0, true, 40}, {25.9, true, 40}, {30.0, true, 33}, {1.0, true, 1000}, {1000.0, true, 1},
        {0.0, false, 40}, {0.5, false, 40}, {-25.0, false, 40}, {1001.0, false, 40}, {kNaN, false, 40},
        {kInf, false, 40}, {-kInf, false, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fps);
        AnimationData a;
        EXPECT_EQ(a.SetFps(c.fps), c.accepted);
        EXPECT_EQ(a.GetPeriodMs(), c.periodMs);
        if (!c.accepted) {
            EXPECT_EQ(a.GetFps(), 25.0);
        }
    }
}

TEST_F(AnimationRunTest, ForwardRunMovesOneKeyframePerTickAndStopsOnTheEnd)
{
    AnimationData a;
    Define(a, 0, 100, 0, 4.0);
    ASSERT_TRUE(a.Start());
    EXPECT_TRUE(a.IsRunning());
    EXPECT_TRUE(a.IsStarted());
    EXPECT_FALSE(a.Start());  // already running: nothing new

    clock.clock().Advance(39);
    EXPECT_EQ(a.GetPosition(), 0.0);  // first tick after one period
    EXPECT_EQ(Ticks(a, 3), (std::vector<double>{1.0, 2.0, 3.0}));
    EXPECT_FALSE(a.IsAtStart());
    EXPECT_FALSE(a.IsAtEnd());

    clock.clock().Advance(96 * 40);
    EXPECT_EQ(a.GetPosition(), 99.0);
    EXPECT_TRUE(a.IsRunning());
    EXPECT_FALSE(a.IsStopped());

    Ticks(a, 1);
    EXPECT_EQ(a.GetPosition(), 100.0);
    EXPECT_FALSE(a.IsRunning());
    EXPECT_FALSE(a.IsForward());  // the next run goes back
    EXPECT_TRUE(a.IsStopped());
    EXPECT_TRUE(a.IsAtEnd());
    EXPECT_FALSE(a.IsAtStart());

    // The timer is gone: nothing moves any more.
    a.ClearStopped();
    clock.clock().Advance(10000);
    EXPECT_EQ(a.GetPosition(), 100.0);
    EXPECT_FALSE(a.IsStopped());
}

TEST_F(AnimationRunTest, SecondRunGoesBackToTheStart)
{
    AnimationData a;
    Define(a, 20, 30, 30, 0.4);  // 75 keyframes a second: 3 per tick
    a.JumpToEnd();
    a.ClearStopped();
    ASSERT_FALSE(a.IsForward());
    ASSERT_TRUE(a.Start());
    EXPECT_EQ(Ticks(a, 4), (std::vector<double>{27.0, 24.0, 21.0, 20.0}));  // 18 clamps to the start
    EXPECT_FALSE(a.IsRunning());
    EXPECT_TRUE(a.IsForward());
    EXPECT_TRUE(a.IsAtStart());
    EXPECT_FALSE(a.IsAtEnd());
    EXPECT_TRUE(a.IsStopped());
}

TEST_F(AnimationRunTest, OvershootClampsToTheEndAndTurnsTheDirection)
{
    AnimationData a;
    Define(a, 0, 10, 0, 0.3);  // 33.3 keyframes a second: 1.333 per tick
    ASSERT_TRUE(a.Start());
    const auto positions = Ticks(a, 8);
    EXPECT_NEAR(positions[6], 9.3333, 1e-3);
    EXPECT_EQ(positions[7], 10.0);
    EXPECT_FALSE(a.IsRunning());
    EXPECT_FALSE(a.IsForward());
}

TEST_F(AnimationRunTest, ReversalIsMarkedOnlyWhileRunningWithRoomToGo)
{
    struct Case {
        const char* label;
        bool running;
        double position;  // reached by ticks from 0 (1 per tick)
        bool forward;
        bool pending;
    } cases[] = {
        {"running, turned back", true, 5, false, true},
        {"running, forward again away from the start", true, 5, true, true},
        {"idle, turned back", false, 0, false, false},
        {"idle at the start, forward", false, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        AnimationData a;
        Define(a);
        if (c.running) {
            ASSERT_TRUE(a.Start());
            Ticks(a, static_cast<int>(c.position));
        }
        a.SetDirection(c.forward);
        EXPECT_EQ(a.IsForward(), c.forward);
        EXPECT_EQ(a.IsReversalPending(), c.pending);
        a.Stop();
    }

    // Just started from the start keyframe, forward again: nothing to reverse.
    AnimationData fresh;
    Define(fresh);
    ASSERT_TRUE(fresh.Start());
    fresh.SetDirection(true);
    EXPECT_FALSE(fresh.IsReversalPending());
    fresh.Stop();

    // Just started backward from the end keyframe, backward again: nothing to reverse either.
    AnimationData fromEnd;
    Define(fromEnd, 0, 100, 100, 4.0);
    fromEnd.SetDirection(false);
    ASSERT_TRUE(fromEnd.Start());
    fromEnd.SetDirection(false);
    EXPECT_FALSE(fromEnd.IsReversalPending());
    fromEnd.Stop();
}

TEST_F(AnimationRunTest, ReversedRunHeadsBackFromWhereItWas)
{
    AnimationData a;
    Define(a);
    ASSERT_TRUE(a.Start());
    Ticks(a, 5);
    a.SetDirection(false);
    EXPECT_EQ(Ticks(a, 6), (std::vector<double>{4.0, 3.0, 2.0, 1.0, 0.0, 0.0}));
    EXPECT_FALSE(a.IsRunning());
    EXPECT_TRUE(a.IsForward());
    EXPECT_TRUE(a.IsAtStart());
}

TEST_F(AnimationRunTest, PausedSimulationSendsARunningAnimationToItsEnd)
{
    struct Case {
        const char* label;
        bool backwards;
        double expected;
    } cases[] = {{"forward", false, 100.0}, {"backward", true, 0.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        status.SetPaused(false);
        AnimationData a;
        Define(a, 0, 100, c.backwards ? 100 : 0, 4.0);
        if (c.backwards) a.SetDirection(false);
        ASSERT_TRUE(a.Start());
        Ticks(a, 3);
        status.SetPaused(true);
        Ticks(a, 1);
        EXPECT_EQ(a.GetPosition(), c.expected);
        EXPECT_FALSE(a.IsRunning());
        EXPECT_TRUE(a.IsStopped());
        EXPECT_EQ(a.IsForward(), c.backwards);
        EXPECT_EQ(a.IsAtEnd(), !c.backwards);
        EXPECT_EQ(a.IsAtStart(), c.backwards);
    }
}

TEST_F(AnimationRunTest, PausedSimulationHoldsAnAnimationThatHasNotLeftItsRest)
{
    AnimationData a;
    Define(a);
    status.SetPaused(true);
    ASSERT_TRUE(a.Start());
    Ticks(a, 10);
    EXPECT_EQ(a.GetPosition(), 0.0);
    EXPECT_TRUE(a.IsRunning());
    EXPECT_FALSE(a.IsStopped());

    status.SetPaused(false);
    EXPECT_EQ(Ticks(a, 2), (std::vector<double>{1.0, 2.0}));
    a.Stop();
}

TEST_F(AnimationRunTest, AnimationWithoutPauseFlagCountsAsRunningSimulation)
{
    AnimationData a;
    a.SetKeyframes(0, 100, 0, 4.0);
    ASSERT_TRUE(a.Start());
    EXPECT_EQ(Ticks(a, 2), (std::vector<double>{1.0, 2.0}));
    a.Stop();
}

TEST_F(AnimationRunTest, MainThreadStepsAndJumps)
{
    AnimationData a;
    Define(a, 0, 3, 0, 3.0 / 25.0);  // one keyframe per step
    EXPECT_EQ(a.StepForward(), 1.0);
    EXPECT_FALSE(a.IsAtStart());
    EXPECT_EQ(a.StepForward(), 2.0);
    EXPECT_FALSE(a.IsStopped());
    EXPECT_EQ(a.StepForward(), 3.0);
    EXPECT_TRUE(a.IsStopped());
    EXPECT_TRUE(a.IsAtEnd());
    EXPECT_FALSE(a.IsForward());
    EXPECT_EQ(a.StepForward(), 3.0);  // stays on the end

    a.ClearStopped();
    EXPECT_EQ(a.StepBackward(), 2.0);
    EXPECT_FALSE(a.IsAtEnd());
    EXPECT_EQ(a.JumpToStart(), 0.0);
    EXPECT_TRUE(a.IsStopped());
    EXPECT_TRUE(a.IsAtStart());
    EXPECT_TRUE(a.IsForward());
    EXPECT_EQ(a.StepBackward(), 0.0);
    EXPECT_EQ(a.JumpToEnd(), 3.0);
    EXPECT_TRUE(a.IsAtEnd());
    EXPECT_FALSE(a.IsAtStart());
    EXPECT_FALSE(a.IsForward());
}

TEST_F(AnimationRunTest, MainThreadJumpStopsTheTimer)
{
    AnimationData a;
    Define(a);
    ASSERT_TRUE(a.Start());
    Ticks(a, 4);
    EXPECT_EQ(a.JumpToEnd(), 100.0);
    EXPECT_FALSE(a.IsRunning());
    a.ClearStopped();
    a.JumpToStart();
    a.ClearStopped();
    clock.clock().Advance(1000);
    EXPECT_EQ(a.GetPosition(), 0.0);
    EXPECT_FALSE(a.IsStopped());

    // The animation can run again afterwards.
    ASSERT_TRUE(a.Start());
    EXPECT_EQ(Ticks(a, 1), (std::vector<double>{1.0}));
    a.Stop();
}

TEST_F(AnimationRunTest, StopLeavesThePositionAndRaisesNoFlag)
{
    AnimationData a;
    Define(a);
    ASSERT_TRUE(a.Start());
    a.ClearStarted();
    Ticks(a, 7);
    a.Stop();
    EXPECT_FALSE(a.IsRunning());
    EXPECT_FALSE(a.IsStopped());
    clock.clock().Advance(1000);
    EXPECT_EQ(a.GetPosition(), 7.0);

    // A later start goes on from there in the same direction.
    ASSERT_TRUE(a.Start());
    EXPECT_EQ(Ticks(a, 1), (std::vector<double>{8.0}));
    a.Stop();
    a.Stop();  // twice is harmless
}

// Keyframes and durations that give no forward step would leave the timer running for ever (or moving
// the wrong way): each movement jumps to its end point instead, on the first tick.
TEST_F(AnimationRunTest, KeyframesWithoutAForwardStepJumpToTheEnd)
{
    struct Case {
        const char* label;
        int32_t start, end, initial;
        double seconds;
    } cases[] = {
        {"zero duration", 0, 100, 0, 0.0},
        {"zero duration, nothing to travel", 0, 0, 0, 0.0},
        {"negative duration", 0, 100, 0, -4.0},
        {"duration not a number", 0, 100, 0, kNaN},
        {"endless duration", 0, 100, 0, kInf},
        {"negative end keyframe", -200, -4, -100, 2.0},
        {"end keyframe 0", -50, 0, -50, 2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        AnimationData a;
        Define(a, c.start, c.end, c.initial, c.seconds);
        ASSERT_TRUE(a.Start());
        Ticks(a, 1);
        EXPECT_EQ(a.GetPosition(), c.end);
        EXPECT_FALSE(a.IsRunning());
        EXPECT_TRUE(a.IsAtEnd());

        ASSERT_TRUE(a.Start());  // and back
        Ticks(a, 1);
        EXPECT_EQ(a.GetPosition(), c.start);
        EXPECT_FALSE(a.IsRunning());
        EXPECT_TRUE(a.IsAtStart());

        EXPECT_EQ(a.StepForward(), c.end);  // the menu's steps jump as well
        EXPECT_EQ(a.StepBackward(), c.start);
    }
}

TEST_F(AnimationRunTest, CopyOfARunningAnimationCarriesNoTimer)
{
    AnimationData original;
    Define(original);
    ASSERT_TRUE(original.Start());
    Ticks(original, 3);

    AnimationData copy(original);
    EXPECT_FALSE(copy.IsRunning());
    EXPECT_EQ(copy.GetPosition(), 3.0);
    EXPECT_TRUE(copy.IsDefined());
    EXPECT_TRUE(copy.IsStarted());  // the flags travel, the timer does not

    Ticks(original, 2);
    EXPECT_EQ(original.GetPosition(), 5.0);
    EXPECT_EQ(copy.GetPosition(), 3.0);

    // The copy runs on a timer of its own.
    ASSERT_TRUE(copy.Start());
    Ticks(copy, 1);
    EXPECT_EQ(copy.GetPosition(), 4.0);
    EXPECT_EQ(original.GetPosition(), 6.0);
    copy.Stop();
    original.Stop();
}

TEST_F(AnimationRunTest, AssignmentStopsTheTargetsTimer)
{
    AnimationData target;
    Define(target);
    ASSERT_TRUE(target.Start());
    Ticks(target, 2);

    AnimationData source;
    Define(source, 0, 50, 10, 2.0);
    target = source;
    EXPECT_FALSE(target.IsRunning());
    EXPECT_EQ(target.GetPosition(), 10.0);
    clock.clock().Advance(1000);
    EXPECT_EQ(target.GetPosition(), 10.0);

    AnimationData running;
    Define(running);
    ASSERT_TRUE(running.Start());
    target = running;  // from a running animation: still no timer in the target
    EXPECT_FALSE(target.IsRunning());
    Ticks(running, 1);
    EXPECT_EQ(target.GetPosition(), 0.0);
    running.Stop();
}

TEST_F(AnimationRunTest, DestructionWhileRunningLeavesNoCallback)
{
    auto a = std::make_unique<AnimationData>();
    Define(*a);
    ASSERT_TRUE(a->Start());
    Ticks(*a, 3);
    a.reset();
    // A callback left behind would step freed memory here (the sanitizer build catches it).
    clock.clock().Advance(10000);

    std::vector<AnimationData> many(8);
    for (AnimationData& animation : many) {
        Define(animation);
        ASSERT_TRUE(animation.Start());
    }
    clock.clock().Advance(40);
    many.clear();
    clock.clock().Advance(10000);
}

TEST_F(AnimationRunTest, RefusedFrameRateLeavesTheTimerPeriodAlone)
{
    AnimationData a;
    Define(a);
    EXPECT_FALSE(a.SetFps(0.0));
    ASSERT_TRUE(a.Start());
    clock.clock().Advance(40);
    EXPECT_EQ(a.GetPosition(), 1.0);
    a.Stop();

    // A faster frame rate shortens the tick and the step alike: the same keyframes per second.
    AnimationData fast;
    Define(fast);
    ASSERT_TRUE(fast.SetFps(50.0));
    ASSERT_TRUE(fast.Start());
    clock.clock().Advance(20);
    EXPECT_EQ(fast.GetPosition(), 0.5);
    clock.clock().Advance(980);
    EXPECT_EQ(fast.GetPosition(), 25.0);
    fast.Stop();
}

// On the real timer thread (no manual clock): the main thread reads, copies, reverses and stops animations
// whose steps run meanwhile. Nothing here waits for a tick; whatever the timing, a stop that has
// returned leaves no step behind and destruction of a running animation is safe.
TEST(AnimationDataThreads, MainThreadWorksOnAnimationsTheTimerThreadSteps)
{
    SimStatus status;
    std::vector<std::unique_ptr<AnimationData>> animations;
    for (int i = 0; i < 4; ++i) {
        auto a = std::make_unique<AnimationData>();
        a->SetKeyframes(0, 1000000, 0, 1000.0);
        ASSERT_TRUE(a->SetFps(1000.0));  // a tick every millisecond
        a->SetPauseFlagPtr(status.GetPausedFlag());
        ASSERT_TRUE(a->Start());
        animations.push_back(std::move(a));
    }
    for (int round = 0; round < 2000; ++round) {
        AnimationData& a = *animations[static_cast<size_t>(round) % animations.size()];
        AnimationData copy(a);
        EXPECT_FALSE(copy.IsRunning());
        a.SetDirection(round % 2 == 0);
        a.TakeReversalPending();
        status.SetPaused(round % 7 == 0);
    }
    status.SetPaused(false);

    animations[0]->Stop();
    const double stoppedAt = animations[0]->GetPosition();
    for (int i = 0; i < 100000 && animations[1]->GetPosition() < 1.0; ++i) std::this_thread::yield();
    EXPECT_EQ(animations[0]->GetPosition(), stoppedAt);
    EXPECT_FALSE(animations[0]->IsRunning());

    animations[1]->JumpToEnd();
    EXPECT_EQ(animations[1]->GetPosition(), 1000000.0);
    animations.clear();  // two of them still running
}
