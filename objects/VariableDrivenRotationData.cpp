#include "objects/VariableDrivenRotationData.h"

#include "foundation/GeoMath.h"
#include "foundation/Units.h"

#include <cmath>

uint32_t RotationDataDefinition(RotationAxis axis)
{
    switch (axis) {
    case RotationAxis::Heading: return 11;
    case RotationAxis::Pitch: return 12;
    case RotationAxis::Bank: return 13;
    default: return 0;
    }
}

const char* RotationVariable(RotationAxis axis)
{
    switch (axis) {
    case RotationAxis::Heading: return "PLANE HEADING DEGREES TRUE";
    case RotationAxis::Pitch: return "PLANE PITCH DEGREES";
    case RotationAxis::Bank: return "PLANE BANK DEGREES";
    default: return "";
    }
}

VDR_WindDirData::~VDR_WindDirData() = default;
VDR_TimeHrsData::~VDR_TimeHrsData() = default;

int32_t VDR_WindDirData::AxisFromKeyword(const std::string& keyword)
{
    if (keyword == "PITCH") return 1;
    if (keyword == "BANK") return 2;
    if (keyword == "HEADING") return 3;
    return 0;
}

RotationAxis VDR_WindDirData::GetAxis() const
{
    const int32_t axis = GetOptionCount() > 0 ? GetOption(0) : 0;
    return axis >= 1 && axis <= 3 ? static_cast<RotationAxis>(axis) : RotationAxis::None;
}

void VDR_WindDirData::Feed(double directionDegrees)
{
    if (!std::isfinite(directionDegrees)) return;
    // Compared with what was turned to, not with the previous feed: a direction fed twice before the
    // next turn, or a first wind from 0 degrees, is still turned to.
    targetAngle_ = directionDegrees;
    changed_ = turned_ == 0 || directionDegrees != turnedAngle_ ? 1 : 0;
}

void VDR_WindDirData::NoteTurned()
{
    changed_ = 0;
    turned_ = 1;
    turnedAngle_ = targetAngle_;
}

void VDR_WindDirData::FeedFromProbe(double directionDegrees, double windVelocity, bool turningPositive,
                                    double change)
{
    factor_ = windVelocity;
    turningPositive_ = turningPositive ? 1 : 0;
    Feed(directionDegrees);
    applied_ = change == 0.0 ? 1 : 0;
}

namespace {

bool OnTheGlobe(const LLAData& p)
{
    return std::isfinite(p.GetLatitude()) && std::fabs(p.GetLatitude()) <= 90.0 && std::isfinite(p.GetLongitude());
}

}  // namespace

RotationTurn VariableDrivenRotationData::Turn(bool byWindDirection, bool byUserAircraft, const LLAData& object,
                                              const LLAData& user)
{
    RotationTurn turn;
    if (byUserAircraft) {
        if (!OnTheGlobe(object) || !OnTheGlobe(user)) return turn;
        const double heading = GeoMath::RhumbLineBearing(object.GetLatitude(), object.GetLongitude(),
                                                         user.GetLatitude(), user.GetLongitude()) +
                               units::kPi;
        if (!std::isfinite(heading)) return turn;
        turn.writes[turn.count++] = RotationWrite{RotationAxis::Heading, heading, true, GeoMath::RadToDeg(heading)};
        if (userAircraftPosition_.IsPointMode() && std::isfinite(object.GetAltitude()) &&
            std::isfinite(user.GetAltitude())) {
            const double pitch =
                GeoMath::ElevationAngle(object.GetLatitude(), object.GetLongitude(), object.GetAltitude(),
                                        user.GetLatitude(), user.GetLongitude(), user.GetAltitude());
            if (std::isfinite(pitch))
                turn.writes[turn.count++] = RotationWrite{RotationAxis::Pitch, pitch, false, GeoMath::RadToDeg(pitch)};
        }
        return turn;
    }
    if (byWindDirection && windDirection_.IsChanged()) {
        windDirection_.NoteTurned();
        const RotationAxis axis = windDirection_.GetAxis();
        const double degrees = windDirection_.GetTargetAngle();
        if (axis != RotationAxis::None)
            turn.writes[turn.count++] = RotationWrite{axis, GeoMath::DegToRad(degrees), true, degrees};
    }
    return turn;
}
