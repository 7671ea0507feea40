// The placed object: name parts, model selection and stepping, the radio default model, placement and
// ground elevation, life flags, stand membership, and copies of objects whose models run.
#include "objects/SimObject.h"

#include "platform/clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SimObject WithModels(const std::vector<std::string>& titles)
{
    SimObject o;
    for (const std::string& t : titles) o.AddModel(t);
    return o;
}

TEST(SimObject, ConstructionDefaults)
{
    const SimObject o;
    EXPECT_EQ(o.GetRequestId(), 0u);
    EXPECT_EQ(o.GetObjectId(), 0u);
    EXPECT_EQ(o.GetCurrentModelIndex(), 0);
    EXPECT_EQ(o.GetPendingModelIndex(), 0);
    EXPECT_FALSE(o.IsInSimulation() || o.IsCreateRequested() || o.IsCreatePending() || o.IsAssigned() ||
                 o.IsRemoveRequested() || o.IsRecreatePending() || o.IsSynchronised() || o.IsQuietRecreation());
    EXPECT_EQ(o.GetLinkedIndex(), -1);
    EXPECT_EQ(o.GetGroupIndex(), -1);
    EXPECT_EQ(o.GetStandMembership(), (std::pair<uint8_t, int32_t>(0, -1)));
    EXPECT_EQ(o.GetMultiIndex(), 0);
    EXPECT_EQ(o.GetStandData().GetGateName(), "NONE");
    EXPECT_EQ(o.GetModelCount(), 0);
}

TEST(SimObject, NameParts)
{
    struct Case {
        const char* name;
        const char* prefix;
        const char* suffix;
    };
    const Case cases[] = {
        {"EDDF:Jetway A12", "EDDF", "Jetway A12"},
        {"Windsock", "Windsock", "Windsock"},
        {"A:B:C", "A", "B:C"},
        {":lead", "", "lead"},
        {"trail:", "trail", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SimObject o;
        o.SetName(c.name);
        EXPECT_EQ(o.GetName(), c.name);
        EXPECT_EQ(o.GetNamePrefix(), c.prefix) << c.name;
        EXPECT_EQ(o.GetNameSuffix(), c.suffix) << c.name;
    }
}

TEST(SimObject, WithoutAModelThereIsNoTitleAndNoFeature)
{
    SimObject o;
    o.SetFeature(FeatureJetway);  // object-level flags do not answer the has-feature test
    EXPECT_EQ(o.GetCurrentSimTitle(), "VOID");
    EXPECT_EQ(o.GetCurrentModel(), nullptr);
    EXPECT_EQ(o.GetModel(0), nullptr);
    for (int32_t n = 0; n < SimObjectFeatureFlags::kCount; ++n) EXPECT_FALSE(o.HasFeature(n)) << n;
    EXPECT_TRUE(o.HasObjectFeature(FeatureJetway));
    // Stepping an object without models changes nothing.
    EXPECT_EQ(o.NextModel(), 0);
    EXPECT_EQ(o.PreviousModel(), 0);
}

TEST(SimObject, CurrentModelIndexSelectsTitleAndFeatures)
{
    SimObject o = WithModels({"Static Jetway", "Jetway Type A"});
    o.GetModel(1)->GetFeatures()->Set(FeatureJetway);
    EXPECT_EQ(o.GetCurrentSimTitle(), "Static Jetway");
    EXPECT_FALSE(o.HasFeature(FeatureJetway));

    o.SetCurrentModelIndex(1);
    EXPECT_EQ(o.GetCurrentSimTitle(), "Jetway Type A");
    EXPECT_TRUE(o.HasFeature(FeatureJetway));

    // -1 and indices past the list mean no current model, never a read beyond it.
    for (int16_t index : {int16_t(-1), int16_t(2), int16_t(300)}) {
        o.SetCurrentModelIndex(index);
        EXPECT_EQ(o.GetCurrentModel(), nullptr) << index;
        EXPECT_EQ(o.GetCurrentSimTitle(), "VOID") << index;
        EXPECT_FALSE(o.HasFeature(FeatureJetway)) << index;
    }
    EXPECT_EQ(o.GetModel(-1), nullptr);
    EXPECT_EQ(o.GetModel(2), nullptr);
    EXPECT_TRUE(o.HasMultipleModels());
    EXPECT_FALSE(WithModels({"one"}).HasMultipleModels());
}

TEST(SimObject, NextAndPreviousModelWrap)
{
    struct Case {
        int models;
        int16_t start;
        int16_t next;
        int16_t previous;
    };
    const Case cases[] = {
        {3, 0, 1, 2}, {3, 1, 2, 0}, {3, 2, 0, 1}, {1, 0, 0, 0}, {2, -1, 0, 1}, {3, 7, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.models << " models from " << c.start);
        SimObject o;
        for (int i = 0; i < c.models; ++i) o.AddModel("m" + std::to_string(i));
        o.SetCurrentModelIndex(c.start);
        EXPECT_EQ(o.NextModel(), c.next);
        EXPECT_EQ(o.GetCurrentModelIndex(), c.next);
        o.SetCurrentModelIndex(c.start);
        EXPECT_EQ(o.PreviousModel(), c.previous);
        EXPECT_EQ(o.GetCurrentModelIndex(), c.previous);
    }
}

struct Marks {
    bool visible;
    bool shown;
};

Marks MarksOf(SimObject& o, int index)
{
    const TriggVisibilityData* t = o.GetModel(index)->GetTriggVisibility();
    return {t->IsVisible(), t->IsShown()};
}

TEST(SimObject, SelectModelMarksTheTargetAndClearsTheCurrentWithoutSwitching)
{
    SimObject o = WithModels({"static", "dynamic"});
    o.GetModel(0)->GetTriggVisibility()->SetVisible(true);
    o.GetModel(0)->GetTriggVisibility()->SetSecondFlag(true);

    o.SelectModel(1);
    EXPECT_EQ(o.GetCurrentModelIndex(), 0);  // the switch happens on re-injection
    EXPECT_FALSE(MarksOf(o, 0).visible);
    EXPECT_FALSE(MarksOf(o, 0).shown);
    EXPECT_TRUE(MarksOf(o, 1).visible);
    EXPECT_TRUE(MarksOf(o, 1).shown);

    // Selecting the model already current keeps it marked: it stays the one to show.
    o.SetCurrentModelIndex(1);
    o.SelectModel(1);
    EXPECT_TRUE(MarksOf(o, 1).visible);
    EXPECT_TRUE(MarksOf(o, 1).shown);

    // An index outside the list changes nothing.
    o.SelectModel(5);
    o.SelectModel(-1);
    EXPECT_TRUE(MarksOf(o, 1).visible);
    EXPECT_FALSE(MarksOf(o, 0).visible);
}

TEST(SimObject, SelectModelOnASingleModelObjectChangesNothing)
{
    SimObject o = WithModels({"only"});
    o.SelectModel(0);
    EXPECT_FALSE(MarksOf(o, 0).visible);
    EXPECT_FALSE(MarksOf(o, 0).shown);
    o.GetModel(0)->GetTriggVisibility()->SetVisible(true);
    o.SelectModel(0);
    EXPECT_TRUE(MarksOf(o, 0).visible);
}

TEST(SimObject, VisibleOnLoadModelNeedsTheRadioFeatureAndTheFlag)
{
    SimObject o = WithModels({"flag only", "radio only", "radio and flag", "second radio and flag"});
    o.GetModel(0)->GetTriggVisibility()->SetVisibleOnLoad(true);
    o.GetModel(1)->GetFeatures()->Set(FeatureTriggVisibilityRadio);
    for (int i : {2, 3}) {
        o.GetModel(i)->GetFeatures()->Set(FeatureTriggVisibilityRadio);
        o.GetModel(i)->GetTriggVisibility()->SetVisibleOnLoad(true);
    }
    EXPECT_TRUE(o.HasVisibleOnLoadModel());
    EXPECT_EQ(o.GetVisibleOnLoadSimTitle(), "radio and flag");
    EXPECT_TRUE(o.SelectVisibleOnLoadModel());
    EXPECT_EQ(o.GetCurrentModelIndex(), 2);

    SimObject none = WithModels({"a", "b"});
    none.GetModel(1)->GetFeatures()->Set(FeatureTriggVisibilityRadio);
    EXPECT_FALSE(none.HasVisibleOnLoadModel());
    EXPECT_EQ(none.GetVisibleOnLoadSimTitle(), "");
    none.SetCurrentModelIndex(1);
    EXPECT_FALSE(none.SelectVisibleOnLoadModel());
    EXPECT_EQ(none.GetCurrentModelIndex(), 1);
}

TEST(SimObject, AttitudeSettersChangeOnlyTheCurrentPlacement)
{
    SimObject o;
    o.SetPlacement(50.1, 8.6, 364.0, true, false, 1.0, 2.0, 90.0);
    o.SetSecondPlacement(o.GetPlacement());
    o.SetHeading(180.0);
    o.SetPitch(-3.0);
    o.SetBank(4.0);
    EXPECT_DOUBLE_EQ(o.GetHeading(), 180.0);
    EXPECT_DOUBLE_EQ(o.GetPitch(), -3.0);
    EXPECT_DOUBLE_EQ(o.GetBank(), 4.0);
    EXPECT_DOUBLE_EQ(o.GetSecondHeading(), 90.0);
    EXPECT_DOUBLE_EQ(o.GetSecondPlacement().GetPitch(), 1.0);
    EXPECT_DOUBLE_EQ(o.GetHeadingRad(), 3.141592653589793);
    EXPECT_TRUE(o.IsAltitudeAgl());
    EXPECT_FALSE(o.IsAltitudeZero());
    EXPECT_DOUBLE_EQ(o.GetLatitude(), 50.1);
    EXPECT_DOUBLE_EQ(o.GetLongitude(), 8.6);
}

TEST(SimObject, ApplyGroundElevation)
{
    for (bool alsoSecond : {false, true}) {
        SCOPED_TRACE(alsoSecond);
        SimObject o;
        o.SetPlacement(50.0, 8.0, 12.0, true, false, 0, 0, 0);
        o.SetSecondPlacement(50.0, 8.0, 12.0, true, false, 0, 0, 0);
        o.ApplyGroundElevation(364.0, 12.0, alsoSecond);

        EXPECT_DOUBLE_EQ(o.GetAltitude(), 376.0);
        EXPECT_DOUBLE_EQ(o.GetPlacement().GetAltitudeOffset(), 12.0);
        EXPECT_FALSE(o.IsAltitudeAgl());
        EXPECT_DOUBLE_EQ(o.GetSecondAltitude(), alsoSecond ? 376.0 : 12.0);
        EXPECT_EQ(o.GetSecondPlacement().IsAltitudeAgl(), !alsoSecond);
    }
}

TEST(SimObject, LifeFlags)
{
    SimObject o;
    o.SetCreatePending(true);
    o.SetAssigned(true);
    EXPECT_TRUE(o.IsAssigned());
    EXPECT_FALSE(o.IsCreatePending());

    // Each flag is its own.
    o.SetInSimulation(true);
    o.SetRemoveRequested(true);
    o.SetCreateRequested(true);
    o.SetRecreatePending(true);
    o.SetSynchronised(true);
    o.SetQuietRecreation(true);
    o.SetInSimulation(false);
    EXPECT_TRUE(o.IsRemoveRequested() && o.IsCreateRequested() && o.IsRecreatePending() && o.IsSynchronised() &&
                o.IsQuietRecreation());
    EXPECT_FALSE(o.IsInSimulation());
}

TEST(SimObject, StandMembershipAndStand)
{
    SimObject o;
    o.SetStandMembership(true, 3);
    EXPECT_EQ(o.GetStandMembership(), (std::pair<uint8_t, int32_t>(1, 3)));
    o.SetStandData("EDDF", "GATE_A", 12, "A", "12", true);
    EXPECT_EQ(o.GetStandData().GetAirportIcao(), "EDDF");
    EXPECT_EQ(o.GetStandData().GetParkingNumber(), 12);
    EXPECT_TRUE(o.GetStandData().HasCustomDesignator());
}

TEST(SimObject, CopyTakesEveryField)
{
    SimObject o = WithModels({"a", "b"});
    o.SetName("EDDF:Sock");
    o.SetRequestId(107);
    o.SetObjectId(4242);
    o.SetCurrentModelIndex(1);
    o.SetPendingModelIndex(0);
    o.SetLinkedIndex(2);
    o.SetGroupIndex(5);
    o.SetGroupName("Apron");
    o.SetMultiIndex(3);
    o.SetSortValue1(12.5);
    o.SetSortValue2(0.25);
    o.SetCreatedSimTitle("b");
    o.SetFeature(FeatureConditionWindSpeed);
    o.SetStandMembership(true, 1);
    o.SetSynchronised(true);
    o.SetPlacement(1, 2, 3, false, false, 4, 5, 6);

    SimObject copy = o;
    SimObject assigned;
    assigned = o;
    for (const SimObject* c : {&copy, &assigned}) {
        EXPECT_EQ(c->GetName(), "EDDF:Sock");
        EXPECT_EQ(c->GetRequestId(), 107u);
        EXPECT_EQ(c->GetObjectId(), 4242u);
        EXPECT_EQ(c->GetCurrentSimTitle(), "b");
        EXPECT_EQ(c->GetModelCount(), 2);
        EXPECT_EQ(c->GetLinkedIndex(), 2);
        EXPECT_EQ(c->GetGroupIndex(), 5);
        EXPECT_EQ(c->GetGroupName(), "Apron");
        EXPECT_EQ(c->GetMultiIndex(), 3);
        EXPECT_DOUBLE_EQ(c->GetSortValue1(), 12.5);
        EXPECT_DOUBLE_EQ(c->GetSortValue2(), 0.25);
        EXPECT_EQ(c->GetCreatedSimTitle(), "b");
        EXPECT_TRUE(c->HasObjectFeature(FeatureConditionWindSpeed));
        EXPECT_EQ(c->GetStandMembership().second, 1);
        EXPECT_TRUE(c->IsSynchronised());
        EXPECT_DOUBLE_EQ(c->GetHeading(), 6.0);
    }
}

TEST(SimObject, CopyOfARunningObjectCarriesNoTimerAndStopActivityEndsAll)
{
    platform::ScopedManualClock clock;
    SimObject o = WithModels({"a", "b"});
    for (int i = 0; i < 2; ++i) {
        SimObjectModel* m = o.GetModel(i);
        ASSERT_TRUE(m->GetTimer()->Define(2, 1.0));
        m->GetTimer()->Bind(nullptr, 16, 40u + static_cast<uint32_t>(i));
        m->GetTimer()->Toggle();
        m->GetControllableAnimation(0)->SetKeyframes(0, 50, 0, 5.0);
        ASSERT_TRUE(m->GetControllableAnimation(0)->Start());
    }

    SimObject copy = o;
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(copy.GetModel(i)->GetTimer()->IsRunning());
        EXPECT_FALSE(copy.GetModel(i)->GetControllableAnimation(0)->IsRunning());
        EXPECT_TRUE(o.GetModel(i)->GetTimer()->IsRunning());
    }

    o.StopActivity();
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(o.GetModel(i)->GetTimer()->IsRunning());
        EXPECT_FALSE(o.GetModel(i)->GetControllableAnimation(0)->IsRunning());
    }
}

}  // namespace
