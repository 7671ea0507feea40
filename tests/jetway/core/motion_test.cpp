// The jetway motion on the manual clock: phase order, reports, channels at the end, abort.
#include "tests/jetway/core/JetwayTestSupport.h"

#include "platform/clock.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <sstream>

using namespace jetwaytest;

namespace {

struct MotionCase {
    const char* name;
    uint32_t type;
    bool retractFirst;
    bool levelFirst;
    bool splitRotation;
    double legOffsetFromOrigin;
    const char* docking;    // phases in order, "I" where an Intermediate report is sent
    const char* undocking;
    int wheelWhileExtending;  // the wheels' turn in phase 14 of the docking: +1 forward, -1 back, 0 none
};

// The bridge extends from 20 m (parked) or from 12 m (retracted first) to 22 m; a retract-first docking
// turns the wheels back while it extends.
const MotionCase kCases[] = {
    {"A plain", kJetwayTypeA, false, false, false, 0, "5 3 I 16 6 14 17 1", "14 I 7 16 13 6 2 1", 1},
    {"A split", kJetwayTypeA, false, false, true, 0, "5 11 I 16 6 2 14 8 12 I 9 17 1",
     "10 12 I 9 14 I 7 16 11 6 2 1", 1},
    {"A level first", kJetwayTypeA, false, true, false, 0, "4 5 13 I 16 6 2 14 17 1", "14 I 2 7 16 13 6 4 1", 1},
    {"A retract first", kJetwayTypeA, true, false, false, 0, "15 5 3 I 16 6 14 17 1", "14 I 7 16 13 6 2 15 1", -1},
    {"A all flags", kJetwayTypeA, true, true, true, 0, "15 4 5 11 I 16 6 2 14 8 12 I 9 17 1",
     "10 12 I 9 14 I 2 7 16 11 6 4 15 1", -1},
    {"H plain", kJetwayTypeH, false, false, false, 0, "5 3 I 16 6 14 17 1", "14 I 7 16 13 6 2 1", 0},
    {"N level bridge", kJetwayTypeN, false, false, false, 0, "14 1", "14 I 1", 0},
    {"N with leg offset", kJetwayTypeN, false, false, false, 3, "2 I 14 1", "14 I 2 1", 0},
    {"N ignores split on undocking", kJetwayTypeN, false, false, true, 3, "2 I 14 1", "14 I 2 1", 0},
    {"T with leg offset", kJetwayTypeT, false, false, false, 3, "2 I 14 1", "14 I 2 1", 0},
    {"T without leg offset lifts back", kJetwayTypeT, false, false, false, 0, "2 I 14 1", "14 I 2 1", 0},
};

bool IsMachineA(uint32_t type) { return type == kJetwayTypeA || type == kJetwayTypeH; }

class MotionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        JetwayCore::ResetOutChannel();
        sim.ServeInProcess();
        h = OpenClient("motion");
        RegisterLikeTheModule(h);
        jetwayId = CreateObject(h, "Test Jetway", 1);
        partId = CreateObject(h, "Test Jetway Bridge", 2);
        ASSERT_NE(jetwayId, 0u);
        ASSERT_NE(partId, 0u);
        Drain(h);
    }
    void TearDown() override { SimConnect_Close(h); }

    // A parked jetway with one moving bridge part and a docking job.
    std::unique_ptr<JetwayCore> DockingJob(const MotionCase& c)
    {
        auto core = std::make_unique<JetwayCore>();
        JetwayData r = ConfiguredRecord(c.type);
        r.RetractFirst = c.retractFirst;
        r.LevelFirst = c.levelFirst;
        r.SplitRotation = c.splitRotation;
        r.LegOffsetFromOrigin = c.legOffsetFromOrigin;
        r.JetwayObjectId = jetwayId;
        if (c.levelFirst) r.PlacementPoints[1] = 60;  // parked with the bridge raised by 2 degrees
        if (!IsMachineA(c.type)) {
            r.PlacementPointCount = 2;
        }
        r.Parts[0].SetSimTitle("Test Jetway Bridge");
        r.Parts[0].SetLinkTypeFromText("BRIDGE_MOVING");
        r.Parts[0].SetOffset(5, 0, 1);
        r.Parts[0].SetObjectId(partId);
        core->SetJetwayData(r);
        core->SetHandle(h);
        core->ComputeParkedPose();
        const bool levelBridge = c.type == kJetwayTypeN && c.legOffsetFromOrigin == 0;
        if (IsMachineA(c.type)) {
            SetTargets(*core, 0.3, 0.05, -0.2, 22.0, 12.0);
        } else {
            SetTargets(*core, 0, levelBridge ? 0.0 : 0.05, 0, 22.0, 0);
        }
        core->GetJetwayData()->Moving = true;
        return core;
    }

    struct Run {
        std::string phases;
        std::vector<SIMCONNECT_RECV_EVENT> done;
        int ticks = 0;
        std::map<uint32_t, int> ticksInPhase;
        double wheelInPhase14 = 0;  // keyframes turned, each tick's step taken the short way round
    };

    // Ticks one period at a time until the Done report arrives.
    Run RunToEnd(JetwayCore& core)
    {
        Run run;
        std::ostringstream text;
        text << core.GetPhase();
        uint32_t last = core.GetPhase();
        for (int i = 0; i < 5000 && run.done.empty(); ++i) {
            const uint32_t phase = core.GetPhase();
            const double wheel = core.GetWheelChannel();
            clock.clock().Advance(i == 0 ? 0 : core.GetRecord().PeriodMs);
            ++run.ticks;
            ++run.ticksInPhase[phase];
            if (phase == 14) run.wheelInPhase14 += std::remainder(core.GetWheelChannel() - wheel, 100.0);
            EXPECT_GE(core.GetHoodChannel(), -1e-9) << "tick " << i;
            EXPECT_LE(core.GetHoodChannel(), 50 + 1e-9) << "tick " << i;
            for (const auto& e : Events(Drain(h))) {
                if (e.uEventID == kIntermediateEvent) {
                    EXPECT_EQ(e.dwData, jetwayId);
                    text << " I";
                }
                if (e.uEventID == kDoneEvent) run.done.push_back(e);
            }
            if (run.done.empty() && core.GetPhase() != last) {
                last = core.GetPhase();
                text << " " << last;
            }
        }
        run.phases = text.str();
        return run;
    }

    JetwayData OutArea(int channel)
    {
        JetwayData r;
        auto bytes = sim.ClientData("VELK.JetwayData.Out." + std::to_string(channel));
        EXPECT_TRUE(bytes.has_value());
        if (bytes) {
            EXPECT_TRUE(DecodeJetwayData(bytes->data(), bytes->size(), r));
        }
        return r;
    }

    double ObjectNumber(DWORD id, const char* name, const char* unit = "Number")
    {
        return sim.Number(id, name, unit).value_or(-999999.0);
    }

    platform::ScopedManualClock clock;
    simulator::Simulator sim;
    HANDLE h = nullptr;
    DWORD jetwayId = 0;
    DWORD partId = 0;
};

class MotionCases : public MotionTest, public ::testing::WithParamInterface<MotionCase> {};

TEST_P(MotionCases, DockingThenUndockingRunTheirPhasesAndEndAtTargetAndParkedPose)
{
    const MotionCase& c = GetParam();
    auto docking = DockingJob(c);
    const JetwayData job = docking->GetRecord();
    const JetwayPose parked = docking->GetSavedPose();
    docking->StartMotion();
    EXPECT_TRUE(docking->IsMoving());
    EXPECT_TRUE(docking->GetStateWord().TestBit(0));

    Run run = RunToEnd(*docking);
    EXPECT_EQ(run.phases, c.docking);
    ASSERT_EQ(run.done.size(), 1u);
    EXPECT_EQ(run.done[0].dwData, jetwayId * 10 + 1);
    // The extension sweeps its keyframes at BridgeExtensionTime seconds per 100, one tick per period.
    const double extensionStart = c.retractFirst ? job.ExtensionVia : job.CurrentPose.extension;
    const double sweepMs = std::fabs(docking->ScaleExtension(extensionStart) -
                                     docking->ScaleExtension(job.TargetExtension)) *
                           job.BridgeExtensionTime / 100.0 * 1000.0;
    EXPECT_EQ(run.ticksInPhase[14], std::max(1, static_cast<int>(std::ceil(sweepMs / job.PeriodMs))));
    EXPECT_EQ(run.wheelInPhase14 > 1e-9 ? 1 : run.wheelInPhase14 < -1e-9 ? -1 : 0, c.wheelWhileExtending);

    // The channels stand at the targets; the record went whole into Out area 1.
    const JetwayData& d = docking->GetRecord();
    EXPECT_FALSE(d.Moving);
    EXPECT_TRUE(d.Docked);
    EXPECT_EQ(d.Phase, 0u);
    EXPECT_FALSE(d.StateWord.TestBit(0));
    EXPECT_TRUE(d.StateWord.TestBit(2));
    EXPECT_FALSE(docking->HasLiveTimer());
    const double stairTarget = docking->StairAngle(job.TargetExtension, job.TargetDip);
    EXPECT_NEAR(d.ExtensionChannel, docking->ScaleExtension(job.TargetExtension), 1e-6);
    EXPECT_NEAR(d.DipChannel, docking->ScaleDip(job.TargetDip), 1e-6);
    EXPECT_NEAR(d.LegChannel, docking->ScaleLeg(job.TargetLegLength), 1e-6);
    EXPECT_NEAR(d.StairChannel, docking->ScaleStair(stairTarget), 1e-6);
    if (IsMachineA(c.type)) {
        EXPECT_NEAR(d.RotationChannel, docking->ScaleRoot(job.TargetRootRotation), 1e-6);
        EXPECT_NEAR(d.HeadChannel, docking->ScaleHead(job.TargetHead), 1e-6);
        EXPECT_NEAR(d.PartRotation, job.TargetRootRotation, 1e-9);
        EXPECT_NEAR(d.PartHead, job.TargetHead, 1e-9);
    }
    EXPECT_NEAR(d.PartExtension, job.TargetExtension, 1e-9);
    EXPECT_NEAR(d.PartDip, job.TargetDip, 1e-9);

    const JetwayData out = OutArea(1);
    EXPECT_TRUE(out.Docked);
    EXPECT_FALSE(out.Moving);
    EXPECT_EQ(out.OutChannel, 1u);
    EXPECT_EQ(out.ClientDataAreaId, 242424u);
    EXPECT_EQ(out.ExtensionChannel, d.ExtensionChannel);

    // The simulator holds the last animation and part position.
    EXPECT_DOUBLE_EQ(ObjectNumber(jetwayId, "VELOCITY BODY Z"), d.LegChannel);
    EXPECT_DOUBLE_EQ(ObjectNumber(jetwayId, "VELOCITY WORLD X"), d.ExtensionChannel);
    EXPECT_DOUBLE_EQ(ObjectNumber(jetwayId, "ACCELERATION BODY Y"), d.HeadChannel);
    EXPECT_DOUBLE_EQ(ObjectNumber(jetwayId, "VELOCITY WORLD Z"), d.StateWord.ToDouble());
    const PartPosition bridge = docking->ComputePartPositions(1, d.PartHead, d.PartExtension, d.PartDip, d.PartRotation);
    EXPECT_NEAR(ObjectNumber(partId, "PLANE LATITUDE", "degrees"), bridge.latitude, 1e-9);
    EXPECT_NEAR(ObjectNumber(partId, "PLANE LONGITUDE", "degrees"), bridge.longitude, 1e-9);

    // Nothing ticks after the report.
    clock.clock().Advance(400);
    EXPECT_TRUE(Events(Drain(h)).empty());

    // The reported record comes back as the undocking job.
    JetwayCore undocking;
    undocking.SetJetwayData(out);
    undocking.SetHandle(h);
    undocking.GetJetwayData()->Moving = true;
    undocking.StartMotion();
    EXPECT_EQ(undocking.GetStateWord().GetBits(17, 30), 0u);
    run = RunToEnd(undocking);
    EXPECT_EQ(run.phases, c.undocking);
    // The undocking retracts over the same ticks, the wheels turning the other way.
    EXPECT_EQ(run.ticksInPhase[14], std::max(1, static_cast<int>(std::ceil(sweepMs / job.PeriodMs))));
    EXPECT_EQ(run.wheelInPhase14 > 1e-9 ? -1 : run.wheelInPhase14 < -1e-9 ? 1 : 0, c.wheelWhileExtending);
    ASSERT_EQ(run.done.size(), 1u);
    EXPECT_EQ(run.done[0].dwData, jetwayId * 10 + 2);

    const JetwayData& u = undocking.GetRecord();
    EXPECT_FALSE(u.Docked);
    EXPECT_FALSE(u.StateWord.TestBit(2));
    EXPECT_NEAR(u.ExtensionChannel, undocking.ScaleExtension(parked.extension), 1e-6);
    EXPECT_NEAR(u.DipChannel, undocking.ScaleDip(parked.dip), 1e-6);
    EXPECT_NEAR(u.RotationChannel, undocking.ScaleRoot(parked.rootRotation), 1e-6);
    EXPECT_NEAR(u.HeadChannel, undocking.ScaleHead(parked.head), 1e-6);
    EXPECT_NEAR(u.LegChannel, undocking.ScaleLeg(parked.legLength), 1e-6);
    EXPECT_NEAR(u.StairChannel, undocking.ScaleStair(parked.stairAngle), 1e-6);
    EXPECT_NEAR(u.PartExtension, parked.extension, 1e-9);
    EXPECT_NEAR(u.PartDip, parked.dip, 1e-9);
    EXPECT_FALSE(OutArea(2).Docked);
}

INSTANTIATE_TEST_SUITE_P(Jetway, MotionCases, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
});

TEST_F(MotionTest, TypeHHasNoHoodStepAndNoWheelWhileExtending)
{
    const MotionCase c{"H", kJetwayTypeH, false, false, false, 0, "", ""};
    auto core = DockingJob(c);
    core->GetJetwayData()->HoodChannel = 7;
    core->StartMotion();
    EXPECT_EQ(core->GetHoodDurationMs(), 0.0);
    EXPECT_EQ(core->GetIncrements().hood, 0.0);
    double wheelBeforeExtension = -1;
    for (int i = 0; i < 5000 && core->IsMoving(); ++i) {
        clock.clock().Advance(i == 0 ? 0 : 40);
        if (core->GetPhase() == 14 && wheelBeforeExtension < 0) wheelBeforeExtension = core->GetWheelChannel();
        if (core->GetPhase() == 14) {
            EXPECT_EQ(core->GetWheelChannel(), wheelBeforeExtension);
        }
        EXPECT_EQ(core->GetHoodChannel(), 7.0);
    }
    EXPECT_GE(wheelBeforeExtension, 0.0);
}

TEST_F(MotionTest, AbortMidPhaseParksTheJetwayAndReportsDoneUndocked)
{
    auto core = DockingJob(kCases[0]);
    core->StartMotion();
    for (int i = 0; i < 12; ++i) clock.clock().Advance(i == 0 ? 0 : 40);
    ASSERT_EQ(core->GetPhase(), 3u);
    EXPECT_GT(core->GetElapsedMs(), 0.0);
    Drain(h);

    core->SetAbortRequested(true);
    clock.clock().Advance(40);
    auto events = Events(Drain(h));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].uEventID, kDoneEvent);
    EXPECT_EQ(events[0].dwData, jetwayId * 10 + 1);

    const JetwayData& r = core->GetRecord();
    const JetwayPose saved = r.SavedPose;
    EXPECT_FALSE(r.Moving);
    EXPECT_FALSE(r.Docked);
    EXPECT_EQ(r.Phase, 0u);
    EXPECT_EQ(r.ElapsedMs, 0.0);
    EXPECT_FALSE(r.StateWord.TestBit(0));
    EXPECT_FALSE(r.StateWord.TestBit(2));
    EXPECT_DOUBLE_EQ(r.RotationChannel, core->ScaleRoot(saved.rootRotation));
    EXPECT_DOUBLE_EQ(r.ExtensionChannel, core->ScaleExtension(saved.extension));
    EXPECT_DOUBLE_EQ(ObjectNumber(jetwayId, "VELOCITY BODY X"), r.RotationChannel);
    const PartPosition parked = core->ComputePartPositions(1, saved.head, saved.extension, saved.dip, saved.rootRotation);
    EXPECT_NEAR(ObjectNumber(partId, "PLANE LATITUDE", "degrees"), parked.latitude, 1e-12);
    EXPECT_FALSE(OutArea(1).Docked);

    clock.clock().Advance(400);
    EXPECT_TRUE(Events(Drain(h)).empty());
}

TEST_F(MotionTest, StopMotionFromOutsideEndsTheTicksWithoutAReport)
{
    auto core = DockingJob(kCases[0]);
    core->StartMotion();
    clock.clock().Advance(0);
    clock.clock().Advance(40);
    const double elapsed = core->GetElapsedMs();
    core->StopMotion();
    EXPECT_FALSE(core->HasLiveTimer());
    EXPECT_FALSE(core->IsMoving());
    clock.clock().Advance(400);
    EXPECT_EQ(core->GetElapsedMs(), elapsed);
    EXPECT_TRUE(Events(Drain(h)).empty());
    core->StopMotion();  // twice is harmless
}

TEST_F(MotionTest, AJobWithoutConnectionOrUnknownTypeStartsNoTimer)
{
    JetwayCore core;
    JetwayData r = ConfiguredRecord(0);
    r.JetwayObjectId = jetwayId;
    core.SetJetwayData(r);
    core.SetHandle(h);
    core.StartMotion();
    EXPECT_FALSE(core.HasLiveTimer());
    EXPECT_TRUE(core.IsMoving());
    EXPECT_EQ(core.GetPhase(), 0u);
}

TEST_F(MotionTest, EightReportsUseOutAreasOneToEightThenOneAgain)
{
    std::vector<uint32_t> channels;
    for (int i = 0; i < 9; ++i) {
        JetwayCore core;
        JetwayData r = ConfiguredRecord(kJetwayTypeA);
        r.JetwayObjectId = jetwayId;
        core.SetJetwayData(r);
        core.SetHandle(h);
        core.SendReport();
        channels.push_back(core.GetRecord().OutChannel);
        EXPECT_EQ(core.GetRecord().ClientDataAreaId, 242424u + channels.back() - 1);
    }
    EXPECT_EQ(channels, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 1}));
    auto events = Events(Drain(h));
    ASSERT_EQ(events.size(), 9u);
    EXPECT_EQ(events[8].dwData, jetwayId * 10 + 1);
}

}  // namespace
