#include "objects/JetwayConfig.h"

#include "foundation/ConfigFileHelper.h"
#include "foundation/GeoMath.h"
#include "foundation/StringUtils.h"
#include "foundation/Units.h"
#include "objects/Jetway.h"

#include <log4cpp/Category.hh>

#include <cmath>
#include <cstdint>

namespace {

constexpr const char* kGeneral = "general";
constexpr const char* kDimensions = "dimensions";
constexpr const char* kTimes = "Time_Parameters";
constexpr const char* kRanges = "range_limits";
constexpr const char* kSound = "Sound";

uint32_t TypeFromText(const std::string& text)
{
    if (text == "A") return kJetwayTypeA;
    if (text == "H") return kJetwayTypeH;
    if (text == "N") return kJetwayTypeN;
    if (text == "T") return kJetwayTypeT;
    return 0;
}

// The folder of a file path, with its trailing backslash; "" when the path names no folder.
std::string FolderOf(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

double JetwayConfig::Number(const std::string& path, const char* section, const char* key) const
{
    const std::string text = ConfigFileHelper::ReadString(path, section, key);
    if (text.empty()) return 0.0;
    double value = 0.0;
    if (!ParseLeadingDouble(text, value)) {
        if (log_)
            log_->error("'%s': [%s] %s = '%s' is not a number! Taking 0.", path.c_str(), section, key, text.c_str());
        return 0.0;
    }
    if (std::fabs(value) > kMaxMagnitude) {
        if (log_)
            log_->error("'%s': [%s] %s = '%s' is out of range! Taking 0.", path.c_str(), section, key, text.c_str());
        return 0.0;
    }
    return value;
}

JetwayRange JetwayConfig::Range(const std::string& path, const char* key) const
{
    JetwayRange range;
    const std::string text = ConfigFileHelper::ReadString(path, kRanges, key);
    if (text.empty()) return range;
    std::vector<std::string> pieces;
    SplitByComma(text, pieces);
    if (pieces.size() != 2 && log_)
        log_->warn("'%s': [%s] %s = '%s' should be two numbers!", path.c_str(), kRanges, key, text.c_str());
    double* const slots[] = {&range.first, &range.second};
    for (size_t i = 0; i < 2 && i < pieces.size(); ++i) {
        double value = 0.0;
        if (!ParseLeadingDouble(pieces[i], value) || std::fabs(value) > kMaxMagnitude) {
            if (log_)
                log_->error("'%s': [%s] %s = '%s' has no usable number at place %u! Taking 0.", path.c_str(),
                            kRanges, key, text.c_str(), static_cast<unsigned>(i + 1));
            value = 0.0;
        }
        *slots[i] = value;
    }
    return range;
}

bool JetwayConfig::Read(const JetwayConfigTarget& target, const std::string& path) const
{
    if (target.jetway == nullptr) {
        if (log_) log_->error("'jetway.cfg' of SimObject '%s' read without a jetway!", target.objectName.c_str());
        return false;
    }
    const DWORD code = ConfigFileHelper::CheckFileExists(path);
    if (code != 0) {
        if (log_)
            log_->error("'jetway.cfg' not found for Model '%s' of SimObject '%s'! Path='%s', Code(%u)",
                        target.modelTitle.c_str(), target.objectName.c_str(), path.c_str(),
                        static_cast<unsigned>(code));
        return false;
    }

    JetwayData& r = *target.jetway->GetJetwayData();

    const std::string type = ConfigFileHelper::ReadString(path, kGeneral, "type");
    r.JetwayType = TypeFromText(type);
    if (r.JetwayType == 0 && log_)
        log_->error("'%s': [%s] type = '%s' is no jetway type (A, N, T or H)! The jetway cannot be operated.",
                    path.c_str(), kGeneral, type.c_str());

    // A jetway placed above ground carries its height in the floor height; its parts keep their place
    // relative to the ground.
    const PlacementData& placement = target.placement;
    double ground = 0.0;
    if (placement.IsAltitudeAgl() && !placement.IsAltitudeZero()) {
        ground = placement.GetAltitude() * units::kMetresPerFoot;
        if (!std::isfinite(ground) || std::fabs(ground) > kMaxMagnitude) {
            if (log_)
                log_->error("SimObject '%s': placement altitude is out of range! Taking the ground.",
                            target.objectName.c_str());
            ground = 0.0;
        }
    }
    r.RootFloorHeight = Number(path, kDimensions, "root_floor_height") + ground;
    r.RootBridgeOffset = Number(path, kDimensions, "root_bridge_offset");
    r.MouthOffset = Number(path, kDimensions, "mouth_offset");
    r.LegOffset = Number(path, kDimensions, "leg_offset");
    r.LegOffsetFromOrigin = Number(path, kDimensions, "leg_offset_from_origin");
    r.WheelRadius = Number(path, kDimensions, "wheel_radius");
    r.StairLength = Number(path, kDimensions, "stair_length");
    r.StairOffset = Number(path, kDimensions, "stair_offset");
    r.StairOffsetFromOrigin = Number(path, kDimensions, "stair_offset_from_origin");
    r.HoodMovableHeight = Number(path, kDimensions, "hood_movable_height");
    r.HoodWidth = Number(path, kDimensions, "hood_width");
    r.RootRotationTime = Number(path, kTimes, "root_rotation_time");
    r.BridgeExtensionTime = Number(path, kTimes, "bridge_extension_time");

    ReadParts(target, path, ground);

    r.BridgeLengthRange = Range(path, "bridge_length");
    r.RootSweepRange = Range(path, "root_sweep");
    r.BridgeDipRange = Range(path, "bridge_dip");
    r.HeadSweepRange = Range(path, "head_sweep");
    r.LegLengthRange = Range(path, "leg_length");

    ReadSound(target, path);

    target.jetway->SetConfig(true);
    return true;
}

void JetwayConfig::ReadParts(const JetwayConfigTarget& target, const std::string& path, double ground) const
{
    JetwayData& r = *target.jetway->GetJetwayData();
    const char* model = target.modelTitle.c_str();
    for (size_t k = 0; k < JetwayData::kPartCount; ++k) {
        const std::string section = "LinkedSimObject." + std::to_string(k);
        if (ConfigFileHelper::GetKeyNames(path, section).empty()) continue;
        LinkedSimObject& part = r.Parts[k];
        const auto refuse = [&part] {
            part.SetSimTitle("");
            part.SetCreationTitle("");
        };

        const std::string title = ConfigFileHelper::ReadString(path, section, "sim_title");
        if (title.size() >= kTitleLimit) {
            if (log_)
                log_->error("%s: '%s' sim_title is too long (%d)! -> '%s'! Linking unsuccessful!", model,
                            section.c_str(), static_cast<int>(title.size()), title.c_str());
            refuse();
            continue;
        }
        if (title.empty()) {
            if (log_) log_->error("%s: '%s' has no 'sim_title' defined! Linking unsuccessful!", model, section.c_str());
            refuse();
            continue;
        }
        const std::string bone = ConfigFileHelper::ReadString(path, section, "reference_bone");
        if (!part.SetLinkTypeFromText(bone)) {
            if (log_) {
                if (bone.empty())
                    log_->error("%s: '%s' has no 'reference_bone' defined! Linking unsuccessful!", model,
                                section.c_str());
                else
                    log_->error("%s: '%s' has unsupported reference bone! -> '%s'! Linking unsuccessful!", model,
                                section.c_str(), bone.c_str());
            }
            refuse();
            continue;
        }
        part.SetSimTitle(title);
        part.SetCreationTitle(title);
        const double x = Number(path, section.c_str(), "offset_x");
        const double y = Number(path, section.c_str(), "offset_y");
        const double z = Number(path, section.c_str(), "offset_z");
        part.SetOffset(x, y, z - ground);
    }
}

void JetwayConfig::ReadSound(const JetwayConfigTarget& target, const std::string& path) const
{
    const std::string fileName = ConfigFileHelper::ReadString(path, kSound, "filename");
    if (fileName.empty()) return;
    const std::string loopText = ConfigFileHelper::ReadString(path, kSound, "loop");
    const bool loop = loopText == "true" || loopText == "True" || loopText == "yes" || loopText == "Yes";
    // Whole numbers; Number keeps them well inside the int range.
    const auto minDistance = static_cast<int32_t>(Number(path, kSound, "min_distance"));
    const auto maxDistance = static_cast<int32_t>(Number(path, kSound, "max_distance"));

    Jetway& jetway = *target.jetway;
    jetway.ResetSound();
    jetway.GetSound().SetParameters(fileName, loop, minDistance, maxDistance);
    if (sound_ == nullptr) return;
    XYZData at;
    const PlacementData& p = target.placement;
    GeoMath::LLAToSimXYZ(p.GetLatitude(), p.GetLongitude(), p.GetAltitude(), at);
    if (!std::isfinite(at.x) || !std::isfinite(at.y) || !std::isfinite(at.z)) {
        if (log_) log_->error("SimObject '%s': no valid position for the jetway's sound!", target.objectName.c_str());
        return;
    }
    jetway.SetupSound(*sound_, FolderOf(path), at.x, at.y, at.z);
}
