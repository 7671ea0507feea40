// The docking guidance stops of placement files: aircraft type tokens, which stop wins for a type, unit
// endings of the display title, and a VDGS read out of an SDX container.
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace placement_testing;
using namespace registry_testing;

namespace {

using StopTable = std::map<int32_t, double>;

std::string VdgsObject(const std::string& stops, const std::string& title = "Dock_Safedock",
                       const std::string& attributes = "CaptureDistance=\"50\" LateralOffset=\"0\"")
{
    return SimObjectXml("V", "<Model SimTitle=\"" + title + "\" StaticSimTitle=\"DockBody\"><VDGS " + attributes +
                                     ">" + stops + "</VDGS></Model>");
}

const VDGS* DisplayVdgs(const SimObjectList& objects)
{
    if (objects.Count() != 1 || objects.At(0)->GetModelCount() != 2) return nullptr;
    return objects.At(0)->GetModel(1)->GetVDGS();
}

std::string StopXml(const char* distance, const char* types)
{
    return std::string("<Stop Distance=\"") + distance + "\" AircraftTypes=\"" + types + "\"/>";
}

TEST(VdgsAircraftTypeTokens, SingleTypesGroupsAndUnknownTokens)
{
    struct Case {
        const char* token;
        std::set<int32_t> codes;
        bool group;
    };
    std::set<int32_t> all;
    for (int32_t code = 1; code <= 47; ++code) all.insert(code);
    const Case cases[] = {
        {"B717", {2}, false},
        {" a320\t", {14}, false},
        {"su95", {47}, false},
        {"AIRBUS_SMALL", {12, 13, 14, 15}, true},
        {"airbus_large", {16, 17, 18, 19}, true},
        {"BOEING_SMALL", {4}, true},
        {"BOEING_LARGE", {5, 6, 7, 8, 9}, true},
        {"ALL_LARGE", {16, 17, 18, 19, 5, 6, 7, 8, 9, 20, 21, 22, 23, 40}, true},
        {"ALL_SMALL", {12, 13, 14, 15, 2, 4}, true},
        {"ALL_REGIONAL", {2, 24, 25, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 41, 42, 43, 44, 45, 46, 47}, true},
        {"ALL_ACFT", all, true},
        {"B737-800", {0}, false},
        {"CRJ700", {0}, false},
        {"", {0}, false},
        {"ALL", {0}, false},
    };
    for (const Case& c : cases) {
        const VdgsAircraftTypes parsed = ParseVdgsAircraftType(c.token);
        EXPECT_EQ(std::set<int32_t>(parsed.codes.begin(), parsed.codes.end()), c.codes) << c.token;
        EXPECT_EQ(parsed.codes.size(), c.codes.size()) << c.token;  // no code twice
        EXPECT_EQ(parsed.group, c.group) << c.token;
    }
}

TEST(VdgsStops, TokensAreSplitAtCommasColonsAndSemicolons)
{
    ReaderRig rig;
    rig.ReadBody(VdgsObject(StopXml("5", "a320, B737: ALL_LARGE")));
    const VDGS* vdgs = DisplayVdgs(rig.objects);
    ASSERT_NE(vdgs, nullptr);
    StopTable expected;
    for (int32_t code : {14, 4, 16, 17, 18, 19, 5, 6, 7, 8, 9, 20, 21, 22, 23, 40}) expected[code] = 5.0;
    EXPECT_EQ(vdgs->GetStopTable(), expected);
}

TEST(VdgsStops, SingleTypeWinsOverGroupInEitherOrder)
{
    StopTable expected;
    for (int32_t code = 1; code <= 47; ++code) expected[code] = 4.5;
    expected[14] = 6.0;
    for (const std::string& stops : {StopXml("4.5", "ALL_ACFT") + StopXml("6.0", "A320"),
                                     StopXml("6.0", "A320") + StopXml("4.5", "ALL_ACFT")}) {
        ReaderRig rig;
        rig.ReadBody(VdgsObject(stops));
        const VDGS* vdgs = DisplayVdgs(rig.objects);
        ASSERT_NE(vdgs, nullptr) << stops;
        EXPECT_EQ(vdgs->GetStopTable(), expected) << stops;
    }
}

TEST(VdgsStops, FirstGroupAndFirstSingleTypeKeepTheirDistance)
{
    ReaderRig rig;
    LogCapture log;
    rig.ReadBody(VdgsObject(StopXml("3", "BOEING_LARGE") + StopXml("7", "ALL_LARGE") + StopXml("8", "A320") +
                            StopXml("9", "A320;B737-800;CRJ700")));
    const VDGS* vdgs = DisplayVdgs(rig.objects);
    ASSERT_NE(vdgs, nullptr);
    const StopTable& stops = vdgs->GetStopTable();
    EXPECT_DOUBLE_EQ(stops.at(5), 3.0);
    EXPECT_DOUBLE_EQ(stops.at(16), 7.0);
    EXPECT_DOUBLE_EQ(stops.at(14), 8.0);
    EXPECT_EQ(stops.count(0), 0u);
    EXPECT_TRUE(log.Has("WARN [VDGS] SimObject 'V', Stop@9.000000: AcftType='A320' was already defined before! Not "
                        "using the stop for this type."));
    EXPECT_TRUE(log.Has("WARN [VDGS] SimObject 'V', Stop@9.000000: AcftType='B737-800' is not supported by VELK!"));
    EXPECT_TRUE(log.Has("WARN [VDGS] SimObject 'V', Stop@9.000000: AcftType='CRJ700' is not supported by VELK!"));
}

TEST(VdgsStops, MetreEndingBecomesFeetWithAWarning)
{
    ReaderRig rig;
    LogCapture log;
    rig.ReadBody(VdgsObject(StopXml("5", "A320"), "Dock_M", "DistanceUnit=\"FT\""));
    ASSERT_EQ(rig.objects.Count(), 1);
    ASSERT_EQ(rig.objects.At(0)->GetModelCount(), 2);
    EXPECT_EQ(rig.objects.At(0)->GetModel(0)->GetSimTitle(), "DockBody");
    EXPECT_EQ(rig.objects.At(0)->GetModel(1)->GetSimTitle(), "Dock_FT");
    EXPECT_TRUE(log.Has("WARN VDGS SimObject 'V': Model 'Dock_M' contains unit! SimTitle needs to be without units! "
                        "Removing unit..."));
    // Without CaptureDistance and LateralOffset the defaults stay.
    EXPECT_DOUBLE_EQ(DisplayVdgs(rig.objects)->GetApproachRange(), 100.0);
    EXPECT_DOUBLE_EQ(DisplayVdgs(rig.objects)->GetLateralOffsetBias(), 0.0);
}

TEST_F(RegistryTest, VdgsStopsAreReadFromAnSdxContainer)
{
    MakeSdx("cfg/Custom.sdx", Configuration("Name=\"Main\" KeyStroke=\"K\" MenuTitle=\"M\""));
    MakeSdx("sdx/Main/Docks.sdx", "<VELK>" + VdgsObject(StopXml("4.5", "ALL_ACFT") + StopXml("6", "A320")) + "</VELK>");
    LoadAll();
    const VDGS* vdgs = DisplayVdgs(objects);
    ASSERT_NE(vdgs, nullptr);
    EXPECT_EQ(vdgs->GetStopTable().size(), 47u);
    EXPECT_DOUBLE_EQ(vdgs->GetStopTable().at(14), 6.0);
    EXPECT_DOUBLE_EQ(vdgs->GetApproachRange(), 50.0);
    EXPECT_EQ(objects.At(0)->GetStandMembership().second, 0);
}

}  // namespace
