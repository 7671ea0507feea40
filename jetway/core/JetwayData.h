// The whole state of one jetway: its parts, the exchange fields that route a job between the program
// and the in-simulator module, configuration, targets, durations, increments and animation channels.
//
// An ordinary C++ type; its 5600-byte wire form is made and read only by jetway/JetwayCodec.h. Shared
// with the module: no logging, no files.
#pragma once

#include "foundation/BitField64.h"
#include "jetway/core/LinkedSimObject.h"

#include <array>
#include <atomic>
#include <cstdint>

// A flag read and written from the timer thread and the dispatch thread; copies take its value.
class SharedFlag {
public:
    SharedFlag(bool value = false) : value_(value) {}
    SharedFlag(const SharedFlag& other) : value_(other.load()) {}
    SharedFlag& operator=(const SharedFlag& other)
    {
        value_.store(other.load());
        return *this;
    }
    SharedFlag& operator=(bool value)
    {
        value_.store(value);
        return *this;
    }
    operator bool() const { return load(); }
    bool load() const { return value_.load(); }

private:
    std::atomic<bool> value_;
};

enum : uint32_t {
    kJetwayTypeA = 1,
    kJetwayTypeN = 2,
    kJetwayTypeT = 3,
    kJetwayTypeH = 4,
};

// Joint values of one pose, in this order on the wire.
struct JetwayPose {
    double rootRotation = 0;  // radians
    double dip = 0;           // radians
    double head = 0;          // radians
    double extension = 0;     // metres
    double legLength = 0;     // metres
    double stairAngle = 0;    // radians
};

// Limits of one "jetway.cfg" range, first and second value as written there.
struct JetwayRange {
    double first = 0;
    double second = 0;
};

// Per-tick steps that the motion start computes, in wire order.
struct JetwayIncrements {
    double rotation = 0;
    double dip = 0;
    double dipLevel = 0;
    double extension = 0;
    double extensionVia = 0;
    double head = 0;
    double wheelExtend = 0;
    double wheelRotate = 0;
    double hood = 0;
    double legDip = 0;
    double legLevel = 0;
    double legExtend = 0;
    double legVia = 0;
    double stairDip = 0;
    double stairExtend = 0;
    double stairVia = 0;
    double stairLevel = 0;
    double partRotation = 0;
    double partDip = 0;
    double partDipLevel = 0;
    double partExtension = 0;
    double partExtensionVia = 0;
    double partHead = 0;
};

struct JetwayData {
    static constexpr size_t kPartCount = 6;

    std::array<LinkedSimObject, kPartCount> Parts;
    BitField64 StateWord;
    uint32_t AnimationDefinitionId = 0;
    uint32_t PositionDefinitionId = 0;
    uint32_t JetwayObjectId = 0;
    uint32_t DoneEventId = 0;
    uint32_t IntermediateEventId = 0;
    uint32_t ClientDataAreaId = 0;
    uint32_t OutChannel = 0;
    uint32_t InChannel = 0;
    uint32_t ReportDefinitionId = 0;
    uint32_t JetwayType = kJetwayTypeA;
    bool RetractFirst = false;
    bool LevelFirst = false;
    bool SplitRotation = false;
    SharedFlag AbortRequested;
    SharedFlag Moving;
    bool Docked = false;
    uint32_t Phase = 0;
    JetwayPose CurrentPose;
    JetwayPose SavedPose;
    int32_t PlacementPointCount = 0;
    std::array<double, 4> PlacementPoints{};  // percent: root rotation, dip, head, extension
    uint32_t PeriodMs = 40;
    double ElapsedMs = 0;
    double DipDurationMs = 0;
    double LevelDurationMs = 0;
    double RotationDurationMs = 0;
    double ExtensionDurationMs = 0;
    double RetractDurationMs = 0;
    double HeadDurationMs = 0;
    double HoodDurationMs = 0;
    uint32_t KeyframeCount = 100;
    double RootRotationTime = 2.0;
    double BridgeExtensionTime = 2.0;
    double DipTime = 2.0;
    double HeadRotationTime = 2.0;
    double HoodTime = 2.0;
    JetwayRange BridgeLengthRange;
    JetwayRange RootSweepRange;  // degrees
    JetwayRange BridgeDipRange;  // degrees
    JetwayRange HeadSweepRange;  // degrees
    JetwayRange LegLengthRange;
    double RootFloorHeight = 0;
    double RootBridgeOffset = 0;
    double MouthOffset = 0;
    double LegOffset = 0;
    double LegOffsetFromOrigin = 0;
    double WheelRadius = 0;
    double StairLength = 0;
    double StairOffset = 0;
    double StairOffsetFromOrigin = 0;
    double HoodMovableHeight = 1.0;
    double HoodWidth = 1.0;
    double DoorHalfHeight = 1.0;
    double DoorVerticalOffset = 0;
    double DoorLateralOffset = 0;
    double DoorAngle = 0;  // degrees
    double DoorValue4 = 10.0;
    double DoorValue5 = 10.0;
    double TargetExtension = 0;
    double ExtensionVia = 0;
    double TargetRootRotation = 0;
    double TargetDip = 0;
    double TargetHead = 0;
    double TargetLegLength = 0;
    double LegLengthVia = 0;
    double LegLengthLevel = 0;
    double LegLengthAfterDip = 0;
    double LegChannel = 0;
    double ExtensionChannel = 0;
    double RotationChannel = 0;
    double DipChannel = 0;
    double StairChannel = 0;
    double HoodChannel = 0;
    double HeadChannel = 0;
    double WheelChannel = 0;
    double PartExtension = 0;
    double PartRotation = 0;
    double PartDip = 0;
    double PartHead = 0;
    bool WheelRunning = false;
    uint8_t MainProgramFlag = 0;  // set by the program, carried through by the module
    JetwayIncrements Increments;
    double JetwayLatitude = 0;   // degrees
    double JetwayLongitude = 0;  // degrees
    double JetwayAltitude = 0;   // feet
    double JetwayHeading = 0;    // degrees

    // Reserved ranges of the wire form, carried through unchanged.
    struct Unnamed {
        std::array<uint8_t, 2> afterDocked{};       // 4710
        std::array<uint8_t, 4> afterPhase{};        // 4716
        std::array<uint8_t, 4> afterPointCount{};   // 4820
        std::array<uint8_t, 4> afterPeriod{};       // 4860
        std::array<uint8_t, 4> afterKeyframes{};    // 4932
        std::array<uint8_t, 8> afterExtensionCh{};  // 5280
        std::array<uint8_t, 8> afterPartExt{};      // 5344
        std::array<uint8_t, 6> afterFlags{};        // 5378
    } Reserved;
};

// The physical ranges a received job's values must lie in. Each is far wider than any real jetway needs,
// yet narrow enough that no sum or product the motion forms can leave the finite numbers.
namespace job_limits {
// Bridge and leg lengths, offsets, stair, hood, door and part offsets. The longest bridges are some 50 m
// and a part sits within a few metres of its bone: a kilometre is twenty times that.
constexpr double kMaxLengthMetres = 1000.0;
// Sweep ranges, door angle and headings, in degrees: two whole turns either way. Any sweep a jetway
// makes, and a heading in 0..360 or -180..180, lies well within.
constexpr double kMaxAngleDegrees = 720.0;
// Joint angles of the poses, targets and part joints, in radians: the same two turns.
constexpr double kMaxAngleRadians = 4.0 * 3.14159265358979323846;
// Seconds for a full sweep of a joint (root, extension, dip, head, hood). Real jetways take 2 to 60 s:
// an hour is slower than any machine that still moves.
constexpr double kMaxSweepSeconds = 3600.0;
// Timer period: real jobs tick every 10 to 100 ms; one tick a minute is no animation any more.
constexpr uint32_t kMaxPeriodMs = 60000;
// Keyframes of the animation: models use about 100; ten thousand is far beyond any model.
constexpr uint32_t kMaxKeyframes = 10000;
// The longest a phase can run with a full sweep of the most keyframes at the slowest time (the motion
// takes keyframes x seconds x 10 ms), for the durations and the time spent in a phase.
constexpr double kMaxDurationMs = kMaxKeyframes * kMaxSweepSeconds * 10.0;
// Animation channels, in keyframes (hood 0..50, wheel 0..100, the others 0..keyframes), and the per-tick
// steps of the channels and part joints: never more than a whole channel, a length or a turn.
constexpr double kMaxChannel = kMaxKeyframes;
// Placement points, in percent of their joint's range: ten ranges beyond either end (the parked pose
// they give is itself held to the joint angles and lengths above).
constexpr double kMaxPercent = 1000.0;
// The jetway's position on the globe, in degrees.
constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;
// Altitudes in feet: the lowest airport lies some 1300 ft below the sea, the highest near 14,500 ft up.
constexpr double kMinAltitudeFeet = -2000.0;
constexpr double kMaxAltitudeFeet = 30000.0;
}  // namespace job_limits

// Why a received job must not be moved.
enum class JobCheck {
    Ok,
    NoJetwayId,     // object id 0 would address the user aircraft
    BadType,        // type outside 1..4
    ZeroPeriod,
    ZeroKeyframes,
    NotFinite,      // a number of the record or of a part is NaN or infinite
    OutOfRange,     // a number outside its range in job_limits
};

JobCheck CheckJob(const JetwayData& record);
const char* JobCheckText(JobCheck check);
// The kind of value ("lengths", "latitude", ...) that lies outside its range in job_limits first; null
// when every value lies within (a value that is not finite lies within none).
const char* FirstOutOfRange(const JetwayData& record);
