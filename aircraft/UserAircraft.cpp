#include "aircraft/UserAircraft.h"

#include "aircraft/AircraftConfigData.h"
#include "foundation/GeoMath.h"
#include "foundation/Units.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double kEarthRadiusKm = GeoMath::SphereRadiusKm;
constexpr double kEngineRunningRpm = 500.0;
constexpr double kBrakeIndicatorSet = 2.5;

bool AllFinite(const double* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool UserAircraft::SetFromSimData(const double* block, std::size_t count) {
    if (block == nullptr || count < kSimDataCount) {
        return false;
    }
    // The three world velocities (indices 6..8) are not kept, so they do not decide anything either.
    if (!AllFinite(block, 6) || !AllFinite(block + 9, 2)) {
        return false;
    }
    placement_.Set(block[0], block[1], block[2], false, false, block[3] * units::kDegreesPerRadian,
                   block[4] * units::kDegreesPerRadian, block[5] * units::kDegreesPerRadian);
    bodyVelocityZ_ = block[9];
    groundVelocity_ = block[10];
    return true;
}

double UserAircraft::GetHeadingRadians() const { return placement_.GetHeading() * units::kPi / 180.0; }

bool UserAircraft::SetStateFromSimData(const double* block, std::size_t count) {
    if (block == nullptr || count < kStateDataCount) {
        return false;
    }
    const double parkingBrakeIndicator = block[0];
    const double beacon = block[1];
    const double engineCount = block[2];
    const double* rpm = block + 3;
    const double brakeIndicator = block[7];
    const double slew = block[8];
    const double onGround = block[9];

    onGround_ = onGround == 1.0;
    slewActive_ = slew == 1.0;

    parkingBrake_ = parkingBrakeIndicator == 1.0 || brakeIndicator > kBrakeIndicatorSet;
    if (parkingBrakeOverrideActive_) {
        parkingBrake_ = parkingBrakeOverrideValue_;
    }
    beacon_ = beacon == 1.0;
    if (beaconOverrideActive_) {
        beacon_ = beaconOverrideValue_;
    }

    // Rounded half away from zero, so 0.5 is one engine and 4.5 is five; the range test comes before any
    // conversion to an integer (NaN fails it too).
    enginesRunning_ = false;
    if (engineCount >= 0.5 && engineCount < 4.5) {
        const int engines = static_cast<int>(std::round(engineCount));
        for (int i = 0; i < engines; ++i) {
            if (rpm[i] > kEngineRunningRpm) {
                enginesRunning_ = true;
                break;
            }
        }
    }
    return true;
}

void UserAircraft::SetProfileFromCreatedBy(const std::string& createdBy) {
    const bool outsideFamily = createdBy.find("Flight Sim Labs") != std::string::npos;
    lvarProfile_ = outsideFamily ? kProfileAircraftVariables : 0;
    usesLVars_ = outsideFamily;
}

void UserAircraft::ApplyAircraftVariables(double parkingBrake, double beacon, double /*unused*/) {
    if (!usesLVars_) {
        SetBeaconOverride(false, false);
        SetParkingBrakeOverride(false, false);
        return;
    }
    if (lvarProfile_ != kProfileAircraftVariables) {
        return;
    }
    SetBeaconOverride(true, beacon > 0.5);
    SetParkingBrakeOverride(true, parkingBrake > 0.5);
}

void UserAircraft::LoadAircraftConfig(const AircraftConfigData& config) {
    SetProfileFromCreatedBy(config.GetCreatedBy());

    const std::vector<double>& eye = config.GetEyePointRelative();
    if (eye.size() == 3) {
        eyePoint_.SetOffsets(eye[0], eye[1], eye[2]);
    }
    const std::vector<double>& nose = config.GetNoseWheelRelative();
    if (config.HasNoseWheel() && nose.size() >= 3) {
        noseWheel_.SetHasNoseWheel(true);
        noseWheel_.SetOffsets(nose[0], nose[1], nose[2]);
    } else {
        noseWheel_.SetHasNoseWheel(false);
    }

    // Main and upper deck doors are numbered from 1 each, in the order of the configuration.
    exits_.clear();
    int32_t mainDeck = 0;
    int32_t upperDeck = 0;
    for (const AircraftParameters::DoorData& door : config.GetExits()) {
        if (door.upperDeck != 0) {
            AddUpperExit(ExitData(door), ++upperDeck);
        } else {
            AddExit(ExitData(door), ++mainDeck);
        }
    }
}

LLAData UserAircraft::StepFrom(const LLAData& base, double north, double east, double altitude) {
    const double latitude = base.GetLatitude();
    return LLAData(latitude + (north / 1000.0 / kEarthRadiusKm) * units::kDegreesPerRadian,
                   base.GetLongitude() +
                       (east / 1000.0 / (std::cos(latitude * units::kPi / 180.0) * kEarthRadiusKm)) *
                           units::kDegreesPerRadian,
                   altitude);
}

void UserAircraft::UpdateEyePointPosition() {
    const double h = GetHeadingRadians();
    const double p = -placement_.GetPitch() * units::kPi / 180.0;
    // The longitudinal offset keeps its sign: an eye point behind the reference point stays behind it.
    const double x = eyePoint_.GetOffsetX();
    const double z = eyePoint_.GetOffsetZ();
    const double along = std::cos(p) * x - std::sin(p) * z;
    const double up = std::sin(p) * x + std::cos(p) * z;
    const LLAData position = StepFrom(placement_, std::cos(h) * along, std::sin(h) * along,
                                      placement_.GetAltitude() + up * units::kFeetPerMetre);
    eyePoint_.Set(position.GetLatitude(), position.GetLongitude(), position.GetAltitude());
}

void UserAircraft::UpdateNoseWheelPosition() {
    const double h = GetHeadingRadians();
    const double x = noseWheel_.GetOffsetX();
    const LLAData position = StepFrom(placement_, std::cos(h) * x, std::sin(h) * x,
                                      placement_.GetAltitude() + noseWheel_.GetOffsetZ() * units::kFeetPerMetre);
    noseWheel_.Set(position.GetLatitude(), position.GetLongitude(), position.GetAltitude());
}

void UserAircraft::AddExit(const ExitData& exit, int32_t n) { exits_[std::to_string(n) + "L"] = exit; }

void UserAircraft::AddUpperExit(const ExitData& exit, int32_t n) {
    exits_[std::to_string(n) + "L Upper"] = exit;
}

const ExitData* UserAircraft::FindExitData(const std::string& name) const { return FindExit(exits_, name); }

ExitData UserAircraft::GetExit(const std::string& name) const {
    const ExitData* exit = FindExitData(name);
    return exit != nullptr ? *exit : ExitData();
}

std::string UserAircraft::GetFirstExitName() const { return exits_.empty() ? std::string() : exits_.begin()->first; }

bool UserAircraft::AssignJetwayToExit(const std::string& name, int32_t jetwayObjectId) {
    ExitData* exit = FindExit(exits_, name);
    if (exit == nullptr) {
        return false;
    }
    exit->SetJetwayId(jetwayObjectId);
    return true;
}

bool UserAircraft::HasAssignedExit() const {
    for (const auto& [name, exit] : exits_) {
        if (exit.GetJetwayId() != -1) {
            return true;
        }
    }
    return false;
}

std::string UserAircraft::GetExitNameOfJetway(int32_t jetwayObjectId) const {
    for (const auto& [name, exit] : exits_) {
        if (exit.GetJetwayId() == jetwayObjectId) {
            return name;
        }
    }
    return std::string();
}

void UserAircraft::ResetExitStates() {
    for (auto& [name, exit] : exits_) {
        exit.SetJetwayId(-1);
    }
}

LLAData UserAircraft::GetDoorPosition(const std::string& name, double extraLongitudinal) const {
    const ExitData exit = GetExit(name);
    const double h = GetHeadingRadians();
    const double x = exit.x + extraLongitudinal;
    const double altitudeFt = placement_.GetAltitude() +
                              (exit.z - 0.5 * exit.GetDoorHeight() + exit.GetVerticalOffset()) * units::kFeetPerMetre;
    return StepFrom(placement_, std::cos(h) * x, std::sin(h) * x, altitudeFt);
}

LLAData UserAircraft::GetDockingDoorPosition(const std::string& name, const DoorParameters* doorParameters,
                                             double lateralOffset, double longitudinalOffset, bool rotate) {
    ExitData exit = GetExit(name);
    if (doorParameters != nullptr) {
        exit.SetDoorParameters(*doorParameters);
        if (ExitData* stored = FindExit(exits_, name)) {
            stored->SetDoorParameters(*doorParameters);
        }
    }
    double a = lateralOffset;
    double b = longitudinalOffset;
    if (rotate) {
        const double angle = exit.GetDoorAngle() * units::kPi / 180.0;
        a = std::cos(angle) * lateralOffset - std::sin(angle) * longitudinalOffset;
        b = std::cos(angle) * longitudinalOffset + std::sin(angle) * lateralOffset;
    }
    const double x = exit.x + b;
    const double y = exit.y - a;
    const double h = GetHeadingRadians();
    const double north = std::cos(h) * x - std::sin(h) * y;
    const double east = std::sin(h) * x + std::cos(h) * y;
    const double altitudeFt = placement_.GetAltitude() +
                              (exit.z - 0.5 * exit.GetDoorHeight() + exit.GetVerticalOffset()) * units::kFeetPerMetre;
    return StepFrom(placement_, north, east, altitudeFt);
}

LLAData UserAircraft::OffsetPosition(const LLAData& base, double angle, double height, double verticalOffset,
                                     double lateralOffset, double longitudinalOffset, bool rotate) const {
    double lateral = lateralOffset;
    double longitudinal = longitudinalOffset;
    if (rotate) {
        const double a = units::kPi - angle * units::kPi / 180.0;
        lateral = std::cos(a) * lateralOffset - std::sin(a) * longitudinalOffset;
        longitudinal = std::sin(a) * lateralOffset - std::cos(a) * longitudinalOffset;
    }
    const double h = GetHeadingRadians();
    const double north = std::cos(h) * longitudinal - std::sin(h) * lateral;
    const double east = std::cos(h) * lateral + std::sin(h) * longitudinal;
    return StepFrom(base, north, east, base.GetAltitude() - (0.5 * height + verticalOffset) * units::kFeetPerMetre);
}

void UserAircraft::StoreStandPosition(double radius) {
    const double latitude = placement_.GetLatitude();
    const double longitude = placement_.GetLongitude();
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || !std::isfinite(radius)) {
        return;
    }
    storedPosition_.Set(latitude, longitude, 0.0);
    standRadius_ = radius;
}

void UserAircraft::ResetStoredPosition() {
    storedPosition_.Set(0.0, 0.0, 0.0);
    standRadius_ = 0.0;
}

bool UserAircraft::HasStoredPosition() const {
    return storedPosition_.GetLatitude() != 0.0 && storedPosition_.GetLongitude() != 0.0;
}

bool UserAircraft::HasLeftStoredPosition() const {
    if (!HasStoredPosition()) {
        return false;
    }
    return GeoMath::HaversineDistance(storedPosition_.GetLatitude(), storedPosition_.GetLongitude(),
                                      placement_.GetLatitude(), placement_.GetLongitude()) > standRadius_;
}
