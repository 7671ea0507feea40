// Shared by the aircraft fuzz targets: a machine root in the scratch folder with the aircraft folder
// "C:\Sim\Airplanes\Test\" and the program data folder, and the checks every aircraft configuration
// read must pass whatever its files hold.
#pragma once

#include "aircraft/AircraftConfigData.h"
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
#include <system_error>

namespace velk_fuzz::aircraft {

constexpr const char* kAircraftFolder = "C:\\Sim\\Airplanes\\Test\\";

inline std::filesystem::path MachineRoot() { return ScratchFolder() / "machine"; }
inline std::filesystem::path AircraftHostFolder() { return MachineRoot() / "c" / "Sim" / "Airplanes" / "Test"; }
inline std::filesystem::path DataHostFolder() { return MachineRoot() / "c" / "ProgramData" / "Quorvath" / "VELK"; }

// Makes the folders, names the machine root and quiets the category the readers log to (the log calls
// still run; nothing is written).
inline log4cpp::Category* SetUpMachine()
{
    std::filesystem::create_directories(AircraftHostFolder());
    std::filesystem::create_directories(DataHostFolder());
    setenv("VELK_MACHINE_ROOT", MachineRoot().c_str(), 1);
    log4cpp::Category& log = velk_fuzz::QuietLog("VELK.FUZZ.AIRCRAFT");
    return &log;
}

// Writes (or, with text null, removes) a file; the profile cache forgets what it kept.
inline void PutFile(const std::filesystem::path& path, const std::string_view* text)
{
    std::error_code ignored;
    if (text == nullptr) {
        std::filesystem::remove(path, ignored);
    } else {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text->data(), static_cast<std::streamsize>(text->size()));
        out.close();
        if (!out) Fail("cannot write a machine file", __FILE__, __LINE__);
    }
    platform::ClearProfileCache();
}

inline bool AllFinite(const std::vector<double>& values)
{
    for (const double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

// Same doubles bit for bit (all are finite here; -0 and 0 would compare equal otherwise).
inline bool SameValues(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// What a read must always give: three finite values or none, relative points the sum of point and
// datum, a nose wheel only with its position, at most the numbered-key limit of exits, every exit finite,
// on the left side, front to back, on deck 0 or 1; texts of a value's size without a NUL.
inline void CheckConfig(const AircraftConfigData& config)
{
    const std::vector<double>& datum = config.GetReferenceDatum();
    VELK_FUZZ_CHECK(datum.empty() || datum.size() == 3);
    VELK_FUZZ_CHECK(AllFinite(datum));
    const std::vector<double>& eye = config.GetEyePoint();
    const std::vector<double>& eyeRelative = config.GetEyePointRelative();
    VELK_FUZZ_CHECK(eye.size() == eyeRelative.size() && (eye.empty() || (eye.size() == 3 && datum.size() == 3)));
    const std::vector<double>& nose = config.GetNoseWheel();
    const std::vector<double>& noseRelative = config.GetNoseWheelRelative();
    VELK_FUZZ_CHECK(config.HasNoseWheel() == (nose.size() == 3));
    VELK_FUZZ_CHECK(nose.size() == noseRelative.size() && (nose.empty() || datum.size() == 3));
    VELK_FUZZ_CHECK(config.IsValid() == config.HasNoseWheel());
    for (std::size_t axis = 0; axis < eye.size(); ++axis) VELK_FUZZ_CHECK(eyeRelative[axis] == eye[axis] + datum[axis]);
    for (std::size_t axis = 0; axis < nose.size(); ++axis)
        VELK_FUZZ_CHECK(noseRelative[axis] == nose[axis] + datum[axis]);
    VELK_FUZZ_CHECK(AllFinite(eye) && AllFinite(eyeRelative) && AllFinite(nose) && AllFinite(noseRelative));

    const auto exits = config.GetExits();
    VELK_FUZZ_CHECK(exits.size() == config.GetExitCount());
    VELK_FUZZ_CHECK(exits.size() <= static_cast<std::size_t>(AircraftConfigData::MaxNumberedKeys));
    for (std::size_t i = 0; i < exits.size(); ++i) {
        VELK_FUZZ_CHECK(std::isfinite(exits[i].x) && std::isfinite(exits[i].y) && std::isfinite(exits[i].z));
        VELK_FUZZ_CHECK(exits[i].y < 0.0);
        VELK_FUZZ_CHECK(exits[i].upperDeck <= 1);
        if (i > 0) VELK_FUZZ_CHECK(exits[i - 1].x >= exits[i].x);
    }
    for (const std::string* text : {&config.GetAtcModel(), &config.GetCreatedBy()}) {
        VELK_FUZZ_CHECK(text->size() < 260);
        VELK_FUZZ_CHECK(text->find('\0') == std::string::npos);
    }
}

inline bool SameExits(const AircraftConfigData& a, const AircraftConfigData& b)
{
    const auto ea = a.GetExits();
    const auto eb = b.GetExits();
    if (ea.size() != eb.size()) return false;
    for (std::size_t i = 0; i < ea.size(); ++i) {
        if (ea[i].x != eb[i].x || ea[i].y != eb[i].y || ea[i].z != eb[i].z || ea[i].upperDeck != eb[i].upperDeck)
            return false;
    }
    return true;
}

// Everything a read gives, the same in both.
inline bool SameConfig(const AircraftConfigData& a, const AircraftConfigData& b)
{
    return SameValues(a.GetReferenceDatum(), b.GetReferenceDatum()) && SameValues(a.GetEyePoint(), b.GetEyePoint()) &&
           SameValues(a.GetEyePointRelative(), b.GetEyePointRelative()) &&
           SameValues(a.GetNoseWheel(), b.GetNoseWheel()) &&
           SameValues(a.GetNoseWheelRelative(), b.GetNoseWheelRelative()) && a.HasNoseWheel() == b.HasNoseWheel() &&
           SameExits(a, b) && a.GetAtcModel() == b.GetAtcModel() && a.GetCreatedBy() == b.GetCreatedBy();
}

}  // namespace velk_fuzz::aircraft
