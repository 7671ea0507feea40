// Object injection and removal against the in-process simulator: which model an injection settles on,
// what it sends, and what a removal leaves behind.
#include "app/FSProcess.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "guidance/VDGSHandler.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"
#include "platform/clock.h"
#include "simulator/Simulator.h"
#include "tests/app/CoreTestSupport.h"
#include "tests/support/ProgramParts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace coretest;
using namespace velk_ids;
using program::Flags;
using program::Parts;
using program::Sim;

namespace {

constexpr const char* kBubble = "SimBubble Filter, Normal Objects";

class InjectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::MakeProgramParts({.objects = true, .injection = true});
        sim.ServeInProcess();
        ASSERT_EQ(Sim().Open(), S_OK);
        Drain(Sim().GetHandle());
        log.Clear();
    }
    void TearDown() override
    {
        Sim().Close();
        testsupport::ClearProgramParts();
    }

    // An object at a fixed place with one model per title; every model has the features given.
    SimObject& Add(const std::string& name, const std::vector<std::string>& titles, std::vector<int32_t> features = {})
    {
        SimObject object;
        object.SetName(name);
        for (const std::string& title : titles) {
            SimObjectModel& model = object.AddModel(title);
            for (int32_t feature : features) model.GetFeatures()->Set(feature);
        }
        for (int32_t feature : features) object.SetFeature(feature);
        object.SetPlacement(47.0, 8.0, 0.0, false, false, 0, 0, 0);
        object.SetRequestId(static_cast<uint32_t>(200 + List().Count()));
        List().Add(object);
        return *List().At(List().Count() - 1);
    }
    SimObjectList& List() { return *Parts().activeObjects; }

    struct Creation {
        DWORD request;  // as sent
        DWORD id;
        std::string title;
    };
    // The creations answered since the last call.
    std::vector<Creation> Created()
    {
        std::vector<Creation> created;
        for (const auto& answer : OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Drain(Sim().GetHandle()),
                                                                           SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID))
            created.push_back({answer.dwRequestID, answer.dwObjectID, TitleOf(answer.dwObjectID)});
        return created;
    }
    std::string TitleOf(DWORD id)
    {
        for (const simulator::ObjectInfo& info : sim.Objects())
            if (info.id == id) return info.title;
        return "";
    }
    // The object as the simulator has it after its creation was answered.
    void Answered(SimObject& object, DWORD id)
    {
        object.SetCreatePending(false);
        object.SetInSimulation(true);
        object.SetObjectId(id);
    }
    // Creates the object's current model and takes the answer.
    void Present(SimObject& object)
    {
        object.SetCreatedSimTitle(object.GetCurrentSimTitle());
        FSProcess::InjectSimObject(&object, kBubble);
        const auto created = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Drain(Sim().GetHandle()),
                                                                       SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
        ASSERT_EQ(1u, created.size());
        Answered(object, created[0].dwObjectID);
    }
    int TimelineIndex(const std::string& text)
    {
        const std::vector<std::string> lines = sim.Timeline();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(text) != std::string::npos) return static_cast<int>(i);
        return -1;
    }

    TempMachineRoot root;
    LogCapture log;
    simulator::Simulator sim;
};

TEST_F(InjectionTest, AbsentPlainObjectIsCreatedOnceWithItsTaggedRequestId)
{
    SimObject& object = Add("Hangar", {"Hangar Title"});
    const uint32_t request = object.GetRequestId();
    EXPECT_EQ(static_cast<int32_t>(request), FSProcess::InjectSimObject(&object, kBubble));
    // A second injection before the id is back sends nothing.
    EXPECT_EQ(0, FSProcess::InjectSimObject(&object, kBubble));
    const auto created = Created();
    ASSERT_EQ(1u, created.size()) << "a creation in flight is never sent twice";
    EXPECT_EQ("Hangar Title", created[0].title);
    uint32_t untagged = 0;
    EXPECT_TRUE(Parts().injectionQueue->ReadTag(created[0].request, untagged));
    EXPECT_EQ(request, untagged);

    // After a rebuild the same answer belongs to no creation of the new lists.
    Parts().injectionQueue->Reset();
    EXPECT_FALSE(Parts().injectionQueue->ReadTag(created[0].request, untagged));

    // A present plain object stays as it is.
    Answered(object, 77);
    EXPECT_EQ(0, FSProcess::InjectSimObject(&object, kBubble));
    EXPECT_TRUE(Created().empty());
}

// The injection of an object whose visibility follows a menu trigger; each row is the trigger state of
// the two models and where the object stands before.
TEST_F(InjectionTest, TriggerStatesDecideBetweenCreateReplaceRemoveAndNothing)
{
    struct Row {
        const char* label;
        bool visible0, visible1;
        int current;
        bool present;
        int createdModel;  // -1: nothing created
        bool removed;
        int currentAfter;
    };
    const Row rows[] = {
        {"absent, current model visible", true, false, 0, false, 0, false, 0},
        {"absent, other model visible", false, true, 0, false, 1, false, 1},
        {"present, current model visible", true, false, 0, true, -1, false, 0},
        {"present, other model visible", false, true, 0, true, 1, true, 1},
        {"present, none visible", false, false, 1, true, -1, true, 1},
        {"absent, none visible", false, false, 0, false, -1, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        List().Empty();
        SimObject& object = Add("Stairs", {"Stairs A", "Stairs B"}, {FeatureTriggVisibilityTextMenu});
        object.GetModel(0)->GetTriggVisibility()->SetVisible(row.visible0);
        object.GetModel(1)->GetTriggVisibility()->SetVisible(row.visible1);
        object.SetCurrentModelIndex(static_cast<int16_t>(row.current));
        if (row.present) {
            PlacementData placement;
            ASSERT_EQ(S_OK, Sim().CreateObject(object.GetCurrentSimTitle(), 900, placement));
            const auto created = Created();
            ASSERT_EQ(1u, created.size());
            Answered(object, created[0].id);
        }
        const DWORD before = object.GetObjectId();
        const size_t objectsBefore = sim.Objects().size();

        FSProcess::InjectSimObject(&object, "TriggVis MenuItem");
        const auto created = Created();
        if (row.createdModel < 0) {
            EXPECT_TRUE(created.empty());
        } else {
            ASSERT_EQ(1u, created.size());
            EXPECT_EQ(object.GetModel(row.createdModel)->GetSimTitle(), created[0].title);
        }
        const bool stillThere = TitleOf(before) != "";
        EXPECT_EQ(row.removed, row.present && !stillThere);
        EXPECT_EQ(row.currentAfter, object.GetCurrentModelIndex());
        EXPECT_EQ(objectsBefore + (row.createdModel >= 0 ? 1 : 0) - (row.removed ? 1 : 0), sim.Objects().size());
    }
}

// Replacing one model by another: the new object is asked for first, then the old one goes, and the
// clean-up of the removal applies to the model that was shown.
TEST_F(InjectionTest, ReplaceCreatesTheNewModelFirstAndCleansUpTheOldOne)
{
    SimObject& object = Add("Stairs", {"Stairs A", "Stairs B"},
                            {FeatureTriggVisibilityTextMenu, FeatureConditionSeparationPlane});
    for (int i = 0; i < 2; ++i) object.GetModel(i)->GetConditionalVisibility()->GetSeparationPlane().SetDefined(true);
    object.GetModel(0)->GetTriggVisibility()->SetVisible(true);
    Present(object);
    const DWORD old = object.GetObjectId();

    object.GetModel(0)->GetTriggVisibility()->SetVisible(false);
    object.GetModel(1)->GetTriggVisibility()->SetVisible(true);
    FSProcess::InjectSimObject(&object, "TriggVis MenuItem");

    EXPECT_EQ(1, object.GetCurrentModelIndex());
    EXPECT_FALSE(object.GetModel(0)->GetConditionalVisibility()->GetSeparationPlane().IsDefined())
        << "the old model's plane is cleared";
    EXPECT_TRUE(object.GetModel(1)->GetConditionalVisibility()->GetSeparationPlane().IsDefined())
        << "the new model keeps its plane";
    EXPECT_EQ("", TitleOf(old));
    const auto created = Created();
    ASSERT_EQ(1u, created.size());
    EXPECT_EQ("Stairs B", created[0].title);
    const int creation = TimelineIndex("'Stairs B'");
    const int removal = TimelineIndex(" removed by ");
    ASSERT_GE(creation, 0);
    ASSERT_GE(removal, 0);
    EXPECT_LT(creation, removal) << "the new object is asked for before the old one goes";
    EXPECT_TRUE(log.Has("INFO VELK.FSLOOP :  - SimObject 'Stairs' [Stairs A]."));
}

TEST_F(InjectionTest, RemovalStopsTheCountersOfEveryModel)
{
    platform::ScopedManualClock clock;
    SimObject& object = Add("Clock", {"Clock Day", "Clock Night"}, {FeatureTriggVisibilityTextMenu});
    object.GetModel(0)->GetTriggVisibility()->SetVisible(true);
    for (int i = 0; i < 2; ++i) {
        TimerData& timer = *object.GetModel(i)->GetTimer();
        ASSERT_TRUE(timer.SetTimer(10, 1.0));
        timer.Bind(nullptr, 0, 1);
        timer.SetRunning(true);
        ASSERT_TRUE(timer.IsRunning());
    }
    Present(object);

    FSProcess::RemoveSimObject(&object, false);
    clock.clock().Advance(1000);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(object.GetModel(i)->GetTimer()->IsRunning());
        EXPECT_EQ(0, object.GetModel(i)->GetTimer()->GetCounter()) << "nothing ticks after the removal";
    }
    EXPECT_FALSE(object.IsInSimulation());
    EXPECT_EQ(0u, object.GetObjectId());
}

// The active guidance display leaves the simulation. Gone for good, the handler forgets it, so that the
// six-times-a-second guidance does not run on against an object id of 0; replaced by its other model, it
// stays the active one.
TEST_F(InjectionTest, RemovedGuidanceDisplayIsForgottenUnlessItIsReplaced)
{
    for (const bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "replaced" : "removed");
        Parts().vdgsHandler.reset(new VDGSHandler());
        SimObject& display = Add(replacing ? "Display B" : "Display A", {"VDGS Static", "VDGS Display"},
                                 {FeatureVDGS, FeatureTriggVisibilityTextMenu});
        display.SetStandData("XVLK", "GATE_B", 22, "NONE", "0", false);
        display.SelectModel(1);
        Present(display);
        FSProcess::RegisterVdgsDisplay(&display);
        Parts().vdgsHandler->SetCurrentStand(display.GetStandData());
        ASSERT_NE(nullptr, Parts().vdgsHandler->GetActiveVDGS());

        FSProcess::RemoveSimObject(&display, replacing);
        EXPECT_EQ(replacing, Parts().vdgsHandler->GetActiveVDGS() != nullptr);
        EXPECT_EQ(0, display.GetCurrentModel()->GetVDGS()->GetState()) << "standby either way";
        FSProcess::ResetVdgsDisplays();
    }
}

TEST_F(InjectionTest, RandomizedPickDrawsOnlyModelsWithAPositiveWeight)
{
    // The blue car is also shown by its trigger: the pick and the trigger name the same model.
    SimObject& object = Add("Car", {"Car Red", "Car Blue", "Car Green"},
                            {FeatureRandomizedVisibility, FeatureTriggVisibilityTextMenu});
    const int weights[] = {0, 100, 0};
    for (int i = 0; i < 3; ++i) object.GetModel(i)->GetRandomizedVisibility()->SetPickProbabilityInPercent(weights[i]);
    object.GetModel(1)->GetTriggVisibility()->SetVisible(true);
    for (int draw = 0; draw < 20; ++draw) {
        object.SetCreatePending(false);
        object.SetInSimulation(false);
        FSProcess::InjectSimObject(&object, kBubble);
        ASSERT_EQ(1, object.GetCurrentModelIndex()) << draw;
    }
    EXPECT_FALSE(log.Has("Whoops")) << "the pick and the model's own qualification are one candidate";
    EXPECT_EQ(20u, Created().size());
}

TEST_F(InjectionTest, RandomizedObjectWithoutAPositiveWeightKeepsItsModel)
{
    SimObject& object = Add("Car", {"Car Red", "Car Blue"}, {FeatureRandomizedVisibility});
    for (int i = 0; i < 2; ++i) object.GetModel(i)->GetRandomizedVisibility()->SetPickProbabilityInPercent(0);
    object.SetCurrentModelIndex(1);
    FSProcess::InjectSimObject(&object, kBubble);
    EXPECT_TRUE(log.Has("WARN VELK.FSLOOP : Randomized SimObject '"));
    EXPECT_TRUE(log.Has("has no positive probability! Keeping model 1"));
    EXPECT_EQ(1, object.GetCurrentModelIndex());
    const auto created = Created();
    ASSERT_EQ(1u, created.size());
    EXPECT_EQ("Car Blue", created[0].title);
}

TEST_F(InjectionTest, RandomizedObjectWithAMissingWeightIsReportedAndKeepsItsModel)
{
    SimObject& object = Add("Car", {"Car Red"}, {FeatureRandomizedVisibility});
    object.AddModel("Car Plain");
    object.GetModel(0)->GetRandomizedVisibility()->SetPickProbabilityInPercent(100);
    FSProcess::InjectSimObject(&object, kBubble);
    EXPECT_TRUE(log.Has("has not all probabilities defined! Needed 2, supplied 1"));
    EXPECT_EQ(0, object.GetCurrentModelIndex());
}

TEST_F(InjectionTest, TwoQualifyingModelsAreAmbiguousAndNothingIsSent)
{
    SimObject& object = Add("Stairs", {"Stairs A", "Stairs B"}, {FeatureTriggVisibilityTextMenu});
    object.GetModel(0)->GetTriggVisibility()->SetVisible(true);
    object.GetModel(1)->GetTriggVisibility()->SetVisible(true);
    EXPECT_EQ(0, FSProcess::InjectSimObject(&object, "TriggVis MenuItem"));
    EXPECT_TRUE(log.Has("WARN VELK.FSLOOP : !!! Whoops, something's wrong (TriggVis MenuItem)! No unique Model "
                        "determined to display! [Stairs]"));
    EXPECT_TRUE(Created().empty());
}

TEST_F(InjectionTest, WeatherDependentObjectWithoutItsProbeIsNotCreated)
{
    SimObject& object = Add("Sock", {"Sock Title"}, {FeatureRotationByWindDirection});
    object.GetModel(0)->GetRotation()->GetWindDirection()->AddAxis("HEADING");
    ASSERT_EQ(-1, object.GetLinkedIndex());
    FSProcess::InjectSimObject(&object, kBubble);
    EXPECT_TRUE(log.Has("ERROR VELK.FSLOOP : EDP dependent SimObject [Sock] will not be injected because EDP does not "
                        "exist/or SimObject is not defined in ClientList!"));
    EXPECT_TRUE(Created().empty());
}

TEST_F(InjectionTest, NullObjectIsIgnored)
{
    EXPECT_EQ(0, FSProcess::InjectSimObject(nullptr, kBubble));
    FSProcess::RemoveSimObject(nullptr, false);
    EXPECT_TRUE(Created().empty());
}

}  // namespace
