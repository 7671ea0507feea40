// Any text as "AircraftParameters.ini" in the program data folder, read by ReadParameters. The type list
// is the file's section list cut at the type limit; the door map holds at most the entry limit, each
// under a listed type, with five finite numbers; reading again gives the same map at the same address, a
// missing file leaves it empty, and an aircraft finds its doors through it.
#include "aircraft/AircraftParameters.h"

#include "fuzz/aircraft_support.h"

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace velk_fuzz::aircraft;

log4cpp::Category* g_log = nullptr;

// The section names of the text, as the profile functions list them from memory.
std::vector<std::string> SectionsOfText(std::string_view text)
{
    std::vector<char> buffer(text.size() * 2 + 16);
    const DWORD length = platform::ProfileStringFromText(text, nullptr, nullptr, "", buffer.data(),
                                                         static_cast<DWORD>(buffer.size()));
    std::vector<std::string> names;
    for (size_t pos = 0; pos < length;) {
        const size_t n = strnlen(buffer.data() + pos, length - pos);
        if (n == 0) break;
        names.emplace_back(buffer.data() + pos, n);
        pos += n + 1;
    }
    return names;
}

bool SameDoor(const DoorParameters& a, const DoorParameters& b)
{
    return std::memcmp(&a, &b, sizeof(DoorParameters)) == 0;
}

bool Finite(const DoorParameters& d)
{
    return std::isfinite(d.doorHeight) && std::isfinite(d.verticalOffset) && std::isfinite(d.doorAngle) &&
           std::isfinite(d.doorValue4) && std::isfinite(d.doorValue5);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_log = SetUpMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path file = DataHostFolder() / "AircraftParameters.ini";
    PutFile(file, &text);

    AircraftParameters parameters(g_log);
    parameters.ReadParameters();
    const AircraftParameters::DoorMap* doors = parameters.GetDoorMap();
    const std::vector<std::string>& types = *parameters.GetTypeList();

    std::vector<std::string> expected = SectionsOfText(text);
    if (expected.size() > AircraftParameters::MaxTypes) expected.resize(AircraftParameters::MaxTypes);
    // The list stops with the type at which the entry limit was reached.
    VELK_FUZZ_CHECK(types.size() <= expected.size());
    VELK_FUZZ_CHECK(std::equal(types.begin(), types.end(), expected.begin()));

    VELK_FUZZ_CHECK(doors->size() <= AircraftParameters::MaxDoorEntries);
    for (const auto& [name, door] : *doors) {
        VELK_FUZZ_CHECK(Finite(door));
        bool listed = false;
        for (const std::string& type : types)
            listed = listed || (name.size() > type.size() && name.compare(0, type.size(), type) == 0 &&
                                name[type.size()] == ':');
        VELK_FUZZ_CHECK(listed);
    }

    // An aircraft of the first door's type finds that door's record in the map itself.
    if (!doors->empty()) {
        const auto& [name, door] = *doors->begin();
        for (const std::string& type : types) {
            if (name.compare(0, type.size() + 1, type + ":") != 0) continue;
            AircraftConfigData config;
            config.SetDoorParameters(doors);
            config.SetICAOType(type);
            VELK_FUZZ_CHECK(config.GetDoorParameters(name.substr(type.size() + 1)) == &door);
            break;
        }
    }

    // Reading again gives the same, in the same map.
    const AircraftParameters::DoorMap first = *doors;
    const std::vector<std::string> firstTypes = types;
    parameters.ReadParameters();
    VELK_FUZZ_CHECK(parameters.GetDoorMap() == doors);
    VELK_FUZZ_CHECK(*parameters.GetTypeList() == firstTypes);
    VELK_FUZZ_CHECK(doors->size() == first.size());
    for (auto a = doors->begin(), b = first.begin(); a != doors->end(); ++a, ++b)
        VELK_FUZZ_CHECK(a->first == b->first && SameDoor(a->second, b->second));

    // Without the file nothing is left.
    PutFile(file, nullptr);
    parameters.ReadParameters();
    VELK_FUZZ_CHECK(doors->empty() && parameters.GetTypeList()->empty());
    return 0;
}
