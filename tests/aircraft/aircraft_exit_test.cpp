// Aircraft exits: defaults, construction from a door record, door numbers, lookups and exit order.
#include "aircraft/ExitData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(const ExitList& list)
{
    std::vector<std::string> names;
    for (const auto& entry : list) names.push_back(entry.first);
    return names;
}

ExitData At(double x)
{
    ExitData exit;
    exit.x = x;
    return exit;
}

TEST(ExitDataTest, DefaultExitHasNoJetwayAndDefaultDoorParameters)
{
    const ExitData exit;
    EXPECT_EQ(exit.x, 0.0);
    EXPECT_EQ(exit.y, 0.0);
    EXPECT_EQ(exit.z, 0.0);
    EXPECT_EQ(exit.GetJetwayId(), -1);
    EXPECT_EQ(exit.GetDoorHeight(), 2.0);
    EXPECT_EQ(exit.GetVerticalOffset(), 0.0);
    EXPECT_EQ(exit.GetDoorAngle(), 0.0);
    EXPECT_EQ(exit.GetDoorValue4(), 4.0);
    EXPECT_EQ(exit.GetDoorValue5(), 4.0);
}

TEST(ExitDataTest, FromDoorRecordTakesThePositionOnly)
{
    const AircraftParameters::DoorData door(12.5, -1.75, 3.25, true);
    const ExitData exit(door);
    EXPECT_EQ(exit.x, 12.5);
    EXPECT_EQ(exit.y, -1.75);
    EXPECT_EQ(exit.z, 3.25);
    EXPECT_EQ(exit.GetJetwayId(), -1);
    EXPECT_EQ(exit.GetDoorHeight(), 2.0);
    EXPECT_EQ(exit.GetDoorValue5(), 4.0);
}

TEST(ExitDataTest, CopyAndAssignmentCarryEveryField)
{
    ExitData exit(AircraftParameters::DoorData(1.0, -2.0, 3.0, false));
    exit.SetJetwayId(4711);
    exit.SetDoorParameters(1.9, 0.3, 12.0, 5.5, 6.5);

    const ExitData copy(exit);
    ExitData assigned;
    assigned = exit;
    for (const ExitData* e : std::vector<const ExitData*>{&copy, &assigned}) {
        EXPECT_EQ(e->x, 1.0);
        EXPECT_EQ(e->y, -2.0);
        EXPECT_EQ(e->z, 3.0);
        EXPECT_EQ(e->GetJetwayId(), 4711);
        EXPECT_EQ(e->GetDoorHeight(), 1.9);
        EXPECT_EQ(e->GetVerticalOffset(), 0.3);
        EXPECT_EQ(e->GetDoorAngle(), 12.0);
        EXPECT_EQ(e->GetDoorValue4(), 5.5);
        EXPECT_EQ(e->GetDoorValue5(), 6.5);
    }
}

TEST(ExitDataTest, DoorParametersFromARecordKeepTheirOrder)
{
    ExitData exit;
    exit.SetDoorParameters(DoorParameters{1.0, 2.0, 3.0, 4.5, 5.5});
    EXPECT_EQ(exit.GetDoorHeight(), 1.0);
    EXPECT_EQ(exit.GetVerticalOffset(), 2.0);
    EXPECT_EQ(exit.GetDoorAngle(), 3.0);
    EXPECT_EQ(exit.GetDoorValue4(), 4.5);
    EXPECT_EQ(exit.GetDoorValue5(), 5.5);
}

struct DoorNumberCase {
    std::string name;
    int32_t number;
};

TEST(ExitDataTest, DoorNumbers)
{
    const DoorNumberCase cases[] = {
        {"1L", 1},
        {"2L", 2},
        {"1L Upper", 11},
        {"3L Upper", 13},
        {"12L", 12},
        {"2R", 2},
        {"L", 0},
        {"", -1},
        {"1L upper", 1},                       // "Upper" is matched as written
        {"2147483637L", 2147483637},           // the largest that still takes the upper-deck 10
        {"2147483638L", -1},                   // too large
        {"99999999999999999999L Upper", -1},  // overflows int: no wrap-around
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExitData::GetDoorNumber(c.name), c.number) << "'" << c.name << "'";
    }
}

TEST(ExitMapTest, LookupOfAMissingDoorAddsNothing)
{
    ExitMap exits{{"1L", At(20.0)}, {"2L", At(5.0)}};
    EXPECT_EQ(FindExit(exits, "3L"), nullptr);
    EXPECT_EQ(FindExit(exits, "1l"), nullptr);
    const ExitMap& constExits = exits;
    EXPECT_EQ(FindExit(constExits, "1L Upper"), nullptr);
    EXPECT_EQ(exits.size(), 2u);

    ExitData* found = FindExit(exits, "2L");
    ASSERT_NE(found, nullptr);
    found->SetJetwayId(7);
    EXPECT_EQ(exits.at("2L").GetJetwayId(), 7);
}

struct OrderCase {
    const char* label;
    ExitMap exits;
    std::vector<std::string> docking;
};

TEST(ExitMapTest, DockingAndUndockingOrder)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const OrderCase cases[] = {
        {"empty", {}, {}},
        {"one exit", {{"1L", At(3.0)}}, {"1L"}},
        {"x 5, 20, -3", {{"1L", At(5.0)}, {"2L", At(20.0)}, {"3L", At(-3.0)}}, {"2L", "1L", "3L"}},
        {"upper deck among main deck",
         {{"1L", At(10.0)}, {"2L", At(-4.0)}, {"1L Upper", At(2.0)}},
         {"1L", "1L Upper", "2L"}},
        // Equal x: the order of the names, in both directions reversed consistently.
        {"equal x", {{"2L", At(1.0)}, {"1L", At(1.0)}, {"3L", At(8.0)}}, {"3L", "1L", "2L"}},
        // A position that is not a number must not break the sort: it goes last.
        {"not a number", {{"1L", At(nan)}, {"2L", At(-1.0)}, {"3L", At(4.0)}}, {"3L", "2L", "1L"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ExitList docking = SortExitsForDocking(c.exits);
        EXPECT_EQ(Names(docking), c.docking);
        std::vector<std::string> undocking(c.docking.rbegin(), c.docking.rend());
        EXPECT_EQ(Names(SortExitsForUndocking(c.exits)), undocking);
    }
}

TEST(ExitMapTest, SortedListCarriesTheExitsWhole)
{
    ExitData exit = At(6.0);
    exit.SetJetwayId(42);
    exit.SetDoorParameters(1.5, 0.25, 5.0, 3.0, 2.0);
    const ExitList list = SortExitsForDocking({{"1L", exit}, {"2L", At(1.0)}});
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].second.GetJetwayId(), 42);
    EXPECT_EQ(list[0].second.GetDoorAngle(), 5.0);
    EXPECT_EQ(list[1].second.GetJetwayId(), -1);
}

}  // namespace
