// Pacing the clients on the socket: the lock-step of fast runs and the wait for a named client. Only
// socket clients are waited for; zero limits check the condition once, so nothing here waits on time.
#include "SimTestSupport.h"

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

}  // namespace
