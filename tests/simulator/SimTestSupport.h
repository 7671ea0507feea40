// Helpers of the simulator tests: collecting the messages of a connection and reading them.
#pragma once

#include "platform/simconnect/SimConnect.h"
#include "simulator/Simulator.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace simtest {

using Message = std::vector<uint8_t>;

inline void Collect(SIMCONNECT_RECV* data, DWORD size, void* context)
{
    auto* out = static_cast<std::vector<Message>*>(context);
    const auto* bytes = reinterpret_cast<const uint8_t*>(data);
    out->emplace_back(bytes, bytes + size);
}

// Every message pending on the connection.
inline std::vector<Message> Drain(HANDLE h)
{
    std::vector<Message> out;
    EXPECT_TRUE(SUCCEEDED(SimConnect_CallDispatch(h, Collect, &out)));
    return out;
}

inline DWORD Kind(const Message& m)
{
    return reinterpret_cast<const SIMCONNECT_RECV*>(m.data())->dwID;
}

template <typename T>
T As(const Message& m)
{
    T record{};
    std::memcpy(&record, m.data(), std::min(sizeof(T), m.size()));
    return record;
}

template <typename T>
std::vector<T> OfKind(const std::vector<Message>& messages, DWORD kind)
{
    std::vector<T> out;
    for (const Message& m : messages)
        if (Kind(m) == kind) out.push_back(As<T>(m));
    return out;
}

inline std::vector<SIMCONNECT_RECV_EVENT> Events(const std::vector<Message>& messages)
{
    return OfKind<SIMCONNECT_RECV_EVENT>(messages, SIMCONNECT_RECV_ID_EVENT);
}

inline std::vector<SIMCONNECT_RECV_EXCEPTION> Exceptions(const std::vector<Message>& messages)
{
    return OfKind<SIMCONNECT_RECV_EXCEPTION>(messages, SIMCONNECT_RECV_ID_EXCEPTION);
}

// The record bytes of a data message (after dwData's offset).
inline std::vector<uint8_t> Record(const Message& m)
{
    return std::vector<uint8_t>(m.begin() + SIMCONNECT_DATA_OFFSET, m.end());
}

inline double DoubleAt(const std::vector<uint8_t>& record, size_t offset)
{
    double v = 0;
    if (offset + 8 <= record.size()) std::memcpy(&v, record.data() + offset, 8);
    return v;
}

// A readable line per message, for comparing whole conversations.
inline std::string Describe(const Message& m)
{
    switch (Kind(m)) {
    case SIMCONNECT_RECV_ID_EVENT: {
        auto e = As<SIMCONNECT_RECV_EVENT>(m);
        return "event g" + std::to_string(e.uGroupID) + " e" + std::to_string(e.uEventID) + " d" +
               std::to_string(e.dwData);
    }
    case SIMCONNECT_RECV_ID_EXCEPTION: {
        auto e = As<SIMCONNECT_RECV_EXCEPTION>(m);
        return "exception " + std::to_string(e.dwException) + " send " + std::to_string(e.dwSendID) + " index " +
               std::to_string(e.dwIndex);
    }
    case SIMCONNECT_RECV_ID_CLIENT_DATA:
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA: {
        auto d = As<SIMCONNECT_RECV_SIMOBJECT_DATA>(m);
        std::string text = "data " + std::to_string(Kind(m)) + " r" + std::to_string(d.dwRequestID) + " o" +
                           std::to_string(d.dwObjectID) + " :";
        for (uint8_t b : Record(m)) text += " " + std::to_string(b);
        return text;
    }
    default: return "kind " + std::to_string(Kind(m)) + " size " + std::to_string(m.size());
    }
}

// A temporary machine root named by VELK_MACHINE_ROOT for the test's lifetime. Short: the simulator's
// socket lives in it.
class TempMachineRoot : public testsupport::TempMachineRoot {
public:
    TempMachineRoot() : testsupport::TempMachineRoot(Options{.label = "sim", .shortPath = true, .driveC = false}) {}
};

// Opens a client and takes its OPEN message.
inline HANDLE OpenClient(const char* name)
{
    HANDLE h = nullptr;
    EXPECT_EQ(SimConnect_Open(&h, name, nullptr, 0, nullptr, 0), S_OK);
    if (h) {
        auto first = Drain(h);
        EXPECT_FALSE(first.empty());
        if (!first.empty()) {
            EXPECT_EQ(Kind(first[0]), static_cast<DWORD>(SIMCONNECT_RECV_ID_OPEN));
        }
    }
    return h;
}

inline DWORD LastPacket(HANDLE h)
{
    DWORD id = 0;
    EXPECT_EQ(SimConnect_GetLastSentPacketID(h, &id), S_OK);
    return id;
}

}  // namespace simtest
