// Hostile and broken placement files: logged, skipped, never a crash, and nothing read before is lost.
#include "placement_test_support.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

using namespace placement_testing;

namespace {

const std::string kGood = SimObjectXml("Good", "<Model SimTitle=\"Cone\"/>");

TEST(PlacementHostile, BrokenDocumentsKeepEarlierEntries)
{
    ReaderRig rig;
    ASSERT_EQ(rig.ReadBody(kGood), 1);
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "<Group>";
    const std::string documents[] = {
        "",
        "<VELK>",
        "<VELK><SimObject Name=\"A\"></VELK>",
        "\xff\xfe\x00<<<",
        "<VELK>" + deep,
        "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\">]><VELK>&a;&a;</VELK>",
    };
    LogCapture log;
    for (const std::string& text : documents) {
        EXPECT_EQ(rig.Read(text, 1), 1);
    }
    EXPECT_EQ(rig.objects.Count(), 1);
    EXPECT_EQ(rig.objects.At(0)->GetName(), "Test:Good");
    EXPECT_TRUE(log.HasPrefix("ERROR Failed to load file 'C:\\xml\\Test.file.xml' (line "));
}

TEST(PlacementHostile, DeepButValidNestingIsIgnored)
{
    std::string text = "<VELK>" + kGood;
    for (int i = 0; i < 60; ++i) text += "<Other>";
    for (int i = 0; i < 60; ++i) text += "</Other>";
    text += "</VELK>";
    ReaderRig rig;
    EXPECT_EQ(rig.Read(text), 1);
}

TEST(PlacementHostile, BadPlacementsAreSkippedOneByOne)
{
    ReaderRig rig;
    LogCapture log;
    const int32_t count = rig.ReadBody(
        "<SimObject Name=\"A\">"
        "<Placement Lat=\"1\" Lon=\"2\" Hdg=\"0\"/>"                       // no Alt
        "<Placement Lat=\"abc\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/>"           // not a number
        "<Placement Lat=\"1e999\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/>"         // not finite
        "<Placement Lat=\"95\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/>"            // off the globe
        "<Placement Lat=\"1\" Lon=\"2\" Alt=\"#AGL\" Hdg=\"0\"/>"          // no altitude
        "<Placement Lat=\"1\" Lon=\"2\" Alt=\"5\" Hdg=\"7\"/>"
        "<Model SimTitle=\"X\"/></SimObject>"
        "<SimObject Name=\"NoPlacement\"><Model SimTitle=\"X\"/></SimObject>"
        "<SimObject><Placement Lat=\"1\" Lon=\"2\" Alt=\"5\" Hdg=\"7\"/><Model SimTitle=\"X\"/></SimObject>");
    EXPECT_EQ(count, 1);
    ASSERT_EQ(rig.objects.Count(), 1);
    // One valid placement left: no number suffix.
    EXPECT_EQ(rig.objects.At(0)->GetName(), "Test:A");
    EXPECT_DOUBLE_EQ(rig.objects.At(0)->GetHeading(), 7.0);
    EXPECT_TRUE(log.HasPrefix("ERROR SimObject 'A': Placement Data [0]"));
    EXPECT_TRUE(log.HasPrefix("ERROR SimObject 'A': Placement Data [4]"));
    EXPECT_TRUE(log.HasPrefix("ERROR SimObject 'NoPlacement': Placement Data [0] missing!"));
    EXPECT_TRUE(log.HasPrefix("ERROR 'Test': A SimObject [2] has no 'Name' attribute!"));
}

TEST(PlacementHostile, HugeAndMalformedNumbersNeverEscape)
{
    ReaderRig rig;
    LogCapture log;
    rig.Read("<VELK>" +
             SimObjectXml("P",
                          "<Model SimTitle=\"X\"><EnvironmentalDataProbe LowVisibilityThreshold=\"99999999999999\"/></Model>",
                          "<Placement Lat=\"1\" Lon=\"2\" Alt=\"5\" Hdg=\"7\"/>") +
             SimObjectXml("J", "<Model SimTitle=\"J\"><Jetway MultiIndex=\"-2147483648\" InitialState=\"x;y\"/></Model>") +
             SimObjectXml("K", "<Model SimTitle=\"K\"><Jetway MultiIndex=\"1e99\" InitialState=\"R;R\"/></Model>") +
             SimObjectXml("T", "<Model SimTitle=\"T\" Timer=\"99999999999;2\">"
                               "<RandomizedVisibility PickProbabilityInPercent=\"-5\"/>"
                               "<TriggerableAnimation Input=\"TextMenu\" Action=\"A\" StartKF=\"1\" EndKF=\"zz\" Duration=\"1\">"
                               "<Sound FileName=\"a.wav\" MinDistance=\"9999999999999\" MaxDistance=\"1\"/></TriggerableAnimation>"
                               "<ConditionalVisibility Variable=\"MetVisibility\" ID=\"V\" Value=\"99999999999999999-MAX\"/>"
                               "</Model>") +
             SimObjectXml("V", "<Model SimTitle=\"Dock\" StaticSimTitle=\"B\"><VDGS CaptureDistance=\"1e999\" "
                               "LateralOffset=\"abc\"><Stop Distance=\"1e999\" AircraftTypes=\"B737\"/>"
                               "<Stop Distance=\"5\"/></VDGS></Model>") +
             "<Stand AfcadICAO=\"X\" AfcadGateName=\"GATE_A\" AfcadParkingNumber=\"-2147483648\">" +
             SimObjectXml("S", "<Model SimTitle=\"S\"/>") + "</Stand></VELK>");
    ASSERT_EQ(rig.probes.Count(), 1);
    EXPECT_EQ(rig.probes.At(0)->GetLowVisibilityThreshold(), 5000);
    EXPECT_EQ(rig.Find("Test:J")->GetMultiIndex(), 2147483647);
    EXPECT_EQ(rig.Find("Test:J")->GetModel(0)->GetJetway()->GetRecord().PlacementPointCount, 0);
    EXPECT_EQ(rig.Find("Test:K")->GetMultiIndex(), 1);
    SimObject* t = rig.Find("Test:T");
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(t->GetModel(0)->GetTimer()->IsDefined());
    EXPECT_FALSE(t->HasObjectFeature(FeatureRandomizedVisibility));
    EXPECT_EQ(t->GetModel(0)->GetTriggerableAnimation(3)->GetSoundCount(), 0u);
    EXPECT_FALSE(t->GetModel(0)->GetTriggerableAnimation(3)->IsDefined());
    const SimObject* v = rig.Find("Test:V");
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->GetModel(1)->GetVDGS()->GetStopTable().empty());
    EXPECT_DOUBLE_EQ(v->GetModel(1)->GetVDGS()->GetLateralOffsetBias(), 0.0);
    EXPECT_EQ(rig.Find("Test:S")->GetStandData().GetParkingNumber(), 0);  // INT_MIN refused
    EXPECT_EQ(rig.objects.Count(), 5);
}

TEST(PlacementHostile, MissingAttributesEverywhere)
{
    ReaderRig rig("FSX");
    LogCapture log;
    rig.Read("<VELK><TargetSim/>" + kGood + "</VELK>");
    EXPECT_EQ(rig.objects.Count(), 0);
    EXPECT_TRUE(log.Has("INFO 'C:\\xml\\Test.file.xml' TargetSim [] is different from current running sim [FSX]! "
                        "Ignoring entire file..."));
    rig.Read("<VELK>" +
             SimObjectXml("A", "<Model><TargetSim/><VariableDrivenRotation/><ConditionalVisibility/>"
                               "<ConditionalVisibility><Condition/></ConditionalVisibility>"
                               "<ControllableAnimation/><TriggerableAnimation/><TriggerableVisibility/>"
                               "<GroundPolygonShift/></Model>") +
             "<Stand>" + kGood + "</Stand><SimBubbleUpdateProtectionZone/></VELK>");
    EXPECT_EQ(rig.objects.Count(), 2);
    EXPECT_EQ(rig.zones.Count(), 0);
}

TEST(PlacementHostile, VeryLongTextsAndManyChildren)
{
    const std::string longName(100000, 'N');
    std::string body = SimObjectXml(longName, "<Model SimTitle=\"" + std::string(200000, 'T') + "\"/>");
    for (int i = 0; i < 2000; ++i) body += SimObjectXml("S" + std::to_string(i), "<Model SimTitle=\"X\"/>");
    ReaderRig rig;
    EXPECT_EQ(rig.ReadBody(body), 2001);
    EXPECT_EQ(rig.objects.At(0)->GetNameSuffix(), longName);
    EXPECT_EQ(rig.objects.At(2000)->GetRequestId(), 105u + 2000u);

    // Long list attributes.
    std::string clients;
    for (int i = 0; i < 5000; ++i) clients += "X" + std::to_string(i) + ";";
    ReaderRig probes;
    probes.ReadBody(SimObjectXml("P", "<Model SimTitle=\"P\"><EnvironmentalDataProbe ClientList=\"" + clients +
                                          "\"/></Model>",
                                 "<Placement Lat=\"1\" Lon=\"2\" Alt=\"5\" Hdg=\"7\"/>"));
    EXPECT_EQ(probes.probes.Count(), 1);
}

TEST(PlacementHostile, CountChildElementsSaturates)
{
    tinyxml2::XMLDocument document;
    std::string text = "<R>";
    for (int i = 0; i < 33000; ++i) text += "<A/>";
    text += "<B/></R>";
    ASSERT_EQ(document.Parse(text.c_str()), tinyxml2::XML_SUCCESS);
    EXPECT_EQ(CountChildElements(document.RootElement(), "A"), INT16_MAX);
    EXPECT_EQ(CountChildElements(document.RootElement(), "B"), 1);
    EXPECT_EQ(CountChildElements(nullptr, "B"), 0);
}

}  // namespace
