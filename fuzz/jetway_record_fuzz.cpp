// A jetway record as the module receives it from any client: the client-data bytes decoded, the job
// checked, and for a job that passes, the geometry the motion start computes from it.
#include "jetway/core/JetwayCodec.h"
#include "jetway/core/JetwayCore.h"

#include "fuzz/fuzz_support.h"

#include <cmath>
#include <cstring>

namespace {

// Fields that the byte comparison below could miss when both sides are equally wrong.
void CheckNamedFields(const JetwayData& a, const JetwayData& b)
{
    VELK_FUZZ_CHECK(a.JetwayObjectId == b.JetwayObjectId);
    VELK_FUZZ_CHECK(a.JetwayType == b.JetwayType);
    VELK_FUZZ_CHECK(a.PeriodMs == b.PeriodMs);
    VELK_FUZZ_CHECK(a.KeyframeCount == b.KeyframeCount);
    VELK_FUZZ_CHECK(a.Phase == b.Phase);
    VELK_FUZZ_CHECK(a.PlacementPointCount == b.PlacementPointCount);
    VELK_FUZZ_CHECK(a.StateWord.ToUint64() == b.StateWord.ToUint64());
    VELK_FUZZ_CHECK(a.Docked == b.Docked && a.Moving.load() == b.Moving.load());
    VELK_FUZZ_CHECK(std::memcmp(&a.JetwayLatitude, &b.JetwayLatitude, sizeof(double)) == 0);
    for (size_t i = 0; i < JetwayData::kPartCount; ++i) {
        const LinkedSimObject& pa = a.Parts[i];
        const LinkedSimObject& pb = b.Parts[i];
        VELK_FUZZ_CHECK(pa.GetSimTitle() == pb.GetSimTitle());
        VELK_FUZZ_CHECK(pa.GetCreationTitle() == pb.GetCreationTitle());
        VELK_FUZZ_CHECK(pa.GetSimTitle().size() <= LinkedSimObject::kTitleCapacity);
        VELK_FUZZ_CHECK(pa.GetCreationTitle().size() <= LinkedSimObject::kTitleCapacity);
        VELK_FUZZ_CHECK(pa.GetSimTitle().find('\0') == std::string::npos);
        VELK_FUZZ_CHECK(pa.GetObjectId() == pb.GetObjectId());
        VELK_FUZZ_CHECK(pa.GetLinkType() == pb.GetLinkType());
    }
}

// What the motion start computes; the sanitizers watch the arithmetic.
void ExerciseGeometry(const JetwayData& job)
{
    JetwayCore core;
    core.SetJetwayData(job);
    const JetwayPose& p = job.CurrentPose;
    const double scaled[] = {core.ScaleLeg(p.legLength),   core.ScaleRoot(p.rootRotation),
                             core.ScaleDip(p.dip),         core.ScaleExtension(p.extension),
                             core.ScaleHead(p.head),       core.ScaleHood(p.dip),
                             core.ScaleStair(p.stairAngle)};
    // Keyframes stay within 0..KeyframeCount (or are not numbers when the pose is not).
    for (double k : scaled) {
        if (std::isnan(k)) continue;
        VELK_FUZZ_CHECK(k >= 0 && k <= static_cast<double>(job.KeyframeCount));
    }
    core.QuantizeHead(p.head);
    core.StairAngle(p.extension, p.dip);
    core.LegLength(p.extension, p.dip);
    core.WheelArcRadius();
    // Within the ranges no part position overflows.
    for (int slot = 0; slot <= 7; ++slot) {
        for (double v : core.ComputePartPositions(slot, p.head, p.extension, p.dip, p.rootRotation).ToArray())
            VELK_FUZZ_CHECK(std::isfinite(v));
    }
    core.BuildAnimation();
    core.ComputeParkedPose();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    JetwayData job;
    const JetwayBytes untouched = EncodeJetwayData(job);
    if (!DecodeJetwayData(data, size, job)) {
        VELK_FUZZ_CHECK(size < jetway_wire::kRecordSize);
        VELK_FUZZ_CHECK(EncodeJetwayData(job) == untouched);
        return 0;
    }
    VELK_FUZZ_CHECK(size >= jetway_wire::kRecordSize);

    // Encoding gives 5600 bytes that decode to the same record and encode to the same bytes again.
    const JetwayBytes once = EncodeJetwayData(job);
    JetwayData again;
    VELK_FUZZ_CHECK(DecodeJetwayData(once.data(), once.size(), again));
    CheckNamedFields(job, again);
    VELK_FUZZ_CHECK(EncodeJetwayData(again) == once);
    // Both forms of the encoder agree; the class table references go out as zero.
    uint8_t raw[jetway_wire::kRecordSize + 1];
    raw[jetway_wire::kRecordSize] = 0xA5;
    EncodeJetwayData(job, raw);
    VELK_FUZZ_CHECK(std::memcmp(raw, once.data(), once.size()) == 0 && raw[jetway_wire::kRecordSize] == 0xA5);
    for (size_t part = 0; part < JetwayData::kPartCount; ++part)
        for (size_t i = 0; i < 4; ++i) VELK_FUZZ_CHECK(once[part * jetway_wire::kPartSize + i] == 0);

    // The check the module makes before it moves anything.
    const JobCheck check = CheckJob(job);
    VELK_FUZZ_CHECK(JobCheckText(check) != nullptr);
    if (check == JobCheck::OutOfRange) VELK_FUZZ_CHECK(FirstOutOfRange(job) != nullptr);
    if (check != JobCheck::Ok) return 0;
    VELK_FUZZ_CHECK(job.JetwayObjectId != 0);
    VELK_FUZZ_CHECK(job.JetwayType >= kJetwayTypeA && job.JetwayType <= kJetwayTypeH);
    // Every value finite and within its physical range.
    namespace lim = job_limits;
    VELK_FUZZ_CHECK(FirstOutOfRange(job) == nullptr);
    VELK_FUZZ_CHECK(job.PeriodMs > 0 && job.PeriodMs <= lim::kMaxPeriodMs);
    VELK_FUZZ_CHECK(job.KeyframeCount > 0 && job.KeyframeCount <= lim::kMaxKeyframes);
    VELK_FUZZ_CHECK(job.ElapsedMs >= 0 && job.ElapsedMs <= lim::kMaxDurationMs);
    VELK_FUZZ_CHECK(std::fabs(job.CurrentPose.rootRotation) <= lim::kMaxAngleRadians);
    VELK_FUZZ_CHECK(std::fabs(job.TargetExtension) <= lim::kMaxLengthMetres);
    VELK_FUZZ_CHECK(std::fabs(job.JetwayLatitude) <= lim::kMaxLatitude);
    VELK_FUZZ_CHECK(std::fabs(job.JetwayLongitude) <= lim::kMaxLongitude);
    VELK_FUZZ_CHECK(job.JetwayAltitude >= lim::kMinAltitudeFeet && job.JetwayAltitude <= lim::kMaxAltitudeFeet);
    ExerciseGeometry(job);
    return 0;
}
