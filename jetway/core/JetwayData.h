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

// Why a received job must not be moved.
enum class JobCheck {
    Ok,
    NoJetwayId,     // object id 0 would address the user aircraft
    BadType,        // type outside 1..4
    ZeroPeriod,
    ZeroKeyframes,
    NotFinite,      // a number of the record or of a part is NaN or infinite
};

JobCheck CheckJob(const JetwayData& record);
const char* JobCheckText(JobCheck check);
