// Any text as a jetway model's "jetway.cfg", parsed and given to a jetway on the ground and to one placed
// above it. Every number the file gives is finite and within the reader's magnitude, parsing again gives
// the same values and notes, each linked part is either untouched, emptied or filled with a title that
// fits, and the jetway's record is one the module accepts or refuses by its check (a missing type or a
// value out of range), never one with a number that is not finite.
#include "objects/JetwayConfig.h"

#include "jetway/core/JetwayCore.h"
#include "foundation/Units.h"
#include "objects/Jetway.h"
#include "platform/profile.h"

#include "fuzz/fuzz_support.h"
#include "fuzz/quiet_log.h"

#include <log4cpp/Category.hh>
#include <log4cpp/Priority.hh>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kPath = "C:\\SimObjects\\Jetway_F\\jetway.cfg";
constexpr double kAboveGroundFeet = 120.0;

log4cpp::Category* g_log = nullptr;

std::filesystem::path HostPath()
{
    return velk_fuzz::ScratchFolder() / "machine" / "c" / "SimObjects" / "Jetway_F" / "jetway.cfg";
}

std::vector<double> Numbers(const JetwayConfigValues& v)
{
    return {v.rootFloorHeight, v.rootBridgeOffset, v.mouthOffset, v.legOffset, v.legOffsetFromOrigin,
            v.wheelRadius, v.stairLength, v.stairOffset, v.stairOffsetFromOrigin, v.hoodMovableHeight,
            v.hoodWidth, v.rootRotationTime, v.bridgeExtensionTime, v.bridgeLength.first, v.bridgeLength.second,
            v.rootSweep.first, v.rootSweep.second, v.bridgeDip.first, v.bridgeDip.second, v.headSweep.first,
            v.headSweep.second, v.legLength.first, v.legLength.second};
}

// The same numbers as the record holds them, the floor height without the ground.
std::vector<double> Numbers(const JetwayData& r, double ground)
{
    return {r.RootFloorHeight - ground, r.RootBridgeOffset, r.MouthOffset, r.LegOffset, r.LegOffsetFromOrigin,
            r.WheelRadius, r.StairLength, r.StairOffset, r.StairOffsetFromOrigin, r.HoodMovableHeight,
            r.HoodWidth, r.RootRotationTime, r.BridgeExtensionTime, r.BridgeLengthRange.first,
            r.BridgeLengthRange.second, r.RootSweepRange.first, r.RootSweepRange.second, r.BridgeDipRange.first,
            r.BridgeDipRange.second, r.HeadSweepRange.first, r.HeadSweepRange.second, r.LegLengthRange.first,
            r.LegLengthRange.second};
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

void CheckValues(const JetwayConfigValues& v)
{
    VELK_FUZZ_CHECK(v.missingCode == 0);
    const bool known = v.typeText == "A" || v.typeText == "N" || v.typeText == "T" || v.typeText == "H";
    VELK_FUZZ_CHECK(known == (v.type != 0) && v.type <= kJetwayTypeH);
    for (const double n : Numbers(v)) VELK_FUZZ_CHECK(std::isfinite(n) && std::fabs(n) <= JetwayConfig::kMaxMagnitude);
    using State = JetwayConfigValues::Part::State;
    for (const JetwayConfigValues::Part& part : v.parts) {
        if (part.state != State::Usable) continue;
        VELK_FUZZ_CHECK(!part.title.empty() && part.title.size() < JetwayConfig::kTitleLimit);
        VELK_FUZZ_CHECK(part.title.find('\0') == std::string::npos);
        VELK_FUZZ_CHECK(part.link != LinkType::None);
        for (const double n : {part.x, part.y, part.z})
            VELK_FUZZ_CHECK(std::isfinite(n) && std::fabs(n) <= JetwayConfig::kMaxMagnitude);
    }
    VELK_FUZZ_CHECK(std::fabs(static_cast<double>(v.soundMinDistance)) <= JetwayConfig::kMaxMagnitude);
    VELK_FUZZ_CHECK(std::fabs(static_cast<double>(v.soundMaxDistance)) <= JetwayConfig::kMaxMagnitude);
    for (const JetwayConfigValues::Note& note : v.notes) VELK_FUZZ_CHECK(!note.text.empty());
}

bool SameValues(const JetwayConfigValues& a, const JetwayConfigValues& b)
{
    if (a.typeText != b.typeText || a.type != b.type || !SameBits(Numbers(a), Numbers(b))) return false;
    if (a.soundFile != b.soundFile || a.soundLoop != b.soundLoop || a.soundMinDistance != b.soundMinDistance ||
        a.soundMaxDistance != b.soundMaxDistance || a.notes.size() != b.notes.size())
        return false;
    for (size_t k = 0; k < a.parts.size(); ++k) {
        const auto& pa = a.parts[k];
        const auto& pb = b.parts[k];
        if (pa.state != pb.state || pa.title != pb.title || pa.link != pb.link ||
            !SameBits({pa.x, pa.y, pa.z}, {pb.x, pb.y, pb.z}))
            return false;
    }
    for (size_t i = 0; i < a.notes.size(); ++i)
        if (a.notes[i].text != b.notes[i].text || a.notes[i].warning != b.notes[i].warning) return false;
    return true;
}

// Gives the values to a fresh jetway placed at the height above ground, and checks its record.
void ApplyAndCheck(const JetwayConfig& reader, const JetwayConfigValues& v, double feetAboveGround)
{
    Jetway jetway;
    const Jetway fresh;
    JetwayConfigTarget target;
    target.jetway = &jetway;
    const bool agl = feetAboveGround != 0.0;
    target.placement.Set(47.25, 8.5, feetAboveGround, agl, !agl, 0, 0, 270.0);
    target.objectName = "FUZZ:JW";
    target.modelTitle = "VELK_JW_FUZZ";
    VELK_FUZZ_CHECK(reader.Apply(target, v));
    VELK_FUZZ_CHECK(jetway.HasConfig());

    const double ground = feetAboveGround * units::kMetresPerFoot;
    const JetwayData& r = jetway.GetRecord();
    VELK_FUZZ_CHECK(r.JetwayType == v.type);
    VELK_FUZZ_CHECK(r.RootFloorHeight == v.rootFloorHeight + ground);
    if (ground == 0.0) VELK_FUZZ_CHECK(SameBits(Numbers(r, 0.0), Numbers(v)));

    using State = JetwayConfigValues::Part::State;
    for (size_t k = 0; k < JetwayData::kPartCount; ++k) {
        const JetwayConfigValues::Part& from = v.parts[k];
        const LinkedSimObject& part = r.Parts[k];
        const LinkedSimObject& before = fresh.GetRecord().Parts[k];
        switch (from.state) {
        case State::Absent:
            VELK_FUZZ_CHECK(part.GetSimTitle() == before.GetSimTitle() && part.GetLinkType() == before.GetLinkType());
            break;
        case State::BadTitle:
        case State::BadBone:
            VELK_FUZZ_CHECK(part.GetSimTitle().empty() && part.GetCreationTitle().empty());
            if (from.state == State::BadBone) VELK_FUZZ_CHECK(part.GetLinkType() == LinkType::None);
            break;
        case State::Usable:
            VELK_FUZZ_CHECK(part.GetSimTitle() == from.title && part.GetCreationTitle() == from.title);
            VELK_FUZZ_CHECK(part.GetLinkType() == from.link);
            VELK_FUZZ_CHECK(part.GetOffset().z == from.z - ground);
            break;
        }
    }
    VELK_FUZZ_CHECK(jetway.GetSound().GetFileName() == (v.soundFile.empty() ? fresh.GetSound().GetFileName()
                                                                              : v.soundFile));

    // The module takes the record once the program has given it an id: it moves it or refuses it by its check.
    JetwayData job = r;
    job.JetwayObjectId = 7;
    const JobCheck check = CheckJob(job);
    VELK_FUZZ_CHECK(check != JobCheck::NotFinite);
    if (v.type == 0) VELK_FUZZ_CHECK(check == JobCheck::BadType);
    else VELK_FUZZ_CHECK(check == JobCheck::Ok || check == JobCheck::OutOfRange);
    if (check == JobCheck::OutOfRange) VELK_FUZZ_CHECK(FirstOutOfRange(job) != nullptr);
    if (check != JobCheck::Ok) return;
    JetwayCore core;
    core.SetJetwayData(job);
    const JetwayPose& p = job.CurrentPose;
    for (int slot = 0; slot <= 7; ++slot)
        for (const double n : core.ComputePartPositions(slot, p.head, p.extension, p.dip, p.rootRotation).ToArray())
            VELK_FUZZ_CHECK(std::isfinite(n));
    core.ComputeParkedPose();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::filesystem::create_directories(HostPath().parent_path());
    setenv("VELK_MACHINE_ROOT", (velk_fuzz::ScratchFolder() / "machine").c_str(), 1);
    log4cpp::Category& log = velk_fuzz::QuietLog("VELK.FUZZ.JETWAYCFG");
    g_log = &log;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        std::ofstream out(HostPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    platform::ClearProfileCache();

    const JetwayConfigValues values = JetwayConfig::Parse(kPath);
    CheckValues(values);
    // The cache parses the file again, to the same values and notes.
    JetwayConfigCache cache;
    const JetwayConfigValues& cached = cache.Get(kPath);
    VELK_FUZZ_CHECK(&cache.Get(kPath) == &cached && cache.Count() == 1);
    VELK_FUZZ_CHECK(SameValues(cached, values));

    const JetwayConfig reader(g_log, nullptr);
    ApplyAndCheck(reader, values, 0.0);
    ApplyAndCheck(reader, values, kAboveGroundFeet);
    return 0;
}
