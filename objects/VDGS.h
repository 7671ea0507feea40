// The logic of one visual docking guidance display at a stand. Six times a second the guidance handler
// measures where the user aircraft's reference point stands relative to the stop point, steps the state
// machine below, and writes the five doubles of the display record into the display object, which
// animates itself from them: two keyframe numbers and a 64-bit state word whose bit fields select what
// it shows (distance bar, lateral arrows, STOP, aircraft type, warnings). Distances are metres.
#pragma once

#include "foundation/BitField64.h"
#include "foundation/Records.h"

#include <array>
#include <cstdint>
#include <map>

// What the display object reads, in the order of its five variables.
struct VDGSDisplayRecord {
    double displayDistance = -1.0;  // distance to stop; -1.0 while idle
    double displayLateral = 0.0;
    double displayWord = 0.0;       // the whole state word as an unsigned number
    double distKF = 0.0;
    double lateralKF = 0.0;

    std::array<double, 5> ToArray() const { return {displayDistance, displayLateral, displayWord, distKF, lateralKF}; }
};
static_assert(sizeof(VDGSDisplayRecord) == 40, "the display object takes five doubles");

// States of the guidance.
enum VDGSState : int32_t {
    VDGSStandby = 0,
    VDGSActivated = 1,
    VDGSTypeUnknown = 2,
    VDGSApproach = 3,
    VDGSGuidance = 4,
    VDGSStop = 5,
    VDGSStopCheck = 6,
    VDGSStopOk = 7,
    VDGSStopTooFar = 8,
    VDGSError = 9,
    VDGSEnding = 10,
};

// What one guidance step needs to know of the world, gathered by the caller at that tick.
struct VDGSStepInput {
    int32_t typeCode = 0;           // the user aircraft's aircraft type code (0: unknown type)
    bool doorsMissing = false;      // a stand served by nose-door jetways and the aircraft has no door
    bool aimValid = false;          // an aim point exists this tick
    double displayLatitude = 0.0;   // the display object's position and heading (degrees)
    double displayLongitude = 0.0;
    double displayHeading = 0.0;
    double aimLatitude = 0.0;       // the aircraft's reference point (degrees)
    double aimLongitude = 0.0;
    bool parkingBrakeSet = false;
    double closingSpeed = 0.0;      // forward body velocity, m/s
};

// What the caller has to do after a step.
struct VDGSStepResult {
    bool stopDistanceMissing = false;  // activation found no stop for the type (log it, state 9)
    bool doorsMissing = false;         // activation at a nose-door stand without doors (log it, state 9)
    bool enteredGuidance = false;      // approach became closing guidance: store the stand position
    bool ended = false;                // the ending was handled: switch the display off and forget it
};

class VDGS {
public:
    static constexpr double kDefaultStopTolerance = 0.3;
    static constexpr double kDefaultLateralTolerance = 0.2;
    static constexpr double kDefaultApproachRange = 100.0;
    static constexpr double kMaxLateralInRange = 40.0;
    // The stand position the guidance stores is approach range times this.
    static constexpr double kStandRadiusFactor = 1.2;
    static constexpr int32_t kTypeCounterWrap = 11;

    VDGS() = default;
    VDGS(const VDGS&) = default;
    VDGS& operator=(const VDGS&) = default;
    virtual ~VDGS() = default;

    // State setters: the state, the shown state in bits 16..19 and their further effects.
    void SetStateStandby();
    void SetStateActivated();
    void SetStateTypeUnknown();
    void SetStateApproach();
    void SetStateGuidance();
    void SetStateStop();
    void SetStateStopCheck();
    void SetStateStopOk();
    void SetStateStopTooFar();
    void SetStateError();
    void SetStateEnding();

    // Distance to stop and lateral offset of the aim point (lat2, lon2) seen from the display at
    // (lat, lon) with its heading, all degrees; then the record and its keyframes. Input that is not
    // finite, or a distance that cannot be measured, leaves everything as it was.
    void UpdateGuidance(double lat, double lon, double lat2, double lon2, double heading);
    void UpdateDistanceBits();
    void UpdateLateralArrows();
    void CheckStopReached();
    void UpdateSpeedWarning(double speed);
    bool IsStopOutsideTolerance() const;
    bool IsAircraftInRange(double factor) const;
    // One call per 6 Hz tick; true on the call 6 * seconds ticks after the one that started the wait.
    bool WaitSeconds(int32_t seconds);
    void BlinkBit29();
    void ClearBit29();
    void AdvanceTypeCounter();
    VDGSDisplayRecord AdvanceFastCounter();
    VDGSDisplayRecord AdvanceSlowCounter();
    // True when the table has no stop for the code (stop unknown); false when it selected one.
    bool SelectStopForType(int32_t code);
    // Code 0 and a distance that is not finite are ignored; keepExisting leaves a code already present.
    void AddStop(int32_t code, bool keepExisting, double distance);

    // One 6 Hz step of the state machine, after the guidance update of that tick.
    VDGSStepResult Step(const VDGSStepInput& input);

    // Where the reference point has to stop for a stop distance: the point at which the guidance of a
    // display at (lat, lon) with this heading and lateral offset bias reads a distance to stop of 0 and a
    // lateral offset of 0. Markers showing the stop are placed there.
    static LLAData StopPoint(double lat, double lon, double heading, double stopDistance, double lateralBias);

    int32_t GetState() const { return state_; }
    bool IsActivationRequested() const { return activationRequested_; }
    void RequestActivation() { activationRequested_ = true; }
    bool IsStopUnknown() const { return stopUnknown_; }
    void SetApproachRange(double metres) { approachRange_ = metres; }
    double GetApproachRange() const { return approachRange_; }
    void SetLateralOffsetBias(double metres) { lateralOffsetBias_ = metres; }
    double GetLateralOffsetBias() const { return lateralOffsetBias_; }
    void SetDisplayType(int32_t type) { displayType_ = type; }
    int32_t GetDisplayType() const { return displayType_; }
    VDGSDisplayRecord GetDisplayRecord() const { return record_; }
    void GetDisplayRecord(VDGSDisplayRecord& out) const { out = record_; }

    const BitField64& GetDisplayWord() const { return word_; }
    double GetDistanceToStop() const { return distanceToStop_; }
    double GetLateralOffset() const { return lateralOffset_; }
    double GetStopDistance() const { return stopDistance_; }
    int32_t GetTypeCode() const { return typeCode_; }
    int32_t GetTypeCounter() const { return typeCounter_; }
    int32_t GetLateralSide() const { return lateralSide_; }
    int16_t GetFastCounter() const { return fastCounter_; }
    int16_t GetSlowCounter() const { return slowCounter_; }
    bool IsSpeedWarning() const { return speedWarning_ != 0; }
    bool IsWaitRunning() const { return waitRunning_ != 0; }
    const std::map<int32_t, double>& GetStopTable() const { return stops_; }

private:
    // Distance along the stand axis (positive towards the display) and across it (positive to the right
    // seen along the heading) of a point seen from the display; false when it cannot be measured.
    static bool Measure(double lat, double lon, double lat2, double lon2, double heading, double& along,
                        double& across);
    void SetState(int32_t state, uint64_t shown);
    void RefreshWord() { record_.displayWord = word_.ToDouble(); }
    void UpdateKeyframes();

    int32_t state_ = VDGSStandby;
    BitField64 word_;
    int32_t displayType_ = 0;
    uint8_t activationRequested_ = 0;
    int16_t fastCounter_ = 0;
    int16_t slowCounter_ = 0;
    int16_t savedPhase_ = 0;
    int16_t waitCounter_ = 0;
    uint8_t waitRunning_ = 0;
    int32_t lateralSide_ = 0;
    double distanceToStop_ = 0.0;
    double stopDistance_ = 0.0;
    double stopTolerance_ = kDefaultStopTolerance;
    double lateralOffset_ = 0.0;
    double lateralTolerance_ = kDefaultLateralTolerance;
    uint8_t stopUnknown_ = 1;
    int32_t typeCounter_ = 0;
    double approachRange_ = kDefaultApproachRange;
    double lateralOffsetBias_ = 0.0;
    uint8_t speedWarning_ = 0;
    VDGSDisplayRecord record_;
    int32_t typeCode_ = 0;
    std::map<int32_t, double> stops_;
};
