#include "jetway/core/JetwayCore.h"

#include "foundation/Units.h"
#include "platform/simconnect/SimConnect.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

constexpr double kEarthRadiusKm = 6378.137;

// K * (x - B) / (A - B), within 0..K; a zero-width range and NaN give 0.
double ScaleToChannel(double x, double a, double b, double keyframes)
{
    const double width = a - b;
    if (width == 0.0) return 0.0;
    const double v = keyframes * (x - b) / width;
    if (v > keyframes) return keyframes;
    if (!(v >= 1e-9)) return 0.0;
    return v;
}

// Percent p of the range from first to second.
double FromPercent(const JetwayRange& range, double percent, double scale)
{
    return range.first * scale + (range.second - range.first) * scale / 100.0 * percent;
}

// Keyframes rounded half away from zero.
double RoundKeyframe(double v) { return std::round(v); }

std::atomic<JetwayCore::WriteRefusedHandler> g_writeRefused{nullptr};

// A part's attitude is the jetway's heading less at most two joint angles, all three within two turns
// either way: never more than this.
constexpr double kMaxAttitudeRadians = 4.0 * job_limits::kMaxAngleRadians;

// A part position the simulator may take: every value finite, on the globe, the attitude within the
// turns the joints can make. A longitude up to a turn past the antimeridian (a part of a jetway standing
// on it) is brought back into -180..180.
bool PlaceOnGlobe(std::array<double, 6>& position)
{
    for (double v : position)
        if (!std::isfinite(v)) return false;
    for (size_t i = 3; i < 6; ++i)
        if (std::fabs(position[i]) > kMaxAttitudeRadians) return false;
    double& longitude = position[1];
    if (longitude > job_limits::kMaxLongitude && longitude <= 3.0 * job_limits::kMaxLongitude) longitude -= 360.0;
    if (longitude < -job_limits::kMaxLongitude && longitude >= -3.0 * job_limits::kMaxLongitude) longitude += 360.0;
    return std::fabs(position[0]) <= job_limits::kMaxLatitude && std::fabs(longitude) <= job_limits::kMaxLongitude;
}

static_assert(sizeof(JetwayAnimation) == 72);
static_assert(sizeof(std::array<double, 6>) == 48);

}  // namespace

JetwayCore::JetwayCore(const JetwayCore& other)
    : record_(other.record_), simConnect_(other.simConnect_), configPresent_(other.configPresent_)
{
}

JetwayCore& JetwayCore::operator=(const JetwayCore& other)
{
    if (this == &other) return *this;
    StopMotion();
    record_ = other.record_;
    simConnect_ = other.simConnect_;
    configPresent_ = other.configPresent_;
    return *this;
}

JetwayCore::~JetwayCore()
{
    StopMotion();
    if (tickDone_) CloseHandle(tickDone_);
}

JetwayData& JetwayCore::CopyJetwayData(JetwayData& out) const
{
    out = record_;
    return out;
}

double JetwayCore::WrapWheel(double value)
{
    // As often 100 off as it takes: a fast job steps the wheel by more than a whole turn per tick.
    if (!std::isfinite(value)) return 0.0;
    if (value > 100.0) {
        const double rest = std::fmod(value, 100.0);
        return rest == 0.0 ? 100.0 : rest;
    }
    if (value < 0.0) {
        const double rest = std::fmod(value, 100.0);
        return rest < 0.0 ? std::min(rest + 100.0, 100.0) : 0.0;
    }
    return value;
}

void JetwayCore::SetDoorPoints(const std::vector<double>& values)
{
    auto& points = record_.PlacementPoints;
    switch (values.size()) {
    case 1: points[3] = values[0]; break;
    case 2:
        points[1] = values[0];
        points[3] = values[1];
        break;
    case 4: std::copy(values.begin(), values.end(), points.begin()); break;
    default: record_.PlacementPointCount = 0; return;
    }
    record_.PlacementPointCount = static_cast<int32_t>(values.size());
}

void JetwayCore::SetDoorPoints4(double rotation, double dip, double head, double extension)
{
    record_.PlacementPoints = {rotation, dip, head, extension};
    record_.PlacementPointCount = -1;
}

void JetwayCore::SetDataValues4(double latitude, double longitude, double altitude, double heading)
{
    record_.JetwayLatitude = latitude;
    record_.JetwayLongitude = longitude;
    record_.JetwayAltitude = altitude;
    record_.JetwayHeading = heading;
}

void JetwayCore::SetDockingValues(double doorAngle, double doorHeight, double verticalOffset, double value4,
                                  double value5)
{
    record_.DoorAngle = doorAngle;
    record_.DoorHalfHeight = doorHeight / 2.0;
    record_.DoorVerticalOffset = verticalOffset;
    record_.DoorValue4 = value4;
    record_.DoorValue5 = value5;
}

// ---- channel scaling ----

double JetwayCore::ScaleLeg(double metres) const
{
    return ScaleToChannel(metres, record_.LegLengthRange.first, record_.LegLengthRange.second, record_.KeyframeCount);
}

double JetwayCore::ScaleRoot(double radians) const
{
    return ScaleToChannel(radians, record_.RootSweepRange.second * units::kRadiansPerDegree,
                          record_.RootSweepRange.first * units::kRadiansPerDegree, record_.KeyframeCount);
}

double JetwayCore::ScaleDip(double radians) const
{
    return ScaleToChannel(radians, record_.BridgeDipRange.second * units::kRadiansPerDegree,
                          record_.BridgeDipRange.first * units::kRadiansPerDegree, record_.KeyframeCount);
}

double JetwayCore::ScaleExtension(double metres) const
{
    return ScaleToChannel(metres, record_.BridgeLengthRange.second, record_.BridgeLengthRange.first,
                          record_.KeyframeCount);
}

double JetwayCore::ScaleHead(double radians) const
{
    bool clamped = false;
    return ScaleHead(radians, clamped);
}

double JetwayCore::ScaleHead(double radians, bool& clamped) const
{
    const double a = record_.HeadSweepRange.second * units::kRadiansPerDegree;
    const double b = record_.HeadSweepRange.first * units::kRadiansPerDegree;
    const double k = record_.KeyframeCount;
    const double v = ScaleToChannel(radians, a, b, k);
    const double raw = a == b ? 0.0 : k * (radians - b) / (a - b);
    clamped = v != raw;
    return v;
}

double JetwayCore::ScaleHood(double radians) const
{
    return ScaleToChannel(radians, units::kPi / 4.0, 0.0, record_.KeyframeCount);
}

double JetwayCore::ScaleStair(double radians) const
{
    return ScaleToChannel(radians, units::kPi / 2.0, 0.0, record_.KeyframeCount);
}

double JetwayCore::QuantizeHead(double radians) const
{
    const double a = record_.HeadSweepRange.second * units::kRadiansPerDegree;
    const double b = record_.HeadSweepRange.first * units::kRadiansPerDegree;
    if (record_.KeyframeCount == 0) return b;
    return (a - b) / record_.KeyframeCount * RoundKeyframe(ScaleHead(radians)) + b;
}

// ---- geometry ----

double JetwayCore::StairAngle(double extension, double dip) const
{
    const JetwayData& r = record_;
    const double along = r.JetwayType == kJetwayTypeH ? r.StairOffsetFromOrigin - r.RootBridgeOffset
                                                      : extension - r.StairOffset;
    const double rise = r.RootFloorHeight - std::sin(dip) * along;
    if (rise > r.StairLength) return units::kPi / 2.0 - dip;
    // A stair of no length hangs straight; the ratio is kept within asin's domain.
    const double ratio = r.StairLength != 0.0 ? std::clamp(rise / r.StairLength, -1.0, 1.0) : 0.0;
    return std::asin(ratio) + dip;
}

double JetwayCore::LegLength(double extension, double dip) const
{
    const double c = std::cos(dip);
    const double lift = record_.RootFloorHeight - std::sin(dip) * (extension - record_.LegOffset);
    return c != 0.0 ? lift / c : lift;
}

double JetwayCore::LegHeight(double dip) const
{
    return std::tan(-dip) * (record_.LegOffsetFromOrigin - record_.RootBridgeOffset) + record_.RootFloorHeight;
}

double JetwayCore::WheelArcRadius() const
{
    const double e = record_.SavedPose.extension - record_.LegOffset;
    const double l = record_.SavedPose.legLength;
    const double f = record_.RootFloorHeight;
    return std::sqrt(std::max(0.0, e * e + l * l - f * f)) + record_.RootBridgeOffset;
}

// ---- parked pose ----

JetwayAnimation JetwayCore::ComputeParkedPose()
{
    JetwayData& r = record_;
    r.Moving = false;
    r.ElapsedMs = 0;
    r.StateWord.ClearBit(0);
    r.StateWord.ClearBit(2);

    const auto& p = r.PlacementPoints;
    const bool allFour = r.PlacementPointCount == 4 || r.PlacementPointCount == -1;
    const bool dipAndExtension = r.PlacementPointCount == 2 || r.PlacementPointCount == -1;
    JetwayPose pose;
    switch (r.JetwayType) {
    case kJetwayTypeA:
    case kJetwayTypeH:
        pose.rootRotation = FromPercent(r.RootSweepRange, allFour ? p[0] : 0.0, units::kRadiansPerDegree);
        pose.dip = FromPercent(r.BridgeDipRange, allFour ? p[1] : 0.0, units::kRadiansPerDegree);
        pose.head = QuantizeHead(FromPercent(r.HeadSweepRange, allFour ? p[2] : 50.0, units::kRadiansPerDegree));
        pose.extension = FromPercent(r.BridgeLengthRange, allFour ? p[3] : 0.0, 1.0);
        break;
    case kJetwayTypeN:
        if (r.PlacementPointCount == 1) {
            pose.dip = 0.0;
            pose.extension = FromPercent(r.BridgeLengthRange, p[3], 1.0);
            r.StateWord.SetBits(17, 23, 0);
            r.StateWord.SetBits(24, 30, 0);
        } else {
            pose.dip = FromPercent(r.BridgeDipRange, dipAndExtension ? p[1] : 0.0, units::kRadiansPerDegree);
            pose.extension = FromPercent(r.BridgeLengthRange, dipAndExtension ? p[3] : 0.0, 1.0);
        }
        break;
    default:
        pose.dip = FromPercent(r.BridgeDipRange, dipAndExtension ? p[1] : 0.0, units::kRadiansPerDegree);
        pose.extension = FromPercent(r.BridgeLengthRange, dipAndExtension ? p[3] : 0.0, 1.0);
        break;
    }
    pose.legLength = LegLength(pose.extension, pose.dip);
    pose.stairAngle = StairAngle(pose.extension, pose.dip);

    r.CurrentPose = pose;
    r.SavedPose = pose;
    r.TargetRootRotation = pose.rootRotation;
    r.TargetDip = pose.dip;
    r.TargetHead = pose.head;
    r.TargetExtension = pose.extension;
    TakeSavedPose();
    return BuildAnimation();
}

void JetwayCore::TakeSavedPose()
{
    JetwayData& r = record_;
    const JetwayPose& s = r.SavedPose;
    r.RotationChannel = ScaleRoot(s.rootRotation);
    r.DipChannel = ScaleDip(s.dip);
    r.HeadChannel = ScaleHead(s.head);
    r.ExtensionChannel = ScaleExtension(s.extension);
    r.LegChannel = ScaleLeg(s.legLength);
    r.StairChannel = ScaleStair(s.stairAngle);
}

// ---- parts ----

bool JetwayCore::HasPart(int slot) const
{
    return slot >= 1 && slot <= 6 && record_.Parts[static_cast<size_t>(slot - 1)].HasTitle();
}

bool JetwayCore::IsPartInjected(int slot) const
{
    return slot >= 1 && slot <= 6 && record_.Parts[static_cast<size_t>(slot - 1)].GetInjected();
}

PartPosition JetwayCore::ComputePartPositions(int slot, double h, double e, double d, double rot) const
{
    const JetwayData& r = record_;
    const double hd = r.JetwayHeading * units::kRadiansPerDegree;
    double x = 0, y = 0, height = 0;
    LinkType link = LinkType::None;
    if (slot >= 1 && slot <= 6) {
        const LinkedSimObject& part = r.Parts[static_cast<size_t>(slot - 1)];
        link = part.GetLinkType();
        x = part.GetOffset().x;
        y = part.GetOffset().y;
        height = part.GetOffset().z;
    }
    const double z = height;
    const double f = r.RootFloorHeight;
    const double b = r.RootBridgeOffset;
    double X = x, Y = y, H = f + z;

    switch (r.JetwayType) {
    case kJetwayTypeA:
    case kJetwayTypeH: {
        double x2 = 0;
        bool bridge = true;
        switch (link) {
        case LinkType::Head: {
            const double x1 = x * std::cos(h) - y * std::sin(h);
            Y = x * std::sin(h) + y * std::cos(h);
            x2 = x1 + e;
            break;
        }
        case LinkType::BridgeMoving: x2 = x + e; break;
        case LinkType::BridgeStatic: x2 = x; break;
        default: bridge = false; break;
        }
        if (bridge) {
            X = x2 * std::cos(-d) - z * std::sin(-d) + b;
            H = f + (z * std::cos(-d) + x2 * std::sin(-d));
        }
        if (bridge || link == LinkType::Root) {
            const double xr = X * std::cos(rot) - Y * std::sin(rot);
            const double yr = X * std::sin(rot) + Y * std::cos(rot);
            X = xr;
            Y = yr;
        }
        if (link == LinkType::Static) H = z;
        break;
    }
    case kJetwayTypeN:
        if (link == LinkType::BridgeMoving || link == LinkType::BridgeStatic) {
            const double y2 = link == LinkType::BridgeMoving ? y + e : y;
            Y = y2 * std::cos(-d) - z * std::sin(-d) + b;
            H = f + (z * std::cos(-d) + y2 * std::sin(-d));
        } else if (link == LinkType::Static) {
            H = z;
        }
        break;
    case kJetwayTypeT:
        if (link == LinkType::BridgeMoving) {
            Y = y + e;
            H = std::tan(-d) * (r.LegOffsetFromOrigin - b) + f + z;
        } else if (link == LinkType::Static) {
            H = z;
        }
        break;
    default: break;
    }

    PartPosition out;
    out.latitude =
        r.JetwayLatitude + (-(X * std::cos(hd)) - Y * std::sin(hd)) / 1000.0 / kEarthRadiusKm * 180.0 / units::kPi;
    out.longitude = r.JetwayLongitude + (Y * std::cos(hd) - X * std::sin(hd)) / 1000.0 /
                                            (std::cos(r.JetwayLatitude * units::kRadiansPerDegree) * kEarthRadiusKm) *
                                            180.0 / units::kPi;
    out.altitude = H * units::kFeetPerMetre + r.JetwayAltitude;
    switch (link) {
    case LinkType::Head:
        out.heading = hd - rot - h;
        out.pitch = -(std::cos(h) * d);
        out.bank = std::sin(h) * d;
        break;
    case LinkType::BridgeMoving:
    case LinkType::BridgeStatic:
        out.heading = hd - rot;
        if (r.JetwayType == kJetwayTypeN) {
            out.bank = -d;
        } else if (!(r.JetwayType == kJetwayTypeT && link == LinkType::BridgeMoving)) {
            out.pitch = -d;
        }
        break;
    case LinkType::Root: out.heading = hd - rot; break;
    default: out.heading = hd; break;
    }
    return out;
}

void JetwayCore::WritePartPositions(double head, double extension, double dip, double rotation)
{
    for (int slot = 1; slot <= 6; ++slot) {
        const LinkedSimObject& part = record_.Parts[static_cast<size_t>(slot - 1)];
        if (!part.HasTitle()) continue;
        std::array<double, 6> position = ComputePartPositions(slot, head, extension, dip, rotation).ToArray();
        if (part.GetObjectId() == 0 || simConnect_ == nullptr) continue;
        if (!PlaceOnGlobe(position)) {
            RefuseWrite("part position not finite, off the globe or overturned");
            continue;
        }
        SimConnect_SetDataOnSimObject(simConnect_, record_.PositionDefinitionId, part.GetObjectId(), 0, 0,
                                      static_cast<DWORD>(sizeof(position)), position.data());
    }
}

JetwayAnimation JetwayCore::BuildAnimation() const
{
    const JetwayData& r = record_;
    return {r.StateWord.ToDouble(), r.LegChannel,   r.ExtensionChannel, r.RotationChannel, r.DipChannel,
            r.StairChannel,         r.HoodChannel,  r.HeadChannel,      r.WheelChannel};
}

void JetwayCore::WriteAnimation()
{
    // Object 0 is the user aircraft, never a jetway.
    if (simConnect_ == nullptr || record_.JetwayObjectId == 0) return;
    JetwayAnimation animation = BuildAnimation();
    for (double v : animation) {
        if (!std::isfinite(v)) return RefuseWrite("animation value not finite");
    }
    SimConnect_SetDataOnSimObject(simConnect_, record_.AnimationDefinitionId, record_.JetwayObjectId, 0, 0,
                                  static_cast<DWORD>(sizeof(animation)), animation.data());
}

void JetwayCore::SetWriteRefusedHandler(WriteRefusedHandler handler) { g_writeRefused.store(handler); }

void JetwayCore::RefuseWrite(const char* what)
{
    // Told once per motion: a motion gone wrong would otherwise repeat it at every tick.
    if (refusedWrites_.fetch_add(1) != 0) return;
    if (WriteRefusedHandler handler = g_writeRefused.load()) handler(record_.JetwayObjectId, what);
}
