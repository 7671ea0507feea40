// The one protocol between SimConnect clients and the simulator, used alike in process and over the
// socket. Every request is a frame: u32 request kind, u32 packet id, then its arguments in the order of
// the API call. Integers are little-endian u32, floats IEEE binary32/binary64, texts and blocks a u32
// length and the bytes. Every reply starts with an i32 result; the reply to Dispatch adds the pending
// messages, each a u32 length and the message laid out as its SIMCONNECT_RECV record.
#pragma once

#include "platform/simconnect/SimConnect.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::simconnect {

using Bytes = std::vector<uint8_t>;

// Largest frame either side accepts.
constexpr uint32_t kMaxFrameBytes = 4u << 20;
// Largest name or key text; longer ones are refused by the client.
constexpr size_t kMaxNameLength = 255;
// Largest block of data in one request.
constexpr uint32_t kMaxBlockBytes = 1u << 20;
// A dispatch reply carries messages up to about this many bytes; the rest waits for the next call.
constexpr size_t kDispatchBatchBytes = 256u << 10;

enum class RequestKind : uint32_t {
    Open = 1,
    Close,
    Dispatch,
    MapClientEvent,
    TransmitClientEvent,
    AddClientEventToGroup,
    RemoveClientEvent,
    SetGroupPriority,
    SubscribeSystemEvent,
    UnsubscribeSystemEvent,
    MapInputEvent,
    SetInputGroupPriority,
    SetInputGroupState,
    RequestReservedKey,
    AddToDataDefinition,
    ClearDataDefinition,
    RequestDataOnSimObject,
    RequestDataOnSimObjectType,
    SetDataOnSimObject,
    AICreateSimulatedObject,
    AIRemoveObject,
    MapClientDataName,
    CreateClientData,
    AddToClientDataDefinition,
    ClearClientDataDefinition,
    RequestClientData,
    SetClientData,
    Text,
    MenuAddItem,
    MenuDeleteItem,
    MenuAddSubItem,
    MenuDeleteSubItem,
    RequestSystemState,
    // The client took every message it received so far (u32 count of them), into its own queue.
    Fetched,
    // The client handled every message it received (u32 count of them) and holds none.
    Handled,
};

class Writer {
public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U32(uint32_t v);
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U64(uint64_t v);
    void F32(float v);
    void F64(double v);
    // u32 length, then the bytes.
    void Text(std::string_view text);
    void Block(const void* data, size_t size);
    // Raw bytes, no length.
    void Raw(const void* data, size_t size);
    // A fixed field of size bytes: the text cut to size - 1, then zeros.
    void FixedText(std::string_view text, size_t size);
    void Zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void PatchU32(size_t offset, uint32_t v);

    // Empties the bytes and keeps their storage for the next request.
    void Clear() { bytes_.clear(); }
    size_t Size() const { return bytes_.size(); }
    Bytes& Data() { return bytes_; }
    Bytes Take() { return std::move(bytes_); }

private:
    Bytes bytes_;
};

// Reads what Writer wrote; every getter returns false (and stays failed) when the input runs out or a
// length is out of bounds.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit Reader(const Bytes& bytes) : Reader(bytes.data(), bytes.size()) {}

    bool U8(uint8_t& v);
    bool U32(uint32_t& v);
    bool I32(int32_t& v);
    bool U64(uint64_t& v);
    bool F32(float& v);
    bool F64(double& v);
    bool Text(std::string& text, size_t maxLength = kMaxNameLength);
    bool Block(Bytes& block, size_t maxSize = kMaxBlockBytes);
    // The block where it lies in the input, without copying it.
    bool BlockView(const uint8_t*& data, size_t& size, size_t maxSize = kMaxBlockBytes);
    bool Raw(void* out, size_t size);
    size_t Remaining() const { return ok_ ? size_ - pos_ : 0; }
    bool Ok() const { return ok_; }

private:
    bool Need(size_t n);

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// ---- Messages (simulator to client), laid out as the SIMCONNECT_RECV records ----

Bytes MakeOpen(std::string_view simulatorName);
Bytes MakeQuit();
Bytes MakeException(DWORD exception, DWORD sendId, DWORD index);
Bytes MakeEvent(DWORD groupId, DWORD eventId, DWORD data);
Bytes MakeEventFilename(DWORD groupId, DWORD eventId, DWORD data, std::string_view fileName, DWORD flags);
Bytes MakeEventFrame(DWORD groupId, DWORD eventId, float frameRate, float simSpeed);
Bytes MakeEventObjectAddRemove(DWORD groupId, DWORD eventId, DWORD objectId, DWORD objectType);
// recvId: SIMOBJECT_DATA, SIMOBJECT_DATA_BYTYPE or CLIENT_DATA.
Bytes MakeData(DWORD recvId, DWORD requestId, DWORD objectId, DWORD defineId, DWORD flags, DWORD entry,
               DWORD outOf, DWORD defineCount, const Bytes& record);
Bytes MakeAssignedObjectId(DWORD requestId, DWORD objectId);
Bytes MakeReservedKey(std::string_view choice, std::string_view key);
Bytes MakeSystemState(DWORD requestId, DWORD integer, float value, std::string_view text);

// True when the bytes form a whole message: its dwSize matches and it is as large as its record.
bool IsWellFormedMessage(const uint8_t* data, size_t size);
// Smallest size of a message of that kind (12 for kinds without a record of their own).
size_t MinimumMessageSize(DWORD recvId);

}  // namespace platform::simconnect
