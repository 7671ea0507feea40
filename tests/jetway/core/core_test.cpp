// JetwayCore without a running motion: part positions, channel scaling, parked pose, setters, copies,
// and the numeric edge cases that must give defined results.
#include "foundation/Units.h"
#include "tests/jetway/core/JetwayTestSupport.h"

#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace jetwaytest;

namespace {

using units::kPi;
constexpr double kMetreInDegrees = 1.0 / 1000.0 / 6378.137 * 180.0 / kPi;

JetwayCore JetwayWithPart(uint32_t type, const char* link, double x, double y, double z)
{
    JetwayCore core;
    JetwayData& r = *core.GetJetwayData();
    r.JetwayType = type;
    r.RootFloorHeight = 4;
    r.RootBridgeOffset = 2;
    r.LegOffsetFromOrigin = 6;
    r.JetwayLatitude = 47;
    r.JetwayLongitude = 8;
    r.JetwayAltitude = 1000;
    r.JetwayHeading = 0;
    r.Parts[0].SetSimTitle("part");
    r.Parts[0].SetLinkTypeFromText(link);
    r.Parts[0].SetOffset(x, y, z);
    return core;
}

TEST(JetwayPartPositions, RootPartLiesBehindTheJetwayAtFloorHeight)
{
    JetwayCore core = JetwayWithPart(kJetwayTypeA, "ROOT", 10, 0, 0);
    const PartPosition p = core.ComputePartPositions(1, 0, 0, 0, 0);
    EXPECT_NEAR(p.latitude, 47 - 10 * kMetreInDegrees, 1e-12);
    EXPECT_NEAR(47 - p.latitude, 0.0000898315, 1e-10);
    EXPECT_NEAR(p.longitude, 8, 1e-12);
    EXPECT_NEAR(p.altitude, 1000 + 4 * 3.28084, 1e-9);
    EXPECT_EQ(p.heading, 0.0);
}

struct PositionCase {
    const char* what;
    uint32_t type;
    const char* link;
    double head, extension, dip, rotation;
    double expectX, expectY, expectHeight;  // metres in the jetway's frame
    double expectPitch, expectBank, expectHeading;
};

// Offset (3, 1, 0.5), F = 4, B = 2, G = 6, jetway heading 0.
const PositionCase kPositionCases[] = {
    {"lower-case head is no link type", kJetwayTypeA, "head", 0.4, 5, 0.1, 0.2, 3, 1, 4.5, 0, 0, 0},
    {"static on A ignores floor height", kJetwayTypeA, "STATIC", 0.4, 5, 0.1, 0.2, 3, 1, 0.5, 0, 0, 0},
    {"static on type 0 keeps floor height", 0, "STATIC", 0.4, 5, 0.1, 0.2, 3, 1, 4.5, 0, 0, 0},
    {"moving bridge on A extends, dips and turns", kJetwayTypeA, "BRIDGE_MOVING", 0, 5, 0, kPi / 2, -1, 3 + 5 + 2,
     4.5, 0, 0, -kPi / 2},
    {"head on N stays at its offset", kJetwayTypeN, "HEAD", 0.4, 5, 0.1, 0.2, 3, 1, 4.5, -std::cos(0.4) * 0.1,
     std::sin(0.4) * 0.1, -0.2 - 0.4},
    {"moving bridge on N runs along Y", kJetwayTypeN, "BRIDGE_MOVING", 0, 5, 0, 0, 3, 1 + 5 + 2, 4.5, 0, 0, 0},
    {"moving bridge on T follows the leg height", kJetwayTypeT, "BRIDGE_MOVING", 0, 5, 0.1, 0, 3, 6,
     std::tan(-0.1) * 4 + 4.5, 0, 0, 0},
};

TEST(JetwayPartPositions, LinkAndJetwayTypeChooseTheRule)
{
    for (const PositionCase& c : kPositionCases) {
        SCOPED_TRACE(c.what);
        JetwayCore core = JetwayWithPart(c.type, c.link, 3, 1, 0.5);
        const PartPosition p = core.ComputePartPositions(1, c.head, c.extension, c.dip, c.rotation);
        EXPECT_NEAR(p.latitude, 47 - c.expectX * kMetreInDegrees, 1e-11);
        EXPECT_NEAR(p.longitude, 8 + c.expectY * kMetreInDegrees / std::cos(47 * kPi / 180), 1e-11);
        EXPECT_NEAR(p.altitude, 1000 + c.expectHeight * 3.28084, 1e-9);
        EXPECT_NEAR(p.pitch, c.expectPitch, 1e-12);
        EXPECT_NEAR(p.bank, c.expectBank, 1e-12);
        EXPECT_NEAR(p.heading, c.expectHeading, 1e-12);
    }
}

TEST(JetwayPartPositions, PartsWithoutTitleOrObjectAreNotWritten)
{
    platform::ScopedManualClock clock;
    simulator::Simulator sim;
    sim.ServeInProcess();
    HANDLE h = OpenClient("parts");
    RegisterLikeTheModule(h);
    const DWORD placed = CreateObject(h, "placed part", 1);
    const DWORD untitled = CreateObject(h, "untitled part", 2);
    JetwayCore core = JetwayWithPart(kJetwayTypeA, "ROOT", 10, 0, 0);
    JetwayData& r = *core.GetJetwayData();
    r.PositionDefinitionId = 3;
    r.Parts[0].SetObjectId(placed);
    r.Parts[1].SetObjectId(untitled);  // no title: skipped
    r.Parts[2].SetSimTitle("not yet created");
    core.SetHandle(h);
    core.WritePartPositions(0, 0, 0, 0);
    EXPECT_NEAR(sim.Number(placed, "PLANE LATITUDE", "degrees").value_or(0), 47 - 10 * kMetreInDegrees, 1e-12);
    EXPECT_NE(sim.Number(untitled, "PLANE LATITUDE", "degrees").value_or(0), 47 - 10 * kMetreInDegrees);
    SimConnect_Close(h);
}

// What the write guard told, for the tests that spoil a record behind the job check's back.
std::vector<std::pair<uint32_t, std::string>> g_refused;
void NoteRefused(uint32_t jetwayId, const char* what) { g_refused.emplace_back(jetwayId, what); }

class WriteGuardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_refused.clear();
        JetwayCore::SetWriteRefusedHandler(&NoteRefused);
        sim.ServeInProcess();
        h = OpenClient("guard");
        RegisterLikeTheModule(h);
        jetwayId = CreateObject(h, "guarded jetway", 1);
        partId = CreateObject(h, "guarded part", 2);
        core = JetwayWithPart(kJetwayTypeA, "BRIDGE_MOVING", 5, 0, 1);
        JetwayData& r = *core.GetJetwayData();
        r.JetwayObjectId = jetwayId;
        r.PositionDefinitionId = 3;
        r.KeyframeCount = 100;
        r.Parts[0].SetObjectId(partId);
        core.SetHandle(h);
    }
    void TearDown() override
    {
        JetwayCore::SetWriteRefusedHandler(nullptr);
        SimConnect_Close(h);
    }

    std::optional<double> Latitude() { return sim.Number(partId, "PLANE LATITUDE", "degrees"); }
    std::optional<double> Longitude() { return sim.Number(partId, "PLANE LONGITUDE", "degrees"); }

    platform::ScopedManualClock clock;
    simulator::Simulator sim;
    HANDLE h = nullptr;
    DWORD jetwayId = 0, partId = 0;
    JetwayCore core;
};

struct SpoiledPosition {
    const char* what;
    void (*spoil)(JetwayData&);
};

TEST_F(WriteGuardTest, APositionNotFiniteOrOffTheGlobeIsNotWrittenAndToldOnce)
{
    const SpoiledPosition cases[] = {
        {"altitude overflows", [](JetwayData& r) { r.JetwayAltitude = 1e308; r.Parts[0].SetOffset(5, 0, 1e308); }},
        {"heading not finite", [](JetwayData& r) { r.JetwayHeading = 1e308; }},
        {"latitude off the globe", [](JetwayData& r) { r.JetwayLatitude = 1e307; }},
        {"longitude blown up at the pole", [](JetwayData& r) {
             r.JetwayLatitude = 90;
             r.Parts[0].SetOffset(0, 5, 1);
         }},
        {"longitude off the globe", [](JetwayData& r) { r.JetwayLongitude = 600; }},
    };
    for (const SpoiledPosition& c : cases) {
        SCOPED_TRACE(c.what);
        g_refused.clear();
        const auto latitude = Latitude();
        const auto longitude = Longitude();
        JetwayData r = core.GetRecord();
        c.spoil(r);
        core.SetJetwayData(r);
        core.WritePartPositions(0, 0, 0, 0);
        core.WritePartPositions(0.1, 1, 0, 0);
        EXPECT_EQ(Latitude(), latitude);
        EXPECT_EQ(Longitude(), longitude);
        EXPECT_EQ(core.GetRefusedWrites(), 2u);
        ASSERT_EQ(g_refused.size(), 1u);  // once, not at every write
        EXPECT_EQ(g_refused[0].first, jetwayId);
        EXPECT_EQ(g_refused[0].second, "part position not finite, off the globe or overturned");
        core.SetJetwayData(JetwayWithPart(kJetwayTypeA, "BRIDGE_MOVING", 5, 0, 1).GetRecord());
        core.GetJetwayData()->JetwayObjectId = jetwayId;
        core.GetJetwayData()->PositionDefinitionId = 3;
        core.GetJetwayData()->Parts[0].SetObjectId(partId);
    }
}

TEST_F(WriteGuardTest, AnAnimationValueNotFiniteIsNotWritten)
{
    core.GetJetwayData()->ExtensionChannel = 12;
    core.WriteAnimation();
    ASSERT_EQ(sim.Number(jetwayId, "VELOCITY WORLD X", "Number"), 12.0);
    core.GetJetwayData()->ExtensionChannel = 1e308;
    core.GetJetwayData()->DipChannel = 1e308 * 10.0;
    core.WriteAnimation();
    EXPECT_EQ(sim.Number(jetwayId, "VELOCITY WORLD X", "Number"), 12.0);
    ASSERT_EQ(g_refused.size(), 1u);
    EXPECT_EQ(g_refused[0].second, "animation value not finite");
}

TEST_F(WriteGuardTest, APartJustPastTheAntimeridianIsWrittenOnTheOtherSide)
{
    JetwayData& r = *core.GetJetwayData();
    r.JetwayLongitude = 180.0;
    r.JetwayHeading = 0.0;  // the part's side offset lies east
    r.Parts[0].SetOffset(0, 5, 1);
    core.WritePartPositions(0, 0, 0, 0);
    const auto longitude = Longitude();
    ASSERT_TRUE(longitude.has_value());
    EXPECT_LT(*longitude, -179.99);
    EXPECT_GE(*longitude, -180.0);
    EXPECT_EQ(core.GetRefusedWrites(), 0u);
    EXPECT_TRUE(g_refused.empty());
}

TEST(JetwayScaling, ValuesStayWithinZeroAndTheKeyframeCount)
{
    JetwayCore core;
    JetwayData& r = *core.GetJetwayData();
    r.BridgeLengthRange = {10, 30};
    r.LegLengthRange = {2, 6};
    r.RootSweepRange = {-90, 90};
    EXPECT_DOUBLE_EQ(core.ScaleExtension(20), 50);
    EXPECT_EQ(core.ScaleExtension(40), 100);
    EXPECT_EQ(core.ScaleExtension(5), 0);
    EXPECT_EQ(core.ScaleExtension(std::nan("")), 0);
    EXPECT_DOUBLE_EQ(core.ScaleLeg(2), 100);  // the leg scale runs from the second limit to the first
    EXPECT_EQ(core.ScaleLeg(6), 0);
    EXPECT_DOUBLE_EQ(core.ScaleRoot(0), 50);
    EXPECT_DOUBLE_EQ(core.ScaleStair(kPi / 4), 50);
    EXPECT_DOUBLE_EQ(core.ScaleHood(kPi / 8), 50);
    bool clamped = false;
    r.HeadSweepRange = {-90, 90};
    core.ScaleHead(kPi, clamped);
    EXPECT_TRUE(clamped);
    core.ScaleHead(0.1, clamped);
    EXPECT_FALSE(clamped);
    EXPECT_NEAR(core.QuantizeHead(0.02), kPi / 100, 1e-12);  // keyframe 50.64 rounds to 51
    EXPECT_NEAR(core.QuantizeHead(0.013), 0, 1e-12);         // 50.41 rounds to 50
}

TEST(JetwayScaling, ZeroWidthRangeScalesToZeroAndGivesNoDuration)
{
    JetwayCore core;
    JetwayData& r = *core.GetJetwayData();
    r = ConfiguredRecord(kJetwayTypeA);
    r.BridgeLengthRange = {20, 20};
    r.JetwayObjectId = 0;
    EXPECT_EQ(core.ScaleExtension(25), 0);
    core.ComputeParkedPose();
    r.TargetExtension = 25;
    core.StartMotion();
    EXPECT_EQ(core.GetExtensionDurationMs(), 0.0);
    EXPECT_EQ(core.GetIncrements().extension, 0.0);
    EXPECT_TRUE(std::isfinite(core.GetIncrements().partExtension));
    core.StopMotion();
}

TEST(JetwayScaling, WheelRadiusZeroTurnsNoWheel)
{
    JetwayCore core;
    JetwayData& r = *core.GetJetwayData();
    r = ConfiguredRecord(kJetwayTypeA);
    r.WheelRadius = 0;
    core.ComputeParkedPose();
    r.TargetExtension = 25;
    r.TargetRootRotation = 0.5;
    core.StartMotion();
    EXPECT_EQ(core.GetIncrements().wheelExtend, 0.0);
    EXPECT_EQ(core.GetIncrements().wheelRotate, 0.0);
    core.StopMotion();
}

TEST(JetwayGeometry, OutOfDomainArgumentsGiveDefinedAngles)
{
    JetwayCore core;
    JetwayData& r = *core.GetJetwayData();
    r.RootFloorHeight = 4;
    r.StairLength = 0;
    EXPECT_DOUBLE_EQ(core.StairAngle(10, 0.1), kPi / 2 - 0.1);
    r.RootFloorHeight = -20;  // far below the stair's reach
    r.StairLength = 5;
    EXPECT_DOUBLE_EQ(core.StairAngle(10, 0), -kPi / 2);
    r.StairLength = 0;
    EXPECT_TRUE(std::isfinite(core.StairAngle(10, 0)));
    r.SavedPose.legLength = 1;
    r.RootFloorHeight = 10;  // more floor height than the leg and extension reach
    EXPECT_TRUE(std::isfinite(core.WheelArcRadius()));
}

TEST(JetwayGeometry, HoodAngleOfADoorCloserThanHalfTheHoodIsClamped)
{
    platform::ScopedManualClock clock;
    JetwayCore core;
    JetwayData& r = *core.GetJetwayData();
    r = ConfiguredRecord(kJetwayTypeT);
    r.PlacementPointCount = 2;
    r.PlacementPoints = {0, 50, 0, 25};
    core.ComputeParkedPose();
    r.HoodMovableHeight = 3;
    r.DoorValue4 = 0.5;   // h / (2 d) = 3: beyond acos's domain
    r.DoorValue5 = 0.0;   // h / 0
    r.TargetExtension = 16;
    r.TargetLegLength = core.LegLength(16, 0);
    r.Moving = true;
    core.StartMotion();
    for (int i = 0; i < 500 && core.IsMoving(); ++i) clock.clock().Advance(i == 0 ? 0 : 40);
    EXPECT_FALSE(core.IsMoving());
    // base pi/2 - acos(1) = pi/2: twice the hood range, so the whole keyframe count (a NaN would give 0).
    EXPECT_EQ(core.GetStateWord().GetBits(17, 23), 100u);
    EXPECT_EQ(core.GetStateWord().GetBits(24, 30), 100u);
}

TEST(JetwayCoreObject, SettersKeepTheirRules)
{
    JetwayCore core;
    // The wheel channel stays within 0..100 for a step of any size: 100 off as often as it takes.
    const struct {
        double value;
        double stored;
    } wheel[] = {{130, 30},  {-20, 80},  {0, 0},     {100, 100}, {250, 50},   {-250, 50},
                 {1000, 100}, {-300, 0}, {1e12 + 7, 7}, {-1e-300, 100}, {std::nan(""), 0}, {-HUGE_VAL, 0}};
    for (const auto& w : wheel) {
        core.SetWheelChannel(w.value);
        EXPECT_EQ(core.GetWheelChannel(), w.stored) << w.value;
    }

    core.SetDoorPoints({1, 2, 3, 4});
    core.SetDoorPoints({7, 8, 9});
    EXPECT_EQ(core.GetRecord().PlacementPointCount, 0);
    EXPECT_EQ(core.GetRecord().PlacementPoints, (std::array<double, 4>{1, 2, 3, 4}));
    core.SetDoorPoints({5});
    EXPECT_EQ(core.GetRecord().PlacementPointCount, 1);
    EXPECT_EQ(core.GetRecord().PlacementPoints[3], 5);
    core.SetDoorPoints({6, 7});
    EXPECT_EQ(core.GetRecord().PlacementPoints, (std::array<double, 4>{1, 6, 3, 7}));
    core.SetDoorPoints4(10, 20, 30, 40);
    EXPECT_EQ(core.GetRecord().PlacementPointCount, -1);

    core.SetDockingValues(15, 2.4, 0.3, 4, 5);
    EXPECT_EQ(core.GetDoorHalfHeight(), 1.2);
    EXPECT_EQ(core.GetRecord().DoorAngle, 15);
    EXPECT_EQ(core.GetRecord().DoorValue5, 5);

    EXPECT_FALSE(core.HasPart(0));
    EXPECT_FALSE(core.HasPart(7));
    core.GetJetwayData()->Parts[5].SetSimTitle("six");
    core.GetJetwayData()->Parts[5].SetInjected(true);
    EXPECT_TRUE(core.HasPart(6));
    EXPECT_TRUE(core.IsPartInjected(6));
}

TEST(JetwayCoreObject, ParkedPoseFollowsTypeAndPointCount)
{
    JetwayCore core;
    JetwayData& r = *core.GetJetwayData();
    r = ConfiguredRecord(kJetwayTypeA);
    r.PlacementPointCount = 1;  // type A uses its four values only
    core.ComputeParkedPose();
    EXPECT_NEAR(r.SavedPose.rootRotation, -kPi / 2, 1e-12);
    EXPECT_NEAR(r.SavedPose.head, 0, 1e-12);  // 50 %
    EXPECT_NEAR(r.SavedPose.extension, 10, 1e-12);
    EXPECT_EQ(r.TargetExtension, r.SavedPose.extension);
    EXPECT_DOUBLE_EQ(r.ExtensionChannel, 0);

    r.JetwayType = kJetwayTypeN;
    r.PlacementPointCount = 1;
    r.PlacementPoints = {0, 0, 0, 50};
    r.StateWord.SetBits(17, 30, 0x3FFF);
    r.Moving = true;
    const JetwayAnimation animation = core.ComputeParkedPose();
    EXPECT_FALSE(r.Moving);
    EXPECT_EQ(r.SavedPose.dip, 0);
    EXPECT_NEAR(r.SavedPose.extension, 20, 1e-12);
    EXPECT_EQ(r.SavedPose.rootRotation, 0);
    EXPECT_EQ(r.StateWord.GetBits(17, 30), 0u);
    EXPECT_DOUBLE_EQ(animation[2], 50);
    EXPECT_DOUBLE_EQ(r.SavedPose.legLength, core.LegLength(20, 0));
}

TEST(JetwayCoreObject, ACopyHasItsOwnRecordAndNoTimer)
{
    platform::ScopedManualClock clock;
    JetwayCore first;
    *first.GetJetwayData() = ConfiguredRecord(kJetwayTypeA);
    first.GetJetwayData()->JetwayObjectId = 0;
    first.ComputeParkedPose();
    first.GetJetwayData()->TargetExtension = 25;
    first.StartMotion();
    ASSERT_TRUE(first.HasLiveTimer());

    JetwayCore copy(first);
    EXPECT_FALSE(copy.HasLiveTimer());
    copy.SetPhase(9);
    EXPECT_NE(first.GetPhase(), 9u);

    JetwayCore assigned;
    assigned = first;
    EXPECT_FALSE(assigned.HasLiveTimer());
    first.StopMotion();
}

}  // namespace
