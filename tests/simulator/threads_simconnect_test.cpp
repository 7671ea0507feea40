// Several threads call the client at once while the main thread dispatches, in one process and over
// the socket.
#include "SimTestSupport.h"

#include <atomic>
#include <map>
#include <thread>

using namespace simtest;

namespace {

enum class Mode { InProcess, Socket };

class ThreadsTest : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override
    {
        if (GetParam() == Mode::InProcess) {
            sim.ServeInProcess();
        } else {
            std::string error;
            ASSERT_TRUE(sim.Listen(&error)) << error;
        }
    }

    TempMachineRoot root;  // before the simulator: the socket lives in it
    simulator::Simulator sim;
};

TEST_P(ThreadsTest, EventsSentFromManyThreadsAllArriveWhileTheMainThreadDispatches)
{
    HANDLE sender = OpenClient("timers");
    HANDLE receiver = OpenClient("main");
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(sender, 1, "VELK.JetwayAction.Intermediate"), S_OK);
    ASSERT_EQ(SimConnect_MapClientEventToSimEvent(receiver, 38, "VELK.JetwayAction.Intermediate"), S_OK);
    ASSERT_EQ(SimConnect_AddClientEventToNotificationGroup(receiver, 4, 38), S_OK);
    ASSERT_EQ(SimConnect_SetNotificationGroupPriority(receiver, 4, SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE), S_OK);

    constexpr int kThreads = 4, kEach = 200;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                SimConnect_TransmitClientEvent(sender, 0, 1, static_cast<DWORD>(t * 1000 + i), 1,
                                               SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
            --running;
        });
    }
    std::vector<int> next(kThreads, 0);
    size_t received = 0;
    auto take = [&] {
        for (const auto& e : Events(Drain(receiver))) {
            const int t = static_cast<int>(e.dwData / 1000), i = static_cast<int>(e.dwData % 1000);
            ASSERT_LT(t, kThreads);
            EXPECT_EQ(i, next[t]++);  // each thread's events in its order
            ++received;
        }
    };
    while (running > 0) take();
    for (auto& th : threads) th.join();
    take();
    EXPECT_EQ(received, static_cast<size_t>(kThreads * kEach));
    SimConnect_Close(sender);
    SimConnect_Close(receiver);
}

TEST_P(ThreadsTest, EachThreadGetsThePacketIdOfItsOwnLastRequest)
{
    HANDLE h = OpenClient("program");
    constexpr int kThreads = 4, kEach = 50;
    std::vector<std::vector<DWORD>> packets(kThreads);
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                // Object 70000 + t does not exist: the simulator answers with this packet's id.
                SimConnect_AIRemoveObject(h, static_cast<DWORD>(70000 + t), 0);
                DWORD id = 0;
                SimConnect_GetLastSentPacketID(h, &id);
                packets[t].push_back(id);
            }
            --running;
        });
    }
    std::vector<Message> messages;
    auto take = [&] {
        auto more = Drain(h);
        messages.insert(messages.end(), more.begin(), more.end());
    };
    while (running > 0) take();
    for (auto& th : threads) th.join();
    take();
    std::map<DWORD, int> threadOfPacket;
    for (int t = 0; t < kThreads; ++t)
        for (DWORD id : packets[t]) EXPECT_TRUE(threadOfPacket.emplace(id, t).second);
    auto ex = Exceptions(messages);
    ASSERT_EQ(ex.size(), static_cast<size_t>(kThreads * kEach));
    // Every exception names the packet that the thread which sent it was told.
    for (const auto& e : ex) {
        auto it = threadOfPacket.find(e.dwSendID);
        ASSERT_NE(it, threadOfPacket.end());
        EXPECT_EQ(e.dwIndex, 1u);
    }
    SimConnect_Close(h);
}

TEST_P(ThreadsTest, ClientDataWritersAndReadersAtOnceSeeWholeRecords)
{
    HANDLE module = OpenClient("module");
    HANDLE program = OpenClient("program");
    ASSERT_EQ(SimConnect_MapClientDataNameToID(module, "VELK.JetwayData.Out.1", 1), S_OK);
    ASSERT_EQ(SimConnect_CreateClientData(module, 1, 5600, 0), S_OK);
    ASSERT_EQ(SimConnect_AddToClientDataDefinition(module, 1, SIMCONNECT_CLIENTDATAOFFSET_AUTO, 5600), S_OK);
    ASSERT_EQ(SimConnect_MapClientDataNameToID(program, "VELK.JetwayData.Out.1", 28), S_OK);
    ASSERT_EQ(SimConnect_AddToClientDataDefinition(program, 21, SIMCONNECT_CLIENTDATAOFFSET_AUTO, 5600), S_OK);

    std::atomic<bool> writing{true};
    std::thread writer([&] {
        std::vector<uint8_t> record(5600);
        for (int i = 0; i < 100; ++i) {
            std::fill(record.begin(), record.end(), static_cast<uint8_t>(i));
            SimConnect_SetClientData(module, 1, 1, 0, 0, 5600, record.data());
        }
        writing = false;
    });
    size_t seen = 0;
    auto check = [&] {
        for (const Message& m : Drain(program)) {
            auto record = Record(m);
            ASSERT_EQ(record.size(), 5600u);
            EXPECT_TRUE(std::all_of(record.begin(), record.end(), [&](uint8_t b) { return b == record[0]; }));
            ++seen;
        }
    };
    while (writing) {
        SimConnect_RequestClientData(program, 28, 89, 21);
        check();
    }
    writer.join();
    // The writer may finish before the first request: one more request after it always sees a record.
    SimConnect_RequestClientData(program, 28, 89, 21);
    check();
    EXPECT_GT(seen, 0u);
    SimConnect_Close(module);
    SimConnect_Close(program);
}

TEST_P(ThreadsTest, ClockAdvancesWhileClientsRequestAndDispatch)
{
    HANDLE h = OpenClient("program");
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(h, 8, "Frame"), S_OK);
    ASSERT_EQ(SimConnect_AddToDataDefinition(h, 0, "Plane Latitude", "degrees"), S_OK);
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, 66, 0, 0, SIMCONNECT_PERIOD_VISUAL_FRAME), S_OK);
    std::atomic<bool> ticking{true};
    std::thread clock([&] {
        for (int i = 0; i < 100; ++i) sim.RunFrames(1);
        ticking = false;
    });
    size_t frames = 0, data = 0;
    auto take = [&] {
        for (const Message& m : Drain(h)) {
            frames += Kind(m) == SIMCONNECT_RECV_ID_EVENT_FRAME;
            data += Kind(m) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA;
        }
    };
    while (ticking) take();
    clock.join();
    take();
    EXPECT_EQ(frames, 100u);
    EXPECT_EQ(data, 100u);
    SimConnect_Close(h);
}

INSTANTIATE_TEST_SUITE_P(Transports, ThreadsTest, ::testing::Values(Mode::InProcess, Mode::Socket),
                         [](const auto& info) { return info.param == Mode::InProcess ? "InProcess" : "Socket"; });

}  // namespace
