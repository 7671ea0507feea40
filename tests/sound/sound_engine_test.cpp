#include "sound/SoundEngine.h"

#include "foundation/GeoMath.h"
#include "link/SimStatus.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "tests/platform/media_riff_builder.h"
#include "tests/platform/media_temp_machine.h"
#include "tests/sound/sound_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

using namespace testing_riff;
using sound_testing::LogCapture;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::Not;
using testing::Contains;

namespace {

class SoundEngineTest : public testing::Test {
protected:
    SoundEngine& Engine(bool disable = false, bool verbose = false)
    {
        engine.emplace(log.category(), status, geo, disable, verbose);
        return *engine;
    }

    platform::ScopedManualClock clock;
    platform::ScopedRecordingDevice device;
    LogCapture log{"VELK.SOUNDENGINE"};
    SimStatus status;
    GeoMath geo;
    std::optional<SoundEngine> engine;
};

}  // namespace

// Every way the set-up can go: what is logged, whether the engine ends disabled, and that whatever
// device was made is released with the engine.
TEST_F(SoundEngineTest, SetUpPathsEndInTheirLogLinesAndState)
{
    using Failures = platform::RecordingSoundDevice::Failures;
    struct Case {
        const char* what;
        bool disable;
        bool window;
        Failures failures;
        std::vector<std::string> lines;
        bool disabled;
    };
    auto failing = [](auto field, HRESULT hr) {
        Failures f;
        f.*field = hr;
        return f;
    };
    Failures noDevice;
    noDevice.createGivesNoDevice = true;
    const Case cases[] = {
        {"all well", false, true, {}, {"INFO SoundEngine initialized."}, false},
        {"sound off by setting", true, true, {},
         {"INFO Disabling Sound Engine due to setting!", "WARN Disabling Sound Engine! Device Pointer is NULL!"}, true},
        {"device creation fails", false, true, failing(&Failures::create, DSERR_NODRIVER),
         {"ERROR DirectSound Device Creation Error (0x88780078), Disabling Sound Engine!",
          "WARN Disabling Sound Engine! Device Pointer is NULL!"},
         true},
        {"device creation gives nothing", false, true, noDevice,
         {"WARN Disabling Sound Engine! Device Pointer is NULL!"}, true},
        {"no simulator window", false, false, {},
         {"ERROR DirectSound CooperativeLevel Setting Error (0x80070057)", "WARN SoundEngine disabled!"}, true},
        {"cooperative level refused", false, true, failing(&Failures::cooperativeLevel, DSERR_ALLOCATED),
         {"ERROR DirectSound CooperativeLevel Setting Error (0x8878000a)", "WARN SoundEngine disabled!"}, true},
        {"primary buffer fails", false, true, failing(&Failures::primaryBuffer, DSERR_OUTOFMEMORY),
         {"ERROR CreateSoundBuffer Error (0x8007000e)", "WARN Primary Sound Buffer Pointer is NULL!",
          "WARN SoundEngine disabled!"},
         true},
        {"listener query fails", false, true, failing(&Failures::listenerQuery, DSERR_NOINTERFACE),
         {"ERROR 3D Sound Listener Query Error (0x80004002)", "INFO SoundEngine initialized."}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::ScopedRecordingDevice recorder;
        recorder.SetFailures(c.failures);
        std::optional<platform::ScopedWindow> window;
        if (c.window) window.emplace("FS98MAIN");
        log.Clear();
        {
            SoundEngine engine(log.category(), status, geo, c.disable, false);
            EXPECT_THAT(log.Lines(), ElementsAreArray(c.lines));
            EXPECT_EQ(c.disabled, engine.IsDisabled());
        }
        EXPECT_EQ(recorder.DevicesCreated(), recorder.DevicesReleased());
    }
}

TEST_F(SoundEngineTest, VerboseSetUpNamesEveryStep)
{
    platform::ScopedWindow window("FS98MAIN");
    Engine(false, true);
    const auto lines = log.Lines();
    ASSERT_EQ(6u, lines.size());
    EXPECT_EQ("DEBUG Creating DirectSound device...", lines[0]);
    EXPECT_THAT(lines[1], testing::StartsWith("DEBUG Checking DirectSound device pointer (0x"));
    EXPECT_EQ("DEBUG Setting cooperative level...", lines[2]);
    EXPECT_EQ("DEBUG Creating primary sound buffer...", lines[3]);
    EXPECT_EQ("DEBUG Creating 3D Sound Listener...", lines[4]);
    EXPECT_EQ("INFO SoundEngine initialized.", lines[5]);

    // Bound to the simulator's main window, at the normal level; the primary buffer went back.
    EXPECT_EQ(window.get(), device.CooperativeWindow());
    EXPECT_EQ(DSSCL_NORMAL, device.CooperativeLevel());
    EXPECT_TRUE(device.PrimaryBuffer().released);
    EXPECT_EQ(DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, device.PrimaryBuffer().flags);
}

TEST_F(SoundEngineTest, SilencedWhilePausedOrSoundOff)
{
    SoundEngine& e = Engine(true);
    EXPECT_FALSE(e.IsSilenced());
    status.SetPaused(true);
    EXPECT_TRUE(e.IsSilenced());
    status.SetPaused(false);
    status.SetSoundOff(true);
    EXPECT_TRUE(e.IsSilenced());
    status.SetSoundOff(false);
    EXPECT_FALSE(e.IsSilenced());
}

TEST_F(SoundEngineTest, MakeSoundPathAddsTheSoundFolder)
{
    EXPECT_EQ("D:\\Models\\Jetway\\sound\\motor.wav", SoundEngine::MakeSoundPath("D:\\Models\\Jetway\\", "motor.wav"));
}

TEST_F(SoundEngineTest, CacheKeepsTheFirstEntryOfAKey)
{
    TempMachine machine;
    Format first;
    machine.Write("Models/Jetway/sound/motor.wav", Wave(first, Ramp(100)));
    SoundEngine& e = Engine(true);  // loading does not need the device

    ASSERT_TRUE(e.LoadSoundFile("C:\\Models\\Jetway\\", "motor.wav"));
    const std::string key = "C:\\Models\\Jetway\\sound\\motor.wav";
    ASSERT_TRUE(e.HasWave(key));
    EXPECT_EQ("motor.wav", e.FindWave(key)->GetName());
    EXPECT_FALSE(e.FindWave(key)->IsOpen());
    EXPECT_EQ(100u, e.FindWave(key)->GetSize());

    Format second;
    second.samplesPerSec = second.avgBytesPerSec = 11025;
    machine.Write("Models/Jetway/sound/motor.wav", Wave(second, Ramp(50)));
    EXPECT_TRUE(e.LoadWavFile(key, false));
    EXPECT_EQ(22050u, e.FindWave(key)->GetFormat().nSamplesPerSec);
    EXPECT_EQ(100u, e.FindWave(key)->GetSize());
}

TEST_F(SoundEngineTest, SoundsThatCannotBeLoadedAreOneErrorLine)
{
    TempMachine machine;
    SoundEngine& e = Engine(true);
    log.Clear();
    EXPECT_FALSE(e.LoadSoundFile("C:\\Models\\", "missing.wav"));
    EXPECT_FALSE(e.PreloadSound("NO_SUCH_SOUND"));
    EXPECT_THAT(log.Lines(), ElementsAre("ERROR Not able to load WavFile 'C:\\Models\\sound\\missing.wav'",
                                         "ERROR Not able to load WavFile 'NO_SUCH_SOUND'"));
    EXPECT_FALSE(e.HasWave("C:\\Models\\sound\\missing.wav"));

    // A crafted format is refused with its reason.
    Format crafted;
    crafted.blockAlign = 0xFFFF;
    crafted.avgBytesPerSec = 22050u * 0xFFFF;
    machine.Write("Models/sound/crafted.wav", Wave(crafted, Ramp(100)));
    log.Clear();
    EXPECT_FALSE(e.LoadSoundFile("C:\\Models\\", "crafted.wav"));
    EXPECT_THAT(log.Lines(),
                ElementsAre("ERROR Not able to load WavFile 'C:\\Models\\sound\\crafted.wav'",
                            "ERROR WavFile 'C:\\Models\\sound\\crafted.wav' refused: block align is not channels x bits / 8"));
    EXPECT_FALSE(e.HasWave("C:\\Models\\sound\\crafted.wav"));
    EXPECT_EQ(nullptr, e.FindWave("NO_SUCH_SOUND"));
}

TEST_F(SoundEngineTest, PreloadedResourceIsCachedUnderItsName)
{
    SoundEngine& e = Engine(true);
    ASSERT_TRUE(e.PreloadSound("RADIO_CLICK_LOOP"));
    const WaveFile* click = e.FindWave("RADIO_CLICK_LOOP");
    ASSERT_NE(click, nullptr);
    EXPECT_EQ("RADIO_CLICK_LOOP", click->GetName());
    EXPECT_TRUE(click->IsFromResource());
    EXPECT_EQ(17920u, click->GetSize());
}

TEST_F(SoundEngineTest, ListenerTakesTheFrameOfTheAircraftAllAtOnce)
{
    platform::ScopedWindow window("FS98MAIN");
    SoundEngine& e = Engine();
    ASSERT_FALSE(e.IsDisabled());
    e.UpdateListener(47.5, 8.5, 1400.0, 1.2, 3.0, -1.0, 0.5);

    LocalFrame frame;
    GeoMath::BuildLocalFrame(47.5, 8.5, 1400.0, 1.2, frame);
    const auto l = device.Listener();
    auto f = [](double v) { return static_cast<float>(v); };
    EXPECT_EQ((std::array<float, 3>{f(frame.position.x), f(frame.position.y), f(frame.position.z)}), l.position);
    EXPECT_EQ((std::array<float, 3>{f(frame.front.x), f(frame.front.y), f(frame.front.z)}), l.front);
    EXPECT_EQ((std::array<float, 3>{f(frame.top.x), f(frame.top.y), f(frame.top.z)}), l.top);
    EXPECT_EQ((std::array<float, 3>{3.0f, -1.0f, 0.5f}), l.velocity);
    EXPECT_EQ(3, l.deferredCalls);
    EXPECT_EQ(0, l.immediateCalls);
    EXPECT_EQ(1, l.commits);
}

TEST_F(SoundEngineTest, ListenerUpdateWithoutAListenerDoesNothing)
{
    platform::ScopedWindow window("FS98MAIN");
    platform::RecordingSoundDevice::Failures failures;
    failures.listenerQuery = DSERR_NOINTERFACE;
    device.SetFailures(failures);
    SoundEngine& e = Engine();
    ASSERT_FALSE(e.IsDisabled());
    e.UpdateListener(47.5, 8.5, 1400.0, 1.2, 0, 0, 0);
    EXPECT_EQ(0, device.Listener().commits);
    EXPECT_EQ(0, device.Listener().deferredCalls);
}
