// The main program's Jetway: copies and the jetway sound.
#include "objects/Jetway.h"

#include "foundation/GeoMath.h"
#include "link/SimStatus.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "platform/window.h"
#include "sound/SoundEngine.h"
#include "tests/platform/media_riff_builder.h"
#include "tests/platform/media_temp_machine.h"

#include <gtest/gtest.h>
#include <log4cpp/Category.hh>

namespace {

TEST(Jetway, ACopyHasItsOwnRecordAndKeepsSoundFlagAndMultiIndex)
{
    Jetway first;
    first.SetMultiIndex(3);
    first.SetSoundEnabled(true);
    first.GetSound().SetParameters("motor.wav", true, 5, 80);
    first.SetPhase(4);

    Jetway copy(first);
    copy.SetPhase(9);
    EXPECT_EQ(first.GetPhase(), 4u);
    EXPECT_EQ(copy.GetMultiIndex(), 3);
    EXPECT_TRUE(copy.IsSoundEnabled());
    EXPECT_EQ(copy.GetSound().GetFileName(), "motor.wav");

    Jetway assigned;
    assigned = first;
    assigned.GetJetwayData()->Parts[0].SetSimTitle("head");
    EXPECT_FALSE(first.HasPart(1));
    EXPECT_EQ(assigned.GetMultiIndex(), 3);
}

TEST(Jetway, ReleaseDataTakesTheReportedRecord)
{
    Jetway jetway;
    JetwayData reported;
    reported.Docked = true;
    reported.JetwayObjectId = 77;
    jetway.ReleaseData(reported);
    EXPECT_TRUE(jetway.IsDocked());
    EXPECT_EQ(jetway.GetRecord().JetwayObjectId, 77u);
}

class JetwaySoundTest : public ::testing::Test {
protected:
    platform::ScopedManualClock clock;
    platform::ScopedRecordingDevice device;
    platform::ScopedWindow window{"FS98MAIN"};
    testing_riff::TempMachine machine;
    SimStatus status;
    GeoMath geo;
};

TEST_F(JetwaySoundTest, SetupLoadsTheModelsSoundAndEnablesIt)
{
    testing_riff::Format format;
    machine.Write("Models/Jetway/sound/motor.wav", testing_riff::Wave(format, testing_riff::Ramp(44100)));
    SoundEngine engine(log4cpp::Category::getInstance("VELK.SOUNDENGINE"), status, geo, false, false);
    ASSERT_FALSE(engine.IsDisabled());

    Jetway jetway;
    jetway.GetSound().SetParameters("motor.wav", true, 5, 80);
    EXPECT_TRUE(jetway.SetupSound(engine, "C:\\Models\\Jetway\\", 1, 2, 3));
    EXPECT_TRUE(jetway.IsSoundEnabled());
    EXPECT_TRUE(engine.HasWave("C:\\Models\\Jetway\\sound\\motor.wav"));

    jetway.PlaySound();
    EXPECT_TRUE(jetway.GetSound().IsPlaying());
    jetway.UpdateSoundPosition(4, 5, 6);
    jetway.StopSound();
    EXPECT_FALSE(jetway.GetSound().IsPlaying());

    jetway.ResetSound();
    EXPECT_FALSE(jetway.IsSoundEnabled());
    EXPECT_EQ(jetway.GetSound().GetFileName(), "");
}

TEST_F(JetwaySoundTest, AMissingSoundFileLeavesTheSoundDisabledAndSilent)
{
    SoundEngine engine(log4cpp::Category::getInstance("VELK.SOUNDENGINE"), status, geo, false, false);
    Jetway jetway;
    jetway.GetSound().SetParameters("missing.wav", false, 5, 80);
    EXPECT_FALSE(jetway.SetupSound(engine, "C:\\Models\\Jetway\\", 0, 0, 0));
    EXPECT_FALSE(jetway.IsSoundEnabled());
    jetway.PlaySound();
    EXPECT_FALSE(jetway.GetSound().IsPlaying());
}

}  // namespace
