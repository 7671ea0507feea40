// Rotation drivers of a model: a windsock or vane turns one axis to the wind direction that its
// environmental data probe measures, and an object can turn to face the user aircraft (heading only, or
// heading and pitch). The placement reader fills the drivers, the probe-data handler feeds the wind
// driver, and the rotation pass turns the objects every third visual frame through Turn below.
#pragma once

#include "foundation/Records.h"
#include "objects/VisibilityData.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The attitude axis a rotation is written on; a wind driver's axis option uses the same numbers.
enum class RotationAxis : int32_t { None = 0, Pitch = 1, Bank = 2, Heading = 3 };

// The data definition ("PLANE PITCH DEGREES" 12, "PLANE BANK DEGREES" 13, "PLANE HEADING DEGREES TRUE"
// 11, each one double in radians) that carries an axis to the object; 0 for no axis.
uint32_t RotationDataDefinition(RotationAxis axis);
// The simulator variable of an axis; "" for no axis.
const char* RotationVariable(RotationAxis axis);

// Turns one axis of a model to the wind direction. Option 0 is the rotation axis.
class VDR_WindDirData : public EnumeratedOptionsData {
public:
    VDR_WindDirData() = default;
    VDR_WindDirData(const VDR_WindDirData&) = default;
    VDR_WindDirData& operator=(const VDR_WindDirData&) = default;
    ~VDR_WindDirData() override;

    // "PITCH" 1, "BANK" 2, "HEADING" 3 (exact case), any other text 0.
    static int32_t AxisFromKeyword(const std::string& keyword);
    // Appends the keyword's number to the options.
    void AddAxis(const std::string& keyword) { AddOption(AxisFromKeyword(keyword)); }
    // Option 0 as an axis; None without options or for a number that names no axis.
    RotationAxis GetAxis() const;

    // Kept for the model; no behaviour depends on it.
    void SetAnimated(bool animated) { animated_ = animated ? 1 : 0; }
    bool IsAnimated() const { return animated_ != 0; }

    void SetChanged(bool changed) { changed_ = changed ? 1 : 0; }
    bool IsChanged() const { return changed_ != 0; }
    // Degrees.
    void SetTargetAngle(double degrees) { targetAngle_ = degrees; }
    double GetTargetAngle() const { return targetAngle_; }

    // A probe's wind direction (degrees) arrives: it becomes the target, and changed tells whether it
    // differs from the angle last turned to (any direction before the first turn, 0 included). A
    // direction that is not a finite number is ignored: a pending turn stays pending.
    void Feed(double directionDegrees);
    // The rotation pass has used the target: changed 0, and the target is the angle turned to.
    void NoteTurned();
    // The same, with what the probe-data handler keeps beside it: the wind velocity (knots) as factor,
    // whether the wind turned towards positive angles, and applied = (the turn was 0).
    void FeedFromProbe(double directionDegrees, double windVelocity, bool turningPositive, double change);

    void SetFactor(double factor) { factor_ = factor; }
    double GetFactor() const { return factor_; }
    void SetTurningPositive(bool positive) { turningPositive_ = positive ? 1 : 0; }
    bool IsTurningPositive() const { return turningPositive_ != 0; }
    void SetApplied(bool applied) { applied_ = applied ? 1 : 0; }
    bool IsApplied() const { return applied_ != 0; }
    // The object's present angle on the driver's axis, degrees.
    void SetCurrentAngle(double degrees) { currentAngle_ = degrees; }
    double GetCurrentAngle() const { return currentAngle_; }

private:
    uint8_t animated_ = 0;
    uint8_t changed_ = 0;
    double targetAngle_ = 0.0;
    double factor_ = 0.0;
    uint8_t turningPositive_ = 0;
    uint8_t applied_ = 0;
    double currentAngle_ = 0.0;
    uint8_t turned_ = 0;       // a target has been turned to
    double turnedAngle_ = 0.0;  // the last target turned to, degrees
};

// A rotation by the hours of the day; no element fills it and no handler reads it.
class VDR_TimeHrsData : public EnumeratedOptionsData {
public:
    VDR_TimeHrsData() = default;
    VDR_TimeHrsData(const VDR_TimeHrsData&) = default;
    VDR_TimeHrsData& operator=(const VDR_TimeHrsData&) = default;
    ~VDR_TimeHrsData() override;
};

// Turns a model to face the user aircraft: POINT (1) with heading and pitch, TURN (0) heading only.
class VDR_UserAircraftPositionData {
public:
    static constexpr uint8_t kTurn = 0;
    static constexpr uint8_t kPoint = 1;

    void SetMode(uint8_t mode) { mode_ = mode; }
    uint8_t GetMode() const { return mode_; }
    bool IsPointMode() const { return mode_ == kPoint; }

private:
    uint8_t mode_ = kTurn;
};

// One write of a turn: the angle in radians for the object's axis, and whether the object's placement
// takes the same angle in degrees.
struct RotationWrite {
    RotationAxis axis = RotationAxis::None;
    double radians = 0.0;
    bool storeInPlacement = false;
    double degrees = 0.0;
};

// The writes of one turn, in the order they go to the object.
struct RotationTurn {
    size_t count = 0;
    std::array<RotationWrite, 2> writes;
};

class VariableDrivenRotationData {
public:
    VDR_WindDirData* GetWindDirection() { return &windDirection_; }
    const VDR_WindDirData* GetWindDirection() const { return &windDirection_; }
    VDR_TimeHrsData* GetTimeHrs() { return &timeHrs_; }
    const VDR_TimeHrsData* GetTimeHrs() const { return &timeHrs_; }
    VDR_UserAircraftPositionData* GetUserAircraftPosition() { return &userAircraftPosition_; }
    const VDR_UserAircraftPositionData* GetUserAircraftPosition() const { return &userAircraftPosition_; }

    // The rotation pass for one object in the simulator. With the user-aircraft feature (6) the object
    // faces the user: heading = rhumb-line bearing from the object to the user + pi (stored in the
    // placement), and in POINT mode also the pitch = elevation angle of the user seen from the object (not
    // stored). Otherwise with the wind feature (5) a changed target is written once on the driver's axis
    // (and stored); axis 0 writes nothing. A position off the globe (latitude beyond the poles, values
    // that are not finite) turns nothing, an altitude that is not finite no pitch. Altitudes in feet.
    RotationTurn Turn(bool byWindDirection, bool byUserAircraft, const LLAData& object, const LLAData& user);

private:
    VDR_WindDirData windDirection_;
    VDR_TimeHrsData timeHrs_;
    VDR_UserAircraftPositionData userAircraftPosition_;
};
