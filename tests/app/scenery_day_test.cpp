// orvane over the sample machine, start to finish in one process: what the simulator holds after each
// bubble update (a table over dates, times, weather and positions), a rebuild while creations are in
// flight, and "Reload All!" against a fresh start.
#include "tests/app/ProgramHarness.h"

#include "objects/EnviroDataProbe.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace programtest;

namespace {

// The sample airport's objects that are there whatever the date, time and weather (the jetways and
// displays of the stands show their static models; the carts are a group shown on load, each with one
// model; the radio-switched floodlights wait for their clicks). Terminal 2's stand B11 comes from the
// custom configuration's SDX file.
const std::multiset<std::string> kAlwaysAtXvlk = {
    "Quorvath_VELK_Barrier",        "Quorvath_VELK_BaggageCart",    "Quorvath_VELK_BaggageCart",
    "Quorvath_VELK_BaggageCart",    "Quorvath_VELK_EnviroProbe",    "Quorvath_VELK_GPU",
    "Quorvath_VELK_GateNumberBox",  "Quorvath_VELK_GateNumberBox",  "Quorvath_VELK_JetwayA_Static",
    "Quorvath_VELK_JetwayA_Static", "Quorvath_VELK_JetwayA_Static", "Quorvath_VELK_JetwayA_Static",
    "Quorvath_VELK_JetwayN_Static", "Quorvath_VELK_JetwayN_Static", "Quorvath_VELK_JetwayN_Static",
    "Quorvath_VELK_StairTruck",     "Quorvath_VELK_VDGS_Static",    "Quorvath_VELK_VDGS_Static",
    "Quorvath_VELK_VDGS_Static",    "Quorvath_VELK_VDGS_Static",    "Quorvath_VELK_Windsock",
    // Pier B (XVLK_PierB.xml): stands B21..B23.
    "Quorvath_VELK_JetwayT_Static", "Quorvath_VELK_JetwayT_Static", "Quorvath_VELK_JetwayH_Static",
    "Quorvath_VELK_JetwayH_Static", "Quorvath_VELK_JetwayH_Static", "Quorvath_VELK_JetwayH_Static",
    "Quorvath_VELK_VDGS_Static",    "Quorvath_VELK_VDGS_Static",    "Quorvath_VELK_VDGS_Static",
};

struct LocalTime {
    int year, month, dayOfMonth, dayOfYear, dayOfWeek;  // day of week 0 = Sunday
    int minutes;                                        // local time of day
    int timeOfDay;                                      // as the simulator counts: 0 dawn, 1 day, 2 dusk, 3 night
};

// The date and time variables the program asks for, on the user aircraft; time zone offset 0.
void SetLocalTime(simulator::Simulator& sim, const LocalTime& t)
{
    sim.SetNumber(0, "LOCAL YEAR", "Number", t.year);
    sim.SetNumber(0, "LOCAL MONTH OF YEAR", "Number", t.month);
    sim.SetNumber(0, "LOCAL DAY OF MONTH", "Number", t.dayOfMonth);
    sim.SetNumber(0, "LOCAL DAY OF YEAR", "Number", t.dayOfYear);
    // The newer platforms count the weekday from 1.
    sim.SetNumber(0, "LOCAL DAY OF WEEK", "Number", t.dayOfWeek + 1);
    sim.SetNumber(0, "ZULU TIME", "Minutes", t.minutes);
    sim.SetNumber(0, "TIME ZONE OFFSET", "Minutes", 0);
    sim.SetNumber(0, "TIME OF DAY", "Enum", t.timeOfDay);
}

constexpr LocalTime kSummerWednesdayNoon{2026, 7, 15, 196, 3, 12 * 60, 1};
constexpr LocalTime kSummerSundayNoon{2026, 7, 19, 200, 0, 12 * 60, 1};
constexpr LocalTime kSummerWednesdayNight{2026, 7, 15, 196, 3, 23 * 60, 3};
constexpr LocalTime kWinterMondayDawn{2026, 1, 12, 12, 1, 7 * 60, 0};

struct DayCase {
    const char* name;
    LocalTime time;
    double latitude, longitude, altitude;
    bool atXvlk;
    std::multiset<std::string> conditional;  // besides the objects that are always there
};

class SceneryDay : public ::testing::TestWithParam<DayCase> {};

TEST_P(SceneryDay, TheSimulatorHoldsTheObjectsWhoseConditionsHold)
{
    const DayCase& c = GetParam();
    ProgramHarness program;
    SetLocalTime(program.Sim(), c.time);
    program.Start();
    program.PlaceUser(c.latitude, c.longitude, c.altitude);
    program.Run(6000);

    std::multiset<std::string> expected = c.conditional;
    if (c.atXvlk) expected.insert(kAlwaysAtXvlk.begin(), kAlwaysAtXvlk.end());
    const std::vector<std::string> titles = program.CreatedTitles();
    EXPECT_EQ(std::multiset<std::string>(titles.begin(), titles.end()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sample, SceneryDay,
    ::testing::Values(
        DayCase{"WorkdayNoon", kSummerWednesdayNoon, kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet, true,
                {"Quorvath_VELK_Flag"}},
        DayCase{"SundayNoon", kSummerSundayNoon, kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet, true, {}},
        DayCase{"WorkdayNight", kSummerWednesdayNight, kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet, true,
                {"Quorvath_VELK_Beacon"}},
        DayCase{"WinterDawn", kWinterMondayDawn, kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet, true,
                {"Quorvath_VELK_Beacon", "Quorvath_VELK_Flag", "Quorvath_VELK_SnowPlow"}},
        // 30 km east: the bubble's 40 km still holds the airport.
        DayCase{"ThirtyKilometresOut", kSummerWednesdayNoon, kXvlkLatitude, kXvlkLongitude + 0.4, 3000, true,
                {"Quorvath_VELK_Flag"}},
        DayCase{"FarAway", kSummerWednesdayNoon, kXvlkLatitude + 2.0, kXvlkLongitude, 3000, false, {}},
        // Above the ceiling the bubble is empty.
        DayCase{"AboveTheCeiling", kSummerWednesdayNoon, kXvlkLatitude, kXvlkLongitude, 25000, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Title and object id of every object the program holds in the simulator, from its own lists.
std::map<DWORD, std::string> HeldObjects()
{
    std::map<DWORD, std::string> held;
    SimObjectList& active = *program::Parts().activeObjects;
    for (int32_t i = 0; i < active.Count(); ++i) {
        const SimObject* object = active.At(i);
        if (object->IsInSimulation()) held[object->GetObjectId()] = object->GetCurrentSimTitle();
    }
    EnviroDataProbeList& probes = *program::Parts().activeProbes;
    for (int32_t i = 0; i < probes.Count(); ++i)
        if (probes.At(i)->IsInSimulation()) held[probes.At(i)->GetObjectId()] = probes.At(i)->GetCurrentSimTitle();
    return held;
}

// Every simulated object the program created is held by exactly one object of its lists, and every
// object of its lists that says it is in the simulation is there.
void ExpectNothingTwiceNothingOrphaned(ProgramHarness& program)
{
    const std::map<DWORD, std::string> held = HeldObjects();
    std::map<DWORD, std::string> inSimulator;
    for (const simulator::ObjectInfo& info : program.Sim().Objects())
        if (info.createdBy == "Orvane VELK") inSimulator[info.id] = info.title;
    EXPECT_EQ(held, inSimulator);
}

TEST(SceneryRebuild, ARebuildWhileCreationsAreInFlightLeavesNothingTwiceAndNothingOrphaned)
{
    ProgramHarness program;
    SetLocalTime(program.Sim(), kSummerWednesdayNoon);
    program.Sim().SetCreationDelayFrames(10);
    program.Start();
    program.PlaceUser(kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet);
    // The first creations are sent and not yet answered.
    program.Run(300);
    ASSERT_TRUE(program::Parts().injectionQueue->HasRequests());
    ASSERT_TRUE(program.Sim().ChooseAddonMenuItem("VELK 1.7.1", "Reload All!"));
    program.Run(12000);

    ExpectNothingTwiceNothingOrphaned(program);
    std::multiset<std::string> expected = kAlwaysAtXvlk;
    expected.insert("Quorvath_VELK_Flag");
    const std::vector<std::string> titles = program.CreatedTitles();
    EXPECT_EQ(std::multiset<std::string>(titles.begin(), titles.end()), expected);
}

TEST(SceneryRebuild, ReloadAllGivesTheObjectsOfAFreshStart)
{
    std::vector<std::string> fresh;
    {
        ProgramHarness program;
        SetLocalTime(program.Sim(), kSummerWednesdayNoon);
        program.Start();
        program.PlaceUser(kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet);
        program.Run(6000);
        fresh = program.CreatedTitles();
    }
    ProgramHarness program;
    SetLocalTime(program.Sim(), kSummerWednesdayNoon);
    program.Start();
    program.PlaceUser(kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet);
    program.Run(6000);
    const int objectsRead = program::Parts().allObjects->Count();
    ASSERT_TRUE(program.Sim().ChooseAddonMenuItem("VELK 1.7.1", "Reload All!"));
    program.Run(6000);

    EXPECT_EQ(program.CreatedTitles(), fresh);
    EXPECT_EQ(program::Parts().allObjects->Count(), objectsRead);
    ExpectNothingTwiceNothingOrphaned(program);
}

TEST(SceneryRebuild, TimePassingAcrossAConditionBoundaryShowsAndHides)
{
    ProgramHarness program;
    SetLocalTime(program.Sim(), kSummerWednesdayNoon);
    program.Start();
    program.PlaceUser(kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet);
    program.Run(6000);
    auto count = [&](const std::string& title) {
        const auto titles = program.CreatedTitles();
        return std::count(titles.begin(), titles.end(), title);
    };
    ASSERT_EQ(count("Quorvath_VELK_Flag"), 1);
    ASSERT_EQ(count("Quorvath_VELK_Beacon"), 0);

    SetLocalTime(program.Sim(), kSummerWednesdayNight);
    program.Run(3000);
    EXPECT_EQ(count("Quorvath_VELK_Flag"), 0);
    EXPECT_EQ(count("Quorvath_VELK_Beacon"), 1);
    ExpectNothingTwiceNothingOrphaned(program);
}

}  // namespace

