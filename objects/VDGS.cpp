#include "objects/VDGS.h"

#include "foundation/GeoMath.h"
#include "foundation/Units.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kTwoPi = 2.0 * units::kPi;
constexpr int kTicksPerSecond = 6;
// A wait longer than this would not fit the tick counter; no state waits anywhere near it.
constexpr int32_t kMaxWaitSeconds = 5000;

// Display word fields.
constexpr unsigned kActivatedLo = 0, kActivatedHi = 5;
constexpr unsigned kDistanceLo = 6, kDistanceHi = 7;
constexpr unsigned kTypeCodeLo = 8, kTypeCodeHi = 13;
constexpr unsigned kFastLo = 8, kFastHi = 10;
constexpr unsigned kSlowLo = 11, kSlowHi = 13;
constexpr unsigned kArrowRight = 14;
constexpr unsigned kArrowLeft = 15;
constexpr unsigned kShownStateLo = 16, kShownStateHi = 19;
constexpr unsigned kTypeCounterLo = 20, kTypeCounterHi = 23;
constexpr unsigned kSpeedWarning = 28;
constexpr unsigned kBlink = 29;

// Distance thresholds of the segmented display (type 3), from far to near.
constexpr double kSegmentThresholds[] = {22.5, 19.0, 17.0, 15.0, 13.0, 11.0, 9.5, 8.5, 7.5, 6.5,
                                         5.5,  4.5,  3.5,  2.5,  1.5,  0.9,  0.7, 0.5, 0.3};

// Nearest integer, ties away from zero; a negative zero comes out as zero.
double RoundKeyframe(double value) { return std::round(value) + 0.0; }

}  // namespace

void VDGS::SetState(int32_t state, uint64_t shown) {
    state_ = state;
    word_.SetBits(kShownStateLo, kShownStateHi, shown);
    RefreshWord();
}

void VDGS::SetStateStandby() {
    SetState(VDGSStandby, 0);
    waitCounter_ = 0;
    waitRunning_ = 0;
}

void VDGS::SetStateActivated() {
    activationRequested_ = 0;
    word_.SetBits(kActivatedLo, kActivatedHi, 0x3F);
    SetState(VDGSActivated, 1);
}

void VDGS::SetStateTypeUnknown() {
    savedPhase_ = fastCounter_;
    SetState(VDGSTypeUnknown, 2);
}

void VDGS::SetStateApproach() {
    typeCounter_ = 0;
    word_.SetBits(kTypeCounterLo, kTypeCounterHi, 0);
    SetState(VDGSApproach, 3);
}

void VDGS::SetStateGuidance() { SetState(VDGSGuidance, 4); }
void VDGS::SetStateStop() { SetState(VDGSStop, 5); }
// The display shows the check as STOP.
void VDGS::SetStateStopCheck() { SetState(VDGSStopCheck, 5); }
void VDGS::SetStateStopOk() { SetState(VDGSStopOk, 7); }
void VDGS::SetStateStopTooFar() { SetState(VDGSStopTooFar, 8); }
void VDGS::SetStateError() { SetState(VDGSError, 9); }

void VDGS::SetStateEnding() {
    word_.SetBits(kActivatedLo, kActivatedHi, 0);
    word_.SetBits(kFastLo, kFastHi, 0);
    stopUnknown_ = 1;
    record_.displayLateral = 0.0;
    record_.displayDistance = -1.0;
    fastCounter_ = 0;
    slowCounter_ = 0;
    savedPhase_ = 0;
    waitCounter_ = 0;
    waitRunning_ = 0;
    SetState(VDGSEnding, 10);
}

bool VDGS::Measure(double lat, double lon, double lat2, double lon2, double heading, double& along,
                   double& across) {
    if (!std::isfinite(lat) || !std::isfinite(lon) || !std::isfinite(lat2) || !std::isfinite(lon2) ||
        !std::isfinite(heading)) {
        return false;
    }
    VincentyResult inverse;
    GeoMath::VincentyInverse(inverse, lat, lon, lat2, lon2);
    const double distance = inverse.distanceMetres;
    if (!std::isfinite(distance)) {
        return false;
    }
    double bearing = GeoMath::RhumbLineBearing(lat, lon, lat2, lon2);
    if (!std::isfinite(bearing)) {
        return false;
    }
    if (bearing < 0.0) {
        bearing += kTwoPi;
    }
    // The side test below needs the heading in [0, 2pi); a heading such as -10 or 370 degrees is the same
    // direction.
    double h = std::fmod(heading * units::kPi / 180.0, kTwoPi);
    if (h < 0.0) {
        h += kTwoPi;
    }
    if (h >= kTwoPi) {
        h = 0.0;
    }
    const double cosine = std::clamp(-(std::sin(h) * std::sin(bearing) + std::cos(h) * std::cos(bearing)), -1.0, 1.0);
    double theta = std::acos(cosine);
    // Positive on the right of the centre line seen along the heading.
    const double m = std::fmod(h + units::kPi, kTwoPi);
    if (h >= units::kPi) {
        if (m <= bearing && bearing < h) {
            theta = -theta;
        }
    } else if (!(h <= bearing && bearing < m)) {
        theta = -theta;
    }
    along = std::cos(theta) * distance;
    across = std::sin(theta) * distance;
    return true;
}

void VDGS::UpdateGuidance(double lat, double lon, double lat2, double lon2, double heading) {
    double along = 0.0;
    double across = 0.0;
    if (!Measure(lat, lon, lat2, lon2, heading, along, across)) {
        return;
    }
    distanceToStop_ = along - stopDistance_;
    lateralOffset_ = across - lateralOffsetBias_;
    if (std::fabs(lateralOffset_) < lateralTolerance_) {
        lateralOffset_ = 0.0;
    }
    record_.displayDistance = distanceToStop_;
    record_.displayLateral = lateralOffset_;
    RefreshWord();
    UpdateKeyframes();
}

void VDGS::UpdateKeyframes() {
    const double d = distanceToStop_;
    const double l = lateralOffset_;
    double distKF = 0.0;
    double lateralKF = 0.0;
    if (displayType_ == 0) {
        // The bar animation runs from 0 to 24; the rounding right at 12 m and at -1.6 m would step one
        // keyframe outside it.
        constexpr double kLast = 24.0;
        if (d > 12.0) {
            distKF = 0.0;
        } else if (d < 0.0) {
            distKF = kLast;
        } else {
            distKF = std::clamp(RoundKeyframe(2.0 * (12.0 - d) - 0.5), 0.0, kLast);
        }
        if (l > 1.6) {
            lateralKF = kLast;
        } else if (l < -1.6) {
            lateralKF = 0.0;
        } else {
            lateralKF = std::clamp(RoundKeyframe(7.5 * l + 12.0 - 0.5), 0.0, kLast);
        }
    } else if (displayType_ == 3) {
        if (d > 22.5) {
            distKF = 0.0;
        } else if (d < 0.0) {
            distKF = 19.0;
        } else {
            int count = 0;
            for (const double threshold : kSegmentThresholds) {
                if (threshold > d) {
                    ++count;
                }
            }
            distKF = count;
        }
        if (l > 1.6 || l > lateralTolerance_) {
            lateralKF = 19.0;
        } else if (l < -1.6 || l < -lateralTolerance_) {
            lateralKF = 0.0;
        } else {
            lateralKF = 9.0;
        }
    }
    record_.distKF = distKF;
    record_.lateralKF = lateralKF;
}

void VDGS::UpdateDistanceBits() {
    const double d = distanceToStop_;
    const bool w = speedWarning_ != 0;
    switch (displayType_) {
    case 0:
        word_.SetBits(kDistanceLo, kDistanceHi, d > 12.0 ? (w ? 1 : 0) : (w ? 2 : 3));
        break;
    case 1:
        word_.SetBits(kDistanceLo, kDistanceHi, d > 15.0 ? 0 : 3);
        break;
    case 3:
        word_.SetBits(kDistanceLo, kDistanceHi, d > 30.0 ? 0 : (w ? 1 : 3));
        break;
    default:
        break;
    }
    // Codes come from the aircraft type table (at most 47); anything outside the six-bit field shows as
    // unknown rather than as a wrong type.
    const int32_t code = typeCode_ >= 0 && typeCode_ <= 63 ? typeCode_ : 0;
    word_.SetBits(kTypeCodeLo, kTypeCodeHi, static_cast<uint64_t>(code));
    RefreshWord();
}

void VDGS::UpdateLateralArrows() {
    word_.ClearBit(kArrowRight);
    word_.ClearBit(kArrowLeft);
    lateralSide_ = 0;
    if (lateralOffset_ < -lateralTolerance_) {
        lateralSide_ = 1;
        word_.SetBit(kArrowLeft);
    } else if (lateralOffset_ > lateralTolerance_) {
        lateralSide_ = 2;
        word_.SetBit(kArrowRight);
    }
    if (lateralSide_ != 0) {
        savedPhase_ = fastCounter_;
    }
    RefreshWord();
}

void VDGS::CheckStopReached() {
    // Signed: an aircraft already past the stop has reached it too.
    if (stopTolerance_ > distanceToStop_) {
        SetStateStop();
    }
}

void VDGS::UpdateSpeedWarning(double speed) {
    word_.ClearBit(kSpeedWarning);
    speedWarning_ = 0;
    const double d = distanceToStop_;
    const bool warn = (d > 20.0 && speed > 4.0) || (d > 10.0 && d <= 20.0 && speed > 3.0) ||
                      (d > 0.0 && d <= 10.0 && speed > 2.0);
    if (warn) {
        word_.SetBit(kSpeedWarning);
        speedWarning_ = 1;
    }
    RefreshWord();
}

bool VDGS::IsStopOutsideTolerance() const { return std::fabs(distanceToStop_) > 4.0 * stopTolerance_; }

bool VDGS::IsAircraftInRange(double factor) const {
    return approachRange_ * factor > distanceToStop_ && std::fabs(lateralOffset_) < kMaxLateralInRange;
}

bool VDGS::WaitSeconds(int32_t seconds) {
    const int target = kTicksPerSecond * std::clamp(seconds, 0, kMaxWaitSeconds);
    ++waitCounter_;
    if (waitRunning_ == 0) {
        waitRunning_ = 1;
        waitCounter_ = 0;
    }
    if (waitCounter_ == target) {
        waitRunning_ = 0;
        return true;
    }
    return false;
}

void VDGS::BlinkBit29() {
    if (fastCounter_ == savedPhase_) {
        word_.ToggleBit(kBlink);
        RefreshWord();
    }
}

void VDGS::ClearBit29() {
    word_.ClearBit(kBlink);
    RefreshWord();
}

void VDGS::AdvanceTypeCounter() {
    typeCounter_ = (typeCounter_ + 1) % kTypeCounterWrap;
    word_.SetBits(kTypeCounterLo, kTypeCounterHi, static_cast<uint64_t>(typeCounter_));
    RefreshWord();
}

VDGSDisplayRecord VDGS::AdvanceFastCounter() {
    fastCounter_ = static_cast<int16_t>((fastCounter_ + 1) % 6);
    word_.SetBits(kFastLo, kFastHi, static_cast<uint64_t>(fastCounter_));
    RefreshWord();
    return record_;
}

VDGSDisplayRecord VDGS::AdvanceSlowCounter() {
    slowCounter_ = static_cast<int16_t>((slowCounter_ + 1) % 8);
    word_.SetBits(kSlowLo, kSlowHi, static_cast<uint64_t>(slowCounter_));
    RefreshWord();
    return record_;
}

bool VDGS::SelectStopForType(int32_t code) {
    typeCode_ = 0;
    const auto found = stops_.find(code);
    if (found == stops_.end()) {
        stopUnknown_ = 1;
        return true;
    }
    stopDistance_ = found->second;
    typeCode_ = code;
    stopUnknown_ = 0;
    return false;
}

void VDGS::AddStop(int32_t code, bool keepExisting, double distance) {
    if (code == 0 || !std::isfinite(distance)) {
        return;
    }
    const auto [entry, inserted] = stops_.emplace(code, distance);
    if (!inserted && !keepExisting) {
        entry->second = distance;
    }
}

VDGSStepResult VDGS::Step(const VDGSStepInput& input) {
    VDGSStepResult result;
    switch (state_) {
    case VDGSStandby:
        if (activationRequested_ != 0) {
            // The lookup also runs for code 0 (never in the table), so that a stop selected for an earlier
            // aircraft is not taken for this one.
            const bool unknown = SelectStopForType(input.typeCode);
            if (input.typeCode != 0 && !unknown) {
                if (input.aimValid) {
                    UpdateGuidance(input.displayLatitude, input.displayLongitude, input.aimLatitude,
                                   input.aimLongitude, input.displayHeading);
                }
                // Already parked near the stop: nothing to guide.
                if (IsAircraftInRange(0.24)) {
                    SetStateEnding();
                    break;
                }
            }
            SetStateActivated();
        }
        break;
    case VDGSActivated:
        if (WaitSeconds(3)) {
            if (input.typeCode == 0) {
                SelectStopForType(0);
                SetStateStop();
            } else if (SelectStopForType(input.typeCode)) {
                result.stopDistanceMissing = true;
                SetStateError();
            } else if (input.doorsMissing) {
                result.doorsMissing = true;
                SetStateError();
            } else if (displayType_ == 1 || displayType_ == 2) {
                SetStateGuidance();
            } else {
                SetStateApproach();
            }
        }
        break;
    case VDGSTypeUnknown:
        BlinkBit29();
        if (WaitSeconds(8)) {
            ClearBit29();
            SetStateEnding();
        }
        break;
    case VDGSApproach:
        UpdateDistanceBits();
        AdvanceTypeCounter();
        if (IsAircraftInRange(1.0)) {
            SetStateGuidance();
            result.enteredGuidance = true;
        }
        break;
    case VDGSGuidance:
        UpdateDistanceBits();
        UpdateLateralArrows();
        CheckStopReached();
        UpdateSpeedWarning(input.closingSpeed);
        break;
    case VDGSStop:
        // Without the parking brake the next wait starts on the next tick.
        if (WaitSeconds(4)) {
            if (stopUnknown_ != 0) {
                SetStateTypeUnknown();
            } else if (input.parkingBrakeSet) {
                SetStateStopCheck();
            }
        }
        break;
    case VDGSStopCheck:
        if (IsStopOutsideTolerance()) {
            SetStateStopTooFar();
        } else {
            SetStateStopOk();
        }
        break;
    case VDGSStopOk:
    case VDGSStopTooFar:
        if (WaitSeconds(5)) {
            SetStateEnding();
        }
        break;
    case VDGSError:
        if (WaitSeconds(8)) {
            SetStateEnding();
        }
        break;
    case VDGSEnding:
    default:
        SetStateStandby();
        result.ended = true;
        break;
    }
    return result;
}

LLAData VDGS::StopPoint(double lat, double lon, double heading, double stopDistance, double lateralBias) {
    // Start on the sphere (against the heading, then sideways), then correct with the guidance's own
    // measure until it reads zero: the ellipsoidal distance differs from the sphere's by up to a few
    // centimetres per ten metres.
    double pointLat = 0.0;
    double pointLon = 0.0;
    GeoMath::OffsetLatLon(lat, lon, heading, -stopDistance, pointLat, pointLon);
    GeoMath::OffsetLatLonAbeam(pointLat, pointLon, heading, lateralBias, pointLat, pointLon);
    for (int i = 0; i < 8; ++i) {
        double along = 0.0;
        double across = 0.0;
        if (!Measure(lat, lon, pointLat, pointLon, heading, along, across)) {
            break;
        }
        const double alongError = along - stopDistance;
        const double acrossError = across - lateralBias;
        if (std::fabs(alongError) < 1e-6 && std::fabs(acrossError) < 1e-6) {
            break;
        }
        GeoMath::OffsetLatLon(pointLat, pointLon, heading, alongError, pointLat, pointLon);
        GeoMath::OffsetLatLonAbeam(pointLat, pointLon, heading, -acrossError, pointLat, pointLon);
    }
    return LLAData(pointLat, pointLon, 0.0);
}
