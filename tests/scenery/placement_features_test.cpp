// Feature elements of a Model or Group: which data they fill and which feature numbers they set.
#include "placement_test_support.h"

#include <gtest/gtest.h>

#include <tinyxml2.h>

using namespace placement_testing;

namespace {

// Reads one Model with the given feature elements; the object is the only entry.
struct ModelRig {
    ReaderRig rig;
    SimObject* object = nullptr;
    SimObjectModel* model = nullptr;

    explicit ModelRig(const std::string& features, const std::string& extra = "")
    {
        rig.ReadBody(SimObjectXml("O", "<Model SimTitle=\"M\">" + features + "</Model>") + extra);
        object = rig.Find("Test:O");
        model = object ? object->GetModel(0) : nullptr;
    }
    bool Feature(int32_t number) const { return model->HasFeature(number) && object->HasObjectFeature(number); }
    int32_t FeatureCount() const
    {
        int32_t count = 0;
        for (int32_t n = 0; n < SimObjectFeatureFlags::kCount; ++n) count += model->HasFeature(n) ? 1 : 0;
        return count;
    }
};

TEST(PlacementFeatures, GroundPolygonShift)
{
    {
        ModelRig m("<GroundPolygonShift ThresholdAltitudeAGL=\"300.5\" ShiftAltitude=\"-20\"/>"
                   "<GroundPolygonShift ThresholdAltitudeAGL=\"1\" ShiftAltitude=\"1\"/>");
        ASSERT_NE(m.model, nullptr);
        EXPECT_TRUE(m.Feature(FeatureGroundPolygonShift));
        EXPECT_DOUBLE_EQ(m.model->GetGroundPolygonShift()->GetThresholdAltitudeAGL(), 300.5);
        EXPECT_DOUBLE_EQ(m.model->GetGroundPolygonShift()->GetShiftAltitude(), -20.0);
    }
    {
        LogCapture log;
        ModelRig m("<GroundPolygonShift ThresholdAltitudeAGL=\"300\"/>");
        EXPECT_FALSE(m.Feature(FeatureGroundPolygonShift));
        EXPECT_TRUE(log.Has("ERROR ThresholdAltitudeAGL and/or ShiftAltitude not specified in GroundPolygonShift element!"));
    }
}

TEST(PlacementFeatures, VariableDrivenRotation)
{
    LogCapture log;
    ModelRig m("<VariableDrivenRotation Variable=\"Heading\"/>"
               "<VariableDrivenRotation Variable=\"WindDirection\" Axis=\"HEADING;PITCH\" Animated=\"Yes\"/>"
               "<VariableDrivenRotation Variable=\"UserAircraftPosition\" Mode=\"POINT\"/>");
    EXPECT_TRUE(log.Has("ERROR Invalid Conditional Rotation Driver Variable: 'Heading'!"));
    EXPECT_TRUE(m.Feature(FeatureRotationByWindDirection));
    EXPECT_TRUE(m.Feature(FeatureRotationByUserAircraftPosition));
    const VDR_WindDirData* wind = m.model->GetRotation()->GetWindDirection();
    ASSERT_EQ(wind->GetOptionCount(), 2u);
    EXPECT_EQ(wind->GetOption(0), 3);
    EXPECT_EQ(wind->GetOption(1), 1);
    EXPECT_TRUE(wind->IsAnimated());
    EXPECT_TRUE(m.model->GetRotation()->GetUserAircraftPosition()->IsPointMode());

    // "yes" is not "Yes"; an unknown mode leaves it unchanged.
    ModelRig n("<VariableDrivenRotation Variable=\"WindDirection\" Axis=\"BANK\" Animated=\"yes\"/>"
               "<VariableDrivenRotation Variable=\"UserAircraftPosition\" Mode=\"point\"/>");
    EXPECT_FALSE(n.model->GetRotation()->GetWindDirection()->IsAnimated());
    EXPECT_FALSE(n.model->GetRotation()->GetUserAircraftPosition()->IsPointMode());
    EXPECT_TRUE(n.Feature(FeatureRotationByUserAircraftPosition));
}

TEST(PlacementFeatures, SingleConditionOnTheElementItself)
{
    ModelRig m("<ConditionalVisibility Variable=\"WindSpeed\" ID=\"W\" Value=\"5-MAX\" LogicExpression=\"ignored\"/>");
    EXPECT_TRUE(m.Feature(FeatureConditionWindSpeed));
    ConditionalVisibilityData* data = m.model->GetConditionalVisibility();
    EXPECT_EQ(data->GetWindSpeed().GetMin(), 5);
    EXPECT_EQ(data->GetWindSpeed().GetMax(), 2147483647);
    EXPECT_EQ(data->GetLogicExpression(), "");
    EXPECT_EQ(data->GetConditionTable().at("W"), ConditionType::WindSpeed);
}

TEST(PlacementFeatures, ConditionListSetsEachFeature)
{
    ModelRig m("<ConditionalVisibility LogicExpression=\"A &amp;&amp; (B || C)\">"
               "<Condition Variable=\"AirTemperature\" ID=\"A\" Value=\"M10-M2\"/>"
               "<Condition Variable=\"Time\" ID=\"B\" Value=\"2200-0600LT\"/>"
               "<Condition Variable=\"MonthOfYear\" ID=\"C\" Value=\"JAN;MAR-MAY\"/>"
               "<Condition Variable=\"DayOfYear\" ID=\"D\" Value=\"1-10;x;200\"/>"
               "</ConditionalVisibility>");
    ConditionalVisibilityData* data = m.model->GetConditionalVisibility();
    EXPECT_EQ(data->GetLogicExpression(), "A && (B || C)");
    EXPECT_TRUE(m.Feature(FeatureConditionAirTemperature));
    EXPECT_TRUE(m.Feature(FeatureConditionTime));
    EXPECT_TRUE(m.Feature(FeatureConditionMonthOfYear));
    EXPECT_TRUE(m.Feature(FeatureConditionDayOfYear));
    EXPECT_EQ(data->GetAirTemperature().GetMin(), -10);
    EXPECT_EQ(data->GetAirTemperature().GetMax(), -2);
    ASSERT_EQ(data->GetTime().GetRangeCount(), 1u);
    EXPECT_EQ(data->GetTime().GetRange(0).GetMin(), 22 * 60);
    EXPECT_EQ(data->GetTime().GetRange(0).GetMax(), 6 * 60);
    EXPECT_TRUE(data->GetTime().IsLocalTime());
    EXPECT_EQ(data->GetMonthOfYear().GetOptionCount(), 4u);
    EXPECT_EQ(data->GetDayOfYear().GetRangeCount(), 2u);  // the bad item is dropped, the others kept
}

TEST(PlacementFeatures, RejectedValueStillSetsFeatureUnknownVariableDoesNot)
{
    LogCapture log;
    ModelRig m("<ConditionalVisibility LogicExpression=\"A\">"
               "<Condition Variable=\"WindSpeed\" ID=\"A\" Value=\"7\"/>"
               "<Condition Variable=\"Rain\" ID=\"B\" Value=\"1\"/></ConditionalVisibility>");
    EXPECT_TRUE(m.Feature(FeatureConditionWindSpeed));
    EXPECT_FALSE(m.model->GetConditionalVisibility()->GetWindSpeed().HasRange());
    EXPECT_TRUE(log.Has("ERROR Invalid value '7'! WindSpeed Range must be of format 'N-N'."));
    EXPECT_TRUE(log.Has("ERROR Invalid Condition Variable: 'Rain'!"));
    EXPECT_EQ(m.FeatureCount(), 1);
}

TEST(PlacementFeatures, SeparationPlaneExactYes)
{
    ModelRig m("<ConditionalVisibility LogicExpression=\"P &amp;&amp; Q\">"
               "<Condition Variable=\"SeparationPlane\" ID=\"P\" UseEyePoint=\"Yes\" FlipNormal=\"YES\" Elevation=\"10\" "
               "Azimuth=\"45\" Offset=\"1;2;3\"/></ConditionalVisibility>");
    EXPECT_TRUE(m.Feature(FeatureConditionSeparationPlane));
    const CV_SeparationPlaneData& plane = m.model->GetConditionalVisibility()->GetSeparationPlane();
    EXPECT_TRUE(plane.GetUseEyePoint());
    EXPECT_FALSE(plane.GetFlipNormal());
    EXPECT_DOUBLE_EQ(plane.GetElevation(), 10.0);
    EXPECT_DOUBLE_EQ(plane.GetAzimuth(), 45.0);
    EXPECT_DOUBLE_EQ(plane.GetPointZ(), 3.0);

    LogCapture log;
    ModelRig bad("<ConditionalVisibility Variable=\"SeparationPlane\" ID=\"P\" Elevation=\"0\" Azimuth=\"0\" Offset=\"1;2\"/>");
    EXPECT_TRUE(log.Has("ERROR Invalid value '1;2'! SeparationPlane Offset needs 3 parameters!"));
}

TEST(PlacementFeatures, ControllableAnimation)
{
    ModelRig m("<ControllableAnimation Input=\"TextMenu\" Action=\"Open,Close\" KeyframeData=\"0;100;0;5\"/>");
    EXPECT_TRUE(m.Feature(FeatureControllableAnimation));
    ControllableAnimationData* animation = m.model->GetControllableAnimation(0);
    EXPECT_EQ(animation->InputNames(), (std::vector<std::string>{"Open", "Close"}));
    EXPECT_DOUBLE_EQ(animation->GetStartKeyframe(), 0.0);
    EXPECT_DOUBLE_EQ(animation->GetEndKeyframe(), 101.0);
    EXPECT_DOUBLE_EQ(animation->GetInitialKeyframe(), 0.0);

    LogCapture log;
    ModelRig wrongInput("<ControllableAnimation Input=\"Radio\" Action=\"A\" KeyframeData=\"0;100;0;5\"/>");
    EXPECT_EQ(wrongInput.FeatureCount(), 0);
    EXPECT_TRUE(log.Has("ERROR Invalid Controlled Animation Input Type: 'Radio'!"));
    for (const char* keyframes : {"0;100;0", "0;x;0;5", "0;2147483647;0;5", "0;99999999999;0;5"}) {
        SCOPED_TRACE(keyframes);
        ModelRig bad(std::string("<ControllableAnimation Input=\"TextMenu\" Action=\"A\" KeyframeData=\"") + keyframes +
                     "\"/>");
        ASSERT_NE(bad.model, nullptr);
        EXPECT_EQ(bad.FeatureCount(), 0);
    }
}

TEST(PlacementFeatures, TriggerableAnimation)
{
    const std::string extra = "<SimObject Name=\"Door\"><Placement Lat=\"1\" Lon=\"1\" Alt=\"0\" Hdg=\"0\"/>"
                              "<Placement Lat=\"2\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/><Model SimTitle=\"D\"/></SimObject>" +
                              SimObjectXml("Lamp", "<Model SimTitle=\"L\"/>");
    ModelRig m("<TriggerableAnimation Input=\"TextMenu\" Action=\"Proximity,50\" IgnoreRadiusFilter=\"Yes\" StartKF=\"10\" "
               "EndKF=\"90\" Duration=\"2.5\" SyncStateWith=\"Door;Lamp;Nobody\">"
               "<Sound FileName=\"a.wav\" Loop=\"Yes\" MinDistance=\"1\" MaxDistance=\"50\"/>"
               "<Sound FileName=\"b.wav\" Loop=\"No\" MinDistance=\"1\" MaxDistance=\"50\"/>"
               "<Sound FileName=\"c.wav\" MinDistance=\"1\" MaxDistance=\"50\"/>"
               "<Sound FileName=\"d.wav\" MinDistance=\"1\" MaxDistance=\"50\"/>"
               "</TriggerableAnimation>",
               extra);
    EXPECT_TRUE(m.Feature(FeatureTriggAnimationProximity));
    TriggAnimationData* animation = m.model->GetTriggerableAnimation(3);
    EXPECT_EQ(animation->InputNames(), (std::vector<std::string>{"Proximity", "50"}));
    EXPECT_TRUE(animation->GetIgnoreRadiusFilter());
    EXPECT_DOUBLE_EQ(animation->GetStartKeyframe(), 10.0);
    EXPECT_DOUBLE_EQ(animation->GetEndKeyframe(), 90.0);
    EXPECT_DOUBLE_EQ(animation->GetInitialKeyframe(), 10.0);
    ASSERT_EQ(animation->GetSyncNameCount(), 3u);
    EXPECT_EQ(animation->GetSyncName(0), "Door #1");
    EXPECT_EQ(animation->GetSyncName(1), "Door #2");
    EXPECT_EQ(animation->GetSyncName(2), "Lamp");
    EXPECT_EQ(animation->GetSoundCount(), 3u);

    ModelRig menu("<TriggerableAnimation Input=\"TextMenu\" Action=\"Open\" StartKF=\"-1\" EndKF=\"5\" Duration=\"1\"/>");
    EXPECT_TRUE(menu.Feature(FeatureTriggAnimationTextMenu));
    EXPECT_FALSE(menu.model->GetTriggerableAnimation(3)->IsDefined());

    LogCapture log;
    ModelRig wrong("<TriggerableAnimation Input=\"Radio\" Action=\"Open\"/>");
    EXPECT_EQ(wrong.FeatureCount(), 0);
    EXPECT_TRUE(log.Has("ERROR Invalid Triggerable Animation Input Type: 'Radio'!"));
}

TEST(PlacementFeatures, TriggerableVisibilityTextMenuAndProximity)
{
    ModelRig menu("<TriggerableVisibility Input=\"TextMenu\" Action=\"Show,Hide\" VisibleOnLoad=\"Yes\" "
                  "IgnoreRadiusFilter=\"Yes\"/>");
    EXPECT_TRUE(menu.Feature(FeatureTriggVisibilityTextMenu));
    TriggVisibilityData* data = menu.model->GetTriggVisibility();
    EXPECT_TRUE(data->IsVisibleOnLoad());
    EXPECT_TRUE(data->GetState());
    EXPECT_TRUE(data->IsVisible());
    EXPECT_TRUE(data->GetIgnoreRadiusFilter());

    ModelRig proximity("<TriggerableVisibility Input=\"TextMenu\" Action=\"Proximity,30\" VisibleOnLoad=\"Yes\"/>");
    EXPECT_TRUE(proximity.Feature(FeatureTriggVisibilityProximity));
    EXPECT_TRUE(proximity.model->GetTriggVisibility()->IsVisibleOnLoad());
    EXPECT_TRUE(proximity.model->GetTriggVisibility()->GetState());
    EXPECT_FALSE(proximity.model->GetTriggVisibility()->IsVisible());

    ModelRig hidden("<TriggerableVisibility Input=\"TextMenu\" Action=\"Show\" VisibleOnLoad=\"yes\"/>");
    EXPECT_FALSE(hidden.model->GetTriggVisibility()->IsVisibleOnLoad());
}

TEST(PlacementFeatures, TriggerableVisibilityRadio)
{
    ModelRig radio("<TriggerableVisibility Input=\"RadioTX\" Activation=\"3;122.8\" Action=\"show,appear,hide\" "
                   "TimeParam=\"10;5\" VisibleOnLoad=\"Yes\"/>");
    EXPECT_TRUE(radio.Feature(FeatureTriggVisibilityRadio));
    TriggVisibilityData* data = radio.model->GetTriggVisibility();
    EXPECT_EQ(data->InputNames(), (std::vector<std::string>{"122.8", "show", "appear", "hide"}));
    EXPECT_EQ(data->Parameters(), (std::vector<int32_t>{3, 10, 5}));
    EXPECT_TRUE(data->IsActionGiven());
    EXPECT_TRUE(data->IsVisibleOnLoad());
    EXPECT_TRUE(radio.object->HasVisibleOnLoadModel());

    ModelRig noAction("<TriggerableVisibility Input=\"RadioTX\" Activation=\"3;122.8\" TimeParam=\"10;5\"/>");
    EXPECT_EQ(noAction.model->GetTriggVisibility()->InputNames(), std::vector<std::string>{"122.8"});
    EXPECT_FALSE(noAction.model->GetTriggVisibility()->IsActionGiven());

    for (const char* bad : {"Activation=\"3\" TimeParam=\"10;5\"", "Activation=\"x;122.8\" TimeParam=\"10;5\"",
                            "Activation=\"3;122.8\" TimeParam=\"ten;5\""}) {
        SCOPED_TRACE(bad);
        ModelRig rejected(std::string("<TriggerableVisibility Input=\"RadioTX\" ") + bad + "/>");
        EXPECT_EQ(rejected.FeatureCount(), 0);
        EXPECT_EQ(rejected.model->GetTriggVisibility()->InputNames(), TriggVisibilityData().InputNames());
        EXPECT_TRUE(rejected.model->GetTriggVisibility()->Parameters().empty());
    }

    LogCapture log;
    ModelRig other("<TriggerableVisibility Input=\"Menu\"/>");
    EXPECT_EQ(other.FeatureCount(), 0);
    EXPECT_TRUE(log.Has("ERROR Invalid Triggerable Visibility Input Type: 'Menu'!"));
}

TEST(PlacementFeatures, RandomizedVisibility)
{
    ModelRig m("<RandomizedVisibility PickProbabilityInPercent=\"25\"/>");
    EXPECT_TRUE(m.Feature(FeatureRandomizedVisibility));
    EXPECT_EQ(m.model->GetRandomizedVisibility()->GetPickProbabilityInPercent(), 25);

    LogCapture log;
    ModelRig missing("<RandomizedVisibility/>");
    EXPECT_EQ(missing.FeatureCount(), 0);
    EXPECT_TRUE(log.Has("ERROR PickProbabilityInPercent not specified in RandomizedVisibility element!"));
    ModelRig bad("<RandomizedVisibility PickProbabilityInPercent=\"lots\"/>");
    EXPECT_EQ(bad.FeatureCount(), 0);
    EXPECT_EQ(bad.model->GetRandomizedVisibility()->GetPickProbabilityInPercent(), 100);
}

TEST(PlacementFeatures, GroupFeatureNumbers)
{
    ReaderRig rig;
    rig.Read("<VELK><Group Name=\"G\">"
             "<ControllableAnimation Input=\"TextMenu\" Action=\"Open\" KeyframeData=\"0;10;0;1\"/>"
             "<TriggerableAnimation Input=\"TextMenu\" Action=\"Go\"/>"
             "<TriggerableVisibility Input=\"RadioTX\" Activation=\"2;121.5\" TimeParam=\"5;1\"/>" +
             SimObjectXml("M", "<Model SimTitle=\"X\"/>") + "</Group>"
             "<Group Name=\"H\"><TriggerableVisibility Input=\"TextMenu\" Action=\"Show\"/>" +
             SimObjectXml("N", "<Model SimTitle=\"Y\"/>") + "</Group></VELK>");
    const SimObject* m = rig.Find("Test:M");
    ASSERT_NE(m, nullptr);
    for (int32_t feature : {FeatureGroupControllableAnimation, FeatureGroupTriggAnimationTextMenu,
                            FeatureGroupTriggVisibilityRadio}) {
        EXPECT_TRUE(m->HasObjectFeature(feature)) << feature;
        EXPECT_TRUE(m->GetModel(0)->HasFeature(feature)) << feature;
    }
    EXPECT_FALSE(m->HasObjectFeature(FeatureControllableAnimation));
    EXPECT_TRUE(rig.Find("Test:N")->HasObjectFeature(FeatureGroupTriggVisibilityTextMenu));
}

TEST(PlacementFeatures, GroupTriggerDoesNotHideStaticJetwayBody)
{
    // Only a TriggerableVisibility element clears visible on load; other group features leave the
    // static body of a jetway pair shown.
    ReaderRig rig;
    rig.Read("<VELK><Group Name=\"G\"><RandomizedVisibility PickProbabilityInPercent=\"50\"/>" +
             SimObjectXml("J", "<Model SimTitle=\"Move\" StaticSimTitle=\"Body\"><Jetway InitialState=\"1\"/></Model>") +
             "</Group></VELK>");
    EXPECT_TRUE(rig.Find("Test:J")->GetModel(0)->GetTriggVisibility()->IsVisibleOnLoad());
}

TEST(PlacementFeatures, ReadersCalledDirectly)
{
    tinyxml2::XMLDocument document;
    ASSERT_EQ(document.Parse("<R><GroundPolygonShift ThresholdAltitudeAGL=\"1e999\" ShiftAltitude=\"1\"/></R>"),
              tinyxml2::XML_SUCCESS);
    GroundPolygonShiftData data;
    EXPECT_EQ(PlacementReader::ReadGroundPolygonShift(document.RootElement()->FirstChildElement(), data), 0);
}

}  // namespace
