// The sim-bubble cycle over the sample machine with an extra field of plain objects far from the airport:
// creation paced in batches of ten, the probes after the last batch, the end-of-creation event, the
// position initialisation and the protection zone.
#include "tests/app/ProgramHarness.h"

#include "link/SimConnectIds.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"
#include "scenery/SimBubble.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

using namespace programtest;

namespace {

// A field of plain objects at 10 N 10 E, 30 m apart, and optionally weather probes among them.
constexpr double kFieldLatitude = 10.0;
constexpr double kFieldLongitude = 10.0;

std::string Field(int objects, int probes)
{
    std::ostringstream xml;
    xml << "<VELK>\n";
    for (int i = 0; i < objects; ++i)
        xml << "<SimObject Name=\"Cone " << i << "\"><Placement Lat=\"" << kFieldLatitude + i * 0.0003
            << "\" Lon=\"" << kFieldLongitude << "\" Alt=\"100\" Hdg=\"0\"/><Model SimTitle=\"Quorvath_VELK_Beacon\"/>"
            << "</SimObject>\n";
    for (int i = 0; i < probes; ++i)
        xml << "<SimObject Name=\"Field Probe " << i << "\"><Placement Lat=\"" << kFieldLatitude << "\" Lon=\""
            << kFieldLongitude + i * 0.0003 << "\" Alt=\"100\" Hdg=\"0\"/><Model SimTitle=\"Quorvath_VELK_EnviroProbe\">"
            << "<EnvironmentalDataProbe ClientList=\"ALL_JETWAYS\"/></Model></SimObject>\n";
    xml << "</VELK>\n";
    return xml.str();
}

// Runs frame by frame and records each object count the simulator held.
std::vector<size_t> CountsWhileCreating(ProgramHarness& program, int frames)
{
    std::vector<size_t> counts;
    for (int i = 0; i < frames; ++i) {
        program.Run(50);
        const size_t now = program.CreatedTitles().size();
        if (counts.empty() || counts.back() != now) counts.push_back(now);
    }
    return counts;
}

struct BatchCase {
    const char* name;
    int objects;
    bool probe;
    std::vector<size_t> counts;  // the simulator's object counts as creation goes on
};

class BubbleBatches : public ::testing::TestWithParam<BatchCase> {};

TEST_P(BubbleBatches, CreationGoesInBatchesOfTenThenTheProbes)
{
    const BatchCase& c = GetParam();
    ProgramHarness program;
    program.AddFile("c/ProgramData/Quorvath/VELK/xml/FIELD/Field.xml", Field(c.objects, c.probe));
    program.Sim().SetCreationDelayFrames(3);
    program.Start();
    program.PlaceUser(kFieldLatitude, kFieldLongitude, 100.0);
    EXPECT_EQ(CountsWhileCreating(program, 120), c.counts);
}

INSTANTIATE_TEST_SUITE_P(
    Field, BubbleBatches,
    ::testing::Values(BatchCase{"TwentyFive", 25, true, {0, 10, 20, 25, 26}},
                      BatchCase{"Seven", 7, true, {0, 7, 8}},
                      BatchCase{"SevenWithoutProbe", 7, false, {0, 7}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Bubble, NothingToCreateEndsTheCreationAtOnce)
{
    ProgramHarness program;
    program.Start();
    // Far from every placed object.
    program.PlaceUser(-30.0, -60.0, 100.0);
    program.Run(3000);
    EXPECT_TRUE(program.CreatedTitles().empty());
    EXPECT_TRUE(program::Parts().injectionQueue->IsCancelled());
    EXPECT_GE(program.ModuleResets(), 1);
}

TEST(Bubble, TheAircraftFarAwayLeavesNothingBehind)
{
    ProgramHarness program;
    program.AddFile("c/ProgramData/Quorvath/VELK/xml/FIELD/Field.xml", Field(12, false));
    program.Start();
    program.PlaceUser(kFieldLatitude, kFieldLongitude, 100.0);
    program.Run(4000);
    ASSERT_EQ(program.CreatedTitles().size(), 12u);
    // Half a degree north, about 55 km: far beyond the 18 km that start a new cycle.
    program.PlaceUser(kFieldLatitude + 0.5, kFieldLongitude, 100.0);
    program.Run(4000);
    EXPECT_TRUE(program.CreatedTitles().empty());
}

// The sample airport lies in a protection zone, which holds the bubble while the aircraft moves within it
// below the ceiling. Crossing the ceiling is another matter: down through it inside the zone, the bubble
// is rebuilt all the same.
TEST(Bubble, CrossingTheCeilingInsideAProtectionZoneRebuilds)
{
    ProgramHarness program;
    program.Start();
    program.PlaceUser(kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet);
    program.Run(4000);
    ASSERT_FALSE(program.CreatedTitles().empty());
    int resets = program.ModuleResets();
    program.PlaceUser(kXvlkLatitude, kXvlkLongitude, 20000.0);
    program.Run(4000);
    EXPECT_GT(program.ModuleResets(), resets) << "up through the ceiling";
    resets = program.ModuleResets();
    program.PlaceUser(kXvlkLatitude, kXvlkLongitude, 17000.0);
    program.Run(4000);
    EXPECT_GT(program.ModuleResets(), resets) << "down through the ceiling, inside the zone";
}

// The rebuild stops each probe's own weather request: every request stopped is one the program started,
// on the object it was started on, and no probe's request runs on after its object is gone.
TEST(Bubble, TheRebuildStopsEachProbesOwnWeatherRequest)
{
    ProgramHarness program;
    program.AddFile("c/ProgramData/Quorvath/VELK/xml/FIELD/Field.xml", Field(3, 3));
    program.Sim().SetTimelineRegistrations(true);
    program.Start();
    program.PlaceUser(kFieldLatitude, kFieldLongitude, 100.0);
    program.Run(4000);
    ASSERT_EQ(program.CreatedTitles().size(), 6u);

    // "requests data 9 on object ... every second ... (request N)", "stops request N of data 9 on object ..."
    const std::regex started(R"(requests data 9 on (object .*?) every second.*\(request (\d+)\))");
    const std::regex stopped(R"(stops request (\d+) of data 9 on (object .*)$)");
    using Requests = std::set<std::pair<std::string, std::string>>;  // object, request
    const auto collect = [&](const std::regex& pattern, int object, int request) {
        Requests found;
        for (const std::string& line : program.Sim().Timeline()) {
            std::smatch m;
            if (std::regex_search(line, m, pattern)) found.insert({m[object].str(), m[request].str()});
        }
        return found;
    };
    const Requests starts = collect(started, 1, 2);
    ASSERT_EQ(starts.size(), 3u);
    program.Sim().ClearTimeline();
    // Far enough for a new bubble: the old objects are removed.
    program.PlaceUser(kFieldLatitude + 0.5, kFieldLongitude, 100.0);
    program.Run(4000);
    EXPECT_EQ(collect(stopped, 2, 1), starts);
    EXPECT_FALSE(program.Log().Has("EXCEPTION"));
}

}  // namespace
