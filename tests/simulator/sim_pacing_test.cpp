// Pacing the clients on the socket: the lock-step of fast runs and the wait for a named client. Only
// socket clients are waited for; zero limits check the condition once, so nothing here waits on time.
#include "SimTestSupport.h"

#include "simulator/ModuleHost.h"
#include "simulator/PlayFrame.h"
#include "simulator/Scenario.h"

#include <thread>

using namespace simtest;
using Wait = simulator::Simulator::SocketWait;

namespace {

constexpr std::chrono::milliseconds kNow{0};

TEST(SocketPacingTest, AFrameCountsAsHandledOnlyWhenEverySocketClientCameBackForMore)
{
    TempMachineRoot root;
    simulator::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.Listen(&error)) << error;
    HANDLE remote = nullptr;
    ASSERT_EQ(SimConnect_Open(&remote, "Orvane VELK", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(remote, 1, "Frame"), S_OK);
    // A client in this process that never dispatches is not waited for.
    sim.ServeInProcess();
    HANDLE local = nullptr;
    ASSERT_EQ(SimConnect_Open(&local, "brannet", nullptr, 0, nullptr, 0), S_OK);

    EXPECT_FALSE(sim.WaitForSocketClients(kNow, Wait::Fetched));  // its OPEN waits
    EXPECT_FALSE(sim.WaitForSocketClients(kNow, Wait::Handled));
    EXPECT_EQ(Drain(remote).size(), 1u);
    EXPECT_TRUE(sim.WaitForSocketClients(kNow, Wait::Fetched));
    EXPECT_FALSE(sim.WaitForSocketClients(kNow, Wait::Handled));  // still busy with what it took
    EXPECT_TRUE(Drain(remote).empty());
    EXPECT_TRUE(sim.WaitForSocketClients(kNow, Wait::Handled));

    for (int frame = 0; frame < 3; ++frame) {
        sim.RunFrames(1);
        EXPECT_FALSE(sim.WaitForSocketClients(kNow, Wait::Handled)) << frame;
        EXPECT_EQ(Drain(remote).size(), 1u) << frame;
        EXPECT_FALSE(sim.WaitForSocketClients(kNow, Wait::Handled)) << frame;
        EXPECT_TRUE(Drain(remote).empty());
        EXPECT_TRUE(sim.WaitForSocketClients(kNow, Wait::Handled)) << frame;
    }

    EXPECT_FALSE(sim.WaitForSocketClients(kNow, Wait::Gone));
    SimConnect_Close(remote);
    EXPECT_TRUE(sim.WaitForSocketClients(kNow, Wait::Gone));
    SimConnect_Close(local);
}

TEST(SocketPacingTest, TheClientWaitedForIsFoundByPartOfItsNameOnceItHandledItsFirstMessages)
{
    TempMachineRoot root;
    simulator::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.Listen(&error)) << error;
    EXPECT_FALSE(sim.WaitForClient("orvane", kNow));
    HANDLE h = nullptr;
    ASSERT_EQ(SimConnect_Open(&h, "Orvane VELK", nullptr, 0, nullptr, 0), S_OK);
    EXPECT_FALSE(sim.WaitForClient("orvane", kNow));  // its set-up may still be coming
    Drain(h);
    EXPECT_FALSE(sim.WaitForClient("orvane", kNow));
    Drain(h);
    EXPECT_TRUE(sim.WaitForClient("orvane", kNow));
    EXPECT_TRUE(sim.WaitForClient("ORVANE velk", kNow));
    EXPECT_FALSE(sim.WaitForClient("brannet", kNow));
    SimConnect_Close(h);
    EXPECT_FALSE(sim.WaitForClient("orvane", kNow));
}

TEST(SocketPacingTest, AWaitingThreadWakesWhenTheClientArrives)
{
    TempMachineRoot root;
    simulator::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.Listen(&error)) << error;
    HANDLE h = nullptr;
    std::thread client([&] {
        if (SimConnect_Open(&h, "Probe", nullptr, 0, nullptr, 0) != S_OK) return;
        std::vector<Message> sink;
        SimConnect_CallDispatch(h, Collect, &sink);
        SimConnect_CallDispatch(h, Collect, &sink);
    });
    // A generous limit: the outcome does not depend on how long the client takes.
    EXPECT_TRUE(sim.WaitForClient("probe", std::chrono::seconds(30)));
    client.join();
    EXPECT_TRUE(sim.WaitForSocketClients(std::chrono::seconds(30), Wait::Handled));
    SimConnect_Close(h);
    EXPECT_TRUE(sim.WaitForSocketClients(std::chrono::seconds(30), Wait::Gone));
}

// A frame of a fast run: the module and the scenario's clients have their turn at it before any socket
// client can have its messages, however quickly that client asks for them; then they go out. Otherwise a
// quick socket client's answer would reach the module in the same frame and a slow one's in the next.
TEST(SocketPacingTest, AFrameReachesSocketClientsOnlyAfterTheTurnOfThoseInThisProcess)
{
    TempMachineRoot root;
    simulator::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.Listen(&error)) << error;
    HANDLE remote = OpenClient("Orvane VELK");
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(remote, 1, "Frame"), S_OK);
    EXPECT_TRUE(Drain(remote).empty());
    simulator::ModuleHost host(sim);
    simulator::Scenario scenario;
    ASSERT_TRUE(scenario.LoadText("<Scenario/>", root.Path(), &error)) << error;

    uint64_t clockMs = 0;
    for (int frame = 1; frame <= 3; ++frame) {
        std::vector<Message> duringTurn;
        simulator::PlayFrame(sim, scenario, host, nullptr, clockMs, [&] { duringTurn = Drain(remote); });
        EXPECT_TRUE(duringTurn.empty()) << frame;
        const std::vector<Message> after = Drain(remote);
        ASSERT_EQ(after.size(), 1u) << frame;
        EXPECT_EQ(Kind(after[0]), static_cast<DWORD>(SIMCONNECT_RECV_ID_EVENT_FRAME)) << frame;
        EXPECT_TRUE(Drain(remote).empty());
        EXPECT_TRUE(sim.WaitForSocketClients(kNow, Wait::Handled)) << frame;
    }
    SimConnect_Close(remote);
}

}  // namespace
