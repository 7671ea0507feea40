#include "link/ApiCodec.h"

#include <algorithm>
#include <cstring>

namespace api_wire {
namespace {

// Fields listed by offset must follow each other without overlap and end within their area; numbers and
// doubles sit at their natural alignment.
template <size_t N>
constexpr bool Laid(const Field (&fields)[N], size_t areaSize)
{
    for (size_t i = 0; i < N; ++i) {
        if (fields[i].size == 0 || fields[i].End() > areaSize) return false;
        if (i > 0 && fields[i - 1].End() > fields[i].offset) return false;
    }
    return true;
}
constexpr bool Aligned(Field f, size_t to) { return f.offset % to == 0 && f.size % to == 0; }

constexpr Field kInFields[] = {
    in::kMassIcao, in::kQueryIcao, in::kQueryStand, in::kQueryNumber, in::kQueryLatitude, in::kQueryLongitude,
    in::kQueryAltitude, in::kTriggerMode, in::kTriggerJetway, in::kTriggerOwn, in::kTriggerDoor,
    in::kTriggerOverride, in::kTriggerDoorData, in::kInformMode, in::kInformJetway, in::kInformLatitude,
    in::kInformLongitude, in::kInformAltitude, in::kInformHeading, in::kInformIcao, in::kInformStand,
    in::kInformNumber, in::kInformMultiIndex, in::kInformTitle, in::kInformDoorTargets, in::kStandMode,
    in::kStandIcao, in::kStandName, in::kStandNumber, in::kInformVersion, in::kInformParts, in::kTriggerForm,
    in::kAiJetway, in::kAiAircraft, in::kAiDoor};
static_assert(Laid(kInFields, kRecordSize));
static_assert(in::kQueryEcho.offset == in::kQueryIcao.offset && in::kQueryEcho.End() == in::kQueryAltitude.End());
static_assert(in::kMassIcao.End() == in::kQueryIcao.offset, "the mass query's ICAO field is 8 bytes");
static_assert(in::kQueryIcao.End() == in::kQueryStand.offset && in::kQueryStand.End() == in::kQueryNumber.offset);
static_assert(in::kInformIcao.End() == in::kInformStand.offset && in::kInformStand.End() == in::kInformNumber.offset);
static_assert(in::kStandIcao.End() == in::kStandName.offset && in::kStandName.End() == in::kStandNumber.offset);
static_assert(Aligned(in::kQueryLatitude, 8) && Aligned(in::kQueryLongitude, 8) && Aligned(in::kQueryAltitude, 8));
static_assert(Aligned(in::kTriggerDoorData, 8) && in::kTriggerDoorData.size == 8 * sizeof(double));
static_assert(Aligned(in::kInformLatitude, 8) && Aligned(in::kInformHeading, 8));
static_assert(Aligned(in::kInformDoorTargets, 4) && in::kInformDoorTargets.size == 4 * sizeof(uint32_t));
static_assert(Aligned(in::kInformParts, 4) && in::kInformParts.size == 4 * sizeof(uint32_t));
static_assert(in::kAiDoor.End() == kRecordSize);

constexpr Field kOutFields[] = {
    out::kQueryEcho, out::kQueryCount, out::kQueryIds, out::kQueryZero, out::kQueryNames, out::kQuerySort1,
    out::kQuerySort2, out::kTriggerJetway, out::kTriggerStatus, out::kInformJetway, out::kInformStatus,
    out::kStandStatus, out::kVersion, out::kInformTwo, out::kQueryTypes, out::kQueryRootHeights,
    out::kQueryStates, out::kQueryDoors};
static_assert(Laid(kOutFields, kRecordSize));
static_assert(out::kQueryEcho.offset == in::kQueryEcho.offset && out::kQueryEcho.size == in::kQueryEcho.size);
static_assert(out::kQueryIds.size == kSlots * 4 && out::kQueryNames.size == kSlots * 64);
static_assert(out::kQuerySort1.size == kSlots * 8 && out::kQuerySort2.size == kSlots * 8);
static_assert(Aligned(out::kQuerySort1, 8) && Aligned(out::kQuerySort2, 8) && Aligned(out::kQueryRootHeights, 8));
static_assert(out::kQueryTypes.size == kSlots * 4 && out::kQueryStates.size == kSlots * 4);
static_assert(out::kQueryDoors.size == kSlots * 4 && out::kQueryRootHeights.size == kSlots * 8);
static_assert(in::kInformVersion.offset == out::kVersion.offset, "the version has one place in both directions");

// 512 entries fit each area; its last four bytes stay zero, the end mark of a full list.
static_assert(mass::kEntries + kMaxMassEntries * mass::kEntrySize + 4 == kMassSize);
static_assert(mass::kEntries + kMaxMassEntries * mass::kVdgsEntrySize + 4 == kMassVdgsSize);
static_assert(mass::kIcao.End() <= mass::kEntries);

constexpr Field kLiteFields[] = {lite::kMode, lite::kIcao, lite::kStand, lite::kNumber, lite::kStatus};
static_assert(Laid(kLiteFields, kLiteSize) && lite::kStatus.End() == kLiteSize);
static_assert(lite::kIcao.End() == lite::kStand.offset && lite::kStand.End() == lite::kNumber.offset);

// ---- little-endian scalars and bounded texts ----

uint32_t ReadU32(const uint8_t* area, size_t offset)
{
    const uint8_t* p = area + offset;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
int32_t ReadI32(const uint8_t* area, size_t offset) { return static_cast<int32_t>(ReadU32(area, offset)); }
double ReadF64(const uint8_t* area, size_t offset)
{
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | area[offset + i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
void WriteU32(uint8_t* area, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i) area[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
void WriteI32(uint8_t* area, size_t offset, int32_t value) { WriteU32(area, offset, static_cast<uint32_t>(value)); }
void WriteF64(uint8_t* area, size_t offset, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) area[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}
// The text, cut to leave room for its terminator, then zeros to the field's end.
void WriteText(uint8_t* area, Field field, const std::string& text)
{
    const size_t n = std::min(text.size(), field.size - 1);
    std::memcpy(area + field.offset, text.data(), n);
    std::memset(area + field.offset + n, 0, field.size - n);
}

uint32_t U32(const uint8_t* area, Field f) { return ReadU32(area, f.offset); }
double F64(const uint8_t* area, Field f) { return ReadF64(area, f.offset); }

StandRef ReadStand(const uint8_t* area, Field icao, Field name, Field number)
{
    return StandRef{ReadText(area, icao), ReadText(area, name), ReadU32(area, number.offset)};
}
void WriteStand(uint8_t* area, const StandRef& stand, Field icao, Field name, Field number)
{
    WriteText(area, icao, stand.icao);
    WriteText(area, name, stand.name);
    WriteU32(area, number.offset, stand.number);
}

template <typename T, size_t N>
void ReadArray(const uint8_t* area, Field f, std::array<T, N>& values)
{
    for (size_t i = 0; i < N; ++i) {
        if constexpr (sizeof(T) == 8)
            values[i] = ReadF64(area, f.offset + 8 * i);
        else
            values[i] = static_cast<T>(ReadU32(area, f.offset + 4 * i));
    }
}
template <typename T, size_t N>
void WriteArray(uint8_t* area, Field f, const std::array<T, N>& values)
{
    for (size_t i = 0; i < N; ++i) {
        if constexpr (sizeof(T) == 8)
            WriteF64(area, f.offset + 8 * i, values[i]);
        else
            WriteU32(area, f.offset + 4 * i, static_cast<uint32_t>(values[i]));
    }
}

constexpr const char* kDoorNames[] = {"1L", "2L", "3L", "4L", "1L Upper"};

size_t EncodeEntries(const MassResponse& answer, uint8_t* area, size_t areaSize, size_t entrySize)
{
    std::memset(area, 0, areaSize);
    WriteText(area, mass::kIcao, answer.icao);
    const size_t n = std::min(answer.entries.size(), kMaxMassEntries);
    for (size_t i = 0; i < n; ++i) {
        const size_t at = mass::kEntries + i * entrySize;
        WriteI32(area, at, answer.entries[i].category);
        WriteI32(area, at + 4, answer.entries[i].number);
        if (entrySize == mass::kEntrySize) WriteI32(area, at + 8, answer.entries[i].jetways);
    }
    return answer.entries.size() - n;
}

bool DecodeEntries(const uint8_t* data, size_t size, size_t areaSize, size_t entrySize, MassResponse& answer)
{
    if (data == nullptr || size < areaSize) return false;
    answer.icao = ReadText(data, mass::kIcao);
    answer.entries.clear();
    for (size_t at = mass::kEntries; at + entrySize <= areaSize; at += entrySize) {
        MassEntry e;
        e.category = ReadI32(data, at);
        e.number = ReadI32(data, at + 4);
        if (entrySize == mass::kEntrySize) e.jetways = ReadI32(data, at + 8);
        if (e.category == 0 && e.number == 0 && e.jetways == 0) break;
        answer.entries.push_back(e);
    }
    return true;
}

}  // namespace

std::string ReadText(const uint8_t* area, Field field)
{
    const char* begin = reinterpret_cast<const char*>(area + field.offset);
    const void* nul = std::memchr(begin, 0, field.size);
    return std::string(begin, nul ? static_cast<const char*>(nul) - begin : field.size);
}

uint32_t DoorCode(const std::string& exitName)
{
    for (uint32_t i = 0; i < sizeof kDoorNames / sizeof kDoorNames[0]; ++i)
        if (exitName == kDoorNames[i]) return i;
    return kDoorNone;
}

std::string DoorName(uint32_t code)
{
    return code < sizeof kDoorNames / sizeof kDoorNames[0] ? kDoorNames[code] : std::string();
}

// ---- requests ----

void EncodeJetwayQuery(const JetwayQueryRequest& r, Area& area)
{
    uint8_t* a = area.data();
    WriteStand(a, r.stand, in::kQueryIcao, in::kQueryStand, in::kQueryNumber);
    WriteF64(a, in::kQueryLatitude.offset, r.latitude);
    WriteF64(a, in::kQueryLongitude.offset, r.longitude);
    WriteF64(a, in::kQueryAltitude.offset, r.altitudeFeet);
}

bool DecodeJetwayQuery(const uint8_t* a, size_t size, JetwayQueryRequest& r)
{
    if (a == nullptr || size < kRecordSize) return false;
    r.stand = ReadStand(a, in::kQueryIcao, in::kQueryStand, in::kQueryNumber);
    r.latitude = F64(a, in::kQueryLatitude);
    r.longitude = F64(a, in::kQueryLongitude);
    r.altitudeFeet = F64(a, in::kQueryAltitude);
    return true;
}

void EncodeJetwayTrigger(const JetwayTriggerRequest& r, Area& area)
{
    uint8_t* a = area.data();
    if (r.aiForm) {
        WriteU32(a, in::kTriggerForm.offset, kTriggerAiForm);
        WriteU32(a, in::kAiJetway.offset, r.jetwayId);
        WriteU32(a, in::kAiAircraft.offset, r.aiAircraftId);
        WriteText(a, in::kAiDoor, r.door);
        return;
    }
    WriteU32(a, in::kTriggerForm.offset, 0);
    WriteU32(a, in::kTriggerMode.offset, r.mode);
    WriteU32(a, in::kTriggerJetway.offset, r.jetwayId);
    WriteU32(a, in::kTriggerOwn.offset, r.own ? 1 : 0);
    WriteText(a, in::kTriggerDoor, r.door);
    WriteU32(a, in::kTriggerOverride.offset, r.overrideDoor ? 1 : 0);
    WriteArray(a, in::kTriggerDoorData, r.doorData);
}

bool DecodeJetwayTrigger(const uint8_t* a, size_t size, JetwayTriggerRequest& r)
{
    if (a == nullptr || size < kRecordSize) return false;
    r = JetwayTriggerRequest{};
    r.aiForm = U32(a, in::kTriggerForm) == kTriggerAiForm;
    if (r.aiForm) {
        r.mode = kTriggerAiForm;
        r.jetwayId = U32(a, in::kAiJetway);
        r.aiAircraftId = U32(a, in::kAiAircraft);
        r.door = ReadText(a, in::kAiDoor);
        return true;
    }
    r.mode = U32(a, in::kTriggerMode);
    r.jetwayId = U32(a, in::kTriggerJetway);
    r.own = U32(a, in::kTriggerOwn) != 0;
    r.door = ReadText(a, in::kTriggerDoor);
    r.overrideDoor = U32(a, in::kTriggerOverride) != 0;
    ReadArray(a, in::kTriggerDoorData, r.doorData);
    return true;
}

void EncodeJetwayInform(const JetwayInformRequest& r, Area& area)
{
    uint8_t* a = area.data();
    WriteU32(a, in::kInformMode.offset, r.mode);
    WriteU32(a, in::kInformJetway.offset, r.jetwayId);
    WriteF64(a, in::kInformLatitude.offset, r.latitude);
    WriteF64(a, in::kInformLongitude.offset, r.longitude);
    WriteF64(a, in::kInformAltitude.offset, r.altitudeFeet);
    WriteF64(a, in::kInformHeading.offset, r.heading);
    WriteStand(a, r.stand, in::kInformIcao, in::kInformStand, in::kInformNumber);
    WriteI32(a, in::kInformMultiIndex.offset, r.multiIndex);
    WriteText(a, in::kInformTitle, r.simTitle);
    WriteArray(a, in::kInformDoorTargets, r.doorTargets);
    WriteU32(a, in::kInformVersion.offset, r.version);
    WriteArray(a, in::kInformParts, r.partIds);
}

bool DecodeJetwayInform(const uint8_t* a, size_t size, JetwayInformRequest& r)
{
    if (a == nullptr || size < kRecordSize) return false;
    r.mode = U32(a, in::kInformMode);
    r.jetwayId = U32(a, in::kInformJetway);
    r.latitude = F64(a, in::kInformLatitude);
    r.longitude = F64(a, in::kInformLongitude);
    r.altitudeFeet = F64(a, in::kInformAltitude);
    r.heading = F64(a, in::kInformHeading);
    r.stand = ReadStand(a, in::kInformIcao, in::kInformStand, in::kInformNumber);
    r.multiIndex = ReadI32(a, in::kInformMultiIndex.offset);
    r.simTitle = ReadText(a, in::kInformTitle);
    ReadArray(a, in::kInformDoorTargets, r.doorTargets);
    r.version = U32(a, in::kInformVersion);
    ReadArray(a, in::kInformParts, r.partIds);
    return true;
}

void EncodeStandInform(const StandInformRequest& r, Area& area)
{
    WriteU32(area.data(), in::kStandMode.offset, r.mode);
    WriteStand(area.data(), r.stand, in::kStandIcao, in::kStandName, in::kStandNumber);
}

bool DecodeStandInform(const uint8_t* a, size_t size, StandInformRequest& r)
{
    if (a == nullptr || size < kRecordSize) return false;
    r.mode = U32(a, in::kStandMode);
    r.stand = ReadStand(a, in::kStandIcao, in::kStandName, in::kStandNumber);
    return true;
}

void EncodeMassQuery(const MassQueryRequest& r, Area& area) { WriteText(area.data(), in::kMassIcao, r.icao); }

bool DecodeMassQuery(const uint8_t* a, size_t size, MassQueryRequest& r)
{
    if (a == nullptr || size < kRecordSize) return false;
    r.icao = ReadText(a, in::kMassIcao);
    return true;
}

// ---- answers ----

void EncodeJetwayResponse(const JetwayResponse& r, Area& area)
{
    uint8_t* a = area.data();
    std::memcpy(a + out::kQueryEcho.offset, r.echo.data(), r.echo.size());
    WriteU32(a, out::kQueryCount.offset, r.count);
    WriteArray(a, out::kQueryIds, r.ids);
    std::memset(a + out::kQueryZero.offset, 0, out::kQueryZero.size);
    for (size_t i = 0; i < kSlots; ++i)
        WriteText(a, Field{out::kQueryNames.offset + 64 * i, 64}, r.names[i]);
    WriteArray(a, out::kQuerySort1, r.sort1);
    WriteArray(a, out::kQuerySort2, r.sort2);
    WriteU32(a, out::kVersion.offset, kVersion);
    WriteArray(a, out::kQueryTypes, r.types);
    WriteArray(a, out::kQueryRootHeights, r.rootHeights);
    WriteArray(a, out::kQueryStates, r.states);
    WriteArray(a, out::kQueryDoors, r.doors);
}

bool DecodeJetwayResponse(const uint8_t* a, size_t size, JetwayResponse& r)
{
    if (a == nullptr || size < kRecordSize) return false;
    std::memcpy(r.echo.data(), a + out::kQueryEcho.offset, r.echo.size());
    r.count = U32(a, out::kQueryCount);
    ReadArray(a, out::kQueryIds, r.ids);
    for (size_t i = 0; i < kSlots; ++i) r.names[i] = ReadText(a, Field{out::kQueryNames.offset + 64 * i, 64});
    ReadArray(a, out::kQuerySort1, r.sort1);
    ReadArray(a, out::kQuerySort2, r.sort2);
    ReadArray(a, out::kQueryTypes, r.types);
    ReadArray(a, out::kQueryRootHeights, r.rootHeights);
    ReadArray(a, out::kQueryStates, r.states);
    ReadArray(a, out::kQueryDoors, r.doors);
    r.version = U32(a, out::kVersion);
    return true;
}

void EncodeTriggerStatus(const StatusAnswer& r, Area& area)
{
    WriteU32(area.data(), out::kTriggerJetway.offset, r.jetwayId);
    WriteU32(area.data(), out::kTriggerStatus.offset, r.status);
    WriteU32(area.data(), out::kVersion.offset, kVersion);
}

bool DecodeTriggerStatus(const uint8_t* a, size_t size, StatusAnswer& r)
{
    if (a == nullptr || size < kRecordSize) return false;
    r = StatusAnswer{U32(a, out::kTriggerJetway), U32(a, out::kTriggerStatus), U32(a, out::kVersion)};
    return true;
}

void EncodeInformStatus(const StatusAnswer& r, Area& area)
{
    WriteU32(area.data(), out::kInformJetway.offset, r.jetwayId);
    WriteU32(area.data(), out::kInformStatus.offset, r.status);
    WriteU32(area.data(), out::kVersion.offset, kVersion);
    WriteU32(area.data(), out::kInformTwo.offset, 2);
}

bool DecodeInformStatus(const uint8_t* a, size_t size, StatusAnswer& r)
{
    if (a == nullptr || size < kRecordSize) return false;
    r = StatusAnswer{U32(a, out::kInformJetway), U32(a, out::kInformStatus), U32(a, out::kVersion)};
    return true;
}

void EncodeStandStatus(const StatusAnswer& r, Area& area)
{
    WriteU32(area.data(), out::kStandStatus.offset, r.status);
    WriteU32(area.data(), out::kVersion.offset, kVersion);
}

bool DecodeStandStatus(const uint8_t* a, size_t size, StatusAnswer& r)
{
    if (a == nullptr || size < kRecordSize) return false;
    r = StatusAnswer{0, U32(a, out::kStandStatus), U32(a, out::kVersion)};
    return true;
}

size_t EncodeMassResponse(const MassResponse& answer, MassArea& area)
{
    return EncodeEntries(answer, area.data(), area.size(), mass::kEntrySize);
}

size_t EncodeMassResponseVdgs(const MassResponse& answer, MassVdgsArea& area)
{
    return EncodeEntries(answer, area.data(), area.size(), mass::kVdgsEntrySize);
}

bool DecodeMassResponse(const uint8_t* data, size_t size, MassResponse& answer)
{
    return DecodeEntries(data, size, kMassSize, mass::kEntrySize, answer);
}

bool DecodeMassResponseVdgs(const uint8_t* data, size_t size, MassResponse& answer)
{
    return DecodeEntries(data, size, kMassVdgsSize, mass::kVdgsEntrySize, answer);
}

void EncodeLite(const LiteRecord& r, LiteArea& area)
{
    uint8_t* a = area.data();
    WriteU32(a, lite::kMode.offset, r.mode);
    WriteStand(a, r.stand, lite::kIcao, lite::kStand, lite::kNumber);
    WriteU32(a, lite::kStatus.offset, r.status);
}

bool DecodeLite(const uint8_t* a, size_t size, LiteRecord& r)
{
    if (a == nullptr || size < kLiteSize) return false;
    r.mode = U32(a, lite::kMode);
    r.stand = ReadStand(a, lite::kIcao, lite::kStand, lite::kNumber);
    r.status = U32(a, lite::kStatus);
    return true;
}

}  // namespace api_wire
