// The model variant: feature flags, the weather-data test, member access, features held only once
// written, deep copies that never carry a running timer or animation, moves that do, and the diagnostic
// dump.
#include "objects/SimObjectModel.h"

#include "platform/clock.h"
#include "platform/files.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

TEST(SimObjectFeatureFlags, EverySettableNumberIsIndependent)
{
    const std::vector<int32_t> numbers = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                          19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 33, 34};
    for (int32_t n : numbers) {
        SCOPED_TRACE(n);
        SimObjectFeatureFlags flags;
        flags.Set(n);
        for (int32_t m = 0; m < SimObjectFeatureFlags::kCount; ++m) EXPECT_EQ(flags.Test(m), m == n) << m;
    }
}

TEST(SimObjectFeatureFlags, NumbersOutsideTheTableAreIgnored)
{
    SimObjectFeatureFlags flags;
    for (int32_t n : {-1, 36, 37, 1000, INT32_MIN, INT32_MAX}) {
        flags.Set(n);
        EXPECT_FALSE(flags.Test(n)) << n;
    }
    for (int32_t m = 0; m < SimObjectFeatureFlags::kCount; ++m) EXPECT_FALSE(flags.Test(m)) << m;
}

TEST(SimObjectFeatureFlags, CopyTakesAllThirtySix)
{
    SimObjectFeatureFlags flags;
    flags.Set(0);
    flags.Set(35);
    flags.Set(FeatureJetway);
    SimObjectFeatureFlags copy = flags;
    SimObjectFeatureFlags assigned;
    assigned.Set(FeatureVDGS);
    assigned = flags;
    for (const SimObjectFeatureFlags& f : {copy, assigned}) {
        EXPECT_TRUE(f.Test(0));
        EXPECT_TRUE(f.Test(35));
        EXPECT_TRUE(f.Test(3));
        EXPECT_FALSE(f.Test(4));
    }
}

TEST(SimObjectModel, NeedsWeatherDataForWeatherConditionsWindRotationAndDensityAltitude)
{
    struct Case {
        int32_t feature;
        bool needs;
    };
    const Case cases[] = {
        {FeatureConditionWindDirection, true},  {FeatureConditionWindSpeed, true},
        {FeatureConditionMetVisibility, true},  {FeatureConditionMetPrecipitation, true},
        {FeatureConditionAirTemperature, true}, {FeatureRotationByWindDirection, true},
        {FeatureDensityAltitudeDisplay, true},  {FeatureEnvironmentalDataProbe, false},
        {FeatureRotationByUserAircraftPosition, false}, {FeatureConditionTimeOfDay, false},
        {FeatureConditionSeparationPlane, false}, {FeatureJetway, false}, {FeatureVDGS, false},
        {FeatureTriggVisibilityRadio, false},
    };
    for (const Case& c : cases) {
        SimObjectModel model;
        model.GetFeatures()->Set(c.feature);
        EXPECT_EQ(model.NeedsWeatherData(), c.needs) << c.feature;
    }
    EXPECT_FALSE(SimObjectModel().NeedsWeatherData());
}

TEST(SimObjectModel, ConstructionAndAccess)
{
    SimObjectModel model;
    EXPECT_EQ(model.GetSimTitle(), "");
    EXPECT_EQ(model.GetKeepSimEnabled(), 0);
    EXPECT_FALSE(model.HasTimer());
    EXPECT_EQ(model.GetAnimationState()->ToUint64(), 0u);

    model.SetSimTitle("Windsock Red");
    model.SetKeepSimEnabled(true);
    EXPECT_EQ(model.GetSimTitle(), "Windsock Red");
    EXPECT_EQ(model.GetKeepSimEnabled(), 1);

    ASSERT_TRUE(model.GetTimer()->Define(4, 2.0));
    EXPECT_TRUE(model.HasTimer());

    BitField64 word;
    word.SetRaw(0x5, 0x80000000u);
    model.SetAnimationState(word);
    EXPECT_EQ(model.GetAnimationState()->ToUint64(), 0x8000000000000005ull);

    // Slots: controllable 0..2, triggerable 3..8, nothing else.
    EXPECT_NE(model.GetControllableAnimation(0), nullptr);
    EXPECT_NE(model.GetControllableAnimation(2), nullptr);
    EXPECT_EQ(model.GetControllableAnimation(3), nullptr);
    EXPECT_EQ(model.GetControllableAnimation(-1), nullptr);
    EXPECT_EQ(model.GetTriggerableAnimation(2), nullptr);
    EXPECT_NE(model.GetTriggerableAnimation(3), nullptr);
    EXPECT_NE(model.GetTriggerableAnimation(8), nullptr);
    EXPECT_EQ(model.GetTriggerableAnimation(9), nullptr);

    // Every model has its own guidance record and jetway.
    ASSERT_NE(model.GetVDGS(), nullptr);
    EXPECT_EQ(model.GetVDGS()->GetState(), 0);
    ASSERT_NE(model.GetJetway(), nullptr);
}

TEST(SimObjectModel, CopyTakesEveryMember)
{
    SimObjectModel model;
    model.SetSimTitle("Jetway Type A");
    model.SetKeepSimEnabled(true);
    model.GetFeatures()->Set(FeatureJetway);
    model.GetFeatures()->Set(FeatureTriggVisibilityTextMenu);
    model.GetTriggVisibility()->SetVisible(true);
    model.GetTriggVisibility()->SetVisibleOnLoad(true);
    model.GetGroundPolygonShift()->SetValues(50.0, -3.0);
    model.GetRandomizedVisibility()->SetPickProbabilityInPercent(30);
    model.GetJetway()->SetMultiIndex(2);
    model.GetVDGS()->SetApproachRange(80.0);
    model.GetConditionalVisibility()->SetLogicExpression("A&B");
    ASSERT_TRUE(model.GetTimer()->Define(3, 1.5));
    BitField64 word;
    word.SetBit(2);
    model.SetAnimationState(word);

    SimObjectModel copy = model;
    SimObjectModel assigned;
    assigned = model;
    for (const SimObjectModel* m : {&copy, &assigned}) {
        EXPECT_EQ(m->GetSimTitle(), "Jetway Type A");
        EXPECT_EQ(m->GetKeepSimEnabled(), 1);
        EXPECT_TRUE(m->HasFeature(FeatureJetway));
        EXPECT_TRUE(m->HasFeature(FeatureTriggVisibilityTextMenu));
        EXPECT_TRUE(m->GetTriggVisibility()->IsVisible());
        EXPECT_TRUE(m->GetTriggVisibility()->IsVisibleOnLoad());
        EXPECT_DOUBLE_EQ(m->GetGroundPolygonShift()->GetShiftAltitude(), -3.0);
        EXPECT_EQ(m->GetRandomizedVisibility()->GetPickProbabilityInPercent(), 30);
        EXPECT_EQ(m->GetJetway()->GetMultiIndex(), 2);
        EXPECT_DOUBLE_EQ(m->GetVDGS()->GetApproachRange(), 80.0);
        EXPECT_EQ(m->GetConditionalVisibility()->GetLogicExpression(), "A&B");
        EXPECT_TRUE(m->HasTimer());
        EXPECT_TRUE(m->GetAnimationState()->TestBit(2));
    }
}

// A model holds a feature only once something writes to it. Reading a feature it does not hold answers
// with a default record shared by all such models; nothing is allocated for it.
TEST(SimObjectModel, AFeatureNotWrittenReadsAsItsDefault)
{
    const SimObjectModel lean;
    const SimObjectModel other;
    EXPECT_EQ(lean.GetJetway()->GetMultiIndex(), 0);
    EXPECT_FALSE(lean.GetJetway()->IsSoundEnabled());
    EXPECT_EQ(lean.GetVDGS()->GetState(), 0);
    EXPECT_DOUBLE_EQ(lean.GetVDGS()->GetApproachRange(), VDGS().GetApproachRange());
    EXPECT_EQ(lean.GetConditionalVisibility()->GetLogicExpression(), "");
    EXPECT_FALSE(lean.GetTimer()->IsDefined());
    EXPECT_FALSE(lean.HasTimer());
    EXPECT_FALSE(lean.GetTriggVisibility()->IsVisible());
    EXPECT_FALSE(lean.GetAnimations()->GetTriggerableAnimation(3)->IsDefined());

    // The same shared records for every model without the feature.
    EXPECT_EQ(lean.GetJetway(), other.GetJetway());
    EXPECT_EQ(lean.GetVDGS(), other.GetVDGS());
    EXPECT_EQ(lean.GetConditionalVisibility(), other.GetConditionalVisibility());
    EXPECT_EQ(lean.GetTimer(), other.GetTimer());
    EXPECT_EQ(lean.GetRotation(), other.GetRotation());
    EXPECT_EQ(lean.GetTriggVisibility(), other.GetTriggVisibility());
    EXPECT_EQ(lean.GetAnimations(), other.GetAnimations());

    // Writing gives a model its own record; the shared one stays as it was.
    SimObjectModel written;
    written.GetJetway()->SetMultiIndex(3);
    written.GetTriggerableAnimation(3)->SetKeyframes(0, 50, 0, 2.0);
    const SimObjectModel& view = written;
    EXPECT_NE(view.GetJetway(), lean.GetJetway());
    EXPECT_EQ(view.GetJetway()->GetMultiIndex(), 3);
    EXPECT_EQ(lean.GetJetway()->GetMultiIndex(), 0);
    EXPECT_TRUE(view.GetAnimations()->GetTriggerableAnimation(3)->IsDefined());
    EXPECT_FALSE(lean.GetAnimations()->GetTriggerableAnimation(3)->IsDefined());
    // Slots not written stay shared inside a held container too.
    EXPECT_EQ(view.GetAnimations()->GetTriggerableAnimation(4), lean.GetAnimations()->GetTriggerableAnimation(4));
}

// Copies of the features a model holds are deep: each side changes on its own. A copy of a model
// without a feature is without it too.
TEST(SimObjectModel, CopiesAreDeepAndIndependentAndStayLean)
{
    SimObjectModel model;
    model.GetJetway()->SetMultiIndex(1);
    model.GetVDGS()->SetApproachRange(40.0);
    model.GetConditionalVisibility()->SetLogicExpression("A");
    model.GetTriggVisibility()->SetVisible(true);
    model.GetControllableAnimation(0)->SetKeyframes(0, 10, 0, 1.0);

    SimObjectModel copy = model;
    SimObjectModel assigned;
    assigned.GetJetway()->SetMultiIndex(7);
    assigned = model;
    for (SimObjectModel* m : {&copy, &assigned}) {
        EXPECT_NE(m->GetJetway(), model.GetJetway());
        EXPECT_NE(m->GetControllableAnimation(0), model.GetControllableAnimation(0));
        m->GetJetway()->SetMultiIndex(5);
        m->GetVDGS()->SetApproachRange(90.0);
        m->GetConditionalVisibility()->SetLogicExpression("B");
        m->GetTriggVisibility()->SetVisible(false);
        m->GetControllableAnimation(0)->SetKeyframes(0, 20, 0, 1.0);
    }
    EXPECT_EQ(model.GetJetway()->GetMultiIndex(), 1);
    EXPECT_DOUBLE_EQ(model.GetVDGS()->GetApproachRange(), 40.0);
    EXPECT_EQ(model.GetConditionalVisibility()->GetLogicExpression(), "A");
    EXPECT_TRUE(model.GetTriggVisibility()->IsVisible());
    EXPECT_DOUBLE_EQ(model.GetControllableAnimation(0)->GetEndKeyframe(), 10.0);

    // A lean source: the copy holds nothing, and assigning it over a model drops that model's records.
    const SimObjectModel lean;
    const SimObjectModel leanCopy = lean;
    EXPECT_EQ(leanCopy.GetJetway(), lean.GetJetway());
    EXPECT_EQ(leanCopy.GetAnimations(), lean.GetAnimations());
    assigned = lean;
    const SimObjectModel& view = assigned;
    EXPECT_EQ(view.GetJetway(), lean.GetJetway());
    EXPECT_EQ(view.GetJetway()->GetMultiIndex(), 0);
    EXPECT_EQ(view.GetConditionalVisibility()->GetLogicExpression(), "");
}

// The placement file's jetway values give the same jetway, whether written straight into it or kept until
// the jetway is first used, and whether that first use is a const access or not.
TEST(SimObjectModel, JetwaySettingsGiveTheJetwayTheyWouldHaveWritten)
{
    const std::vector<double> doorPoints{4.0, 55.0, 30.0, 12.0};
    SimObjectModel direct;
    direct.GetJetway()->SetMultiIndex(3);
    direct.GetJetway()->SetDoorPoints(doorPoints);

    SimObjectModel kept;
    kept.SetJetwayMultiIndex(3);
    kept.SetJetwayDoorPoints(doorPoints);
    SimObjectModel keptCopy = kept;  // copied before the jetway exists
    SimObjectModel keptAssigned;
    keptAssigned.GetJetway()->SetMultiIndex(9);
    keptAssigned = kept;

    const SimObjectModel& constView = kept;
    const SimObjectModel untouched;
    for (const SimObjectModel* m : {&constView, static_cast<const SimObjectModel*>(&keptCopy),
                                    static_cast<const SimObjectModel*>(&keptAssigned)}) {
        const Jetway* jetway = m->GetJetway();
        EXPECT_NE(jetway, untouched.GetJetway());
        EXPECT_EQ(jetway->GetMultiIndex(), 3);
        EXPECT_EQ(jetway->GetRecord().PlacementPointCount, direct.GetJetway()->GetRecord().PlacementPointCount);
        EXPECT_EQ(jetway->GetRecord().PlacementPoints, direct.GetJetway()->GetRecord().PlacementPoints);
    }
    // Built once: later accesses, const or not, give the same jetway with its own changes.
    kept.GetJetway()->SetMultiIndex(6);
    EXPECT_EQ(constView.GetJetway(), kept.GetJetway());
    EXPECT_EQ(constView.GetJetway()->GetMultiIndex(), 6);
    EXPECT_EQ(keptCopy.GetJetway()->GetMultiIndex(), 3);

    // Values set once the jetway exists go straight into it.
    kept.SetJetwayMultiIndex(8);
    kept.SetJetwayDoorPoints({1.0, 2.0});
    EXPECT_EQ(kept.GetJetway()->GetMultiIndex(), 8);
    EXPECT_EQ(kept.GetJetway()->GetRecord().PlacementPointCount, 2);

    // Door points alone keep the default MultiIndex; a model without settings still shares the default.
    SimObjectModel doorsOnly;
    doorsOnly.SetJetwayDoorPoints({7.0});
    EXPECT_EQ(std::as_const(doorsOnly).GetJetway()->GetMultiIndex(), 0);
    EXPECT_EQ(std::as_const(doorsOnly).GetJetway()->GetRecord().PlacementPointCount, 1);
    const SimObjectModel otherUntouched;
    EXPECT_EQ(untouched.GetJetway(), otherUntouched.GetJetway());
}

// A model whose timer counter and triggerable animation run, on the manual clock.
class LiveModelTest : public ::testing::Test {
protected:
    void StartAll(SimObjectModel& model)
    {
        ASSERT_TRUE(model.GetTimer()->Define(4, 4.0));
        model.GetTimer()->Bind(nullptr, 16, 42);
        model.GetTimer()->Toggle();
        ASSERT_TRUE(model.GetTimer()->IsRunning());
        TriggAnimationData* animation = model.GetTriggerableAnimation(3);
        animation->SetKeyframes(0, 100, 0, 10.0);
        ASSERT_TRUE(animation->Start());
        ASSERT_TRUE(animation->IsRunning());
    }
    static bool AnythingRuns(SimObjectModel& model)
    {
        return model.GetTimer()->IsRunning() || model.GetTriggerableAnimation(3)->IsRunning();
    }

    platform::ScopedManualClock clock;
};

TEST_F(LiveModelTest, CopiesNeverCarryARunningTimerOrAnimation)
{
    SimObjectModel model;
    StartAll(model);

    SimObjectModel copy = model;
    EXPECT_FALSE(AnythingRuns(copy));
    EXPECT_TRUE(copy.HasTimer());
    EXPECT_DOUBLE_EQ(copy.GetTriggerableAnimation(3)->GetEndKeyframe(), 100.0);
    EXPECT_TRUE(AnythingRuns(model));

    // Moving the copy brings nothing running along either.
    SimObjectModel moved = std::move(copy);
    EXPECT_FALSE(AnythingRuns(moved));

    // Assigning over a running model stops its own work before it takes the other's state.
    SimObjectModel target;
    StartAll(target);
    target = SimObjectModel();
    EXPECT_FALSE(AnythingRuns(target));
    EXPECT_FALSE(target.HasTimer());
}

// A move takes the features as they are: the running work goes along at its address, and the source
// is left without features.
TEST_F(LiveModelTest, AMoveTakesTheRunningWorkAlong)
{
    SimObjectModel model;
    StartAll(model);
    const TimerData* timer = model.GetTimer();
    const TriggAnimationData* animation = model.GetTriggerableAnimation(3);

    SimObjectModel moved = std::move(model);
    EXPECT_EQ(moved.GetTimer(), timer);
    EXPECT_EQ(moved.GetTriggerableAnimation(3), animation);
    EXPECT_TRUE(moved.GetTimer()->IsRunning());
    EXPECT_TRUE(moved.GetTriggerableAnimation(3)->IsRunning());

    SimObjectModel assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.GetTriggerableAnimation(3), animation);
    EXPECT_TRUE(AnythingRuns(assigned));

    assigned.StopActivity();
    EXPECT_FALSE(AnythingRuns(assigned));
    clock.clock().Advance(60000);  // nothing left to fire
}

TEST_F(LiveModelTest, StopActivityEndsTimerAndAnimations)
{
    SimObjectModel model;
    StartAll(model);
    model.StopActivity();
    EXPECT_FALSE(AnythingRuns(model));
    clock.clock().Advance(60000);  // nothing left to fire
    EXPECT_FALSE(AnythingRuns(model));
}

using ModelDumpTest = testsupport::MachineRootTest;

TEST_F(ModelDumpTest, WritesTitleAndWindRange)
{
    SimObjectModel model;
    model.SetSimTitle("Windsock");
    model.GetFeatures()->Set(FeatureConditionWindDirection);
    model.GetConditionalVisibility()->GetWindDirection().SetRangeValue(350, 20);
    ASSERT_TRUE(model.DumpModelData());

    std::string text;
    ASSERT_TRUE(platform::ReadWholeFile("C:\\ModelDataDump_Windsock.txt", text));
    EXPECT_EQ(text,
              "### MODEL DATA DUMP ###\r\nSimTitle: Windsock\r\nWind Direction Data:\r\n\tRange: 350 - 20 degrees\r\n");
}

TEST_F(ModelDumpTest, ATitleCannotLeaveTheWorkingFolder)
{
    SimObjectModel model;
    model.SetSimTitle("..\\..\\evil/x:y");
    ASSERT_TRUE(model.DumpModelData());
    std::string text;
    ASSERT_TRUE(platform::ReadWholeFile("C:\\ModelDataDump_.._.._evil_x_y.txt", text));
    EXPECT_EQ(text, "### MODEL DATA DUMP ###\r\nSimTitle: ..\\..\\evil/x:y\r\n");
}

}  // namespace
