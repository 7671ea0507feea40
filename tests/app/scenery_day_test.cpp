// orvane over the sample machine, start to finish in one process: what the simulator holds after each
// bubble update, a rebuild while creations are in flight, and "Reload All!" against a fresh start.
#include "tests/app/ProgramHarness.h"

#include "objects/SimObjectList.h"

#include <gtest/gtest.h>

using namespace programtest;

namespace {

TEST(SceneryDay, ObjectsAppearWhenTheBubbleReachesTheAirport)
{
    ProgramHarness program;
    program.Start();
    program.PlaceUser(kXvlkLatitude, kXvlkLongitude, kXvlkAltitudeFeet);
    program.Run(5000);
    for (const auto& line : program.Log().Lines()) std::printf("%s\n", line.c_str());
    for (const auto& t : program.CreatedTitles()) std::printf("OBJ %s\n", t.c_str());
    EXPECT_FALSE(program.CreatedTitles().empty());
}

}  // namespace
