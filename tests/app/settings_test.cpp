// The settings file: defaults, the boolean and text rules, the summary lines, a reload.
#include "app/Settings.h"
#include "jetway/IKSolver.h"
#include "tests/app/CoreTestSupport.h"
#include "tests/app/ProgramHarness.h"

#include <gtest/gtest.h>

using namespace coretest;

namespace {

const char* const kAllTrue =
    "[General]\nWatchdogEnable=true\nSecondaryTextMenuHotkey=shift+ctrl+v\nPrimaryHotkeyDisable=true\n"
    "DebugMode=true\nSoundEngineDisable=true\n"
    "[JetwaySystem]\nForceHorizontalJetwayForRotation=true\nJetwaySoundEnable=true\n"
    "AircraftStateTriggeredAutoDockingEnable=true\n"
    "[AISystem]\nDetectionEnable=true\nJetwaySoundEnable=true\n"
    "[Debug]\nFastJetwaysEnable=true\n";

class SettingsTest : public ::testing::Test {
protected:
    TempMachineRoot root;
    LogCapture log;
    log4cpp::Category& category = log4cpp::Category::getInstance("VELK.SETTINGS");
};

TEST_F(SettingsTest, MissingFileGivesTheDefaultsAndSaysSo)
{
    Settings settings(category);
    EXPECT_TRUE(settings.IsForceHorizontalJetwayForRotation());
    EXPECT_FALSE(settings.IsWatchdogEnabled());
    EXPECT_FALSE(settings.IsAiDetectionEnabled());
    EXPECT_FALSE(settings.IsUserJetwaySoundEnabled());
    EXPECT_FALSE(settings.IsAiJetwaySoundEnabled());
    EXPECT_FALSE(settings.IsPrimaryHotkeyDisabled());
    EXPECT_FALSE(settings.IsDebugMode());
    EXPECT_FALSE(settings.IsSoundEngineDisabled());
    EXPECT_FALSE(settings.IsAircraftStateTriggeredAutoDockingEnabled());
    EXPECT_FALSE(settings.IsFastJetwaysEnabled());
    EXPECT_EQ(settings.GetSecondaryTextMenuHotkey(), "NONE");
    EXPECT_FALSE(settings.HasSecondaryTextMenuHotkey());
    EXPECT_TRUE(log.InOrder({
        "WARN VELK.SETTINGS : orvane.ini does not exists! Disabling features or setting standard values!",
        "DEBUG VELK.SETTINGS : Current Settings (1) -> SoundEngine=1; WatchDog=0; SecMenuHotKey=NONE",
        "DEBUG VELK.SETTINGS : Current Settings (2) -> UserJetwaySound=0; PrimaryHotKey=1",
        "DEBUG VELK.SETTINGS : Current Settings (3) -> AircraftStateTriggeredAutoDockingEnable=0",
        "DEBUG VELK.SETTINGS : Current Settings (4) -> AIDetection=0; AIJetwaySound=0",
    }));
    EXPECT_FALSE(log.Has("All Settings"));
}

TEST_F(SettingsTest, EveryKeyTrueStillLeavesAiJetwaySoundOff)
{
    root.WriteSettings(kAllTrue);
    Settings settings(category);
    EXPECT_TRUE(settings.IsWatchdogEnabled());
    EXPECT_TRUE(settings.IsAiDetectionEnabled());
    EXPECT_TRUE(settings.IsUserJetwaySoundEnabled());
    EXPECT_FALSE(settings.IsAiJetwaySoundEnabled());
    EXPECT_TRUE(settings.IsPrimaryHotkeyDisabled());
    EXPECT_TRUE(settings.IsDebugMode());
    EXPECT_TRUE(settings.IsSoundEngineDisabled());
    EXPECT_TRUE(settings.IsForceHorizontalJetwayForRotation());
    EXPECT_TRUE(settings.IsAircraftStateTriggeredAutoDockingEnabled());
    EXPECT_TRUE(settings.IsFastJetwaysEnabled());
    EXPECT_TRUE(settings.HasSecondaryTextMenuHotkey());
    EXPECT_EQ(settings.GetSecondaryTextMenuHotkey(), "shift+ctrl+v");
    EXPECT_TRUE(log.InOrder({
        "DEBUG VELK.SETTINGS : All Settings successfully read.",
        "Current Settings (1) -> SoundEngine=0; WatchDog=1; SecMenuHotKey=shift+ctrl+v",
        "Current Settings (2) -> UserJetwaySound=1; PrimaryHotKey=0",
        "Current Settings (3) -> AircraftStateTriggeredAutoDockingEnable=1",
        "Current Settings (4) -> AIDetection=1; AIJetwaySound=0",
    }));
    EXPECT_FALSE(log.Has("WARN"));
}

// Only "True" and "true" are true; a comment and the blanks before it go; nothing else is reported.
TEST_F(SettingsTest, BooleanValues)
{
    struct Case {
        const char* value;
        bool expected;
    };
    const Case cases[] = {
        {"true", true},  {"True", true},  {"True ; the debug items", true}, {"TRUE", false},
        {"1", false},    {"yes", false},  {"false", false},                 {"\"true\"", true},
        {"truex", false}, {" true", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        std::string text = kAllTrue;
        const std::string key = "DebugMode=true";
        text.replace(text.find(key), key.size(), std::string("DebugMode=") + c.value);
        root.WriteSettings(text);
        log.Clear();
        Settings settings(category);
        EXPECT_EQ(settings.IsDebugMode(), c.expected);
        EXPECT_TRUE(log.Has("All Settings successfully read."));
        EXPECT_FALSE(log.Has("Could not extract"));
    }
}

TEST_F(SettingsTest, MissingRequiredKeyIsReportedAndTheOptionalOneIsNot)
{
    std::string text = kAllTrue;
    for (const char* line : {"DebugMode=true\n", "ForceHorizontalJetwayForRotation=true\n"})
        text.erase(text.find(line), std::strlen(line));
    root.WriteSettings(text);
    Settings settings(category);
    EXPECT_FALSE(settings.IsDebugMode());
    EXPECT_FALSE(settings.IsForceHorizontalJetwayForRotation());
    EXPECT_TRUE(log.InOrder({
        "WARN VELK.SETTINGS : Could not extract 'General::DebugMode' setting! Feature is disabled!",
        "WARN VELK.SETTINGS : Not all Settings have been read successfully! See above...",
    }));
    EXPECT_FALSE(log.Has("ForceHorizontalJetwayForRotation"));
    EXPECT_FALSE(log.Has("All Settings successfully read."));
}

TEST_F(SettingsTest, WithoutTheOptionalKeyAllSettingsAreRead)
{
    std::string text = kAllTrue;
    const std::string line = "ForceHorizontalJetwayForRotation=true\n";
    text.erase(text.find(line), line.size());
    root.WriteSettings(text);
    Settings settings(category);
    EXPECT_FALSE(settings.IsForceHorizontalJetwayForRotation());
    EXPECT_TRUE(log.Has("All Settings successfully read."));
}

TEST_F(SettingsTest, SecondaryHotkeyText)
{
    struct Case {
        const char* line;  // the whole line, "" for no line at all
        const char* expected;
        bool has;
        bool defaultLogged;
    };
    const Case cases[] = {
        {"SecondaryTextMenuHotkey=NONE\n", "NONE", false, false},
        {"SecondaryTextMenuHotkey=\n", "NONE", false, true},
        {"", "NONE", false, true},
        {"SecondaryTextMenuHotkey=shift+v ; comment\n", "shift+v", true, false},
        {"SecondaryTextMenuHotkey=none\n", "none", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string text = kAllTrue;
        const std::string line = "SecondaryTextMenuHotkey=shift+ctrl+v\n";
        text.replace(text.find(line), line.size(), c.line);
        root.WriteSettings(text);
        log.Clear();
        Settings settings(category);
        EXPECT_EQ(settings.GetSecondaryTextMenuHotkey(), c.expected);
        EXPECT_EQ(settings.HasSecondaryTextMenuHotkey(), c.has);
        EXPECT_EQ(log.Has("WARN VELK.SETTINGS : Could not extract 'General::SecondaryTextMenuHotkey' setting! "
                          "Default value=NONE!"),
                  c.defaultLogged);
        // The text rule does not count against the summary.
        EXPECT_TRUE(log.Has("All Settings successfully read."));
    }
}

// "Reload All!" reads the file again into the same object; what the file no longer says returns to its
// default.
TEST_F(SettingsTest, ReadAgainFollowsTheFile)
{
    root.WriteSettings(kAllTrue);
    Settings settings(category);
    ASSERT_TRUE(settings.IsDebugMode());

    root.WriteSettings("[General]\nDebugMode=false\n");
    settings.Read();
    EXPECT_FALSE(settings.IsDebugMode());
    EXPECT_FALSE(settings.IsWatchdogEnabled());
    EXPECT_EQ(settings.GetSecondaryTextMenuHotkey(), "NONE");

    root.RemoveSettings();
    settings.Read();
    EXPECT_TRUE(settings.IsForceHorizontalJetwayForRotation());
}

// Hostile files: a value longer than the read buffer, bytes that are not text, a format directive.
TEST_F(SettingsTest, MalformedFileIsReadWithoutHarm)
{
    std::string text = "[General]\nSecondaryTextMenuHotkey=%s%n%s" + std::string(400, 'k') +
                       "\nDebugMode=\xff\xfe\x01true\n[JetwaySystem\nJetwaySoundEnable=true\n";
    root.WriteSettings(text);
    Settings settings(category);
    EXPECT_FALSE(settings.IsDebugMode());
    EXPECT_LE(settings.GetSecondaryTextMenuHotkey().size(), 259u);
    EXPECT_EQ(settings.GetSecondaryTextMenuHotkey().rfind("%s%n%s", 0), 0u);
    EXPECT_TRUE(log.Has("Not all Settings have been read successfully! See above..."));
}

// The solver's fast motion is one line of the start-up away from its key: the start-up hands it over.
TEST(SettingsAtStartUp, FastJetwaysReachTheSolver)
{
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "fast" : "normal");
        programtest::ProgramHarness program;
        program.AddFile(programtest::kSettingsFile,
                        std::string("[Debug]\nFastJetwaysEnable=") + (fast ? "true" : "false") + "\n");
        program.Start();
        ASSERT_NE(program::Parts().ikSolver, nullptr);
        EXPECT_EQ(program::Parts().ikSolver->IsFastJetways(), fast);
    }
}

}  // namespace
