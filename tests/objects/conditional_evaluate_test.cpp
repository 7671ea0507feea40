// Evaluating conditions at their bounds, the separation plane, the expression built from the results,
// and the combining rule of the injection (none, one or several conditions evaluated).
#include "objects/ConditionalVisibilityData.h"

#include "link/SeasonalObjectHandler.h"
#include "objects/ConditionExpression.h"

#include "tests/objects/conditional_log_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using conditional_testing::XmlLogCapture;

struct ValueCase {
    int64_t value;
    bool visible;
};

TEST(ConditionalEvaluateTest, OptionConditionsAtTheirBounds)
{
    XmlLogCapture log;
    ConditionalVisibilityData data;
    data.AddCondition("m", "MonthOfYear", "FEB-APR");
    data.AddCondition("t", "TimeOfDay", "DAWN-DUSK");
    data.AddCondition("w", "DayOfWeek", "MON-FRI");
    data.AddCondition("p", "MetPrecipitation", "RAIN");
    for (const ValueCase& c : std::vector<ValueCase>{{1, false}, {2, true}, {4, true}, {5, false}, {0, false}}) {
        EXPECT_EQ(data.GetMonthOfYear().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
        EXPECT_EQ(data.GetMonthOfYear().IsVisible(), c.visible);
    }
    for (const ValueCase& c : std::vector<ValueCase>{{0, false}, {1, true}, {3, true}, {4, false}}) {
        EXPECT_EQ(data.GetTimeOfDay().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
    for (const ValueCase& c : std::vector<ValueCase>{{0, false}, {1, true}, {5, true}, {6, false}, {7, false}}) {
        EXPECT_EQ(data.GetDayOfWeek().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
    // The probe's mask must equal an option.
    for (const ValueCase& c : std::vector<ValueCase>{{4, true}, {2, false}, {8, false}, {12, false}}) {
        EXPECT_EQ(data.GetMetPrecipitation().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
}

TEST(ConditionalEvaluateTest, DayRangesAtTheirBounds)
{
    ConditionalVisibilityData data;
    data.AddCondition("y", "DayOfYear", "10-20;100");
    data.AddCondition("m", "DayOfMonth", "1-5;31");
    for (const ValueCase& c : std::vector<ValueCase>{
             {9, false}, {10, true}, {20, true}, {21, false}, {100, true}, {99, false}, {101, false}}) {
        EXPECT_EQ(data.GetDayOfYear().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
    for (const ValueCase& c : std::vector<ValueCase>{{0, false}, {1, true}, {5, true}, {6, false}, {31, true}}) {
        EXPECT_EQ(data.GetDayOfMonth().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
}

TEST(ConditionalEvaluateTest, ConditionsWithoutEntriesAreNeverVisible)
{
    XmlLogCapture log;
    ConditionalVisibilityData data;
    for (int32_t v : {0, 1, 7, 360}) {
        EXPECT_FALSE(data.GetMonthOfYear().Evaluate(v));
        EXPECT_FALSE(data.GetDayOfYear().Evaluate(v));
        EXPECT_FALSE(data.GetTime().Evaluate(v, 0));
        // Never set, or only with rejected values: the range's zero bounds must not match calm wind
        // or 0 degrees.
        EXPECT_FALSE(data.GetWindSpeed().Evaluate(v));
        EXPECT_FALSE(data.GetWindDirection().Evaluate(v));
        EXPECT_FALSE(data.GetAirTemperature().Evaluate(v));
        EXPECT_FALSE(data.GetYear().Evaluate(v));
        EXPECT_FALSE(data.GetMetVisibility().Evaluate(static_cast<uint32_t>(v)));
    }
    data.AddCondition("s", "WindSpeed", "7");
    EXPECT_FALSE(data.GetWindSpeed().Evaluate(0));
}

TEST(ConditionalEvaluateTest, WindDirectionThroughNorthAndPlain)
{
    ConditionalVisibilityData north;
    north.AddCondition("w", "WindDirection", "300-60");
    for (const ValueCase& c : std::vector<ValueCase>{{350, true}, {30, true}, {180, false}, {60, true}, {300, true},
                                                    {299, false}, {61, false}, {0, true}, {359, true}, {360, false},
                                                    {-1, false}}) {
        EXPECT_EQ(north.GetWindDirection().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
    ConditionalVisibilityData plain;
    plain.AddCondition("w", "WindDirection", "10-20");
    for (const ValueCase& c : std::vector<ValueCase>{{9, false}, {10, true}, {20, true}, {21, false}}) {
        EXPECT_EQ(plain.GetWindDirection().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
}

TEST(ConditionalEvaluateTest, SingleRangesAtTheirBounds)
{
    ConditionalVisibilityData data;
    data.AddCondition("s", "WindSpeed", "5-15");
    data.AddCondition("a", "AirTemperature", "M10-M2");
    data.AddCondition("y", "Year", "2020-2030");
    for (const ValueCase& c : std::vector<ValueCase>{{4, false}, {5, true}, {15, true}, {16, false}}) {
        EXPECT_EQ(data.GetWindSpeed().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
    for (const ValueCase& c : std::vector<ValueCase>{{-11, false}, {-10, true}, {-2, true}, {-1, false}}) {
        EXPECT_EQ(data.GetAirTemperature().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
    for (const ValueCase& c : std::vector<ValueCase>{{2019, false}, {2020, true}, {2030, true}, {2031, false}}) {
        EXPECT_EQ(data.GetYear().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
    ConditionalVisibilityData calm;
    calm.AddCondition("s", "WindSpeed", "0");
    EXPECT_TRUE(calm.GetWindSpeed().Evaluate(0));
    EXPECT_FALSE(calm.GetWindSpeed().Evaluate(1));
}

TEST(ConditionalEvaluateTest, MetVisibilityNeverMatchesTheUnmeasuredValue)
{
    ConditionalVisibilityData any;
    any.AddCondition("v", "MetVisibility", "MIN-MAX");
    EXPECT_FALSE(any.GetMetVisibility().Evaluate(4294967295u));
    EXPECT_TRUE(any.GetMetVisibility().Evaluate(4294967294u));
    EXPECT_TRUE(any.GetMetVisibility().Evaluate(0));

    ConditionalVisibilityData band;
    band.AddCondition("v", "MetVisibility", "1000-5000");
    for (const ValueCase& c : std::vector<ValueCase>{{999, false}, {1000, true}, {5000, true}, {5001, false}}) {
        EXPECT_EQ(band.GetMetVisibility().Evaluate(static_cast<uint32_t>(c.value)), c.visible) << c.value;
    }
}

TEST(ConditionalEvaluateTest, TimeRangesAndMidnight)
{
    ConditionalVisibilityData night;
    night.AddCondition("t", "Time", "2200-0600");
    for (const ValueCase& c : std::vector<ValueCase>{{23 * 60, true}, {5 * 60 + 59, true}, {12 * 60, false},
                                                    {1320, true}, {360, true}, {361, false}, {1319, false},
                                                    {0, true}, {1439, true}}) {
        EXPECT_EQ(night.GetTime().Evaluate(static_cast<int32_t>(c.value), 0), c.visible) << c.value;
    }
    ConditionalVisibilityData single;
    single.AddCondition("t", "Time", "0930");
    EXPECT_TRUE(single.GetTime().Evaluate(570, 0));
    EXPECT_FALSE(single.GetTime().Evaluate(571, 0));
    // Without the local-time flag the offset plays no part.
    EXPECT_TRUE(single.GetTime().Evaluate(570, 300));
}

// One local-time minute range: is the given zulu minute and offset inside it?
bool LocalMinuteMatches(int32_t localMinute, int32_t zulu, int32_t offset)
{
    CV_TimeData time;
    time.AddRange(localMinute, localMinute);
    time.SetLocalTime(true);
    return time.Evaluate(zulu, offset);
}

TEST(ConditionalEvaluateTest, LocalTimeUsesTheOffset)
{
    // Read from the placement text: the local-time mark after the end time.
    ConditionalVisibilityData data;
    data.AddCondition("t", "Time", "0130LT");
    ASSERT_TRUE(data.GetTime().IsLocalTime());
    EXPECT_TRUE(data.GetTime().Evaluate(23 * 60 + 30, -120));  // 23:30 zulu, two hours east: 01:30
    EXPECT_FALSE(data.GetTime().Evaluate(23 * 60 + 30, 0));

    struct Case {
        int32_t zulu;
        int32_t offset;
        int32_t local;
    };
    const Case cases[] = {
        {23 * 60 + 30, -120, 90},
        {30, 120, 22 * 60 + 30},  // 00:30 zulu, two hours west: 22:30 the day before
        {12 * 60, 0, 12 * 60},
        {0, 1, 1439},
        {1439, -1, 0},
        {600, 1440 * 3 + 60, 540},  // an absurd offset still lands inside the day
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(LocalMinuteMatches(c.local, c.zulu, c.offset)) << c.zulu << " " << c.offset;
        EXPECT_FALSE(LocalMinuteMatches((c.local + 1) % 1440, c.zulu, c.offset)) << c.zulu << " " << c.offset;
    }

    // Extreme inputs: no overflow, and exactly one minute of the day matches.
    const int32_t lowest = std::numeric_limits<int32_t>::min();
    const int32_t highest = std::numeric_limits<int32_t>::max();
    const std::pair<int32_t, int32_t> extremes[] = {{600, lowest}, {highest, lowest}, {lowest, highest}, {-5, 0}};
    for (const auto& [zulu, offset] : extremes) {
        int matches = 0;
        for (int32_t minute = 0; minute < 1440; ++minute) matches += LocalMinuteMatches(minute, zulu, offset) ? 1 : 0;
        EXPECT_EQ(matches, 1) << zulu << " " << offset;
    }
}

TEST(ConditionalEvaluateTest, SeparationPlaneNormalAndSide)
{
    CV_SeparationPlaneData plane;
    EXPECT_EQ(plane.GetNormalZ(), -1.0);  // construction normal (0, 0, -1)
    ASSERT_TRUE(plane.SetAngles(90.0, 0.0));
    EXPECT_NEAR(plane.GetNormalX(), -1.0, 1e-12);
    EXPECT_NEAR(plane.GetNormalY(), 0.0, 1e-12);
    EXPECT_NEAR(plane.GetNormalZ(), 0.0, 1e-12);

    // 10 m in front of the object along its heading: bearing from the object to the user = heading.
    const double heading = 1.2;
    double x = 0;
    double y = 0;
    double z = 0;
    CV_SeparationPlaneData::UserPositionInObjectFrame(10.0, heading, heading, 500.0, 500.0, x, y, z);
    EXPECT_NEAR(x, 10.0, 1e-9);
    EXPECT_NEAR(y, 0.0, 1e-9);
    EXPECT_EQ(z, 0.0);
    EXPECT_FALSE(plane.TestSide(x, y, z));
    EXPECT_FALSE(plane.IsOnPositiveSide());
    CV_SeparationPlaneData::UserPositionInObjectFrame(10.0, heading + 3.141592653589793, heading, 500.0, 500.0, x, y,
                                                      z);
    EXPECT_TRUE(plane.TestSide(x, y, z));
    EXPECT_TRUE(plane.IsOnPositiveSide());

    // Altitude difference in feet becomes metres.
    CV_SeparationPlaneData::UserPositionInObjectFrame(0.0, 0.0, 0.0, 110.0, 100.0, x, y, z);
    EXPECT_NEAR(z, 3.048, 1e-12);

    struct Case {
        bool flip;
        double elevation;
        double azimuth;
        double px, py, pz;  // the plane's point
        double x, y, z;     // the user
        bool positive;
    };
    const Case cases[] = {
        {false, 0, 0, 0, 0, 0, 0, 0, 5, false},     // normal (0, 0, -1): above is negative
        {false, 0, 0, 0, 0, 0, 0, 0, -5, true},
        {true, 0, 0, 0, 0, 0, 0, 0, 5, true},       // flipped
        {false, 90, 90, 0, 0, 0, 0, -3, 0, true},   // normal (0, -1, 0)
        {false, 90, 0, 5, 0, 0, 3, 0, 0, true},     // behind a plane moved 5 m forward
        {false, 90, 0, 5, 0, 0, 7, 0, 0, false},
        {false, 90, 0, 5, 0, 0, 5, 9, 9, false},    // on the plane: not positive
    };
    for (const Case& c : cases) {
        CV_SeparationPlaneData p;
        p.SetFlipNormal(c.flip);
        ASSERT_TRUE(p.SetAngles(c.elevation, c.azimuth));
        ASSERT_TRUE(p.SetPoint(c.px, c.py, c.pz));
        EXPECT_EQ(p.TestSide(c.x, c.y, c.z), c.positive) << c.elevation << " " << c.azimuth << " " << c.x;
    }
}

TEST(ConditionalEvaluateTest, SeparationPlaneRefusesNumbersThatAreNotFinite)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    CV_SeparationPlaneData plane;
    ASSERT_TRUE(plane.SetAngles(90.0, 0.0));
    EXPECT_FALSE(plane.SetAngles(nan, 0.0));
    EXPECT_FALSE(plane.SetAngles(0.0, inf));
    EXPECT_EQ(plane.GetElevation(), 90.0);
    EXPECT_NEAR(plane.GetNormalX(), -1.0, 1e-12);
    EXPECT_FALSE(plane.SetPoint(1.0, nan, 0.0));
    EXPECT_EQ(plane.GetPointY(), 0.0);
    // A user position that is not finite is on no side.
    EXPECT_FALSE(plane.TestSide(-1.0, nan, 0.0));
    EXPECT_FALSE(plane.TestSide(-inf, 0.0, 0.0));
    EXPECT_EQ(plane.Distance(nan, 0, 0), 0.0);

    plane.SetDefined(true);
    EXPECT_TRUE(plane.IsDefined());
    plane.SetDefined(false);
    EXPECT_FALSE(plane.IsDefined());
}

TEST(ConditionalEvaluateTest, ResultTextOfEachKind)
{
    ConditionalVisibilityData data;
    for (int32_t kind = 1; kind <= 12; ++kind) {
        EXPECT_EQ(data.GetResultText(static_cast<ConditionType>(kind)), "0") << kind;
    }
    data.GetMonthOfYear().SetVisible(true);
    data.GetDayOfYear().SetVisible(true);
    data.GetTimeOfDay().SetVisible(true);
    data.GetWindDirection().SetVisible(true);
    data.GetWindSpeed().SetVisible(true);
    data.GetAirTemperature().SetVisible(true);
    data.GetMetVisibility().SetVisible(true);
    data.GetMetPrecipitation().SetVisible(true);
    data.GetTime().SetVisible(true);
    data.GetYear().SetVisible(true);
    data.GetDayOfWeek().SetVisible(true);
    data.GetDayOfMonth().SetVisible(true);
    for (int32_t kind = 1; kind <= 12; ++kind) {
        EXPECT_EQ(data.GetResultText(static_cast<ConditionType>(kind)), "1") << kind;
    }
    // The plane acts on its own: always "1", whatever its flag.
    data.GetSeparationPlane().SetVisible(false);
    EXPECT_EQ(data.GetResultText(ConditionType::SeparationPlane), "1");
    EXPECT_EQ(data.GetResultText(ConditionType::None), "");
    EXPECT_EQ(data.GetResultText(static_cast<ConditionType>(14)), "");
    EXPECT_EQ(data.GetResultText(static_cast<ConditionType>(-1)), "");
}

TEST(ConditionalEvaluateTest, BuildExpressionReplacesEachId)
{
    XmlLogCapture log;
    ConditionalVisibilityData data;
    data.AddCondition("1", "MonthOfYear", "JAN");
    data.AddCondition("2", "DayOfWeek", "MON");
    data.GetMonthOfYear().Evaluate(1);
    data.GetDayOfWeek().Evaluate(3);
    data.SetLogicExpression("1 $ !2");
    EXPECT_EQ(data.BuildExpression(), "1 $ !0");
    EXPECT_EQ(data.GetLogicExpression(), "1 $ !2");  // the stored text is left alone

    struct Case {
        const char* expression;
        const char* built;
    };
    const Case cases[] = {
        {"(1|2)$(2|1)", "(1|0)$(0|1)"},
        {"", ""},
        {"3", "3"},  // an ID nobody registered stays
    };
    for (const Case& c : cases) {
        data.SetLogicExpression(c.expression);
        EXPECT_EQ(data.BuildExpression(), c.built) << c.expression;
    }

    // Longer IDs, every occurrence, and an unknown kind that gives "".
    ConditionalVisibilityData named;
    named.AddCondition("rain", "MetPrecipitation", "RAIN");
    named.AddCondition("warm", "AirTemperature", "10-MAX");
    named.AddCondition("odd", "Bogus", "");
    named.GetMetPrecipitation().Evaluate(4);
    named.GetAirTemperature().Evaluate(0);
    named.SetLogicExpression("rain$warm|!rain$!warm|odd");
    EXPECT_EQ(named.BuildExpression(), "1$0|!1$!0|");

    // IDs inside one another are each replaced as a whole: "1" is not found inside "10".
    ConditionalVisibilityData nested;
    nested.AddCondition("1", "Year", "2000");
    nested.AddCondition("10", "Year", "2000");
    nested.GetYear().Evaluate(1999);
    nested.SetLogicExpression("10$1");
    EXPECT_EQ(nested.BuildExpression(), "0$0");
}

TEST(ConditionalEvaluateTest, BuildExpressionOnALongTextIsLinear)
{
    ConditionalVisibilityData data;
    data.AddCondition("11", "Year", "2000");
    data.GetYear().Evaluate(2000);
    std::string expression;
    for (int i = 0; i < 200000; ++i) expression += "11$";
    expression += "11";
    data.SetLogicExpression(expression);
    const std::string built = data.BuildExpression();
    EXPECT_EQ(built.size(), 200000u * 2 + 1);
    EXPECT_EQ(built.substr(0, 6), "1$1$1$");
}

ConditionDateTime SummerMonday()
{
    ConditionDateTime when;
    when.month = 7;
    when.dayOfYear = 190;
    when.dayOfMonth = 9;
    when.dayOfWeek = 1;
    when.timeOfDay = 2;
    when.zuluMinutes = 12 * 60;
    when.timeZoneOffset = 0;
    when.year = 2024;
    return when;
}

constexpr uint32_t Bit(ConditionType type) { return ConditionalVisibilityData::KindBit(type); }

// IDs are replaced as whole tokens in one pass: the result put in for one ID ("0", "1") is never taken
// for another ID, and an ID is never found inside a longer token.
TEST(ConditionalEvaluateTest, BuildExpressionReplacesWholeTokensOnly)
{
    XmlLogCapture log;
    ConditionalVisibilityData data;
    data.AddCondition("0", "MonthOfYear", "JUL");   // true
    data.AddCondition("1", "DayOfWeek", "SUN");     // false
    data.AddCondition("10", "Year", "2024");        // true
    data.AddCondition("A1", "DayOfMonth", "1");     // false
    data.AddCondition("x1y", "TimeOfDay", "DAY");   // true
    const ConditionDateTime when = SummerMonday();
    const uint32_t kinds = Bit(ConditionType::MonthOfYear) | Bit(ConditionType::DayOfWeek) |
                           Bit(ConditionType::Year) | Bit(ConditionType::DayOfMonth) |
                           Bit(ConditionType::TimeOfDay);

    struct Case {
        const char* label;
        const char* expression;
        const char* built;
        bool result;
    };
    const Case cases[] = {
        {"0 or 1", "0|1", "1|0", true},
        {"1 or 0", "1|0", "0|1", true},
        {"0 and not 1", "0$!1", "1$!0", true},
        {"1 and 0", "1 $ 0", "0 $ 1", false},
        {"not 0 or 1", "!0|1", "!1|0", false},
        {"parentheses", "(0)$(!1)", "(1)$(!0)", true},
        {"1 beside 10", "10$!1", "1$!0", true},
        {"10 beside 1", "1|!10", "0|!1", false},
        {"digit inside a name", "A1|1", "0|0", false},
        {"digit inside a longer name", "x1y$!A1", "1$!0", true},
        {"blanks kept", " 0\t|\n1 ", " 1\t|\n0 ", true},
        {"unregistered token stays", "01$0", "01$1", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        data.SetLogicExpression(c.expression);
        ConditionExpression evaluator;
        EXPECT_EQ(data.EvaluateConditions(kinds, when, nullptr, evaluator), std::optional<bool>(c.result));
        EXPECT_EQ(data.BuildExpression(), c.built);
    }
}

// An unknown month or day name is read as 0 or 7, the values of a date record that does not know the
// date yet: such an option never makes the condition visible.
TEST(ConditionalEvaluateTest, UnknownNamesNeverMatchAnUnknownDate)
{
    XmlLogCapture log;
    ConditionalVisibilityData data;
    data.AddCondition("m", "MonthOfYear", "XYZ-FEB");
    data.AddCondition("w", "DayOfWeek", "FRI-XYZ");
    ASSERT_TRUE(data.GetMonthOfYear().HasOption(0));
    ASSERT_TRUE(data.GetDayOfWeek().HasOption(7));
    for (const ValueCase& c : std::vector<ValueCase>{{0, false}, {1, true}, {2, true}, {3, false}, {-1, false}}) {
        EXPECT_EQ(data.GetMonthOfYear().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
    for (const ValueCase& c : std::vector<ValueCase>{{7, false}, {5, true}, {6, true}, {4, false}, {8, false}}) {
        EXPECT_EQ(data.GetDayOfWeek().Evaluate(static_cast<int32_t>(c.value)), c.visible) << c.value;
    }
    const ConditionDateTime unknown = ConditionDateTime::From(SeasonalObjectHandler());
    EXPECT_EQ(data.EvaluateConditions(Bit(ConditionType::MonthOfYear), unknown, nullptr), std::optional<bool>(false));
    EXPECT_EQ(data.EvaluateConditions(Bit(ConditionType::DayOfWeek), unknown, nullptr), std::optional<bool>(false));
}

TEST(ConditionalEvaluateTest, CombiningNoneOneOrSeveral)
{
    XmlLogCapture log;
    ConditionalVisibilityData data;
    data.AddCondition("summer", "MonthOfYear", "JUN-AUG");
    data.AddCondition("weekend", "DayOfWeek", "SAT;SUN");
    data.AddCondition("windy", "WindSpeed", "20-MAX");
    data.AddCondition("plane", "SeparationPlane", "");
    data.SetLogicExpression("summer $ !weekend");
    ConditionWeather calm;
    calm.windSpeed = 5;
    const ConditionDateTime monday = SummerMonday();
    ConditionExpression evaluator;

    struct Case {
        const char* name;
        uint32_t kinds;
        bool withWeather;
        std::string expression;
        std::optional<bool> result;
    };
    const Case cases[] = {
        {"none", 0, true, "summer $ !weekend", std::nullopt},
        {"weather only, no probe", Bit(ConditionType::WindSpeed), false, "summer", std::nullopt},
        {"one true", Bit(ConditionType::MonthOfYear), true, "0", true},       // the expression is not used
        {"one false", Bit(ConditionType::DayOfWeek), true, "1", false},
        {"one weather", Bit(ConditionType::WindSpeed), true, "1", false},
        {"plane alone counts as true", Bit(ConditionType::SeparationPlane), true, "0", true},
        {"several", Bit(ConditionType::MonthOfYear) | Bit(ConditionType::DayOfWeek), true, "summer $ !weekend",
         true},
        {"several, expression false", Bit(ConditionType::MonthOfYear) | Bit(ConditionType::DayOfWeek), true,
         "summer $ weekend", false},
        {"several with weather", Bit(ConditionType::MonthOfYear) | Bit(ConditionType::WindSpeed), true,
         "summer | windy", true},
        {"weather skipped leaves one", Bit(ConditionType::DayOfWeek) | Bit(ConditionType::WindSpeed), false,
         "summer", false},
        {"plane in an expression is 1", Bit(ConditionType::SeparationPlane) | Bit(ConditionType::DayOfWeek), true,
         "plane $ !weekend", true},
        {"syntax error is false", Bit(ConditionType::MonthOfYear) | Bit(ConditionType::DayOfWeek), true,
         "summer $$ weekend", false},
        {"empty expression with several is false", Bit(ConditionType::MonthOfYear) | Bit(ConditionType::DayOfWeek),
         true, "", false},
    };
    for (const Case& c : cases) {
        data.SetLogicExpression(c.expression);
        const std::optional<bool> result =
            data.EvaluateConditions(c.kinds, monday, c.withWeather ? &calm : nullptr, evaluator);
        EXPECT_EQ(result, c.result) << c.name;
    }
    // The evaluated conditions keep their results for the menus and the next expression.
    EXPECT_TRUE(data.GetMonthOfYear().IsVisible());
    EXPECT_FALSE(data.GetDayOfWeek().IsVisible());
    EXPECT_FALSE(data.GetWindSpeed().IsVisible());
}

TEST(ConditionalEvaluateTest, EveryKindReadsItsOwnInput)
{
    ConditionalVisibilityData data;
    data.AddCondition("a", "MonthOfYear", "JUL");
    data.AddCondition("b", "DayOfYear", "190");
    data.AddCondition("c", "TimeOfDay", "DAY");
    data.AddCondition("d", "WindDirection", "90-90");
    data.AddCondition("e", "WindSpeed", "12-12");
    data.AddCondition("f", "AirTemperature", "M3-M3");
    data.AddCondition("g", "MetVisibility", "8000-8000");
    data.AddCondition("h", "MetPrecipitation", "SNOW");
    data.AddCondition("i", "Time", "1200");
    data.AddCondition("j", "Year", "2024");
    data.AddCondition("k", "DayOfWeek", "MON");
    data.AddCondition("l", "DayOfMonth", "9");
    data.AddCondition("m", "SeparationPlane", "");
    data.SetLogicExpression("a$b$c$d$e$f$g$h$i$j$k$l$m");
    ConditionWeather weather;
    weather.windDirection = 90;
    weather.windSpeed = 12;
    weather.airTemperature = -3;
    weather.visibility = 8000;
    weather.precipitation = 8;
    EXPECT_EQ(data.EvaluateConditions(~0u, SummerMonday(), &weather), std::optional<bool>(true));
    EXPECT_EQ(data.BuildExpression(), "1$1$1$1$1$1$1$1$1$1$1$1$1");

    // Moving any one input off its value turns exactly that condition false.
    for (int which = 0; which < 12; ++which) {
        ConditionDateTime when = SummerMonday();
        ConditionWeather w = weather;
        switch (which) {
        case 0: when.month = 8; break;
        case 1: when.dayOfYear = 191; break;
        case 2: when.timeOfDay = 3; break;
        case 3: w.windDirection = 91; break;
        case 4: w.windSpeed = 13; break;
        case 5: w.airTemperature = -2; break;
        case 6: w.visibility = 8001; break;
        case 7: w.precipitation = 4; break;
        case 8: when.zuluMinutes = 721; break;
        case 9: when.year = 2025; break;
        case 10: when.dayOfWeek = 2; break;
        case 11: when.dayOfMonth = 10; break;
        }
        EXPECT_EQ(data.EvaluateConditions(~0u, when, &w), std::optional<bool>(false)) << which;
        const std::string built = data.BuildExpression();
        EXPECT_EQ(std::count(built.begin(), built.end(), '0'), 1) << which << " " << built;
        EXPECT_EQ(built[static_cast<size_t>(which) * 2], '0') << which << " " << built;
    }
}

TEST(ConditionalEvaluateTest, KindsFromTheModelFeatures)
{
    const std::set<int32_t> features = {3, 8, 11, 16, 17, 20, 21};
    const uint32_t kinds =
        ConditionalVisibilityData::KindsFromFeatures([&features](int32_t f) { return features.count(f) != 0; });
    EXPECT_EQ(kinds, Bit(ConditionType::MonthOfYear) | Bit(ConditionType::WindDirection) |
                         Bit(ConditionType::SeparationPlane) | Bit(ConditionType::Time) |
                         Bit(ConditionType::DayOfWeek));
}

TEST(ConditionalEvaluateTest, DateAndTimeFromTheLocalRecord)
{
    const SeasonalObjectHandler record;
    const ConditionDateTime when = ConditionDateTime::From(record);
    EXPECT_EQ(when.dayOfWeek, 7);  // no day yet: matches no option
    EXPECT_EQ(when.month, 0);
    EXPECT_EQ(when.zuluMinutes, 0);
}

TEST(ConditionalEvaluateTest, CopiesCarryEveryMember)
{
    ConditionalVisibilityData original;
    original.AddCondition("1", "MonthOfYear", "JAN-MAR");
    original.AddCondition("2", "Time", "2200-0600LT");
    original.AddCondition("3", "WindSpeed", "5-10");
    original.GetSeparationPlane().SetFlipNormal(true);
    original.GetSeparationPlane().SetAngles(90.0, 0.0);
    original.GetMonthOfYear().Evaluate(2);
    original.SetLogicExpression("1 $ 2 $ 3");

    ConditionalVisibilityData copy(original);
    ConditionalVisibilityData assigned;
    assigned = original;
    original.AddCondition("4", "Year", "2000");
    original.GetMonthOfYear().AddOption(12);
    original.SetLogicExpression("4");
    for (ConditionalVisibilityData* c : {&copy, &assigned}) {
        EXPECT_EQ(c->GetConditionTable().size(), 3u);
        EXPECT_EQ(c->GetLogicExpression(), "1 $ 2 $ 3");
        EXPECT_EQ(c->GetMonthOfYear().GetOptionCount(), 3u);
        EXPECT_TRUE(c->GetMonthOfYear().IsVisible());
        EXPECT_TRUE(c->GetTime().IsLocalTime());
        EXPECT_EQ(c->GetTime().GetRangeCount(), 1u);
        EXPECT_TRUE(c->GetWindSpeed().HasRange());
        EXPECT_NEAR(c->GetSeparationPlane().GetNormalX(), 1.0, 1e-12);
    }
}

}  // namespace
