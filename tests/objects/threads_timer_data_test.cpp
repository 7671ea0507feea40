// The timer counter on the real worker pool: destroyed or stopped while a tick is writing its count to
// the simulator, it waits for that tick, so the tick never runs on with a counter that is gone.
#include "objects/TimerData.h"

#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"
#include "tests/simulator/SimTestSupport.h"
#include "tests/support/CallbackHold.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr DWORD kDefinition = 16;  // VELOCITY BODY Z, one double

class TimerDataThreadsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.ServeInProcess();
        h = simtest::OpenClient("timer counter");
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(SimConnect_AddToDataDefinition(h, kDefinition, "VELOCITY BODY Z", "Number"), S_OK);
        simulator::AiAircraft ai;
        ai.title = "Animated Apron Sign";
        objectId = sim.AddAiAircraft(ai);
        ASSERT_GT(objectId, 1u);
        // A tick's write of its count stops here.
        sim.SetTimelineListener([this](const std::string& line) {
            if (line.find("VELOCITY BODY Z") != std::string::npos) hold.Here();
        });
    }
    void TearDown() override
    {
        sim.SetTimelineListener(nullptr);
        SimConnect_Close(h);
    }

    // A counter ticking every millisecond on the worker pool.
    std::unique_ptr<TimerData> RunningCounter()
    {
        auto timer = std::make_unique<TimerData>();
        EXPECT_TRUE(timer->SetTimer(1000, 1.0));
        timer->Bind(h, kDefinition, objectId);
        timer->Toggle();
        EXPECT_TRUE(timer->IsRunning());
        return timer;
    }

    simulator::Simulator sim;
    HANDLE h = nullptr;
    DWORD objectId = 0;
    testsupport::CallbackHold hold;
};

TEST_F(TimerDataThreadsTest, DestructionWaitsForARunningTick)
{
    std::unique_ptr<TimerData> timer = RunningCounter();
    hold.Arm();
    EXPECT_FALSE(testsupport::DestructionReturnedWhileHeld(hold, [&timer] { timer.reset(); }));
}

TEST_F(TimerDataThreadsTest, StopWaitsForARunningTick)
{
    std::unique_ptr<TimerData> timer = RunningCounter();
    hold.Arm();
    // Stop, then destruction at once: a tick let go after Stop returned would find the counter gone.
    EXPECT_FALSE(testsupport::DestructionReturnedWhileHeld(hold, [&timer] {
        timer->Stop();
        timer.reset();
    }));
}

}  // namespace
