// Model kinds of the placement reader: probes, density-altitude displays, docking guidance, jetways and
// plain models with timers.
#include "placement_test_support.h"

#include "objects/VDGS.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace placement_testing;

namespace {

const char* kAbsolute = "<Placement Lat=\"47.5\" Lon=\"8.5\" Alt=\"1400\" Hdg=\"90\"/>";

TEST(PlacementModels, ProbeGoesToProbeListWithClients)
{
    ReaderRig rig;
    LogCapture log;
    const int32_t count = rig.Read(
        "<VELK>" +
            SimObjectXml("Probe",
                         "<Model SimTitle=\"ProbeTitle\"><EnvironmentalDataProbe LowVisibilityThreshold=\"800\" "
                         "ClientList=\"Sock;ALL_JETWAYS;Gates;Ghost;Twin\"/></Model>",
                         kAbsolute) +
            SimObjectXml("Sock", "<Model SimTitle=\"S\"/>") +
            "<SimObject Name=\"Twin\"><Placement Lat=\"1\" Lon=\"1\" Alt=\"0\" Hdg=\"0\"/>"
            "<Placement Lat=\"2\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/><Model SimTitle=\"T\"/></SimObject>"
            "<Group Name=\"Gates\">" +
            SimObjectXml("G1", "<Model SimTitle=\"X\"/>") + SimObjectXml("G2", "<Model SimTitle=\"X\"/>") +
            "</Group></VELK>",
        10);
    ASSERT_EQ(rig.probes.Count(), 1);
    const EnviroDataProbe* probe = rig.probes.At(0);
    EXPECT_EQ(probe->GetName(), "Test:Probe");
    EXPECT_EQ(probe->GetRequestId(), 115u);
    EXPECT_EQ(probe->GetLowVisibilityThreshold(), 800);
    EXPECT_TRUE(probe->IsAllJetways());
    EXPECT_EQ(probe->GetClientList(), (std::vector<std::string>{"Sock", "G1", "G2", "Twin #1", "Twin #2"}));
    ASSERT_EQ(probe->GetModelCount(), 1);
    EXPECT_EQ(probe->GetModel(0)->GetSimTitle(), "ProbeTitle");
    EXPECT_EQ(probe->GetModel(0)->GetKeepSimEnabled(), 1);
    EXPECT_TRUE(probe->GetModel(0)->HasFeature(FeatureEnvironmentalDataProbe));
    EXPECT_TRUE(probe->HasObjectFeature(FeatureEnvironmentalDataProbe));
    EXPECT_DOUBLE_EQ(probe->GetAltitude(), 1400.0);
    EXPECT_TRUE(log.Has("WARN Environmental Data Probe 'Probe': Listed Client SimObject 'Ghost' does not exist in the XML!"));

    // The probe never enters the object list; the entries after it continue the request numbers.
    EXPECT_EQ(rig.objects.FindByName("Test:Probe"), nullptr);
    EXPECT_EQ(rig.Find("Test:Sock")->GetRequestId(), 116u);
    EXPECT_EQ(rig.objects.Count(), 5);
    EXPECT_EQ(count, 10 + 1 + 5);
    // Other kinds never keep the simulation enabled.
    EXPECT_EQ(rig.Find("Test:Sock")->GetModel(0)->GetKeepSimEnabled(), 0);
}

TEST(PlacementModels, ProbeWithAglAltitudeRefused)
{
    ReaderRig rig;
    LogCapture log;
    EXPECT_EQ(rig.ReadBody(SimObjectXml("P", "<Model SimTitle=\"X\"><EnvironmentalDataProbe/></Model>")), 0);
    EXPECT_EQ(rig.probes.Count(), 0);
    EXPECT_EQ(rig.objects.Count(), 0);
    EXPECT_TRUE(log.Has("ERROR Environmental Data Probe SimObject 'P' must have absolute value for altitude, not AGL! EDP "
                        "not added!"));
}

TEST(PlacementModels, ProbeDefaultThreshold)
{
    ReaderRig rig;
    rig.ReadBody(SimObjectXml("P", "<Model SimTitle=\"X\"><EnvironmentalDataProbe/></Model>", kAbsolute));
    ASSERT_EQ(rig.probes.Count(), 1);
    EXPECT_EQ(rig.probes.At(0)->GetLowVisibilityThreshold(), 5000);
    EXPECT_TRUE(rig.probes.At(0)->GetClientList().empty());
}

TEST(PlacementModels, DensityAltitudeDisplay)
{
    ReaderRig rig;
    rig.ReadBody(SimObjectXml("D", "<Model SimTitle=\"DA\"><DensityAltitudeDisplay/></Model>"));
    ASSERT_EQ(rig.objects.Count(), 1);
    EXPECT_TRUE(rig.objects.At(0)->HasObjectFeature(FeatureDensityAltitudeDisplay));
    EXPECT_TRUE(rig.objects.At(0)->GetModel(0)->HasFeature(FeatureDensityAltitudeDisplay));
}

TEST(PlacementModels, VdgsPairStopsAndUnits)
{
    ReaderRig rig;
    LogCapture log;
    rig.ReadBody(SimObjectXml(
        "V",
        "<Model SimTitle=\"Dock_APIS_FT\" StaticSimTitle=\"DockBody\">"
        "<VDGS DistanceUnit=\"FT\" CaptureDistance=\"60.5\" LateralOffset=\"1.5\">"
        "<Stop Distance=\"10\" AircraftTypes=\"B737,B747:B737\"/>"
        "<Stop AircraftTypes=\"A320\"/>"
        "<Stop Distance=\"20\" AircraftTypes=\"AIRBUS_SMALL;XYZ1\"/>"
        "</VDGS></Model>"));
    ASSERT_EQ(rig.objects.Count(), 1);
    const SimObject* object = rig.objects.At(0);
    ASSERT_EQ(object->GetModelCount(), 2);
    const SimObjectModel* body = object->GetModel(0);
    const SimObjectModel* display = object->GetModel(1);
    EXPECT_EQ(body->GetSimTitle(), "DockBody");
    EXPECT_EQ(display->GetSimTitle(), "Dock_APIS_FT");
    for (const SimObjectModel* model : {body, display}) {
        EXPECT_TRUE(model->HasFeature(FeatureVDGS));
        EXPECT_TRUE(model->HasFeature(FeatureTriggVisibilityTextMenu));
    }
    EXPECT_TRUE(object->HasObjectFeature(FeatureVDGS));
    EXPECT_TRUE(object->HasObjectFeature(FeatureTriggVisibilityTextMenu));
    EXPECT_TRUE(body->GetTriggVisibility()->IsVisibleOnLoad());
    EXPECT_TRUE(body->GetTriggVisibility()->GetState());
    EXPECT_TRUE(body->GetTriggVisibility()->IsVisible());
    EXPECT_FALSE(display->GetTriggVisibility()->IsVisibleOnLoad());
    EXPECT_FALSE(display->GetTriggVisibility()->GetState());
    EXPECT_FALSE(display->GetTriggVisibility()->IsVisible());

    const VDGS* vdgs = display->GetVDGS();
    EXPECT_DOUBLE_EQ(vdgs->GetApproachRange(), 60.5);
    EXPECT_DOUBLE_EQ(vdgs->GetLateralOffsetBias(), 1.5);
    EXPECT_EQ(vdgs->GetDisplayType(), 1);
    const auto& stops = vdgs->GetStopTable();
    EXPECT_DOUBLE_EQ(stops.at(4), 10.0);
    EXPECT_DOUBLE_EQ(stops.at(5), 10.0);
    for (int32_t code = 12; code <= 15; ++code) EXPECT_DOUBLE_EQ(stops.at(code), 20.0);
    EXPECT_TRUE(log.Has("WARN VDGS SimObject 'V': Model 'Dock_APIS_FT' contains unit! SimTitle needs to be without "
                        "units! Removing unit..."));
    EXPECT_TRUE(log.Has("WARN [VDGS] SimObject 'V', Stop@10.000000: AcftType='B737' was already defined before! Not "
                        "using the stop for this type."));
    EXPECT_TRUE(log.Has("WARN [VDGS] SimObject 'V', Stop@20.000000: AcftType='XYZ1' is not supported by VELK!"));
    EXPECT_EQ(log.Count("WARN [VDGS] SimObject 'V', Stop@10.000000: AcftType='B737' was already defined before! Not "
                        "using the stop for this type."),
              1u);
}

TEST(PlacementModels, VdgsDisplayTitleAndType)
{
    struct Case {
        const char* title;
        const char* unit;
        const char* expected;
        int32_t type;
    };
    const Case cases[] = {
        {"Dock_TrafficLight", "M", "Dock_TrafficLight_M", 2},
        {"Dock_Honeywell_M", "XX", "Dock_Honeywell_M", 3},
        {"Dock_Main", "FT", "Dock_Main_FT", 0},  // "_Main" is no unit
        {"Dock_FT_APIS", "M", "Dock_M", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        ReaderRig rig;
        rig.ReadBody(SimObjectXml("V", std::string("<Model SimTitle=\"") + c.title +
                                           "\" StaticSimTitle=\"B\"><VDGS DistanceUnit=\"" + c.unit +
                                           "\" CaptureDistance=\"50\" LateralOffset=\"0\"/></Model>"));
        ASSERT_EQ(rig.objects.Count(), 1);
        EXPECT_EQ(rig.objects.At(0)->GetModel(1)->GetSimTitle(), c.expected);
        EXPECT_EQ(rig.objects.At(0)->GetModel(1)->GetVDGS()->GetDisplayType(), c.type);
    }
}

TEST(PlacementModels, VdgsWithoutStaticTitleAddsNothing)
{
    ReaderRig rig;
    LogCapture log;
    rig.ReadBody(SimObjectXml("V", "<Model SimTitle=\"Dock\"><VDGS DistanceUnit=\"M\"/></Model><Model SimTitle=\"Other\"/>"));
    ASSERT_EQ(rig.objects.Count(), 1);
    ASSERT_EQ(rig.objects.At(0)->GetModelCount(), 1);
    EXPECT_EQ(rig.objects.At(0)->GetModel(0)->GetSimTitle(), "Other");
    EXPECT_FALSE(rig.objects.At(0)->HasObjectFeature(FeatureVDGS));
    EXPECT_TRUE(log.Has("ERROR VDGS SimObject 'V': Model 'Dock' has no StaticSimTitle Attribute defined!"));
}

TEST(PlacementModels, VdgsDebugObjects)
{
    ReaderRig rig;
    const int32_t count = rig.Read(
        "<VELK>" + SimObjectXml("First", "<Model SimTitle=\"X\"/>") +
            SimObjectXml("V",
                         "<Model SimTitle=\"Dock\" StaticSimTitle=\"B\"><VDGS DistanceUnit=\"M\" CaptureDistance=\"50\" "
                         "LateralOffset=\"2\"><DebugTape/><Stop Distance=\"15\" AircraftTypes=\"B737\"/>"
                         "<Stop AircraftTypes=\"B747\"/><Stop Distance=\"0\" AircraftTypes=\"A320\"/></VDGS></Model>") +
            "</VELK>",
        20);
    // First, tape, two markers, the VDGS itself.
    ASSERT_EQ(rig.objects.Count(), 5);
    EXPECT_EQ(count, 20 + 5);
    const SimObject* tape = rig.Find("Test:Tape_V");
    ASSERT_NE(tape, nullptr);
    EXPECT_EQ(tape->GetModel(0)->GetSimTitle(), "Quorvath_VELK_VDGS_Tape");
    EXPECT_EQ(tape->GetRequestId(), 105u + 20u + 1u);
    EXPECT_TRUE(tape->IsAltitudeAgl());
    EXPECT_TRUE(tape->IsAltitudeZero());
    EXPECT_DOUBLE_EQ(tape->GetHeading(), 90.0);
    EXPECT_NE(tape->GetLatitude(), 47.5);  // moved sideways by the lateral offset of a display facing east
    const SimObject* marker = rig.objects.At(2);
    EXPECT_EQ(marker->GetName(), "Test:Stop_V");
    EXPECT_EQ(marker->GetModel(0)->GetSimTitle(), "Quorvath_VELK_VDGS_NW_Marker");
    EXPECT_EQ(marker->GetRequestId(), 105u + 20u + 2u);
    EXPECT_EQ(rig.objects.At(3)->GetName(), "Test:Stop_V");
    EXPECT_EQ(rig.objects.At(3)->GetRequestId(), 105u + 20u + 3u) << "each marker is answered on its own";
    const LLAData expected = VDGS::StopPoint(47.5, 8.5, 90.0, 15.0, 2.0);
    EXPECT_NEAR(marker->GetLatitude(), expected.GetLatitude(), 1e-12);
    EXPECT_NEAR(marker->GetLongitude(), expected.GetLongitude(), 1e-12);
    // Every entry takes the next number in list order, the display after its debug objects.
    EXPECT_EQ(rig.Find("Test:V")->GetRequestId(), 105u + 20u + 4u);

    // Not with two placements.
    ReaderRig two;
    two.ReadBody("<SimObject Name=\"V\"><Placement Lat=\"1\" Lon=\"1\" Alt=\"0\" Hdg=\"0\"/>"
                 "<Placement Lat=\"2\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/><Model SimTitle=\"Dock\" StaticSimTitle=\"B\">"
                 "<VDGS DistanceUnit=\"M\" CaptureDistance=\"50\" LateralOffset=\"0\"><DebugTape/>"
                 "<Stop Distance=\"15\" AircraftTypes=\"B737\"/></VDGS></Model></SimObject>");
    EXPECT_EQ(two.objects.Count(), 2);
}

// The simulator's answer to a creation finds its object by request number: the tape and markers of a
// display share none with each other or with any entry of a later file, whatever the world's size.
TEST(PlacementModels, VdgsDebugObjectsTakeRequestNumbersNoOtherEntryTakes)
{
    const std::string display = SimObjectXml(
        "V", "<Model SimTitle=\"Dock\" StaticSimTitle=\"B\"><VDGS DistanceUnit=\"M\" CaptureDistance=\"50\" "
             "LateralOffset=\"0\"><DebugTape/><Stop Distance=\"15\" AircraftTypes=\"B737\"/>"
             "<Stop Distance=\"20\" AircraftTypes=\"A320\"/></VDGS></Model>");
    std::string plain;
    for (int i = 0; i < 8; ++i) plain += SimObjectXml("P" + std::to_string(i), "<Model SimTitle=\"Cone\"/>");
    // The later file starts where a world of about 128,000 or 256,000 entries has its entries.
    for (const int32_t later : {4, 127999, 128000, 255999, 256000, 1000000}) {
        SCOPED_TRACE(later);
        ReaderRig rig;
        ASSERT_EQ(rig.Read("<VELK>" + display + "</VELK>", 0, "C:\\xml\\First.xml"), 4);
        rig.Read("<VELK>" + plain + "</VELK>", later, "C:\\xml\\Later.xml");
        ASSERT_EQ(rig.objects.Count(), 12);
        std::set<uint32_t> requests;
        for (int32_t i = 0; i < rig.objects.Count(); ++i)
            EXPECT_TRUE(requests.insert(rig.objects.At(i)->GetRequestId()).second)
                << rig.objects.At(i)->GetName() << " shares request " << rig.objects.At(i)->GetRequestId();
    }
}

// The tape and markers of a display whose offset or stop distance reaches off the globe are refused
// with an ERROR; the display itself stays.
TEST(PlacementModels, VdgsDebugObjectsOffTheGlobeAreNotPlaced)
{
    struct Case {
        const char* what;
        const char* placement;
        const char* lateralOffset;
        const char* distance;
        const char* refused;  // the debug object refused
    };
    const Case cases[] = {
        {"a huge lateral offset at the pole", "<Placement Lat=\"90\" Lon=\"8.5\" Alt=\"0\" Hdg=\"0\"/>", "1e300", "15", "Test:Tape_V"},
        {"a huge stop distance", "<Placement Lat=\"47.5\" Lon=\"8.5\" Alt=\"0\" Hdg=\"90\"/>", "0", "1e300", "Test:Stop_V"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReaderRig rig;
        LogCapture log;
        rig.ReadBody(SimObjectXml("V",
                                  std::string("<Model SimTitle=\"Dock\" StaticSimTitle=\"B\"><VDGS DistanceUnit=\"M\" "
                                              "CaptureDistance=\"50\" LateralOffset=\"") +
                                      c.lateralOffset + "\"><DebugTape/><Stop Distance=\"" + c.distance +
                                      "\" AircraftTypes=\"B737\"/></VDGS></Model>",
                                  c.placement));
        for (int32_t i = 0; i < rig.objects.Count(); ++i) {
            const SimObject* object = rig.objects.At(i);
            EXPECT_TRUE(std::isfinite(object->GetLatitude()) && std::fabs(object->GetLatitude()) <= 90.0)
                << object->GetName();
            EXPECT_TRUE(std::isfinite(object->GetLongitude()) && std::fabs(object->GetLongitude()) <= 180.0)
                << object->GetName();
        }
        EXPECT_NE(rig.Find("Test:V"), nullptr);
        EXPECT_TRUE(log.Has(std::string("ERROR VDGS debug object '") + c.refused +
                            "' would stand off the globe; not placed"));
    }
}

TEST(PlacementModels, JetwayPairMultiIndexAndDoorPoints)
{
    ReaderRig rig;
    rig.ReadBody(SimObjectXml("J", "<Model SimTitle=\"JwMove\" StaticSimTitle=\"JwStatic\">"
                                   "<Jetway MultiIndex=\"-3\" InitialState=\"R;50;R\"/></Model>"));
    ASSERT_EQ(rig.objects.Count(), 1);
    const SimObject* object = rig.objects.At(0);
    ASSERT_EQ(object->GetModelCount(), 2);
    const SimObjectModel* body = object->GetModel(0);
    const SimObjectModel* moving = object->GetModel(1);
    EXPECT_EQ(body->GetSimTitle(), "JwStatic");
    EXPECT_EQ(moving->GetSimTitle(), "JwMove");
    EXPECT_TRUE(object->HasObjectFeature(FeatureJetway));
    EXPECT_TRUE(object->HasObjectFeature(FeatureTriggVisibilityTextMenu));
    EXPECT_TRUE(body->HasFeature(FeatureJetway) && body->HasFeature(FeatureTriggVisibilityTextMenu));
    EXPECT_TRUE(moving->HasFeature(FeatureJetway) && moving->HasFeature(FeatureTriggVisibilityTextMenu));
    EXPECT_TRUE(body->GetTriggVisibility()->IsVisibleOnLoad());
    EXPECT_FALSE(moving->GetTriggVisibility()->IsVisibleOnLoad());
    EXPECT_EQ(object->GetMultiIndex(), 3);
    EXPECT_EQ(body->GetJetway()->GetMultiIndex(), 3);
    EXPECT_EQ(moving->GetJetway()->GetMultiIndex(), 3);
    // Three values are not a count SetDoorPoints takes: it records the count 0 on both models alike.
    EXPECT_EQ(body->GetJetway()->GetRecord().PlacementPointCount, moving->GetJetway()->GetRecord().PlacementPointCount);
}

TEST(PlacementModels, JetwayInitialStateValues)
{
    struct Case {
        const char* state;  // nullptr: attribute absent
        int32_t count;
    };
    const Case cases[] = {{"R;R;R;R", 4}, {nullptr, 4}, {"5;R", 2}, {"R;R;R;R;R", 4}, {"7", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state ? c.state : "(none)");
        ReaderRig rig;
        const std::string attribute = c.state ? std::string(" InitialState=\"") + c.state + "\"" : "";
        rig.ReadBody(SimObjectXml("J", "<Model SimTitle=\"Jw\"><Jetway" + attribute + "/></Model>"));
        ASSERT_EQ(rig.objects.Count(), 1);
        ASSERT_EQ(rig.objects.At(0)->GetModelCount(), 1);
        const JetwayData& record = rig.objects.At(0)->GetModel(0)->GetJetway()->GetRecord();
        EXPECT_EQ(record.PlacementPointCount, c.count);
        if (c.count == 4) {
            const double low[] = {0, 40, 0, 0};
            const double high[] = {15, 75, 100, 20};
            for (int i = 0; i < 4; ++i) {
                EXPECT_GE(record.PlacementPoints[i], low[i]);
                EXPECT_LE(record.PlacementPoints[i], high[i]);
                EXPECT_EQ(record.PlacementPoints[i], std::floor(record.PlacementPoints[i]));
            }
        }
        if (c.count == 2) {
            EXPECT_DOUBLE_EQ(record.PlacementPoints[1], 5.0);
            EXPECT_GE(record.PlacementPoints[3], 40.0);
            EXPECT_LE(record.PlacementPoints[3], 75.0);
        }
        if (c.count == 1) {
            EXPECT_DOUBLE_EQ(record.PlacementPoints[3], 7.0);
        }
    }
}

TEST(PlacementModels, JetwayDrawsFollowTheSeed)
{
    auto read = [](uint32_t seed) {
        ReaderRig rig;
        rig.reader.SetSeedSource([seed] { return seed; });
        rig.ReadBody(SimObjectXml("J", "<Model SimTitle=\"Jw\"><Jetway/></Model>"));
        return rig.objects.At(0)->GetModel(0)->GetJetway()->GetRecord().PlacementPoints;
    };
    EXPECT_EQ(read(7), read(7));
}

TEST(PlacementModels, JetwayWithoutStaticTitle)
{
    ReaderRig rig;
    rig.state.debugMode = true;
    LogCapture log;
    rig.ReadBody(SimObjectXml("J", "<Model SimTitle=\"Jw\"><Jetway InitialState=\"1;2;3;4\"/></Model>"));
    const SimObject* object = rig.objects.At(0);
    ASSERT_EQ(object->GetModelCount(), 1);
    EXPECT_TRUE(object->GetModel(0)->HasFeature(FeatureJetway));
    EXPECT_FALSE(object->GetModel(0)->HasFeature(FeatureTriggVisibilityTextMenu));
    EXPECT_FALSE(object->HasObjectFeature(FeatureTriggVisibilityTextMenu));
    EXPECT_EQ(object->GetModel(0)->GetJetway()->GetRecord().PlacementPoints, (std::array<double, 4>{1, 2, 3, 4}));
    EXPECT_TRUE(log.Has("INFO Jetway SimObject 'J': Model 'Jw' has no StaticSimTitle Attribute defined!"));
}

TEST(PlacementModels, TimerForms)
{
    struct Case {
        const char* timer;
        bool defined;
    };
    // Each number by std::stoi's rules: leading white space and a sign may stand before the digits, and
    // what follows them is ignored.
    const Case cases[] = {{"100;4", true},    {"100", false},    {"100;4;1", false}, {"-5;4", false},
                          {"100;0", false},   {"abc;4", false},  {"0;4", false},     {" 100;\t4", true},
                          {"+100;+4", true},  {"100ms;4 steps", true}, {"+-100;4", false}, {"+;4", false},
                          {";4", false},      {"100;", false},   {"2147483648;4", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timer);
        ReaderRig rig;
        rig.ReadBody(SimObjectXml("T", std::string("<Model SimTitle=\"X\" Timer=\"") + c.timer + "\"/>"));
        ASSERT_EQ(rig.objects.Count(), 1);
        const TimerData* timer = rig.objects.At(0)->GetModel(0)->GetTimer();
        EXPECT_EQ(timer->IsDefined(), c.defined);
        if (c.defined) {
            EXPECT_DOUBLE_EQ(timer->GetSteps(), 4.0);
            EXPECT_NEAR(timer->GetPeriod(), 0.1, 1e-12);
        }
    }
}

TEST(PlacementModels, AircraftTypeTokens)
{
    EXPECT_EQ(ParseVdgsAircraftType(" b737 ").codes, std::vector<int32_t>{4});
    EXPECT_FALSE(ParseVdgsAircraftType("B737").group);
    EXPECT_EQ(ParseVdgsAircraftType("BOEING_LARGE").codes, (std::vector<int32_t>{5, 6, 7, 8, 9}));
    EXPECT_TRUE(ParseVdgsAircraftType("BOEING_LARGE").group);
    EXPECT_EQ(ParseVdgsAircraftType("ALL_ACFT").codes.size(), 47u);
    EXPECT_EQ(ParseVdgsAircraftType("ALL_SMALL").codes, (std::vector<int32_t>{12, 13, 14, 15, 2, 4}));
    EXPECT_EQ(ParseVdgsAircraftType("nope").codes, std::vector<int32_t>{0});
}

}  // namespace
