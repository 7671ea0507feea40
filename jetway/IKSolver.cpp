#include "jetway/IKSolver.h"

#include "foundation/GeoMath.h"
#include "foundation/Units.h"
#include "jetway/core/JetwayCore.h"
#include "platform/simconnect/SimConnect.h"

#include <log4cpp/Category.hh>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

constexpr double kTwoPi = 2.0 * units::kPi;

double Rad(double degrees) { return degrees * units::kPi / 180.0; }
double Deg(double radians) { return radians * 180.0 / units::kPi; }

// acos that never leaves its domain: rounding can push a cosine a little past 1.
double SafeAcos(double x) { return std::acos(std::clamp(x, -1.0, 1.0)); }

// True when bearing lies in the half turn clockwise from reference: (bearing - reference) modulo 2pi
// in [0, pi).
bool ClockwiseOf(double bearing, double reference)
{
    double m = std::fmod(bearing - reference, kTwoPi);
    if (m < 0.0) m += kTwoPi;
    return m < units::kPi;
}

bool Finite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// The values a solve writes, to put back when a solve goes wrong on numbers.
struct Written {
    explicit Written(const JetwayData& r)
        : extension(r.TargetExtension), via(r.ExtensionVia), rotation(r.TargetRootRotation), dip(r.TargetDip),
          head(r.TargetHead), leg(r.TargetLegLength), legVia(r.LegLengthVia), legLevel(r.LegLengthLevel),
          legAfterDip(r.LegLengthAfterDip), dipTime(r.DipTime), headTime(r.HeadRotationTime), hoodTime(r.HoodTime),
          retractFirst(r.RetractFirst), splitRotation(r.SplitRotation)
    {
    }
    void Restore(JetwayData& r) const
    {
        r.TargetExtension = extension;
        r.ExtensionVia = via;
        r.TargetRootRotation = rotation;
        r.TargetDip = dip;
        r.TargetHead = head;
        r.TargetLegLength = leg;
        r.LegLengthVia = legVia;
        r.LegLengthLevel = legLevel;
        r.LegLengthAfterDip = legAfterDip;
        r.DipTime = dipTime;
        r.HeadRotationTime = headTime;
        r.HoodTime = hoodTime;
        r.RetractFirst = retractFirst;
        r.SplitRotation = splitRotation;
    }
    static bool AllFinite(const JetwayData& r)
    {
        return Finite({r.TargetExtension, r.ExtensionVia, r.TargetRootRotation, r.TargetDip, r.TargetHead,
                       r.TargetLegLength, r.LegLengthVia, r.LegLengthLevel, r.LegLengthAfterDip});
    }

    double extension, via, rotation, dip, head, leg, legVia, legLevel, legAfterDip, dipTime, headTime, hoodTime;
    bool retractFirst, splitRotation;
};

}  // namespace

// Where the door lies seen from the jetway's root.
struct IKSolver::Geometry {
    double bearing = 0;  // rhumb-line bearing from the root to the door, radians in [0, 2pi)
    double ex = 0;       // metres along the jetway's axis (away from its heading)
    double ey = 0;       // metres across it, positive to the right of the heading
    double a = 0;        // horizontal reach of the bridge
    double b = 0;        // floor height above the door
};

// The failure text of one solve: every failing test adds its line and the whole text is shown again.
class IKSolver::Report {
public:
    Report(HANDLE simConnect, bool show, bool docked, uint32_t& mask)
        : simConnect_(simConnect), show_(show), docked_(docked), mask_(mask)
    {
    }

    // addWhenDocked: whether a docked jetway still gets the bit.
    void Fail(uint32_t bit, const char* line, bool addWhenDocked = true)
    {
        solved_ = false;
        if (!docked_ || addWhenDocked) mask_ |= bit;
        if (docked_) return;  // an undocking goes ahead; nothing to tell the user
        text_ += line;
        char buffer[kTextCapacity] = {};
        const size_t length = std::min(text_.size(), kTextCapacity - 1);
        std::memcpy(buffer, text_.data(), length);
        if (show_ && simConnect_ != nullptr)
            SimConnect_Text(simConnect_, SIMCONNECT_TEXT_TYPE_PRINT_WHITE, 4.0f, 0, static_cast<DWORD>(length + 1),
                            buffer);
    }
    bool Solved() const { return solved_; }

private:
    HANDLE simConnect_;
    bool show_;
    bool docked_;
    uint32_t& mask_;
    bool solved_ = true;
    std::string text_ = "[VELK] JETWAY CONTROL SYSTEM: Unable to dock!";
};

IKSolver::Geometry IKSolver::Locate(const PlacementData& placement, JetwayData& r, const LLAData& door) const
{
    const double baseAltitude = placement.GetAltitude() - placement.GetAltitudeOffset();
    const double psi = Rad(placement.GetHeading());

    VincentyResult distance;
    GeoMath::VincentyInverse(distance, placement.GetLatitude(), placement.GetLongitude(), door.GetLatitude(),
                             door.GetLongitude());
    const double d = distance.distanceMetres;
    double beta = GeoMath::RhumbLineBearing(placement.GetLatitude(), placement.GetLongitude(), door.GetLatitude(),
                                            door.GetLongitude());
    if (beta < 0.0) beta += kTwoPi;

    // Angle between the door's bearing and the direction the bridge points (opposite to the heading).
    double alpha = SafeAcos(-(std::sin(beta) * std::sin(psi) + std::cos(beta) * std::cos(psi)));
    if (!ClockwiseOf(beta, psi)) alpha = -alpha;

    Geometry g;
    g.bearing = beta;
    g.ex = d * std::cos(alpha);
    g.ey = d * std::sin(alpha);
    const double hd = (door.GetAltitude() - baseAltitude) * units::kMetresPerFoot;
    g.a = d - r.RootBridgeOffset;
    g.b = r.RootFloorHeight - hd;

    r.TargetRootRotation = std::atan2(g.ey, g.ex);
    r.TargetDip = std::atan2(g.b, g.a);
    r.TargetExtension = std::hypot(g.a, g.b);
    r.SplitRotation = false;
    return g;
}

void IKSolver::SolveHead(JetwayData& r, double heading, double bearing, bool& headClamped) const
{
    const double u = std::fmod(Rad(r.DoorAngle + heading) + units::kPi / 2.0, kTwoPi);
    const double v = SafeAcos(std::sin(bearing) * std::sin(u) + std::cos(bearing) * std::cos(u));

    // The head stops on whole keyframes. A head range of no width or a jetway without keyframes has
    // no grid: the head stays at its first limit and counts as out of range.
    const double lo = Rad(r.HeadSweepRange.first);
    const double width = Rad(r.HeadSweepRange.second) - lo;
    const double n = r.KeyframeCount;
    double k = 0.0;
    headClamped = false;
    if (width == 0.0 || n == 0.0) {
        headClamped = true;
    } else {
        k = n * (v - lo) / width;
        if (k > n) {
            k = n;
            headClamped = true;
        } else if (!(k >= 1e-9)) {
            k = 0.0;
            headClamped = true;
        }
    }
    r.TargetHead = n == 0.0 ? lo : lo + width / n * std::round(k);
    if (!ClockwiseOf(bearing, u)) r.TargetHead = -r.TargetHead;
}

bool IKSolver::CheckInputs(const PlacementData& placement, const JetwayData& r, const LLAData& door, double heading,
                           uint32_t& mask) const
{
    const auto onEarth = [](double latitude, double longitude) {
        return std::fabs(latitude) <= 90.0 && std::fabs(longitude) <= 360.0;
    };
    if (!Finite({placement.GetLatitude(), placement.GetLongitude(), placement.GetAltitude(),
                 placement.GetAltitudeOffset(), placement.GetHeading()}) ||
        !onEarth(placement.GetLatitude(), placement.GetLongitude())) {
        mask |= IKFailure::NoPlacement;
        if (log_) log_->debug(" [JETWAY::IK SOLVER] Invalid Jetway Placement Data! Not able to solve IK problem.");
        return false;
    }
    if (!Finite({door.GetLatitude(), door.GetLongitude(), door.GetAltitude(), heading}) ||
        !onEarth(door.GetLatitude(), door.GetLongitude())) {
        mask |= IKFailure::NoPlacement;
        if (log_)
            log_->debug(" [JETWAY::IK SOLVER] Invalid Aircraft Door Position or Heading! Not able to solve IK problem.");
        return false;
    }
    // A jetway of another type cannot be moved by the module.
    if (r.JetwayType < kJetwayTypeA || r.JetwayType > kJetwayTypeH) {
        mask |= IKFailure::NoJetway;
        if (log_)
            log_->debug(" [JETWAY::IK SOLVER] Invalid Jetway Type (%u)! Not able to solve IK problem.",
                        static_cast<unsigned>(r.JetwayType));
        return false;
    }
    if (!Finite({r.BridgeLengthRange.first, r.BridgeLengthRange.second, r.RootSweepRange.first,
                 r.RootSweepRange.second, r.BridgeDipRange.first, r.BridgeDipRange.second, r.HeadSweepRange.first,
                 r.HeadSweepRange.second, r.LegLengthRange.first, r.LegLengthRange.second, r.RootFloorHeight,
                 r.RootBridgeOffset, r.MouthOffset, r.LegOffset, r.LegOffsetFromOrigin, r.HoodWidth, r.DoorAngle,
                 r.CurrentPose.extension, r.CurrentPose.dip})) {
        mask |= IKFailure::NoJetway;
        if (log_) log_->debug(" [JETWAY::IK SOLVER] Invalid Jetway Data! Not able to solve IK problem.");
        return false;
    }
    return true;
}

bool IKSolver::Solve(const PlacementData* placement, JetwayCore* jetway, double heading, LLAData& door,
                     bool showText, uint32_t& mask) const
{
    if (placement == nullptr) {
        mask |= IKFailure::NoPlacement;
        if (log_) log_->debug(" [JETWAY::IK SOLVER] Invalid Jetway Placement Data! Not able to solve IK problem.");
        return false;
    }
    if (jetway == nullptr) {
        mask |= IKFailure::NoJetway;
        if (log_) log_->debug(" [JETWAY::IK SOLVER] Invalid Jetway Data! Not able to solve IK problem.");
        return false;
    }
    JetwayData& r = *jetway->GetJetwayData();
    if (!CheckInputs(*placement, r, door, heading, mask)) return false;

    const Written before(r);
    const double doorAltitude = door.GetAltitude();
    const uint32_t type = r.JetwayType;
    const bool docked = r.Docked;
    const bool swinging = type == kJetwayTypeA || type == kJetwayTypeH;  // root and head rotate
    const bool dipping = type != kJetwayTypeN || r.LegOffsetFromOrigin != 0.0;
    const double psi = Rad(placement->GetHeading());

    // The door is met by the bridge mouth, which sits lower than the floor at the root when the bridge
    // dips: raise the door by the mouth's share of the height difference.
    if (swinging || (type == kJetwayTypeN && r.LegOffsetFromOrigin != 0.0)) {
        Locate(*placement, r, door);
        const double baseAltitude = placement->GetAltitude() - placement->GetAltitudeOffset();
        const double h = r.RootFloorHeight - (door.GetAltitude() - baseAltitude) * units::kMetresPerFoot;
        const double m = r.MouthOffset;
        const double reach = m + r.TargetExtension * std::cos(r.TargetDip);
        // The mouth's share lies within 0..1 for any real bridge; a negative mouth or a door behind the
        // root would make it any size.
        const double share = std::fabs(reach) > 1e-9 ? std::clamp(m / reach, 0.0, 1.0) : 0.0;
        door.SetAltitude(door.GetAltitude() + share * h / units::kMetresPerFoot);
    }
    const Geometry g = Locate(*placement, r, door);

    bool headClamped = false;
    double parking = 0.0;  // degrees between the aircraft and the jetway, types N and T
    if (swinging) {
        // Split the root rotation when the bridge ends up nearly in line with the aircraft.
        const double turn = Deg(std::fmod(psi - r.TargetRootRotation, kTwoPi) - Rad(heading));
        double m = std::fmod(std::fabs(std::trunc(turn)), 360.0);
        if (m > 180.0) m = 360.0 - m;
        r.SplitRotation = kSplitRotationDeg > m;

        SolveHead(r, heading, g.bearing, headClamped);

        if (!docked) {
            const double e = r.CurrentPose.extension;
            const double length = r.TargetExtension;
            const bool retract = e - length > 0.0;
            if (retract) {
                r.RetractFirst = true;
                r.ExtensionVia = length - (length - r.BridgeLengthRange.first) * 0.5;
            } else {
                r.RetractFirst = false;
            }
            if (type == kJetwayTypeA) {
                const auto leg = [&r](double dip, double x) {
                    return (r.RootFloorHeight + std::sin(-dip) * (x - r.LegOffset)) / std::cos(-dip);
                };
                const double at = retract ? r.ExtensionVia : e;
                r.LegLengthAfterDip = leg(r.TargetDip, at);
                r.TargetLegLength = leg(r.TargetDip, length);
                r.LegLengthLevel = leg(0.0, at);
                if (retract) r.LegLengthVia = leg(r.CurrentPose.dip, r.ExtensionVia);
            } else {
                const auto leg = [&r](double dip) {
                    return r.RootFloorHeight + std::tan(-dip) * (r.LegOffsetFromOrigin - r.RootBridgeOffset);
                };
                r.LegLengthAfterDip = r.TargetLegLength = leg(r.TargetDip);
                r.LegLengthLevel = leg(0.0);
                if (retract) r.LegLengthVia = leg(r.CurrentPose.dip);
            }
        }
    } else if (type == kJetwayTypeN || type == kJetwayTypeT) {
        r.TargetRootRotation = 0.0;
        if (type == kJetwayTypeT) {
            r.TargetDip = std::atan2(g.b, r.LegOffsetFromOrigin - r.RootBridgeOffset);
            r.TargetExtension = g.ey;
        } else if (r.LegOffsetFromOrigin == 0.0) {
            r.TargetExtension = g.ey;
            r.TargetDip = 0.0;
        }
        const double p = std::fmod(psi, kTwoPi);
        const double h = std::fmod(Rad(heading), kTwoPi);
        parking = Deg(SafeAcos(std::sin(p) * std::sin(h) + std::cos(p) * std::cos(h)));
        r.LegLengthAfterDip = r.TargetLegLength =
            r.RootFloorHeight + std::tan(-r.TargetDip) * (r.LegOffsetFromOrigin - r.RootBridgeOffset);
    }

    r.DipTime = 15.0;
    r.HeadRotationTime = fastJetways_ ? 5.0 : 10.0;
    r.HoodTime = fastJetways_ ? 1.0 : 3.0;

    // Numbers too large for the geometry: give up without leaving anything half computed behind.
    if (!Written::AllFinite(r) || !std::isfinite(door.GetAltitude())) {
        before.Restore(r);
        door.SetAltitude(doorAltitude);
        mask |= IKFailure::NoJetway;
        if (log_) log_->error(" [JETWAY::IK SOLVER] Jetway geometry out of range! Not able to solve IK problem.");
        return false;
    }

    Report report(simConnect_, showText, docked, mask);
    const double length = r.TargetExtension;
    if (r.BridgeLengthRange.first > length)
        report.Fail(IKFailure::DoorTooClose, "\n Aircraft Door too close for the Jetway!");
    if (length > r.BridgeLengthRange.second)
        report.Fail(IKFailure::DoorTooFar, "\n Aircraft Door too far away for the Jetway!");
    if (swinging) {
        const double rotation = Deg(r.TargetRootRotation);
        if (rotation < r.RootSweepRange.first || rotation > r.RootSweepRange.second)
            report.Fail(IKFailure::RotationOutOfRange, "\n Aircraft Door out of Jetway Rotation Range!");
    } else {
        const double w = r.HoodWidth * 0.5;
        const bool misaligned = g.ex < 0.0 ? std::fabs(g.ex) > w + 0.25 : std::fabs(g.ex) + 1.05 > w + 0.3;
        if (misaligned) report.Fail(IKFailure::Misaligned, "\n Aircraft Door and Jetway misaligned!", false);
        if (std::fabs(parking) > 8.0)
            report.Fail(IKFailure::NotParallel, "\n Aircraft not straight on parking line!", false);
    }
    if (dipping) {
        const double dip = Deg(r.TargetDip);
        if (dip > r.BridgeDipRange.second || dip < r.BridgeDipRange.first)
            report.Fail(IKFailure::DipOutOfRange, "\n Aircraft Door out of Jetway Elevation Range!");
        const JetwayRange& legs = r.LegLengthRange;
        if (r.LegLengthAfterDip < legs.first || r.LegLengthAfterDip > legs.second) {
            if (r.LegLengthAfterDip < legs.first)
                report.Fail(IKFailure::TooLowDuringDip, "\n Aircraft Door too low for the Jetway (during Dip)!");
            else
                report.Fail(IKFailure::TooHighDuringDip, "\n Aircraft Door too high for the Jetway (during Dip)!");
        }
        if (r.TargetLegLength < legs.first || r.TargetLegLength > legs.second) {
            if (std::fabs(legs.first - r.TargetLegLength) < kExtensionTolerance)
                r.TargetLegLength = legs.first;
            else if (r.TargetLegLength < legs.first)
                report.Fail(IKFailure::TooLowDuringExtension,
                            "\n Aircraft Door too low for the Jetway (during Extension)!");
            else
                report.Fail(IKFailure::TooHighDuringExtension,
                            "\n Aircraft Door too high for the Jetway (during Extension)!");
        }
    }
    if (swinging) {
        const double head = Deg(r.TargetHead);
        if (headClamped || head < r.HeadSweepRange.first || head > r.HeadSweepRange.second) {
            if (std::fabs(r.HeadSweepRange.second - head) < kHeadToleranceDeg) {
                if (!headClamped) r.TargetHead = Rad(r.HeadSweepRange.second);
            } else {
                report.Fail(IKFailure::HeadOutOfRange, "\n Aircraft Door out of Jetway Head Rotation Range!");
            }
        }
    }
    return report.Solved();
}

void IKSolver::FailureText(uint32_t mask, std::string& text)
{
    static constexpr struct {
        uint32_t bit;
        const char* text;
    } kTexts[] = {
        {IKFailure::NotParallel, "Aircraft not straight on parking line // "},
        {IKFailure::Misaligned, "Aircraft Door and Jetway misaligned // "},
        {IKFailure::DipOutOfRange, "Aircraft Door out of Jetway Elevation Range // "},
        {IKFailure::TooHighDuringDip, "Aircraft Door too high for the Jetway (during Dip) // "},
        {IKFailure::TooHighDuringExtension, "Aircraft Door too high for the Jetway (during Extension) // "},
        {IKFailure::TooLowDuringDip, "Aircraft Door too low for the Jetway (during Dip) // "},
        {IKFailure::TooLowDuringExtension, "Aircraft Door too low for the Jetway (during Extension) // "},
        {IKFailure::HeadOutOfRange, "Aircraft Door out of Jetway Head Rotation Range // "},
        {IKFailure::RotationOutOfRange, "Aircraft Door out of Jetway Rotation Range // "},
        {IKFailure::DoorTooClose, "Aircraft Door too close for the Jetway // "},
        {IKFailure::DoorTooFar, "Aircraft Door too far away for the Jetway // "},
        {IKFailure::NoPlacement, " Invalid Input Data Placement // "},
        {IKFailure::NoJetway, " Invalid Input Data Jetway // "},
    };
    for (const auto& entry : kTexts)
        if (mask & entry.bit) text += entry.text;
}
