#include "platform/simconnect/Wire.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace platform::simconnect {

// The records are read in place by the receivers: pin their layout.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(SIMCONNECT_RECV) == 12);
static_assert(offsetof(SIMCONNECT_RECV_EXCEPTION, dwException) == 12);
static_assert(offsetof(SIMCONNECT_RECV_EXCEPTION, dwIndex) == 20 && sizeof(SIMCONNECT_RECV_EXCEPTION) == 24);
static_assert(offsetof(SIMCONNECT_RECV_OPEN, dwApplicationVersionMajor) == 268);
static_assert(sizeof(SIMCONNECT_RECV_OPEN) == 308);
static_assert(offsetof(SIMCONNECT_RECV_EVENT, uGroupID) == 12 && offsetof(SIMCONNECT_RECV_EVENT, dwData) == 20);
static_assert(sizeof(SIMCONNECT_RECV_EVENT) == 24);
static_assert(offsetof(SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE, eObjType) == 24);
static_assert(offsetof(SIMCONNECT_RECV_EVENT_FILENAME, szFileName) == 24);
static_assert(offsetof(SIMCONNECT_RECV_EVENT_FILENAME, dwFlags) == 284);
static_assert(sizeof(SIMCONNECT_RECV_EVENT_FILENAME) == 288);
static_assert(offsetof(SIMCONNECT_RECV_EVENT_FRAME, fFrameRate) == 24 && sizeof(SIMCONNECT_RECV_EVENT_FRAME) == 32);
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwRequestID) == 12);
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwentrynumber) == 28);
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwData) == SIMCONNECT_DATA_OFFSET);
static_assert(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == 44 && sizeof(SIMCONNECT_RECV_CLIENT_DATA) == 44);
static_assert(sizeof(SIMCONNECT_RECV_ASSIGNED_OBJECT_ID) == 20);
static_assert(offsetof(SIMCONNECT_RECV_RESERVED_KEY, szReservedKey) == 42);
static_assert(sizeof(SIMCONNECT_RECV_RESERVED_KEY) == 92);
static_assert(offsetof(SIMCONNECT_RECV_SYSTEM_STATE, fFloat) == 20);
static_assert(offsetof(SIMCONNECT_RECV_SYSTEM_STATE, szString) == 24 && sizeof(SIMCONNECT_RECV_SYSTEM_STATE) == 284);
static_assert(sizeof(SIMCONNECT_DATA_INITPOSITION) == 56);
#pragma GCC diagnostic pop

namespace {
constexpr DWORD kVersion = 4;
}

void Writer::U32(uint32_t v)
{
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Writer::U64(uint64_t v)
{
    for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Writer::F32(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    U32(bits);
}

void Writer::F64(double v)
{
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    U64(bits);
}

void Writer::Text(std::string_view text)
{
    U32(static_cast<uint32_t>(text.size()));
    Raw(text.data(), text.size());
}

void Writer::Block(const void* data, size_t size)
{
    U32(static_cast<uint32_t>(size));
    Raw(data, size);
}

void Writer::Raw(const void* data, size_t size)
{
    if (size == 0) return;
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
}

void Writer::FixedText(std::string_view text, size_t size)
{
    if (size == 0) return;
    const size_t n = std::min(text.size(), size - 1);
    // A text stops at its first NUL.
    const size_t nul = text.substr(0, n).find('\0');
    const size_t len = nul == std::string_view::npos ? n : nul;
    Raw(text.data(), len);
    Zeros(size - len);
}

void Writer::PatchU32(size_t offset, uint32_t v)
{
    if (offset + 4 > bytes_.size()) return;
    for (int i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool Reader::Need(size_t n)
{
    if (!ok_ || size_ - pos_ < n) {
        ok_ = false;
        return false;
    }
    return true;
}

bool Reader::U8(uint8_t& v)
{
    if (!Need(1)) return false;
    v = data_[pos_++];
    return true;
}

bool Reader::U32(uint32_t& v)
{
    if (!Need(4)) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return true;
}

bool Reader::I32(int32_t& v)
{
    uint32_t u;
    if (!U32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
}

bool Reader::U64(uint64_t& v)
{
    if (!Need(8)) return false;
    v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(data_[pos_ + i]) << (8 * i);
    pos_ += 8;
    return true;
}

bool Reader::F32(float& v)
{
    uint32_t bits;
    if (!U32(bits)) return false;
    std::memcpy(&v, &bits, 4);
    return true;
}

bool Reader::F64(double& v)
{
    uint64_t bits;
    if (!U64(bits)) return false;
    std::memcpy(&v, &bits, 8);
    return true;
}

bool Reader::Text(std::string& text, size_t maxLength)
{
    uint32_t n;
    if (!U32(n)) return false;
    if (n > maxLength || !Need(n)) {
        ok_ = false;
        return false;
    }
    text.assign(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return true;
}

bool Reader::Block(Bytes& block, size_t maxSize)
{
    uint32_t n;
    if (!U32(n)) return false;
    if (n > maxSize || !Need(n)) {
        ok_ = false;
        return false;
    }
    block.assign(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return true;
}

bool Reader::BlockView(const uint8_t*& data, size_t& size, size_t maxSize)
{
    uint32_t n;
    if (!U32(n)) return false;
    if (n > maxSize || !Need(n)) {
        ok_ = false;
        return false;
    }
    data = data_ + pos_;
    size = n;
    pos_ += n;
    return true;
}

bool Reader::Raw(void* out, size_t size)
{
    if (!Need(size)) return false;
    if (size) std::memcpy(out, data_ + pos_, size);
    pos_ += size;
    return true;
}

namespace {

Writer Header(DWORD recvId)
{
    Writer w;
    w.U32(0);  // size, patched by Finish
    w.U32(kVersion);
    w.U32(recvId);
    return w;
}

Bytes Finish(Writer& w)
{
    w.PatchU32(0, static_cast<uint32_t>(w.Size()));
    return w.Take();
}

}  // namespace

Bytes MakeOpen(std::string_view simulatorName)
{
    Writer w = Header(SIMCONNECT_RECV_ID_OPEN);
    w.FixedText(simulatorName, 256);
    const DWORD versions[] = {10, 0, 61259, 0, 10, 0, 61259, 0, 0, 0};
    for (DWORD v : versions) w.U32(v);
    return Finish(w);
}

Bytes MakeQuit()
{
    Writer w = Header(SIMCONNECT_RECV_ID_QUIT);
    return Finish(w);
}

Bytes MakeException(DWORD exception, DWORD sendId, DWORD index)
{
    Writer w = Header(SIMCONNECT_RECV_ID_EXCEPTION);
    w.U32(exception);
    w.U32(sendId);
    w.U32(index);
    return Finish(w);
}

Bytes MakeEvent(DWORD groupId, DWORD eventId, DWORD data)
{
    Writer w = Header(SIMCONNECT_RECV_ID_EVENT);
    w.U32(groupId);
    w.U32(eventId);
    w.U32(data);
    return Finish(w);
}

Bytes MakeEventFilename(DWORD groupId, DWORD eventId, DWORD data, std::string_view fileName, DWORD flags)
{
    Writer w = Header(SIMCONNECT_RECV_ID_EVENT_FILENAME);
    w.U32(groupId);
    w.U32(eventId);
    w.U32(data);
    w.FixedText(fileName, MAX_PATH);
    w.U32(flags);
    return Finish(w);
}

Bytes MakeEventFrame(DWORD groupId, DWORD eventId, float frameRate, float simSpeed)
{
    Writer w = Header(SIMCONNECT_RECV_ID_EVENT_FRAME);
    w.U32(groupId);
    w.U32(eventId);
    w.U32(0);
    w.F32(frameRate);
    w.F32(simSpeed);
    return Finish(w);
}

Bytes MakeEventObjectAddRemove(DWORD groupId, DWORD eventId, DWORD objectId, DWORD objectType)
{
    Writer w = Header(SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
    w.U32(groupId);
    w.U32(eventId);
    w.U32(objectId);
    w.U32(objectType);
    return Finish(w);
}

Bytes MakeData(DWORD recvId, DWORD requestId, DWORD objectId, DWORD defineId, DWORD flags, DWORD entry,
               DWORD outOf, DWORD defineCount, const Bytes& record)
{
    Writer w = Header(recvId);
    w.U32(requestId);
    w.U32(objectId);
    w.U32(defineId);
    w.U32(flags);
    w.U32(entry);
    w.U32(outOf);
    w.U32(defineCount);
    w.Raw(record.data(), record.size());
    // The record type always reaches dwData, even for an empty record.
    if (w.Size() < sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA)) w.Zeros(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) - w.Size());
    return Finish(w);
}

Bytes MakeAssignedObjectId(DWORD requestId, DWORD objectId)
{
    Writer w = Header(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    w.U32(requestId);
    w.U32(objectId);
    return Finish(w);
}

Bytes MakeReservedKey(std::string_view choice, std::string_view key)
{
    Writer w = Header(SIMCONNECT_RECV_ID_RESERVED_KEY);
    w.FixedText(choice, 30);
    w.FixedText(key, 50);
    return Finish(w);
}

Bytes MakeSystemState(DWORD requestId, DWORD integer, float value, std::string_view text)
{
    Writer w = Header(SIMCONNECT_RECV_ID_SYSTEM_STATE);
    w.U32(requestId);
    w.U32(integer);
    w.F32(value);
    w.FixedText(text, MAX_PATH);
    return Finish(w);
}

size_t MinimumMessageSize(DWORD recvId)
{
    switch (recvId) {
    case SIMCONNECT_RECV_ID_EXCEPTION: return sizeof(SIMCONNECT_RECV_EXCEPTION);
    case SIMCONNECT_RECV_ID_OPEN: return sizeof(SIMCONNECT_RECV_OPEN);
    case SIMCONNECT_RECV_ID_EVENT: return sizeof(SIMCONNECT_RECV_EVENT);
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE: return sizeof(SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE);
    case SIMCONNECT_RECV_ID_EVENT_FILENAME: return sizeof(SIMCONNECT_RECV_EVENT_FILENAME);
    case SIMCONNECT_RECV_ID_EVENT_FRAME: return sizeof(SIMCONNECT_RECV_EVENT_FRAME);
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE:
    case SIMCONNECT_RECV_ID_CLIENT_DATA: return sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA);
    case SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID: return sizeof(SIMCONNECT_RECV_ASSIGNED_OBJECT_ID);
    case SIMCONNECT_RECV_ID_RESERVED_KEY: return sizeof(SIMCONNECT_RECV_RESERVED_KEY);
    case SIMCONNECT_RECV_ID_SYSTEM_STATE: return sizeof(SIMCONNECT_RECV_SYSTEM_STATE);
    default: return sizeof(SIMCONNECT_RECV);
    }
}

bool IsWellFormedMessage(const uint8_t* data, size_t size)
{
    Reader r(data, size);
    uint32_t dwSize = 0, version = 0, id = 0;
    if (!r.U32(dwSize) || !r.U32(version) || !r.U32(id)) return false;
    return dwSize == size && size >= MinimumMessageSize(id);
}

}  // namespace platform::simconnect
