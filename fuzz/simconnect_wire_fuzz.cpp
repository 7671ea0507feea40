// The stand-in simulator's side of the SimConnect protocol, fed request frames as any client may send
// them over the socket. The input is a run of frames, each a control byte, a u16 length (little-endian)
// and that many bytes: bit 0 of the control byte picks one of two clients, bit 1 lets a simulator frame
// pass after the request, bit 2 a whole second. Every reply must be one the client can read: a result,
// and for Dispatch a count of well-formed messages.
#include "platform/simconnect/Transport.h"
#include "platform/simconnect/Wire.h"
#include "simulator/Simulator.h"

#include "fuzz/fuzz_support.h"

#include <memory>

namespace sc = platform::simconnect;

namespace {

constexpr uint32_t kDispatch = static_cast<uint32_t>(sc::RequestKind::Dispatch);

void CheckReply(const sc::Bytes& request, const sc::Bytes& reply)
{
    sc::Reader r(reply);
    int32_t result = 0;
    VELK_FUZZ_CHECK(r.I32(result));
    VELK_FUZZ_CHECK(result == S_OK || result == E_FAIL);

    sc::Reader q(request);
    uint32_t kind = 0;
    if (result != S_OK || !q.U32(kind) || kind != kDispatch) return;
    uint32_t count = 0;
    VELK_FUZZ_CHECK(r.U32(count));
    size_t bytes = 0;
    for (uint32_t i = 0; i < count; ++i) {
        sc::Bytes message;
        VELK_FUZZ_CHECK(r.Block(message, sc::kMaxFrameBytes));
        VELK_FUZZ_CHECK(sc::IsWellFormedMessage(message.data(), message.size()));
        bytes += message.size();
    }
    VELK_FUZZ_CHECK(r.Remaining() == 0);
    // One message may exceed the batch on its own; more than one never do.
    VELK_FUZZ_CHECK(count <= 1 || bytes <= sc::kDispatchBatchBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    simulator::Simulator sim("Prepar3D");
    sim.ServeInProcess();
    auto endpoint = sc::GetInProcessEndpoint();
    VELK_FUZZ_CHECK(endpoint != nullptr);
    std::unique_ptr<sc::Session> clients[2] = {endpoint->Connect(), endpoint->Connect()};
    VELK_FUZZ_CHECK(clients[0] && clients[1]);
    sim.StartSim();

    size_t pos = 0;
    int frames = 0;
    while (pos + 3 <= size && frames++ < 256) {
        const uint8_t control = data[pos];
        const size_t length = data[pos + 1] | (static_cast<size_t>(data[pos + 2]) << 8);
        pos += 3;
        const size_t take = length < size - pos ? length : size - pos;
        const sc::Bytes request(data + pos, data + pos + take);
        pos += take;

        auto& client = clients[control & 1];
        if (!client) continue;
        sc::Bytes reply;
        if (!client->Exchange(request, reply)) {
            // Closed: the simulator no longer knows this client.
            client.reset();
            continue;
        }
        CheckReply(request, reply);
        if (control & 2) sim.RunFrames(1);
        if (control & 4) sim.Advance(1000);
    }
    // Whatever is still queued must read back well-formed too.
    const sc::Bytes dispatch = [] {
        sc::Writer w;
        w.U32(kDispatch);
        w.U32(0);
        return w.Take();
    }();
    for (auto& client : clients) {
        sc::Bytes reply;
        if (client && client->Exchange(dispatch, reply)) CheckReply(dispatch, reply);
    }
    for (auto& client : clients) client.reset();
    sim.StopServing();
    return 0;
}
