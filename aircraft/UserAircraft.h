// The program's record of the aircraft the user flies: last reported position, attitude and speeds, the
// state flags (with the overrides that aircraft-specific variables impose), the world positions of the
// eye point and the nose wheel, the doors with the jetway docked to each, and the stand position
// remembered when a stand is taken. Filled by the dispatch handler, read by jetway control, the jetway
// handler, the menus and the docking guidance. Main thread only.
#pragma once

#include "aircraft/ExitData.h"
#include "foundation/Records.h"

#include <cstddef>
#include <cstdint>
#include <string>

class AircraftConfigData;

// A point of the aircraft: its world position and its offsets from the aircraft's reference point
// (metres: longitudinal forward, lateral to the right, vertical up).
class AircraftPointData : public LLAData {
public:
    AircraftPointData() = default;
    AircraftPointData(const AircraftPointData&) = default;
    AircraftPointData& operator=(const AircraftPointData&) = default;
    ~AircraftPointData() override = default;

    void SetOffsets(double x, double y, double z) {
        offsetX_ = x;
        offsetY_ = y;
        offsetZ_ = z;
    }
    double GetOffsetX() const { return offsetX_; }
    double GetOffsetY() const { return offsetY_; }
    double GetOffsetZ() const { return offsetZ_; }

private:
    double offsetX_ = 0.0;
    double offsetY_ = 0.0;
    double offsetZ_ = 0.0;
};

// The pilot's eye point.
class EyePointData : public AircraftPointData {};

// The nose wheel contact point, and whether the aircraft configuration gave one at all.
class NoseWheelData : public AircraftPointData {
public:
    bool HasNoseWheel() const { return hasNoseWheel_; }
    void SetHasNoseWheel(bool value) { hasNoseWheel_ = value; }

private:
    bool hasNoseWheel_ = false;
};

class UserAircraft {
public:
    // Doubles in the user aircraft block (data definition 0) and in the state block (definition 1).
    static constexpr std::size_t kSimDataCount = 11;
    static constexpr std::size_t kStateDataCount = 10;
    // Aircraft-variable profile whose brake and beacon come from the aircraft's own variables.
    static constexpr int32_t kProfileAircraftVariables = 2;
    // Stand radius stored by jetway docking, in metres.
    static constexpr double kDockingStandRadius = 24.0;

    UserAircraft() = default;
    UserAircraft(const UserAircraft&) = default;
    UserAircraft& operator=(const UserAircraft&) = default;
    virtual ~UserAircraft() = default;

    // Position and attitude from the user aircraft block: latitude, longitude (degrees), altitude (feet),
    // pitch, bank, true heading (radians), world velocities X, Y, Z and body velocity Z (m/s), ground
    // velocity (knots). A short block, or one whose used values are not all finite, is refused (false)
    // and the last good values stay.
    bool SetFromSimData(const double* block, std::size_t count);

    const PlacementData& GetPlacement() const { return placement_; }
    double GetLatitude() const { return placement_.GetLatitude(); }
    double GetLongitude() const { return placement_.GetLongitude(); }
    double GetAltitude() const { return placement_.GetAltitude(); }
    double GetPitch() const { return placement_.GetPitch(); }
    double GetBank() const { return placement_.GetBank(); }
    double GetHeading() const { return placement_.GetHeading(); }
    double GetHeadingRadians() const;
    double GetBodyVelocityZ() const { return bodyVelocityZ_; }
    double GetGroundVelocity() const { return groundVelocity_; }

    // The state flags from the state block: parking brake indicator, beacon, number of engines, the RPM
    // of engines 1 to 4, brake indicator, slew and on ground. A short block is refused (false).
    bool SetStateFromSimData(const double* block, std::size_t count);

    bool IsParkingBrakeSet() const { return parkingBrake_; }
    bool IsBeaconOn() const { return beacon_; }
    bool AreEnginesRunning() const { return enginesRunning_; }
    bool IsSlewActive() const { return slewActive_; }
    bool IsOnGround() const { return onGround_; }

    // An override replaces the simulator's flag from the next state block on.
    void SetBeaconOverride(bool active, bool value) {
        beaconOverrideActive_ = active;
        beaconOverrideValue_ = value;
    }
    void SetParkingBrakeOverride(bool active, bool value) {
        parkingBrakeOverrideActive_ = active;
        parkingBrakeOverrideValue_ = value;
    }
    bool IsBeaconOverrideActive() const { return beaconOverrideActive_; }
    bool GetBeaconOverrideValue() const { return beaconOverrideValue_; }
    bool IsParkingBrakeOverrideActive() const { return parkingBrakeOverrideActive_; }
    bool GetParkingBrakeOverrideValue() const { return parkingBrakeOverrideValue_; }

    void SetLVarProfile(int32_t profile) { lvarProfile_ = profile; }
    int32_t GetLVarProfile() const { return lvarProfile_; }
    void SetUsesLVars(bool value) { usesLVars_ = value; }
    bool UsesLVars() const { return usesLVars_; }

    // The profile for an aircraft whose configuration names this creator: the aircraft-variable profile
    // for one family of outside aircraft, none for every other.
    void SetProfileFromCreatedBy(const std::string& createdBy);
    // The answer to the aircraft-variable query: parking brake, beacon and a third value not used here.
    void ApplyAircraftVariables(double parkingBrake, double beacon, double unused);

    // Set-up after the aircraft's configuration was read: profile, eye point and nose wheel offsets, and
    // the exits rebuilt from the configuration's door list.
    void LoadAircraftConfig(const AircraftConfigData& config);

    EyePointData& GetEyePoint() { return eyePoint_; }
    const EyePointData& GetEyePoint() const { return eyePoint_; }
    NoseWheelData& GetNoseWheel() { return noseWheel_; }
    const NoseWheelData& GetNoseWheel() const { return noseWheel_; }
    bool HasNoseWheel() const { return noseWheel_.HasNoseWheel(); }
    void SetHasNoseWheel(bool value) { noseWheel_.SetHasNoseWheel(value); }

    // World positions from the last placement and the offsets.
    void UpdateEyePointPosition();
    void UpdateNoseWheelPosition();

    // Stores the exit under n + "L" (main deck) or n + "L Upper"; an exit of that name is replaced.
    void AddExit(const ExitData& exit, int32_t n);
    void AddUpperExit(const ExitData& exit, int32_t n);
    // Lookups never add an exit: an unknown name gives a default exit.
    ExitData GetExit(const std::string& name) const;
    bool HasExit(const std::string& name) const { return exits_.count(name) != 0; }
    ExitMap GetExits() const { return exits_; }
    std::size_t GetExitCount() const { return exits_.size(); }
    bool HasExits() const { return !exits_.empty(); }
    // The first name in map order; "" without exits.
    std::string GetFirstExitName() const;
    void ClearExits() { exits_.clear(); }

    // Sets the jetway of an existing exit; false (nothing changed) for an unknown name.
    bool AssignJetwayToExit(const std::string& name, int32_t jetwayObjectId);
    bool SelectExit(const std::string& name, int32_t jetwayObjectId) {
        return AssignJetwayToExit(name, jetwayObjectId);
    }
    // Some exit has a jetway (id other than -1).
    bool HasAssignedExit() const;
    // The first exit in map order with that jetway; "" when none.
    std::string GetExitNameOfJetway(int32_t jetwayObjectId) const;
    std::string GetExitNameByNumber(int32_t jetwayObjectId) const { return GetExitNameOfJetway(jetwayObjectId); }
    // Every exit back to no jetway.
    void ResetExitStates();

    // World position of a door for the docking guidance, moved along the aircraft axis by the extra
    // longitudinal offset (metres). An unknown door is a default exit at the reference point.
    LLAData GetDoorPosition(const std::string& name, double extraLongitudinal) const;
    LLAData GetExitWorldPosition(const std::string& name, double offset) const {
        return GetDoorPosition(name, offset);
    }
    // The point at which a jetway docks to the named door. Given door parameters are first stored on the
    // exit (when the exit exists).
    LLAData GetDockingDoorPosition(const std::string& name, const DoorParameters* doorParameters,
                                   double lateralOffset, double longitudinalOffset, bool rotate);
    // A point placed from a base position with the aircraft's heading.
    LLAData OffsetPosition(const LLAData& base, double angle, double height, double verticalOffset,
                           double lateralOffset, double longitudinalOffset, bool rotate) const;

    // Remembers the current latitude and longitude (altitude 0) and a radius in metres. A position or
    // radius that is not finite stores nothing.
    void StoreStandPosition(double radius);
    void ResetStoredPosition();
    // Both stored latitude and longitude non-zero.
    bool HasStoredPosition() const;
    double GetStoredLatitude() const { return storedPosition_.GetLatitude(); }
    double GetStoredLongitude() const { return storedPosition_.GetLongitude(); }
    double GetStoredValue() const { return standRadius_; }
    // A stored position from which the aircraft is now farther (great circle) than the stored radius.
    bool HasLeftStoredPosition() const;

private:
    // The metre-to-degree step from a base position: north and east components in metres.
    static LLAData StepFrom(const LLAData& base, double north, double east, double altitude);
    const ExitData* FindExitData(const std::string& name) const;

    EyePointData eyePoint_;
    NoseWheelData noseWheel_;
    ExitMap exits_;
    PlacementData placement_;
    int32_t lvarProfile_ = 0;
    double groundVelocity_ = 0.0;
    double bodyVelocityZ_ = 0.0;
    bool parkingBrake_ = false;
    bool beacon_ = false;
    bool enginesRunning_ = false;
    bool slewActive_ = false;
    bool onGround_ = false;
    bool beaconOverrideActive_ = false;
    bool parkingBrakeOverrideActive_ = false;
    bool beaconOverrideValue_ = false;
    bool parkingBrakeOverrideValue_ = false;
    bool usesLVars_ = false;
    double standRadius_ = 0.0;
    LLAData storedPosition_;
};
