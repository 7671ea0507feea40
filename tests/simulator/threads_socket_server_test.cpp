// The socket server against clients that come and go in numbers, send requests in pieces, or announce
// frames larger than they send or than the protocol allows (also run under ThreadSanitizer).
#include "SimTestSupport.h"

#include "platform/simconnect/Transport.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

using namespace simtest;
namespace sc = platform::simconnect;

namespace {

// Answers every request with its length, and counts them.
class EchoSession : public sc::Session {
public:
    explicit EchoSession(std::atomic<int>& requests) : requests_(requests) {}
    bool Exchange(const sc::Bytes& request, sc::Bytes& reply) override
    {
        ++requests_;
        sc::Writer w;
        w.U32(static_cast<uint32_t>(request.size()));
        reply = w.Take();
        return true;
    }
    bool Receive(std::deque<sc::Bytes>&) override { return true; }

private:
    std::atomic<int>& requests_;
};

class EchoEndpoint : public sc::Endpoint {
public:
    std::unique_ptr<sc::Session> Connect() override { return std::make_unique<EchoSession>(requests); }
    std::atomic<int> requests{0};
};

// A raw connection to the machine's socket.
class RawClient {
public:
    RawClient()
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = sc::SocketPath().string();
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~RawClient() { ::close(fd_); }

    bool Connected() const { return connected_; }
    bool SendBytes(const sc::Bytes& bytes)
    {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    bool SendFrame(const sc::Bytes& frame) { return sc::WriteFrame(fd_, frame); }
    // The next frame: "reply <length the server saw>", "message", or "closed" when the server hung up.
    std::string Next()
    {
        sc::Bytes frame;
        if (!sc::ReadFrame(fd_, frame) || frame.empty()) return "closed";
        if (frame[0] != static_cast<uint8_t>(sc::FrameKind::Reply)) return "message";
        sc::Reader r(frame.data() + 1, frame.size() - 1);
        uint32_t value = 0;
        return r.U32(value) ? "reply " + std::to_string(value) : "short reply";
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

sc::Bytes Header(uint32_t announced)
{
    sc::Writer w;
    w.U32(announced);
    return w.Take();
}

sc::Bytes Framed(const sc::Bytes& frame)
{
    sc::Bytes out = Header(static_cast<uint32_t>(frame.size()));
    out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

class SocketServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(server.Start(sc::SocketPath(), &error)) << error;
    }

    TempMachineRoot root;
    std::shared_ptr<EchoEndpoint> endpoint = std::make_shared<EchoEndpoint>();
    sc::SocketServer server{endpoint};
};

TEST_F(SocketServerTest, ClientsComingAndGoingInALoopLeaveFewThreadsBehind)
{
    constexpr int kConnections = 2000;
    for (int i = 0; i < kConnections; ++i) {
        RawClient client;
        ASSERT_TRUE(client.Connected()) << i;
        ASSERT_TRUE(client.SendFrame(sc::Bytes(3, 7)));
        ASSERT_EQ(client.Next(), "reply 3") << i;
    }
    // The threads of clients that left are joined as others come: only the last few may be left.
    EXPECT_LT(server.ConnectionThreads(), static_cast<size_t>(kConnections / 8));
    EXPECT_EQ(endpoint->requests, kConnections);
    RawClient last;
    ASSERT_TRUE(last.SendFrame(sc::Bytes(1, 1)));
    EXPECT_EQ(last.Next(), "reply 1");
    server.Stop();
    EXPECT_EQ(server.ConnectionThreads(), 0u);
}

TEST_F(SocketServerTest, RequestsAreAnsweredHoweverTheirBytesArrive)
{
    RawClient client;
    ASSERT_TRUE(client.Connected());
    // A byte at a time, header included.
    for (uint8_t b : Framed(sc::Bytes(5, 9))) ASSERT_TRUE(client.SendBytes(sc::Bytes{b}));
    EXPECT_EQ(client.Next(), "reply 5");
    // Several requests in one piece, the last cut in two.
    sc::Bytes both = Framed(sc::Bytes(2, 1));
    const sc::Bytes second = Framed(sc::Bytes(300, 2)), third = Framed(sc::Bytes(40, 3));
    both.insert(both.end(), second.begin(), second.end());
    both.insert(both.end(), third.begin(), third.begin() + 10);
    ASSERT_TRUE(client.SendBytes(both));
    EXPECT_EQ(client.Next(), "reply 2");
    EXPECT_EQ(client.Next(), "reply 300");
    ASSERT_TRUE(client.SendBytes(sc::Bytes(third.begin() + 10, third.end())));
    EXPECT_EQ(client.Next(), "reply 40");
    // An empty request is a request too.
    ASSERT_TRUE(client.SendBytes(Header(0)));
    EXPECT_EQ(client.Next(), "reply 0");
    EXPECT_EQ(endpoint->requests, 5);
}

TEST_F(SocketServerTest, AHeaderAnnouncingTheLargestFrameReservesOnlyWhatArrived)
{
    RawClient client;
    ASSERT_TRUE(client.Connected());
    sc::Bytes start = Header(sc::kMaxFrameBytes);
    start.insert(start.end(), 10, 0x55);
    ASSERT_TRUE(client.SendBytes(start));
    // The server holds the bytes once it has read them; nothing near the announced size.
    while (server.RequestBufferBytes() == 0) std::this_thread::yield();
    EXPECT_LT(server.RequestBufferBytes(), 64u << 10);
    EXPECT_EQ(endpoint->requests, 0);

    // The rest comes: the request is answered whole, and its buffer goes with it.
    ASSERT_TRUE(client.SendBytes(sc::Bytes(sc::kMaxFrameBytes - 10, 0x55)));
    EXPECT_EQ(client.Next(), "reply " + std::to_string(sc::kMaxFrameBytes));
    EXPECT_LE(server.RequestBufferBytes(), 64u << 10);
    ASSERT_TRUE(client.SendFrame(sc::Bytes(4, 4)));
    EXPECT_EQ(client.Next(), "reply 4");
}

// A raw client of the simulator that has opened under a name.
std::unique_ptr<RawClient> OpenRaw(const std::string& name)
{
    auto client = std::make_unique<RawClient>();
    sc::Writer open;
    open.U32(static_cast<uint32_t>(sc::RequestKind::Open));
    open.U32(1);
    open.Text(name);
    EXPECT_TRUE(client->SendFrame(open.Take()));
    EXPECT_EQ(client->Next(), "message");
    EXPECT_EQ(client->Next(), "reply 0");  // S_OK
    return client;
}

TEST(SimulatorSocketTest, AFrameOverTheLimitClosesOnlyItsConnection)
{
    const uint32_t kOversized[] = {sc::kMaxFrameBytes + 1, 0xFFFFFFFFu};
    for (uint32_t announced : kOversized) {
        SCOPED_TRACE(announced);
        TempMachineRoot root;
        simulator::Simulator sim;
        std::string error;
        ASSERT_TRUE(sim.Listen(&error)) << error;
        HANDLE other = OpenClient("A");
        ASSERT_EQ(SimConnect_SubscribeToSystemEvent(other, 1, "Frame"), S_OK);
        auto raw = OpenRaw("raw");
        sim.ClearTimeline();

        sc::Bytes bytes = Header(announced);
        bytes.insert(bytes.end(), 100, 0);
        ASSERT_TRUE(raw->SendBytes(bytes));
        EXPECT_EQ(raw->Next(), "closed");
        const auto timeline = sim.Timeline();
        ASSERT_GE(timeline.size(), 2u);
        EXPECT_NE(timeline[0].find("connection of 'raw' closed: it sent a frame of " + std::to_string(announced) +
                                   " bytes, over the limit of 4194304"),
                  std::string::npos)
            << timeline[0];
        EXPECT_NE(timeline[1].find("client 'raw' went away"), std::string::npos) << timeline[1];

        // The other client is served as before.
        EXPECT_EQ(sim.Clients(), std::vector<std::string>{"A"});
        Drain(other);
        sim.RunFrames(1);
        EXPECT_EQ(OfKind<SIMCONNECT_RECV_EVENT_FRAME>(Drain(other), SIMCONNECT_RECV_ID_EVENT_FRAME).size(), 1u);
        SimConnect_Close(other);
    }
}

}  // namespace
