// The jetway motion on the real timer thread: destroyed or stopped while a tick is writing the animation,
// the jetway waits for that tick, which goes on to write the bridge's position from the jetway's record.
#include "tests/jetway/core/JetwayTestSupport.h"

#include "tests/support/CallbackHold.h"

#include <memory>
#include <string>

using namespace jetwaytest;

namespace {

class MotionThreadsTest : public ::testing::Test {
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
        // The first write of a tick (its animation) stops here.
        sim.SetTimelineListener([this](const std::string&) { hold.Here(); });
    }
    void TearDown() override
    {
        sim.SetTimelineListener(nullptr);
        SimConnect_Close(h);
    }

    // A type A jetway in the middle of a long docking job, one tick every 40 ms.
    std::unique_ptr<JetwayCore> MovingJetway()
    {
        auto core = std::make_unique<JetwayCore>();
        JetwayData r = ConfiguredRecord(kJetwayTypeA);
        r.JetwayObjectId = jetwayId;
        r.Parts[0].SetSimTitle("Test Jetway Bridge");
        r.Parts[0].SetLinkTypeFromText("BRIDGE_MOVING");
        r.Parts[0].SetOffset(5, 0, 1);
        r.Parts[0].SetObjectId(partId);
        core->SetJetwayData(r);
        core->SetHandle(h);
        core->ComputeParkedPose();
        SetTargets(*core, 0.3, 0.05, -0.2, 22.0, 12.0);
        core->GetJetwayData()->Moving = true;
        core->StartMotion();
        EXPECT_TRUE(core->HasLiveTimer());
        return core;
    }

    simulator::Simulator sim;
    HANDLE h = nullptr;
    DWORD jetwayId = 0;
    DWORD partId = 0;
    testsupport::CallbackHold hold;
};

TEST_F(MotionThreadsTest, DestructionWaitsForARunningTick)
{
    std::unique_ptr<JetwayCore> core = MovingJetway();
    hold.Arm();
    EXPECT_FALSE(testsupport::DestructionReturnedWhileHeld(hold, [&core] { core.reset(); }));
}

TEST_F(MotionThreadsTest, StopMotionWaitsForARunningTick)
{
    std::unique_ptr<JetwayCore> core = MovingJetway();
    hold.Arm();
    // StopMotion, then destruction at once: a tick let go after StopMotion returned would find it gone.
    EXPECT_FALSE(testsupport::DestructionReturnedWhileHeld(hold, [&core] {
        core->StopMotion();
        EXPECT_FALSE(core->HasLiveTimer());
        core.reset();
    }));
}

}  // namespace
