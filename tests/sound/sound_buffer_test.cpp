#include "sound/SoundBuffer.h"

#include "foundation/GeoMath.h"
#include "link/SimStatus.h"
#include "platform/clock.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "sound/SoundEngine.h"
#include "tests/platform/media_riff_builder.h"
#include "tests/sound/sound_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace testing_riff;
using sound_testing::LogCapture;

namespace {

Format Rate1000()
{
    Format f;
    f.samplesPerSec = 1000;
    f.avgBytesPerSec = 1000;
    return f;
}

// n bytes of a source played in a loop from its start.
Bytes Looped(const Bytes& source, size_t n)
{
    Bytes out(n);
    for (size_t i = 0; i < n; ++i) out[i] = source[i % source.size()];
    return out;
}

Bytes Tail(const Bytes& bytes, size_t n)
{
    return Bytes(bytes.end() - static_cast<std::ptrdiff_t>(n), bytes.end());
}

class SoundBufferTest : public testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(log.category(), status, geo, false, false);
        ASSERT_FALSE(engine->IsDisabled());
    }

    // A sound of the program's resources, loaded into the engine.
    void AddSound(const std::string& name, const Format& format, const Bytes& samples)
    {
        resources.push_back(std::make_unique<platform::ScopedResource>(name, "WAVE", Wave(format, samples)));
        ASSERT_TRUE(engine->PreloadSound(name));
    }

    void Bind(SoundBuffer& sound, const std::string& key, bool looped)
    {
        sound.SetParameters(key, looped, 0, 0);
        sound.SetWaveKey(key);
        sound.InitAmbient(&*engine, looped);
    }

    // Lets the device play for ms in steps of 100 ms: the play cursor moves, then the clock, which runs the
    // refill timers that fall due.
    void PlayFor(uint32_t ms, DWORD bytesPerSecond)
    {
        for (uint32_t t = 0; t < ms; t += 100) {
            device.AdvancePlayCursor(bytesPerSecond / 10);
            clock.clock().Advance(100);
        }
    }

    platform::ScopedManualClock clock;
    platform::ScopedRecordingDevice device;
    platform::ScopedWindow window{"FS98MAIN"};
    LogCapture log{"VELK.SOUNDENGINE"};
    SimStatus status;
    GeoMath geo;
    std::vector<std::unique_ptr<platform::ScopedResource>> resources;
    std::optional<SoundEngine> engine;
};

Bytes ClickSamples()
{
    const auto resource = platform::RadioClickResource();
    return Bytes(resource.begin() + 44, resource.end());
}

}  // namespace

TEST_F(SoundBufferTest, RadioClickBufferHoldsTwoSecondsAndStartsWithTheLoopedSource)
{
    ASSERT_TRUE(engine->PreloadSound("RADIO_CLICK_LOOP"));
    SoundBuffer click;
    click.SetParameters("RADIO_CLICK_LOOP", true, 0, 0);
    click.SetWaveKey("RADIO_CLICK_LOOP");
    click.InitAmbient(&*engine, true);
    EXPECT_FALSE(click.IsCreated());
    click.Play();
    ASSERT_TRUE(click.IsCreated());
    EXPECT_TRUE(click.IsPlaying());

    ASSERT_EQ(1u, device.BufferCount());
    const auto b = device.Buffer(0);
    EXPECT_EQ(44100u, b.bytes);
    EXPECT_EQ(0x8180u, b.flags);
    EXPECT_EQ((std::vector<DWORD>{11024, 33074}), b.notifyOffsets);
    EXPECT_EQ(22050u, b.format.nAvgBytesPerSec);
    EXPECT_TRUE(b.playing);
    EXPECT_TRUE(b.looping);
    EXPECT_EQ(0u, b.playCursor);
    const Bytes firstSecond(b.data.begin(), b.data.begin() + 22050);
    EXPECT_EQ(Looped(ClickSamples(), 22050), firstSecond);  // 17920 bytes, then 4130 from the start again
    click.Stop();
}

TEST_F(SoundBufferTest, LoopedSourcePlaysEndToEndWithoutAGap)
{
    ASSERT_TRUE(engine->PreloadSound("RADIO_CLICK_LOOP"));
    SoundBuffer click;
    Bind(click, "RADIO_CLICK_LOOP", true);
    click.Play();
    PlayFor(5000, 22050);
    const auto played = device.Buffer(0).played;
    ASSERT_EQ(5u * 22050u, played.size());
    EXPECT_TRUE(played == Looped(ClickSamples(), played.size()));
    click.Stop();
}

// A sound that does not loop plays once, then silence of its format; it stays playing until stopped.
TEST_F(SoundBufferTest, NonLoopedSoundIsFollowedBySilence)
{
    Format stereo16;
    stereo16.channels = 2;
    stereo16.bitsPerSample = 16;
    stereo16.blockAlign = 4;
    stereo16.samplesPerSec = 250;
    stereo16.avgBytesPerSec = 1000;
    struct Case {
        const char* name;
        Format format;
        uint8_t silence;
    };
    const Case cases[] = {{"HALF_SECOND_8", Rate1000(), 128}, {"HALF_SECOND_16", stereo16, 0}};
    size_t index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes source = Ramp(500, 1);
        AddSound(c.name, c.format, source);
        SoundBuffer sound;
        Bind(sound, c.name, false);
        sound.Play();
        PlayFor(3000, 1000);
        const auto played = device.Buffer(index++).played;
        ASSERT_EQ(3000u, played.size());
        EXPECT_EQ(source, Bytes(played.begin(), played.begin() + 500));
        EXPECT_EQ(Bytes(2500, c.silence), Bytes(played.begin() + 500, played.end()));
        EXPECT_TRUE(sound.IsPlaying());
        sound.Stop();
        EXPECT_FALSE(sound.IsPlaying());
    }
}

TEST_F(SoundBufferTest, EmptyLoopedSourcePlaysSilence)
{
    AddSound("EMPTY", Rate1000(), {});
    SoundBuffer sound;
    Bind(sound, "EMPTY", true);
    sound.Play();  // must return: nothing to loop
    PlayFor(2000, 1000);
    EXPECT_EQ(Bytes(2000, 128), device.Buffer(0).played);
    sound.Stop();
}

TEST_F(SoundBufferTest, HaltThenPlayGoesOnAndStopThenPlayStartsAgain)
{
    const Bytes source = Ramp(700, 3);
    AddSound("LOOP", Rate1000(), source);
    SoundBuffer sound;
    Bind(sound, "LOOP", true);
    sound.Play();
    PlayFor(1500, 1000);

    sound.Halt();
    EXPECT_TRUE(sound.IsPlaying());
    PlayFor(600, 1000);  // the device buffer stands still; the timer goes on
    EXPECT_EQ(1500u, device.Buffer(0).played.size());
    sound.Play();
    PlayFor(1500, 1000);
    EXPECT_EQ(Looped(source, 3000), device.Buffer(0).played);  // no gap, nothing twice

    sound.Stop();
    const auto stopped = device.Buffer(0);
    EXPECT_EQ(Bytes(2000, 128), stopped.data);
    EXPECT_EQ(0u, stopped.playCursor);
    EXPECT_FALSE(stopped.playing);
    sound.Play();
    PlayFor(1000, 1000);
    EXPECT_EQ(Looped(source, 1000), Tail(device.Buffer(0).played, 1000));
    sound.Stop();
}

// Playing again, halted or not, never adds a timer: once stopped, nothing touches the buffer.
TEST_F(SoundBufferTest, HaltThenPlayLeavesOneTimer)
{
    AddSound("LOOP", Rate1000(), Ramp(700));
    SoundBuffer sound;
    Bind(sound, "LOOP", true);
    sound.Play();
    sound.Halt();
    sound.Play();
    sound.Play();
    PlayFor(600, 1000);

    status.SetPaused(true);  // the running timer notices at its next tick
    clock.clock().Advance(300);
    EXPECT_EQ((std::vector<LONG>{-10000}), device.Buffer(0).volumeChanges);
    status.SetPaused(false);
    clock.clock().Advance(300);
    EXPECT_EQ((std::vector<LONG>{-10000, 0}), device.Buffer(0).volumeChanges);

    sound.Stop();
    const auto atStop = device.Buffer(0);
    status.SetPaused(true);
    clock.clock().Advance(3000);
    device.AdvancePlayCursor(2000);
    const auto later = device.Buffer(0);
    EXPECT_EQ(atStop.volumeChanges, later.volumeChanges);
    EXPECT_EQ(atStop.locks, later.locks);
}

TEST_F(SoundBufferTest, PlayingWhilePausedStartsMutedAndResumeRestoresTheVolume)
{
    AddSound("LOOP", Rate1000(), Ramp(700));
    SoundBuffer sound;
    Bind(sound, "LOOP", true);
    status.SetPaused(true);
    sound.Play();
    EXPECT_EQ(-10000, device.Buffer(0).volume);
    clock.clock().Advance(300);
    EXPECT_EQ(-10000, device.Buffer(0).volume);

    status.SetPaused(false);
    clock.clock().Advance(300);  // no notification pending: the tick applies the mute state
    EXPECT_EQ(0, device.Buffer(0).volume);

    status.SetSoundOff(true);
    clock.clock().Advance(300);
    EXPECT_EQ(-10000, device.Buffer(0).volume);
    status.SetSoundOff(false);
    clock.clock().Advance(300);
    EXPECT_EQ((std::vector<LONG>{-10000, 0, -10000, 0}), device.Buffer(0).volumeChanges);
    sound.Stop();
}

TEST_F(SoundBufferTest, DestroyingAPlayingBufferLeavesNoCallbackRunning)
{
    AddSound("LOOP", Rate1000(), Ramp(700));
    auto sound = std::make_unique<SoundBuffer>();
    Bind(*sound, "LOOP", true);
    sound->Play();
    PlayFor(700, 1000);
    sound.reset();

    const auto atDestruction = device.Buffer(0);
    EXPECT_TRUE(atDestruction.released);
    status.SetPaused(true);
    PlayFor(3000, 1000);  // a timer left behind would run on freed memory here
    EXPECT_EQ(atDestruction.locks, device.Buffer(0).locks);
    EXPECT_EQ(atDestruction.volumeChanges, device.Buffer(0).volumeChanges);
}

// A buffer that outlives its engine (the radio click) gives its device objects back while it plays: no
// refill runs afterwards, and a later Play makes new device objects.
TEST_F(SoundBufferTest, ReleasingAPlayingBufferStopsItsRefillAndAPlayMakesItAgain)
{
    AddSound("LOOP", Rate1000(), Ramp(700));
    SoundBuffer sound;
    Bind(sound, "LOOP", true);
    sound.Play();
    PlayFor(700, 1000);
    sound.Release();
    EXPECT_FALSE(sound.IsCreated());
    EXPECT_FALSE(sound.IsPlaying());
    const auto atRelease = device.Buffer(0);
    EXPECT_TRUE(atRelease.released);
    EXPECT_FALSE(atRelease.playing);
    status.SetPaused(true);
    PlayFor(3000, 1000);  // a timer left behind would run on released device objects here
    EXPECT_EQ(atRelease.locks, device.Buffer(0).locks);
    EXPECT_EQ(atRelease.volumeChanges, device.Buffer(0).volumeChanges);

    status.SetPaused(false);
    sound.Play();
    EXPECT_TRUE(sound.IsPlaying());
    ASSERT_EQ(2u, device.BufferCount());
    EXPECT_TRUE(device.Buffer(1).playing);
    sound.Release();
}

TEST_F(SoundBufferTest, TwoBuffersOfOneSourcePlayIndependently)
{
    const Bytes source = Ramp(700, 9);
    AddSound("SHARED", Rate1000(), source);
    SoundBuffer a;
    SoundBuffer b;
    Bind(a, "SHARED", true);
    Bind(b, "SHARED", true);
    a.Play();
    PlayFor(1000, 1000);
    b.Play();
    PlayFor(1000, 1000);
    a.Stop();  // rewinds a's source only
    PlayFor(1000, 1000);
    EXPECT_EQ(Looped(source, 2000), device.Buffer(0).played);
    EXPECT_EQ(Looped(source, 2000), device.Buffer(1).played);
    b.Stop();
}

TEST_F(SoundBufferTest, PositionalSoundGetsItsPlaceWhenCreated)
{
    AddSound("MOTOR", Rate1000(), Ramp(700));
    SoundBuffer sound;
    sound.SetParameters("motor.wav", false, 5, 500);
    sound.SetWaveKey("MOTOR");
    sound.InitPositional(&*engine, 10.0, 20.0, 30.0);
    EXPECT_EQ("motor.wav", sound.GetFileName());
    EXPECT_FALSE(sound.IsLooped());
    sound.Play();
    const auto b = device.Buffer(0);
    EXPECT_EQ(0x28190u, b.flags);
    EXPECT_EQ((std::array<float, 3>{10, 20, 30}), b.position);
    EXPECT_EQ(5.0f, b.minDistance);
    EXPECT_EQ(500.0f, b.maxDistance);
    EXPECT_EQ(DS3DMODE_NORMAL, b.mode3D);
    EXPECT_EQ(DS3D_IMMEDIATE, b.last3DApply);

    sound.SetPosition(1, 2, 3);  // stored for a later creation only
    EXPECT_EQ((std::array<float, 3>{10, 20, 30}), device.Buffer(0).position);
    sound.Stop();
}

TEST_F(SoundBufferTest, NothingIsCreatedWithoutASourceOrAnEngine)
{
    SoundBuffer unknownKey;
    Bind(unknownKey, "NOT_LOADED", true);
    unknownKey.Play();
    EXPECT_FALSE(unknownKey.IsCreated());
    EXPECT_FALSE(unknownKey.IsPlaying());

    SoundBuffer unbound;
    unbound.SetWaveKey("RADIO_CLICK_LOOP");
    unbound.Play();
    unbound.Stop();
    unbound.Halt();
    EXPECT_FALSE(unbound.IsCreated());

    SoundEngine off(log.category(), status, geo, true, false);
    off.PreloadSound("RADIO_CLICK_LOOP");
    SoundBuffer silent;
    silent.SetWaveKey("RADIO_CLICK_LOOP");
    silent.InitAmbient(&off, true);
    silent.Play();
    EXPECT_FALSE(silent.IsCreated());
    EXPECT_EQ(0u, device.BufferCount());
}

TEST_F(SoundBufferTest, CopiesCarryNoDeviceObjectsOrTimer)
{
    const Bytes source = Ramp(700);
    AddSound("LOOP", Rate1000(), source);
    SoundBuffer original;
    Bind(original, "LOOP", true);
    original.Play();
    PlayFor(500, 1000);

    SoundBuffer copy(original);
    EXPECT_FALSE(copy.IsCreated());
    EXPECT_FALSE(copy.IsPlaying());
    EXPECT_TRUE(copy.IsLooped());
    copy.Play();
    ASSERT_EQ(2u, device.BufferCount());
    PlayFor(500, 1000);
    EXPECT_EQ(Looped(source, 500), device.Buffer(1).played);

    // Assigning over a playing sound ends its timer and device objects first.
    original = SoundBuffer();
    EXPECT_TRUE(device.Buffer(0).released);
    EXPECT_FALSE(original.IsPlaying());
    const int locks = device.Buffer(0).locks;
    PlayFor(2000, 1000);
    EXPECT_EQ(locks, device.Buffer(0).locks);
    copy.Stop();
}
