// The wire forms of the API client-data areas through which programs beside the simulator ask orvane
// about its stands and jetways and drive them:
//
//   "VELK.APIData.In"                 928 bytes   requests (JetwayQuery, Trigger, Inform, StandInform,
//                                                 MassQuery), each in its own fields
//   "VELK.APIData.Out"                928 bytes   answers to JetwayQuery, Trigger, Inform, StandInform
//   "VELK.APIData.MassResponse"      6156 bytes   stands with jetways of an airport
//   "VELK.APIData.MassResponse.VDGS" 4108 bytes   stands with guidance displays of an airport
//   "VELK.APIData.Lite"                36 bytes   StandInform.Lite request and answer
//
// Little-endian integers and IEEE doubles at fixed offsets; texts are 8-bit strings in fixed fields.
// Every offset below is checked at compile time against its neighbours and its area's size
// (ApiCodec.cpp). Both sides use the same codec: orvane decodes requests and encodes answers, a client
// does the reverse. Decoding never reads past a field: a text without its terminator ends at the field's
// end, and a buffer shorter than its area decodes to nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace api_wire {

// The protocol version orvane speaks.
constexpr uint32_t kVersion = 2;

constexpr size_t kRecordSize = 928;        // In and Out
constexpr size_t kMassSize = 6156;         // MassResponse
constexpr size_t kMassVdgsSize = 4108;     // MassResponse.VDGS
constexpr size_t kLiteSize = 36;           // Lite
constexpr size_t kMaxMassEntries = 512;    // per mass-response area
constexpr size_t kSlots = 4;               // jetways per stand in a JetwayQuery answer

// One field of an area: where it starts and how many bytes it holds.
struct Field {
    size_t offset;
    size_t size;
    constexpr size_t End() const { return offset + size; }
};

// "VELK.APIData.In", by request.
namespace in {
constexpr Field kMassIcao{0, 8};
constexpr Field kQueryIcao{8, 5};
constexpr Field kQueryStand{13, 19};
constexpr Field kQueryNumber{32, 4};
constexpr Field kQueryLatitude{40, 8};
constexpr Field kQueryLongitude{48, 8};
constexpr Field kQueryAltitude{56, 8};
constexpr Field kQueryEcho{8, 56};  // the query's stand and position, copied into its answer
constexpr Field kTriggerMode{424, 4};
constexpr Field kTriggerJetway{428, 4};
constexpr Field kTriggerOwn{432, 4};
constexpr Field kTriggerDoor{436, 16};
constexpr Field kTriggerOverride{452, 4};
constexpr Field kTriggerDoorData{456, 64};
constexpr Field kInformMode{528, 4};
constexpr Field kInformJetway{532, 4};
constexpr Field kInformLatitude{536, 8};
constexpr Field kInformLongitude{544, 8};
constexpr Field kInformAltitude{552, 8};
constexpr Field kInformHeading{560, 8};
constexpr Field kInformIcao{568, 5};
constexpr Field kInformStand{573, 19};
constexpr Field kInformNumber{592, 4};
constexpr Field kInformMultiIndex{596, 4};
constexpr Field kInformTitle{600, 128};
constexpr Field kInformDoorTargets{728, 16};
constexpr Field kStandMode{752, 4};
constexpr Field kStandIcao{756, 5};
constexpr Field kStandName{761, 19};
constexpr Field kStandNumber{780, 4};
constexpr Field kInformVersion{788, 4};
constexpr Field kInformParts{796, 16};
constexpr Field kTriggerForm{896, 4};
constexpr Field kAiJetway{900, 4};
constexpr Field kAiAircraft{904, 4};
constexpr Field kAiDoor{908, 20};
}  // namespace in

// "VELK.APIData.Out", by answer.
namespace out {
constexpr Field kQueryEcho{8, 56};
constexpr Field kQueryCount{64, 4};
constexpr Field kQueryIds{68, 16};
constexpr Field kQueryZero{84, 16};
constexpr Field kQueryNames{100, 256};
constexpr Field kQuerySort1{360, 32};
constexpr Field kQuerySort2{392, 32};
constexpr Field kTriggerJetway{520, 4};
constexpr Field kTriggerStatus{524, 4};
constexpr Field kInformJetway{744, 4};
constexpr Field kInformStatus{748, 4};
constexpr Field kStandStatus{784, 4};
constexpr Field kVersion{788, 4};
constexpr Field kInformTwo{792, 4};
constexpr Field kQueryTypes{816, 16};
constexpr Field kQueryRootHeights{832, 32};
constexpr Field kQueryStates{864, 16};
constexpr Field kQueryDoors{880, 16};
}  // namespace out

// The mass-response areas: an ICAO header, then entries from offset 8, zero after the last.
namespace mass {
constexpr Field kIcao{0, 5};
constexpr size_t kEntries = 8;
constexpr size_t kEntrySize = 12;      // category, number, jetways (i32 each)
constexpr size_t kVdgsEntrySize = 8;   // category, number
}  // namespace mass

// "VELK.APIData.Lite".
namespace lite {
constexpr Field kMode{0, 4};
constexpr Field kIcao{4, 5};
constexpr Field kStand{9, 19};
constexpr Field kNumber{28, 4};
constexpr Field kStatus{32, 4};
}  // namespace lite

// ---- values --------------------------------------------------------------------------------------

constexpr uint32_t kTriggerTestOnly = 1;  // any other trigger mode operates
constexpr uint32_t kTriggerAiForm = 2;    // In 896

enum InformMode : uint32_t { kInformProbe = 0, kInformReset = 1, kInformRegister = 2, kInformRemove = 3 };
enum StandMode : uint32_t { kStandSelect = 0, kStandDeselect = 1 };

// JetwayTriggerStatus.
enum TriggerStatus : uint32_t {
    kTriggerNoSolution = 0,
    kTriggerSolvable = 1,
    kTriggerAiDocking = 2,
    kTriggerDocked = 3,
    kTriggerAiUndocking = 4,
    kTriggerUndocked = 5,
    kTriggerAborted = 6,
    kTriggerGone = 7,
};
// JetwayInformStatus.
enum InformStatus : uint32_t {
    kInformProbed = 0,
    kInformWasReset = 1,
    kInformRegistered = 2,
    kInformRemoved = 3,
    kInformNoConfig = 4,
    kInformRefused = 5,
};
// StandInformStatus (and the Lite answer).
enum StandStatus : uint32_t { kStandOther = 0, kStandSelected = 1, kStandDeselected = 2 };

// JetwayResponse slot states.
enum SlotState : uint32_t {
    kSlotMovingUndocked = 2,
    kSlotDocked = 3,
    kSlotMovingDocked = 4,
    kSlotUndocked = 5,
    kSlotEmpty = 7,
};
// JetwayResponse door codes: "1L", "2L", "3L", "4L", "1L Upper", anything else.
constexpr uint32_t kDoorNone = 5;
uint32_t DoorCode(const std::string& exitName);
// The exit name of a door code; empty for kDoorNone and unknown codes.
std::string DoorName(uint32_t code);

// ---- records -------------------------------------------------------------------------------------

using Area = std::array<uint8_t, kRecordSize>;
using MassArea = std::array<uint8_t, kMassSize>;
using MassVdgsArea = std::array<uint8_t, kMassVdgsSize>;
using LiteArea = std::array<uint8_t, kLiteSize>;

// The stand triple several records carry. Texts longer than their fields are cut on encoding.
struct StandRef {
    std::string icao;    // up to 4 letters (char[5])
    std::string name;    // the gate name, up to 18 characters (char[19])
    uint32_t number = 0;
};

struct JetwayQueryRequest {
    StandRef stand;
    double latitude = 0.0;  // degrees
    double longitude = 0.0;
    double altitudeFeet = 0.0;
};

struct JetwayTriggerRequest {
    // The AI form (In 896 = 2) uses jetwayId, aiAircraftId and door; the user form the rest.
    bool aiForm = false;
    uint32_t mode = 0;
    uint32_t jetwayId = 0;
    uint32_t aiAircraftId = 0;
    bool own = false;  // a jetway the client registered (JetwayInform mode 2)
    std::string door;  // "1L", "2L", "1L Upper"...: up to 15 characters (19 in the AI form)
    bool overrideDoor = false;
    std::array<double, 8> doorData{};  // reference lat, lon, alt, three offsets, two docking values
};

struct JetwayInformRequest {
    uint32_t mode = 0;
    uint32_t jetwayId = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitudeFeet = 0.0;
    double heading = 0.0;
    StandRef stand;
    int32_t multiIndex = 0;
    std::string simTitle;  // up to 127 characters
    std::array<uint32_t, 4> doorTargets{};
    uint32_t version = kVersion;
    std::array<uint32_t, 4> partIds{};
};

struct StandInformRequest {
    uint32_t mode = 0;
    StandRef stand;
};

struct MassQueryRequest {
    std::string icao;  // as written: up to 8 characters (a text that fills its field has no terminator)
};

struct JetwayResponse {
    std::array<uint8_t, in::kQueryEcho.size> echo{};  // the request's bytes 8 to 63
    uint32_t count = 0;
    std::array<uint32_t, kSlots> ids{};
    std::array<std::string, kSlots> names;  // up to 63 characters each
    std::array<double, kSlots> sort1{};
    std::array<double, kSlots> sort2{};
    std::array<uint32_t, kSlots> types{};  // 1 A, 2 N, 3 T, 4 H
    std::array<double, kSlots> rootHeights{};
    std::array<uint32_t, kSlots> states{};
    std::array<uint32_t, kSlots> doors{};
    uint32_t version = 0;
};

struct StatusAnswer {
    uint32_t jetwayId = 0;  // unused by StandInformStatus
    uint32_t status = 0;
    uint32_t version = 0;
};

struct MassEntry {
    int32_t category = 0;
    int32_t number = 0;
    int32_t jetways = 0;  // unused in the guidance area
};

struct MassResponse {
    std::string icao;
    std::vector<MassEntry> entries;  // at most kMaxMassEntries are written
};

struct LiteRecord {
    uint32_t mode = 0;
    StandRef stand;
    uint32_t status = 0;
};

// ---- requests: clients encode, orvane decodes -----------------------------------------------------
// Encoders write only their own fields into an area the caller keeps (zero it for a fresh request).
// Decoders return false, and leave the result alone, when size is below the area's size.

void EncodeJetwayQuery(const JetwayQueryRequest& request, Area& area);
bool DecodeJetwayQuery(const uint8_t* data, size_t size, JetwayQueryRequest& request);
void EncodeJetwayTrigger(const JetwayTriggerRequest& request, Area& area);
bool DecodeJetwayTrigger(const uint8_t* data, size_t size, JetwayTriggerRequest& request);
void EncodeJetwayInform(const JetwayInformRequest& request, Area& area);
bool DecodeJetwayInform(const uint8_t* data, size_t size, JetwayInformRequest& request);
void EncodeStandInform(const StandInformRequest& request, Area& area);
bool DecodeStandInform(const uint8_t* data, size_t size, StandInformRequest& request);
void EncodeMassQuery(const MassQueryRequest& request, Area& area);
bool DecodeMassQuery(const uint8_t* data, size_t size, MassQueryRequest& request);

// ---- answers: orvane encodes, clients decode ------------------------------------------------------
// Answer encoders into the Out area write their own fields and the version; the other bytes stay.

void EncodeJetwayResponse(const JetwayResponse& answer, Area& area);
bool DecodeJetwayResponse(const uint8_t* data, size_t size, JetwayResponse& answer);
void EncodeTriggerStatus(const StatusAnswer& answer, Area& area);
bool DecodeTriggerStatus(const uint8_t* data, size_t size, StatusAnswer& answer);
// Also writes the constant 2 at Out 792.
void EncodeInformStatus(const StatusAnswer& answer, Area& area);
bool DecodeInformStatus(const uint8_t* data, size_t size, StatusAnswer& answer);
void EncodeStandStatus(const StatusAnswer& answer, Area& area);
bool DecodeStandStatus(const uint8_t* data, size_t size, StatusAnswer& answer);

// The whole area: header, at most kMaxMassEntries entries, zeros to the end. The number of entries left
// out is returned (0 when all fit).
size_t EncodeMassResponse(const MassResponse& answer, MassArea& area);
size_t EncodeMassResponseVdgs(const MassResponse& answer, MassVdgsArea& area);
// Entries up to the first all-zero one.
bool DecodeMassResponse(const uint8_t* data, size_t size, MassResponse& answer);
bool DecodeMassResponseVdgs(const uint8_t* data, size_t size, MassResponse& answer);

// The Lite area holds the request and, rewritten whole, the answer.
void EncodeLite(const LiteRecord& record, LiteArea& area);
bool DecodeLite(const uint8_t* data, size_t size, LiteRecord& record);

// A text field as a string: up to its first NUL, never past the field.
std::string ReadText(const uint8_t* area, Field field);

}  // namespace api_wire
