// Reading condition values as the placement file gives them: kinds and keywords, every value shape,
// the messages of rejected values, and hostile texts.
#include "objects/ConditionalVisibilityData.h"

#include "tests/objects/conditional_log_capture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

using conditional_testing::XmlLogCapture;

std::vector<int32_t> Options(const EnumeratedOptionsData& data)
{
    std::vector<int32_t> options;
    for (size_t i = 0; i < data.GetOptionCount(); ++i) options.push_back(data.GetOption(i));
    return options;
}

std::vector<std::pair<int32_t, int32_t>> Ranges(const MultiRangeData& data)
{
    std::vector<std::pair<int32_t, int32_t>> ranges;
    for (size_t i = 0; i < data.GetRangeCount(); ++i) ranges.emplace_back(data.GetRange(i).GetMin(), data.GetRange(i).GetMax());
    return ranges;
}

TEST(ConditionalParseTest, ConditionTypesFromTheVariableKeyword)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"MonthOfYear", 1}, {"DayOfYear", 2}, {"TimeOfDay", 3}, {"WindDirection", 4}, {"WindSpeed", 5},
        {"AirTemperature", 6}, {"MetVisibility", 7}, {"MetPrecipitation", 8}, {"Time", 9}, {"Year", 10},
        {"DayOfWeek", 11}, {"DayOfMonth", 12}, {"SeparationPlane", 13},
        {"monthofyear", 0}, {"TIME", 0}, {"", 0}, {" Time", 0}, {"Heading", 0},
    };
    for (const auto& [text, kind] : cases) {
        EXPECT_EQ(static_cast<int32_t>(ParseConditionType(text)), kind) << text;
    }
}

TEST(ConditionalParseTest, FeatureNumbersOfTheKinds)
{
    const std::pair<ConditionType, int32_t> cases[] = {
        {ConditionType::MonthOfYear, 8}, {ConditionType::DayOfYear, 9}, {ConditionType::TimeOfDay, 10},
        {ConditionType::WindDirection, 11}, {ConditionType::WindSpeed, 12}, {ConditionType::MetVisibility, 13},
        {ConditionType::MetPrecipitation, 14}, {ConditionType::AirTemperature, 15},
        {ConditionType::SeparationPlane, 16}, {ConditionType::Time, 17}, {ConditionType::Year, 18},
        {ConditionType::DayOfMonth, 19}, {ConditionType::DayOfWeek, 20},
    };
    for (const auto& [type, feature] : cases) {
        EXPECT_EQ(ConditionFeature(type), feature);
        EXPECT_EQ(ConditionTypeOfFeature(feature), type);
    }
    EXPECT_EQ(ConditionFeature(ConditionType::None), 0);
    EXPECT_EQ(ConditionTypeOfFeature(7), ConditionType::None);
    EXPECT_EQ(ConditionTypeOfFeature(21), ConditionType::None);
}

TEST(ConditionalParseTest, KeywordValues)
{
    const char* months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    for (int32_t i = 0; i < 12; ++i) EXPECT_EQ(MonthKeywordValue(months[i]), i + 1) << months[i];
    const char* days[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(DayOfWeekKeywordValue(days[i]), i) << days[i];
    EXPECT_EQ(TimeOfDayKeywordValue("DAWN"), 1);
    EXPECT_EQ(TimeOfDayKeywordValue("DAY"), 2);
    EXPECT_EQ(TimeOfDayKeywordValue("DUSK"), 3);
    EXPECT_EQ(TimeOfDayKeywordValue("NIGHT"), 4);
    EXPECT_EQ(PrecipitationKeywordValue("NONE"), 2);
    EXPECT_EQ(PrecipitationKeywordValue("RAIN"), 4);
    EXPECT_EQ(PrecipitationKeywordValue("SNOW"), 8);

    // Exact case; anything else is the unknown value of its table.
    for (const char* other : {"jan", "Jan", "", "JANUARY", "13"}) EXPECT_EQ(MonthKeywordValue(other), 0) << other;
    for (const char* other : {"sun", "SUNDAY", ""}) EXPECT_EQ(DayOfWeekKeywordValue(other), 7) << other;
    for (const char* other : {"day", "NOON", ""}) EXPECT_EQ(TimeOfDayKeywordValue(other), 0) << other;
    for (const char* other : {"rain", "HAIL", ""}) EXPECT_EQ(PrecipitationKeywordValue(other), 0) << other;
}

struct OptionCase {
    const char* variable;
    const char* value;
    std::vector<int32_t> options;
    bool logged;  // a rejected item leaves an ERROR line
};

EnumeratedOptionsData& OptionsOf(ConditionalVisibilityData& data, const std::string& variable)
{
    if (variable == "MonthOfYear") return data.GetMonthOfYear();
    if (variable == "TimeOfDay") return data.GetTimeOfDay();
    if (variable == "DayOfWeek") return data.GetDayOfWeek();
    return data.GetMetPrecipitation();
}

TEST(ConditionalParseTest, OptionItems)
{
    const OptionCase cases[] = {
        {"MonthOfYear", "MAR", {3}, false},
        {"MonthOfYear", "FEB-APR", {2, 3, 4}, false},
        {"MonthOfYear", "NOV-FEB", {}, true},  // reversed: nothing
        {"MonthOfYear", "JAN;JUL-AUG;DEC", {1, 7, 8, 12}, false},
        {"MonthOfYear", "JAN-FEB-MAR", {}, true},
        {"MonthOfYear", "MAR-MAR", {3}, false},
        {"MonthOfYear", " MAY ; JUN ;", {5, 6}, false},
        {"MonthOfYear", "XYZ", {0}, true},  // unknown names: see UnknownMonthAndDayNames
        {"MonthOfYear", "XYZ-FEB", {0, 1, 2}, true},
        {"MonthOfYear", "JAN;BAD;DEC", {1, 0, 12}, true},
        {"TimeOfDay", "DAWN-DUSK", {1, 2, 3}, false},
        {"TimeOfDay", "NIGHT", {4}, false},
        {"TimeOfDay", "NIGHT-DAWN", {}, true},
        {"DayOfWeek", "MON-FRI", {1, 2, 3, 4, 5}, false},
        {"DayOfWeek", "SUN;SAT", {0, 6}, false},
        {"DayOfWeek", "SAT-SUN", {}, true},
        {"DayOfWeek", "SAT-XYZ", {6, 7}, true},
        {"MetPrecipitation", "RAIN;SNOW", {4, 8}, false},
        {"MetPrecipitation", "NONE", {2}, false},
        {"MetPrecipitation", "RAIN-SNOW", {}, true},
        {"MetPrecipitation", "HAIL", {}, true},
        {"TimeOfDay", "NOON", {}, true},
        {"TimeOfDay", "NOON-DUSK", {}, true},
        {"MetPrecipitation", "", {}, true},
    };
    for (const OptionCase& c : cases) {
        XmlLogCapture log;
        ConditionalVisibilityData data;
        EXPECT_EQ(data.AddCondition("c", c.variable, c.value), ParseConditionType(c.variable));
        EXPECT_EQ(Options(OptionsOf(data, c.variable)), c.options) << c.variable << " " << c.value;
        const auto lines = log.Lines();
        EXPECT_EQ(!lines.empty(), c.logged) << c.variable << " " << c.value;
        for (const std::string& line : lines) {
            const bool rejected =
                line.rfind("ERROR Variable '" + std::string(c.variable) + "': Invalid Value String!", 0) == 0;
            const bool readAnyway = line.rfind("WARN Variable '" + std::string(c.variable) + "': Unknown name", 0) == 0;
            EXPECT_TRUE(rejected || readAnyway) << line;
        }
    }
}

// Placement files in use rely on unknown month and day names standing for the number the keyword
// table gives them (0 for a month, 7 for a day of the week): read so, with a warning.
TEST(ConditionalParseTest, UnknownMonthAndDayNames)
{
    struct Case {
        const char* label;
        const char* variable;
        const char* value;
        std::vector<int32_t> options;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"month alone", "MonthOfYear", "XYZ", {0},
         {"WARN Variable 'MonthOfYear': Unknown name 'XYZ' in 'XYZ' is read as 0."}},
        {"month range from it", "MonthOfYear", "Mar-MAY", {0, 1, 2, 3, 4, 5},
         {"WARN Variable 'MonthOfYear': Unknown name 'Mar' in 'Mar-MAY' is read as 0."}},
        {"month range to it runs backwards", "MonthOfYear", "JAN-XYZ", {},
         {"WARN Variable 'MonthOfYear': Unknown name 'XYZ' in 'JAN-XYZ' is read as 0.",
          "ERROR Variable 'MonthOfYear': Invalid Value String! Range 'JAN-XYZ' runs backwards."}},
        {"among known months", "MonthOfYear", "JAN;SEPT;DEC", {1, 0, 12},
         {"WARN Variable 'MonthOfYear': Unknown name 'SEPT' in 'SEPT' is read as 0."}},
        {"day alone", "DayOfWeek", "THUR", {7},
         {"WARN Variable 'DayOfWeek': Unknown name 'THUR' in 'THUR' is read as 7."}},
        {"day range to it", "DayOfWeek", "THU-SUNDAY", {4, 5, 6, 7},
         {"WARN Variable 'DayOfWeek': Unknown name 'SUNDAY' in 'THU-SUNDAY' is read as 7."}},
        {"day range from it runs backwards", "DayOfWeek", "mon-FRI", {},
         {"WARN Variable 'DayOfWeek': Unknown name 'mon' in 'mon-FRI' is read as 7.",
          "ERROR Variable 'DayOfWeek': Invalid Value String! Range 'mon-FRI' runs backwards."}},
        {"three names still rejected", "DayOfWeek", "XYZ-MON-TUE", {},
         {"ERROR Variable 'DayOfWeek': Invalid Value String!"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        XmlLogCapture log;
        ConditionalVisibilityData data;
        EXPECT_EQ(data.AddCondition("u", c.variable, c.value), ParseConditionType(c.variable));
        EXPECT_EQ(Options(OptionsOf(data, c.variable)), c.options);
        EXPECT_EQ(log.Lines(), c.lines);
    }
}

TEST(ConditionalParseTest, IdThatAnExpressionCannotNameIsWarnedOf)
{
    const std::pair<const char*, bool> cases[] = {
        {"a b", true}, {"x|y", true}, {"(1)", true}, {"!a", true}, {"a$", true}, {"a\tb", true},
        {"rain_1", false}, {"10", false}, {"A-1", false},
    };
    for (const auto& [id, warned] : cases) {
        XmlLogCapture log;
        ConditionalVisibilityData data;
        data.AddCondition(id, "Year", "2020");
        EXPECT_EQ(data.GetConditionTable().count(id), 1u) << id;  // registered all the same
        const auto lines = log.Lines();
        if (warned) {
            ASSERT_EQ(lines.size(), 1u) << id;
            EXPECT_EQ(lines[0], "WARN Condition ID '" + std::string(id) +
                                    "' holds a blank, an operator or a parenthesis: the logic expression cannot "
                                    "refer to it.");
        } else {
            EXPECT_TRUE(lines.empty()) << id;
        }
    }
}

struct RangeListCase {
    const char* variable;
    const char* value;
    std::vector<std::pair<int32_t, int32_t>> ranges;
    bool logged;
};

TEST(ConditionalParseTest, DayRangeItems)
{
    const RangeListCase cases[] = {
        {"DayOfYear", "1-31;300", {{1, 31}, {300, 300}}, false},
        {"DayOfYear", "366", {{366, 366}}, false},
        {"DayOfYear", "0-5", {}, true},
        {"DayOfYear", "360-367", {}, true},
        {"DayOfYear", "50-10", {}, true},
        {"DayOfYear", "1-2-3", {}, true},
        {"DayOfYear", "abc;5-6", {{5, 6}}, true},
        {"DayOfYear", "5x-6", {}, true},
        {"DayOfYear", "+5-+6", {{5, 6}}, false},
        {"DayOfYear", "+-5", {}, true},
        {"DayOfMonth", "1-15;20-31", {{1, 15}, {20, 31}}, false},
        {"DayOfMonth", "32", {}, true},
        {"DayOfMonth", "-", {}, true},
        {"DayOfMonth", "", {}, true},
    };
    for (const RangeListCase& c : cases) {
        XmlLogCapture log;
        ConditionalVisibilityData data;
        data.AddCondition("d", c.variable, c.value);
        const MultiRangeData& ranges = std::string(c.variable) == "DayOfYear"
                                           ? static_cast<MultiRangeData&>(data.GetDayOfYear())
                                           : static_cast<MultiRangeData&>(data.GetDayOfMonth());
        EXPECT_EQ(Ranges(ranges), c.ranges) << c.variable << " " << c.value;
        EXPECT_EQ(!log.Lines().empty(), c.logged) << c.variable << " " << c.value;
        for (const std::string& line : log.Lines()) {
            EXPECT_EQ(line, "ERROR Variable '" + std::string(c.variable) + "': Invalid Value String!");
        }
    }
}

TEST(ConditionalParseTest, TimeItems)
{
    const std::string rejected = "ERROR Variable 'Time': Invalid Value String!";
    struct Case {
        const char* value;
        std::vector<std::pair<int32_t, int32_t>> ranges;
        bool local;
        std::string message;  // the one line logged, "" for none
    };
    const Case cases[] = {
        {"2200-0600LT", {{1320, 360}}, true, ""},
        {"0930", {{570, 570}}, false, ""},
        {"1200LT", {{720, 720}}, true, ""},
        {"0000-2359", {{0, 1439}}, false, ""},
        {"0800-1000;1400-1600LT", {{480, 600}, {840, 960}}, true, ""},
        {"0600 - 0700 LT", {{360, 420}}, true, ""},
        // Each time is read from its first four digits; "LT" anywhere after the end time marks local time.
        {"0600Z-0800Z", {{360, 480}}, false, ""},
        {"0600Z-0800Z LT", {{360, 480}}, true, ""},
        {"0600-0800 (LT)", {{360, 480}}, true, ""},
        {"0600X", {{360, 360}}, false, ""},
        {"1200 local", {{720, 720}}, false, ""},  // only "LT" marks local time
        {"2200LT-0600", {{1320, 360}}, false,
         "WARN Variable 'Time': 'LT' on the start time of '2200LT-0600' is not read: the range is zulu time."},
        {"2200LT-0600LT", {{1320, 360}}, true, ""},
        {"2400", {}, false, rejected},
        {"1260", {}, false, rejected},
        {"22-06", {}, false, rejected},
        {"930", {}, false, rejected},
        {"930Z", {}, false, rejected},
        {"ab00-0600", {}, false, rejected},
        {"LT0600", {}, false, rejected},
        {"0600-LT", {}, false, rejected},
        {"0100-0200-0300", {}, false, rejected},
        {"-0600", {}, false, rejected},
    };
    for (const Case& c : cases) {
        XmlLogCapture log;
        ConditionalVisibilityData data;
        EXPECT_EQ(data.AddCondition("t", "Time", c.value), ConditionType::Time);
        EXPECT_EQ(Ranges(data.GetTime()), c.ranges) << c.value;
        EXPECT_EQ(data.GetTime().IsLocalTime(), c.local) << c.value;
        const std::vector<std::string> expected =
            c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message};
        EXPECT_EQ(log.Lines(), expected) << c.value;
    }
}

struct RangeCase {
    const char* value;
    bool accepted;
    int64_t min;
    int64_t max;
    const char* message;  // the ERROR line of a rejected value, "" for a line not checked here
};

template <typename Condition>
void CheckRangeCases(const char* variable, Condition& (ConditionalVisibilityData::*get)(),
                     const std::vector<RangeCase>& cases)
{
    for (const RangeCase& c : cases) {
        XmlLogCapture log;
        ConditionalVisibilityData data;
        EXPECT_EQ(data.AddCondition("r", variable, c.value), ParseConditionType(variable)) << c.value;
        Condition& condition = (data.*get)();
        EXPECT_EQ(condition.HasRange(), c.accepted) << variable << " " << c.value;
        if (c.accepted) {
            EXPECT_EQ(static_cast<int64_t>(condition.GetMin()), c.min) << c.value;
            EXPECT_EQ(static_cast<int64_t>(condition.GetMax()), c.max) << c.value;
            EXPECT_TRUE(log.Lines().empty()) << c.value;
        } else {
            const auto lines = log.Lines();
            ASSERT_EQ(lines.size(), 1u) << variable << " " << c.value;
            if (*c.message != '\0') {
                EXPECT_EQ(lines[0], std::string("ERROR ") + c.message) << c.value;
            }
        }
    }
}

TEST(ConditionalParseTest, WindSpeedValues)
{
    CheckRangeCases<CV_WindSpeedData>(
        "WindSpeed", &ConditionalVisibilityData::GetWindSpeed,
        {
            {"5-MAX", true, 5, 2147483647, ""},
            {"MIN-10", true, 0, 10, ""},
            {"0", true, 0, 0, ""},
            {"10-10", true, 10, 10, ""},
            {"7", false, 0, 0, "Invalid value '7'! WindSpeed Range must be of format 'N-N'."},
            {"1-2-3", false, 0, 0, "Invalid value '1-2-3'! Multiple WindSpeed Ranges not supported!"},
            {"x-5", false, 0, 0, "Invalid value 'x-5'! WindSpeed Range must be of format 'N-N'."},
            {"MAX-5", false, 0, 0, "Invalid value 'MAX-5'! WindSpeed Range must be of format 'N-N'."},
            {"10-5", false, 0, 0, ""},
            {"5-99999999999", false, 0, 0, ""},
            {"", false, 0, 0, ""},
        });
}

TEST(ConditionalParseTest, AirTemperatureValues)
{
    CheckRangeCases<CV_AirTemperatureData>(
        "AirTemperature", &ConditionalVisibilityData::GetAirTemperature,
        {
            {"M10-M2", true, -10, -2, ""},
            {"MIN-MAX", true, -24242424, 24242424, ""},
            {"M5-10", true, -5, 10, ""},
            {"MIN-0", true, -24242424, 0, ""},
            {"10", false, 0, 0, "Invalid value '10'! AirTemperature Range must be of format 'N-N'."},
            {"1-2-3", false, 0, 0, "Invalid value '1-2-3'! Multiple AirTemperature Ranges not supported!"},
            {"MM5-0", false, 0, 0, "Invalid value 'MM5-0'! AirTemperature Range must be of format 'N-N'."},
            {"5-M5", false, 0, 0, ""},
            {"M-5", false, 0, 0, ""},
        });
}

TEST(ConditionalParseTest, MetVisibilityValues)
{
    CheckRangeCases<CV_MetVisibilityData>(
        "MetVisibility", &ConditionalVisibilityData::GetMetVisibility,
        {
            {"MIN-MAX", true, 0, 4294967295LL, ""},
            {"1000-5000", true, 1000, 5000, ""},
            {"010-0x20", true, 8, 32, ""},  // octal and hexadecimal by prefix
            {"0-0XFFFFFFFF", true, 0, 4294967295LL, ""},
            {"0x10-010", false, 0, 0, ""},  // 16 to 8 runs backwards
            {"1000", false, 0, 0, "Invalid value '1000'! MetVisibility Range must be of format 'N-N'."},
            {"1-2-3", false, 0, 0, "Invalid value '1-2-3'! Multiple MetVisibility Ranges not supported!"},
            {"4294967296-MAX", false, 0, 0, ""},
            {"08-10", false, 0, 0, ""},
            {"0x-10", false, 0, 0, ""},
        });
}

TEST(ConditionalParseTest, WindDirectionValues)
{
    CheckRangeCases<CV_WindDirectionData>(
        "WindDirection", &ConditionalVisibilityData::GetWindDirection,
        {
            {"300-60", true, 300, 60, ""},
            {"0-360", true, 0, 360, ""},
            {"60", false, 0, 0, "Invalid value '60'! WindDirection Range must be of format 'N-N'."},
            {"1-2-3", false, 0, 0, "Invalid value '1-2-3'! Multiple WindDirection Ranges not supported!"},
            {"abc-5", false, 0, 0, "Invalid value 'abc-5'! WindDirection Range must be of format 'N-N'."},
            {"0-361", false, 0, 0, ""},
        });
}

TEST(ConditionalParseTest, YearValues)
{
    CheckRangeCases<CV_YearData>("Year", &ConditionalVisibilityData::GetYear,
                                 {
                                     {"2024", true, 2024, 2024, ""},
                                     {"2020-2030", true, 2020, 2030, ""},
                                     {"2020-2030-2040", false, 0, 0, "Variable 'Year': Invalid Value String!"},
                                     {"two", false, 0, 0, "Variable 'Year': Invalid Value String!"},
                                     {"2030-2020", false, 0, 0, "Variable 'Year': Invalid Value String!"},
                                 });
}

// A rejected single range keeps the bounds it had.
TEST(ConditionalParseTest, RejectedRangeKeepsItsBounds)
{
    XmlLogCapture log;
    ConditionalVisibilityData data;
    data.AddCondition("1", "WindSpeed", "5-10");
    EXPECT_EQ(data.AddCondition("1", "WindSpeed", "7"), ConditionType::WindSpeed);
    EXPECT_EQ(data.GetWindSpeed().GetMin(), 5);
    EXPECT_EQ(data.GetWindSpeed().GetMax(), 10);
    data.AddCondition("2", "Year", "2020-2030");
    data.AddCondition("2", "Year", "2020-2030-2040");
    EXPECT_EQ(data.GetYear().GetMin(), 2020);
    EXPECT_EQ(data.GetYear().GetMax(), 2030);
}

TEST(ConditionalParseTest, UnknownVariableIsLoggedAndItsIdStillRegistered)
{
    XmlLogCapture log;
    ConditionalVisibilityData data;
    EXPECT_EQ(data.AddCondition("7", "Heading", "1-2"), ConditionType::None);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0], "ERROR Invalid Condition Variable: 'Heading'!");
    ASSERT_EQ(data.GetConditionTable().count("7"), 1u);
    EXPECT_EQ(data.GetConditionTable().at("7"), ConditionType::None);
}

TEST(ConditionalParseTest, ConditionTableIsOrderedByIdAndLastEntryWins)
{
    ConditionalVisibilityData data;
    data.AddCondition("b", "Year", "2020");
    data.AddCondition("a", "MonthOfYear", "JAN");
    data.AddCondition("b", "DayOfWeek", "MON");
    data.AddCondition("", "Year", "2021");  // no ID: read, but nothing to refer to
    std::vector<std::pair<std::string, ConditionType>> table(data.GetConditionTable().begin(),
                                                             data.GetConditionTable().end());
    const std::vector<std::pair<std::string, ConditionType>> expected = {{"a", ConditionType::MonthOfYear},
                                                                        {"b", ConditionType::DayOfWeek}};
    EXPECT_EQ(table, expected);
    EXPECT_EQ(data.GetYear().GetMin(), 2021);
}

TEST(ConditionalParseTest, SeparationPlaneAttributes)
{
    {
        XmlLogCapture log;
        ConditionalVisibilityData data;
        EXPECT_EQ(data.AddCondition("p", "SeparationPlane", ""), ConditionType::SeparationPlane);
        CV_SeparationPlaneData& plane = data.GetSeparationPlane();
        plane.SetFromAttributes("Yes", "no", "90", "0", "1.5;-2;3e1");
        EXPECT_TRUE(plane.GetUseEyePoint());
        EXPECT_FALSE(plane.GetFlipNormal());
        EXPECT_EQ(plane.GetElevation(), 90.0);
        EXPECT_NEAR(plane.GetNormalX(), -1.0, 1e-12);
        EXPECT_EQ(plane.GetPointX(), 1.5);
        EXPECT_EQ(plane.GetPointY(), -2.0);
        EXPECT_EQ(plane.GetPointZ(), 30.0);
        EXPECT_TRUE(log.Lines().empty());
    }
    {
        // The flip is applied by the angles, which the reader sets after it.
        CV_SeparationPlaneData plane;
        plane.SetFromAttributes("no", "YES", "90", "0", "0;0;0");
        EXPECT_TRUE(plane.GetFlipNormal());
        EXPECT_NEAR(plane.GetNormalX(), 1.0, 1e-12);
    }
    struct Case {
        const char* elevation;
        const char* azimuth;
        const char* offset;
        const char* message;
    };
    const Case bad[] = {
        {"90", "0", "1;2", "ERROR Invalid value '1;2'! SeparationPlane Offset needs 3 parameters!"},
        {"90", "0", "1;2;3;4", "ERROR Invalid value '1;2;3;4'! SeparationPlane Offset needs 3 parameters!"},
        {"90", "0", "a;b;c", "ERROR Invalid value 'a;b;c'! SeparationPlane Offset needs 3 numbers!"},
        {"90", "0", "1;2;nan", "ERROR Invalid value '1;2;nan'! SeparationPlane Offset needs 3 numbers!"},
        {"ninety", "0", "1;2;3", "ERROR Invalid value 'ninety'! SeparationPlane Elevation must be a number of degrees!"},
        {"90", "1e999", "1;2;3", "ERROR Invalid value '1e999'! SeparationPlane Azimuth must be a number of degrees!"},
    };
    for (const Case& c : bad) {
        XmlLogCapture log;
        CV_SeparationPlaneData plane;
        plane.SetFromAttributes(nullptr, nullptr, c.elevation, c.azimuth, c.offset);
        ASSERT_EQ(log.Lines().size(), 1u) << c.message;
        EXPECT_EQ(log.Lines()[0], c.message);
    }
    {
        // Absent attributes leave the construction values and say so.
        XmlLogCapture log;
        CV_SeparationPlaneData plane;
        plane.SetFromAttributes(nullptr, nullptr, nullptr, nullptr, nullptr);
        EXPECT_FALSE(plane.GetUseEyePoint());
        EXPECT_EQ(plane.GetNormalZ(), -1.0);
        EXPECT_EQ(log.Lines().size(), 2u);
    }
}

// Hostile values never crash, never throw, and leave every range condition without a range.
TEST(ConditionalParseTest, HostileValues)
{
    std::string longDigits(100000, '9');
    std::string manyItems;
    for (int i = 0; i < 2000; ++i) manyItems += "JAN-DEC;";
    const std::vector<std::string> hostile = {
        "-", "--", ";;;;", "-;-", std::string("1\0-2", 4), longDigits, longDigits + "-" + longDigits,
        "\xff\xfe-\x01", "MIN-", "-MAX", "   ", "1e3-2e3", "0x-0x", "M-M", "9999999999999999999-1",
        "-2147483648-0", "LTLT", "%s%n%s-%d",
    };
    const char* variables[] = {"MonthOfYear", "DayOfYear", "TimeOfDay", "WindDirection", "WindSpeed",
                               "AirTemperature", "MetVisibility", "MetPrecipitation", "Time", "Year",
                               "DayOfWeek", "DayOfMonth", "SeparationPlane", "Nonsense"};
    XmlLogCapture log;
    for (const char* variable : variables) {
        for (const std::string& value : hostile) {
            ConditionalVisibilityData data;
            EXPECT_NO_THROW(data.AddCondition(value, variable, value)) << variable;
            EXPECT_FALSE(data.GetWindDirection().HasRange()) << variable << " " << value.size();
            EXPECT_FALSE(data.GetWindSpeed().HasRange()) << variable;
            EXPECT_FALSE(data.GetAirTemperature().HasRange()) << variable;
            EXPECT_FALSE(data.GetMetVisibility().HasRange()) << variable;
            EXPECT_FALSE(data.GetYear().HasRange()) << variable;
            EXPECT_EQ(data.GetDayOfYear().GetRangeCount() + data.GetDayOfMonth().GetRangeCount() +
                          data.GetTime().GetRangeCount(),
                      0u)
                << variable;
            data.SetLogicExpression(value + " $ " + value);
            EXPECT_NO_THROW((void)data.EvaluateConditions(~0u, ConditionDateTime{}, nullptr));
        }
    }
    ConditionalVisibilityData many;
    many.AddCondition("m", "MonthOfYear", manyItems);
    EXPECT_EQ(many.GetMonthOfYear().GetOptionCount(), 2000u * 12u);

    CV_SeparationPlaneData plane;
    for (const std::string& value : hostile) {
        EXPECT_NO_THROW(plane.SetFromAttributes(value.c_str(), value.c_str(), value.c_str(), value.c_str(),
                                                value.c_str()));
    }
}

}  // namespace
