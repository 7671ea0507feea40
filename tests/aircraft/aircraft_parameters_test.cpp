// Door parameters of aircraft types from "AircraftParameters.ini", and their lookup through an aircraft
// configuration.
#include "aircraft/AircraftConfigData.h"
#include "aircraft/AircraftParameters.h"
#include "tests/aircraft/AircraftTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using aircrafttest::AircraftFilesTest;
using aircrafttest::LogCapture;

class AircraftParametersTest : public AircraftFilesTest {
protected:
    void WriteParameters(const std::string& text) { WriteProgramData("AircraftParameters.ini", text); }

    static std::vector<std::string> Keys(const AircraftParameters& parameters)
    {
        std::vector<std::string> keys;
        for (const auto& entry : *parameters.GetDoorMap()) keys.push_back(entry.first);
        return keys;
    }
};

void ExpectDoor(const DoorParameters& door, const std::vector<double>& values)
{
    ASSERT_EQ(values.size(), 5u);
    EXPECT_EQ(door.doorHeight, values[0]);
    EXPECT_EQ(door.verticalOffset, values[1]);
    EXPECT_EQ(door.doorAngle, values[2]);
    EXPECT_EQ(door.doorValue4, values[3]);
    EXPECT_EQ(door.doorValue5, values[4]);
}

TEST_F(AircraftParametersTest, OneEntryPerTypeAndDoor)
{
    WriteParameters("[B744]\n1L = 2.0, 0.1, 5.0, 4.0, 4.5\n2L = 1.9, 0, 0, 3.5, 3.5 ; main door\n"
                    "[A320]\n1L=1.85,0.2,0,4,4\n");
    LogCapture log("VELK.ACFTPARAMS");
    AircraftParameters parameters(log.category());
    parameters.ReadParameters();

    EXPECT_EQ(Keys(parameters), (std::vector<std::string>{"A320:1L", "B744:1L", "B744:2L"}));
    EXPECT_EQ(*parameters.GetTypeList(), (std::vector<std::string>{"B744", "A320"}));
    ExpectDoor(parameters.GetDoorMap()->at("B744:1L"), {2.0, 0.1, 5.0, 4.0, 4.5});
    ExpectDoor(parameters.GetDoorMap()->at("B744:2L"), {1.9, 0, 0, 3.5, 3.5});
    // Keys compare byte by byte.
    EXPECT_EQ(parameters.GetDoorMap()->count("b744:1L"), 0u);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"DEBUG Door Parameters read for 2 ICAO Aircraft Types."});
}

TEST_F(AircraftParametersTest, SectionsWithoutKeysCount)
{
    WriteParameters("[A320]\n1L=2,0,0,4,4\n[B738]\n[B744]\n1L=2,0,0,4,4\n");
    LogCapture log("VELK.ACFTPARAMS");
    AircraftParameters parameters(log.category());
    parameters.ReadParameters();
    EXPECT_EQ(parameters.GetTypeList()->size(), 3u);
    EXPECT_EQ(parameters.GetDoorMap()->size(), 2u);
    EXPECT_TRUE(log.Has("DEBUG Door Parameters read for 3 ICAO Aircraft Types."));
}

struct ValueCase {
    const char* label;
    std::string value;
    std::vector<double> door;  // empty: the key is skipped with an error
};

TEST_F(AircraftParametersTest, Values)
{
    const ValueCase cases[] = {
        {"five numbers", "2.0, 0.5, 10, 4, 4", {2.0, 0.5, 10, 4, 4}},
        {"six numbers: the first five", "1, 2, 3, 4, 5, 6", {1, 2, 3, 4, 5}},
        {"empty value: five zeros", "", {0, 0, 0, 0, 0}},
        {"comment only: five zeros", "; nothing yet", {0, 0, 0, 0, 0}},
        {"text after the numbers", "2m, -0.5 , +7deg, 4, 4", {2, -0.5, 7, 4, 4}},
        {"pieces without a number read 0", "a, , c, 4, 4", {0, 0, 0, 4, 4}},
        {"four numbers", "1, 2, 3, 4", {}},
        {"one number", "2.0", {}},
        {"out of range", "1e999, 0, 0, 4, 4", {}},
        {"not a number", "2, nan, 0, 4, 4", {}},
        {"infinite", "2, 0, -Infinity, 4, 4", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WriteParameters("[A320]\n1L = " + c.value + "\n2L = 2, 0, 0, 4, 4\n");
        LogCapture log("VELK.ACFTPARAMS");
        AircraftParameters parameters(log.category());
        parameters.ReadParameters();
        const auto* map = parameters.GetDoorMap();
        EXPECT_EQ(map->count("A320:2L"), 1u);  // a bad key spoils nothing else
        if (c.door.empty()) {
            EXPECT_EQ(map->count("A320:1L"), 0u);
            EXPECT_EQ(log.Priority("ERROR"),
                      std::vector<std::string>{"ERROR Invalid Door Parameters '" + c.value +
                                               "' for A320:1L! Five numbers expected. Ignoring them."});
        } else {
            ASSERT_EQ(map->count("A320:1L"), 1u);
            ExpectDoor(map->at("A320:1L"), c.door);
            EXPECT_TRUE(log.Priority("ERROR").empty());
        }
    }
}

TEST_F(AircraftParametersTest, VeryLongValueIsCutAndStillRead)
{
    // Read into 260 bytes: 247 fives follow "2, 0, 0, 4, ", a large but finite number.
    WriteParameters("[A320]\n1L = 2, 0, 0, 4, " + std::string(4000, '5') + "\n");
    LogCapture log("VELK.ACFTPARAMS");
    AircraftParameters parameters(log.category());
    parameters.ReadParameters();
    ASSERT_EQ(parameters.GetDoorMap()->count("A320:1L"), 1u);
    EXPECT_NEAR(parameters.GetDoorMap()->at("A320:1L").doorValue5 / (5.0 / 9.0 * 1e247), 1.0, 1e-9);
    EXPECT_TRUE(log.Priority("ERROR").empty());
}

TEST_F(AircraftParametersTest, MissingOrEmptyFileWarnsAndLeavesTheMapEmpty)
{
    for (const char* text : {static_cast<const char*>(nullptr), "", "; only a comment\n", "key=value\n"}) {
        SCOPED_TRACE(text ? text : "no file");
        if (text) WriteParameters(text);
        LogCapture log("VELK.ACFTPARAMS");
        AircraftParameters parameters(log.category());
        parameters.ReadParameters();
        EXPECT_TRUE(parameters.GetDoorMap()->empty());
        EXPECT_TRUE(parameters.GetTypeList()->empty());
        EXPECT_EQ(log.Lines(),
                  std::vector<std::string>{"WARN Could not extract from AircraftParameters.ini or file not found!"});
    }
}

TEST_F(AircraftParametersTest, ReadingAgainReplacesEverythingInPlace)
{
    WriteParameters("[A320]\n1L=2,0,0,4,4\n2L=2,0,0,4,4\n[B738]\n1L=2,0,0,4,4\n");
    AircraftParameters parameters;
    parameters.ReadParameters();
    const AircraftParameters::DoorMap* map = parameters.GetDoorMap();
    const auto first = Keys(parameters);
    parameters.ReadParameters();
    EXPECT_EQ(Keys(parameters), first);  // the same file gives the same map, nothing doubled
    EXPECT_EQ(parameters.GetTypeList()->size(), 2u);

    WriteParameters("[A320]\n1L=1.5,0,0,4,4\n");
    parameters.ReadParameters();
    EXPECT_EQ(parameters.GetDoorMap(), map);  // emptied and refilled, never replaced
    EXPECT_EQ(Keys(parameters), std::vector<std::string>{"A320:1L"});
    EXPECT_EQ(map->at("A320:1L").doorHeight, 1.5);

    parameters.Clear();
    EXPECT_TRUE(map->empty());
    EXPECT_TRUE(parameters.GetTypeList()->empty());
}

TEST_F(AircraftParametersTest, AircraftConfigurationLooksUpItsType)
{
    WriteParameters("[A320]\n1L=1.9,0.1,5,6,7\n2L=2,0,0,4,4\n[B744]\n1L Upper=2.1,0.3,0,4,4\n");
    WriteAircraft("aircraft.cfg", "[General]\natc_model=A320\n");
    AircraftParameters parameters;
    parameters.ReadParameters();

    // The order of use of the dispatch handler and the AI aircraft.
    AircraftConfigData config;
    config.SetAircraftPath(kAircraftFolder);
    config.ReadAircraftData();
    config.SetDoorParameters(parameters.GetDoorMap());
    config.SetICAOType(config.GetAtcModel());

    const DoorParameters* door = config.GetDoorParameters("1L");
    ASSERT_NE(door, nullptr);
    ExpectDoor(*door, {1.9, 0.1, 5, 6, 7});
    EXPECT_EQ(config.GetDoorParameters("1L Upper"), nullptr);  // B744's door
    config.SetICAOType("B744");
    ASSERT_NE(config.GetDoorParameters("1L Upper"), nullptr);
    EXPECT_EQ(config.GetDoorParameters("1L Upper")->verticalOffset, 0.3);

    // A reload keeps the configuration's pointer valid.
    WriteParameters("[B744]\n1L Upper=2.4,0,0,4,4\n");
    parameters.Clear();
    parameters.ReadParameters();
    ASSERT_NE(config.GetDoorParameters("1L Upper"), nullptr);
    EXPECT_EQ(config.GetDoorParameters("1L Upper")->doorHeight, 2.4);
    config.SetICAOType("A320");
    EXPECT_EQ(config.GetDoorParameters("1L"), nullptr);
}

TEST_F(AircraftParametersTest, HugeFilesAreCutAtTheLimits)
{
    std::string text;
    for (std::size_t n = 0; n < AircraftParameters::MaxTypes + 50; ++n) text += "[T" + std::to_string(n) + "]\n";
    WriteParameters(text);
    LogCapture log("VELK.ACFTPARAMS");
    AircraftParameters parameters(log.category());
    parameters.ReadParameters();
    EXPECT_EQ(parameters.GetTypeList()->size(), AircraftParameters::MaxTypes);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "ERROR AircraftParameters.ini lists 562 Aircraft Types! Only the first 512 are read.",
                               "DEBUG Door Parameters read for 512 ICAO Aircraft Types."}));

    text = "[A320]\n";
    for (std::size_t n = 0; n < AircraftParameters::MaxDoorEntries + 20; ++n) {
        text += std::to_string(n) + "L=2,0,0,4,4\n";
    }
    text += "[B744]\n1L=2,0,0,4,4\n";
    WriteParameters(text);
    log.Clear();
    parameters.ReadParameters();
    EXPECT_EQ(parameters.GetDoorMap()->size(), AircraftParameters::MaxDoorEntries);
    EXPECT_EQ(parameters.GetDoorMap()->count("B744:1L"), 0u);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "ERROR AircraftParameters.ini holds more than 1024 Door Parameters! The rest is "
                               "ignored.",
                               "DEBUG Door Parameters read for 1 ICAO Aircraft Types."}));
}

TEST_F(AircraftParametersTest, HostileFilesNeverCrash)
{
    const std::string files[] = {
        std::string("\xff\xfe[\x01\x02]\n\x03=\x04\n", 11),
        "[" + std::string(70000, 'A') + "]\n1L=2,0,0,4,4\n",  // a name longer than the list buffer
        "[A320]\n" + std::string(300, '=') + "\n1L=" + std::string(100000, ',') + "\n",
        "[A:B]\n:=1,2,3,4,5\n",
    };
    for (const auto& text : files) {
        WriteParameters(text);
        AircraftParameters parameters;  // no log category: nothing logged
        parameters.ReadParameters();
        for (const auto& entry : *parameters.GetDoorMap()) {
            const DoorParameters& d = entry.second;
            for (double v : {d.doorHeight, d.verticalOffset, d.doorAngle, d.doorValue4, d.doorValue5}) {
                EXPECT_TRUE(std::isfinite(v));
            }
        }
    }
}

TEST(AircraftNumbersTest, LeadingNumbers)
{
    const struct {
        std::string text;
        bool ok;
        double value;
    } cases[] = {
        {"12.5", true, 12.5},   {"  -3e2xyz", true, -300}, {"+4", true, 4},       {".5", true, 0.5},
        {"", true, 0},          {"abc", true, 0},          {"-", true, 0},        {"+-1", true, 0},
        {"-.", true, 0},        {"1e999", false, 0},       {"-1e999", false, 0},  {"inf", false, 0},
        {" NaN", false, 0},     {"-Infinity", false, 0},   {"0x10", true, 0},     {"1,5", true, 1},
    };
    for (const auto& c : cases) {
        double value = -42.0;
        EXPECT_EQ(aircraftdata::ReadLeadingNumber(c.text, value), c.ok) << "'" << c.text << "'";
        if (c.ok) {
            EXPECT_EQ(value, c.value) << "'" << c.text << "'";
        }
    }
}

TEST(AircraftNumbersTest, TruncationToInt)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        bool ok;
        int result;
    } cases[] = {
        {0.0, true, 0},
        {1.9, true, 1},
        {-0.5, true, 0},
        {-1.9, true, -1},
        {2147483647.0, true, 2147483647},
        {2147483647.9, true, 2147483647},
        {2147483648.0, false, 0},
        {-2147483648.0, true, std::numeric_limits<int>::min()},
        {-2147483648.9, true, std::numeric_limits<int>::min()},
        {-2147483649.0, false, 0},
        {1e300, false, 0},
        {nan, false, 0},
        {inf, false, 0},
        {-inf, false, 0},
    };
    for (const auto& c : cases) {
        int result = 12345;
        EXPECT_EQ(aircraftdata::TruncateToInt(c.value, result), c.ok) << c.value;
        if (c.ok) {
            EXPECT_EQ(result, c.result) << c.value;
        }
    }
}

}  // namespace
