// Any text as an aircraft's "aircraft.cfg", then as its "sim.cfg", read through ReadAircraftData from a
// machine root whose "AircraftExits.ini" has one fixed section. Every read passes the shared checks; a
// second read into the same object, and the read of the same text as "sim.cfg", give the same values; a
// folder without either file (or one whose name holds a NUL) leaves the values as they were.
#include "fuzz/aircraft_support.h"

#include <string>
#include <string_view>

namespace {

using namespace velk_fuzz::aircraft;

log4cpp::Category* g_log = nullptr;

constexpr std::string_view kCustomExits =
    "[Fuzz Vendor:Fuzz]\n"
    "exit.0 = 0.4, 40.0, -6.0, 4.0, 0\n"
    "exit.1 = 0.4, -30.0, -6.0, 4.5, 0\n";

AircraftConfigData ReadFrom(const char* folder)
{
    AircraftConfigData config(g_log);
    config.SetAircraftPath(folder);
    config.ReadAircraftData();
    CheckConfig(config);
    return config;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_log = SetUpMachine();
    PutFile(DataHostFolder() / "AircraftExits.ini", &kCustomExits);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    PutFile(AircraftHostFolder() / "aircraft.cfg", &text);
    AircraftConfigData fromAircraft = ReadFrom(kAircraftFolder);
    // Reading again starts from nothing left over by the first read.
    AircraftConfigData again = fromAircraft;
    again.ReadAircraftData();
    VELK_FUZZ_CHECK(SameConfig(again, fromAircraft));

    PutFile(AircraftHostFolder() / "aircraft.cfg", nullptr);
    PutFile(AircraftHostFolder() / "sim.cfg", &text);
    const AircraftConfigData fromSim = ReadFrom(kAircraftFolder);
    VELK_FUZZ_CHECK(SameConfig(fromSim, fromAircraft));

    // A folder without configuration files changes nothing.
    AircraftConfigData moved = fromSim;
    moved.SetAircraftPath("C:\\Sim\\Airplanes\\None\\");
    moved.ReadAircraftData();
    VELK_FUZZ_CHECK(SameConfig(moved, fromSim));
    // Nor does a folder whose name holds a NUL, though the part before it names the aircraft's folder.
    moved.SetAircraftPath(std::string(kAircraftFolder) + std::string(1, '\0') + "x\\");
    moved.ReadAircraftData();
    VELK_FUZZ_CHECK(SameConfig(moved, fromSim));
    PutFile(AircraftHostFolder() / "sim.cfg", nullptr);
    return 0;
}
