// The client API itself, and the same conversation in one process and over the machine's socket.
#include "SimTestSupport.h"

#include "platform/simconnect/Transport.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

using namespace simtest;

namespace {

TEST(ClientTest, OpenFailsWhenNoSimulatorServes)
{
    TempMachineRoot root;
    HANDLE h = reinterpret_cast<HANDLE>(1);
    EXPECT_TRUE(FAILED(SimConnect_Open(&h, "Orvane VELK", nullptr, 0, nullptr, 0)));
    EXPECT_EQ(h, nullptr);
}

TEST(ClientTest, WrongArgumentsFailAtOnceAndSendNothing)
{
    simulator::Simulator sim;
    sim.ServeInProcess();
    HANDLE h = OpenClient("A");
    const DWORD before = LastPacket(h);
    const std::string longName(300, 'x');
    double value = 0;
    const HRESULT results[] = {
        SimConnect_MapClientEventToSimEvent(h, 1, longName.c_str()),
        SimConnect_SubscribeToSystemEvent(h, 1, nullptr),
        SimConnect_AddToDataDefinition(h, 1, nullptr, "Feet"),
        SimConnect_AddToDataDefinition(h, 1, "PLANE ALTITUDE", "Feet", static_cast<SIMCONNECT_DATATYPE>(99)),
        SimConnect_SetDataOnSimObject(h, 1, 0, 0, 0, 8, nullptr),
        SimConnect_CreateClientData(h, 1, 0, 0),
        SimConnect_CreateClientData(h, 1, SIMCONNECT_CLIENTDATA_MAX_SIZE + 1, 0),
        SimConnect_SetClientData(h, 1, 1, 0, 0, SIMCONNECT_CLIENTDATA_MAX_SIZE + 1, &value),
        SimConnect_AddToClientDataDefinition(h, 1, 0, 0),
        SimConnect_RequestDataOnSimObject(h, 1, 1, 0, static_cast<SIMCONNECT_PERIOD>(9)),
        SimConnect_Text(h, SIMCONNECT_TEXT_TYPE_PRINT_WHITE, 1, 0, 16, nullptr),
        SimConnect_SetInputGroupState(h, 0, 7),
        SimConnect_RequestSystemState(h, 1, ""),
    };
    for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], E_INVALIDARG) << i;
    EXPECT_EQ(LastPacket(h), before);
    EXPECT_TRUE(Drain(h).empty());

    // Closed and unknown handles.
    EXPECT_EQ(SimConnect_Close(h), S_OK);
    EXPECT_EQ(SimConnect_Close(h), E_INVALIDARG);
    EXPECT_EQ(SimConnect_MapClientEventToSimEvent(h, 1, "X"), E_INVALIDARG);
    EXPECT_EQ(SimConnect_CallDispatch(reinterpret_cast<HANDLE>(12345), Collect, nullptr), E_INVALIDARG);
}

TEST(ClientTest, GetNextDispatchHandsOutOneMessageAtATime)
{
    simulator::Simulator sim;
    sim.ServeInProcess();
    HANDLE h = nullptr;
    ASSERT_EQ(SimConnect_Open(&h, "A", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(h, 3, "Sound"), S_OK);
    sim.SetSound(false);
    SIMCONNECT_RECV* data = nullptr;
    DWORD size = 0;
    ASSERT_EQ(SimConnect_GetNextDispatch(h, &data, &size), S_OK);
    EXPECT_EQ(data->dwID, static_cast<DWORD>(SIMCONNECT_RECV_ID_OPEN));
    EXPECT_EQ(size, sizeof(SIMCONNECT_RECV_OPEN));
    EXPECT_STREQ(static_cast<SIMCONNECT_RECV_OPEN*>(data)->szApplicationName, "Prepar3D");
    ASSERT_EQ(SimConnect_GetNextDispatch(h, &data, &size), S_OK);
    EXPECT_EQ(static_cast<SIMCONNECT_RECV_EVENT*>(data)->uEventID, 3u);
    EXPECT_EQ(SimConnect_GetNextDispatch(h, &data, &size), E_FAIL);
    SimConnect_Close(h);
}

TEST(ClientTest, ASimulatorThatGoesAwaySaysQuitOnceAndCallsFailAfterwards)
{
    TempMachineRoot root;
    auto sim = std::make_unique<simulator::Simulator>();
    std::string error;
    ASSERT_TRUE(sim->Listen(&error)) << error;
    HANDLE h = OpenClient("Orvane VELK");
    EXPECT_EQ(sim->Clients(), std::vector<std::string>{"Orvane VELK"});
    sim.reset();
    auto messages = Drain(h);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(Kind(messages[0]), static_cast<DWORD>(SIMCONNECT_RECV_ID_QUIT));
    EXPECT_EQ(SimConnect_MapClientEventToSimEvent(h, 1, "X"), E_FAIL);
    std::vector<Message> none;
    EXPECT_EQ(SimConnect_CallDispatch(h, Collect, &none), E_FAIL);
    EXPECT_TRUE(none.empty());
    SimConnect_Close(h);
}

TEST(ClientTest, ClosedClientIsForgottenBySimulator)
{
    TempMachineRoot root;
    simulator::Simulator sim;
    ASSERT_TRUE(sim.Listen());
    HANDLE a = OpenClient("A");
    HANDLE b = OpenClient("B");
    EXPECT_EQ(sim.Clients().size(), 2u);
    SimConnect_Close(a);
    EXPECT_EQ(sim.Clients(), std::vector<std::string>{"B"});
    SimConnect_Close(b);
}

// One conversation between a program and a module; returns what each of them received.
std::pair<std::vector<std::string>, std::vector<std::string>> Converse()
{
    HANDLE program = OpenClient("Orvane VELK");
    HANDLE module = OpenClient("brannet");
    // The module's registrations.
    SimConnect_MapClientEventToSimEvent(module, 242424, "VELK.JetwayAction.Start");
    SimConnect_MapClientEventToSimEvent(module, 242425, "VELK.JetwayAction.DataReceived");
    SimConnect_AddClientEventToNotificationGroup(module, 242424, 242424, TRUE);
    SimConnect_AddClientEventToNotificationGroup(module, 242424, 242425, FALSE);
    SimConnect_SetNotificationGroupPriority(module, 242424, 10000000);
    SimConnect_MapClientDataNameToID(module, "VELK.JetwayData.In.1", 242432);
    SimConnect_CreateClientData(module, 242432, 5600, 0);
    SimConnect_AddToClientDataDefinition(module, 1, SIMCONNECT_CLIENTDATAOFFSET_AUTO, 5600);
    // The program's registrations.
    SimConnect_MapClientEventToSimEvent(program, 36, "VELK.JetwayAction.Start");
    SimConnect_MapClientEventToSimEvent(program, 63, "VELK.JetwayAction.DataReceived");
    SimConnect_AddClientEventToNotificationGroup(program, 4, 36, FALSE);
    SimConnect_AddClientEventToNotificationGroup(program, 4, 63, TRUE);
    SimConnect_SetNotificationGroupPriority(program, 4, 10000000);
    SimConnect_MapClientDataNameToID(program, "VELK.JetwayData.In.1", 24);
    SimConnect_AddToClientDataDefinition(program, 21, SIMCONNECT_CLIENTDATAOFFSET_AUTO, 5600);

    // A job goes out, the module reads it and answers.
    std::vector<uint8_t> record(5600, 0);
    record[4672] = 0xD2;
    record[4673] = 0x04;
    SimConnect_SetClientData(program, 24, 21, 0, 0, 5600, record.data());
    SimConnect_TransmitClientEvent(program, 0, 36, 12341, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
    std::vector<std::string> moduleSaw, programSaw;
    for (const Message& m : Drain(module)) {
        moduleSaw.push_back(Describe(m).substr(0, 60));
        if (Kind(m) == SIMCONNECT_RECV_ID_EVENT && As<SIMCONNECT_RECV_EVENT>(m).uEventID == 242424)
            SimConnect_RequestClientData(module, 242432, 242424, 1, SIMCONNECT_CLIENT_DATA_PERIOD_ONCE);
    }
    for (const Message& m : Drain(module)) {
        moduleSaw.push_back(Describe(m).substr(0, 60));
        if (Kind(m) == SIMCONNECT_RECV_ID_CLIENT_DATA) {
            EXPECT_EQ(Record(m), record);
            SimConnect_TransmitClientEvent(module, 0, 242425, 1234, 1, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY);
        }
    }
    // An error on the way.
    SimConnect_RequestClientData(program, 99, 89, 21);
    for (const Message& m : Drain(program)) programSaw.push_back(Describe(m));
    for (const Message& m : Drain(module)) moduleSaw.push_back(Describe(m));
    SimConnect_Close(program);
    SimConnect_Close(module);
    return {programSaw, moduleSaw};
}

TEST(TransportTest, InProcessAndSocketConversationsAreAlike)
{
    std::pair<std::vector<std::string>, std::vector<std::string>> inProcess, overSocket;
    {
        simulator::Simulator sim;
        sim.ServeInProcess();
        inProcess = Converse();
    }
    {
        TempMachineRoot root;
        simulator::Simulator sim;
        std::string error;
        ASSERT_TRUE(sim.Listen(&error)) << error;
        overSocket = Converse();
    }
    const std::vector<std::string> expectedProgram = {"event g4 e36 d12341", "event g4 e63 d1234",
                                                      "exception 3 send 11 index 1"};
    EXPECT_EQ(inProcess.first, expectedProgram);
    ASSERT_EQ(inProcess.second.size(), 3u);
    EXPECT_EQ(inProcess.second[0], "event g242424 e242424 d12341");
    EXPECT_EQ(inProcess.second[2], "event g242424 e242425 d1234");
    EXPECT_EQ(inProcess, overSocket);
}

TEST(TransportTest, SecondSimulatorCannotTakeALiveSocket)
{
    TempMachineRoot root;
    simulator::Simulator first, second;
    ASSERT_TRUE(first.Listen());
    std::string error;
    EXPECT_FALSE(second.Listen(&error));
    EXPECT_NE(error.find("already listens"), std::string::npos);
}

}  // namespace

namespace {

// A raw connection to the simulator's socket, speaking the frames of the protocol.
class RawSocketClient {
public:
    RawSocketClient()
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = platform::simconnect::SocketPath().string();
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~RawSocketClient() { ::close(fd_); }

    bool Connected() const { return connected_; }
    bool Send(const platform::simconnect::Bytes& request) { return platform::simconnect::WriteFrame(fd_, request); }
    // True when a frame can be read now, without waiting.
    bool Readable() const
    {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }
    // The kind of the next frame ("reply" or the message's SIMCONNECT_RECV_ID), read whole.
    std::string Next()
    {
        platform::simconnect::Bytes frame;
        if (!platform::simconnect::ReadFrame(fd_, frame) || frame.empty()) return "none";
        if (frame[0] == static_cast<uint8_t>(platform::simconnect::FrameKind::Reply)) return "reply";
        if (frame.size() < 13) return "short message";
        return "message " + std::to_string(frame[9]);
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

platform::simconnect::Bytes Request(platform::simconnect::RequestKind kind, DWORD packet,
                                    const std::string& text = std::string())
{
    platform::simconnect::Writer w;
    w.U32(static_cast<uint32_t>(kind));
    w.U32(packet);
    if (!text.empty()) {
        w.U32(1);  // subscription id
        w.Text(text);
    }
    return w.Take();
}

}  // namespace

TEST(TransportTest, TheSimulatorSendsMessagesOverTheSocketWithoutBeingAsked)
{
    TempMachineRoot root;
    simulator::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.Listen(&error)) << error;
    RawSocketClient client;
    ASSERT_TRUE(client.Connected());

    platform::simconnect::Writer open;
    open.U32(static_cast<uint32_t>(platform::simconnect::RequestKind::Open));
    open.U32(1);
    open.Text("raw");
    ASSERT_TRUE(client.Send(open.Take()));
    // The messages a request causes come before its reply.
    EXPECT_EQ(client.Next(), "message " + std::to_string(SIMCONNECT_RECV_ID_OPEN));
    EXPECT_EQ(client.Next(), "reply");
    ASSERT_TRUE(client.Send(Request(platform::simconnect::RequestKind::SubscribeSystemEvent, 2, "Frame")));
    EXPECT_EQ(client.Next(), "reply");
    EXPECT_FALSE(client.Readable());

    // A frame is in the socket once the simulator has run it: no request asks for it.
    sim.RunFrames(1);
    ASSERT_TRUE(client.Readable());
    EXPECT_EQ(client.Next(), "message " + std::to_string(SIMCONNECT_RECV_ID_EVENT_FRAME));
    EXPECT_FALSE(client.Readable());
}

TEST(TransportTest, ASocketClientCountsAsHandledOnceItFoundNothingLeftAndStaysSoWhileIdle)
{
    TempMachineRoot root;
    simulator::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.Listen(&error)) << error;
    HANDLE h = OpenClient("Orvane VELK");
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(h, 1, "Frame"), S_OK);
    using Wait = simulator::Simulator::SocketWait;
    constexpr std::chrono::milliseconds kNow{0};
    Drain(h);
    Drain(h);
    ASSERT_TRUE(sim.WaitForSocketClients(kNow, Wait::Handled));
    // Idle dispatches change nothing: the client stays handled until a message comes.
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(Drain(h).empty());
    EXPECT_TRUE(sim.WaitForSocketClients(kNow, Wait::Handled));
    sim.RunFrames(2);
    EXPECT_FALSE(sim.WaitForSocketClients(kNow, Wait::Fetched));
    EXPECT_EQ(Drain(h).size(), 2u);
    EXPECT_TRUE(sim.WaitForSocketClients(kNow, Wait::Fetched));
    EXPECT_FALSE(sim.WaitForSocketClients(kNow, Wait::Handled));
    EXPECT_TRUE(Drain(h).empty());
    EXPECT_TRUE(sim.WaitForSocketClients(kNow, Wait::Handled));
    SimConnect_Close(h);
}
