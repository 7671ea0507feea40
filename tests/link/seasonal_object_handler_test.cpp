#include "link/SeasonalObjectHandler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(SeasonalObjectHandler, BeforeTheFirstAnswerOnlyTheDayOfWeekIsSet)
{
    SeasonalObjectHandler h;
    EXPECT_EQ(7, h.GetDayOfWeek());
    EXPECT_EQ(0, h.GetMonthOfYear());
    EXPECT_EQ(0, h.GetTimeOfDay());
    EXPECT_EQ(0, h.GetDayOfMonth());
    EXPECT_EQ(0, h.GetDayOfYear());
    EXPECT_EQ(0, h.GetTimeZoneOffset());
    EXPECT_EQ(0, h.GetZuluTime());
    EXPECT_EQ(0, h.GetLocalYear());
    EXPECT_FALSE(h.IsInitialised());
    EXPECT_FALSE(h.IsChanged());
}

struct RoundingCase {
    const char* what;
    double value;
    int32_t expected;
};

TEST(SeasonalObjectHandler, MonthRoundsHalvesUp)
{
    const RoundingCase cases[] = {
        {"half", 6.5, 7}, {"below half", 6.49, 6}, {"whole", 12.0, 12}, {"just below whole", 11.9999, 12},
    };
    for (const auto& c : cases) {
        SeasonalObjectHandler h;
        h.SetMonthOfYear(c.value);
        EXPECT_EQ(c.expected, h.GetMonthOfYear()) << c.what;
    }
}

TEST(SeasonalObjectHandler, DaysOfMonthAndYearAreTruncated)
{
    SeasonalObjectHandler h;
    h.SetDayOfMonth(14.99);
    h.SetDayOfYear(365.9);
    EXPECT_EQ(14, h.GetDayOfMonth());
    EXPECT_EQ(365, h.GetDayOfYear());
}

TEST(SeasonalObjectHandler, DayOfWeekDependsOnThePlatformCounting)
{
    SeasonalObjectHandler p3d;
    p3d.SetDayOfWeek(3.0, false);  // P3Dv3..v5 count one higher
    EXPECT_EQ(2, p3d.GetDayOfWeek());

    SeasonalObjectHandler fsx;
    fsx.SetDayOfWeek(3.0, true);
    EXPECT_EQ(3, fsx.GetDayOfWeek());

    SeasonalObjectHandler half;
    half.SetDayOfWeek(3.5, false);  // 2.5 rounds up
    EXPECT_EQ(3, half.GetDayOfWeek());
}

TEST(SeasonalObjectHandler, TimeOfDayIsShiftedToTheConditionValues)
{
    SeasonalObjectHandler h;
    h.SetTimeOfDay(3);
    EXPECT_EQ(4, h.GetTimeOfDay());
    h.SetTimeOfDay(0);
    EXPECT_EQ(1, h.GetTimeOfDay());
}

TEST(SeasonalObjectHandler, WholeNumberFieldsAreStoredAsGiven)
{
    SeasonalObjectHandler h;
    h.SetTimeZoneOffset(-120);
    h.SetZuluTime(754);
    h.SetLocalYear(2024);
    EXPECT_EQ(-120, h.GetTimeZoneOffset());
    EXPECT_EQ(754, h.GetZuluTime());
    EXPECT_EQ(2024, h.GetLocalYear());
}

// A broken answer must not turn into an arbitrary integer: the field keeps its value.
TEST(SeasonalObjectHandler, ValuesThatDoNotFitLeaveTheFieldUnchanged)
{
    const double bad[] = {std::nan(""), std::numeric_limits<double>::infinity(), -1e300, 3e9};
    for (double v : bad) {
        SeasonalObjectHandler h;
        h.SetMonthOfYear(5.0);
        h.SetDayOfMonth(9.0);
        h.SetDayOfYear(100.0);
        h.SetMonthOfYear(v);
        h.SetDayOfMonth(v);
        h.SetDayOfYear(v);
        h.SetDayOfWeek(v, true);
        EXPECT_EQ(5, h.GetMonthOfYear()) << v;
        EXPECT_EQ(9, h.GetDayOfMonth()) << v;
        EXPECT_EQ(100, h.GetDayOfYear()) << v;
        EXPECT_EQ(7, h.GetDayOfWeek()) << v;
    }
    SeasonalObjectHandler h;
    h.SetTimeOfDay(2);
    h.SetTimeOfDay(std::numeric_limits<int32_t>::max());
    EXPECT_EQ(3, h.GetTimeOfDay());
}

TEST(SeasonalObjectHandler, InitialisedStaysSetAndChangedFollowsTheRequest)
{
    SeasonalObjectHandler h;
    h.SetChanged(true);
    EXPECT_TRUE(h.IsChanged());
    h.SetInitialised();
    h.SetChanged(false);
    EXPECT_FALSE(h.IsChanged());
    EXPECT_TRUE(h.IsInitialised());
}
