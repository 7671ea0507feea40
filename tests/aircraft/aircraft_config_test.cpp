// Aircraft configuration: which file is read, reference datum, eye point, nose wheel, ATC model, custom
// exits from "AircraftExits.ini", the exit rule with its decks, door parameter lookups and hostile files.
#include "aircraft/AircraftConfigData.h"
#include "tests/aircraft/AircraftTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using aircrafttest::AircraftFilesTest;
using aircrafttest::LogCapture;

constexpr double kFt = 0.3048;

// "exit.N = 0.4, x, y, z, type" with the position given in metres.
std::string ExitLine(int n, double xm, double ym, double zm, int type = 0)
{
    char line[200];
    std::snprintf(line, sizeof line, "exit.%d = 0.4, %.17g, %.17g, %.17g, %d\n", n, xm / kFt, ym / kFt, zm / kFt,
                  type);
    return line;
}

std::string Fltsim(const std::string& createdBy = "Vendor", const std::string& sim = "A320")
{
    return "[FLTSIM.0]\ntitle=Test\nui_createdby=" + createdBy + "\nsim=" + sim + "\n";
}

// A datum at the reference point and an eye point: the base of most files below.
const std::string kDatumOnly = "[WEIGHT_AND_BALANCE]\nreference_datum_position = 0, 0, 0\n";
const std::string kZeroDatum = kDatumOnly + "[Views]\neyepoint = 0, 0, 0\n";

class AircraftConfigTest : public AircraftFilesTest {
protected:
    AircraftConfigData Read(log4cpp::Category* log = nullptr)
    {
        AircraftConfigData config(log);
        config.SetAircraftPath(kAircraftFolder);
        config.ReadAircraftData();
        return config;
    }

    static std::vector<double> Xs(const AircraftConfigData& config)
    {
        std::vector<double> xs;
        for (const auto& exit : config.GetExits()) xs.push_back(exit.x);
        return xs;
    }
    static std::vector<int> Decks(const AircraftConfigData& config)
    {
        std::vector<int> decks;
        for (const auto& exit : config.GetExits()) decks.push_back(exit.upperDeck);
        return decks;
    }
};

void ExpectNear(const std::vector<double>& actual, const std::vector<double>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 1e-9) << "index " << i;
}

TEST_F(AircraftConfigTest, ConstructedEmpty)
{
    const AircraftConfigData config;
    EXPECT_EQ(config.GetICAOType(), "NONE");
    EXPECT_TRUE(config.GetExits().empty());
    EXPECT_TRUE(config.GetEyePointRelative().empty());
    EXPECT_FALSE(config.HasNoseWheel());
    EXPECT_EQ(config.GetDoorParameters("1L"), nullptr);
}

TEST_F(AircraftConfigTest, AircraftCfgIsPreferredToSimCfg)
{
    WriteAircraft("aircraft.cfg", "[General]\natc_model=FROMAIRCRAFT\n");
    WriteAircraft("sim.cfg", "[General]\natc_model=FROMSIM\n");
    EXPECT_EQ(Read().GetAtcModel(), "FROMAIRCRAFT");
}

TEST_F(AircraftConfigTest, SimCfgIsReadWhenAircraftCfgIsMissing)
{
    WriteAircraft("sim.cfg", "[General]\natc_model=FROMSIM\n");
    EXPECT_EQ(Read().GetAtcModel(), "FROMSIM");
}

TEST_F(AircraftConfigTest, WithoutEitherFileNothingChangesAndNothingIsLogged)
{
    WriteAircraft("aircraft.cfg", kZeroDatum + "[General]\natc_model=B738\n" +
                                      "[contact_points]\npoint.0=1, 40, 0, -5\n[exits]\n" + ExitLine(0, 10, -2, 1));
    WriteProgramData("AircraftExits.ini", "[Other]\n");
    LogCapture log("VELK.ACFTEXITS");
    AircraftConfigData config = Read(log.category());
    ASSERT_EQ(config.GetExitCount(), 1u);
    log.Clear();

    Write(root_ / "c" / "Sim" / "Airplanes" / "Empty" / "readme.txt", "nothing here");
    config.SetAircraftPath("C:\\Sim\\Airplanes\\Empty\\");
    config.ReadAircraftData();
    EXPECT_EQ(config.GetAtcModel(), "B738");
    EXPECT_EQ(config.GetExitCount(), 1u);
    EXPECT_EQ(config.GetEyePointRelative().size(), 3u);
    EXPECT_TRUE(config.HasNoseWheel());
    EXPECT_TRUE(log.Lines().empty());
}

struct DatumCase {
    const char* label;
    std::optional<std::string> value;  // none: key absent
    std::vector<double> datum;         // metres; empty when invalid
    std::string error;                 // "" when none
};

TEST_F(AircraftConfigTest, ReferenceDatum)
{
    const DatumCase cases[] = {
        {"three values and a comment", "1.0, 2.0, 3.0 // from the manual", {1 * kFt, 2 * kFt, 3 * kFt}, ""},
        {"semicolon comment", "-1.5,0,2.5 ; note", {-1.5 * kFt, 0, 2.5 * kFt}, ""},
        {"four values: the first three", "1, 2, 3, 4", {1 * kFt, 2 * kFt, 3 * kFt}, ""},
        {"text after the numbers", " 1ft, 2x, +3", {1 * kFt, 2 * kFt, 3 * kFt}, ""},
        {"pieces without a number read 0", "a, b, c", {0, 0, 0}, ""},
        {"two values", "1.0, 2.0",
         {},
         "ERROR Invalid Weight&Balance Reference Datum Position Data! '1.0, 2.0'"},
        {"comment cuts a value", "1.0/2.0, 3.0",
         {},
         "ERROR Invalid Weight&Balance Reference Datum Position Data! '1.0'"},
        {"absent", std::nullopt, {}, "ERROR Invalid Weight&Balance Reference Datum Position Data! ''"},
        {"number out of range", "1e999, 0, 0",
         {},
         "ERROR Invalid Weight&Balance Reference Datum Position Data! '1e999, 0, 0'"},
        {"infinity", "0, -inf, 0", {}, "ERROR Invalid Weight&Balance Reference Datum Position Data! '0, -inf, 0'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string text = "[Views]\neyepoint=10, 1, 5\n[contact_points]\npoint.0=1, 40, 0, -5\n";
        if (c.value) text += "[WEIGHT_AND_BALANCE]\nreference_datum_position = " + *c.value + "\n";
        WriteAircraft("aircraft.cfg", text);
        LogCapture log("VELK.ACFTEXITS");
        const AircraftConfigData config = Read(log.category());
        ExpectNear(config.GetReferenceDatum(), c.datum);
        const auto errors = log.Priority("ERROR");
        if (c.error.empty()) {
            EXPECT_TRUE(errors.empty());
            ExpectNear(config.GetEyePointRelative(),
                       {10 * kFt + c.datum[0], 1 * kFt + c.datum[1], 5 * kFt + c.datum[2]});
            EXPECT_TRUE(config.HasNoseWheel());
        } else {
            // No datum: no relative eye point and no nose wheel either.
            EXPECT_EQ(errors, (std::vector<std::string>{
                                  c.error,
                                  "ERROR Can't compute Eyepoint *relative* Position due to invalid W&B Ref Datum!",
                                  "ERROR Unable to compute *relative* Nosewheel Position due to invalid W&B Ref "
                                  "Datum! Ignoring Nosewheel Data!"}));
            EXPECT_TRUE(config.GetEyePointRelative().empty());
            EXPECT_FALSE(config.HasNoseWheel());
            EXPECT_FALSE(config.IsValid());
            EXPECT_TRUE(config.GetNoseWheelRelative().empty());
        }
    }
}

TEST_F(AircraftConfigTest, EyePointIsRelativeToTheDatum)
{
    WriteAircraft("aircraft.cfg",
                  "[WEIGHT_AND_BALANCE]\nreference_datum_position=1, 2, 3\n[Views]\neyepoint = 10.0, -1.0, 4.0 "
                  "// pilot\n");
    const AircraftConfigData config = Read();
    ExpectNear(config.GetEyePoint(), {10 * kFt, -1 * kFt, 4 * kFt});
    ExpectNear(config.GetEyePointRelative(), {11 * kFt, 1 * kFt, 7 * kFt});
}

TEST_F(AircraftConfigTest, InvalidEyePoints)
{
    const struct {
        std::optional<std::string> value;
        std::string error;
    } cases[] = {
        {"10, 1", "ERROR Invalid Eyepoint Position Data! '10, 1'"},
        {std::nullopt, "ERROR Invalid Eyepoint Position Data! ''"},
        {"10, 1, 9e400", "ERROR Invalid Eyepoint Position Data! '10, 1, 9e400'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        std::string text = kDatumOnly;
        if (c.value) text += "[Views]\neyepoint=" + *c.value + "\n";
        WriteAircraft("aircraft.cfg", text);
        LogCapture log("VELK.ACFTEXITS");
        const AircraftConfigData config = Read(log.category());
        EXPECT_TRUE(config.GetEyePoint().empty());
        EXPECT_TRUE(config.GetEyePointRelative().empty());
        EXPECT_EQ(log.Priority("ERROR"), std::vector<std::string>{c.error});
    }
}

struct NoseWheelCase {
    const char* label;
    std::string points;                // the [contact_points] lines
    std::vector<double> noseWheelFeet;  // empty: no nose wheel
    std::string error;
};

TEST_F(AircraftConfigTest, NoseWheel)
{
    const NoseWheelCase cases[] = {
        {"nose wheel", "point.0 = 1, 10.0, 0.5, -5.0, 1500\n", {10.0, 0.5, -5.0}, ""},
        {"exactly four pieces", "point.0 = 1, 10.0, 0.0, -5.0\n", {10.0, 0.0, -5.0}, ""},
        {"lateral 0.51 is too far", "point.0 = 1, 10.0, 0.51, -5.0\n", {}, ""},
        {"lateral below 0", "point.0 = 1, 10.0, -0.1, -5.0\n", {}, ""},
        {"not a wheel", "point.0 = 2, 10.0, 0.0, -5.0\n", {}, ""},
        {"three pieces skipped", "point.0 = 1, 10.0, 0.0\npoint.1 = 1, 8.0, 0.2, -4.0\n", {8.0, 0.2, -4.0}, ""},
        {"first match wins",
         "point.0 = 1, -20, -12, -6\npoint.1 = 1, 30, 0.25, -7 // nose\npoint.2 = 1, 5, 0, -1\n",
         {30, 0.25, -7},
         ""},
        {"search ends at a gap", "point.0 = 1, -20, -12, -6\npoint.2 = 1, 30, 0, -7\n", {}, ""},
        {"empty value ends the search", "point.0 =\npoint.1 = 1, 30, 0, -7\n", {}, ""},
        // A value that is only a comment was read: skipped, the search goes on.
        {"';' comment value is skipped", "point.0 = ; spare\npoint.1 = 1, 30, 0, -7\n", {30, 0, -7}, ""},
        {"'//' comment value is skipped", "point.0 = // spare\npoint.1 = 1, 30, 0, -7\n", {30, 0, -7}, ""},
        {"class read as an integer", "point.0 = 1.9, 30, 0, -7\n", {30, 0, -7}, ""},
        {"garbage class is 0", "point.0 = wheel, 30, 0, -7\n", {}, ""},
        {"class out of the integer range",
         "point.0 = 1e20, 30, 0, -7\npoint.1 = 1, 12, 0, -3\n",
         {12, 0, -3},
         "ERROR Invalid Contact Point Data in [contact_points] point.0 = '1e20, 30, 0, -7'! Ignoring it."},
        {"position out of range",
         "point.0 = 1, 1e999, 0, -7\npoint.1 = 1, 12, 0, -3\n",
         {12, 0, -3},
         "ERROR Invalid Contact Point Data in [contact_points] point.0 = '1, 1e999, 0, -7'! Ignoring it."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WriteAircraft("aircraft.cfg",
                      "[WEIGHT_AND_BALANCE]\nreference_datum_position=1,2,3\n[Views]\neyepoint=1,2,3\n"
                      "[contact_points]\n" +
                          c.points);
        LogCapture log("VELK.ACFTEXITS");
        const AircraftConfigData config = Read(log.category());
        EXPECT_EQ(config.HasNoseWheel(), !c.noseWheelFeet.empty());
        if (c.noseWheelFeet.empty()) {
            EXPECT_TRUE(config.GetNoseWheel().empty());
            EXPECT_TRUE(config.GetNoseWheelRelative().empty());
        } else {
            const auto& f = c.noseWheelFeet;
            ExpectNear(config.GetNoseWheel(), {f[0] * kFt, f[1] * kFt, f[2] * kFt});
            ExpectNear(config.GetNoseWheelRelative(), {(f[0] + 1) * kFt, (f[1] + 2) * kFt, (f[2] + 3) * kFt});
        }
        const auto errors = log.Priority("ERROR");
        if (c.error.empty()) {
            EXPECT_TRUE(errors.empty());
        } else {
            EXPECT_EQ(errors, std::vector<std::string>{c.error});
        }
    }
}

TEST_F(AircraftConfigTest, NoseWheelOfTheNextReadReplacesTheOld)
{
    WriteAircraft("aircraft.cfg", kZeroDatum + "[contact_points]\npoint.0=1, 40, 0, -5\n");
    AircraftConfigData config = Read();
    ASSERT_TRUE(config.HasNoseWheel());
    WriteAircraft("aircraft.cfg", kZeroDatum + "[contact_points]\npoint.0=2, 40, 0, -5\n");
    config.ReadAircraftData();
    EXPECT_FALSE(config.HasNoseWheel());
    EXPECT_TRUE(config.GetNoseWheelRelative().empty());
}

TEST_F(AircraftConfigTest, AtcModel)
{
    const struct {
        std::string line;
        std::string model;
    } cases[] = {
        {"atc_model=A320\n", "A320"},
        {"atc_model = \"B744\"\n", "B744"},
        {"atc_model = A 3 2 0 ; spaced\n", "A 3 2 0"},
        {"atc_model=B738 // winglets\n", "B738"},
        {"atc_model=\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        WriteAircraft("aircraft.cfg", kZeroDatum + "[General]\n" + c.line);
        const AircraftConfigData config = Read();
        EXPECT_EQ(config.GetAtcModel(), c.model);
        EXPECT_EQ(config.GetModelString(), c.model);
    }
}

TEST_F(AircraftConfigTest, ExitsOfTheAircraftFile)
{
    WriteAircraft("aircraft.cfg", "[WEIGHT_AND_BALANCE]\nreference_datum_position=1, -2, 3\n[Views]\neyepoint=0,0,0\n"
                                  "[exits]\n" +
                                      ExitLine(0, 5, -2, 1) +     // left, main
                                      ExitLine(1, 20, 2, 1) +     // right
                                      ExitLine(2, 15, -2, 1, 1) + // cargo
                                      ExitLine(3, 25, -2, 1) +    // left, main, front-most
                                      ExitLine(5, 30, -2, 1));    // after the gap: never read
    LogCapture log("VELK.ACFTEXITS");
    const AircraftConfigData config = Read(log.category());
    // Datum added to each exit, front to back.
    ExpectNear(Xs(config), {25 + 1 * kFt, 5 + 1 * kFt});
    const auto exits = config.GetExits();
    EXPECT_NEAR(exits[0].y, -2 - 2 * kFt, 1e-9);
    EXPECT_NEAR(exits[0].z, 1 + 3 * kFt, 1e-9);
    EXPECT_EQ(config.GetExitCount(), 2u);
    EXPECT_TRUE(log.Has("WARN No 'AircraftExits.INI' File found! Only using original aircraft.cfg exit data..."));
    EXPECT_TRUE(log.Has("DEBUG No Custom Data Found for 'C:\\Sim\\Airplanes\\A320\\'. Using original aircraft.cfg "
                        "exit data!"));
    EXPECT_TRUE(log.Priority("ERROR").empty());
}

TEST_F(AircraftConfigTest, SoftHyphenReadsAsMinus)
{
    WriteAircraft("aircraft.cfg", kZeroDatum + "[exits]\nexit.0 = 0.4, 30.0, \xAD" "6.0, 5.0, 0\n");
    const AircraftConfigData config = Read();
    ASSERT_EQ(config.GetExitCount(), 1u);
    EXPECT_NEAR(config.GetExits()[0].y, -6.0 * kFt, 1e-9);
}

TEST_F(AircraftConfigTest, LinesWithoutFivePiecesAreSkippedAndTheSearchGoesOn)
{
    WriteAircraft("aircraft.cfg", kZeroDatum + "[exits]\nexit.0 = 0.4, 30.0, -6.0, 5.0\nexit.1 = junk\n" +
                                      ExitLine(2, 10, -2, 1));
    const AircraftConfigData config = Read();
    ExpectNear(Xs(config), {10});
}

TEST_F(AircraftConfigTest, ExitsWithoutAValidDatumAreTakenWithAZeroDatum)
{
    WriteAircraft("aircraft.cfg", "[exits]\n" + ExitLine(0, 10, -2, 1));
    const AircraftConfigData config = Read();
    ExpectNear(Xs(config), {10});
}

struct DeckCase {
    const char* label;
    bool custom;
    std::vector<std::string> lines;  // exit.0, exit.1, ...
    std::vector<double> xs;          // listed exits, front to back
    std::vector<int> decks;
};

TEST_F(AircraftConfigTest, Decks)
{
    const DeckCase cases[] = {
        {"custom: 2.5 m above is upper", true, {ExitLine(0, 20, -2, 0), ExitLine(1, 10, -2, 2.5)}, {20, 10}, {0, 1}},
        {"custom: 1.5 m above is the same deck", true, {ExitLine(0, 20, -2, 0), ExitLine(1, 10, -2, 1.5)}, {20, 10},
         {0, 0}},
        {"aircraft: 1.5 m above is upper", false, {ExitLine(0, 20, -2, 0), ExitLine(1, 10, -2, 1.5)}, {20, 10},
         {0, 1}},
        {"aircraft: 0.5 m above is the same deck", false, {ExitLine(0, 20, -2, 0), ExitLine(1, 10, -2, 0.5)},
         {20, 10}, {0, 0}},
        {"custom: 2.5 m below moves the listed exits up", true,
         {ExitLine(0, 20, -2, 5), ExitLine(1, 15, -2, 5.2), ExitLine(2, 10, -2, 2.5)}, {20, 15, 10}, {1, 1, 0}},
        {"upper deck carried on", true,
         {ExitLine(0, 20, -2, 0), ExitLine(1, 15, -2, 3), ExitLine(2, 10, -2, 3.5)}, {20, 15, 10}, {0, 1, 1}},
        // A right-side exit is still the exit compared with.
        {"right-side exit decides the deck", false,
         {ExitLine(0, 20, -2, 0), ExitLine(1, 15, 2, 3), ExitLine(2, 10, -2, 3.2)}, {20, 10}, {0, 1}},
        // A cargo exit is not.
        {"cargo exit is not compared with", false,
         {ExitLine(0, 20, -2, 0), ExitLine(1, 15, -2, 3, 2), ExitLine(2, 10, -2, 0.5)}, {20, 10}, {0, 0}},
        // exit.0 is the lower deck even when skipped: exit.1 compares with the default (z 0, lower).
        {"skipped exit.0", false, {ExitLine(0, 20, -2, 9, 1), ExitLine(1, 10, -2, 3)}, {10}, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string lines;
        for (const auto& line : c.lines) lines += line;
        if (c.custom) {
            WriteAircraft("aircraft.cfg", kZeroDatum + Fltsim() + "[exits]\n" + ExitLine(0, 99, -2, 0));
            WriteProgramData("AircraftExits.ini", "[Vendor:A320]\n" + lines);
        } else {
            WriteAircraft("aircraft.cfg", kZeroDatum + "[exits]\n" + lines);
            std::filesystem::remove(root_ / "c" / "ProgramData" / "Quorvath" / "VELK" / "AircraftExits.ini");
        }
        const AircraftConfigData config = Read();
        ExpectNear(Xs(config), c.xs);
        EXPECT_EQ(Decks(config), c.decks);
    }
}

struct SectionCase {
    const char* label;
    std::string sections;  // the custom exit file
    double x;              // the listed exit: 1 is the aircraft file's own
};

TEST_F(AircraftConfigTest, CustomSectionMatching)
{
    const auto section = [](const std::string& name, double x) { return "[" + name + "]\n" + ExitLine(0, x, -2, 0); };
    const SectionCase cases[] = {
        {"whole key", section("Vendor:A320", 10), 10},
        {"creator only", section("Vendor", 11), 11},
        {"aircraft only", section("A320", 12), 12},
        {"part of a name", section("dor:A3", 13), 13},
        {"case differs", section("vendor:a320", 14), 1},
        {"no match", section("Other", 15) + section("Vendor:A321", 16), 1},
        {"first match in the file wins", section("Other", 17) + section("A320", 18) + section("Vendor:A320", 19), 18},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WriteAircraft("aircraft.cfg", kZeroDatum + Fltsim("Vendor", "A320") + "[exits]\n" + ExitLine(0, 1, -2, 0));
        WriteProgramData("AircraftExits.ini", c.sections);
        const AircraftConfigData config = Read();
        ExpectNear(Xs(config), {c.x});
        EXPECT_EQ(config.GetCreatedBy(), "Vendor");
    }
}

TEST_F(AircraftConfigTest, CustomExitsAreLogged)
{
    WriteAircraft("aircraft.cfg", kZeroDatum + Fltsim() + "[exits]\n" + ExitLine(0, 1, -2, 0));
    WriteProgramData("AircraftExits.ini", "[Other]\nexit.0=1,2,3,4,0\n[Vendor:A320]\n" + ExitLine(0, 20, -2, 0) +
                                              ExitLine(1, 30, 2, 0) + ExitLine(2, 10, -2, 0));
    LogCapture log("VELK.ACFTEXITS");
    const AircraftConfigData config = Read(log.category());
    ExpectNear(Xs(config), {20, 10});
    EXPECT_EQ(log.Priority("DEBUG"), (std::vector<std::string>{"DEBUG Found Custom Exit Data. (Vendor:A320)",
                                                                "DEBUG Custom Exit Data extracted!",
                                                                "DEBUG Custom Exit Data extracted!"}));
    EXPECT_TRUE(log.Priority("WARN").empty());
}

TEST_F(AircraftConfigTest, CustomSectionWithoutLeftMainExitsFallsBack)
{
    const std::string sections[] = {
        "[A320]\n" + ExitLine(0, 20, -2, 0, 1) + ExitLine(1, 10, -2, 0, 2),  // cargo only
        "[A320]\n" + ExitLine(0, 20, 2, 0),                                  // right side only
        "[A320]\n",                                                          // no exits
    };
    for (const auto& s : sections) {
        SCOPED_TRACE(s);
        WriteAircraft("aircraft.cfg", kZeroDatum + Fltsim() + "[exits]\n" + ExitLine(0, 1, -2, 0));
        WriteProgramData("AircraftExits.ini", s);
        LogCapture log("VELK.ACFTEXITS");
        const AircraftConfigData config = Read(log.category());
        ExpectNear(Xs(config), {1});
        EXPECT_TRUE(log.Has("DEBUG Found Custom Exit Data. (A320)"));
        EXPECT_TRUE(log.Has("DEBUG No Custom Data Found for 'C:\\Sim\\Airplanes\\A320\\'. Using original "
                            "aircraft.cfg exit data!"));
    }
}

TEST_F(AircraftConfigTest, MissingFltsimKeysFallBack)
{
    const struct {
        std::string fltsim;
        std::string error;
    } cases[] = {
        {"[FLTSIM.0]\nsim=A320\n",
         "ERROR Custom Exit Data reading error -> In section [FLTSIM.0], 'ui_createdby' missing.!"},
        {"[FLTSIM.0]\nui_createdby=Vendor\nsim=\n",
         "ERROR Custom Exit Data reading error -> In section [FLTSIM.0], 'sim' missing.!"},
        {"", "ERROR Custom Exit Data reading error -> In section [FLTSIM.0], 'ui_createdby' and 'sim' missing.!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        WriteAircraft("aircraft.cfg", kZeroDatum + c.fltsim + "[exits]\n" + ExitLine(0, 1, -2, 0));
        WriteProgramData("AircraftExits.ini", "[A320]\n" + ExitLine(0, 20, -2, 0) + "[Vendor]\n" +
                                                  ExitLine(0, 30, -2, 0));
        LogCapture log("VELK.ACFTEXITS");
        const AircraftConfigData config = Read(log.category());
        ExpectNear(Xs(config), {1});
        EXPECT_EQ(log.Priority("ERROR"), std::vector<std::string>{c.error});
        EXPECT_EQ(config.GetCreatedBy(), "");
    }
}

TEST_F(AircraftConfigTest, CreatedByIsKeptOnlyWhenTheCustomFileIsSearched)
{
    WriteAircraft("aircraft.cfg", kZeroDatum + Fltsim("Some Vendor // Studio", "A320") + "[exits]\n");
    EXPECT_EQ(Read().GetCreatedBy(), "");  // no custom file: not read

    WriteProgramData("AircraftExits.ini", "[Other]\n");
    EXPECT_EQ(Read().GetCreatedBy(), "Some Vendor");

    WriteProgramData("AircraftExits.ini", "");  // no section to search
    EXPECT_EQ(Read().GetCreatedBy(), "");
}

TEST_F(AircraftConfigTest, ReadingAgainReplacesTheExits)
{
    WriteAircraft("aircraft.cfg", kZeroDatum + "[exits]\n" + ExitLine(0, 20, -2, 0) + ExitLine(1, 10, -2, 0));
    AircraftConfigData config = Read();
    ASSERT_EQ(config.GetExitCount(), 2u);
    WriteAircraft("aircraft.cfg", kZeroDatum + "[exits]\n" + ExitLine(0, 7, -2, 0));
    config.ReadAircraftData();
    ExpectNear(Xs(config), {7});
}

TEST_F(AircraftConfigTest, CopiesAreIndependent)
{
    WriteAircraft("aircraft.cfg", kZeroDatum + "[General]\natc_model=A320\n[exits]\n" + ExitLine(0, 20, -2, 0));
    AircraftConfigData original = Read();
    original.SetICAOType("A320");
    AircraftConfigData copy = original;
    WriteAircraft("aircraft.cfg", kZeroDatum + "[General]\natc_model=B744\n[exits]\n");
    original.ReadAircraftData();
    original.SetICAOType("B744");
    EXPECT_EQ(copy.GetAtcModel(), "A320");
    EXPECT_EQ(copy.GetICAOType(), "A320");
    EXPECT_EQ(copy.GetExitCount(), 1u);
    EXPECT_EQ(original.GetExitCount(), 0u);
}

TEST_F(AircraftConfigTest, DoorParameterLookup)
{
    AircraftParameters::DoorMap doors;
    doors["A320:1L"] = DoorParameters{1.9, 0.1, 5.0, 6.0, 7.0};
    doors["A320:1L Upper"] = DoorParameters{2.1, 0.0, 0.0, 4.0, 4.0};

    AircraftConfigData config;
    EXPECT_EQ(config.GetDoorParameters("1L"), nullptr);  // no map yet
    config.SetDoorParameters(&doors);
    EXPECT_EQ(config.GetDoorParameters("1L"), nullptr);  // type still "NONE"
    config.SetICAOType("A320");

    const DoorParameters* found = config.GetDoorParameters("1L");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, &doors.at("A320:1L"));  // the map's own record
    EXPECT_EQ(found->doorAngle, 5.0);
    EXPECT_NE(config.GetDoorParameters("1L Upper"), nullptr);
    EXPECT_EQ(config.GetDoorParameters("2L"), nullptr);
    EXPECT_EQ(config.GetDoorParameters("1l"), nullptr);
    EXPECT_EQ(doors.size(), 2u);  // lookups add nothing
}

// Hostile aircraft files: each gives logged errors or defaults and never crashes.
struct HostileCase {
    const char* label;
    std::string exits;            // the [exits] section's lines
    std::vector<double> xs;       // listed exits
    std::size_t errors;           // ERROR lines expected
};

TEST_F(AircraftConfigTest, HostileExitLines)
{
    const HostileCase cases[] = {
        {"garbage numbers read 0", "exit.0 = x, y, -z, w, 0\n", {}, 0},  // y 0: not on the left side
        {"garbage lateral sign", "exit.0 = 0, 3, -junk, 1, 0\n", {}, 0},
        {"type out of the integer range", "exit.0 = 0, 3, -2, 1, 1e300\n" + ExitLine(1, 4, -2, 0), {4}, 1},
        {"type not a number", "exit.0 = 0, 3, -2, 1, nan\n" + ExitLine(1, 4, -2, 0), {4}, 1},
        {"position out of range", "exit.0 = 0, 1e999, -2, 1, 0\n" + ExitLine(1, 4, -2, 0), {4}, 1},
        {"huge finite numbers", "exit.0 = 0, 1e308, -1e308, 1e308, 0\n", {1e308 * kFt}, 0},
        {"very long value", "exit.0 = 0, 3, -2, 1, 0" + std::string(5000, ',') + "\n", {3 * kFt}, 0},
        {"very long number", "exit.0 = 0, " + std::string(4000, '9') + ", -2, 1, 0\n" + ExitLine(1, 4, -2, 0), {4},
         0},  // cut at 259 bytes: fewer than five pieces, skipped
        {"only commas", "exit.0 = " + std::string(300, ',') + "\n", {}, 0},
        // A value that is only a comment was read: skipped, the loop goes on to the next number.
        {"';' comment value", "exit.0 = ; spare door\n" + ExitLine(1, 4, -2, 0), {4}, 0},
        {"'//' comment value", "exit.0 = // spare door\n" + ExitLine(1, 4, -2, 0), {4}, 0},
        {"binary bytes", std::string("exit.0 = \x01\x02\xff\xfe,\x80,\x90,\xa0,\x7f\n") + ExitLine(1, 4, -2, 0), {4},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WriteAircraft("aircraft.cfg", kZeroDatum + "[exits]\n" + c.exits);
        LogCapture log("VELK.ACFTEXITS");
        const AircraftConfigData config = Read(log.category());
        ExpectNear(Xs(config), c.xs);
        EXPECT_EQ(log.Priority("ERROR").size(), c.errors) << ::testing::PrintToString(log.Lines());
        for (const auto& exit : config.GetExits()) {
            EXPECT_TRUE(std::isfinite(exit.x) && std::isfinite(exit.y) && std::isfinite(exit.z));
        }
    }
}

TEST_F(AircraftConfigTest, ErrorLineOfAnInvalidExit)
{
    WriteAircraft("aircraft.cfg", kZeroDatum + "[exits]\nexit.0 = 0, 1e999, -2, 1, 0\n");
    LogCapture log("VELK.ACFTEXITS");
    Read(log.category());
    EXPECT_EQ(log.Priority("ERROR"),
              std::vector<std::string>{
                  "ERROR Invalid Exit Data in [exits] exit.0 = '0, 1e999, -2, 1, 0'! Ignoring it."});
}

TEST_F(AircraftConfigTest, HugeExitCountsStopAtTheLimit)
{
    std::string exits;
    for (int n = 0; n < AircraftConfigData::MaxNumberedKeys + 40; ++n) exits += ExitLine(n, n, -2, 0);
    std::string points;
    for (int n = 0; n < AircraftConfigData::MaxNumberedKeys + 40; ++n) {
        points += "point." + std::to_string(n) + " = 2, 0, 0, 0\n";
    }
    WriteAircraft("aircraft.cfg", kZeroDatum + "[contact_points]\n" + points + "[exits]\n" + exits);
    LogCapture log("VELK.ACFTEXITS");
    const AircraftConfigData config = Read(log.category());
    EXPECT_EQ(config.GetExitCount(), static_cast<std::size_t>(AircraftConfigData::MaxNumberedKeys));
    EXPECT_NEAR(config.GetExits().front().x, AircraftConfigData::MaxNumberedKeys - 1, 1e-9);
    EXPECT_FALSE(config.HasNoseWheel());
    EXPECT_EQ(log.Priority("ERROR"),
              (std::vector<std::string>{"ERROR More than 256 Contact Points in [contact_points]! Ignoring the rest.",
                                        "ERROR More than 256 Exits in [exits]! Ignoring the rest."}));
}

TEST_F(AircraftConfigTest, HostileFilesAsAWhole)
{
    const std::string files[] = {
        "",                                                   // empty
        std::string("\0\0\0\xff\xfe[\x01]\n=\n==\n[", 15),    // binary
        "[WEIGHT_AND_BALANCE\nreference_datum_position=1,2,3\n[exits\nexit.0=1,2,-3,4,0\n",  // broken headers
        std::string(100000, '['),                             // one long line
        "[exits]\n" + std::string(20000, 'x') + "=1\n",       // a long key name
    };
    for (const auto& text : files) {
        WriteAircraft("aircraft.cfg", text);
        WriteProgramData("AircraftExits.ini", text);
        LogCapture log("VELK.ACFTEXITS");
        const AircraftConfigData config = Read(log.category());
        EXPECT_FALSE(config.HasNoseWheel());
        EXPECT_TRUE(config.GetEyePointRelative().empty());
        EXPECT_FALSE(log.Priority("ERROR").empty());  // at least the missing datum
    }
}

TEST_F(AircraftConfigTest, HostileFoldersChangeNothing)
{
    WriteAircraft("aircraft.cfg", kZeroDatum + "[General]\natc_model=A320\n[exits]\n" + ExitLine(0, 10, -2, 1));
    const std::string folders[] = {
        "",
        "C:\\Sim\\Airplanes\\A320",  // no trailing backslash: "A320aircraft.cfg"
        "C:\\*\\",
        "C:\\Sim\\Airplanes\\?320\\",
        "C:\\" + std::string(5000, 'x') + "\\",
        std::string("C:\\Sim\0\\", 8),  // the NUL would leave the folder "C:\Sim" as the file
    };
    for (const auto& folder : folders) {
        SCOPED_TRACE(folder.substr(0, 40));
        AircraftConfigData config = Read();
        ASSERT_EQ(config.GetExitCount(), 1u);
        AircraftConfigData other = config;
        other.SetAircraftPath(folder);
        other.ReadAircraftData();
        EXPECT_EQ(other.GetAtcModel(), "A320");
        EXPECT_EQ(other.GetExitCount(), 1u);
    }
}

TEST_F(AircraftConfigTest, AircraftFileThatIsAFolder)
{
    std::filesystem::create_directories(root_ / "c" / "Sim" / "Airplanes" / "A320" / "aircraft.cfg");
    LogCapture log("VELK.ACFTEXITS");
    const AircraftConfigData config = Read(log.category());
    EXPECT_TRUE(config.GetExits().empty());
    EXPECT_TRUE(log.Has("ERROR Invalid Weight&Balance Reference Datum Position Data! ''"));
}

TEST_F(AircraftConfigTest, WithoutALogCategoryNothingIsLoggedAndTheReadWorks)
{
    WriteAircraft("aircraft.cfg", "[exits]\n" + ExitLine(0, 1e6, -2, 0) + "exit.1 = 0, 1e999, -2, 1, 0\n");
    LogCapture log("VELK.ACFTEXITS");
    const AircraftConfigData config = Read(nullptr);
    ExpectNear(Xs(config), {1e6});
    EXPECT_TRUE(log.Lines().empty());
}

}  // namespace
