#include "jetway/core/JetwayData.h"

#include <cmath>
#include <initializer_list>

namespace {

bool AllFinite(std::initializer_list<double> values)
{
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

bool PlacementFinite(const PlacementData& p)
{
    return AllFinite({p.GetLatitude(), p.GetLongitude(), p.GetAltitude(), p.GetPitch(), p.GetBank(),
                      p.GetHeading(), p.GetAltitudeOffset()});
}

bool PoseFinite(const JetwayPose& p)
{
    return AllFinite({p.rootRotation, p.dip, p.head, p.extension, p.legLength, p.stairAngle});
}

bool RecordFinite(const JetwayData& r)
{
    for (const LinkedSimObject& part : r.Parts) {
        const XYZData& o = part.GetOffset();
        if (!AllFinite({o.x, o.y, o.z}) || !PlacementFinite(part.GetPlacement()) ||
            !PlacementFinite(part.GetSecondPlacement()))
            return false;
    }
    const JetwayIncrements& i = r.Increments;
    return PoseFinite(r.CurrentPose) && PoseFinite(r.SavedPose) &&
           AllFinite({r.PlacementPoints[0], r.PlacementPoints[1], r.PlacementPoints[2], r.PlacementPoints[3]}) &&
           AllFinite({r.ElapsedMs, r.DipDurationMs, r.LevelDurationMs, r.RotationDurationMs, r.ExtensionDurationMs,
                      r.RetractDurationMs, r.HeadDurationMs, r.HoodDurationMs}) &&
           AllFinite({r.RootRotationTime, r.BridgeExtensionTime, r.DipTime, r.HeadRotationTime, r.HoodTime}) &&
           AllFinite({r.BridgeLengthRange.first, r.BridgeLengthRange.second, r.RootSweepRange.first,
                      r.RootSweepRange.second, r.BridgeDipRange.first, r.BridgeDipRange.second,
                      r.HeadSweepRange.first, r.HeadSweepRange.second, r.LegLengthRange.first,
                      r.LegLengthRange.second}) &&
           AllFinite({r.RootFloorHeight, r.RootBridgeOffset, r.MouthOffset, r.LegOffset, r.LegOffsetFromOrigin,
                      r.WheelRadius, r.StairLength, r.StairOffset, r.StairOffsetFromOrigin, r.HoodMovableHeight,
                      r.HoodWidth, r.DoorHalfHeight, r.DoorVerticalOffset, r.DoorLateralOffset, r.DoorAngle,
                      r.DoorValue4, r.DoorValue5}) &&
           AllFinite({r.TargetExtension, r.ExtensionVia, r.TargetRootRotation, r.TargetDip, r.TargetHead,
                      r.TargetLegLength, r.LegLengthVia, r.LegLengthLevel, r.LegLengthAfterDip}) &&
           AllFinite({r.LegChannel, r.ExtensionChannel, r.RotationChannel, r.DipChannel, r.StairChannel,
                      r.HoodChannel, r.HeadChannel, r.WheelChannel, r.PartExtension, r.PartRotation, r.PartDip,
                      r.PartHead}) &&
           AllFinite({i.rotation, i.dip, i.dipLevel, i.extension, i.extensionVia, i.head, i.wheelExtend,
                      i.wheelRotate, i.hood, i.legDip, i.legLevel, i.legExtend, i.legVia, i.stairDip,
                      i.stairExtend, i.stairVia, i.stairLevel, i.partRotation, i.partDip, i.partDipLevel,
                      i.partExtension, i.partExtensionVia, i.partHead}) &&
           AllFinite({r.JetwayLatitude, r.JetwayLongitude, r.JetwayAltitude, r.JetwayHeading});
}

// Every value within lo..hi; NaN lies within no range.
bool AllWithin(std::initializer_list<double> values, double lo, double hi)
{
    for (double v : values)
        if (!(v >= lo && v <= hi)) return false;
    return true;
}

bool AllWithin(std::initializer_list<double> values, double limit) { return AllWithin(values, -limit, limit); }

}  // namespace

const char* FirstOutOfRange(const JetwayData& r)
{
    namespace lim = job_limits;
    if (r.PeriodMs > lim::kMaxPeriodMs) return "timer period";
    if (r.KeyframeCount > lim::kMaxKeyframes) return "keyframe count";
    const JetwayPose& now = r.CurrentPose;
    const JetwayPose& saved = r.SavedPose;
    if (!AllWithin({r.BridgeLengthRange.first, r.BridgeLengthRange.second, r.LegLengthRange.first,
                    r.LegLengthRange.second, r.RootFloorHeight, r.RootBridgeOffset, r.MouthOffset, r.LegOffset,
                    r.LegOffsetFromOrigin, r.WheelRadius, r.StairLength, r.StairOffset, r.StairOffsetFromOrigin,
                    r.HoodMovableHeight, r.HoodWidth, r.DoorHalfHeight, r.DoorVerticalOffset, r.DoorLateralOffset,
                    r.DoorValue4, r.DoorValue5, r.TargetExtension, r.ExtensionVia, r.TargetLegLength,
                    r.LegLengthVia, r.LegLengthLevel, r.LegLengthAfterDip, r.PartExtension, now.extension,
                    now.legLength, saved.extension, saved.legLength},
                   lim::kMaxLengthMetres))
        return "lengths";
    for (const LinkedSimObject& part : r.Parts) {
        const XYZData& o = part.GetOffset();
        if (!AllWithin({o.x, o.y, o.z}, lim::kMaxLengthMetres)) return "part offsets";
        for (const PlacementData* p : {&part.GetPlacement(), &part.GetSecondPlacement()}) {
            if (!AllWithin({p->GetLatitude()}, lim::kMaxLatitude) ||
                !AllWithin({p->GetLongitude()}, lim::kMaxLongitude) ||
                !AllWithin({p->GetAltitude(), p->GetAltitudeOffset()}, lim::kMinAltitudeFeet, lim::kMaxAltitudeFeet) ||
                !AllWithin({p->GetPitch(), p->GetBank(), p->GetHeading()}, lim::kMaxAngleDegrees))
                return "part placements";
        }
    }
    if (!AllWithin({r.RootSweepRange.first, r.RootSweepRange.second, r.BridgeDipRange.first, r.BridgeDipRange.second,
                    r.HeadSweepRange.first, r.HeadSweepRange.second, r.DoorAngle, r.JetwayHeading},
                   lim::kMaxAngleDegrees))
        return "angles in degrees";
    if (!AllWithin({now.rootRotation, now.dip, now.head, now.stairAngle, saved.rootRotation, saved.dip, saved.head,
                    saved.stairAngle, r.TargetRootRotation, r.TargetDip, r.TargetHead, r.PartRotation, r.PartDip,
                    r.PartHead},
                   lim::kMaxAngleRadians))
        return "joint angles";
    if (!AllWithin({r.RootRotationTime, r.BridgeExtensionTime, r.DipTime, r.HeadRotationTime, r.HoodTime},
                   lim::kMaxSweepSeconds))
        return "sweep times";
    if (!AllWithin({r.ElapsedMs, r.DipDurationMs, r.LevelDurationMs, r.RotationDurationMs, r.ExtensionDurationMs,
                    r.RetractDurationMs, r.HeadDurationMs, r.HoodDurationMs},
                   0.0, lim::kMaxDurationMs))
        return "durations";
    if (!AllWithin({r.LegChannel, r.ExtensionChannel, r.RotationChannel, r.DipChannel, r.StairChannel, r.HoodChannel,
                    r.HeadChannel, r.WheelChannel},
                   lim::kMaxChannel))
        return "channels";
    const JetwayIncrements& i = r.Increments;
    if (!AllWithin({i.rotation, i.dip, i.dipLevel, i.extension, i.extensionVia, i.head, i.wheelExtend, i.wheelRotate,
                    i.hood, i.legDip, i.legLevel, i.legExtend, i.legVia, i.stairDip, i.stairExtend, i.stairVia,
                    i.stairLevel, i.partRotation, i.partDip, i.partDipLevel, i.partExtension, i.partExtensionVia,
                    i.partHead},
                   lim::kMaxChannel))
        return "increments";
    if (!AllWithin({r.PlacementPoints[0], r.PlacementPoints[1], r.PlacementPoints[2], r.PlacementPoints[3]},
                   lim::kMaxPercent))
        return "placement points";
    if (!AllWithin({r.JetwayLatitude}, lim::kMaxLatitude)) return "latitude";
    if (!AllWithin({r.JetwayLongitude}, lim::kMaxLongitude)) return "longitude";
    if (!AllWithin({r.JetwayAltitude}, lim::kMinAltitudeFeet, lim::kMaxAltitudeFeet)) return "altitude";
    return nullptr;
}

JobCheck CheckJob(const JetwayData& record)
{
    if (record.JetwayObjectId == 0) return JobCheck::NoJetwayId;
    if (record.JetwayType < kJetwayTypeA || record.JetwayType > kJetwayTypeH) return JobCheck::BadType;
    if (record.PeriodMs == 0) return JobCheck::ZeroPeriod;
    if (record.KeyframeCount == 0) return JobCheck::ZeroKeyframes;
    if (!RecordFinite(record)) return JobCheck::NotFinite;
    if (FirstOutOfRange(record) != nullptr) return JobCheck::OutOfRange;
    return JobCheck::Ok;
}

const char* JobCheckText(JobCheck check)
{
    switch (check) {
    case JobCheck::Ok: return "ok";
    case JobCheck::NoJetwayId: return "jetway object id 0";
    case JobCheck::BadType: return "jetway type outside 1..4";
    case JobCheck::ZeroPeriod: return "timer period 0";
    case JobCheck::ZeroKeyframes: return "keyframe count 0";
    case JobCheck::NotFinite: return "value not finite";
    case JobCheck::OutOfRange: return "value out of range";
    }
    return "unknown";
}
