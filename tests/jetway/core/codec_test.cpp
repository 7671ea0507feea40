// The jetway record's wire form: every named field at its documented offset, unnamed bytes carried
// through, names bounded, short buffers refused.
#include "jetway/core/JetwayCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

uint32_t U32At(const JetwayBytes& b, size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
    return v;
}

double F64At(const JetwayBytes& b, size_t at)
{
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(b[at + i]) << (8 * i);
    return std::bit_cast<double>(v);
}

std::string TextAt(const JetwayBytes& b, size_t at) { return std::string(reinterpret_cast<const char*>(&b[at])); }

// The doubles of the record by their documented offsets (written literally, not from the codec).
struct DoubleField {
    size_t offset;
    double JetwayData::*member;
};

const DoubleField kDoubles[] = {
    {4864, &JetwayData::ElapsedMs},           {4872, &JetwayData::DipDurationMs},
    {4880, &JetwayData::LevelDurationMs},     {4888, &JetwayData::RotationDurationMs},
    {4896, &JetwayData::ExtensionDurationMs}, {4904, &JetwayData::RetractDurationMs},
    {4912, &JetwayData::HeadDurationMs},      {4920, &JetwayData::HoodDurationMs},
    {4936, &JetwayData::RootRotationTime},    {4944, &JetwayData::BridgeExtensionTime},
    {4952, &JetwayData::DipTime},             {4960, &JetwayData::HeadRotationTime},
    {4968, &JetwayData::HoodTime},            {5056, &JetwayData::RootFloorHeight},
    {5064, &JetwayData::RootBridgeOffset},    {5072, &JetwayData::MouthOffset},
    {5080, &JetwayData::LegOffset},           {5088, &JetwayData::LegOffsetFromOrigin},
    {5096, &JetwayData::WheelRadius},         {5104, &JetwayData::StairLength},
    {5112, &JetwayData::StairOffset},         {5120, &JetwayData::StairOffsetFromOrigin},
    {5128, &JetwayData::HoodMovableHeight},   {5136, &JetwayData::HoodWidth},
    {5144, &JetwayData::DoorHalfHeight},      {5152, &JetwayData::DoorVerticalOffset},
    {5160, &JetwayData::DoorLateralOffset},   {5168, &JetwayData::DoorAngle},
    {5176, &JetwayData::DoorValue4},          {5184, &JetwayData::DoorValue5},
    {5192, &JetwayData::TargetExtension},     {5200, &JetwayData::ExtensionVia},
    {5208, &JetwayData::TargetRootRotation},  {5216, &JetwayData::TargetDip},
    {5224, &JetwayData::TargetHead},          {5232, &JetwayData::TargetLegLength},
    {5240, &JetwayData::LegLengthVia},        {5248, &JetwayData::LegLengthLevel},
    {5256, &JetwayData::LegLengthAfterDip},   {5264, &JetwayData::LegChannel},
    {5272, &JetwayData::ExtensionChannel},    {5288, &JetwayData::RotationChannel},
    {5296, &JetwayData::DipChannel},          {5304, &JetwayData::StairChannel},
    {5312, &JetwayData::HoodChannel},         {5320, &JetwayData::HeadChannel},
    {5328, &JetwayData::WheelChannel},        {5336, &JetwayData::PartExtension},
    {5352, &JetwayData::PartRotation},        {5360, &JetwayData::PartDip},
    {5368, &JetwayData::PartHead},            {5568, &JetwayData::JetwayLatitude},
    {5576, &JetwayData::JetwayLongitude},     {5584, &JetwayData::JetwayAltitude},
    {5592, &JetwayData::JetwayHeading},
};

struct U32Field {
    size_t offset;
    uint32_t JetwayData::*member;
};

const U32Field kU32s[] = {
    {4664, &JetwayData::AnimationDefinitionId}, {4668, &JetwayData::PositionDefinitionId},
    {4672, &JetwayData::JetwayObjectId},        {4676, &JetwayData::DoneEventId},
    {4680, &JetwayData::IntermediateEventId},   {4684, &JetwayData::ClientDataAreaId},
    {4688, &JetwayData::OutChannel},            {4692, &JetwayData::InChannel},
    {4696, &JetwayData::ReportDefinitionId},    {4700, &JetwayData::JetwayType},
    {4712, &JetwayData::Phase},                 {4856, &JetwayData::PeriodMs},
    {4928, &JetwayData::KeyframeCount},
};

struct RangeField {
    size_t offset;
    JetwayRange JetwayData::*member;
};

const RangeField kRanges[] = {
    {4976, &JetwayData::BridgeLengthRange}, {4992, &JetwayData::RootSweepRange}, {5008, &JetwayData::BridgeDipRange},
    {5024, &JetwayData::HeadSweepRange},    {5040, &JetwayData::LegLengthRange},
};

// Unnamed ranges of the record: offset and length.
const std::pair<size_t, size_t> kUnnamed[] = {{4710, 2}, {4716, 4}, {4820, 4}, {4860, 4},
                                              {4932, 4}, {5280, 8}, {5344, 8}, {5378, 6}};

double Distinct(size_t offset, int salt = 0) { return static_cast<double>(offset) + 0.125 + salt * 1000.5; }

template <size_t N>
void Pattern(std::array<uint8_t, N>& bytes, uint8_t seed)
{
    for (size_t i = 0; i < N; ++i) bytes[i] = static_cast<uint8_t>(seed + 3 * i + 1);
}

void FillPart(LinkedSimObject& part, int slot)
{
    auto& unnamed = part.GetUnnamed();
    Pattern(unnamed.head, static_cast<uint8_t>(10 + slot));
    Pattern(unnamed.flags, static_cast<uint8_t>(60 + slot));
    Pattern(unnamed.afterPending, static_cast<uint8_t>(90 + slot));
    Pattern(unnamed.tail, static_cast<uint8_t>(120 + slot));
    part.SetObjectId(1000 + slot);
    part.SetSimTitle("part title " + std::to_string(slot));
    part.SetCreationTitle("creation " + std::to_string(slot));
    part.SetInjected(slot % 2 == 1);
    PlacementData first;
    first.Set(1.5 + slot, 2.5 + slot, 3.5 + slot, true, false, 4.5 + slot, 5.5 + slot, 6.5 + slot);
    first.SetAltitudeOffset(7.5 + slot);
    part.SetPlacement(first);
    PlacementData second;
    second.Set(11.5 + slot, 12.5 + slot, 13.5 + slot, false, true, 14.5 + slot, 15.5 + slot, 16.5 + slot);
    second.SetAltitudeOffset(17.5 + slot);
    part.SetSecondPlacement(second);
    part.SetOffset(21.5 + slot, 22.5 + slot, 23.5 + slot);
    part.SetParentObjectId(2000 + slot);
    part.SetCreationTag(3000 + slot);
    part.SetLinkType(static_cast<LinkType>(slot % 6));
}

JetwayData DistinctRecord()
{
    JetwayData r;
    for (int i = 0; i < 6; ++i) FillPart(r.Parts[i], i + 1);
    r.StateWord.SetRaw(0x11223344u, 0x55667788u);
    for (const auto& f : kU32s) r.*f.member = static_cast<uint32_t>(f.offset * 3 + 7);
    for (const auto& f : kDoubles) r.*f.member = Distinct(f.offset);
    for (const auto& f : kRanges) {
        (r.*f.member).first = Distinct(f.offset);
        (r.*f.member).second = Distinct(f.offset + 8);
    }
    r.RetractFirst = true;
    r.LevelFirst = false;
    r.SplitRotation = true;
    r.AbortRequested = true;
    r.Moving = false;
    r.Docked = true;
    r.CurrentPose = {Distinct(4720), Distinct(4728), Distinct(4736), Distinct(4744), Distinct(4752), Distinct(4760)};
    r.SavedPose = {Distinct(4768), Distinct(4776), Distinct(4784), Distinct(4792), Distinct(4800), Distinct(4808)};
    r.PlacementPointCount = -1;
    r.PlacementPoints = {Distinct(4824), Distinct(4832), Distinct(4840), Distinct(4848)};
    r.WheelRunning = true;
    r.MainProgramFlag = 1;
    double* inc = &r.Increments.rotation;
    for (size_t i = 0; i < 23; ++i) inc[i] = Distinct(5384 + 8 * i);
    Pattern(r.Reserved.afterDocked, 200);
    Pattern(r.Reserved.afterPhase, 201);
    Pattern(r.Reserved.afterPointCount, 202);
    Pattern(r.Reserved.afterPeriod, 203);
    Pattern(r.Reserved.afterKeyframes, 204);
    Pattern(r.Reserved.afterExtensionCh, 205);
    Pattern(r.Reserved.afterPartExt, 206);
    Pattern(r.Reserved.afterFlags, 207);
    return r;
}

TEST(JetwayCodec, EveryNamedFieldLandsAtItsDocumentedOffset)
{
    const JetwayData r = DistinctRecord();
    const JetwayBytes b = EncodeJetwayData(r);

    for (const auto& f : kU32s) EXPECT_EQ(U32At(b, f.offset), f.offset * 3 + 7) << "u32 at " << f.offset;
    for (const auto& f : kDoubles) EXPECT_EQ(F64At(b, f.offset), Distinct(f.offset)) << "double at " << f.offset;
    for (const auto& f : kRanges) {
        EXPECT_EQ(F64At(b, f.offset), Distinct(f.offset));
        EXPECT_EQ(F64At(b, f.offset + 8), Distinct(f.offset + 8));
    }
    for (size_t at = 4720; at < 4816; at += 8) EXPECT_EQ(F64At(b, at), Distinct(at)) << "pose at " << at;
    for (size_t at = 4824; at < 4856; at += 8) EXPECT_EQ(F64At(b, at), Distinct(at)) << "point at " << at;
    for (size_t at = 5384; at < 5568; at += 8) EXPECT_EQ(F64At(b, at), Distinct(at)) << "increment at " << at;
    EXPECT_EQ(U32At(b, 4656), 0x11223344u);
    EXPECT_EQ(U32At(b, 4660), 0x55667788u);
    EXPECT_EQ(U32At(b, 4816), 0xFFFFFFFFu);
    const uint8_t flags[] = {b[4704], b[4705], b[4706], b[4707], b[4708], b[4709], b[5376], b[5377]};
    const uint8_t expected[] = {1, 0, 1, 1, 0, 1, 1, 1};
    EXPECT_EQ(0, std::memcmp(flags, expected, sizeof flags));

    for (int slot = 1; slot <= 6; ++slot) {
        const size_t p = (slot - 1) * 776;
        SCOPED_TRACE("part " + std::to_string(slot));
        EXPECT_EQ(U32At(b, p), 0u) << "class table reference";
        EXPECT_EQ(b[p + 4], static_cast<uint8_t>(10 + slot + 1)) << "second word, first byte";
        EXPECT_EQ(U32At(b, p + 40), 1000u + slot);
        EXPECT_EQ(TextAt(b, p + 49), "part title " + std::to_string(slot));
        EXPECT_EQ(TextAt(b, p + 305), "creation " + std::to_string(slot));
        EXPECT_EQ(b[p + 561], slot % 2 == 1 ? 1 : 0);
        // First placement: reference, padding, latitude, longitude, altitude, reference, padding, pitch,
        // bank, heading, two flags, padding, altitude offset.
        EXPECT_EQ(U32At(b, p + 568), 0u);
        EXPECT_EQ(F64At(b, p + 576), 1.5 + slot);
        EXPECT_EQ(F64At(b, p + 584), 2.5 + slot);
        EXPECT_EQ(F64At(b, p + 592), 3.5 + slot);
        EXPECT_EQ(U32At(b, p + 600), 0u);
        EXPECT_EQ(F64At(b, p + 608), 4.5 + slot);
        EXPECT_EQ(F64At(b, p + 616), 5.5 + slot);
        EXPECT_EQ(F64At(b, p + 624), 6.5 + slot);
        EXPECT_EQ(b[p + 632], 1);
        EXPECT_EQ(b[p + 633], 0);
        EXPECT_EQ(F64At(b, p + 640), 7.5 + slot);
        EXPECT_EQ(F64At(b, p + 648 + 8), 11.5 + slot);
        EXPECT_EQ(F64At(b, p + 648 + 56), 16.5 + slot);
        EXPECT_EQ(b[p + 648 + 65], 1);
        EXPECT_EQ(F64At(b, p + 648 + 72), 17.5 + slot);
        EXPECT_EQ(U32At(b, p + 728), 0u);
        EXPECT_EQ(F64At(b, p + 736), 21.5 + slot);
        EXPECT_EQ(F64At(b, p + 744), 22.5 + slot);
        EXPECT_EQ(F64At(b, p + 752), 23.5 + slot);
        EXPECT_EQ(U32At(b, p + 760), 2000u + slot);
        EXPECT_EQ(U32At(b, p + 764), 3000u + slot);
        EXPECT_EQ(U32At(b, p + 768), static_cast<uint32_t>(slot % 6));
    }
}

TEST(JetwayCodec, DecodeGivesBackTheWholeRecordUnnamedBytesIncluded)
{
    const JetwayData original = DistinctRecord();
    const JetwayBytes first = EncodeJetwayData(original);

    JetwayData decoded;
    ASSERT_TRUE(DecodeJetwayData(first.data(), first.size(), decoded));
    EXPECT_EQ(EncodeJetwayData(decoded), first);

    for (const auto& f : kDoubles) EXPECT_EQ(decoded.*f.member, original.*f.member);
    for (const auto& f : kU32s) EXPECT_EQ(decoded.*f.member, original.*f.member);
    EXPECT_TRUE(decoded.AbortRequested);
    EXPECT_FALSE(decoded.Moving);
    EXPECT_TRUE(decoded.Docked);
    EXPECT_EQ(decoded.PlacementPointCount, -1);
    EXPECT_EQ(decoded.Reserved.afterFlags, original.Reserved.afterFlags);
    EXPECT_EQ(decoded.Parts[2].GetUnnamed().head, original.Parts[2].GetUnnamed().head);
    EXPECT_EQ(decoded.Parts[5].GetSecondWord(), original.Parts[5].GetSecondWord());
    EXPECT_EQ(decoded.Parts[3].GetLinkType(), LinkType::Root);
    EXPECT_TRUE(decoded.Parts[0].GetSecondPlacement().IsAltitudeZero());

    // Unnamed ranges of the record, byte for byte.
    for (const auto& [at, length] : kUnnamed)
        for (size_t i = 0; i < length; ++i) EXPECT_NE(first[at + i], 0) << "unnamed byte " << at + i;
}

TEST(JetwayCodec, ClassTableReferencesAreIgnoredOnReading)
{
    JetwayBytes b = EncodeJetwayData(DistinctRecord());
    const JetwayBytes clean = b;
    for (size_t p = 0; p < 6 * 776; p += 776)
        for (size_t ref : {p, p + 568, p + 600, p + 648, p + 680, p + 728}) b[ref] = 0xAB;
    JetwayData decoded;
    ASSERT_TRUE(DecodeJetwayData(b.data(), b.size(), decoded));
    EXPECT_EQ(EncodeJetwayData(decoded), clean);
}

TEST(JetwayCodec, ShortBufferIsRefusedAndLeavesTheRecordAlone)
{
    const JetwayBytes b = EncodeJetwayData(DistinctRecord());
    JetwayData target;
    EXPECT_FALSE(DecodeJetwayData(b.data(), 5599, target));
    EXPECT_FALSE(DecodeJetwayData(nullptr, 5600, target));
    EXPECT_EQ(target.JetwayObjectId, 0u);
    EXPECT_EQ(target.PeriodMs, 40u);

    std::vector<uint8_t> longer(b.begin(), b.end());
    longer.resize(6000, 0xEE);
    ASSERT_TRUE(DecodeJetwayData(longer.data(), longer.size(), target));
    EXPECT_EQ(EncodeJetwayData(target), b);
}

TEST(JetwayCodec, TitlesEndAtTheirLastByteAndAreCutWhenTooLong)
{
    JetwayBytes b{};
    std::memset(&b[49], 'x', 256);   // sim title of part 1 without a terminator
    std::memset(&b[305], 'y', 256);  // creation title too, running into the next byte
    JetwayData r;
    ASSERT_TRUE(DecodeJetwayData(b.data(), b.size(), r));
    EXPECT_EQ(r.Parts[0].GetSimTitle(), std::string(255, 'x'));
    EXPECT_EQ(r.Parts[0].GetCreationTitle(), std::string(255, 'y'));

    r.Parts[1].SetSimTitle(std::string(400, 'z'));
    EXPECT_EQ(r.Parts[1].GetSimTitle().size(), 255u);
    const JetwayBytes out = EncodeJetwayData(r);
    EXPECT_EQ(out[776 + 49 + 254], 'z');
    EXPECT_EQ(out[776 + 49 + 255], 0);
    EXPECT_EQ(out[776 + 305], 0);
}

TEST(JetwayCodec, UnknownLinkTypeNumberReadsAsNone)
{
    JetwayBytes b = EncodeJetwayData(JetwayData{});
    b[768] = 9;
    JetwayData r;
    ASSERT_TRUE(DecodeJetwayData(b.data(), b.size(), r));
    EXPECT_EQ(r.Parts[0].GetLinkType(), LinkType::None);
}

TEST(JetwayRecord, FreshRecordHasTheDocumentedDefaults)
{
    const JetwayBytes b = EncodeJetwayData(JetwayData{});
    EXPECT_EQ(U32At(b, 4700), 1u);
    EXPECT_EQ(U32At(b, 4856), 40u);
    EXPECT_EQ(U32At(b, 4928), 100u);
    for (size_t at : {4936, 4944, 4952, 4960, 4968}) EXPECT_EQ(F64At(b, at), 2.0);
    for (size_t at : {5128, 5136, 5144}) EXPECT_EQ(F64At(b, at), 1.0);
    EXPECT_EQ(F64At(b, 5176), 10.0);
    EXPECT_EQ(F64At(b, 5184), 10.0);
    EXPECT_EQ(F64At(b, 5264), 0.0);
    EXPECT_EQ(TextAt(b, 49), "");
}

TEST(JetwayRecord, CheckJobNamesTheFirstFault)
{
    JetwayData ok;
    ok.JetwayObjectId = 5;
    EXPECT_EQ(CheckJob(ok), JobCheck::Ok);

    struct Case {
        const char* what;
        void (*spoil)(JetwayData&);
        JobCheck expected;
    };
    const Case cases[] = {
        {"id 0", [](JetwayData& r) { r.JetwayObjectId = 0; }, JobCheck::NoJetwayId},
        {"type 0", [](JetwayData& r) { r.JetwayType = 0; }, JobCheck::BadType},
        {"type 5", [](JetwayData& r) { r.JetwayType = 5; }, JobCheck::BadType},
        {"period 0", [](JetwayData& r) { r.PeriodMs = 0; }, JobCheck::ZeroPeriod},
        {"keyframes 0", [](JetwayData& r) { r.KeyframeCount = 0; }, JobCheck::ZeroKeyframes},
        {"NaN target", [](JetwayData& r) { r.TargetDip = std::nan(""); }, JobCheck::NotFinite},
        {"infinite increment", [](JetwayData& r) { r.Increments.partHead = INFINITY; }, JobCheck::NotFinite},
        {"NaN part offset", [](JetwayData& r) { r.Parts[4].SetOffset(0, std::nan(""), 0); }, JobCheck::NotFinite},
        {"infinite part placement",
         [](JetwayData& r) { r.Parts[0].GetSecondPlacement().SetAltitude(-INFINITY); }, JobCheck::NotFinite},
    };
    for (const Case& c : cases) {
        JetwayData r = ok;
        c.spoil(r);
        EXPECT_EQ(CheckJob(r), c.expected) << c.what;
    }
}

// One kind of value held to one range of job_limits, with the fields that carry it.
struct RangeCase {
    const char* kind;  // as FirstOutOfRange names it
    double lo;
    double hi;
    std::vector<void (*)(JetwayData&, double)> fields;
};

const std::vector<RangeCase>& RangeCases()
{
    namespace lim = job_limits;
    static const std::vector<RangeCase> cases = {
        {"lengths", -lim::kMaxLengthMetres, lim::kMaxLengthMetres,
         {[](JetwayData& r, double v) { r.BridgeLengthRange.second = v; },
          [](JetwayData& r, double v) { r.LegLengthRange.first = v; },
          [](JetwayData& r, double v) { r.RootFloorHeight = v; },
          [](JetwayData& r, double v) { r.StairLength = v; },
          [](JetwayData& r, double v) { r.HoodWidth = v; },
          [](JetwayData& r, double v) { r.DoorValue5 = v; },
          [](JetwayData& r, double v) { r.TargetExtension = v; },
          [](JetwayData& r, double v) { r.LegLengthAfterDip = v; },
          [](JetwayData& r, double v) { r.PartExtension = v; },
          [](JetwayData& r, double v) { r.SavedPose.legLength = v; }}},
        {"part offsets", -lim::kMaxLengthMetres, lim::kMaxLengthMetres,
         {[](JetwayData& r, double v) { r.Parts[0].SetOffset(v, 0, 0); },
          [](JetwayData& r, double v) { r.Parts[5].SetOffset(0, 0, v); }}},
        {"part placements", lim::kMinAltitudeFeet, lim::kMaxAltitudeFeet,
         {[](JetwayData& r, double v) { r.Parts[2].GetPlacement().SetAltitude(v); },
          [](JetwayData& r, double v) { r.Parts[3].GetSecondPlacement().SetAltitude(v); }}},
        {"part placements", -lim::kMaxLatitude, lim::kMaxLatitude,
         {[](JetwayData& r, double v) { r.Parts[1].GetPlacement().SetLatitude(v); }}},
        {"part placements", -lim::kMaxLongitude, lim::kMaxLongitude,
         {[](JetwayData& r, double v) { r.Parts[1].GetSecondPlacement().SetLongitude(v); }}},
        {"part placements", -lim::kMaxAngleDegrees, lim::kMaxAngleDegrees,
         {[](JetwayData& r, double v) { r.Parts[4].GetPlacement().SetHeading(v); }}},
        {"angles in degrees", -lim::kMaxAngleDegrees, lim::kMaxAngleDegrees,
         {[](JetwayData& r, double v) { r.RootSweepRange.first = v; },
          [](JetwayData& r, double v) { r.HeadSweepRange.second = v; },
          [](JetwayData& r, double v) { r.DoorAngle = v; },
          [](JetwayData& r, double v) { r.JetwayHeading = v; }}},
        {"joint angles", -lim::kMaxAngleRadians, lim::kMaxAngleRadians,
         {[](JetwayData& r, double v) { r.CurrentPose.rootRotation = v; },
          [](JetwayData& r, double v) { r.SavedPose.stairAngle = v; },
          [](JetwayData& r, double v) { r.TargetDip = v; },
          [](JetwayData& r, double v) { r.PartHead = v; }}},
        {"sweep times", -lim::kMaxSweepSeconds, lim::kMaxSweepSeconds,
         {[](JetwayData& r, double v) { r.RootRotationTime = v; },
          [](JetwayData& r, double v) { r.HoodTime = v; }}},
        {"durations", 0.0, lim::kMaxDurationMs,
         {[](JetwayData& r, double v) { r.ElapsedMs = v; },
          [](JetwayData& r, double v) { r.RotationDurationMs = v; },
          [](JetwayData& r, double v) { r.HoodDurationMs = v; }}},
        {"channels", -lim::kMaxChannel, lim::kMaxChannel,
         {[](JetwayData& r, double v) { r.LegChannel = v; },
          [](JetwayData& r, double v) { r.WheelChannel = v; }}},
        {"increments", -lim::kMaxChannel, lim::kMaxChannel,
         {[](JetwayData& r, double v) { r.Increments.rotation = v; },
          [](JetwayData& r, double v) { r.Increments.partExtensionVia = v; },
          [](JetwayData& r, double v) { r.Increments.partHead = v; }}},
        {"placement points", -lim::kMaxPercent, lim::kMaxPercent,
         {[](JetwayData& r, double v) { r.PlacementPoints[0] = v; },
          [](JetwayData& r, double v) { r.PlacementPoints[3] = v; }}},
        {"latitude", -lim::kMaxLatitude, lim::kMaxLatitude,
         {[](JetwayData& r, double v) { r.JetwayLatitude = v; }}},
        {"longitude", -lim::kMaxLongitude, lim::kMaxLongitude,
         {[](JetwayData& r, double v) { r.JetwayLongitude = v; }}},
        {"altitude", lim::kMinAltitudeFeet, lim::kMaxAltitudeFeet,
         {[](JetwayData& r, double v) { r.JetwayAltitude = v; }}},
    };
    return cases;
}

TEST(JetwayRecord, CheckJobHoldsEveryValueWithinItsRange)
{
    JetwayData ok;
    ok.JetwayObjectId = 5;
    ASSERT_EQ(CheckJob(ok), JobCheck::Ok);
    EXPECT_EQ(FirstOutOfRange(ok), nullptr);

    for (const RangeCase& c : RangeCases()) {
        for (size_t f = 0; f < c.fields.size(); ++f) {
            SCOPED_TRACE(std::string(c.kind) + " field " + std::to_string(f));
            // The limits themselves and the smallest numbers within are accepted.
            for (double v : {c.lo, c.hi, std::nextafter(c.lo, c.hi), std::nextafter(c.hi, c.lo),
                             std::max(c.lo, std::numeric_limits<double>::denorm_min())}) {
                JetwayData r = ok;
                c.fields[f](r, v);
                EXPECT_EQ(CheckJob(r), JobCheck::Ok) << v;
            }
            // Just past either end (a negative denormal for a range that starts at 0), and the huge ones.
            for (double v : {std::nextafter(c.lo, -INFINITY), std::nextafter(c.hi, INFINITY), 1e308, -1e308,
                             std::numeric_limits<double>::max()}) {
                JetwayData r = ok;
                c.fields[f](r, v);
                EXPECT_EQ(CheckJob(r), JobCheck::OutOfRange) << v;
                ASSERT_NE(FirstOutOfRange(r), nullptr) << v;
                EXPECT_STREQ(FirstOutOfRange(r), c.kind) << v;
            }
        }
    }
}

TEST(JetwayRecord, PeriodAndKeyframesHaveAnUpperLimit)
{
    JetwayData r;
    r.JetwayObjectId = 5;
    r.PeriodMs = job_limits::kMaxPeriodMs;
    r.KeyframeCount = job_limits::kMaxKeyframes;
    EXPECT_EQ(CheckJob(r), JobCheck::Ok);
    for (uint32_t past : {job_limits::kMaxPeriodMs + 1, 0xFFFFFFFFu}) {
        JetwayData p = r;
        p.PeriodMs = past;
        EXPECT_EQ(CheckJob(p), JobCheck::OutOfRange) << past;
        EXPECT_STREQ(FirstOutOfRange(p), "timer period");
    }
    for (uint32_t past : {job_limits::kMaxKeyframes + 1, 0xFFFFFFFFu}) {
        JetwayData k = r;
        k.KeyframeCount = past;
        EXPECT_EQ(CheckJob(k), JobCheck::OutOfRange) << past;
        EXPECT_STREQ(FirstOutOfRange(k), "keyframe count");
    }
    EXPECT_STREQ(JobCheckText(JobCheck::OutOfRange), "value out of range");
}

TEST(LinkedSimObject, LinkTypeTextIsExactAndCaseSensitive)
{
    LinkedSimObject part;
    const std::pair<const char*, LinkType> known[] = {{"HEAD", LinkType::Head},
                                                      {"BRIDGE_MOVING", LinkType::BridgeMoving},
                                                      {"BRIDGE_STATIC", LinkType::BridgeStatic},
                                                      {"ROOT", LinkType::Root},
                                                      {"STATIC", LinkType::Static}};
    for (const auto& [text, type] : known) {
        EXPECT_TRUE(part.SetLinkTypeFromText(text)) << text;
        EXPECT_EQ(part.GetLinkType(), type);
    }
    for (const char* text : {"head", "HEAD ", "", "BRIDGE"}) {
        EXPECT_FALSE(part.SetLinkTypeFromText(text)) << text;
        EXPECT_EQ(part.GetLinkType(), LinkType::None);
    }
}

}  // namespace
