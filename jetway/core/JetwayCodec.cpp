#include "jetway/core/JetwayCodec.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace w = jetway_wire;

namespace {

// Every field starts where the one before it ends.
static_assert(w::kPartUnnamedHead == w::kPartClassRef + 4);
static_assert(w::kPartObjectId == w::kPartUnnamedHead + 36);
static_assert(w::kPartUnnamedFlags == w::kPartObjectId + 4);
static_assert(w::kPartSimTitle == w::kPartUnnamedFlags + 5);
static_assert(w::kPartCreationTitle == w::kPartSimTitle + w::kTitleSize);
static_assert(w::kPartCreationPending == w::kPartCreationTitle + w::kTitleSize);
static_assert(w::kPartAfterPending == w::kPartCreationPending + 1);
static_assert(w::kPartPlacement == w::kPartAfterPending + 6 && w::kPartPlacement % 8 == 0);
static_assert(w::kPartSecondPlacement == w::kPartPlacement + w::kPlacementSize);
static_assert(w::kPartOffset == w::kPartSecondPlacement + w::kPlacementSize);
static_assert(w::kPartParentObjectId == w::kPartOffset + w::kXYZSize);
static_assert(w::kPartCreationTag == w::kPartParentObjectId + 4);
static_assert(w::kPartLinkType == w::kPartCreationTag + 4);
static_assert(w::kPartTail == w::kPartLinkType + 4);
static_assert(w::kPartSize == w::kPartTail + 4);

static_assert(w::kPlacementLatitude == 8 && w::kPlacementLongitude == 16 && w::kPlacementAltitude == 24);
static_assert(w::kPlacementAttitudeRef == 32 && w::kPlacementPitch == 40 && w::kPlacementBank == 48);
static_assert(w::kPlacementHeading == 56 && w::kPlacementIsAgl == 64 && w::kPlacementIsZero == 65);
static_assert(w::kPlacementAltitudeOffset == 72 && w::kPlacementSize == w::kPlacementAltitudeOffset + 8);
static_assert(w::kXYZX == 8 && w::kXYZY == 16 && w::kXYZZ == 24 && w::kXYZSize == w::kXYZZ + 8);

static_assert(w::kStateWord == w::kParts + JetwayData::kPartCount * w::kPartSize);
static_assert(w::kAnimationDefinitionId == w::kStateWord + 8);
static_assert(w::kPositionDefinitionId == w::kAnimationDefinitionId + 4);
static_assert(w::kJetwayObjectId == w::kPositionDefinitionId + 4);
static_assert(w::kDoneEventId == w::kJetwayObjectId + 4);
static_assert(w::kIntermediateEventId == w::kDoneEventId + 4);
static_assert(w::kClientDataAreaId == w::kIntermediateEventId + 4);
static_assert(w::kOutChannel == w::kClientDataAreaId + 4);
static_assert(w::kInChannel == w::kOutChannel + 4);
static_assert(w::kReportDefinitionId == w::kInChannel + 4);
static_assert(w::kJetwayType == w::kReportDefinitionId + 4);
static_assert(w::kRetractFirst == w::kJetwayType + 4);
static_assert(w::kLevelFirst == w::kRetractFirst + 1);
static_assert(w::kSplitRotation == w::kLevelFirst + 1);
static_assert(w::kAbortRequested == w::kSplitRotation + 1);
static_assert(w::kMoving == w::kAbortRequested + 1);
static_assert(w::kDocked == w::kMoving + 1);
static_assert(w::kReserved4710 == w::kDocked + 1);
static_assert(w::kPhase == w::kReserved4710 + 2);
static_assert(w::kReserved4716 == w::kPhase + 4);
static_assert(w::kCurrentPose == w::kReserved4716 + 4);
static_assert(w::kSavedPose == w::kCurrentPose + 48);
static_assert(w::kPlacementPointCount == w::kSavedPose + 48);
static_assert(w::kReserved4820 == w::kPlacementPointCount + 4);
static_assert(w::kPlacementPoints == w::kReserved4820 + 4);
static_assert(w::kPeriodMs == w::kPlacementPoints + 32);
static_assert(w::kReserved4860 == w::kPeriodMs + 4);
static_assert(w::kElapsedMs == w::kReserved4860 + 4);
static_assert(w::kDipDurationMs == w::kElapsedMs + 8);
static_assert(w::kLevelDurationMs == w::kDipDurationMs + 8);
static_assert(w::kRotationDurationMs == w::kLevelDurationMs + 8);
static_assert(w::kExtensionDurationMs == w::kRotationDurationMs + 8);
static_assert(w::kRetractDurationMs == w::kExtensionDurationMs + 8);
static_assert(w::kHeadDurationMs == w::kRetractDurationMs + 8);
static_assert(w::kHoodDurationMs == w::kHeadDurationMs + 8);
static_assert(w::kKeyframeCount == w::kHoodDurationMs + 8);
static_assert(w::kReserved4932 == w::kKeyframeCount + 4);
static_assert(w::kRootRotationTime == w::kReserved4932 + 4);
static_assert(w::kBridgeExtensionTime == w::kRootRotationTime + 8);
static_assert(w::kDipTime == w::kBridgeExtensionTime + 8);
static_assert(w::kHeadRotationTime == w::kDipTime + 8);
static_assert(w::kHoodTime == w::kHeadRotationTime + 8);
static_assert(w::kBridgeLengthRange == w::kHoodTime + 8);
static_assert(w::kRootSweepRange == w::kBridgeLengthRange + 16);
static_assert(w::kBridgeDipRange == w::kRootSweepRange + 16);
static_assert(w::kHeadSweepRange == w::kBridgeDipRange + 16);
static_assert(w::kLegLengthRange == w::kHeadSweepRange + 16);
static_assert(w::kRootFloorHeight == w::kLegLengthRange + 16);
static_assert(w::kRootBridgeOffset == w::kRootFloorHeight + 8);
static_assert(w::kMouthOffset == w::kRootBridgeOffset + 8);
static_assert(w::kLegOffset == w::kMouthOffset + 8);
static_assert(w::kLegOffsetFromOrigin == w::kLegOffset + 8);
static_assert(w::kWheelRadius == w::kLegOffsetFromOrigin + 8);
static_assert(w::kStairLength == w::kWheelRadius + 8);
static_assert(w::kStairOffset == w::kStairLength + 8);
static_assert(w::kStairOffsetFromOrigin == w::kStairOffset + 8);
static_assert(w::kHoodMovableHeight == w::kStairOffsetFromOrigin + 8);
static_assert(w::kHoodWidth == w::kHoodMovableHeight + 8);
static_assert(w::kDoorHalfHeight == w::kHoodWidth + 8);
static_assert(w::kDoorVerticalOffset == w::kDoorHalfHeight + 8);
static_assert(w::kDoorLateralOffset == w::kDoorVerticalOffset + 8);
static_assert(w::kDoorAngle == w::kDoorLateralOffset + 8);
static_assert(w::kDoorValue4 == w::kDoorAngle + 8);
static_assert(w::kDoorValue5 == w::kDoorValue4 + 8);
static_assert(w::kTargetExtension == w::kDoorValue5 + 8);
static_assert(w::kExtensionVia == w::kTargetExtension + 8);
static_assert(w::kTargetRootRotation == w::kExtensionVia + 8);
static_assert(w::kTargetDip == w::kTargetRootRotation + 8);
static_assert(w::kTargetHead == w::kTargetDip + 8);
static_assert(w::kTargetLegLength == w::kTargetHead + 8);
static_assert(w::kLegLengthVia == w::kTargetLegLength + 8);
static_assert(w::kLegLengthLevel == w::kLegLengthVia + 8);
static_assert(w::kLegLengthAfterDip == w::kLegLengthLevel + 8);
static_assert(w::kLegChannel == w::kLegLengthAfterDip + 8);
static_assert(w::kExtensionChannel == w::kLegChannel + 8);
static_assert(w::kReserved5280 == w::kExtensionChannel + 8);
static_assert(w::kRotationChannel == w::kReserved5280 + 8);
static_assert(w::kDipChannel == w::kRotationChannel + 8);
static_assert(w::kStairChannel == w::kDipChannel + 8);
static_assert(w::kHoodChannel == w::kStairChannel + 8);
static_assert(w::kHeadChannel == w::kHoodChannel + 8);
static_assert(w::kWheelChannel == w::kHeadChannel + 8);
static_assert(w::kPartExtension == w::kWheelChannel + 8);
static_assert(w::kReserved5344 == w::kPartExtension + 8);
static_assert(w::kPartRotation == w::kReserved5344 + 8);
static_assert(w::kPartDip == w::kPartRotation + 8);
static_assert(w::kPartHead == w::kPartDip + 8);
static_assert(w::kWheelRunning == w::kPartHead + 8);
static_assert(w::kMainProgramFlag == w::kWheelRunning + 1);
static_assert(w::kReserved5378 == w::kMainProgramFlag + 1);
static_assert(w::kIncrements == w::kReserved5378 + 6);
static_assert(w::kJetwayLatitude == w::kIncrements + w::kIncrementCount * 8);
static_assert(w::kJetwayLongitude == w::kJetwayLatitude + 8);
static_assert(w::kJetwayAltitude == w::kJetwayLongitude + 8);
static_assert(w::kJetwayHeading == w::kJetwayAltitude + 8);
static_assert(w::kRecordSize == w::kJetwayHeading + 8);
static_assert(sizeof(JetwayIncrements) == w::kIncrementCount * sizeof(double));
static_assert(sizeof(JetwayPose) == 6 * sizeof(double));

// Little-endian access at explicit offsets of one buffer.
class Out {
public:
    explicit Out(uint8_t* base) : base_(base) {}
    void U8(size_t at, uint8_t v) { base_[at] = v; }
    void Bool(size_t at, bool v) { base_[at] = v ? 1 : 0; }
    void U32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i) base_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    void I32(size_t at, int32_t v) { U32(at, static_cast<uint32_t>(v)); }
    void F64(size_t at, double v)
    {
        const auto bits = std::bit_cast<uint64_t>(v);
        for (int i = 0; i < 8; ++i) base_[at + i] = static_cast<uint8_t>(bits >> (8 * i));
    }
    template <size_t N>
    void Raw(size_t at, const std::array<uint8_t, N>& bytes)
    {
        std::copy(bytes.begin(), bytes.end(), base_ + at);
    }
    // The text, NUL-padded to the field; the last byte is always NUL.
    void Text(size_t at, const std::string& text, size_t field)
    {
        std::fill_n(base_ + at, field, uint8_t{0});
        std::copy_n(text.data(), std::min(text.size(), field - 1), base_ + at);
    }
    Out At(size_t at) const { return Out(base_ + at); }

private:
    uint8_t* base_;
};

class In {
public:
    explicit In(const uint8_t* base) : base_(base) {}
    uint8_t U8(size_t at) const { return base_[at]; }
    bool Bool(size_t at) const { return base_[at] != 0; }
    uint32_t U32(size_t at) const
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(base_[at + i]) << (8 * i);
        return v;
    }
    int32_t I32(size_t at) const { return static_cast<int32_t>(U32(at)); }
    double F64(size_t at) const
    {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(base_[at + i]) << (8 * i);
        return std::bit_cast<double>(bits);
    }
    template <size_t N>
    void Raw(size_t at, std::array<uint8_t, N>& bytes) const
    {
        std::copy_n(base_ + at, N, bytes.begin());
    }
    // Up to the first NUL, never past the field's last byte.
    std::string Text(size_t at, size_t field) const
    {
        const char* p = reinterpret_cast<const char*>(base_ + at);
        size_t n = 0;
        while (n + 1 < field && p[n] != '\0') ++n;
        return std::string(p, n);
    }
    In At(size_t at) const { return In(base_ + at); }

private:
    const uint8_t* base_;
};

void EncodePlacement(Out out, const PlacementData& p)
{
    out.U32(0, 0);
    out.U32(4, 0);
    out.F64(w::kPlacementLatitude, p.GetLatitude());
    out.F64(w::kPlacementLongitude, p.GetLongitude());
    out.F64(w::kPlacementAltitude, p.GetAltitude());
    out.U32(w::kPlacementAttitudeRef, 0);
    out.U32(w::kPlacementAttitudeRef + 4, 0);
    out.F64(w::kPlacementPitch, p.GetPitch());
    out.F64(w::kPlacementBank, p.GetBank());
    out.F64(w::kPlacementHeading, p.GetHeading());
    out.Bool(w::kPlacementIsAgl, p.IsAltitudeAgl());
    out.Bool(w::kPlacementIsZero, p.IsAltitudeZero());
    for (size_t i = w::kPlacementIsZero + 1; i < w::kPlacementAltitudeOffset; ++i) out.U8(i, 0);
    out.F64(w::kPlacementAltitudeOffset, p.GetAltitudeOffset());
}

PlacementData DecodePlacement(In in)
{
    PlacementData p;
    // Both flags are taken as stored, not derived from the altitude.
    p.Set(in.F64(w::kPlacementLatitude), in.F64(w::kPlacementLongitude), in.F64(w::kPlacementAltitude),
          in.Bool(w::kPlacementIsAgl), in.Bool(w::kPlacementIsZero), in.F64(w::kPlacementPitch),
          in.F64(w::kPlacementBank), in.F64(w::kPlacementHeading));
    p.SetAltitudeOffset(in.F64(w::kPlacementAltitudeOffset));
    return p;
}

void EncodePart(Out out, const LinkedSimObject& part)
{
    const auto& unnamed = part.GetUnnamed();
    out.U32(w::kPartClassRef, 0);
    out.Raw(w::kPartUnnamedHead, unnamed.head);
    out.U32(w::kPartObjectId, part.GetObjectId());
    out.Raw(w::kPartUnnamedFlags, unnamed.flags);
    out.Text(w::kPartSimTitle, part.GetSimTitle(), w::kTitleSize);
    out.Text(w::kPartCreationTitle, part.GetCreationTitle(), w::kTitleSize);
    out.Bool(w::kPartCreationPending, part.GetInjected());
    out.Raw(w::kPartAfterPending, unnamed.afterPending);
    EncodePlacement(out.At(w::kPartPlacement), part.GetPlacement());
    EncodePlacement(out.At(w::kPartSecondPlacement), part.GetSecondPlacement());
    const XYZData& offset = part.GetOffset();
    out.U32(w::kPartOffset, 0);
    out.U32(w::kPartOffset + 4, 0);
    out.F64(w::kPartOffset + w::kXYZX, offset.x);
    out.F64(w::kPartOffset + w::kXYZY, offset.y);
    out.F64(w::kPartOffset + w::kXYZZ, offset.z);
    out.U32(w::kPartParentObjectId, part.GetParentObjectId());
    out.U32(w::kPartCreationTag, part.GetCreationTag());
    out.U32(w::kPartLinkType, static_cast<uint32_t>(part.GetLinkType()));
    out.Raw(w::kPartTail, unnamed.tail);
}

void DecodePart(In in, LinkedSimObject& part)
{
    auto& unnamed = part.GetUnnamed();
    in.Raw(w::kPartUnnamedHead, unnamed.head);
    part.SetObjectId(in.U32(w::kPartObjectId));
    in.Raw(w::kPartUnnamedFlags, unnamed.flags);
    part.SetSimTitle(in.Text(w::kPartSimTitle, w::kTitleSize));
    part.SetCreationTitle(in.Text(w::kPartCreationTitle, w::kTitleSize));
    part.SetInjected(in.Bool(w::kPartCreationPending));
    in.Raw(w::kPartAfterPending, unnamed.afterPending);
    part.SetPlacement(DecodePlacement(in.At(w::kPartPlacement)));
    part.SetSecondPlacement(DecodePlacement(in.At(w::kPartSecondPlacement)));
    part.SetOffset(in.F64(w::kPartOffset + w::kXYZX), in.F64(w::kPartOffset + w::kXYZY),
                   in.F64(w::kPartOffset + w::kXYZZ));
    part.SetParentObjectId(in.U32(w::kPartParentObjectId));
    part.SetCreationTag(in.U32(w::kPartCreationTag));
    // Unknown numbers become no link type: the part then keeps its offset.
    const uint32_t type = in.U32(w::kPartLinkType);
    part.SetLinkType(type <= static_cast<uint32_t>(LinkType::Static) ? static_cast<LinkType>(type) : LinkType::None);
    in.Raw(w::kPartTail, unnamed.tail);
}

void EncodePose(Out out, const JetwayPose& p)
{
    const double v[] = {p.rootRotation, p.dip, p.head, p.extension, p.legLength, p.stairAngle};
    for (size_t i = 0; i < 6; ++i) out.F64(i * 8, v[i]);
}

JetwayPose DecodePose(In in)
{
    return JetwayPose{in.F64(0), in.F64(8), in.F64(16), in.F64(24), in.F64(32), in.F64(40)};
}

// The increments in wire order, for both directions.
template <typename Record, typename F>
void ForEachIncrement(Record& inc, F f)
{
    const auto fields = {&inc.rotation,     &inc.dip,          &inc.dipLevel,      &inc.extension,    &inc.extensionVia,
                    &inc.head,         &inc.wheelExtend,  &inc.wheelRotate,   &inc.hood,         &inc.legDip,
                    &inc.legLevel,     &inc.legExtend,    &inc.legVia,        &inc.stairDip,     &inc.stairExtend,
                    &inc.stairVia,     &inc.stairLevel,   &inc.partRotation,  &inc.partDip,      &inc.partDipLevel,
                    &inc.partExtension, &inc.partExtensionVia, &inc.partHead};
    size_t i = 0;
    for (auto* field : fields) f(w::kIncrements + 8 * i++, *field);
}

}  // namespace

void EncodeJetwayData(const JetwayData& r, uint8_t* buffer)
{
    Out out(buffer);
    for (size_t i = 0; i < JetwayData::kPartCount; ++i) EncodePart(out.At(w::kParts + i * w::kPartSize), r.Parts[i]);
    out.U32(w::kStateWord, r.StateWord.GetLow());
    out.U32(w::kStateWord + 4, r.StateWord.GetHigh());
    out.U32(w::kAnimationDefinitionId, r.AnimationDefinitionId);
    out.U32(w::kPositionDefinitionId, r.PositionDefinitionId);
    out.U32(w::kJetwayObjectId, r.JetwayObjectId);
    out.U32(w::kDoneEventId, r.DoneEventId);
    out.U32(w::kIntermediateEventId, r.IntermediateEventId);
    out.U32(w::kClientDataAreaId, r.ClientDataAreaId);
    out.U32(w::kOutChannel, r.OutChannel);
    out.U32(w::kInChannel, r.InChannel);
    out.U32(w::kReportDefinitionId, r.ReportDefinitionId);
    out.U32(w::kJetwayType, r.JetwayType);
    out.Bool(w::kRetractFirst, r.RetractFirst);
    out.Bool(w::kLevelFirst, r.LevelFirst);
    out.Bool(w::kSplitRotation, r.SplitRotation);
    out.Bool(w::kAbortRequested, r.AbortRequested);
    out.Bool(w::kMoving, r.Moving);
    out.Bool(w::kDocked, r.Docked);
    out.Raw(w::kReserved4710, r.Reserved.afterDocked);
    out.U32(w::kPhase, r.Phase);
    out.Raw(w::kReserved4716, r.Reserved.afterPhase);
    EncodePose(out.At(w::kCurrentPose), r.CurrentPose);
    EncodePose(out.At(w::kSavedPose), r.SavedPose);
    out.I32(w::kPlacementPointCount, r.PlacementPointCount);
    out.Raw(w::kReserved4820, r.Reserved.afterPointCount);
    for (size_t i = 0; i < 4; ++i) out.F64(w::kPlacementPoints + 8 * i, r.PlacementPoints[i]);
    out.U32(w::kPeriodMs, r.PeriodMs);
    out.Raw(w::kReserved4860, r.Reserved.afterPeriod);
    out.F64(w::kElapsedMs, r.ElapsedMs);
    out.F64(w::kDipDurationMs, r.DipDurationMs);
    out.F64(w::kLevelDurationMs, r.LevelDurationMs);
    out.F64(w::kRotationDurationMs, r.RotationDurationMs);
    out.F64(w::kExtensionDurationMs, r.ExtensionDurationMs);
    out.F64(w::kRetractDurationMs, r.RetractDurationMs);
    out.F64(w::kHeadDurationMs, r.HeadDurationMs);
    out.F64(w::kHoodDurationMs, r.HoodDurationMs);
    out.U32(w::kKeyframeCount, r.KeyframeCount);
    out.Raw(w::kReserved4932, r.Reserved.afterKeyframes);
    out.F64(w::kRootRotationTime, r.RootRotationTime);
    out.F64(w::kBridgeExtensionTime, r.BridgeExtensionTime);
    out.F64(w::kDipTime, r.DipTime);
    out.F64(w::kHeadRotationTime, r.HeadRotationTime);
    out.F64(w::kHoodTime, r.HoodTime);
    const std::pair<size_t, const JetwayRange*> ranges[] = {
        {w::kBridgeLengthRange, &r.BridgeLengthRange}, {w::kRootSweepRange, &r.RootSweepRange},
        {w::kBridgeDipRange, &r.BridgeDipRange},       {w::kHeadSweepRange, &r.HeadSweepRange},
        {w::kLegLengthRange, &r.LegLengthRange}};
    for (const auto& [at, range] : ranges) {
        out.F64(at, range->first);
        out.F64(at + 8, range->second);
    }
    const std::pair<size_t, double> doubles[] = {
        {w::kRootFloorHeight, r.RootFloorHeight},
        {w::kRootBridgeOffset, r.RootBridgeOffset},
        {w::kMouthOffset, r.MouthOffset},
        {w::kLegOffset, r.LegOffset},
        {w::kLegOffsetFromOrigin, r.LegOffsetFromOrigin},
        {w::kWheelRadius, r.WheelRadius},
        {w::kStairLength, r.StairLength},
        {w::kStairOffset, r.StairOffset},
        {w::kStairOffsetFromOrigin, r.StairOffsetFromOrigin},
        {w::kHoodMovableHeight, r.HoodMovableHeight},
        {w::kHoodWidth, r.HoodWidth},
        {w::kDoorHalfHeight, r.DoorHalfHeight},
        {w::kDoorVerticalOffset, r.DoorVerticalOffset},
        {w::kDoorLateralOffset, r.DoorLateralOffset},
        {w::kDoorAngle, r.DoorAngle},
        {w::kDoorValue4, r.DoorValue4},
        {w::kDoorValue5, r.DoorValue5},
        {w::kTargetExtension, r.TargetExtension},
        {w::kExtensionVia, r.ExtensionVia},
        {w::kTargetRootRotation, r.TargetRootRotation},
        {w::kTargetDip, r.TargetDip},
        {w::kTargetHead, r.TargetHead},
        {w::kTargetLegLength, r.TargetLegLength},
        {w::kLegLengthVia, r.LegLengthVia},
        {w::kLegLengthLevel, r.LegLengthLevel},
        {w::kLegLengthAfterDip, r.LegLengthAfterDip},
        {w::kLegChannel, r.LegChannel},
        {w::kExtensionChannel, r.ExtensionChannel},
        {w::kRotationChannel, r.RotationChannel},
        {w::kDipChannel, r.DipChannel},
        {w::kStairChannel, r.StairChannel},
        {w::kHoodChannel, r.HoodChannel},
        {w::kHeadChannel, r.HeadChannel},
        {w::kWheelChannel, r.WheelChannel},
        {w::kPartExtension, r.PartExtension},
        {w::kPartRotation, r.PartRotation},
        {w::kPartDip, r.PartDip},
        {w::kPartHead, r.PartHead},
        {w::kJetwayLatitude, r.JetwayLatitude},
        {w::kJetwayLongitude, r.JetwayLongitude},
        {w::kJetwayAltitude, r.JetwayAltitude},
        {w::kJetwayHeading, r.JetwayHeading},
    };
    for (const auto& [at, value] : doubles) out.F64(at, value);
    out.Raw(w::kReserved5280, r.Reserved.afterExtensionCh);
    out.Raw(w::kReserved5344, r.Reserved.afterPartExt);
    out.Bool(w::kWheelRunning, r.WheelRunning);
    out.U8(w::kMainProgramFlag, r.MainProgramFlag);
    out.Raw(w::kReserved5378, r.Reserved.afterFlags);
    ForEachIncrement(r.Increments, [&](size_t at, const double& v) { out.F64(at, v); });
}

JetwayBytes EncodeJetwayData(const JetwayData& record)
{
    JetwayBytes bytes{};
    EncodeJetwayData(record, bytes.data());
    return bytes;
}

bool DecodeJetwayData(const uint8_t* data, size_t size, JetwayData& r)
{
    if (data == nullptr || size < w::kRecordSize) return false;
    const In in(data);
    for (size_t i = 0; i < JetwayData::kPartCount; ++i) DecodePart(in.At(w::kParts + i * w::kPartSize), r.Parts[i]);
    r.StateWord.SetRaw(in.U32(w::kStateWord), in.U32(w::kStateWord + 4));
    r.AnimationDefinitionId = in.U32(w::kAnimationDefinitionId);
    r.PositionDefinitionId = in.U32(w::kPositionDefinitionId);
    r.JetwayObjectId = in.U32(w::kJetwayObjectId);
    r.DoneEventId = in.U32(w::kDoneEventId);
    r.IntermediateEventId = in.U32(w::kIntermediateEventId);
    r.ClientDataAreaId = in.U32(w::kClientDataAreaId);
    r.OutChannel = in.U32(w::kOutChannel);
    r.InChannel = in.U32(w::kInChannel);
    r.ReportDefinitionId = in.U32(w::kReportDefinitionId);
    r.JetwayType = in.U32(w::kJetwayType);
    r.RetractFirst = in.Bool(w::kRetractFirst);
    r.LevelFirst = in.Bool(w::kLevelFirst);
    r.SplitRotation = in.Bool(w::kSplitRotation);
    r.AbortRequested = in.Bool(w::kAbortRequested);
    r.Moving = in.Bool(w::kMoving);
    r.Docked = in.Bool(w::kDocked);
    in.Raw(w::kReserved4710, r.Reserved.afterDocked);
    r.Phase = in.U32(w::kPhase);
    in.Raw(w::kReserved4716, r.Reserved.afterPhase);
    r.CurrentPose = DecodePose(in.At(w::kCurrentPose));
    r.SavedPose = DecodePose(in.At(w::kSavedPose));
    r.PlacementPointCount = in.I32(w::kPlacementPointCount);
    in.Raw(w::kReserved4820, r.Reserved.afterPointCount);
    for (size_t i = 0; i < 4; ++i) r.PlacementPoints[i] = in.F64(w::kPlacementPoints + 8 * i);
    r.PeriodMs = in.U32(w::kPeriodMs);
    in.Raw(w::kReserved4860, r.Reserved.afterPeriod);
    r.ElapsedMs = in.F64(w::kElapsedMs);
    r.DipDurationMs = in.F64(w::kDipDurationMs);
    r.LevelDurationMs = in.F64(w::kLevelDurationMs);
    r.RotationDurationMs = in.F64(w::kRotationDurationMs);
    r.ExtensionDurationMs = in.F64(w::kExtensionDurationMs);
    r.RetractDurationMs = in.F64(w::kRetractDurationMs);
    r.HeadDurationMs = in.F64(w::kHeadDurationMs);
    r.HoodDurationMs = in.F64(w::kHoodDurationMs);
    r.KeyframeCount = in.U32(w::kKeyframeCount);
    in.Raw(w::kReserved4932, r.Reserved.afterKeyframes);
    r.RootRotationTime = in.F64(w::kRootRotationTime);
    r.BridgeExtensionTime = in.F64(w::kBridgeExtensionTime);
    r.DipTime = in.F64(w::kDipTime);
    r.HeadRotationTime = in.F64(w::kHeadRotationTime);
    r.HoodTime = in.F64(w::kHoodTime);
    const std::pair<size_t, JetwayRange*> ranges[] = {
        {w::kBridgeLengthRange, &r.BridgeLengthRange}, {w::kRootSweepRange, &r.RootSweepRange},
        {w::kBridgeDipRange, &r.BridgeDipRange},       {w::kHeadSweepRange, &r.HeadSweepRange},
        {w::kLegLengthRange, &r.LegLengthRange}};
    for (const auto& [at, range] : ranges) {
        range->first = in.F64(at);
        range->second = in.F64(at + 8);
    }
    const std::pair<size_t, double*> doubles[] = {
        {w::kRootFloorHeight, &r.RootFloorHeight},
        {w::kRootBridgeOffset, &r.RootBridgeOffset},
        {w::kMouthOffset, &r.MouthOffset},
        {w::kLegOffset, &r.LegOffset},
        {w::kLegOffsetFromOrigin, &r.LegOffsetFromOrigin},
        {w::kWheelRadius, &r.WheelRadius},
        {w::kStairLength, &r.StairLength},
        {w::kStairOffset, &r.StairOffset},
        {w::kStairOffsetFromOrigin, &r.StairOffsetFromOrigin},
        {w::kHoodMovableHeight, &r.HoodMovableHeight},
        {w::kHoodWidth, &r.HoodWidth},
        {w::kDoorHalfHeight, &r.DoorHalfHeight},
        {w::kDoorVerticalOffset, &r.DoorVerticalOffset},
        {w::kDoorLateralOffset, &r.DoorLateralOffset},
        {w::kDoorAngle, &r.DoorAngle},
        {w::kDoorValue4, &r.DoorValue4},
        {w::kDoorValue5, &r.DoorValue5},
        {w::kTargetExtension, &r.TargetExtension},
        {w::kExtensionVia, &r.ExtensionVia},
        {w::kTargetRootRotation, &r.TargetRootRotation},
        {w::kTargetDip, &r.TargetDip},
        {w::kTargetHead, &r.TargetHead},
        {w::kTargetLegLength, &r.TargetLegLength},
        {w::kLegLengthVia, &r.LegLengthVia},
        {w::kLegLengthLevel, &r.LegLengthLevel},
        {w::kLegLengthAfterDip, &r.LegLengthAfterDip},
        {w::kLegChannel, &r.LegChannel},
        {w::kExtensionChannel, &r.ExtensionChannel},
        {w::kRotationChannel, &r.RotationChannel},
        {w::kDipChannel, &r.DipChannel},
        {w::kStairChannel, &r.StairChannel},
        {w::kHoodChannel, &r.HoodChannel},
        {w::kHeadChannel, &r.HeadChannel},
        {w::kWheelChannel, &r.WheelChannel},
        {w::kPartExtension, &r.PartExtension},
        {w::kPartRotation, &r.PartRotation},
        {w::kPartDip, &r.PartDip},
        {w::kPartHead, &r.PartHead},
        {w::kJetwayLatitude, &r.JetwayLatitude},
        {w::kJetwayLongitude, &r.JetwayLongitude},
        {w::kJetwayAltitude, &r.JetwayAltitude},
        {w::kJetwayHeading, &r.JetwayHeading},
    };
    for (const auto& [at, value] : doubles) *value = in.F64(at);
    in.Raw(w::kReserved5280, r.Reserved.afterExtensionCh);
    in.Raw(w::kReserved5344, r.Reserved.afterPartExt);
    r.WheelRunning = in.Bool(w::kWheelRunning);
    r.MainProgramFlag = in.U8(w::kMainProgramFlag);
    in.Raw(w::kReserved5378, r.Reserved.afterFlags);
    ForEachIncrement(r.Increments, [&](size_t at, double& v) { v = in.F64(at); });
    return true;
}
