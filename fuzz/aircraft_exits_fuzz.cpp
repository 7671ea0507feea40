// Any text as "AircraftExits.ini" beside a fixed aircraft ("Vendor" / "A320", two main exits of its own
// and a datum). Every read passes the shared checks; the file never changes the datum, eye point, nose
// wheel or ATC model; a file without any "exit." key leaves the aircraft's own exits; reading again gives
// the same.
#include "fuzz/aircraft_support.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace {

using namespace velk_fuzz::aircraft;

log4cpp::Category* g_log = nullptr;

constexpr std::string_view kAircraft =
    "[FLTSIM.0]\ntitle=Test\nui_createdby=Vendor\nsim=A320\n"
    "[General]\natc_model=A320\n"
    "[WEIGHT_AND_BALANCE]\nreference_datum_position = 1.5, 0, -2\n"
    "[Views]\neyepoint = 40, -1.5, 3\n"
    "[contact_points]\npoint.0 = 1, 38, 0, -8, 1500, 0, 0.5, 0, 0.3, 2.5, 0.9, 4, 4, 0, 160, 200\n"
    "[exits]\nexit.0 = 0.4, 35, -6, 4, 0\nexit.1 = 0.4, -25, -6, 4, 0\nexit.2 = 0.4, 30, 6, 4, 0\n";

AircraftConfigData Read()
{
    AircraftConfigData config(g_log);
    config.SetAircraftPath(kAircraftFolder);
    config.ReadAircraftData();
    CheckConfig(config);
    return config;
}

// Any spelling of "exit." in the text, in UTF-16 as well (the NULs dropped).
bool HasExitKey(std::string_view text)
{
    std::string lower(text);
    lower.erase(std::remove(lower.begin(), lower.end(), '\0'), lower.end());
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("exit.") != std::string::npos;
}

AircraftConfigData g_plain;  // the aircraft without a custom file

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_log = SetUpMachine();
    PutFile(AircraftHostFolder() / "aircraft.cfg", &kAircraft);
    PutFile(DataHostFolder() / "AircraftExits.ini", nullptr);
    g_plain = Read();
    if (g_plain.GetExitCount() != 2 || !g_plain.HasNoseWheel() || g_plain.GetEyePoint().size() != 3)
        velk_fuzz::Fail("the fixed aircraft does not read as expected", __FILE__, __LINE__);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    PutFile(DataHostFolder() / "AircraftExits.ini", &text);

    const AircraftConfigData config = Read();
    VELK_FUZZ_CHECK(SameValues(config.GetReferenceDatum(), g_plain.GetReferenceDatum()));
    VELK_FUZZ_CHECK(SameValues(config.GetEyePointRelative(), g_plain.GetEyePointRelative()));
    VELK_FUZZ_CHECK(SameValues(config.GetNoseWheelRelative(), g_plain.GetNoseWheelRelative()));
    VELK_FUZZ_CHECK(config.GetAtcModel() == g_plain.GetAtcModel());
    if (!HasExitKey(text)) VELK_FUZZ_CHECK(SameExits(config, g_plain));

    AircraftConfigData again = config;
    again.ReadAircraftData();
    VELK_FUZZ_CHECK(SameConfig(again, config));
    return 0;
}
