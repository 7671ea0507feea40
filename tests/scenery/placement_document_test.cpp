// The document level of the placement reader: which files are read, names, placements, request
// numbers, groups, stands and protection zones.
#include "placement_test_support.h"

#include "scenery/RandomSeed.h"
#include "scenery/SceneryLibrary.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <tinyxml2.h>

using namespace placement_testing;

namespace {

const std::string kPlain = SimObjectXml("A", "<Model SimTitle=\"Cone\"/>");

TEST(PlacementDocument, BaseNameCutsFolderAndEveryExtension)
{
    EXPECT_EQ(PlacementReader::BaseName("C:\\a\\b\\file.tar.xml"), "file");
    EXPECT_EQ(PlacementReader::BaseName("plain"), "plain");
    EXPECT_EQ(PlacementReader::BaseName("C:\\a.b\\x"), "x");
}

TEST(PlacementDocument, MixSeedMatchesHandComputedValue)
{
    // Reference computed step by step with 32-bit wrap-around.
    auto reference = [](uint32_t a, uint32_t b, uint32_t c) {
        a -= b; a -= c; a ^= (c >> 13);
        b -= c; b -= a; b ^= (a << 8);
        c -= a; c -= b; c ^= (b >> 13);
        a -= b; a -= c; a ^= (c >> 12);
        b -= c; b -= a; b ^= (a << 16);
        c -= a; c -= b; c ^= (b >> 5);
        a -= b; a -= c; a ^= (c >> 3);
        b -= c; b -= a; b ^= (a << 10);
        c -= a; c -= b; c ^= (b >> 15);
        return c;
    };
    for (auto [a, b, c] : {std::tuple<uint32_t, uint32_t, uint32_t>{0, 0, 0}, {1, 2, 3}, {0xFFFFFFFFu, 7, 0x80000000u}}) {
        EXPECT_EQ(MixSeed(a, b, c), reference(a, b, c));
    }
    EXPECT_NE(MixSeed(1, 2, 3), MixSeed(1, 2, 4));
}

TEST(PlacementDocument, SeededDrawsAreTheMersenneTwistersOwn)
{
    // Past the draws worked out from the seeding's words, on into those of a full generator; and the same
    // ranged draws the jetway door values make.
    for (const uint32_t seed : {0u, 1u, 5489u, 0x80000000u, 0xFFFFFFFFu, MixSeed(1, 2, 3)}) {
        SCOPED_TRACE(seed);
        std::mt19937 reference(seed);
        SeededMt19937 seeded(seed);
        for (int draw = 0; draw < 1500; ++draw) ASSERT_EQ(seeded(), reference()) << "draw " << draw;
        std::mt19937 referenceRanged(seed);
        SeededMt19937 seededRanged(seed);
        for (const auto& [low, high] : {std::pair{0, 15}, {40, 75}, {0, 100}, {0, 20}}) {
            EXPECT_EQ(std::uniform_int_distribution<int32_t>(low, high)(seededRanged),
                      std::uniform_int_distribution<int32_t>(low, high)(referenceRanged));
        }
    }
}

TEST(PlacementDocument, NamesPlacementsAndRequestNumbers)
{
    ReaderRig rig;
    const int32_t count = rig.Read(
        "<VELK>"
        "<SimObject Name=\"Multi\">"
        "<Placement Lat=\"1\" Lon=\"2\" Alt=\"10\" Hdg=\"30\"/>"
        "<Placement Lat=\"3\" Lon=\"4\" Alt=\"20#AGL\" Hdg=\"40\"/>"
        "<Placement Lat=\"5\" Lon=\"6\" Alt=\"0#AGL\" Hdg=\"50\"/>"
        "<Model SimTitle=\"Cone\"/></SimObject>" +
            kPlain + "</VELK>",
        7);
    EXPECT_EQ(count, 7 + 4);
    ASSERT_EQ(rig.objects.Count(), 4);
    const char* names[] = {"Test:Multi #1", "Test:Multi #2", "Test:Multi #3", "Test:A"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rig.objects.At(i)->GetName(), names[i]);
        EXPECT_EQ(rig.objects.At(i)->GetRequestId(), 105u + 7u + static_cast<uint32_t>(i));
    }
    const SimObject* second = rig.objects.At(1);
    EXPECT_DOUBLE_EQ(second->GetLatitude(), 3.0);
    EXPECT_DOUBLE_EQ(second->GetLongitude(), 4.0);
    EXPECT_DOUBLE_EQ(second->GetAltitude(), 20.0);
    EXPECT_DOUBLE_EQ(second->GetHeading(), 40.0);
    EXPECT_TRUE(second->IsAltitudeAgl());
    EXPECT_FALSE(second->IsAltitudeZero());
    EXPECT_DOUBLE_EQ(second->GetSecondPlacement().GetLatitude(), 3.0);
    EXPECT_EQ(rig.objects.At(3)->GetNameSuffix(), "A");
}

TEST(PlacementDocument, AltitudeForms)
{
    struct Case {
        const char* alt;
        double altitude;
        bool agl;
        bool zero;
    };
    const Case cases[] = {
        {"0#AGL", 0.0, true, true},
        {"12.5", 12.5, false, false},
        {"0.000001#AGL", 0.000001, true, true},
        {"0", 0.0, false, false},
        {"0#MSL", 0.0, false, true},
        {"15#agl", 15.0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alt);
        ReaderRig rig;
        rig.ReadBody(SimObjectXml("A", "<Model SimTitle=\"Cone\"/>",
                                  std::string("<Placement Lat=\"1\" Lon=\"2\" Alt=\"") + c.alt + "\" Hdg=\"0\"/>"));
        ASSERT_EQ(rig.objects.Count(), 1);
        EXPECT_DOUBLE_EQ(rig.objects.At(0)->GetAltitude(), c.altitude);
        EXPECT_EQ(rig.objects.At(0)->IsAltitudeAgl(), c.agl);
        EXPECT_EQ(rig.objects.At(0)->IsAltitudeZero(), c.zero);
    }
}

// A slip a scenery author makes is read as it always was and said with the file, the line, the object
// and the attribute: a number followed by other text (its leading number counts), and an element the
// reader does not know (it is passed over with what it holds).
TEST(PlacementDocument, SlipsAreLoggedWithFileAndLine)
{
    const std::string file = "'C:\\xml\\Test.file.xml' line ";
    struct Case {
        const char* what;
        std::string body;  // the second line of the document on
        std::vector<std::string> warnings;
        double latitude, headingDeg, altitudeFt;  // of entry Test:A
    };
    const std::string model = "<Model SimTitle=\"Cone\"/>";
    const std::vector<Case> cases = {
        {"a letter O for a zero in Lat",
         "<SimObject Name=\"A\">\n<Placement Lat=\"48.1OO30\" Lon=\"8.5\" Alt=\"0#AGL\" Hdg=\"90\"/>" + model + "</SimObject>",
         {file + "3: SimObject 'A': Lat='48.1OO30' has text after its number! Read as 48.1."}, 48.1, 90, 0},
        {"a letter in Hdg and a unit in Alt",
         "<SimObject Name=\"A\"><Placement Lat=\"1\" Lon=\"2\"\nAlt=\"12.5ft#AGL\" Hdg=\"2a40\"/>" + model + "</SimObject>",
         {file + "2: SimObject 'A': Hdg='2a40' has text after its number! Read as 2.",
          file + "2: SimObject 'A': Alt='12.5ft#AGL' has text after its number! Read as 12.5."},
         1, 2, 12.5},
        {"blanks after a number are no slip",
         "<SimObject Name=\"A\"><Placement Lat=\" 1 \" Lon=\"2\" Alt=\"3 #AGL\" Hdg=\"4\t\"/>" + model + "</SimObject>",
         {}, 1, 4, 3},
        {"a stop distance with its unit",
         SimObjectXml("A", model, "<Placement Lat=\"1\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/>") +
             "\n<SimObject Name=\"V\"><Placement Lat=\"1\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/><Model SimTitle=\"D\" "
             "StaticSimTitle=\"S\"><VDGS CaptureDistance=\"60\" LateralOffset=\"0\">\n<Stop Distance=\"42m\" "
             "AircraftTypes=\"A320\"/></VDGS></Model></SimObject>",
         {file + "4: SimObject 'V': Distance='42m' has text after its number! Read as 42."}, 1, 0, 0},
        {"unknown elements where a SimObject, a Model and the root hold them; Debug's content is not read",
         "<SimObject Name=\"A\">\n<Placment Lat=\"5\"/><Placement Lat=\"1\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/>\n"
         "<Model SimTitle=\"Cone\"><Jetways/></Model></SimObject>\n<ConditionalVisibility/><Debug><Anything/></Debug>",
         {file + "3: unknown element 'Placment' in 'SimObject' is ignored!",
          file + "4: unknown element 'Jetways' in 'Model' is ignored!",
          file + "5: unknown element 'ConditionalVisibility' in 'VELK' is ignored!"},
         1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReaderRig rig;
        LogCapture log;
        rig.Read("<VELK>\n" + c.body + "</VELK>");
        std::vector<std::string> warnings;
        for (const std::string& line : log.Lines())
            if (line.rfind("WARN ", 0) == 0) warnings.push_back(line.substr(5));
        EXPECT_EQ(warnings, c.warnings);
        const SimObject* a = rig.Find("Test:A");
        ASSERT_NE(a, nullptr);
        EXPECT_DOUBLE_EQ(a->GetLatitude(), c.latitude);
        EXPECT_DOUBLE_EQ(a->GetHeading(), c.headingDeg);
        EXPECT_DOUBLE_EQ(a->GetAltitude(), c.altitudeFt);
    }
}

TEST(PlacementDocument, RootTargetSimSelectsTheFile)
{
    const std::string text = "<VELK><TargetSim ID=\"P3Dv4;P3Dv5\"/>" + kPlain + "</VELK>";
    {
        ReaderRig rig("P3Dv5");
        EXPECT_EQ(rig.Read(text), 1);
        EXPECT_EQ(rig.objects.Count(), 1);
        EXPECT_TRUE(rig.state.targetSimPresent);
        EXPECT_FALSE(rig.state.differentSimulator);
    }
    {
        ReaderRig rig("FSX");
        LogCapture log;
        EXPECT_EQ(rig.Read(text, 3), 3);
        EXPECT_EQ(rig.objects.Count(), 0);
        EXPECT_TRUE(rig.state.differentSimulator);
        EXPECT_TRUE(log.Has("INFO 'C:\\xml\\Test.file.xml' TargetSim [P3Dv4;P3Dv5] is different from current running "
                            "sim [FSX]! Ignoring entire file..."));
    }
    {
        // Exact text: "p3dv5" names no simulator.
        ReaderRig rig("P3Dv5");
        EXPECT_EQ(rig.Read("<VELK><TargetSim ID=\"p3dv5\"/>" + kPlain + "</VELK>"), 0);
    }
}

TEST(PlacementDocument, SimObjectTargetSimDropsOnlyThatObject)
{
    ReaderRig rig("FSX");
    rig.state.debugMode = true;
    LogCapture log;
    const int32_t count = rig.ReadBody(
        "<SimObject Name=\"Other\"><TargetSim ID=\"P3Dv4\"/><Placement Lat=\"1\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/>"
        "<Model SimTitle=\"X\"/></SimObject>"
        "<SimObject Name=\"Mine\"><TargetSim ID=\"P3Dv4;FSX\"/><Placement Lat=\"1\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/>"
        "<Model SimTitle=\"X\"/></SimObject>");
    EXPECT_EQ(count, 1);
    ASSERT_EQ(rig.objects.Count(), 1);
    EXPECT_EQ(rig.objects.At(0)->GetName(), "Test:Mine");
    EXPECT_TRUE(log.Has("INFO SimObject 'Other' ignored due to different target sim [P3Dv4]!"));
    EXPECT_TRUE(log.Has("DEBUG SimObject 'Mine': TargetSim specific SimObject found."));
}

TEST(PlacementDocument, ModelTargetSimReplacesTitleOrDropsObject)
{
    ReaderRig rig("P3Dv5");
    rig.state.debugMode = true;
    LogCapture log;
    rig.ReadBody(SimObjectXml("Good", "<Model SimTitle=\"Generic\"><TargetSim ID=\"FSX\" SimTitle=\"ForFsx\"/>"
                                      "<TargetSim ID=\"P3Dv4;P3Dv5\" SimTitle=\"ForP3D\"/></Model>") +
                 SimObjectXml("Bad", "<Model SimTitle=\"Generic\"><TargetSim ID=\"P3Dv5\"/></Model>"));
    ASSERT_EQ(rig.objects.Count(), 1);
    EXPECT_EQ(rig.objects.At(0)->GetModel(0)->GetSimTitle(), "ForP3D");
    EXPECT_TRUE(log.Has("DEBUG SimObject 'Good': TargetSim specific Model 'ForP3D' found."));
    EXPECT_TRUE(log.Has("ERROR SimObject 'Bad': Model 'Generic' has no TargetSim specific SimTitle Attribute defined!"));
    EXPECT_TRUE(log.Has("INFO SimObject 'Bad' ignored due to no target sim specific simtitle found!"));
}

TEST(PlacementDocument, DebugModeOffLogsNoDebugLines)
{
    ReaderRig rig("FSX");
    LogCapture log;
    rig.ReadBody("<SimObject Name=\"Mine\"><TargetSim ID=\"FSX\"/><Placement Lat=\"1\" Lon=\"2\" Alt=\"0\" Hdg=\"0\"/>"
                 "<Model SimTitle=\"X\"/></SimObject>");
    EXPECT_EQ(rig.objects.Count(), 1);
    EXPECT_FALSE(log.HasPrefix("DEBUG"));
}

TEST(PlacementDocument, MisnamedSimTitleKeepsObjectWithMarkerTitle)
{
    ReaderRig rig;
    LogCapture log;
    rig.ReadBody(SimObjectXml("A", "<Model Simtitle=\"Cone\"/>"));
    ASSERT_EQ(rig.objects.Count(), 1);
    EXPECT_EQ(rig.objects.At(0)->GetModel(0)->GetSimTitle(), "XML_PARSE_ERROR_SIMTITLE_NODE_MISNAMED");
    EXPECT_TRUE(log.Has("ERROR SimObject 'A': A model node has a misnamed 'SimTitle' attribute!"));
}

TEST(PlacementDocument, DebugAndSceneryPathFlags)
{
    ReaderRig rig;
    rig.Read("<VELK SceneryPath=\"Addon Scenery\\Gates\"><Debug>anything</Debug>" + kPlain + "</VELK>");
    EXPECT_TRUE(rig.state.debugFile);
    EXPECT_FALSE(rig.state.noSceneryPath);
    EXPECT_EQ(rig.state.sceneryPath, "Addon Scenery\\Gates");
    rig.Read("<VELK>" + kPlain + "</VELK>");
    EXPECT_TRUE(rig.state.debugFile);  // never cleared by the reader
    EXPECT_TRUE(rig.state.noSceneryPath);
}

TEST(PlacementDocument, ConfigurationMembership)
{
    ReaderRig rig;
    rig.Read("<VELK>" + kPlain + "</VELK>", 0, "C:\\cfg\\a.sdx", 1, 2);
    rig.Read("<VELK>" + kPlain + "</VELK>", 1, "C:\\xml\\b.xml", 0, -1);
    ASSERT_EQ(rig.objects.Count(), 2);
    EXPECT_EQ(rig.objects.At(0)->GetStandMembership(), (std::pair<uint8_t, int32_t>{1, 2}));
    EXPECT_EQ(rig.objects.At(1)->GetStandMembership(), (std::pair<uint8_t, int32_t>{0, -1}));
    EXPECT_EQ(rig.objects.At(0)->GetName(), "a:A");
}

TEST(PlacementDocument, RootIsNotVelk)
{
    ReaderRig rig;
    LogCapture log;
    EXPECT_EQ(rig.Read("<velk>" + kPlain + "</velk>", 4), 4);
    EXPECT_EQ(rig.objects.Count(), 0);
    EXPECT_TRUE(log.Has("WARN 'C:\\xml\\Test.file.xml' is not a valid VELK placement xml file! Ignoring entire file..."));
}

TEST(PlacementDocument, GroupsSetIndexNameAndFeatures)
{
    ReaderRig rig;
    LogCapture log;
    rig.Read("<VELK>" + kPlain +
             "<Group Name=\"G0\"><RandomizedVisibility PickProbabilityInPercent=\"40\"/>" +
             SimObjectXml("M1", "<Model SimTitle=\"One\"/><Model SimTitle=\"Two\"/>") +
             SimObjectXml("M2", "<Model SimTitle=\"Three\"/>") +
             "</Group><Group>" + SimObjectXml("N1", "<Model SimTitle=\"Four\"/>") + "</Group></VELK>");
    ASSERT_EQ(rig.objects.Count(), 4);
    EXPECT_EQ(rig.objects.At(0)->GetGroupIndex(), -1);
    for (int i : {1, 2}) {
        SimObject* member = rig.objects.At(i);
        EXPECT_EQ(member->GetGroupIndex(), 0);
        EXPECT_EQ(member->GetGroupName(), "G0");
        EXPECT_TRUE(member->HasObjectFeature(FeatureRandomizedVisibility));
        for (int m = 0; m < member->GetModelCount(); ++m) {
            EXPECT_EQ(member->GetModel(m)->GetRandomizedVisibility()->GetPickProbabilityInPercent(), 40);
            EXPECT_TRUE(member->GetModel(m)->HasFeature(FeatureRandomizedVisibility));
        }
    }
    EXPECT_FALSE(rig.objects.At(0)->HasObjectFeature(FeatureRandomizedVisibility));
    EXPECT_EQ(rig.objects.At(3)->GetGroupIndex(), 1);
    EXPECT_EQ(rig.objects.At(3)->GetGroupName(), "GROUP>Test:N1");
    EXPECT_TRUE(log.Has("ERROR Group 'Name' attribute undefined! Using 'GROUP>Test:N1' for now..."));
}

TEST(PlacementDocument, GroupDataNeverReachesEntriesOutsideTheGroup)
{
    // The group's probe and its object without placements add no list entry: the group's data must not
    // spill over to the root object before it.
    ReaderRig rig;
    rig.Read("<VELK>" + kPlain +
             "<Group Name=\"G\">" +
             SimObjectXml("P", "<Model SimTitle=\"Probe\"><EnvironmentalDataProbe/></Model>",
                          "<Placement Lat=\"1\" Lon=\"2\" Alt=\"100\" Hdg=\"0\"/>") +
             "<SimObject Name=\"Empty\"><Model SimTitle=\"X\"/></SimObject>" + SimObjectXml("M", "<Model SimTitle=\"Y\"/>") +
             "</Group></VELK>");
    ASSERT_EQ(rig.objects.Count(), 2);
    EXPECT_EQ(rig.probes.Count(), 1);
    EXPECT_EQ(rig.objects.At(0)->GetGroupIndex(), -1);
    EXPECT_EQ(rig.objects.At(1)->GetGroupName(), "G");
}

TEST(PlacementDocument, StandAttributes)
{
    struct Case {
        const char* attributes;
        bool hasData;
        const char* gate;
        int32_t parking;
        const char* designator;
        const char* number;
        bool custom;
        const char* logLine;
    };
    const Case cases[] = {
        {"AfcadICAO=\"LSZH\" AfcadGateName=\"gate a\" AfcadParkingNumber=\"12\" CustomDesignator=\"A;  12\"", true,
         "GATE_A", 12, "A", "12", true, nullptr},
        {"AfcadICAO=\"LSZH\" AfcadGateName=\"GATE_A\" AfcadParkingNumber=\"-7\" CustomDesignator=\"GATE\"", true, "GATE_A",
         7, "GATE", "-7", true, nullptr},
        {"AfcadICAO=\"LSZH\" AfcadGateName=\"GATE_A\" AfcadParkingNumber=\"12\" CustomDesignator=\"A5\"", true, "GATE_A",
         12, "NONE", "0", false,
         "WARN <Stand> CustomDesignator Attribute invalid format 'A5'. Must be 'CustomDesignator;Number'!"},
        {"AfcadICAO=\"LSZH\" AfcadGateName=\"GATE_A\" AfcadParkingNumber=\"12\"", true, "GATE_A", 12, "NONE", "0", false,
         nullptr},
        {"AfcadICAO=\"LSZH\" AfcadParkingNumber=\"12\"", false, "", 0, "", "", false,
         "ERROR <Stand> AFCAD ICAO, GateName and Parking Number must be provided!"},
        {"AfcadICAO=\"LSZH\" AfcadGateName=\"NOWHERE\" AfcadParkingNumber=\"12\"", false, "", 0, "", "", false,
         "ERROR <Stand> AfcadGateName Attribute 'NOWHERE' is not valid!"},
        {"AfcadICAO=\"LSZH\" AfcadGateName=\"GATE_A\" AfcadParkingNumber=\"12b\"", false, "", 0, "", "", false,
         "ERROR <Stand> AfcadParkingNumber Attribute '12b' is not a number!"},
        {"AfcadICAO=\"LSZH\" AfcadGateName=\"GATE_A\" AfcadParkingNumber=\"99999999999\"", false, "", 0, "", "", false,
         "ERROR <Stand> 'LSZH, GATE_A, 99999999999' contains invalid data! Stand is not added."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        ReaderRig rig;
        LogCapture log;
        rig.Read("<VELK>" + kPlain + "<Stand " + c.attributes + ">" + SimObjectXml("S", "<Model SimTitle=\"X\"/>") +
                 "</Stand></VELK>");
        ASSERT_EQ(rig.objects.Count(), 2);
        EXPECT_EQ(rig.objects.At(0)->GetStandData().GetAirportIcao(), "NONE");  // root object untouched
        const StandData& stand = rig.objects.At(1)->GetStandData();
        if (c.hasData) {
            EXPECT_EQ(stand.GetAirportIcao(), "LSZH");
            EXPECT_EQ(stand.GetGateName(), c.gate);
            EXPECT_EQ(stand.GetParkingNumber(), c.parking);
            EXPECT_EQ(stand.GetCustomDesignator(), c.designator);
            EXPECT_EQ(stand.GetCustomNumber(), c.number);
            EXPECT_EQ(stand.HasCustomDesignator(), c.custom);
        } else {
            EXPECT_EQ(stand.GetAirportIcao(), "NONE");
        }
        if (c.logLine != nullptr) {
            EXPECT_TRUE(log.Has(c.logLine));
        }
    }
}

TEST(PlacementDocument, ProtectionZoneFirstOnlyAndOptionalList)
{
    ReaderRig rig;
    const std::string text = "<VELK><SimBubbleUpdateProtectionZone Lat=\"47.1\" Lon=\"8.2\"/>"
                             "<SimBubbleUpdateProtectionZone Lat=\"10\" Lon=\"10\"/></VELK>";
    rig.Read(text);
    ASSERT_EQ(rig.zones.Count(), 1);
    EXPECT_DOUBLE_EQ(rig.zones.At(0)->GetLatitude(), 47.1);
    EXPECT_EQ(rig.reader.ReadPlacementText(0, "x", text, rig.objects, rig.probes, nullptr, 0, -1), 0);
    EXPECT_EQ(rig.zones.Count(), 1);
}

// Files on a temporary machine root.
class PlacementFileTest : public testsupport::MachineRootTest {
protected:
    PlacementFileTest() : MachineRootTest({.label = "placement", .driveC = false}) {}

    void Write(const std::string& relative, const std::string& contents) const { MakeFile(relative, contents); }
};

TEST_F(PlacementFileTest, LoadsFromTheMachineRoot)
{
    Write("c/ProgramData/VELK/xml/Gates.xml", "<?xml version=\"1.0\"?><VELK>" + kPlain + "</VELK>");
    ReaderRig rig;
    EXPECT_EQ(rig.reader.ReadPlacementFile(5, "C:\\ProgramData\\VELK\\xml\\Gates.xml", false, rig.objects, rig.probes,
                                           &rig.zones, 0, -1),
              6);
    ASSERT_EQ(rig.objects.Count(), 1);
    EXPECT_EQ(rig.objects.At(0)->GetName(), "Gates:A");
}

// One reader reads file after file into the same room: a shorter file after a longer one is read alone,
// and a file that cannot be read adds nothing of the file before it.
TEST_F(PlacementFileTest, TheFilesOfOneReaderStayApart)
{
    const std::string object = "<SimObject Name=\"%\"><Placement Lat=\"47\" Lon=\"8\" Alt=\"0\" Hdg=\"0\"/>"
                               "<Model SimTitle=\"T\"/></SimObject>";
    auto named = [&object](const std::string& name) {
        std::string text = object;
        text.replace(text.find('%'), 1, name);
        return text;
    };
    Write("c/x/Long.xml", "<VELK>" + named("A") + named("B") + named("C") + "</VELK>");
    Write("c/x/Short.xml", "<VELK>" + named("D") + "</VELK>");
    ReaderRig rig;
    LogCapture log;
    int32_t count = 0;
    for (const char* path : {"C:\\x\\Long.xml", "C:\\x\\Missing.xml", "C:\\x\\Short.xml"})
        count = rig.reader.ReadPlacementFile(count, path, false, rig.objects, rig.probes, &rig.zones, 0, -1);
    EXPECT_EQ(count, 4);
    std::vector<std::string> names;
    for (int32_t i = 0; i < rig.objects.Count(); ++i) names.push_back(rig.objects.At(i)->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"Long:A", "Long:B", "Long:C", "Short:D"}));
    EXPECT_TRUE(log.Has("ERROR Failed to load file 'C:\\x\\Missing.xml' (the file cannot be read)"));
}

TEST_F(PlacementFileTest, LoadFailures)
{
    Write("c/x/broken.xml", "<VELK><SimObject Name=\"A\">");
    Write("c/x/empty.xml", "");
    Write("c/x/folder.xml/inside.xml", "<VELK/>");
    ReaderRig rig;
    LogCapture log;
    // The line says why: the parser's reason and line, or that the file never reached the parser.
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\x\\missing.xml", "(the file cannot be read)"},
        {"C:\\x\\broken.xml", "(line 1: XML_ERROR_MISMATCHED_ELEMENT: XMLElement name=SimObject)"},
        {"C:\\x\\empty.xml", "(line 0: XML_ERROR_EMPTY_DOCUMENT)"},
        {"C:\\x\\folder.xml", "(the file cannot be read)"},
    };
    for (const auto& [path, why] : cases) {
        EXPECT_EQ(rig.reader.ReadPlacementFile(9, path, false, rig.objects, rig.probes, &rig.zones, 0, -1), 9);
        EXPECT_TRUE(log.Has(std::string("ERROR Failed to load file '") + path + "' " + why)) << path;
    }
    // SDX without an opener, and an opener that fails.
    EXPECT_EQ(rig.reader.ReadPlacementFile(9, "C:\\x\\a.sdx", true, rig.objects, rig.probes, &rig.zones, 1, 0), 9);
    rig.reader.SetSdxOpener([](const std::string&, const std::string&, tinyxml2::XMLDocument&) { return 3; });
    EXPECT_EQ(rig.reader.ReadPlacementFile(9, "C:\\x\\a.sdx", true, rig.objects, rig.probes, &rig.zones, 1, 0), 9);
    EXPECT_EQ(rig.objects.Count(), 0);
}

TEST_F(PlacementFileTest, SdxOpenerGetsFileNameAndPath)
{
    ReaderRig rig;
    std::string seenName;
    std::string seenPath;
    rig.reader.SetSdxOpener([&](const std::string& name, const std::string& path, tinyxml2::XMLDocument& document) {
        seenName = name;
        seenPath = path;
        const std::string text = "<VELK>" + kPlain + "</VELK>";
        return document.Parse(text.c_str()) == tinyxml2::XML_SUCCESS ? 0 : 1;
    });
    EXPECT_EQ(rig.reader.ReadPlacementFile(0, "C:\\cfg\\Menu\\pack.sdx", true, rig.objects, rig.probes, &rig.zones, 1, 3), 1);
    EXPECT_EQ(seenName, "pack.sdx");
    EXPECT_EQ(seenPath, "C:\\cfg\\Menu\\pack.sdx");
    ASSERT_EQ(rig.objects.Count(), 1);
    EXPECT_EQ(rig.objects.At(0)->GetStandMembership(), (std::pair<uint8_t, int32_t>{1, 3}));
}

TEST_F(PlacementFileTest, InactiveSceneryAreaSkipsFile)
{
    Write("c/ProgramData/Microsoft/FSX/scenery.cfg",
          "[General]\nTitle=x\n[Area.001]\nLocal=Addon Scenery\\On\nActive=TRUE\n"
          "[Area.002]\nLocal=Addon Scenery\\Off\nActive=FALSE\n");
    SceneryLibrary library;
    library.Load("FSX");
    ReaderRig rig("FSX");
    rig.state.library = &library;
    LogCapture log;
    EXPECT_EQ(rig.Read("<VELK SceneryPath=\"Addon Scenery\\Off\">" + kPlain + "</VELK>"), 0);
    EXPECT_TRUE(log.Has("INFO Scenery 'Addon Scenery\\Off' is not active in the scenery library. VELK ignores "
                        "'C:\\xml\\Test.file.xml'"));
    EXPECT_EQ(rig.Read("<VELK SceneryPath=\"Addon Scenery\\On\">" + kPlain + "</VELK>"), 1);
    EXPECT_EQ(rig.Read("<VELK>" + kPlain + "</VELK>", 1), 2);  // no SceneryPath: always read
    EXPECT_EQ(rig.objects.Count(), 2);
}

}  // namespace
