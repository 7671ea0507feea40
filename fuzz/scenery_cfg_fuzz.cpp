// Any text as the simulator's scenery.cfg, where the scenery library finds it on a machine with
// Prepar3D v3. The area list must be the file's section list without its first section, whatever its
// length (the list buffer grows while it does not fit); lookups by folder answer from the first area
// of that folder and its "Active" value; a platform without a library has no areas.
#include "scenery/SceneryLibrary.h"

#include "platform/profile.h"

#include "fuzz/fuzz_support.h"
#include "fuzz/quiet_log.h"

#include <log4cpp/Category.hh>
#include <log4cpp/Priority.hh>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kDataFolder = "C:\\ProgramData\\Lockheed Martin\\Prepar3D v3\\";
// Lookups read every area before the one found: only the first areas of a long list are tried.
constexpr size_t kMaxLookups = 12;

std::filesystem::path ConfigHostPath()
{
    return velk_fuzz::ScratchFolder() / "machine" / "c" / "ProgramData" / "Lockheed Martin" / "Prepar3D v3" /
           "scenery.cfg";
}

// The section names of the text, as the profile functions list them from memory.
std::vector<std::string> SectionsOfText(std::string_view text)
{
    std::vector<char> buffer(text.size() * 2 + 16);
    const DWORD length = platform::ProfileStringFromText(text, nullptr, nullptr, "", buffer.data(),
                                                         static_cast<DWORD>(buffer.size()));
    VELK_FUZZ_CHECK(length + 2 < buffer.size());  // never cut: a name is never longer than its text
    std::vector<std::string> names;
    for (size_t pos = 0; pos < length;) {
        const size_t n = strnlen(buffer.data() + pos, length - pos);
        if (n == 0) break;
        names.emplace_back(buffer.data() + pos, n);
        pos += n + 1;
    }
    return names;
}

std::string Value(const std::string& section, const char* key, DWORD size)
{
    std::vector<char> buffer(size);
    GetPrivateProfileStringA(section.c_str(), key, "", buffer.data(), size,
                             (std::string(kDataFolder) + "scenery.cfg").c_str());
    return buffer.data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::filesystem::create_directories(ConfigHostPath().parent_path());
    setenv("VELK_MACHINE_ROOT", (velk_fuzz::ScratchFolder() / "machine").c_str(), 1);
    velk_fuzz::QuietLog("VELK.XML");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(ConfigHostPath(), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    // An old file, as scenery.cfg is: the profile functions keep it after the first read.
    std::filesystem::last_write_time(ConfigHostPath(),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    platform::ClearProfileCache();

    std::vector<std::string> expected = SectionsOfText(text);
    if (!expected.empty()) expected.erase(expected.begin());  // the file's first section is no area

    SceneryLibrary library;
    library.Load("P3Dv3");
    VELK_FUZZ_CHECK(library.DataFolder() == kDataFolder);
    VELK_FUZZ_CHECK(library.GetSections() == expected);
    for (const std::string& name : library.GetSections()) {
        VELK_FUZZ_CHECK(!name.empty() && name.size() <= size + size / 2);  // UTF-16 text grows by half
        VELK_FUZZ_CHECK(name.find('\0') == std::string::npos);
    }

    // An empty folder is no area, even where areas have no "Local".
    VELK_FUZZ_CHECK(!library.IsSceneryActive(""));
    VELK_FUZZ_CHECK(library.GetAreaIndex() == -1);

    const std::vector<std::string>& areas = library.GetSections();
    for (size_t i = 0; i < areas.size() && i < kMaxLookups; ++i) {
        const std::string local = Value(areas[i], "Local", 260);
        if (local.empty()) continue;
        const bool active = library.IsSceneryActive(local);
        const int32_t found = library.GetAreaIndex();
        VELK_FUZZ_CHECK(found >= 0 && static_cast<size_t>(found) <= i);
        VELK_FUZZ_CHECK(Value(areas[static_cast<size_t>(found)], "Local", 260) == local);
        VELK_FUZZ_CHECK(active == (Value(areas[static_cast<size_t>(found)], "Active", 16) == "TRUE"));
    }

    // Loading again gives the same list; a platform without a library and Clear leave none.
    library.Load("P3Dv3");
    VELK_FUZZ_CHECK(library.GetSections() == expected);
    library.Load("P3Dv4");
    VELK_FUZZ_CHECK(library.GetSections().empty());
    VELK_FUZZ_CHECK(!library.IsSceneryActive("Scenery\\World"));
    library.Load("P3Dv3");
    library.Clear();
    VELK_FUZZ_CHECK(library.GetSections().empty() && library.GetPlatformId().empty());
    return 0;
}
