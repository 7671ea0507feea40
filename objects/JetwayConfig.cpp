#include "objects/JetwayConfig.h"

#include "foundation/ConfigFileHelper.h"
#include "foundation/GeoMath.h"
#include "foundation/StringUtils.h"
#include "foundation/Units.h"
#include "objects/Jetway.h"

#include <log4cpp/Category.hh>

#include <cmath>
#include <cstdint>
#include <cstdio>

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

// printf into a string.
template <typename... Args>
std::string Format(const char* format, Args... args)
{
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(&text[0], text.size(), format, args...);
    text.resize(static_cast<size_t>(length));
    return text;
}

// Collects the values of one file, with a note for everything found wrong.
class Parser {
public:
    explicit Parser(JetwayConfigValues& values) : v_(values), path_(values.path.c_str()) {}

    void Error(std::string text, bool afterModelTitle = false)
    {
        v_.notes.push_back(JetwayConfigValues::Note{false, afterModelTitle, std::move(text)});
    }
    void Warn(std::string text) { v_.notes.push_back(JetwayConfigValues::Note{true, false, std::move(text)}); }

    std::string Text(const char* section, const char* key) const
    {
        return ConfigFileHelper::ReadString(v_.path, section, key);
    }

    double Number(const char* section, const char* key)
    {
        const std::string text = Text(section, key);
        if (text.empty()) return 0.0;
        double value = 0.0;
        if (!ParseLeadingDouble(text, value)) {
            Error(Format("'%s': [%s] %s = '%s' is not a number! Taking 0.", path_, section, key, text.c_str()));
            return 0.0;
        }
        if (std::fabs(value) > JetwayConfig::kMaxMagnitude) {
            Error(Format("'%s': [%s] %s = '%s' is out of range! Taking 0.", path_, section, key, text.c_str()));
            return 0.0;
        }
        return value;
    }

    JetwayRange Range(const char* key)
    {
        JetwayRange range;
        const std::string text = Text(kRanges, key);
        if (text.empty()) return range;
        std::vector<std::string> pieces;
        SplitByComma(text, pieces);
        if (pieces.size() != 2)
            Warn(Format("'%s': [%s] %s = '%s' should be two numbers!", path_, kRanges, key, text.c_str()));
        double* const slots[] = {&range.first, &range.second};
        for (size_t i = 0; i < 2 && i < pieces.size(); ++i) {
            double value = 0.0;
            if (!ParseLeadingDouble(pieces[i], value) || std::fabs(value) > JetwayConfig::kMaxMagnitude) {
                Error(Format("'%s': [%s] %s = '%s' has no usable number at place %u! Taking 0.", path_, kRanges, key,
                             text.c_str(), static_cast<unsigned>(i + 1)));
                value = 0.0;
            }
            *slots[i] = value;
        }
        return range;
    }

    void Part(size_t k)
    {
        const std::string section = "LinkedSimObject." + std::to_string(k);
        if (ConfigFileHelper::GetKeyNames(v_.path, section).empty()) return;
        JetwayConfigValues::Part& part = v_.parts[k];
        using State = JetwayConfigValues::Part::State;
        const char* name = section.c_str();

        part.state = State::BadTitle;
        part.title = Text(name, "sim_title");
        if (part.title.size() >= JetwayConfig::kTitleLimit) {
            Error(Format("'%s' sim_title is too long (%d)! -> '%s'! Linking unsuccessful!", name,
                         static_cast<int>(part.title.size()), part.title.c_str()),
                  true);
            return;
        }
        if (part.title.empty()) {
            Error(Format("'%s' has no 'sim_title' defined! Linking unsuccessful!", name), true);
            return;
        }
        part.state = State::BadBone;
        const std::string bone = Text(name, "reference_bone");
        LinkedSimObject linked;
        if (!linked.SetLinkTypeFromText(bone)) {
            if (bone.empty())
                Error(Format("'%s' has no 'reference_bone' defined! Linking unsuccessful!", name), true);
            else
                Error(Format("'%s' has unsupported reference bone! -> '%s'! Linking unsuccessful!", name,
                             bone.c_str()),
                      true);
            return;
        }
        part.state = State::Usable;
        part.link = linked.GetLinkType();
        part.x = Number(name, "offset_x");
        part.y = Number(name, "offset_y");
        part.z = Number(name, "offset_z");
    }

    void Sound()
    {
        v_.soundFile = Text(kSound, "filename");
        if (v_.soundFile.empty()) return;
        const std::string loop = Text(kSound, "loop");
        v_.soundLoop = loop == "true" || loop == "True" || loop == "yes" || loop == "Yes";
        // Whole numbers; Number keeps them well inside the int range.
        v_.soundMinDistance = static_cast<int32_t>(Number(kSound, "min_distance"));
        v_.soundMaxDistance = static_cast<int32_t>(Number(kSound, "max_distance"));
    }

private:
    JetwayConfigValues& v_;
    const char* path_;
};

}  // namespace

JetwayConfigValues JetwayConfig::Parse(const std::string& path)
{
    JetwayConfigValues v;
    v.path = path;
    v.missingCode = ConfigFileHelper::CheckFileExists(path);
    if (v.missingCode != 0) return v;

    Parser read(v);
    v.typeText = read.Text(kGeneral, "type");
    v.type = TypeFromText(v.typeText);

    v.rootFloorHeight = read.Number(kDimensions, "root_floor_height");
    v.rootBridgeOffset = read.Number(kDimensions, "root_bridge_offset");
    v.mouthOffset = read.Number(kDimensions, "mouth_offset");
    v.legOffset = read.Number(kDimensions, "leg_offset");
    v.legOffsetFromOrigin = read.Number(kDimensions, "leg_offset_from_origin");
    v.wheelRadius = read.Number(kDimensions, "wheel_radius");
    v.stairLength = read.Number(kDimensions, "stair_length");
    v.stairOffset = read.Number(kDimensions, "stair_offset");
    v.stairOffsetFromOrigin = read.Number(kDimensions, "stair_offset_from_origin");
    v.hoodMovableHeight = read.Number(kDimensions, "hood_movable_height");
    v.hoodWidth = read.Number(kDimensions, "hood_width");
    v.rootRotationTime = read.Number(kTimes, "root_rotation_time");
    v.bridgeExtensionTime = read.Number(kTimes, "bridge_extension_time");

    for (size_t k = 0; k < JetwayData::kPartCount; ++k) read.Part(k);

    v.bridgeLength = read.Range("bridge_length");
    v.rootSweep = read.Range("root_sweep");
    v.bridgeDip = read.Range("bridge_dip");
    v.headSweep = read.Range("head_sweep");
    v.legLength = read.Range("leg_length");

    read.Sound();
    return v;
}

bool JetwayConfig::Read(const JetwayConfigTarget& target, const std::string& path) const
{
    return Apply(target, Parse(path));
}

void JetwayConfig::Log(const JetwayConfigValues::Note& note, const std::string& modelTitle) const
{
    if (log_ == nullptr) return;
    const std::string text = note.afterModelTitle ? modelTitle + ": " + note.text : note.text;
    if (note.warning)
        log_->warn("%s", text.c_str());
    else
        log_->error("%s", text.c_str());
}

bool JetwayConfig::Apply(const JetwayConfigTarget& target, const JetwayConfigValues& v) const
{
    if (target.jetway == nullptr) {
        if (log_) log_->error("'jetway.cfg' of SimObject '%s' read without a jetway!", target.objectName.c_str());
        return false;
    }
    if (v.missingCode != 0) {
        if (log_)
            log_->error("'jetway.cfg' not found for Model '%s' of SimObject '%s'! Path='%s', Code(%u)",
                        target.modelTitle.c_str(), target.objectName.c_str(), v.path.c_str(),
                        static_cast<unsigned>(v.missingCode));
        return false;
    }

    JetwayData& r = *target.jetway->GetJetwayData();
    r.JetwayType = v.type;
    if (v.type == 0 && log_)
        log_->error("'%s': [%s] type = '%s' is no jetway type (A, N, T or H)! The jetway cannot be operated.",
                    v.path.c_str(), kGeneral, v.typeText.c_str());

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
    for (const JetwayConfigValues::Note& note : v.notes) Log(note, target.modelTitle);

    r.RootFloorHeight = v.rootFloorHeight + ground;
    r.RootBridgeOffset = v.rootBridgeOffset;
    r.MouthOffset = v.mouthOffset;
    r.LegOffset = v.legOffset;
    r.LegOffsetFromOrigin = v.legOffsetFromOrigin;
    r.WheelRadius = v.wheelRadius;
    r.StairLength = v.stairLength;
    r.StairOffset = v.stairOffset;
    r.StairOffsetFromOrigin = v.stairOffsetFromOrigin;
    r.HoodMovableHeight = v.hoodMovableHeight;
    r.HoodWidth = v.hoodWidth;
    r.RootRotationTime = v.rootRotationTime;
    r.BridgeExtensionTime = v.bridgeExtensionTime;

    for (size_t k = 0; k < JetwayData::kPartCount; ++k) {
        using State = JetwayConfigValues::Part::State;
        const JetwayConfigValues::Part& from = v.parts[k];
        if (from.state == State::Absent) continue;
        LinkedSimObject& part = r.Parts[k];
        if (from.state != State::Usable) {
            if (from.state == State::BadBone) part.SetLinkType(LinkType::None);
            part.SetSimTitle("");
            part.SetCreationTitle("");
            continue;
        }
        part.SetLinkType(from.link);
        part.SetSimTitle(from.title);
        part.SetCreationTitle(from.title);
        part.SetOffset(from.x, from.y, from.z - ground);
    }

    r.BridgeLengthRange = v.bridgeLength;
    r.RootSweepRange = v.rootSweep;
    r.BridgeDipRange = v.bridgeDip;
    r.HeadSweepRange = v.headSweep;
    r.LegLengthRange = v.legLength;

    ApplySound(target, v);

    target.jetway->SetConfig(true);
    return true;
}

void JetwayConfig::ApplySound(const JetwayConfigTarget& target, const JetwayConfigValues& v) const
{
    if (v.soundFile.empty()) return;
    Jetway& jetway = *target.jetway;
    jetway.ResetSound();
    jetway.GetSound().SetParameters(v.soundFile, v.soundLoop, v.soundMinDistance, v.soundMaxDistance);
    if (sound_ == nullptr) return;
    XYZData at;
    const PlacementData& p = target.placement;
    GeoMath::LLAToSimXYZ(p.GetLatitude(), p.GetLongitude(), p.GetAltitude(), at);
    if (!std::isfinite(at.x) || !std::isfinite(at.y) || !std::isfinite(at.z)) {
        if (log_) log_->error("SimObject '%s': no valid position for the jetway's sound!", target.objectName.c_str());
        return;
    }
    jetway.SetupSound(*sound_, FolderOf(v.path), at.x, at.y, at.z);
}

const JetwayConfigValues& JetwayConfigCache::Get(const std::string& path)
{
    auto found = values_.find(path);
    if (found == values_.end()) found = values_.emplace(path, JetwayConfig::Parse(path)).first;
    return found->second;
}
