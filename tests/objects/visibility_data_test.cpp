// The visibility, trigger and ground-shift records: construction values, the radio-click trigger
// sequence, refused parameters, and copies.
#include "objects/VisibilityData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

TEST(VisibilityDataTest, ConstructionValues)
{
    const TriggVisibilityData trigger;
    EXPECT_FALSE(trigger.IsVisible());
    EXPECT_FALSE(trigger.GetSecondFlag());
    EXPECT_EQ(trigger.GetInputNames(), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(trigger.GetParameters().empty());
    EXPECT_FALSE(trigger.IsTriggered());
    EXPECT_EQ(trigger.GetCounter(), 0);
    EXPECT_EQ(trigger.GetCountdown(), 0);
    EXPECT_EQ(trigger.GetWindow(), 0);
    EXPECT_FALSE(trigger.GetState());
    EXPECT_FALSE(trigger.GetIgnoreRadiusFilter());
    EXPECT_FALSE(trigger.IsVisibleOnLoad());
    EXPECT_FALSE(trigger.IsCountdownActive());
    EXPECT_FALSE(trigger.IsActionGiven());

    // A randomized model whose probability was not given weighs 100.
    EXPECT_EQ(RandomizedVisibilityData().GetPickProbabilityInPercent(), 100);

    const GroundPolygonShiftData shift;
    EXPECT_EQ(shift.GetThresholdAltitudeAGL(), 0.0);
    EXPECT_EQ(shift.GetShiftAltitude(), 0.0);
    EXPECT_FALSE(shift.IsActive());
}

TEST(VisibilityDataTest, VisibilityPairAndStateThroughTheBases)
{
    TriggVisibilityData trigger;
    // The handlers reach the record through its bases.
    VisibilityData& pair = trigger;
    ControllableData& item = trigger;
    pair.SetSecondFlag(false);
    pair.SetVisible(true);
    EXPECT_TRUE(trigger.IsVisible());
    EXPECT_FALSE(trigger.IsShown());
    pair.SetSecondFlag(true);
    pair.SetVisible(false);
    EXPECT_TRUE(trigger.IsShown());
    EXPECT_FALSE(trigger.IsVisible());

    item.ToggleState();
    EXPECT_TRUE(trigger.GetState());
    item.ToggleState();
    EXPECT_FALSE(trigger.GetState());
    // The flags are independent of each other.
    trigger.SetIgnoreRadiusFilter(true);
    EXPECT_FALSE(trigger.GetState());
    EXPECT_TRUE(trigger.GetIgnoreRadiusFilter());
}

TEST(VisibilityDataTest, RadioSequenceActivatesAfterTheWindow)
{
    TriggVisibilityData trigger;
    trigger.SetParameters({3, 5, 2});

    ASSERT_TRUE(trigger.StartTrigger());
    EXPECT_EQ(trigger.GetCounter(), 1);
    EXPECT_EQ(trigger.GetWindow(), 5);
    EXPECT_TRUE(trigger.IsTriggered());

    trigger.IncrementCounter();
    trigger.IncrementCounter();
    EXPECT_EQ(trigger.GetCounter(), 3);

    for (int second = 0; second < 4; ++second) {
        trigger.DecrementWindow();
        EXPECT_FALSE(trigger.IsWindowReached()) << second;
    }
    trigger.DecrementWindow();
    ASSERT_TRUE(trigger.IsWindowReached());

    EXPECT_TRUE(trigger.Activate(trigger.GetCounter()));
    EXPECT_TRUE(trigger.IsCountdownActive());
    EXPECT_EQ(trigger.GetCountdown(), 120);
    trigger.ClearTriggered();
    trigger.ClearCountdownActive();
    EXPECT_FALSE(trigger.IsTriggered());
    EXPECT_FALSE(trigger.IsCountdownActive());
}

TEST(VisibilityDataTest, ActivateWithAnotherCountChangesNothing)
{
    TriggVisibilityData trigger;
    trigger.SetParameters({3, 5, 2});
    trigger.SetCountdown(7);
    for (int clicks : {0, 2, 4, -3}) {
        EXPECT_FALSE(trigger.Activate(clicks)) << clicks;
        EXPECT_EQ(trigger.GetCountdown(), 7) << clicks;
        EXPECT_FALSE(trigger.IsCountdownActive()) << clicks;
    }
}

TEST(VisibilityDataTest, CountdownBelowAtItsBounds)
{
    struct Case {
        int32_t countdown;
        bool below15;
    };
    const Case cases[] = {{0, false}, {16, false}, {15, true}, {1, true}, {-1, false}};
    for (const Case& c : cases) {
        TriggVisibilityData trigger;
        trigger.SetCountdown(c.countdown);
        EXPECT_EQ(trigger.IsCountdownBelow(15), c.below15) << c.countdown;
    }
}

TEST(VisibilityDataTest, CountdownRunsOutAndStaysExpired)
{
    TriggVisibilityData trigger;
    trigger.SetParameters({1, 0, 1});
    ASSERT_TRUE(trigger.StartCountdown());
    EXPECT_EQ(trigger.GetCountdown(), 60);
    for (int second = 0; second < 60; ++second) {
        EXPECT_FALSE(trigger.IsCountdownExpired()) << second;
        trigger.DecrementCountdown();
    }
    EXPECT_TRUE(trigger.IsCountdownExpired());
    // A tick too many must not push it past the point that the handler tests for.
    trigger.DecrementCountdown();
    EXPECT_TRUE(trigger.IsCountdownExpired());
    trigger.DecrementWindow();
    EXPECT_TRUE(trigger.IsWindowReached());
    EXPECT_EQ(trigger.GetWindow(), 0);
}

// A radio trigger read with missing or unusable numbers never runs: the operations would otherwise read
// past the parameters or count towards a value they never reach.
TEST(VisibilityDataTest, UnusableRadioParametersAreRefused)
{
    const int32_t big = std::numeric_limits<int32_t>::max();
    const std::vector<std::vector<int32_t>> refused = {
        {}, {3}, {3, 5}, {0, 5, 2}, {-1, 5, 2}, {3, -5, 2}, {3, 5, -2}, {3, 5, big / 60 + 1}, {3, 5, big},
    };
    for (const auto& parameters : refused) {
        TriggVisibilityData trigger;
        trigger.SetParameters(parameters);
        trigger.SetCountdown(9);
        EXPECT_FALSE(trigger.HasRadioParameters()) << parameters.size();
        EXPECT_FALSE(trigger.StartTrigger());
        EXPECT_FALSE(trigger.IsTriggered());
        EXPECT_EQ(trigger.GetCounter(), 0);
        EXPECT_FALSE(trigger.StartCountdown());
        EXPECT_FALSE(trigger.Activate(parameters.empty() ? 0 : parameters[0]));
        EXPECT_FALSE(trigger.IsCountdownActive());
        EXPECT_EQ(trigger.GetCountdown(), 9);
    }

    // The largest countdown that fits, and extra parameters, are fine.
    TriggVisibilityData trigger;
    trigger.SetParameters({2, 0, big / 60, 77});
    ASSERT_TRUE(trigger.Activate(2));
    EXPECT_EQ(trigger.GetCountdown(), (big / 60) * 60);
}

TEST(VisibilityDataTest, RestartingATriggerStartsTheCountAgain)
{
    TriggVisibilityData trigger;
    trigger.SetParameters({3, 5, 2});
    ASSERT_TRUE(trigger.StartTrigger());
    trigger.IncrementCounter();
    trigger.DecrementWindow();
    ASSERT_TRUE(trigger.StartTrigger());
    EXPECT_EQ(trigger.GetCounter(), 1);
    EXPECT_EQ(trigger.GetWindow(), 5);
    trigger.ResetCounter();
    EXPECT_EQ(trigger.GetCounter(), 0);
}

TEST(VisibilityDataTest, InputNamesAndParametersAreValues)
{
    InteractionData item;
    item.SetInputNames({"122.8", "show", "appear", "hide"});
    item.SetParameters({3, 10, 5});
    std::vector<std::string> names = item.GetInputNames();
    names[0] = "changed";
    EXPECT_EQ(item.GetInputName(0), "122.8");
    EXPECT_EQ(item.GetInputName(2), "appear");
    EXPECT_EQ(item.GetInputName(4), "");
    EXPECT_EQ(item.GetParameters(), (std::vector<int32_t>{3, 10, 5}));
}

TEST(VisibilityDataTest, CopiesCarryEveryField)
{
    TriggVisibilityData original;
    original.SetInputNames({"Proximity", "25.5"});
    original.SetParameters({2, 4, 1});
    ASSERT_TRUE(original.StartTrigger());
    original.IncrementCounter();
    ASSERT_TRUE(original.Activate(2));
    original.SetState(true);
    original.SetIgnoreRadiusFilter(true);
    original.SetVisible(true);
    original.SetSecondFlag(true);
    original.SetVisibleOnLoad(true);
    original.SetActionGiven(true);

    TriggVisibilityData copy(original);
    TriggVisibilityData assigned;
    assigned = original;
    original.SetInputNames({"other"});
    original.SetParameters({});
    for (const TriggVisibilityData* c : {&copy, &assigned}) {
        EXPECT_EQ(c->GetInputNames(), (std::vector<std::string>{"Proximity", "25.5"}));
        EXPECT_EQ(c->GetParameters(), (std::vector<int32_t>{2, 4, 1}));
        EXPECT_TRUE(c->IsTriggered());
        EXPECT_EQ(c->GetCounter(), 2);
        EXPECT_EQ(c->GetWindow(), 4);
        EXPECT_EQ(c->GetCountdown(), 60);
        EXPECT_TRUE(c->IsCountdownActive());
        EXPECT_TRUE(c->GetState());
        EXPECT_TRUE(c->GetIgnoreRadiusFilter());
        EXPECT_TRUE(c->IsVisible());
        EXPECT_TRUE(c->GetSecondFlag());
        EXPECT_TRUE(c->IsVisibleOnLoad());
        EXPECT_TRUE(c->IsActionGiven());
    }

    MultiRangeData ranges;
    ranges.AddRange(1, 2);
    MultiRangeData rangesCopy = ranges;
    ranges.AddRange(3, 4);
    EXPECT_EQ(rangesCopy.GetRangeCount(), 1u);

    EnumeratedOptionsData options;
    options.AddOption(5);
    EnumeratedOptionsData optionsCopy;
    optionsCopy = options;
    options.AddOption(6);
    EXPECT_EQ(optionsCopy.GetOptionCount(), 1u);
    EXPECT_EQ(optionsCopy.GetOption(0), 5);
}

TEST(VisibilityDataTest, RangesAndOptionsOutsideTheListReadAsZero)
{
    MultiRangeData ranges;
    EXPECT_EQ(ranges.GetRange(0).GetMin(), 0);
    ranges.AddRange(-5, 7);
    ranges.AddRange(10, 20);
    EXPECT_EQ(ranges.GetRangeCount(), 2u);
    EXPECT_EQ(ranges.GetRange(1).GetMin(), 10);
    EXPECT_EQ(ranges.GetRange(1).GetMax(), 20);
    EXPECT_EQ(ranges.GetRange(2).GetMax(), 0);
    EXPECT_EQ(ranges.GetRange(static_cast<size_t>(-1)).GetMin(), 0);

    EnumeratedOptionsData options;
    EXPECT_EQ(options.GetOption(0), 0);
    options.AddOption(4);
    options.AddOption(8);
    EXPECT_EQ(options.GetOption(1), 8);
    EXPECT_EQ(options.GetOption(2), 0);
    EXPECT_TRUE(options.HasOption(4));
    EXPECT_FALSE(options.HasOption(2));

    RangeData range(3, 9);
    EXPECT_EQ(range.GetMin(), 3);
    EXPECT_EQ(range.GetMax(), 9);
    RangeDataUnsigned wide(0, 4294967295u);
    EXPECT_EQ(wide.GetMax(), 4294967295u);
}

TEST(VisibilityDataTest, RefusedWeightsAndShifts)
{
    RandomizedVisibilityData random;
    EXPECT_TRUE(random.SetPickProbabilityInPercent(0));
    EXPECT_EQ(random.GetPickProbabilityInPercent(), 0);
    EXPECT_TRUE(random.SetPickProbabilityInPercent(35));
    // A negative weight would break the weighted pick.
    EXPECT_FALSE(random.SetPickProbabilityInPercent(-1));
    EXPECT_EQ(random.GetPickProbabilityInPercent(), 35);

    GroundPolygonShiftData shift;
    EXPECT_TRUE(shift.SetValues(150.0, -30.5));
    EXPECT_EQ(shift.GetThresholdAltitudeAGL(), 150.0);
    EXPECT_EQ(shift.GetShiftAltitude(), -30.5);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(shift.SetValues(nan, 1.0));
    EXPECT_FALSE(shift.SetValues(1.0, inf));
    EXPECT_EQ(shift.GetThresholdAltitudeAGL(), 150.0);
    EXPECT_EQ(shift.GetShiftAltitude(), -30.5);
    shift.SetActive(true);
    EXPECT_TRUE(shift.IsActive());
}

}  // namespace
