// The frame and periodic object passes against the in-process simulator: what each pass decides on the
// objects' state and what it writes to the simulated objects.
#include "app/FSProcess.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "guidance/TriggerObjectTextMenu.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "objects/EnviroDataProbe.h"
#include "objects/SimObjectList.h"
#include "simulator/Simulator.h"
#include "tests/app/CoreTestSupport.h"
#include "tests/support/ProgramParts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace coretest;
using namespace velk_ids;
using program::Flags;
using program::Parts;
using program::Sim;

namespace {

constexpr double kLatitude = 47.0;
constexpr double kLongitude = 8.0;
// Metres per degree of latitude on the sphere the distances are measured on.
constexpr double kMetresPerDegree = 6378137.0 * 3.141592653589793 / 180.0;

std::vector<uint8_t> ComRecord(int64_t status, double frequency1, double transmit1, double frequency2 = 0.0,
                               double transmit2 = 0.0)
{
    std::vector<uint8_t> bytes(sizeof(int64_t) + 4 * sizeof(double));
    std::memcpy(bytes.data(), &status, sizeof(status));
    const double values[4] = {frequency1, transmit1, frequency2, transmit2};
    std::memcpy(bytes.data() + sizeof(int64_t), values, sizeof(values));
    return bytes;
}

class FramePassesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::MakeProgramParts({.customCommands = 2, .objects = true});
        Flags().logFolder = "C:\\ProgramData\\Quorvath\\VELK\\log";
        sim.ServeInProcess();
        ASSERT_EQ(Sim().Open(), S_OK);
        Flags().objectCount = 1;
        FSProcess::RegisterWithSimulator();
        Drain(Sim().GetHandle());
        MoveUser(0.0, 0.0);
    }
    void TearDown() override
    {
        program::TriggerMenu().SetDisplayed(false);
        Sim().Close();
        testsupport::ClearProgramParts();
    }

    SimObjectList& List() { return *Parts().activeObjects; }
    UserAircraft& User() { return List().GetUserAircraft(); }

    // The user aircraft `north` metres north of the objects' place, at an altitude in feet.
    void MoveUser(double north, double altitude)
    {
        const double block[UserAircraft::kSimDataCount] = {kLatitude + north / kMetresPerDegree, kLongitude, altitude};
        ASSERT_TRUE(User().SetFromSimData(block, UserAircraft::kSimDataCount));
    }

    // A simulated object of the program's own, which its writes can land on and its removals remove.
    DWORD SimulatedObject()
    {
        PlacementData placement;
        placement.SetLatitude(kLatitude);
        placement.SetLongitude(kLongitude);
        EXPECT_EQ(S_OK, Sim().CreateObject("Target", 900, placement));
        // Answers to the program's own creations may be waiting too.
        DWORD id = 0;
        for (const auto& answer : OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Drain(Sim().GetHandle()),
                                                                           SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID))
            if (answer.dwRequestID == 900) id = answer.dwObjectID;
        EXPECT_NE(0u, id);
        return id;
    }

    // One model with the features, at the objects' place (altitude in feet), in the simulation with a
    // simulated object when present.
    SimObject MakeObject(const std::string& name, std::vector<int32_t> features, bool present, double altitude = 0.0)
    {
        SimObject object;
        object.SetName(name);
        SimObjectModel& model = object.AddModel(name + " Title");
        for (int32_t feature : features) {
            model.GetFeatures()->Set(feature);
            object.SetFeature(feature);
        }
        object.SetPlacement(kLatitude, kLongitude, altitude, false, false, 0, 0, 0);
        object.SetSecondPlacement(kLatitude, kLongitude, altitude, false, false, 0, 0, 0);
        if (present) {
            object.SetInSimulation(true);
            object.SetObjectId(SimulatedObject());
        }
        return object;
    }

    // Adds the object to the active list and returns it at its place there.
    SimObject& Add(const SimObject& object, std::vector<int32_t>& indices)
    {
        List().Add(object);
        indices.push_back(List().Count() - 1);
        return *List().At(List().Count() - 1);
    }

    double Number(DWORD id, const std::string& variable, const std::string& unit = "Number")
    {
        return sim.Number(id, variable, unit).value_or(-12345.0);
    }

    int TimelineCount(const std::string& text)
    {
        int n = 0;
        for (const std::string& line : sim.Timeline())
            if (line.find(text) != std::string::npos) ++n;
        return n;
    }

    TempMachineRoot root;
    LogCapture log;
    simulator::Simulator sim;
};

// ---- animation pass -------------------------------------------------------------------------------------

class AnimationPassTest : public FramePassesTest {
protected:
    TriggAnimationData& Animation(SimObject& object) { return *object.GetCurrentModel()->GetTriggerableAnimation(3); }
};

TEST_F(AnimationPassTest, StartedAnimationSendsTheRunningWordToTheObjectAndItsSyncTargets)
{
    SimObject& target = Add(MakeObject("Stand:Door", {}, true), List().GetRotationIndices());
    target.AddModel("Second");
    SimObject& object = Add(MakeObject("Stand:Gate", {FeatureTriggAnimationTextMenu}, true), List().GetAnimatedIndices());
    TriggAnimationData& animation = Animation(object);
    animation.SetKeyframes(0, 100, 0, 10.0);
    animation.AddSyncTarget(&target);
    ASSERT_TRUE(animation.Start());

    FSProcess::AnimateObjectsPerFrame();

    // Bit 1: running towards the end.
    EXPECT_EQ(2.0, Number(object.GetObjectId(), "VELOCITY BODY Y"));
    EXPECT_EQ(2.0, Number(target.GetObjectId(), "VELOCITY BODY Y"));
    for (int32_t m = 0; m < target.GetModelCount(); ++m)
        EXPECT_EQ(2u, target.GetModel(m)->GetAnimationState()->ToUint64()) << m;
    animation.Stop();
}

TEST_F(AnimationPassTest, StopWhilePausedReleasesThePauseAndPausesAgainOnTheNextPass)
{
    Parts().simStatus->SetPaused(true);
    SimObject& object = Add(MakeObject("Gate", {FeatureTriggAnimationProximity}, true), List().GetAnimatedIndices());
    TriggAnimationData& animation = Animation(object);
    animation.SetKeyframes(0, 100, 0, 10.0);
    animation.JumpToEnd();

    FSProcess::AnimateObjectsPerFrame();
    // Bit 3: stopped at the end.
    EXPECT_EQ(8.0, Number(object.GetObjectId(), "VELOCITY BODY Y"));
    EXPECT_EQ(1, TimelineCount("event 'PAUSE_SET' data 0"));
    EXPECT_EQ(0, TimelineCount("event 'PAUSE_SET' data 1"));

    FSProcess::AnimateObjectsPerFrame();
    EXPECT_EQ(1, TimelineCount("event 'PAUSE_SET' data 1"));
}

TEST_F(AnimationPassTest, ObjectsOutsideTheSimulationOrWithoutTheFeatureAreLeftAlone)
{
    SimObject& absent = Add(MakeObject("Absent", {FeatureTriggAnimationTextMenu}, false), List().GetAnimatedIndices());
    SimObject& plain = Add(MakeObject("Plain", {FeatureControllableAnimation}, true), List().GetAnimatedIndices());
    for (SimObject* object : {&absent, &plain}) {
        Animation(*object).SetKeyframes(0, 100, 0, 10.0);
        Animation(*object).JumpToEnd();
    }
    ASSERT_TRUE(sim.SetNumber(plain.GetObjectId(), "VELOCITY BODY Y", "Number", 99.0));
    FSProcess::AnimateObjectsPerFrame();
    EXPECT_TRUE(Animation(absent).IsStopped());
    EXPECT_TRUE(Animation(plain).IsStopped());
    EXPECT_EQ(99.0, Number(plain.GetObjectId(), "VELOCITY BODY Y"));
}

// ---- separation-plane pass ------------------------------------------------------------------------------

TEST_F(FramePassesTest, SeparationPlaneSendsTheSideOnlyWhenItChangesOrWasNeverSent)
{
    // The default plane faces down: the user below the object is on the positive side.
    SimObject& object =
        Add(MakeObject("Plane", {FeatureConditionSeparationPlane}, true, 1000.0), List().GetSeparationPlaneIndices());
    const DWORD id = object.GetObjectId();
    CV_SeparationPlaneData& plane = object.GetCurrentModel()->GetConditionalVisibility()->GetSeparationPlane();
    MoveUser(50.0, 500.0);

    FSProcess::UpdateSeparationPlanes();
    EXPECT_EQ(1.0, Number(id, "VELOCITY BODY Y"));
    EXPECT_TRUE(plane.IsDefined());

    ASSERT_TRUE(sim.SetNumber(id, "VELOCITY BODY Y", "Number", 99.0));
    FSProcess::UpdateSeparationPlanes();
    EXPECT_EQ(99.0, Number(id, "VELOCITY BODY Y")) << "same side, already sent";

    MoveUser(50.0, 1500.0);
    FSProcess::UpdateSeparationPlanes();
    EXPECT_EQ(0.0, Number(id, "VELOCITY BODY Y"));

    // A removal clears defined: the same side is sent again.
    plane.SetDefined(false);
    ASSERT_TRUE(sim.SetNumber(id, "VELOCITY BODY Y", "Number", 99.0));
    FSProcess::UpdateSeparationPlanes();
    EXPECT_EQ(0.0, Number(id, "VELOCITY BODY Y"));
}

TEST_F(FramePassesTest, SeparationPlaneMeasuresFromTheEyePointWhenAsked)
{
    SimObject& object =
        Add(MakeObject("Plane", {FeatureConditionSeparationPlane}, true, 1000.0), List().GetSeparationPlaneIndices());
    CV_SeparationPlaneData& plane = object.GetCurrentModel()->GetConditionalVisibility()->GetSeparationPlane();
    plane.SetUseEyePoint(true);
    MoveUser(50.0, 1500.0);
    User().GetEyePoint().Set(kLatitude, kLongitude, 500.0);

    FSProcess::UpdateSeparationPlanes();
    EXPECT_TRUE(plane.IsOnPositiveSide());
    EXPECT_EQ(1.0, Number(object.GetObjectId(), "VELOCITY BODY Y"));
}

// ---- rotation pass --------------------------------------------------------------------------------------

TEST_F(FramePassesTest, RotationTurnsTheObjectToFaceTheUserAndWritesTheHeading)
{
    SimObject& object =
        Add(MakeObject("Vane", {FeatureRotationByUserAircraftPosition}, true), List().GetRotationIndices());
    SimObject& unnumbered =
        Add(MakeObject("Unnumbered", {FeatureRotationByUserAircraftPosition}, false), List().GetRotationIndices());
    unnumbered.SetInSimulation(true);
    MoveUser(500.0, 0.0);

    FSProcess::UpdateVariableDrivenRotations();

    // Due north of the object: the heading points half a turn away from the bearing.
    EXPECT_NEAR(3.141592653589793, Number(object.GetObjectId(), "PLANE HEADING DEGREES TRUE", "Radians"), 1e-9);
    EXPECT_NEAR(180.0, object.GetHeading(), 1e-9);
    EXPECT_EQ(0.0, unnumbered.GetHeading()) << "an object without an object id is skipped";
}

TEST_F(FramePassesTest, RotationWritesAChangedWindDirectionOnceOnTheDriversAxis)
{
    SimObject& object = Add(MakeObject("Sock", {FeatureRotationByWindDirection}, true), List().GetRotationIndices());
    VDR_WindDirData& wind = *object.GetCurrentModel()->GetRotation()->GetWindDirection();
    wind.AddAxis("BANK");
    wind.Feed(90.0);

    FSProcess::UpdateVariableDrivenRotations();
    EXPECT_NEAR(3.141592653589793 / 2, Number(object.GetObjectId(), "PLANE BANK DEGREES", "Radians"), 1e-9);
    EXPECT_NEAR(90.0, object.GetBank(), 1e-9);

    ASSERT_TRUE(sim.SetNumber(object.GetObjectId(), "PLANE BANK DEGREES", "Radians", 0.0));
    FSProcess::UpdateVariableDrivenRotations();
    EXPECT_EQ(0.0, Number(object.GetObjectId(), "PLANE BANK DEGREES", "Radians")) << "written once";
}

// ---- ground-shift pass ----------------------------------------------------------------------------------

TEST_F(FramePassesTest, GroundShiftTogglesOnlyWhenTheHeightCrossesTheThreshold)
{
    SimObject& object =
        Add(MakeObject("Apron", {FeatureGroundPolygonShift}, true, 1000.0), List().GetGroundShiftIndices());
    GroundPolygonShiftData& shift = *object.GetCurrentModel()->GetGroundPolygonShift();
    ASSERT_TRUE(shift.SetValues(500.0, -20.0));
    // The program's re-creation answered: the object is in the simulation again under its new id.
    const auto recreated = [&] {
        const auto assigned = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Drain(Sim().GetHandle()),
                                                                        SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
        ASSERT_EQ(1u, assigned.size()) << "the shift recreates the object once";
        object.SetCreatePending(false);
        object.SetInSimulation(true);
        object.SetObjectId(assigned.back().dwObjectID);
    };

    MoveUser(0.0, 1400.0);
    FSProcess::UpdateGroundPolygonShift();
    EXPECT_FALSE(shift.IsActive());
    EXPECT_EQ(0, TimelineCount(" removed by "));

    MoveUser(0.0, 1600.0);
    FSProcess::UpdateGroundPolygonShift();
    EXPECT_TRUE(shift.IsActive()) << "the removal keeps the shift it was made for";
    EXPECT_DOUBLE_EQ(980.0, object.GetAltitude());
    EXPECT_DOUBLE_EQ(1000.0, object.GetSecondAltitude());
    EXPECT_EQ("Apron Title", object.GetCreatedSimTitle());
    EXPECT_EQ(1, TimelineCount("PLANE ALTITUDE"));
    EXPECT_EQ(1, TimelineCount(" removed by "));
    EXPECT_FALSE(object.IsQuietRecreation());

    recreated();
    MoveUser(0.0, 3000.0);
    FSProcess::UpdateGroundPolygonShift();
    EXPECT_TRUE(shift.IsActive());
    EXPECT_EQ(1, TimelineCount(" removed by ")) << "staying above recreates nothing";

    MoveUser(0.0, 1500.0);
    FSProcess::UpdateGroundPolygonShift();
    EXPECT_FALSE(shift.IsActive());
    EXPECT_DOUBLE_EQ(1000.0, object.GetAltitude());
    EXPECT_EQ(2, TimelineCount(" removed by "));
    recreated();
}

// ---- proximity pass -------------------------------------------------------------------------------------

class ProximityTest : public FramePassesTest {
protected:
    SimObject& AddProximityObject(const std::string& radius, bool present)
    {
        SimObject& object =
            Add(MakeObject("Cone", {FeatureTriggVisibilityProximity}, present), List().GetProximityIndices());
        Trigger(object).SetInputNames({"Proximity", radius});
        return object;
    }
    TriggVisibilityData& Trigger(SimObject& object) { return *object.GetCurrentModel()->GetTriggVisibility(); }
};

TEST_F(ProximityTest, RadiusOf150RemovesOnceAt149AndBringsBackOnceAt151)
{
    SimObject& object = AddProximityObject("150", true);
    object.SetCreatedSimTitle("Cone Title");
    program::TriggerMenu().SetDisplayed(true);

    MoveUser(149.0, 0.0);
    FSProcess::UpdateProximityTriggers();
    EXPECT_TRUE(Trigger(object).GetState());
    EXPECT_FALSE(Trigger(object).IsVisible());
    EXPECT_EQ(1, TimelineCount("VELK.ShowMainMenu")) << "the menu on screen is rebuilt";

    FSProcess::UpdateProximityTriggers();
    EXPECT_TRUE(Trigger(object).GetState());
    EXPECT_EQ(1, TimelineCount("VELK.ShowMainMenu")) << "standing still changes nothing";

    // Removed meanwhile.
    object.SetInSimulation(false);
    MoveUser(151.0, 0.0);
    FSProcess::UpdateProximityTriggers();
    EXPECT_FALSE(Trigger(object).GetState());
    EXPECT_TRUE(Trigger(object).IsVisible());
    EXPECT_EQ(2, TimelineCount("VELK.ShowMainMenu"));

    FSProcess::UpdateProximityTriggers();
    EXPECT_FALSE(Trigger(object).GetState());
    EXPECT_EQ(2, TimelineCount("VELK.ShowMainMenu"));
}

TEST_F(ProximityTest, EachCaseSetsStateAndVisibilityPair)
{
    struct Case {
        double north;
        bool stateBefore;
        bool present;
        bool stateAfter;
        bool shown;
        bool visible;
    };
    const Case cases[] = {
        {100.0, false, true, true, true, false},   // within, present: removing
        {100.0, false, false, true, false, true},  // within, absent: creating
        {300.0, true, true, false, true, false},   // outside, present: removing
        {300.0, true, false, false, false, true},  // outside, absent: creating
    };
    for (const Case& c : cases) {
        SimObject& object = AddProximityObject("200", c.present);
        object.SetCreatedSimTitle("before");
        Trigger(object).SetState(c.stateBefore);
        Trigger(object).SetVisible(!c.visible);
        MoveUser(c.north, 0.0);
        // Only this object: the pass is run on the last index.
        List().GetProximityIndices() = {List().Count() - 1};

        FSProcess::UpdateProximityTriggers();
        const std::string label = std::to_string(c.north) + (c.present ? " present" : " absent");
        EXPECT_EQ(c.stateAfter, Trigger(object).GetState()) << label;
        EXPECT_EQ(c.visible, Trigger(object).IsVisible()) << label;
        EXPECT_EQ(!c.present, object.IsCreatePending()) << label;
        if (c.present) {
            EXPECT_FALSE(object.IsInSimulation()) << label;
        }
    }
    EXPECT_EQ(0, TimelineCount("VELK.ShowMainMenu")) << "no menu on screen";
}

TEST_F(ProximityTest, RadiusThatIsNoNumberReadsAsZeroAndObjectsBeyondTheTriggerRangeTakeNoPart)
{
    SimObject& object = AddProximityObject("near", false);
    MoveUser(1.0, 0.0);
    FSProcess::UpdateProximityTriggers();
    EXPECT_FALSE(Trigger(object).GetState());

    Trigger(object).SetInputNames({"Proximity", "20000"});
    MoveUser(12500.0, 0.0);
    FSProcess::UpdateProximityTriggers();
    EXPECT_FALSE(Trigger(object).GetState()) << "beyond 12000 m";
    MoveUser(11500.0, 0.0);
    FSProcess::UpdateProximityTriggers();
    EXPECT_TRUE(Trigger(object).GetState());
}

TEST_F(ProximityTest, ProximityAnimationRunsOrTogglesTheFreezeWithoutKeyframes)
{
    SimObject& animated =
        Add(MakeObject("Barrier", {FeatureTriggAnimationProximity}, true), List().GetProximityIndices());
    SimObject& frozen = Add(MakeObject("Sign", {FeatureTriggAnimationProximity}, true), List().GetProximityIndices());
    TriggAnimationData& animation = *animated.GetCurrentModel()->GetTriggerableAnimation(3);
    animation.SetInputNames({"Proximity", "100"});
    animation.SetKeyframes(0, 100, 0, 10.0);
    frozen.GetCurrentModel()->GetTriggerableAnimation(3)->SetInputNames({"Proximity", "100"});

    MoveUser(50.0, 0.0);
    FSProcess::UpdateProximityTriggers();
    EXPECT_TRUE(animation.GetState());
    EXPECT_TRUE(animation.IsRunning());
    EXPECT_TRUE(animation.IsForward());
    EXPECT_EQ(1.0, Number(animated.GetObjectId(), "VELOCITY BODY Z"));
    EXPECT_EQ(1, TimelineCount("event 'FREEZE_LATITUDE_LONGITUDE_TOGGLE'"));

    FSProcess::UpdateProximityTriggers();
    EXPECT_EQ(1, TimelineCount("event 'FREEZE_LATITUDE_LONGITUDE_TOGGLE'")) << "standing still";

    MoveUser(150.0, 0.0);
    FSProcess::UpdateProximityTriggers();
    EXPECT_FALSE(animation.GetState());
    EXPECT_FALSE(animation.IsForward());
    EXPECT_EQ(0.0, Number(animated.GetObjectId(), "VELOCITY BODY Z"));
    EXPECT_EQ(2, TimelineCount("event 'FREEZE_LATITUDE_LONGITUDE_TOGGLE'"));
    animation.Stop();
}

// ---- radio click ----------------------------------------------------------------------------------------

class RadioClickTest : public FramePassesTest {
protected:
    // A radio-triggered object on 122.8 MHz: two clicks within 5 s, a countdown of 1 minute.
    SimObject& AddRadioObject(bool present, int32_t feature = FeatureTriggVisibilityRadio)
    {
        SimObject& object = Add(MakeObject("Lights:Edge", {feature}, present), scratch);
        Configure(*object.GetCurrentModel()->GetTriggVisibility(), 2);
        CandidateRecord record;
        record.indices = {List().Count() - 1};
        List().GetRadioCandidates().push_back(record);
        return object;
    }
    static void Configure(TriggVisibilityData& trigger, int32_t clicks)
    {
        trigger.SetInputNames({"122.8", "switch on", "switch off"});
        trigger.SetParameters({clicks, 5, 1});
    }
    TriggVisibilityData& Trigger(SimObject& object) { return *object.GetCurrentModel()->GetTriggVisibility(); }

    void Transmit(double frequency, int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            const auto record = ComRecord(0, frequency, 1.0);
            FSProcess::UpdateRadioClickTriggers(true, record.data(), record.size());
        }
    }
    void Tick(int seconds = 1)
    {
        for (int i = 0; i < seconds; ++i) FSProcess::UpdateRadioClickTriggers(false, nullptr, 0);
    }

    std::vector<int32_t> scratch;
};

TEST_F(RadioClickTest, OnlyATransmissionOnTheFrequencyWithStatusZeroCounts)
{
    struct Case {
        const char* label;
        std::vector<uint8_t> record;
        bool counts;
    };
    const Case cases[] = {
        {"COM1 122.80005", ComRecord(0, 122.80005, 1.0), true},
        {"COM1 122.8002", ComRecord(0, 122.8002, 1.0), false},
        {"status non-zero", ComRecord(1, 122.8, 1.0), false},
        {"no transmission", ComRecord(0, 122.8, 0.0, 122.8, 0.0), false},
        {"COM2 on the frequency", ComRecord(0, 118.0, 0.0, 122.8, 1.0), true},
        {"COM1 transmits first", ComRecord(0, 118.0, 1.0, 122.8, 1.0), false},
        {"short record", std::vector<uint8_t>(39, 0), false},
    };
    for (const Case& c : cases) {
        List().Empty();
        SimObject& object = AddRadioObject(false);
        FSProcess::UpdateRadioClickTriggers(true, c.record.data(), c.record.size());
        EXPECT_EQ(c.counts, Trigger(object).IsTriggered()) << c.label;
        EXPECT_EQ(c.counts ? 1 : 0, Trigger(object).GetCounter()) << c.label;
    }
}

TEST_F(RadioClickTest, FurtherClicksCountAndAFrequencyThatIsNoNumberSkipsTheRecord)
{
    SimObject& odd = AddRadioObject(false);
    Trigger(odd).SetInputNames({"122,8x", "on", "off"});
    SimObject& object = AddRadioObject(false);
    Transmit(122.8, 3);
    EXPECT_EQ(3, Trigger(object).GetCounter());
    EXPECT_FALSE(Trigger(odd).IsTriggered());
}

TEST_F(RadioClickTest, RecordsBeyondTheTriggerRangeTakeNoPart)
{
    SimObject& object = AddRadioObject(false);
    MoveUser(12500.0, 0.0);
    Transmit(122.8);
    EXPECT_FALSE(Trigger(object).IsTriggered());
}

TEST_F(RadioClickTest, MatchingClicksAtTheWindowsEndActivateAnAbsentObject)
{
    SimObject& object = AddRadioObject(false);
    Transmit(122.8, 2);
    Tick(4);
    EXPECT_TRUE(Trigger(object).IsTriggered());
    EXPECT_FALSE(Trigger(object).GetState());

    Tick();
    EXPECT_FALSE(Trigger(object).IsTriggered());
    EXPECT_TRUE(Trigger(object).GetState());
    EXPECT_TRUE(Trigger(object).IsVisible());
    EXPECT_FALSE(Trigger(object).IsShown());
    EXPECT_EQ(0, Trigger(object).GetCounter());
    EXPECT_TRUE(Trigger(object).IsCountdownActive());
    EXPECT_EQ(60, Trigger(object).GetCountdown());
}

TEST_F(RadioClickTest, ClicksThatMatchNoModelDoNothing)
{
    SimObject& object = AddRadioObject(false);
    object.AddModel("Other");
    Configure(*object.GetModel(1)->GetTriggVisibility(), 4);
    Transmit(122.8, 3);
    Tick(5);
    EXPECT_FALSE(Trigger(object).IsTriggered());
    EXPECT_FALSE(Trigger(object).GetState());
    EXPECT_FALSE(Trigger(object).IsVisible());
    EXPECT_FALSE(Trigger(object).IsCountdownActive());
    EXPECT_EQ(0, object.GetCurrentModelIndex());
    EXPECT_FALSE(object.GetModel(1)->GetTriggVisibility()->IsVisible());
}

TEST_F(RadioClickTest, ClicksOfAnotherModelSwitchAPresentObjectToThatVariant)
{
    SimObject& object = AddRadioObject(true);
    object.AddModel("Variant");
    TriggVisibilityData& variant = *object.GetModel(1)->GetTriggVisibility();
    Configure(variant, 3);
    Transmit(122.8, 3);
    Tick(5);

    EXPECT_TRUE(variant.IsVisible());
    EXPECT_TRUE(variant.IsCountdownActive());
    EXPECT_EQ(0, variant.GetCounter());
    EXPECT_FALSE(object.GetModel(0)->GetTriggVisibility()->IsVisible());
    EXPECT_FALSE(object.GetModel(0)->GetTriggVisibility()->IsShown());
}

TEST_F(RadioClickTest, GroupTriggerWithoutDefaultRemovesEveryMemberWhenTheCountdownElapses)
{
    // VisibleOnLoad on a group trigger makes no default: only feature 23 does.
    SimObject& lead = Add(MakeObject("Group:A", {FeatureGroupTriggVisibilityRadio}, true), scratch);
    SimObject& member = Add(MakeObject("Group:B", {FeatureGroupTriggVisibilityRadio}, true), scratch);
    for (SimObject* object : {&lead, &member}) {
        Configure(Trigger(*object), 2);
        Trigger(*object).SetVisibleOnLoad(true);
        Trigger(*object).SetState(true);
        Trigger(*object).SetVisible(true);
        object->SetCreatedSimTitle("shown");
    }
    CandidateRecord record;
    record.indices = {0, 1};
    List().GetRadioCandidates().push_back(record);
    ASSERT_TRUE(Trigger(lead).Activate(2));
    Trigger(lead).SetCountdown(2);

    Tick();
    EXPECT_TRUE(Trigger(lead).GetState());
    Tick();
    for (SimObject* object : {&lead, &member}) {
        EXPECT_FALSE(Trigger(*object).GetState()) << object->GetName();
        EXPECT_FALSE(Trigger(*object).IsVisible()) << object->GetName();
        EXPECT_FALSE(object->IsInSimulation()) << object->GetName();
        EXPECT_EQ(60, Trigger(*object).GetCountdown()) << object->GetName();
    }
    EXPECT_FALSE(Trigger(lead).IsCountdownActive());
    EXPECT_EQ(2, TimelineCount(" removed by "));
}

TEST_F(RadioClickTest, ElapsedCountdownReturnsToTheDefaultModelAndWarnsBeforehand)
{
    SimObject& object = AddRadioObject(true);
    Trigger(object).SetVisibleOnLoad(true);
    object.AddModel("Lights:Edge Bright");
    SimObjectModel& bright = *object.GetModel(1);
    bright.GetFeatures()->Set(FeatureTriggVisibilityRadio);
    Configure(*bright.GetTriggVisibility(), 3);
    bright.GetTriggVisibility()->SetActionGiven(true);
    object.SetCurrentModelIndex(1);
    ASSERT_TRUE(bright.GetTriggVisibility()->Activate(3));
    bright.GetTriggVisibility()->SetCountdown(16);

    Tick();
    EXPECT_TRUE(sim.Texts().size() == 1 &&
                sim.Texts()[0].text == "[VELK] Lights:Edge Bright will switch off in 15sec! Reverting to "
                                       "Lights:Edge Title after countdown...");
    Tick(14);
    EXPECT_TRUE(bright.GetTriggVisibility()->IsCountdownActive());
    Tick();
    EXPECT_FALSE(bright.GetTriggVisibility()->IsCountdownActive());
    // The default model replaces the bright one in the simulation.
    EXPECT_EQ(0, object.GetCurrentModelIndex());
    EXPECT_TRUE(object.GetModel(0)->GetTriggVisibility()->IsVisible());
    EXPECT_FALSE(bright.GetTriggVisibility()->IsVisible() || bright.GetTriggVisibility()->IsShown());
    EXPECT_EQ(1, TimelineCount(" removed by "));
    const auto assigned = OfKind<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(Drain(Sim().GetHandle()),
                                                                    SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_EQ(1u, assigned.size());
    std::string created;
    for (const simulator::ObjectInfo& info : sim.Objects())
        if (info.id == assigned[0].dwObjectID) created = info.title;
    EXPECT_EQ("Lights:Edge Title", created);
}

// ---- jetway lights --------------------------------------------------------------------------------------

TEST_F(FramePassesTest, JetwayLightsFollowTimeOfDayAndLowVisibility)
{
    struct Case {
        int32_t timeOfDay;  // 1 dawn, 2 day, 3 dusk, 4 night
        int32_t visibility;
        bool lights;
    };
    const Case cases[] = {
        {1, 20000, true}, {2, 20000, false}, {3, 20000, true}, {4, 20000, true}, {2, 4999, true}, {2, 5000, false},
    };
    SimObject& object = Add(MakeObject("Gate:A1", {FeatureJetway}, true), List().GetJetwayIndices());
    EnviroDataProbe probe;
    for (const Case& c : cases) {
        Parts().seasonal->SetTimeOfDay(c.timeOfDay - 1);
        probe.SetVisibility(c.visibility);
        FSProcess::ApplyTimeOfDayToJetway(&object, &probe);
        const std::string label = std::to_string(c.timeOfDay) + "/" + std::to_string(c.visibility);
        EXPECT_EQ(c.lights, object.GetCurrentModel()->GetJetway()->GetStateWord().TestBit(1)) << label;
        EXPECT_EQ(c.lights ? 2.0 : 0.0, Number(object.GetObjectId(), "VELOCITY WORLD Z")) << label;
    }
    Parts().seasonal.reset();
    FSProcess::ApplyTimeOfDayToJetway(&object, nullptr);
    EXPECT_EQ(0.0, Number(object.GetObjectId(), "VELOCITY WORLD Z")) << "no time of day, no probe";
}

TEST_F(FramePassesTest, JetwayWithTwoModelsUpdatesBothAndSendsTheSecondsWord)
{
    SimObject& object = Add(MakeObject("Gate:A1", {FeatureJetway}, true), List().GetJetwayIndices());
    object.AddModel("Gate Moving");
    BitField64 word;
    word.SetBit(5);
    object.GetModel(1)->GetJetway()->SetStateWord(word);
    Parts().seasonal->SetTimeOfDay(3);  // night

    FSProcess::ApplyTimeOfDayToJetway(&object, nullptr);
    EXPECT_TRUE(object.GetModel(0)->GetJetway()->GetStateWord().TestBit(1));
    EXPECT_EQ(34.0, Number(object.GetObjectId(), "VELOCITY WORLD Z"));
}

TEST_F(FramePassesTest, PassesWithoutTheActiveListDoNothing)
{
    Parts().activeObjects.reset();
    const size_t before = sim.Timeline().size();
    FSProcess::AnimateObjectsPerFrame();
    FSProcess::UpdateSeparationPlanes();
    FSProcess::UpdateVariableDrivenRotations();
    FSProcess::UpdateGroundPolygonShift();
    FSProcess::UpdateRadioClickTriggers(false, nullptr, 0);
    FSProcess::UpdateProximityTriggers();
    FSProcess::ApplyTimeOfDayToJetway(nullptr, nullptr);
    // Nothing reached the simulator, nor the program's own queue.
    EXPECT_EQ(before, sim.Timeline().size()) << sim.Timeline().back();
    EXPECT_TRUE(Drain(Sim().GetHandle()).empty());
}

}  // namespace
