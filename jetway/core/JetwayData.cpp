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

}  // namespace

JobCheck CheckJob(const JetwayData& record)
{
    if (record.JetwayObjectId == 0) return JobCheck::NoJetwayId;
    if (record.JetwayType < kJetwayTypeA || record.JetwayType > kJetwayTypeH) return JobCheck::BadType;
    if (record.PeriodMs == 0) return JobCheck::ZeroPeriod;
    if (record.KeyframeCount == 0) return JobCheck::ZeroKeyframes;
    if (!RecordFinite(record)) return JobCheck::NotFinite;
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
    }
    return "unknown";
}
